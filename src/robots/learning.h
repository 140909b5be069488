// Learning racing lines at gate crossings and choosing lines for robots:
// human laps offer candidate lines, robot runs credit or charge the lines
// they rode, full rows evict their weakest line, and a robot picks its next
// line from plan, connection and recent use.
#pragma once
#include "race/timing.h"
#include "robots/lines.h"

// What learning sees of a session: the line table, the course, the race
// timing and standings, every slot's progress and line fields (null for an
// empty slot). The session owns all of them.
struct LearnView {
    LineTable* table;
    const GateCourse* course;
    const RaceTiming* race;
    const RaceProgress* progress[MAX_RACE_SLOTS];
    LineRider* riders[MAX_RACE_SLOTS];
    int debug_level;
};

// The three latest real gates up to a crossing and their times.
struct TimeWindow {
    int r0, r1, r2;  // positions, r0 < r1 < r2; below 0 means before the first gate
    int t0, t1, t2;  // ticks (0 for positions below 0)
    bool clean;      // every position from r0 to r2 has a time
    int first_missing;  // first position without a time, or -1
};
TimeWindow learn_time_window(const GateCourse* course, const RaceProgress* p, int position);

// Learning at a gate crossing (position just crossed; offset: the gates
// skipped, negative when the rider went back to a skipped gate).
void lines_learn_crossing(LearnView* v, int slot, int position, int offset);
// The TimingCrossingHook: context is a LearnView.
void lines_timing_hook(void* learn_view, const TimingCrossing& c);
// When a rider's slowed flag first becomes set: a robot charges the lines
// it was riding.
void lines_learn_slowed(LearnView* v, int slot);

// The value that decides which line a full row gives up (larger goes first).
int line_keep_value(const RacingLine* l);
// The slot a full row evicts for a new line, or -1 when the row is empty.
int line_evict_choice(const LineTable* t, int row);

// How far a path's heading turns from its start to its end, in radians, over
// steps of a foot or more.
double line_net_turning(const std::vector<LinePoint>& points);
// Offers a sampled path as a line of a row, with its segment time and
// two-segment time. Returns the slot taken, or -1 (duplicate, winding round
// by half a circle more or less than the row's usual line, or too slow).
int lines_offer(LineTable* t, int row, const std::vector<LinePoint>& points, int time1, int time2,
                int debug_level);

// The plan type a robot rides now (leading comfortably may change it).
int line_plan_type(const LearnView* v, int slot);
// The slot of row `row` a robot should ride next, or -1 when the row has no
// lines or the robot has finished. Marks the choice (and lines ending near
// it) as picked now.
int line_pick(LearnView* v, int slot, int row);
