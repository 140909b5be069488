// The shipped tracks as the builder made them: each loads cleanly, and the
// ground under its centre line is continuous and rideable.
#include <gtest/gtest.h>

#include <cmath>

#include "../../tools/kestrum-data/courses.h"
#include "files/stream.h"
#include "track/terrain.h"
#include "track/track_fixture.h"

namespace {

TEST(ShippedTracks, LoadWithoutAnyWarning)
{
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "game data not built (target game_data)";
    for (const Course& c : courses_all()) {
        SCOPED_TRACE(c.name);
        MessageCatcher msgs;
        auto hf = make_field();
        ASSERT_TRUE(terrain_load(hf.get(), ("@" + c.name).c_str()));
        EXPECT_TRUE(caught_messages().empty()) << msgs.all();
        EXPECT_EQ(hf->order, c.order);
        EXPECT_FLOAT_EQ(hf->spacing, float(c.spacing));
        EXPECT_EQ(hf->surface_count, 7);
    }
}

TEST(ShippedTracks, CentreLineIsRideable)
{
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "game data not built (target game_data)";
    // A tyre of about 1 ft radius meets at most this rise within one foot
    // anywhere it rides (the course's steepest face plus the shading of
    // quantised heights), and nothing on the course may hide a step.
    const double step = 0.5;
    for (const Course& c : courses_all()) {
        SCOPED_TRACE(c.name);
        auto hf = make_field();
        ASSERT_TRUE(terrain_load(hf.get(), ("@" + c.name).c_str()));
        std::vector<CourseSample> line = course_sample(c, step);
        for (double lane : {0.0, -1.0 / 3, 1.0 / 3}) {
            SCOPED_TRACE(lane);
            double worst = 0, worst_s = 0;
            int off_course = 0;
            for (size_t i = 0; i < line.size(); i++) {
                const CourseSample& a = line[i];
                const CourseSample& b = line[(i + 1) % line.size()];
                // Offset across the course, right of travel.
                double ax = a.x - a.tz * lane * a.width, az = a.z + a.tx * lane * a.width;
                double bx = b.x - b.tz * lane * b.width, bz = b.z + b.tx * lane * b.width;
                double run = std::hypot(bx - ax, bz - az);
                float ha = terrain_height(hf.get(), ax, az), hb = terrain_height(hf.get(), bx, bz);
                ASSERT_TRUE(std::isfinite(ha));
                double slope = std::fabs(hb - ha) / std::max(run, 1e-3);
                if (slope > worst) {
                    worst = slope;
                    worst_s = a.s;
                }
                int surface = surface_at(hf.get(), ax, az);
                if (surface == 4)  // grass: the line has left the course
                    off_course++;
            }
            EXPECT_LE(worst, c.max_slope + 0.05) << "steepest at s = " << worst_s;
            EXPECT_EQ(off_course, 0);
        }
    }
}

// Height of the ground along the centre line at arc length s.
float height_along(const HeightField* hf, const std::vector<CourseSample>& line, double s)
{
    double total = line.size() * (line[1].s - line[0].s);
    s = std::fmod(s + total, total);
    size_t i = size_t(s / (line[1].s - line[0].s)) % line.size();
    return terrain_height(hf, line[i].x, line[i].z);
}

TEST(ShippedTracks, DoublesAreClearedAtRaceSpeed)
{
    // A 250 leaves a double at 35-45 ft/s. Flying off the lip along the
    // face's own angle (gravity 32 ft/s^2), it must clear the gap from about
    // 38 ft/s up and still come down on the landing at 45 ft/s.
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "game data not built (target game_data)";
    for (const Course& c : courses_all()) {
        SCOPED_TRACE(c.name);
        auto hf = make_field();
        ASSERT_TRUE(terrain_load(hf.get(), ("@" + c.name).c_str()));
        std::vector<double> point_s;
        std::vector<CourseSample> line = course_sample(c, 0.5, &point_s);
        for (const CourseFeature& f : c.features) {
            if (f.kind != FeatureKind::Double)
                continue;
            double lip = course_feature_start(f, point_s) + f.face;
            double h0 = height_along(hf.get(), line, lip - 0.5);
            double angle = std::atan((h0 - height_along(hf.get(), line, lip - 2.5)) / 2.0);
            for (double speed : {38.0, 45.0}) {
                SCOPED_TRACE(speed);
                double vx = speed * std::cos(angle), vy = speed * std::sin(angle);
                double landed = -1;
                for (double t = 0.05; t < 3; t += 0.002) {
                    double x = vx * t, y = h0 + vy * t - 16 * t * t;
                    if (vy - 32 * t < 0 && y <= height_along(hf.get(), line, lip + x)) {
                        landed = x;
                        break;
                    }
                }
                EXPECT_GE(landed, f.gap - 3) << "short of the landing";
                EXPECT_LE(landed, f.gap + 3 + f.landing) << "past the landing";
            }
        }
    }
}

}  // namespace
