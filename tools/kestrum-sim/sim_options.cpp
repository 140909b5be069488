#include "sim_options.h"

#include "core/session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool integer(const char* v, long long lo, long long hi, long long* out)
{
    if (!v || !*v)
        return false;
    char* end = nullptr;
    long long n = std::strtoll(v, &end, 10);
    if (*end || n < lo || n > hi)
        return false;
    *out = n;
    return true;
}

}  // namespace

void sim_usage()
{
    std::fprintf(stderr,
                 "usage: kestrum-sim [--track NAME] [--riders N] [--bike NAME] [--laps N] [--minutes M]\n"
                 "                   [--seconds S] [--seed N] [--driver follow|robot]\n"
                 "                   [--skill novice|amateur|expert] [--practice] [--learn] [--pace V]\n"
                 "                   [--json] [--trace] [--trace-slot N] [--data DIR]\n"
                 "  Runs a headless race of N riders (1..40, default 8) on a track (default\n"
                 "  oakbasin) as fast as the machine allows and prints each rider's laps,\n"
                 "  lap times, crashes and missed gates, the standings and what it cost.\n"
                 "  --laps N       race of N laps (default 3); with --minutes, laps after the time\n"
                 "  --minutes M    race of M minutes plus the --laps given (default none)\n"
                 "  --seconds S    stop after S simulated seconds even if the race goes on\n"
                 "                 (default: 120 s a lap or the time limit plus 10 minutes)\n"
                 "  --bike NAME    every rider rides this catalogue bike (default: the roster's)\n"
                 "  --seed N       the session's random seed (default: the first session's)\n"
                 "  --driver D     follow: riders ride the course centre line (default);\n"
                 "                 robot: the robot controller on the skill's racing lines\n"
                 "  --skill S      whose racing lines: novice (default), amateur or expert\n"
                 "  --practice     every robot explores the lines least tried\n"
                 "  --learn        the laps ridden teach the skill's racing lines, which are\n"
                 "                 saved to the user folder after the race\n"
                 "  --pace V       the course followers' top speed in ft/s (default 40)\n"
                 "  --json         one JSON object on standard output instead of the summary\n"
                 "  --trace        slot 0's state once a simulated second\n"
                 "  --trace-slot N the same for slot N\n"
                 "  --data DIR     the data folder (default: game/ beside this program)\n");
}

bool sim_options_parse(int argc, char** argv, SimOptions* o)
{
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        long long n = 0;
        bool takes_value = true;
        bool ok = true;
        if (!std::strcmp(a, "--track") && v && *v) {
            o->track = v;
        } else if (!std::strcmp(a, "--data") && v && *v) {
            o->data = v;
        } else if (!std::strcmp(a, "--bike") && v && *v) {
            o->bike = v;
        } else if (!std::strcmp(a, "--riders")) {
            ok = integer(v, 1, SLOT_COUNT, &n);
            o->riders = int(n);
        } else if (!std::strcmp(a, "--laps")) {
            ok = integer(v, 0, 100, &n);
            o->laps = int(n);
            o->laps_given = true;
        } else if (!std::strcmp(a, "--minutes")) {
            ok = integer(v, 1, 120, &n);
            o->minutes = int(n);
        } else if (!std::strcmp(a, "--seconds")) {
            ok = integer(v, 1, 4 * 3600, &n);
            o->max_seconds = int(n);
        } else if (!std::strcmp(a, "--trace-slot")) {
            ok = integer(v, 0, SLOT_COUNT - 1, &n);
            o->trace_slot = int(n);
            o->trace = true;
        } else if (!std::strcmp(a, "--seed")) {
            ok = integer(v, 0, 0xffffffffll, &n);
            o->seed = n;
        } else if (!std::strcmp(a, "--driver") && v) {
            if (!std::strcmp(v, "follow"))
                o->driver = SIM_DRIVER_FOLLOW;
            else if (!std::strcmp(v, "robot"))
                o->driver = SIM_DRIVER_ROBOT;
            else
                ok = false;
        } else if (!std::strcmp(a, "--skill") && v) {
            static const char* names[] = {"novice", "amateur", "expert"};
            ok = false;
            for (int k = 0; k < 3; k++)
                if (!std::strcmp(v, names[k])) {
                    o->skill = k;
                    ok = true;
                }
        } else if (!std::strcmp(a, "--pace")) {
            ok = integer(v, 10, 120, &n);
            o->pace = double(n);
        } else if (!std::strcmp(a, "--practice")) {
            o->practice = true;
            takes_value = false;
        } else if (!std::strcmp(a, "--learn")) {
            o->learn = true;
            takes_value = false;
        } else if (!std::strcmp(a, "--json")) {
            o->json = true;
            takes_value = false;
        } else if (!std::strcmp(a, "--trace")) {
            o->trace = true;
            takes_value = false;
        } else if (!std::strcmp(a, "--follow")) {
            o->driver = SIM_DRIVER_FOLLOW;  // the older spelling
            takes_value = false;
        } else {
            std::fprintf(stderr, "kestrum-sim: bad option '%s'\n", a);
            return false;
        }
        if (!ok) {
            std::fprintf(stderr, "kestrum-sim: bad value for %s: '%s'\n", a, v ? v : "");
            return false;
        }
        if (takes_value)
            i++;
    }
    if (o->minutes == 0 && o->laps == 0) {
        std::fprintf(stderr, "kestrum-sim: a race needs --laps of 1 or more, or --minutes\n");
        return false;
    }
    if (o->minutes > 0 && !o->laps_given)
        o->laps = 0;
    return true;
}
