#include "platform/options.h"

#include "platform/log.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

struct OptionCase {
    const char* options;   // OBLO_OPTIONS, null for unset
    int dsnd;              // option_flag("dsnd", 1)
    int rate;              // option_int("sound-rate", 22050)
    const char* logged;    // expected in the log, or null for nothing logged
};

}  // namespace

TEST(Options, FlagsAndIntegersFromTheEnvironment)
{
    const OptionCase cases[] = {
        {nullptr, 1, 22050, nullptr},
        {"", 1, 22050, nullptr},
        {"[sound-rate:44100][dsnd:no]", 0, 44100, nullptr},
        {"[dsnd:off]", 0, 22050, nullptr},
        {"[dsnd:on][sound-rate:8000]", 1, 8000, nullptr},
        {"[dsnd:maybe]", 1, 22050, "unrecognized setting for dsnd\n"},
        {"[dsnd: no]", 1, 22050, "unrecognized setting for dsnd\n"},
        {"[dsnd:NO]", 1, 22050, "unrecognized setting for dsnd\n"},
        {"[sound-rate: 44100]", 1, 44100, nullptr},
        {"[sound-rate:-7]", 1, -7, nullptr},
        {"[sound-rate:fast]", 1, 22050, "unrecognized setting for sound-rate\n"},
        {"[sound-rate:]", 1, 22050, "unrecognized setting for sound-rate\n"},
        {"xx[dsnd:no]yy", 0, 22050, nullptr},
        {"[dsnd no]", 1, 22050, nullptr},
        {"[dsndx:no]", 1, 22050, nullptr},
    };
    for (const OptionCase& c : cases) {
        LogCapture log("options");
        EnvGuard env("OBLO_OPTIONS", c.options);
        options_reset();
        EXPECT_EQ(option_flag("dsnd", 1), c.dsnd) << (c.options ? c.options : "(unset)");
        EXPECT_EQ(option_int("sound-rate", 22050), c.rate) << (c.options ? c.options : "(unset)");
        std::string text = log.text();
        if (c.logged)
            EXPECT_NE(text.find(c.logged), std::string::npos) << c.options;
        else
            EXPECT_EQ(text.find("unrecognized"), std::string::npos) << text;
    }
    options_reset();
}

TEST(Options, ReadOncePerRun)
{
    EnvGuard env("OBLO_OPTIONS", "[threaded:yes]");
    options_reset();
    EXPECT_EQ(option_flag("threaded", 0), 1);
    setenv("OBLO_OPTIONS", "[threaded:no]", 1);
    EXPECT_EQ(option_flag("threaded", 0), 1);
    options_reset();
    EXPECT_EQ(option_flag("threaded", 0), 0);
    options_reset();
}
