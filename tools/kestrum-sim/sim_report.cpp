#include "sim_report.h"

#include "physics/bike.h"
#include "race/timing.h"
#include "track/particles.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct RiderSummary {
    int slot;
    int position;         // 1-based place in the standings
    const char* number;
    const char* bike;
    int gates_passed;
    int gates_missed;     // positions passed without a time (skipped gates)
    int laps;
    std::vector<double> lap_times;
    double best_lap;      // 0 without a complete lap
    int crashes;
    double crashed_seconds;
    bool finished;
    bool robot;           // driven by the robot controller
    int stalls, walks, restarts, wedged;
    double stalled_seconds, capture_seconds;
};

std::vector<RiderSummary> summarise(const SimRun& run, const Session& s)
{
    const RaceTiming& rt = s.race.timing;
    const Standing* order = rt.results_final ? rt.final_standings : rt.standings;
    int count = rt.results_final ? rt.final_count : rt.standings_count;
    std::vector<RiderSummary> out;
    for (int i = 0; i < count; i++) {
        const Rider& r = s.riders[order[i].slot];
        if (!r.bike)
            continue;
        RiderSummary m{};
        m.slot = order[i].slot;
        m.position = i + 1;
        m.number = bike_rider_number(r.bike);
        m.bike = bike_model_name(r.bike);
        m.gates_passed = r.progress.gates_passed;
        for (int p = 0; p < r.progress.gates_passed; p++)
            m.gates_missed += gate_time(&r.progress, p) < 0;
        m.laps = laps_completed(&s.course, &r.progress);
        for (int lap = 1; lap <= m.laps; lap++) {
            double t = lap_time(&s.course, &rt, &r.progress, lap);
            m.lap_times.push_back(t);
            if (t > 0 && (m.best_lap == 0 || t < m.best_lap))
                m.best_lap = t;
        }
        m.crashes = r.bike->crash_count;
        m.crashed_seconds = run.crashed_ticks[m.slot] / double(TICKS_PER_SECOND);
        m.finished = r.progress.finished;
        m.robot = r.driver == DRIVER_ROBOT && r.lines.personality != 0;
        m.stalls = r.robot.stalls;
        m.walks = r.robot.walks;
        m.restarts = r.robot.restarts;
        m.wedged = r.robot.wedged;
        m.stalled_seconds = r.robot.stall_ticks / double(TICKS_PER_SECOND);
        m.capture_seconds = r.robot.capture_ticks / double(TICKS_PER_SECOND);
        out.push_back(m);
    }
    return out;
}

double sim_seconds(const SimRun& run)
{
    return run.ticks / double(TICKS_PER_SECOND);
}

double realtime_factor(const SimRun& run)
{
    return run.wall_seconds > 0 ? sim_seconds(run) / run.wall_seconds : 0;
}

double us_per_tick(const SimRun& run)
{
    return run.ticks > 0 ? run.wall_seconds / run.ticks * 1e6 : 0;
}

const char* driver_name(SimDriver d)
{
    return d == SIM_DRIVER_ROBOT ? "robot" : "follow";
}

// A JSON string: quotes, backslashes and control characters escaped.
void json_string(FILE* out, const char* text)
{
    std::fputc('"', out);
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; c++) {
        if (*c == '"' || *c == '\\')
            std::fprintf(out, "\\%c", *c);
        else if (*c < 0x20)
            std::fprintf(out, "\\u%04x", *c);
        else
            std::fputc(*c, out);
    }
    std::fputc('"', out);
}


// The field's crashes and the mean time a thrown rider spends off the bike.
struct CrashFigures {
    int crashes = 0;
    double mean_seconds_off = 0;
};

CrashFigures crash_figures(const SimRun& run, const Session& s)
{
    CrashFigures c;
    long ticks = 0;
    for (int j = 0; j < SLOT_COUNT; j++)
        if (s.riders[j].bike) {
            c.crashes += s.riders[j].bike->crash_count;
            ticks += run.crashed_ticks[j];
        }
    if (c.crashes > 0)
        c.mean_seconds_off = ticks / double(TICKS_PER_SECOND) / c.crashes;
    return c;
}

}  // namespace

void sim_run_observe(SimRun* run, const Session& s)
{
    for (int j = 0; j < SLOT_COUNT; j++)
        if (s.riders[j].bike && s.riders[j].bike->crash_timer > 0)
            run->crashed_ticks[j]++;
}

void sim_report_text(const SimRun& run, const Session& s, FILE* out)
{
    const SimOptions& o = run.options;
    const RaceTiming& rt = s.race.timing;
    std::fprintf(out, "track %s, %d riders (%s), ", o.track.c_str(), o.riders, driver_name(o.driver));
    if (o.minutes > 0)
        std::fprintf(out, "%d minutes + %d laps\n", o.minutes, o.laps);
    else
        std::fprintf(out, "%d laps\n", o.laps);
    std::fprintf(out, "race %s after %.1f s (gate drop at %.1f s)\n", rt.results_final ? "finished" : "not finished",
                 rt.clock / double(TICKS_PER_SECOND), rt.start_tick / double(TICKS_PER_SECOND));
    for (const RiderSummary& m : summarise(run, s)) {
        std::fprintf(out, "%2d. gate %2d #%-4s %-16s laps %d gates %3d missed %d crashes %d (%.1f s)%s  laps:",
                     m.position, m.slot + 1, m.number, m.bike, m.laps, m.gates_passed, m.gates_missed, m.crashes,
                     m.crashed_seconds, m.finished ? " finished" : "");
        for (double t : m.lap_times)
            std::fprintf(out, " %.2f", t);
        if (m.best_lap > 0)
            std::fprintf(out, "  best %.2f", m.best_lap);
        if (m.robot)
            std::fprintf(out, "  stalls %d (%.1f s stalled, %.1f s captured) walks %d restarts %d wedged %d",
                         m.stalls, m.stalled_seconds, m.capture_seconds, m.walks, m.restarts, m.wedged);
        std::fprintf(out, "\n");
    }
    CrashFigures c = crash_figures(run, s);
    std::fprintf(out, "crashes %d, %.1f s off the bike each on average\n", c.crashes, c.mean_seconds_off);
    if (s.roost)
        std::fprintf(out, "roost %lld particles, %.0f a second, at most %d in flight, %lld dropped\n",
                     s.roost->thrown, s.roost->thrown / std::max(sim_seconds(run), 1e-9), s.roost->peak_active,
                     s.roost->dropped);
    std::fprintf(out, "set-up %.3f s\n", run.setup_seconds);
    std::fprintf(out, "ticks %d in %.3f s: %.0f ticks/s, %.1f us/tick, %.1f x real time\n", run.ticks,
                 run.wall_seconds, run.wall_seconds > 0 ? run.ticks / run.wall_seconds : 0, us_per_tick(run),
                 realtime_factor(run));
    std::fprintf(out, "cpu %.3f s: %.1f x real time\n", run.cpu_seconds,
                 run.cpu_seconds > 0 ? sim_seconds(run) / run.cpu_seconds : 0);
    std::fprintf(out, "peak memory %ld kB\n", run.peak_rss_kb);
    std::fprintf(out, "state hash %016llx\n", (unsigned long long)run.state_hash);
}

void sim_report_json(const SimRun& run, const Session& s, FILE* out)
{
    const SimOptions& o = run.options;
    const RaceTiming& rt = s.race.timing;
    std::fprintf(out, "{\"track\": ");
    json_string(out, o.track.c_str());
    std::fprintf(out, ", \"driver\": \"%s\", \"skill\": %d, \"laps\": %d, \"minutes\": %d", driver_name(o.driver),
                 o.skill, o.laps, o.minutes);
    std::fprintf(out, ", \"race_finished\": %s, \"sim_seconds\": %.4f, \"wall_seconds\": %.4f",
                 rt.results_final ? "true" : "false", sim_seconds(run), run.wall_seconds);
    std::fprintf(out, ", \"setup_seconds\": %.4f, \"realtime_factor\": %.3f, \"us_per_tick\": %.2f", run.setup_seconds,
                 realtime_factor(run), us_per_tick(run));
    CrashFigures c = crash_figures(run, s);
    std::fprintf(out, ", \"cpu_seconds\": %.4f, \"crashes\": %d, \"mean_crash_s\": %.3f", run.cpu_seconds, c.crashes,
                 c.mean_seconds_off);
    if (s.roost)
        std::fprintf(out, ", \"roost_thrown\": %lld, \"roost_per_s\": %.1f, \"roost_peak\": %d, \"roost_dropped\": %lld",
                     s.roost->thrown, s.roost->thrown / std::max(sim_seconds(run), 1e-9), s.roost->peak_active,
                     s.roost->dropped);
    std::fprintf(out, ", \"peak_rss_kb\": %ld, \"state_hash\": \"%016llx\", \"riders\": [", run.peak_rss_kb,
                 (unsigned long long)run.state_hash);
    bool first = true;
    for (const RiderSummary& m : summarise(run, s)) {
        std::fprintf(out, "%s\n  {\"slot\": %d, \"position\": %d, \"number\": ", first ? "" : ",", m.slot, m.position);
        json_string(out, m.number);
        std::fprintf(out, ", \"bike\": ");
        json_string(out, m.bike);
        std::fprintf(out, ", \"laps\": %d, \"best_lap_s\": ", m.laps);
        if (m.best_lap > 0)
            std::fprintf(out, "%.3f", m.best_lap);
        else
            std::fprintf(out, "null");
        std::fprintf(out, ", \"lap_times_s\": [");
        for (size_t k = 0; k < m.lap_times.size(); k++)
            std::fprintf(out, "%s%.3f", k ? ", " : "", m.lap_times[k]);
        std::fprintf(out, "], \"gates_passed\": %d, \"gates_missed\": %d, \"crashes\": %d, \"crashed_s\": %.2f",
                     m.gates_passed, m.gates_missed, m.crashes, m.crashed_seconds);
        std::fprintf(out, ", \"finished\": %s", m.finished ? "true" : "false");
        if (m.robot)
            std::fprintf(out, ", \"stalls\": %d, \"stalled_s\": %.2f, \"capture_s\": %.2f, \"walks\": %d, \"restarts\": %d, \"wedged\": %d",
                         m.stalls, m.stalled_seconds, m.capture_seconds, m.walks, m.restarts, m.wedged);
        std::fprintf(out, "}");
        first = false;
    }
    std::fprintf(out, "\n]}\n");
}
