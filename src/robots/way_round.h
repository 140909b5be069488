// The way round the track's objects for a robot that cannot ride straight
// to its point: the objects seen from above as discs, a test of a straight
// path against them, and the shortest way round them on a grid.
#pragma once
#include <vector>

#include "core/vec.h"

// One piece of an object at bike height, seen from above.
struct WayDisc {
    float x, z, r;
};

// The discs of a track, in square buckets for the tests below.
struct WayMap {
    std::vector<WayDisc> discs;
    double origin_x = 0, origin_z = 0;     // corner of bucket (0, 0)
    int columns = 0, rows = 0;
    std::vector<std::vector<int>> buckets;  // disc indices, row by row
    double largest_radius = 0;              // every query widens its box by this
};

// How far from an object a bike's centre line keeps: it touches at about a
// foot (bars, footpegs), and a way that close is a way into it.
constexpr double WAY_CLEARANCE = 2.0;
// The side of a grid cell of the search, ft.
constexpr double WAY_CELL = 1.5;
// Half the side of the square searched, centred between bike and point, ft;
// a point further than this from the bike is not searched for.
constexpr double WAY_REACH = 96;

// Buckets the discs (an empty list gives a map that blocks nothing).
void way_map_build(WayMap* m, std::vector<WayDisc> discs);

// Whether a bike's centre riding straight from a to b comes within
// clearance of a disc, seen from above.
bool way_blocked(const WayMap* m, Vec3 a, Vec3 b, double clearance);

// The first leg of the shortest way from `from` to `to` that keeps
// WAY_CLEARANCE from every disc (closer only where the bike already is):
// the furthest point along it, at most 40 ft on, that can be ridden to
// straight. False when no way is found inside the square searched, or
// the point is out of reach.
bool way_round(const WayMap* m, Vec3 from, Vec3 to, Vec3* waypoint);
