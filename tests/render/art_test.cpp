// The interface art the data builder ships: every picture loads through
// the texture readers, has power-of-two sides (no resampling, no warning)
// and the channel count its users need.
#include "files/image.h"
#include "files/stream.h"
#include "test_support.h"

#include <gtest/gtest.h>

TEST(ShippedArt, PicturesLoadWithTheirExpectedLayout)
{
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "no built data set";
    struct Case {
        const char* name;
        int channels;
    };
    Case cases[] = {
        {"font.png", 4},        {"tach.png", 4},       {"shifter.png", 4},         {"pitboard.png", 4},
        {"title.ppm", 3},       {"sky-n.ppm", 3},      {"sky-e.ppm", 3},           {"sky-s.ppm", 3},
        {"sky-w.ppm", 3},       {"sky-u.ppm", 3},      {"sky-env.ppm", 3},         {"roost.png", 4},
        {"splash.png", 4},      {"rider_body-alt1.png", 3}, {"rider_head-alt2.png", 3}, {"wheels-alt2.png", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageBuffer im;
        ASSERT_EQ(image_load_texture((std::string("@") + c.name).c_str(), &im, nullptr), IMAGE_LOAD_PICTURE);
        EXPECT_TRUE(image_is_pow2(im.width) && image_is_pow2(im.height)) << im.width << "x" << im.height;
        EXPECT_EQ(im.channels, c.channels);
    }
    // The title exercises the predictive format.
    std::string title;
    ASSERT_TRUE(stream_read_all("@title.ppm", &title));
    EXPECT_EQ(title.substr(0, 2), "J6");
}
