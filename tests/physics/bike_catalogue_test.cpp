// The catalogue and the setup rules: look-up with fallback, torque curves,
// gearing, stability presets and the control helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "files/config.h"
#include "physics/bike.h"
#include "physics/bike_model.h"
#include "platform/log.h"
#include "test_support.h"

namespace {

// Runs fn with the log going to a scratch file and returns what it wrote.
template <class Fn>
std::string capture_log(const char* tag, Fn fn)
{
    LogCapture log(tag);
    fn();
    return log.text();
}

int first_zero(const BikeModel* m)
{
    for (int i = 5; i < BIKE_TORQUE_STEPS; i++)
        if (m->open_torque[i] <= 0)
            return i;
    return -1;
}

}  // namespace

TEST(BikeCatalogue, LookupFallsBackAndLogsOnce)
{
    struct Case {
        const char* asked;
        const char* got;
        bool logged;
    };
    const Case cases[] = {
        {"yz125", "yz125", false},
        {"crf250(2008)", "crf250(2008)", false},
        {"foo", "kx250f(2009)", true},       // first entry containing "250f"
        {"super125x", "cr125", true},        // first entry containing "125"
        {"CRF250(2009)", "kx250f(2009)", true},  // names are case-sensitive
    };
    for (const Case& c : cases) {
        const BikeModel* m = nullptr;
        std::string log = capture_log("bike_lookup", [&] { m = bike_model_lookup(c.asked); });
        ASSERT_NE(m, nullptr);
        EXPECT_STREQ(m->name, c.got) << c.asked;
        std::string line = std::string("bike info for '") + c.asked + "' not found using '" +
                           c.got + "' instead";
        EXPECT_EQ(log.find(line) != std::string::npos, c.logged) << log;
    }
    EXPECT_EQ(bike_model_find("foo"), nullptr);
    EXPECT_EQ(bike_model_find("125sx"), bike_model_at(12));
}

TEST(BikeCatalogue, MenuOffersSeventeenKnownBikesWithout125sx)
{
    for (int i = 0; i < BIKE_MENU_COUNT; i++) {
        ASSERT_NE(bike_model_find(bike_menu_name(i)), nullptr) << i;
        EXPECT_STRNE(bike_menu_name(i), "125sx");
    }
    EXPECT_STREQ(bike_menu_name(12), "yz250f_se(2006)");
    EXPECT_STREQ(bike_menu_name(13), "cr125");
}

TEST(BikeCatalogue, FileNamesFollowTheModelPrefix)
{
    const BikeModel* se = bike_model_find("yz250f_se(2006)");
    EXPECT_STREQ(se->frame_model, "@yz250f_frame.jm");
    EXPECT_STREQ(se->bike_texture, "@yz250f_se.png");
    const BikeModel* rm = bike_model_find("rm125");
    EXPECT_STREQ(rm->fork_lower_model, "@rm125_fork_lower.jm");
    EXPECT_STREQ(rm->bike_texture, "@rm125.png");
    EXPECT_STREQ(rm->rider_shape, "@generic_rider.shp");
}

TEST(BikeCatalogue, TorqueCurvesPeakAndFallWhereEachEngineDoes)
{
    for (int i = 0; i < BIKE_MODEL_COUNT; i++) {
        const BikeModel* m = bike_model_at(i);
        int peak = 0;
        for (int k = 1; k < BIKE_TORQUE_STEPS; k++)
            if (m->open_torque[k] > m->open_torque[peak])
                peak = k;
        double peak_rpm = peak * 500.0;
        float top = m->open_torque[peak];
        if (m->two_stroke) {
            EXPECT_GE(peak_rpm, 10000) << m->name;
            EXPECT_LE(peak_rpm, 11000) << m->name;
            EXPECT_GE(top, 15.9f) << m->name;
            EXPECT_LE(top, 17.0f) << m->name;
        } else {
            EXPECT_GE(peak_rpm, 8500) << m->name;
            EXPECT_LE(peak_rpm, 9500) << m->name;
            EXPECT_GE(top, 19.0f) << m->name;
            EXPECT_LE(top, 20.5f) << m->name;
        }
        int zero = first_zero(m);
        EXPECT_GE(zero * 500, 13000) << m->name;
        EXPECT_LE(zero * 500, 14000) << m->name;
        for (int k = 0; k < 5; k++)
            EXPECT_EQ(m->open_torque[k], 5.0f) << m->name;
        // Smooth: rising to the peak, falling after it, never a jump upwards.
        for (int k = 5; k <= peak; k++)
            EXPECT_GE(m->open_torque[k], m->open_torque[k - 1]) << m->name << " @" << k;
        for (int k = peak + 1; k < BIKE_TORQUE_STEPS; k++)
            EXPECT_LE(m->open_torque[k], m->open_torque[k - 1]) << m->name << " @" << k;
        // Engine braking: 1 ft·lbf less per 1000 rpm past the zero point.
        for (int k = zero + 1; k + 2 < BIKE_TORQUE_STEPS; k++)
            EXPECT_FLOAT_EQ(m->open_torque[k + 2], m->open_torque[k] - 1) << m->name << " @" << k;
        EXPECT_FLOAT_EQ(m->closed_torque[0], 2);
        EXPECT_FLOAT_EQ(m->closed_torque[1], 1);
        EXPECT_FLOAT_EQ(m->closed_torque[2], 0);
        EXPECT_FLOAT_EQ(m->closed_torque[49], -23);
    }
    // The 2009 four-strokes run a step further than the 2007 and 2008 ones.
    EXPECT_EQ(first_zero(bike_model_find("crf250(2009)")), 28);
    EXPECT_EQ(first_zero(bike_model_find("crf250(2008)")), 27);
    EXPECT_EQ(first_zero(bike_model_find("kx250f(2007)")), 27);
}

TEST(BikeCatalogue, TorqueCurvesDifferBetweenBikes)
{
    for (int a = 0; a < BIKE_MODEL_COUNT; a++)
        for (int b = a + 1; b < BIKE_MODEL_COUNT; b++) {
            const BikeModel* x = bike_model_at(a);
            const BikeModel* y = bike_model_at(b);
            bool same = true;
            for (int k = 0; k < BIKE_TORQUE_STEPS; k++)
                same = same && x->open_torque[k] == y->open_torque[k];
            EXPECT_FALSE(same) << x->name << " and " << y->name;
        }
}

TEST(BikeCatalogue, TorqueLookupTakesTheNearestStepAndBlendsThrottle)
{
    const BikeModel* m = bike_model_find("crf250(2009)");
    EXPECT_FLOAT_EQ(bike_model_torque(m, 8500, 1), 20.39f);
    EXPECT_FLOAT_EQ(bike_model_torque(m, 8749, 1), 20.39f);  // rounds to 8500
    EXPECT_FLOAT_EQ(bike_model_torque(m, 8750, 1), 20.23f);  // rounds to 9000
    EXPECT_FLOAT_EQ(bike_model_torque(m, -300, 0), 2);       // clamped to the first step
    EXPECT_FLOAT_EQ(bike_model_torque(m, 90000, 0), -23);    // and to the last
    EXPECT_NEAR(bike_model_torque(m, 8500, 0.5), (20.39 + -7) / 2, 1e-5);
}

TEST(BikeCatalogue, MenuDisplayConversions)
{
    const BikeModel* m = bike_model_at(0);
    EXPECT_NEAR(bike_model_fork_spring_kg_mm(m, 0), 510.6964 * 0.0007440819724087572, 1e-6);
    EXPECT_NEAR(bike_model_fork_preload_mm(m, 100), 304.8 / 12, 1e-4);
    EXPECT_NEAR(bike_model_fork_oil_level_mm(m, 200), 0.25 * 304.8, 1e-4);  // clamped to 100 %
    EXPECT_NEAR(bike_model_shock_spring_kg_mm(m, 50), (2217.4976 + 4031.814) / 2 * 0.0014881639448175144, 1e-4);
    EXPECT_NEAR(bike_model_shock_preload_mm(m, 100), 0.0275 * 304.8, 1e-4);
    EXPECT_EQ(bike_model_rear_sprocket_teeth(m), 51);
}

// A bike record without bodies is enough for the setup rules.
static Bike bare_bike(const char* name)
{
    Bike b{};
    b.model = *bike_model_find(name);
    b.setup = bike_setup_initial(&b.model);
    return b;
}

TEST(BikeSetup, SprocketsNeverGoBelowThreeTeeth)
{
    Bike b = bare_bike("crf250(2009)");
    EXPECT_NEAR(b.setup.final_ratio, 51.0 / 13, 1e-6);
    bike_set_front_sprocket_adjustment(&b, 2);
    EXPECT_NEAR(b.setup.final_ratio, 51.0 / 15, 1e-6);
    bike_set_front_sprocket_adjustment(&b, -12);  // 1 tooth: held at 3
    EXPECT_NEAR(b.setup.final_ratio, 51.0 / 3, 1e-6);
    bike_set_rear_sprocket_adjustment(&b, -60);
    EXPECT_NEAR(b.setup.final_ratio, 3.0 / 3, 1e-6);
}

TEST(BikeSetup, ShiftingSkipsMissingGearsAndNeedsARelease)
{
    Bike b = bare_bike("crf250(2009)");  // five gears; the sixth ratio is -1
    for (int i = 0; i < 4; i++) {
        bike_request_shift(&b, 1);
        bike_request_shift(&b, 0);
    }
    EXPECT_EQ(b.gear, 4);  // fifth
    bike_request_shift(&b, 1);
    EXPECT_EQ(b.gear, 4);
    bike_request_shift(&b, 0);
    bike_request_shift(&b, -1);
    EXPECT_EQ(b.gear, 3);
    bike_request_shift(&b, -1);  // held: no second shift
    EXPECT_EQ(b.gear, 3);
    bike_request_shift(&b, 5);  // out of range: ignored
    EXPECT_EQ(b.gear, 3);

    Bike six = bare_bike("rm125");
    six.gear = 4;
    bike_request_shift(&six, 1);
    EXPECT_EQ(six.gear, 5);

    b.crash_timer = 1;  // locked controls ignore shifting
    bike_request_shift(&b, 0);
    bike_request_shift(&b, 1);
    EXPECT_EQ(b.gear, 3);
    EXPECT_EQ(bike_shift_request_from_axis(0.7), 1);
    EXPECT_EQ(bike_shift_request_from_axis(-0.7), -1);
    EXPECT_EQ(bike_shift_request_from_axis(0.3), 0);
}

TEST(BikeSetup, StabilityPresetsInterpolateTheTable)
{
    StabilityPreset top = stability_preset(100);
    EXPECT_DOUBLE_EQ(top.direct_steering, 0);
    EXPECT_DOUBLE_EQ(top.roll_limit_angle_deg, 35);
    EXPECT_DOUBLE_EQ(top.roll_damping, 80);
    StabilityPreset ninety = stability_preset(90);
    EXPECT_DOUBLE_EQ(ninety.direct_steering, 0.5);
    EXPECT_DOUBLE_EQ(ninety.roll_damping, 77.5);
    StabilityPreset zero = stability_preset(0);
    EXPECT_DOUBLE_EQ(zero.roll_limit_angle_deg, 90);
    EXPECT_DOUBLE_EQ(zero.direct_steering, 1);
    EXPECT_DOUBLE_EQ(zero.slow_damping_factor, 1);
    StabilityPreset fifty = stability_preset(50);
    EXPECT_DOUBLE_EQ(fifty.roll_limit_factor, 21);
    EXPECT_DOUBLE_EQ(stability_preset(250).roll_damping, 80);  // clamped
}

TEST(BikeSetup, SettersClampAndControlsLockWhileCrashed)
{
    Bike b = bare_bike("kx125");
    bike_set_roll_limit_angle(&b, 10);
    EXPECT_NEAR(b.setup.roll_limit_angle, M_PI, 1e-12);
    bike_set_max_dab_speed(&b, 1);
    EXPECT_EQ(b.setup.max_dab_speed, 16);
    bike_set_max_dab_speed(&b, 100);
    EXPECT_EQ(b.setup.max_dab_speed, 30);
    bike_set_fork_compression(&b, 5);
    EXPECT_EQ(b.setup.fork_compression, 2 * b.model.fork_compression_base);
    bike_set_shock_spring(&b, -1);
    EXPECT_FLOAT_EQ(float(b.setup.shock_spring_rate), b.model.shock_spring_rate[0]);
    bike_set_slow_damping_factor(&b, 0);
    EXPECT_EQ(b.setup.slow_damping_factor, 1);
    bike_set_stop_wheelies(&b, 7);
    EXPECT_EQ(b.setup.stop_wheelies, 3);

    bike_set_throttle(&b, 3);
    bike_set_steer(&b, -4);
    EXPECT_EQ(b.controls.throttle, 1);
    EXPECT_EQ(b.controls.steer, -1);
    b.crash_timer = 0.5;
    bike_set_throttle(&b, 1);
    bike_set_lean(&b, 1);
    bike_set_sit_dab(&b, 1);
    bike_set_back_up(&b, 1);
    bike_set_front_brake(&b, 1);
    EXPECT_EQ(b.controls.throttle, 0);
    EXPECT_EQ(b.controls.lean, 0);
    EXPECT_EQ(b.controls.sit_dab, 0);
    EXPECT_EQ(b.controls.back_up, 0);
    EXPECT_EQ(b.controls.front_brake, 1);  // brakes still work
}

TEST(BikeSetup, ArcadeIsForcedOffWhileTheServerForbidsIt)
{
    Bike b = bare_bike("crf250(2009)");
    bike_set_arcade_disabled(true);
    bike_set_arcade(&b, true);
    EXPECT_FALSE(b.setup.arcade);
    bike_set_arcade_disabled(false);
    bike_set_arcade(&b, true);
    EXPECT_TRUE(b.setup.arcade);
}

TEST(BikeSetup, ApplySetupConvertsTheConfiguration)
{
    config_reset_defaults();
    Bike b = bare_bike("crf250(2009)");
    config_set_slider("max_dab_speed", 15);
    config_set_choice("stop_wheelies", "Front Only");
    config_set_slider("fork_oil_level_adjustment", 100);
    config_set_slider("shock_rebound_adjustment", 0);
    bike_apply_setup(&b);
    EXPECT_NEAR(b.setup.max_dab_speed, 22.0, 1e-9);
    EXPECT_EQ(b.setup.stop_wheelies, 2);
    EXPECT_FLOAT_EQ(float(b.setup.fork_oil_level), 0.25f);
    EXPECT_DOUBLE_EQ(b.setup.shock_rebound, 600 * 0.5);
    EXPECT_NEAR(b.setup.roll_limit_angle, 35 * M_PI / 180, 1e-12);
    EXPECT_EQ(b.setup.direct_steering, 0);  // stability 100
    EXPECT_TRUE(b.setup.arcade);
    EXPECT_TRUE(b.setup.front_antilock);
    EXPECT_FALSE(b.setup.rear_antilock);
    config_reset_defaults();
}

TEST(BikeControlsHelpers, ClutchDropsAtOnceAndRisesAtFourPerSecond)
{
    EXPECT_DOUBLE_EQ(clutch_engagement_step(1, 1), 0);          // lever pulled: out at once
    EXPECT_DOUBLE_EQ(clutch_engagement_step(1, 0.4375), 0.5);   // 1 - 0.4375 * 8/7
    EXPECT_DOUBLE_EQ(clutch_engagement_step(0, 0), 4.0 / 128);  // released: rises slowly
    double e = 0;
    for (int i = 0; i < 32; i++)
        e = clutch_engagement_step(e, 0);
    EXPECT_DOUBLE_EQ(e, 1);
}

TEST(BikeControlsHelpers, StickyDabTogglesOnEachPress)
{
    StickyDab s{};
    const double presses[] = {0, 1, 1, 0, 0.6, 0.2, 1};
    const double sticky_out[] = {0, 1, 1, 1, 0, 0, 1};
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(sticky_dab_step(&s, presses[i], true), sticky_out[i]) << i;
    StickyDab plain{};
    EXPECT_EQ(sticky_dab_step(&plain, 0.7, false), 0.7);
    EXPECT_EQ(sticky_dab_step(&plain, 0.2, false), 0.2);
}
