// kestrum-sim: headless races for benchmarks and racing-line training.
// Runs a session on a track with a number of robot riders for a number of
// simulated seconds and prints what it cost.
#include "core/session.h"
#include "files/config.h"
#include "files/stream.h"
#include "physics/bike.h"
#include "platform/clock.h"
#include "track/track.h"

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
                 "usage: kestrum-sim [--track NAME] [--riders N] [--seconds S] [--data DIR]\n"
                 "  Runs a headless race of N robot riders (1..40, default 8) on a track\n"
                 "  (default oakbasin) for S simulated seconds (default 30) and prints\n"
                 "  ticks per second, time per tick and peak memory. DIR is a data folder\n"
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
    int riders = 8, seconds = 30;
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
    int lineup[SLOT_COUNT] = {};
    for (int j = 0; j < riders; j++)
        lineup[j] = LINEUP_ROBOT;
    double t0 = clock_seconds(clock_now());
    if (!session_start(lineup, false, false, 0, 1000, 0)) {
        std::fprintf(stderr, "kestrum-sim: can't load track '%s' from %s\n", track.c_str(), data.c_str());
        return 1;
    }
    double t1 = clock_seconds(clock_now());
    int ticks = seconds * TICKS_PER_SECOND;
    for (int t = 0; t < ticks; t++)
        simulation_tick();
    double t2 = clock_seconds(clock_now());
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    double run = t2 - t1;
    std::printf("track %s, %d riders, %d simulated seconds\n", track.c_str(), riders, seconds);
    std::printf("set-up %.3f s\n", t1 - t0);
    std::printf("ticks %d in %.3f s: %.0f ticks/s, %.1f us/tick, %.1f x real time\n", ticks, run,
                ticks / run, run / ticks * 1e6, seconds / run);
    std::printf("peak memory %ld MB\n", ru.ru_maxrss / 1024);
    session_end();
    physics_world_close();
    return 0;
}
