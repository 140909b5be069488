// The bike models: frame (with engine, tank, seat, rear fender, shrouds,
// radiators, exhaust), fork upper (clamps, outer tubes, bars, front fender),
// fork lower (inner tubes, lugs, guards), swingarm (arms, chain), the side
// and front number plates, one family per make. Each part is modelled in
// bike coordinates (the bike points along -z, y up) and moved into its
// body's frame, whose origin is the body's build position.
#include <cmath>

#include "dataset.h"
#include "model_art.h"

namespace {

constexpr double PI = 3.14159265358979323846;

const Vec3 FRAME_ORIGIN{0, 1.98, 3.6};
const Vec3 FORK_UPPER_ORIGIN{0, 2.9, 2.16};
const Vec3 FORK_LOWER_ORIGIN{0, 1.77, 1.59};
const Vec3 SWINGARM_ORIGIN{0, 1.34, 4.99};
const Vec3 FRONT_AXLE{0, 1.09, 1.11};
const Vec3 REAR_AXLE{0, 1.04, 6.0};
const Vec3 PIVOT{0, 1.58, 4.17};

// Unit vector up the steering axis.
Vec3 steering_axis()
{
    return vec3_normalize(FORK_UPPER_ORIGIN - FORK_LOWER_ORIGIN);
}

struct Make {
    const char* name;
    bool two_stroke;
    int shape;  // small differences in the plastics between makes
};

const Make MAKES[] = {
    {"crf250", false, 0}, {"kx250f", false, 1}, {"rmz250", false, 2}, {"yz250f", false, 3},
    {"cr125", true, 0},   {"kx125", true, 1},   {"rm125", true, 2},   {"yz125", true, 3},
    {"125sx", true, 4},
};

// Starts a mesh whose vertices are given in bike coordinates and stored
// relative to a body origin; detail 0 is the full model, 1 and 2 the
// coarser copies for further away.
MeshBuild part_mesh(Vec3 body_origin, float shininess, float specular, int detail)
{
    MeshBuild mb = mesh_lit(shininess, specular);
    mb.place.origin = -body_origin;
    mb.detail = detail;
    return mb;
}

MeshBuild chrome_mesh(Vec3 body_origin, float r, float g, float b, float intensity, int detail)
{
    MeshBuild mb = mesh_env(r, g, b, intensity);
    mb.place.origin = -body_origin;
    mb.detail = detail;
    return mb;
}

void set_place(MeshBuild& mb, Vec3 body_origin, const Place& local)
{
    Place to_body;
    to_body.origin = -body_origin;
    mb.place = place_compose(to_body, local);
}

std::vector<Vec3> zy(std::initializer_list<double> pairs)
{
    std::vector<Vec3> out;
    const double* p = pairs.begin();
    for (size_t i = 0; i + 1 < pairs.size(); i += 2)
        out.push_back(vec3(0, p[i + 1], p[i]));
    return out;
}

// Both sides of a part modelled on the right (+x) side.
template <typename F>
void both_sides(MeshBuild& mb, Vec3 body_origin, F&& draw)
{
    set_place(mb, body_origin, place_identity());
    draw();
    set_place(mb, body_origin, place_mirror_x());
    draw();
    set_place(mb, body_origin, place_identity());
}

// ---------------------------------------------------------------- frame

void add_engine(MeshBuild& engine, MeshBuild& covers, const Make& mk)
{
    engine.rect = bike_cell::engine();
    // Crankcase and gearbox.
    mb_slab(engine, zy({2.75, 1.15, 2.85, 1.85, 3.45, 1.95, 3.95, 1.75, 3.95, 1.2, 3.6, 1.0, 3.0, 0.98}), -0.26, 0.26,
            0.06);
    // Cylinder leaning forward with fins, and its head.
    Vec3 base = vec3(0, 1.8, 3.05);
    Vec3 dir = vec3_normalize(vec3(0, 1, -0.3));
    double height = mk.two_stroke ? 0.55 : 0.6;
    double radius = mk.two_stroke ? 0.2 : 0.24;
    mb_tube(engine, {base, base + dir * height}, {radius}, 12, true, vec3(1, 0, 0));
    // Fins are too fine to see from further away.
    int fins = engine.detail > 0 ? 0 : mk.two_stroke ? 6 : 4;
    for (int i = 0; i < fins; i++) {
        Vec3 c = base + dir * (0.12 + (height - 0.15) * i / (fins - 1));
        mb_tube(engine, {c - dir * 0.015, c + dir * 0.015}, {radius + 0.06}, 12, true, vec3(1, 0, 0));
    }
    Vec3 top = base + dir * height;
    if (mk.two_stroke) {
        mb_tube(engine, {top, top + dir * 0.1}, {radius + 0.03}, 12, true, vec3(1, 0, 0));
    } else {
        // Cam cover of the four-stroke: a wider block on top.
        mb_beam(engine, top - dir * 0.02, top + dir * 0.2, 0.26, 0.22, vec3(0, 0, -1));
    }
    // Clutch cover (right) and ignition cover (left).
    covers.rect = bike_cell::engine_cover();
    mb_ellipsoid(covers, vec3(0.27, 1.45, 3.35), vec3(0.06, 0.3, 0.36), 16, 8);
    mb_ellipsoid(covers, vec3(-0.27, 1.5, 3.2), vec3(0.05, 0.22, 0.24), 14, 6);
}

void add_frame_tubes(MeshBuild& mb)
{
    mb.rect = bike_cell::frame();
    Vec3 axis = steering_axis();
    Vec3 head_top = FORK_UPPER_ORIGIN + axis * 0.05;
    Vec3 head_bottom = FORK_UPPER_ORIGIN - axis * 0.6;
    mb_tube(mb, {head_bottom, head_top}, {0.12}, 12, true);
    both_sides(mb, FRAME_ORIGIN, [&] {
        // Main spar from the steering head over the engine to the pivot.
        mb_tube(mb, {vec3(0.06, 2.75, 2.25), vec3(0.28, 2.62, 2.75), vec3(0.33, 2.4, 3.55), vec3(0.33, 2.0, 4.05),
                     vec3(0.3, 1.35, 4.2)},
                {0.09, 0.1, 0.1, 0.09, 0.09}, 8, true, vec3(0, 1, 0), 0.55);
        // Down tube and cradle under the engine.
        mb_tube(mb, {vec3(0.03, 2.4, 2.0), vec3(0.1, 1.7, 2.4), vec3(0.14, 1.05, 2.75), vec3(0.15, 0.92, 3.2),
                     vec3(0.16, 0.95, 3.9), vec3(0.28, 1.25, 4.2)},
                {0.06}, 8, true);
        // Subframe under the seat.
        mb_tube(mb, {vec3(0.3, 2.45, 3.75), vec3(0.27, 2.95, 5.0), vec3(0.24, 3.05, 5.7)}, {0.045}, 6, true);
        mb_tube(mb, {vec3(0.31, 1.95, 4.15), vec3(0.26, 2.95, 5.3)}, {0.04}, 6, true);
        // Foot peg.
        mb_beam(mb, vec3(0.3, 1.42, 4.18), vec3(0.68, 1.42, 4.18), 0.07, 0.03);
    });
    // Swingarm pivot bolt.
    if (mb.detail < 2)
        mb_tube(mb, {PIVOT + vec3(-0.36, 0, 0), PIVOT + vec3(0.36, 0, 0)}, {0.05}, 8, true);
}

void add_shock(MeshBuild& metal, MeshBuild& spring)
{
    metal.rect = bike_cell::frame();
    Vec3 top = vec3(0, 2.5, 3.95), bottom = vec3(0, 1.25, 4.5);
    mb_tube(metal, {top, bottom}, {0.05}, 8, true);
    mb_tube(metal, {top + (bottom - top) * 0.05, top + (bottom - top) * 0.3}, {0.11}, 10, true);  // reservoir end
    spring.rect = bike_cell::accent();
    Vec3 d = bottom - top;
    if (spring.detail > 0) {
        // From further away the coils read as one sleeve.
        mb_tube(spring, {top + d * 0.33, top + d * 0.87}, {0.115}, 10, true);
        return;
    }
    for (int i = 0; i < 7; i++) {
        Vec3 c = top + d * (0.35 + 0.08 * i);
        mb_tube(spring, {c - vec3_normalize(d) * 0.02, c + vec3_normalize(d) * 0.02}, {0.12}, 10, true);
    }
}

void add_plastics(MeshBuild& plastic, MeshBuild& fender, MeshBuild& seat, MeshBuild& dark, const Make& mk)
{
    double s = mk.shape * 0.04;
    // Tank between the spars, under the front of the seat.
    plastic.rect = bike_cell::tank();
    mb_slab(plastic, zy({2.3, 2.8, 2.35, 3.12, 2.6, 3.3, 3.4, 3.22, 3.62, 2.95, 3.3, 2.62, 2.6, 2.6}), -0.34, 0.34, 0.14);
    // Radiator shrouds: wings beside the tank reaching down past the radiators.
    plastic.rect = bike_cell::shroud();
    both_sides(plastic, FRAME_ORIGIN, [&] {
        mb_slab(plastic,
                zy({2.12, 2.55 - s, 2.1, 3.05, 2.2, 3.2, 3.05, 3.18, 3.35, 2.95, 3.05, 2.45, 2.7, 2.05 + s, 2.35,
                    1.98 + s}),
                0.34, 0.42, 0.035);
    });
    // Radiators behind the shrouds, louvred grille from the accent cell.
    dark.rect = bike_cell::black();
    both_sides(dark, FRAME_ORIGIN, [&] { mb_box(dark, vec3(0.27, 2.45, 2.6), vec3(0.07, 0.32, 0.24)); });
    // Rear fender: continues the seat line up and back past the tyre.
    fender.rect = bike_cell::fender_rear();
    mb_slab(fender, zy({5.1, 3.05, 5.1, 3.18, 6.5, 3.52, 7.15, 3.66 + s, 7.22, 3.58, 6.9, 3.43, 6.2, 3.2, 5.6, 2.98}),
            -0.3, 0.3, 0.08);
    // Seat from the tank to the fender.
    seat.rect = bike_cell::seat();
    mb_slab(seat, zy({3.05, 3.2, 3.3, 3.36, 4.5, 3.36, 5.75, 3.4, 5.9, 3.3, 5.7, 3.16, 3.6, 3.14, 3.2, 3.05}), -0.27,
            0.27, 0.1);
    // Airbox and the dark inner panels under the seat.
    dark.rect = bike_cell::black();
    mb_slab(dark, zy({3.9, 2.6, 4.0, 3.12, 5.3, 3.15, 5.2, 2.7, 4.5, 2.4}), -0.28, 0.28, 0.05);
}

void add_exhaust(MeshBuild& pipe, MeshBuild& silencer, MeshBuild& chrome, const Make& mk)
{
    pipe.rect = bike_cell::exhaust();
    silencer.rect = bike_cell::silencer();
    Vec3 can_front, can_back;
    if (mk.two_stroke) {
        // Expansion chamber: out of the cylinder's front, down the right side
        // and back up under the side panel.
        mb_tube(pipe,
                {vec3(0.05, 2.02, 2.72), vec3(0.18, 1.95, 2.45), vec3(0.33, 1.7, 2.45), vec3(0.42, 1.55, 2.8),
                 vec3(0.44, 1.62, 3.3), vec3(0.43, 1.95, 3.85), vec3(0.41, 2.4, 4.4)},
                {0.08, 0.1, 0.16, 0.21, 0.22, 0.16, 0.08}, 12, true, vec3(0, 1, 0));
        can_front = vec3(0.41, 2.42, 4.35);
        can_back = vec3(0.37, 2.9, 5.75);
    } else {
        // Header from the head round the right of the frame to the silencer.
        mb_tube(pipe,
                {vec3(0.05, 2.4, 2.72), vec3(0.22, 2.28, 2.55), vec3(0.36, 1.95, 2.6), vec3(0.41, 1.7, 3.0),
                 vec3(0.42, 1.75, 3.7), vec3(0.41, 2.2, 4.4), vec3(0.39, 2.5, 4.75)},
                {0.07}, 10, true, vec3(0, 1, 0));
        can_front = vec3(0.39, 2.48, 4.7);
        can_back = vec3(0.35, 2.98, 6.05);
    }
    Vec3 d = vec3_normalize(can_back - can_front);
    mb_tube(silencer, {can_front, can_front + d * 0.25, can_back - d * 0.1, can_back}, {0.1, 0.19, 0.19, 0.15}, 14,
            true, vec3(0, 1, 0));
    // Polished end cap and outlet.
    mb_tube(chrome, {can_back - d * 0.02, can_back + d * 0.12}, {0.07}, 10, true, vec3(0, 1, 0));
}

std::string frame_file(const Make& mk, int detail)
{
    MeshBuild plastic = part_mesh(FRAME_ORIGIN, 48, 0.55f, detail);
    MeshBuild fender = part_mesh(FRAME_ORIGIN, 48, 0.55f, detail);
    MeshBuild seat = part_mesh(FRAME_ORIGIN, 6, 0.08f, detail);
    MeshBuild metal = part_mesh(FRAME_ORIGIN, 64, 0.7f, detail);
    MeshBuild engine = part_mesh(FRAME_ORIGIN, 24, 0.35f, detail);
    MeshBuild covers = part_mesh(FRAME_ORIGIN, 64, 0.6f, detail);
    MeshBuild dark = part_mesh(FRAME_ORIGIN, 12, 0.15f, detail);
    MeshBuild pipe = part_mesh(FRAME_ORIGIN, 80, 0.8f, detail);
    MeshBuild silencer = part_mesh(FRAME_ORIGIN, 64, 0.6f, detail);
    MeshBuild chrome = chrome_mesh(FRAME_ORIGIN, 0.9f, 0.9f, 0.9f, 0.8f, detail);
    MeshBuild spring = part_mesh(FRAME_ORIGIN, 64, 0.6f, detail);
    add_frame_tubes(metal);
    add_engine(engine, covers, mk);
    add_shock(metal, spring);
    add_plastics(plastic, fender, seat, dark, mk);
    add_exhaust(pipe, silencer, chrome, mk);
    // Lit meshes first: the lit pass stops at the first environment mesh.
    return mb_file({plastic, fender, seat, metal, engine, covers, dark, pipe, silencer, spring, chrome});
}

// ------------------------------------------------------------ fork upper

std::string fork_upper_file(const Make& mk, int detail)
{
    Vec3 axis = steering_axis();
    MeshBuild tubes = part_mesh(FORK_UPPER_ORIGIN, 64, 0.7f, detail);
    MeshBuild clamps = part_mesh(FORK_UPPER_ORIGIN, 64, 0.6f, detail);
    MeshBuild bar = part_mesh(FORK_UPPER_ORIGIN, 80, 0.7f, detail);
    MeshBuild dark = part_mesh(FORK_UPPER_ORIGIN, 8, 0.1f, detail);
    MeshBuild fender = part_mesh(FORK_UPPER_ORIGIN, 48, 0.55f, detail);
    MeshBuild pad = part_mesh(FORK_UPPER_ORIGIN, 8, 0.1f, detail);
    const Vec3 O = FORK_UPPER_ORIGIN;
    tubes.rect = bike_cell::fork();
    clamps.rect = bike_cell::frame();
    for (double x : {-5.0 / 12, 5.0 / 12}) {
        Vec3 side = vec3(x, 0, 0);
        mb_tube(tubes, {O + side + axis * 0.12, O + side - axis * 1.25}, {0.115}, 14, true, vec3(1, 0, 0));
    }
    // Triple clamps.
    for (double t : {0.02, -0.42}) {
        Vec3 c = O + axis * t;
        mb_slab(clamps, {c + vec3(0, -0.05, -0.16), c + vec3(0, 0.05, -0.16), c + vec3(0, 0.05, 0.12),
                         c + vec3(0, -0.05, 0.12)},
                -0.56, 0.56, 0.05);
    }
    // Bar mounts rising to the bend of the bar.
    bar.rect = bike_cell::frame();
    for (double x : {-0.2, 0.2}) {
        mb_tube(bar, {O + vec3(x, 0.06, 0.0), O + vec3(x, 0.5, 0.2), O + vec3(x * 1.1, 0.88, 0.5)}, {0.06}, 8, true);
    }
    // Handlebar through both grips (grips in fork-upper coordinates at
    // (-+1.097, 1.145, 0.753)).
    std::vector<Vec3> bar_path;
    const double bx[] = {-1.16, -0.8, -0.5, -0.22, 0.22, 0.5, 0.8, 1.16};
    const double by[] = {1.15, 1.14, 1.02, 0.9, 0.9, 1.02, 1.14, 1.15};
    const double bz[] = {0.76, 0.74, 0.62, 0.52, 0.52, 0.62, 0.74, 0.76};
    for (int i = 0; i < 8; i++)
        bar_path.push_back(O + vec3(bx[i], by[i], bz[i]));
    mb_tube(bar, bar_path, {0.045}, 8, true, vec3(0, 1, 0));
    // Grips, levers and the crossbar pad.
    dark.rect = bike_cell::black();
    for (double s : {-1.0, 1.0}) {
        mb_tube(dark, {O + vec3(s * 0.82, 1.143, 0.745), O + vec3(s * 1.19, 1.15, 0.765)}, {0.07}, 10, true);
        if (detail >= 2)
            continue;
        mb_beam(dark, O + vec3(s * 0.72, 1.16, 0.68), O + vec3(s * 1.12, 1.1, 0.5), 0.02, 0.03);
        mb_box(dark, O + vec3(s * 0.7, 1.16, 0.72), vec3(0.06, 0.06, 0.06));
    }
    pad.rect = bike_cell::accent();
    mb_tube(pad, {O + vec3(-0.3, 0.95, 0.5), O + vec3(0.3, 0.95, 0.5)}, {0.1}, 10, true, vec3(0, 1, 0));
    // Front fender under the bottom clamp, long and thin over the tyre.
    fender.rect = bike_cell::fender();
    double s = mk.shape * 0.02;
    std::vector<Vec3> outline = zy({0.05, 2.05 + s, 0.15, 2.2 + s, 0.6, 2.48, 1.2, 2.56, 1.75, 2.46, 2.0, 2.3, 1.95,
                                    2.24, 1.7, 2.38, 1.2, 2.47, 0.6, 2.38, 0.2, 2.12});
    mb_slab(fender, outline, -0.25, 0.25, 0.05);
    return mb_file({tubes, clamps, bar, dark, pad, fender});
}

// ------------------------------------------------------------ fork lower

std::string fork_lower_file(const Make& mk, int detail)
{
    Vec3 axis = steering_axis();
    const Vec3 O = FORK_LOWER_ORIGIN;
    MeshBuild tubes = part_mesh(O, 96, 0.9f, detail);
    MeshBuild lugs = part_mesh(O, 48, 0.5f, detail);
    MeshBuild guards = part_mesh(O, 24, 0.3f, detail);
    MeshBuild chrome = chrome_mesh(O, 0.85f, 0.85f, 0.8f, 0.9f, detail);
    tubes.rect = bike_cell::exhaust();
    lugs.rect = bike_cell::black();
    guards.rect = bike_cell::accent();
    for (double x : {-5.0 / 12, 5.0 / 12}) {
        Vec3 side = vec3(x, 0, 0);
        Vec3 bottom = FRONT_AXLE + side + vec3(0, 0.05, 0.1);
        Vec3 top = O + side + axis * 0.3;
        // The axis of the inner tube passes the axle's lug.
        Vec3 lower = O + side - axis * 0.62;
        mb_tube(tubes, {lower, top}, {0.075}, 12, true, vec3(1, 0, 0));
        mb_tube(chrome, {lower, top}, {0.076}, 12, false, vec3(1, 0, 0));
        mb_beam(lugs, lower + axis * 0.05, bottom - axis * 0.08, 0.1, 0.09, vec3(1, 0, 0));
        mb_tube(lugs, {bottom + vec3(-0.06, 0, 0), bottom + vec3(0.06, 0, 0)}, {0.09}, 10, true);
        // Plastic guard over the front of the tube.
        Vec3 g0 = lower + axis * 0.05 + vec3(0, 0, -0.06), g1 = lower + axis * 0.5 + vec3(0, 0, -0.06);
        mb_beam(guards, g0, g1, 0.09, 0.05, vec3(0, 0, -1));
    }
    // Brake caliper behind the left lug.
    if (detail < 2)
        mb_box(lugs, FRONT_AXLE + vec3(-0.3, 0.3, 0.22), vec3(0.06, 0.14, 0.12));
    // Axle.
    mb_tube(lugs, {FRONT_AXLE + vec3(-0.5, 0, 0), FRONT_AXLE + vec3(0.5, 0, 0)}, {0.04}, 8, true);
    (void)mk;
    return mb_file({tubes, lugs, guards, chrome});
}

// ------------------------------------------------------------- swingarm

std::string swingarm_file(const Make& mk, int detail)
{
    const Vec3 O = SWINGARM_ORIGIN;
    MeshBuild arms = part_mesh(O, 64, 0.6f, detail);
    MeshBuild chain = part_mesh(O, 16, 0.3f, detail);
    arms.rect = bike_cell::swingarm();
    chain.rect = bike_cell::black();
    both_sides(arms, O, [&] {
        mb_beam(arms, PIVOT + vec3(0.27, 0, 0.05), REAR_AXLE + vec3(0.3, 0, 0.12), 0.05, 0.11, vec3(0, 1, 0));
        // Chain adjuster block at the axle.
        mb_box(arms, REAR_AXLE + vec3(0.3, 0, 0), vec3(0.06, 0.08, 0.12));
    });
    mb_tube(arms, {PIVOT + vec3(-0.3, 0, 0.02), PIVOT + vec3(0.3, 0, 0.02)}, {0.09}, 10, true);
    mb_beam(arms, PIVOT + vec3(-0.28, -0.05, 0.35), PIVOT + vec3(0.28, -0.05, 0.35), 0.06, 0.08);
    // Linkage under the front of the arm.
    mb_beam(arms, PIVOT + vec3(0, -0.08, 0.35), vec3(0, 1.25, 4.5), 0.06, 0.05);
    // Chain on the left, from the countershaft sprocket to the rear sprocket.
    Vec3 front_top = vec3(-0.36, 1.66, 3.92), front_bottom = vec3(-0.36, 1.42, 3.92);
    Vec3 rear_top = REAR_AXLE + vec3(-0.36, 0.34, 0), rear_bottom = REAR_AXLE + vec3(-0.36, -0.34, 0);
    mb_beam(chain, front_top, rear_top, 0.03, 0.025);
    mb_beam(chain, front_bottom, rear_bottom, 0.03, 0.025);
    if (detail < 2) {
        // Chain guide under the arm's rear.
        mb_box(chain, REAR_AXLE + vec3(-0.34, -0.38, -0.7), vec3(0.05, 0.08, 0.25));
        // Rear brake caliper on the right.
        mb_box(chain, REAR_AXLE + vec3(0.36, -0.15, -0.3), vec3(0.05, 0.12, 0.12));
    }
    (void)mk;
    return mb_file({arms, chain});
}

// ---------------------------------------------------------------- plates

// A flat plate in the x-y plane (normal +z before placement) whose face maps
// the whole number texture, seen the right way round from the front.
void plate(MeshBuild& mb, double w, double h, double thick, bool flip_u)
{
    int rows = 4, cols = 4;
    int first = int(mb.pos.size() / 3);
    for (int j = 0; j <= rows; j++)
        for (int i = 0; i <= cols; i++) {
            double u = double(i) / cols, t = double(j) / rows;
            // Seen from in front of the face (-z), +u runs towards -x.
            double x = (0.5 - u) * w, y = (0.5 - t) * h;
            // Slight curve so the plate is not a dead flat card.
            double z = -0.04 * (1 - 4 * (u - 0.5) * (u - 0.5));
            mb_vertex(mb, vec3(x, y, z), vec3(0, 0, -1), flip_u ? 1 - u : u, t);
        }
    for (int j = 0; j < rows; j++)
        for (int i = 0; i < cols; i++) {
            int a = first + j * (cols + 1) + i;
            mb_quad(mb, a, a + 1, a + cols + 2, a + cols + 1);
        }
    // Back and rim in the plate's dark border colour (corner of the texture).
    UvRect saved = mb.rect;
    mb.rect = UvRect{0.0, 0.0, 0.02, 0.02};
    mb_box(mb, vec3(0, 0, thick / 2 + 0.005), vec3(w / 2, h / 2, thick / 2));
    mb.rect = saved;
}

std::string front_plate_file(const Make& mk)
{
    MeshBuild mb = mesh_lit(32, 0.4f);
    Vec3 axis = steering_axis();
    double lean = std::atan2(axis.z, axis.y);
    // In front of the top clamp and the bars, leaning back with the fork.
    Place local = place_compose(place_rotate_x(lean, vec3(0, 0.32, -0.32)), place_identity());
    mb.place = local;
    plate(mb, 0.78 + mk.shape * 0.02, 0.72, 0.04, false);
    return mb_file({mb});
}

std::string side_plates_file(const Make& mk)
{
    MeshBuild mb = mesh_lit(32, 0.4f);
    // Under the seat on both sides, facing out, tilted with the seat line.
    for (int side = -1; side <= 1; side += 2) {
        Place face = place_rotate_y(-side * PI / 2);  // normal -z turned to +-x
        Place tilt = place_rotate_x(-0.12);
        Vec3 centre = vec3(side * 0.33, 2.82, 4.82) - FRAME_ORIGIN;
        Place at;
        at.origin = centre;
        mb.place = place_compose(at, place_compose(face, tilt));
        plate(mb, 1.05, 0.62 + mk.shape * 0.01, 0.04, false);
    }
    return mb_file({mb});
}

bool build_bike_models(DataSet& ds)
{
    // Coarser copies of the moving parts from 32 ft ("_lod5") and 128 ft
    // ("_lod7"), as for the wheels; the plates are already a few quads.
    const struct {
        const char* suffix;
        int detail;
    } levels[] = {{"", 0}, {"_lod5", 1}, {"_lod7", 2}};
    for (const Make& mk : MAKES) {
        std::string m = mk.name;
        for (const auto& l : levels) {
            dataset_add(ds, m + "_frame" + l.suffix + ".jm", frame_file(mk, l.detail));
            dataset_add(ds, m + "_fork_upper" + l.suffix + ".jm", fork_upper_file(mk, l.detail));
            dataset_add(ds, m + "_fork_lower" + l.suffix + ".jm", fork_lower_file(mk, l.detail));
            dataset_add(ds, m + "_swingarm" + l.suffix + ".jm", swingarm_file(mk, l.detail));
        }
        dataset_add(ds, m + "_front_plate.jm", front_plate_file(mk));
        dataset_add(ds, m + "_side_plates.jm", side_plates_file(mk));
    }
    return true;
}

}  // namespace

KESTRUM_DATA_BUILDER("bike models", 200, build_bike_models);
