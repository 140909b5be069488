#include "platform/log.h"

#include "platform/log.h"
#include "test_support.h"

#include <cstdio>
#include <string>
#include <vector>

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

namespace {

// Logs two runs' worth of lines through OBLO_LOGFILE=<prefix><path>.
std::string two_runs(const char* tag, const char* prefix)
{
    std::string path = test_scratch_dir(tag) + "run.log";
    EnvGuard env("OBLO_LOGFILE", (std::string(prefix) + path).c_str());
    log_close();
    log_printf("first run\n");
    log_close();
    log_printf("second run\n");
    log_close();
    return test_read_file(path);
}

int count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

}  // namespace

TEST(Log, FileNameSelectsTruncateOrAppend)
{
    std::string appended = two_runs("log-append", ">>");
    EXPECT_EQ(count(appended, "first run\n"), 1);
    EXPECT_EQ(count(appended, "second run\n"), 1);
    EXPECT_EQ(count(appended, "OBLO 0.31\n"), 2);
    for (const char* prefix : {">", ""}) {
        std::string truncated = two_runs("log-truncate", prefix);
        EXPECT_EQ(count(truncated, "first run\n"), 0) << prefix;
        EXPECT_EQ(count(truncated, "second run\n"), 1) << prefix;
    }
}

TEST(Log, EveryLineIsStampedAndTheHeaderNamesTheFile)
{
    std::string path = test_scratch_dir("log-lines") + "a.log";
    {
        EnvGuard env("OBLO_LOGFILE", (">" + path).c_str());
        log_close();
        log_printf("one %d\n", 1);
        log_printf("two\n");
        log_close();
    }
    std::string text = test_read_file(path);
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    ASSERT_EQ(lines.size(), 4u) << text;
    EXPECT_EQ(lines[0].substr(13), "Logfile \"" + path + "\" opened");
    EXPECT_EQ(lines[1].substr(13), "OBLO 0.31");
    EXPECT_EQ(lines[2].substr(13), "one 1");
    for (const std::string& line : lines) {
        int h, m, s, c;
        char close;
        EXPECT_EQ(std::sscanf(line.c_str(), "[%d:%2d:%2d.%2d%c ", &h, &m, &s, &c, &close), 5) << line;
        EXPECT_EQ(close, ']');
    }
}

TEST(Log, FirstMessageCanNameTheFile)
{
    std::string path = test_scratch_dir("log-first") + "named.log";
    EnvGuard env("OBLO_LOGFILE", nullptr);
    log_close();
    log_printf("OBLO_LOGFILE=%s\n", path.c_str());
    log_printf("hello\n");
    log_close();
    std::string text = test_read_file(path);
    EXPECT_EQ(count(text, "hello\n"), 1);
    EXPECT_EQ(count(text, "OBLO_LOGFILE="), 0);
    EXPECT_EQ(count(text, "Logfile \"" + path + "\" opened\n"), 1);

    // Without a file name the messages go nowhere (and nothing breaks).
    log_close();
    log_printf("dropped\n");
    log_close();
    EXPECT_EQ(test_read_file(path), text);
}
