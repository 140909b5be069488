// The rider: the body skinned to nine bones (0/1 left/right forearm, 2/3
// upper arms, 4/5 shins, 6/7 thighs, 8 torso), modelled in the rest pose
// (standing, arms straight out sideways, legs straight down, facing -z);
// the first-person body (limbs only, so the camera in the head sees no
// inside of the torso); the number plate on the back; and the helmet with
// goggles, rigid, with its origin at the head point.
#include <cmath>

#include "dataset.h"
#include "model_art.h"

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int BONES = 9;

// Rest-pose joint positions (the skeleton's rest origins).
constexpr double SHOULDER_X = 0.556, ELBOW_X = 1.456, HAND_X = 1.456 + 1.15;
constexpr double ARM_Y = 0.875;
constexpr double HIP_X = 0.269, HIP_Y = -0.88, KNEE_Y = -2.208, FOOT_Y = -2.208 - 1.701;
constexpr double Z0 = 0.01;

double ramp(double v, double lo, double hi)
{
    return clampd((v - lo) / (hi - lo), 0, 1);
}

// Bone weights from a rest-pose position: each limb follows its two bones
// with a soft blend over the joints, the rest follows the torso.
void rider_weights(Vec3 p, float* w)
{
    for (int i = 0; i < BONES; i++)
        w[i] = 0;
    double ax = std::fabs(p.x);
    bool left = p.x < 0;
    if (ax > SHOULDER_X - 0.2 && p.y > ARM_Y - 0.45) {
        double out = ramp(ax, SHOULDER_X - 0.15, SHOULDER_X + 0.2);      // leaving the torso
        double fore = ramp(ax, ELBOW_X - 0.1, ELBOW_X + 0.1);
        w[8] = float(1 - out);
        w[left ? 2 : 3] = float(out * (1 - fore));
        w[left ? 0 : 1] = float(out * fore);
        return;
    }
    if (p.y < HIP_Y + 0.15) {
        double down = ramp(-p.y, -(HIP_Y + 0.15), -(HIP_Y - 0.25));  // leaving the pelvis
        double shin = ramp(-p.y, -(KNEE_Y + 0.1), -(KNEE_Y - 0.1));
        // Near the middle the two thighs share the crotch (only up there: an
        // ankle's inner side also comes close to x = 0).
        double l = p.x < 0 ? 1.0 : 0.0;
        if (ax < 0.08 && p.y > HIP_Y - 0.5)
            l = 0.5 - p.x / 0.16;
        w[8] = float(1 - down);
        w[6] = float(down * (1 - shin) * l);
        w[7] = float(down * (1 - shin) * (1 - l));
        w[4] = float(down * shin * l);
        w[5] = float(down * shin * (1 - l));
        return;
    }
    w[8] = 1;
}

MeshBuild skinned(float shininess, float specular, int detail)
{
    MeshBuild mb = mesh_lit(shininess, specular);
    mb.bones = BONES;
    mb.weigh = rider_weights;
    mb.detail = detail;
    return mb;
}

void add_arms(MeshBuild& mb)
{
    for (int s = -1; s <= 1; s += 2) {
        mb.rect = rider_cell::sleeve();
        // Jersey sleeve from inside the shoulder to the wrist, along x (the
        // path runs outwards; the section's up is +y).
        mb_tube(mb,
                {vec3(s * 0.35, ARM_Y, Z0), vec3(s * SHOULDER_X, ARM_Y, Z0), vec3(s * (ELBOW_X - 0.3), ARM_Y, Z0),
                 vec3(s * ELBOW_X, ARM_Y, Z0), vec3(s * (ELBOW_X + 0.5), ARM_Y, Z0), vec3(s * (HAND_X - 0.3), ARM_Y, Z0)},
                {0.2, 0.2, 0.16, 0.15, 0.15, 0.12}, 10, false, vec3(0, 1, 0));
        // Shoulder cap and glove cuff: from far away the sleeve is enough.
        if (mb.detail < 2)
            mb_ellipsoid(mb, vec3(s * (SHOULDER_X - 0.02), ARM_Y + 0.02, Z0), vec3(0.24, 0.22, 0.22), 10, 6);
        mb.rect = rider_cell::glove();
        if (mb.detail < 2)
            mb_tube(mb, {vec3(s * (HAND_X - 0.38), ARM_Y, Z0), vec3(s * (HAND_X - 0.22), ARM_Y, Z0)}, {0.135}, 10,
                    true, vec3(0, 1, 0));
        mb_ellipsoid(mb, vec3(s * (HAND_X - 0.08), ARM_Y, Z0 - 0.02), vec3(0.16, 0.1, 0.12), 10, 6);
    }
}

void add_legs(MeshBuild& mb)
{
    for (int s = -1; s <= 1; s += 2) {
        double x = s * HIP_X;
        mb.rect = rider_cell::pants();
        mb_tube(mb,
                {vec3(x, HIP_Y + 0.1, Z0), vec3(x, HIP_Y - 0.3, Z0), vec3(x, KNEE_Y + 0.25, Z0),
                 vec3(x, KNEE_Y, Z0 - 0.03), vec3(x, KNEE_Y - 0.35, Z0)},
                {0.27, 0.26, 0.2, 0.2, 0.18}, 10, false, vec3(0, 0, -1));
        // Knee brace bulge.
        if (mb.detail < 2)
            mb_ellipsoid(mb, vec3(x, KNEE_Y, Z0 - 0.1), vec3(0.16, 0.22, 0.14), 8, 6);
        // Boot from the shin down to the sole, toe forward.
        mb.rect = rider_cell::boot();
        mb_tube(mb, {vec3(x, KNEE_Y - 0.3, Z0), vec3(x, FOOT_Y + 0.45, Z0), vec3(x, FOOT_Y + 0.12, Z0 + 0.02)},
                {0.2, 0.18, 0.19}, 10, true, vec3(0, 0, -1));
        mb_slab(mb, {vec3(0, FOOT_Y - 0.04, Z0 + 0.22), vec3(0, FOOT_Y + 0.3, Z0 + 0.2), vec3(0, FOOT_Y + 0.22, Z0 - 0.3),
                     vec3(0, FOOT_Y + 0.08, Z0 - 0.52), vec3(0, FOOT_Y - 0.04, Z0 - 0.55)},
                x - 0.15, x + 0.15, 0.05);
        mb.rect = rider_cell::sole();
        mb_box(mb, vec3(x, FOOT_Y - 0.03, Z0 - 0.15), vec3(0.15, 0.025, 0.38));
    }
}

void add_torso(MeshBuild& mb)
{
    mb.rect = rider_cell::jersey_front();
    // Torso along y with an oval section: wider across (x) than deep (z).
    mb_tube(mb,
            {vec3(0, HIP_Y - 0.05, Z0), vec3(0, HIP_Y + 0.35, Z0 - 0.02), vec3(0, 0.2, Z0 - 0.05), vec3(0, 0.7, Z0 - 0.03),
             vec3(0, ARM_Y + 0.12, Z0), vec3(0, ARM_Y + 0.24, Z0)},
            {0.3, 0.29, 0.33, 0.34, 0.3, 0.17}, 14, true, vec3(0, 0, 1), 1.45);
    mb.rect = rider_cell::pants();
    mb_ellipsoid(mb, vec3(0, HIP_Y - 0.05, Z0 + 0.02), vec3(0.44, 0.3, 0.32), 14, 7);
    mb.rect = rider_cell::neck();
    mb_tube(mb, {vec3(0, ARM_Y + 0.1, Z0), vec3(0, ARM_Y + 0.4, Z0)}, {0.15}, 10, true, vec3(0, 0, 1));
    // Neck brace collar: a ring round the neck (the torus is built round x,
    // so turn x onto y).
    Place collar;
    const double turn[9] = {0, -1, 0, 1, 0, 0, 0, 0, 1};
    for (int i = 0; i < 9; i++)
        collar.r[i] = turn[i];
    collar.origin = vec3(0, ARM_Y + 0.16, Z0);
    mb.place = collar;
    if (mb.detail < 2)
        mb_torus(mb, 0.25, 0.08, 16, 6);
    mb.place = place_identity();
}

std::string body_file(bool first_person, int detail)
{
    MeshBuild mb = skinned(10, 0.15f, detail);
    add_arms(mb);
    add_legs(mb);
    if (!first_person) {
        MeshBuild torso = skinned(10, 0.15f, detail);
        add_torso(torso);
        return mb_file({mb, torso});
    }
    return mb_file({mb});
}

std::string rider_plate_file()
{
    MeshBuild mb = skinned(24, 0.3f, 0);
    int rows = 3, cols = 4;
    double w = 0.62, h = 0.5, cy = 0.25, back = Z0 + 0.33;
    int first = 0;
    for (int j = 0; j <= rows; j++)
        for (int i = 0; i <= cols; i++) {
            double u = double(i) / cols, t = double(j) / rows;
            // Seen from behind (+z), +u runs towards +x; wrapped a little round
            // the back.
            double x = (u - 0.5) * w;
            double z = back + 0.02 - 0.12 * (2 * (u - 0.5)) * (2 * (u - 0.5));
            mb_vertex(mb, vec3(x, cy + (0.5 - t) * h, z), vec3(0, 0, 1), u, t);
        }
    for (int j = 0; j < rows; j++)
        for (int i = 0; i < cols; i++) {
            int a = first + j * (cols + 1) + i;
            mb_quad(mb, a, a + 1, a + cols + 2, a + cols + 1);
        }
    return mb_file({mb});
}

std::string head_file(int detail)
{
    // Origin at the head point (the neck), -z forward.
    MeshBuild shell = mesh_lit(64, 0.6f);
    MeshBuild peak = mesh_lit(48, 0.5f);
    MeshBuild goggle = mesh_lit(16, 0.2f);
    MeshBuild lens = mesh_env(1.0f, 0.75f, 0.35f, 0.8f);
    for (MeshBuild* mb : {&shell, &peak, &goggle, &lens})
        mb->detail = detail;
    shell.rect = head_cell::shell();
    mb_ellipsoid(shell, vec3(0, 0.22, 0.02), vec3(0.42, 0.46, 0.5), 20, 12);
    // Chin bar sweeping forward under the face.
    std::vector<Vec3> chin = {vec3(-0.37, -0.02, -0.05), vec3(-0.3, -0.12, -0.38), vec3(-0.13, -0.17, -0.56),
                              vec3(0, -0.18, -0.6),       vec3(0.13, -0.17, -0.56), vec3(0.3, -0.12, -0.38),
                              vec3(0.37, -0.02, -0.05)};
    mb_tube(shell, chin, {0.12}, 10, true, vec3(0, 1, 0));
    // Peak over the eye port.
    peak.rect = head_cell::peak();
    mb_slab(peak, {vec3(0, 0.52, -0.35), vec3(0, 0.56, -0.5), vec3(0, 0.48, -0.85), vec3(0, 0.4, -0.82), vec3(0, 0.44, -0.46)},
            -0.3, 0.3, 0.04);
    // Goggles over the eye port: frame and a mirrored lens.
    goggle.rect = head_cell::goggle();
    mb_slab(goggle, {vec3(0, 0.1, -0.44), vec3(0, 0.32, -0.42), vec3(0, 0.33, -0.5), vec3(0, 0.1, -0.53)}, -0.3, 0.3,
            0.04);
    // Lens: a curved strip just in front of the frame.
    int first = 0;
    int strips = mb_segments(lens, 8, 2);
    for (int j = 0; j <= 1; j++)
        for (int i = 0; i <= strips; i++) {
            double a = (double(i) / strips - 0.5) * 1.3;
            Vec3 p = vec3(std::sin(a) * 0.55, 0.12 + 0.18 * j, -0.565 + (1 - std::cos(a)) * 0.55);
            mb_vertex(lens, p, vec3(std::sin(a), 0, -std::cos(a)), double(i) / strips, double(j));
        }
    for (int i = 0; i < strips; i++)
        mb_quad(lens, first + i, first + i + 1, first + strips + 1 + i + 1, first + strips + 1 + i);
    return mb_file({shell, peak, goggle, lens});
}

bool build_rider_models(DataSet& ds)
{
    // Coarser copies of the body and helmet from 32 ft ("_lod5") and 128 ft
    // ("_lod7"), as for the bikes; the first-person body is only ever seen
    // from inside, the plate is a few quads.
    dataset_add(ds, "rider_body.jm", body_file(false, 0));
    dataset_add(ds, "rider_body_lod5.jm", body_file(false, 1));
    dataset_add(ds, "rider_body_lod7.jm", body_file(false, 2));
    dataset_add(ds, "rider_body_fp.jm", body_file(true, 0));
    dataset_add(ds, "rider_plate.jm", rider_plate_file());
    dataset_add(ds, "rider_head.jm", head_file(0));
    dataset_add(ds, "rider_head_lod5.jm", head_file(1));
    dataset_add(ds, "rider_head_lod7.jm", head_file(2));
    return true;
}

}  // namespace

KESTRUM_DATA_BUILDER("rider models", 200, build_rider_models);
