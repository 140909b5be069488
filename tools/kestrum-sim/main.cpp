// kestrum-sim: headless races for benchmarks and racing-line training.
// Runs a session on a track with a number of robot riders for a number of
// simulated seconds and prints what it cost.
#include "core/session.h"
#include "files/config.h"
#include "files/stream.h"
#include "physics/bike.h"
#include "platform/clock.h"
#include "track/track.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

void usage()
{
    std::fprintf(stderr,
                 "usage: kestrum-sim [--track NAME] [--riders N] [--seconds S] [--laps L]\n"
                 "                   [--follow] [--trace] [--data DIR]\n"
                 "  Runs a headless race of N robot riders (1..40, default 8) on a track\n"
                 "  (default oakbasin) for at most S simulated seconds (default 30), or\n"
                 "  until every rider has run L laps (default 3), and prints ticks per\n"
                 "  second, time per tick, peak memory, each rider's laps and a hash of\n"
                 "  the final body states. --follow: the robots ride the course centre\n"
                 "  line (without it they stand at the gate). --trace prints slot 0 once\n"
                 "  a simulated second. DIR is a data folder\n"
                 "  (default: game/ beside this program).\n");
}

bool int_arg(const char* v, int lo, int hi, int* out)
{
    char* end = nullptr;
    long n = v ? std::strtol(v, &end, 10) : 0;
    if (!v || *end || n < lo || n > hi)
        return false;
    *out = int(n);
    return true;
}

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

}  // namespace

int main(int argc, char** argv)
{
    std::string track = "oakbasin", data = default_data_folder();
    int riders = 8, seconds = 30, laps = 3;
    bool follow = false, trace = false;
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!std::strcmp(a, "--track") && v) {
            track = v;
            i++;
        } else if (!std::strcmp(a, "--data") && v) {
            data = v;
            i++;
        } else if (!std::strcmp(a, "--riders") && int_arg(v, 1, SLOT_COUNT, &riders)) {
            i++;
        } else if (!std::strcmp(a, "--seconds") && int_arg(v, 1, 3600, &seconds)) {
            i++;
        } else if (!std::strcmp(a, "--laps") && int_arg(v, 1, 100, &laps)) {
            i++;
        } else if (!std::strcmp(a, "--follow")) {
            follow = true;
        } else if (!std::strcmp(a, "--trace")) {
            trace = true;
        } else {
            usage();
            return 2;
        }
    }
    setenv("RQ_HOME", data.c_str(), 1);
    data_paths_reset();
    config_reset_defaults();
    if (!physics_world_init()) {
        std::fprintf(stderr, "kestrum-sim: the physics library is not usable\n");
        return 1;
    }
    Session& s = session();
    s.settings.track = track;
    s.settings.learn = false;
    s.settings.follow_course = follow;
    int lineup[SLOT_COUNT] = {};
    for (int j = 0; j < riders; j++)
        lineup[j] = LINEUP_ROBOT;
    double t0 = clock_seconds(clock_now());
    if (!session_start(lineup, false, false, 0, laps, 0)) {
        std::fprintf(stderr, "kestrum-sim: can't load track '%s' from %s\n", track.c_str(), data.c_str());
        return 1;
    }
    double t1 = clock_seconds(clock_now());
    if (follow && s.follow_path.points.empty())
        std::fprintf(stderr, "kestrum-sim: track '%s' has no course line; the robots stand\n", track.c_str());
    int limit = seconds * TICKS_PER_SECOND, ticks = 0;
    while (ticks < limit && !s.race.timing.results_final) {
        simulation_tick();
        ticks++;
        if (trace && ticks % TICKS_PER_SECOND == 0 && s.riders[0].bike) {
            const Bike* b = s.riders[0].bike;
            const dReal* p = dBodyGetPosition(b->body[BODY_FRAME]);
            const dReal* v = dBodyGetLinearVel(b->body[BODY_FRAME]);
            const dReal* r = dBodyGetRotation(b->body[BODY_FRAME]);
            std::printf("t %5.1f slot 0 at %7.1f %6.1f %7.1f speed %5.1f up %5.2f gear %d gates %d steer %5.2f throttle %4.2f rpm %5.0f crash %4.1f\n",
                        s.race.timing.clock / double(TICKS_PER_SECOND), p[0], p[1], p[2], std::hypot(v[0], v[2]), r[5],
                        bike_gear(b), s.riders[0].progress.gates_passed, b->controls.steer, b->controls.throttle, bike_rpm(b), b->crash_timer);
        }
    }
    double t2 = clock_seconds(clock_now());
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    double run = t2 - t1;
    std::printf("track %s, %d riders, %d simulated seconds\n", track.c_str(), riders, seconds);
    std::printf("set-up %.3f s\n", t1 - t0);
    std::printf("ticks %d in %.3f s: %.0f ticks/s, %.1f us/tick, %.1f x real time\n", ticks, run,
                ticks / run, run / ticks * 1e6, seconds / run);
    std::printf("peak memory %ld MB\n", ru.ru_maxrss / 1024);
    std::printf("race %s after %.1f s (start at %.1f s)\n", s.race.timing.results_final ? "finished" : "not finished",
                s.race.timing.clock / double(TICKS_PER_SECOND), s.race.timing.start_tick / double(TICKS_PER_SECOND));
    const RaceTiming& rt = s.race.timing;
    for (int i = 0; i < rt.standings_count; i++) {
        const Rider& r = s.riders[rt.standings[i].slot];
        int done = laps_completed(&s.course, &r.progress);
        int skipped = 0;
        for (int p = 0; p < r.progress.gates_passed; p++)
            skipped += gate_time(&r.progress, p) < 0;
        std::printf("%2d. slot %2d #%-3s %-16s gates %3d skipped %d laps %d:", i + 1, rt.standings[i].slot,
                    bike_rider_number(r.bike), bike_model_name(r.bike), r.progress.gates_passed, skipped, done);
        for (int lap = 1; lap <= done; lap++)
            std::printf(" %.2f", lap_time(&s.course, &rt, &r.progress, lap));
        std::printf("\n");
    }
    std::printf("state hash %016llx\n", (unsigned long long)session_state_hash());
    session_end();
    physics_world_close();
    return 0;
}
