// A built bike drawn from its physics bodies into a picture
// (build-test/bike_draw/*.png, for looking at), with checks that the rider
// sits on it and that the first-person modes leave parts out.
#include "render/bike_draw.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "files/config.h"
#include "files/image.h"
#include "files/stream.h"
#include "physics/bike.h"
#include "physics/rider_pose.h"
#include "render/camera.h"
#include "render/model.h"
#include "render/render_gl_support.h"
#include "render/text.h"
#include "render/texture.h"

namespace fs = std::filesystem;

namespace {

struct GameDataHome {
    std::string old;
    bool had = false;
    GameDataHome()
    {
        const char* v = std::getenv("RQ_HOME");
        had = v != nullptr;
        if (had)
            old = v;
        setenv("RQ_HOME", KESTRUM_GAME_DIR, 1);
        data_paths_reset();
    }
    ~GameDataHome()
    {
        if (had)
            setenv("RQ_HOME", old.c_str(), 1);
        else
            unsetenv("RQ_HOME");
        data_paths_reset();
    }
};

constexpr int W = 640, H = 360;

// A camera at `eye` looking at `at`, world up kept.
Camera look_at(Vec3 eye, Vec3 at)
{
    Vec3 z = vec3_normalize(eye - at), x = vec3_normalize(vec3_cross(vec3(0, 1, 0), z)), y = vec3_cross(z, x);
    Camera c{eye, {float(x.x), float(y.x), float(z.x), float(x.y), float(y.y), float(z.y), float(x.z),
                   float(y.z), float(z.z)}};
    return c;
}

void begin_view(const Camera& c)
{
    projection_set(W, H);
    glClearColor(0.55f, 0.7f, 0.85f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const float* R = c.rotation;
    const GLfloat m[16] = {R[0], R[1], R[2], 0, R[3], R[4], R[5], 0, R[6], R[7], R[8], 0, 0, 0, 0, 1};
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(m);
    glTranslated(-c.position.x, -c.position.y, -c.position.z);
    const GLfloat sun[4] = {0.4f, 0.8f, 0.45f, 0}, amb[4] = {0.45f, 0.45f, 0.45f, 1}, dif[4] = {0.8f, 0.8f, 0.8f, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, sun);
    glLightfv(GL_LIGHT0, GL_AMBIENT, amb);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, dif);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
}

std::vector<unsigned char> read_frame()
{
    std::vector<unsigned char> px(size_t(W) * H * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    return px;
}

bool is_background(const std::vector<unsigned char>& px, int x, int y)
{
    const unsigned char* p = &px[(size_t(y) * W + size_t(x)) * 3];
    return std::abs(p[0] - 140) + std::abs(p[1] - 178) + std::abs(p[2] - 217) < 12;
}

int busy_pixels(const std::vector<unsigned char>& px)
{
    int n = 0;
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++)
            n += !is_background(px, x, y);
    return n;
}

// Screen pixel of a world point for the camera (projection of projection_set).
bool project(const Camera& c, Vec3 p, int* sx, int* sy)
{
    const float* R = c.rotation;
    Vec3 d = p - c.position;
    Vec3 e = vec3(R[0] * d.x + R[3] * d.y + R[6] * d.z, R[1] * d.x + R[4] * d.y + R[7] * d.z,
                  R[2] * d.x + R[5] * d.y + R[8] * d.z);
    if (e.z >= 0)
        return false;
    const Projection& pr = projection();
    *sx = int((-e.x / e.z + pr.w) / (2 * pr.w) * W);
    *sy = int((-e.y / e.z + pr.h) / (2 * pr.h) * H);
    return *sx >= 0 && *sx < W && *sy >= 0 && *sy < H;
}

// Whether anything was drawn within a few pixels of a point.
bool drawn_near(const std::vector<unsigned char>& px, const Camera& c, Vec3 p)
{
    int x, y;
    if (!project(c, p, &x, &y))
        return false;
    for (int dy = -3; dy <= 3; dy++)
        for (int dx = -3; dx <= 3; dx++)
            if (x + dx >= 0 && x + dx < W && y + dy >= 0 && y + dy < H && !is_background(px, x + dx, y + dy))
                return true;
    return false;
}

Vec3 body_point(const Bike* b, int body, Vec3 local)
{
    dVector3 out;
    dBodyGetRelPointPos(b->body[body], local.x, local.y, local.z, out);
    return vec3(out[0], out[1], out[2]);
}

}  // namespace

TEST(BikeDrawGl, RiderOnABikeFromThePhysicsBodies)
{
    REQUIRE_GL_WINDOW();
    if (!test_have_game_data())
        GTEST_SKIP() << "no built data set";
    GameDataHome home;
    config_reset_defaults();
    model_cache_clear();
    model_set_draw_options(ModelDrawOptions());
    font_load_all();
    ASSERT_TRUE(physics_world_init());
    Bike* bike = bike_create("crf250(2009)", 0, "23", nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(bike, nullptr);
    // Turned a little so the picture is not a pure profile.
    bike_orient(bike, 0, 1, 0, 0.35);
    bike_draw_context = BikeDrawContext();
    fs::path out = fs::path(KESTRUM_BINARY_DIR) / "bike_draw";
    fs::create_directories(out);

    Vec3 centre = body_point(bike, BODY_FRAME, vec3(0, 0.5, 0));
    struct View {
        const char* name;
        Vec3 eye;
    };
    const View views[] = {{"right", centre + vec3(6, 1.0, 0.5)}, {"left_front", centre + vec3(-4.5, 1.8, -4.5)}};
    for (const View& v : views) {
        Camera cam = look_at(v.eye, centre);
        begin_view(cam);
        bike_draw(bike, BIKE_DRAW_ALL, cam.position);
        std::vector<unsigned char> px = read_frame();
        EXPECT_TRUE(image_write_png_rgb((out / (std::string(v.name) + ".png")).string().c_str(), px.data(), W, H));
        EXPECT_GT(busy_pixels(px), W * H / 30) << v.name;
        const BikeModel& m = bike->model;
        // Wheels, the rider's head, the hands on the grips and the feet on
        // the pegs all show; the sky far above the head does not.
        EXPECT_TRUE(drawn_near(px, cam, body_point(bike, BODY_FRONT_WHEEL, vec3(0, 0, 0)))) << v.name;
        EXPECT_TRUE(drawn_near(px, cam, body_point(bike, BODY_REAR_WHEEL, vec3(0, 0, 0)))) << v.name;
        Vec3 head = body_point(bike, BODY_RIDER, vec3(m.rider_head_point.x, m.rider_head_point.y, m.rider_head_point.z));
        EXPECT_TRUE(drawn_near(px, cam, head)) << v.name;
        EXPECT_FALSE(drawn_near(px, cam, head + vec3(0, 2.5, 0))) << v.name;
        for (int side = 0; side < 2; side++) {
            const BikePoint& g = m.hand_grip[side];
            EXPECT_TRUE(drawn_near(px, cam, body_point(bike, BODY_FORK_UPPER, vec3(g.x, g.y, g.z)))) << v.name;
        }
        const BikePoint& peg = m.foot_peg[1];
        EXPECT_TRUE(drawn_near(px, cam, body_point(bike, BODY_FRAME, vec3(peg.x, peg.y, peg.z)))) << v.name;
    }

    // First person without the rider: wheels, swingarm and rider are gone
    // while riding, and come back once crashed.
    Camera cam = look_at(centre + vec3(6, 1.0, 0.5), centre);
    auto busy_in_mode = [&](int mode) {
        begin_view(cam);
        bike_draw(bike, mode, cam.position);
        return busy_pixels(read_frame());
    };
    int all = busy_in_mode(BIKE_DRAW_ALL), first_person = busy_in_mode(BIKE_DRAW_FIRST_PERSON),
        hidden = busy_in_mode(BIKE_DRAW_NO_RIDER);
    EXPECT_LT(first_person, all);
    EXPECT_LT(hidden, first_person);
    begin_view(cam);
    bike_draw(bike, BIKE_DRAW_NO_RIDER, cam.position);
    std::vector<unsigned char> px = read_frame();
    EXPECT_FALSE(drawn_near(px, cam, body_point(bike, BODY_REAR_WHEEL, vec3(0, 0, 0))));
    bike->crash_timer = 300;
    EXPECT_GT(busy_in_mode(BIKE_DRAW_NO_RIDER), hidden);
    bike->crash_timer = 0;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    bike_draw_release(bike);
    EXPECT_EQ(bike->plate_texture, 0u);
    bike_free(bike);
    font_release_all();
    model_cache_clear();
    texture_release_all();
}

TEST(BikeDrawGl, LineMarkersAtTheirPoints)
{
    REQUIRE_GL_WINDOW();
    const LineMarker points[] = {{-3, 0, -20, 10}, {0, 0, -20, 10}, {3, 0, -20, -1}};
    Camera cam = look_at(vec3(0, 8, -12), vec3(0, 0, -20));
    begin_view(cam);
    line_markers_draw(points, 3, 1);
    std::vector<unsigned char> px = read_frame();
    auto colour_at = [&](Vec3 p) {
        int x = 0, y = 0;
        project(cam, p, &x, &y);
        const unsigned char* c = &px[(size_t(y) * W + size_t(x)) * 3];
        return std::vector<int>{c[0], c[1], c[2]};
    };
    // Seen from above: the upper 2 ft squares, in the marker colours; the
    // black 3 ft squares show around them.
    EXPECT_EQ(colour_at(vec3(0, 0.25, -20)), (std::vector<int>{255, 255, 255}));
    std::vector<int> grey = colour_at(vec3(-3, 0.125, -20)), blue = colour_at(vec3(3, 0.125, -20));
    EXPECT_NEAR(grey[0], 128, 2);
    EXPECT_NEAR(grey[2], 128, 2);
    EXPECT_NEAR(blue[0], 128, 2);
    EXPECT_EQ(blue[2], 255);
    EXPECT_EQ(colour_at(vec3(1.3, 0, -20)), (std::vector<int>{0, 0, 0}));
}
