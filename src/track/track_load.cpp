// Loading and freeing the one track, the track hash, and the reuse rules of
// a session asking for a track.
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "files/stream.h"
#include "physics/shape.h"
#include "platform/log.h"
#include "files/ripemd160.h"
#include "track/track.h"

Track track_current;
TrackHooks track_hooks;

namespace {

std::string file_in(const Track* t, const char* file) { return "@" + t->name + "/" + file; }

// Feeds a whole file into the digest; a file that cannot be opened adds
// nothing. The text is handed back for parsing when asked.
bool digest_file(Ripemd160* digest, const std::string& path, std::string* text = nullptr)
{
    std::string bytes;
    if (!stream_read_all(path.c_str(), &bytes))
        return false;
    ripemd160_update(digest, bytes.data(), bytes.size());
    if (text)
        *text = std::move(bytes);
    return true;
}

unsigned long texture_memory()
{
    return terrain_render_hooks.texture_memory ? terrain_render_hooks.texture_memory() : 0;
}

void memory_line(const char* after)
{
    if (terrain_settings.debug_level >= 1)
        log_printf("%lu bytes texture memory used after %s\n", texture_memory(), after);
}

// Reads an optional scenery file with one of the readers.
void read_optional(Track* t, const char* file, void (*reader)(Track*, Stream*))
{
    Stream* s = stream_open(file_in(t, file).c_str(), "rb");
    if (!s)
        return;
    reader(t, s);
    stream_close(s);
}

void clear_scenery(Track* t)
{
    for (Statue& s : t->statues)
        shape_free(s.shape);
    std::vector<Billboard>().swap(t->billboards);
    std::vector<int>().swap(t->billboard_draw_index);
    std::vector<Statue>().swap(t->statues);
    std::vector<Flagger>().swap(t->flaggers);
    for (auto& row : t->statue_buckets)
        for (auto& list : row)
            std::vector<int>().swap(list);
    t->start_animation = StartAnimation();
    t->lap_board = LapBoard();
    t->lighting = Lighting();
    t->first_track_billboard = 0;
    t->first_track_statue = 0;
    t->map_texture = 0;
}

bool fail(Track* t)
{
    clear_scenery(t);
    t->name.clear();
    t->title.clear();
    t->loaded = false;
    return false;
}

}  // namespace

int track_count_timing_gates(const std::string& text)
{
    size_t at = text.find("checkpoints:");
    if (at == std::string::npos)
        return 0;
    const char* p = text.c_str() + at + std::strlen("checkpoints:");
    int count = 0;
    while (count < 256) {   // the most gates a track has
        float v[7];
        int used = 0;
        if (std::sscanf(p, " %f [ %f %f %f ] [ %f %f %f ]%n", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                        &v[6], &used) != 7 || used == 0)
            break;
        p += used;
        count++;
    }
    return count;
}

std::string track_hash_hex(const uint8_t hash[20])
{
    char hex[41];
    for (int k = 0; k < 20; k++)
        std::snprintf(hex + 2 * k, 3, "%02x", hash[k]);
    return hex;
}

bool track_load(Track* t)
{
    // 1. Title from the catalogue.
    int index = track_find(t->name.c_str());
    t->title = index >= 0 ? track_catalogue.titles[size_t(index)] : t->name;
    t->loaded = false;
    if (t->name.empty())
        return fail(t);

    // 2-3. The digest and empty scenery lists.
    Ripemd160 digest;
    ripemd160_init(&digest);
    clear_scenery(t);
    t->billboards.reserve(16);
    t->billboard_draw_index.reserve(32);
    t->statues.reserve(16);
    t->flaggers.reserve(16);

    // 4. Loading screen.
    if (track_hooks.loading_screen)
        track_hooks.loading_screen("Loading track...");

    // 5. The ground files that decide how the ground behaves.
    for (const char* file : {"terrain.hf", "terrain.png", "texturelist", "tilemap", "tileinfo"})
        digest_file(&digest, file_in(t, file));

    // 6-7. The ground itself.
    std::string folder = "@" + t->name;
    if (terrain_settings.debug_level >= 1)
        log_printf("Loading '%s'\n", folder.c_str());
    if (!terrain_load(&t->hf, folder.c_str()))
        return fail(t);
    memory_line("hf creation");

    // 8. Timing gates (they may create the starting gate statues).
    t->timing_gates_text.clear();
    digest_file(&digest, file_in(t, "timing_gates"), &t->timing_gates_text);
    if (track_hooks.timing_gates_parse)
        t->timing_gate_count = track_hooks.timing_gates_parse(t, t->timing_gates_text);
    else
        t->timing_gate_count = track_count_timing_gates(t->timing_gates_text);

    // 9. Roost particle slots.
    for (int k = 0; k < TRACK_PARTICLE_SLOTS; k++)
        billboard_add(t, 0, 0, 0, 1, 1, nullptr);

    // 10. Flaggers.
    read_optional(t, "flaggers", scenery_read_flaggers);
    memory_line("flagger creation");

    // 11. The track's own billboards.
    t->first_track_billboard = int(t->billboards.size());
    t->first_track_statue = int(t->statues.size());
    read_optional(t, "billboards", scenery_read_billboards);
    memory_line("billboard creation");

    // 12. Statues: their placement is part of the hash.
    std::string statues;
    if (digest_file(&digest, file_in(t, "statues"), &statues))
        read_optional(t, "statues", scenery_read_statues);
    memory_line("statue creation");

    // 13-14. Lighting and the map.
    Stream* light = stream_open(file_in(t, "lighting").c_str(), "rb");
    lighting_read(t, light);
    stream_close(light);
    t->map_texture = surface_load_texture(file_in(t, "map.png").c_str());

    // 15-16. Collision buckets; the editor's own data.
    statues_bucket_rebuild(t);
    if (track_hooks.editor_load)
        track_hooks.editor_load(t);

    // 17. Every distinct statue shape file, in order of first use.
    std::set<std::string> hashed;
    for (const Statue& s : t->statues)
        if (s.shape && hashed.insert(s.shape_name).second)
            digest_file(&digest, s.shape_name);

    // 18.
    ripemd160_final(&digest, t->hash);
    t->loaded = true;
    return true;
}

void track_free(Track* t)
{
    log_printf("Deallocating track\n");
    if (track_hooks.editor_free)
        track_hooks.editor_free(t);
    if (track_hooks.timing_gates_free)
        track_hooks.timing_gates_free(t);
    t->timing = nullptr;
    t->timing_gates_text.clear();
    t->timing_gate_count = 0;
    clear_scenery(t);
    terrain_free(&t->hf);
    t->loaded = false;
    t->name.clear();
    t->title.clear();
    log_printf("Finished deallocating track\n");
}

bool track_use(Track* t, const char* name, bool online)
{
    bool same = t->loaded && name && t->name == name;
    if (same && (!online || !t->hf.changed)) {
        if (online)
            t->hf.frozen = true;
        return true;
    }
    if (t->loaded || !t->name.empty())
        track_free(t);
    if (track_hooks.caches_new_generation)
        track_hooks.caches_new_generation();
    t->name = name ? name : "";
    if (!track_load(t))
        return false;
    if (online)
        t->hf.frozen = true;
    return true;
}
