// PPM/PGM and the predictive J6/J7 formats, and the dispatch by first word.
#include "files/image.h"
#include "files/stream.h"

#include <climits>
#include <cstring>

namespace {

// Width and height after the magic, each possibly after comment lines.
bool read_dimensions(Stream* s, int* width, int* height)
{
    stream_skip_comments(s);
    int w = stream_read_int(s);
    stream_skip_comments(s);
    int h = stream_read_int(s);
    if (w == INT_MIN || h == INT_MIN || !image_size_ok(w, h))
        return false;
    *width = w;
    *height = h;
    return true;
}

// Reads `count` raw bytes, growing the buffer only as data arrives so a
// header that promises more than the file holds costs no more memory than
// the file itself.
bool read_bytes_growing(Stream* s, std::vector<uint8_t>* out, size_t count)
{
    const size_t chunk = 1 << 16;
    size_t have = out->size();
    while (count > 0) {
        size_t n = count < chunk ? count : chunk;
        out->resize(have + n);
        size_t got = stream_read(s, out->data() + have, n);
        if (got != n) {
            out->clear();
            return false;
        }
        have += n;
        count -= n;
    }
    return true;
}

}  // namespace

std::string image_read_magic(Stream* s)
{
    char word[16] = {0};
    if (stream_scanf(s, "%15s", word) != 1)
        return std::string();
    return word;
}

bool image_read_pnm_body(Stream* s, const char* magic, ImageBuffer* out)
{
    bool text = std::strcmp(magic, "P3") == 0 || std::strcmp(magic, "P2") == 0;
    bool raw = std::strcmp(magic, "P6") == 0 || std::strcmp(magic, "P5") == 0;
    if (!text && !raw)
        return false;
    int channels = (magic[1] == '3' || magic[1] == '6') ? 3 : 1;
    int w, h;
    if (!read_dimensions(s, &w, &h))
        return false;
    stream_skip_comments(s);
    int maxval = stream_read_int(s);
    // Raw samples are single bytes, so their maximum cannot pass 255.
    if (maxval < 1 || maxval > (raw ? 255 : 65535))
        return false;
    size_t count = size_t(w) * size_t(h) * size_t(channels);
    out->width = w;
    out->height = h;
    out->channels = channels;
    out->max_alpha_mips = false;
    out->pixels.clear();
    if (raw) {
        if (stream_getc(s) < 0)  // the one white-space byte after the maximum
            return false;
        if (!read_bytes_growing(s, &out->pixels, count))
            return false;
        if (maxval != 255)
            for (uint8_t& v : out->pixels)
                v = uint8_t((v > maxval ? maxval : v) * 255 / maxval);
        return true;
    }
    // The buffer grows with the values actually read, never to the size
    // the header claims up front.
    for (size_t i = 0; i < count; i++) {
        stream_skip_comments(s);
        int v = stream_read_int(s);
        // A text picture that ends early is broken, not a picture padded
        // with some arbitrary value.
        if (v == INT_MIN) {
            out->pixels.clear();
            return false;
        }
        v = v < 0 ? 0 : (v > maxval ? maxval : v);
        out->pixels.push_back(uint8_t(maxval == 255 ? v : v * 255 / maxval));
    }
    return true;
}

bool image_read_j_body(Stream* s, int channels, ImageBuffer* out)
{
    int w, h;
    if (!read_dimensions(s, &w, &h))
        return false;
    if (stream_getc(s) < 0)  // separator byte
        return false;
    out->width = w;
    out->height = h;
    out->channels = channels;
    out->max_alpha_mips = false;
    out->pixels.clear();
    size_t row = size_t(w) * size_t(channels);
    std::vector<uint8_t> deltas;
    for (int y = 0; y < h; y++) {
        deltas.clear();
        if (!read_bytes_growing(s, &deltas, row)) {
            out->pixels.clear();
            return false;
        }
        size_t base = out->pixels.size();
        out->pixels.resize(base + row);
        uint8_t* cur = &out->pixels[base];
        const uint8_t* up = y > 0 ? cur - row : nullptr;
        for (int x = 0; x < w; x++) {
            for (int c = 0; c < channels; c++) {
                size_t i = size_t(x) * size_t(channels) + size_t(c);
                int pred = image_j_predict(cur, up, i, size_t(x), channels);
                cur[i] = uint8_t(pred + deltas[i]);
            }
        }
    }
    return true;
}

bool image_read_colour(Stream* s, ImageBuffer* out)
{
    std::string magic = image_read_magic(s);
    if (magic == "P3" || magic == "P6")
        return image_read_pnm_body(s, magic.c_str(), out);
    if (magic == "J6")
        return image_read_j_body(s, 3, out);
    if (magic != "J7" || !image_read_j_body(s, 4, out))
        return false;
    size_t n = size_t(out->width) * size_t(out->height);
    for (size_t i = 0; i < n; i++)
        for (int c = 0; c < 3; c++)
            out->pixels[i * 3 + size_t(c)] = out->pixels[i * 4 + size_t(c)];
    out->pixels.resize(n * 3);
    out->channels = 3;
    return true;
}

bool image_read_grey(Stream* s, ImageBuffer* out)
{
    std::string magic = image_read_magic(s);
    if (magic != "P2" && magic != "P5")
        return false;
    return image_read_pnm_body(s, magic.c_str(), out);
}

namespace {

// Widens RGB to RGBA with the given alpha.
void add_alpha(ImageBuffer* im, uint8_t alpha)
{
    size_t n = size_t(im->width) * size_t(im->height);
    std::vector<uint8_t> rgba(n * 4);
    for (size_t i = 0; i < n; i++) {
        rgba[i * 4] = im->pixels[i * 3];
        rgba[i * 4 + 1] = im->pixels[i * 3 + 1];
        rgba[i * 4 + 2] = im->pixels[i * 3 + 2];
        rgba[i * 4 + 3] = alpha;
    }
    im->pixels.swap(rgba);
    im->channels = 4;
}

}  // namespace

bool image_read_rgba(const char* name, ImageBuffer* out)
{
    Stream* s = stream_open(name, "rb");
    if (!s)
        return false;
    std::string magic = image_read_magic(s);
    bool ok = false;
    if (magic == "J7") {
        ok = image_read_j_body(s, 4, out);
    } else if (magic == "J6") {
        ok = image_read_j_body(s, 3, out);
        if (ok)
            add_alpha(out, 0);
    }
    stream_close(s);
    if (ok)
        return true;
    s = stream_open(name, "rb");
    if (!s)
        return false;
    ok = image_read_png_stream(s, out);
    stream_close(s);
    if (ok && out->channels == 3)
        add_alpha(out, 255);
    return ok;
}

ImageLoadResult image_load_texture(const char* name, ImageBuffer* out, ImageSequence* seq)
{
    Stream* s = stream_open(name, "rb");
    if (!s)
        return IMAGE_LOAD_MISSING;
    std::string magic = image_read_magic(s);
    bool ok = false;
    if (magic == "J7")
        ok = image_read_j_body(s, 4, out);
    else if (magic == "J6")
        ok = image_read_j_body(s, 3, out);
    else if (magic == "P3" || magic == "P6")
        ok = image_read_pnm_body(s, magic.c_str(), out);
    else if (magic == "ANIM1" && seq) {
        bool seq_ok = image_read_sequence(s, seq);
        if (seq_ok) {
            stream_close(s);
            return IMAGE_LOAD_SEQUENCE;
        }
    }
    stream_close(s);
    if (!ok) {
        s = stream_open(name, "rb");
        if (!s)
            return IMAGE_LOAD_MISSING;
        ok = image_read_png_stream(s, out);
        stream_close(s);
    }
    if (!ok)
        return IMAGE_LOAD_FAILED;
    image_build_mipmaps(*out);
    return IMAGE_LOAD_PICTURE;
}
