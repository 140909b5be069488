// Which models and textures draw a bike: the variant rule, its warnings and
// the group fallbacks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "physics/bike.h"
#include "platform/log.h"
#include "test_support.h"

namespace {

bool in_set(const char* name, void* ctx)
{
    return static_cast<std::set<std::string>*>(ctx)->count(name) > 0;
}

// Runs fn with the log going to a scratch file and returns what it wrote.
template <class Fn>
std::string capture_log(Fn fn)
{
    LogCapture log("bike_graphics");
    fn();
    return log.text();
}

const std::set<std::string> CATALOGUE_FILES = {
    "@crf250.png",        "@crf250_frame.jm",    "@crf250_side_plates.jm", "@crf250_fork_upper.jm",
    "@crf250_front_plate.jm", "@crf250_fork_lower.jm", "@crf250_swingarm.jm", "@wheels.png",
    "@front_wheel.jm",    "@rear_wheel.jm",      "@rider_body.png",        "@rider_body.jm",
    "@rider_head.png",    "@rider_head.jm"};

}  // namespace

TEST(BikeGraphics, VariantNamesComeFromTheTexturesDashPart)
{
    struct Case {
        const char* model;
        const char* texture;
        const char* want;
    };
    const Case cases[] = {
        {"@crf250_frame.jm", "crf250-race-blue.png", "@crf250_frame-race.jm"},
        {"@crf250_frame.jm", "/home/me/skins/crf250-race-blue.png", "@crf250_frame-race.jm"},
        {"@crf250_frame.jm", "crf250-blue.png", ""},        // one dash: no variant
        {"@crf250_frame.jm", "my-odd-dir/plain.png", ""},   // dashes only in the folder
        {"@crf250_frame", "crf250-race-blue.png", ""},      // model without extension
        {"@dir.v/frame", "crf250-race-blue.png", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(bike_model_variant(c.model, c.texture), c.want) << c.model << " " << c.texture;
}

TEST(BikeGraphics, VariantsAreLookedForBesideTheTextureAndMissingOnesWarn)
{
    std::set<std::string> files = CATALOGUE_FILES;
    files.insert("skins/crf250-race-blue.png");
    files.insert("skins/crf250_frame-race.jm");
    files.insert("@crf250_fork_upper-race.jm");
    BikeGraphics g;
    std::string log = capture_log([&] {
        bike_graphics_resolve(&g, bike_model_find("crf250(2009)"), nullptr, nullptr,
                              "skins/crf250-race-blue.png", nullptr, in_set, &files);
    });
    EXPECT_EQ(g.bike.texture, "skins/crf250-race-blue.png");
    EXPECT_EQ(g.bike.models[0], "skins/crf250_frame-race.jm");
    EXPECT_EQ(g.bike.models[2], "@crf250_fork_upper-race.jm");
    EXPECT_EQ(g.bike.models[1], "");
    EXPECT_NE(log.find("Warning: Can't load @crf250_side_plates-race.jm or "
                       "skins/crf250_side_plates-race.jm\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(g.wheels.texture, "@wheels.png");
    EXPECT_EQ(g.wheels.models[1], "@rear_wheel.jm");
    // The plate and first-person models may be missing without a word.
    EXPECT_EQ(g.rider_body.models[1], "");
    EXPECT_EQ(log.find("rider_plate"), std::string::npos);
    EXPECT_EQ(log.find("rider_body_fp"), std::string::npos);
}

TEST(BikeGraphics, GroupsFallBackToTheCatalogueTexture)
{
    std::set<std::string> files = CATALOGUE_FILES;
    files.insert("@crf250-race-blue.png");  // loads, but its variant frame is missing
    BikeGraphics g;
    std::string log = capture_log([&] {
        bike_graphics_resolve(&g, bike_model_find("crf250(2009)"), "@gone.png", nullptr,
                              "@crf250-race-blue.png", nullptr, in_set, &files);
    });
    EXPECT_EQ(g.bike.texture, "@crf250.png");
    EXPECT_EQ(g.bike.models[0], "@crf250_frame.jm");
    EXPECT_EQ(g.bike.models[5], "@crf250_swingarm.jm");
    EXPECT_NE(log.find("Warning: Can't load @crf250_frame-race.jm\n"), std::string::npos);
    EXPECT_EQ(g.rider_body.texture, "@rider_body.png");  // the given texture did not load
    EXPECT_EQ(g.rider_body.models[0], "@rider_body.jm");
}

TEST(BikeGraphics, NormalAndSpecularMapCandidates)
{
    std::vector<std::string> want = {
        "@crf250-race-blue_norm.seq", "@crf250-race-blue_norm.png", "@crf250-race-blue_norm.ppm",
        "@crf250-race_norm.seq",      "@crf250-race_norm.png",      "@crf250-race_norm.ppm"};
    EXPECT_EQ(bike_texture_map_candidates("@crf250-race-blue.png", "@crf250.png", "_norm"), want);
    std::vector<std::string> plain = {"@wheels_spec.seq", "@wheels_spec.png", "@wheels_spec.ppm",
                                      "@wheels_spec.seq", "@wheels_spec.png", "@wheels_spec.ppm"};
    EXPECT_EQ(bike_texture_map_candidates("@wheels.png", "@wheels.png", "_spec"), plain);
}
