// The fixed roster of 80 robot riders, its shuffled order for each session,
// the line-up a session is built from, and the gear texture catalogues.
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <vector>

constexpr int ROSTER_SIZE = 80;
constexpr int SLOT_COUNT = 40;

struct RosterEntry {
    char number[4];           // "20" .. "99"
    const char* personality;  // "pelko", "dunsa", "wober"
    const char* bike;         // catalogue name, old names already mapped
    std::string body, helmet, graphics, wheels;  // "@..." texture names, "" for the bike's own
};

// The roster in table order (numbers 20..99).
const std::vector<RosterEntry>& roster();

// Line-up values of the "Gate n" choices and beyond.
enum LineupValue {
    LINEUP_EMPTY = 0,
    LINEUP_HUMAN = 1,
    LINEUP_ROBOT = 2,
    LINEUP_ROBOT_2STROKE = 3,  // a robot on a "125"
    LINEUP_ROBOT_4STROKE = 4,  // a robot on a "250"
    LINEUP_REMOTE = 5,         // a remote rider of a server race
    LINEUP_ROSTER_NUMBER = 1000,  // 1000 + n: the roster robot number n
};

// Maps the old short bike names to their 2008 entries ("kx250f" ->
// "kx250f(2008)"); other names are returned as they are.
const char* bike_name_map(const char* name);

// The session's order of the roster: 0..79 shuffled with draws from the
// session's generator (n from 79 down to 1: swap n and (r >> 16) mod n).
struct RosterOrder {
    int order[ROSTER_SIZE];
    int next;
};
void roster_shuffle(RosterOrder* ro, std::mt19937& rng);

// Takes the next robot for a line-up value: any robot, the next one whose
// bike name contains "125" or "250" (any when none is left), or the one
// with a given number (moved to the current place). Returns its roster
// index; the order advances.
int roster_take(RosterOrder* ro, int lineup_value);

// The working line-up: only the first Human counts; all-Empty gives a
// robot at gate 1 unless a demo supplies riders. Returns the viewed slot.
int lineup_prepare(int lineup[SLOT_COUNT], bool demo_open);

// The session's start tick: 128 * (13 + 2u), u uniform in [0, 1).
int session_draw_start_tick(std::mt19937& rng);

// One gear texture catalogue: "default" first, then a label and "@name"
// for every .png data file (not "_norm"/"_spec") whose last path component
// begins with the prefix.
struct GearChoice {
    std::string label;
    std::string texture;  // "" for default
};
std::vector<GearChoice> gear_catalogue_build(const std::vector<std::string>& file_names, const char* prefix);

// The bike graphics prefix of a catalogue bike name ("crf250-", "yz125-").
std::string bike_graphics_prefix(const char* bike_name);
