// Reads the netpbm pictures a track folder holds (P6/P3 colour shading,
// P5/P2 grey shadows) through a stream. The richer texture formats are the
// renderer's; the ground needs only these, and needs them headless.
#pragma once
#include <cstdint>
#include <vector>

struct Stream;

struct PnmImage {
    int width = 0, height = 0;
    int channels = 0;              // 3 colour, 1 grey
    std::vector<uint8_t> pixels;   // rows top to bottom, scaled to 0..255
};

// Reads a colour (channels 3: P6/P3) or grey (channels 1: P5/P2) picture.
// False on any other format, a bad header, a picture over
// 8192 on a side or data that ends early.
bool pnm_read(Stream* s, int channels, PnmImage* out);
