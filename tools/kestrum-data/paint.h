// Simple deterministic painting for the model textures: flat fills,
// polygons, circles, stripes and hashed noise on an Image, plus normal maps
// from height fields.
#pragma once
#include <cstdint>
#include <vector>

#include "image_out.h"

struct Rgb {
    int r, g, b;
};
Rgb rgb_mix(Rgb a, Rgb b, double t);
Rgb rgb_scale(Rgb a, double s);

// Writes one pixel, clipped to the picture (alpha left alone unless given).
void paint_pixel(Image& im, int x, int y, Rgb c, int alpha = -1);
// Fills the rectangle [x0, x1) x [y0, y1).
void paint_rect(Image& im, int x0, int y0, int x1, int y1, Rgb c, int alpha = -1);
// Fills a polygon (even-odd rule); points are (x, y) pairs in pixels.
void paint_polygon(Image& im, const std::vector<double>& xy, Rgb c, int alpha = -1);
void paint_circle(Image& im, double cx, double cy, double r, Rgb c, int alpha = -1);
// A line of the given width.
void paint_line(Image& im, double x0, double y0, double x1, double y1, double width, Rgb c, int alpha = -1);
// Multiplies the colour of a rectangle by 1 +- amount of hashed noise.
void paint_noise(Image& im, int x0, int y0, int x1, int y1, double amount, uint32_t seed);

// Hashed noise in [0, 1) for integer coordinates and a seed.
double paint_noise(int x, int y, uint32_t seed);
// Smooth value noise in [0, 1) at a scale in pixels.
double noise_smooth(double x, double y, double scale, uint32_t seed);

// A tangent-space normal map (RGB) from a height field (0..1 per pixel,
// rows top to bottom) with the given strength. The tangent runs against
// the picture's u and the bitangent down its rows, as the game's meshes
// compute them.
Image normal_map_from_heights(const std::vector<float>& h, int w, int hgt, double strength);
