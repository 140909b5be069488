#include "platform/log.h"

#include <gtest/gtest.h>

TEST(Log, PrefixFormatsHoursMinutesSecondsHundredths)
{
    struct Case { long long ms; const char* want; };
    const Case cases[] = {
        {0, "[0:00:00.00] "},
        {1234, "[0:00:01.23] "},
        {61005, "[0:01:01.00] "},
        {3600000 + 59 * 60000 + 59990, "[1:59:59.99] "},
        {36000000, "[10:00:00.00] "},
    };
    for (const Case& c : cases) {
        char buf[32];
        log_format_prefix(buf, sizeof buf, c.ms);
        EXPECT_STREQ(buf, c.want) << c.ms;
    }
}
