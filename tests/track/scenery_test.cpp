// Billboards, statues, flaggers and lighting: the readers with good and
// broken files, placement on the ground, the collision buckets and the
// editor's writers.
#include <algorithm>
#include <cmath>
#include <set>

#include "track/track_load_fixture.h"

using trackfx::TrackFolders;

namespace {

// The ground of the fixture slopes up along x: h = x / 2 over 0..32 ft.
double slope(int i, int) { return i / 8.0; }

// Texture loader for tests: every name asked for is recorded; names in
// `present` load with a non-zero id.
std::vector<std::string> asked;
std::set<std::string> present;
int fake_loader(const char* name)
{
    asked.push_back(name);
    return present.count(name) ? int(present.size()) : 0;
}

Stream* open_text(const std::string& path, const std::string& text)
{
    test_write_file(path, text);
    return stream_open(path.c_str(), "rb");
}

class Scenery : public TrackFolders {
protected:
    void SetUp() override
    {
        TrackFolders::SetUp();
        write_track("hill", slope);
        ASSERT_TRUE(load("hill"));
        asked.clear();
        present.clear();
    }

    // Runs a reader over text written to a scratch file.
    void read(void (*reader)(Track*, Stream*), const std::string& text)
    {
        Stream* s = open_text(root + "input", text);
        ASSERT_NE(s, nullptr);
        reader(&track, s);
        stream_close(s);
    }

    Billboard& last_billboard() { return track.billboards.back(); }
};

TEST(BillboardColour, PrefixRules)
{
    struct Case {
        const char* name;
        bool prefixed;
        uint8_t r, g, b;
        const char* texture;
    } cases[] = {
        {"#ff0000#@tree.png", true, 255, 0, 0, "@tree.png"},
        {"#0a1B2c#x", true, 10, 27, 44, "x"},
        {"#ff0000x@tree.png", false, 255, 255, 255, "#ff0000x@tree.png"},  // eighth not '#'
        {"#ff00g0#@tree.png", false, 255, 255, 255, "#ff00g0#@tree.png"},  // not hexadecimal
        {"#ff0000#", true, 255, 0, 0, ""},
        {"#ff0000", false, 255, 255, 255, "#ff0000"},                      // too short
        {"@fence.png", false, 255, 255, 255, "@fence.png"},
    };
    for (const Case& c : cases) {
        uint8_t colour[4];
        std::string texture;
        EXPECT_EQ(billboard_parse_colour(c.name, colour, &texture), c.prefixed) << c.name;
        EXPECT_EQ(texture, c.texture) << c.name;
        EXPECT_EQ(colour[0], c.r) << c.name;
        EXPECT_EQ(colour[1], c.g) << c.name;
        EXPECT_EQ(colour[2], c.b) << c.name;
        EXPECT_EQ(colour[3], 255) << c.name;
    }
}

TEST_F(Scenery, BillboardsStandOnTheGroundAndStopAtABrokenRecord)
{
    size_t before = track.billboards.size();
    read(scenery_read_billboards,
         "[ 8 1.5 4 ] 10 0.5 @tree.png\n"
         "[16 0 20] 3 2 #00ff00#@banner.png\n"
         "[ 1 2 3 ] 4 x5 @never.png\n"
         "[ 2 0 2 ] 1 1 @after.png\n");
    ASSERT_EQ(track.billboards.size(), before + 2);
    const Billboard& tree = track.billboards[before];
    EXPECT_NEAR(tree.y, 4 + 1.5, 1e-3);   // ground at x = 8 is 4 ft up
    EXPECT_FLOAT_EQ(tree.height, 10);
    EXPECT_FLOAT_EQ(tree.aspect, 0.5f);
    EXPECT_EQ(tree.texture_name, "@tree.png");
    EXPECT_EQ(last_billboard().colour[0], 0);
    EXPECT_EQ(last_billboard().colour[1], 255);
    EXPECT_NEAR(last_billboard().y, 8, 1e-3);
    EXPECT_EQ(track.billboard_draw_index.size(), 2 * track.billboards.size());
}

TEST_F(Scenery, ReadersSurviveTruncatedAndMalformedFiles)
{
    const char* broken[] = {
        "",
        "[",
        "[ 1 2",
        "[ 1 2 3 ] 4",
        "[ 1 2 3 ] 4 5",
        "[ 1 2 3 ] 4 5 @a @b",
        "[ 1 2 3 ] [ 4 5 6 ] 7 8 9 @a @b @c",
        "]]]] nan inf -inf 1e999 [[[[",
        "\x01\x02\xff\xfe binary \0 bytes",
        "[ 1e38 -1e38 1e38 ] 1e38 1e38 @big @big @big @big @big",
        "[ nan 0 1 ] 1 1 @nan [ 1 inf 1 ] 1 1 @inf",
    };
    for (const char* text : broken) {
        read(scenery_read_billboards, text);
        read(scenery_read_statues, text);
        read(scenery_read_flaggers, text);
        read(lighting_read, text);
    }
    EXPECT_TRUE(track.flaggers.empty());
    EXPECT_EQ(track.start_animation.billboard, -1);
    for (const Billboard& b : track.billboards)
        EXPECT_TRUE(std::isfinite(b.x) && std::isfinite(b.y)) << b.texture_name;
    EXPECT_EQ(track.billboard_draw_index.size(), 2 * track.billboards.size());
}

TEST_F(Scenery, BillboardWriterRoundTrips)
{
    int first = int(track.billboards.size());
    billboard_add(&track, 4, 0.25f, 6, 8, 0.75f, "@oak.png");
    billboard_add(&track, 10, 0, 12, 2, 3, "#ff8000#@flag.png");
    billboard_add(&track, 1, 0, 1, 1, 1, nullptr);        // particle-like: not saved
    billboard_add(&track, 2, 0, 2, 1, 1, "#ffffff#@white.png");
    std::string text = billboards_text(&track);
    EXPECT_EQ(text,
              "[4.000000 0.250000 6.000000] 8.000000 0.750000 @oak.png\n"
              "[10.000000 0.000000 12.000000] 2.000000 3.000000 #ff8000#@flag.png\n"
              "[2.000000 0.000000 2.000000] 1.000000 1.000000 @white.png\n");

    ASSERT_TRUE(billboards_save(&track));
    EXPECT_EQ(test_read_file(user + "kestrum/hill/billboards"), text);
    track.billboards.resize(size_t(first));
    read(scenery_read_billboards, text);
    EXPECT_EQ(billboards_text(&track), text);
}

TEST_F(Scenery, WritersReportAFileTheyCannotCreate)
{
    // The user folder is a plain file, so nothing can be created below it.
    test_write_file(root + "blocked", "x");
    setenv("XDG_DATA_HOME", (root + "blocked").c_str(), 1);
    setenv("RQ_HOME", (root + "blocked").c_str(), 1);
    data_paths_reset();
    statue_add(&track, 5, 0, 5, 0, "@m.jm", "@t.png", nullptr);
    EXPECT_FALSE(billboards_save(&track));
    EXPECT_FALSE(statues_save(&track));
    EXPECT_TRUE(trackfx::saw("Can't open 'billboards'\n"));
    EXPECT_TRUE(trackfx::saw("Can't open 'statues'\n"));
}

TEST_F(Scenery, StatueAnglesGiveFacingAndUprightOrientations)
{
    int facing = statue_add(&track, 16, 0, 16, 4, "@tent.jm", "@tent.png", "null");
    EXPECT_FLOAT_EQ(track.statues[size_t(facing)].facing_distance, 16);
    EXPECT_FLOAT_EQ(track.statues[size_t(facing)].rotation[0][0], 1);
    EXPECT_FLOAT_EQ(track.statues[size_t(facing)].rotation[1][1], 1);

    // Below -2 pi: upright on the slope, turned by the angle.
    const Statue& up = track.statues[size_t(statue_add(&track, 16, 1, 16, -7, "@a.jm", "@a.png", nullptr))];
    EXPECT_FLOAT_EQ(up.facing_distance, 0);
    EXPECT_NEAR(up.y, 8 + 1, 1e-3);
    EXPECT_NEAR(up.rotation[1][1], 1, 1e-6);
    EXPECT_NEAR(up.rotation[0][0], std::cos(-7.0), 1e-6);
    EXPECT_NEAR(up.rotation[0][2], -std::sin(-7.0), 1e-6);

    // Otherwise the up axis follows the ground (rising 1 in 2 along x).
    const Statue& tilt = track.statues[size_t(statue_add(&track, 16, 0, 16, 0.5f, "@a.jm", "@a.png", nullptr))];
    Vec3 normal = vec3_normalize({-0.5, 1, 0});
    EXPECT_NEAR(tilt.rotation[1][0], normal.x, 1e-4);
    EXPECT_NEAR(tilt.rotation[1][1], normal.y, 1e-4);
    // The rotation stays orthonormal and right-handed.
    for (int a = 0; a < 3; a++)
        for (int b = 0; b < 3; b++) {
            double dot = 0;
            for (int k = 0; k < 3; k++)
                dot += double(tilt.rotation[a][k]) * tilt.rotation[b][k];
            EXPECT_NEAR(dot, a == b ? 1 : 0, 1e-6);
        }
    Vec3 x = {tilt.rotation[0][0], tilt.rotation[0][1], tilt.rotation[0][2]};
    Vec3 y = {tilt.rotation[1][0], tilt.rotation[1][1], tilt.rotation[1][2]};
    EXPECT_NEAR(vec3_cross(x, y).z, tilt.rotation[2][2], 1e-6);
}

TEST(StatueMaps, CandidateNamesInOrder)
{
    EXPECT_EQ(statue_map_candidates("@wall-repeat.png", "@wall.jm", "_norm"),
              (std::vector<std::string>{"@wall_norm-repeat.seq", "@wall_norm-repeat.png",
                                        "@wall_norm-repeat.ppm", "@wall_norm.seq", "@wall_norm.png",
                                        "@wall_norm.ppm"}));
    EXPECT_EQ(statue_map_candidates("@hay.png", "@bale.jm", "_spec"),
              (std::vector<std::string>{"@hay_spec.seq", "@hay_spec.png", "@hay_spec.ppm",
                                        "@bale_spec.seq", "@bale_spec.png", "@bale_spec.ppm"}));
    // Names without a dot add nothing rather than a bare suffix.
    EXPECT_EQ(statue_map_candidates("plain", "", "_norm").size(), 0u);
}

TEST_F(Scenery, StatueLoadsTheFirstMapFoundAndWarnsOfAMissingShape)
{
    surface_set_texture_loader(fake_loader);
    present = {"@wall-repeat.png", "@wall_norm-repeat.png", "@wall_spec.ppm"};
    int i = statue_add(&track, 10, 0, 10, 0, "@wall.jm", "@wall-repeat.png", "@nowhere.shp");
    const Statue& s = track.statues[size_t(i)];
    EXPECT_NE(s.texture, 0);
    EXPECT_NE(s.normal_map, 0);
    EXPECT_NE(s.specular_map, 0);
    ASSERT_GE(asked.size(), 3u);
    EXPECT_EQ(asked[1], "@wall_norm-repeat.seq");   // first try after the texture itself
    EXPECT_EQ(asked[2], "@wall_norm-repeat.png");
    EXPECT_EQ(s.shape, nullptr);
    EXPECT_TRUE(trackfx::saw("Warning: missing shape file @nowhere.shp"));

    // With shaders on and one texture unit no map is looked for.
    asked.clear();
    scenery_render_hooks.shaders_on = true;
    statue_add(&track, 10, 0, 10, 0, "@wall.jm", "@wall-repeat.png", nullptr);
    scenery_render_hooks.shaders_on = false;
    EXPECT_EQ(asked, (std::vector<std::string>{"@wall-repeat.png"}));
}

TEST_F(Scenery, StatueReaderAndWriterRoundTrip)
{
    write("box.shp", "1  0 1 0  1  0.8 20000 1000\n");
    read(scenery_read_statues,
         "[ 4 0 4 ] 0.5 @bale.jm @bale.png @box.shp\n"
         "[10 -0.5 20] 4 NULL @sign.png null\n"
         "[ 1 2 3 ] 4 @only-two.jm @names\n");
    ASSERT_EQ(track.statues.size(), 2u);
    EXPECT_NE(track.statues[0].shape, nullptr);
    EXPECT_EQ(track.statues[1].model_name, "");
    EXPECT_EQ(track.statues[1].shape, nullptr);
    std::string text = statues_text(&track);
    EXPECT_EQ(text,
              "[4.000000 0.000000 4.000000] 0.500000 @bale.jm @bale.png @box.shp\n"
              "[10.000000 -0.500000 20.000000] 4.000000 NULL @sign.png null\n");
    ASSERT_TRUE(statues_save(&track));
    EXPECT_EQ(test_read_file(user + "kestrum/hill/statues"), text);
}

TEST_F(Scenery, BucketsCoverTheCentralThreeQuarters)
{
    // extent 32: the buckets span 4..28 ft, 3 ft each.
    struct Case {
        double c;
        int bucket;
    } cases[] = {{-100, 0}, {0, 0}, {4, 0}, {6.99, 0}, {7.01, 1}, {16, 4}, {27.9, 7}, {28, 7}, {500, 7}};
    for (const Case& c : cases)
        EXPECT_EQ(statue_bucket_of(&track, c.c), c.bucket) << c.c;

    write("r2.shp", "1  0 0 0  2  1 10000 500\n");   // bounding radius 2
    statue_add(&track, 16, 0, 16, 0, "@a.jm", "@a.png", "@r2.shp");     // 14..18 ft: buckets 3..4
    statue_add(&track, 10, 0, 16, 0, "@b.jm", "@b.png", nullptr);      // no shape: never bucketed
    statue_add(&track, 17.5f, 0, 25, 0, "@c.jm", "@c.png", "@r2.shp");  // x buckets 3..5, z 6..7
    statues_bucket_rebuild(&track);
    for (int bz = 0; bz < STATUE_BUCKETS; bz++)
        for (int bx = 0; bx < STATUE_BUCKETS; bx++) {
            std::vector<int> want;
            if (bx >= 3 && bx <= 4 && bz >= 3 && bz <= 4)
                want.push_back(0);
            if (bx >= 3 && bx <= 5 && bz >= 6)
                want.push_back(2);
            EXPECT_EQ(track.statue_buckets[bz][bx], want) << bx << "," << bz;
        }
    // Inserting again keeps each list ascending and each statue once.
    statue_bucket_insert(&track, 2);
    statue_bucket_insert(&track, 0);
    EXPECT_EQ(track.statue_buckets[7][4], std::vector<int>{2});
    EXPECT_EQ(track.statue_buckets[4][4], std::vector<int>{0});
}

TEST_F(Scenery, FlaggersReadInOrderWithGatesClamped)
{
    track.timing_gate_count = 3;
    size_t before = track.billboards.size();
    read(scenery_read_flaggers,
         " [ 4 0 4 ] [ 8 0.5 4 ] 6 0.5 2.5  @s1.png @s2.png @s3.png @s4.png @s5.png\n"
         " [ 12 0 2 ] 4 1  @l1.png @l2.png @l3.png @l4.png\n"
         " [ 20 0 20 ] 5 0.6 0 1 7 -5  @f.png @f-alert.png\n"
         " [ 24 0 20 ] 5 0.6 2 -1 -1 -1  @g.png @g-alert.png\n"
         " [ 28 0 20 ] 5 0.6 2 -1 @no-more-gates.png\n");
    const StartAnimation& sa = track.start_animation;
    ASSERT_EQ(sa.billboard, int(before));
    EXPECT_FLOAT_EQ(sa.b[0], 8);
    EXPECT_FLOAT_EQ(sa.duration, 2.5f);
    EXPECT_EQ(sa.texture_names[4], "@s5.png");
    EXPECT_EQ(track.billboards[before].texture_name, "@s1.png");
    EXPECT_EQ(track.lap_board.billboard, int(before + 1));
    EXPECT_EQ(track.lap_board.texture_names[3], "@l4.png");
    ASSERT_EQ(track.flaggers.size(), 2u);
    EXPECT_EQ(track.flaggers[0].gates[2], 2);
    EXPECT_EQ(track.flaggers[0].gates[3], -1);
    EXPECT_EQ(track.flaggers[1].alert_name, "@g-alert.png");
    EXPECT_EQ(track.billboards[size_t(track.flaggers[1].billboard)].texture_name, "@g.png");
    EXPECT_EQ(track.billboards.size(), before + 4);
}

TEST_F(Scenery, FlaggersKeepWhatWasReadBeforeABrokenRecord)
{
    read(scenery_read_flaggers,
         " [ 4 0 4 ] [ 8 0 4 ] 6 0.5 2.5  @s1.png @s2.png @s3.png @s4.png @s5.png\n"
         " [ 12 0 2 ] 4 @l1.png\n");
    EXPECT_GE(track.start_animation.billboard, 0);
    EXPECT_EQ(track.lap_board.billboard, -1);

    Track other;
    other.hf = track.hf;
    Stream* s = open_text(root + "short", " [ 4 0 4 ] [ 8 0 4 ] 6 0.5 2.5 @s1.png @s2.png\n");
    scenery_read_flaggers(&other, s);
    stream_close(s);
    EXPECT_EQ(other.start_animation.billboard, -1);
    EXPECT_TRUE(other.billboards.empty());
}

TEST_F(Scenery, LightingStatementsAndDefaults)
{
    surface_set_texture_loader(fake_loader);
    read(lighting_read,
         "sun_vector [ 0 3 4 ]\n"
         "\n"
         "sun_color\t[ 1 0.9 0.8 ]\r\n"
         "ambient [0.3 0.3 0.4]\n"
         "global_ambient [ 0.1 0.1 0.1 ]\n"
         "sky_n @dusk-n.png\n"
         "fog [ 0.5 0.6 0.7 ] 0.002\n"
         "fog [ 1 1 1 ]\n"
         "flare_element [ 0 1 ] [ 1 1 0.5 ] 0.2 @flare1.png\n"
         "flare_element [ 0.5 1 ] [ 1 1 0.5 ] 0.1 @flare2.png\n"
         "flare_vector [ 0 3 4 ]\n"
         "flare_element [ 1 1 ] [ 1 1 1 ] 0.1 @lost.png\n");
    const Lighting& l = track.lighting;
    EXPECT_FLOAT_EQ(l.sun[1], 0.6f);
    EXPECT_FLOAT_EQ(l.sun[2], 0.8f);
    EXPECT_FLOAT_EQ(l.sun_colour[2], 0.8f);
    EXPECT_FLOAT_EQ(l.ambient[2], 0.4f);
    EXPECT_FLOAT_EQ(l.global_ambient[0], 0.1f);
    EXPECT_FLOAT_EQ(l.fog_density, 0.002f);   // the incomplete fog line changes nothing
    EXPECT_FLOAT_EQ(l.fog_colour[1], 0.6f);
    EXPECT_EQ(l.sky_names[SKY_NORTH], "@dusk-n.png");
    EXPECT_EQ(l.sky_names[SKY_EAST], "@sky-e.ppm");
    EXPECT_EQ(l.environment_name, "@sky-env.ppm");
    ASSERT_EQ(l.flares.size(), 1u);          // the trailing element builds no flare
    EXPECT_TRUE(l.flares[0].is_direction);
    EXPECT_EQ(l.flares[0].elements.size(), 2u);
    // The ground's shading light follows the file.
    EXPECT_FLOAT_EQ(float(track.hf.light.sun.z), 0.8f);
    EXPECT_FLOAT_EQ(track.hf.light.ambient[2], 0.4f);
    // Every default sky face and the environment were asked for.
    for (const char* face : {"@sky-e.ppm", "@sky-s.ppm", "@sky-w.ppm", "@sky-u.ppm", "@sky-env.ppm"})
        EXPECT_NE(std::find(asked.begin(), asked.end(), face), asked.end()) << face;
}

TEST_F(Scenery, LightingStopsAtAnUnknownKeyword)
{
    read(lighting_read,
         "ambient [ 0.1 0.2 0.3 ]\n"
         "sun_vector [ 0 0 0 ]\n"
         "sun_colour [ 1 0 0 ]\n"
         "fog [ 1 1 1 ] 0.5\n");
    EXPECT_TRUE(trackfx::saw("Error reading lighting: Unknown identifier 'sun_colour'\n"));
    const Lighting& l = track.lighting;
    EXPECT_FLOAT_EQ(l.ambient[2], 0.3f);
    EXPECT_FLOAT_EQ(l.fog_density, 0);
    EXPECT_FLOAT_EQ(l.sun_colour[1], 1);
    // A zero sun vector has no direction: the default sun stays.
    EXPECT_NEAR(l.sun[0], 1 / std::sqrt(3.0), 1e-6);
}

TEST_F(Scenery, FlaresKeepAtMostEightElements)
{
    std::string text;
    for (int k = 0; k < 11; k++)
        text += "flare_element [ " + std::to_string(k) + " 1 ] [ 1 1 1 ] 0.1 @f.png\n";
    text += "flare_point [ 10 20 30 ]\nflare_element [ 0 0 ] [ 1 1 1 ] 1 @g.png\nflare_vector [ 0 1 0 ]\n";
    read(lighting_read, text);
    ASSERT_EQ(track.lighting.flares.size(), 2u);
    EXPECT_EQ(track.lighting.flares[0].elements.size(), 8u);
    EXPECT_FLOAT_EQ(track.lighting.flares[0].elements[7].a, 7);
    EXPECT_FALSE(track.lighting.flares[0].is_direction);
    EXPECT_FLOAT_EQ(track.lighting.flares[0].position[2], 30);
    EXPECT_EQ(track.lighting.flares[1].elements.size(), 1u);
}

}  // namespace
