// The drawn rider's pose worked out from the bodies: the limb solve, the
// lean-back, the skeleton of a built bike and the head's turn.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "physics/bike.h"
#include "physics/rider_pose.h"

namespace {

bool finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

BodyPose identity_at(Vec3 p) { return BodyPose{p, {vec3(1, 0, 0), vec3(0, 1, 0), vec3(0, 0, 1)}}; }

Vec3 column(const float* m, int k) { return vec3(m[k * 3], m[k * 3 + 1], m[k * 3 + 2]); }

void expect_orthonormal(const float* m, const char* what)
{
    for (int i = 0; i < 3; i++) {
        EXPECT_NEAR(vec3_length(column(m, i)), 1, 1e-5) << what << " axis " << i;
        for (int j = i + 1; j < 3; j++)
            EXPECT_NEAR(vec3_dot(column(m, i), column(m, j)), 0, 1e-5) << what << " axes " << i << j;
    }
    // Right-handed: no mirrored limbs.
    EXPECT_NEAR(vec3_dot(vec3_cross(column(m, 0), column(m, 1)), column(m, 2)), 1, 1e-5) << what;
}

}  // namespace

TEST(RiderPose, TwoBoneSolveCases)
{
    const Vec3 A = vec3(0, 0, 0), pole = vec3(0, 5, 0);
    const double a = 0.9, b = 1.15;
    struct Case {
        const char* what;
        Vec3 target, pole;
        double expect_to_target;  // distance from the joint to the target, < 0: not checked
    };
    const Case cases[] = {
        {"within reach", vec3(1.5, 0, 0), pole, b},
        {"beyond reach", vec3(5, 0, 0), pole, -1},
        {"closer than the fold", vec3(0.1, 0, 0), pole, -1},
        {"on the start", A, pole, -1},
        {"pole on the limb line", vec3(1.5, 0, 0), vec3(3, 0, 0), b},
    };
    for (const Case& c : cases) {
        Vec3 M = two_bone_solve(A, c.target, a, b, c.pole);
        ASSERT_TRUE(finite(M)) << c.what;
        EXPECT_NEAR(vec3_length(M - A), a, 1e-9) << c.what;
        if (c.expect_to_target >= 0) {
            EXPECT_NEAR(vec3_length(c.target - M), c.expect_to_target, 1e-9) << c.what;
        }
    }
    // Bent towards the pole.
    EXPECT_GT(two_bone_solve(A, vec3(1.5, 0, 0), a, b, pole).y, 0.1);
    EXPECT_LT(two_bone_solve(A, vec3(1.5, 0, 0), a, b, vec3(0, -5, 0)).y, -0.1);
    // Beyond reach: bent as for a target at 95 % of the reach on the same line.
    Vec3 far = two_bone_solve(A, vec3(5, 0, 0), a, b, pole);
    EXPECT_NEAR(vec3_length(vec3(0.95 * (a + b), 0, 0) - far), b, 1e-9);
    EXPECT_GT(far.y, 0);
    // Too close: folded flat, the joint on the line through start and target.
    Vec3 folded = two_bone_solve(A, vec3(0.1, 0, 0), a, b, pole);
    EXPECT_NEAR(folded.x, -a, 1e-9);
    EXPECT_NEAR(folded.y, 0, 1e-6);  // float rounding in the fold
}

TEST(RiderPose, LeanBackOnlyWhenShouldersCrowdTheBars)
{
    const BikeModel& m = *bike_model_lookup("crf250(2009)");
    // The rider at the origin, the fork placed so that the shoulder centre
    // sits `gap` ft in front of the grip centre.
    auto lean = [&](double gap, RiderPoseInput* out) {
        RiderPoseInput in{};
        in.rider = identity_at(vec3(0, 0, 0));
        Vec3 shoulder = vec3(0, m.shoulder[0].y, m.shoulder[0].z);
        Vec3 grip = vec3(0, m.hand_grip[0].y, m.hand_grip[0].z);
        in.fork_upper = identity_at(shoulder - grip + vec3(0, 0, -gap));
        in.frame = identity_at(vec3(0, -2, 0));
        double w = rider_lean_back(&in, m);
        *out = in;
        return w;
    };
    RiderPoseInput in;
    EXPECT_EQ(lean(1.25, &in), 0);
    EXPECT_EQ(in.rider.axis[1].z, 0);
    EXPECT_NEAR(lean(0.75, &in), 0.5, 1e-6);
    EXPECT_NEAR(lean(0.25, &in), 1, 1e-6);
    EXPECT_NEAR(lean(0.0, &in), 1, 1e-6);
    // Full tilt: the up axis turned by atan 0.375 towards the rear (+z), the
    // axes still a rotation, and the left hip where it was.
    EXPECT_NEAR(std::atan2(in.rider.axis[1].z, in.rider.axis[1].y), std::atan(0.375), 1e-9);
    EXPECT_NEAR(vec3_dot(in.rider.axis[1], in.rider.axis[2]), 0, 1e-12);
    Vec3 hip = body_pose_point(in.rider, vec3(m.hip[0].x, m.hip[0].y, m.hip[0].z));
    EXPECT_NEAR(vec3_length(hip - vec3(m.hip[0].x, m.hip[0].y, m.hip[0].z)), 0, 1e-12);
}

struct RiderPoseBike : ::testing::Test {
    Bike* bike = nullptr;
    void SetUp() override
    {
        ASSERT_TRUE(physics_world_init());
        bike = bike_create("crf250(2009)", 0, "7", nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(bike, nullptr);
    }
    void TearDown() override { bike_free(bike); }
};

TEST_F(RiderPoseBike, SkeletonReachesGripsAndPegsOnATurnedBike)
{
    bike_orient(bike, 0, 1, 0, 0.7);
    bike_orient(bike, 0, 0, 1, 0.3);
    bike_translate(bike, 10, 2, -5);
    const BikeModel& m = bike->model;
    RiderSkeleton s = rider_skeleton_compute(bike);
    RiderPoseInput in = rider_pose_input(bike);
    RiderFeet feet = rider_feet_at_pegs(in, m);
    for (int b = 0; b < RIDER_BONES; b++)
        expect_orthonormal(&s.matrices[b * 9], "bone");
    auto origin = [&](int b) { return vec3(s.origins[b * 3], s.origins[b * 3 + 1], s.origins[b * 3 + 2]); };
    for (int side = 0; side < 2; side++) {
        Vec3 S = body_pose_point(in.rider, vec3(m.shoulder[side].x, m.shoulder[side].y, m.shoulder[side].z));
        Vec3 G = body_pose_point(in.fork_upper, vec3(m.hand_grip[side].x, m.hand_grip[side].y, m.hand_grip[side].z));
        Vec3 H = body_pose_point(in.rider, vec3(m.hip[side].x, m.hip[side].y, m.hip[side].z));
        EXPECT_NEAR(vec3_length(origin(2 + side) - S), 0, 1e-5);            // shoulder
        EXPECT_NEAR(vec3_length(origin(side) - S), m.upper_arm, 1e-5);       // elbow
        EXPECT_NEAR(vec3_length(origin(6 + side) - H), 0, 1e-5);            // hip
        EXPECT_NEAR(vec3_length(origin(4 + side) - H), m.thigh, 1e-5);      // knee
        // Hands and feet where they belong when within reach.
        if (vec3_length(G - S) < 0.95 * (m.upper_arm + m.forearm)) {
            EXPECT_NEAR(vec3_length(G - origin(side)), m.forearm, 1e-5);
        }
        if (vec3_length(feet.position[side] - H) < 0.95 * (m.thigh + m.shin)) {
            EXPECT_NEAR(vec3_length(feet.position[side] - origin(4 + side)), m.shin, 1e-5);
        }
    }
    // Elbows outside the shoulders and knees outside the hips, in the rider's frame.
    auto side_x = [&](int b) { return vec3_dot(origin(b) - in.rider.position, in.rider.axis[0]); };
    EXPECT_LT(side_x(0), side_x(2));
    EXPECT_GT(side_x(1), side_x(3));
    EXPECT_LT(side_x(4), side_x(6) + 1e-6);
    EXPECT_GT(side_x(5), side_x(7) - 1e-6);
}

TEST_F(RiderPoseBike, DrawingPoseLeavesTheBodiesAlone)
{
    // Pull the rider forward onto the bars so the lean-back applies.
    dBodySetPosition(bike->body[BODY_RIDER], 0, 4.5, 3.0);
    dReal before[BIKE_BODY_COUNT][16];
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        std::memcpy(before[i], dBodyGetPosition(bike->body[i]), 3 * sizeof(dReal));
        std::memcpy(before[i] + 3, dBodyGetRotation(bike->body[i]), 12 * sizeof(dReal));
    }
    RiderPoseInput in = rider_pose_input(bike);
    EXPECT_GT(in.rider.axis[1].z, 0.01);  // leaned back
    (void)rider_skeleton_compute(bike);
    (void)head_pose(bike);
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        EXPECT_EQ(std::memcmp(before[i], dBodyGetPosition(bike->body[i]), 3 * sizeof(dReal)), 0) << i;
        EXPECT_EQ(std::memcmp(before[i] + 3, dBodyGetRotation(bike->body[i]), 12 * sizeof(dReal)), 0) << i;
    }
}

TEST_F(RiderPoseBike, HeadTurnsWithTravelWithinLimits)
{
    auto head_forward = [&](Vec3 v) {
        dBodySetLinearVel(bike->body[BODY_RIDER], v.x, v.y, v.z);
        HeadPose h = head_pose(bike);
        float m[9];
        for (int k = 0; k < 3; k++)
            m[k * 3] = float(h.axis[k].x), m[k * 3 + 1] = float(h.axis[k].y), m[k * 3 + 2] = float(h.axis[k].z);
        expect_orthonormal(m, "head");
        return h.axis[2];
    };
    const Vec3 velocities[] = {vec3(0, 0, 0), vec3(0, 0, -40), vec3(0, 0, 40), vec3(0, -90, 0), vec3(1e6, 0, 1e6)};
    for (Vec3 v : velocities)
        EXPECT_TRUE(finite(head_forward(v)));
    Vec3 rest = head_forward(vec3(0, 0, 0));
    Vec3 right = head_forward(vec3(30, 0, -10)), left = head_forward(vec3(-30, 0, -10));
    // Travel to one side turns the head that way, mirrored for the other side.
    EXPECT_GT(std::fabs(right.x), 0.05);
    EXPECT_NEAR(right.x, -left.x, 1e-9);
    EXPECT_NEAR(right.z, left.z, 1e-9);
    // Going backwards does not make the rider look over his shoulder: the
    // rearward part of the motion is ignored.
    Vec3 back = head_forward(vec3(0, 0, 40));
    EXPECT_NEAR(vec3_length(back - rest), 0, 1e-4);
    // However fast the sideways motion, the neck stops at the same place.
    Vec3 fast = head_forward(vec3(3000, 0, -10)), faster = head_forward(vec3(30000, 0, -10));
    EXPECT_LT(vec3_dot(fast, rest), 0.999);
    EXPECT_NEAR(vec3_length(fast - faster), 0, 0.02);
}
