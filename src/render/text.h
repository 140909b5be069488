// Text on screen: strings drawn from the main bitmap font as textured quads
// in a space where one line is one unit high, so size and position come
// from the caller's modelview. Also paints digits into pixel buffers for
// number plates. Font cells and measuring live in files/image_font.h.
#pragma once
#include "files/image_font.h"

// Loads "@font.png" (with a texture), "@numbers.png" and
// "@numbers-condensed.png" (pixels only). A missing picture leaves that
// font empty: the main font then draws nothing. Needs a GL context.
void font_load_all();

// Frees the main font's texture and the digit pixels (shutdown).
void font_release_all();

// The three fonts, for callers that measure with other fonts or test.
const Font& text_main_font();
const Font& text_digits_font();
const Font& text_condensed_font();

// Width in line heights of the string's last line, with the main font.
float text_width(const char* text);

// Draws the string at the current modelview, the first line from y = 0 to
// y = 1 starting at x = 0; "\n" moves one line down. Leaves blending and
// texturing enabled with the font texture bound.
void text_render(float r, float g, float b, float a, const char* text);
void text_render_white(const char* text);
// A black shadow at half the alpha, 1/16 right and down, then the text.
void text_render_shadowed(float r, float g, float b, float a, const char* text);
void text_render_shadowed_white(const char* text);
// Centred between left and right (text units), without or with shadow.
void text_render_centred(float r, float g, float b, float a, float left, float right, const char* text);
void text_render_centred_shadowed(float r, float g, float b, float a, float left, float right, const char* text);
// Ending at `right`, with shadow.
void text_render_right_shadowed(float r, float g, float b, float a, float right, const char* text);

// Paints the string centred into an RGBA buffer with the digit fonts.
void text_into_pixels(uint8_t* buffer, int width, int height, float r, float g, float b, float a, const char* text);
