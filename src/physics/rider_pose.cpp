// The drawn rider's lean-back, skeleton and head, from body poses.
#include "physics/rider_pose.h"

#include <algorithm>
#include <cmath>

#include "physics/bike.h"

RiderFeet (*rider_feet_hook)(const Bike* b) = nullptr;

namespace {

Vec3 pt(const BikePoint& p) { return vec3(p.x, p.y, p.z); }

// Any unit vector perpendicular to u (u unit).
Vec3 any_perpendicular(Vec3 u)
{
    Vec3 t = std::fabs(u.x) < 0.9 ? vec3(1, 0, 0) : vec3(0, 1, 0);
    return vec3_normalize(vec3_cross(u, t));
}

void set_bone(RiderSkeleton& s, int b, Vec3 origin, Vec3 x, Vec3 y, Vec3 z)
{
    const Vec3 axes[3] = {x, y, z};
    for (int k = 0; k < 3; k++) {
        s.matrices[b * 9 + k * 3 + 0] = float(axes[k].x);
        s.matrices[b * 9 + k * 3 + 1] = float(axes[k].y);
        s.matrices[b * 9 + k * 3 + 2] = float(axes[k].z);
    }
    s.origins[b * 3 + 0] = float(origin.x);
    s.origins[b * 3 + 1] = float(origin.y);
    s.origins[b * 3 + 2] = float(origin.z);
}

BodyPose pose_of(dBodyID body)
{
    BodyPose p{};
    const dReal* q = dBodyGetPosition(body);
    const dReal* r = dBodyGetRotation(body);
    p.position = vec3(q[0], q[1], q[2]);
    for (int k = 0; k < 3; k++)
        p.axis[k] = vec3(r[k], r[4 + k], r[8 + k]);
    return p;
}

}  // namespace

Vec3 body_pose_point(const BodyPose& p, Vec3 l)
{
    return p.position + body_pose_vector(p, l);
}

Vec3 body_pose_vector(const BodyPose& p, Vec3 l)
{
    return p.axis[0] * l.x + p.axis[1] * l.y + p.axis[2] * l.z;
}

const float* rider_rest_origins()
{
    static const float rest[RIDER_BONES * 3] = {
        -1.456f, 0.875f,  0.01f, 1.456f, 0.875f,  0.01f, -0.556f, 0.875f, 0.01f,
        0.556f,  0.875f,  0.01f, -0.269f, -2.208f, 0.01f, 0.269f,  -2.208f, 0.01f,
        -0.269f, -0.88f,  0.01f, 0.269f,  -0.88f,  0.01f, 0.0f,    -0.88f, 0.01f};
    return rest;
}

Vec3 two_bone_solve(Vec3 A, Vec3 B, double a, double b, Vec3 C)
{
    double d = vec3_length(B - A);
    Vec3 u;
    if (d > 1e-9) {
        u = (B - A) * (1.0 / d);
    } else {
        // No direction to the target: reach towards the pole instead.
        u = vec3_normalize(C - A);
        if (vec3_length(u) == 0)
            u = vec3(0, -1, 0);
    }
    double reach = std::min(d, 0.95 * (a + b));
    // Closer than the segments can fold: as if at |a - b|, the limb doubled
    // back on itself (x = +-a, no bend).
    reach = std::max(reach, std::fabs(a - b));
    Vec3 p = vec3_normalize((C - A) - u * vec3_dot(C - A, u));
    if (vec3_length(p) == 0)
        p = any_perpendicular(u);
    if (reach <= 1e-9)  // a == b and the target on the start: fold along the pole
        return A + p * a;
    double x = (a * a + reach * reach - b * b) / (2 * reach);
    double h = std::sqrt(std::max(a * a - x * x, 0.0));
    return A + u * x + p * h;
}

double rider_lean_back(RiderPoseInput* in, const BikeModel& m)
{
    Vec3 S = body_pose_point(in->rider, vec3(0, m.shoulder[0].y, m.shoulder[0].z));
    Vec3 H = body_pose_point(in->fork_upper, vec3(0, m.hand_grip[0].y, m.hand_grip[0].z));
    double w = clampd(1.25 - vec3_length(S - H), 0, 1);
    if (w <= 0)
        return 0;
    Vec3 hip = body_pose_point(in->rider, pt(m.hip[0]));
    Vec3 X = in->rider.axis[0], Y = in->rider.axis[1], Z = in->rider.axis[2];
    Vec3 Y2 = vec3_normalize(Y + Z * (0.375 * w));
    in->rider.axis[1] = Y2;
    in->rider.axis[2] = vec3_cross(X, Y2);
    // Keep the left hip where it was.
    in->rider.position = in->rider.position + (hip - body_pose_point(in->rider, pt(m.hip[0])));
    return w;
}

RiderFeet rider_feet_at_pegs(const RiderPoseInput& in, const BikeModel& m)
{
    RiderFeet f{};
    double t = std::max(in.crash_timer, 0.0);
    double k = std::min(t, 128.0) / 128;
    double A = 0.5 * clampd(2 * k - 1, 0, 1), B = clampd(2 * k, 0, 1), C = clampd(k * 4 / 3, 0, 1);
    f.position[0] = body_pose_point(in.frame, pt(m.foot_peg[0]) + vec3(-A, 1.75 * B, C));
    f.position[1] = body_pose_point(in.frame, pt(m.foot_peg[1]) + vec3(A, 1.75 * B, C));
    f.weight[0] = f.weight[1] = 0;
    return f;
}

RiderSkeleton rider_skeleton_from_pose(const RiderPoseInput& in, const BikeModel& m, const RiderFeet& feet)
{
    RiderSkeleton s{};
    const BodyPose& R = in.rider;
    // Arms.
    Vec3 sl = pt(m.shoulder[0]), sr = pt(m.shoulder[1]);
    Vec3 SL = body_pose_point(R, sl), SR = body_pose_point(R, sr);
    Vec3 GL = body_pose_point(in.fork_upper, pt(m.hand_grip[0]));
    Vec3 GR = body_pose_point(in.fork_upper, pt(m.hand_grip[1]));
    Vec3 D = SR - SL, G = GR - GL;
    Vec3 up = body_pose_vector(R, vec3(0, m.shoulder[0].y - m.hip[0].y, m.shoulder[0].z - m.hip[0].z));
    Vec3 pole_l = body_pose_point(R, vec3(sl.x - 0.5, sl.y - 1.0 - 1.5 * std::max(D.y, 0.0), sl.z + 2)) - G;
    Vec3 pole_r = body_pose_point(
                      R, vec3(sr.x + 0.5, sr.y - 0.9 - 0.125 * in.throttle - 1.5 * std::max(-D.y, 0.0), sr.z + 2)) +
                  G;
    Vec3 EL = two_bone_solve(SL, GL, m.upper_arm, m.forearm, pole_l);
    Vec3 ER = two_bone_solve(SR, GR, m.upper_arm, m.forearm, pole_r);
    Vec3 x, y, z;
    x = vec3_normalize(SL - EL), z = vec3_normalize(vec3_cross(x, up)), y = vec3_cross(z, x);
    set_bone(s, 2, SL, x, y, z);
    x = vec3_normalize(ER - SR), z = vec3_normalize(vec3_cross(x, up)), y = vec3_cross(z, x);
    set_bone(s, 3, SR, x, y, z);
    x = vec3_normalize(EL - GL), y = vec3_normalize(vec3_cross(GL - GR, x)), z = vec3_cross(x, y);
    set_bone(s, 0, EL, x, y, z);
    x = vec3_normalize(GR - ER), y = vec3_normalize(vec3_cross(GR - GL, x)), z = vec3_cross(x, y);
    set_bone(s, 1, ER, x, y, z);

    // Legs.
    Vec3 hl = pt(m.hip[0]), hr = pt(m.hip[1]);
    Vec3 HL = body_pose_point(R, hl), HR = body_pose_point(R, hr), P = HR - HL;
    Vec3 hips[2] = {HL, HR};
    Vec3 poles[2] = {body_pose_point(R, vec3(hl.x - 0.5, hl.y, hl.z - 2)),
                     body_pose_point(R, vec3(hr.x + 0.5, hr.y, hr.z - 2))};
    for (int side = 0; side < 2; side++) {
        Vec3 H = hips[side], F = feet.position[side];
        Vec3 K = two_bone_solve(H, F, m.thigh, m.shin, poles[side]);
        y = vec3_normalize(H - K), z = vec3_normalize(vec3_cross(P, y)), x = vec3_cross(y, z);
        set_bone(s, 6 + side, H, x, y, z);
        Vec3 n = vec3_cross(H - K, F - K);
        Vec3 N = vec3_dot(n, n) >= 0.001 ? P + (n - P) * feet.weight[side] : P;
        y = vec3_normalize(K - F), z = vec3_normalize(vec3_cross(N, y)), x = vec3_cross(y, z);
        set_bone(s, 4 + side, K, x, y, z);
    }

    // Torso.
    Vec3 A = body_pose_point(R, vec3(0, m.shoulder[0].y, m.shoulder[0].z));
    Vec3 B = body_pose_point(R, vec3(0, m.hip[0].y, m.hip[0].z));
    x = R.axis[0], y = vec3_normalize(A - B), z = vec3_cross(x, y);
    set_bone(s, 8, B, x, y, z);
    return s;
}

HeadPose head_pose_from_pose(const RiderPoseInput& in, const BikeModel& m)
{
    HeadPose hp{};
    hp.position = body_pose_point(in.rider, pt(m.rider_head_point));
    Vec3 Y = in.rider.axis[1], Z = in.rider.axis[2];
    Vec3 V = in.rider_velocity;
    double vz = vec3_dot(V, Z);
    if (vz >= 0)  // moving towards the body's rear: look along the rest
        V = V - Z * vz;
    Vec3 W = Z - V;
    double w2 = vec3_dot(W, W);
    if (w2 < 1024) {
        double t = std::sqrt(w2) / 32;
        W.x = Z.x - V.x * t;
        W.z = Z.z - V.z * t;
    }
    double h = std::sqrt(W.x * W.x + W.z * W.z);
    double e = std::max((60 - h) * h * 7 / 1200, 0.0) + 0.25 * h;
    Vec3 L = vec3_normalize(vec3(W.x, e, W.z));
    if (vec3_length(L) == 0)
        L = Y;
    const double k0 = 0.5547002;  // 1 / sqrt(3.25)
    Vec3 P1 = (Y * 1.5 - Z) * k0, P2 = (Y * 1.5 + Z) * k0;
    Vec3 U = vec3(0, 1, 0);
    double du = vec3_length(U - P1);
    if (du > 0.5)
        U = P1 + (U - P1) * (0.5 / du);
    Vec3 F = L + P1 * (2 * vec3_dot(L, P1));
    double df = vec3_length(F - P2);
    if (df > 0.75)
        F = P2 + (F - P2) * (0.75 / df);
    double k = vec3_dot(F, P1);
    F = F - P1 * k + P1 * (k / 3);
    Vec3 UF = vec3_cross(U, F);
    hp.axis[0] = vec3_normalize(UF);
    hp.axis[1] = vec3_normalize(vec3_cross(F, UF));
    hp.axis[2] = vec3_normalize(F);
    return hp;
}

RiderPoseInput rider_pose_input(const Bike* b)
{
    RiderPoseInput in{};
    in.frame = pose_of(b->body[BODY_FRAME]);
    in.fork_upper = pose_of(b->body[BODY_FORK_UPPER]);
    in.rider = pose_of(b->body[BODY_RIDER]);
    const dReal* v = dBodyGetLinearVel(b->body[BODY_RIDER]);
    in.rider_velocity = vec3(v[0], v[1], v[2]);
    in.throttle = b->controls.throttle;
    in.crash_timer = b->crash_timer;
    rider_lean_back(&in, b->model);
    return in;
}

RiderSkeleton rider_skeleton_compute(const Bike* b)
{
    RiderPoseInput in = rider_pose_input(b);
    RiderFeet feet = rider_feet_hook ? rider_feet_hook(b) : rider_feet_at_pegs(in, b->model);
    return rider_skeleton_from_pose(in, b->model, feet);
}

HeadPose head_pose(const Bike* b)
{
    return head_pose_from_pose(rider_pose_input(b), b->model);
}
