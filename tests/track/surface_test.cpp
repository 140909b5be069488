// Surface types: the tileinfo and texturelist readers, roost tokens, curve
// evaluation and transition codes.
#include <gtest/gtest.h>

#include <cmath>

#include "files/stream.h"
#include "track/surface.h"
#include "track/terrain.h"
#include "track/track_fixture.h"

namespace {

std::unique_ptr<HeightField> read_tileinfo(const std::string& text)
{
    std::string path = test_scratch_dir("surface-tileinfo") + "tileinfo";
    test_write_file(path, text);
    auto hf = make_field();
    Stream* s = stream_open(path.c_str(), "rb");
    EXPECT_TRUE(s);
    EXPECT_TRUE(surface_read_tileinfo(hf.get(), s));
    stream_close(s);
    return hf;
}

TEST(Tileinfo, SortsCurvesAndAppliesDefaults)
{
    MessageCatcher msgs;
    auto hf = read_tileinfo(
        "  texture @ground/dirt.png\r\n"
        "friction 0.9 10\n"
        "friction -1 2\n"
        "roll_resist 3 9 20\n"
        "roll_resist 2 -4 0\n"
        "\n"
        "addtile\n"
        "texture @ground/grass.png\n"
        "addtile\n"
        "friction 0.1 1\n");  // after the last addtile: no tile
    ASSERT_EQ(hf->surface_count, 2);
    const SurfaceType& dirt = hf->surfaces[0];
    EXPECT_EQ(dirt.texture_name, "@ground/dirt.png");
    EXPECT_FLOAT_EQ(dirt.friction[0].speed, 2);
    EXPECT_FLOAT_EQ(dirt.friction[0].coefficient, 0);
    EXPECT_FLOAT_EQ(dirt.friction[1].speed, 10);
    EXPECT_FLOAT_EQ(dirt.friction[2].speed, 0);
    EXPECT_FLOAT_EQ(dirt.rolling[0].speed, 1.0f / 1048576.0f);
    EXPECT_FLOAT_EQ(dirt.rolling[0].b, 0);
    EXPECT_FLOAT_EQ(dirt.rolling[1].speed, 20);
    EXPECT_EQ(dirt.roost[0].kind, 0);
    const SurfaceType& grass = hf->surfaces[1];
    EXPECT_FLOAT_EQ(surface_friction(&grass, 1000), 1.0f);
    float a, b;
    surface_rolling(&grass, 50, &a, &b);
    EXPECT_FLOAT_EQ(a, 5);
    EXPECT_FLOAT_EQ(b, 15);
    EXPECT_TRUE(msgs.all().empty()) << msgs.all();
}

TEST(Tileinfo, WarnsAboutBadLinesAndKeepsGoing)
{
    MessageCatcher msgs;
    std::string text = "friction 1\nroll_resist 1 2\nbogus 3\n";
    for (int k = 0; k < 9; k++)
        text += "friction 1 " + std::to_string(k + 1) + "\nroll_resist 1 1 " + std::to_string(k + 1) + "\n";
    for (int k = 0; k < 5; k++)
        text += "roost count=1\n";
    text += "addtile\n";
    auto hf = read_tileinfo(text);
    EXPECT_EQ(hf->surface_count, 1);
    EXPECT_EQ(caught_messages(), (std::vector<std::string>{
                                     "tileinfo warning: bad friction parameters\n",
                                     "tileinfo warning: bad roll_resist parameters\n",
                                     "tileinfo warning: Unknown identifier 'bogus'\n",
                                     "tileinfo warning: too many friction points\n",
                                     "tileinfo warning: too many roll_resist points\n",
                                     "tileinfo warning: too many roost types\n"}));
    EXPECT_FLOAT_EQ(hf->surfaces[0].friction[7].speed, 8);
}

TEST(Tileinfo, WithoutAnyTileGivesOneDefaultType)
{
    auto hf = read_tileinfo("texture @x.png\nfriction 0.5 3\n");
    ASSERT_EQ(hf->surface_count, 1);
    EXPECT_EQ(hf->surfaces[0].texture_name, "");
    EXPECT_FLOAT_EQ(surface_friction(&hf->surfaces[0], 9), 1.0f);
}

TEST(Tileinfo, StopsAfterTheLastPossibleTile)
{
    std::string text;
    for (int k = 0; k < 257; k++)
        text += "friction " + std::to_string(k == 256 ? 9 : 1) + " 1\naddtile\n";
    auto hf = read_tileinfo(text);
    EXPECT_EQ(hf->surface_count, 256);
    EXPECT_FLOAT_EQ(hf->surfaces[255].friction[0].coefficient, 1);
}

TEST(RoostTokens, ParseQuotesKindsColoursAndFades)
{
    MessageCatcher msgs;
    auto hf = read_tileinfo(
        "roost splash=0 count=2.5 \"texture=@my roost.png\" r=300 g=-1 fade_a=-256 fade_r=383 size=0.5\n"
        "roost splash=1 dig=x wobble=3 r=1e300 fade_g=nan\n"
        "addtile\n");
    const RoostType& dirt = hf->surfaces[0].roost[0];
    EXPECT_EQ(dirt.kind, 1);
    EXPECT_FLOAT_EQ(dirt.count, 2.5f);
    EXPECT_EQ(dirt.texture_name, "@my roost.png");
    EXPECT_EQ(dirt.colour[0], 300 & 0xff);
    EXPECT_EQ(dirt.colour[1], 255);
    EXPECT_EQ(dirt.colour[3], 255);
    EXPECT_EQ(dirt.fade[3], -2);
    EXPECT_EQ(dirt.fade[0], 2);
    EXPECT_FLOAT_EQ(dirt.size, 0.5f);
    EXPECT_FLOAT_EQ(dirt.drag, 0.5f);   // untouched default
    const RoostType& splash = hf->surfaces[0].roost[1];
    EXPECT_EQ(splash.kind, 2);
    EXPECT_FLOAT_EQ(splash.dig, 0);
    EXPECT_EQ(hf->surfaces[0].roost[2].kind, 0);
    EXPECT_EQ(caught_messages(), (std::vector<std::string>{"tileinfo warning: bad dig\n",
                                                           "tileinfo warning: unknown roost parameter 'wobble=3'\n"}));
}

TEST(SurfaceCurves, InterpolateGripInSpeedSquaredAndRollingLinearly)
{
    SurfaceType t = surface_default();
    t.friction[0] = {1.0f, 2.0f};
    t.friction[1] = {0.5f, 4.0f};
    t.friction[2] = {0.0f, 0.0f};
    t.rolling[0] = {2.0f, 10.0f, 1.0f};
    t.rolling[1] = {4.0f, 30.0f, 3.0f};
    t.rolling[2] = {0, 0, 0};
    struct Case {
        float speed;
        float grip, a, b;
    };
    const Case cases[] = {
        {0.0f, 1.0f, 2.0f, 10.0f},           // below the first point
        {2.0f, 1.0f, 3.0f, 20.0f},           // speed^2 4 of 4..16: t = 0; rolling t = 0.5
        {std::sqrt(10.0f), 0.75f, 4.0f, 30.0f},  // grip halfway in speed^2
        {4.0f, 0.5f, 4.0f, 30.0f},
        {100.0f, 0.5f, 4.0f, 30.0f},         // beyond the last point
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.speed);
        EXPECT_NEAR(surface_friction(&t, c.speed * c.speed), c.grip, 1e-5);
        float a, b;
        surface_rolling(&t, c.speed, &a, &b);
        EXPECT_NEAR(a, c.a, 1e-5);
        EXPECT_NEAR(b, c.b, 1e-5);
    }
    // All eight points used: the last coefficient holds beyond them.
    for (int i = 0; i < SURFACE_CURVE_POINTS; i++)
        t.friction[i] = {float(i), float(i + 1)};
    EXPECT_FLOAT_EQ(surface_friction(&t, 1e6f), 7.0f);
}

TEST(Texturelist, ReadsOneTypePerLineWithDefaults)
{
    std::string path = test_scratch_dir("surface-texturelist") + "texturelist";
    test_write_file(path, "0.8 3 12 ground/mud.png\n\n   ground/plain name.png\nground/last.png");
    auto hf = make_field();
    Stream* s = stream_open(path.c_str(), "rb");
    ASSERT_TRUE(s);
    surface_read_texturelist(hf.get(), s);
    stream_close(s);
    ASSERT_EQ(hf->surface_count, 3);
    EXPECT_EQ(hf->surfaces[0].texture_name, "@ground/mud.png");
    EXPECT_FLOAT_EQ(surface_friction(&hf->surfaces[0], 400), 0.8f);
    float a, b;
    surface_rolling(&hf->surfaces[0], 9, &a, &b);
    EXPECT_FLOAT_EQ(a, 3);
    EXPECT_FLOAT_EQ(b, 12);
    EXPECT_EQ(hf->surfaces[0].roost[0].kind, 1);
    EXPECT_EQ(hf->surfaces[0].roost[1].kind, 0);
    EXPECT_EQ(hf->surfaces[1].texture_name, "@ground/plain name.png");
    EXPECT_FLOAT_EQ(surface_friction(&hf->surfaces[1], 1), 1.0f);
    EXPECT_EQ(hf->surfaces[2].texture_name, "@ground/last.pn");  // the last character always goes
}

TEST(SurfaceTransitions, CodesFollowTheTextureNames)
{
    auto hf = read_tileinfo(
        "texture @g/dirt.png\naddtile\n"
        "texture @g/grass.png\naddtile\n"
        "texture @g/dirt-alt2.png\naddtile\n"
        "texture @g/dirt-grass-0110.png\naddtile\n"
        "texture @g/grass-dirt.png\naddtile\n"
        "texture @g/grass-rock-1000.png\naddtile\n"
        "texture @g/rock-dirt-1111.png\naddtile\n");
    const int expect[] = {(0 << 16) | (0 << 8), (1 << 16) | (1 << 8), (0 << 16) | (0 << 8),
                          (0 << 16) | (1 << 8) | 6, (1 << 16) | (0 << 8), -256, (6 << 16) | (6 << 8)};
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(hf->surfaces[i].transition, expect[i]) << i;
}

}  // namespace
