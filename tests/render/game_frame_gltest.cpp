// A game frame of the start track as the game draws it (session, scene and
// ground together): sky at the top, ground at the bottom and the robot's
// bike where the camera looks (build-test/scene/game_frame.png, for
// looking at).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "core/app/app_scene.h"
#include "core/session.h"
#include "files/config.h"
#include "files/image.h"
#include "physics/bike.h"
#include "render/gl_caps.h"
#include "render/render_gl_support.h"
#include "render/terrain_render.h"

namespace {

constexpr int W = 640, H = 360;

std::vector<unsigned char> draw(Vec3 eye, Vec3 at)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    app_scene_draw(W, H, false, -1, eye, vec3_normalize(at - eye), vec3(0, 1, 0));
    std::vector<unsigned char> px(size_t(W) * H * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    return px;
}

// Mean colour of rows y0..y1 (from the bottom), all columns.
Vec3 band(const std::vector<unsigned char>& px, int y0, int y1)
{
    double c[3] = {0, 0, 0};
    int n = 0;
    for (int y = y0; y <= y1; y++)
        for (int x = 0; x < W; x++, n++)
            for (int k = 0; k < 3; k++)
                c[k] += px[(size_t(y) * W + x) * 3 + k];
    return vec3(c[0] / n, c[1] / n, c[2] / n);
}

}  // namespace

TEST(GameFrame, StartTrackShowsSkyGroundAndTheBike)
{
    REQUIRE_GL_WINDOW();
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "no built data set";
    config_reset_defaults();
    gl_caps_query();
    terrain_render_install();
    app_scene_install();
    ASSERT_TRUE(physics_world_init());
    Session& s = session();
    s.settings.track = "oakbasin";
    s.settings.learn = false;
    int lineup[SLOT_COUNT] = {};
    lineup[0] = LINEUP_ROBOT;
    ASSERT_TRUE(session_start(lineup, false, false, 0, 3, 1));
    for (int i = 0; i < 2 * TICKS_PER_SECOND; i++)
        simulation_tick();
    Bike* b = s.riders[0].bike;
    ASSERT_NE(b, nullptr);

    // From the bike's right side, a little above it.
    dVector3 right;
    dBodyVectorToWorld(b->body[BODY_FRAME], 1, 0, 0, right);
    const dReal* p = dBodyGetPosition(b->body[BODY_FRAME]);
    Vec3 at = vec3(p[0], p[1], p[2]);
    Vec3 eye = at + vec3(right[0], 0, right[2]) * 9 + vec3(0, 2.5, 0);
    std::vector<unsigned char> with_bike = draw(eye, at);
    std::filesystem::path out = std::filesystem::path(KESTRUM_BINARY_DIR) / "scene";
    std::filesystem::create_directories(out);
    EXPECT_TRUE(image_write_png_rgb((out / "game_frame.png").string().c_str(), with_bike.data(), W, H));

    Vec3 sky = band(with_bike, H - 20, H - 1), ground = band(with_bike, 0, 19);
    EXPECT_GT(sky.z, sky.x + 20) << "sky blue above";
    EXPECT_GE(ground.x, ground.z) << "ground below, not sky";
    EXPECT_GT(vec3_length(sky - ground), 40);

    // The same view with the bike taken far away: the middle of the frame
    // is where the bike was.
    bike_translate(b, 0, 500, 0);
    std::vector<unsigned char> empty = draw(eye, at);
    int changed = 0, inside = 0;
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            const unsigned char* a = &with_bike[(size_t(y) * W + x) * 3];
            const unsigned char* e = &empty[(size_t(y) * W + x) * 3];
            if (std::abs(a[0] - e[0]) + std::abs(a[1] - e[1]) + std::abs(a[2] - e[2]) > 30) {
                changed++;
                inside += x > W / 4 && x < 3 * W / 4 && y > H / 6 && y < 5 * H / 6;
            }
        }
    std::printf("game frame: sky %.0f %.0f %.0f, ground %.0f %.0f %.0f, bike covers %d pixels (%d central)\n", sky.x,
                sky.y, sky.z, ground.x, ground.y, ground.z, changed, inside);
    EXPECT_GT(changed, W * H / 50);          // a bike at 9 ft fills a good part of the view
    EXPECT_GT(inside, changed * 8 / 10);     // and it is in the middle, where the camera looks
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    session_end();
}
