// What kestrum-sim watches while a race runs and how it reports it: a
// summary for people, or one JSON object for scripts and benchmarks.
#pragma once
#include "sim_options.h"

#include "core/session.h"

#include <cstdint>
#include <cstdio>

struct SimRun {
    SimOptions options;
    int ticks = 0;
    int crashed_ticks[SLOT_COUNT] = {};   // ticks spent with the crash timer running
    double setup_seconds = 0, wall_seconds = 0, cpu_seconds = 0;
    long peak_rss_kb = 0;
    uint64_t state_hash = 0;
};

// Called after every tick.
void sim_run_observe(SimRun* run, const Session& s);

void sim_report_text(const SimRun& run, const Session& s, FILE* out);
void sim_report_json(const SimRun& run, const Session& s, FILE* out);
