#include "track/terrain_png.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

#include "files/stream.h"

namespace {

constexpr png_uint_32 PNG_MAX_SIDE = 8192;  // keeps a hostile header from taking gigabytes

void read_from_stream(png_structp png, png_bytep data, png_size_t len)
{
    Stream* s = static_cast<Stream*>(png_get_io_ptr(png));
    if (stream_read(s, data, len) != len)
        png_error(png, "unexpected end of data");
}

void write_to_stream(png_structp png, png_bytep data, png_size_t len)
{
    Stream* s = static_cast<Stream*>(png_get_io_ptr(png));
    if (stream_write(s, data, len) != len)
        png_error(png, "write failed");
}

void flush_stream(png_structp png) { stream_flush(static_cast<Stream*>(png_get_io_ptr(png))); }

// Warnings of damaged but readable files are not the user's concern.
void quiet_warning(png_structp, png_const_charp) {}

void error_jump(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// The row pointers live outside the setjmp frame so a longjmp leaks nothing.
struct PngRows {
    std::vector<png_bytep> rows;
    std::vector<uint8_t> data;
};

bool read_png(png_structp png, png_infop info, Stream* s, PngRows* buf, int* width, int* height,
              int* depth)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, s, read_from_stream);
    png_read_info(png, info);
    png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    if (w == 0 || h == 0 || w > PNG_MAX_SIDE || h > PNG_MAX_SIDE)
        return false;
    int colour = png_get_color_type(png, info);
    int bits = png_get_bit_depth(png, info);
    if (colour == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && bits < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_strip_alpha(png);
    if (colour & PNG_COLOR_MASK_ALPHA)
        png_set_strip_alpha(png);
    if (colour == PNG_COLOR_TYPE_RGB || colour == PNG_COLOR_TYPE_RGB_ALPHA ||
        colour == PNG_COLOR_TYPE_PALETTE)
        png_set_rgb_to_gray_fixed(png, 1, -1, -1);
    if (bits == 16) {
        const uint16_t probe = 1;
        if (*reinterpret_cast<const uint8_t*>(&probe) == 1)
            png_set_swap(png);
    }
    png_read_update_info(png, info);
    size_t rowbytes = png_get_rowbytes(png, info);
    *depth = png_get_bit_depth(png, info);
    if (png_get_channels(png, info) != 1)
        return false;
    buf->data.resize(rowbytes * h);
    buf->rows.resize(h);
    for (png_uint_32 y = 0; y < h; y++)
        buf->rows[y] = buf->data.data() + y * rowbytes;
    png_read_image(png, buf->rows.data());
    png_read_end(png, nullptr);
    *width = int(w);
    *height = int(h);
    return true;
}

bool write_png(png_structp png, png_infop info, Stream* s, PngRows* buf, int width, int height)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, s, write_to_stream, flush_stream);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 16, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, buf->rows.data());
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool terrain_png_read(Stream* s, int* width, int* height, std::vector<uint16_t>* samples)
{
    if (!s)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, error_jump, quiet_warning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    PngRows buf;
    int w = 0, h = 0, depth = 8;
    bool ok = read_png(png, info, s, &buf, &w, &h, &depth);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok)
        return false;
    samples->assign(size_t(w) * size_t(h), 0);
    for (size_t i = 0; i < samples->size(); i++) {
        if (depth == 16)
            std::memcpy(&(*samples)[i], &buf.data[2 * i], 2);  // host order after the swap
        else
            (*samples)[i] = uint16_t(buf.data[i] * 257);
    }
    *width = w;
    *height = h;
    return true;
}

bool terrain_png_write(Stream* s, int width, int height, const std::vector<uint16_t>& samples)
{
    if (!s || width <= 0 || height <= 0 || samples.size() != size_t(width) * size_t(height))
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, error_jump, quiet_warning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    PngRows buf;
    buf.data.resize(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); i++) {
        buf.data[2 * i] = uint8_t(samples[i] >> 8);   // PNG samples are big-endian
        buf.data[2 * i + 1] = uint8_t(samples[i]);
    }
    buf.rows.resize(size_t(height));
    for (int y = 0; y < height; y++)
        buf.rows[size_t(y)] = buf.data.data() + size_t(y) * size_t(width) * 2;
    bool ok = write_png(png, info, s, &buf, width, height);
    png_destroy_write_struct(&png, &info);
    return ok;
}
