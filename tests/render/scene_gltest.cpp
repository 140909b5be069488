// Whole frames of the scene: a shipped track's sky box and statues drawn
// from a fixed camera (build-test/scene/*.png, for looking at), and the
// cleared frame of a track without a sky.
#include "render/scene.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "files/config.h"
#include "files/image.h"
#include "files/stream.h"
#include "physics/shape.h"
#include "render/model.h"
#include "render/render_gl_support.h"
#include "render/scene_stats.h"
#include "render/texture.h"
#include "track/surface.h"
#include "track/track.h"

namespace fs = std::filesystem;

namespace {

struct Env {
    std::string name, old;
    bool had;
    Env(const char* n, const std::string& v) : name(n)
    {
        const char* o = std::getenv(n);
        had = o != nullptr;
        if (had)
            old = o;
        setenv(n, v.c_str(), 1);
    }
    ~Env()
    {
        if (had)
            setenv(name.c_str(), old.c_str(), 1);
        else
            unsetenv(name.c_str());
    }
};

int load_texture_id(const char* name) { return int(texture_load(name)); }
const Mesh* load_model(const char* name) { return model_load(name); }

constexpr int W = 640, H = 360;

std::vector<unsigned char> read_frame()
{
    std::vector<unsigned char> px(size_t(W) * H * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    return px;
}

int differing_pixels(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    int n = 0;
    for (size_t i = 0; i < a.size(); i += 3)
        n += std::abs(a[i] - b[i]) + std::abs(a[i + 1] - b[i + 1]) + std::abs(a[i + 2] - b[i + 2]) > 24;
    return n;
}

// The rotation of a camera looking from eye towards at.
void look_rotation(Vec3 eye, Vec3 at, float R[9])
{
    Vec3 z = vec3_normalize(eye - at), x = vec3_normalize(vec3_cross(vec3(0, 1, 0), z)), y = vec3_cross(z, x);
    const float r[9] = {float(x.x), float(y.x), float(z.x), float(x.y), float(y.y),
                        float(z.y), float(x.z), float(y.z), float(z.z)};
    for (int i = 0; i < 9; i++)
        R[i] = r[i];
}

}  // namespace

TEST(SceneGl, OakbasinSkyAndStatues)
{
    REQUIRE_GL_WINDOW();
    if (!test_have_game_data())
        GTEST_SKIP() << "no built data set";
    Env home("RQ_HOME", KESTRUM_GAME_DIR);
    Env user("XDG_DATA_HOME", test_scratch_dir("scene-user"));
    data_paths_reset();
    config_reset_defaults();
    model_cache_clear();
    model_set_draw_options(ModelDrawOptions());
    surface_set_texture_loader(load_texture_id);
    scenery_render_hooks.model_load = load_model;
    Track* t = new Track();
    t->name = "oakbasin";
    ASSERT_TRUE(track_load(t));
    scene_world = SceneWorld();
    scene_world.track = t;
    scene_settings_load();
    scene_set_window(W, H);
    ASSERT_GT(t->lighting.sky[SKY_NORTH], 0);

    // A camera standing back from the first statue with a model.
    const Statue* target = nullptr;
    for (size_t i = size_t(t->first_track_statue); i < t->statues.size() && !target; i++)
        if (t->statues[i].model)
            target = &t->statues[i];
    ASSERT_NE(target, nullptr);
    Vec3 at = vec3(target->x, target->y + 3, target->z);
    Vec3 eye = at + vec3(24, 10, 30);
    float R[9];
    look_rotation(eye, at, R);
    fs::path out = fs::path(KESTRUM_BINARY_DIR) / "scene";
    fs::create_directories(out);

    scene_render(eye, R, -1);
    std::vector<unsigned char> full = read_frame();
    EXPECT_TRUE(image_write_png_rgb((out / "oakbasin_statue.png").string().c_str(), full.data(), W, H));
    EXPECT_GT(render_stats().model_triangles, 0);
    // The top of the frame is sky, not the black of an empty frame.
    const unsigned char* top = &full[(size_t(H - 4) * W + W / 2) * 3];
    EXPECT_GT(top[0] + top[1] + top[2], 120);

    // Without statues (lowest model detail) the picture loses them.
    scene_settings.model_detail = 0.1;
    scene_render(eye, R, -1);
    std::vector<unsigned char> bare = read_frame();
    EXPECT_GT(differing_pixels(full, bare), W * H / 100);
    scene_settings.model_detail = 50;

    // Looking up and around: the sky box faces meet without gaps.
    Vec3 high = vec3(target->x, target->y + 40, target->z);
    look_rotation(high, high + vec3(1, 1.2, -0.8), R);
    scene_render(high, R, -1);
    std::vector<unsigned char> sky = read_frame();
    EXPECT_TRUE(image_write_png_rgb((out / "oakbasin_sky.png").string().c_str(), sky.data(), W, H));
    int black = 0;
    for (size_t i = 0; i < sky.size(); i += 3)
        black += sky[i] + sky[i + 1] + sky[i + 2] < 6;
    EXPECT_LT(black, W * H / 200);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    scene_world = SceneWorld();
    track_free(t);
    delete t;
    surface_set_texture_loader(nullptr);
    scenery_render_hooks.model_load = nullptr;
    model_cache_clear();
    texture_release_all();
    shape_cache_clear();
    data_paths_reset();
}

TEST(SceneGl, NoSkyClearsTheFrame)
{
    REQUIRE_GL_WINDOW();
    Track t;  // no sky, no statues
    scene_world = SceneWorld();
    scene_world.track = &t;
    scene_set_window(W, H);
    glClearColor(1, 0, 1, 1);
    glColor3f(0, 1, 0);
    glBegin(GL_QUADS);  // leftovers the clear must remove
    glVertex2f(-1, -1), glVertex2f(1, -1), glVertex2f(1, 1), glVertex2f(-1, 1);
    glEnd();
    const float R[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    scene_render(vec3(0, 10, 0), R, -1);
    std::vector<unsigned char> px = read_frame();
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[1], 0);
    EXPECT_EQ(px[2], 255);
    glClearColor(0, 0, 0, 1);
    scene_world = SceneWorld();
}
