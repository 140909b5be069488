// The scenery of the shipped tracks as the builder made it: nothing solid
// reaches onto the course, the sky meets the fog at the horizon, and a
// second build gives the same track hashes.
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "../../tools/kestrum-data/courses.h"
#include "files/image.h"
#include "track/track_load_fixture.h"

using trackfx::TrackFolders;

namespace {

namespace fs = std::filesystem;

bool have_tracks() { return test_have_game_data() || fs::exists(std::string(KESTRUM_GAME_DIR) + "/oakbasin"); }

// Distance from the course edge (negative on the riding surface).
double clearance(const std::vector<CourseSample>& line, double x, double z)
{
    double best = 1e30;
    for (const CourseSample& q : line)
        best = std::min(best, std::hypot(x - q.x, z - q.z) - q.width / 2);
    return best;
}

class ShippedScenery : public TrackFolders {
protected:
    void SetUp() override
    {
        TrackFolders::SetUp();
        if (!have_tracks())
            GTEST_SKIP() << "no built game data";
    }
    void use_folder(const std::string& folder)
    {
        setenv("RQ_HOME", folder.c_str(), 1);
        data_paths_reset();
        shape_cache_clear();
    }
};

TEST_F(ShippedScenery, NothingSolidStandsOnTheCourse)
{
    use_folder(KESTRUM_GAME_DIR);
    for (const Course& c : courses_all()) {
        ASSERT_TRUE(load(c.name)) << c.name;
        std::vector<CourseSample> line = course_sample(c, 1.0);
        int solid = 0;
        for (size_t i = size_t(track.first_track_statue); i < track.statues.size(); i++) {
            const Statue& s = track.statues[i];
            if (!s.shape)
                continue;
            solid++;
            for (const ShapeElement& e : s.shape->elements) {
                double x = s.x, z = s.z;
                for (int k = 0; k < 3; k++) {
                    x += e.centre[k] * s.rotation[k][0];
                    z += e.centre[k] * s.rotation[k][2];
                }
                EXPECT_GT(clearance(line, x, z), e.radius - 0.25)
                    << c.name << " statue " << i << " " << s.model_name << " at " << s.x << "," << s.z;
            }
        }
        EXPECT_GT(solid, 20) << c.name;
        for (size_t i = size_t(track.first_track_billboard); i < track.billboards.size(); i++) {
            const Billboard& b = track.billboards[i];
            EXPECT_GT(clearance(line, b.x, b.z), 0) << c.name << " billboard " << b.texture_name;
        }
        // The marshals and the lap board stand beside the course; only the
        // starter begins on it, in front of the gate, and walks off.
        for (const Flagger& f : track.flaggers) {
            const Billboard& b = track.billboards[size_t(f.billboard)];
            EXPECT_GT(clearance(line, b.x, b.z), 2) << c.name;
            for (int g : f.gates)
                EXPECT_LT(g, track.timing_gate_count);
        }
        const Billboard& lap = track.billboards[size_t(track.lap_board.billboard)];
        EXPECT_GT(clearance(line, lap.x, lap.z), 2) << c.name;
        EXPECT_GT(clearance(line, track.start_animation.b[0], track.start_animation.b[2]), 2) << c.name;
        // The lighting is the sun the ground was shaded with.
        double len = std::sqrt(c.sun[0] * c.sun[0] + c.sun[1] * c.sun[1] + c.sun[2] * c.sun[2]);
        for (int k = 0; k < 3; k++)
            EXPECT_NEAR(track.lighting.sun[k], c.sun[k] / len, 1e-4) << c.name;
    }
}

// Far ground fades into the fog colour; a sky whose horizon is far from it
// shows a hard line where the two meet.
TEST_F(ShippedScenery, TheSkyMeetsTheFogAtTheHorizon)
{
    use_folder(KESTRUM_GAME_DIR);
    for (const Course& c : courses_all()) {
        ASSERT_TRUE(load(c.name)) << c.name;
        const Lighting& l = track.lighting;
        if (l.fog_density <= 0)
            continue;
        for (int k = 0; k < 4; k++) {  // the side faces; the horizon is their middle row
            Stream* s = stream_open(l.sky_names[k].c_str(), "rb");
            ASSERT_TRUE(s) << c.name << " " << l.sky_names[k];
            ImageBuffer im;
            bool read = image_read_colour(s, &im);
            stream_close(s);
            ASSERT_TRUE(read && im.channels == 3) << l.sky_names[k];
            double sum[3] = {0, 0, 0};
            for (int row : {im.height / 2 - 1, im.height / 2})
                for (int x = 0; x < im.width; x++)
                    for (int ch = 0; ch < 3; ch++)
                        sum[ch] += im.pixels[(size_t(row) * size_t(im.width) + size_t(x)) * 3 + size_t(ch)];
            for (int ch = 0; ch < 3; ch++)
                EXPECT_NEAR(sum[ch] / (2.0 * im.width) / 255, l.fog_colour[ch], 0.2)
                    << c.name << " " << l.sky_names[k] << " channel " << ch;
        }
    }
}

TEST_F(ShippedScenery, ASecondBuildGivesTheSameTrackHashes)
{
    std::string builder = std::string(KESTRUM_BINARY_DIR) + "/kestrum-data";
    if (!fs::exists(builder))
        GTEST_SKIP() << "no data builder";
    std::string again = root + "again";
    ASSERT_EQ(std::system((builder + " " + again + " > /dev/null").c_str()), 0);
    std::vector<std::string> first;
    use_folder(KESTRUM_GAME_DIR);
    for (const Course& c : courses_all()) {
        ASSERT_TRUE(load(c.name)) << c.name;
        first.push_back(track_hash_hex(track.hash));
    }
    use_folder(again);
    for (size_t k = 0; k < first.size(); k++) {
        ASSERT_TRUE(load(courses_all()[k].name));
        EXPECT_EQ(track_hash_hex(track.hash), first[k]) << courses_all()[k].name;
    }
}

}  // namespace
