#include "race/timing.h"

#include "files/stream.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Four gates on a square, every one crossed heading +x; first and normal
// laps both run 0 1 2 3, so gate 3 is the lap line.
const char* square_course =
    "startinggate:\n"
    "[0 0 0] 4\n"
    "[5 0 0] 0\n"
    "checkpoints:\n"
    "10 [0 0 0] [1 0 0]\n"
    "10 [100 0 0] [1 0 0]\n"
    "10 [200 0 0] [1 0 0]\n"
    "10 [300 0 0] [1 0 0]\n"
    "firstlap:\n0 1 2 3\n"
    "normallap:\n0 1 2 100003\n";

GateCourse course_from(const std::string& text, const char* tag)
{
    std::string dir = test_scratch_dir(tag);
    test_write_file(dir + "timing_gates", text);
    Stream* s = stream_open((dir + "timing_gates").c_str(), "rb");
    GateCourse c;
    timing_gates_read(&c, s);
    stream_close(s);
    return c;
}

struct Race {
    GateCourse course;
    RaceTiming race;
    RaceProgress riders[3];
    TimingView view{};

    explicit Race(int riders_count = 3, int laps = 2)
    {
        course = course_from(square_course, "timing");
        view.course = &course;
        view.race = &race;
        for (int i = 0; i < riders_count; i++) {
            view.riders[i] = &riders[i];
            view.counts_for_finish[i] = true;
        }
        race.start_tick = 100;
        race.total_laps = laps;
        race.extra_laps = laps;
        race.halfway_lap = (laps + 1) / 2;
        standings_update(&view);
    }

    // Puts the rider's front wheel just beyond gate g at tick t.
    TimingResult cross(int slot, int gate, int tick)
    {
        race.clock = tick;
        return timing_update(&view, slot, vec3(gate * 100.0 + 1, 0, 0), nullptr, nullptr);
    }

    // Rides whole laps: each gate 100 ticks after the last.
    int ride(int slot, int gates, int tick, int step = 100)
    {
        for (int k = 0; k < gates; k++) {
            int gate = riders[slot].gates_passed % 4;
            cross(slot, gate, tick);
            tick += step;
        }
        return tick;
    }
};

}  // namespace

TEST(Timing, ReadsGatesSequencesAndStartingGates)
{
    GateCourse c = course_from(square_course, "timing-read");
    ASSERT_EQ(c.gates.size(), 4u);
    EXPECT_EQ(c.first_count, 4);
    EXPECT_EQ(c.normal_count, 4);
    EXPECT_EQ(c.normal_real, 3);  // the timing-only entry starts no segment
    ASSERT_EQ(c.starting.size(), 2u);
    EXPECT_NEAR(c.starting[0].angle, 4 - 2 * M_PI, 1e-5);
    EXPECT_EQ(course_gate_at(&c, 7), 3);
    EXPECT_FALSE(course_position_is_segment(&c, 7));
    EXPECT_TRUE(course_position_is_segment(&c, 3));

    // Written back unchanged, timing-only marks included.
    std::string dir = test_scratch_dir("timing-save");
    setenv("XDG_DATA_HOME", dir.c_str(), 1);
    data_paths_reset();
    ASSERT_TRUE(timing_gates_save(&c, "square"));
    GateCourse again;
    timing_gates_load(&again, "square", 0);
    unsetenv("XDG_DATA_HOME");
    data_paths_reset();
    EXPECT_EQ(again.sequence, c.sequence);
    EXPECT_EQ(again.gates.size(), 4u);
    EXPECT_FLOAT_EQ(again.gates[2].centre[0], 200);
}

TEST(Timing, BadGateDataDropsGatesButKeepsStartingGates)
{
    const char* cases[] = {
        "startinggate:\n[1 2 3] 0\nnotcheckpoints:\n",
        "startinggate:\n[1 2 3] 0\ncheckpoints:\n10 [0 0 0] [1 0 0]\nfirstlap:\n0\n",  // no normal lap
        "startinggate:\n[1 2 3] 0\ncheckpoints:\nfirstlap:\n0\nnormallap:\n0\n",     // no gates
        "startinggate:\n[1 2 3] 0\ncheckpoints:\n10 [0 0 0] [1 0 0]\nfirstlap:\n-5 999\nnormallap:\n0\n",
    };
    for (int i = 0; i < 4; i++) {
        GateCourse c = course_from(cases[i], "timing-bad");
        EXPECT_EQ(c.starting.size(), 1u) << i;
        if (i < 3) {
            EXPECT_TRUE(c.gates.empty()) << i;
        }
    }
    // Negative and too-large entries are limited to real gates.
    GateCourse c = course_from(cases[3], "timing-bad");
    EXPECT_EQ(c.sequence, (std::vector<int>{0, 0, 0}));
    // Binary garbage is no course at all.
    GateCourse g = course_from(std::string("\x01\xff[[[ 3e99 ]\0\0", 14), "timing-bad");
    EXPECT_TRUE(g.gates.empty());
}

TEST(Timing, LapsAndLapTimes)
{
    Race r(1);
    int tick = r.ride(0, 4, 200);  // lap 1: gates at 200..500
    EXPECT_EQ(laps_completed(&r.course, &r.riders[0]), 1);
    EXPECT_FLOAT_EQ(lap_time(&r.course, &r.race, &r.riders[0], 1), (500 - 100) / 128.0f);  // from the start tick
    r.ride(0, 4, tick, 50);  // lap 2: 600, 650, 700, 750
    EXPECT_EQ(laps_completed(&r.course, &r.riders[0]), 2);
    EXPECT_FLOAT_EQ(lap_time(&r.course, &r.race, &r.riders[0], 2), (750 - 500) / 128.0f);
    EXPECT_FLOAT_EQ(lap_time(&r.course, &r.race, &r.riders[0], -1), (750 - 500) / 128.0f);
    EXPECT_EQ(lap_time(&r.course, &r.race, &r.riders[0], 3), 0);
    EXPECT_TRUE(r.riders[0].finished);  // two laps of two
}

TEST(Timing, SkippedGatesAreRecordedAndCanBeRetaken)
{
    Race r(1);
    r.cross(0, 0, 200);
    EXPECT_EQ(r.cross(0, 2, 300), TIMING_CROSSED);  // skips gate 1
    EXPECT_EQ(r.riders[0].gates_passed, 3);
    EXPECT_EQ(gate_time(&r.riders[0], 1), -1);
    // A gate already passed cleanly is not crossed again.
    EXPECT_EQ(r.cross(0, 0, 350), TIMING_NOTHING);
    // Skipping two at once records two -1s.
    Race s(1);
    s.cross(0, 0, 200);
    s.cross(0, 3, 300);
    EXPECT_EQ(s.riders[0].gate_times, (std::vector<int>{200, -1, -1, 300}));
    // Going back through a skipped gate re-times it.
    EXPECT_EQ(s.cross(0, 1, 400), TIMING_CROSSED);
    EXPECT_EQ(gate_time(&s.riders[0], 1), 400);
    EXPECT_EQ(s.riders[0].gates_passed, 2);
}

TEST(Timing, NoGateOfTheNextLapBeforeTheLapLine)
{
    Race r(1, 3);
    r.ride(0, 3, 200);                                // gates 0, 1, 2 of lap 1
    EXPECT_EQ(r.cross(0, 0, 600), TIMING_NOTHING);    // gate 0 again: lap 2's, not allowed yet
    EXPECT_EQ(r.riders[0].gates_passed, 3);
    EXPECT_EQ(r.cross(0, 3, 700), TIMING_CROSSED);
}

TEST(Timing, CuttingIsPenalisedOnlyWhenFasterThanTheField)
{
    Race r(3, 1);
    r.ride(0, 4, 200, 100);  // clean: 200 300 400 500
    r.ride(1, 4, 210, 100);  // clean: 210 310 410 510
    // Rider 2 skips gate 1 and reaches gate 2 in 20 ticks from gate 0; the
    // field took 200 ticks for 0 -> 2, so it is allowed 200 + 128.
    r.cross(2, 0, 220);
    r.cross(2, 2, 240);
    r.cross(2, 3, 250);
    EXPECT_EQ(reference_stretch_time(&r.view, 0, 2), 200);
    EXPECT_EQ(reference_stretch_time(&r.view, 1, 3), 200);
    ASSERT_TRUE(r.race.results_final);
    const Standing* last = nullptr;
    for (int i = 0; i < r.race.final_count; i++)
        if (r.race.final_standings[i].slot == 2)
            last = &r.race.final_standings[i];
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->penalty_ticks, 328 - 20);
    EXPECT_EQ(last->last_tick, 250 + 308);
    EXPECT_EQ(r.race.final_standings[2].slot, 2);  // dropped from first to last
}

TEST(Timing, StretchNobodyPassedIsAllowedSixtySeconds)
{
    Race r(1);
    r.cross(0, 0, 200);
    r.cross(0, 2, 300);
    EXPECT_EQ(reference_stretch_time(&r.view, 0, 2), 7680);
}

TEST(Timing, TimedRaceFixesTotalLapsAfterTheLimit)
{
    Race r(1, 0);
    r.race.total_laps = LAPS_UNKNOWN;
    r.race.halfway_lap = LAPS_UNKNOWN;
    r.race.time_limit = 1000;
    r.race.extra_laps = 1;
    r.ride(0, 4, 200);  // lap 1 done at 500
    EXPECT_EQ(r.race.total_laps, LAPS_UNKNOWN);
    EXPECT_EQ(r.race.halfway_lap, 2);  // fixed once the clock passed half the limit
    r.ride(0, 5, 1100);                // past the limit on lap 2
    EXPECT_EQ(r.race.total_laps, 3);   // leader's laps at the update (1) + extra + 1
    EXPECT_FALSE(r.riders[0].finished);
}

TEST(Timing, StartingPlacesAndGateDrop)
{
    GateCourse c = course_from(square_course, "timing-start");
    Vec3 p;
    double yaw;
    starting_place(&c, 3, 500, &p, &yaw);  // second row behind gate 1
    EXPECT_NEAR(p.x, 5, 1e-9);
    EXPECT_NEAR(p.z, 1.0625 * 10, 1e-6);
    EXPECT_EQ(yaw, 0);
    GateCourse none;
    starting_place(&none, 2, 500, &p, &yaw);
    EXPECT_EQ(p.x, 260);
    EXPECT_EQ(p.z, 250);

    // Only gates with a model fall; one a bike touches this tick holds.
    GateCourse bare = c;
    c.starting[0].object = 0;
    c.starting[1].object = 1;
    RaceTiming race;
    race.start_tick = 10;
    for (race.clock = 0; race.clock <= 26; race.clock++) {
        c.starting[1].touched_tick = race.clock == 20 ? 20 : -1;
        starting_gates_update(&c, &race);
    }
    EXPECT_NEAR(c.starting[0].raise, 1 - 16 * 8 / 128.0, 1e-6);
    EXPECT_NEAR(c.starting[1].raise, 1 - 15 * 8 / 128.0, 1e-6);
    for (; race.clock < 200; race.clock++)
        starting_gates_update(&c, &race);
    EXPECT_EQ(c.starting[0].raise, 0);
    for (race.clock = 0; race.clock < 200; race.clock++)
        starting_gates_update(&bare, &race);
    EXPECT_EQ(bare.starting[0].raise, 1);
    EXPECT_NEAR(starting_gate_tilt(1), 33.75 * M_PI / 180, 1e-6);
}

TEST(Timing, FalseStartHoldsFifteenSecondsPastTheDrop)
{
    RaceTiming race;
    race.start_tick = 1000;
    race.clock = 900;
    int hold = 0;
    // Just inside the 3 ft allowance nothing happens; at 3 ft the hold
    // begins, once, lasting to the drop and 15 s beyond.
    EXPECT_FALSE(false_start_step(&race, &hold, 8.99));
    EXPECT_EQ(hold, 0);
    EXPECT_TRUE(false_start_step(&race, &hold, 9.0));
    EXPECT_EQ(hold, 100 + 15 * 128);
    race.clock++;
    EXPECT_FALSE(false_start_step(&race, &hold, 100));
    EXPECT_EQ(hold, 100 + 15 * 128 - 1);
    // Once it has run out a rider who left after the drop starts no new one.
    hold = 1;
    race.clock = 1001;
    EXPECT_FALSE(false_start_step(&race, &hold, 100));
    EXPECT_FALSE(false_start_step(&race, &hold, 100));
    EXPECT_EQ(hold, 0);
    race.clock = 1000;  // still the drop tick: the rule applies
    EXPECT_TRUE(false_start_step(&race, &hold, 100));
    EXPECT_EQ(hold, 15 * 128);
}
