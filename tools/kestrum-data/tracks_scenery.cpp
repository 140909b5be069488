// The scenery, gates, lighting and map of the shipped tracks. Runs after the
// ground builder so that every object can stand on the ground it made.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "courses.h"
#include "dataset.h"
#include "image_out.h"
#include "scenery_gen.h"

namespace {

// A top-down picture of the course and every object placed beside it
// (statues red, billboards green, flaggers blue, gates yellow), for a
// person to check the placement. Not part of the data set.
void write_preview(const Course& c, const SceneryGround& g,
                   const std::vector<std::pair<std::string, std::string>>& files, const char* folder)
{
    const int side = 1024;
    Image im = image_make(side, side, 3);
    double scale = side / g.extent();
    for (const CourseSample& q : course_sample(c, 1.0))
        for (double d = -q.width / 2; d <= q.width / 2; d += 0.5) {
            int x = int((q.x - q.tz * d) * scale), y = int((q.z + q.tx * d) * scale);
            if (x >= 0 && y >= 0 && x < side && y < side) {
                uint8_t* px = image_at(im, x, y);
                px[0] = px[1] = px[2] = 110;
            }
        }
    auto dots = [&](const std::string& text, uint8_t r, uint8_t gr, uint8_t b) {
        const char* p = text.c_str();
        while ((p = std::strchr(p, '['))) {
            double x, o, z;
            if (std::sscanf(p, "[%lf %lf %lf]", &x, &o, &z) == 3) {
                for (int dy = -1; dy <= 1; dy++)
                    for (int dx = -1; dx <= 1; dx++) {
                        int px = int(x * scale) + dx, py = int(z * scale) + dy;
                        if (px >= 0 && py >= 0 && px < side && py < side) {
                            uint8_t* q = image_at(im, px, py);
                            q[0] = r, q[1] = gr, q[2] = b;
                        }
                    }
            }
            p++;
        }
    };
    for (const auto& [file, text] : files) {
        if (file == "statues")
            dots(text, 230, 40, 40);
        else if (file == "billboards")
            dots(text, 40, 200, 40);
        else if (file == "flaggers")
            dots(text, 60, 120, 255);
        else if (file == "timing_gates")
            dots(text, 250, 230, 40);
    }
    std::ofstream(std::string(folder) + "/" + c.name + "-scenery.png", std::ios::binary) << image_encode_png(im);
}

bool build_track_scenery(DataSet& ds)
{
    for (const auto& [name, bytes] : scenery_shapes())
        dataset_add(ds, name, bytes);
    for (const Course& c : courses_all()) {
        auto hf = ds.files.find(c.name + "/terrain.hf");
        SceneryGround g;
        if (hf == ds.files.end() || !scenery_ground_parse(hf->second, &g)) {
            std::fprintf(stderr, "kestrum-data: no ground for %s to place scenery on\n", c.name.c_str());
            return false;
        }
        std::vector<std::pair<std::string, std::string>> files = scenery_files(c, g);
        for (const auto& [file, text] : files)
            dataset_add(ds, c.name + "/" + file, text);
        const char* preview = std::getenv("KESTRUM_DATA_PREVIEW");
        if (preview && *preview)
            write_preview(c, g, files, preview);
    }
    return true;
}

}  // namespace

KESTRUM_DATA_BUILDER("tracks-scenery", 310, build_track_scenery);
