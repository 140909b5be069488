// The ground of the shipped tracks, each derived from its course. With
// KESTRUM_DATA_PREVIEW naming a folder, top-down pictures of each height
// field and tilemap and a line of figures per track are written there too
// (not part of the data set).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "courses.h"
#include "dataset.h"
#include "ground_gen.h"
#include "image_out.h"

namespace {

void write_preview(const Course& c, const GroundBuild& g, const char* folder)
{
    int p = g.vertex_count;
    // Heights as colour bands (low green, high brown-white) lit by the
    // baked shading, so both the land and the course features show.
    Image hm = image_make(p, p, 3);
    for (int j = 0; j < p; j++)
        for (int i = 0; i < p; i++) {
            double h = (g.heights[size_t(j) * size_t(p) + size_t(i)] - g.low) / (g.high - g.low);
            const uint8_t* sh = &g.shading[(size_t(j) * size_t(p) + size_t(i)) * 3];
            double band = 0.85 + 0.15 * std::cos(h * 60);
            double ramp[3] = {90 + 140 * h, 120 + 80 * h, 70 + 120 * h};
            uint8_t* px = image_at(hm, i, j);
            for (int ch = 0; ch < 3; ch++)
                px[ch] = uint8_t(std::clamp(int(ramp[ch] * band * sh[ch] / 128.0), 0, 255));
        }
    int tiles = 1 << g.order;
    static const uint8_t colours[SURF_COUNT][3] = {{130, 95, 60},  {170, 140, 105}, {95, 65, 40}, {225, 205, 150},
                                                   {80, 130, 50},  {60, 45, 30},    {50, 90, 200}};
    Image tm = image_make(tiles, tiles, 3);
    for (int r = 0; r < tiles; r++)
        for (int col = 0; col < tiles; col++) {
            uint8_t v = g.tilemap[size_t(r) * size_t(tiles) + size_t(col)];
            std::copy(colours[v], colours[v] + 3, image_at(tm, col, r));
        }
    std::ofstream(std::string(folder) + "/" + c.name + "-heights.png", std::ios::binary) << image_encode_png(hm);
    std::ofstream(std::string(folder) + "/" + c.name + "-tilemap.png", std::ios::binary) << image_encode_png(tm);
    std::vector<double> point_s;
    std::vector<CourseSample> s = course_sample(c, 1.0, &point_s);
    std::printf("%s: n=%d P=%d spacing %.1f ft extent %.0f ft, course %.0f ft, heights %.1f..%.1f ft\n",
                c.name.c_str(), g.order, p, g.spacing, g.spacing * (p - 1), course_length(c), g.low, g.high);
    for (size_t k = 0; k < point_s.size(); k++)
        std::printf("  point %zu at s=%.0f\n", k, point_s[k]);
}

bool build_tracks(DataSet& ds)
{
    const char* preview = std::getenv("KESTRUM_DATA_PREVIEW");
    for (const Course& c : courses_all()) {
        GroundBuild g;
        std::string error;
        if (!ground_build(c, &g, &error)) {
            std::fprintf(stderr, "kestrum-data: %s\n", error.c_str());
            return false;
        }
        for (const auto& [name, bytes] : ground_files(c, g))
            dataset_add(ds, c.name + "/" + name, bytes);
        if (preview && *preview)
            write_preview(c, g, preview);
    }
    return true;
}

}  // namespace

KESTRUM_DATA_BUILDER("tracks-ground", 300, build_tracks);
