// Model cache and drawing on a real GL context, and a turntable of every
// shipped bike with its rider (and of the distance variants) written to
// build-test/turntable/ for looking at.
#include "render/model.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "files/image.h"
#include "files/stream.h"
#include "physics/bike_model.h"
#include "physics/rider_pose.h"
#include "platform/window.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

constexpr int W = 320, H = 240;

// One hidden window for every test of this file, opened on first use and
// left open: closing it unloads the GL driver, after which the leak checker
// can no longer tell the driver's own allocations from ours.
constexpr int WINDOW_W = 400, WINDOW_H = 300;

struct GlWindow {
    Window* window = nullptr;
    GlWindow(int w, int h)
    {
        static Window* shared = nullptr;
        static bool tried = false;
        if (!tried) {
            tried = true;
            WindowRequest req{"model test", WINDOW_W, WINDOW_H, 32, 8, 24, 0, 0, true};
            shared = window_open(req);
        }
        window = shared;
        if (!window)
            return;
        glViewport(0, 0, w, h);
        for (GLenum cap : {GL_TEXTURE_2D, GL_CULL_FACE, GL_LIGHTING, GL_BLEND, GL_DEPTH_TEST})
            glDisable(cap);
    }
    ~GlWindow()
    {
        if (window)
            model_cache_clear();
    }
};

const char* TRIANGLE_JM =
    "JM1\n"
    "16 0 0.5 0.5 0.5 3 1\n"
    "-1 -1 0 0 0 1 0 0\n"
    "1 -1 0 0 0 1 1 0\n"
    "0 1 0 0 0 1 0.5 1\n"
    "0 1 2\n"
    "-1 1 1 1 1 3 1\n"
    "-1 -1 0.01 0 0 1 0 0\n"
    "1 -1 0.01 0 0 1 1 0\n"
    "0 1 0.01 0 0 1 0.5 1\n"
    "0 1 2\n";

void look_at_origin(double distance)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.5, 0.5, -0.375, 0.375, 1, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(0, 0, -distance);
}

// Pixels that differ from the clear colour.
int drawn_pixels(int w, int h)
{
    std::vector<unsigned char> px(size_t(w) * size_t(h) * 4);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    int n = 0;
    for (size_t i = 0; i < px.size(); i += 4)
        if (px[i] > 8 || px[i + 1] > 8 || px[i + 2] > 8)
            n++;
    return n;
}

}  // namespace

TEST(ModelGl, LoadsCachesAndDrawsBothPasses)
{
    GlWindow gl(W, H);
    if (!gl.window)
        GTEST_SKIP() << "no window";
    std::string dir = test_scratch_dir("model_gl");
    ASSERT_TRUE(test_write_file(dir + "tri.jm", TRIANGLE_JM));
    ASSERT_TRUE(test_write_file(dir + "tri_lod3.jm", TRIANGLE_JM));
    ASSERT_TRUE(test_write_file(dir + "tri_lod5.jm", TRIANGLE_JM));
    ASSERT_TRUE(test_write_file(dir + "trivial_lod2.jm", TRIANGLE_JM));  // another model's name
    GameDataScope home(dir);

    // Vertex arrays, immediate mode, and tangents passed for the programs.
    for (int config = 0; config < 3; config++) {
        bool arrays = config != 1;
        ModelDrawOptions options;
        options.vertex_arrays = arrays;
        options.shaders = config == 2;
        options.texture_units = config == 2 ? 2 : 1;
        model_set_draw_options(options);
        model_cache_clear();
        Mesh* m = model_load("@tri.jm");
        ASSERT_TRUE(m);
        EXPECT_TRUE(model_has_env(m));
        EXPECT_NE(m->display_list, 0u);               // lit and rigid: compiled
        // Environment meshes get their coordinates per frame without shaders.
        EXPECT_EQ(m->next->display_list != 0, options.shaders);
        ASSERT_TRUE(m->next_lod);
        EXPECT_FLOAT_EQ(m->next_lod->lod_distance, 8);
        ASSERT_TRUE(m->next_lod->next_lod);
        EXPECT_FLOAT_EQ(m->next_lod->next_lod->lod_distance, 32);
        EXPECT_FALSE(m->next_lod->next_lod->next_lod);
        EXPECT_EQ(model_load("@tri.jm"), m);
        EXPECT_EQ(model_load("@TRI.jm"), m);  // case mismatch: the cached one
        EXPECT_FALSE(model_load("@missing.jm"));

        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        look_at_origin(4);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        model_stats() = ModelStats();
        model_draw_lit(m, vec3(0, 0, 4), vec3(0, 0, 0));
        EXPECT_EQ(model_stats().triangles, 1);
        int lit = drawn_pixels(W, H);
        EXPECT_GT(lit, 500) << "config " << config;
        glDisable(GL_LIGHTING);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        const float view[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        model_draw_env(m, vec3(0, 0, 4), vec3(0, 0, 0), view);
        EXPECT_EQ(model_stats().triangles, 2);
        EXPECT_GT(drawn_pixels(W, H), 500);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

TEST(ModelGl, SweepKeepsPermanentAndCurrentModels)
{
    GlWindow gl(64, 64);
    if (!gl.window)
        GTEST_SKIP() << "no window";
    std::string dir = test_scratch_dir("model_sweep");
    for (const char* name : {"a.jm", "b.jm", "c.jm"})
        ASSERT_TRUE(test_write_file(dir + name, TRIANGLE_JM));
    model_cache_clear();
    model_set_draw_options(ModelDrawOptions());
    int start = model_generation();
    ASSERT_TRUE(model_load((dir + "a.jm").c_str()));  // before any track: permanent
    model_generation_advance();
    ASSERT_TRUE(model_load((dir + "b.jm").c_str()));
    ASSERT_TRUE(model_load((dir + "c.jm").c_str()));
    model_generation_advance();
    ASSERT_TRUE(model_load((dir + "c.jm").c_str()));  // asked for again
    ASSERT_TRUE(model_load((dir + "a.jm").c_str()));
    model_sweep();
    EXPECT_EQ(model_cache_size(), 2);  // b was not asked for again
    model_generation_advance();
    model_sweep();
    // Only a model of generation 0 (loaded before the first track) stays.
    EXPECT_EQ(model_cache_size(), start == 0 ? 1 : 0);
}

TEST(ModelGl, EnvironmentCoordinatesFollowTheReflection)
{
    GlWindow gl(64, 64);
    if (!gl.window)
        GTEST_SKIP() << "no window";
    std::string dir = test_scratch_dir("model_env");
    // A square facing the camera, environment-mapped only.
    ASSERT_TRUE(test_write_file(dir + "mirror.jm",
                                "JM1\n-1 1 1 1 1 4 2\n"
                                "-1 -1 0 0 0 1 0 0\n1 -1 0 0 0 1 1 0\n1 1 0 0 0 1 1 1\n-1 1 0 0 0 1 0 1\n"
                                "0 1 2 0 2 3\n"));
    model_set_draw_options(ModelDrawOptions());
    Mesh* m = model_load((dir + "mirror.jm").c_str());
    ASSERT_TRUE(m);
    // Environment picture: red in its first rows, green in the last.
    std::vector<unsigned char> px(16 * 16 * 3, 0);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++)
            px[size_t((y * 16 + x) * 3 + (y < 8 ? 0 : 1))] = 255;
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 16, 16, 0, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    // Looking straight at the square, the view reflects back towards the
    // viewer: horizontal, so 0.25 from the centre of the map along the
    // direction the eye came from (+z in the environment frame, v = 0.75).
    struct Case {
        float view[9];
        int channel;
    };
    const Case cases[] = {
        {{1, 0, 0, 0, 1, 0, 0, 0, 1}, 1},    // eye space is the world: +z, green rows
        {{-1, 0, 0, 0, 1, 0, 0, 0, -1}, 0},  // camera turned round: -z, red rows
    };
    for (const Case& c : cases) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        look_at_origin(2);
        model_draw_env(m, vec3(0, 0, 2), vec3(0, 0, 0), c.view);
        unsigned char centre[3] = {0, 0, 0};
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(32, 32, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, centre);
        EXPECT_GT(centre[c.channel], 200) << c.channel;
        EXPECT_LT(centre[1 - c.channel], 50) << c.channel;
    }
    glDeleteTextures(1, &tex);
}

// ------------------------------------------------------------ turntable

namespace {

GLuint upload(int w, int h, int channels, const std::vector<unsigned char>& px)
{
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, channels == 4 ? GL_RGBA : GL_RGB, w, h, 0, channels == 4 ? GL_RGBA : GL_RGB,
                 GL_UNSIGNED_BYTE, px.data());
    return id;
}

// A texture from a data file ("@" name), level 0 only.
GLuint load_texture(const std::string& name)
{
    ImageBuffer im;
    if (image_load_texture(name.c_str(), &im, nullptr) != IMAGE_LOAD_PICTURE)
        return 0;
    if (im.channels != 3 && im.channels != 4)
        return 0;
    im.pixels.resize(size_t(im.width) * size_t(im.height) * size_t(im.channels));
    return upload(im.width, im.height, im.channels, im.pixels);
}

bool save_png(const std::string& path, int w, int h, const std::vector<unsigned char>& rgb)
{
    return image_write_png_rgb(path.c_str(), rgb.data(), w, h);
}

// A white plate with a black "23" made of blocks, as a stand-in for the
// game's number plate.
GLuint plate_texture()
{
    std::vector<unsigned char> px(128 * 128 * 3, 240);
    auto block = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++)
                for (int k = 0; k < 3; k++)
                    px[size_t((y * 128 + x) * 3 + k)] = 20;
    };
    // "2"
    block(14, 24, 58, 36), block(46, 24, 58, 64), block(14, 58, 58, 70), block(14, 58, 26, 104), block(14, 92, 58, 104);
    // "3"
    block(70, 24, 114, 36), block(102, 24, 114, 104), block(78, 58, 114, 70), block(70, 92, 114, 104);
    return upload(128, 128, 3, px);
}

// Angular environment map: sky at the centre, the horizon at radius 0.25,
// brown ground beyond.
GLuint env_texture()
{
    const int n = 128;
    std::vector<unsigned char> px(size_t(n) * n * 3);
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            double r = std::hypot((x + 0.5) / n - 0.5, (y + 0.5) / n - 0.5);
            unsigned char* p = &px[size_t((y * n + x) * 3)];
            if (r < 0.25) {
                double t = r / 0.25;
                p[0] = (unsigned char)(120 + 100 * t), p[1] = (unsigned char)(160 + 80 * t), p[2] = 250;
            } else {
                p[0] = 110, p[1] = 90, p[2] = 60;
            }
        }
    return upload(n, n, 3, px);
}

// Rider skeleton and head for a bike standing at its build positions (all
// bodies unrotated, at rest), posed by the rider drawing's own solve.
struct Skeleton {
    float matrices[81], rest[27], origins[27];
};

RiderPoseInput build_pose()
{
    auto at = [](double x, double y, double z) {
        return BodyPose{vec3(x, y, z), {vec3(1, 0, 0), vec3(0, 1, 0), vec3(0, 0, 1)}};
    };
    RiderPoseInput in{};
    in.frame = at(0, 1.98, 3.6);
    in.fork_upper = at(0, 2.9, 2.16);
    in.rider = at(0, 4.5, 4.12);
    return in;
}

Skeleton rider_skeleton()
{
    const BikeModel& m = *bike_model_lookup("crf250(2009)");
    RiderPoseInput in = build_pose();
    RiderSkeleton rs = rider_skeleton_from_pose(in, m, rider_feet_at_pegs(in, m));
    Skeleton s{};
    std::copy(rs.matrices, rs.matrices + 81, s.matrices);
    std::copy(rs.origins, rs.origins + 27, s.origins);
    std::copy(rider_rest_origins(), rider_rest_origins() + 27, s.rest);
    return s;
}

// The head's rotation for a rider at rest (no velocity), columns x, y, z.
void head_axes(float out[9])
{
    HeadPose h = head_pose_from_pose(build_pose(), *bike_model_lookup("crf250(2009)"));
    for (int k = 0; k < 3; k++) {
        out[k * 3] = float(h.axis[k].x);
        out[k * 3 + 1] = float(h.axis[k].y);
        out[k * 3 + 2] = float(h.axis[k].z);
    }
}

struct BikeParts {
    Mesh *frame, *fork_upper, *fork_lower, *swingarm, *front_wheel, *rear_wheel, *body, *head, *front_plate,
        *side_plates, *rider_plate;
    GLuint bike_tex, wheel_tex, body_tex, head_tex, plate_tex, env_tex;
};

// The variants are chosen for `lod_camera`; the view itself is set by
// setup_view.
Vec3 lod_camera{0, 0, 0};

void draw_at(Mesh* m, Vec3 pos, const float* rot, bool env, const ModelBones* bones = nullptr)
{
    if (!m)
        return;
    glPushMatrix();
    if (!bones) {
        glTranslated(pos.x, pos.y, pos.z);
        if (rot) {
            GLfloat mat[16] = {rot[0], rot[1], rot[2], 0, rot[3], rot[4], rot[5], 0,
                               rot[6], rot[7], rot[8], 0, 0,      0,      0,      1};
            glMultMatrixf(mat);
        }
    }
    const float view[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    if (env)
        model_draw_env(m, lod_camera, pos, view, bones);
    else
        model_draw_lit(m, lod_camera, pos, bones);
    glPopMatrix();
}

void draw_bike(const BikeParts& p, const Skeleton& sk, const float* head_rot)
{
    ModelBones bones{9, sk.matrices, sk.rest, sk.origins};
    Vec3 head_point = vec3(0, 4.5 + 0.808383, 4.12 - 0.94336945);
    for (int pass = 0; pass < 2; pass++) {
        bool env = pass == 1;
        if (env) {
            glDisable(GL_LIGHTING);
            glEnable(GL_BLEND);
            glBlendFunc(GL_ONE, GL_ONE);
            glDepthFunc(GL_LEQUAL);
            glBindTexture(GL_TEXTURE_2D, p.env_tex);
        } else {
            glEnable(GL_LIGHTING);
            glDisable(GL_BLEND);
            glDepthFunc(GL_LESS);
        }
        auto bind = [&](GLuint t) {
            if (!env)
                glBindTexture(GL_TEXTURE_2D, t);
        };
        bind(p.bike_tex);
        draw_at(p.frame, vec3(0, 1.98, 3.6), nullptr, env);
        draw_at(p.fork_upper, vec3(0, 2.9, 2.16), nullptr, env);
        draw_at(p.fork_lower, vec3(0, 1.77, 1.59), nullptr, env);
        draw_at(p.swingarm, vec3(0, 1.34, 4.99), nullptr, env);
        bind(p.wheel_tex);
        draw_at(p.front_wheel, vec3(0, 1.09, 1.11), nullptr, env);
        draw_at(p.rear_wheel, vec3(0, 1.04, 6.0), nullptr, env);
        bind(p.body_tex);
        draw_at(p.body, vec3(0, 4.5, 4.12), nullptr, env, &bones);
        bind(p.head_tex);
        draw_at(p.head, head_point, head_rot, env);
        bind(p.plate_tex);
        draw_at(p.front_plate, vec3(0, 2.9, 2.16), nullptr, env);
        draw_at(p.side_plates, vec3(0, 1.98, 3.6), nullptr, env);
        draw_at(p.rider_plate, vec3(0, 4.5, 4.12), nullptr, env, &bones);
    }
    glDisable(GL_BLEND);
    glDepthFunc(GL_LESS);
}

BikeParts load_parts(const char* make)
{
    std::string m = std::string("@") + make;
    BikeParts p{};
    p.frame = model_load((m + "_frame.jm").c_str());
    p.fork_upper = model_load((m + "_fork_upper.jm").c_str());
    p.fork_lower = model_load((m + "_fork_lower.jm").c_str());
    p.swingarm = model_load((m + "_swingarm.jm").c_str());
    p.front_plate = model_load((m + "_front_plate.jm").c_str());
    p.side_plates = model_load((m + "_side_plates.jm").c_str());
    p.front_wheel = model_load("@front_wheel.jm");
    p.rear_wheel = model_load("@rear_wheel.jm");
    p.body = model_load("@rider_body.jm");
    p.head = model_load("@rider_head.jm");
    p.rider_plate = model_load("@rider_plate.jm");
    p.bike_tex = load_texture("@" + std::string(make) + ".png");
    p.wheel_tex = load_texture("@wheels.png");
    p.body_tex = load_texture("@rider_body.png");
    p.head_tex = load_texture("@rider_head.png");
    p.plate_tex = plate_texture();
    p.env_tex = env_texture();
    return p;
}

void setup_view(double yaw_degrees, double pitch_degrees, double distance)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.4, 0.4, -0.3, 0.3, 1, 200);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    GLfloat light[4] = {0.4f, 0.8f, 0.45f, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    glTranslated(0, 0, -distance);
    glRotated(pitch_degrees, 1, 0, 0);
    glRotated(yaw_degrees, 0, 1, 0);
    glTranslated(0, -2.9, -3.7);
}

}  // namespace

TEST(ModelGl, TurntableOfEveryBike)
{
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "no built data set";
    const int TW = 400, TH = 300;
    GlWindow gl(TW, TH);
    if (!gl.window)
        GTEST_SKIP() << "no window";
    model_cache_clear();
    model_set_draw_options(ModelDrawOptions());
    fs::path out = fs::path(KESTRUM_BINARY_DIR) / "turntable";
    fs::create_directories(out);

    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);  // shows any triangle wound the wrong way
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);
    GLfloat white[4] = {1, 1, 1, 1}, ambient[4] = {0.45f, 0.45f, 0.45f, 1}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, white);
    glMaterialfv(GL_FRONT, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, white);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, 0x81FA);  // separate specular
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    Skeleton sk = rider_skeleton();
    float head_rot[9];
    head_axes(head_rot);
    const char* makes[] = {"crf250", "kx250f", "rmz250", "yz250f", "cr125", "kx125", "rm125", "yz125", "125sx"};
    const double yaws[] = {-90, -35, 35, 90, 180, 0};  // right side, front quarters, left side, front, rear
    for (const char* make : makes) {
        BikeParts p = load_parts(make);
        ASSERT_TRUE(p.frame && p.fork_upper && p.fork_lower && p.swingarm && p.front_plate && p.side_plates) << make;
        ASSERT_TRUE(p.front_wheel && p.rear_wheel && p.body && p.head && p.rider_plate);
        EXPECT_NE(p.bike_tex, 0u) << make;

        std::vector<unsigned char> sheet(size_t(TW) * 3 * size_t(TH) * 2 * 3);
        for (int view = 0; view < 6; view++) {
            glClearColor(0.55f, 0.7f, 0.85f, 1);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            setup_view(yaws[view], view < 4 ? 12 : 8, 11.5);
            draw_bike(p, sk, head_rot);
            std::vector<unsigned char> px(size_t(TW) * TH * 3);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, TW, TH, GL_RGB, GL_UNSIGNED_BYTE, px.data());
            int sx = (view % 3) * TW, sy = (1 - view / 3) * TH;  // sheet rows bottom-up like GL
            for (int y = 0; y < TH; y++)
                std::copy(&px[size_t(y) * TW * 3], &px[size_t(y) * TW * 3] + TW * 3,
                          &sheet[(size_t(sy + y) * TW * 3 + size_t(sx)) * 3]);
            // Something other than sky fills a good part of the picture.
            int busy = 0;
            for (size_t i = 0; i < px.size(); i += 3)
                if (std::abs(px[i] - 140) + std::abs(px[i + 1] - 178) + std::abs(px[i + 2] - 217) > 30)
                    busy++;
            EXPECT_GT(busy, TW * TH / 10) << make << " view " << view;
        }
        EXPECT_TRUE(save_png((out / (std::string(make) + ".png")).string(), TW * 3, TH * 2, sheet));
        GLuint textures[6] = {p.bike_tex, p.wheel_tex, p.body_tex, p.head_tex, p.plate_tex, p.env_tex};
        glDeleteTextures(6, textures);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// The coarser copies drawn from up close beside the full model (written to
// turntable/variants.png): each covers nearly the same pixels as the full
// bike and rider, so nothing is missing or out of place. The shipped
// chase view, 19 ft away, still gets the full models.
TEST(ModelGl, TurntableOfTheDistanceVariants)
{
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "no built data set";
    const int TW = 400, TH = 300;
    GlWindow gl(TW, TH);
    if (!gl.window)
        GTEST_SKIP() << "no window";
    model_cache_clear();
    model_set_draw_options(ModelDrawOptions());
    fs::path out = fs::path(KESTRUM_BINARY_DIR) / "turntable";
    fs::create_directories(out);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);
    GLfloat white[4] = {1, 1, 1, 1};
    glMaterialfv(GL_FRONT, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, white);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    Skeleton sk = rider_skeleton();
    float head_rot[9];
    head_axes(head_rot);
    BikeParts p = load_parts("crf250");
    ASSERT_TRUE(p.frame && p.front_wheel && p.rear_wheel && p.body && p.head);
    for (Mesh* m : {p.frame, p.fork_upper, p.fork_lower, p.swingarm, p.front_wheel, p.rear_wheel, p.body, p.head}) {
        ASSERT_TRUE(m->next_lod && m->next_lod->next_lod) << m->name;
        EXPECT_EQ(model_choose_variant(m, vec3(0, 7, 18), vec3(0, 0, 0)), m) << m->name;
    }
    // Far enough that every part uses the variant, whatever its position.
    const double cameras[] = {0, 64, 256};
    const double yaws[] = {-90, -35, 180};
    std::vector<unsigned char> sheet(size_t(TW) * 3 * size_t(TH) * 3 * 3);
    for (int view = 0; view < 3; view++) {
        int full_busy = 0;
        for (int level = 0; level < 3; level++) {
            lod_camera = vec3(0, 0, -cameras[level]);
            glClearColor(0.55f, 0.7f, 0.85f, 1);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            setup_view(yaws[view], 12, 11.5);
            draw_bike(p, sk, head_rot);
            std::vector<unsigned char> px(size_t(TW) * TH * 3);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, TW, TH, GL_RGB, GL_UNSIGNED_BYTE, px.data());
            int sx = level * TW, sy = (2 - view) * TH;
            for (int y = 0; y < TH; y++)
                std::copy(&px[size_t(y) * TW * 3], &px[size_t(y) * TW * 3] + TW * 3,
                          &sheet[(size_t(sy + y) * TW * 3 + size_t(sx)) * 3]);
            int busy = 0;
            for (size_t i = 0; i < px.size(); i += 3)
                if (std::abs(px[i] - 140) + std::abs(px[i + 1] - 178) + std::abs(px[i + 2] - 217) > 30)
                    busy++;
            if (level == 0)
                full_busy = busy;
            else
                EXPECT_NEAR(busy, full_busy, full_busy * 0.12) << "view " << view << " level " << level;
        }
    }
    lod_camera = vec3(0, 0, 0);
    EXPECT_TRUE(save_png((out / "variants.png").string(), TW * 3, TH * 3, sheet));
    GLuint textures[6] = {p.bike_tex, p.wheel_tex, p.body_tex, p.head_tex, p.plate_tex, p.env_tex};
    glDeleteTextures(6, textures);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(ModelGl, SceneryPictures)
{
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "no built data set";
    const int TW = 300, TH = 225;
    GlWindow gl(TW, TH);
    if (!gl.window)
        GTEST_SKIP() << "no window";
    model_cache_clear();
    fs::path out = fs::path(KESTRUM_BINARY_DIR) / "turntable";
    fs::create_directories(out);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    GLfloat white[4] = {1, 1, 1, 1}, ambient[4] = {0.45f, 0.45f, 0.45f, 1}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, white);
    struct Item {
        const char *model, *texture;
        double size, raise;  // view size (ft), start gate raise
    };
    const Item items[] = {
        {"@startgate.jm", "startgate.ppm", 5, 1},     {"@startgate.jm", "startgate.ppm", 5, 0},
        {"@statues/haybale.jm", "statues/haybale.png", 6, 0}, {"@statues/tuffblock.jm", "statues/tuffblock.png", 8, 0},
        {"@statues/grandstand.jm", "statues/grandstand.png", 40, 0}, {"@statues/tent.jm", "statues/tent.png", 16, 0},
        {"@statues/fence.jm", "statues/fence.png", 12, 0}, {"@statues/banner.jm", "statues/banner.png", 14, 0},
        {"@statues/tree.jm", "statues/tree.png", 30, 0},
    };
    std::vector<unsigned char> sheet(size_t(TW) * 3 * size_t(TH) * 3 * 3);
    for (int i = 0; i < 9; i++) {
        const Item& it = items[i];
        Mesh* m = model_load(it.model);
        ASSERT_TRUE(m) << it.model;
        GLuint tex = load_texture(std::string("@") + it.texture);
        ASSERT_NE(tex, 0u) << it.texture;
        glClearColor(0.55f, 0.7f, 0.85f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-0.4, 0.4, -0.3, 0.3, 1, 1000);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        GLfloat light[4] = {0.4f, 0.8f, 0.45f, 0};
        glLightfv(GL_LIGHT0, GL_POSITION, light);
        glTranslated(0, -it.size * 0.15, -it.size * 2.2);
        glRotated(15, 1, 0, 0);
        glRotated(-30, 0, 1, 0);
        glRotated(it.raise * 33.75, 1, 0, 0);
        glBindTexture(GL_TEXTURE_2D, tex);
        model_draw_lit(m, vec3(0, 0, 0), vec3(0, 0, 0));
        std::vector<unsigned char> px(size_t(TW) * TH * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, TW, TH, GL_RGB, GL_UNSIGNED_BYTE, px.data());
        int busy = 0;
        for (size_t k = 0; k < px.size(); k += 3)
            if (std::abs(px[k] - 140) + std::abs(px[k + 1] - 178) + std::abs(px[k + 2] - 217) > 30)
                busy++;
        EXPECT_GT(busy, TW * TH / 40) << it.model;
        int sx = (i % 3) * TW, sy = (2 - i / 3) * TH;
        for (int y = 0; y < TH; y++)
            std::copy(&px[size_t(y) * TW * 3], &px[size_t(y) * TW * 3] + TW * 3,
                      &sheet[(size_t(sy + y) * TW * 3 + size_t(sx)) * 3]);
        glDeleteTextures(1, &tex);
    }
    EXPECT_TRUE(save_png((out / "scenery.png").string(), TW * 3, TH * 3, sheet));
}
