// Ground drawing: node texture choice, fan output, loader hooks.
#include "render/terrain_render.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "files/image.h"
#include "render/gl_caps.h"
#include "render/scene.h"
#include "render/texture.h"
#include "track/terrain.h"
#include "track/terrain_lod.h"
#include "track/track.h"

namespace {

bool use_vertex_arrays = true;
int min_texture_level = 1;

constexpr int BLOCK_CELLS = 128;
constexpr int LOW_DETAIL_AREA = 448, LOW_DETAIL_MARGIN = 32, LOW_DETAIL_MAX = 512;
constexpr int TILE_SAMPLE = 16;  // tile pictures are averaged down to this many texels a side

// One fan's vertices, reused for every fan.
float fan_positions[10 * 3];
float fan_texcoords[10 * 2];

struct DrawState {
    HeightField* hf;
    GLuint bound = 0;
    bool any_bound = false;
};

// The texture a node of depth d uses, its level and its cell origin.
GLuint node_texture(const HeightField* hf, int d, int a, int b, int* level, int* base_i, int* base_j)
{
    int n = hf->order;
    int node_cells = 2 << (n - d);
    int i0 = a * node_cells, j0 = b * node_cells;
    const GroundWindows& w = hf->lod.windows;
    for (int t = std::max(n - d, min_texture_level); t < GROUND_WINDOW_LEVELS && w.placed; t++) {
        int size = 2 << t;
        int tx = i0 / size, tz = j0 / size;
        int ox = w.origin_x[t], oz = w.origin_z[t];
        if (tx < ox || tz < oz || tx >= ox + 4 || tz >= oz + 4)
            continue;
        int slot = (tx - ox) + 4 * (tz - oz);
        if (w.ready[t][slot] && w.texture[t][slot]) {
            *level = t;
            *base_i = tx * size;
            *base_j = tz * size;
            return GLuint(w.texture[t][slot]);
        }
    }
    int blocks = n >= 6 ? 1 << (n - 6) : 1;
    int bx = std::min(i0 / BLOCK_CELLS, blocks - 1), bz = std::min(j0 / BLOCK_CELLS, blocks - 1);
    *level = 6;
    *base_i = bx * BLOCK_CELLS;
    *base_j = bz * BLOCK_CELLS;
    size_t k = size_t(bx) + size_t(blocks) * size_t(bz);
    return k < hf->block_textures.size() ? GLuint(hf->block_textures[k]) : 0;
}

void draw_fan(void* user, int d, int a, int b, const int* vi, const int* vj, int count)
{
    DrawState& st = *static_cast<DrawState*>(user);
    const HeightField* hf = st.hf;
    int level = 6, base_i = 0, base_j = 0;
    GLuint tex = node_texture(hf, d, a, b, &level, &base_i, &base_j);
    if (!st.any_bound || tex != st.bound) {
        glDisable(GL_BLEND);
        if (tex) {
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, tex);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        } else {
            glDisable(GL_TEXTURE_2D);
        }
        st.bound = tex;
        st.any_bound = true;
    }
    // Texture coordinates run from the texture's own origin, so a node's far
    // edge reads 1.0 rather than wrapping back to 0.
    float inv = 1.0f / float(2 << level);
    int p = hf->vertex_count;
    for (int k = 0; k < count; k++) {
        fan_positions[3 * k] = float(vi[k]) * hf->spacing;
        fan_positions[3 * k + 1] = hf->heights[size_t(vi[k]) + size_t(p) * size_t(vj[k])];
        fan_positions[3 * k + 2] = float(vj[k]) * hf->spacing;
        fan_texcoords[2 * k] = float(vi[k] - base_i) * inv;
        fan_texcoords[2 * k + 1] = float(vj[k] - base_j) * inv;
    }
    if (use_vertex_arrays) {
        glDrawArrays(GL_TRIANGLE_FAN, 0, count);
        return;
    }
    glBegin(GL_TRIANGLE_FAN);
    for (int k = 0; k < count; k++) {
        glTexCoord2fv(fan_texcoords + 2 * k);
        glVertex3fv(fan_positions + 3 * k);
    }
    glEnd();
}

// --- Textures built from the ground's own data ---

// A surface tile picture averaged down to TILE_SAMPLE texels a side (RGB);
// mid grey when it cannot be read.
struct TileSample {
    uint8_t rgb[TILE_SAMPLE * TILE_SAMPLE * 3];
};

TileSample tile_sample(const std::string& name)
{
    TileSample out;
    std::fill(std::begin(out.rgb), std::end(out.rgb), uint8_t(128));
    ImageBuffer im;
    if (name.empty() || image_load_texture(name.c_str(), &im, nullptr) != IMAGE_LOAD_PICTURE ||
        im.width <= 0 || im.height <= 0 || im.channels < 3)
        return out;
    for (int y = 0; y < TILE_SAMPLE; y++)
        for (int x = 0; x < TILE_SAMPLE; x++) {
            int x0 = x * im.width / TILE_SAMPLE, x1 = std::max(x0 + 1, (x + 1) * im.width / TILE_SAMPLE);
            int y0 = y * im.height / TILE_SAMPLE, y1 = std::max(y0 + 1, (y + 1) * im.height / TILE_SAMPLE);
            long sum[3] = {0, 0, 0}, count = 0;
            for (int v = y0; v < y1; v++)
                for (int u = x0; u < x1; u++) {
                    const uint8_t* px = &im.pixels[(size_t(v) * im.width + u) * im.channels];
                    for (int c = 0; c < 3; c++)
                        sum[c] += px[c];
                    count++;
                }
            for (int c = 0; c < 3; c++)
                out.rgb[(y * TILE_SAMPLE + x) * 3 + c] = uint8_t(sum[c] / count);
        }
    return out;
}

GLuint upload_rgb(ImageBuffer& im)
{
    image_build_mipmaps(im);
    return texture_from_image(im.pixels.data(), im.width, im.height, 3, 0, false, false);
}

// A square of the ground from cell (first_x, first_z), cells a side, at res
// texels a side: the surface tiles (inner 7/8 of each picture, as the
// composed ground shows them) times twice the baked shading. sample(surface,
// u, v) gives a tile picture's texel for u, v in [0, 1), or null.
template <typename Sampler>
void compose_square(const HeightField* hf, int surface_count, const Sampler& sample, int first_x, int first_z,
                    int cells, int res, ImageBuffer* im)
{
    im->width = im->height = res;
    im->channels = 3;
    im->pixels.assign(size_t(res) * res * 3, 0);
    int n = hf->order, p = hf->vertex_count, tiles_side = 1 << n;
    float cells_per_texel = float(cells) / float(res);
    for (int y = 0; y < res; y++)
        for (int x = 0; x < res; x++) {
            float cx = first_x + (x + 0.5f) * cells_per_texel;
            float cz = first_z + (y + 0.5f) * cells_per_texel;
            int tx = std::clamp(int(cx / 2), 0, tiles_side - 1), tz = std::clamp(int(cz / 2), 0, tiles_side - 1);
            int surface = surface_count <= 0 ? 0
                : std::min(int(hf->tilemap.empty() ? 0 : hf->tilemap[size_t(tx) + size_t(tiles_side) * tz]),
                           surface_count - 1);
            float fu = cx / 2 - std::floor(cx / 2), fv = cz / 2 - std::floor(cz / 2);
            const uint8_t* tile = surface_count <= 0 ? nullptr : sample(surface, 0.0625f + 0.875f * fu, 0.0625f + 0.875f * fv);
            // Bilinear shading between the four surrounding vertices.
            float vx = std::clamp(cx, 0.0f, float(p - 1)), vz = std::clamp(cz, 0.0f, float(p - 1));
            int i0 = std::min(int(vx), p - 2), j0 = std::min(int(vz), p - 2);
            float u = vx - i0, v = vz - j0;
            uint8_t* out = &im->pixels[(size_t(y) * res + x) * 3];
            for (int c = 0; c < 3; c++) {
                float shade = 128;
                if (!hf->shading.empty() && p >= 2) {
                    auto at = [&](int i, int j) { return float(hf->shading[(size_t(i) + size_t(p) * j) * 3 + c]); };
                    shade = (at(i0, j0) * (1 - u) + at(i0 + 1, j0) * u) * (1 - v) +
                            (at(i0, j0 + 1) * (1 - u) + at(i0 + 1, j0 + 1) * u) * v;
                }
                float base = tile ? float(tile[c]) : 160.0f;
                out[c] = uint8_t(std::clamp(base * shade / 128.0f, 0.0f, 255.0f));
            }
        }
}

// Block (bx, bz) from the averaged tile pictures.
void block_compose(const HeightField* hf, const std::vector<TileSample>& tiles, int bx, int bz, int res,
                   ImageBuffer* im)
{
    auto sample = [&](int surface, float u, float v) -> const uint8_t* {
        int su = std::clamp(int(u * TILE_SAMPLE), 0, TILE_SAMPLE - 1);
        int sv = std::clamp(int(v * TILE_SAMPLE), 0, TILE_SAMPLE - 1);
        return &tiles[size_t(surface)].rgb[(sv * TILE_SAMPLE + su) * 3];
    };
    compose_square(hf, int(tiles.size()), sample, bx * BLOCK_CELLS, bz * BLOCK_CELLS, BLOCK_CELLS, res, im);
}

std::vector<TileSample> tile_samples(const HeightField* hf)
{
    std::vector<TileSample> tiles;
    std::map<std::string, size_t> seen;
    for (int k = 0; k < std::max(1, hf->surface_count); k++) {
        const std::string& name = k < hf->surface_count ? hf->surfaces[k].texture_name : std::string();
        auto it = seen.find(name);
        if (it != seen.end()) {
            tiles.push_back(tiles[it->second]);
            continue;
        }
        seen[name] = tiles.size();
        tiles.push_back(tile_sample(name));
    }
    return tiles;
}

void block_rebuild(HeightField* hf, const std::vector<TileSample>& tiles, int bx, int bz)
{
    int blocks = hf->order >= 6 ? 1 << (hf->order - 6) : 1;
    size_t k = size_t(bx) + size_t(blocks) * size_t(bz);
    if (k >= hf->block_textures.size())
        return;
    int res = std::clamp(hf->ground_texture_resolution, 32, 256);
    ImageBuffer im;
    block_compose(hf, tiles, bx, bz, res, &im);
    if (hf->block_textures[k])
        texture_free(GLuint(hf->block_textures[k]));
    hf->block_textures[k] = int(upload_rgb(im));
    if (k < hf->block_dirty.size())
        hf->block_dirty[k] = false;
}

// The surface pictures at their own size, for the windows near the camera;
// read on the first window a track composes.
struct TilePicture {
    int width = 1, height = 1;
    std::vector<uint8_t> rgb = {128, 128, 128};
};
std::vector<TilePicture> window_pictures;
bool window_pictures_loaded = false;

void window_pictures_load(const HeightField* hf)
{
    window_pictures.assign(size_t(std::max(1, hf->surface_count)), TilePicture());
    for (int k = 0; k < hf->surface_count; k++) {
        ImageBuffer im;
        const std::string& name = hf->surfaces[k].texture_name;
        if (name.empty() || image_load_texture(name.c_str(), &im, nullptr) != IMAGE_LOAD_PICTURE || im.width <= 0 ||
            im.height <= 0 || im.channels < 3)
            continue;
        TilePicture& t = window_pictures[size_t(k)];
        t.width = im.width;
        t.height = im.height;
        t.rgb.resize(size_t(im.width) * im.height * 3);
        for (size_t i = 0; i < size_t(im.width) * im.height; i++)
            for (int c = 0; c < 3; c++)
                t.rgb[i * 3 + c] = im.pixels[i * size_t(im.channels) + c];
    }
    window_pictures_loaded = true;
}

// The windows follow the camera; at most one texture is composed a frame.
void windows_step(HeightField* hf)
{
    if (hf->order < 1)
        return;
    GroundWindows& w = hf->lod.windows;
    float spacing = hf->spacing > 0 ? hf->spacing : 1.0f;
    int cx = int(std::floor(std::clamp(hf->lod.camera[0] / spacing, -1e8f, 1e8f)));
    int cz = int(std::floor(std::clamp(hf->lod.camera[2] / spacing, -1e8f, 1e8f)));
    ground_windows_move(&w, cx, cz, hf->order);
    GroundWindowJob job = ground_windows_next(&w, min_texture_level);
    if (job.any) {
        if (!window_pictures_loaded)
            window_pictures_load(hf);
        auto sample = [&](int surface, float u, float v) -> const uint8_t* {
            const TilePicture& t = window_pictures[size_t(surface)];
            int x = std::clamp(int(u * t.width), 0, t.width - 1), y = std::clamp(int(v * t.height), 0, t.height - 1);
            return &t.rgb[(size_t(y) * t.width + x) * 3];
        };
        ImageBuffer im;
        int res = std::clamp(hf->ground_texture_resolution, 32, 256);
        compose_square(hf, int(window_pictures.size()), sample, job.first_tile_x * 2, job.first_tile_z * 2,
                       job.tiles * 2, res, &im);
        int& id = w.texture[job.level][job.slot];
        if (id)
            texture_free(GLuint(id));
        id = int(upload_rgb(im));
    }
}

// Low-detail texture (row r, column c): 448 x 448 shading texels with a
// 32-texel margin, clamped to the grid.
void low_detail_build(HeightField* hf, int r, int c)
{
    int cells = 1 << (hf->order + 1), p = hf->vertex_count;
    auto side_for = [&](int index) {
        int need = cells - index * LOW_DETAIL_AREA + 2 * LOW_DETAIL_MARGIN, side = 1;
        while (side < need && side < LOW_DETAIL_MAX)
            side <<= 1;
        return side;
    };
    ImageBuffer im;
    im.width = side_for(c);
    im.height = side_for(r);
    im.channels = 3;
    im.pixels.assign(size_t(im.width) * im.height * 3, 128);
    if (!hf->shading.empty())
        for (int y = 0; y < im.height; y++)
            for (int x = 0; x < im.width; x++) {
                int i = std::clamp(c * LOW_DETAIL_AREA - LOW_DETAIL_MARGIN + x, 0, p - 1);
                int j = std::clamp(r * LOW_DETAIL_AREA - LOW_DETAIL_MARGIN + y, 0, p - 1);
                for (int k = 0; k < 3; k++)
                    im.pixels[(size_t(y) * im.width + x) * 3 + k] = hf->shading[(size_t(i) + size_t(p) * j) * 3 + k];
            }
    size_t k = size_t(c) + size_t(hf->low_detail_side) * size_t(r);
    if (k >= hf->low_detail_textures.size())
        return;
    if (hf->low_detail_textures[k])
        texture_free(GLuint(hf->low_detail_textures[k]));
    hf->low_detail_textures[k] = int(upload_rgb(im));
}

// Marks every block a low-detail texture's area touches.
void low_detail_mark_blocks(HeightField* hf, int r, int c)
{
    int blocks = hf->order >= 6 ? 1 << (hf->order - 6) : 1;
    int b0x = c * LOW_DETAIL_AREA / BLOCK_CELLS, b1x = ((c + 1) * LOW_DETAIL_AREA - 1) / BLOCK_CELLS;
    int b0z = r * LOW_DETAIL_AREA / BLOCK_CELLS, b1z = ((r + 1) * LOW_DETAIL_AREA - 1) / BLOCK_CELLS;
    for (int bz = b0z; bz <= std::min(b1z, blocks - 1); bz++)
        for (int bx = b0x; bx <= std::min(b1x, blocks - 1); bx++)
            if (size_t(bx + blocks * bz) < hf->block_dirty.size())
                hf->block_dirty[size_t(bx + blocks * bz)] = true;
}

// --- Loader hooks ---

void hook_error_pass(HeightField* hf)
{
    hf->lod.pass_done = false;
    terrain_errors_update(hf, -1);
    // The loader hands out generation 1 once it is done.
    if (hf->lod.pass_generation == 0)
        hf->lod.pass_generation = 1;
}

void hook_low_detail(HeightField* hf)
{
    int w = hf->low_detail_side;
    for (int r = 0; r < w; r++)
        for (int c = 0; c < w; c++)
            low_detail_build(hf, r, c);
}

unsigned hook_framebuffer()
{
    if (!gl_caps.framebuffer_object || !gl_ep.glGenFramebuffersEXT)
        return 0;
    GLuint fb = 0;
    gl_ep.glGenFramebuffersEXT(1, &fb);
    return fb;
}

void hook_ground_textures(HeightField* hf)
{
    int blocks = hf->order >= 6 ? 1 << (hf->order - 6) : 1;
    std::vector<TileSample> tiles = tile_samples(hf);
    for (int bz = 0; bz < blocks; bz++)
        for (int bx = 0; bx < blocks; bx++)
            block_rebuild(hf, tiles, bx, bz);
    ground_windows_reset(&hf->lod.windows, nullptr);  // no window texture exists yet
    window_pictures_loaded = false;
}

void hook_decal_inserted(HeightField* hf, float x0, float z0, float x1, float z1)
{
    int blocks = hf->order >= 6 ? 1 << (hf->order - 6) : 1;
    float spacing = hf->spacing > 0 ? hf->spacing : 1.0f;
    auto block_of = [&](float v) {
        return std::clamp(int(std::floor(std::clamp(v / spacing, -1e8f, 1e8f))) >> 7, 0, blocks - 1);
    };
    for (int bz = block_of(z0); bz <= block_of(z1); bz++)
        for (int bx = block_of(x0); bx <= block_of(x1); bx++)
            if (size_t(bx + blocks * bz) < hf->block_dirty.size())
                hf->block_dirty[size_t(bx + blocks * bz)] = true;
    auto cell = [&](float v) { return int(std::floor(std::clamp(v / spacing, -1e8f, 1e8f))); };
    ground_windows_mark_stale(&hf->lod.windows, cell(x0), cell(z0), cell(x1), cell(z1), std::max(1, hf->lod.frame));
}

void hook_free(HeightField* hf)
{
    for (std::vector<int>* list : {&hf->low_detail_textures, &hf->block_textures})
        for (int& t : *list)
            if (t) {
                texture_free(GLuint(t));
                t = 0;
            }
    for (auto& level : hf->lod.windows.texture)
        for (int t : level)
            if (t)
                texture_free(GLuint(t));
    if (hf->framebuffer && gl_ep.glDeleteFramebuffersEXT) {
        GLuint fb = hf->framebuffer;
        gl_ep.glDeleteFramebuffersEXT(1, &fb);
    }
    hf->framebuffer = 0;
    ground_windows_reset(&hf->lod.windows, nullptr);
    window_pictures_loaded = false;
}

unsigned long hook_texture_memory() { return (unsigned long)texture_memory(); }

int surface_texture(const char* name) { return int(texture_load(name)); }

// The scene's ground step draws the ground of the track it shows.
HeightField* scene_ground()
{
    return scene_world.track && !scene_world.track->hf.heights.empty() ? &scene_world.track->hf : nullptr;
}

void scene_ground_view(Vec3 position, Vec3 direction)
{
    if (HeightField* hf = scene_ground()) {
        const double p[3] = {position.x, position.y, position.z}, d[3] = {direction.x, direction.y, direction.z};
        for (int k = 0; k < 3; k++) {
            hf->lod.camera[k] = float(p[k]);
            hf->lod.view[k] = float(d[k]);
        }
    }
}

// The first frame of a track finishes its error pass; later frames spend a
// small budget on it.
void scene_ground_update()
{
    if (HeightField* hf = scene_ground()) {
        terrain_refresh(hf, hf->lod.pass_done);
        windows_step(hf);
    }
}

void scene_ground_draw()
{
    if (HeightField* hf = scene_ground())
        terrain_render(hf);
}

}  // namespace

void terrain_render_install()
{
    scene_ground_hooks.view = scene_ground_view;
    scene_ground_hooks.update_textures = scene_ground_update;
    scene_ground_hooks.draw = scene_ground_draw;
    terrain_render_hooks.error_pass = hook_error_pass;
    terrain_render_hooks.build_low_detail = hook_low_detail;
    terrain_render_hooks.create_framebuffer = hook_framebuffer;
    terrain_render_hooks.create_ground_textures = hook_ground_textures;
    terrain_render_hooks.decal_inserted = hook_decal_inserted;
    terrain_render_hooks.free_gl = hook_free;
    terrain_render_hooks.texture_memory = hook_texture_memory;
    surface_set_texture_loader(surface_texture);
}

void terrain_render_set_vertex_arrays(bool on) { use_vertex_arrays = on; }

void terrain_render_set_min_texture_level(int level) { min_texture_level = std::clamp(level, 0, 4); }

void terrain_render(HeightField* hf)
{
    if (!hf || hf->heights.empty())
        return;
    terrain_split_pass(hf);
    glColor4ub(255, 255, 255, 255);
    if (use_vertex_arrays) {
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_NORMAL_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, fan_positions);
        glTexCoordPointer(2, GL_FLOAT, 0, fan_texcoords);
    }
    DrawState st{hf};
    terrain_draw_nodes(hf, draw_fan, &st);
    if (use_vertex_arrays) {
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    TerrainLodState& lod = hf->lod;
    lod.frame = lod.frame == 2147483647 ? 1 : lod.frame + 1;
}

void terrain_refresh(HeightField* hf, bool quick)
{
    if (!hf || hf->heights.empty())
        return;
    terrain_errors_update(hf, quick ? 1000 : -1);
    // One dirty low-detail texture, round robin over the list.
    int w = hf->low_detail_side;
    for (int k = 0; k < w * w; k++) {
        if (size_t(k) < hf->low_detail_dirty.size() && hf->low_detail_dirty[size_t(k)]) {
            hf->low_detail_dirty[size_t(k)] = false;
            low_detail_build(hf, k / w, k % w);
            low_detail_mark_blocks(hf, k / w, k % w);
            break;
        }
    }
    // One dirty block per frame.
    int blocks = hf->order >= 6 ? 1 << (hf->order - 6) : 1;
    for (int k = 0; k < blocks * blocks; k++)
        if (size_t(k) < hf->block_dirty.size() && hf->block_dirty[size_t(k)]) {
            block_rebuild(hf, tile_samples(hf), k % blocks, k / blocks);
            break;
        }
    if (!quick) {
        hf->view_cell_x = -1000000;
        hf->view_cell_z = -1000000;
        hf->lod.windows.placed = false;
    }
}
