// The shipped "oakbasin" ground drawn from a fixed camera with a few models
// standing on it, written to build-test/terrain_view.png for looking at.
#include "render/terrain_render.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "files/image.h"
#include "files/stream.h"
#include "platform/window.h"
#include "render/gl_caps.h"
#include "render/ground_textures.h"
#include "render/model.h"
#include "track/terrain.h"
#include "test_support.h"

namespace {

constexpr int W = 640, H = 480;

Window* view_window()
{
    static Window* win = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        WindowRequest req{"terrain test", W, H, 32, 8, 24, 0, 0, true};
        win = window_open(req);
        if (win) {
            gl_caps_query();
            terrain_render_install();
        }
    }
    return win;
}

// RQ_HOME pointed at the built game folder for one test.
struct GameData {
    std::string old;
    bool had = false;
    GameData()
    {
        if (const char* v = std::getenv("RQ_HOME")) {
            old = v;
            had = true;
        }
        setenv("RQ_HOME", KESTRUM_GAME_DIR, 1);
        data_paths_reset();
    }
    ~GameData()
    {
        if (had)
            setenv("RQ_HOME", old.c_str(), 1);
        else
            unsetenv("RQ_HOME");
        data_paths_reset();
    }
};

struct Camera {
    Vec3 eye, target;
};

// Projection and modelview for a camera looking from eye to target, y up.
void camera_apply(HeightField* hf, const Camera& cam)
{
    glViewport(0, 0, W, H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    double near_plane = 1.0, far_plane = 4000.0;
    double top = near_plane * std::tan(30.0 * M_PI / 180.0), right = top * W / H;
    glFrustum(-right, right, -top, top, near_plane, far_plane);
    Vec3 f = cam.target - cam.eye;
    double len = std::sqrt(f.x * f.x + f.y * f.y + f.z * f.z);
    f = f * (1.0 / len);
    Vec3 up = {0, 1, 0};
    Vec3 s = {f.y * up.z - f.z * up.y, f.z * up.x - f.x * up.z, f.x * up.y - f.y * up.x};
    double sl = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z);
    s = s * (1.0 / sl);
    Vec3 u = {s.y * f.z - s.z * f.y, s.z * f.x - s.x * f.z, s.x * f.y - s.y * f.x};
    double m[16] = {s.x, u.x, -f.x, 0, s.y, u.y, -f.y, 0, s.z, u.z, -f.z, 0, 0, 0, 0, 1};
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(m);
    glTranslated(-cam.eye.x, -cam.eye.y, -cam.eye.z);
    hf->lod.camera[0] = float(cam.eye.x);
    hf->lod.camera[1] = float(cam.eye.y);
    hf->lod.camera[2] = float(cam.eye.z);
    hf->lod.view[0] = float(f.x);
    hf->lod.view[1] = float(f.y);
    hf->lod.view[2] = float(f.z);
}

const float SKY[3] = {0.55f, 0.70f, 0.90f};

void draw_ground(HeightField* hf, const Camera& cam)
{
    glClearColor(SKY[0], SKY[1], SKY[2], 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    camera_apply(hf, cam);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    terrain_render(hf);
    glDepthFunc(GL_LEQUAL);
}

void draw_models(HeightField* hf, const Camera& cam)
{
    struct Placed { const char* name; double x, z, turn; } placed[] = {
        {"@startgate.jm", 250, 722, 90},     {"@statues/haybale.jm", 300, 705, 0},
        {"@statues/haybale.jm", 305, 708, 30}, {"@statues/haybale.jm", 340, 740, 0},
        {"@crf250_frame.jm", 285, 725, 90},  {"@statues/tree.jm", 330, 660, 0},
    };
    float light[4] = {-0.45f, 0.75f, 0.35f, 0};
    float white[4] = {0.8f, 0.8f, 0.75f, 1}, ambient[4] = {0.45f, 0.45f, 0.5f, 1};
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    for (const Placed& p : placed) {
        Mesh* mesh = model_load(p.name);
        ASSERT_NE(mesh, nullptr) << p.name;
        Vec3 at = {p.x, terrain_height(hf, p.x, p.z), p.z};
        glPushMatrix();
        glTranslated(at.x, at.y, at.z);
        glRotated(p.turn, 0, 1, 0);
        model_draw_lit(mesh, cam.eye, at);
        glPopMatrix();
    }
    glDisable(GL_LIGHTING);
}

std::vector<uint8_t> read_back()
{
    glFinish();
    std::vector<uint8_t> rgb(size_t(W) * H * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    // Rows come bottom first; pictures are top first.
    std::vector<uint8_t> flipped(rgb.size());
    for (int y = 0; y < H; y++)
        std::copy(rgb.begin() + size_t(H - 1 - y) * W * 3, rgb.begin() + size_t(H - y) * W * 3,
                  flipped.begin() + size_t(y) * W * 3);
    return flipped;
}

bool is_sky(const uint8_t* px)
{
    for (int c = 0; c < 3; c++)
        if (std::abs(int(px[c]) - int(SKY[c] * 255 + 0.5f)) > 2)
            return false;
    return true;
}

const Camera VIEW = {{190, 0, 770}, {420, 0, 690}};

struct LoadedTrack {
    GameData data;
    HeightField hf;
    bool ok = false;
    Camera cam = VIEW;
    LoadedTrack()
    {
        terrain_settings.detail = 0.125f / 50;
        ok = terrain_load(&hf, "@oakbasin");
        if (ok) {
            cam.eye.y = terrain_height(&hf, cam.eye.x, cam.eye.z) + 14;
            cam.target.y = terrain_height(&hf, cam.target.x, cam.target.z);
            // The blocks, then every window texture around the camera, one
            // a frame as the game composes them.
            hf.lod.camera[0] = float(cam.eye.x);
            hf.lod.camera[1] = float(cam.eye.y);
            hf.lod.camera[2] = float(cam.eye.z);
            for (int frame = 0; frame < 100; frame++)
                ground_textures_update(&hf, 1);
        }
    }
    ~LoadedTrack()
    {
        terrain_free(&hf);
        model_cache_clear();
        terrain_settings.detail = 1.0f;
    }
};

TEST(TerrainRender, OakBasinViewHasGroundBelowAndSkyAbove)
{
    if (!view_window())
        GTEST_SKIP() << "no window can be opened";
    if (!test_have_game_data())
        GTEST_SKIP() << "no built game data";
    LoadedTrack t;
    ASSERT_TRUE(t.ok);
    ASSERT_FALSE(t.hf.block_textures.empty());
    for (int tex : t.hf.block_textures)
        EXPECT_NE(tex, 0);

    terrain_render_set_vertex_arrays(true);
    draw_ground(&t.hf, t.cam);
    draw_models(&t.hf, t.cam);
    std::vector<uint8_t> image = read_back();
    // The picture writer takes rows bottom first, as GL reads them.
    std::vector<uint8_t> gl_rows(image.size());
    for (int y = 0; y < H; y++)
        std::copy(image.begin() + size_t(H - 1 - y) * W * 3, image.begin() + size_t(H - y) * W * 3,
                  gl_rows.begin() + size_t(y) * W * 3);
    ASSERT_TRUE(image_write_png_rgb(KESTRUM_BINARY_DIR "/terrain_view.png", gl_rows.data(), W, H));
    EXPECT_GT(t.hf.lod.polygons, 100);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    std::set<int> colours;
    int sky_top = 0, sky_bottom = 0, greenish_bottom = 0;
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            const uint8_t* px = &image[(size_t(y) * W + x) * 3];
            colours.insert(px[0] << 16 | px[1] << 8 | px[2]);
            bool sky = is_sky(px);
            if (y < H / 8)
                sky_top += sky;
            if (y >= H / 2) {
                sky_bottom += sky;
                greenish_bottom += px[1] > px[2] && px[1] >= px[0] - 10;
            }
        }
    EXPECT_GT(colours.size(), 1000u) << "a textured, shaded ground has many colours";
    EXPECT_GT(sky_top, W * (H / 8) / 2) << "the sky fills the top of the picture";
    EXPECT_EQ(sky_bottom, 0) << "the ground fills the lower half without holes";
    EXPECT_GT(greenish_bottom, W * (H / 2) / 4) << "grass in the valley";
}

TEST(TerrainRender, ImmediateModeDrawsTheSamePicture)
{
    if (!view_window())
        GTEST_SKIP() << "no window can be opened";
    if (!test_have_game_data())
        GTEST_SKIP() << "no built game data";
    LoadedTrack t;
    ASSERT_TRUE(t.ok);
    terrain_render_set_vertex_arrays(true);
    draw_ground(&t.hf, t.cam);
    std::vector<uint8_t> arrays = read_back();
    int polygons = t.hf.lod.polygons;
    terrain_render_set_vertex_arrays(false);
    draw_ground(&t.hf, t.cam);
    std::vector<uint8_t> immediate = read_back();
    terrain_render_set_vertex_arrays(true);
    EXPECT_EQ(t.hf.lod.polygons, polygons);
    size_t differ = 0;
    for (size_t k = 0; k < arrays.size(); k++)
        differ += std::abs(int(arrays[k]) - int(immediate[k])) > 2;
    EXPECT_LT(differ, arrays.size() / 1000);
}

// Frames per second of the ground alone; run with KESTRUM_BENCH=1.
TEST(TerrainRender, DrawRateBenchmark)
{
    if (!std::getenv("KESTRUM_BENCH"))
        GTEST_SKIP() << "benchmark: set KESTRUM_BENCH=1";
    if (!view_window() || !test_have_game_data())
        GTEST_SKIP() << "no window or no game data";
    LoadedTrack t;
    ASSERT_TRUE(t.ok);
    for (bool arrays : {true, false}) {
        terrain_render_set_vertex_arrays(arrays);
        draw_ground(&t.hf, t.cam);
        glFinish();
        auto start = std::chrono::steady_clock::now();
        int frames = 0;
        double seconds = 0;
        while (seconds < 3.0) {
            draw_ground(&t.hf, t.cam);
            glFinish();
            frames++;
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        std::printf("terrain draw %dx%d, %s: %.1f frames/s, %d rim vertices a frame\n", W, H,
                    arrays ? "vertex arrays" : "immediate mode", frames / seconds, t.hf.lod.polygons);
    }
    terrain_render_set_vertex_arrays(true);
}

}  // namespace
