#include "core/app/app_scene.h"

#include <algorithm>
#include <cmath>

#include "core/session.h"
#include "physics/bike.h"
#include "race/timing.h"
#include "render/gl_caps.h"
#include "render/model.h"
#include "render/scene.h"
#include "track/track.h"

namespace {

int scene_driver(const Rider& r)
{
    if (!r.bike)
        return SCENE_NO_RIDER;
    switch (r.driver) {
    case DRIVER_PLAYER:
        return SCENE_PLAYER;
    case DRIVER_EXTERNAL:
        return SCENE_EXTERNAL;
    default:
        return SCENE_ROBOT;
    }
}

// Camera axes as the scene wants them: columns right, up and backwards.
void camera_rotation(Vec3 forward, Vec3 up, float out[9])
{
    Vec3 z = vec3_normalize(forward) * -1;
    Vec3 x = vec3_cross(up, z);
    if (vec3_length(x) < 1e-9)
        x = vec3(1, 0, 0);  // looking straight up or down
    x = vec3_normalize(x);
    Vec3 y = vec3_cross(z, x);
    const Vec3 cols[3] = {x, y, z};
    for (int k = 0; k < 3; k++) {
        out[0 * 3 + k] = float(cols[k].x);
        out[1 * 3 + k] = float(cols[k].y);
        out[2 * 3 + k] = float(cols[k].z);
    }
}

const Mesh* statue_model(const char* name) { return model_load(name); }

// The session copied into the scene's world.
void scene_fill()
{
    Session& s = session();
    const RaceTiming& t = s.race.timing;
    scene_world.track = &track_current;
    SceneRace& race = scene_world.race;
    race.has_laps = !s.course.gates.empty();
    race.clock = t.clock;
    race.start_tick = t.start_tick;
    race.total_laps = t.total_laps;
    race.halfway_lap = t.halfway_lap;
    race.leader_laps = 0;
    race.gates_rider_down.clear();
    for (int j = 0; j < SCENE_RIDER_SLOTS && j < SLOT_COUNT; j++) {
        const Rider& r = s.riders[j];
        SceneRider& out = scene_world.riders[j];
        out.bike = r.bike;
        out.driver = scene_driver(r);
        out.state_age = 0;
        if (!r.bike)
            continue;
        race.leader_laps = std::max(race.leader_laps, laps_completed(&s.course, &r.progress));
        // A rider down shows the flag at the gate he is heading for.
        if (r.bike->crash_timer > 0 && !r.progress.finished)
            race.gates_rider_down.push_back(course_gate_at(&s.course, r.progress.gates_passed));
    }
}

}  // namespace

void app_scene_install()
{
    scenery_render_hooks.model_load = statue_model;
    scenery_render_hooks.shaders_on = gl_caps.fragment_shader;
    scenery_render_hooks.texture_units = gl_caps.texture_units;
    scene_settings_load();
}

void app_scene_draw(int width, int height, bool first_person, int viewed_slot, Vec3 position, Vec3 forward,
                    Vec3 up)
{
    scene_fill();
    scene_set_window(width, height);
    const Bike* viewed = viewed_slot >= 0 && viewed_slot < SCENE_RIDER_SLOTS ? scene_world.riders[viewed_slot].bike
                                                                             : nullptr;
    if (first_person && viewed) {
        scene_render_first_person(viewed, viewed_slot);
        return;
    }
    float rotation[9];
    camera_rotation(forward, up, rotation);
    scene_render(position, rotation, -1);
}
