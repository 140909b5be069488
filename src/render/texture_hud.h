// The pictures loaded at start-up for the HUD and the title, and a
// loading screen that shows a message over the title picture.
#pragma once
#include <GL/gl.h>

// Start-up pictures; generation 0, so no track switch releases them.
struct HudImages {
    GLuint tach;      // "!@tach.png": the dial behind the needle
    GLuint shifter;   // "!@shifter.png": 3 x 3 atlas of gear cells
    GLuint pitboard;  // "!@pitboard.png": background of the pit board
    GLuint title;     // "!@title.ppm": full-screen title picture
};

// Loads the four pictures (missing ones stay 0). Needs a GL context.
void hud_images_load();
const HudImages& hud_images();

// Draws the title picture over the whole window with the message centred
// (logged when not empty) and the build label at the bottom left. Sets its
// own projection; the caller brackets it with frame_begin / frame_end.
void loading_screen_draw(int width, int height, const char* message);
