// Where a bike touches something, once per tick before the world step: the
// tyres as tori against the ground triangles, the body parts as sets of
// spheres against the ground, track objects and other bikes. Each touch
// becomes a soft contact joint in the world's contact group (or, between
// bikes already in contact this tick, a direct force).
#pragma once
#include "core/vec.h"
#include "physics/bike.h"

struct HeightField;
struct SurfaceType;
struct CollisionShape;

// One torus-against-triangle result. depth <= 0 means no contact; the
// normal points from the ground towards the wheel and is not normalised.
struct TorusHit {
    double depth;
    Vec3 point;
    Vec3 normal;
};

// The point of the ring circle (centre c, unit axle a, radius R) nearest to
// x. A point on the axle picks a fixed direction so the answer is defined.
Vec3 torus_ring_point(Vec3 x, Vec3 c, Vec3 a, double R);

// The tyre (centre c, unit axle a, ring radius R, section radius r) against
// one ground triangle whose normal (v1 - v0) x (v2 - v0) points up: face,
// ring cutting the plane, ring below the plane, and the closest approach of
// the ring to the edges and corners.
TorusHit torus_triangle(Vec3 v0, Vec3 v1, Vec3 v2, Vec3 c, Vec3 a, double R, double r);

// The ground cells whose index range spans [x0, x1] x [z0, z1].
struct CellRange {
    int i0, i1, j0, j1;  // inclusive
};
CellRange ground_cells(const HeightField* hf, double x0, double z0, double x1, double z1);
// The two triangles of cell (i, j) as the ground is triangulated, each with
// an upward normal. Heights beyond the grid continue those of the edge.
void ground_cell_triangles(const HeightField* hf, int i, int j, Vec3 tri[2][3]);

// The deepest contact of the torus with the ground under it; false (and
// depth 0) when it does not touch. Also used by the roost emitter.
bool torus_ground_contact(const HeightField* hf, Vec3 c, Vec3 a, double R, double r, TorusHit* out);
// The same for a wheel of a bike, from its body's pose.
bool wheel_find_contact(const HeightField* hf, const WheelContact* w, TorusHit* out);

// Soft contact constants for a spring kp (lbf/ft) and damper kd over one tick.
void contact_soft_params(double kp, double kd, double* erp, double* cfm);

// Tyre grip multiplier: 1, or with arcade physics less grip the more the
// bike leans (0.625 from 45 degrees on).
double tyre_grip_factor(bool arcade, double roll);
// Friction direction of a tyre contact: across the slip when the contact
// point slides, else along the rolling direction. Zero when neither exists.
Vec3 tyre_friction_direction(Vec3 normal, Vec3 slip, Vec3 axle_world);
// Rolling resistance on a wheel moving at `velocity` on ground with the
// given normal, squashed by the fraction p of its section: a + (b - a) p
// against the motion, fading to nothing below 1 ft/s.
Vec3 tyre_rolling_force(const SurfaceType* type, Vec3 velocity, Vec3 normal, double p);

// What the ground pass touched.
struct GroundTouch {
    bool wheel;
    bool body;
};
// Called when the ground pass throws the rider off (the crash handling
// installs itself here); the bike's bail_out_requested flag is set too.
using BailOutHook = void (*)(Bike* b);
void contact_set_bail_out_hook(BailOutHook hook);

// The ground pass of one bike: both tyres (contact joints with surface
// friction and rolling resistance), then the frame, fork, swingarm and rider
// spheres, then the bail-out test. It places the bike's shapes first, so it
// comes before the object and bike-to-bike tests of the same tick.
GroundTouch bike_ground_contacts(Bike* b, const HeightField* hf);

// Puts every part's shape at its body's pose. The bodies stand still until
// the world step, so one placement serves all of a tick's contact tests.
void bike_place_shapes(Bike* b);

// Writes the world centres of a shape copy from its cached shape and the
// pose of its body (position, ODE 3x4 rotation).
void shape_place(CollisionShape* s, const double* position, const double* rotation);

// Result of one sphere-sphere overlap (contact point, normal from sphere 1
// towards sphere 2).
struct SphereHit {
    double depth;
    Vec3 point;
    Vec3 normal;
};
bool sphere_sphere(Vec3 c1, double r1, Vec3 c2, double r2, SphereHit* out);
// Deepest penetration of a sphere into the ground, the normal pointing out
// of it; false when the sphere is clear.
bool sphere_ground(const HeightField* hf, Vec3 c, double radius, SphereHit* out);
// Force of a direct-mode contact along the normal, clamped to +-1000 lbf;
// va and vb are the two bodies' velocities at the contact point.
double contact_direct_force(double depth, double kp, double kd, Vec3 va, Vec3 vb, Vec3 normal);

// The bike's wheels and shapes against one static track object (shape in
// object coordinates, placed at position with an ODE rotation). True when
// anything touched; a touch of the rider's shape can throw him off. Reads
// the bike's shapes as placed this tick.
bool bike_object_contacts(Bike* b, CollisionShape* object, Vec3 position, const double* rotation);

// A statue the bike may hit this tick, as the track's buckets list them.
struct StatueTarget {
    CollisionShape* shape;  // object's own copy; null = no collision
    Vec3 position;
    double rotation[12];    // identity for statues that face the camera
    int* touched_tick;      // set to the clock when a bike touches it
};
// The statue pass: every listed statue against the bike (its shapes placed
// this tick).
void bike_statue_contacts(Bike* b, const StatueTarget* statues, int count, int clock);

// The per-tick pass of one bike: ground, then the statues near it.
GroundTouch bike_world_contacts(Bike* b, const HeightField* hf, const StatueTarget* statues,
                                int statue_count, int clock);

// Which parts (bit per BikeBody) of each bike touched the other.
struct BikeBikeTouch {
    unsigned parts_a;
    unsigned parts_b;
};
// Every shape of A against the shapes and wheels of B and B's shapes against
// A's wheels; direct selects forces instead of contact joints. Both bikes'
// shapes must be placed this tick (their ground pass does it).
BikeBikeTouch bike_bike_contacts(Bike* a, Bike* b, bool direct);

// The rider's shape against his own bike's frame and fork, so that a rider
// thrown off cannot pass through the bike. True when they touched.
bool bike_rider_self_contacts(Bike* b);
