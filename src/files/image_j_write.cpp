// The J6/J7 encoder: the exact inverse of image_read_j_body.
#include "files/image.h"

#include <cstdio>

std::string image_encode_j(const uint8_t* pixels, int width, int height, int channels)
{
    char header[64];
    std::snprintf(header, sizeof header, "J%d\n%d %d\n", channels == 4 ? 7 : 6, width, height);
    std::string out = header;
    size_t row = size_t(width) * size_t(channels);
    out.reserve(out.size() + row * size_t(height));
    for (int y = 0; y < height; y++) {
        const uint8_t* cur = pixels + row * size_t(y);
        const uint8_t* up = y > 0 ? cur - row : nullptr;
        for (size_t i = 0; i < row; i++) {
            size_t x = i / size_t(channels);
            int pred;
            if (y == 0 && x == 0)
                pred = 0;
            else if (y == 0)
                pred = cur[i - size_t(channels)];
            else if (x == 0)
                pred = up[i];
            else {
                pred = up[i] + cur[i - size_t(channels)] - up[i - size_t(channels)];
                pred = pred < 0 ? 0 : (pred > 255 ? 255 : pred);
            }
            out.push_back(char(uint8_t(cur[i] - pred)));
        }
    }
    return out;
}
