// Encoders for the pictures the builder makes: 8-bit RGB/RGBA/grey PNG and
// binary PPM/PGM. Deterministic: no time stamps or text chunks.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Image {
    int width = 0, height = 0;
    int channels = 3;               // 1 grey, 3 RGB, 4 RGBA
    std::vector<uint8_t> pixels;    // rows top to bottom, channels interleaved
};

Image image_make(int width, int height, int channels);
inline uint8_t* image_at(Image& im, int x, int y) { return &im.pixels[size_t((y * im.width + x) * im.channels)]; }

// PNG bytes of an 8-bit image (1, 3 or 4 channels).
std::string image_encode_png(const Image& im);
// 16-bit grey PNG of heights, one value per pixel, rows top to bottom.
std::string image_encode_png16(int width, int height, const std::vector<uint16_t>& values);
// "P6" for RGB, "P5" for grey.
std::string image_encode_pnm(const Image& im);
