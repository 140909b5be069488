// The "lighting" file: one keyword and its argument per line.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "files/stream.h"
#include "track/track.h"

namespace {

// Lines longer than this are cut; no statement needs more.
constexpr size_t LINE_MAX = 4096;

// The next line without its end; false at the end of the stream.
bool next_line(Stream* s, std::string* line)
{
    line->clear();
    int c = stream_getc(s);
    if (c < 0)
        return false;
    while (c >= 0 && c != '\n') {
        if (line->size() < LINE_MAX)
            line->push_back(char(c));
        c = stream_getc(s);
    }
    while (!line->empty() && (line->back() == '\r' || line->back() == ' ' || line->back() == '\t'))
        line->pop_back();
    return true;
}

bool read_triple(const char* arg, float out[3])
{
    float v[3];
    if (std::sscanf(arg, " [ %f %f %f ] ", &v[0], &v[1], &v[2]) != 3 || !scenery_finite(v, 3))
        return false;
    std::memcpy(out, v, sizeof v);
    return true;
}

// The first word of the argument (texture names hold no blanks).
std::string first_word(const char* arg)
{
    char name[1024];
    if (std::sscanf(arg, " %1023s", name) != 1)
        return "";
    return name;
}

const char* const SKY_KEYS[SKY_FACES] = {"sky_n", "sky_e", "sky_s", "sky_w", "sky_u"};
const char* const SKY_DEFAULTS[SKY_FACES] = {"@sky-n.ppm", "@sky-e.ppm", "@sky-s.ppm", "@sky-w.ppm",
                                             "@sky-u.ppm"};

// Parses one statement; false for an unknown keyword.
bool statement(Lighting* l, Flare* building, const std::string& key, const char* arg)
{
    if (key == "sun_vector")
        read_triple(arg, l->sun);
    else if (key == "sun_color")
        read_triple(arg, l->sun_colour);
    else if (key == "ambient")
        read_triple(arg, l->ambient);
    else if (key == "global_ambient")
        read_triple(arg, l->global_ambient);
    else if (key == "sky_env") {
        l->environment_name = first_word(arg);
        l->environment = surface_load_texture(l->environment_name.c_str());
    } else if (key == "flare_element") {
        FlareElement e;
        char name[1024];
        if (std::sscanf(arg, " [ %f %f ] [ %f %f %f ] %f %1023s", &e.a, &e.b, &e.colour[0], &e.colour[1],
                        &e.colour[2], &e.size, name) == 7 &&
            building->elements.size() < size_t(FLARE_MAX_ELEMENTS)) {
            e.texture_name = name;
            e.texture = surface_load_texture(name);
            building->elements.push_back(e);
        }
    } else if (key == "flare_point" || key == "flare_vector") {
        if (read_triple(arg, building->position)) {
            building->is_direction = key == "flare_vector";
            l->flares.push_back(*building);
            *building = Flare();
        }
    } else if (key == "fog") {
        float c[3], density;
        if (std::sscanf(arg, " [ %f %f %f ] %f ", &c[0], &c[1], &c[2], &density) == 4 &&
            scenery_finite(c, 3) && std::isfinite(density)) {
            std::memcpy(l->fog_colour, c, sizeof c);
            l->fog_density = density;
        }
    } else {
        for (int k = 0; k < SKY_FACES; k++)
            if (key == SKY_KEYS[k]) {
                l->sky_names[k] = first_word(arg);
                l->sky[k] = surface_load_texture(l->sky_names[k].c_str());
                return true;
            }
        return false;
    }
    return true;
}

}  // namespace

void lighting_read(Track* t, Stream* s)
{
    Lighting& l = t->lighting;
    l = Lighting();
    Flare building;
    std::string line;
    while (s && next_line(s, &line)) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos)
            continue;
        size_t end = line.find_first_of(" \t", start);
        std::string key = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const char* arg = end == std::string::npos ? "" : line.c_str() + end;
        if (!statement(&l, &building, key, arg)) {
            track_message("Error reading lighting: Unknown identifier '%.950s'\n", key.c_str());
            break;
        }
    }
    // Elements after the last flare_point or flare_vector belong to no flare.
    double len = std::sqrt(double(l.sun[0]) * l.sun[0] + double(l.sun[1]) * l.sun[1] +
                           double(l.sun[2]) * l.sun[2]);
    if (!(len > 0) || !std::isfinite(len)) {
        // A zero or broken vector has no direction: keep the default sun.
        l.sun[0] = l.sun[1] = l.sun[2] = 1;
        len = std::sqrt(3.0);
    }
    for (float& c : l.sun)
        c = float(c / len);
    for (int k = 0; k < SKY_FACES; k++)
        if (l.sky_names[k].empty()) {
            l.sky_names[k] = SKY_DEFAULTS[k];
            l.sky[k] = surface_load_texture(SKY_DEFAULTS[k]);
        }
    if (l.environment_name.empty()) {
        l.environment_name = "@sky-env.ppm";
        l.environment = surface_load_texture("@sky-env.ppm");
    }
    // The ground's shading follows the same sun when it is dug or edited.
    TerrainLight& tl = t->hf.light;
    tl.sun = {l.sun[0], l.sun[1], l.sun[2]};
    for (int k = 0; k < 3; k++) {
        tl.sun_colour[k] = l.sun_colour[k];
        tl.ambient[k] = l.ambient[k];
    }
    if (scenery_render_hooks.lighting_applied)
        scenery_render_hooks.lighting_applied(&l);
}
