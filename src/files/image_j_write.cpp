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
            int pred = image_j_predict(cur, up, i, i / size_t(channels), channels);
            out.push_back(char(uint8_t(cur[i] - pred)));
        }
    }
    return out;
}
