#include "image_out.h"

#include <png.h>

namespace {

void append_bytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

void flush_nothing(png_structp) {}

std::string encode(int width, int height, int color_type, int bit_depth, const uint8_t* rows, size_t stride)
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return std::string();
    }
    png_set_write_fn(png, &out, append_bytes, flush_nothing);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), bit_depth, color_type,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; y++)
        png_write_row(png, const_cast<png_bytep>(rows + size_t(y) * stride));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace

Image image_make(int width, int height, int channels)
{
    Image im;
    im.width = width;
    im.height = height;
    im.channels = channels;
    im.pixels.assign(size_t(width) * size_t(height) * size_t(channels), 0);
    return im;
}

std::string image_encode_png(const Image& im)
{
    int type = im.channels == 1 ? PNG_COLOR_TYPE_GRAY : im.channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA;
    return encode(im.width, im.height, type, 8, im.pixels.data(), size_t(im.width * im.channels));
}

std::string image_encode_png16(int width, int height, const std::vector<uint16_t>& values)
{
    std::vector<uint8_t> rows(size_t(width) * size_t(height) * 2);
    for (size_t i = 0; i < values.size() && i * 2 + 1 < rows.size(); i++) {
        rows[i * 2] = uint8_t(values[i] >> 8);  // PNG stores 16-bit samples big-endian
        rows[i * 2 + 1] = uint8_t(values[i] & 0xff);
    }
    return encode(width, height, PNG_COLOR_TYPE_GRAY, 16, rows.data(), size_t(width) * 2);
}

std::string image_encode_pnm(const Image& im)
{
    std::string out = (im.channels == 1 ? "P5\n" : "P6\n") + std::to_string(im.width) + " " +
                      std::to_string(im.height) + "\n255\n";
    if (im.channels == 1 || im.channels == 3) {
        out.append(reinterpret_cast<const char*>(im.pixels.data()), im.pixels.size());
    } else {
        for (size_t i = 0; i < im.pixels.size(); i += 4)
            out.append(reinterpret_cast<const char*>(&im.pixels[i]), 3);
    }
    return out;
}
