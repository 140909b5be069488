// The model pictures: bike liveries with their normal and specular maps,
// the wheels, the rider's gear and helmet.
#include <cmath>

#include "dataset.h"
#include "model_art.h"

namespace {

struct Px {
    int x0, y0, x1, y1;
    int w() const { return x1 - x0; }
    int h() const { return y1 - y0; }
};

Px cell_px(const UvRect& r, int size_w, int size_h)
{
    return Px{int(std::lround(r.u0 * size_w)), int(std::lround(r.t0 * size_h)), int(std::lround(r.u1 * size_w)),
              int(std::lround(r.t1 * size_h))};
}

void fill(Image& im, const Px& p, Rgb c)
{
    // Fill a little past the rectangle so filtering at its edges stays in
    // the cell's colour.
    paint_rect(im, p.x0 - 1, p.y0 - 1, p.x1 + 1, p.y1 + 1, c);
}

void brushed(Image& im, const Px& p, Rgb c, uint32_t seed)
{
    for (int y = p.y0 - 1; y < p.y1 + 1; y++) {
        double f = 0.92 + 0.16 * paint_noise(0, y, seed);
        paint_rect(im, p.x0 - 1, y, p.x1 + 1, y + 1, rgb_scale(c, f));
    }
}

// Graphics over a side-view panel cell (u: front to back, t: top to bottom).
void graphics(Image& im, const Px& p, const BikeScheme& s)
{
    double X = p.x0, Y = p.y0, W = p.w(), H = p.h();
    auto poly = [&](std::initializer_list<double> uv, Rgb c) {
        std::vector<double> xy;
        const double* v = uv.begin();
        for (size_t i = 0; i + 1 < uv.size(); i += 2)
            xy.push_back(X + v[i] * W), xy.push_back(Y + v[i + 1] * H);
        paint_polygon(im, xy, c);
    };
    switch (s.style) {
    case 0:  // two forward slashes and a band
        poly({0.15, 1, 0.45, 0, 0.6, 0, 0.3, 1}, s.second);
        poly({0.38, 1, 0.68, 0, 0.76, 0, 0.46, 1}, s.graphic);
        poly({0, 0.7, 1, 0.55, 1, 0.65, 0, 0.8}, s.second);
        break;
    case 1:  // lightning zigzag
        poly({0, 0.35, 0.35, 0.3, 0.3, 0.5, 0.7, 0.42, 0.62, 0.62, 1, 0.55, 1, 0.75, 0.55, 0.8, 0.62, 0.62, 0.22, 0.7,
              0.28, 0.5, 0, 0.55},
             s.second);
        poly({0.1, 0.9, 0.9, 0.85, 0.9, 0.92, 0.1, 0.97}, s.graphic);
        break;
    case 2:  // big wave
        for (int i = 0; i < 40; i++) {
            double a = i / 40.0, b = (i + 1) / 40.0;
            double ya = 0.45 + 0.2 * std::sin(a * 6.28), yb = 0.45 + 0.2 * std::sin(b * 6.28);
            poly({a, ya, b, yb, b, yb + 0.25, a, ya + 0.25}, s.second);
            poly({a, ya + 0.25, b, yb + 0.25, b, yb + 0.32, a, ya + 0.32}, s.graphic);
        }
        break;
    case 3:  // speed blocks
        for (int i = 0; i < 5; i++) {
            double x = 0.1 + i * 0.17, w = 0.12 - i * 0.015;
            poly({x, 0.35, x + w, 0.35, x + w - 0.05, 0.75, x - 0.05, 0.75}, i % 2 ? s.graphic : s.second);
        }
        break;
    default:  // checker strip
        for (int i = 0; i < 16; i++)
            for (int j = 0; j < 2; j++)
                if ((i + j) % 2 == 0)
                    poly({i / 16.0, 0.5 + j * 0.1, (i + 1) / 16.0, 0.5 + j * 0.1, (i + 1) / 16.0, 0.6 + j * 0.1, i / 16.0,
                          0.6 + j * 0.1},
                         s.second);
        poly({0, 0.25, 1, 0.2, 1, 0.28, 0, 0.33}, s.graphic);
        break;
    }
}

}  // namespace

Image paint_bike_texture(const BikeScheme& s, uint32_t seed)
{
    const int N = 512;
    Image im = image_make(N, N, 3);
    auto px = [&](const UvRect& r) { return cell_px(r, N, N); };
    Px shroud = px(bike_cell::shroud());
    fill(im, shroud, s.main);
    graphics(im, shroud, s);
    Px tank = px(bike_cell::tank());
    fill(im, tank, s.main);
    paint_rect(im, tank.x0, tank.y0 + 50, tank.x1, tank.y0 + 62, s.second);
    Px fender = px(bike_cell::fender());
    fill(im, fender, s.fender);
    paint_rect(im, fender.x0, fender.y0 + 56, fender.x1, fender.y0 + 70, s.second);
    Px rear = px(bike_cell::fender_rear());
    fill(im, rear, s.fender);
    paint_polygon(im, {double(rear.x0), rear.y0 + 70.0, double(rear.x1), rear.y0 + 20.0, double(rear.x1), rear.y0 + 40.0,
                       double(rear.x0), rear.y0 + 90.0},
                  s.second);
    Px seat = px(bike_cell::seat());
    fill(im, seat, s.seat);
    for (int y = seat.y0 + 8; y < seat.y1; y += 16)
        paint_rect(im, seat.x0, y, seat.x1, y + 3, rgb_scale(s.seat, 0.6));
    paint_rect(im, seat.x0, seat.y0, seat.x1, seat.y0 + 30, rgb_mix(s.seat, s.second, 0.5));
    brushed(im, px(bike_cell::frame()), s.frame, seed + 1);
    Px engine = px(bike_cell::engine());
    fill(im, engine, Rgb{48, 48, 52});
    for (int y = engine.y0 + 4; y < engine.y1; y += 10)
        paint_rect(im, engine.x0, y, engine.x1, y + 2, Rgb{90, 90, 95});
    Px cover = px(bike_cell::engine_cover());
    brushed(im, cover, Rgb{150, 150, 140}, seed + 2);
    for (int i = 0; i < 6; i++) {
        double a = i * 1.047;
        paint_circle(im, cover.x0 + 64 + std::cos(a) * 48, cover.y0 + 64 + std::sin(a) * 48, 4, Rgb{60, 60, 60});
    }
    Px exhaust = px(bike_cell::exhaust());
    for (int x = exhaust.x0 - 1; x < exhaust.x1 + 1; x++) {
        double f = double(x - exhaust.x0) / exhaust.w();
        Rgb c = rgb_mix(Rgb{190, 170, 130}, Rgb{150, 140, 170}, 0.5 + 0.5 * std::sin(f * 9));
        paint_rect(im, x, exhaust.y0 - 1, x + 1, exhaust.y1 + 1, c);
    }
    Px can = px(bike_cell::silencer());
    brushed(im, can, Rgb{195, 198, 205}, seed + 3);
    paint_rect(im, can.x0 - 1, can.y1 - 14, can.x1 + 1, can.y1 + 1, Rgb{30, 30, 30});
    paint_rect(im, can.x0 + 20, can.y0 + 40, can.x1 - 20, can.y0 + 80, Rgb{240, 240, 240});
    paint_rect(im, can.x0 + 26, can.y0 + 52, can.x1 - 26, can.y0 + 68, s.main);
    brushed(im, px(bike_cell::fork()), s.fork, seed + 4);
    brushed(im, px(bike_cell::swingarm()), Rgb{185, 188, 192}, seed + 5);
    Px black = px(bike_cell::black());
    fill(im, black, Rgb{28, 28, 30});
    paint_noise(im, black.x0, black.y0, black.x1, black.y1, 0.15, seed + 6);
    Px accent = px(bike_cell::accent());
    fill(im, accent, s.second);
    paint_rect(im, accent.x0, accent.y0 + 54, accent.x1, accent.y0 + 74, s.main);
    return im;
}

Image paint_bike_normal_map()
{
    const int N = 512;
    std::vector<float> h(size_t(N) * N, 0.5f);
    auto set_cell = [&](const UvRect& r, auto&& fn) {
        Px p = cell_px(r, N, N);
        for (int y = std::max(0, p.y0); y < std::min(N, p.y1); y++)
            for (int x = std::max(0, p.x0); x < std::min(N, p.x1); x++)
                h[size_t(y) * N + size_t(x)] = float(fn(x - p.x0, y - p.y0));
    };
    // Seat: ribbed cover with a fine grain.
    set_cell(bike_cell::seat(), [](int x, int y) {
        return 0.5 + 0.3 * std::sin(y * 0.39) + 0.05 * paint_noise(x, y, 3);
    });
    // Engine: cooling fins.
    set_cell(bike_cell::engine(), [](int, int y) { return (y % 10) < 3 ? 0.8 : 0.4; });
    // Grips and rubber: knurl.
    set_cell(bike_cell::black(), [](int x, int y) { return 0.5 + 0.25 * std::sin(x * 0.8) * std::sin(y * 0.8); });
    // Cast cover: bolt heads.
    set_cell(bike_cell::engine_cover(), [](int x, int y) {
        double v = 0.5;
        for (int i = 0; i < 6; i++) {
            double a = i * 1.047, dx = x - (64 + std::cos(a) * 48), dy = y - (64 + std::sin(a) * 48);
            if (dx * dx + dy * dy < 25)
                v = 0.8;
        }
        return v;
    });
    return normal_map_from_heights(h, N, N, 3.0);
}

Image paint_bike_specular_map()
{
    const int N = 512;
    Image im = image_make(N, N, 4);
    // Alpha 255 keeps each mesh's own shininess; lower alphas set it.
    auto cell = [&](const UvRect& r, int level, int alpha) {
        Px p = cell_px(r, N, N);
        paint_rect(im, p.x0 - 1, p.y0 - 1, p.x1 + 1, p.y1 + 1, Rgb{level, level, level}, alpha);
    };
    cell(uv_cell(0, 0, 1, 1), 150, 255);  // whole picture: glossy plastic
    for (const UvRect& r : {bike_cell::frame(), bike_cell::swingarm(), bike_cell::silencer(), bike_cell::fork(),
                            bike_cell::engine_cover(), bike_cell::exhaust()})
        cell(r, 230, 255);
    cell(bike_cell::seat(), 25, 16);
    cell(bike_cell::black(), 20, 24);
    cell(bike_cell::engine(), 90, 40);
    return im;
}

Image paint_wheel_texture(Rgb rim_colour, Rgb hub_colour)
{
    const int N = 256;
    Image im = image_make(N, N, 3);
    auto px = [&](const UvRect& r) { return cell_px(r, N, N); };
    Px tread = px(wheel_cell::tread());
    fill(im, tread, Rgb{26, 26, 26});
    // Sidewalls (a quarter and three quarters round the section) carry a
    // grey band with marks.
    for (double band : {0.25, 0.75}) {
        int y = tread.y0 + int(band * tread.h());
        paint_rect(im, tread.x0, y - 3, tread.x1, y + 3, Rgb{70, 70, 70});
        for (int x = tread.x0; x < tread.x1; x += 32)
            paint_rect(im, x, y - 2, x + 18, y + 2, Rgb{150, 150, 150});
    }
    paint_noise(im, tread.x0, tread.y0, tread.x1, tread.y1, 0.15, 77);
    Px knob = px(wheel_cell::knob());
    fill(im, knob, Rgb{34, 33, 32});
    paint_noise(im, knob.x0, knob.y0, knob.x1, knob.y1, 0.2, 78);
    brushed(im, px(wheel_cell::rim()), rim_colour, 79);
    brushed(im, px(wheel_cell::hub()), hub_colour, 80);
    brushed(im, px(wheel_cell::spoke()), Rgb{200, 202, 206}, 81);
    Px disc = px(wheel_cell::disc());
    brushed(im, disc, Rgb{165, 165, 170}, 82);
    for (int i = 0; i < 8; i++)
        paint_circle(im, disc.x0 + 4 + i * 8, disc.y0 + 40, 2.5, Rgb{40, 40, 40});
    brushed(im, px(wheel_cell::sprocket()), Rgb{90, 90, 96}, 83);
    return im;
}

Image paint_rider_texture(const GearScheme& g)
{
    const int N = 512;
    Image im = image_make(N, N, 3);
    auto px = [&](const UvRect& r) { return cell_px(r, N, N); };
    // Torso: u round the body from the right side (0) over the back (0.25),
    // the left (0.5) and the chest (0.75); rows run from the waist up.
    Px j = px(rider_cell::jersey_front());
    fill(im, j, g.jersey);
    auto ju = [&](double u) { return j.x0 + u * j.w(); };
    auto jt = [&](double t) { return j.y0 + t * j.h(); };
    for (double side : {0.0, 0.5}) {  // side panels
        paint_rect(im, int(ju(side - 0.06)), j.y0, int(ju(side + 0.06)), j.y1, g.jersey_second);
    }
    paint_rect(im, int(ju(0.94)), j.y0, j.x1 + 1, j.y1, g.jersey_second);
    paint_rect(im, j.x0, int(jt(0.0)), j.x1, int(jt(0.12)), g.pants);  // tucked into the pants
    paint_rect(im, j.x0, int(jt(0.82)), j.x1, j.y1, g.jersey_second);  // shoulder yoke
    // Chest graphic.
    if (g.style % 2 == 0)
        paint_polygon(im, {ju(0.66), jt(0.7), ju(0.84), jt(0.7), ju(0.75), jt(0.35)}, g.jersey_second);
    else
        paint_rect(im, int(ju(0.66)), int(jt(0.45)), int(ju(0.84)), int(jt(0.6)), g.jersey_second);
    // Sleeves: from the shoulder (row 0) to the wrist; cuff band.
    Px s = px(rider_cell::sleeve());
    fill(im, s, g.jersey);
    paint_rect(im, s.x0, s.y0 + int(s.h() * 0.8), s.x1, s.y0 + int(s.h() * 0.9), g.jersey_second);
    paint_rect(im, s.x0, s.y0, s.x1, s.y0 + int(s.h() * 0.12), g.jersey_second);
    paint_rect(im, s.x0 + s.w() / 4 - 6, s.y0, s.x0 + s.w() / 4 + 6, s.y1, g.jersey_second);
    // Pants: hip (row 0) to below the knee; knee panels and a stripe.
    Px p = px(rider_cell::pants());
    fill(im, p, g.pants);
    paint_rect(im, p.x0, p.y0 + int(p.h() * 0.65), p.x1, p.y0 + int(p.h() * 0.9), g.pants_second);
    paint_rect(im, p.x0, p.y0, p.x0 + 10, p.y1, g.pants_second);
    paint_rect(im, p.x0 + p.w() / 2 - 5, p.y0, p.x0 + p.w() / 2 + 5, p.y1, g.pants_second);
    // Boots with buckles.
    Px b = px(rider_cell::boot());
    fill(im, b, g.boots);
    for (int i = 0; i < 3; i++) {
        int y = b.y0 + 20 + i * 34;
        paint_rect(im, b.x0, y, b.x1, y + 4, Rgb{90, 90, 96});
    }
    paint_rect(im, b.x0, b.y1 - 18, b.x1, b.y1, Rgb{40, 40, 44});  // toe and heel
    Px gl = px(rider_cell::glove());
    fill(im, gl, g.gloves);
    for (int y = gl.y0 + 10; y < gl.y1; y += 24)
        paint_rect(im, gl.x0, y, gl.x1, y + 6, g.jersey_second);
    fill(im, px(rider_cell::neck()), Rgb{40, 40, 44});
    fill(im, px(rider_cell::sole()), Rgb{22, 22, 22});
    return im;
}

Image paint_helmet_texture(const GearScheme& g)
{
    const int N = 256;
    Image im = image_make(N, N, 3);
    auto px = [&](const UvRect& r) { return cell_px(r, N, N); };
    // Shell: u round from the right (0) over the back (0.25), the left (0.5)
    // to the face (0.75); t from the crown down.
    Px sh = px(head_cell::shell());
    fill(im, sh, g.helmet);
    auto su = [&](double u) { return sh.x0 + u * sh.w(); };
    auto st = [&](double t) { return sh.y0 + t * sh.h(); };
    paint_rect(im, sh.x0, sh.y0, sh.x1, int(st(0.12)), g.helmet_second);  // crown
    for (double u : {0.0, 0.5}) {
        if (g.style % 2 == 0)
            paint_polygon(im, {su(u - 0.1), st(0.7), su(u + 0.1), st(0.3), su(u + 0.16), st(0.3), su(u - 0.04), st(0.7)},
                          g.helmet_second);
        else
            paint_circle(im, su(u + 0.02), st(0.45), 14, g.helmet_second);
    }
    paint_rect(im, int(su(0.22)), sh.y0, int(su(0.28)), sh.y1, g.helmet_second);  // back stripe
    // Eye port: dark opening on the face under the goggles.
    paint_rect(im, int(su(0.66)), int(st(0.42)), int(su(0.84)), int(st(0.62)), Rgb{20, 20, 22});
    // Goggle strap round the shell at eye height.
    paint_rect(im, sh.x0, int(st(0.44)), int(su(0.66)), int(st(0.56)), g.goggle);
    paint_rect(im, int(su(0.84)), int(st(0.44)), sh.x1 + 1, int(st(0.56)), g.goggle);
    paint_rect(im, sh.x0, int(st(0.92)), sh.x1, sh.y1, Rgb{30, 30, 30});  // rim
    Px pk = px(head_cell::peak());
    fill(im, pk, g.helmet);
    paint_rect(im, pk.x0, pk.y0 + pk.h() / 2 - 10, pk.x1, pk.y0 + pk.h() / 2 + 10, g.helmet_second);
    Px go = px(head_cell::goggle());
    fill(im, go, g.goggle);
    paint_rect(im, go.x0, go.y0 + go.h() / 2 - 8, go.x1, go.y0 + go.h() / 2 + 8, Rgb{250, 250, 250});
    return im;
}

namespace {

struct Livery {
    const char* file;  // picture name without ".png"
    BikeScheme scheme;
};

const Rgb WHITE{240, 240, 238}, BLACK{30, 30, 32}, SILVER{190, 192, 196}, GOLD{200, 160, 60};
const Rgb RED{205, 20, 25}, GREEN{110, 200, 40}, YELLOW{245, 205, 20}, BLUE{20, 60, 185}, ORANGE{240, 105, 10};
const Rgb NAVY{15, 30, 90}, GREY{110, 112, 118};

const Livery LIVERIES[] = {
    {"crf250", {RED, WHITE, RED, BLACK, SILVER, GOLD, BLACK, 0}},
    {"crf250-alt1", {BLACK, RED, BLACK, BLACK, SILVER, GOLD, WHITE, 3}},
    {"crf250-alt2", {WHITE, RED, WHITE, RED, SILVER, GOLD, BLACK, 2}},
    {"cr125", {RED, WHITE, WHITE, BLACK, SILVER, GOLD, BLACK, 1}},
    {"cr125-alt1", {WHITE, RED, RED, BLACK, RED, GOLD, BLACK, 4}},
    {"kx250f", {GREEN, BLACK, GREEN, BLACK, GREEN, GOLD, WHITE, 1}},
    {"kx250f-alt1", {BLACK, GREEN, BLACK, GREEN, SILVER, GOLD, WHITE, 0}},
    {"kx250f-alt2", {WHITE, GREEN, GREEN, BLACK, GREEN, GOLD, BLACK, 3}},
    {"kx125", {GREEN, WHITE, GREEN, BLACK, GREEN, GOLD, BLACK, 2}},
    {"kx125-alt1", {GREEN, NAVY, WHITE, GREEN, SILVER, GOLD, WHITE, 4}},
    {"rmz250", {YELLOW, BLUE, YELLOW, BLUE, SILVER, GOLD, BLACK, 2}},
    {"rmz250-alt1", {BLUE, YELLOW, WHITE, BLACK, SILVER, GOLD, WHITE, 1}},
    {"rmz250-alt2", {WHITE, YELLOW, YELLOW, BLUE, SILVER, GOLD, BLUE, 0}},
    {"rm125", {YELLOW, BLACK, YELLOW, BLACK, SILVER, GOLD, BLUE, 3}},
    {"rm125-alt1", {YELLOW, WHITE, WHITE, YELLOW, SILVER, GOLD, BLACK, 0}},
    {"yz250f", {BLUE, WHITE, WHITE, BLUE, SILVER, GOLD, BLACK, 3}},
    {"yz250f-alt1", {BLACK, BLUE, BLACK, BLACK, SILVER, GOLD, WHITE, 2}},
    {"yz250f-alt2", {WHITE, BLUE, BLUE, BLUE, BLUE, GOLD, YELLOW, 1}},
    {"yz250f_se", {WHITE, BLUE, WHITE, BLACK, BLUE, GOLD, YELLOW, 4}},
    {"yz125", {BLUE, YELLOW, WHITE, BLUE, BLUE, GOLD, WHITE, 0}},
    {"yz125-alt1", {NAVY, WHITE, BLUE, BLACK, SILVER, GOLD, YELLOW, 1}},
    {"125sx", {ORANGE, BLACK, ORANGE, BLACK, ORANGE, GREY, WHITE, 4}},
};

bool build_model_pictures(DataSet& ds)
{
    uint32_t seed = 100;
    std::string normal_map = image_encode_png(paint_bike_normal_map());
    std::string specular_map = image_encode_png(paint_bike_specular_map());
    for (const Livery& l : LIVERIES) {
        dataset_add(ds, std::string(l.file) + ".png", image_encode_png(paint_bike_texture(l.scheme, seed)));
        seed += 10;
        std::string name = l.file;
        // Maps go with the base pictures; variants of one make share them
        // through the game's name rules.
        if (name.find('-') == std::string::npos) {
            dataset_add(ds, name + "_norm.png", normal_map);
            dataset_add(ds, name + "_spec.png", specular_map);
        }
    }
    dataset_add(ds, "wheels.png", image_encode_png(paint_wheel_texture(Rgb{30, 30, 32}, Rgb{190, 192, 196})));
    GearScheme gear{Rgb{235, 235, 235}, Rgb{20, 70, 190}, Rgb{30, 30, 34},  Rgb{20, 70, 190}, Rgb{235, 235, 235},
                    Rgb{30, 30, 34},    Rgb{235, 235, 235}, Rgb{20, 70, 190}, Rgb{240, 120, 20}, 0};
    dataset_add(ds, "rider_body.png", image_encode_png(paint_rider_texture(gear)));
    dataset_add(ds, "rider_head.png", image_encode_png(paint_helmet_texture(gear)));
    return true;
}

}  // namespace

KESTRUM_DATA_BUILDER("model pictures", 200, build_model_pictures);
