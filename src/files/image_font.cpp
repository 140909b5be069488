// Cell discovery, string measurement and painting into pixel buffers.
#include "files/image_font.h"
#include "files/image.h"

#include <cstring>

const char FONT_MAIN_CHARSET[] =
    "!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~";
const char FONT_DIGITS_CHARSET[] = "0123456789";

namespace {

constexpr float DEFAULT_ASPECT = 2.0f / 3.0f;

uint32_t pixel_at(const uint8_t* rgba, int width, int x, int y)
{
    uint32_t v;
    std::memcpy(&v, rgba + (size_t(y) * size_t(width) + size_t(x)) * 4, 4);
    return v;
}

// First column c >= from in row y holding the marker, or the width.
int next_marker_column(const uint8_t* rgba, int width, int y, int from, uint32_t marker)
{
    for (int c = from; c < width; c++)
        if (pixel_at(rgba, width, c, y) == marker)
            return c;
    return width;
}

// First row r >= from whose column 0 holds the marker, or the height.
int next_marker_row(const uint8_t* rgba, int width, int height, int from, uint32_t marker)
{
    for (int r = from; r < height; r++)
        if (pixel_at(rgba, width, 0, r) == marker)
            return r;
    return height;
}

}  // namespace

void font_clear(Font* font)
{
    font->texture = 0;
    font->pixels.clear();
    font->width = font->height = 0;
    std::memset(font->glyph, 0, sizeof font->glyph);
    for (float& a : font->aspect)
        a = DEFAULT_ASPECT;
}

void font_from_pixels(Font* font, const uint8_t* rgba, int width, int height, const char* charset)
{
    font_clear(font);
    if (!rgba || width < 1 || height < 1)
        return;
    uint32_t marker = pixel_at(rgba, width, 0, 0);
    int text_rows = 0;
    for (int r = 0; r < height; r++)
        if (pixel_at(rgba, width, 0, r) == marker)
            text_rows++;
    int x0 = 0, y0 = 0;
    int x1 = next_marker_column(rgba, width, 0, 1, marker);
    int y1 = next_marker_row(rgba, width, height, 1, marker);
    for (const char* p = charset; *p; p++) {
        unsigned char ch = (unsigned char)*p;
        // A used-up text row moves on to the next one; rows without a
        // marker after column 0 hold no cells and are passed over, unless
        // no row has any (then the whole row is the cell).
        for (int tries = 0; x1 == width && tries < text_rows; tries++) {
            y0 = y1 == height ? 0 : y1;
            x0 = 0;
            x1 = next_marker_column(rgba, width, y0, 1, marker);
            y1 = next_marker_row(rgba, width, height, y0 + 1, marker);
        }
        font->glyph[ch][0] = float(x0) / float(width);
        font->glyph[ch][1] = float(y0) / float(height);
        font->glyph[ch][2] = float(x1) / float(width);
        font->glyph[ch][3] = float(y1) / float(height);
        font->aspect[ch] = float(x1 - x0) / float(y1 - y0);
        x0 = x1;
        x1 = next_marker_column(rgba, width, y0, x0 + 1, marker);
    }
    font->aspect[(unsigned char)' '] = font->aspect[(unsigned char)'-'];

    font->width = width;
    font->height = height;
    font->pixels.assign(rgba, rgba + size_t(width) * size_t(height) * 4);
    const uint8_t clear[4] = {255, 255, 255, 0};
    for (int y = 0; y < height; y++) {
        if (y > 0 && pixel_at(rgba, width, 0, y) != marker)
            continue;
        // Column 0 goes last so the row test above still sees the marker.
        for (int x = width - 1; x >= 0; x--)
            if (pixel_at(rgba, width, x, y) == marker)
                std::memcpy(&font->pixels[(size_t(y) * size_t(width) + size_t(x)) * 4], clear, 4);
    }
    ImageBuffer im;
    im.width = width;
    im.height = height;
    im.channels = 4;
    im.pixels.swap(font->pixels);
    image_build_mipmaps(im);
    font->pixels.swap(im.pixels);
}

bool font_load(Font* font, const char* name, const char* charset)
{
    font_clear(font);
    ImageBuffer im;
    if (!image_read_rgba(name, &im))
        return false;
    font_from_pixels(font, im.pixels.data(), im.width, im.height, charset);
    return true;
}

float font_text_width(const Font& font, const char* text)
{
    float s = font.aspect[(unsigned char)' '];
    float x = 0;
    for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
        if (*p == '\t') {
            float stop = 8 * s;
            x = stop > 0 ? float(int(x / stop)) * stop + stop : x;
        } else if (*p == '\r' || *p == '\n') {
            x = 0;
        } else {
            x += font.aspect[*p];
        }
    }
    return x;
}

namespace {

// Float to byte, truncating; out-of-range colours (a tint above 1) clamp.
uint8_t to_byte(float v)
{
    int i = int(v * 255);
    return uint8_t(i < 0 ? 0 : (i > 255 ? 255 : i));
}

struct GlyphRect {
    int x0, y0, x1, y1;
};

GlyphRect glyph_rect(const Font& f, unsigned char c)
{
    return {int(f.glyph[c][0] * float(f.width)), int(f.glyph[c][1] * float(f.height)),
            int(f.glyph[c][2] * float(f.width)), int(f.glyph[c][3] * float(f.height))};
}

void measure(const Font& f, const char* text, int* total, int* tallest)
{
    *total = 0;
    *tallest = 0;
    for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
        GlyphRect g = glyph_rect(f, *p);
        *total += g.x1 - g.x0;
        if (g.y1 - g.y0 > *tallest)
            *tallest = g.y1 - g.y0;
    }
}

}  // namespace

void font_text_into_pixels(const Font& digits, const Font& condensed, uint8_t* buffer, int width, int height,
                           float r, float g, float b, float a, const char* text)
{
    if (digits.pixels.empty() || !buffer || width < 1 || height < 1)
        return;
    const Font* f = &digits;
    int total, tallest;
    measure(*f, text, &total, &tallest);
    if (total > 9 * width / 8 && !condensed.pixels.empty()) {
        f = &condensed;
        measure(*f, text, &total, &tallest);
    }
    int x = width / 2 - total / 2;
    int y = height / 2 - tallest / 2;
    const float k = 1.0f / 255.0f;
    for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
        GlyphRect gr = glyph_rect(*f, *p);
        int sx = gr.x0, sy = gr.y0, w = gr.x1 - gr.x0, h = gr.y1 - gr.y0;
        int dx = x, dy = y;
        int advance = w;
        // Clip against the buffer and the font picture, per axis.
        if (dx < 0) { sx -= dx; w += dx; dx = 0; }
        if (dy < 0) { sy -= dy; h += dy; dy = 0; }
        if (sx < 0) { dx -= sx; w += sx; sx = 0; }
        if (sy < 0) { dy -= sy; h += sy; sy = 0; }
        if (dx + w > width) w = width - dx;
        if (dy + h > height) h = height - dy;
        if (sx + w > f->width) w = f->width - sx;
        if (sy + h > f->height) h = f->height - sy;
        if (w > 0 && h > 0) {
            for (int j = 0; j < h; j++) {
                for (int i = 0; i < w; i++) {
                    const uint8_t* s = &f->pixels[(size_t(sy + j) * size_t(f->width) + size_t(sx + i)) * 4];
                    uint8_t* d = &buffer[(size_t(dy + j) * size_t(width) + size_t(dx + i)) * 4];
                    float alpha = float(s[3]) * k * a;
                    d[0] = to_byte(float(d[0]) * k * (1 - alpha) + float(s[0]) * k * r * alpha);
                    d[1] = to_byte(float(d[1]) * k * (1 - alpha) + float(s[1]) * k * g * alpha);
                    d[2] = to_byte(float(d[2]) * k * (1 - alpha) + float(s[2]) * k * b * alpha);
                    d[3] = to_byte(alpha * alpha + float(d[3]) * k * (1 - alpha));
                }
            }
        }
        x += advance;
    }
}
