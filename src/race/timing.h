// Timing gates, the two gate sequences, starting gates, and each rider's
// race progress: gates passed, lap times, the finish, live and final
// standings with the cut-track penalty.
#pragma once
#include "core/vec.h"

#include <vector>

struct Stream;

constexpr int MAX_TIMING_GATES = 256;
constexpr int MAX_STARTING_GATES = 40;
constexpr int MAX_RACE_SLOTS = 40;
constexpr int TIMING_ONLY = 100000;   // a sequence entry timed but not starting a line segment
constexpr int LAPS_UNKNOWN = 1000000;

struct TimingGate {
    float centre[3];
    float direction[3];  // direction of travel; only x and z count
    float radius;        // horizontal radius of the half-disc trigger beyond the line
    int next_marker;     // scratch for the scene renderer: some rider's next gate
};

struct StartingGate {
    float position[3];
    float angle;     // radians in [-pi, pi]
    int object;      // the gate's scenery object, -1 when none
    float raise;     // 1 standing, 0 once dropped
    int touched_tick = -1;  // last tick a bike touched the object (copied by the tick)
};

// A track's course for timing: gates plus the first-lap and normal-lap
// sequences (first_count entries, then normal_count), and the starting gates.
struct GateCourse {
    std::vector<TimingGate> gates;
    std::vector<int> sequence;
    int first_count = 0, normal_count = 0;
    int first_real = 0, normal_real = 0;   // entries below TIMING_ONLY
    std::vector<StartingGate> starting;
};

// Per-rider race fields.
struct RaceProgress {
    int gates_passed = 0;
    std::vector<int> gate_times;  // tick per position, -1 when skipped
    bool finished = false;
    int slowed = 0;               // 0, 1 slowed since last gate, 2 noted by learning
};

struct Standing {
    int slot;
    int gates_passed;
    int last_tick;
    // Final standings only: what the cut-track penalty took.
    int laps_lost;
    int penalty_ticks;
};

// The race-length and standings part of the race state.
struct RaceTiming {
    int clock = 0;
    int start_tick = 0;
    int time_limit = 0;            // ticks; 0 for a race by laps
    int extra_laps = 0;
    int total_laps = LAPS_UNKNOWN;
    int halfway_lap = LAPS_UNKNOWN;
    Standing standings[MAX_RACE_SLOTS];
    int standings_count = 0;
    Standing final_standings[MAX_RACE_SLOTS];
    int final_count = 0;
    bool results_final = false;
};

// What timing sees of the session: the course, the race timing and every
// slot's progress (null for an empty slot). The session owns all of them.
struct TimingView {
    const GateCourse* course;
    RaceTiming* race;
    RaceProgress* riders[MAX_RACE_SLOTS];
    // Whether the slot may hold up "everyone finished" (false for a remote
    // rider not heard from for a second in a server race).
    bool counts_for_finish[MAX_RACE_SLOTS];
};

// Reads "@<track>/timing_gates" into the course (empty when missing or
// unusable; starting gates survive bad gate data). The track's name is the
// folder. Logs the counts at debug level 1.
void timing_gates_load(GateCourse* course, const char* track, int debug_level);

// Reads a timing_gates text from an open stream (for tests and the loader).
void timing_gates_read(GateCourse* course, Stream* s);

// Writes "@<track>/timing_gates"; false when it can't be opened.
bool timing_gates_save(const GateCourse* course, const char* track);

// Gate index at a rider's progress position (first lap, then normal laps);
// -1 when the course has no gates.
int course_gate_at(const GateCourse* course, int position);

// Whether a sequence entry at that position starts a racing-line segment.
bool course_position_is_segment(const GateCourse* course, int position);

// Laps completed for a number of gates passed.
int course_laps_for(const GateCourse* course, int gates_passed);

// The position of the lap line that ends lap k (k >= 1).
int course_lap_line(const GateCourse* course, int lap);

// Resets a rider's progress to n gates passed.
void set_gates_passed(RaceProgress* rider, int n);

// Tick at which a position was passed, or -1 (skipped or not yet reached).
int gate_time(const RaceProgress* rider, int position);

int laps_completed(const GateCourse* course, const RaceProgress* rider);

// Seconds of a lap (lap < 0: the last completed); 0 when not complete.
float lap_time(const GateCourse* course, const RaceTiming* race, const RaceProgress* rider, int lap);

// The finishing rule; latches the finished flag.
bool rider_finished(const TimingView* view, int slot);

// Called for each gate crossing so racing-line learning can run; position
// is the position just crossed.
struct TimingCrossing {
    int slot;
    int position;
    int skipped;  // offset accepted: 1 or 2 when gates were skipped
};
using TimingCrossingHook = void (*)(void* context, const TimingCrossing& crossing);

enum TimingResult {
    TIMING_NOTHING,
    TIMING_CROSSED,
    TIMING_FINISHED,  // crossed the lap line that finished the rider's race
};

// Per tick after the rider's physics step: the gate-crossing rule for the
// front wheel position, laps and the finish. The hook (may be null) runs
// for a crossing before the lap-line check.
TimingResult timing_update(TimingView* view, int slot, Vec3 front_wheel, TimingCrossingHook hook, void* hook_context);

// Rebuilds the live standings; at the end of the race builds the final
// standings with penalties. Returns true when results became final in this
// call (the caller then writes the results file).
bool standings_update(TimingView* view);

// Integer mean time in ticks the field took from one position to another
// when passing it cleanly; 7680 (60 s) when nobody did.
int reference_stretch_time(const TimingView* view, int from, int to);

// The false-start rule for the local rider of a server race, once a tick
// before its controls are used. Until the gate drops, a rider 3 ft or more
// from his start point begins a hold lasting to the drop plus 15 s (true
// is returned once, when it begins). An active hold counts down by one.
// *hold is the ticks left; the caller forces the controls while it is > 0.
bool false_start_step(const RaceTiming* race, int* hold, double distance_sq_from_start);

// The starting-gate tilt of a raise factor, radians about the gate's x axis.
float starting_gate_tilt(float raise);

// Gate drop step for one tick: up to ten seconds past the start every gate
// with an object falls by 8 a second, except one a bike touched this tick.
// True when a gate moved.
bool starting_gates_update(GateCourse* course, const RaceTiming* race);

// Rider i's start point and yaw on the starting gates, or beside the
// middle of the track (extent) when there are none.
void starting_place(const GateCourse* course, int i, double extent, Vec3* point, double* yaw);
