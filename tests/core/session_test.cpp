#include "core/session.h"

#include "files/config.h"
#include "files/stream.h"
#include "physics/bike.h"
#include "test_support.h"
#include "track/track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

// Points the data search at the built data set and the user folder at an
// empty scratch folder for the life of a test.
struct BuiltData {
    bool ok;
    BuiltData()
    {
        setenv("RQ_HOME", KESTRUM_GAME_DIR, 1);
        setenv("XDG_DATA_HOME", test_scratch_dir("session-user").c_str(), 1);
        data_paths_reset();
        ok = test_have_game_data() && physics_world_init();
        config_reset_defaults();
    }
    ~BuiltData()
    {
        session_end();
        physics_world_close();
        track_hooks = TrackHooks();  // the session installed its own
        unsetenv("RQ_HOME");
        unsetenv("XDG_DATA_HOME");
        data_paths_reset();
    }
};

double frame_up(const Bike* b)
{
    const dReal* r = dBodyGetRotation(b->body[BODY_FRAME]);
    return r[5];  // world y of the body's y axis
}

}  // namespace

TEST(Session, RobotsStandOnTheStartingGatesOfTheTrack)
{
    BuiltData data;
    if (!data.ok)
        GTEST_SKIP() << "data set not built";
    session().settings.track = "oakbasin";
    int lineup[SLOT_COUNT] = {};
    lineup[0] = LINEUP_ROBOT;
    lineup[1] = LINEUP_ROBOT;
    lineup[9] = LINEUP_ROBOT_2STROKE;
    lineup[3] = LINEUP_ROSTER_NUMBER + 45;
    ASSERT_TRUE(session_start(lineup, false, false, 0, 3, 0));
    Session& s = session();
    ASSERT_EQ(s.course.starting.size(), 8u);
    EXPECT_EQ(s.race.timing.total_laps, 3);
    EXPECT_EQ(s.race.timing.halfway_lap, 2);
    EXPECT_GE(s.race.timing.start_tick, 13 * 128);
    EXPECT_STREQ(roster()[size_t(s.riders[3].roster_index)].number, "45");
    EXPECT_NE(std::string(bike_model_name(s.riders[9].bike)).find("125"), std::string::npos);
    EXPECT_EQ(s.race.timing.standings_count, 4);

    // Slot 9 stands at gate 1 (of 8) one row, 10 ft, behind slot 1.
    const StartingGate& g = s.course.starting[1];
    const dReal* p1 = dBodyGetPosition(s.riders[1].bike->body[BODY_FRAME]);
    const dReal* p = dBodyGetPosition(s.riders[9].bike->body[BODY_FRAME]);
    EXPECT_NEAR(p[0] - p1[0], 10 * std::sin(g.angle), 0.05);
    EXPECT_NEAR(p[2] - p1[2], 10 * std::cos(g.angle), 0.05);
    const double start_x = p[0], start_z = p[2];

    // The robots' map of the track's objects has every bale and block,
    // but not the starting gates: they drop flat at the start.
    auto disc_near = [&](double x, double z) {
        for (const WayDisc& d : s.ways.discs)
            if (std::hypot(d.x - x, d.z - z) < 2.5)
                return true;
        return false;
    };
    int objects = 0;
    for (const Statue& st : track_current.statues)
        if (st.shape_name.find("haybale") != std::string::npos || st.shape_name.find("tuffblock") != std::string::npos) {
            EXPECT_TRUE(disc_near(st.x, st.z)) << st.x << " " << st.z;
            objects++;
        }
    EXPECT_GT(objects, 10);
    for (const StartingGate& sg : s.course.starting) {
        const Statue& st = track_current.statues[size_t(sg.object)];
        EXPECT_FALSE(disc_near(st.x, st.z)) << st.x << " " << st.z;
    }

    // Without racing lines robots hold their brakes: three seconds later
    // they still stand upright near where they were dropped.
    for (int t = 0; t < 3 * 128; t++)
        simulation_tick();
    EXPECT_EQ(s.race.timing.clock, 3 * 128);
    for (int j : {0, 3, 9}) {
        const Bike* b = s.riders[j].bike;
        EXPECT_GT(frame_up(b), 0.9) << j;
        const dReal* q = dBodyGetPosition(b->body[BODY_FRAME]);
        if (j == 9) {
            EXPECT_LT(std::hypot(q[0] - start_x, q[2] - start_z), 1.0);
        }
    }
}

TEST(Session, ABikeWhosePhysicsBrokeApartIsPutBackWhereItWas)
{
    BuiltData data;
    if (!data.ok)
        GTEST_SKIP() << "data set not built";
    session().settings.track = "oakbasin";
    int lineup[SLOT_COUNT] = {};
    lineup[0] = LINEUP_ROBOT;
    lineup[1] = LINEUP_ROBOT;
    ASSERT_TRUE(session_start(lineup, false, false, 0, 3, 0));
    Session& s = session();
    for (int t = 0; t < 128; t++)
        simulation_tick();
    // What a tangle of bikes leaves: one body flung off at a speed no ride
    // reaches, another gone to NaN.
    for (int j : {0, 1}) {
        Bike* b = s.riders[j].bike;
        const dReal* p = dBodyGetPosition(b->body[BODY_FRAME]);
        double x = p[0], z = p[2];
        b->gate_ticks.push_back(77);
        if (j == 0)
            dBodySetLinearVel(b->body[BODY_RIDER], 900, 0, 0);
        else
            dBodySetAngularVel(b->body[BODY_FRONT_WHEEL], NAN, 0, 0);
        ASSERT_TRUE(bike_motion_broken(b));
        simulation_tick();
        EXPECT_FALSE(bike_motion_broken(b)) << j;
        p = dBodyGetPosition(b->body[BODY_FRAME]);
        EXPECT_LT(std::hypot(p[0] - x, p[2] - z), 1.0) << j;
        EXPECT_GT(frame_up(b), 0.95) << j;
        EXPECT_EQ(b->gate_ticks.back(), 77) << j;  // the race it has ridden stands
        for (int t = 0; t < 128; t++)
            simulation_tick();
        EXPECT_FALSE(bike_motion_broken(b)) << j;
        EXPECT_GT(frame_up(b), 0.9) << j;
    }
}

TEST(Session, TimeTrialPutsThePlayerTwoGatesBeforeTheLapLine)
{
    BuiltData data;
    if (!data.ok)
        GTEST_SKIP() << "data set not built";
    session().settings.track = "oakbasin";
    ASSERT_TRUE(session_start(nullptr, false, false, 0, 1000, 0));
    Session& s = session();
    EXPECT_TRUE(s.race.time_trial);
    EXPECT_EQ(s.race.timing.clock, 300 * 128);
    ASSERT_NE(s.riders[0].bike, nullptr);
    EXPECT_EQ(s.riders[0].driver, DRIVER_PLAYER);
    int p = s.course.first_count - 2;
    EXPECT_EQ(s.riders[0].progress.gates_passed, p);
    const TimingGate& g = s.course.gates[size_t(course_gate_at(&s.course, p))];
    const dReal* at = dBodyGetPosition(s.riders[0].bike->body[BODY_FRAME]);
    // The frame body sits within a wheelbase of the bike's placement point.
    EXPECT_LT(std::hypot(at[0] - g.centre[0], at[2] - g.centre[2]), 4.5);
    for (int j = 1; j < SLOT_COUNT; j++)
        EXPECT_EQ(s.riders[j].bike, nullptr);
}

TEST(Session, UnknownTrackFailsAndLeavesNoRiders)
{
    BuiltData data;
    if (!data.ok)
        GTEST_SKIP() << "data set not built";
    session().settings.track = "nosuchtrack";
    int lineup[SLOT_COUNT] = {LINEUP_ROBOT};
    EXPECT_FALSE(session_start(lineup, false, false, 0, 3, 0));
    for (const Rider& r : session().riders)
        EXPECT_EQ(r.bike, nullptr);
    EXPECT_FALSE(session().have_track);
}

TEST(Session, TheSameSeedGivesTheSameRaceBitForBit)
{
    BuiltData data;
    if (!data.ok)
        GTEST_SKIP() << "data set not built";
    Session& s = session();
    s.settings.track = "oakbasin";
    s.settings.follow_course = true;
    s.settings.seed = 1234;
    int lineup[SLOT_COUNT] = {};
    lineup[0] = lineup[1] = lineup[2] = LINEUP_ROBOT;
    uint64_t hashes[2];
    int gates[2];
    for (int run = 0; run < 2; run++) {
        ASSERT_TRUE(session_start(lineup, false, false, 0, 3, 0));
        for (int t = 0; t < 10000; t++)
            simulation_tick();
        hashes[run] = session_state_hash();
        gates[run] = s.riders[0].progress.gates_passed;
    }
    s.settings.follow_course = false;
    s.settings.seed = -1;
    EXPECT_EQ(hashes[0], hashes[1]);
    EXPECT_EQ(gates[0], gates[1]);
    EXPECT_GT(gates[0], 3);  // the followers really rode
}

namespace {
std::string posted;
void capture_message(const char* text)
{
    posted += text;
}
}  // namespace

TEST(Session, ServerRaceHoldsAPlayerWhoLeavesTheGateEarly)
{
    BuiltData data;
    if (!data.ok)
        GTEST_SKIP() << "data set not built";
    session().settings.track = "oakbasin";
    int lineup[SLOT_COUNT] = {LINEUP_HUMAN, LINEUP_ROBOT};
    ASSERT_TRUE(session_start(lineup, false, false, 0, 3, 0));
    Session& s = session();
    s.race.server_race = true;
    posted.clear();
    s.post_message = capture_message;
    Bike* b = s.riders[0].bike;
    ASSERT_NE(b, nullptr);
    for (int t = 0; t < 64; t++) {
        bike_set_throttle(b, 0);
        simulation_tick();
    }
    EXPECT_EQ(s.false_start_hold, 0) << "standing still at the gate is no false start";

    // Moved 10 ft forward before the drop: the hold begins and overrides the
    // player's full throttle until 15 s after the drop.
    session_drop_bike(b, s.player_start.x + 10, s.player_start.z, 0);
    int clock = s.race.timing.clock;
    bike_set_throttle(b, 1);
    simulation_tick();
    EXPECT_EQ(posted, "15 second false start penalty");
    EXPECT_EQ(s.false_start_hold, s.race.timing.start_tick - clock + 15 * 128);
    EXPECT_EQ(b->controls.throttle, 0);
    EXPECT_EQ(b->controls.front_brake, 1);
    EXPECT_EQ(b->controls.rear_brake, 1);
    EXPECT_EQ(b->controls.sit_dab, 1);
    s.post_message = nullptr;
}

// Two bikes pressed against each other at a standstill stop pushing on each
// other after a few seconds, and touch again once they have been apart.
TEST(Session, BikesHeldTogetherAtACrawlAreLetThroughEachOtherUntilApart)
{
    BuiltData data;
    if (!data.ok)
        GTEST_SKIP() << "data set not built";
    session().settings.track = "oakbasin";
    int lineup[SLOT_COUNT] = {};
    lineup[0] = lineup[1] = LINEUP_ROBOT;
    ASSERT_TRUE(session_start(lineup, false, false, 0, 3, 0));
    Session& s = session();
    Bike* a = s.riders[0].bike;
    Bike* b = s.riders[1].bike;
    const dReal* p = dBodyGetPosition(a->body[BODY_FRAME]);
    const double x = p[0], z = p[2];
    const double yaw = std::atan2(-dBodyGetRotation(a->body[BODY_FRAME])[2], -dBodyGetRotation(a->body[BODY_FRAME])[10]);
    // Both stand on the gate, brakes on: the second bike right beside the
    // first, bars over bars.
    auto place_beside = [&](double gap) {
        double tx = x + gap * std::cos(yaw), tz = z - gap * std::sin(yaw);
        session_drop_bike(b, tx, tz, yaw);  // the frame lands off the point dropped at
        const dReal* q = dBodyGetPosition(b->body[BODY_FRAME]);
        session_drop_bike(b, 2 * tx - q[0], 2 * tz - q[2], yaw);
    };
    place_beside(1.5);
    for (int t = 0; t < 128; t++)
        simulation_tick();
    EXPECT_GE(b->last_bike_contact_tick, s.race.timing.clock - 8) << "the bikes should touch";
    for (int t = 0; t < 3 * 128; t++)
        simulation_tick();
    EXPECT_TRUE(s.tangles[0][1].released);
    EXPECT_LT(b->last_bike_contact_tick, s.race.timing.clock - 64);

    // Apart, the pair is an ordinary pair again.
    place_beside(20);
    simulation_tick();
    EXPECT_FALSE(s.tangles[0][1].released);
    place_beside(1.5);
    int placed = s.race.timing.clock;
    for (int t = 0; t < 64; t++)
        simulation_tick();
    EXPECT_GE(b->last_bike_contact_tick, placed);
}
