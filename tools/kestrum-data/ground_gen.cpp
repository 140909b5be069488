#include "ground_gen.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dataset.h"
#include "image_out.h"
#include "noise.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// Height of the land the course was cut into.
double natural_height(const Course& c, double extent, double x, double z)
{
    double cx = x - extent / 2, cz = z - extent / 2;
    double r = std::hypot(cx, cz) / (extent / 2);
    switch (c.style) {
    case CourseStyle::Valley:
        return 38 * r * r + 7 * noise_fractal(x, z, 220, 4, c.seed) +
               10 * smoothstep01((r - 0.85) / 0.3);
    case CourseStyle::Dunes:
        return 4.5 * std::sin(x / 38 + 1.7 * std::sin(z / 61)) * std::cos(z / 47 + 0.5) +
               3 * noise_fractal(x, z, 120, 3, c.seed) + 14 * r * r;
    case CourseStyle::Stadium: {
        // A flat arena floor ringed by a raised bank where the stands are.
        double edge = std::min(std::min(x, z), std::min(extent - x, extent - z));
        return 0.15 * noise_value(x, z, 30, c.seed) + 9 * smoothstep01((28 - edge) / 18);
    }
    }
    return 0;
}

// Longitudinal profile of one feature at t feet from its start (ft above
// the course base).
double feature_profile(const CourseFeature& f, double t)
{
    if (t < 0 || t > f.length)
        return 0;
    switch (f.kind) {
    case FeatureKind::Tabletop: {
        double H = f.height;
        if (t < f.face)
            return H * (t / f.face) * (t / f.face);  // concave face, lip at the top
        if (t < f.face + f.top)
            return H;
        return H * (1 - smoothstep01((t - f.face - f.top) / f.landing));
    }
    case FeatureKind::Double: {
        double H = f.height;
        if (t < f.face)
            return H * (t / f.face) * (t / f.face);
        double back = f.gap * 0.4;   // backside of the kicker
        double front = f.gap * 0.4;  // front of the landing hill
        double crest = f.face + f.gap;
        if (t < f.face + back)
            return H * (1 - smoothstep01((t - f.face) / back));
        if (t < crest - front)
            return 0;
        if (t < crest)
            return H * smoothstep01((t - (crest - front)) / front);
        if (t < crest + 3)
            return H;
        return H * (1 - smoothstep01((t - crest - 3) / f.landing));
    }
    case FeatureKind::StepUp: {
        double H1 = f.height, H2 = f.height2;
        if (t < f.face)
            return H1 * (t / f.face) * (t / f.face);
        double rise = 1.8 * (H2 - H1) / 0.6;  // the step's face, about 0.6 grade at most
        if (t < f.face + rise)
            return H1 + (H2 - H1) * smoothstep01((t - f.face) / rise);
        if (t < f.face + rise + f.top)
            return H2;
        return H2 * (1 - smoothstep01((t - f.face - rise - f.top) / f.landing));
    }
    case FeatureKind::Whoops:
    case FeatureKind::Rhythm: {
        double lambda = f.length / f.count;
        return f.height * 0.5 * (1 - std::cos(2 * PI * t / lambda));
    }
    case FeatureKind::Water: {
        double ramp = 10;
        double in = smoothstep01(t / ramp) * smoothstep01((f.length - t) / ramp);
        return -f.height * in;
    }
    default:
        return 0;
    }
}

// Fade in and out over `ramp` feet at both ends of a feature.
double feature_fade(const CourseFeature& f, double t, double ramp)
{
    if (t < 0 || t > f.length)
        return 0;
    return smoothstep01(t / ramp) * smoothstep01((f.length - t) / ramp);
}

// Per-sample quantities along the centre line.
struct Along {
    std::vector<double> base;     // smoothed land height under the course
    std::vector<double> lift;     // jumps, whoops, water
    std::vector<double> berm;     // bank height at the outside edge
    std::vector<int> berm_side;   // +1: outside is right of travel
    std::vector<double> ruts;     // groove depth
    std::vector<int> ruts_count;
    std::vector<uint8_t> surface; // override on the course (0xff none)
    std::vector<uint8_t> kind;    // 1 jump face, 2 water
};

Along build_along(const Course& c, const std::vector<CourseSample>& s, const std::vector<double>& point_s,
                  double extent)
{
    size_t m = s.size();
    double step = s[1].s - s[0].s;
    Along a;
    a.base.resize(m);
    for (size_t i = 0; i < m; i++)
        a.base[i] = natural_height(c, extent, s[i].x, s[i].z);
    // Circular moving average, twice, so the course base rolls gently.
    int half = int((c.style == CourseStyle::Stadium ? 10 : 70) / step);
    for (int pass = 0; pass < 3; pass++) {
        std::vector<double> out(m);
        double sum = 0;
        for (int k = -half; k <= half; k++)
            sum += a.base[(size_t(k + int(m)) % m)];
        for (size_t i = 0; i < m; i++) {
            out[i] = sum / (2 * half + 1);
            sum += a.base[(i + size_t(half) + 1) % m] - a.base[(i + m - size_t(half)) % m];
        }
        a.base = out;
    }
    a.lift.assign(m, 0);
    a.berm.assign(m, 0);
    a.berm_side.assign(m, 1);
    a.ruts.assign(m, 0);
    a.ruts_count.assign(m, 1);
    a.surface.assign(m, 0xff);
    a.kind.assign(m, 0);
    double total = m * step;
    for (const CourseFeature& f : c.features) {
        double start = course_feature_start(f, point_s);
        for (size_t i = 0; i < m; i++) {
            double t = s[i].s - start;
            if (t < 0)
                t += total;
            if (t > f.length)
                continue;
            switch (f.kind) {
            case FeatureKind::Berm: {
                // Outside of the turn from the curvature around here.
                double k = 0;
                for (int d = -20; d <= 20; d++)
                    k += s[(i + m + size_t(d)) % m].curvature;
                a.berm[i] = std::max(a.berm[i], f.height * feature_fade(f, t, 18));
                a.berm_side[i] = k > 0 ? -1 : 1;
                a.surface[i] = c.style == CourseStyle::Dunes ? SURF_SAND : SURF_LOOSE;
                break;
            }
            case FeatureKind::Ruts:
                a.ruts[i] = std::max(a.ruts[i], f.height * feature_fade(f, t, 12));
                a.ruts_count[i] = f.count;
                a.surface[i] = c.style == CourseStyle::Dunes ? SURF_SAND : SURF_LOOSE;
                break;
            case FeatureKind::Water:
                a.lift[i] += feature_profile(f, t);
                if (t > 7 && t < f.length - 7)
                    a.kind[i] = 2;
                break;
            default: {
                double h = feature_profile(f, t);
                a.lift[i] += h;
                bool bumps = f.kind == FeatureKind::Whoops || f.kind == FeatureKind::Rhythm;
                if (!bumps && h > 0.3)
                    a.kind[i] = 1;
                break;
            }
            }
        }
    }
    return a;
}

// Nearest centre-line sample within reach, through a coarse bucket grid.
struct SampleIndex {
    double cell;
    int side;
    std::vector<std::vector<int>> buckets;
};

SampleIndex index_samples(const std::vector<CourseSample>& s, double extent)
{
    SampleIndex ix;
    ix.cell = 16;
    ix.side = int(std::ceil(extent / ix.cell)) + 1;
    ix.buckets.resize(size_t(ix.side) * size_t(ix.side));
    for (size_t i = 0; i < s.size(); i++) {
        int bx = std::clamp(int(s[i].x / ix.cell), 0, ix.side - 1);
        int bz = std::clamp(int(s[i].z / ix.cell), 0, ix.side - 1);
        ix.buckets[size_t(bz) * size_t(ix.side) + size_t(bx)].push_back(int(i));
    }
    return ix;
}

int nearest_sample(const SampleIndex& ix, const std::vector<CourseSample>& s, double x, double z, double reach)
{
    int r = int(std::ceil(reach / ix.cell));
    int bx = int(std::floor(x / ix.cell)), bz = int(std::floor(z / ix.cell));
    double best = reach * reach;
    int found = -1;
    for (int dz = -r; dz <= r; dz++)
        for (int dx = -r; dx <= r; dx++) {
            int cx = bx + dx, cz = bz + dz;
            if (cx < 0 || cz < 0 || cx >= ix.side || cz >= ix.side)
                continue;
            for (int i : ix.buckets[size_t(cz) * size_t(ix.side) + size_t(cx)]) {
                double d2 = (s[size_t(i)].x - x) * (s[size_t(i)].x - x) + (s[size_t(i)].z - z) * (s[size_t(i)].z - z);
                if (d2 < best) {
                    best = d2;
                    found = i;
                }
            }
        }
    return found;
}

// A per-sample quantity at `along` feet past sample i (linear between
// samples, 1 ft apart).
double interp(const std::vector<double>& v, size_t i, double along)
{
    size_t m = v.size();
    double f = std::floor(along);
    long k = long(i) + long(f);
    size_t a = size_t(((k % long(m)) + long(m)) % long(m)), b = (a + 1) % m;
    double t = along - f;
    return v[a] + (v[b] - v[a]) * t;
}

// Height across the course at lateral offset d (right of travel positive)
// and `along` feet past sample i.
double cross_profile(const Along& a, size_t i, double along, double d, double halfw)
{
    double h = interp(a.base, i, along) + interp(a.lift, i, along);
    double dc = std::clamp(d, -halfw, halfw);
    double berm = interp(a.berm, i, along);
    if (berm > 0) {
        double out = dc * a.berm_side[i] / halfw;  // 1 at the outside edge
        if (out > 0)
            h += berm * out * out;
    }
    double ruts = interp(a.ruts, i, along);
    if (ruts > 0 && std::fabs(d) < halfw) {
        double u = (d / halfw + 1) / 2 * a.ruts_count[i];
        h -= ruts * 0.5 * (1 - std::cos(2 * PI * u));
    }
    return h;
}

double shoulder_width(const Along& a, size_t i) { return 12 + 2.0 * std::max(std::fabs(a.lift[i]), a.berm[i]); }

void bake_shadows(const Course& c, GroundBuild* g, const double sun[3])
{
    int p = g->vertex_count;
    double L = g->spacing;
    g->shadow.assign(size_t(p) * size_t(p), 0);
    double horiz = std::hypot(sun[0], sun[2]);
    if (horiz < 1e-6)
        return;
    double dx = sun[0] / horiz, dz = sun[2] / horiz, rise = sun[1] / horiz;  // per foot
    std::vector<uint8_t> hard(g->shadow.size(), 0);
    for (int j = 0; j < p; j++)
        for (int i = 0; i < p; i++) {
            double h0 = g->heights[size_t(j) * size_t(p) + size_t(i)] + 0.05;
            for (double t = L; t < 400; t += L * 0.75) {
                double x = i * L + dx * t, z = j * L + dz * t;
                int a = int(x / L + 0.5), b = int(z / L + 0.5);
                if (a < 0 || b < 0 || a >= p || b >= p)
                    break;
                double ray = h0 + rise * t;
                if (ray > g->high)
                    break;
                if (g->heights[size_t(b) * size_t(p) + size_t(a)] > ray) {
                    hard[size_t(j) * size_t(p) + size_t(i)] = 255;
                    break;
                }
            }
        }
    // A small blur softens the edges.
    for (int j = 0; j < p; j++)
        for (int i = 0; i < p; i++) {
            int sum = 0, n = 0;
            for (int b = -1; b <= 1; b++)
                for (int a = -1; a <= 1; a++) {
                    int x = std::clamp(i + a, 0, p - 1), z = std::clamp(j + b, 0, p - 1);
                    sum += hard[size_t(z) * size_t(p) + size_t(x)];
                    n++;
                }
            g->shadow[size_t(j) * size_t(p) + size_t(i)] = uint8_t(sum / n * 3 / 4);  // sky light fills in
        }
}

// Unit normal at a vertex from its eight surrounding triangles, as the game
// lights it.
void vertex_normal(const GroundBuild& g, int i, int j, double n[3])
{
    static const int ring[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    int p = g.vertex_count;
    auto pos = [&](int a, int b, double out[3]) {
        int ca = std::clamp(a, 0, p - 1), cb = std::clamp(b, 0, p - 1);
        out[0] = ca * g.spacing;
        out[1] = g.heights[size_t(cb) * size_t(p) + size_t(ca)];
        out[2] = cb * g.spacing;
    };
    double c[3];
    pos(i, j, c);
    double sum[3] = {0, 0, 0};
    for (int k = 0; k < 8; k++) {
        double a[3], b[3];
        pos(i + ring[k][0], j + ring[k][1], a);
        pos(i + ring[(k + 1) % 8][0], j + ring[(k + 1) % 8][1], b);
        double u[3] = {a[0] - c[0], a[1] - c[1], a[2] - c[2]}, v[3] = {b[0] - c[0], b[1] - c[1], b[2] - c[2]};
        double x[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        if (x[1] < 0)
            for (double& e : x)
                e = -e;
        double l = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
        if (l > 0)
            for (int e = 0; e < 3; e++)
                sum[e] += x[e] / l;
    }
    double l = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
    for (int e = 0; e < 3; e++)
        n[e] = sum[e] / l;
}

}  // namespace

bool ground_build(const Course& c, GroundBuild* g, std::string* error)
{
    int p = (1 << (c.order + 1)) + 1;
    double L = c.spacing, extent = L * (p - 1);
    g->order = c.order;
    g->vertex_count = p;
    g->spacing = L;
    std::vector<double> point_s;
    std::vector<CourseSample> s = course_sample(c, 1.0, &point_s);
    for (const CourseSample& q : s)
        if (q.x < q.width + 20 || q.z < q.width + 20 || q.x > extent - q.width - 20 || q.z > extent - q.width - 20) {
            *error = data_printf("course %s leaves its %.0f ft ground at (%.0f, %.0f)", c.name.c_str(), extent, q.x, q.z);
            return false;
        }
    Along a = build_along(c, s, point_s, extent);
    SampleIndex ix = index_samples(s, extent);
    double reach = 0;
    for (size_t i = 0; i < s.size(); i++)
        reach = std::max(reach, s[i].width / 2 + shoulder_width(a, i));

    // Heights.
    g->heights.assign(size_t(p) * size_t(p), 0);
    for (int j = 0; j < p; j++)
        for (int i = 0; i < p; i++) {
            double x = i * L, z = j * L;
            double natural = natural_height(c, extent, x, z);
            double h = natural;
            int k = nearest_sample(ix, s, x, z, reach);
            if (k >= 0) {
                const CourseSample& q = s[size_t(k)];
                double d = (x - q.x) * -q.tz + (z - q.z) * q.tx;  // right of travel
                double along = (x - q.x) * q.tx + (z - q.z) * q.tz;
                double halfw = q.width / 2, sh = shoulder_width(a, size_t(k));
                double dist = std::fabs(d);
                double edge = cross_profile(a, size_t(k), along, d, halfw);
                double t = smoothstep01((dist - halfw) / sh);
                h = edge * (1 - t) + natural * t;
            }
            g->heights[size_t(j) * size_t(p) + size_t(i)] = float(h);
        }
    g->low = *std::min_element(g->heights.begin(), g->heights.end());
    g->high = *std::max_element(g->heights.begin(), g->heights.end());
    if (g->high - g->low < 1) {
        g->low -= 0.5f;
        g->high += 0.5f;
    }

    // Tilemap: one surface per 2 x 2 cells.
    int tiles = 1 << c.order;
    double tile = 2 * L;
    g->tilemap.assign(size_t(tiles) * size_t(tiles), SURF_GRASS);
    for (int r = 0; r < tiles; r++)
        for (int col = 0; col < tiles; col++) {
            double x = (col + 0.5) * tile, z = (r + 0.5) * tile;
            double patch = noise_fractal(x, z, 40, 3, c.seed + 7);
            uint8_t off = c.style == CourseStyle::Valley ? (patch > 0.45 ? SURF_LOOSE : SURF_GRASS)
                        : c.style == CourseStyle::Dunes  ? (patch > 0.25 ? SURF_GRASS : SURF_SAND)
                                                         : (patch > 0.3 ? SURF_DIRT : SURF_PACKED);
            uint8_t on = c.style == CourseStyle::Dunes ? SURF_SAND : SURF_DIRT;
            uint8_t surf = off;
            int k = nearest_sample(ix, s, x, z, reach);
            if (k >= 0) {
                const CourseSample& q = s[size_t(k)];
                double dist = std::hypot(x - q.x, z - q.z), halfw = q.width / 2;
                if (a.kind[size_t(k)] == 2 && dist < halfw + 4)
                    surf = SURF_WATER;
                else if (dist < halfw) {
                    surf = on;
                    if (a.surface[size_t(k)] != 0xff)
                        surf = a.surface[size_t(k)];
                    else if (a.kind[size_t(k)] == 1)
                        surf = c.style == CourseStyle::Dunes ? SURF_LOOSE : SURF_PACKED;
                    if (c.style == CourseStyle::Dunes && a.surface[size_t(k)] == 0xff && patch > 0.35)
                        surf = SURF_LOOSE;
                } else if (dist < halfw + 3) {
                    surf = c.style == CourseStyle::Dunes ? SURF_SAND : SURF_PACKED;
                }
            }
            g->tilemap[size_t(r) * size_t(tiles) + size_t(col)] = surf;
        }
    // Mud rings the water.
    std::vector<uint8_t> map = g->tilemap;
    for (int r = 0; r < tiles; r++)
        for (int col = 0; col < tiles; col++) {
            if (map[size_t(r) * size_t(tiles) + size_t(col)] == SURF_WATER)
                continue;
            for (int b = -2; b <= 2; b++)
                for (int e = -2; e <= 2; e++) {
                    int rr = std::clamp(r + b, 0, tiles - 1), cc = std::clamp(col + e, 0, tiles - 1);
                    if (map[size_t(rr) * size_t(tiles) + size_t(cc)] == SURF_WATER)
                        g->tilemap[size_t(r) * size_t(tiles) + size_t(col)] = SURF_MUD;
                }
        }

    // Light: shadows, then the shading with colour detail.
    double sl = std::sqrt(c.sun[0] * c.sun[0] + c.sun[1] * c.sun[1] + c.sun[2] * c.sun[2]);
    double sun[3] = {c.sun[0] / sl, c.sun[1] / sl, c.sun[2] / sl};
    bake_shadows(c, g, sun);
    g->shading.assign(size_t(p) * size_t(p) * 3, 128);
    for (int j = 0; j < p; j++)
        for (int i = 0; i < p; i++) {
            double n[3];
            vertex_normal(*g, i, j, n);
            double shadow = g->shadow[size_t(j) * size_t(p) + size_t(i)];
            double lit = std::clamp(n[0] * sun[0] + n[1] * sun[1] + n[2] * sun[2], 0.0, 1.0) * (1 - shadow / 255);
            double x = i * L, z = j * L;
            double broad = 0.07 * noise_fractal(x, z, 90, 3, c.seed + 21);
            double fine = 0.04 * noise_value(x, z, 3 * L, c.seed + 22);
            double tint = 0.03 * noise_value(x, z, 60, c.seed + 23);
            for (int ch = 0; ch < 3; ch++) {
                double v = (c.ambient[ch] + c.sun_colour[ch] * lit) * (1 + broad + fine + (ch == 0 ? tint : -tint));
                g->shading[(size_t(j) * size_t(p) + size_t(i)) * 3 + size_t(ch)] =
                    uint8_t(std::clamp(int(std::floor(v * 255 * 0.5)), 0, 255));
            }
        }
    return true;
}

std::string ground_tileinfo()
{
    // Grip falls a little with contact speed (speeds in ft/s); rolling
    // resistance (lbf at the surface, lbf fully sunk in) grows with how soft
    // the ground is; roost colours match the dirt that is thrown.
    return "texture @ground/dirt.png\n"
           "friction 1.10 2\nfriction 1.00 40\nfriction 0.92 100\n"
           "roll_resist 5 16 1\n"
           "roost count=8 dig=1 size=0.25 r=118 g=88 b=60 fade_a=-256\n"
           "addtile\n"
           "texture @ground/packed.png\n"
           "friction 1.15 2\nfriction 1.05 40\nfriction 0.98 100\n"
           "roll_resist 3 10 1\n"
           "roost count=4 dig=0.5 size=0.2 r=132 g=104 b=76 fade_a=-256\n"
           "addtile\n"
           "texture @ground/loose.png\n"
           "friction 0.92 2\nfriction 0.85 40\nfriction 0.80 100\n"
           "roll_resist 8 26 1\n"
           "roost count=14 dig=1.5 size=0.3 r=104 g=76 b=50 fade_a=-256\n"
           "addtile\n"
           "texture @ground/sand.png\n"
           "friction 0.78 2\nfriction 0.70 40\nfriction 0.66 100\n"
           "roll_resist 14 42 1\n"
           "roost count=18 dig=2 size=0.2 grow=5 drag=0.8 r=214 g=192 b=142 fade_a=-320\n"
           "addtile\n"
           "texture @ground/grass.png\n"
           "friction 0.80 2\nfriction 0.70 40\nfriction 0.62 100\n"
           "roll_resist 4 12 1\n"
           "roost count=3 dig=0.3 size=0.3 r=84 g=96 b=48 fade_a=-256\n"
           "addtile\n"
           "texture @ground/mud.png\n"
           "friction 0.55 2\nfriction 0.48 40\nfriction 0.44 100\n"
           "roll_resist 16 48 1\n"
           "roost count=10 dig=1 size=0.35 grow=2 drag=0.3 r=70 g=52 b=36 fade_a=-200\n"
           "addtile\n"
           "texture @ground/water.png\n"
           "friction 0.45 2\nfriction 0.40 40\n"
           "roll_resist 25 70 1\n"
           "roost splash=1 count=12 dig=0 slip_threshold=0 size=0.3 grow=6 drag=1.2 "
           "slow_angle=1.2 fast_angle=0.6 r=200 g=215 b=235 a=170 fade_a=-340\n"
           "addtile\n";
}

std::vector<std::pair<std::string, std::string>> ground_files(const Course& c, const GroundBuild& g)
{
    std::vector<std::pair<std::string, std::string>> files;
    int p = g.vertex_count;
    // Heights as a raw block: exact and independent of any image library.
    std::string hf = data_printf("%d %f %f %f\n:", g.order, g.spacing, double(g.low), double(g.high));
    hf.reserve(hf.size() + g.heights.size() * 2);
    double range = double(g.high) - double(g.low);
    for (float h : g.heights) {
        long v = std::lround((double(h) - g.low) / range * 65535.0);
        v = std::clamp(v, 0L, 65535L);
        hf += char(v & 0xff);
        hf += char(v >> 8);
    }
    files.push_back({"terrain.hf", hf});

    Image shading = image_make(p, p, 3);
    std::memcpy(shading.pixels.data(), g.shading.data(), g.shading.size());
    files.push_back({"shadingx2.ppm", image_encode_pnm(shading)});

    Image shadows = image_make(p, p, 1);
    for (size_t k = 0; k < g.shadow.size(); k++)
        shadows.pixels[k] = uint8_t(255 - g.shadow[k]);  // white: no shadow
    files.push_back({"shadows.pgm", image_encode_pnm(shadows)});

    files.push_back({"tilemap", std::string(g.tilemap.begin(), g.tilemap.end())});
    files.push_back({"tileinfo", ground_tileinfo()});
    files.push_back({"desc", c.title + "\n"});
    return files;
}
