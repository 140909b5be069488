// Collision shapes of the bike and rider: spheres placed over the real
// geometry of the bikes (all catalogue entries share it), written in each
// body's own coordinates (origin at the body's build position).
#include <cmath>
#include <string>
#include <vector>

#include "dataset.h"

namespace {

struct P3 {
    double x, y, z;
};
P3 operator+(P3 a, P3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
P3 operator-(P3 a, P3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
P3 operator*(P3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(P3 a, P3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double length(P3 a) { return std::sqrt(dot(a, a)); }

// What a part is made of, as it meets the ground or another bike.
struct Material {
    double friction, stiffness, damping;
};
const Material PLASTIC_AND_STEEL = {0.5, 20000, 2000};  // frame, tank, engine cases
const Material FORK = {0.4, 20000, 2000};
const Material SWINGARM = {0.4, 15000, 1500};
const Material TYRE = {1.0, 25000, 2500};
const Material RIDER = {0.6, 8000, 800};  // padded gear: softer, grippier

struct ShapeOut {
    P3 origin;  // the body's build position in bike coordinates
    Material material;
    std::vector<std::string> lines;

    void sphere(P3 world, double radius)
    {
        P3 c = world - origin;
        lines.push_back(data_printf("%.4f %.4f %.4f %.4f %.2f %.1f %.1f\n", c.x, c.y, c.z, radius,
                                    material.friction, material.stiffness, material.damping));
    }
    // Spheres evenly from a to b (both ends included).
    void segment(P3 a, P3 b, double radius, int count)
    {
        for (int i = 0; i < count; i++)
            sphere(a + (b - a) * (count == 1 ? 0.5 : double(i) / (count - 1)), radius);
    }
    std::string text() const
    {
        std::string out = data_printf("%d\n", int(lines.size()));
        for (const std::string& l : lines)
            out += l;
        return out;
    }
};

// The bikes' shared build geometry (ft, bike pointing along -z, y up).
const P3 FRAME = {0, 1.98, 3.6};
const P3 FORK_TOP = {0, 2.9, 2.16};
const P3 FORK_LOWER = {0, 1.77, 1.59};
const P3 SWINGARM_CENTRE = {0, 1.34, 4.99};
const P3 PIVOT = {0, 1.58, 4.17};
const P3 FRONT_AXLE = {0, 1.09, 1.11};
const P3 REAR_AXLE = {0, 1.04, 6.0};
const P3 RIDER_BODY = {0, 4.5, 4.12};
const double LEG_SPACING = 5.0 / 6;
const double ARM_SPACING = 5.0 / 6;  // swingarm arms sit at the frame box's sides

std::string frame_shape()
{
    ShapeOut s{FRAME, PLASTIC_AND_STEEL, {}};
    s.segment({0, 1.55, 2.95}, {0, 1.55, 3.65}, 0.45, 2);  // engine cases
    s.sphere({0, 1.95, 3.3}, 0.45);                        // cylinder head
    s.sphere({0, 1.15, 3.3}, 0.3);                         // skid plate
    s.segment({0, 2.75, 2.35}, {0, 2.95, 3.5}, 0.4, 3);    // frame spars and tank
    s.segment({0, 3.0, 4.1}, {0, 2.95, 5.4}, 0.3, 3);      // seat
    s.sphere({0, 2.8, 6.1}, 0.25);                         // rear fender
    s.sphere({-0.45, 2.6, 2.9}, 0.3);                      // radiator shrouds
    s.sphere({0.45, 2.6, 2.9}, 0.3);
    s.sphere({-0.6, 1.423, 4.184}, 0.15);  // foot pegs
    s.sphere({0.6, 1.423, 4.184}, 0.15);
    return s.text();
}

std::string fork_upper_shape()
{
    ShapeOut s{FORK_TOP, FORK, {}};
    P3 grip_y = FORK_TOP + P3{0, 1.145, 0.753};
    s.segment(grip_y + P3{-1.097, 0, 0}, grip_y + P3{1.097, 0, 0}, 0.15, 5);  // handlebar
    s.sphere(FORK_TOP + P3{0, 0.8, 0.45}, 0.2);                                // bar clamp
    s.sphere(FORK_TOP + P3{0, 0.2, -0.3}, 0.3);                                // front plate
    P3 axis = (FORK_TOP - FORK_LOWER) * (1.0 / length(FORK_TOP - FORK_LOWER));
    for (int side = -1; side <= 1; side += 2) {
        P3 top = FORK_TOP + P3{side * LEG_SPACING / 2, 0, 0};
        s.segment(top - axis * 0.1, top - axis * 0.8, 0.13, 3);  // fork tubes
    }
    return s.text();
}

std::string fork_lower_shape()
{
    ShapeOut s{FORK_LOWER, FORK, {}};
    for (int side = -1; side <= 1; side += 2) {
        P3 off = {side * LEG_SPACING / 2, 0, 0};
        s.segment(FORK_LOWER + off, FRONT_AXLE + off, 0.12, 3);  // fork legs to the axle
    }
    s.sphere({0, 2.4, 1.0}, 0.2);  // front fender over the tyre
    return s.text();
}

std::string swingarm_shape()
{
    ShapeOut s{SWINGARM_CENTRE, SWINGARM, {}};
    for (int side = -1; side <= 1; side += 2) {
        P3 off = {side * ARM_SPACING / 2, 0, 0};
        s.segment(PIVOT + off, REAR_AXLE + off, 0.12, 5);
    }
    return s.text();
}

// The tyre as spheres of the section radius round the ring.
std::string wheel_shape(double ring_radius, double section_radius)
{
    ShapeOut s{{0, 0, 0}, TYRE, {}};
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < 16; i++) {
        double a = i * pi / 8;
        s.sphere({0, ring_radius * std::cos(a), ring_radius * std::sin(a)}, section_radius);
    }
    return s.text();
}

std::string rider_shape()
{
    ShapeOut s{{0, 0, 0}, RIDER, {}};  // written in rider-body coordinates
    s.sphere({0, 0.808383, -0.94336945}, 0.42);  // helmet
    P3 shoulders = {0, 0.5803751, -0.65451413};
    P3 hips = {0, -0.57088673, 0.67060673};
    s.segment(shoulders, hips, 0.45, 3);  // torso
    const double thigh = 1.328, shin = 1.701;
    for (int side = -1; side <= 1; side += 2) {
        P3 hip = {side * 0.269, -0.57088673, 0.67060673};
        P3 foot = P3{side * 0.6, 1.423, 4.184} - RIDER_BODY;  // on the foot peg
        // The knee: where thigh and shin meet, bent forward.
        P3 d = foot - hip;
        double dist = length(d);
        P3 u = d * (1.0 / dist);
        double along = (thigh * thigh - shin * shin + dist * dist) / (2 * dist);
        double up = std::sqrt(std::fmax(0.0, thigh * thigh - along * along));
        P3 forward = {0, 0, -1};
        P3 n = forward - u * dot(forward, u);
        n = n * (1.0 / length(n));
        P3 knee = hip + u * along + n * up;
        s.segment(hip, knee, 0.25, 3);
        s.segment(knee + (foot - knee) * 0.2, foot, 0.2, 3);
    }
    return s.text();
}

bool build_bike_shapes(DataSet& ds)
{
    dataset_add(ds, "generic_frame.shp", frame_shape());
    dataset_add(ds, "generic_fork_upper.shp", fork_upper_shape());
    dataset_add(ds, "generic_fork_lower.shp", fork_lower_shape());
    dataset_add(ds, "generic_swingarm.shp", swingarm_shape());
    dataset_add(ds, "front_wheel.shp", wheel_shape(5.0 / 6, 1.0 / 3));
    dataset_add(ds, "rear_wheel.shp", wheel_shape(0.75, 1.0 / 3));
    dataset_add(ds, "generic_rider.shp", rider_shape());
    return true;
}

}  // namespace

KESTRUM_DATA_BUILDER("bike shapes", 200, build_bike_shapes);
