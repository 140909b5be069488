// The pure parts of the robot rider's controller: where the bike is along
// the buffer of line points it rides, the target speed there, how picked
// lines are appended and joined, and the drive controls from a target speed.
#pragma once
#include <vector>

#include "core/vec.h"
#include "robots/lines.h"

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
