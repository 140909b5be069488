#include "files/archive.h"
#include "files/stream.h"
#include "data_env.h"

#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

std::string gz(const std::string& text)
{
    std::string out;
    EXPECT_TRUE(gzip_compress(text, 9, &out));
    return out;
}

}  // namespace

TEST(Stream, GetsSplitsLinesAndCopesWithTinyBuffers)
{
    MemStream m("ab\ncdefg\n\nh");
    char buf[4] = "zzz";
    EXPECT_EQ(stream_gets(m.s, buf, 0), nullptr);
    EXPECT_EQ(stream_gets(m.s, buf, 1), nullptr);  // no room for any byte
    EXPECT_EQ(stream_tell(m.s), 0);
    ASSERT_TRUE(stream_gets(m.s, buf, 2));
    EXPECT_STREQ(buf, "a");
    ASSERT_TRUE(stream_gets(m.s, buf, 4));
    EXPECT_STREQ(buf, "b\n");
    ASSERT_TRUE(stream_gets(m.s, buf, 4));
    EXPECT_STREQ(buf, "cde");
    ASSERT_TRUE(stream_gets(m.s, buf, 4));
    EXPECT_STREQ(buf, "fg\n");
    ASSERT_TRUE(stream_gets(m.s, buf, 4));
    EXPECT_STREQ(buf, "\n");
    ASSERT_TRUE(stream_gets(m.s, buf, 4));
    EXPECT_STREQ(buf, "h");
    EXPECT_EQ(stream_gets(m.s, buf, 4), nullptr);
    EXPECT_TRUE(stream_eof(m.s));
}

TEST(Stream, PeekAndPushBackAreSeenByEveryReader)
{
    MemStream m("xyz");
    EXPECT_EQ(stream_peek(m.s), 'x');
    EXPECT_EQ(stream_tell(m.s), 0);
    char buf[8] = {};
    EXPECT_EQ(stream_read(m.s, buf, 2), 2u);
    EXPECT_STREQ(buf, "xy");
    EXPECT_EQ(stream_peek(m.s), 'z');
    EXPECT_TRUE(stream_gets(m.s, buf, sizeof buf));
    EXPECT_STREQ(buf, "z");
    EXPECT_EQ(stream_peek(m.s), -1);
    EXPECT_EQ(stream_read(m.s, buf, 8), 0u);
    EXPECT_EQ(stream_tell(m.s), 3);
}

TEST(Stream, SeekOnlyInsideTheDataOfPlainStreams)
{
    MemStream m("0123456789");
    EXPECT_EQ(stream_getc(m.s), '0');
    EXPECT_EQ(stream_peek(m.s), '1');
    EXPECT_TRUE(stream_seek(m.s, 7));  // drops the peeked character
    EXPECT_EQ(stream_tell(m.s), 7);
    EXPECT_EQ(m.rest(), "789");
    EXPECT_TRUE(stream_seek(m.s, 0));
    EXPECT_EQ(stream_getc(m.s), '0');
    EXPECT_FALSE(stream_seek(m.s, 10));
    EXPECT_FALSE(stream_seek(m.s, -1));

    MemStream z(gz("0123456789"), true);
    ASSERT_TRUE(z.s);
    EXPECT_FALSE(stream_seek(z.s, 0));
    EXPECT_EQ(z.rest(), "0123456789");
}

TEST(Stream, ReadIntAndSkipComments)
{
    MemStream m("# header line\n#\n   # indented comment\n\n  42 -7\n# between\nx");
    stream_skip_comments(m.s);
    EXPECT_EQ(stream_read_int(m.s), 42);
    EXPECT_EQ(stream_read_int(m.s), -7);
    stream_skip_comments(m.s);
    EXPECT_EQ(stream_read_int(m.s), INT_MIN);
    EXPECT_EQ(m.rest(), "x");  // the mismatch stays unread
    EXPECT_EQ(stream_read_int(m.s), INT_MIN);
    stream_skip_comments(m.s);  // at the end: returns
}

using GzipFiles = DataEnv;

TEST_F(GzipFiles, PlainPathFallsBackToDotGz)
{
    test_write_file(root + "notes.txt.gz", gz("packed notes\n"));
    EXPECT_EQ(read(root + "notes.txt").value_or(""), "packed notes\n");
    test_write_file(data + "deep/file.gz", gz("via @\n"));
    EXPECT_EQ(read("@deep/file").value_or(""), "via @\n");
    // A broken .gz does not open at all.
    test_write_file(root + "broken.gz", "not gzip at all");
    EXPECT_FALSE(read(root + "broken"));
    EXPECT_FALSE(stream_open((root + "absent").c_str(), "rb"));
}

TEST(Gzip, OptionalHeaderFieldsAreSkipped)
{
    std::string text = "the member text\n";
    std::string packed = gz(text);
    std::string body = packed.substr(10);
    std::string base = packed.substr(0, 10);
    struct Case { int flags; std::string fields; };
    const Case cases[] = {
        {0, ""},
        {4, std::string("\x03\x00xyz", 5)},           // extra field
        {8, std::string("name.txt\0", 9)},            // file name
        {16, std::string("a comment\0", 10)},         // comment
        {2, "\x12\x34"},                              // header checksum
        {4 | 8 | 16 | 2, std::string("\x01\x00q" "n\0" "c\0" "\xab\xcd", 9)},
        {1, ""},                                      // text flag: no field
    };
    for (const Case& c : cases) {
        std::string h = base;
        h[3] = char(c.flags);
        MemStream m(h + c.fields + body, true);
        ASSERT_TRUE(m.s) << c.flags;
        EXPECT_EQ(m.rest(), text) << c.flags;
    }
}

TEST(Gzip, InvalidOrTruncatedDataNeverCrashes)
{
    std::string packed = gz(std::string(5000, 'k') + "tail");
    struct Case { const char* what; std::string bytes; };
    std::string bad_magic = packed, bad_method = packed, bad_flags = packed;
    bad_magic[1] = 0x8c;
    bad_method[2] = 7;
    bad_flags[3] = 32;
    const Case cases[] = {
        {"empty", ""},
        {"wrong magic", bad_magic},
        {"wrong method", bad_method},
        {"reserved flag", bad_flags},
        {"header cut short", packed.substr(0, 7)},
        {"name never ends", packed.substr(0, 3) + "\x08" + packed.substr(4, 6) + "abc"},
    };
    for (const Case& c : cases) {
        MemStream m(c.bytes, true);
        EXPECT_FALSE(m.s) << c.what;
    }
    // A cut body opens and yields a prefix of the text, then the end.
    for (size_t keep : {size_t(10), size_t(12), packed.size() / 2, packed.size() - 9}) {
        MemStream m(packed.substr(0, keep), true);
        ASSERT_TRUE(m.s);
        std::string got = m.rest();
        EXPECT_EQ(got, (std::string(5000, 'k') + "tail").substr(0, got.size()));
        EXPECT_EQ(stream_getc(m.s), -1);
    }
    // Corrupt deflate data ends the stream.
    std::string corrupt = packed;
    for (size_t i = 12; i < corrupt.size(); i += 3)
        corrupt[i] = char(0xff);
    MemStream m(corrupt, true);
    ASSERT_TRUE(m.s);
    m.rest();
    EXPECT_EQ(stream_getc(m.s), -1);
}

TEST(Gzip, ByteAtATimeReadsDeliverEverything)
{
    // Long runs compress to little input; reading one byte at a time leaves
    // decoded bytes inside the inflater after the input is used up. The
    // trailer is ignored, so data without it must read in full too.
    std::string text = "start" + std::string(300000, '\0');
    std::string packed = gz(text);
    for (size_t cut : {size_t(0), size_t(8)}) {
        MemStream m(packed.substr(0, packed.size() - cut), true);
        ASSERT_TRUE(m.s);
        std::string got = m.rest();
        EXPECT_EQ(got.size(), text.size()) << cut;
        EXPECT_TRUE(got == text) << cut;
    }
}

TEST(Gzip, CompressionIsDeterministic)
{
    std::string text;
    for (int i = 0; i < 20000; i++)
        text += char('a' + i * 7 % 26);
    std::string a, b;
    ASSERT_TRUE(gzip_compress(text, 9, &a));
    ASSERT_TRUE(gzip_compress(text, 9, &b));
    EXPECT_EQ(a, b);
    EXPECT_LT(a.size(), text.size());
}
