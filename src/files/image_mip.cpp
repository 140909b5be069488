// Mipmap chains, power-of-two resampling and detail reduction.
#include "files/image.h"

bool image_size_ok(long long width, long long height)
{
    return width >= 1 && height >= 1 && width <= IMAGE_MAX_SIDE && height <= IMAGE_MAX_SIDE &&
           width * height <= IMAGE_MAX_PIXELS;
}

size_t image_chain_bytes(int width, int height, int channels)
{
    size_t total = 0;
    int w = width, h = height;
    for (;;) {
        total += size_t(w) * size_t(h) * size_t(channels);
        if (w == 1 && h == 1)
            break;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    return total;
}

void image_mip_step(const uint8_t* src, int w, int h, int channels, bool max_alpha, uint8_t* dst)
{
    int nw = w > 1 ? w / 2 : 1;
    int nh = h > 1 ? h / 2 : 1;
    // A side of 1 averages pairs along the other side only.
    int bx = w > 1 ? 2 : 1;
    int by = h > 1 ? 2 : 1;
    int n = bx * by;
    for (int y = 0; y < nh; y++) {
        for (int x = 0; x < nw; x++) {
            const uint8_t* p[4];
            int k = 0;
            for (int dy = 0; dy < by; dy++)
                for (int dx = 0; dx < bx; dx++)
                    p[k++] = src + (size_t(y * by + dy) * size_t(w) + size_t(x * bx + dx)) * size_t(channels);
            uint8_t* out = dst + (size_t(y) * size_t(nw) + size_t(x)) * size_t(channels);
            if (channels != 4) {
                for (int c = 0; c < channels; c++) {
                    int sum = 0;
                    for (int i = 0; i < n; i++)
                        sum += p[i][c];
                    out[c] = uint8_t(sum / n);
                }
                continue;
            }
            int asum = 0, amax = 0;
            for (int i = 0; i < n; i++) {
                asum += p[i][3];
                if (p[i][3] > amax)
                    amax = p[i][3];
            }
            // Colour weighted by alpha so transparent texels don't darken
            // the edges; fully clear or fully opaque blocks average plainly.
            bool plain = asum == 0 || asum == n * 255;
            for (int c = 0; c < 3; c++) {
                int sum = 0;
                for (int i = 0; i < n; i++)
                    sum += plain ? p[i][c] : p[i][c] * p[i][3];
                out[c] = uint8_t(plain ? sum / n : sum / asum);
            }
            out[3] = uint8_t(max_alpha ? amax : asum / n);
        }
    }
}

void image_build_mipmaps(ImageBuffer& im)
{
    size_t level0 = size_t(im.width) * size_t(im.height) * size_t(im.channels);
    im.pixels.resize(level0);
    im.pixels.resize(image_chain_bytes(im.width, im.height, im.channels));
    size_t at = 0;
    int w = im.width, h = im.height;
    while (w > 1 || h > 1) {
        size_t next = at + size_t(w) * size_t(h) * size_t(im.channels);
        image_mip_step(&im.pixels[at], w, h, im.channels, im.max_alpha_mips, &im.pixels[next]);
        at = next;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
}

namespace {

int next_pow2(int v)
{
    int p = 1;
    while (p < v)
        p *= 2;
    return p;
}

}  // namespace

bool image_resample_pow2(ImageBuffer& im)
{
    if (image_is_pow2(im.width) && image_is_pow2(im.height))
        return false;
    int W = next_pow2(im.width), H = next_pow2(im.height);
    size_t ch = size_t(im.channels);
    std::vector<uint8_t> out(size_t(W) * size_t(H) * ch);
    for (int y = 0; y < H; y++) {
        int sy = int((long long)y * im.height / H);
        for (int x = 0; x < W; x++) {
            int sx = int((long long)x * im.width / W);
            const uint8_t* s = &im.pixels[(size_t(sy) * size_t(im.width) + size_t(sx)) * ch];
            uint8_t* d = &out[(size_t(y) * size_t(W) + size_t(x)) * ch];
            for (size_t c = 0; c < ch; c++)
                d[c] = s[c];
        }
    }
    im.width = W;
    im.height = H;
    im.pixels.swap(out);
    im.max_alpha_mips = false;
    image_build_mipmaps(im);
    return true;
}

void image_detail_level(const ImageBuffer& im, int detail, size_t* offset, int* width, int* height)
{
    size_t at = 0;
    int w = im.width, h = im.height;
    while (detail > 0 && w > 128 && h > 128) {
        at += size_t(w) * size_t(h) * size_t(im.channels);
        w /= 2;
        h /= 2;
        detail--;
    }
    *offset = at;
    *width = w;
    *height = h;
}
