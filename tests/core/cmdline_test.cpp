#include "core/cmdline.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

struct Outcome {
    CmdlineResult result;
    GameOptions opts;
    std::string message, warnings;
};

Outcome scan(std::vector<const char*> args)
{
    args.insert(args.begin(), "kestrum");
    Outcome o;
    o.result = cmdline_scan(int(args.size()), args.data(), &o.opts, &o.message, &o.warnings);
    return o;
}

}  // namespace

TEST(Cmdline, ValuesAreClampedAndTakenInBothForms)
{
    struct Case {
        std::vector<const char*> args;
        std::function<bool(const GameOptions&)> check;
    };
    const Case cases[] = {
        {{"--texture-detail=7"}, [](const GameOptions& o) { return o.texture_detail == 4; }},
        {{"--texture-detail", "-3"}, [](const GameOptions& o) { return o.texture_detail == 0; }},
        {{"--ground-texture-detail", "2"}, [](const GameOptions& o) { return o.ground_texture_detail == 2; }},
        {{"--roostfrequency=5000"}, [](const GameOptions& o) { return o.roost_frequency == 1000; }},
        {{"--erode", "2.5"}, [](const GameOptions& o) { return o.erosion == 1.0f; }},
        {{"--fake-lag", "2500"}, [](const GameOptions& o) { return o.fake_lag == 1.0; }},
        {{"--fake-lag=40"}, [](const GameOptions& o) { return std::abs(o.fake_lag - 0.04) < 1e-9; }},
        {{"--fake-loss", "150"}, [](const GameOptions& o) { return o.fake_loss == 100; }},
        {{"--lod-scale", "0"}, [](const GameOptions& o) { return o.lod_scale == 1e-6f; }},
        {{"--max-detail-distance", "20"}, [](const GameOptions& o) { return o.max_detail_distance == 20 && o.max_detail_fade_end == 25; }},
        {{"--chase-center", "1,2,3"}, [](const GameOptions& o) { return o.chase_center[0] == 1 && o.chase_center[2] == 3; }},
        {{"--connect", "kestrum:example.org:19800"}, [](const GameOptions& o) { return o.connect == "example.org:19800"; }},
        {{"--width", "1024", "--height=768"}, [](const GameOptions& o) { return o.width == 1024 && o.height == 768 && o.width_given; }},
        {{"--debug", "--super-debug"}, [](const GameOptions& o) { return o.debug_level == 2; }},
        {{"--nolearn", "--hidden-hud", "--hidden-pause"}, [](const GameOptions& o) { return !o.learn && !o.show_hud && !o.show_pause_text; }},
        {{"--", "-odd.rqdemo"}, [](const GameOptions& o) { return o.file == "-odd.rqdemo"; }},
        {{"race.rqdemo", "--warp"}, [](const GameOptions& o) { return o.file == "race.rqdemo" && o.warp; }},
        {{"--track", "dunes"}, [](const GameOptions& o) { return o.track == "dunes"; }},
    };
    for (const Case& c : cases) {
        Outcome o = scan(c.args);
        EXPECT_EQ(o.result, CMDLINE_RUN) << c.args[0] << ": " << o.message;
        EXPECT_TRUE(c.check(o.opts)) << c.args[0];
    }
}

TEST(Cmdline, FailuresCarryTheirMessages)
{
    struct Case {
        std::vector<const char*> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--bogus"}, "bad option '--bogus'\n"},
        {{"-odd.rqdemo"}, "bad option '-odd.rqdemo'\n"},
        {{"--texture-detail", "x"}, "Bad arg for --texture-detail\n"},
        {{"--erode=abc"}, "Bad arg for --erode\n"},
        {{"--lock-fps"}, "Bad arg for --lock-fps\n"},
        {{"--chase-center", "1,2"}, "Bad arg for --chase-center\n"},
        {{"a.rqdemo", "b.rqdemo"}, "Too many files!\n"},
        {{"--track"}, "Missing value for --track\n"},
        // A bad option after "--open-home" never gets read.
        {{"--bogus", "--open-home"}, "bad option '--bogus'\n"},
    };
    for (const Case& c : cases) {
        Outcome o = scan(c.args);
        EXPECT_EQ(o.result, CMDLINE_ERROR) << c.args[0];
        EXPECT_EQ(o.message, c.message) << c.args[0];
    }
}

TEST(Cmdline, OpenHomeStopsScanningAtOnce)
{
    Outcome o = scan({"--open-home", "--bogus", "a", "b"});
    EXPECT_EQ(o.result, CMDLINE_OPEN_HOME);
}

TEST(Cmdline, BikesOnlyWarns)
{
    Outcome o = scan({"--bikes", "whatever"});
    EXPECT_EQ(o.result, CMDLINE_RUN);
    EXPECT_EQ(o.warnings, "--bikes doesn't do anything anymore\n");
    EXPECT_TRUE(o.opts.file.empty());
}
