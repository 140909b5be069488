// Bitmap fonts: a picture of glyph cells whose edges are marked in the
// picture itself with the colour of its top-left pixel. This part finds the
// cells, measures strings and paints digits into pixel buffers; it needs no
// GL, so the number plates and the tests work headless. Drawing on screen
// is render/text.h.
#pragma once
#include <cstdint>
#include <vector>

// One loaded font.
struct Font {
    uint32_t texture = 0;          // GL texture name; 0 when it has none
    std::vector<uint8_t> pixels;   // RGBA with mipmap chain (kept for the digit fonts)
    int width = 0, height = 0;     // picture size
    float glyph[256][4] = {};      // s0, t0, s1, t1 of each character's cell
    float aspect[256] = {};        // cell width / height: the advance in line heights
};

// The main font's character set: "!" to "~", 94 cells in code order.
extern const char FONT_MAIN_CHARSET[];
// The digit fonts' character set.
extern const char FONT_DIGITS_CHARSET[];

// Clears the font: no texture, no pixels, zero coordinates, aspect 2/3.
void font_clear(Font* font);

// Finds the cells of `charset` in an RGBA picture (rows top to bottom),
// erases the markers to transparent white and keeps the picture with its
// mipmap chain in font->pixels. A character set longer than the cells wraps
// to the first text row.
void font_from_pixels(Font* font, const uint8_t* rgba, int width, int height, const char* charset);

// Reads the picture with image_read_rgba and finds its cells. False (and a
// cleared font) when the picture cannot be read; nothing is reported.
bool font_load(Font* font, const char* name, const char* charset);

// Width in line heights of the string's last line: tabs to the next stop of
// 8 spaces, carriage return and line feed back to 0.
float font_text_width(const Font& font, const char* text);

// Paints `text` centred into a width x height RGBA buffer with the digits
// font, switching to the condensed font when the digits are wider than 9/8
// of the buffer. Glyph alpha times `a` blends the colour onto the buffer.
void font_text_into_pixels(const Font& digits, const Font& condensed, uint8_t* buffer, int width, int height,
                           float r, float g, float b, float a, const char* text);
