// The HUD pictures (tachometer dial, gear atlas, pit board) and the title
// picture of the loading screen.
#include "art_util.h"
#include "dataset.h"
#include "files/image.h"

#include <cmath>
#include <cstdio>

namespace {

using art::Colour;

constexpr double PI = 3.14159265358979323846;

Image clear_rgba(int w, int h)
{
    Image im = image_make(w, h, 4);
    for (size_t i = 0; i < im.pixels.size(); i += 4)
        im.pixels[i] = im.pixels[i + 1] = im.pixels[i + 2] = 0;
    return im;
}

// Text centred on (cx, baseline y).
void text_centred(Image& im, art::Face* f, double cx, int y, const char* s, Colour c, double alpha = 1)
{
    int w = art::draw_text(nullptr, f, 0, 0, s, c);
    art::draw_text(&im, f, int(std::lround(cx - w / 2.0)), y, s, c, alpha);
}

// Filled rounded rectangle with anti-aliased corners.
void rounded_rect(Image& im, double x0, double y0, double x1, double y1, double r, Colour c, double alpha = 1)
{
    for (int y = int(y0) - 1; y <= int(y1) + 1; y++)
        for (int x = int(x0) - 1; x <= int(x1) + 1; x++) {
            double px = x + 0.5, py = y + 0.5;
            double qx = std::fmax(std::fmax(x0 + r - px, px - (x1 - r)), 0.0);
            double qy = std::fmax(std::fmax(y0 + r - py, py - (y1 - r)), 0.0);
            double inside_x = px >= x0 && px <= x1, inside_y = py >= y0 && py <= y1;
            double cover;
            if (qx > 0 && qy > 0)
                cover = art::clamp01(r - std::hypot(qx, qy) + 0.5);
            else
                cover = (inside_x && inside_y) ? 1 : 0;
            art::blend(im, x, y, c, alpha * cover);
        }
}

// Dial angle of an engine speed: clockwise from straight up, 0 rpm at
// -135 degrees and 16000 at +135, as the HUD turns its needle.
double rpm_angle(double rpm)
{
    return (rpm * 0.000046875 - 0.375) * 2 * PI;
}

Image make_tach()
{
    const int S = 256;
    const double c = S / 2.0;
    Image im = clear_rgba(S, S);
    // Bezel: brushed dark metal with a bright rim.
    for (int y = 0; y < S; y++)
        for (int x = 0; x < S; x++) {
            double dx = x + 0.5 - c, dy = y + 0.5 - c, d = std::hypot(dx, dy);
            double cover = art::clamp01(126 - d + 0.5);
            if (cover <= 0)
                continue;
            double shade = 0.5 + 0.5 * (-dy / 126.0);
            Colour metal = art::mix(Colour{40, 42, 46}, Colour{170, 175, 182}, shade);
            Colour face = art::mix(Colour{8, 9, 12}, Colour{34, 36, 42}, art::clamp01(1 - d / 116.0));
            Colour col = d < 114 ? face : (d < 116 ? Colour{90, 92, 98} : metal);
            art::blend(im, x, y, col, cover);
        }
    // Red zone from 12000 rpm to the end of the scale.
    for (int y = 0; y < S; y++)
        for (int x = 0; x < S; x++) {
            double dx = x + 0.5 - c, dy = y + 0.5 - c, d = std::hypot(dx, dy);
            if (d < 96 || d > 110)
                continue;
            double a = std::atan2(dx, -dy);
            if (a >= rpm_angle(12000) && a <= rpm_angle(16000))
                art::blend(im, x, y, Colour{210, 30, 24}, art::clamp01(std::fmin(d - 96, 110 - d)));
        }
    for (int rpm = 0; rpm <= 16000; rpm += 500) {
        double a = rpm_angle(rpm);
        bool major = rpm % 1000 == 0;
        double r0 = major ? 94 : 101, r1 = 111;
        Colour tick = rpm >= 12000 ? Colour{255, 235, 225} : Colour{240, 240, 240};
        art::line(im, c + r0 * std::sin(a), c - r0 * std::cos(a), c + r1 * std::sin(a), c - r1 * std::cos(a),
                  major ? 3.0 : 1.6, tick);
    }
    art::Face* f = art::face_open("DejaVuSans-Bold.ttf", 0, 19);
    art::Face* small = art::face_open("DejaVuSans.ttf", 0, 12);
    if (f && small) {
        for (int k = 0; k <= 16; k += 2) {
            double a = rpm_angle(k * 1000.0);
            char label[8];
            std::snprintf(label, sizeof label, "%d", k);
            text_centred(im, f, c + 78 * std::sin(a), int(std::lround(c - 78 * std::cos(a) + 7)), label,
                         k >= 12 ? Colour{255, 90, 70} : Colour{245, 245, 245});
        }
        text_centred(im, small, c, int(c + 46), "x1000 rpm", Colour{170, 175, 185});
    }
    art::face_close(f);
    art::face_close(small);
    // Hub the needle turns on.
    art::disc(im, c, c, 11, Colour{60, 62, 68});
    art::disc(im, c, c, 7, Colour{20, 20, 24});
    return im;
}

// 3 x 3 cells in reading order: cell k shows gear k + 1 for the six
// gears, then neutral; the last two are blank plates.
Image make_shifter()
{
    const int S = 256;
    Image im = clear_rgba(S, S);
    const char* labels[9] = {"1", "2", "3", "4", "5", "6", "N", "", ""};
    art::Face* f = art::face_open("DejaVuSans-Bold.ttf", 0, 58);
    for (int k = 0; k < 9; k++) {
        double x0 = (k % 3) * S / 3.0, y0 = (k / 3) * S / 3.0, cell = S / 3.0;
        rounded_rect(im, x0 + 5, y0 + 5, x0 + cell - 5, y0 + cell - 5, 12, Colour{12, 12, 14}, 0.85);
        rounded_rect(im, x0 + 8, y0 + 8, x0 + cell - 8, y0 + cell - 8, 9, Colour{36, 38, 44}, 0.9);
        if (f && labels[k][0])
            text_centred(im, f, x0 + cell / 2, int(y0 + cell / 2 + 21), labels[k],
                         k == 6 ? Colour{90, 230, 90} : Colour{255, 200, 40});
    }
    art::face_close(f);
    return im;
}

Image make_pitboard()
{
    const int S = 256;
    Image im = clear_rgba(S, S);
    // The pole, then the board with a white frame and bolts.
    rounded_rect(im, 118, 180, 138, 256, 3, Colour{180, 150, 60});
    rounded_rect(im, 6, 6, 250, 200, 10, Colour{240, 240, 236});
    rounded_rect(im, 12, 12, 244, 194, 7, Colour{14, 14, 16});
    for (int y = 12; y < 194; y++)
        for (int x = 12; x < 244; x++)
            if (im.pixels[size_t((y * S + x) * 4 + 3)] > 250) {
                double n = art::fbm(x / 9.0, y / 9.0, 3, 77) * 10;
                art::blend(im, x, y, Colour{30 + n, 30 + n, 34 + n}, 0.5);
            }
    for (auto [bx, by] : {std::pair{20, 20}, {236, 20}, {20, 186}, {236, 186}})
        art::disc(im, bx, by, 3.5, Colour{150, 150, 150});
    return im;
}

// The title: a dusk sky over rolling hills, a dirt jump with a rider in
// the air, and the game's name across the top. The middle stays calm for
// the loading messages.
Image make_title()
{
    const int W = 1024, H = 512;
    Image im = image_make(W, H, 3);
    const double horizon = 330;
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            double t = y / horizon;
            Colour sky = art::mix(Colour{22, 40, 92}, Colour{236, 128, 56}, std::pow(art::clamp01(t), 2.2));
            double sun = std::exp(-std::hypot(x - 760.0, y - 300.0) / 60.0);
            sky = art::mix(sky, Colour{255, 214, 140}, art::clamp01(sun * 1.4));
            double cloud = art::smoothstep(0.55, 0.8, art::fbm(x / 180.0, y / 45.0, 5, 11));
            sky = art::mix(sky, art::mix(Colour{120, 80, 110}, Colour{250, 170, 120}, art::clamp01(t)), cloud * 0.55);
            art::put(im, x, y, sky);
        }
    // Three hill ranges, farther ones hazier.
    struct Range {
        double base, height, scale;
        Colour colour;
        uint32_t seed;
    };
    Range ranges[] = {{300, 70, 260, {96, 72, 96}, 3},
                      {350, 60, 180, {60, 52, 62}, 5},
                      {400, 50, 140, {44, 38, 34}, 8}};
    for (const Range& r : ranges)
        for (int x = 0; x < W; x++) {
            double top = r.base - r.height * art::fbm(x / r.scale, 0.5, 4, r.seed);
            for (int y = int(top); y < H; y++)
                art::blend(im, x, y, r.colour, art::clamp01(y - top + 1));
        }
    // Foreground dirt with a take-off ramp on the left.
    for (int x = 0; x < W; x++) {
        double ramp = x < 420 ? 60 * art::smoothstep(120, 400, x) * (x < 400 ? 1 : (420 - x) / 20.0) : 0;
        double top = 440 - ramp - 8 * art::fbm(x / 60.0, 3.0, 3, 21);
        for (int y = int(top); y < H; y++) {
            double n = art::fbm(x / 14.0, y / 6.0, 4, 31);
            Colour dirt = art::mix(Colour{70, 44, 28}, Colour{128, 84, 50}, n);
            dirt = art::mix(dirt, Colour{200, 120, 70}, art::clamp01(1 - (y - top) / 10.0) * 0.35);
            art::blend(im, x, y, dirt, art::clamp01(y - top + 1));
        }
    }
    // Rider and bike in silhouette, nose up over the gap.
    const Colour ink = {16, 12, 14};
    auto rot = [](double x, double y, double a, double* ox, double* oy) {
        *ox = 790 + x * std::cos(a) - y * std::sin(a);
        *oy = 262 + x * std::sin(a) + y * std::cos(a);
    };
    const double tilt = -0.3;
    auto seg = [&](double ax, double ay, double bx, double by, double w) {
        double x0, y0, x1, y1;
        rot(ax, ay, tilt, &x0, &y0);
        rot(bx, by, tilt, &x1, &y1);
        art::line(im, x0, y0, x1, y1, w, ink);
    };
    auto wheel = [&](double wx, double wy) {
        double cx, cy;
        rot(wx, wy, tilt, &cx, &cy);
        for (int y = int(cy - 40); y <= int(cy + 40); y++)
            for (int x = int(cx - 40); x <= int(cx + 40); x++) {
                double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
                art::blend(im, x, y, ink, art::clamp01(std::fmin(d - 24, 36 - d) + 0.5));
            }
        art::disc(im, cx, cy, 5, ink);
    };
    wheel(-78, 30);
    wheel(82, 30);
    seg(-78, 30, -10, 6, 10);      // swingarm
    seg(82, 30, 50, -46, 10);      // fork
    seg(50, -46, 36, -64, 7);      // bars
    seg(-20, -14, 48, -38, 24);    // tank and shrouds
    seg(-74, -24, -14, -20, 13);   // seat
    seg(-74, -24, -112, -36, 8);   // rear fender
    seg(-10, -4, -72, -8, 7);      // exhaust
    seg(58, -40, 104, -24, 7);     // front fender
    double ex, ey;
    rot(2, 6, tilt, &ex, &ey);
    art::disc(im, ex, ey, 19, ink);  // engine
    seg(-16, -28, 2, -78, 26);       // torso
    double hx, hy;
    rot(10, -98, tilt, &hx, &hy);
    art::disc(im, hx, hy, 17, ink);  // helmet
    seg(20, -100, 34, -94, 6);       // peak
    seg(2, -72, 38, -62, 10);        // arm to the bars
    seg(-14, -30, 20, -16, 16);      // thigh
    seg(20, -16, 6, 12, 12);         // shin
    seg(6, 12, 20, 14, 9);           // boot on the peg
    // The name, with a dark drop shadow and a warm outline.
    art::Face* big = art::face_open("DejaVuSans-Bold.ttf", 0, 132);
    art::Face* sub = art::face_open("DejaVuSans-Bold.ttf", 0, 30);
    if (big && sub) {
        const char* name = "KESTRUM";
        int w = art::draw_text(nullptr, big, 0, 0, name, ink);
        int x = (W - w) / 2, y = 150;
        for (int dy = -3; dy <= 3; dy++)
            for (int dx = -3; dx <= 3; dx++)
                if (dx * dx + dy * dy <= 10)
                    art::draw_text(&im, big, x + dx + 6, y + dy + 7, name, Colour{10, 8, 20}, 0.35);
        for (int dy = -3; dy <= 3; dy++)
            for (int dx = -3; dx <= 3; dx++)
                if (dx * dx + dy * dy <= 9)
                    art::draw_text(&im, big, x + dx, y + dy, name, Colour{170, 60, 20});
        art::draw_text(&im, big, x, y, name, Colour{255, 226, 150});
        const char* tag = "M O T O C R O S S";
        int tw = art::draw_text(nullptr, sub, 0, 0, tag, ink);
        art::draw_text(&im, sub, (W - tw) / 2 + 2, 198, tag, Colour{10, 8, 20}, 0.5);
        art::draw_text(&im, sub, (W - tw) / 2, 196, tag, Colour{250, 250, 245});
    }
    art::face_close(big);
    art::face_close(sub);
    return im;
}

bool build_hud_images(DataSet& ds)
{
    dataset_add(ds, "tach.png", image_encode_png(make_tach()));
    dataset_add(ds, "shifter.png", image_encode_png(make_shifter()));
    dataset_add(ds, "pitboard.png", image_encode_png(make_pitboard()));
    // The title is shipped in the predictive J6 format; the texture loader
    // goes by the content, not the ".ppm" name.
    Image title = make_title();
    dataset_add(ds, "title.ppm", image_encode_j(title.pixels.data(), title.width, title.height, 3));
    return true;
}

}  // namespace

KESTRUM_DATA_BUILDER("hud images", 100, build_hud_images);
