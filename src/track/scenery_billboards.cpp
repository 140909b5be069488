// Billboards: the colour prefix, placement, the "billboards" reader and
// writer.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/stream.h"
#include "track/track.h"

SceneryRenderHooks scenery_render_hooks;

bool scenery_finite(const float* values, int count)
{
    for (int k = 0; k < count; k++)
        if (!std::isfinite(values[k]))
            return false;
    return true;
}

bool billboard_parse_colour(const char* name, uint8_t colour[4], std::string* texture)
{
    colour[0] = colour[1] = colour[2] = colour[3] = 255;
    if (!name) {
        texture->clear();
        return false;
    }
    bool prefixed = std::strlen(name) > 7 && name[0] == '#' && name[7] == '#';
    for (int k = 1; prefixed && k < 7; k++)
        prefixed = std::isxdigit(static_cast<unsigned char>(name[k])) != 0;
    if (!prefixed) {
        *texture = name;
        return false;
    }
    unsigned long rgb = std::strtoul(std::string(name + 1, 6).c_str(), nullptr, 16);
    colour[0] = uint8_t(rgb >> 16);
    colour[1] = uint8_t(rgb >> 8);
    colour[2] = uint8_t(rgb);
    *texture = name + 8;
    return true;
}

int billboard_add(Track* t, float x, float offset, float z, float height, float aspect,
                  const char* name)
{
    Billboard b;
    billboard_parse_colour(name, b.colour, &b.texture_name);
    if (!b.texture_name.empty())
        b.texture = surface_load_texture(b.texture_name.c_str());
    b.x = x;
    b.z = z;
    b.offset = offset;
    b.height = height;
    b.aspect = aspect;
    b.y = (t->hf.vertex_count > 0 ? terrain_height(&t->hf, x, z) : 0.0f) + offset;
    t->billboard_draw_index.push_back(0);
    t->billboard_draw_index.push_back(0);
    t->billboards.push_back(b);
    return int(t->billboards.size()) - 1;
}

void scenery_read_billboards(Track* t, Stream* s)
{
    if (!s)
        return;
    for (;;) {
        float v[5];
        char name[1024];
        if (stream_scanf(s, "[ %f %f %f ] %f %f %1023s ", &v[0], &v[1], &v[2], &v[3], &v[4], name) != 6 ||
            !scenery_finite(v, 5))
            break;
        billboard_add(t, v[0], v[1], v[2], v[3], v[4], name);
    }
}

std::string billboards_text(const Track* t)
{
    std::string out;
    char line[300];   // five "%f" numbers of any float fit
    for (size_t i = size_t(t->first_track_billboard); i < t->billboards.size(); i++) {
        const Billboard& b = t->billboards[i];
        if (b.texture_name.empty())
            continue;
        std::snprintf(line, sizeof line, "[%f %f %f] %f %f ", b.x, b.offset, b.z, b.height, b.aspect);
        out += line;
        if (b.colour[0] != 255 || b.colour[1] != 255 || b.colour[2] != 255) {
            std::snprintf(line, sizeof line, "#%02x%02x%02x#", b.colour[0], b.colour[1], b.colour[2]);
            out += line;
        }
        out += b.texture_name + "\n";
    }
    return out;
}

namespace {

// Writes beside the old file first so that a failed write leaves the old
// file as it was.
bool save_text(const Track* t, const char* file, const std::string& text)
{
    std::string path = "@" + t->name + "/" + file;
    std::string temporary = path + ".new";
    Stream* s = t->name.empty() ? nullptr : stream_open(temporary.c_str(), "wb");
    if (!s) {
        track_message("Can't open '%s'\n", file);
        return false;
    }
    stream_write(s, text.data(), text.size());
    stream_flush(s);
    bool ok = stream_ok(s);
    stream_close(s);
    if (!ok || !file_rename(temporary.c_str(), path.c_str())) {
        track_message("Can't write '%s'\n", file);
        return false;
    }
    return true;
}

}  // namespace

bool billboards_save(const Track* t) { return save_text(t, "billboards", billboards_text(t)); }

bool statues_save(const Track* t) { return save_text(t, "statues", statues_text(t)); }
