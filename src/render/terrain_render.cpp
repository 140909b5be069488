// Ground drawing: node texture choice, fan output, loader hooks.
#include "render/terrain_render.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "render/gl_caps.h"
#include "render/ground_textures.h"
#include "render/scene.h"
#include "render/texture.h"
#include "track/terrain.h"
#include "track/terrain_lod.h"
#include "track/track.h"

namespace {

bool use_vertex_arrays = true;
int min_texture_level = 1;

constexpr int BLOCK_CELLS = 128;

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

// --- Loader hooks ---

void hook_error_pass(HeightField* hf)
{
    hf->lod.pass_done = false;
    terrain_errors_update(hf, -1);
    // The loader hands out generation 1 once it is done.
    if (hf->lod.pass_generation == 0)
        hf->lod.pass_generation = 1;
}

void hook_low_detail(HeightField* hf) { low_detail_build_all(hf); }

unsigned hook_framebuffer()
{
    if (!gl_caps.framebuffer_object || !gl_ep.glGenFramebuffersEXT)
        return 0;
    GLuint fb = 0;
    gl_ep.glGenFramebuffersEXT(1, &fb);
    return fb;
}

void hook_ground_textures(HeightField* hf) { ground_textures_create(hf); }

// The loader has marked the blocks under a new decal; the windows over it
// are out of date from this frame.
void hook_decal_inserted(HeightField* hf, float x0, float z0, float x1, float z1)
{
    float spacing = hf->spacing > 0 ? hf->spacing : 1.0f;
    auto cell = [&](float v) { return int(std::floor(std::clamp(v / spacing, -1e8f, 1e8f))); };
    ground_windows_mark_stale(&hf->lod.windows, cell(x0), cell(z0), cell(x1), cell(z1), std::max(1, hf->lod.frame));
}

void hook_free(HeightField* hf) { ground_textures_free(hf); }

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
        ground_textures_update(hf, min_texture_level);
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
    low_detail_refresh(hf, 1);
    if (!quick) {
        hf->view_cell_x = -1000000;
        hf->view_cell_z = -1000000;
        hf->lod.windows.placed = false;
    }
}
