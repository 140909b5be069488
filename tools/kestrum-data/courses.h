// The shipped courses. Each is described here once; everything the track
// folders hold about them is derived from these records.
#pragma once
#include <vector>

#include "course.h"

// Oak Basin: the start track. A grass valley with a wide start straight
// into a left-hand first turn, berms, two tabletops, doubles and a step-up.
inline Course course_oakbasin()
{
    Course c;
    c.name = "oakbasin";
    c.title = "Oak Basin";
    c.order = 8;
    c.spacing = 2.0;
    c.style = CourseStyle::Valley;
    c.seed = 0x0a4b;
    c.sun[0] = -0.45; c.sun[1] = 0.75; c.sun[2] = 0.35;
    c.sun_colour[0] = 0.78; c.sun_colour[1] = 0.74; c.sun_colour[2] = 0.66;
    c.ambient[0] = 0.42; c.ambient[1] = 0.44; c.ambient[2] = 0.50;
    c.max_slope = 0.70;
    c.points = {
        {230, 720, 30}, {430, 722, 30}, {620, 716, 28},   // start straight, east
        {730, 672, 22}, {762, 560, 20}, {752, 420, 20},   // first turn (left), north
        {770, 300, 20}, {720, 215, 22}, {600, 210, 20},   // hairpin, west
        {470, 250, 20}, {385, 335, 20}, {300, 300, 20},
        {215, 250, 20}, {150, 320, 22}, {165, 470, 20},   // turn south
        {235, 560, 20}, {330, 585, 20}, {430, 555, 20},
        {510, 500, 20}, {590, 545, 22}, {560, 625, 20},
        {420, 645, 20}, {260, 650, 20}, {140, 665, 22},
        {135, 720, 24},
    };
    c.features = {
        {FeatureKind::Berm, 2, 40, 150, 3.0},
        {FeatureKind::Tabletop, 4, 10, 75, 5.0, 18, 30, 0, 24},
        {FeatureKind::Berm, 6, 20, 150, 3.5},
        {FeatureKind::Double, 8, 10, 90, 5.0, 17, 0, 34, 28},
        {FeatureKind::Berm, 9, 60, 80, 2.5},
        {FeatureKind::Berm, 12, 10, 150, 3.0},
        {FeatureKind::StepUp, 13, 70, 100, 3.5, 14, 30, 0, 26, 6.5},
        {FeatureKind::Rhythm, 15, 40, 100, 2.5, 0, 0, 0, 0, 0, 4},
        {FeatureKind::Berm, 18, 20, 110, 3.0},
        {FeatureKind::Double, 20, 20, 92, 5.5, 19, 0, 36, 30},
        {FeatureKind::Whoops, 21, 40, 96, 1.6, 0, 0, 0, 0, 0, 8},
        {FeatureKind::Berm, 22, 60, 110, 3.5},
        {FeatureKind::Tabletop, 0, 120, 80, 4.0, 14.5, 32, 0, 22},
    };
    return c;
}

// Saltmarsh Sands: a sand course among dunes, with long whoop sections and
// deep ruts in its corners.
inline Course course_saltmarsh()
{
    Course c;
    c.name = "saltmarsh";
    c.title = "Saltmarsh Sands";
    c.order = 8;
    c.spacing = 1.5;
    c.style = CourseStyle::Dunes;
    c.seed = 0x5a17;
    c.sun[0] = 0.55; c.sun[1] = 0.62; c.sun[2] = -0.40;
    c.sun_colour[0] = 0.86; c.sun_colour[1] = 0.80; c.sun_colour[2] = 0.68;
    c.ambient[0] = 0.46; c.ambient[1] = 0.46; c.ambient[2] = 0.50;
    c.max_slope = 0.70;
    c.points = {
        {150, 600, 26}, {330, 610, 26}, {520, 600, 24},   // start straight, east
        {615, 540, 20}, {630, 430, 20}, {600, 320, 20},   // sweeper north
        {630, 210, 20}, {560, 140, 22}, {440, 150, 20},   // hairpin west
        {350, 215, 20}, {260, 160, 20}, {160, 170, 22},
        {120, 260, 20}, {200, 340, 20}, {330, 360, 20},
        {440, 420, 20}, {400, 500, 22}, {260, 490, 20},
        {140, 470, 22}, {100, 540, 24},
    };
    c.features = {
        {FeatureKind::Ruts, 2, 60, 120, 0.7, 0, 0, 0, 0, 0, 4},
        {FeatureKind::Berm, 2, 70, 110, 2.5},
        {FeatureKind::Whoops, 4, 0, 132, 1.8, 0, 0, 0, 0, 0, 11},
        {FeatureKind::Ruts, 6, 20, 130, 0.8, 0, 0, 0, 0, 0, 4},
        {FeatureKind::Berm, 6, 30, 120, 3.0},
        {FeatureKind::Tabletop, 8, 10, 75, 4.5, 16, 28, 0, 22},
        {FeatureKind::Ruts, 10, 40, 130, 0.8, 0, 0, 0, 0, 0, 3},
        {FeatureKind::Whoops, 12, 30, 120, 1.6, 0, 0, 0, 0, 0, 10},
        {FeatureKind::Double, 14, 0, 90, 5.0, 17, 0, 34, 24},
        {FeatureKind::Ruts, 15, 30, 120, 0.7, 0, 0, 0, 0, 0, 4},
        {FeatureKind::Berm, 15, 40, 110, 2.5},
        {FeatureKind::Whoops, 17, 0, 110, 1.7, 0, 0, 0, 0, 0, 9},
        {FeatureKind::Ruts, 18, 10, 120, 0.8, 0, 0, 0, 0, 0, 4},
    };
    return c;
}

// Ironworks Arena: a tight stadium course on a flat floor, lanes joined by
// hairpins, with rhythm sections, whoops, a tabletop and a water crossing.
inline Course course_ironworks()
{
    Course c;
    c.name = "ironworks";
    c.title = "Ironworks Arena";
    c.order = 8;
    c.spacing = 1.0;
    c.style = CourseStyle::Stadium;
    c.seed = 0x1e0c;
    c.sun[0] = 0.20; c.sun[1] = 0.95; c.sun[2] = 0.15;   // the overhead lights
    c.sun_colour[0] = 0.70; c.sun_colour[1] = 0.70; c.sun_colour[2] = 0.72;
    c.ambient[0] = 0.50; c.ambient[1] = 0.50; c.ambient[2] = 0.52;
    c.max_slope = 0.70;
    c.points = {
        {120, 150, 18}, {260, 150, 18}, {390, 152, 18},   // lane 1, east (start)
        {420, 178, 16}, {390, 205, 16}, {260, 205, 16},   // hairpin, lane 2 west
        {120, 205, 16}, {92, 232, 16}, {120, 260, 16},    // hairpin, lane 3 east
        {260, 260, 16}, {390, 260, 16}, {420, 287, 16},
        {390, 315, 16}, {260, 315, 16}, {120, 315, 16},   // lane 4 west
        {92, 342, 16}, {120, 370, 16}, {260, 370, 16},    // lane 5 east
        {400, 372, 16}, {455, 340, 16}, {462, 220, 16},   // back straight north
        {450, 105, 16}, {390, 88, 16}, {260, 90, 16},     // top lane west
        {110, 92, 16}, {72, 120, 16},
    };
    c.features = {
        {FeatureKind::Tabletop, 0, 70, 74, 4.0, 14.5, 32, 0, 20},
        {FeatureKind::Berm, 2, 10, 70, 2.5},
        {FeatureKind::Rhythm, 4, 10, 132, 2.8, 0, 0, 0, 0, 0, 6},
        {FeatureKind::Berm, 6, 5, 70, 2.5},
        {FeatureKind::Water, 8, 40, 46, 1.2},
        {FeatureKind::Double, 9, 20, 88, 5.0, 17, 0, 33, 24},
        {FeatureKind::Berm, 10, 20, 70, 2.5},
        {FeatureKind::Whoops, 12, 30, 110, 1.5, 0, 0, 0, 0, 0, 10},
        {FeatureKind::Berm, 14, 5, 70, 2.5},
        {FeatureKind::Rhythm, 16, 20, 120, 3.0, 0, 0, 0, 0, 0, 5},
        {FeatureKind::Berm, 18, 20, 70, 2.5},
        {FeatureKind::StepUp, 20, 20, 80, 3.0, 13, 20, 0, 22, 5.5},
        {FeatureKind::Rhythm, 22, 30, 150, 2.6, 0, 0, 0, 0, 0, 6},
        {FeatureKind::Berm, 24, 10, 70, 2.5},
    };
    return c;
}

inline std::vector<Course> courses_all() { return {course_oakbasin(), course_saltmarsh(), course_ironworks()}; }
