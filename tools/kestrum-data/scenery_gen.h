// Scenery of a shipped track derived from its course: what stands beside
// the course (never on it), the timing and starting gates along it, the
// lighting that matches the baked shading, and the HUD map.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "course.h"

// The ground the builder placed: heights from the track's "terrain.hf"
// bytes, so scenery stands where the ground really is.
struct SceneryGround {
    int vertex_count = 0;
    double spacing = 0, low = 0, high = 0;
    std::vector<double> heights;   // P*P, rows of constant z
    double extent() const { return spacing * (vertex_count - 1); }
    double height(double x, double z) const;
};
// Parses "terrain.hf" bytes with a raw ":" block; false when malformed.
bool scenery_ground_parse(const std::string& bytes, SceneryGround* out);

// The files "timing_gates", "flaggers", "billboards", "statues", "lighting"
// and "map.png" for the course, by file name.
std::vector<std::pair<std::string, std::string>> scenery_files(const Course& c, const SceneryGround& g);

// Collision shapes of statues the tracks place that come without one.
std::vector<std::pair<std::string, std::string>> scenery_shapes();
