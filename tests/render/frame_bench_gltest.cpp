// The frame benchmark: a race on the start track drawn at 1280 x 720 the
// way the game draws it, with 1, 10 and 40 riders, with vertex arrays, in
// flat shading ("--fugly"), in immediate mode ("--novertexarrays") and
// with the models' distance variants switched off ("--lod-bias 1024", the
// same race drawn with full models only, for comparison). Prints the median
// and worst frame times; runs only with KESTRUM_BENCH set (and means
// something only in an optimised build).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <sys/resource.h>

#include "core/app/app_scene.h"
#include "core/session.h"
#include "files/config.h"
#include "files/model_file.h"
#include "physics/bike.h"
#include "platform/window.h"
#include "render/gl_caps.h"
#include "render/scene_stats.h"
#include "render/terrain_render.h"
#include "test_support.h"

namespace {

constexpr int W = 1280, H = 720;

// CPU time of the whole process (the driver's threads included), in ms:
// on a busy machine it moves less than the wall-clock time.
double process_cpu_ms()
{
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

Vec3 frame_of(const Bike* b, Vec3* velocity)
{
    const dReal* p = dBodyGetPosition(b->body[BODY_FRAME]);
    const dReal* v = dBodyGetLinearVel(b->body[BODY_FRAME]);
    *velocity = vec3(v[0], v[1], v[2]);
    return vec3(p[0], p[1], p[2]);
}

}  // namespace

TEST(FrameBench, OakbasinRaceAt1280x720)
{
    if (!std::getenv("KESTRUM_BENCH"))
        GTEST_SKIP() << "benchmark: set KESTRUM_BENCH=1";
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "no built data set";
    WindowRequest req{"frame bench", W, H, 24, 8, 24, 0, 0, true};
    Window* win = window_open(req);
    if (!win)
        GTEST_SKIP() << "no window can be opened";
    config_reset_defaults();
    gl_caps_query();
    terrain_render_install();
    app_scene_install();
    ASSERT_TRUE(physics_world_init());
    struct Mode {
        const char* name;
        bool flat, arrays;
        double lod_bias;
    } modes[] = {{"normal", false, true, 0},
                 {"--fugly", true, true, 0},
                 {"--novertexarrays", false, false, 0},
                 {"--lod-bias 1024", false, true, 1024}};
    for (int riders : {1, 10, 40}) {
        Session& s = session();
        s.settings.track = "oakbasin";
        s.settings.follow_course = true;
        s.settings.learn = false;
        s.settings.seed = riders;  // the same race every run, so builds compare
        int lineup[SLOT_COUNT] = {};
        for (int j = 0; j < riders; j++)
            lineup[j] = LINEUP_ROBOT;
        ASSERT_TRUE(session_start(lineup, false, false, 0, 3, 1));
        // Twenty seconds into the race the field is spread over the start.
        while (s.race.timing.clock < s.race.timing.start_tick + 20 * TICKS_PER_SECOND)
            simulation_tick();
        for (const Mode& m : modes) {
            glShadeModel(m.flat ? GL_FLAT : GL_SMOOTH);
            terrain_render_set_vertex_arrays(m.arrays);
            lod_settings_set(1, m.lod_bias);
            std::vector<double> ms, cpu;
            std::vector<long> triangles;
            for (int f = 0; f < 90; f++) {
                for (int k = 0; k < 4; k++)
                    simulation_tick();  // the race goes on at about 32 frames a second
                Vec3 v;
                Vec3 at = frame_of(s.riders[0].bike, &v);
                Vec3 back = vec3_length(vec3(v.x, 0, v.z)) > 1 ? vec3_normalize(vec3(v.x, 0, v.z)) : vec3(0, 0, -1);
                Vec3 eye = at - back * 18 + vec3(0, 7, 0);
                double c0 = process_cpu_ms();
                auto t0 = std::chrono::steady_clock::now();
                glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
                app_scene_draw(W, H, false, -1, eye, vec3_normalize(at - eye), vec3(0, 1, 0));
                glFinish();
                auto t1 = std::chrono::steady_clock::now();
                double c1 = process_cpu_ms();
                if (f >= 10) {  // the first frames load textures and models
                    ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
                    cpu.push_back(c1 - c0);
                }
                if (f >= 10)
                    triangles.push_back(render_stats().model_triangles);
            }
            std::sort(ms.begin(), ms.end());
            std::sort(cpu.begin(), cpu.end());
            std::sort(triangles.begin(), triangles.end());
            std::printf("frame %dx%d, %2d riders, %-17s median %6.2f ms (%5.1f fps), worst %6.2f ms, "
                        "CPU median %6.2f ms, median %ld model triangles\n",
                        W, H, riders, m.name, ms[ms.size() / 2], 1000 / ms[ms.size() / 2], ms.back(),
                        cpu[cpu.size() / 2], triangles[triangles.size() / 2]);
        }
        glShadeModel(GL_SMOOTH);
        terrain_render_set_vertex_arrays(true);
        lod_settings_set(1, 0);
        session_end();
    }
    session().settings.seed = -1;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    window_close(win);
}
