// PNG reading and writing through our streams. libpng reports errors by
// jumping back to setjmp, so the functions that set it up hold only plain
// pointers; every buffer lives in the caller's frame.
#include "files/image.h"
#include "files/stream.h"
#include "platform/log.h"

#include <cstring>
#include <png.h>

namespace {

void read_from_stream(png_structp png, png_bytep data, png_size_t length)
{
    Stream* s = static_cast<Stream*>(png_get_io_ptr(png));
    if (stream_read(s, data, length) != length)
        png_error(png, "truncated data");
}

void write_to_stream(png_structp png, png_bytep data, png_size_t length)
{
    Stream* s = static_cast<Stream*>(png_get_io_ptr(png));
    if (stream_write(s, data, length) != length)
        png_error(png, "write failed");
}

void flush_stream(png_structp png)
{
    stream_flush(static_cast<Stream*>(png_get_io_ptr(png)));
}

// Errors fail the read quietly (the caller decides what to report);
// warnings are dropped.
void on_error(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

bool has_mip_max_alpha(png_structp png, png_infop info)
{
    png_textp text = nullptr;
    int count = 0;
    png_get_text(png, info, &text, &count);
    for (int i = 0; i < count; i++) {
        if (text[i].key && std::strstr(text[i].key, "[mip_max_alpha]"))
            return true;
        if (text[i].text && std::strstr(text[i].text, "[mip_max_alpha]"))
            return true;
    }
    return false;
}

// What one decode needs across the jump, owned by the caller.
struct PngRead {
    Stream* stream;
    bool want16;                   // 16-bit grey instead of 8-bit RGB(A)
    std::vector<uint8_t>* pixels;  // decoded rows
    std::vector<png_bytep>* rows;  // row pointers into pixels
    int width, height, channels, bytes_per_sample;
    bool max_alpha;
};

bool png_decode(PngRead* r)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, on_error, on_warning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, r->stream, read_from_stream);
    // Refuse huge pictures before libpng allocates anything for them.
    png_set_user_limits(png, IMAGE_MAX_SIDE, IMAGE_MAX_SIDE);
    png_read_info(png, info);
    png_uint_32 w = png_get_image_width(png, info);
    png_uint_32 h = png_get_image_height(png, info);
    if (!image_size_ok(w, h))
        png_error(png, "too large");
    int type = png_get_color_type(png, info);
    int depth = png_get_bit_depth(png, info);
    if (type == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (r->want16) {
        if (type & PNG_COLOR_MASK_ALPHA)
            png_set_strip_alpha(png);
        if (type == PNG_COLOR_TYPE_PALETTE || (type & PNG_COLOR_MASK_COLOR))
            png_set_rgb_to_gray_fixed(png, 1, -1, -1);
    } else {
        if (png_get_valid(png, info, PNG_INFO_tRNS))
            png_set_tRNS_to_alpha(png);
        if (depth == 16)
            png_set_strip_16(png);
        if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA)
            png_set_gray_to_rgb(png);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    int channels = png_get_channels(png, info);
    int out_depth = png_get_bit_depth(png, info);
    if (r->want16 ? channels != 1 : (channels != 3 && channels != 4))
        png_error(png, "unexpected layout");
    size_t row = png_get_rowbytes(png, info);
    r->pixels->resize(row * h);
    r->rows->resize(h);
    for (png_uint_32 y = 0; y < h; y++)
        (*r->rows)[y] = r->pixels->data() + row * y;
    png_read_image(png, r->rows->data());
    png_read_end(png, info);
    r->width = int(w);
    r->height = int(h);
    r->channels = channels;
    r->bytes_per_sample = out_depth / 8;
    r->max_alpha = has_mip_max_alpha(png, info);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

bool image_read_png_stream(Stream* s, ImageBuffer* out)
{
    std::vector<png_bytep> rows;
    PngRead r = {s, false, &out->pixels, &rows, 0, 0, 0, 0, false};
    if (!png_decode(&r)) {
        out->pixels.clear();
        return false;
    }
    out->width = r.width;
    out->height = r.height;
    out->channels = r.channels;
    out->max_alpha_mips = r.max_alpha;
    return true;
}

bool image_read_png16_stream(Stream* s, std::vector<uint16_t>* samples, int* width, int* height)
{
    if (!s)
        return false;
    std::vector<uint8_t> bytes;
    std::vector<png_bytep> rows;
    PngRead r = {s, true, &bytes, &rows, 0, 0, 0, 0, false};
    if (!png_decode(&r))
        return false;
    size_t n = size_t(r.width) * size_t(r.height);
    samples->resize(n);
    for (size_t i = 0; i < n; i++)
        (*samples)[i] = r.bytes_per_sample == 2 ? uint16_t(bytes[i * 2] << 8 | bytes[i * 2 + 1])
                                                : uint16_t(bytes[i] * 257);
    *width = r.width;
    *height = r.height;
    return true;
}

bool image_read_png16(const char* name, std::vector<uint16_t>* samples, int* width, int* height)
{
    Stream* s = stream_open(name, "rb");
    if (!s)
        return false;
    bool ok = image_read_png16_stream(s, samples, width, height);
    stream_close(s);
    return ok;
}

namespace {

struct PngWrite {
    Stream* stream;
    int width, height, color_type, bit_depth;
    const uint8_t* const* rows;
};

bool png_encode(PngWrite* w)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, on_error, on_warning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, w->stream, write_to_stream, flush_stream);
    png_set_IHDR(png, info, png_uint_32(w->width), png_uint_32(w->height), w->bit_depth, w->color_type,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < w->height; y++)
        png_write_row(png, const_cast<png_bytep>(w->rows[y]));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// The rows of a 16-bit grey picture, big-endian as PNG stores them.
std::vector<uint8_t> png16_bytes(const uint16_t* samples, int width, int height,
                                 std::vector<const uint8_t*>* rows)
{
    std::vector<uint8_t> bytes(size_t(width) * size_t(height) * 2);
    for (size_t i = 0; i < size_t(width) * size_t(height); i++) {
        bytes[i * 2] = uint8_t(samples[i] >> 8);
        bytes[i * 2 + 1] = uint8_t(samples[i] & 0xff);
    }
    rows->assign(size_t(height), nullptr);
    for (int y = 0; y < height; y++)
        (*rows)[size_t(y)] = &bytes[size_t(y) * size_t(width) * 2];
    return bytes;
}

bool write_png(const char* name, int width, int height, int color_type, int depth,
               const std::vector<const uint8_t*>& rows)
{
    if (!image_size_ok(width, height))
        return false;
    Stream* s = stream_open(name, "wb");
    if (!s) {
        log_printf("Can't open '%.950s'\n", name);
        return false;
    }
    PngWrite w = {s, width, height, color_type, depth, rows.data()};
    bool ok = png_encode(&w);
    ok = stream_flush(s) == 0 && stream_ok(s) && ok;
    stream_close(s);
    if (!ok)
        log_printf("Error writing '%.950s'\n", name);
    return ok;
}

}  // namespace

bool image_write_png16_stream(Stream* s, const uint16_t* samples, int width, int height)
{
    if (!s || !image_size_ok(width, height))
        return false;
    std::vector<const uint8_t*> rows;
    std::vector<uint8_t> bytes = png16_bytes(samples, width, height, &rows);
    PngWrite w = {s, width, height, PNG_COLOR_TYPE_GRAY, 16, rows.data()};
    return png_encode(&w);
}

bool image_write_png16(const char* name, const uint16_t* samples, int width, int height)
{
    if (!image_size_ok(width, height))
        return false;
    std::vector<const uint8_t*> rows;
    std::vector<uint8_t> bytes = png16_bytes(samples, width, height, &rows);
    return write_png(name, width, height, PNG_COLOR_TYPE_GRAY, 16, rows);
}

bool image_write_png_rgb(const char* name, const uint8_t* pixels, int width, int height)
{
    if (!image_size_ok(width, height))
        return false;
    std::vector<const uint8_t*> rows(size_t(height), nullptr);
    for (int y = 0; y < height; y++)
        rows[size_t(y)] = pixels + size_t(height - 1 - y) * size_t(width) * 3;
    return write_png(name, width, height, PNG_COLOR_TYPE_RGB, 8, rows);
}
