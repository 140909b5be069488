// Ground textures composed on the GPU, through a framebuffer object and
// through the back buffer: the tiles' colours times twice the shading, the
// decals on top, and the bookkeeping that decides what to compose a frame.
#include "render/ground_textures.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "files/image.h"
#include "render/gl_caps.h"
#include "render/render_gl_support.h"
#include "render/scene_stats.h"
#include "render/texture.h"
#include "track/terrain.h"

namespace {

constexpr int ORDER = 7, CELLS = 256, P = CELLS + 1, RES = 64;
const int TILE_A[3] = {180, 120, 60}, TILE_B[3] = {70, 170, 110}, DECAL[3] = {30, 60, 220};
constexpr float DECAL_X = 100, DECAL_Z = 60;

// The shading, linear in the vertex position so that every filter the
// composition may use reproduces it exactly away from the grid's edges.
void shade_at(double i, double j, double out[3])
{
    out[0] = 64 + i / 4;
    out[1] = 160 - j / 4;
    out[2] = 100 + (i + j) / 8;
}

int tile_surface(int tx, int tz) { return (tx / 3 + tz / 5) % 2; }

GLuint solid_texture(const int rgb[3], int channels)
{
    ImageBuffer im;
    im.width = im.height = 16;
    im.channels = channels;
    im.pixels.resize(16 * 16 * size_t(channels));
    for (size_t k = 0; k < 16 * 16; k++)
        for (int c = 0; c < channels; c++)
            im.pixels[k * size_t(channels) + size_t(c)] = uint8_t(c < 3 ? rgb[c] : 255);
    image_build_mipmaps(im);
    return texture_from_image(im.pixels.data(), 16, 16, channels, 0, false, false);
}

// A 256-cell ground (2 x 2 blocks, one low-detail texture) of two surfaces
// and one decal, composed through a framebuffer when fbo is set.
struct Ground {
    HeightField hf;
    GLuint tiles[2] = {0, 0}, decal = 0;
    explicit Ground(bool fbo)
    {
        hf.order = ORDER;
        hf.vertex_count = P;
        hf.spacing = 1;
        hf.tile_size = 2;
        hf.extent = CELLS;
        hf.ground_texture_resolution = RES;
        hf.shading.resize(size_t(P) * P * 3);
        for (int j = 0; j < P; j++)
            for (int i = 0; i < P; i++) {
                double s[3];
                shade_at(i, j, s);
                for (int c = 0; c < 3; c++)
                    hf.shading[(size_t(j) * P + i) * 3 + c] = uint8_t(std::lround(s[c]));
            }
        int side = 1 << ORDER;
        hf.tilemap.resize(size_t(side) * side);
        for (int tz = 0; tz < side; tz++)
            for (int tx = 0; tx < side; tx++)
                hf.tilemap[size_t(tz) * side + tx] = uint8_t(tile_surface(tx, tz));
        tiles[0] = solid_texture(TILE_A, 3);
        tiles[1] = solid_texture(TILE_B, 3);
        hf.surfaces[0].texture = int(tiles[0]);
        hf.surfaces[1].texture = int(tiles[1]);
        hf.surface_count = 2;
        hf.low_detail_side = 1;
        hf.low_detail_textures.assign(1, 0);
        hf.low_detail_dirty.assign(1, false);
        low_detail_build_all(&hf);
        hf.block_dirty.assign(4, true);
        if (fbo)
            gl_ep.glGenFramebuffersEXT(1, &hf.framebuffer);
        ground_textures_create(&hf);
        decal = solid_texture(DECAL, 4);
        Decal d;
        d.texture = int(decal);
        d.x = DECAL_X;
        d.z = DECAL_Z;
        d.size = 10;
        d.angle = 0.3f;
        d.sin_angle = std::sin(d.angle);
        d.cos_angle = std::cos(d.angle);
        hf.decals.push_back(d);
        terrain_decal_insert(&hf, 0);
    }
    ~Ground()
    {
        ground_textures_free(&hf);
        for (GLuint t : {tiles[0], tiles[1], decal})
            texture_free(t);
    }
};

std::vector<uint8_t> texture_pixels(GLuint texture)
{
    std::vector<uint8_t> px(size_t(RES) * RES * 3);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    return px;
}

// What texel (x, y) of a texture over tiles first_x.., first_z.. (tiles a
// side) should hold without decals: the tile colour times twice the shading.
void expected_texel(int first_x, int first_z, int tiles, int x, int y, double out[3])
{
    double tx = first_x + (x + 0.5) * tiles / RES, tz = first_z + (y + 0.5) * tiles / RES;
    const int* colour = tile_surface(int(tx), int(tz)) ? TILE_B : TILE_A;
    double s[3];
    shade_at(2 * tx, 2 * tz, s);
    for (int c = 0; c < 3; c++)
        out[c] = std::min(255.0, 2 * colour[c] * s[c] / 255);
}

// Largest difference from the expected texels over the texels at least 8
// cells inside the grid and away from the decal.
int worst_texel_error(const std::vector<uint8_t>& px, int first_x, int first_z, int tiles)
{
    int worst = 0;
    for (int y = 0; y < RES; y++)
        for (int x = 0; x < RES; x++) {
            double tx = first_x + (x + 0.5) * tiles / RES, tz = first_z + (y + 0.5) * tiles / RES;
            if (2 * tx < 8 || 2 * tz < 8 || 2 * tx > CELLS - 8 || 2 * tz > CELLS - 8)
                continue;
            if (std::hypot(2 * tx - DECAL_X, 2 * tz - DECAL_Z) < 12)
                continue;
            double want[3];
            expected_texel(first_x, first_z, tiles, x, y, want);
            for (int c = 0; c < 3; c++)
                worst = std::max(worst, int(std::lround(std::fabs(px[(size_t(y) * RES + x) * 3 + c] - want[c]))));
        }
    return worst;
}

struct Composed {
    std::vector<uint8_t> block, window;
};

// Block (0, 0) and the 8 x 8-tile square around the decal, composed.
Composed compose(Ground& g)
{
    Composed out;
    GLuint block = GLuint(g.hf.block_textures[0]), window = GLuint(g.hf.lod.windows.texture[3][0]);
    EXPECT_TRUE(ground_texture_generate(&g.hf, block, 0, 0, 64));
    long decals_before = render_stats().decals;
    EXPECT_TRUE(ground_texture_generate(&g.hf, window, 44, 26, 8));
    EXPECT_EQ(render_stats().decals - decals_before, 1);
    out.block = texture_pixels(block);
    out.window = texture_pixels(window);
    return out;
}

void check_composed(const Composed& c, const char* path)
{
    SCOPED_TRACE(path);
    EXPECT_LE(worst_texel_error(c.block, 0, 0, 64), 3);
    EXPECT_LE(worst_texel_error(c.window, 44, 26, 8), 3);
    // The decal's centre (tile 50, 30) shows the decal's colour, shaded.
    int x = (50 - 44) * RES / 8, y = (30 - 26) * RES / 8;
    double s[3];
    shade_at(DECAL_X, DECAL_Z, s);
    for (int k = 0; k < 3; k++)
        EXPECT_NEAR(c.window[(size_t(y) * RES + x) * 3 + k], std::min(255.0, 2 * DECAL[k] * s[k] / 255), 3) << k;
}

bool have_framebuffers() { return gl_caps.framebuffer_object && gl_ep.glGenFramebuffersEXT; }

void query_caps_once()
{
    static bool done = false;
    if (!done) {
        done = true;
        gl_caps_query();
    }
}

}  // namespace

TEST(GroundTextures, FramebufferAndCopyBackComposeTilesDecalsAndShading)
{
    REQUIRE_GL_WINDOW();
    query_caps_once();
    Composed copied;
    {
        Ground g(false);
        copied = compose(g);
        check_composed(copied, "copy-back");
    }
    if (!have_framebuffers())
        GTEST_SKIP() << "no framebuffer objects";
    Ground g(true);
    Composed drawn = compose(g);
    check_composed(drawn, "framebuffer");
    int worst = 0;
    for (size_t k = 0; k < drawn.window.size(); k++)
        worst = std::max({worst, std::abs(drawn.window[k] - copied.window[k]), std::abs(drawn.block[k] - copied.block[k])});
    EXPECT_LE(worst, 2);
}

TEST(GroundTextures, IncompleteFramebufferLeavesTheTextureAsItWas)
{
    REQUIRE_GL_WINDOW();
    query_caps_once();
    if (!have_framebuffers())
        GTEST_SKIP() << "no framebuffer objects";
    Ground g(true);
    // A depth texture cannot be a colour attachment.
    std::vector<float> depth(size_t(RES) * RES);
    for (size_t k = 0; k < depth.size(); k++)
        depth[k] = float(k % 7) / 8;
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, RES, RES, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    LogCapture log("fb");
    EXPECT_FALSE(ground_texture_generate(&g.hf, tex, 0, 0, 64));
    std::vector<float> after(depth.size());
    glBindTexture(GL_TEXTURE_2D, tex);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_FLOAT, after.data());
    float worst = 0;
    for (size_t k = 0; k < depth.size(); k++)
        worst = std::max(worst, std::fabs(after[k] - depth[k]));
    EXPECT_LT(worst, 1e-4f);
    std::string text = log.text();
    EXPECT_NE(text.find("Framebuffer error 8cd"), std::string::npos) << text;
    // The framebuffer is let go: the window is drawn to again.
    GLint bound = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    EXPECT_EQ(bound, 0);
    texture_free(tex);
}

TEST(GroundTextures, BlocksFirstThenOneWindowAFrameAndShadingChangesRecompose)
{
    REQUIRE_GL_WINDOW();
    query_caps_once();
    Ground g(have_framebuffers());
    HeightField& hf = g.hf;
    hf.lod.camera[0] = hf.lod.camera[2] = 128;
    auto ready = [&]() {
        int n = 0;
        for (int t = 1; t < GROUND_WINDOW_LEVELS; t++)
            for (bool r : hf.lod.windows.ready[t])
                n += r;
        return n;
    };
    // The first frame composes every block and one window texture.
    ground_textures_update(&hf, 1);
    for (bool dirty : hf.block_dirty)
        EXPECT_FALSE(dirty);
    EXPECT_EQ(ready(), 1);
    EXPECT_LE(worst_texel_error(texture_pixels(GLuint(hf.block_textures[3])), 64, 64, 64), 3);
    for (int frame = 2; frame <= 5; frame++) {
        ground_textures_update(&hf, 1);
        EXPECT_EQ(ready(), frame);
    }

    // Brighter shading over the whole ground: the low-detail texture is
    // rebuilt, every block is redone and the composed windows go stale.
    for (uint8_t& v : hf.shading)
        v = uint8_t(std::min(255, v + 20));
    hf.low_detail_dirty[0] = true;
    hf.lod.frame = 40;
    low_detail_refresh(&hf, 1);
    EXPECT_FALSE(hf.low_detail_dirty[0]);
    for (bool dirty : hf.block_dirty)
        EXPECT_TRUE(dirty);
    int stale = 0;
    for (int t = 0; t < GROUND_WINDOW_LEVELS; t++)
        for (int k = 0; k < GROUND_WINDOW_SLOTS; k++)
            stale += hf.lod.windows.stale[t][k] == 40;
    EXPECT_EQ(stale, GROUND_WINDOW_LEVELS * GROUND_WINDOW_SLOTS);
    std::vector<uint8_t> before = texture_pixels(GLuint(hf.block_textures[3]));
    ground_textures_update(&hf, 1);
    std::vector<uint8_t> after = texture_pixels(GLuint(hf.block_textures[3]));
    long brighter = 0;
    for (size_t k = 0; k < after.size(); k++)
        brighter += after[k] > before[k] + 5;
    EXPECT_GT(brighter, long(after.size()) / 2);
}
