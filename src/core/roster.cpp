#include "core/roster.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct RosterRow {
    int number;
    const char* personality;
    const char* bike;
    int body, helmet, graphics, wheels;  // gear variant numbers, 0 = the bike's own
};

// The roster, numbers 20..99 in table order.
const RosterRow rows[ROSTER_SIZE] = {
    {20, "pelko", "kx125", 1, 1, 0, 0}, {21, "pelko", "kx125", 2, 2, 0, 0},
    {22, "pelko", "kx125", 3, 3, 0, 0}, {23, "pelko", "kx125", 1, 0, 1, 1},
    {24, "pelko", "kx125", 1, 0, 0, 0},
    {25, "pelko", "yz125", 2, 1, 0, 0}, {26, "pelko", "yz125", 3, 2, 0, 0},
    {27, "pelko", "yz125", 1, 2, 1, 1}, {28, "pelko", "yz125", 1, 3, 0, 0},
    {29, "pelko", "yz125", 2, 1, 0, 0},
    {30, "pelko", "cr125", 3, 0, 0, 0}, {31, "pelko", "cr125", 1, 1, 1, 1},
    {32, "pelko", "cr125", 1, 2, 0, 0}, {33, "pelko", "cr125", 2, 3, 0, 0},
    {34, "pelko", "cr125", 3, 1, 0, 0},
    {35, "pelko", "rm125", 1, 0, 1, 1}, {36, "pelko", "rm125", 1, 1, 0, 0},
    {37, "pelko", "rm125", 2, 2, 0, 0}, {38, "pelko", "rm125", 3, 3, 0, 0},
    {39, "pelko", "rm125", 0, 1, 0, 0},
    {40, "dunsa", "crf250", 1, 1, 0, 0}, {41, "dunsa", "crf250", 2, 2, 0, 0},
    {42, "dunsa", "crf250", 3, 3, 0, 0}, {43, "dunsa", "crf250", 0, 0, 0, 0},
    {44, "dunsa", "crf250", 1, 2, 0, 0},
    {45, "dunsa", "kx250f", 2, 3, 0, 0}, {46, "dunsa", "kx250f", 3, 1, 0, 0},
    {47, "dunsa", "kx250f", 0, 1, 0, 0}, {48, "dunsa", "kx250f", 1, 3, 0, 0},
    {49, "dunsa", "kx250f", 2, 1, 0, 0},
    {50, "dunsa", "rmz250", 3, 2, 0, 0}, {51, "dunsa", "rmz250", 0, 0, 0, 0},
    {52, "dunsa", "rmz250", 1, 1, 0, 0}, {53, "dunsa", "rmz250", 2, 2, 0, 0},
    {54, "dunsa", "yz250f", 3, 3, 0, 0}, {55, "dunsa", "yz250f", 0, 1, 0, 0},
    {56, "dunsa", "yz250f", 1, 2, 0, 0}, {57, "dunsa", "yz250f", 2, 3, 0, 0},
    {58, "dunsa", "yz250f", 3, 1, 0, 0},
    {59, "dunsa", "yz250f_se(2006)", 0, 0, 0, 0},
    {60, "pelko", "crf250", 1, 3, 0, 0}, {61, "pelko", "crf250", 2, 1, 0, 0},
    {62, "pelko", "crf250", 3, 2, 0, 0}, {63, "pelko", "crf250", 0, 1, 0, 0},
    {64, "pelko", "crf250", 1, 1, 0, 0},
    {65, "pelko", "kx250f", 2, 2, 0, 0}, {66, "pelko", "kx250f", 3, 3, 0, 0},
    {67, "pelko", "kx250f", 0, 0, 0, 0}, {68, "pelko", "kx250f", 1, 2, 0, 0},
    {69, "pelko", "kx250f", 2, 3, 0, 0},
    {70, "pelko", "rmz250", 3, 1, 0, 0}, {71, "pelko", "rmz250", 0, 1, 0, 0},
    {72, "pelko", "rmz250", 1, 3, 0, 0}, {73, "pelko", "rmz250", 2, 1, 0, 0},
    {74, "pelko", "rmz250", 3, 2, 0, 0},
    {75, "pelko", "yz250f", 0, 0, 0, 0}, {76, "pelko", "yz250f", 1, 1, 0, 0},
    {77, "pelko", "yz250f", 2, 2, 0, 0}, {78, "pelko", "yz250f", 3, 3, 0, 0},
    {79, "pelko", "yz250f_se(2006)", 0, 0, 0, 0},
    {80, "wober", "crf250", 1, 1, 1, 1}, {81, "wober", "crf250", 2, 2, 2, 2},
    {82, "wober", "crf250", 1, 1, 1, 1}, {83, "wober", "crf250", 2, 2, 2, 2},
    {84, "wober", "crf250", 1, 1, 1, 1},
    {85, "wober", "kx250f", 1, 1, 1, 1}, {86, "wober", "kx250f", 2, 2, 2, 2},
    {87, "wober", "kx250f", 1, 1, 1, 1}, {88, "wober", "kx250f", 2, 2, 2, 2},
    {89, "wober", "kx250f", 1, 1, 1, 1},
    {90, "wober", "yz250f", 1, 1, 1, 1}, {91, "wober", "yz250f", 2, 2, 2, 2},
    {92, "wober", "yz250f", 1, 1, 1, 1}, {93, "wober", "yz250f", 2, 2, 2, 2},
    {94, "wober", "yz250f", 1, 1, 1, 1},
    {95, "wober", "rmz250", 1, 1, 1, 1}, {96, "wober", "rmz250", 2, 2, 2, 2},
    {97, "wober", "rmz250", 1, 1, 1, 1}, {98, "wober", "rmz250", 2, 2, 2, 2},
    {99, "wober", "rmz250", 1, 1, 1, 1},
};

std::string variant(const char* stem, int n)
{
    if (n == 0)
        return std::string();
    char buf[96];
    std::snprintf(buf, sizeof buf, "@%s-alt%d.png", stem, n);
    return buf;
}

bool contains(const char* s, const char* part)
{
    return std::strstr(s, part) != nullptr;
}

}  // namespace

const char* bike_name_map(const char* name)
{
    static const char* const old_names[][2] = {
        {"crf250", "crf250(2008)"},
        {"kx250f", "kx250f(2008)"},
        {"rmz250", "rmz250(2008)"},
        {"yz250f", "yz250f(2008)"},
    };
    for (const auto& pair : old_names)
        if (std::strcmp(name, pair[0]) == 0)
            return pair[1];
    return name;
}

const std::vector<RosterEntry>& roster()
{
    static const std::vector<RosterEntry> table = [] {
        std::vector<RosterEntry> t;
        for (const RosterRow& r : rows) {
            RosterEntry e;
            std::snprintf(e.number, sizeof e.number, "%d", r.number);
            e.personality = r.personality;
            e.bike = bike_name_map(r.bike);
            e.body = variant("rider_body", r.body);
            e.helmet = variant("rider_head", r.helmet);
            e.graphics = variant(r.bike, r.graphics);
            e.wheels = variant("wheels", r.wheels);
            t.push_back(e);
        }
        return t;
    }();
    return table;
}

void roster_shuffle(RosterOrder* ro, std::mt19937& rng)
{
    for (int i = 0; i < ROSTER_SIZE; i++)
        ro->order[i] = i;
    for (int n = ROSTER_SIZE - 1; n >= 1; n--) {
        uint32_t r = uint32_t(rng());
        int k = int((r >> 16) % uint32_t(n));
        int t = ro->order[n];
        ro->order[n] = ro->order[k];
        ro->order[k] = t;
    }
    ro->next = 0;
}

int roster_take(RosterOrder* ro, int value)
{
    if (ro->next >= ROSTER_SIZE)
        ro->next = 0;  // more robots than the roster: start over
    int want = ro->next;
    const std::vector<RosterEntry>& table = roster();
    auto pick = [&](auto match) {
        for (int i = ro->next; i < ROSTER_SIZE; i++)
            if (match(table[size_t(ro->order[i])]))
                return i;
        return -1;
    };
    int found = -1;
    if (value == LINEUP_ROBOT_2STROKE)
        found = pick([](const RosterEntry& e) { return contains(e.bike, "125"); });
    else if (value == LINEUP_ROBOT_4STROKE)
        found = pick([](const RosterEntry& e) { return contains(e.bike, "250"); });
    else if (value >= LINEUP_ROSTER_NUMBER) {
        for (int i = 0; i < ROSTER_SIZE; i++)
            if (std::atoi(table[size_t(ro->order[i])].number) == value - LINEUP_ROSTER_NUMBER)
                found = i;
    }
    if (found >= 0 && found != want) {
        // Bring the chosen robot to the current place in the order.
        int t = ro->order[want];
        ro->order[want] = ro->order[found];
        ro->order[found] = t;
    }
    ro->next++;
    return ro->order[want];
}

int lineup_prepare(int lineup[SLOT_COUNT], bool demo_open)
{
    int viewed = -1;
    bool human_seen = false;
    for (int j = 0; j < SLOT_COUNT; j++) {
        if (lineup[j] == LINEUP_HUMAN) {
            if (human_seen) {
                lineup[j] = LINEUP_EMPTY;
                continue;
            }
            human_seen = true;
            viewed = j;
        }
    }
    if (viewed >= 0)
        return viewed;
    for (int j = 0; j < SLOT_COUNT; j++)
        if (lineup[j] != LINEUP_EMPTY)
            return j;
    if (!demo_open)
        lineup[0] = LINEUP_ROBOT;
    return 0;
}

int session_draw_start_tick(std::mt19937& rng)
{
    // u in [0, 1) from one 32-bit draw
    double u = double(uint32_t(rng())) / 4294967296.0;
    return int(128 * (13 + 2 * u));
}

std::vector<GearChoice> gear_catalogue_build(const std::vector<std::string>& names, const char* prefix)
{
    std::vector<GearChoice> out;
    out.push_back({"default", ""});
    size_t plen = std::strlen(prefix);
    auto ends_with = [](const std::string& s, const char* tail) {
        size_t n = std::strlen(tail);
        return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
    };
    for (const std::string& name : names) {
        if (!ends_with(name, ".png") || ends_with(name, "_norm.png") || ends_with(name, "_spec.png"))
            continue;
        size_t slash = name.rfind('/');
        std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
        if (last.compare(0, plen, prefix) != 0)
            continue;
        out.push_back({last.substr(plen, last.size() - plen - 4), "@" + name});
    }
    return out;
}

std::string bike_graphics_prefix(const char* bike)
{
    static const char* const stems[] = {"yz250f_se", "crf250", "kx250f", "rmz250", "yz250f",
                                        "cr125", "kx125", "rm125", "yz125"};
    for (const char* stem : stems)
        if (std::strncmp(bike, stem, std::strlen(stem)) == 0)
            return std::string(stem) + "-";
    return std::string(bike) + "-";
}
