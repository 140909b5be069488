// Texture cache, upload and animations.
#include "render/texture.h"
#include "files/image.h"
#include "platform/log.h"
#include "render/text.h"

#include <GL/glext.h>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

namespace {

struct TextureEntry {
    GLuint texture;
    int generation;  // last used in; 0 = permanent
    long long bytes;
    std::string name;
};

struct Animation {
    GLuint texture;
    ImageSequence seq;
    int shown;  // image now in the texture
    int start;  // race tick of frame 0
    bool paused;
    int detail;
};

std::vector<TextureEntry> g_cache;
std::vector<Animation> g_anims;
int g_generation = 0;
long long g_memory = 0;
int g_detail = 0;
int g_debug = 0;

// GL_CLAMP_TO_EDGE is core since 1.2, but an old driver may refuse it; it
// is tried once and remembered.
int g_clamp_to_edge = -1;  // -1 unknown, 0 refused, 1 works

bool name_has(const char* name, const char* part)
{
    return std::strstr(name, part) != nullptr;
}

// Border colour for clamped RGB textures when GL_CLAMP_TO_EDGE is refused:
// the most common colour along the picture's edges, on a histogram with 8
// levels per channel (the centre of the winning bin).
void edge_colour(const uint8_t* px, int w, int h, int channels, float out[4])
{
    std::vector<int> bins(512, 0);
    auto add = [&](int x, int y) {
        const uint8_t* p = px + (size_t(y) * size_t(w) + size_t(x)) * size_t(channels);
        bins[size_t((p[0] >> 5) << 6 | (p[1] >> 5) << 3 | (p[2] >> 5))]++;
    };
    for (int x = 0; x < w; x++) {
        add(x, 0);
        add(x, h - 1);
    }
    for (int y = 0; y < h; y++) {
        add(0, y);
        add(w - 1, y);
    }
    int best = 0;
    for (int i = 1; i < 512; i++)
        if (bins[size_t(i)] > bins[size_t(best)])
            best = i;
    out[0] = float(((best >> 6) & 7) * 32 + 16) / 255.0f;
    out[1] = float(((best >> 3) & 7) * 32 + 16) / 255.0f;
    out[2] = float((best & 7) * 32 + 16) / 255.0f;
    out[3] = 1.0f;
}

GLuint upload(const uint8_t* pixels, int w, int h, int channels, bool repeat_s, bool repeat_t)
{
    GLuint tex = 0;
    glGenTextures(1, &tex);
    if (!tex)
        return 0;
    glBindTexture(GL_TEXTURE_2D, tex);
    bool edge_ok = true;
    for (int axis = 0; axis < 2; axis++) {
        GLenum pname = axis == 0 ? GL_TEXTURE_WRAP_S : GL_TEXTURE_WRAP_T;
        bool repeat = axis == 0 ? repeat_s : repeat_t;
        if (repeat) {
            glTexParameteri(GL_TEXTURE_2D, pname, GL_REPEAT);
            continue;
        }
        glTexParameteri(GL_TEXTURE_2D, pname, GL_CLAMP);
        if (g_clamp_to_edge != 0) {
            while (glGetError() != GL_NO_ERROR) {
            }
            glTexParameteri(GL_TEXTURE_2D, pname, GL_CLAMP_TO_EDGE);
            g_clamp_to_edge = glGetError() == GL_NO_ERROR ? 1 : 0;
        }
        if (g_clamp_to_edge == 0)
            edge_ok = false;
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, edge_ok ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    if (channels == 4) {
        const float clear[4] = {0, 0, 0, 0};
        glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, clear);
    } else if (!edge_ok) {
        float border[4];
        edge_colour(pixels, w, h, channels, border);
        glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLenum format = channels == 4 ? GL_RGBA : channels == 3 ? GL_RGB : GL_LUMINANCE;
    const uint8_t* p = pixels;
    for (int level = 0;; level++) {
        glTexImage2D(GL_TEXTURE_2D, level, channels, w, h, 0, format, GL_UNSIGNED_BYTE, p);
        long long size = (long long)w * h * channels;
        g_memory += size;
        p += size;
        if (w == 1 && h == 1)
            break;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    return tex;
}

Animation* find_anim(GLuint texture)
{
    for (Animation& a : g_anims)
        if (a.texture == texture)
            return &a;
    return nullptr;
}

// Replaces every level of an animation's texture with one of its images.
void show_image(Animation& a, int image)
{
    const ImageBuffer& im = a.seq.images[size_t(image)];
    size_t offset;
    int w, h;
    image_detail_level(im, a.detail, &offset, &w, &h);
    glBindTexture(GL_TEXTURE_2D, a.texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLenum format = im.channels == 4 ? GL_RGBA : GL_RGB;
    const uint8_t* p = im.pixels.data() + offset;
    for (int level = 0;; level++) {
        glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, format, GL_UNSIGNED_BYTE, p);
        p += size_t(w) * size_t(h) * size_t(im.channels);
        if (w == 1 && h == 1)
            break;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    a.shown = image;
}

}  // namespace

GLuint texture_from_image(const uint8_t* pixels, int width, int height, int channels, int detail, bool repeat_s,
                          bool repeat_t)
{
    if (!pixels || !image_size_ok(width, height) || (channels != 3 && channels != 4))
        return 0;
    ImageBuffer resampled;
    if (!image_is_pow2(width) || !image_is_pow2(height)) {
        resampled.width = width;
        resampled.height = height;
        resampled.channels = channels;
        resampled.pixels.assign(pixels, pixels + size_t(width) * size_t(height) * size_t(channels));
        image_resample_pow2(resampled);
        pixels = resampled.pixels.data();
        width = resampled.width;
        height = resampled.height;
    }
    while (detail > 0 && width > 128 && height > 128) {
        pixels += size_t(width) * size_t(height) * size_t(channels);
        width /= 2;
        height /= 2;
        detail--;
    }
    return upload(pixels, width, height, channels, repeat_s, repeat_t);
}

GLuint texture_load(const char* requested)
{
    if (!requested || !*requested)
        return 0;
    int detail = g_detail;
    const char* name = requested;
    if (*name == '!') {
        name++;
        detail = 0;
    }
    for (TextureEntry& e : g_cache) {
        bool exact = e.name == name;
        if (!exact && strcasecmp(e.name.c_str(), name) != 0)
            continue;
        if (!exact)
            log_printf("Warning: case mismatch on '%.900s'\n", name);
        if (e.generation != 0 && e.generation != g_generation) {
            e.generation = g_generation;
            g_memory += e.bytes;
        }
        return e.texture;
    }
    bool rep_both = name_has(name, "-repeat.");
    bool repeat_s = rep_both || name_has(name, "-hrepeat.");
    bool repeat_t = rep_both || name_has(name, "-vrepeat.");
    long long before = g_memory;
    ImageBuffer im;
    ImageSequence seq;
    ImageLoadResult r = image_load_texture(name, &im, &seq);
    GLuint tex = 0;
    int width = 0, height = 0;
    if (r == IMAGE_LOAD_MISSING) {
        if (g_debug >= 1)
            log_printf("Can't open texture \"%.900s\"\n", name);
        return 0;
    }
    if (r == IMAGE_LOAD_PICTURE) {
        width = im.width;
        height = im.height;
        tex = texture_from_image(im.pixels.data(), im.width, im.height, im.channels, detail, repeat_s, repeat_t);
    } else if (r == IMAGE_LOAD_SEQUENCE) {
        width = seq.images[0].width;
        height = seq.images[0].height;
        // Frames are swapped with sub-image uploads, so every image must
        // already have the texture's power-of-two size.
        for (ImageBuffer& frame : seq.images)
            image_resample_pow2(frame);
        Animation a;
        a.seq = std::move(seq);
        a.shown = a.seq.frames[0];
        a.start = 0;
        a.paused = false;
        a.detail = detail;
        const ImageBuffer& first = a.seq.images[size_t(a.shown)];
        tex = texture_from_image(first.pixels.data(), first.width, first.height, first.channels, detail, repeat_s,
                                 repeat_t);
        if (tex) {
            a.texture = tex;
            g_anims.push_back(std::move(a));
        }
    }
    if (!tex)
        return 0;
    if (!image_is_pow2(width) || !image_is_pow2(height))
        log_printf("Warning: Non power of 2 texture '%.950s'\n", name);
    g_cache.push_back({tex, g_generation, g_memory - before, name});
    return tex;
}

const char* texture_name_of(GLuint texture)
{
    for (const TextureEntry& e : g_cache)
        if (e.texture == texture)
            return e.name.c_str();
    return nullptr;
}

void texture_generation_next()
{
    g_generation++;
    g_memory = 0;
}

int texture_generation()
{
    return g_generation;
}

void texture_sweep()
{
    std::vector<TextureEntry> kept;
    for (const TextureEntry& e : g_cache) {
        if (e.generation == 0 || e.generation == g_generation) {
            kept.push_back(e);
            continue;
        }
        if (g_debug >= 1)
            log_printf("deleting tid %d (%.900s)\n", int(e.texture), e.name.c_str());
        glDeleteTextures(1, &e.texture);
    }
    g_cache.swap(kept);
    std::vector<Animation> anims;
    for (size_t i = 0; i < g_anims.size(); i++) {
        if (texture_name_of(g_anims[i].texture)) {
            anims.push_back(std::move(g_anims[i]));
            continue;
        }
        if (g_debug >= 1)
            log_printf("deleting anim %d for tid %d\n", int(i), int(g_anims[i].texture));
    }
    g_anims.swap(anims);
}

void texture_release_all()
{
    for (const TextureEntry& e : g_cache)
        glDeleteTextures(1, &e.texture);
    g_cache.clear();
    g_anims.clear();
    g_memory = 0;
}

long long texture_memory()
{
    return g_memory;
}

void texture_set_detail(int detail)
{
    g_detail = detail < 0 ? 0 : (detail > 4 ? 4 : detail);
}

int texture_detail()
{
    return g_detail;
}

void texture_set_debug(int level)
{
    g_debug = level;
}

void texture_free(GLuint texture)
{
    if (texture)
        glDeleteTextures(1, &texture);
}

void anim_update(int tick)
{
    for (Animation& a : g_anims) {
        if (a.paused)
            continue;
        int image = image_sequence_frame_image(a.seq, tick, a.start);
        if (image != a.shown)
            show_image(a, image);
    }
}

void anim_start(GLuint texture, int tick)
{
    if (Animation* a = find_anim(texture)) {
        a->paused = false;
        a->start = tick;
    }
}

void anim_stop(GLuint texture)
{
    if (Animation* a = find_anim(texture))
        a->paused = true;
}

GLuint texture_text(int width, int height, const char* text)
{
    if (!image_size_ok(width, height))
        return 0;
    ImageBuffer im;
    im.width = width;
    im.height = height;
    im.channels = 4;
    im.pixels.resize(size_t(width) * size_t(height) * 4);
    for (size_t i = 0; i < im.pixels.size(); i += 4) {
        im.pixels[i] = im.pixels[i + 1] = im.pixels[i + 2] = 255;
        im.pixels[i + 3] = 0;
    }
    text_into_pixels(im.pixels.data(), width, height, 1, 1, 1, 1, text);
    image_build_mipmaps(im);
    // Clear the outermost ring of every level so the clamped edge of the
    // plate stays transparent at any distance.
    size_t at = 0;
    int w = width, h = height;
    for (;;) {
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++) {
                if (x != 0 && y != 0 && x != w - 1 && y != h - 1)
                    continue;
                uint8_t* p = &im.pixels[at + (size_t(y) * size_t(w) + size_t(x)) * 4];
                p[0] = p[1] = p[2] = 255;
                p[3] = 0;
            }
        }
        at += size_t(w) * size_t(h) * 4;
        if (w == 1 && h == 1)
            break;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    return texture_from_image(im.pixels.data(), width, height, 4, 0, false, false);
}
