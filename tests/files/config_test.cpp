// The configuration file: defaults, reading rules, special keys, writing
// through a temporary file, and the derived rendering settings.
#include "files/config.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "files/stream.h"
#include "test_support.h"

namespace {

// Points the user folder at a scratch folder for one test.
struct ConfigFixture : ::testing::Test {
    std::string home, folder, saved;
    bool had = false;
    void SetUp() override
    {
        home = test_scratch_dir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        const char* old = std::getenv("XDG_DATA_HOME");
        had = old != nullptr;
        saved = old ? old : "";
        setenv("XDG_DATA_HOME", home.c_str(), 1);
        data_paths_reset();
        folder = user_folder();
        config_reset_defaults();
    }
    void TearDown() override
    {
        if (had)
            setenv("XDG_DATA_HOME", saved.c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
        data_paths_reset();
        config_set_bike_graphics_source(nullptr);
        config_reset_defaults();
    }
};

std::vector<std::string> two_graphics(const char* bike)
{
    return {"default", std::string(bike) + "-red.png"};
}

}  // namespace

TEST_F(ConfigFixture, DefaultsMatchTheFreshGame)
{
    EXPECT_EQ(config_int("xres"), 640);
    EXPECT_EQ(config_int("billboard_optimize_lookahead"), 8);
    EXPECT_STREQ(config_choice_label("skill"), "Novice");
    EXPECT_STREQ(config_choice_label("slot19"), "Human");
    EXPECT_STREQ(config_choice_label("slot17"), "Robot");
    EXPECT_STREQ(config_choice_label("slot23"), "Empty");
    EXPECT_STREQ(config_choice_label("bike"), "crf250(2009)");
    EXPECT_STREQ(config_text("name"), "Ned Burnout");
    EXPECT_EQ(config_slider("laps"), 5);
    EXPECT_EQ(config_slider("roll_damping"), 80);  // the stability-100 presets
    EXPECT_EQ(config_slider("direct_steering"), 0);
    EXPECT_EQ(config_binding("rewind_key")->key, "\\");
    EXPECT_EQ(config_binding("dab_key")->key, "right ctrl");
    EXPECT_EQ(config_settings().front().key, "xres");
    EXPECT_EQ(config_settings().back().key, "screenshot_key");
}

TEST_F(ConfigFixture, RoundTripKeepsEveryKey)
{
    // Move every setting off its default so the round trip proves something.
    for (ConfigSetting& s : config_settings()) {
        switch (s.kind) {
        case CONFIG_INTEGER: s.int_value = 7; break;
        case CONFIG_CHOICE: s.choice_value = int(s.choices.size()) - 1; break;
        case CONFIG_SLIDER: s.slider_value = s.max; break;
        case CONFIG_TEXT: s.text_value = std::string(size_t(std::min(s.max_length, 3)), 'q'); break;
        case CONFIG_BINDING:
            s.binding = ConfigBinding{"", "Joystick1 axis 2", 0.125, 0.875};
            break;
        }
    }
    config_set_choice_index("bike", 16);  // also resets the bike graphics
    config_find("stability")->slider_value = 100;
    std::vector<ConfigSetting> before = config_settings();
    ASSERT_TRUE(config_save());
    config_reset_defaults();
    ASSERT_TRUE(config_load());
    const std::vector<ConfigSetting>& after = config_settings();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); i++) {
        const ConfigSetting& a = after[i];
        const ConfigSetting& b = before[i];
        EXPECT_EQ(a.int_value, b.int_value) << a.key;
        EXPECT_EQ(a.choice_value, b.choice_value) << a.key;
        EXPECT_EQ(a.slider_value, b.slider_value) << a.key;
        EXPECT_EQ(a.text_value, b.text_value) << a.key;
        EXPECT_EQ(a.binding.key, b.binding.key) << a.key;
        EXPECT_EQ(a.binding.axis, b.binding.axis) << a.key;
        EXPECT_EQ(a.binding.low, b.binding.low) << a.key;
        EXPECT_EQ(a.binding.high, b.binding.high) << a.key;
    }
}

TEST_F(ConfigFixture, WritesTheKeysInOrderWithTheirFormats)
{
    config_set_int("xres", 1024);  // as the "--width 1024" option does
    ASSERT_TRUE(config_save());
    std::string text = test_read_file(folder + "config");
    EXPECT_EQ(text.rfind("xres=1024\nyres=480\ndraw_fps=0\n", 0), 0u);
    EXPECT_NE(text.find("\nlaps=5.000000\nslot00=Empty\n"), std::string::npos);
    EXPECT_NE(text.find("\nslot39=Empty\nghost_fade_distance=10.000000\ntime_trial_abort=Yes\n"
                        "bike=crf250(2009)\nname=Ned Burnout\nnumber=999\n"),
              std::string::npos);
    EXPECT_NE(text.find("\nserver_name_hist15=\nground_detail=50.000000\n"), std::string::npos);
    EXPECT_NE(text.find("\nthrottle_key=(k)x\n"), std::string::npos);
    const std::string last = "\nconsole_key=(k)t\nscreenshot_key=(k)s\n";
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
    EXPECT_EQ(text.find("ground_texture_distance"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder + "config.tmp"));

    ConfigBinding none;
    none.low = 0;
    none.high = 1;
    config_set_binding("skip_key", none);  // neither key nor axis: not written
    ConfigBinding axis{"", "Joystick1 axis 1", 0.0625, 0.9375};
    config_set_binding("throttle_key", axis);
    std::string t = config_text_all();
    EXPECT_EQ(t.find("skip_key="), std::string::npos);
    EXPECT_NE(t.find("\nthrottle_key=(0.062500,0.937500)Joystick1 axis 1\n"), std::string::npos);
}

TEST_F(ConfigFixture, ReadingFollowsTheRulesOfEachKind)
{
    struct Case {
        const char* line;
        const char* key;
        std::string want;  // the setting afterwards, as written
    };
    auto value = [](const char* key) {
        std::string all = config_text_all();
        std::string k = std::string("\n") + key + "=";
        size_t at = all.find(k);
        if (at == std::string::npos)
            return std::string("<none>");
        size_t start = at + k.size();
        return all.substr(start, all.find('\n', start) - start);
    };
    const Case cases[] = {
        {"laps=99\n", "laps", "50.000000"},
        {"laps=abc\n", "laps", "5.000000"},
        {"laps=-3\n", "laps", "0.000000"},
        {"laps=nan\n", "laps", "5.000000"},
        {"skill=expert\n", "skill", "Novice"},
        {"skill=Expert\r\n", "skill", "Expert"},
        {"yres=12junk\n", "yres", "12"},
        {"yres=99999999999999\n", "yres", "480"},
        {"yres=\n", "yres", "480"},
        {"bike=kx250f\n", "bike", "kx250f(2008)"},
        {"bike=125sx\n", "bike", "crf250(2009)"},  // not offered in the menu
        {"number=123456\n", "number", "123"},
        {"Name=Someone\n", "name", "Ned Burnout"},  // keys are case-sensitive
        {"slot05=Robot (2 stroke)\n", "slot05", "Robot (2 stroke)"},
        {"throttle_key=(0.0625,0.9375)Joystick1 axis 1\n", "throttle_key",
         "(0.062500,0.937500)Joystick1 axis 1"},
        {"throttle_key=(k)x\n", "throttle_key", "(k)x"},
        {"throttle_key=  x\n", "throttle_key", "(k)x"},
        {"throttle_key=(k)\n", "throttle_key", "<none>"},
        {"throttle_key=(1,2\n", "throttle_key", "(k)(1,2"},
        {"server_name=race.example\n", "server_name", "race.example"},
        {"ground_texture_distance=5\n", "ground_texture_distance", "<none>"},
    };
    for (const Case& c : cases) {
        config_reset_defaults();
        config_load_text(c.line);
        EXPECT_EQ(value(c.key), c.want) << c.line;
    }
}

TEST_F(ConfigFixture, HistoryNamesOfMaximumLengthOrMoreAreIgnored)
{
    config_load_text("server_name_hist03=" + std::string(126, 'a') + "\n" +
                     "server_name_hist04=" + std::string(127, 'b') + "\n" +
                     "server_name=" + std::string(300, 'c') + "\n");
    EXPECT_EQ(std::string(config_text("server_name_hist03")), std::string(126, 'a'));
    EXPECT_STREQ(config_text("server_name_hist04"), "");
    EXPECT_EQ(std::string(config_text("server_name")), std::string(127, 'c'));
}

TEST_F(ConfigFixture, StabilitySetsPresetsThatLaterKeysOverride)
{
    config_load_text("stability=0\n");
    EXPECT_EQ(config_slider("roll_limit_angle"), 90);
    EXPECT_EQ(config_slider("direct_steering"), 1);
    config_load_text("stability=90.9\nroll_damping=12\n");  // cut to 90
    EXPECT_EQ(config_slider("direct_steering"), 0.5);
    EXPECT_EQ(config_slider("roll_damping"), 12);
    EXPECT_EQ(config_slider("stability"), 90.9);
}

TEST_F(ConfigFixture, BikeGraphicsCountOnlyAfterTheBike)
{
    config_set_bike_graphics_source(two_graphics);
    config_load_text("bike_texture=kx250f(2008)-red.png\nbike=kx250f\n");
    EXPECT_STREQ(config_choice_label("bike_texture"), "default");
    config_load_text("bike=kx250f\nbike_texture=kx250f(2008)-red.png\n");
    EXPECT_STREQ(config_choice_label("bike_texture"), "kx250f(2008)-red.png");
}

TEST_F(ConfigFixture, JunkLoadsWithoutHarm)
{
    std::string junk = "no equals sign\n=\n==\nunknown_key=5\nxres\n";
    junk += std::string(5000, 'x') + "=1\n";          // overlong line
    junk += "laps=" + std::string(2000, '9') + "\n";  // overlong number
    junk += std::string("minutes=4\0garbage\n", 19);
    for (int i = 0; i < 256; i++)
        junk += char(i);
    junk += "\nfov=1e308\nvolume=-inf\nrider_mass_distribution=0\nslot99=Human\n";
    config_load_text(junk);
    EXPECT_EQ(config_slider("minutes"), 4);
    EXPECT_EQ(config_slider("fov"), 170);
    EXPECT_EQ(config_slider("volume"), 10);
    EXPECT_EQ(config_slider("rider_mass_distribution"), 0.33);
    EXPECT_EQ(config_int("xres"), 640);
    EXPECT_GE(config_slider("laps"), 0);
    EXPECT_LE(config_slider("laps"), 50);
}

TEST_F(ConfigFixture, FailedWriteLeavesTheOldFileIntact)
{
    config_set_int("xres", 800);
    ASSERT_TRUE(config_save());
    std::string old = test_read_file(folder + "config");
    // A folder where the temporary file must go makes every write fail,
    // even for root.
    ASSERT_TRUE(std::filesystem::create_directory(folder + "config.tmp"));
    config_set_int("xres", 1600);
    EXPECT_FALSE(config_save());
    EXPECT_EQ(test_read_file(folder + "config"), old);
    std::filesystem::remove(folder + "config.tmp");
    ASSERT_TRUE(config_save());
    EXPECT_NE(test_read_file(folder + "config").find("xres=1600\n"), std::string::npos);
}

TEST_F(ConfigFixture, MissingFileKeepsDefaults)
{
    EXPECT_FALSE(config_load());
    EXPECT_EQ(config_int("xres"), 640);
}

TEST_F(ConfigFixture, RenderSettingsFollowTheSliders)
{
    render_settings_derive();
    RenderSettings r = render_settings();
    EXPECT_DOUBLE_EQ(r.terrain_detail, 0.125 / 50);
    EXPECT_EQ(r.ground_texture_detail, 1);
    EXPECT_EQ(r.ground_texture_size, 128);
    EXPECT_DOUBLE_EQ(r.lod_scale, 1);
    EXPECT_DOUBLE_EQ(r.lod_bias, 0);
    EXPECT_EQ(r.model_texture_detail, 1);
    EXPECT_EQ(r.roost_frequency, 250);

    config_set_slider("model_detail", 0);
    config_set_slider("ground_detail", 0);
    config_set_choice("ground_texture_dim", "1024x1024");
    render_settings_derive();
    r = render_settings();
    EXPECT_DOUBLE_EQ(r.lod_scale, 8);  // 2 cubed
    EXPECT_DOUBLE_EQ(r.lod_bias, 50);
    EXPECT_EQ(r.ground_texture_size, 1024);
    EXPECT_DOUBLE_EQ(r.terrain_detail, 0.125);  // a detail of 0 counts as 1
}
