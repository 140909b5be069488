// The course follower: a simple driver that rides a track's centre line at
// a speed the curves allow. kestrum-sim uses it for benchmarks, and it
// rides the laps that seed a track's racing lines.
#pragma once
#include "core/vec.h"

#include <vector>

struct Bike;

struct FollowPoint {
    double x, z, width;
};

// A closed path from the starting gates round one lap.
struct FollowPath {
    std::vector<FollowPoint> points;
};

// Reads "@<track>/course_line"; false when the track has none.
bool follow_path_load(FollowPath* path, const char* track);

// Where a follower is along its path.
struct Follower {
    int cursor = 0;          // nearest path point found last tick
    double speed_limit = 40; // ft/s it never goes above
    int stuck_ticks = 0;     // ticks driving against something without moving
    int back_up_ticks = 0;   // ticks left walking the bike backwards
    double back_up_steer = 0; // the way the walking turns the bike (-1 left, 1 right)
    bool lifting = false;    // waiting for the foot to push the bike up
};

// Sets the bike's controls for this tick: pure pursuit of a point ahead on
// the path, with throttle and brakes holding the speed the path's bends
// allow. Slow and facing away from the course it turns on full lock; held
// fast against something it walks the bike back and turns; lying down it
// lets the foot push the bike up before driving on.
void follower_drive(Follower* f, const FollowPath* path, Bike* b);
