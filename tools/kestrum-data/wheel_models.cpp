// Front and rear wheels: knobby tyre, rim, laced spokes, hub, brake disc and
// (rear) sprocket. Origin at the axle, axle along x.
#include <cmath>

#include "dataset.h"
#include "model_art.h"

namespace {

constexpr double PI = 3.14159265358979323846;

struct WheelSize {
    double outer;        // radius over the knobs
    double rim;          // rim radius
    double tyre_half_w;  // half the tyre's width
    double disc_r, disc_x;  // brake disc radius and side (x)
    bool sprocket;
};

void knobs(MeshBuild& mb, const WheelSize& w, double body_outer)
{
    mb.rect = wheel_cell::knob();
    int rows = 44;
    double h = w.outer - body_outer;
    for (int i = 0; i < rows; i++) {
        double th = 2 * PI * i / rows;
        // Staggered rows: a centre knob, then a pair of shoulder knobs.
        bool centre = i % 2 == 0;
        int count = centre ? 1 : 2;
        for (int k = 0; k < count; k++) {
            double x = centre ? 0 : (k ? 1 : -1) * w.tyre_half_w * 0.62;
            double r0 = body_outer - (centre ? 0.01 : 0.03);
            Place p = place_rotate_x(-th);
            Place saved = mb.place;
            mb.place = place_compose(saved, p);
            mb_box(mb, vec3(x, r0 + h / 2, 0), vec3(w.tyre_half_w * (centre ? 0.3 : 0.22), h / 2 + 0.01, 0.055));
            mb.place = saved;
        }
    }
}

// detail 0 is the full wheel; 1 drops the knobs and half the spokes; 2 is
// a tyre and a rim for far away.
std::string wheel_file(const WheelSize& w, int detail)
{
    MeshBuild tyre = mesh_lit(4, 0.06f);
    MeshBuild rim = mesh_lit(80, 0.8f);
    MeshBuild spokes = mesh_lit(96, 0.9f);
    MeshBuild hub = mesh_lit(64, 0.6f);
    MeshBuild disc = mesh_lit(48, 0.5f);
    // The tyre, rim and spokes choose their own counts below; the hub and
    // the discs just get coarser.
    hub.detail = disc.detail = detail;
    // Tyre body: a torus from the rim out to just under the knobs.
    double body_outer = w.outer - 0.05;
    tyre.rect = wheel_cell::tread();
    int segments = detail == 0 ? 48 : detail == 1 ? 24 : 12;
    if (detail > 0)
        body_outer = w.outer - 0.01;  // no knobs: the tyre reaches the full radius
    double section = (body_outer - w.rim) / 2;
    mb_torus(tyre, w.rim + section, section, segments, detail == 0 ? 12 : detail == 1 ? 8 : 6);
    if (detail == 0)
        knobs(tyre, w, body_outer);
    // Rim: a wide, shallow channel.
    rim.rect = wheel_cell::rim();
    std::vector<Vec3> ring;
    for (int i = 0; i <= segments; i++) {
        double th = 2 * PI * i / segments;
        ring.push_back(vec3(0, std::cos(th), std::sin(th)) * (w.rim - 0.02));
    }
    mb_tube(rim, ring, {0.09}, 8, false, vec3(1, 0, 0), 0.35);
    if (detail == 2)
        return mb_file({tyre, rim});
    // Hub with its two flanges.
    hub.rect = wheel_cell::hub();
    mb_tube(hub, {vec3(-0.2, 0, 0), vec3(0.2, 0, 0)}, {0.1}, 14, true);
    mb_tube(hub, {vec3(-0.15, 0, 0), vec3(-0.11, 0, 0)}, {0.17}, 14, true);
    mb_tube(hub, {vec3(0.11, 0, 0), vec3(0.15, 0, 0)}, {0.17}, 14, true);
    // 36 spokes laced tangentially from the flanges to the rim.
    spokes.rect = wheel_cell::spoke();
    int spoke_count = detail == 0 ? 36 : 12;
    for (int i = 0; i < spoke_count; i++) {
        double side = i % 2 ? 1 : -1;
        double th = 2 * PI * i / spoke_count;
        double lead = (i / 2) % 2 ? 0.55 : -0.55;
        Vec3 at_hub = vec3(side * 0.13, std::cos(th + lead) * 0.15, std::sin(th + lead) * 0.15);
        Vec3 at_rim = vec3(side * 0.03, std::cos(th) * (w.rim - 0.05), std::sin(th) * (w.rim - 0.05));
        mb_beam(spokes, at_hub, at_rim, 0.011, 0.011, vec3(1, 0, 0));
    }
    // Brake disc: a ring with a carrier to the hub.
    disc.rect = wheel_cell::disc();
    double dx = w.disc_x;
    mb_disc(disc, dx - 0.01, w.disc_r * 0.72, w.disc_r, 32, false);
    mb_disc(disc, dx + 0.01, w.disc_r * 0.72, w.disc_r, 32, true);
    mb_disc(disc, dx, 0.1, w.disc_r * 0.72, 16, dx < 0 ? false : true);
    std::vector<MeshBuild> meshes = {tyre, rim, spokes, hub, disc};
    if (w.sprocket) {
        MeshBuild sprocket = mesh_lit(48, 0.5f);
        sprocket.rect = wheel_cell::sprocket();
        sprocket.detail = detail;
        double sx = -0.21;
        // Further away the teeth merge into the plate's edge.
        double plate_r = detail == 0 ? 0.3 : 0.325;
        mb_disc(sprocket, sx - 0.012, 0.12, plate_r, 40, false);
        mb_disc(sprocket, sx + 0.012, 0.12, plate_r, 40, true);
        for (int i = 0; i < (detail == 0 ? 40 : 0); i++) {
            double th = 2 * PI * i / 40;
            Place saved = sprocket.place;
            sprocket.place = place_compose(saved, place_rotate_x(th));
            mb_box(sprocket, vec3(sx, 0.315, 0), vec3(0.012, 0.02, 0.012));
            sprocket.place = saved;
        }
        meshes.push_back(sprocket);
    }
    return mb_file(meshes);
}

bool build_wheel_models(DataSet& ds)
{
    // Outer radii of the catalogue: 7/6 ft front, 13/12 ft rear. Coarser
    // copies from 32 ft ("_lod5") and 128 ft ("_lod7").
    const WheelSize front{7.0 / 6, 0.86, 0.14, 0.41, -0.17, false};
    const WheelSize rear{13.0 / 12, 0.74, 0.17, 0.35, 0.19, true};
    dataset_add(ds, "front_wheel.jm", wheel_file(front, 0));
    dataset_add(ds, "front_wheel_lod5.jm", wheel_file(front, 1));
    dataset_add(ds, "front_wheel_lod7.jm", wheel_file(front, 2));
    dataset_add(ds, "rear_wheel.jm", wheel_file(rear, 0));
    dataset_add(ds, "rear_wheel_lod5.jm", wheel_file(rear, 1));
    dataset_add(ds, "rear_wheel_lod7.jm", wheel_file(rear, 2));
    return true;
}

}  // namespace

KESTRUM_DATA_BUILDER("wheel models", 200, build_wheel_models);
