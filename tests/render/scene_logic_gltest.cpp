// The parts of the scene renderer that need no window: the projection's
// extents, the billboard order, statue facing, track-object animation,
// ghost fading and the flare edge fade.
#include <gtest/gtest.h>

#include <cmath>

#include "render/scene.h"
#include "track/track.h"

namespace {

Billboard board(float x, float z, int texture, float aspect = 1, float height = 2)
{
    Billboard b;
    b.x = x, b.y = 0, b.z = z, b.texture = texture, b.aspect = aspect, b.height = height;
    return b;
}

// Billboards past the particle slots, as a track's own are.
std::vector<Billboard> track_boards(const std::vector<Billboard>& own)
{
    std::vector<Billboard> all(TRACK_PARTICLE_SLOTS);  // untextured particle slots
    all.insert(all.end(), own.begin(), own.end());
    return all;
}

std::vector<int> textures_in_order(const std::vector<Billboard>& bbs, const std::vector<int>& order)
{
    std::vector<int> t;
    for (int i : order)
        t.push_back(bbs[size_t(i)].texture);
    return t;
}

}  // namespace

TEST(SceneLogic, WideWindowKeepsTheVerticalFieldOfView)
{
    double w43, h43, w169, h169, wtall, htall;
    projection_extents(800, 600, 110, &w43, &h43);
    projection_extents(1600, 900, 110, &w169, &h169);
    projection_extents(600, 800, 110, &wtall, &htall);
    EXPECT_NEAR(w43, std::tan(110 * M_PI / 360), 1e-12);
    EXPECT_NEAR(h169, h43, 1e-12);
    EXPECT_NEAR(w169, h169 * 16 / 9, 1e-12);
    EXPECT_NEAR(wtall, w43, 1e-12);  // narrow windows keep the width
    double w0, h0;
    projection_extents(0, 0, 110, &w0, &h0);  // a minimised window
    EXPECT_TRUE(std::isfinite(w0) && std::isfinite(h0));
}

TEST(SceneLogic, BillboardOrderFarthestFirstInFrontOnly)
{
    // Camera at the origin looking north (-z): z_cam = +z.
    const Vec3 cam = vec3(0, 0, 0), z_cam = vec3(0, 0, 1);
    std::vector<Billboard> bbs = track_boards({
        board(0, -10, 1), board(0, -50, 2), board(0, 20, 3),  // the last is behind
        board(0, -30, 4), board(0, 0, 5),                     // level with the camera: not drawn
    });
    bbs.push_back(board(0, -40, 0));  // untextured
    Billboard clear = board(0, -45, 6);
    clear.colour[3] = 0;
    bbs.push_back(clear);
    std::vector<int> order;
    billboard_draw_order(bbs, cam, z_cam, 1, &order);
    EXPECT_EQ(textures_in_order(bbs, order), (std::vector<int>{2, 4, 1}));
    EXPECT_EQ(billboard_depth_key(vec3(0, 0, 0), z_cam), 1 << 24);
}

TEST(SceneLogic, BillboardBatchingRespectsOverlap)
{
    const Vec3 cam = vec3(0, 0, 0), z_cam = vec3(0, 0, 1);
    // Side by side, far apart across the view: texture 1 at the back is
    // pulled next to the other texture 1.
    std::vector<Billboard> apart = track_boards({board(-20, -50, 1), board(20, -40, 2), board(-20, -30, 1)});
    std::vector<int> order;
    billboard_draw_order(apart, cam, z_cam, 8, &order);
    EXPECT_EQ(textures_in_order(apart, order), (std::vector<int>{1, 1, 2}));
    // Lookahead 1: pure back-to-front.
    billboard_draw_order(apart, cam, z_cam, 1, &order);
    EXPECT_EQ(textures_in_order(apart, order), (std::vector<int>{1, 2, 1}));
    // The one between covers the candidate: the order stays.
    std::vector<Billboard> covered = track_boards({board(0, -50, 1), board(0, -40, 2, 4), board(0, -30, 1)});
    billboard_draw_order(covered, cam, z_cam, 8, &order);
    EXPECT_EQ(textures_in_order(covered, order), (std::vector<int>{1, 2, 1}));
    // Too far ahead for a lookahead of 3 (needs position i + 3).
    std::vector<Billboard> far = track_boards(
        {board(-20, -60, 1), board(20, -50, 2), board(25, -45, 3), board(-20, -30, 1)});
    billboard_draw_order(far, cam, z_cam, 3, &order);
    EXPECT_EQ(textures_in_order(far, order), (std::vector<int>{1, 2, 3, 1}));
    billboard_draw_order(far, cam, z_cam, 4, &order);
    EXPECT_EQ(textures_in_order(far, order), (std::vector<int>{1, 1, 2, 3}));
}

TEST(SceneLogic, RadixSortIsStable)
{
    std::vector<unsigned> keys = {0x01020304u, 5, 0x01020304u, 0xffffffffu, 0, 5};
    std::vector<int> idx = {0, 1, 2, 3, 4, 5};
    billboard_radix_sort(&idx, keys);
    EXPECT_EQ(idx, (std::vector<int>{4, 1, 5, 0, 2, 3}));
}

TEST(SceneLogic, StatueFacesCameraOnlyBeyondItsDistance)
{
    Statue s;
    s.facing_distance = 16;
    s.x = 0, s.y = 0, s.z = 0;
    EXPECT_FALSE(statue_faces_camera(s, vec3(10, 0, 10), 1, 0));  // within 16
    EXPECT_FALSE(statue_faces_camera(s, vec3(16, 0, 0), 1, 0));
    EXPECT_TRUE(statue_faces_camera(s, vec3(17, 0, 0), 1, 0));
    EXPECT_TRUE(statue_faces_camera(s, vec3(10, 0, 10), 2, 0));   // a larger scale counts distance more
    s.facing_distance = 0;
    EXPECT_FALSE(statue_faces_camera(s, vec3(1000, 0, 0), 1, 0));
    Statue f;
    statue_face(&f, vec3(30, 5, 0));
    EXPECT_NEAR(f.rotation[2][0], 1, 1e-6);  // z towards the camera, level
    EXPECT_NEAR(f.rotation[1][1], 1, 1e-6);
    EXPECT_NEAR(f.rotation[0][2], -1, 1e-6);
}

TEST(SceneLogic, TrackObjectsFollowTheRace)
{
    Track t;
    t.billboards.resize(4);
    t.start_animation.billboard = 0;
    for (int i = 0; i < 5; i++)
        t.start_animation.textures[i] = 10 + i;
    t.start_animation.a[0] = 0, t.start_animation.a[1] = 1, t.start_animation.a[2] = 0;
    t.start_animation.b[0] = 10, t.start_animation.b[1] = 3, t.start_animation.b[2] = -20;
    t.start_animation.duration = 2;
    t.lap_board.billboard = 1;
    for (int i = 0; i < 4; i++)
        t.lap_board.textures[i] = 20 + i;
    Flagger f;
    f.billboard = 2, f.normal_texture = 30, f.alert_texture = 31, f.gates[0] = 4, f.gates[1] = 7;
    t.flaggers.push_back(f);

    SceneRace r;
    r.has_laps = true;
    r.start_tick = 128 * 5 + 100;  // whole seconds: 5
    r.total_laps = 5, r.halfway_lap = 2;
    struct StartCase {
        double seconds;
        int texture;
        float x, y;
    };
    const StartCase starts[] = {{5.05, 10, 0, 1}, {5.2, 11, 0, 1}, {5.5, 12, 0, 1},
                                {6.0, 13, 0, 1},  {7.0, 13, 5, 2}, {8.0, 14, 10, 3}, {20, 14, 10, 3}};
    for (const StartCase& c : starts) {
        r.clock = int(c.seconds * 128);
        scene_animate_track_objects(&t, r);
        EXPECT_EQ(t.billboards[0].texture, c.texture) << c.seconds;
        EXPECT_NEAR(t.billboards[0].x, c.x, 1e-4) << c.seconds;
        EXPECT_NEAR(t.billboards[0].y, c.y, 1e-4) << c.seconds;
    }
    const int laps[][2] = {{0, 20}, {1, 20}, {2, 21}, {3, 20}, {4, 22}, {5, 23}, {6, 23}};
    for (const auto& l : laps) {
        r.leader_laps = l[0];
        scene_animate_track_objects(&t, r);
        EXPECT_EQ(t.billboards[1].texture, l[1]) << "laps " << l[0];
    }
    r.gates_rider_down = {5};
    scene_animate_track_objects(&t, r);
    EXPECT_EQ(t.billboards[2].texture, 30);
    r.gates_rider_down = {5, 7};
    scene_animate_track_objects(&t, r);
    EXPECT_EQ(t.billboards[2].texture, 31);
    r.gates_rider_down.clear();
    scene_animate_track_objects(&t, r);
    EXPECT_EQ(t.billboards[2].texture, 30);
}

TEST(SceneLogic, GhostFadeAndFlareEdges)
{
    EXPECT_EQ(scene_ghost_alpha(4, 10), 0);
    EXPECT_EQ(scene_ghost_alpha(5, 10), 0);
    EXPECT_NEAR(scene_ghost_alpha(7.5, 10), 0.5, 1e-12);
    EXPECT_EQ(scene_ghost_alpha(12, 10), 1);
    EXPECT_EQ(scene_ghost_alpha(0, 0), 1);  // fading switched off
    const double w = 1.6, h = 0.9, M = 0.9 / 32;
    EXPECT_EQ(lens_flare_edge_fade(0, 0, w, h), 1);
    EXPECT_NEAR(lens_flare_edge_fade(w - M / 2, 0, w, h), 0.5, 1e-9);
    EXPECT_NEAR(lens_flare_edge_fade(0, -(h - M / 4), w, h), 0.25, 1e-9);
    EXPECT_EQ(lens_flare_edge_fade(w, 0, w, h), 0);
}

TEST(SceneLogic, RiderSpheresOutsideTheViewAreLeftOut)
{
    // A camera turned 40 degrees about y; spheres placed by eye coordinates
    // (x right, y up, looking along -z), with view half extents 1.6 x 0.9.
    const double a = 40 * M_PI / 180, w = 1.6, h = 0.9;
    const float R[9] = {float(std::cos(a)), 0, float(std::sin(a)), 0, 1, 0, float(-std::sin(a)), 0, float(std::cos(a))};
    const Vec3 eye = vec3(10, 5, 20);
    const Vec3 X = vec3(R[0], R[3], R[6]), Y = vec3(R[1], R[4], R[7]), Z = vec3(R[2], R[5], R[8]);
    struct Case {
        double x, y, z, radius;
        bool seen;
    } cases[] = {
        {0, 0, -50, 1, true},     // straight ahead
        {0, 0, 10, 6, false},     // behind the camera
        {0, 0, 3, 6, true},       // around the camera
        {-85, 0, -50, 6, true},   // centre past the left edge, sphere reaching in
        {-100, 0, -50, 6, false}, // wholly left of the view
        {100, 0, -50, 6, false},  // wholly right
        {0, 52, -50, 6, true},    // reaching down past the top edge
        {0, -60, -50, 6, false},  // wholly below
    };
    for (const Case& c : cases) {
        Vec3 centre = eye + X * c.x + Y * c.y + Z * c.z;
        EXPECT_EQ(scene_sphere_in_view(eye, R, w, h, centre, c.radius), c.seen) << c.x << " " << c.y << " " << c.z;
    }
}
