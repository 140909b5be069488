// kestrum-sim's command line.
#pragma once
#include <string>

enum SimDriver {
    SIM_DRIVER_FOLLOW = 0,  // course followers along the track's centre line
    SIM_DRIVER_ROBOT = 1,   // the robot controller with the skill's racing lines
};

struct SimOptions {
    std::string track = "oakbasin";
    std::string bike;        // "" : each robot's roster bike
    std::string data;        // data folder; "" : game/ beside the program
    int riders = 8;          // 1..40
    int laps = 3;            // race length, or extra laps after the time limit
    bool laps_given = false;
    int minutes = 0;         // time limit; 0 : race by laps
    int max_seconds = 0;     // simulated-time cap; 0 : derived from the race length
    long long seed = -1;     // -1 : the first session's fixed seed
    SimDriver driver = SIM_DRIVER_FOLLOW;
    int skill = 0;           // 0 novice, 1 amateur, 2 expert
    bool practice = false;   // every robot explores ("tester")
    bool learn = false;      // save the skill's racing lines after the race
    double pace = 40;        // ft/s the course followers never exceed
    bool json = false;
    bool trace = false;
    int trace_slot = 0;  // the rider --trace follows
};

// Reads argv into *o. False, with a message on standard error, for an
// unknown option or a value out of range.
bool sim_options_parse(int argc, char** argv, SimOptions* o);

// The usage text on standard error.
void sim_usage();
