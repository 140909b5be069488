// Picture readers and writers against small files made by hand and by our
// own encoders, including broken and hostile ones.
#include "files/image.h"
#include "files/stream.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <random>

namespace {

// A PNG made with libpng directly, so the reader is tested against files
// our own writers never produce (palette, grey, alpha, tRNS, text chunks).
struct PngLayout {
    int width, height, color_type, depth;
    std::vector<uint8_t> rows;  // packed rows, top to bottom
    std::vector<png_color> palette;
    std::vector<uint8_t> trns;  // palette alpha
    const char* text = nullptr;
    bool text_after_image = false;
};

void png_append(png_structp png, png_bytep data, png_size_t len)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), len);
}

std::string encode_png(const PngLayout& p)
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return std::string();
    }
    png_set_write_fn(png, &out, png_append, nullptr);
    png_set_IHDR(png, info, p.width, p.height, p.depth, p.color_type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!p.palette.empty())
        png_set_PLTE(png, info, p.palette.data(), int(p.palette.size()));
    if (!p.trns.empty())
        png_set_tRNS(png, info, p.trns.data(), int(p.trns.size()), nullptr);
    png_text t = {};
    t.compression = PNG_TEXT_COMPRESSION_NONE;
    t.key = const_cast<char*>("Comment");
    t.text = const_cast<char*>(p.text);
    if (p.text && !p.text_after_image)
        png_set_text(png, info, &t, 1);
    png_write_info(png, info);
    size_t stride = p.rows.size() / size_t(p.height);
    for (int y = 0; y < p.height; y++)
        png_write_row(png, const_cast<png_bytep>(&p.rows[size_t(y) * stride]));
    if (p.text && p.text_after_image)
        png_set_text(png, info, &t, 1);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Rewrites the IHDR size of a PNG, fixing its checksum, to fake huge files.
std::string with_png_size(std::string png, uint32_t w, uint32_t h)
{
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            png[at + size_t(i)] = char(v >> (24 - 8 * i));
    };
    put(16, w);
    put(20, h);
    uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17));
    put(29, crc);
    return png;
}

class ImageFiles : public ::testing::Test {
protected:
    std::string dir;
    // One folder per test: ctest runs the tests side by side.
    void SetUp() override
    {
        dir = test_scratch_dir(std::string("image-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    std::string put(const std::string& name, const std::string& bytes)
    {
        std::string path = dir + name;
        EXPECT_TRUE(test_write_file(path, bytes));
        return path;
    }
};

std::vector<uint8_t> bytes(std::initializer_list<int> v)
{
    std::vector<uint8_t> out;
    for (int x : v)
        out.push_back(uint8_t(x));
    return out;
}

bool read_colour_file(const std::string& path, ImageBuffer* im)
{
    Stream* s = stream_open(path.c_str(), "rb");
    if (!s)
        return false;
    bool ok = image_read_colour(s, im);
    stream_close(s);
    return ok;
}

bool read_grey_file(const std::string& path, ImageBuffer* im)
{
    Stream* s = stream_open(path.c_str(), "rb");
    if (!s)
        return false;
    bool ok = image_read_grey(s, im);
    stream_close(s);
    return ok;
}

}  // namespace

TEST_F(ImageFiles, NetpbmVariantsDecodeWithCommentsAndScaling)
{
    struct Case {
        const char* what;
        std::string file;
        bool colour;
        std::vector<uint8_t> want;
    };
    std::string raw6 = "P6\n# made by hand\n2 1\n# max\n255\n";
    raw6 += std::string("\x0a\x14\x1e\xff\x00\x80", 6);
    std::string raw5 = "P5 2 2 15\n";
    raw5 += std::string("\x00\x0f\x05\x0a", 4);
    Case cases[] = {
        {"P6 with comments", raw6, true, bytes({10, 20, 30, 255, 0, 128})},
        {"P3 text with a comment between values", "P3 1 2 255\n1 2 3\n# mid\n4 5 6\n", true,
         bytes({1, 2, 3, 4, 5, 6})},
        {"P3 max 15 scales", "P3\n1 1\n15\n15 0 7\n", true, bytes({255, 0, 119})},
        {"P5 max 15 scales", raw5, false, bytes({0, 255, 85, 170})},
        {"P2 text grey", "P2\n3 1\n255\n0 128 255\n", false, bytes({0, 128, 255})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImageBuffer im;
        std::string path = put("pnm", c.file);
        ASSERT_TRUE(c.colour ? read_colour_file(path, &im) : read_grey_file(path, &im));
        EXPECT_EQ(im.channels, c.colour ? 3 : 1);
        EXPECT_EQ(im.pixels, c.want);
    }
}

TEST_F(ImageFiles, BrokenFilesFailCleanly)
{
    std::vector<uint8_t> rgb(16 * 16 * 3, 90);
    std::string j6 = image_encode_j(rgb.data(), 16, 16, 3);
    PngLayout layout = {16, 16, PNG_COLOR_TYPE_RGB, 8, rgb};
    std::string png = encode_png(layout);
    struct Case {
        const char* what;
        std::string file;
    };
    Case cases[] = {
        {"P6 truncated", "P6 4 4 255\n" + std::string(20, 'x')},
        {"P6 huge dimensions", "P6 100000 100000 255\n" + std::string(64, 'x')},
        {"P6 huge but each side legal", "P6 16000 16000 255\n" + std::string(64, 'x')},
        {"P6 negative width", "P6 -4 4 255\n" + std::string(64, 'x')},
        {"P6 zero maximum", "P6 1 1 0\nabc"},
        {"P6 two-byte samples", "P6 1 1 65535\nabcdef"},
        {"P6 missing size", "P6\n# nothing else\n"},
        {"P3 truncated", "P3 2 2 255\n1 2 3 4 5"},
        {"P3 garbage value", "P3 1 1 255\n1 x 3"},
        {"J6 truncated", j6.substr(0, j6.size() - 1)},
        {"J6 huge", "J6 20000 20000\n" + std::string(100, 'x')},
        {"unknown magic", "Q9 1 1\nabc"},
        {"PNG truncated", png.substr(0, png.size() / 2)},
        {"PNG huge", with_png_size(png, 100000, 100000)},
        {"PNG too many pixels", with_png_size(png, 16000, 16000)},
        {"empty file", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = put("bad", c.file);
        ImageBuffer im;
        EXPECT_FALSE(read_colour_file(path, &im));
        EXPECT_EQ(image_load_texture(path.c_str(), &im, nullptr), IMAGE_LOAD_FAILED);
        EXPECT_TRUE(im.pixels.empty() || im.pixels.size() < 100000);
        EXPECT_FALSE(image_read_rgba(path.c_str(), &im));
    }
    ImageBuffer im;
    EXPECT_EQ(image_load_texture((dir + "absent.png").c_str(), &im, nullptr), IMAGE_LOAD_MISSING);
    EXPECT_FALSE(read_grey_file(put("p6", "P6 1 1 255\nabc"), &im));
}

TEST_F(ImageFiles, PredictiveFormatsRoundTrip)
{
    // By hand: a 2 x 2 J6 where every prediction rule shows.
    // Pixels (one channel shown, same in all three):  10 20 / 30 250
    // first = 10; right = 20 - 10; below = 30 - 10; last = 250 - clamp(10 + 30... )
    std::string j = "J6 2 2\n";
    int deltas[4] = {10, 10, 20, (250 - 40 + 256) % 256};  // clamp(20 + 30 - 10) = 40
    for (int d : deltas)
        for (int c = 0; c < 3; c++)
            j.push_back(char(d));
    ImageBuffer im;
    ASSERT_TRUE(read_colour_file(put("hand.j6", j), &im));
    EXPECT_EQ(im.pixels, bytes({10, 10, 10, 20, 20, 20, 30, 30, 30, 250, 250, 250}));

    std::mt19937 rng(7);
    for (int channels : {3, 4}) {
        SCOPED_TRACE(channels);
        const int w = 13, h = 9;
        std::vector<uint8_t> pix(size_t(w * h * channels));
        for (size_t i = 0; i < pix.size(); i++)
            pix[i] = uint8_t(i % 7 == 0 ? rng() : (i * 37 / 5) & 0xff);  // smooth and noisy parts
        std::string path = put("round.j", image_encode_j(pix.data(), w, h, channels));
        ImageBuffer out;
        ASSERT_EQ(image_load_texture(path.c_str(), &out, nullptr), IMAGE_LOAD_PICTURE);
        EXPECT_EQ(out.channels, channels);
        ASSERT_EQ(out.pixels.size(), image_chain_bytes(w, h, channels));
        EXPECT_TRUE(std::equal(pix.begin(), pix.end(), out.pixels.begin()));
        ImageBuffer rgba;
        ASSERT_TRUE(image_read_rgba(path.c_str(), &rgba));
        EXPECT_EQ(rgba.channels, 4);
        // J6 read as RGBA gets alpha 0; J7 keeps its own.
        EXPECT_EQ(rgba.pixels[3], channels == 4 ? pix[3] : 0);
        ImageBuffer colour;
        ASSERT_TRUE(read_colour_file(path, &colour));
        EXPECT_EQ(colour.channels, 3);
        EXPECT_EQ(colour.pixels[size_t(3 * (w + 1))], pix[size_t(channels * (w + 1))]);
    }
}

TEST_F(ImageFiles, PngLayoutsBecomeRgbOrRgba)
{
    struct Case {
        const char* what;
        PngLayout layout;
        int channels;
        std::vector<uint8_t> first_pixel;
    };
    PngLayout pal = {2, 1, PNG_COLOR_TYPE_PALETTE, 8, bytes({1, 0}), {{0, 0, 0}, {200, 100, 50}}};
    PngLayout pal_trns = pal;
    pal_trns.trns = bytes({255, 64});
    Case cases[] = {
        {"grey", {1, 1, PNG_COLOR_TYPE_GRAY, 8, bytes({77})}, 3, bytes({77, 77, 77})},
        {"grey 1-bit", {8, 1, PNG_COLOR_TYPE_GRAY, 1, bytes({0x80})}, 3, bytes({255, 255, 255})},
        {"grey+alpha", {1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, bytes({10, 20})}, 4, bytes({10, 10, 10, 20})},
        {"rgb 16-bit", {1, 1, PNG_COLOR_TYPE_RGB, 16, bytes({1, 2, 3, 4, 200, 6})}, 3, bytes({1, 3, 200})},
        {"rgba", {1, 1, PNG_COLOR_TYPE_RGBA, 8, bytes({1, 2, 3, 4})}, 4, bytes({1, 2, 3, 4})},
        {"palette", pal, 3, bytes({200, 100, 50})},
        {"palette with tRNS", pal_trns, 4, bytes({200, 100, 50, 64})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = put("t.png", encode_png(c.layout));
        ImageBuffer im;
        ASSERT_EQ(image_load_texture(path.c_str(), &im, nullptr), IMAGE_LOAD_PICTURE);
        EXPECT_EQ(im.channels, c.channels);
        EXPECT_EQ(std::vector<uint8_t>(im.pixels.begin(), im.pixels.begin() + c.channels), c.first_pixel);
        EXPECT_FALSE(im.max_alpha_mips);
    }
    for (bool after : {false, true}) {
        PngLayout s = {2, 2, PNG_COLOR_TYPE_RGBA, 8, std::vector<uint8_t>(16, 0)};
        s.rows[3] = 255;
        s.text = "foliage [mip_max_alpha]";
        s.text_after_image = after;
        ImageBuffer im;
        ASSERT_EQ(image_load_texture(put("m.png", encode_png(s)).c_str(), &im, nullptr), IMAGE_LOAD_PICTURE);
        EXPECT_TRUE(im.max_alpha_mips) << after;
        EXPECT_EQ(im.pixels[16 + 3], 255);  // the 1 x 1 level keeps the block's largest alpha
    }
}

TEST_F(ImageFiles, PngWritersRoundTrip)
{
    // Screenshot rows arrive bottom row first; the file must show them upright.
    std::vector<uint8_t> rows = bytes({1, 2, 3, 4, 5, 6, /* top: */ 7, 8, 9, 10, 11, 12});
    std::string shot = dir + "shot.png";
    ASSERT_TRUE(image_write_png_rgb(shot.c_str(), rows.data(), 2, 2));
    ImageBuffer im;
    ASSERT_EQ(image_load_texture(shot.c_str(), &im, nullptr), IMAGE_LOAD_PICTURE);
    EXPECT_EQ(std::vector<uint8_t>(im.pixels.begin(), im.pixels.begin() + 12),
              bytes({7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}));

    std::vector<uint16_t> heights = {0, 1, 256, 65535, 40000, 12345};
    std::string hf = dir + "heights.png";
    ASSERT_TRUE(image_write_png16(hf.c_str(), heights.data(), 3, 2));
    std::vector<uint16_t> back;
    int w = 0, h = 0;
    ASSERT_TRUE(image_read_png16(hf.c_str(), &back, &w, &h));
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(back, heights);

    // 8-bit grey and colour pictures widen to 16 bits.
    PngLayout grey = {2, 1, PNG_COLOR_TYPE_GRAY, 8, bytes({0, 2})};
    ASSERT_TRUE(image_read_png16(put("g.png", encode_png(grey)).c_str(), &back, &w, &h));
    EXPECT_EQ(back, (std::vector<uint16_t>{0, 514}));
    PngLayout rgb = {1, 1, PNG_COLOR_TYPE_RGB, 8, bytes({9, 9, 9})};
    ASSERT_TRUE(image_read_png16(put("c.png", encode_png(rgb)).c_str(), &back, &w, &h));
    EXPECT_EQ(back, (std::vector<uint16_t>{9 * 257}));

    EXPECT_FALSE(image_write_png_rgb((dir + "no/such/\0dir").c_str(), rows.data(), 0, 2));
    EXPECT_FALSE(image_read_png16((dir + "absent.png").c_str(), &back, &w, &h));
}

TEST(ImageMipmaps, StepsAveragesAndAlpha)
{
    // RGB: truncated 2 x 2 average; a 1-wide picture averages pairs.
    uint8_t rgb[12] = {0, 10, 255, 1, 11, 255, 2, 12, 254, 4, 13, 254};
    uint8_t out[3];
    image_mip_step(rgb, 2, 2, 3, false, out);
    EXPECT_EQ(bytes({out[0], out[1], out[2]}), bytes({1, 11, 254}));
    uint8_t column[6] = {10, 20, 30, 11, 21, 31};
    image_mip_step(column, 1, 2, 3, false, out);
    EXPECT_EQ(bytes({out[0], out[1], out[2]}), bytes({10, 20, 30}));

    // RGBA: colour weighted by alpha; alpha averaged or the block maximum.
    uint8_t rgba[16] = {200, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    uint8_t o4[4];
    image_mip_step(rgba, 2, 2, 4, false, o4);
    EXPECT_EQ(bytes({o4[0], o4[1], o4[2], o4[3]}), bytes({200, 0, 0, 63}));
    image_mip_step(rgba, 2, 2, 4, true, o4);
    EXPECT_EQ(o4[3], 255);
    uint8_t clear[16] = {200, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    image_mip_step(clear, 2, 2, 4, false, o4);
    EXPECT_EQ(o4[0], 50);  // all clear: plain average

    EXPECT_EQ(image_chain_bytes(4, 1, 3), size_t((4 + 2 + 1) * 3));
    EXPECT_EQ(image_chain_bytes(256, 256, 4), size_t(4 * (65536 * 4 - 1) / 3));
}

TEST(ImageMipmaps, ResampleAndDetailLevels)
{
    ImageBuffer im;
    im.width = 100;
    im.height = 50;
    im.channels = 3;
    im.pixels.assign(100 * 50 * 3, 0);
    for (int x = 0; x < 100; x++)
        im.pixels[size_t(x * 3)] = uint8_t(x);  // first row counts up
    ASSERT_TRUE(image_resample_pow2(im));
    EXPECT_EQ(im.width, 128);
    EXPECT_EQ(im.height, 64);
    EXPECT_EQ(im.pixels.size(), image_chain_bytes(128, 64, 3));
    EXPECT_EQ(im.pixels[127 * 3], 99);  // nearest neighbour: 127 * 100 / 128
    EXPECT_FALSE(image_resample_pow2(im));

    struct Case {
        int w, h, detail, want_w, want_h;
    };
    // Levels drop only while both sides are above 128.
    Case cases[] = {{256, 256, 2, 128, 128}, {128, 256, 2, 128, 256}, {512, 256, 4, 256, 128},
                    {512, 512, 2, 128, 128},
                    {256, 256, 0, 256, 256}, {1024, 1024, 1, 512, 512}};
    for (const Case& c : cases) {
        ImageBuffer t;
        t.width = c.w;
        t.height = c.h;
        t.channels = 3;
        t.pixels.assign(size_t(c.w * c.h * 3), 1);
        image_build_mipmaps(t);
        size_t offset;
        int w, h;
        image_detail_level(t, c.detail, &offset, &w, &h);
        EXPECT_EQ(w, c.want_w) << c.w << "x" << c.h << " at " << c.detail;
        EXPECT_EQ(h, c.want_h);
        EXPECT_EQ(offset + image_chain_bytes(w, h, 3), t.pixels.size());
    }
}

TEST_F(ImageFiles, SequencesReadAndPickFrames)
{
    std::vector<uint8_t> a(4 * 4 * 4, 10), b(4 * 4 * 4, 200);
    PngLayout layout = {4, 4, PNG_COLOR_TYPE_RGBA, 8, b};
    put("frame.png", encode_png(layout));
    std::string seq = "ANIM1 3 2 8 0\n0 1 1\nJ7 " + image_encode_j(a.data(), 4, 4, 4).substr(3) + "\nPNG  " + dir +
                      "frame.png  \n";
    std::string path = put("walk.seq", seq);
    ImageBuffer im;
    ImageSequence s;
    ASSERT_EQ(image_load_texture(path.c_str(), &im, &s), IMAGE_LOAD_SEQUENCE);
    ASSERT_EQ(s.images.size(), 2u);
    EXPECT_EQ(s.images[0].pixels[0], 10);
    EXPECT_EQ(s.images[1].pixels[0], 200);
    EXPECT_EQ(s.images[1].pixels.size(), image_chain_bytes(4, 4, 4));
    // Not looping: the last frame stays after three durations.
    EXPECT_EQ(image_sequence_frame_image(s, 0, 0), 0);
    EXPECT_EQ(image_sequence_frame_image(s, 8, 0), 1);
    EXPECT_EQ(image_sequence_frame_image(s, 1000, 0), 1);
    EXPECT_EQ(image_sequence_frame_image(s, 5, 100), 0);  // before the start
    s.frames = {0, 1, 1};
    s.loop = true;
    EXPECT_EQ(image_sequence_frame_image(s, 24, 0), 0);

    std::vector<uint8_t> small(2 * 2 * 4, 1);
    std::string j7a = "J7 " + image_encode_j(a.data(), 4, 4, 4).substr(3);
    std::string j7small = "J7 " + image_encode_j(small.data(), 2, 2, 4).substr(3);
    struct Case {
        const char* what;
        std::string body;
    };
    Case bad[] = {
        {"zero frames", "ANIM1 0 1 8 0\n"},
        {"frame index out of range", "ANIM1 1 1 8 0\n5\n" + j7a},
        {"unknown entry word", "ANIM1 1 1 8 0\n0\nGIF x\n"},
        {"PNG without a line", "ANIM1 1 1 8 0\n0\nPNG"},
        {"PNG that cannot be read", "ANIM1 1 1 8 0\n0\nPNG " + dir + "absent.png\n"},
        {"size mismatch", "ANIM1 2 2 8 0\n0 1\n" + j7a + "\n" + j7small},
        {"depth mismatch", "ANIM1 2 2 8 0\n0 1\n" + j7a + "\nPNG " + dir + "rgb.png\n"},
        {"huge counts", "ANIM1 2000000000 2000000000 8 0\n"},
    };
    PngLayout rgb = {4, 4, PNG_COLOR_TYPE_RGB, 8, std::vector<uint8_t>(48, 5)};
    put("rgb.png", encode_png(rgb));
    for (const Case& c : bad) {
        SCOPED_TRACE(c.what);
        ImageSequence s2;
        EXPECT_EQ(image_load_texture(put("bad.seq", c.body).c_str(), &im, &s2), IMAGE_LOAD_FAILED);
    }
}
