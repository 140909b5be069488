#include "files/data_check.h"
#include "files/data_pack.h"
#include "platform/log.h"
#include "data_env.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>

namespace fs = std::filesystem;

namespace {

std::map<std::string, std::string> sample_data_set()
{
    std::string heights, noise;
    std::mt19937 rng(7);
    for (int i = 0; i < 40000; i++) {
        heights += char(i / 200);
        noise += char(rng());
    }
    return {
        {"oakbasin/terrain.hf", "8 0.5 0 40\n:" + heights},
        {"oakbasin/desc", "Oak Basin\n"},
        {"oakbasin/map.png", heights},      // found by listing: keeps its name
        {"oakbasin/noise", noise},          // does not compress: stays as it is
        {"bikes/crf250.jm", "model\n"},
        {"demos/lap.rqdemo", heights},      // seeked in: never compressed
        {"font.png", "\x89PNG"},
        {"readme.txt", "plain\n"},
    };
}

std::vector<std::string> names_of(const std::vector<PackedFile>& files)
{
    std::vector<std::string> out;
    for (const PackedFile& f : files)
        out.push_back(f.name);
    return out;
}

}  // namespace

using DataPack = DataEnv;

TEST_F(DataPack, EveryFileReadsBackThroughTheIndex)
{
    auto files = sample_data_set();
    std::vector<PackedFile> packed;
    std::string error;
    ASSERT_TRUE(data_pack(files, {"readme.txt"}, &packed, &error)) << error;
    const std::vector<std::string> layout = {"bikes.saf", "demos.saf", "oakbasin.saf", "readme.txt", "shared.saf",
                                             "zzzz.saf"};
    EXPECT_EQ(names_of(packed), layout);

    PackWriteReport report;
    ASSERT_TRUE(data_pack_write(data, packed, &report, &error)) << error;
    EXPECT_EQ(report.written, 6);
    for (const auto& [name, bytes] : files) {
        std::optional<std::string> got = read("@" + name);
        ASSERT_TRUE(got) << name;
        EXPECT_TRUE(*got == bytes) << name;
    }
    const std::vector<std::string>& names = data_file_names();
    auto has = [&](const char* n) { return std::find(names.begin(), names.end(), n) != names.end(); };
    EXPECT_TRUE(has("oakbasin/terrain.hf.gz"));
    EXPECT_TRUE(has("oakbasin/map.png"));
    EXPECT_TRUE(has("oakbasin/noise"));
    EXPECT_TRUE(fs::is_regular_file(data + "readme.txt"));

    Stream* demo = stream_open("@demos/lap.rqdemo", "rb");
    ASSERT_TRUE(demo);
    EXPECT_TRUE(stream_seek(demo, 100));
    stream_close(demo);

    log_close();
    EXPECT_TRUE(data_folder_check());
    log_close();
}

TEST_F(DataPack, SameInputSameBytes)
{
    std::vector<PackedFile> a, b;
    std::string error;
    ASSERT_TRUE(data_pack(sample_data_set(), {"readme.txt"}, &a, &error));
    ASSERT_TRUE(data_pack(sample_data_set(), {"readme.txt"}, &b, &error));
    ASSERT_EQ(names_of(a), names_of(b));
    for (size_t i = 0; i < a.size(); i++)
        EXPECT_TRUE(a[i].bytes == b[i].bytes) << a[i].name;
    EXPECT_EQ(a.back().bytes, data_release_marker());

    PackWriteReport r1, r2;
    ASSERT_TRUE(data_pack_write(root + "one", a, &r1, &error));
    ASSERT_TRUE(data_pack_write(root + "two", b, &r2, &error));
    for (const auto& e : fs::recursive_directory_iterator(root + "one")) {
        std::string rel = fs::relative(e.path(), root + "one").string();
        EXPECT_EQ(test_read_file(e.path().string()), test_read_file(root + "two/" + rel)) << rel;
    }
    // A second run over the same folder changes nothing.
    PackWriteReport again;
    ASSERT_TRUE(data_pack_write(root + "one", a, &again, &error));
    EXPECT_EQ(again.written, 0);
    EXPECT_EQ(again.unchanged, int(a.size()));
}

TEST_F(DataPack, StaleOutputGoesAndForeignFilesStay)
{
    std::string error;
    std::vector<PackedFile> first, second;
    auto files = sample_data_set();
    ASSERT_TRUE(data_pack(files, {"readme.txt", "bikes/crf250.jm"}, &first, &error));
    PackWriteReport r;
    ASSERT_TRUE(data_pack_write(data, first, &r, &error));
    ASSERT_TRUE(fs::exists(data + "bikes/crf250.jm"));

    // By hand: a file of our own, and an old plain copy of a packed member.
    test_write_file(data + "kestrum", "the game itself");
    test_write_file(data + "oakbasin/notes", "mine");
    test_write_file(data + "oakbasin/desc", "Old Title\n");

    files.erase("readme.txt");
    files.erase("bikes/crf250.jm");
    ASSERT_TRUE(data_pack(files, {}, &second, &error));
    PackWriteReport report;
    ASSERT_TRUE(data_pack_write(data, second, &report, &error)) << error;
    std::sort(report.removed.begin(), report.removed.end());
    const std::vector<std::string> removed = {"bikes/crf250.jm", "oakbasin/desc", "readme.txt"};
    EXPECT_EQ(report.removed, removed);
    EXPECT_FALSE(fs::exists(data + "bikes"));  // emptied, so gone too
    EXPECT_EQ(test_read_file(data + "kestrum"), "the game itself");
    EXPECT_EQ(test_read_file(data + "oakbasin/notes"), "mine");
    EXPECT_EQ(read("@oakbasin/desc").value_or(""), "Oak Basin\n");
    EXPECT_TRUE(fs::exists(data + "zzzz.saf"));
}

TEST(DataPackNames, UnshippableNamesAreRefused)
{
    const char* bad[] = {"", "/abs", "../up", "a/../b", "a/./b", "a//b", "dir/", "a\\b", "x.saf", "zzzz/inside",
                         "line\nbreak", ".kestrum-data-files"};
    for (const char* name : bad) {
        std::vector<PackedFile> out;
        std::string error;
        EXPECT_FALSE(data_pack({{name, "x"}}, {}, &out, &error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
}
