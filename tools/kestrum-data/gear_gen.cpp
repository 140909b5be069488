// Gear variants the robot roster wears and the gear menus offer:
// "rider_body-altN.png" (riding gear), "rider_head-altN.png" (helmets) and
// "wheels-altN.png" (wheel graphics). Each paints the same cells as the
// default pictures the shipped models map, so any variant fits any rider:
//   rider body 512 x 512 in 128-pixel cells: jersey (0,0) 2 x 2 with u round
//   the torso; sleeves (2,0) 2 x 1; pants (2,1) 2 x 1; boots (0,2) 2 x 1;
//   gloves (2,2); collar (3,2); soles (0,3);
//   helmet 256 x 256 in 128-pixel cells: shell (0,0) 2 x 1, u round it and t
//   from the crown down; peak (0,1); goggles (1,1);
//   wheels 256 x 256 in 64-pixel cells: tread (0,0) 2 x 1; knobs (2,0);
//   rim (3,0); hub (0,1); spokes (1,1); brake disc (2,1); sprocket (3,1).
#include "art_util.h"
#include "dataset.h"

#include <cmath>
#include <cstdio>

namespace {

using art::Colour;

struct Rect {
    int x0, y0, x1, y1;
};

Rect cell(int col, int row, int size, int w = 1, int h = 1)
{
    return {col * size, row * size, (col + w) * size, (row + h) * size};
}

// Fills a cell, the painter seeing (u, t) in 0..1 across it.
template <typename F>
void paint(Image& im, Rect r, F colour_at)
{
    for (int y = r.y0; y < r.y1; y++)
        for (int x = r.x0; x < r.x1; x++) {
            double u = (x + 0.5 - r.x0) / (r.x1 - r.x0), t = (y + 0.5 - r.y0) / (r.y1 - r.y0);
            art::put(im, x, y, colour_at(u, t));
        }
}

// Soft 1-texel-wide band between a and b along a coordinate.
double band(double v, double a, double b)
{
    return art::smoothstep(a - 0.006, a + 0.006, v) * (1 - art::smoothstep(b - 0.006, b + 0.006, v));
}

// Fabric: a faint weave so large areas don't look like flat plastic.
Colour cloth(Colour c, double u, double t, uint32_t seed)
{
    double n = art::fbm(u * 40, t * 40, 3, seed) - 0.5;
    return {c.r * (1 + n * 0.12), c.g * (1 + n * 0.12), c.b * (1 + n * 0.12)};
}

struct Gear {
    Colour main, second, accent, pants, boots, gloves;
    int style;  // jersey pattern: 0 chevrons, 1 bands, 2 diagonal flashes
};

Image rider_body(const Gear& g, uint32_t seed)
{
    const int C = 128;
    Image im = image_make(512, 512, 3);
    paint(im, {0, 0, 512, 512}, [&](double, double) { return Colour{90, 90, 96}; });
    // Jersey: yoke across the shoulders, the pattern below, a hem band.
    paint(im, cell(0, 0, C, 2, 2), [&](double u, double t) {
        Colour c = g.main;
        if (t < 0.22)
            c = g.second;
        double pattern = 0;
        if (g.style == 0)
            pattern = band(std::fmod(t + std::fabs(std::fmod(u * 4, 1.0) - 0.5) * 0.5, 0.25), 0.0, 0.07);
        else if (g.style == 1)
            pattern = band(t, 0.42, 0.5) + band(t, 0.56, 0.6);
        else
            pattern = band(std::fmod(u * 3 + t * 1.5, 1.0), 0.1, 0.3) * (t > 0.25 && t < 0.85 ? 1 : 0);
        c = art::mix(c, g.accent, art::clamp01(pattern));
        if (t > 0.9)
            c = g.second;
        return cloth(c, u, t, seed);
    });
    // Sleeves: main colour, a stripe along the arm and cuffs at the ends.
    paint(im, cell(2, 0, C, 2, 1), [&](double u, double t) {
        Colour c = art::mix(g.main, g.second, band(t, 0.42, 0.58));
        c = art::mix(c, g.accent, band(t, 0.47, 0.53));
        if (u < 0.06 || u > 0.94)
            c = g.second;
        return cloth(c, u, t, seed + 1);
    });
    // Pants: knee panels, hip yoke and seams.
    paint(im, cell(2, 1, C, 2, 1), [&](double u, double t) {
        Colour c = g.pants;
        c = art::mix(c, g.second, band(t, 0.55, 0.75) * 0.85);
        c = art::mix(c, g.accent, band(t, 0.1, 0.16));
        c = art::mix(c, Colour{20, 20, 22}, band(std::fmod(u * 4, 1.0), 0.49, 0.51) * 0.4);
        return cloth(c, u, t, seed + 2);
    });
    // Boots: tall shells with three buckles.
    paint(im, cell(0, 2, C, 2, 1), [&](double u, double t) {
        Colour c = g.boots;
        for (double b : {0.25, 0.45, 0.65})
            c = art::mix(c, Colour{40, 40, 44}, band(t, b, b + 0.06));
        c = art::mix(c, Colour{30, 30, 30}, art::smoothstep(0.85, 0.9, t));
        double n = art::fbm(u * 20, t * 20, 2, seed + 3) - 0.5;
        return Colour{c.r * (1 + n * 0.06), c.g * (1 + n * 0.06), c.b * (1 + n * 0.06)};
    });
    paint(im, cell(2, 2, C), [&](double u, double t) {
        Colour c = art::mix(g.gloves, g.accent, band(std::fmod(u * 4, 1.0), 0.2, 0.4) * (t < 0.4 ? 1 : 0));
        return cloth(c, u, t, seed + 4);
    });
    paint(im, cell(3, 2, C), [&](double u, double t) { return cloth(g.second, u, t, seed + 5); });
    paint(im, cell(0, 3, C), [&](double u, double t) {
        double knob = band(std::fmod(u * 6, 1.0), 0.2, 0.8) * band(std::fmod(t * 6, 1.0), 0.2, 0.8);
        return art::mix(Colour{28, 26, 24}, Colour{55, 52, 48}, knob);
    });
    return im;
}

struct Helmet {
    Colour shell, second, accent, lens;
};

Image rider_head(const Helmet& h)
{
    const int C = 128;
    Image im = image_make(256, 256, 3);
    // Shell: glossy with a crown stripe running front to back and a darker
    // rim round the bottom edge.
    paint(im, cell(0, 0, C, 2, 1), [&](double u, double t) {
        Colour c = h.shell;
        double stripe = band(std::fmod(u + 0.25, 0.5), 0.2, 0.3);
        c = art::mix(c, h.second, stripe);
        c = art::mix(c, h.accent, band(std::fmod(u + 0.25, 0.5), 0.235, 0.265));
        c = art::mix(c, h.second, band(t, 0.62, 0.7));
        if (t > 0.9)
            c = Colour{24, 24, 26};
        double gloss = 1 + 0.25 * std::exp(-std::pow((t - 0.25) / 0.12, 2));
        return Colour{c.r * gloss, c.g * gloss, c.b * gloss};
    });
    paint(im, cell(0, 1, C), [&](double u, double t) {
        Colour c = art::mix(h.second, h.accent, band(u, 0.45, 0.55));
        return art::mix(c, h.shell, band(t, 0.0, 0.12));
    });
    // Goggles: a tinted mirror lens inside a frame, on a strap.
    paint(im, cell(1, 1, C), [&](double u, double t) {
        double lens = band(u, 0.08, 0.92) * band(t, 0.2, 0.8);
        Colour sheen = art::mix(h.lens, Colour{250, 250, 255}, art::clamp01(1 - t * 1.6) * 0.6);
        Colour frame = Colour{30, 30, 34};
        Colour strap = art::mix(h.accent, Colour{20, 20, 20}, band(std::fmod(u * 8, 1.0), 0.45, 0.55));
        Colour c = t < 0.12 || t > 0.88 ? strap : frame;
        return art::mix(c, sheen, lens);
    });
    return im;
}

struct Wheels {
    Colour rim, hub, sprocket;
};

Image wheels(const Wheels& w)
{
    const int C = 64;
    Image im = image_make(256, 256, 3);
    paint(im, {0, 0, 256, 256}, [&](double, double) { return Colour{70, 70, 74}; });
    paint(im, cell(0, 0, C, 2, 1), [&](double u, double t) {
        double knob = band(std::fmod(u * 16 + (std::fmod(t * 4, 2.0) < 1 ? 0 : 0.5), 1.0), 0.2, 0.7) *
                      band(std::fmod(t * 4, 1.0), 0.15, 0.75);
        double n = art::fbm(u * 30, t * 10, 2, 71);
        return art::mix(Colour{22 + n * 8, 21 + n * 8, 20 + n * 8}, Colour{40, 38, 36}, knob);
    });
    paint(im, cell(2, 0, C), [&](double u, double t) {
        double n = art::fbm(u * 12, t * 12, 2, 72);
        return Colour{34 + n * 10, 33 + n * 10, 31 + n * 10};
    });
    paint(im, cell(3, 0, C), [&](double u, double t) {
        double brushed = 0.9 + 0.1 * art::noise(u * 3, t * 60, 73);
        Colour c = {w.rim.r * brushed, w.rim.g * brushed, w.rim.b * brushed};
        return art::mix(c, Colour{240, 240, 240}, band(t, 0.45, 0.55) * 0.5);
    });
    paint(im, cell(0, 1, C), [&](double u, double t) {
        double sheen = 0.85 + 0.3 * std::exp(-std::pow((t - 0.35) / 0.15, 2));
        return Colour{w.hub.r * sheen, w.hub.g * sheen, w.hub.b * sheen};
    });
    paint(im, cell(1, 1, C), [&](double u, double t) {
        double sheen = 0.8 + 0.35 * std::exp(-std::pow((u - 0.4) / 0.2, 2));
        return Colour{175 * sheen, 178 * sheen, 184 * sheen};
    });
    paint(im, cell(2, 1, C), [&](double u, double t) {
        double holes = band(std::fmod(u * 8, 1.0), 0.35, 0.65) * band(t, 0.35, 0.65);
        return art::mix(Colour{168, 168, 172}, Colour{50, 50, 54}, holes);
    });
    paint(im, cell(3, 1, C), [&](double u, double t) {
        double teeth = band(std::fmod(u * 10, 1.0), 0.25, 0.75) * (t < 0.25 ? 1 : 0);
        return art::mix(w.sprocket, Colour{30, 30, 30}, teeth * 0.6);
    });
    return im;
}

bool build_gear(DataSet& ds)
{
    const Gear gears[] = {
        {{200, 28, 32}, {245, 245, 245}, {25, 25, 28}, {235, 235, 235}, {240, 240, 240}, {200, 28, 32}, 0},
        {{24, 64, 170}, {250, 205, 30}, {250, 250, 250}, {24, 40, 110}, {30, 30, 34}, {250, 205, 30}, 1},
        {{40, 150, 60}, {20, 22, 24}, {240, 240, 240}, {30, 32, 34}, {40, 150, 60}, {20, 22, 24}, 2},
    };
    const Helmet helmets[] = {
        {{245, 245, 245}, {200, 28, 32}, {20, 20, 24}, {230, 120, 40}},
        {{250, 205, 30}, {24, 64, 170}, {250, 250, 250}, {60, 140, 230}},
        {{25, 25, 28}, {40, 150, 60}, {240, 240, 240}, {160, 60, 200}},
    };
    const Wheels wheel_sets[] = {
        {{220, 170, 40}, {30, 70, 170}, {220, 170, 40}},
        {{30, 30, 34}, {190, 30, 30}, {200, 200, 205}},
    };
    for (int i = 0; i < 3; i++) {
        char name[64];
        std::snprintf(name, sizeof name, "rider_body-alt%d.png", i + 1);
        dataset_add(ds, name, image_encode_png(rider_body(gears[i], 900u + uint32_t(i))));
        std::snprintf(name, sizeof name, "rider_head-alt%d.png", i + 1);
        dataset_add(ds, name, image_encode_png(rider_head(helmets[i])));
    }
    for (int i = 0; i < 2; i++) {
        char name[64];
        std::snprintf(name, sizeof name, "wheels-alt%d.png", i + 1);
        dataset_add(ds, name, image_encode_png(wheels(wheel_sets[i])));
    }
    return true;
}

}  // namespace

KESTRUM_DATA_BUILDER("gear variants", 100, build_gear);
