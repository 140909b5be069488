// Which model files and textures draw a bike: each texture governs a group
// of models, and a texture named like "crf250-race-blue.png" asks for the
// "-race" variants of its group's models.
#include <cstring>

#include "files/stream.h"
#include "physics/bike.h"
#include "platform/log.h"

namespace {

std::string last_component(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The text from the first "-" of the texture's file name up to the next
// one, or "" when the name has fewer than two.
std::string dash_part(const std::string& texture)
{
    std::string name = last_component(texture);
    size_t first = name.find('-');
    if (first == std::string::npos)
        return "";
    size_t second = name.find('-', first + 1);
    if (second == std::string::npos)
        return "";
    return name.substr(first, second - first);
}

bool data_file_exists(const char* name, void*)
{
    Stream* s = stream_open(name, "rb");
    if (!s)
        return false;
    stream_close(s);
    return true;
}

struct Resolver {
    BikeFileCheckFn can_load;
    void* ctx;

    // One model under the variant rule; "" when it cannot be found.
    std::string model(const char* catalogue_model, const std::string& texture, bool warn)
    {
        std::string variant = bike_model_variant(catalogue_model, texture.c_str());
        if (variant.empty()) {
            if (can_load(catalogue_model, ctx))
                return catalogue_model;
            if (warn)
                log_printf("Warning: Can't load %.900s\n", catalogue_model);
            return "";
        }
        if (can_load(variant.c_str(), ctx))
            return variant;
        size_t slash = texture.rfind('/');
        if (slash != std::string::npos) {
            std::string file = last_component(variant);
            if (!file.empty() && file[0] == '@')
                file.erase(0, 1);
            std::string folder = texture.substr(0, slash + 1);
            std::string in_folder = folder + file;
            if (can_load(in_folder.c_str(), ctx))
                return in_folder;
            if (warn)
                log_printf("Warning: Can't load %.450s or %.450s\n", variant.c_str(),
                           in_folder.c_str());
            return "";
        }
        if (warn)
            log_printf("Warning: Can't load %.900s\n", variant.c_str());
        return "";
    }

    // A group: its texture, its models (the first `keys` of them must be
    // found), falling back to the catalogue's texture and models.
    void group(BikeGraphicsGroup* out, const char* given, const char* catalogue_texture,
               const std::vector<const char*>& models, const std::vector<bool>& warn, int keys)
    {
        bool given_ok = !given || can_load(given, ctx);
        for (int attempt = 0; attempt < 2; attempt++) {
            out->texture = (given && attempt == 0) ? given : catalogue_texture;
            out->models.clear();
            for (size_t i = 0; i < models.size(); i++)
                out->models.push_back(model(models[i], out->texture, warn[i]));
            bool keys_ok = true;
            for (int k = 0; k < keys; k++)
                keys_ok = keys_ok && !out->models[size_t(k)].empty();
            if ((given_ok && keys_ok) || !given || attempt == 1)
                return;
        }
    }
};

}  // namespace

std::string bike_model_variant(const char* model, const char* texture)
{
    if (!model || !texture)
        return "";
    std::string part = dash_part(texture);
    std::string m = model;
    size_t slash = m.rfind('/');
    size_t dot = m.rfind('.');
    if (part.empty() || dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    return m.substr(0, dot) + part + ".jm";
}

std::vector<std::string> bike_texture_map_candidates(const char* texture,
                                                     const char* catalogue_texture,
                                                     const char* kind)
{
    std::vector<std::string> out;
    auto add_three = [&](const std::string& base) {
        size_t dot = base.rfind('.');
        std::string stem = dot == std::string::npos ? base : base.substr(0, dot);
        for (const char* ext : {".seq", ".png", ".ppm"})
            out.push_back(stem + kind + ext);
    };
    std::string t = texture ? texture : "";
    std::string c = catalogue_texture ? catalogue_texture : "";
    add_three(t);
    std::string part = dash_part(t);
    std::string s = c;
    size_t dot = c.rfind('.');
    if (!part.empty())
        s = dot == std::string::npos ? c + part : c.substr(0, dot) + part + c.substr(dot);
    add_three(s);
    return out;
}

void bike_graphics_resolve(BikeGraphics* out, const BikeModel* m, const char* rider_body_texture,
                           const char* rider_head_texture, const char* bike_texture,
                           const char* wheel_texture, BikeFileCheckFn can_load, void* ctx)
{
    Resolver r{can_load ? can_load : data_file_exists, ctx};
    r.group(&out->bike, bike_texture, m->bike_texture,
            {m->frame_model, m->side_plates_model, m->fork_upper_model, m->front_plate_model,
             m->fork_lower_model, m->swingarm_model},
            {true, true, true, true, true, true}, 1);
    r.group(&out->wheels, wheel_texture, m->wheel_texture,
            {m->front_wheel_model, m->rear_wheel_model}, {true, true}, 2);
    r.group(&out->rider_body, rider_body_texture, m->rider_body_texture,
            {m->rider_body_model, m->plate_model, m->rider_body_fp_model}, {true, false, false}, 1);
    r.group(&out->rider_head, rider_head_texture, m->rider_head_texture, {m->rider_head_model},
            {true}, 1);
}
