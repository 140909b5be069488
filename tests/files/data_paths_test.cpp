#include "files/archive.h"
#include "files/stream.h"
#include "data_env.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string archive(const std::vector<std::pair<std::string, std::string>>& members)
{
    std::string bytes;
    EXPECT_TRUE(saf_build(members, &bytes));
    return bytes;
}

std::string gz(const std::string& text)
{
    std::string out;
    EXPECT_TRUE(gzip_compress(text, 9, &out));
    return out;
}

std::string executable_folder()
{
    return fs::canonical("/proc/self/exe").parent_path().string() + "/";
}

bool listed(const std::string& name)
{
    const std::vector<std::string>& names = data_file_names();
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

using SearchFolders = DataEnv;

TEST_F(SearchFolders, UserFolderFirstThenDataFolderNormalised)
{
    setenv("XDG_DATA_HOME", (root + "x//y\\z").c_str(), 1);
    setenv("RQ_HOME", (root + "d//e").c_str(), 1);
    data_paths_reset();
    EXPECT_EQ(std::string(search_folder(0)), root + "x/y/z/kestrum/");
    EXPECT_EQ(std::string(user_folder()), root + "x/y/z/kestrum/");
    EXPECT_EQ(std::string(search_folder(1)), root + "d/e/");
    EXPECT_EQ(search_folder(2), nullptr);
    EXPECT_EQ(search_folder(-1), nullptr);

    // Without XDG_DATA_HOME (or with a relative one) the user folder is
    // under the home folder.
    for (const char* xdg : {(const char*)nullptr, "relative/path"}) {
        if (xdg)
            setenv("XDG_DATA_HOME", xdg, 1);
        else
            unsetenv("XDG_DATA_HOME");
        setenv("HOME", (root + "home").c_str(), 1);
        data_paths_reset();
        EXPECT_EQ(std::string(search_folder(0)), root + "home/.local/share/kestrum/");
    }
}

TEST_F(SearchFolders, RqHomeReplacesTheExecutableFolder)
{
    std::string probe = executable_folder() + "files-test-exe-probe.txt";
    ASSERT_TRUE(test_write_file(probe, "beside the program\n"));
    test_write_file(data + "in-data.txt", "data\n");

    EXPECT_EQ(data_file_names().size(), 1u);
    EXPECT_FALSE(listed("files-test-exe-probe.txt"));
    EXPECT_FALSE(read("@files-test-exe-probe.txt"));
    for (int i = 0; search_folder(i); i++)
        EXPECT_NE(std::string(search_folder(i)), executable_folder());

    // Unset, or set but empty (which must not mean the file system root),
    // the executable's own folder is the data folder.
    for (bool empty : {false, true}) {
        if (empty)
            setenv("RQ_HOME", "", 1);
        else
            unsetenv("RQ_HOME");
        data_paths_reset();
        EXPECT_EQ(std::string(search_folder(1)), executable_folder());
        EXPECT_EQ(read("@files-test-exe-probe.txt").value_or(""), "beside the program\n");
    }
    unlink(probe.c_str());
}

using FileIndex = DataEnv;

TEST_F(FileIndex, MemberOffsetsFollowTheHeader)
{
    // Header lines of 4, 4 and 2 bytes: a starts at 10, b at 13.
    std::string bytes = "3 a\n5 b\n-\nxyz12345";
    Stream* s = stream_open_memory(bytes.data(), bytes.size(), false);
    std::vector<SafMember> m;
    ASSERT_TRUE(saf_read_header(s, (long long)bytes.size(), &m));
    stream_close(s);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].name, "a");
    EXPECT_EQ(m[0].offset, 10);
    EXPECT_EQ(m[0].size, 3);
    EXPECT_EQ(m[1].name, "b");
    EXPECT_EQ(m[1].offset, 13);
    EXPECT_EQ(m[1].size, 5);

    test_write_file(data + "pack.saf", bytes);
    EXPECT_EQ(read("@a").value_or(""), "xyz");
    EXPECT_EQ(read("@b").value_or(""), "12345");

    // A member stream stops at its limit and seeks only inside it.
    Stream* a = stream_open("@a", "rb");
    ASSERT_TRUE(a);
    char buf[16];
    EXPECT_EQ(stream_read(a, buf, sizeof buf), 3u);
    EXPECT_EQ(stream_getc(a), -1);
    EXPECT_TRUE(stream_seek(a, 2));
    EXPECT_EQ(stream_getc(a), 'z');
    EXPECT_FALSE(stream_seek(a, 3));
    EXPECT_FALSE(stream_seek(a, 100));
    EXPECT_FALSE(stream_seek(a, -1));
    stream_close(a);
}

TEST(ArchiveHeader, BadHeadersAreRejectedWhole)
{
    std::string long_name(1023 - 3, 'n');  // "1 " + name + "\n" = 1023 bytes
    struct Case { const char* what; std::string bytes; bool ok; size_t members; };
    const Case cases[] = {
        {"members then no dash line", "3 a\n5 b\nxyz12345", false, 0},
        {"file ends inside the header", "3 a\n5 b\n", false, 0},
        {"empty file", "", false, 0},
        {"dash line only", "-\n", true, 0},
        {"dash with more on its line", "-x\n", false, 0},
        {"negative count", "-3 a\n-\nxyz", false, 0},
        {"count without a name", "3\n-\nxyz", false, 0},
        {"count and separator but no name", "3 \n-\nxyz", false, 0},
        {"name of slashes only", "3 //\n-\nxyz", false, 0},
        {"member past the end of the file", "3 a\n500 b\n-\nxyz12345", false, 0},
        {"huge count", "99999999999999999999999 a\n-\nxyz", false, 0},
        {"garbage line", "\x01\x02\n-\n", false, 0},
        {"NUL in a name", std::string("1 a\0b\n-\nx", 9), false, 0},
        {"header line of 1023 bytes", "1 " + long_name + "\n-\nx", true, 1},
        {"header line of 1024 bytes", "1 " + long_name + "n\n-\nx", false, 0},
        {"CRLF dash line", "1 a\n-\r\nx", false, 0},
    };
    for (const Case& c : cases) {
        Stream* s = stream_open_memory(c.bytes.data(), c.bytes.size(), false);
        ASSERT_TRUE(s) << c.what;
        std::vector<SafMember> m;
        EXPECT_EQ(saf_read_header(s, (long long)c.bytes.size(), &m), c.ok) << c.what;
        EXPECT_EQ(m.size(), c.members) << c.what;
        stream_close(s);
    }
}

TEST(ArchiveHeader, SlashRunsCollapseAndTrailingSlashesGo)
{
    std::string bytes = "1 a//b///c//\n-\nx";
    Stream* s = stream_open_memory(bytes.data(), bytes.size(), false);
    std::vector<SafMember> m;
    ASSERT_TRUE(saf_read_header(s, (long long)bytes.size(), &m));
    stream_close(s);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].name, "a/b/c");
}

TEST_F(FileIndex, RejectedArchiveContributesNothingAndTheRestStands)
{
    test_write_file(data + "bad.saf", "3 lost\nxyz");
    test_write_file(data + "good.saf", archive({{"kept", "yes"}}));
    EXPECT_FALSE(listed("lost"));
    EXPECT_FALSE(read("@lost"));
    EXPECT_EQ(read("@kept").value_or(""), "yes");
    EXPECT_TRUE(listed("bad.saf"));
}

TEST_F(FileIndex, DifferentlyCasedGzMemberOpensAndInflates)
{
    std::string text = "16 0.5 0 10\n";
    test_write_file(data + "tracks.saf", archive({{"Tracks/OakBasin/Terrain.HF.gz", gz(text)}}));
    EXPECT_EQ(read("@tracks/oakbasin/terrain.hf").value_or(""), text);
    Stream* s = stream_open("@TRACKS/oakbasin/terrain.hf", "rb");
    ASSERT_TRUE(s);
    EXPECT_FALSE(stream_seek(s, 0));  // compressed data cannot seek
    stream_close(s);
    // The index look-up is for reading only.
    EXPECT_FALSE(stream_open("@tracks/oakbasin/terrain.hf", "r+b"));
}

TEST_F(FileIndex, PrioritiesPlainOverArchiveEarlierFolderAndFirstArchive)
{
    test_write_file(data + "a.saf", archive({{"both", "a.saf"}, {"archives", "a.saf"}, {"dup", "first"}, {"dup", "second"}}));
    test_write_file(data + "b.saf", archive({{"both", "b.saf"}, {"archives", "b.saf"}, {"only-b", "b.saf"}}));
    test_write_file(data + "both", "plain data");
    test_write_file(data + "folders", "data folder");
    test_write_file(user + "folders", "user folder");
    test_write_file(user + "u.saf", archive({{"archives", "user archive"}}));

    EXPECT_EQ(read("@both").value_or(""), "plain data");
    EXPECT_EQ(read("@folders").value_or(""), "user folder");
    EXPECT_EQ(read("@only-b").value_or(""), "b.saf");
    EXPECT_EQ(read("@dup").value_or(""), "first");
    // Archives are visited in name order: a.saf, b.saf, then u.saf.
    EXPECT_EQ(read("@archives").value_or(""), "a.saf");
    // Case-insensitive look-up also finds plain files.
    EXPECT_EQ(read("@BOTH").value_or(""), "plain data");

    const std::vector<std::string> want = {"a.saf", "archives", "b.saf", "both", "dup", "folders", "only-b", "u.saf"};
    EXPECT_EQ(data_file_names(), want);
}

TEST_F(FileIndex, FilesWrittenLaterAreNotIndexedAndFoldersAreNotFiles)
{
    test_write_file(data + "early.txt", "e");
    fs::create_directories(data + "folder/inner");
    EXPECT_TRUE(listed("early.txt"));
    test_write_file(data + "late.txt", "l");
    EXPECT_FALSE(listed("late.txt"));
    EXPECT_EQ(read("@late.txt").value_or(""), "l");  // disk look-up still finds it
    EXPECT_FALSE(read("@folder"));
    EXPECT_FALSE(read("@"));
}

TEST_F(FileIndex, LinkLoopsDoNotHangTheWalk)
{
    fs::create_directories(data + "loop");
    test_write_file(data + "loop/file", "f");
    fs::create_directory_symlink("..", data + "loop/up");
    EXPECT_TRUE(listed("loop/file"));
}

using Writing = DataEnv;

TEST_F(Writing, AtNameWithTwoFolderLevelsCreatesBoth)
{
    Stream* s = stream_open("@demos/mine/run.rqdemo", "wb");
    ASSERT_TRUE(s);
    stream_printf(s, "%d laps\n", 3);
    EXPECT_TRUE(stream_ok(s));
    stream_close(s);
    EXPECT_EQ(test_read_file(user + "demos/mine/run.rqdemo"), "3 laps\n");
    EXPECT_FALSE(fs::exists(data + "demos"));
}

TEST_F(Writing, RenameWithAtMeansTheUserFolder)
{
    test_write_file(user + "old.txt", "x");
    EXPECT_TRUE(file_rename("@old.txt", "@new.txt"));
    EXPECT_EQ(test_read_file(user + "new.txt"), "x");
    EXPECT_FALSE(fs::exists(user + "old.txt"));
    EXPECT_FALSE(file_rename("@missing.txt", "@other.txt"));
    EXPECT_TRUE(file_rename("@new.txt", (root + "plain.txt").c_str()));
    EXPECT_EQ(test_read_file(root + "plain.txt"), "x");
}

TEST_F(Writing, FailedWritesShowInStreamOk)
{
    Stream* s = stream_open("/dev/full", "wb");
    ASSERT_TRUE(s);
    stream_puts(s, "no room");
    stream_flush(s);
    EXPECT_FALSE(stream_ok(s));
    stream_close(s);
}

TEST_F(Writing, OpenUserFolderCreatesItAndAsksTheDesktop)
{
    // A stand-in for the desktop's opener records the folder it was given.
    std::string bin = root + "bin/";
    ASSERT_TRUE(test_write_file(bin + "xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.arg\"\n"));
    fs::permissions(bin + "xdg-open", fs::perms::owner_all);
    const char* old_path = std::getenv("PATH");
    std::string saved = old_path ? old_path : "";
    setenv("PATH", (bin + ":" + saved).c_str(), 1);
    bool ok = open_user_folder();
    setenv("PATH", saved.c_str(), 1);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(fs::is_directory(user));
    std::string arg;
    for (int i = 0; i < 500 && arg.empty(); i++) {  // the opener runs detached
        arg = test_read_file(bin + "xdg-open.arg");
        if (arg.empty())
            usleep(10000);
    }
    EXPECT_EQ(arg, user.substr(0, user.size() - 1));
}

TEST_F(Writing, OverlongAtNameIsNotCutIntoAnotherFile)
{
    // The first 511 characters of the combined path name an existing file;
    // the full name must not open (or overwrite) it.
    std::string rel;
    while ((user + rel).size() < 400)
        rel += std::string(50, 'd') + "/";
    std::string stem = rel + std::string(511 - (user + rel).size(), 'f');
    ASSERT_EQ((user + stem).size(), 511u);
    ASSERT_TRUE(test_write_file(user + stem, "victim"));
    EXPECT_FALSE(read("@" + stem + "-and-more"));
    EXPECT_FALSE(stream_open(("@" + stem + "-and-more").c_str(), "wb"));
    EXPECT_EQ(test_read_file(user + stem), "victim");
    EXPECT_EQ(read("@" + stem).value_or(""), "victim");
}
