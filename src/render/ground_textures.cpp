// Ground texture composition on the GPU and the low-detail shading textures.
#include "render/ground_textures.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "files/image.h"
#include "platform/log.h"
#include "render/gl_caps.h"
#include "render/scene_stats.h"
#include "render/texture.h"
#include "track/ground_decals.h"
#include "track/ground_windows.h"
#include "track/terrain.h"

namespace {

constexpr int BLOCK_CELLS = 128, BLOCK_TILES = 64;
constexpr int LOW_DETAIL_AREA = 448, LOW_DETAIL_MARGIN = 32, LOW_DETAIL_MAX = 512;
constexpr int SHADING_PIECE_CELLS = 64;
constexpr float TILE_INSET = 0.0625f;  // the outer sixteenth of a tile picture is never shown

bool renderer_checked = false;
bool split_decals = false;

// Reused by every composition and low-detail build, so a frame allocates
// nothing once they have grown.
std::vector<int> decal_list_a, decal_list_b;
std::vector<GroundDecalQuad> decal_quads;
ImageBuffer low_detail_scratch;

// One quad on the composition plane from (x0, y0) to (x1, y1), texture
// coordinates (s0, t0) to (s1, t1), inside a glBegin(GL_QUADS).
void square_quad(float x0, float y0, float x1, float y1, float s0, float t0, float s1, float t1)
{
    glTexCoord2f(s0, t0);
    glVertex3f(x0, y0, -1);
    glTexCoord2f(s1, t0);
    glVertex3f(x1, y0, -1);
    glTexCoord2f(s1, t1);
    glVertex3f(x1, y1, -1);
    glTexCoord2f(s0, t1);
    glVertex3f(x0, y1, -1);
}

int blocks_per_side(const HeightField* hf) { return hf->order >= 6 ? 1 << (hf->order - 6) : 1; }

bool have_framebuffer(const HeightField* hf)
{
    return hf->framebuffer && gl_ep.glBindFramebufferEXT && gl_ep.glFramebufferTexture2DEXT &&
           gl_ep.glCheckFramebufferStatusEXT;
}

// Side of low-detail texture index (its row for the height, its column for
// the width): room for what is left of the grid plus both margins.
int low_detail_side_for(const HeightField* hf, int index)
{
    int need = (1 << (hf->order + 1)) - index * LOW_DETAIL_AREA + 2 * LOW_DETAIL_MARGIN, side = 1;
    while (side < need && side < LOW_DETAIL_MAX)
        side <<= 1;
    return side;
}

// An R x R placeholder checkerboard with the filtering the composition can
// keep up: mipmaps made after each composition with framebuffer objects, by
// the driver on upload where it offers that, else none.
GLuint placeholder_texture(const HeightField* hf, int res)
{
    std::vector<uint8_t> px(size_t(res) * size_t(res) * 3);
    for (int y = 0; y < res; y++)
        for (int x = 0; x < res; x++) {
            uint8_t v = ((x / 8 + y / 8) & 1) ? 150 : 100;
            for (int c = 0; c < 3; c++)
                px[(size_t(y) * res + x) * 3 + c] = v;
        }
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    bool fbo_mips = have_framebuffer(hf) && gl_ep.glGenerateMipmapEXT;
    bool driver_mips = !hf->framebuffer && gl_caps.generate_mipmap;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, fbo_mips || driver_mips ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST);
    if (driver_mips)
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP_SGIS, GL_TRUE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, res, res, 0, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    if (fbo_mips)
        gl_ep.glGenerateMipmapEXT(GL_TEXTURE_2D);
    return tex;
}

// The GL state the composition needs, set on top of whatever the frame had;
// the destructor puts the frame's state back.
struct ComposeState {
    int program;
    GLint active_unit = 0;
    ComposeState(int res, bool back_buffer)
    {
        program = gl_current_program();
        gl_use_program(0);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        if (gl_caps.multitexture) {
            glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active_unit);
            for (int u = 1; u < std::min(gl_caps.texture_units, 4); u++) {
                gl_ep.glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + u));
                glDisable(GL_TEXTURE_2D);
                glDisable(GL_TEXTURE_CUBE_MAP);
            }
            gl_ep.glActiveTextureARB(GL_TEXTURE0_ARB);
        }
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        glLoadIdentity();
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        // The plane z = -1 maps [-1, 1] x [-1, 1] onto the viewport.
        glFrustum(-0.5, 0.5, -0.5, 0.5, 0.5, 2);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        for (GLenum cap : {GL_DEPTH_TEST, GL_FOG, GL_LIGHTING, GL_ALPHA_TEST, GL_CULL_FACE, GL_SCISSOR_TEST,
                           GL_STENCIL_TEST, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_COLOR_MATERIAL})
            glDisable(cap);
        glDepthMask(GL_FALSE);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glViewport(0, 0, res, res);
        if (back_buffer) {
            // Drawn into and copied out of the back buffer, which the frame
            // then draws over.
            glDrawBuffer(GL_BACK);
            glReadBuffer(GL_BACK);
        }
        glEnable(GL_TEXTURE_2D);
        glColor4ub(255, 255, 255, 255);
    }
    ~ComposeState()
    {
        glMatrixMode(GL_TEXTURE);
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        if (gl_caps.multitexture)
            gl_ep.glActiveTextureARB(GLenum(active_unit));
        glPopAttrib();
        gl_use_program(program);
    }
};

// The square's mapping from tile units onto [-1, 1].
struct SquareMap {
    float first_x, first_z, scale;
    float x(float tiles) const { return -1 + (tiles - first_x) * scale; }
    float z(float tiles) const { return -1 + (tiles - first_z) * scale; }
};

// Each tile of the square with its surface's texture, unblended.
void draw_tiles(const HeightField* hf, int first_x, int first_z, int tiles, const SquareMap& m)
{
    glDisable(GL_BLEND);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    int side = 1 << hf->order;
    const float lo = TILE_INSET, hi = 1 - TILE_INSET;
    GLuint bound = 0;
    bool open = false;
    for (int r = 0; r < tiles; r++)
        for (int c = 0; c < tiles; c++) {
            int tx = std::clamp(first_x + c, 0, side - 1), tz = std::clamp(first_z + r, 0, side - 1);
            size_t at = size_t(tx) + size_t(side) * size_t(tz);
            int surface = at < hf->tilemap.size() ? hf->tilemap[at] : 0;
            GLuint tex = GLuint(hf->surfaces[surface].texture);
            if (!open || tex != bound) {
                if (open)
                    glEnd();
                glBindTexture(GL_TEXTURE_2D, tex);
                bound = tex;
                glBegin(GL_QUADS);
                open = true;
            }
            float x0 = m.x(float(first_x + c)), x1 = m.x(float(first_x + c + 1));
            float y0 = m.z(float(first_z + r)), y1 = m.z(float(first_z + r + 1));
            square_quad(x0, y0, x1, y1, lo, lo, hi, hi);
        }
    if (open)
        glEnd();
}

// The decals over the square in index order, alpha blended; returns how
// many were drawn.
int draw_decals(const HeightField* hf, int first_x, int first_z, int tiles, const SquareMap& m)
{
    float t = hf->tile_size > 0 ? hf->tile_size : 2 * hf->spacing;
    if (!(t > 0))
        return 0;
    const std::vector<int>& list =
        ground_decals_in_square(hf, float(first_x) * t, float(first_z) * t, float(first_x + tiles) * t,
                                float(first_z + tiles) * t, &decal_list_a, &decal_list_b);
    if (list.empty())
        return 0;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    int drawn = 0;
    for (int index : list) {
        const Decal& d = hf->decals[size_t(index)];
        if (!d.texture)
            continue;
        decal_quads.clear();
        ground_decal_quads(d, split_decals, &decal_quads);
        glBindTexture(GL_TEXTURE_2D, GLuint(d.texture));
        glBegin(GL_QUADS);
        for (const GroundDecalQuad& q : decal_quads)
            for (int k = 0; k < 4; k++) {
                glTexCoord2f(q.u[k], q.v[k]);
                glVertex3f(m.x(q.x[k] / t), m.z(q.z[k] / t), -1);
            }
        glEnd();
        drawn++;
    }
    return drawn;
}

// The baked shading over the square: result = 2 x texel x what is there,
// from the low-detail textures in pieces of at most 64 cells.
void draw_shading(const HeightField* hf, int first_x, int first_z, int tiles, const SquareMap& m)
{
    int w = hf->low_detail_side;
    if (w <= 0 || hf->low_detail_textures.size() != size_t(w) * size_t(w))
        return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    float full = 1.0f / float(LOW_DETAIL_MAX), last = 1.0f / float(low_detail_side_for(hf, w - 1));
    int i_first = 2 * first_x, i_end = 2 * (first_x + tiles);
    int j_first = 2 * first_z, j_end = 2 * (first_z + tiles);
    // A vertex's texel centre inside texture index (its 448-texel area starts
    // at index * 448, after the margin).
    auto coord = [&](int v, int index, float texel) {
        return (float(v - index * LOW_DETAIL_AREA + LOW_DETAIL_MARGIN) + 0.5f) * texel;
    };
    for (int j = j_first; j < j_end;) {
        int j1 = std::min(j_end, (j / SHADING_PIECE_CELLS + 1) * SHADING_PIECE_CELLS);
        int row = std::clamp(j / LOW_DETAIL_AREA, 0, w - 1);
        float tt = row == w - 1 ? last : full;
        for (int i = i_first; i < i_end;) {
            int i1 = std::min(i_end, (i / SHADING_PIECE_CELLS + 1) * SHADING_PIECE_CELLS);
            int col = std::clamp(i / LOW_DETAIL_AREA, 0, w - 1);
            float ts = col == w - 1 ? last : full;
            glBindTexture(GL_TEXTURE_2D, GLuint(hf->low_detail_textures[size_t(col) + size_t(w) * size_t(row)]));
            float s0 = coord(i, col, ts), s1 = coord(i1, col, ts);
            float t0 = coord(j, row, tt), t1 = coord(j1, row, tt);
            float x0 = m.x(float(i) / 2), x1 = m.x(float(i1) / 2);
            float y0 = m.z(float(j) / 2), y1 = m.z(float(j1) / 2);
            glBegin(GL_QUADS);
            square_quad(x0, y0, x1, y1, s0, t0, s1, t1);
            glEnd();
            i = i1;
        }
        j = j1;
    }
}

// Fills the scratch image with low-detail texture (row r, column c): the
// shading from 32 texels before its area on, clamped to the grid, and its
// mipmap chain.
void low_detail_fill(const HeightField* hf, int r, int c)
{
    ImageBuffer& im = low_detail_scratch;
    im.width = low_detail_side_for(hf, c);
    im.height = low_detail_side_for(hf, r);
    im.channels = 3;
    im.pixels.resize(size_t(im.width) * size_t(im.height) * 3);
    int p = hf->vertex_count;
    bool have = p > 0 && hf->shading.size() >= size_t(p) * size_t(p) * 3;
    for (int y = 0; y < im.height; y++)
        for (int x = 0; x < im.width; x++) {
            uint8_t* out = &im.pixels[(size_t(y) * im.width + x) * 3];
            if (!have) {
                out[0] = out[1] = out[2] = 128;
                continue;
            }
            int i = std::clamp(c * LOW_DETAIL_AREA - LOW_DETAIL_MARGIN + x, 0, p - 1);
            int j = std::clamp(r * LOW_DETAIL_AREA - LOW_DETAIL_MARGIN + y, 0, p - 1);
            const uint8_t* s = &hf->shading[(size_t(i) + size_t(p) * size_t(j)) * 3];
            out[0] = s[0];
            out[1] = s[1];
            out[2] = s[2];
        }
    image_build_mipmaps(im);
}

// Builds low-detail texture (r, c): a new texture the first time, after
// that every level replaced in place.
void low_detail_build(HeightField* hf, int r, int c)
{
    size_t k = size_t(c) + size_t(hf->low_detail_side) * size_t(r);
    if (k >= hf->low_detail_textures.size())
        return;
    low_detail_fill(hf, r, c);
    ImageBuffer& im = low_detail_scratch;
    int& id = hf->low_detail_textures[k];
    if (!id) {
        id = int(texture_from_image(im.pixels.data(), im.width, im.height, 3, 0, false, false));
        return;
    }
    glBindTexture(GL_TEXTURE_2D, GLuint(id));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const uint8_t* px = im.pixels.data();
    int w = im.width, h = im.height;
    for (int level = 0;; level++) {
        glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, px);
        px += size_t(w) * size_t(h) * 3;
        if (w == 1 && h == 1)
            break;
        w = std::max(1, w / 2);
        h = std::max(1, h / 2);
    }
}

// After low-detail texture (r, c) changed: the blocks and window textures
// composed from it are out of date.
void low_detail_invalidate(HeightField* hf, int r, int c)
{
    int blocks = blocks_per_side(hf);
    int i0 = c * LOW_DETAIL_AREA, i1 = (c + 1) * LOW_DETAIL_AREA - 1;
    int j0 = r * LOW_DETAIL_AREA, j1 = (r + 1) * LOW_DETAIL_AREA - 1;
    if (hf->block_dirty.size() == size_t(blocks) * size_t(blocks))
        for (int bz = j0 / BLOCK_CELLS; bz <= std::min(j1 / BLOCK_CELLS, blocks - 1); bz++)
            for (int bx = i0 / BLOCK_CELLS; bx <= std::min(i1 / BLOCK_CELLS, blocks - 1); bx++)
                hf->block_dirty[size_t(bx) + size_t(blocks) * size_t(bz)] = true;
    ground_windows_mark_stale(&hf->lod.windows, i0, j0, i1, j1, std::max(1, hf->lod.frame));
}

}  // namespace

void ground_textures_create(HeightField* hf)
{
    int res = std::max(1, hf->ground_texture_resolution);
    int blocks = blocks_per_side(hf);
    hf->block_textures.assign(size_t(blocks) * size_t(blocks), 0);
    for (int& t : hf->block_textures)
        t = int(placeholder_texture(hf, res));
    int ids[GROUND_WINDOW_LEVELS * GROUND_WINDOW_SLOTS];
    for (int& id : ids)
        id = int(placeholder_texture(hf, res));
    ground_windows_reset(&hf->lod.windows, ids);
}

void ground_textures_free(HeightField* hf)
{
    for (std::vector<int>* list : {&hf->low_detail_textures, &hf->block_textures})
        for (int& t : *list)
            if (t) {
                texture_free(GLuint(t));
                t = 0;
            }
    for (auto& level : hf->lod.windows.texture)
        for (int& t : level)
            if (t) {
                texture_free(GLuint(t));
                t = 0;
            }
    if (hf->framebuffer && gl_ep.glDeleteFramebuffersEXT) {
        GLuint fb = hf->framebuffer;
        gl_ep.glDeleteFramebuffersEXT(1, &fb);
    }
    hf->framebuffer = 0;
    ground_windows_reset(&hf->lod.windows, nullptr);
}

bool ground_texture_generate(HeightField* hf, GLuint texture, int first_tile_x, int first_tile_z, int tiles)
{
    if (!texture || tiles <= 0 || hf->order < 1)
        return false;
    int res = std::max(1, hf->ground_texture_resolution);
    bool fbo = have_framebuffer(hf);
    if (fbo) {
        gl_ep.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, hf->framebuffer);
        gl_ep.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, texture, 0);
        GLenum status = gl_ep.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
        if (status != GL_FRAMEBUFFER_COMPLETE_EXT) {
            log_printf("Framebuffer error %x\n", unsigned(status));
            gl_ep.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, 0, 0);
            gl_ep.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
            return false;
        }
    }
    {
        ComposeState state(res, !fbo);
        SquareMap m{float(first_tile_x), float(first_tile_z), 2.0f / float(tiles)};
        draw_tiles(hf, first_tile_x, first_tile_z, tiles, m);
        render_stats().decals += draw_decals(hf, first_tile_x, first_tile_z, tiles, m);
        draw_shading(hf, first_tile_x, first_tile_z, tiles, m);
        if (fbo) {
            gl_ep.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
            glBindTexture(GL_TEXTURE_2D, texture);
            if (gl_ep.glGenerateMipmapEXT)
                gl_ep.glGenerateMipmapEXT(GL_TEXTURE_2D);
        } else {
            glBindTexture(GL_TEXTURE_2D, texture);
            glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, res, res);
        }
    }
    return true;
}

void ground_textures_update(HeightField* hf, int min_level)
{
    if (!hf || hf->order < 1)
        return;
    if (!renderer_checked) {
        renderer_checked = true;
        if (gl_caps.renderer.find("ATI Radeon X1270") != std::string::npos) {
            split_decals = true;
            log_printf("Working around ATI Radeon X1270 bug\n");
        }
    }
    int blocks = blocks_per_side(hf);
    for (int k = 0; k < blocks * blocks; k++)
        if (size_t(k) < hf->block_dirty.size() && hf->block_dirty[size_t(k)] &&
            size_t(k) < hf->block_textures.size()) {
            hf->block_dirty[size_t(k)] = false;
            ground_texture_generate(hf, GLuint(hf->block_textures[size_t(k)]), (k % blocks) * BLOCK_TILES,
                                    (k / blocks) * BLOCK_TILES, BLOCK_TILES);
        }
    GroundWindows& w = hf->lod.windows;
    float spacing = hf->spacing > 0 ? hf->spacing : 1.0f;
    int cx = int(std::floor(std::clamp(hf->lod.camera[0] / spacing, -1e8f, 1e8f)));
    int cz = int(std::floor(std::clamp(hf->lod.camera[2] / spacing, -1e8f, 1e8f)));
    ground_windows_move(&w, cx, cz, hf->order);
    GroundWindowJob job = ground_windows_next(&w, min_level);
    if (job.any)
        ground_texture_generate(hf, GLuint(w.texture[job.level][job.slot]), job.first_tile_x, job.first_tile_z,
                                job.tiles);
}

void low_detail_build_all(HeightField* hf)
{
    int w = hf->low_detail_side;
    for (int r = 0; r < w; r++)
        for (int c = 0; c < w; c++)
            low_detail_build(hf, r, c);
}

void low_detail_refresh(HeightField* hf, int count)
{
    int w = hf->low_detail_side, total = w * w;
    if (total <= 0 || hf->low_detail_dirty.size() != size_t(total))
        return;
    int checked = 0;
    int start = std::clamp(hf->low_detail_cursor, 0, total - 1);
    for (; checked < total && count > 0; checked++) {
        int k = (start + checked) % total;
        if (!hf->low_detail_dirty[size_t(k)])
            continue;
        hf->low_detail_dirty[size_t(k)] = false;
        low_detail_build(hf, k / w, k % w);
        low_detail_invalidate(hf, k / w, k % w);
        count--;
    }
    hf->low_detail_cursor = (start + checked) % total;
}

bool ground_textures_split_decals() { return split_decals; }
