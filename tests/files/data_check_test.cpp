#include "files/archive.h"
#include "files/data_check.h"
#include "files/ripemd160.h"
#include "platform/log.h"
#include "data_env.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(ReleaseMarker, DigestConstantMatchesTheMarkerBytes)
{
    std::string marker = data_release_marker();
    EXPECT_EQ(ripemd160_hex(marker.data(), marker.size()), DATA_RELEASE_DIGEST);
    // It is a valid archive, so the index takes it like any other.
    Stream* s = stream_open_memory(marker.data(), marker.size(), false);
    std::vector<SafMember> members;
    EXPECT_TRUE(saf_read_header(s, (long long)marker.size(), &members));
    EXPECT_EQ(members.size(), 1u);
    stream_close(s);
}

TEST(ReleaseMarker, BuiltDataSetCarriesTheMarker)
{
    if (!test_have_game_data())
        GTEST_SKIP() << "no data set built beside the game";
    std::string path = std::string(KESTRUM_GAME_DIR) + "/zzzz.saf";
    EXPECT_EQ(test_read_file(path), data_release_marker());
    EXPECT_EQ(data_file_digest(path), DATA_RELEASE_DIGEST);
}

using DataFolderCheck = DataEnv;

TEST_F(DataFolderCheck, FindsTheMarkerAndStartsTheLogInTheUserFolder)
{
    log_close();
    test_write_file(data + "zzzz.saf", data_release_marker());
    EXPECT_TRUE(data_folder_check());
    EXPECT_TRUE(fs::is_directory(user));
    log_printf("after the check\n");
    log_close();
    std::string log = test_read_file(user + "lastlog.txt");
    EXPECT_NE(log.find("] after the check\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("OBLO_LOGFILE="), std::string::npos) << log;
}

TEST_F(DataFolderCheck, WrongOrMissingMarkerMeansNoGameData)
{
    log_close();
    EXPECT_FALSE(data_folder_check());
    test_write_file(data + "zzzz.saf", data_release_marker() + "x");
    data_paths_reset();
    EXPECT_FALSE(data_folder_check());
    // The user folder is a search folder too.
    test_write_file(user + "zzzz.saf", data_release_marker());
    EXPECT_TRUE(data_folder_check());
    log_close();
}

TEST_F(DataFolderCheck, OnlyTheFirstMebibyteCounts)
{
    std::string head(1048576, '\0');
    for (size_t i = 0; i < head.size(); i++)
        head[i] = char(i * 31 / 7);
    test_write_file(root + "short", head);
    test_write_file(root + "long", head + "anything after the first mebibyte");
    EXPECT_EQ(data_file_digest(root + "long"), ripemd160_hex(head.data(), head.size()));
    EXPECT_EQ(data_file_digest(root + "short"), data_file_digest(root + "long"));
    EXPECT_EQ(data_file_digest(root + "absent"), "");
}
