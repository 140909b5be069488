// The three bitmap fonts: glyph cells in a picture whose top-left pixel
// gives the marker colour. Each text row starts with a marker pixel in
// column 0; in that row a marker opens every cell, and one more marker
// closes the last cell. A final marker row below the last text row ends it,
// so every text row is exactly one line high. Glyphs are white, their alpha
// the rasterised coverage, so the program's colour tints them.
#include "art_util.h"
#include "dataset.h"

#include <cstdio>
#include <cstring>

namespace {

const art::Colour WHITE = {255, 255, 255};
const uint8_t MARKER[4] = {255, 0, 255, 255};

struct FontLayout {
    const char* file;   // system font
    int size_x, size_y; // pixel size
    int line;           // text row height in pixels, marker row included
    int pad;            // transparent pixels on each side of a glyph
    int width, height;  // picture size
    const char* charset;
};

void mark(Image& im, int x, int y)
{
    std::memcpy(image_at(im, x, y), MARKER, 4);
}

// Lays the glyphs out row by row; false when they don't fit.
bool build_font(const FontLayout& L, Image* out)
{
    art::Face* face = art::face_open(L.file, L.size_x, L.size_y);
    if (!face)
        return false;
    Image im = image_make(L.width, L.height, 4);
    for (size_t i = 0; i < im.pixels.size(); i += 4)
        im.pixels[i] = im.pixels[i + 1] = im.pixels[i + 2] = 255;  // transparent white
    int asc = art::face_ascender(face), desc = art::face_descender(face);
    // Centre the font's line box in the row below the marker row.
    int baseline = 1 + (L.line - 1 - (asc + desc)) / 2 + asc;
    int x = 0, row = 0;
    bool ok = true;
    for (const char* p = L.charset; *p && ok; p++) {
        art::Glyph g;
        if (!art::face_glyph(face, (unsigned char)*p, &g)) {
            std::fprintf(stderr, "kestrum-data: no glyph for '%c'\n", *p);
            ok = false;
            break;
        }
        // Glyphs that reach past their advance (the hook of "j") widen
        // their cell instead of touching its edge: a texel on the edge
        // would bleed into the neighbouring cell under linear filtering.
        int over_left = g.left < 0 ? -g.left : 0;
        int over_right = g.left + g.width > g.advance ? g.left + g.width - g.advance : 0;
        int cell = g.advance + 2 * L.pad + over_left + over_right;
        if (x + cell + 1 > L.width) {  // +1: the closing marker
            mark(im, x, row * L.line);
            x = 0;
            row++;
        }
        if ((row + 1) * L.line > L.height) {
            std::fprintf(stderr, "kestrum-data: font '%s' does not fit %dx%d\n", L.file, L.width, L.height);
            ok = false;
            break;
        }
        int y0 = row * L.line;
        mark(im, x, y0);
        for (int j = 0; j < g.rows; j++) {
            for (int i = 0; i < g.width; i++) {
                int px = x + L.pad + over_left + g.left + i, py = y0 + baseline - g.top + j;
                // Glyphs stay inside their own cell, clear of its edges, and
                // below the marker row.
                if (px < x + 1 || px >= x + cell - 1 || py <= y0 || py >= y0 + L.line - 1)
                    continue;
                art::blend(im, px, py, WHITE, g.coverage[size_t(j * g.width + i)] / 255.0);
            }
        }
        x += cell;
    }
    art::face_close(face);
    if (!ok)
        return false;
    if (x < L.width)
        mark(im, x, row * L.line);
    if ((row + 1) * L.line < L.height)
        mark(im, 0, (row + 1) * L.line);  // ends the last text row
    *out = im;
    return true;
}

// The widest digit of a face at a size, in pixels.
int widest_digit(const char* file, int size_x, int size_y)
{
    art::Face* face = art::face_open(file, size_x, size_y);
    if (!face)
        return 1 << 20;
    int widest = 0;
    for (char c = '0'; c <= '9'; c++) {
        art::Glyph g;
        if (art::face_glyph(face, (unsigned char)c, &g) && g.advance > widest)
            widest = g.advance;
    }
    art::face_close(face);
    return widest;
}

// Digit fonts for number plates (128 x 128): the normal digits stay at most
// 48 pixels wide so three fit within 9/8 of the plate; the condensed ones
// at most 40 so three fit inside it.
bool build_digits(const char* file, int max_cell, Image* out)
{
    const int line = 100, size_y = 104, pad = 1;
    int size_x = size_y;
    while (size_x > 8 && widest_digit(file, size_x, size_y) + 2 * pad > max_cell)
        size_x--;
    FontLayout L = {file, size_x, size_y, line, pad, 512, line, "0123456789"};
    return build_font(L, out);
}

}  // namespace

bool build_fonts(DataSet& ds)
{
    Image main_font, digits, condensed;
    FontLayout main_layout = {"DejaVuSans-Bold.ttf", 0, 40, 52, 1, 512, 512,
                              "!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`"
                              "abcdefghijklmnopqrstuvwxyz{|}~"};
    if (!build_font(main_layout, &main_font) || !build_digits("DejaVuSans-Bold.ttf", 48, &digits) ||
        !build_digits("DejaVuSansCondensed-Bold.ttf", 40, &condensed))
        return false;
    dataset_add(ds, "font.png", image_encode_png(main_font));
    dataset_add(ds, "numbers.png", image_encode_png(digits));
    dataset_add(ds, "numbers-condensed.png", image_encode_png(condensed));
    return true;
}

KESTRUM_DATA_BUILDER("fonts", 100, build_fonts);
