// Statues: maps, collision shapes, rotation, the collision buckets, the
// "statues" reader and writer.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "files/stream.h"
#include "physics/shape.h"
#include "track/track.h"

namespace {

bool ends_with(const std::string& s, const char* tail)
{
    size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// Replaces the part of name from the last occurrence of c with each ending.
void add_replaced(std::vector<std::string>* out, const std::string& name, char c,
                  const char* const* endings, int count)
{
    size_t at = name.rfind(c);
    if (at == std::string::npos)
        return;
    for (int k = 0; k < count; k++)
        out->push_back(name.substr(0, at) + endings[k]);
}

// The first map that loads, or 0.
int load_map(const Statue& s, const char* suffix)
{
    for (const std::string& name : statue_map_candidates(s.texture_name, s.model_name, suffix))
        if (int id = surface_load_texture(name.c_str()))
            return id;
    return 0;
}

}  // namespace

std::vector<std::string> statue_map_candidates(const std::string& texture, const std::string& model,
                                               const char* suffix)
{
    std::vector<std::string> out;
    std::string sfx = suffix;
    if (ends_with(texture, "-repeat.png") || ends_with(texture, "-repeat.ppm") ||
        ends_with(texture, "-repeat.seq")) {
        std::string e[3] = {sfx + "-repeat.seq", sfx + "-repeat.png", sfx + "-repeat.ppm"};
        const char* endings[3] = {e[0].c_str(), e[1].c_str(), e[2].c_str()};
        add_replaced(&out, texture, '-', endings, 3);
    } else {
        std::string e[3] = {sfx + ".seq", sfx + ".png", sfx + ".ppm"};
        const char* endings[3] = {e[0].c_str(), e[1].c_str(), e[2].c_str()};
        add_replaced(&out, texture, '.', endings, 3);
    }
    std::string e[3] = {sfx + ".seq", sfx + ".png", sfx + ".ppm"};
    const char* endings[3] = {e[0].c_str(), e[1].c_str(), e[2].c_str()};
    add_replaced(&out, model, '.', endings, 3);
    return out;
}

void statue_orient(const Track* t, Statue* s)
{
    float(&r)[3][3] = s->rotation;
    if (s->angle >= 3.25f) {
        float id[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        std::memcpy(r, id, sizeof id);
        return;
    }
    Vec3 x = {std::cos(s->angle), 0, -std::sin(s->angle)};
    Vec3 up = {0, 1, 0};
    if (s->angle > -2 * M_PI && t->hf.vertex_count > 0) {
        const HeightField* hf = &t->hf;
        double h = terrain_height(hf, s->x, s->z);
        up = vec3_normalize({h - terrain_height(hf, s->x + 1, s->z), 1,
                             h - terrain_height(hf, s->x, s->z + 1)});
    }
    Vec3 z = vec3_normalize(vec3_cross(x, up));
    x = vec3_cross(up, z);
    Vec3 axes[3] = {x, up, z};
    for (int k = 0; k < 3; k++) {
        r[k][0] = float(axes[k].x);
        r[k][1] = float(axes[k].y);
        r[k][2] = float(axes[k].z);
    }
}

int statue_add(Track* t, float x, float offset, float z, float angle, const char* model,
               const char* texture, const char* shape)
{
    Statue s;
    s.facing_distance = angle >= 3.25f ? std::pow(2.0f, angle) : 0.0f;
    s.texture_name = texture ? texture : "";
    s.model_name = model && std::strcmp(model, "NULL") != 0 ? model : "";
    s.shape_name = shape && std::strcmp(shape, "null") != 0 ? shape : "";
    if (!s.texture_name.empty())
        s.texture = surface_load_texture(s.texture_name.c_str());
    // Without a texture manager every look-up would fail: skip the search.
    const SceneryRenderHooks& gl = scenery_render_hooks;
    if (surface_have_texture_loader()) {
        if (!gl.shaders_on || gl.texture_units >= 2)
            s.normal_map = load_map(s, "_norm");
        if (!gl.shaders_on || gl.texture_units >= 3)
            s.specular_map = load_map(s, "_spec");
    }
    if (!s.model_name.empty() && gl.model_load)
        s.model = gl.model_load(s.model_name.c_str());
    if (!s.shape_name.empty()) {
        s.shape = shape_instance(s.shape_name.c_str());
        if (!s.shape)
            track_message("Warning: missing shape file %.900s", s.shape_name.c_str());
    }
    s.x = x;
    s.z = z;
    s.offset = offset;
    s.angle = angle;
    s.y = (t->hf.vertex_count > 0 ? terrain_height(&t->hf, x, z) : 0.0f) + offset;
    statue_orient(t, &s);
    t->statues.push_back(s);
    return int(t->statues.size()) - 1;
}

int statue_bucket_of(const Track* t, double c)
{
    double extent = t->hf.extent > 0 ? t->hf.extent : 1.0;
    double b = std::floor((c / extent - 0.125) * (4.0 / 3.0) * STATUE_BUCKETS);
    if (!(b >= 0))
        return 0;   // also catches a position that is not a number
    return int(clampd(b, 0, STATUE_BUCKETS - 1));
}

void statue_bucket_insert(Track* t, int index)
{
    if (index < 0 || size_t(index) >= t->statues.size())
        return;
    const Statue& s = t->statues[size_t(index)];
    if (!s.shape)
        return;
    double r = s.shape->bounding_radius;
    int x0 = statue_bucket_of(t, s.x - r), x1 = statue_bucket_of(t, s.x + r);
    int z0 = statue_bucket_of(t, s.z - r), z1 = statue_bucket_of(t, s.z + r);
    for (int bz = z0; bz <= z1; bz++)
        for (int bx = x0; bx <= x1; bx++) {
            // Lists stay ascending and hold a statue once, so the physics can
            // merge neighbouring buckets without sorting.
            std::vector<int>& list = t->statue_buckets[bz][bx];
            size_t at = list.size();
            while (at > 0 && list[at - 1] > index)
                at--;
            if (at > 0 && list[at - 1] == index)
                continue;
            list.insert(list.begin() + long(at), index);
        }
}

void statues_bucket_rebuild(Track* t)
{
    for (auto& row : t->statue_buckets)
        for (auto& list : row)
            list.clear();
    for (size_t i = 0; i < t->statues.size(); i++)
        statue_bucket_insert(t, int(i));
}

void scenery_read_statues(Track* t, Stream* s)
{
    if (!s)
        return;
    for (;;) {
        float v[4];
        char model[1024], texture[1024], shape[1024];
        if (stream_scanf(s, "[ %f %f %f ] %f %1023s %1023s %1023s ", &v[0], &v[1], &v[2], &v[3], model,
                         texture, shape) != 7 ||
            !scenery_finite(v, 4))
            break;
        statue_add(t, v[0], v[1], v[2], v[3], model, texture, shape);
    }
}

std::string statues_text(const Track* t)
{
    std::string out;
    char line[250];   // four "%f" numbers of any float fit
    for (size_t i = size_t(t->first_track_statue); i < t->statues.size(); i++) {
        const Statue& s = t->statues[i];
        if (s.texture_name.empty())
            continue;
        std::snprintf(line, sizeof line, "[%f %f %f] %f ", s.x, s.offset, s.z, s.angle);
        out += line;
        out += (s.model_name.empty() ? std::string("NULL") : s.model_name) + " " + s.texture_name + " " +
               (s.shape_name.empty() ? std::string("null") : s.shape_name) + "\n";
    }
    return out;
}
