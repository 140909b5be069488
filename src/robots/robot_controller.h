// The pure parts of the robot rider's controller: where the bike is along
// the buffer of line points it rides, the target speed there, how picked
// lines are appended and joined, and the drive controls from a target speed.
#pragma once
#include <vector>

#include "core/vec.h"
#include "robots/lines.h"

// A line point's position.
inline Vec3 line_point_at(const LinePoint& p)
{
    return Vec3{p.x, p.y, p.z};
}
// Whether the line leaves the ground at point i: it and the next point are
// both in the air (negative speeds); one alone is a hop over a bump.
inline bool line_takes_off(const std::vector<LinePoint>& b, size_t i)
{
    return i + 1 < b.size() && b[i].speed < 0 && b[i + 1].speed < 0;
}
// An index kept inside a buffer of n points (0 for an empty buffer).
inline int line_index_clamp(long i, size_t n)
{
    return n == 0 ? 0 : int(i < 0 ? 0 : (i > long(n) - 1 ? long(n) - 1 : i));
}

// A robot's controller state beside its LineRider (which holds the buffer
// and the remembered line ids).
struct RobotState {
    int point_index = 0;       // next buffer point to reach
    int last_advance = 0;      // clock when the point index last advanced
    int capture = 0;           // 0 riding; 3 after a stall, counting down per point
    int next_segment = 0;      // segment index of the next line to append
    double start_timer = 0;    // start-phase timer in seconds, 0 = not drawn
    double throttle_memory = 0;
    int limit_tick = -1000000;  // last tick the speed target was lowered for grip
    bool launch_drawn = false;  // start_timer holds the launch time
    int own_arcade = -1;        // the bike's own arcade flag, -1 until first seen
    int front_air_ticks = 0;    // ticks the front wheel has been off the ground
    int wait_ticks = 0;         // ticks waited (behind a fallen or stopped rider, or lifting the bike) since the last point
    bool finished = false;      // past the finish line, riding out
    int object_tick = -1000000;  // last tick the bike touched a track object
    int pinned_ticks = 0;        // ticks held still against a track object in capture
    int back_until = -1000000;   // the bike is walked backwards until this tick
    int still_ticks = 0;         // ticks held still in capture with nothing touched
    int walk_until = -1000000;   // the bike is walked to its point until this tick
    int turn_side = 0;           // capture: 1 leaning left, -1 right, for an aim point behind
    int capture_entered = 0;     // capture ticks (below) when this spell of capture began
    Vec3 detour{0, 0, 0};        // the way round a track object the bike was pinned against
    int detour_until = -1000000;  // ridden for until this tick, or until reached
    int way_check = 0;           // next tick the way to the point is looked at for objects
    bool way_shut = false;       // objects stood between the bike and its point when last looked
    bool detour_planned = false;  // the detour is a leg of a way found on the map, not a side step
    bool detour_walked = false;   // a leg that short is walked, not ridden
    bool through_objects = false;  // wedged among objects: its contacts with them are left out until a point is reached clear of them
    int through_tick = 0;          // when it was last let through them
    // Figures for the race summary.
    int stalls = 0;             // times riding stalled (3 s without a point reached)
    int stall_ticks = 0;        // ticks more than 3 s after the last point reached, rider on the bike, race not done
    int capture_ticks = 0;      // ticks ridden by the capture controller
    int walks = 0;              // times the bike was walked to its point or back off an object
    int restarts = 0;           // times the capture gave up and restarted along the buffer
    int wedged = 0;             // times the bike was let through the objects it was wedged among
};

// Where the bike is along the buffer: ahead is the first point ahead of the
// bike along its forward axis (searching back from the point index), and
// progress that index plus how far the bike has come from the point before.
struct RobotProgress {
    int ahead;
    double progress;
};
RobotProgress robot_progress(const std::vector<LinePoint>& buffer, int point_index, Vec3 frame, Vec3 forward);

// The line speed at a progress (speeds taken positive, interpolated towards
// the next point).
double robot_target_speed(const std::vector<LinePoint>& buffer, const RobotProgress& p);

// Seconds until the next airborne stretch within 20 points ahead (two
// consecutive negative speeds), or 1000000; *index gets its first point.
double robot_takeoff_time(const std::vector<LinePoint>& buffer, const RobotProgress& p, Vec3 frame, double speed,
                          int* index);

// Appends a picked line to the buffer: remembers its id for its segment,
// trims what lies well behind, and bends the joint into a smooth curve
// when both ends of it are on the ground. A line of segment 0 starts the
// point index at the first point more than 10 ft from the start and holds
// off the stall detector for 30 s. Nothing happens for an empty line.
void robot_line_append(RobotState* s, LineRider* r, const RacingLine* line, Vec3 frame, Vec3 forward);

// Throttle, clutch and brakes for a speed and target speed.
struct RobotDriveInput {
    double speed, target;
    bool rear_on_ground;
    bool crashed;
    int gear;           // 0 neutral, 1 first, ...
    double rpm, max_rpm;
    double pitch_rate;  // frame angular velocity about its x axis
    double front_y, rear_y;  // wheel centre heights
};
struct RobotDriveOutput {
    double throttle, clutch, front_brake, rear_brake;
};
RobotDriveOutput robot_drive(const RobotDriveInput& in);

// The share of the throttle kept for a rear wheel slipping at that speed
// (ft/s at the contact): a wheel spinning in loose ground drives the bike
// on no faster, and in a turn it lets the rear slide out from under the
// rider. All of it up to 6 ft/s, half at 9, a quarter from 10.5 on.
double robot_traction(double rear_slip);

// The capture controller's lean limit at a speed: 1/6 rad below 10 ft/s,
// growing to 0.5 rad at 20 ft/s.
double robot_capture_lean_limit(double speed);
// Its speed target: 15 ft/s, or 5 while the bike leans past the limit,
// which gives it time to turn for a point well off its heading. But at
// walking pace a bike with the rider's foot down rests at 10-15 degrees
// of lean, past the limit there; held to 5 ft/s with its point ahead, it
// never got fast enough for the limit to grow, and crawled through whole
// sections. So while the lean wanted is inside the limit, a lean below
// 0.25 rad does not hold it back.
double robot_capture_pace(double speed, double roll, double wanted_lean);

// The turn radius that takes the bike through an aim point given by its
// distance ahead and to the side (positive: right) in the bike's travel
// frame. rho is the current turn's radius, ignored when straight. The aim
// point is pushed away from the current path by twice its distance from
// it, so the bike corrects harder the further it strays. An aim point at
// or behind the bike gives a tight turn of 10 ft towards its side.
double robot_required_radius(double ahead, double lateral, double rho, bool straight);

// A rider's footprint on the ground: 4 ft wide, from 4 ft behind the frame
// to 4 ft plus one second of travel ahead. Corners: left ahead, left
// behind, right behind, right ahead.
struct RobotFootprint {
    double x[4], z[4];
};
RobotFootprint robot_footprint(Vec3 position, Vec3 velocity);
// Whether any edge of one footprint crosses or touches any edge of the
// other. Every pair of edges is tried, so riders side by side meet too.
bool robot_footprints_overlap(const RobotFootprint& a, const RobotFootprint& b);

// The speed target behind another rider: what of its velocity runs along
// our way round the current turn, a following distance that grows from
// 12 ft to 20 ft after the start, and a braking gap at 5 ft/s^2.
struct RobotAvoidInput {
    double target;          // speed target so far
    double seconds;         // since the start tick
    double speed;           // ours
    Vec3 position, direction, side;  // ours; direction a unit vector
    double rho;             // current turn radius (lateral, signed)
    bool straight;          // no lean: the current path is a straight line
    Vec3 other_position, other_velocity;
};
struct RobotAvoidResult {
    double target;
    bool braking;    // slowed for the rider ahead: the segment's time says nothing of the line
    bool following;  // within the following distance: our speed is his
};
RobotAvoidResult robot_avoid_speed(const RobotAvoidInput& in);

// The start phase: idle blips before 5 s of clock, full throttle with the
// clutch out after, and the launch at a reaction time drawn inside the
// personality's range.
enum RobotStartStep {
    ROBOT_START_HOLD,    // on the gate; throttle as returned
    ROBOT_START_LAUNCH,  // letting the clutch out; seconds since the launch as returned
    ROBOT_START_DONE,    // riding
};
struct RobotStart {
    RobotStartStep step;
    double value;  // throttle while held, seconds since the launch while launching
};
// now and start in seconds of clock; uniform() draws from [0, 1).
RobotStart robot_start_step(RobotState* s, double now, double start, const double reaction[2],
                            double (*uniform)(void* ctx), void* ctx);

// Slows the speeds of what is left of the buffer after the finish, down to
// a quarter of the line's speed at its end.
void robot_run_out_speeds(std::vector<LinePoint>* buffer, double progress);
