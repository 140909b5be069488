// The track catalogue, track_load with its hash, the reuse rules and the
// shipped tracks.
#include <zlib.h>

#include <filesystem>

#include "files/ripemd160.h"
#include "track/track_load_fixture.h"

using trackfx::TrackFolders;

namespace {

std::string gzip(const std::string& bytes)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, uLong(bytes.size())) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = uInt(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string digest_of(const std::string& bytes)
{
    Ripemd160 r;
    ripemd160_init(&r);
    ripemd160_update(&r, bytes.data(), bytes.size());
    uint8_t out[20];
    ripemd160_final(&r, out);
    return track_hash_hex(out);
}

class Catalogue : public TrackFolders {};

TEST_F(Catalogue, ListsFoldersSortedByCaseFoldedTitle)
{
    write_track("zeta");                                  // no desc: titled by its name
    write("gzonly/terrain.hf.gz", gzip(trackfx::height_field(2, 4, 16, [](int, int) { return 0.0; })));
    write("blank/terrain.hf", "x");
    write("blank/desc", "\nSecond line\n");                 // empty first line: empty title
    write("upper/terrain.hf", "x");
    write("upper/desc", "ALPHA\r\nmore");
    write("lower/terrain.hf", "x");
    write("lower/desc", "alpha");
    write("nested/deep/terrain.hf", "x");
    write("nested/deep/desc", std::string("Mid\0dle", 7));
    write("both/terrain.hf", "x");
    write("both/terrain.hf.gz", gzip("x"));
    write("both/desc", "  Both Forms ");
    write("notrack/terrain.hff", "x");
    data_paths_reset();
    terrain_settings.debug_level = 1;
    TrackCatalogue c;
    bool ok = track_catalogue_build(&c);
    terrain_settings.debug_level = 0;
    ASSERT_TRUE(ok);
    // "ALPHA" and "alpha" compare equal and are never swapped, so "lower"
    // stays before "upper" as in the folder list.
    EXPECT_EQ(c.names, (std::vector<std::string>{"blank", "both", "lower", "upper", "gzonly", "nested/deep", "zeta"}));
    EXPECT_EQ(c.titles, (std::vector<std::string>{"", "  Both Forms ", "alpha", "ALPHA", "gzonly", "Mid", "zeta"}));
    EXPECT_EQ(track_find("nested/deep", &c), 5);
    EXPECT_EQ(track_find("Zeta", &c), -1);
    EXPECT_EQ(track_find(nullptr, &c), -1);
    // The menu starts at "--track", else oakbasin, else the first entry.
    EXPECT_EQ(track_start_choice("zeta", &c), 6);
    EXPECT_EQ(track_start_choice("unknown", &c), 0);
    EXPECT_EQ(track_start_choice(nullptr, &c), 0);
    c.names[3] = "oakbasin";
    EXPECT_EQ(track_start_choice(nullptr, &c), 3);
}

TEST(CatalogueSort, ExchangeSortKeepsEqualTitlesWhereTheSortLeavesThem)
{
    TrackCatalogue c;
    c.names = {"a", "b", "c", "d"};
    c.titles = {"Beta", "alpha", "ALPHA", "beta"};
    track_catalogue_sort(&c);
    EXPECT_EQ(c.titles, (std::vector<std::string>{"alpha", "ALPHA", "Beta", "beta"}));
    EXPECT_EQ(c.names, (std::vector<std::string>{"b", "c", "a", "d"}));
}

TEST_F(Catalogue, NoTracksIsAFailure)
{
    write("somewhere/desc", "Nothing here");
    data_paths_reset();
    TrackCatalogue c;
    EXPECT_FALSE(track_catalogue_build(&c));
    EXPECT_TRUE(c.names.empty());
}

class TrackLoad : public TrackFolders {
protected:
    // A folder with every file kind; the statues share a shape.
    void write_full(const std::string& name)
    {
        write_track(name, [](int i, int j) { return (i + j) / 32.0; });
        write(name + "/timing_gates", "checkpoints:\n 12 [ 16 0 8 ] [ 0 0 1 ]\n 12 [ 16 0 24 ] [ 0 0 -1 ]\n");
        write(name + "/statues",
              "[ 10 0 10 ] 0 @bale.jm @bale.png @bale.shp\n"
              "[ 20 0 10 ] 1 @bale.jm @bale.png @bale.shp\n"
              "[ 20 0 20 ] 0 @tower.jm @tower.png @tower.shp\n"
              "[ 12 0 20 ] 0 @sign.jm @sign.png null\n");
        write("bale.shp", "1  0 1 0  1.5  0.8 20000 1000\n");
        write("tower.shp", "2  0 2 0  2  0.5 20000 1000  0 6 0  1  0.5 20000 1000\n");
        write(name + "/billboards", "[ 5 0 5 ] 10 0.5 @tree.png\n");
        write(name + "/flaggers",
              "[ 4 0 4 ] [ 8 0 4 ] 6 0.5 2  @s1 @s2 @s3 @s4 @s5\n"
              "[ 12 0 2 ] 4 1  @l1 @l2 @l3 @l4\n"
              "[ 20 0 20 ] 5 0.6 0 1 9 -1  @f @f-alert\n");
        write(name + "/lighting", "sun_vector [ 1 2 1 ]\n");
        write(name + "/desc", "Full Track\n");
        write(name + "/decals", "[ 8 8 ] 0 4 1 @mark.png\n");
        write("tree.png", "not really a picture");
    }

    std::string expected_hash(const std::string& name)
    {
        std::string d = data + name + "/";
        return digest_of(test_read_file(d + "terrain.hf") + test_read_file(d + "tilemap") +
                         test_read_file(d + "tileinfo") + test_read_file(d + "timing_gates") +
                         test_read_file(d + "statues") + test_read_file(data + "bale.shp") +
                         test_read_file(data + "tower.shp"));
    }

    std::string hash() const { return track_hash_hex(track.hash); }
};

TEST_F(TrackLoad, LoadsEveryFileInOrder)
{
    write_full("full");
    data_paths_reset();
    ASSERT_TRUE(track_catalogue_build());
    ASSERT_TRUE(load("full"));
    EXPECT_TRUE(trackfx::messages().empty()) << trackfx::messages().front();
    EXPECT_EQ(track.title, "Full Track");
    EXPECT_EQ(track.timing_gate_count, 2);
    // Particles first, then the start, the lap board and the one marshal,
    // then the track's own billboard.
    EXPECT_EQ(track.first_track_billboard, TRACK_PARTICLE_SLOTS + 3);
    ASSERT_EQ(track.billboards.size(), size_t(TRACK_PARTICLE_SLOTS + 4));
    EXPECT_EQ(track.billboards.back().texture_name, "@tree.png");
    EXPECT_EQ(track.flaggers[0].gates[2], 1);
    EXPECT_EQ(track.statues.size(), 4u);
    EXPECT_EQ(track.hf.decals.size(), 1u);
    EXPECT_NEAR(track.lighting.sun[1], 2 / std::sqrt(6.0), 1e-6);
    // Statues with shapes are bucketed (the sign has none).
    int bucketed = 0;
    for (auto& row : track.statue_buckets)
        for (auto& list : row)
            bucketed += int(list.size());
    EXPECT_GE(bucketed, 3);
    EXPECT_EQ(hash(), expected_hash("full"));
}

TEST_F(TrackLoad, HashIgnoresLookAndFollowsTheGround)
{
    write_full("full");
    data_paths_reset();
    ASSERT_TRUE(load("full"));
    std::string first = hash();
    EXPECT_EQ(first, expected_hash("full"));

    // Lighting, billboards, flaggers, decals, desc and textures: same hash.
    write("full/lighting", "sun_vector [ 0 1 0 ]\nambient [ 0.1 0.1 0.1 ]\n");
    write("full/billboards", "[ 6 0 6 ] 12 0.5 @other.png\n[ 7 0 7 ] 1 1 @tree.png\n");
    write("full/flaggers", "");
    write("full/decals", "");
    write("full/desc", "Renamed");
    write("tree.png", "a different picture");
    ASSERT_TRUE(load("full"));
    EXPECT_EQ(hash(), first);

    struct Change {
        const char* file;
        std::string bytes;
    } changes[] = {
        {"full/tilemap", std::string(15, '\0') + '\1'},
        {"full/timing_gates", "checkpoints:\n 12 [ 16 0 8 ] [ 0 0 1 ]\n"},
        {"tower.shp", "1  0 2 0  2.5  0.5 20000 1000\n"},
        {"full/statues", "[ 10 0 10 ] 0 @bale.jm @bale.png @bale.shp\n"},
        {"full/tileinfo", "\n"},
    };
    std::string previous = first;
    for (const Change& c : changes) {
        write(c.file, c.bytes);
        ASSERT_TRUE(load("full")) << c.file;
        EXPECT_NE(hash(), previous) << c.file;
        previous = hash();
    }
}

TEST_F(TrackLoad, ACompressedHeightFieldIsHashedAsDelivered)
{
    write_track("packed", [](int i, int j) { return (i * j) / 64.0; });
    std::string raw = test_read_file(data + "packed/terrain.hf");
    std::filesystem::remove(data + "packed/terrain.hf");
    write("packed/terrain.hf.gz", gzip(raw));
    data_paths_reset();
    ASSERT_TRUE(load("packed"));
    EXPECT_EQ(hash(), digest_of(raw + std::string(16, '\0')));
}

TEST_F(TrackLoad, AMissingOrBrokenGroundFailsAndClearsTheName)
{
    write("broken/terrain.hf", "not a header");
    write("broken/desc", "Broken");
    data_paths_reset();
    ASSERT_TRUE(track_catalogue_build());
    track.name = "missing";
    EXPECT_FALSE(track_load(&track));
    EXPECT_TRUE(trackfx::saw("Can't open '@missing/terrain.hf'"));
    EXPECT_EQ(track.name, "");
    EXPECT_EQ(track.title, "");
    track.name = "broken";
    EXPECT_FALSE(track_load(&track));
    EXPECT_EQ(track.name, "");
    EXPECT_FALSE(track.loaded);
    EXPECT_TRUE(track.billboards.empty());
    track_free(&track);
    track_free(&track);   // twice is harmless
}

TEST_F(TrackLoad, ReuseRules)
{
    write_full("full");
    write_track("other");
    data_paths_reset();
    ASSERT_TRUE(track_use(&track, "full", false));
    std::string first = hash();
    statue_add(&track, 16, 0, 16, 0, "@x.jm", "@x.png", nullptr);   // an editor change
    size_t statues = track.statues.size();

    // Offline the same track stays, even when every file has gone.
    std::filesystem::remove_all(data + "full");
    track.hf.changed = true;
    ASSERT_TRUE(track_use(&track, "full", false));
    EXPECT_EQ(track.statues.size(), statues);
    EXPECT_TRUE(track.hf.changed);
    EXPECT_FALSE(track.hf.frozen);

    // Online, a dug ground is read again (and now the folder is gone).
    EXPECT_FALSE(track_use(&track, "full", true));
    EXPECT_FALSE(track.loaded);

    write_full("full");
    data_paths_reset();
    ASSERT_TRUE(track_use(&track, "full", true));
    EXPECT_TRUE(track.hf.frozen);
    EXPECT_EQ(hash(), first);
    // Online with an untouched ground it stays as it is.
    write("full/tilemap", std::string(16, '\1'));
    ASSERT_TRUE(track_use(&track, "full", true));
    EXPECT_EQ(hash(), first);
    EXPECT_TRUE(track.hf.frozen);

    // Another name always loads afresh.
    ASSERT_TRUE(track_use(&track, "other", false));
    EXPECT_EQ(track.name, "other");
    EXPECT_FALSE(track.hf.frozen);
    EXPECT_TRUE(track.statues.empty());
}

TEST(TimingGateCount, CountsCheckpointLines)
{
    EXPECT_EQ(track_count_timing_gates(""), 0);
    EXPECT_EQ(track_count_timing_gates("startinggate:\n[1 2 3] 0\ncheckpoints:\n"
                                       "10 [1 2 3] [0 0 1]\n 5 [ 4 5 6 ] [ 1 0 0 ]\nfirstlap: 0 1\n"),
              2);
    EXPECT_EQ(track_count_timing_gates("checkpoints:\n10 [1 2 3] [0 0"), 0);
}

// Every shipped track loads completely without a message.
TEST_F(TrackLoad, ShippedTracksLoadCleanly)
{
    namespace fs = std::filesystem;
    std::string game = KESTRUM_GAME_DIR;
    if (!test_have_game_data() && !fs::exists(game + "/oakbasin"))
        GTEST_SKIP() << "no built game data";
    setenv("RQ_HOME", game.c_str(), 1);
    data_paths_reset();
    ASSERT_TRUE(track_catalogue_build());
    EXPECT_GE(track_find("oakbasin"), 0);
    for (const std::string& name : track_catalogue.names) {
        trackfx::messages().clear();
        ASSERT_TRUE(load(name)) << name;
        EXPECT_TRUE(trackfx::messages().empty()) << name << ": " << trackfx::messages().front();
        EXPECT_GT(track.statues.size(), 0u) << name;
        EXPECT_GT(track.billboards.size(), size_t(track.first_track_billboard)) << name;
        EXPECT_GE(track.start_animation.billboard, 0) << name;
        EXPECT_GT(track.timing_gate_count, 0) << name;
        std::string first = hash();
        ASSERT_TRUE(load(name));
        EXPECT_EQ(hash(), first) << name;
    }
}

}  // namespace
