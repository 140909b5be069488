#include "files/stream.h"
#include "test_support.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>

TEST(StreamScanf, Integers)
{
    struct Case { const char* input; const char* fmt; int ret; long long value; const char* rest; };
    const Case cases[] = {
        {"42 x", "%d", 1, 42, " x"},
        {"  -17\n", "%d", 1, -17, "\n"},
        {"+5", "%d", 1, 5, ""},
        {"1234", "%2d", 1, 12, "34"},
        {"0x1F;", "%i", 1, 31, ";"},
        {"017", "%i", 1, 15, ""},
        {"09", "%i", 1, 0, "9"},
        {"-0x10", "%i", 1, -16, ""},
        {"ff", "%x", 1, 255, ""},
        {"0XaB", "%X", 1, 171, ""},
        {"0x", "%x", 1, 0, "x"},     // no hex digit: the zero alone
        {"0xg", "%i", 1, 0, "xg"},
        {"0x1", "%2x", 1, 0, "x1"},  // the width leaves no room for a digit
        {"777 8", "%o", 1, 511, " 8"},
        {"abc", "%d", 0, 0, "abc"},
        {"-x", "%d", 0, 0, "x"},
        {"", "%d", -1, 0, ""},
        {"   \n\t", "%d", -1, 0, ""},
    };
    for (const Case& c : cases) {
        MemStream m(c.input);
        int v = 0;
        EXPECT_EQ(stream_scanf(m.s, c.fmt, &v), c.ret) << c.input << " / " << c.fmt;
        if (c.ret == 1) {
            EXPECT_EQ(v, c.value) << c.input << " / " << c.fmt;
        }
        EXPECT_EQ(m.rest(), c.rest) << c.input << " / " << c.fmt;
    }
}

TEST(StreamScanf, SizePrefixesStoreTheRightWidth)
{
    MemStream m("-3 200 70000 9000000000 -2 5");
    signed char hh = 0;
    unsigned char uhh = 0;
    int i = 0;
    long long ll = 0;
    short h = 0;
    long l = 0;
    EXPECT_EQ(stream_scanf(m.s, "%hhd %hhu %d %lld %hd %ld", &hh, &uhh, &i, &ll, &h, &l), 6);
    EXPECT_EQ(hh, -3);
    EXPECT_EQ(uhh, 200);
    EXPECT_EQ(i, 70000);
    EXPECT_EQ(ll, 9000000000LL);
    EXPECT_EQ(h, -2);
    EXPECT_EQ(l, 5);
}

TEST(StreamScanf, FloatingPoint)
{
    struct Case { const char* input; const char* fmt; int ret; double value; const char* rest; };
    const Case cases[] = {
        {"1.5e3 ", "%lf", 1, 1500, " "},
        {"-.25", "%lf", 1, -0.25, ""},
        {"2.", "%lf", 1, 2, ""},
        {"7e-2x", "%lf", 1, 0.07, "x"},
        {"1e", "%lf", 1, 1, "e"},
        {"1ex", "%lf", 1, 1, "ex"},
        {"3E+", "%lf", 1, 3, "+"},  // three characters cannot all go back
        {"12.75", "%3lf", 1, 12, "75"},
        {"e5", "%lf", 0, 0, "e5"},
        {".", "%lf", 0, 0, ""},
        {"0.5", "%f", 1, 0.5, ""},
    };
    for (const Case& c : cases) {
        MemStream m(c.input);
        double d = 0;
        float f = 0;
        bool is_float = std::strcmp(c.fmt, "%f") == 0;
        int r = is_float ? stream_scanf(m.s, c.fmt, &f) : stream_scanf(m.s, c.fmt, &d);
        EXPECT_EQ(r, c.ret) << c.input;
        if (c.ret == 1) {
            EXPECT_DOUBLE_EQ(is_float ? double(f) : d, c.value) << c.input;
        }
        EXPECT_EQ(m.rest(), c.rest) << c.input;
    }
}

TEST(StreamScanf, StringsCharactersAndSets)
{
    struct Case { const char* input; const char* fmt; int ret; const char* value; const char* rest; };
    const Case cases[] = {
        {"  hello world", "%s", 1, "hello", " world"},
        {"hello", "%3s", 1, "hel", "lo"},
        {"abcd", "%[a-c]", 1, "abc", "d"},
        {"line one\nnext", "%[^\n]", 1, "line one", "\nnext"},
        {"]]xa", "%[]x]", 1, "]]x", "a"},
        {"a-b", "%[-a]", 1, "a-", "b"},
        {"zzz", "%[a-c]", 0, "", "zzz"},
        {"", "%[a-c]", -1, "", ""},
        {" x", "%c", 1, " ", "x"},
        {"abc", "%2c", 1, "ab", "c"},
        {"a", "%2c", 0, "", ""},
        {"", "%c", -1, "", ""},
        {"abc", "%[abc", 0, "", "abc"},  // unterminated set: no conversion
    };
    for (const Case& c : cases) {
        MemStream m(c.input);
        char buf[32];
        std::memset(buf, 0, sizeof buf);
        EXPECT_EQ(stream_scanf(m.s, c.fmt, buf), c.ret) << c.input << " / " << c.fmt;
        if (c.ret == 1) {
            EXPECT_STREQ(buf, c.value) << c.input << " / " << c.fmt;
        }
        EXPECT_EQ(m.rest(), c.rest) << c.input << " / " << c.fmt;
    }
}

TEST(StreamScanf, LiteralsSuppressionAndCounts)
{
    {
        MemStream m("x = 3, y=4;");
        int x = 0, y = 0;
        EXPECT_EQ(stream_scanf(m.s, "x = %d , y = %d ;", &x, &y), 2);
        EXPECT_EQ(x, 3);
        EXPECT_EQ(y, 4);
    }
    {
        MemStream m("b=3");
        int v = 0;
        EXPECT_EQ(stream_scanf(m.s, "a=%d", &v), 0);
        EXPECT_EQ(m.rest(), "b=3");  // the mismatching character stays
    }
    {
        MemStream m("1 2 3");
        int v = 0;
        EXPECT_EQ(stream_scanf(m.s, "%*d %*d %d", &v), 1);
        EXPECT_EQ(v, 3);
    }
    {
        MemStream m("50 %done");
        int v = 0;
        char word[8] = {};
        EXPECT_EQ(stream_scanf(m.s, "%d%%%s", &v, word), 2);
        EXPECT_EQ(v, 50);
        EXPECT_STREQ(word, "done");
    }
    {
        // %n counts what this call consumed, not the stream position.
        MemStream m("  12 ab  34 cd");
        int v = 0, n = -1;
        EXPECT_EQ(stream_scanf(m.s, "%d%n", &v, &n), 1);
        EXPECT_EQ(n, 4);
        char w[4];
        EXPECT_EQ(stream_scanf(m.s, "%s %d%n", w, &v, &n), 2);
        EXPECT_EQ(n, 7);
        EXPECT_EQ(v, 34);
    }
    {
        // Input ending after a conversion is not the -1 of no conversion.
        MemStream m("5");
        int a = 0, b = 0;
        EXPECT_EQ(stream_scanf(m.s, "%d %d", &a, &b), 1);
        EXPECT_EQ(stream_scanf(m.s, "%d", &a), -1);
    }
}

TEST(StreamScanf, BinaryGarbageNeverCrashes)
{
    std::mt19937 rng(12345);
    std::string bytes(20000, '\0');
    for (char& c : bytes)
        c = char(rng() % 256);
    // Sprinkle digits and signs so the number readers get exercised.
    for (size_t i = 0; i < bytes.size(); i += 5)
        bytes[i] = "0123456789+-.xXe "[rng() % 17];
    MemStream m(bytes);
    const char* formats[] = {"%d", "%i", "%x", "%o", "%lf", "%63s", "%3c", "%63[^\n]", " #%*[^\n]", "%*s%n", "x%d"};
    int guard = 0;
    while (!stream_eof(m.s) && guard++ < 100000) {
        long before = stream_tell(m.s);
        for (const char* f : formats) {
            alignas(16) char buf[64];  // big enough for any one destination
            int r = stream_scanf(m.s, f, buf);
            EXPECT_GE(r, -1);
            EXPECT_LE(r, 1);
        }
        if (stream_tell(m.s) == before)
            stream_getc(m.s);
        EXPECT_GE(stream_tell(m.s), before);
    }
    EXPECT_TRUE(stream_eof(m.s));
}
