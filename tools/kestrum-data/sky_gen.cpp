// The default sky box, the environment map for chrome-like parts, the
// evening sky and environment map of the stadium courses (their horizon is the colour of
// their fog, so the fogged ground meets the sky without a line), and the
// splash particle picture (the roost particle is the ground's, tinted per
// surface).
//
// Sky faces are sampled from one sky function of direction, so the cube has
// no seams: north looks along -z, east +x, south +z, west -x, each with its
// first row at the top and, seen from inside, its first column on the left
// (so north's right is +x). The up face is seen as when tilting the head
// back from north: its top row lies toward south (+z), its right toward +x.
#include "art_util.h"
#include "dataset.h"
#include "files/image.h"

#include <cmath>
#include <string>

namespace {

using art::Colour;

constexpr double PI = 3.14159265358979323846;

struct Dir {
    double x, y, z;
};

Dir normalize(Dir d)
{
    double l = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    return {d.x / l, d.y / l, d.z / l};
}

// The colours of one sky.
struct SkyLook {
    Colour zenith, horizon, ground;
    Colour cloud_lit, cloud_shade;
    double cloud_amount;  // 0..1, how opaque the clouds are
    Colour glow;          // low light over the western horizon
    double glow_amount;   // 0: none
};

// A clear day.
const SkyLook DAY = {{58, 104, 178}, {196, 214, 228}, {150, 140, 118}, {250, 250, 252}, {178, 186, 200}, 0.9,
                     {0, 0, 0}, 0};
// Dusk under the stadium lights: the horizon and the haze below it are the
// course's fog colour (0.18 0.19 0.24), a last warm glow in the west, dim
// clouds against a deep blue zenith.
const SkyLook EVENING = {{14, 18, 44}, {46, 48, 61}, {46, 48, 61}, {74, 70, 84}, {34, 36, 50}, 0.7,
                         {104, 70, 62}, 0.55};

// Sky colour seen along a unit direction: a deep zenith fading to the
// horizon, soft clouds projected on a flat layer, and a ground haze below
// the horizon.
Colour sky_colour(const SkyLook& look, Dir d)
{
    if (d.y < 0) {
        double t = art::clamp01(-d.y * 4);
        return art::mix(look.horizon, look.ground, art::smoothstep(0, 1, t));
    }
    Colour c = art::mix(look.horizon, look.zenith, std::pow(art::clamp01(d.y), 0.55));
    if (look.glow_amount > 0) {
        // Clear of the horizon itself, which stays the fog colour.
        double west = art::clamp01(-d.x / std::sqrt(d.x * d.x + d.z * d.z + 1e-12));
        double band = art::smoothstep(0.01, 0.06, d.y) * (1 - art::smoothstep(0.06, 0.4, d.y));
        c = art::mix(c, look.glow, look.glow_amount * band * west * west);
    }
    if (d.y > 0.02) {
        // Clouds on a plane above the camera.
        double u = d.x / d.y * 1.6, v = d.z / d.y * 1.6;
        double n = art::fbm(u + 40, v + 40, 5, 1234);
        double cover = art::smoothstep(0.5, 0.72, n) * art::smoothstep(0.02, 0.25, d.y);
        double shade = art::fbm(u * 2 + 7, v * 2 + 3, 3, 99);
        Colour cloud = art::mix(look.cloud_lit, look.cloud_shade, shade * 0.8);
        c = art::mix(c, cloud, cover * look.cloud_amount);
    }
    return c;
}

Image sky_face(const SkyLook& look, Dir forward, Dir right, Dir up, int size)
{
    Image im = image_make(size, size, 3);
    for (int j = 0; j < size; j++)
        for (int i = 0; i < size; i++) {
            double u = (i + 0.5) / size * 2 - 1, v = 1 - (j + 0.5) / size * 2;
            Dir d = normalize({forward.x + u * right.x + v * up.x, forward.y + u * right.y + v * up.y,
                               forward.z + u * right.z + v * up.z});
            art::put(im, i, j, sky_colour(look, d));
        }
    return im;
}

// The angular environment map: straight up at the centre, the horizon on
// the circle of radius 0.25, straight down at 0.5; s runs along x, t along z.
Image environment_map(const SkyLook& look, int size)
{
    Image im = image_make(size, size, 3);
    for (int j = 0; j < size; j++)
        for (int i = 0; i < size; i++) {
            double s = (i + 0.5) / size - 0.5, t = (j + 0.5) / size - 0.5;
            double r = std::hypot(s, t);
            double polar = std::fmin(r, 0.5) * 2 * PI;
            double k = r > 0 ? std::sin(polar) / r : 0;
            Dir d = {s * k, std::cos(polar), t * k};
            Colour c = sky_colour(look, d);
            if (d.y < 0)  // the ground seen in chrome: dark dirt
                c = art::mix(Colour{120, 100, 80}, Colour{52, 40, 30}, art::clamp01(-d.y * 2));
            art::put(im, i, j, c);
        }
    return im;
}

// Water thrown up: bright droplets and a faint spray, white-blue.
Image splash_particle()
{
    const int S = 64;
    Image im = image_make(S, S, 4);
    for (size_t i = 0; i < im.pixels.size(); i += 4) {
        im.pixels[i] = 220;
        im.pixels[i + 1] = 236;
        im.pixels[i + 2] = 255;
    }
    for (int y = 0; y < S; y++)
        for (int x = 0; x < S; x++) {
            double dx = (x + 0.5) / S - 0.5, dy = (y + 0.5) / S - 0.5;
            double r = std::hypot(dx, dy) * 2;
            double mist = art::clamp01(1 - r) * 0.35 * art::fbm(x / 7.0, y / 7.0, 3, 8);
            art::put(im, x, y, Colour{220, 236, 255}, mist);
        }
    // Droplets at fixed pseudo-random spots inside the disc.
    for (int k = 0; k < 14; k++) {
        double a = art::noise(k * 3.1, 0.5, 42) * 2 * PI, d = std::sqrt(art::noise(k * 1.7, 4.5, 43)) * 22;
        double rad = 1.5 + 2.5 * art::noise(k * 0.9, 7.5, 44);
        art::disc(im, 32 + d * std::cos(a), 32 + d * std::sin(a), rad, Colour{245, 250, 255}, 0.9);
    }
    return im;
}

bool build_sky(DataSet& ds)
{
    const int S = 256;
    struct Face {
        const char* name;
        Dir forward, right, up;
    };
    const Face faces[] = {
        {"n.ppm", {0, 0, -1}, {1, 0, 0}, {0, 1, 0}},
        {"e.ppm", {1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {"s.ppm", {0, 0, 1}, {-1, 0, 0}, {0, 1, 0}},
        {"w.ppm", {-1, 0, 0}, {0, 0, -1}, {0, 1, 0}},
        {"u.ppm", {0, 1, 0}, {1, 0, 0}, {0, 0, 1}},
    };
    const struct {
        const char* prefix;
        const SkyLook* look;
    } skies[] = {{"sky-", &DAY}, {"sky-evening-", &EVENING}};
    for (const auto& sky : skies) {
        for (const Face& f : faces)
            dataset_add(ds, sky.prefix + std::string(f.name),
                        image_encode_pnm(sky_face(*sky.look, f.forward, f.right, f.up, S)));
        dataset_add(ds, sky.prefix + std::string("env.ppm"), image_encode_pnm(environment_map(*sky.look, 256)));
    }
    dataset_add(ds, "splash.png", image_encode_png(splash_particle()));
    return true;
}

}  // namespace

KESTRUM_DATA_BUILDER("sky and particles", 100, build_sky);
