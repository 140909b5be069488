// terrain_load, terrain_free and the decal buckets.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "files/image.h"
#include "files/ripemd160.h"
#include "files/stream.h"
#include "platform/log.h"
#include "track/terrain.h"

TerrainSettings terrain_settings;
TerrainRenderHooks terrain_render_hooks;

namespace {

std::string path_in(const HeightField* hf, const char* name) { return hf->folder + "/" + name; }

Stream* open_required(const HeightField* hf, const char* name)
{
    std::string path = path_in(hf, name);
    Stream* s = stream_open(path.c_str(), "rb");
    if (!s)
        track_message("Can't open '%.950s'", path.c_str());
    return s;
}

Stream* open_optional(const HeightField* hf, const char* name)
{
    return stream_open(path_in(hf, name).c_str(), "rb");
}

unsigned long texture_memory()
{
    return terrain_render_hooks.texture_memory ? terrain_render_hooks.texture_memory() : 0;
}

int blocks_per_side(const HeightField* hf) { return hf->order >= 6 ? 1 << (hf->order - 6) : 1; }

bool fail(HeightField* hf)
{
    terrain_free(hf);
    return false;
}

// Header and allocation; false after reporting.
bool read_header(HeightField* hf, Stream* s)
{
    int n = 0;
    float spacing = 0, low = 0, high = 0;
    if (stream_scanf(s, "%d %f %f %f ", &n, &spacing, &low, &high) != 4) {
        track_message("Bad height field parameters");
        track_message("Error reading heights");
        return false;
    }
    if (n < TERRAIN_MIN_ORDER || n > TERRAIN_MAX_ORDER) {
        track_message("Height field grid order %d is outside %d to %d", n, TERRAIN_MIN_ORDER,
                      TERRAIN_MAX_ORDER);
        track_message("Error reading heights");
        return false;
    }
    if (!(spacing > 0) || !std::isfinite(spacing) || !std::isfinite(low) || !std::isfinite(high)) {
        track_message("Bad height field parameters");
        track_message("Error reading heights");
        return false;
    }
    hf->order = n;
    hf->vertex_count = (1 << (n + 1)) + 1;
    hf->spacing = spacing;
    hf->extent = spacing * float(1 << (n + 1));
    hf->tile_size = 2 * spacing;
    hf->detail = terrain_settings.detail;
    hf->min_height = low;
    hf->max_height = high;
    size_t nodes = size_t(4) * (size_t(1) << (2 * n)) / 3;
    hf->node_flags.assign(nodes, false);
    hf->heights.assign(size_t(hf->vertex_count) * size_t(hf->vertex_count), low);
    return true;
}

// Heights from the raw block after ':' or from terrain.png.
bool read_heights(HeightField* hf, Stream* s, float low, float high, Ripemd160* digest)
{
    int p = hf->vertex_count;
    size_t count = size_t(p) * size_t(p);
    double scale = double(high - low) * (1.0 / 65535.0);
    std::vector<uint16_t> samples(count, 0);
    if (stream_getc(s) == ':') {
        std::vector<uint8_t> raw(count * 2);
        size_t got = stream_read(s, raw.data(), raw.size());
        // A short block would leave part of the ground undefined: refuse it.
        if (got != raw.size()) {
            track_message("Height field data ends early (%zu of %zu samples)", got / 2, count);
            track_message("Error reading heights");
            return false;
        }
        for (size_t k = 0; k < count; k++)
            samples[k] = uint16_t(raw[2 * k] | raw[2 * k + 1] << 8);
    } else {
        Stream* png = open_optional(hf, "terrain.png");
        int w = 0, h = 0;
        std::vector<uint16_t> image;
        bool ok = image_read_png16_stream(png, &image, &w, &h);
        stream_close(png);
        if (ok) {
            for (int j = 0; j < p; j++)
                for (int i = 0; i < p; i++)
                    samples[size_t(j) * size_t(p) + size_t(i)] =
                        image[size_t(std::min(j, h - 1)) * size_t(w) + size_t(std::min(i, w - 1))];
        }
        // An unreadable picture leaves every sample 0: flat at the low height.
    }
    float lo = high, hi = low;
    for (size_t k = 0; k < count; k++) {
        uint8_t pair[2] = {uint8_t(samples[k]), uint8_t(samples[k] >> 8)};
        ripemd160_update(digest, pair, 2);
        float v = float(low + samples[k] * scale);
        hf->heights[k] = v;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    hf->min_height = std::min(lo, hi);
    hf->max_height = std::max(lo, hi);
    return true;
}

bool read_shading(HeightField* hf)
{
    bool x2 = true;
    Stream* s = open_optional(hf, "shadingx2.ppm");
    if (!s) {
        x2 = false;
        s = open_required(hf, "shading.ppm");
        if (!s)
            return false;
    }
    ImageBuffer im;
    bool ok = image_read_colour(s, &im);
    stream_close(s);
    if (!ok) {
        track_message("Error reading shading");
        return false;
    }
    int p = hf->vertex_count;
    if (im.width != p || im.height != p) {
        track_message("Bad shading dimensions (%dx%d)", im.width, im.height);
        return false;
    }
    hf->shading = std::move(im.pixels);
    if (!x2)
        for (uint8_t& b : hf->shading)
            b = uint8_t(b >> 1);
    return true;
}

bool read_surfaces(HeightField* hf)
{
    if (Stream* s = open_optional(hf, "tileinfo")) {
        surface_read_tileinfo(hf, s);
        stream_close(s);
        return true;
    }
    Stream* s = open_required(hf, "texturelist");
    if (!s)
        return false;
    surface_read_texturelist(hf, s);
    stream_close(s);
    if (hf->surface_count == 0)
        hf->surfaces[hf->surface_count++] = surface_default();
    return true;
}

bool read_tilemap(HeightField* hf)
{
    Stream* s = open_required(hf, "tilemap");
    if (!s)
        return false;
    size_t tiles = size_t(1) << (2 * hf->order);
    hf->tilemap.assign(tiles, 0);
    size_t got = stream_read(s, hf->tilemap.data(), tiles);
    stream_close(s);
    // A short tilemap would leave tiles without a surface: refuse it.
    if (got != tiles) {
        track_message("Tilemap too short (%zu of %zu bytes)", got, tiles);
        return false;
    }
    uint8_t last = uint8_t(hf->surface_count - 1);
    for (uint8_t& b : hf->tilemap)
        if (b > last)
            b = last;
    return true;
}

bool read_shadows(HeightField* hf)
{
    int p = hf->vertex_count;
    Stream* s = open_optional(hf, "shadows.pgm");
    if (!s) {
        hf->shadows.assign(size_t(p) * size_t(p), 0);
        return true;
    }
    ImageBuffer im;
    bool ok = image_read_grey(s, &im);
    stream_close(s);
    if (!ok) {
        track_message("Error reading shadows");
        return false;
    }
    if (im.width != p || im.height != p) {
        log_printf("Bad shadow dimensions (%dx%d)\n", im.width, im.height);
        return false;
    }
    hf->shadows = std::move(im.pixels);
    for (uint8_t& b : hf->shadows)
        b = uint8_t(255 - b);
    return true;
}

void read_decals(HeightField* hf)
{
    Stream* s = open_optional(hf, "decals");
    if (!s)
        return;
    for (auto& row : hf->decal_buckets)
        for (auto& bucket : row)
            bucket.clear();
    hf->decals.reserve(16);
    for (;;) {
        float x, z, angle, size, aspect;
        char name[1024];
        if (stream_scanf(s, "[ %f %f ] %f %f %f %1023s ", &x, &z, &angle, &size, &aspect, name) != 6)
            break;
        Decal d;
        d.texture_name = name;
        d.texture = surface_load_texture(name);
        // Headless there is no texture manager: keep the decal by name.
        if (d.texture == 0 && surface_have_texture_loader())
            continue;
        d.x = x;
        d.z = z;
        d.angle = angle;
        d.size = size;
        d.aspect = aspect;
        d.sin_angle = std::sin(angle);
        d.cos_angle = std::cos(angle);
        hf->decals.push_back(d);
        terrain_decal_insert(hf, int(hf->decals.size()) - 1);
    }
    stream_close(s);
}

}  // namespace

bool terrain_load(HeightField* hf, const char* folder)
{
    // 1. Empty record.
    terrain_free(hf);
    hf->folder = folder ? folder : "";
    while (!hf->folder.empty() && hf->folder.back() == '/')
        hf->folder.pop_back();

    // 2-3. Header and heights.
    Stream* s = open_required(hf, "terrain.hf");
    if (!s)
        return fail(hf);
    if (!read_header(hf, s)) {
        stream_close(s);
        return fail(hf);
    }
    Ripemd160 digest;
    ripemd160_init(&digest);
    float low = hf->min_height, high = hf->max_height;
    bool heights_ok = read_heights(hf, s, low, high, &digest);
    stream_close(s);
    if (!heights_ok)
        return fail(hf);
    uint8_t sum[20];
    ripemd160_final(&digest, sum);
    if (terrain_settings.debug_level >= 2) {
        char hex[41];
        for (int k = 0; k < 20; k++)
            std::snprintf(hex + 2 * k, 3, "%02x", sum[k]);
        log_printf("%s\n", hex);
    }

    // 4. Quadtree error arrays and the renderer's full pass.
    size_t nodes = size_t(4) * (size_t(1) << (2 * hf->order)) / 3;
    hf->node_error.assign(nodes, 0.0f);
    hf->node_error_aux.assign(nodes, 0.0f);
    if (terrain_render_hooks.error_pass)
        terrain_render_hooks.error_pass(hf);

    // 5-7. Shading, then the surface types.
    if (!read_shading(hf))
        return fail(hf);
    if (terrain_settings.debug_level >= 1)
        log_printf("%lu bytes texture memory used before ground tiles loaded\n", texture_memory());
    if (!read_surfaces(hf))
        return fail(hf);
    if (terrain_settings.debug_level >= 1)
        log_printf("%lu bytes texture memory used after ground tiles loaded\n", texture_memory());

    // 8. Tilemap.
    if (!read_tilemap(hf))
        return fail(hf);

    // 9. Low-detail textures (renderer).
    int w = ((1 << (hf->order + 1)) / 64 + 6) / 7;
    if (w < 1)
        w = 1;
    hf->low_detail_side = w;
    hf->low_detail_textures.assign(size_t(w) * size_t(w), 0);
    if (terrain_render_hooks.build_low_detail)
        terrain_render_hooks.build_low_detail(hf);
    hf->low_detail_dirty.assign(size_t(w) * size_t(w), false);
    log_printf("%dx%d low detail textures needed for %dx%d field\n", w, w, hf->vertex_count,
               hf->vertex_count);
    if (terrain_settings.debug_level >= 1)
        log_printf("%lu bytes texture memory used after low detail ground textures\n", texture_memory());

    // 10. Shadows and the ground texture resolution.
    if (!read_shadows(hf))
        return fail(hf);
    int configured = 32 << clampi(terrain_settings.ground_texture_setting, 0, 5);
    if (terrain_settings.framebuffer_objects && terrain_render_hooks.create_framebuffer) {
        hf->framebuffer = terrain_render_hooks.create_framebuffer();
        hf->ground_texture_resolution = configured;
        track_message("Using frame buffer objects");
    } else {
        hf->ground_texture_resolution = std::min(configured, 256);
    }

    // 11. Ground texture sets; every block needs generating.
    int blocks = blocks_per_side(hf);
    hf->block_dirty.assign(size_t(blocks) * size_t(blocks), true);
    hf->block_textures.assign(size_t(blocks) * size_t(blocks), 0);
    if (terrain_render_hooks.create_ground_textures)
        terrain_render_hooks.create_ground_textures(hf);

    // 12. Decals.
    read_decals(hf);
    hf->edit_generation = 1;
    return true;
}

void terrain_free(HeightField* hf)
{
    if (terrain_render_hooks.free_gl)
        terrain_render_hooks.free_gl(hf);
    *hf = HeightField();
}

void terrain_decal_extents(const Decal& d, float* hx, float* hz)
{
    *hx = std::fabs(d.size * d.aspect * d.cos_angle / 2) + std::fabs(d.size * d.sin_angle / 2);
    *hz = std::fabs(d.size * d.aspect * d.sin_angle / 2) + std::fabs(d.size * d.cos_angle / 2);
}

void terrain_decal_insert(HeightField* hf, int index)
{
    const Decal& d = hf->decals[size_t(index)];
    float hx, hz;
    terrain_decal_extents(d, &hx, &hz);
    auto bucket_of = [&](float v) {
        double f = std::floor(double(v) / hf->extent * TERRAIN_DECAL_BUCKETS);
        return int(clampd(f, 0, TERRAIN_DECAL_BUCKETS - 1));
    };
    int x0 = bucket_of(d.x - hx), x1 = bucket_of(d.x + hx);
    int z0 = bucket_of(d.z - hz), z1 = bucket_of(d.z + hz);
    for (int bz = z0; bz <= z1; bz++)
        for (int bx = x0; bx <= x1; bx++) {
            std::vector<int>& b = hf->decal_buckets[bz][bx];
            size_t at = 0;
            while (at < b.size() && b[at] <= index)
                at++;
            if (at > 0 && b[at - 1] == index)
                continue;
            b.insert(b.begin() + long(at), index);
        }
    // Blocks under the decal need their ground texture made again.
    int blocks = blocks_per_side(hf);
    auto block_of = [&](float v) {
        double c = std::floor(double(v) / hf->spacing);
        int cell = int(clampd(c, 0, double(1 << (hf->order + 1)) - 1));
        return clampi(cell >> 7, 0, blocks - 1);
    };
    if (hf->block_dirty.size() == size_t(blocks) * size_t(blocks)) {
        for (int bz = block_of(d.z - hz); bz <= block_of(d.z + hz); bz++)
            for (int bx = block_of(d.x - hx); bx <= block_of(d.x + hx); bx++)
                hf->block_dirty[size_t(bz) * size_t(blocks) + size_t(bx)] = true;
    }
    if (terrain_render_hooks.decal_inserted)
        terrain_render_hooks.decal_inserted(hf, d.x - hx, d.z - hz, d.x + hx, d.z + hz);
}
