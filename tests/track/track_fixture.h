// Small track folders written on the fly, and a catcher for the messages
// the track code reports.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "track/terrain.h"
#include "test_support.h"
#include <cmath>
#include <cstdio>

// A track folder's files as bytes; empty strings are not written.
struct TrackFiles {
    std::string terrain_hf, terrain_png, shadingx2, shading, shadows, tileinfo, texturelist,
        tilemap, decals;
};

// Files of a valid folder of grid order n: raw heights from fn(i, j)
// between low and high, grey shading, two surface types, tilemap of 0s.
TrackFiles track_fixture(int n, float spacing, float low, float high,
                         const std::function<float(int, int)>& fn);
// Writes the files into folder (created); returns folder.
std::string track_fixture_write(const std::string& folder, const TrackFiles& files);

// Binary PPM/PGM bytes.
std::string fixture_pnm(int width, int height, int channels, uint8_t value);

inline std::vector<std::string>& caught_messages();

// Collects every message while alive.
struct MessageCatcher {
    MessageCatcher();
    ~MessageCatcher();
    bool saw(const std::string& text) const;
    std::string all() const;
};

inline std::unique_ptr<HeightField> make_field() { return std::make_unique<HeightField>(); }




inline std::vector<std::string>& caught_messages()
{
    static std::vector<std::string> list;
    return list;
}

inline void fixture_catch_message(const char* text) { caught_messages().push_back(text); }

inline MessageCatcher::MessageCatcher()
{
    caught_messages().clear();
    track_set_message_sink(fixture_catch_message);
}

inline MessageCatcher::~MessageCatcher() { track_set_message_sink(nullptr); }

inline bool MessageCatcher::saw(const std::string& text) const
{
    for (const std::string& m : caught_messages())
        if (m == text)
            return true;
    return false;
}

inline std::string MessageCatcher::all() const
{
    std::string out;
    for (const std::string& m : caught_messages())
        out += "[" + m + "]";
    return out;
}

inline std::string fixture_pnm(int width, int height, int channels, uint8_t value)
{
    std::string out = (channels == 3 ? "P6\n" : "P5\n") + std::to_string(width) + " " +
                      std::to_string(height) + "\n255\n";
    out.append(size_t(width) * size_t(height) * size_t(channels), char(value));
    return out;
}

inline TrackFiles track_fixture(int n, float spacing, float low, float high,
                         const std::function<float(int, int)>& fn)
{
    int p = (1 << (n + 1)) + 1;
    char header[128];
    std::snprintf(header, sizeof header, "%d %f %f %f\n:", n, double(spacing), double(low), double(high));
    TrackFiles f;
    f.terrain_hf = header;
    for (int j = 0; j < p; j++)
        for (int i = 0; i < p; i++) {
            double t = (fn(i, j) - low) / (high - low);
            int s = int(std::lround(std::fmin(std::fmax(t, 0.0), 1.0) * 65535));
            f.terrain_hf += char(s & 0xff);
            f.terrain_hf += char(s >> 8);
        }
    f.shadingx2 = fixture_pnm(p, p, 3, 128);
    f.tileinfo = "texture @ground/dirt.png\nfriction 1.2 10\naddtile\ntexture @ground/grass.png\naddtile\n";
    f.tilemap.assign(size_t(1) << (2 * n), '\0');
    return f;
}

inline std::string track_fixture_write(const std::string& folder, const TrackFiles& files)
{
    auto put = [&](const char* name, const std::string& bytes) {
        if (!bytes.empty())
            test_write_file(folder + "/" + name, bytes);
    };
    put("terrain.hf", files.terrain_hf);
    put("terrain.png", files.terrain_png);
    put("shadingx2.ppm", files.shadingx2);
    put("shading.ppm", files.shading);
    put("shadows.pgm", files.shadows);
    put("tileinfo", files.tileinfo);
    put("texturelist", files.texturelist);
    put("tilemap", files.tilemap);
    put("decals", files.decals);
    return folder;
}
