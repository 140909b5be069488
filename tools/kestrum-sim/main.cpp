// kestrum-sim: headless races for benchmarks and racing-line training.
// Runs a race session on a track without a window or GL, as fast as the
// machine allows, and prints each rider's race and what it cost.
#include "sim_options.h"
#include "sim_report.h"

#include "core/session.h"
#include "files/config.h"
#include "files/stream.h"
#include "physics/bike.h"
#include "physics/bike_model.h"
#include "physics/chassis.h"
#include "platform/clock.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

std::string default_data_folder()
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "game";
    buf[n] = 0;
    std::string p = buf;
    return p.substr(0, p.rfind('/') + 1) + "game";
}

void trace_line(const Session& s, int slot)
{
    const Bike* b = s.riders[slot].bike;
    if (!b)
        return;
    const dReal* p = dBodyGetPosition(b->body[BODY_FRAME]);
    const dReal* v = dBodyGetLinearVel(b->body[BODY_FRAME]);
    const dReal* r = dBodyGetRotation(b->body[BODY_FRAME]);
    std::printf("t %5.1f slot %d at %7.1f %6.1f %7.1f speed %5.1f up %5.2f gear %d gates %d steer %5.2f "
                "throttle %4.2f rpm %5.0f crash %4.1f wheels %c%c nose %5.2f roll %5.2f objects %03x capture %d stalled %.1f point %d",
                s.race.timing.clock / double(TICKS_PER_SECOND), slot, p[0], p[1], p[2], std::hypot(v[0], v[2]), r[5],
                bike_gear(b), s.riders[slot].progress.gates_passed, b->controls.steer, b->controls.throttle,
                bike_rpm(b), b->crash_timer,
                b->wheel[0].depth > 0 ? 'F' : '-', b->wheel[1].depth > 0 ? 'R' : '-', -r[6], body_roll(b->body[BODY_FRAME]),
                b->object_touch_parts, s.riders[slot].robot.capture,
                s.riders[slot].robot.stall_ticks / double(TICKS_PER_SECOND), s.riders[slot].robot.point_index);
    const auto& buf = s.riders[slot].lines.buffer;
    size_t i = size_t(s.riders[slot].robot.point_index);
    if (i < buf.size())
        std::printf(" next at %.1f %.1f", buf[i].x, buf[i].z);
    std::printf("\n");
}

// User and system time this process has used: unlike wall time it does
// not grow when other programs share the machine.
double cpu_seconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + 1e-6 * double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec);
}

// The simulated-time cap: two minutes a lap, or the time limit plus ten
// minutes for the laps after it.
int default_cap_seconds(const SimOptions& o)
{
    if (o.minutes > 0)
        return o.minutes * 60 + 600 + o.laps * 120;
    return o.laps * 120 + 60;
}

}  // namespace

int main(int argc, char** argv)
{
    SimOptions o;
    if (!sim_options_parse(argc, argv, &o)) {
        sim_usage();
        return 2;
    }
    std::string data = o.data.empty() ? default_data_folder() : o.data;
    setenv("RQ_HOME", data.c_str(), 1);
    data_paths_reset();
    config_reset_defaults();
    if (!physics_world_init()) {
        std::fprintf(stderr, "kestrum-sim: the physics library is not usable\n");
        return 1;
    }
    // The catalogue would quietly ride another bike for an unknown name.
    if (!o.bike.empty() && !bike_model_find(bike_name_map(o.bike.c_str()))) {
        std::fprintf(stderr, "kestrum-sim: no bike named '%s'\n", o.bike.c_str());
        return 1;
    }
    Session& s = session();
    s.settings.track = o.track;
    s.settings.learn = o.learn;
    s.settings.practice = o.practice;
    s.settings.follow_course = o.driver == SIM_DRIVER_FOLLOW;
    s.settings.robot_bike = o.bike;
    if (o.seed >= 0)
        s.settings.seed = o.seed;
    int lineup[SLOT_COUNT] = {};
    for (int j = 0; j < o.riders; j++)
        lineup[j] = LINEUP_ROBOT;
    SimRun run;
    run.options = o;
    double t0 = clock_seconds(clock_now());
    if (!session_start(lineup, false, false, o.minutes * 60 * TICKS_PER_SECOND, o.laps, o.skill)) {
        std::fprintf(stderr, "kestrum-sim: can't load track '%s' from %s\n", o.track.c_str(), data.c_str());
        return 1;
    }
    for (int j = 0; j < o.riders; j++)
        if (!s.riders[j].bike) {
            std::fprintf(stderr, "kestrum-sim: can't make the bike for gate %d\n", j + 1);
            session_end();
            return 1;
        }
    for (int j = 0; j < o.riders; j++)
        s.riders[j].follower.speed_limit = o.pace;
    double t1 = clock_seconds(clock_now());
    double cpu1 = cpu_seconds();
    if (o.driver == SIM_DRIVER_FOLLOW && s.follow_path.points.empty())
        std::fprintf(stderr, "kestrum-sim: track '%s' has no course line; the riders stand\n", o.track.c_str());

    int cap = (o.max_seconds > 0 ? o.max_seconds : default_cap_seconds(o)) * TICKS_PER_SECOND;
    while (run.ticks < cap && !s.race.timing.results_final) {
        simulation_tick();
        run.ticks++;
        sim_run_observe(&run, s);
        if (o.trace && run.ticks % TICKS_PER_SECOND == 0)
            trace_line(s, o.trace_slot);
    }
    double t2 = clock_seconds(clock_now());
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    run.setup_seconds = t1 - t0;
    run.wall_seconds = t2 - t1;
    run.cpu_seconds = cpu_seconds() - cpu1;
    run.peak_rss_kb = ru.ru_maxrss;
    run.state_hash = session_state_hash();
    if (o.json)
        sim_report_json(run, s, stdout);
    else
        sim_report_text(run, s, stdout);
    session_end();
    physics_world_close();
    return 0;
}
