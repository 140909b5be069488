// terrain_save: the editor's way back to disk. Heights always go out as a
// 16-bit PNG beside a header-only terrain.hf.
#include <algorithm>
#include <cmath>
#include <string>

#include "files/image.h"
#include "files/stream.h"
#include "track/terrain.h"

namespace {

// The user copy of a data folder ("@name"), or a plain folder in place.
std::string save_path(const HeightField* hf, const char* name)
{
    std::string folder = hf->folder;
    if (!folder.empty() && folder[0] != '@' && folder[0] != '/' && folder[0] != '.')
        folder = "@" + folder;
    return folder + "/" + name;
}

Stream* create(const HeightField* hf, const char* name)
{
    Stream* s = stream_open(save_path(hf, name).c_str(), "wb");
    if (!s)
        track_message("Can't open '%s'", name);
    return s;
}

bool finish(Stream* s)
{
    bool ok = stream_flush(s) == 0 && stream_ok(s);
    stream_close(s);
    return ok;
}

bool write_shading(const HeightField* hf, const char* name, bool doubled)
{
    Stream* s = create(hf, name);
    if (!s)
        return false;
    int p = hf->vertex_count;
    stream_printf(s, "P6\n%d %d\n255\n", p, p);
    std::vector<uint8_t> bytes(hf->shading);
    if (doubled)
        for (uint8_t& b : bytes)
            b = uint8_t(std::min(255, b * 2));
    stream_write(s, bytes.data(), bytes.size());
    return finish(s);
}

}  // namespace

bool terrain_save(HeightField* hf)
{
    if (hf->heights.empty())
        return false;
    float lo = hf->heights[0], hi = hf->heights[0];
    for (float h : hf->heights) {
        lo = std::min(lo, h);
        hi = std::max(hi, h);
    }
    hf->min_height = lo;
    hf->max_height = hi;

    Stream* s = create(hf, "terrain.hf");
    if (!s)
        return false;
    stream_printf(s, "%d %f %f %f\n", hf->order, double(hf->spacing), double(lo), double(hi));
    if (!finish(s))
        return false;

    int p = hf->vertex_count;
    std::vector<uint16_t> samples(hf->heights.size(), 0);
    if (hi > lo)
        for (size_t k = 0; k < samples.size(); k++)
            samples[k] = uint16_t(std::floor((hf->heights[k] - lo) / (hi - lo) * 65535.0 + 0.5));
    s = create(hf, "terrain.png");
    if (!s)
        return false;
    bool png_ok = image_write_png16_stream(s, samples.data(), p, p);
    if (!finish(s) || !png_ok)
        return false;

    if (!write_shading(hf, "shading.ppm", true) || !write_shading(hf, "shadingx2.ppm", false))
        return false;

    s = create(hf, "tilemap");
    if (!s)
        return false;
    stream_write(s, hf->tilemap.data(), hf->tilemap.size());
    if (!finish(s))
        return false;

    if (!hf->decals.empty()) {
        s = create(hf, "decals");
        if (!s)
            return false;
        for (const Decal& d : hf->decals)
            stream_printf(s, "[%f %f] %f %f %f %s\n", double(d.x), double(d.z), double(d.angle),
                          double(d.size), double(d.aspect), d.texture_name.c_str());
        if (!finish(s))
            return false;
    }
    return true;
}
