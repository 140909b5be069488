// Robot personalities: which lap plan a robot rides, normally and when it
// leads comfortably, and its reaction-time range at the start.
#pragma once

struct LineRider;

struct Personality {
    const char* name;
    int plan_type;          // 0..2 use the lap plans, 3 explores untried lines
    int plan_type_leading;  // when leading by more than the threshold
    double lead_threshold;  // seconds
    double drive[2];        // launch reaction range after the gate drops, seconds
};

constexpr int PERSONALITY_COUNT = 5;  // index 0 is "empty": no auto pilot

// The table entry of an index, or null outside the table.
const Personality* personality_get(int index);
// The index of a name, or -1.
int personality_find(const char* name);
// Gives the rider the named personality; an unknown name is logged and
// falls back to the first robot personality.
void personality_set(LineRider* r, const char* name);
