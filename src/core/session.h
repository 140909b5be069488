// The race session: the loaded track, the 40 start slots with their bikes,
// the race state and the random numbers shared by set-up, robots and roost.
// session_start tears the previous session down and builds the next one
// from a line-up; simulation_tick advances it by one tick.
#pragma once
#include "core/roster.h"
#include "physics/tangle.h"
#include "race/timing.h"
#include "robots/follower.h"
#include "robots/robot.h"
#include "robots/way_round.h"

#include <cstdint>
#include <random>
#include <string>

struct Bike;
struct RoostPool;
struct Track;

enum RiderDriver {
    DRIVER_PLAYER = 0,    // the local player's controls
    DRIVER_EXTERNAL = 1,  // posed from a demo or the server; bodies disabled
    DRIVER_ROBOT = 2,     // the robot controller
};

// Who rides a slot that a demo or the server fills.
struct RiderDescriptor {
    std::string bike, number, body, helmet, graphics, wheels;
};

// One of the 40 start slots ("Gate 1" .. "Gate 40").
struct Rider {
    Bike* bike = nullptr;                 // none: the slot is empty
    RiderDriver driver = DRIVER_EXTERNAL;
    RaceProgress progress;                // gates passed, gate times, finished
    int roster_index = -1;                // robots: their roster entry
    std::string personality;              // robots: behaviour name
    RiderDescriptor playback, server;
    int last_server_tick = -1;
    float engine_gain = 1;                // 0 while a demo has no data for the slot
    Follower follower;                    // course followers (headless races)
    LineRider lines;                      // line sampling; robots: the buffer they ride
    RobotState robot;                     // robots: the controller's state
    Vec3 safe_position = {0, 0, 0};       // the frame at the last tick its bike was in one piece
    Vec3 safe_forward = {0, 0, -1};       // and the way it pointed then
};

struct RaceState {
    RaceTiming timing;          // clock, start tick, race length, standings
    int fixed_interval = 640;   // 5 s, read by the scene and the robots
    bool time_trial = false;
    bool playback = false;
    bool recording = false;
    bool server_race = false;
    int robot_skill = 0;        // 0 Novice, 1 Amateur, 2 Expert
    int viewed_slot = 0;
    RosterOrder roster;
    std::string track_name;
};

// The player's choices a session reads when it builds his rider.
struct PlayerChoice {
    std::string bike = "crf250(2009)";
    std::string number = "999";
    std::string body, helmet, graphics, wheels;  // "@..." or "" for the bike's own
};

struct SessionSettings {
    PlayerChoice player;
    std::string track;          // the folder the "Track" menu has chosen
    bool practice = false;      // every robot is "tester"
    bool learn = true;
    int debug_level = 0;
    bool apply_player_setup = true;  // copy the configured setup onto the player's bike
    bool follow_course = false;      // robots ride the track's centre line (headless races)
    std::string robot_bike;          // headless races: every robot rides this bike ("" the roster's)
    int roost_density = 250;         // roost frequency 0..1000
    double erosion = 0;              // "--erode": dirt the roost moves, 0..1
    long long seed = -1;             // generator seed; -1: the clock (0 for a run's first session)
};

struct Session {
    SessionSettings settings;
    Rider riders[SLOT_COUNT];
    RaceState race;
    GateCourse course;
    std::mt19937 rng;
    bool have_track = false;
    RoostPool* roost = nullptr;  // the track's roost particles
    FollowPath follow_path;      // the track's centre line when robots follow it
    LineTable lines;             // the racing lines of the track and skill in use
    std::string lines_track;     // the track the table was sized for
    int lines_skill = -1;        // the skill whose lines are loaded, -1 none
    Vec3 player_start{0, 0, 0};  // where the player stood at the gate (false starts)
    int false_start_hold = 0;    // ticks left of a false-start hold
    // Each pair of slots, lower slot first: bikes pressed together.
    BikeTangle tangles[SLOT_COUNT][SLOT_COUNT];
    WayMap ways;  // the track's objects at bike height, for robots finding a way round
    // Progress messages for the loading screen (may be null).
    void (*progress)(const char* message) = nullptr;
    // Race messages for the on-screen list and the log (may be null: then
    // they only go to the log).
    void (*post_message)(const char* message) = nullptr;
};

// The program's one session.
Session& session();

// Builds a session. lineup null means a time trial (one player rider). Time
// limit in ticks (0 = race by laps). False when the track fails to load;
// then no riders exist.
bool session_start(const int* lineup, bool playback, bool record, int time_limit, int laps, int skill);

// Time trial: back to the gate two places before the end of the first lap,
// every other rider removed.
void session_restart();

// Frees every slot and the track (program shutdown).
void session_end();

// The slot n.
Rider& race_slot(int n);

// What the timing code sees of the session.
TimingView session_timing_view();

// One tick of 1/128 s in the fixed order: contacts, roost, world step,
// per-slot controller, bike step and gate timing, particles, starting
// gates, clock.
void simulation_tick();

// Turns each starting gate's object to its base orientation tilted by the
// gate's raise factor about the object's x axis (standing at 1).
void starting_gates_pose(Track* t, const GateCourse* course);

// A 64-bit hash of every bike body's position, rotation and velocities:
// two runs of the same session must give the same value.
uint64_t session_state_hash();

// Drops a bike at (x, z) facing yaw: stored ground height under the point,
// raised by 0.25 until it no longer touches the ground.
void session_drop_bike(Bike* b, double x, double z, double yaw);
