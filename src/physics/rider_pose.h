// The drawn rider's pose, worked out from the physics bodies: the lean-back
// of a rider crowding the handlebars, the nine bones of the skinned rider
// (arms to the grips and legs to the feet through a two-joint solve), and
// the head turning towards the direction of travel within neck limits.
// Plain arithmetic on body poses, so the renderer and headless tests share
// it; nothing here changes the simulation state.
#pragma once
#include "core/vec.h"

struct Bike;
struct BikeModel;

// A rigid body's pose: position and the world images of its x, y, z axes.
struct BodyPose {
    Vec3 position;
    Vec3 axis[3];
};

// Body-local point / vector to world.
Vec3 body_pose_point(const BodyPose& p, Vec3 local);
Vec3 body_pose_vector(const BodyPose& p, Vec3 local);

// The poses a draw needs, copied out of the bodies so that adjusting them
// (the lean-back) never touches the simulation.
struct RiderPoseInput {
    BodyPose frame, fork_upper, rider;
    Vec3 rider_velocity;
    double throttle;
    double crash_timer;
};

// Where the feet go, and how far each is put down or thrown (0 on the peg,
// 1 fully down or thrown); world coordinates.
struct RiderFeet {
    Vec3 position[2];  // left, right
    double weight[2];
};

constexpr int RIDER_BONES = 9;

// Nine bones in the order the rider meshes' weights use: forearms (left,
// right), upper arms, shins, thighs, torso. matrices[9 b .. 9 b + 8] are
// the world images of the model's x, y, z axes; origins are world points.
struct RiderSkeleton {
    float matrices[RIDER_BONES * 9];
    float origins[RIDER_BONES * 3];
};

// The bones' origins in the rider model (upright, arms out, legs down).
const float* rider_rest_origins();

// The middle joint of a limb from start A to end B with segment lengths a
// and b, bent towards the pole point C. A target farther than 95 % of the
// reach is treated as lying at that reach along the same line; one closer
// than |a - b| as lying at |a - b| (the limb folded flat on itself, the
// joint on the line through A and B). A target on A uses the pole as its
// direction, and a pole on the limb's line bends the joint along any
// perpendicular, so the result is always finite.
Vec3 two_bone_solve(Vec3 A, Vec3 B, double a, double b, Vec3 C);

// Pitches the rider body back about its left hip when the shoulder centre
// comes within 1.25 ft of the handlebar centre (fully at 0.25 ft, up to
// atan 0.375). Returns the blend w (0 = unchanged).
double rider_lean_back(RiderPoseInput* in, const BikeModel& m);

// The feet at the pegs, spread up and back while the crash timer runs, as
// the riding code places them when nothing else is known.
RiderFeet rider_feet_at_pegs(const RiderPoseInput& in, const BikeModel& m);

RiderSkeleton rider_skeleton_from_pose(const RiderPoseInput& in, const BikeModel& m, const RiderFeet& feet);

// The head's world position and axes (x, y, z columns).
struct HeadPose {
    Vec3 position;
    Vec3 axis[3];
};
HeadPose head_pose_from_pose(const RiderPoseInput& in, const BikeModel& m);

// The poses of a live bike, with the lean-back already applied.
RiderPoseInput rider_pose_input(const Bike* b);

// Where the feet of a bike are: installed by the riding code (it knows the
// put-down and thrown feet); null uses rider_feet_at_pegs.
extern RiderFeet (*rider_feet_hook)(const Bike* b);

// The skeleton and head of a live bike (lean-back included).
RiderSkeleton rider_skeleton_compute(const Bike* b);
HeadPose head_pose(const Bike* b);
