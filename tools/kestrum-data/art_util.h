// Small helpers for the procedural pictures of the interface art (fonts,
// HUD, title, sky, particles): colours, blending, deterministic noise, and
// glyphs rasterised with FreeType from a system font.
#pragma once
#include "image_out.h"

#include <cstdint>
#include <string>
#include <vector>

namespace art {

struct Colour {
    double r, g, b;
};

Colour mix(Colour a, Colour b, double t);
double clamp01(double v);
double smoothstep(double a, double b, double x);

// Blends colour c with coverage `alpha` (0..1) over pixel (x, y); for RGBA
// pictures the alpha channel accumulates "over" as well.
void blend(Image& im, int x, int y, Colour c, double alpha);
// Writes a pixel outright (alpha 0..1 for RGBA pictures).
void put(Image& im, int x, int y, Colour c, double alpha = 1);

// Deterministic value noise in [0, 1) on a unit lattice (the painters'
// noise_smooth), and a few octaves of it.
double noise(double x, double y, uint32_t seed);
double fbm(double x, double y, int octaves, uint32_t seed);

// Anti-aliased filled disc and thick line segment.
void disc(Image& im, double cx, double cy, double r, Colour c, double alpha = 1);
void line(Image& im, double x0, double y0, double x1, double y1, double width, Colour c, double alpha = 1);

// A glyph as an 8-bit coverage bitmap with its placement.
struct Glyph {
    int width = 0, rows = 0;
    int left = 0, top = 0;  // bitmap offset from the pen on the baseline (top is up)
    int advance = 0;        // pixels
    std::vector<uint8_t> coverage;
};

// A font face at a pixel size (the x size may differ for condensed or tall
// digits). Fails with a message on standard error when the font is missing.
struct Face;
Face* face_open(const char* file, int size_x, int size_y);
void face_close(Face* face);
bool face_glyph(Face* face, unsigned char c, Glyph* out);
int face_ascender(Face* face);   // pixels above the baseline
int face_descender(Face* face);  // pixels below the baseline (positive)

// The system font folder our fonts come from.
std::string font_path(const char* file);

// Draws a string with its baseline at y, starting at x, in colour c;
// returns the pen position after it. Measures without drawing when im is null.
int draw_text(Image* im, Face* face, int x, int y, const char* text, Colour c, double alpha = 1);

}  // namespace art
