// Racing lines: short sampled paths of real laps, kept per course segment
// (45 slots a row), saved per skill in the track folder and chained into
// three lap plans that robots ride.
#pragma once
#include <vector>

#include "core/vec.h"

struct GateCourse;
struct Stream;

constexpr int LINE_SLOTS = 45;
constexpr int LINE_EMPTY_TIME = 1000000;   // recorded and best times of an empty slot
constexpr int LINE_SAMPLE_TICKS = 32;      // a point every quarter second
constexpr int LINE_PLAN_TYPES = 3;
constexpr int LINE_NO_COST = 1000000;      // cost of a line without enough tests

// One sampled point: frame position, speed (negative while both wheels are
// off the ground) and lean angle.
struct LinePoint {
    float x, y, z;
    float speed;
    float lean;
};

// One slot of a segment row. A slot with no points is empty.
struct RacingLine {
    std::vector<LinePoint> points;
    int recorded_time = LINE_EMPTY_TIME;    // segment time of the lap it came from
    int recorded_time2 = LINE_EMPTY_TIME;   // that segment plus the next one
    int tests = 0;                          // clean robot runs
    int best_time = LINE_EMPTY_TIME;
    int best_time2 = LINE_EMPTY_TIME;
    int time_sum = 0;
    int time_sum2 = 0;
    int failures = 0;                       // robot runs that went wrong
    int id = 0;                             // 0 never names a line
    int last_picked = 0;                    // tick a robot last chose it (shared)
};

// The lines of one track and skill: rows 0 .. first_rows-1 for the first
// lap, then normal_rows rows for every later lap; and the three lap plans
// (a line id per row, 0 for none).
struct LineTable {
    int first_rows = 0, normal_rows = 0;
    std::vector<RacingLine> slots;          // rows * LINE_SLOTS
    std::vector<int> plans[LINE_PLAN_TYPES];
    int next_id = 0;                        // last id handed out
};

// Sizes the table for a course (its real first-lap and normal-lap gates);
// every slot empty, the id counter reset. A course without gates gives no rows.
void lines_table_init(LineTable* t, const GateCourse* course);

int lines_row_count(const LineTable* t);
RacingLine* lines_slot(LineTable* t, int row, int slot);
const RacingLine* lines_slot(const LineTable* t, int row, int slot);
int lines_used_in_row(const LineTable* t, int row);
// The slot holding a line id in a row, or -1.
int lines_find_id(const LineTable* t, int row, int id);

// Empties every slot (statistics back to the empty values, plans to 0).
void lines_clear(LineTable* t);
void line_reset(RacingLine* l);
// The next line id of this table.
int lines_new_id(LineTable* t);

// Segment index of a rider with that many gates passed: the number of real
// (not timing-only) gates among positions 0 .. gates_passed-1.
int segment_of(const GateCourse* course, int gates_passed);
// The row of a segment index; later laps wrap onto the normal-lap rows.
int segment_row(const LineTable* t, int segment);
// The row after a row (the normal lap follows the first and then itself).
int lines_next_row(const LineTable* t, int row);

// What sampling needs of a bike, as plain values.
struct LineSampleInput {
    Vec3 position;   // frame body
    Vec3 velocity;   // frame body
    double lean;     // roll of the frame from upright
    bool on_ground;  // some wheel touches the ground
};
LinePoint line_point_make(const LineSampleInput& in);

// The line fields of one rider slot. Humans feed new lines through the two
// sample buffers (used by segment parity); robots carry the buffer they
// ride and the ids of the lines they took in their last four segments.
struct LineRider {
    int personality = 0;                  // 0: no auto pilot (a human)
    std::vector<LinePoint> samples[2];
    int cancel_mask = 0;                  // bit per parity: that segment is spoilt
    int remembered[4] = {0, 0, 0, 0};     // line ids by segment mod 4
    Vec3 position{0, 0, 0}, velocity{0, 0, 0};  // frame, as last sampled
    std::vector<LinePoint> buffer;        // the path a robot rides
    double progress = 0;                  // fractional buffer position (controller)
};

// Back to the state of a freshly placed rider (personality kept).
void line_rider_reset(LineRider* r);

// Every tick: remembers the bike's motion and, on ticks that are a multiple
// of 32 and for riders without a personality, appends a point to the buffer
// of the segment's parity.
void lines_sample(LineRider* r, const LineSampleInput& in, int clock, int segment);

// The line file of a track for a skill: "@<track>/lines_novice" etc.
// Empty for a skill outside 0..2.
const char* lines_file_suffix(int skill);

// Reads a line file into an empty table. False when the header is missing
// or names another row count (the table stays empty) or when the file is
// malformed (complete lines read before the fault stay).
bool lines_read(LineTable* t, Stream* s, int debug_level);
// Writes the table in the line-file format; false when a write failed.
bool lines_write(const LineTable* t, Stream* s);
// Clears the table and loads the track's file for a skill.
bool lines_load(LineTable* t, const char* track, int skill, int debug_level);
// Saves through a temporary file so a failed write never spoils the old one.
bool lines_save(const LineTable* t, const char* track, int skill);

// Session set-up: with learning on, the skill in use (*loaded_skill, -1
// for none) is saved first; then the table is cleared, the skill asked for
// is loaded and the lap plans are rebuilt. A missing or mismatched file
// leaves the table empty; the skill still counts as loaded.
void lines_session_switch(LineTable* t, const char* track, int* loaded_skill, int skill, bool learning,
                          int debug_level);
// Shutdown or track unload: saves the skill in use when learning is on.
void lines_session_end(const LineTable* t, const char* track, int loaded_skill, bool learning);

// Loaded statistics brought back into range, keeping the averages.
void line_normalise(RacingLine* l);

// --- Lap plans ---
// Cost of a line in ticks for a plan type 0..2, or the exploration cost for
// type 3.
double line_cost(const RacingLine* l, int type);
// Whether line a (in some row) can be followed by line b (in the next row).
bool lines_compatible(const RacingLine* a, const RacingLine* b);
// Centre of the circle through three points in the x-z plane (a far point
// along the chord's bisector when they are nearly in a line).
void line_circle(const LinePoint& p0, const LinePoint& p1, const LinePoint& p2, double* cx, double* cz);

// Cheapest chain over `count` rows starting at `row` (following
// lines_next_row) that begins with the slot `first`; incompatible steps cost
// 100000000. Returns the cost, or a negative number when the slot is empty.
double lines_chain_cost(const LineTable* t, int row, int count, int first, int type);

// Builds the three lap plans. Logs the chosen costs at debug level 1.
void lines_analyze(LineTable* t, int debug_level);
