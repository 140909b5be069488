// The 3D part of a game frame: the race session's track and riders handed
// to the scene renderer. Kept apart from the frame loop's own camera types.
#pragma once
#include "core/vec.h"

// Once the GL context exists: tracks then load their statues' models, and
// the scene reads its settings from the configuration.
void app_scene_install();

// Hands the session to the scene (track, every slot's bike and driver, the
// race numbers the track objects follow) and draws the world through the
// viewed rider's eyes (first_person) or from a camera at position looking
// along forward with up roughly up.
void app_scene_draw(int width, int height, bool first_person, int viewed_slot, Vec3 position, Vec3 forward,
                    Vec3 up);
