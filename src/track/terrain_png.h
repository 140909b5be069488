// Height images: PNG read as one 16-bit grey channel and written as one,
// with all I/O through streams (so archives and compressed copies work).
#pragma once
#include <cstdint>
#include <vector>

struct Stream;

// Reads any PNG as 16-bit grey: palette expanded, low-depth grey widened,
// alpha stripped, colour turned to grey with the library's weights; 8-bit
// samples become v*257. False when the picture cannot be read.
bool terrain_png_read(Stream* s, int* width, int* height, std::vector<uint16_t>* samples);

// Writes a width x height 16-bit grey PNG, not interlaced.
bool terrain_png_write(Stream* s, int width, int height, const std::vector<uint16_t>& samples);
