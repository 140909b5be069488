// The shipped tracks' timing gates fit their courses: a rider riding the
// centre line from the starting gates crosses every gate in order, lap
// after lap, and skips none.
#include "race/timing.h"

#include "../../tools/kestrum-data/courses.h"
#include "files/stream.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(ShippedGates, TheCentreLineCrossesEveryGateInOrder)
{
    setenv("RQ_HOME", KESTRUM_GAME_DIR, 1);
    setenv("XDG_DATA_HOME", test_scratch_dir("gates-user").c_str(), 1);
    data_paths_reset();
    bool built = test_have_game_data();
    for (const Course& c : courses_all()) {
        SCOPED_TRACE(c.name);
        if (!built)
            break;
        GateCourse course;
        timing_gates_load(&course, c.name.c_str(), 0);
        ASSERT_GT(course.gates.size(), 3u);
        ASSERT_GT(course.starting.size(), 0u);
        RaceTiming race;
        race.total_laps = 3;
        RaceProgress rider;
        TimingView view{};
        view.course = &course;
        view.race = &race;
        view.riders[0] = &rider;
        view.counts_for_finish[0] = true;
        std::vector<CourseSample> line = course_sample(c, 0.5);
        // Two laps and a bit along the centre line, one sample per tick.
        for (int lap = 0; lap < 2; lap++)
            for (const CourseSample& p : line) {
                race.clock++;
                timing_update(&view, 0, vec3(p.x, 0, p.z), nullptr, nullptr);
            }
        for (size_t k = 0; k < line.size() / 10; k++) {
            race.clock++;
            timing_update(&view, 0, vec3(line[k].x, 0, line[k].z), nullptr, nullptr);
        }
        EXPECT_EQ(laps_completed(&course, &rider), 2);
        EXPECT_GE(rider.gates_passed, course.first_count + course.normal_count);
        for (int pos = 0; pos < rider.gates_passed; pos++)
            EXPECT_GT(gate_time(&rider, pos), 0) << "position " << pos;
    }
    unsetenv("RQ_HOME");
    unsetenv("XDG_DATA_HOME");
    data_paths_reset();
    if (!built)
        GTEST_SKIP() << "data set not built";
}
