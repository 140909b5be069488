#include "paint.h"

#include <algorithm>
#include <cmath>

Rgb rgb_mix(Rgb a, Rgb b, double t)
{
    return Rgb{int(a.r + (b.r - a.r) * t), int(a.g + (b.g - a.g) * t), int(a.b + (b.b - a.b) * t)};
}

Rgb rgb_scale(Rgb a, double s)
{
    return Rgb{int(a.r * s), int(a.g * s), int(a.b * s)};
}

void paint_pixel(Image& im, int x, int y, Rgb c, int alpha)
{
    if (x < 0 || y < 0 || x >= im.width || y >= im.height)
        return;
    uint8_t* p = image_at(im, x, y);
    if (im.channels == 1) {
        p[0] = uint8_t(std::clamp((c.r + c.g + c.b) / 3, 0, 255));
        return;
    }
    p[0] = uint8_t(std::clamp(c.r, 0, 255));
    p[1] = uint8_t(std::clamp(c.g, 0, 255));
    p[2] = uint8_t(std::clamp(c.b, 0, 255));
    if (im.channels == 4 && alpha >= 0)
        p[3] = uint8_t(std::clamp(alpha, 0, 255));
}

void paint_rect(Image& im, int x0, int y0, int x1, int y1, Rgb c, int alpha)
{
    for (int y = std::max(0, y0); y < std::min(im.height, y1); y++)
        for (int x = std::max(0, x0); x < std::min(im.width, x1); x++)
            paint_pixel(im, x, y, c, alpha);
}

void paint_polygon(Image& im, const std::vector<double>& xy, Rgb c, int alpha)
{
    size_t n = xy.size() / 2;
    if (n < 3)
        return;
    double ymin = 1e30, ymax = -1e30;
    for (size_t i = 0; i < n; i++)
        ymin = std::min(ymin, xy[i * 2 + 1]), ymax = std::max(ymax, xy[i * 2 + 1]);
    for (int y = std::max(0, int(std::floor(ymin))); y <= std::min(im.height - 1, int(std::ceil(ymax))); y++) {
        double sy = y + 0.5;
        std::vector<double> xs;
        for (size_t i = 0; i < n; i++) {
            double x0 = xy[i * 2], y0 = xy[i * 2 + 1];
            double x1 = xy[((i + 1) % n) * 2], y1 = xy[((i + 1) % n) * 2 + 1];
            if ((y0 <= sy && y1 > sy) || (y1 <= sy && y0 > sy))
                xs.push_back(x0 + (sy - y0) * (x1 - x0) / (y1 - y0));
        }
        std::sort(xs.begin(), xs.end());
        for (size_t k = 0; k + 1 < xs.size(); k += 2)
            for (int x = int(std::ceil(xs[k] - 0.5)); x < int(std::ceil(xs[k + 1] - 0.5)); x++)
                paint_pixel(im, x, y, c, alpha);
    }
}

void paint_circle(Image& im, double cx, double cy, double r, Rgb c, int alpha)
{
    for (int y = int(cy - r) - 1; y <= int(cy + r) + 1; y++)
        for (int x = int(cx - r) - 1; x <= int(cx + r) + 1; x++) {
            double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            if (dx * dx + dy * dy <= r * r)
                paint_pixel(im, x, y, c, alpha);
        }
}

void paint_line(Image& im, double x0, double y0, double x1, double y1, double width, Rgb c, int alpha)
{
    double dx = x1 - x0, dy = y1 - y0;
    double len = std::sqrt(dx * dx + dy * dy);
    if (len <= 0)
        return;
    double nx = -dy / len * width / 2, ny = dx / len * width / 2;
    paint_polygon(im, {x0 + nx, y0 + ny, x1 + nx, y1 + ny, x1 - nx, y1 - ny, x0 - nx, y0 - ny}, c, alpha);
}

double paint_noise(int x, int y, uint32_t seed)
{
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xffffff) / 16777216.0;
}

double noise_smooth(double x, double y, double scale, uint32_t seed)
{
    double fx = x / scale, fy = y / scale;
    int ix = int(std::floor(fx)), iy = int(std::floor(fy));
    double tx = fx - ix, ty = fy - iy;
    tx = tx * tx * (3 - 2 * tx), ty = ty * ty * (3 - 2 * ty);
    double a = paint_noise(ix, iy, seed), b = paint_noise(ix + 1, iy, seed);
    double c = paint_noise(ix, iy + 1, seed), d = paint_noise(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

void paint_noise(Image& im, int x0, int y0, int x1, int y1, double amount, uint32_t seed)
{
    for (int y = std::max(0, y0); y < std::min(im.height, y1); y++)
        for (int x = std::max(0, x0); x < std::min(im.width, x1); x++) {
            // Quantised so that flat areas still compress well.
            double f = 1 + amount * (std::floor(paint_noise(x, y, seed) * 4) / 3 - 0.5) * 2;
            uint8_t* p = image_at(im, x, y);
            for (int k = 0; k < std::min(3, im.channels); k++)
                p[k] = uint8_t(std::clamp(int(p[k] * f), 0, 255));
        }
}

Image normal_map_from_heights(const std::vector<float>& h, int w, int hgt, double strength)
{
    Image im = image_make(w, hgt, 3);
    auto at = [&](int x, int y) {
        x = std::clamp(x, 0, w - 1), y = std::clamp(y, 0, hgt - 1);
        return double(h[size_t(y) * size_t(w) + size_t(x)]);
    };
    for (int y = 0; y < hgt; y++)
        for (int x = 0; x < w; x++) {
            double dx = (at(x + 1, y) - at(x - 1, y)) * strength;
            double dy = (at(x, y + 1) - at(x, y - 1)) * strength;
            // Tangent = -u, bitangent = +rows: the surface normal is
            // (dh/du, -dh/drows, 1) in that frame.
            double nx = dx, ny = -dy, nz = 1;
            double l = std::sqrt(nx * nx + ny * ny + nz * nz);
            uint8_t* p = image_at(im, x, y);
            p[0] = uint8_t(std::lround((nx / l * 0.5 + 0.5) * 255));
            p[1] = uint8_t(std::lround((ny / l * 0.5 + 0.5) * 255));
            p[2] = uint8_t(std::lround((nz / l * 0.5 + 0.5) * 255));
        }
    return im;
}
