#include "art_util.h"

#include "paint.h"

#include <cmath>
#include <cstdio>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace art {

Colour mix(Colour a, Colour b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double clamp01(double v)
{
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

double smoothstep(double a, double b, double x)
{
    double t = clamp01((x - a) / (b - a));
    return t * t * (3 - 2 * t);
}

namespace {

uint8_t to_byte(double v)
{
    return uint8_t(std::lround(clamp01(v / 255.0) * 255.0));
}

}  // namespace

void put(Image& im, int x, int y, Colour c, double alpha)
{
    if (x < 0 || y < 0 || x >= im.width || y >= im.height)
        return;
    uint8_t* p = image_at(im, x, y);
    p[0] = to_byte(c.r);
    if (im.channels >= 3) {
        p[1] = to_byte(c.g);
        p[2] = to_byte(c.b);
    }
    if (im.channels == 4)
        p[3] = to_byte(alpha * 255);
}

void blend(Image& im, int x, int y, Colour c, double alpha)
{
    if (x < 0 || y < 0 || x >= im.width || y >= im.height || alpha <= 0)
        return;
    alpha = clamp01(alpha);
    uint8_t* p = image_at(im, x, y);
    if (im.channels == 4) {
        double da = p[3] / 255.0;
        double oa = alpha + da * (1 - alpha);
        for (int k = 0; k < 3; k++) {
            double src = k == 0 ? c.r : k == 1 ? c.g : c.b;
            double v = oa > 0 ? (src * alpha + p[k] * da * (1 - alpha)) / oa : src;
            p[k] = to_byte(v);
        }
        p[3] = to_byte(oa * 255);
        return;
    }
    for (int k = 0; k < im.channels && k < 3; k++) {
        double src = k == 0 ? c.r : k == 1 ? c.g : c.b;
        p[k] = to_byte(p[k] + (src - p[k]) * alpha);
    }
}

double noise(double x, double y, uint32_t seed)
{
    return noise_smooth(x, y, 1.0, seed);
}

double fbm(double x, double y, int octaves, uint32_t seed)
{
    double sum = 0, amp = 0.5, total = 0;
    for (int i = 0; i < octaves; i++) {
        sum += noise(x, y, seed + uint32_t(i) * 101u) * amp;
        total += amp;
        x *= 2.03;
        y *= 2.03;
        amp *= 0.5;
    }
    return sum / total;
}

void disc(Image& im, double cx, double cy, double r, Colour c, double alpha)
{
    for (int y = int(cy - r - 2); y <= int(cy + r + 2); y++)
        for (int x = int(cx - r - 2); x <= int(cx + r + 2); x++) {
            double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            blend(im, x, y, c, alpha * clamp01(r - d + 0.5));
        }
}

void line(Image& im, double x0, double y0, double x1, double y1, double width, Colour c, double alpha)
{
    double minx = std::fmin(x0, x1) - width - 2, maxx = std::fmax(x0, x1) + width + 2;
    double miny = std::fmin(y0, y1) - width - 2, maxy = std::fmax(y0, y1) + width + 2;
    double dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    for (int y = int(miny); y <= int(maxy); y++)
        for (int x = int(minx); x <= int(maxx); x++) {
            double px = x + 0.5 - x0, py = y + 0.5 - y0;
            double t = len2 > 0 ? clamp01((px * dx + py * dy) / len2) : 0;
            double d = std::hypot(px - t * dx, py - t * dy);
            blend(im, x, y, c, alpha * clamp01(width / 2 - d + 0.5));
        }
}

struct Face {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
};

std::string font_path(const char* file)
{
    return std::string("/usr/share/fonts/truetype/dejavu/") + file;
}

Face* face_open(const char* file, int size_x, int size_y)
{
    Face* f = new Face;
    std::string path = font_path(file);
    if (FT_Init_FreeType(&f->lib) != 0 || FT_New_Face(f->lib, path.c_str(), 0, &f->face) != 0 ||
        FT_Set_Pixel_Sizes(f->face, FT_UInt(size_x), FT_UInt(size_y)) != 0) {
        std::fprintf(stderr, "kestrum-data: can't load font '%s' (package fonts-dejavu-core)\n", path.c_str());
        face_close(f);
        return nullptr;
    }
    return f;
}

void face_close(Face* f)
{
    if (!f)
        return;
    if (f->face)
        FT_Done_Face(f->face);
    if (f->lib)
        FT_Done_FreeType(f->lib);
    delete f;
}

bool face_glyph(Face* f, unsigned char c, Glyph* out)
{
    if (FT_Load_Char(f->face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0)
        return false;
    FT_GlyphSlot g = f->face->glyph;
    out->width = int(g->bitmap.width);
    out->rows = int(g->bitmap.rows);
    out->left = g->bitmap_left;
    out->top = g->bitmap_top;
    out->advance = int((g->advance.x + 32) >> 6);
    out->coverage.assign(size_t(out->width) * size_t(out->rows), 0);
    for (int y = 0; y < out->rows; y++)
        for (int x = 0; x < out->width; x++)
            out->coverage[size_t(y * out->width + x)] = g->bitmap.buffer[y * g->bitmap.pitch + x];
    return true;
}

int face_ascender(Face* f)
{
    return int((f->face->size->metrics.ascender + 32) >> 6);
}

int face_descender(Face* f)
{
    return int((-f->face->size->metrics.descender + 32) >> 6);
}

int draw_text(Image* im, Face* face, int x, int y, const char* text, Colour c, double alpha)
{
    for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
        Glyph g;
        if (!face_glyph(face, *p, &g))
            continue;
        if (im)
            for (int j = 0; j < g.rows; j++)
                for (int i = 0; i < g.width; i++)
                    blend(*im, x + g.left + i, y - g.top + j, c, alpha * g.coverage[size_t(j * g.width + i)] / 255.0);
        x += g.advance;
    }
    return x;
}

}  // namespace art
