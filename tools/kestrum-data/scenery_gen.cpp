// Scenery, gates, lighting and map of the shipped tracks, derived from each
// course. Objects are placed by their clearance from the course edge, so
// nothing stands on the riding surface.
#include "scenery_gen.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "dataset.h"
#include "image_out.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// A deterministic stream of numbers in [0, 1): a counter through an
// integer mixer, the same on every machine.
uint32_t scenery_mix(uint32_t v)
{
    v ^= v >> 16;
    v *= 0x7feb352du;
    v ^= v >> 15;
    v *= 0x846ca68bu;
    v ^= v >> 16;
    return v;
}

struct Random {
    uint32_t seed;
    uint32_t n = 0;
    double next() { return double(scenery_mix(seed * 0x9e3779b9u + n++) & 0xffffff) / double(0x1000000); }
    double range(double a, double b) { return a + (b - a) * next(); }
};

// One object already standing, for keeping others off it.
struct Disc {
    double x, z, r;
};

struct Layout {
    const Course& c;
    const SceneryGround& g;
    std::vector<CourseSample> line;      // every 2 ft
    std::vector<double> point_s;
    double length = 0;
    std::vector<Disc> taken;
    std::string billboards, statues, flaggers, gates;
    double gate_s = 0;                   // arc length of the starting gates
    std::vector<double> checkpoint_s;    // gate 0 is the lap line

    // Samples by 16 ft cell, for near look-ups.
    static constexpr double CELL = 16;
    static constexpr double FAR = 64;     // clearances beyond this read as FAR
    int cells = 0;
    std::vector<std::vector<int>> grid;
    double widest = 0;

    Layout(const Course& course, const SceneryGround& ground) : c(course), g(ground)
    {
        line = course_sample(c, 2.0, &point_s);
        length = line.size() * (line[1].s - line[0].s);
        cells = int(std::ceil(g.extent() / CELL)) + 1;
        grid.resize(size_t(cells) * size_t(cells));
        for (size_t k = 0; k < line.size(); k++) {
            grid[cell_index(line[k].x, line[k].z)].push_back(int(k));
            widest = std::max(widest, line[k].width);
        }
    }

    size_t cell_index(double x, double z) const
    {
        int i = std::clamp(int(x / CELL), 0, cells - 1), j = std::clamp(int(z / CELL), 0, cells - 1);
        return size_t(j) * size_t(cells) + size_t(i);
    }

    // Distance from the nearest course edge (negative on the course), or
    // FAR when the course is farther than that.
    double clearance(double x, double z) const
    {
        double best = FAR;
        int reach = int(std::ceil((FAR + widest / 2) / CELL));
        int ci = int(x / CELL), cj = int(z / CELL);
        for (int j = std::max(0, cj - reach); j <= std::min(cells - 1, cj + reach); j++)
            for (int i = std::max(0, ci - reach); i <= std::min(cells - 1, ci + reach); i++)
                for (int k : grid[size_t(j) * size_t(cells) + size_t(i)]) {
                    const CourseSample& q = line[size_t(k)];
                    best = std::min(best, std::hypot(x - q.x, z - q.z) - q.width / 2);
                }
        return best;
    }

    // Clearance of the corners of a box of half sizes hx (model x) and hz
    // (model z) standing at (x, z) with the given angle.
    double corner_clearance(double x, double z, double angle, double hx, double hz) const
    {
        double ux = std::cos(angle), uz = -std::sin(angle);   // model x
        double vx = std::sin(angle), vz = std::cos(angle);    // model z
        double best = clearance(x, z);
        for (int a : {-1, 1})
            for (int b : {-1, 1})
                best = std::min(best, clearance(x + a * hx * ux + b * hz * vx, z + a * hx * uz + b * hz * vz));
        return best;
    }

    bool inside(double x, double z, double margin) const
    {
        double e = g.extent();
        return x > margin && z > margin && x < e - margin && z < e - margin;
    }

    bool free(double x, double z, double r) const
    {
        for (const Disc& d : taken)
            if (std::hypot(x - d.x, z - d.z) < r + d.r)
                return false;
        return true;
    }

    // The sample nearest an arc length.
    const CourseSample& at(double s) const
    {
        double step = line[1].s - line[0].s;
        long i = std::lround(std::fmod(std::fmod(s, length) + length, length) / step);
        return line[size_t(i) % line.size()];
    }

    // Point beside the course: side +1 is right of travel, -1 left; d feet
    // from the centre line, a feet further along.
    static void beside(const CourseSample& q, int side, double d, double a, double* x, double* z)
    {
        *x = q.x + q.tx * a - q.tz * d * side;
        *z = q.z + q.tz * a + q.tx * d * side;
    }

    void billboard(double x, double offset, double z, double height, double aspect, const char* name)
    {
        billboards += data_printf("[%.2f %.2f %.2f] %.2f %.3f %s\n", x, offset, z, height, aspect, name);
    }

    // Statue with model x along (cos a, 0, -sin a).
    void statue(double x, double z, double angle, const char* kind, bool shape)
    {
        std::string base = std::string("@statues/") + kind;
        statues += data_printf("[%.2f %.2f %.2f] %.4f %s.jm %s.png %s\n", x, 0.0, z, angle, base.c_str(),
                               base.c_str(), shape ? (base + ".shp").c_str() : "null");
    }
};

// Model angle whose x axis runs along the tangent.
double along_x(const CourseSample& q) { return std::atan2(-q.tz, q.tx); }
// Model angle whose z axis runs along the tangent.
double along_z(const CourseSample& q) { return std::atan2(q.tx, q.tz); }

bool is_jump(FeatureKind k)
{
    return k == FeatureKind::Tabletop || k == FeatureKind::Double || k == FeatureKind::StepUp ||
           k == FeatureKind::Rhythm;
}

// Where the riding surface is busy: no gate goes on a jump or whoops.
bool on_feature(const Layout& L, double s, double margin)
{
    for (const CourseFeature& f : L.c.features) {
        if (f.kind == FeatureKind::Berm || f.kind == FeatureKind::Ruts)
            continue;
        double a = course_feature_start(f, L.point_s) - margin, b = a + f.length + 2 * margin;
        double t = std::fmod(std::fmod(s - a, L.length) + L.length, L.length);
        if (t <= b - a)
            return true;
    }
    return false;
}

// Starting gates across the start straight, the lap line just beyond them
// and checkpoints spread round the lap away from the jumps.
void lay_gates(Layout& L)
{
    double first_feature = L.length;
    for (const CourseFeature& f : L.c.features) {
        double s = course_feature_start(f, L.point_s);
        if (f.kind != FeatureKind::Berm && s > 1)
            first_feature = std::min(first_feature, s);
    }
    L.gate_s = std::min(60.0, first_feature - 25);
    const CourseSample& q = L.at(L.gate_s);
    // Riders face along travel, -(sin a, cos a) = tangent.
    double angle = std::atan2(-q.tx, -q.tz);
    int slots = std::clamp(int((q.width - 2) / 3.5), 4, 20);
    L.gates += "startinggate:\n";
    for (int k = 0; k < slots; k++) {
        double x, z;
        Layout::beside(q, 1, (k - (slots - 1) / 2.0) * 3.5, 0, &x, &z);
        L.gates += data_printf("[%.3f %.3f %.3f] %.5f\n", x, L.g.height(x, z), z, angle);
        L.taken.push_back({x, z, 1});
    }

    // Checkpoints about every 150 ft, nudged off jumps.
    L.checkpoint_s.push_back(L.gate_s + 15);
    int count = std::max(6, int(L.length / 150));
    double spacing = L.length / count;
    for (int k = 1; k < count; k++) {
        double s = L.gate_s + 15 + k * spacing;
        for (double nudge = 0; nudge < spacing / 2 && on_feature(L, s, 12); nudge += 4)
            s += 4;
        L.checkpoint_s.push_back(s);
    }
    L.gates += "checkpoints:\n";
    for (double s : L.checkpoint_s) {
        const CourseSample& p = L.at(s);
        L.gates += data_printf("%.2f [%.3f %.3f %.3f] [%.5f 0 %.5f]\n", p.width / 2 + 4, p.x, L.g.height(p.x, p.z),
                               p.z, p.tx, p.tz);
    }
    // Every lap runs round to the lap line (gate 0), the first one too.
    std::string lap;
    for (size_t k = 1; k < L.checkpoint_s.size(); k++)
        lap += data_printf("%zu ", k);
    lap += "0 \n";
    L.gates += "firstlap:\n" + lap + "normallap:\n" + lap;
}

// The gate a rider reaches next after arc length s.
int next_gate(const Layout& L, double s)
{
    double best = 1e30;
    int index = 0;
    for (size_t k = 0; k < L.checkpoint_s.size(); k++) {
        double d = std::fmod(std::fmod(L.checkpoint_s[k] - s, L.length) + L.length, L.length);
        if (d < best) {
            best = d;
            index = int(k);
        }
    }
    return index;
}

// The starter, the lap board and a marshal at every jump.
void lay_flaggers(Layout& L)
{
    const CourseSample& q = L.at(L.gate_s);
    double ax, az, bx, bz;
    Layout::beside(q, 1, 0, 10, &ax, &az);                 // in front of the gate
    Layout::beside(q, 1, q.width / 2 + 6, 14, &bx, &bz);   // walks off to the right
    L.flaggers += data_printf(
        "[%.2f 0 %.2f] [%.2f 0 %.2f] 6 0.5 3\n"
        "  @flaggers/starter-30.png @flaggers/starter-sideways.png @flaggers/starter-drop.png\n"
        "  @flaggers/starter-walk.png @flaggers/starter-done.png\n",
        ax, az, bx, bz);
    L.taken.push_back({bx, bz, 2});

    const CourseSample& lap = L.at(L.checkpoint_s[0]);
    double lx, lz;
    Layout::beside(lap, -1, lap.width / 2 + 5, 0, &lx, &lz);
    L.flaggers += data_printf(
        "[%.2f 0 %.2f] 6 1\n"
        "  @flaggers/lapboard-normal.png @flaggers/lapboard-halfway.png\n"
        "  @flaggers/lapboard-lastlap.png @flaggers/lapboard-finished.png\n",
        lx, lz);
    L.taken.push_back({lx, lz, 2});

    int side = 1;
    for (const CourseFeature& f : L.c.features) {
        if (!is_jump(f.kind))
            continue;
        double s = course_feature_start(f, L.point_s) + f.length * 0.5;
        const CourseSample& p = L.at(s);
        double x = 0, z = 0;
        bool placed = false;
        for (double d = p.width / 2 + 5; d < p.width / 2 + 20 && !placed; d += 2)
            for (int sd : {side, -side}) {
                Layout::beside(p, sd, d, 0, &x, &z);
                if (L.clearance(x, z) >= 4 && L.free(x, z, 2)) {
                    placed = true;
                    break;
                }
            }
        if (!placed)
            continue;
        side = -side;
        int gate = next_gate(L, s);
        int after = (gate + 1) % int(L.checkpoint_s.size());
        L.flaggers += data_printf("[%.2f 0 %.2f] 5.5 0.5 %d %d -1 -1 @flaggers/marshal.png @flaggers/marshal-alert.png\n",
                                  x, z, gate, after);
        L.taken.push_back({x, z, 2});
    }
}

// Hay bales on the outside of berms, tuff blocks on the inside of tight
// corners, fences and banners along the start straight.
void lay_course_edges(Layout& L)
{
    for (const CourseFeature& f : L.c.features) {
        if (f.kind != FeatureKind::Berm)
            continue;
        double s0 = course_feature_start(f, L.point_s);
        for (double s = s0; s < s0 + f.length; s += 4.5) {
            const CourseSample& q = L.at(s);
            int outside = q.curvature > 0 ? -1 : 1;
            double x, z;
            Layout::beside(q, outside, q.width / 2 + 3.5, 0, &x, &z);
            if (L.corner_clearance(x, z, along_x(q), 2.3, 1.1) < 0.8 || !L.inside(x, z, 6) || !L.free(x, z, 1.2))
                continue;
            L.statue(x, z, along_x(q), "haybale", true);
            L.taken.push_back({x, z, 1.9});
        }
    }
    double last = -1e9;
    for (const CourseSample& q : L.line) {
        if (std::fabs(q.curvature) < 1.0 / 70 || q.s - last < 7)
            continue;
        int inside = q.curvature > 0 ? 1 : -1;
        double x, z;
        Layout::beside(q, inside, q.width / 2 + 2.5, 0, &x, &z);
        if (L.corner_clearance(x, z, along_z(q), 0.9, 3.1) < 0.8 || !L.inside(x, z, 6) || !L.free(x, z, 3))
            continue;
        L.statue(x, z, along_z(q), "tuffblock", true);
        L.taken.push_back({x, z, 3.2});
        last = q.s;
    }
    // Fence sections on the far side of the start straight; banners over
    // them.
    for (double a = -40; a <= 80; a += 10) {
        const CourseSample& q = L.at(L.gate_s + a);
        double x, z;
        Layout::beside(q, -1, q.width / 2 + 9, 0, &x, &z);
        if (L.corner_clearance(x, z, along_x(q), 5.2, 0.9) < 3 || !L.inside(x, z, 8) || !L.free(x, z, 4.5))
            continue;
        L.statue(x, z, along_x(q), "fence", true);
        L.taken.push_back({x, z, 5});
        if (int(a) % 40 == 0) {
            double bx, bz;
            Layout::beside(q, -1, q.width / 2 + 12, 0, &bx, &bz);
            L.billboard(bx, 0, bz, 3, 4, int(a) % 80 == 0 ? "@billboards/banner-red.png" : "@billboards/banner-blue.png");
        }
    }
}

// Places count objects of radius r at clearance from the course between
// near and far, by tries of a fixed random sequence.
template <typename Put>
void scatter(Layout& L, Random& rnd, int count, double r, double near, double far, Put put)
{
    double e = L.g.extent();
    for (int tries = 0; count > 0 && tries < count * 60; tries++) {
        double x = rnd.range(8, e - 8), z = rnd.range(8, e - 8);
        double cl = L.clearance(x, z);
        if (cl < near || cl > far || !L.free(x, z, r))
            continue;
        put(x, z);
        L.taken.push_back({x, z, r});
        count--;
    }
}

// Crowds beside the jumps and the start, tents in a pits area, trees
// round about, and grandstands.
void lay_surroundings(Layout& L)
{
    Random rnd{L.c.seed * 7919u + 3};
    for (const CourseFeature& f : L.c.features) {
        if (!is_jump(f.kind) && f.kind != FeatureKind::Water)
            continue;
        double s = course_feature_start(f, L.point_s) + f.length * 0.6;
        const CourseSample& q = L.at(s);
        for (int side : {-1, 1}) {
            double x, z;
            Layout::beside(q, side, q.width / 2 + 16, 0, &x, &z);
            if (L.clearance(x, z) < 12 || !L.inside(x, z, 10) || !L.free(x, z, 8))
                continue;
            L.billboard(x, 0, z, 5, 4, "@billboards/crowd.png");
            L.taken.push_back({x, z, 10});
        }
    }

    // Pits: tents in a row well off the start straight.
    int tents = 0;
    for (double a = -60; a <= 120 && tents < 4; a += 14) {
        const CourseSample& q = L.at(L.gate_s + a);
        double x, z;
        Layout::beside(q, 1, q.width / 2 + 30, 0, &x, &z);
        if (L.corner_clearance(x, z, along_x(q), 5.5, 5.5) < 12 || !L.inside(x, z, 12) || !L.free(x, z, 7.5))
            continue;
        L.statue(x, z, along_x(q), "tent", true);
        L.taken.push_back({x, z, 7.5});
        tents++;
    }

    // Grandstands facing the course: one by the start, more in a stadium.
    int stands = L.c.style == CourseStyle::Stadium ? 6 : 1;
    for (double a = 0; a < L.length && stands > 0; a += L.length / 23) {
        const CourseSample& q = L.at(L.gate_s + a);
        for (int side : {-1, 1}) {
            double x, z;
            Layout::beside(q, side, q.width / 2 + 22, 0, &x, &z);
            // Seats rise towards model +z: the front faces the course.
            double angle = std::atan2(-q.tz * side, q.tx * side);
            if (stands <= 0 || L.corner_clearance(x, z, angle, 15.5, 6.5) < 8 || !L.inside(x, z, 18) ||
                !L.free(x, z, 17))
                continue;
            L.statue(x, z, angle, "grandstand", true);
            L.taken.push_back({x, z, 17});
            double cx, cz;
            Layout::beside(q, side, q.width / 2 + 22, 0, &cx, &cz);
            L.billboard(cx, 4.5, cz, 5, 4, "@billboards/crowd.png");
            stands--;
        }
    }

    if (L.c.style == CourseStyle::Stadium) {
        // Banners round the arena floor.
        scatter(L, rnd, 14, 6, 10, 26, [&](double x, double z) {
            L.billboard(x, 0, z, 3, 4, rnd.next() < 0.5 ? "@billboards/banner-red.png" : "@billboards/banner-blue.png");
        });
        return;
    }
    int trees = L.c.style == CourseStyle::Valley ? 170 : 70;
    scatter(L, rnd, trees, 5, 22, 1e9, [&](double x, double z) {
        bool pine = L.c.style == CourseStyle::Dunes || rnd.next() < 0.45;
        double h = pine ? rnd.range(22, 40) : rnd.range(16, 30);
        L.billboard(x, -0.5, z, h, pine ? 0.5 : 1.0, pine ? "@billboards/pine.png" : "@billboards/tree.png");
    });
    // A few solid conifers closer in, where a rider who runs wide meets them.
    scatter(L, rnd, L.c.style == CourseStyle::Valley ? 14 : 5, 7, 14, 40,
            [&](double x, double z) { L.statue(x, z, rnd.range(-PI, PI), "tree", true); });
    scatter(L, rnd, 10, 4, 6, 14, [&](double x, double z) {
        L.billboard(x, 0, z, 3, 2, "@billboards/fence.png");
    });
}

std::string lighting_text(const Course& c)
{
    std::string out = data_printf("sun_vector [ %.4f %.4f %.4f ]\n", c.sun[0], c.sun[1], c.sun[2]);
    out += data_printf("sun_color [ %.3f %.3f %.3f ]\n", c.sun_colour[0], c.sun_colour[1], c.sun_colour[2]);
    out += data_printf("ambient [ %.3f %.3f %.3f ]\n", c.ambient[0], c.ambient[1], c.ambient[2]);
    switch (c.style) {
    case CourseStyle::Valley:   // a clear morning with a light haze in the valley
        out += "global_ambient [ 0.20 0.20 0.22 ]\nfog [ 0.74 0.80 0.88 ] 0.0010\n";
        break;
    case CourseStyle::Dunes:    // bright, warm, dusty
        out += "global_ambient [ 0.24 0.22 0.20 ]\nfog [ 0.90 0.85 0.74 ] 0.0016\n";
        break;
    case CourseStyle::Stadium:  // an evening under the lights
        out += "global_ambient [ 0.16 0.16 0.18 ]\nfog [ 0.18 0.19 0.24 ] 0.0022\n";
        // The dusk sky, whose horizon is the fog's colour (the day sky would
        // stand bright above the dark fog).
        for (const char* face : {"n", "e", "s", "w", "u"})
            out += data_printf("sky_%s @sky-evening-%s.ppm\n", face, face);
        out += "sky_env @sky-evening-env.ppm\n";
        break;
    }
    return out;
}

// A top-down picture of the whole ground, row 0 at z = 0: the course as a
// light ribbon with a dark edge and the start line marked, the rest clear.
std::string map_png(const Layout& L)
{
    const int side = 256;
    Image im = image_make(side, side, 4);
    double scale = side / L.g.extent();
    // Clearance of every pixel centre, painted outwards from the samples.
    std::vector<double> best(size_t(side) * side, 1e30);
    for (const CourseSample& q : L.line) {
        double reach = (q.width / 2 + 3 / scale) * scale;
        int x0 = std::max(0, int(q.x * scale - reach)), x1 = std::min(side - 1, int(q.x * scale + reach));
        int y0 = std::max(0, int(q.z * scale - reach)), y1 = std::min(side - 1, int(q.z * scale + reach));
        for (int y = y0; y <= y1; y++)
            for (int x = x0; x <= x1; x++) {
                double d = std::hypot((x + 0.5) / scale - q.x, (y + 0.5) / scale - q.z) - q.width / 2;
                double& b = best[size_t(y) * side + size_t(x)];
                b = std::min(b, d);
            }
    }
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
            double cl = best[size_t(y) * side + size_t(x)];
            uint8_t* px = image_at(im, x, y);
            if (cl < 0) {
                px[0] = 235, px[1] = 230, px[2] = 215, px[3] = 230;
            } else if (cl < 2.5 / scale) {
                px[0] = 30, px[1] = 30, px[2] = 30, px[3] = 220;
            } else {
                px[0] = px[1] = px[2] = 0, px[3] = 0;
            }
        }
    const CourseSample& q = L.at(L.gate_s);
    for (double d = -q.width / 2; d <= q.width / 2; d += 0.5 / scale) {
        double wx, wz;
        Layout::beside(q, 1, d, 0, &wx, &wz);
        int x = int(wx * scale), y = int(wz * scale);
        for (int k = -1; k <= 1; k++) {
            int yy = std::clamp(y + k, 0, side - 1), xx = std::clamp(x, 0, side - 1);
            uint8_t* px = image_at(im, xx, yy);
            px[0] = 200, px[1] = 30, px[2] = 30, px[3] = 255;
        }
    }
    return image_encode_png(im);
}

// ".shp" text from spheres (centre, radius) with one material.
std::string shape_text(const std::vector<std::array<double, 4>>& spheres, double friction, double stiffness,
                       double damping)
{
    std::string out = data_printf("%zu\n", spheres.size());
    for (const auto& s : spheres)
        out += data_printf("%.3f %.3f %.3f %.3f %.2f %.0f %.0f\n", s[0], s[1], s[2], s[3], friction, stiffness, damping);
    return out;
}

}  // namespace

double SceneryGround::height(double x, double z) const
{
    double fx = std::clamp(x / spacing, 0.0, double(vertex_count - 1));
    double fz = std::clamp(z / spacing, 0.0, double(vertex_count - 1));
    int i = std::min(int(fx), vertex_count - 2), j = std::min(int(fz), vertex_count - 2);
    double u = fx - i, v = fz - j;
    auto h = [&](int a, int b) { return heights[size_t(b) * size_t(vertex_count) + size_t(a)]; };
    return (h(i, j) * (1 - u) + h(i + 1, j) * u) * (1 - v) + (h(i, j + 1) * (1 - u) + h(i + 1, j + 1) * u) * v;
}

bool scenery_ground_parse(const std::string& bytes, SceneryGround* out)
{
    int n = 0;
    double spacing = 0, low = 0, high = 0;
    int used = 0;
    if (std::sscanf(bytes.c_str(), "%d %lf %lf %lf %n", &n, &spacing, &low, &high, &used) != 4 || n < 1 || n > 11 ||
        !(spacing > 0) || size_t(used) >= bytes.size() || bytes[size_t(used)] != ':')
        return false;
    int p = (1 << (n + 1)) + 1;
    size_t count = size_t(p) * size_t(p);
    if (bytes.size() < size_t(used) + 1 + 2 * count)
        return false;
    out->vertex_count = p;
    out->spacing = spacing;
    out->low = low;
    out->high = high;
    out->heights.resize(count);
    const unsigned char* raw = reinterpret_cast<const unsigned char*>(bytes.data()) + used + 1;
    for (size_t k = 0; k < count; k++)
        out->heights[k] = low + (raw[2 * k] | raw[2 * k + 1] << 8) * (high - low) / 65535.0;
    return true;
}

std::vector<std::pair<std::string, std::string>> scenery_files(const Course& c, const SceneryGround& g)
{
    Layout L(c, g);
    lay_gates(L);
    lay_flaggers(L);
    lay_course_edges(L);
    lay_surroundings(L);
    return {{"timing_gates", L.gates}, {"flaggers", L.flaggers},   {"billboards", L.billboards},
            {"statues", L.statues},    {"lighting", lighting_text(c)}, {"map.png", map_png(L)}};
}

std::vector<std::pair<std::string, std::string>> scenery_shapes()
{
    std::vector<std::array<double, 4>> tent, stand, fence, tree;
    // The four legs of a 10 ft square canopy: a rider meets the poles.
    for (double x : {-4.9, 4.9})
        for (double z : {-4.9, 4.9})
            for (double y : {1.0, 3.0, 5.0})
                tent.push_back({x, y, z, 0.6});
    // Stepped seats 30 ft wide rising to the back (+z).
    for (double x = -13.5; x <= 13.6; x += 3)
        for (int row = 0; row < 4; row++)
            stand.push_back({x, 1.2 + 2.2 * row, -4.5 + 3.2 * row, 1.8});
    // A 10 ft section of posts and rails along x.
    for (double x = -4.5; x <= 4.6; x += 1.5)
        fence.push_back({x, 2.2, 0, 0.9});
    // The trunk and the lowest branches of a conifer.
    tree = {{0, 1.0, 0, 0.9}, {0, 3.0, 0, 0.8}, {0, 5.5, 0, 1.6}};
    return {{"statues/tent.shp", shape_text(tent, 0.5, 12000, 1200)},
            {"statues/grandstand.shp", shape_text(stand, 0.6, 25000, 2500)},
            {"statues/fence.shp", shape_text(fence, 0.5, 6000, 800)},
            {"statues/tree.shp", shape_text(tree, 0.6, 20000, 2000)}};
}
