// Seamless ground tile textures, one per surface type. Each tile is drawn
// with texture coordinates 0.0625-0.9375, so the picture repeats every 112
// of its 128 texels and the 8-texel margins carry the wrap-around for
// blending with the neighbours.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>

#include "dataset.h"
#include "image_out.h"
#include "noise.h"

namespace {

constexpr int SIZE = 128;
constexpr int PERIOD = 112;
constexpr int MARGIN = 8;

struct Palette {
    const char* name;
    double base[3];
    double dark[3];
    double light[3];
    uint32_t seed;
};

// Position in the repeating picture for texel x.
int wrap(int x) { return ((x - MARGIN) % PERIOD + PERIOD) % PERIOD; }

// Periodic fractal noise at lattice cell `cell` texels (cell divides 112).
double tile_noise(int x, int y, int cell, int octaves, uint32_t seed)
{
    return noise_fractal(wrap(x), wrap(y), cell, octaves, seed, PERIOD / cell);
}

void mix(double out[3], const double a[3], const double b[3], double t)
{
    t = std::clamp(t, 0.0, 1.0);
    for (int c = 0; c < 3; c++)
        out[c] = a[c] + (b[c] - a[c]) * t;
}

Image make_texture(const Palette& p, double (*pattern)(int, int, uint32_t))
{
    Image im = image_make(SIZE, SIZE, 3);
    for (int y = 0; y < SIZE; y++)
        for (int x = 0; x < SIZE; x++) {
            double v = pattern(x, y, p.seed);  // -1 dark .. 1 light
            double col[3];
            if (v < 0)
                mix(col, p.base, p.dark, -v);
            else
                mix(col, p.base, p.light, v);
            uint8_t* px = image_at(im, x, y);
            for (int c = 0; c < 3; c++)
                px[c] = uint8_t(std::clamp(int(col[c] + 0.5), 0, 255));
        }
    return im;
}

double dirt_pattern(int x, int y, uint32_t seed)
{
    double v = 0.7 * tile_noise(x, y, 28, 4, seed);
    double pebble = tile_noise(x, y, 4, 1, seed + 5);
    if (pebble > 0.55)
        v += 1.2 * (pebble - 0.55) / 0.45;
    return v;
}

double packed_pattern(int x, int y, uint32_t seed)
{
    // Smooth, with faint tyre-polished streaks along the tile.
    double streak = 0.2 * tile_noise(x, 0, 4, 1, seed + 9);
    return 0.45 * tile_noise(x, y, 56, 3, seed) + streak + 0.2 * tile_noise(x, y, 2, 1, seed + 3);
}

double loose_pattern(int x, int y, uint32_t seed)
{
    double clumps = tile_noise(x, y, 8, 2, seed);
    return 0.9 * clumps + 0.3 * tile_noise(x, y, 28, 2, seed + 1);
}

double sand_pattern(int x, int y, uint32_t seed)
{
    // Wind ripples plus grain.
    double ripple = std::sin(2 * 3.14159265358979 * (wrap(x) / 16.0 + 0.15 * tile_noise(x, y, 28, 2, seed)));
    return 0.25 * ripple + 0.35 * tile_noise(x, y, 2, 1, seed + 2) + 0.3 * tile_noise(x, y, 56, 2, seed + 4);
}

double grass_pattern(int x, int y, uint32_t seed)
{
    double blades = tile_noise(x, y, 2, 2, seed);
    double tufts = tile_noise(x, y, 14, 3, seed + 8);
    return 0.55 * blades + 0.5 * tufts;
}

double mud_pattern(int x, int y, uint32_t seed)
{
    double wet = tile_noise(x, y, 28, 3, seed);
    // Wet patches shine.
    return wet > 0.35 ? 0.4 + (wet - 0.35) * 1.5 : 0.8 * wet;
}

double water_pattern(int x, int y, uint32_t seed)
{
    double ripple = std::sin(2 * 3.14159265358979 * (wrap(x) + wrap(y)) / 28.0 +
                             2.5 * tile_noise(x, y, 28, 2, seed));
    return 0.35 * ripple + 0.3 * tile_noise(x, y, 56, 2, seed + 6);
}

bool build_ground_textures(DataSet& ds)
{
    struct Entry {
        Palette palette;
        double (*pattern)(int, int, uint32_t);
    };
    const Entry entries[] = {
        {{"dirt", {124, 92, 64}, {86, 62, 42}, {160, 128, 96}, 11}, dirt_pattern},
        {{"packed", {136, 108, 80}, {108, 84, 62}, {160, 132, 102}, 12}, packed_pattern},
        {{"loose", {112, 80, 54}, {72, 50, 32}, {150, 116, 84}, 13}, loose_pattern},
        {{"sand", {196, 174, 128}, {160, 138, 96}, {222, 204, 160}, 14}, sand_pattern},
        {{"grass", {82, 112, 50}, {48, 74, 30}, {118, 146, 70}, 15}, grass_pattern},
        {{"mud", {74, 56, 40}, {50, 36, 26}, {112, 96, 80}, 16}, mud_pattern},
        {{"water", {70, 92, 100}, {44, 62, 72}, {130, 150, 160}, 17}, water_pattern},
    };
    // Preview: each texture's drawn part laid 2 x 2, as neighbouring tiles
    // show it, to check the seams by eye.
    const char* preview = std::getenv("KESTRUM_DATA_PREVIEW");
    Image sheet = image_make(2 * PERIOD * 7, 2 * PERIOD, 3);
    int column = 0;
    for (const Entry& e : entries) {
        Image im = make_texture(e.palette, e.pattern);
        dataset_add(ds, data_printf("ground/%s.png", e.palette.name), image_encode_png(im));
        for (int y = 0; y < 2 * PERIOD; y++)
            for (int x = 0; x < 2 * PERIOD; x++) {
                const uint8_t* src = image_at(im, MARGIN + x % PERIOD, MARGIN + y % PERIOD);
                std::copy(src, src + 3, image_at(sheet, column * 2 * PERIOD + x, y));
            }
        column++;
    }
    if (preview && *preview)
        std::ofstream(std::string(preview) + "/ground-tiles.png", std::ios::binary) << image_encode_png(sheet);

    // The default roost particle: a soft round blob, white so the roost
    // colour tints it.
    Image roost = image_make(32, 32, 4);
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++) {
            double r = std::hypot(x - 15.5, y - 15.5) / 15.5;
            double lumpy = 0.15 * noise_value(x, y, 4, 99);
            double a = std::clamp((1 - r + lumpy) * 2.2, 0.0, 1.0);
            uint8_t* px = image_at(roost, x, y);
            px[0] = px[1] = px[2] = 255;
            px[3] = uint8_t(a * 255 + 0.5);
        }
    dataset_add(ds, "roost.png", image_encode_png(roost));
    return true;
}

}  // namespace

KESTRUM_DATA_BUILDER("ground-textures", 100, build_ground_textures);
