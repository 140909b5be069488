// A private data folder and user folder for track tests, small track
// folders written into it, and a catcher for the track code's messages.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "files/stream.h"
#include "physics/shape.h"
#include "test_support.h"
#include "track/track.h"

namespace trackfx {

inline std::vector<std::string>& messages()
{
    static std::vector<std::string> list;
    return list;
}
inline void catch_message(const char* text) { messages().push_back(text); }
inline bool saw(const std::string& text)
{
    for (const std::string& m : messages())
        if (m == text)
            return true;
    return false;
}

inline std::string pnm(int side, int channels, uint8_t value)
{
    std::string out = (channels == 3 ? "P6\n" : "P5\n") + std::to_string(side) + " " +
                      std::to_string(side) + "\n255\n";
    out.append(size_t(side) * size_t(side) * size_t(channels), char(value));
    return out;
}

// "terrain.hf" of grid order n with raw heights from fn(i, j) in [0, 1]
// scaled to 0..high.
inline std::string height_field(int n, float spacing, float high, const std::function<double(int, int)>& fn)
{
    int p = (1 << (n + 1)) + 1;
    char head[100];
    std::snprintf(head, sizeof head, "%d %g 0 %g\n:", n, spacing, high);
    std::string out = head;
    for (int j = 0; j < p; j++)
        for (int i = 0; i < p; i++) {
            double v = fn(i, j);
            unsigned s = unsigned(v < 0 ? 0 : v > 1 ? 65535 : v * 65535 + 0.5);
            out.push_back(char(s & 0xff));
            out.push_back(char(s >> 8));
        }
    return out;
}

// Sets up and tears down the folders; every test starts with no track.
class TrackFolders : public ::testing::Test {
protected:
    std::string root, data, user;
    std::string old_rq, old_xdg;
    bool had_rq = false, had_xdg = false;

    void SetUp() override
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root = test_scratch_dir(std::string("track-") + info->test_suite_name() + "-" + info->name());
        data = root + "data/";
        user = root + "user/";
        if (const char* v = std::getenv("RQ_HOME")) {
            had_rq = true;
            old_rq = v;
        }
        if (const char* v = std::getenv("XDG_DATA_HOME")) {
            had_xdg = true;
            old_xdg = v;
        }
        setenv("RQ_HOME", data.c_str(), 1);
        setenv("XDG_DATA_HOME", user.c_str(), 1);
        test_write_file(data + ".keep", "");
        data_paths_reset();
        shape_cache_clear();
        messages().clear();
        track_set_message_sink(catch_message);
    }

    void TearDown() override
    {
        track_free(&track);
        track_set_message_sink(nullptr);
        surface_set_texture_loader(nullptr);
        shape_cache_clear();
        track_catalogue = TrackCatalogue();
        if (had_rq)
            setenv("RQ_HOME", old_rq.c_str(), 1);
        else
            unsetenv("RQ_HOME");
        if (had_xdg)
            setenv("XDG_DATA_HOME", old_xdg.c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
        data_paths_reset();
    }

    // A valid folder of grid order 2 (9 x 9 vertices, 4 ft apart, 32 ft
    // square) with heights from fn, one surface type and a zero tilemap.
    void write_track(const std::string& name, const std::function<double(int, int)>& fn = nullptr)
    {
        auto flat = [](int, int) { return 0.0; };
        write(name + "/terrain.hf", height_field(2, 4, 16, fn ? fn : flat));
        write(name + "/shadingx2.ppm", pnm(9, 3, 128));
        write(name + "/tileinfo", "");
        write(name + "/tilemap", std::string(16, '\0'));
    }

    void write(const std::string& file, const std::string& bytes) { test_write_file(data + file, bytes); }

    // Loads a written folder as the track.
    bool load(const std::string& name)
    {
        track_free(&track);
        track.name = name;
        return track_load(&track);
    }

    Track track;
};

}  // namespace trackfx
