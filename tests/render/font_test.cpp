// Font cell discovery, measuring and painting digits into plate buffers,
// on tiny hand-made pictures.
#include "files/image.h"
#include "files/image_font.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const uint8_t MARK[4] = {255, 0, 255, 255};
const uint8_t CLEAR[4] = {255, 255, 255, 0};

struct Picture {
    int w, h;
    std::vector<uint8_t> px;
    Picture(int w_, int h_, const uint8_t* fill = CLEAR) : w(w_), h(h_), px(size_t(w_ * h_ * 4))
    {
        for (int i = 0; i < w * h; i++)
            std::memcpy(&px[size_t(i * 4)], fill, 4);
    }
    void set(int x, int y, const uint8_t* v) { std::memcpy(&px[size_t((y * w + x) * 4)], v, 4); }
    const uint8_t* at(int x, int y) const { return &px[size_t((y * w + x) * 4)]; }
};

void expect_cell(const Font& f, char c, int x0, int y0, int x1, int y1, int w, int h)
{
    unsigned char u = (unsigned char)c;
    EXPECT_FLOAT_EQ(f.glyph[u][0], float(x0) / float(w)) << c;
    EXPECT_FLOAT_EQ(f.glyph[u][1], float(y0) / float(h)) << c;
    EXPECT_FLOAT_EQ(f.glyph[u][2], float(x1) / float(w)) << c;
    EXPECT_FLOAT_EQ(f.glyph[u][3], float(y1) / float(h)) << c;
    EXPECT_FLOAT_EQ(f.aspect[u], float(x1 - x0) / float(y1 - y0)) << c;
}

// A digits font whose cells are `cell` pixels wide and `rows` tall, glyph
// pixels of the given colour below the marker row.
Font digits_font(int cell, int rows, const uint8_t* ink)
{
    Picture p(10 * cell + 1, rows);
    for (int i = 0; i <= 10; i++)
        p.set(i * cell, 0, MARK);
    for (int y = 1; y < rows; y++)
        for (int x = 0; x < 10 * cell; x++)
            p.set(x, y, ink);
    Font f;
    font_from_pixels(&f, p.px.data(), p.w, p.h, FONT_DIGITS_CHARSET);
    return f;
}

}  // namespace

TEST(FontCells, MarkersDefineCellsAndRows)
{
    // Text rows start at 0, 2 and 4. Row 0 holds cells [0,3) and [3,5) and
    // an unfinished stretch after column 5; row 2 has no cells; row 4 has
    // one cell [0,4).
    Picture p(8, 6);
    const uint8_t ink[4] = {255, 255, 255, 200};
    for (int x : {0, 3, 5})
        p.set(x, 0, MARK);
    p.set(0, 2, MARK);
    p.set(0, 4, MARK);
    p.set(4, 4, MARK);
    p.set(5, 1, MARK);  // marker colour outside a marker row is just a pixel
    p.set(1, 1, ink);
    Font f;
    font_from_pixels(&f, p.px.data(), p.w, p.h, "abcd");
    expect_cell(f, 'a', 0, 0, 3, 2, 8, 6);
    expect_cell(f, 'b', 3, 0, 5, 2, 8, 6);
    expect_cell(f, 'c', 0, 4, 4, 6, 8, 6);
    expect_cell(f, 'd', 0, 0, 3, 2, 8, 6);  // more characters than cells: wraps to the top
    EXPECT_FLOAT_EQ(f.aspect[(unsigned char)'z'], 2.0f / 3.0f);
    EXPECT_FLOAT_EQ(f.glyph[(unsigned char)'z'][2], 0.0f);
    EXPECT_FLOAT_EQ(f.aspect[(unsigned char)' '], 2.0f / 3.0f);  // no "-" cell

    // Markers in marker rows are erased; the rest of the picture stays.
    ASSERT_EQ(f.pixels.size(), image_chain_bytes(8, 6, 4));
    Picture erased(8, 6);
    erased.px.assign(f.pixels.begin(), f.pixels.begin() + 8 * 6 * 4);
    for (auto [x, y] : {std::pair{0, 0}, {3, 0}, {5, 0}, {0, 2}, {0, 4}, {4, 4}})
        EXPECT_EQ(0, std::memcmp(erased.at(x, y), CLEAR, 4)) << x << "," << y;
    EXPECT_EQ(0, std::memcmp(erased.at(5, 1), MARK, 4));
    EXPECT_EQ(0, std::memcmp(erased.at(1, 1), ink, 4));
}

TEST(FontCells, SingleMarkerMakesTheWholePictureOneCell)
{
    Picture p(4, 2);
    p.set(0, 0, MARK);
    Font f;
    font_from_pixels(&f, p.px.data(), p.w, p.h, FONT_DIGITS_CHARSET);
    for (char c : std::string("0123456789"))
        expect_cell(f, c, 0, 0, 4, 2, 4, 2);
}

TEST(FontCells, MissingPictureLeavesFontCleared)
{
    Font f;
    f.texture = 7;
    std::string dir = test_scratch_dir("font");
    EXPECT_FALSE(font_load(&f, (dir + "absent.png").c_str(), FONT_MAIN_CHARSET));
    EXPECT_EQ(f.texture, 0u);
    EXPECT_TRUE(f.pixels.empty());
    EXPECT_FLOAT_EQ(f.aspect[(unsigned char)'A'], 2.0f / 3.0f);
    std::vector<uint8_t> rgba(16 * 4, 0);
    EXPECT_TRUE(test_write_file(dir + "font.j7", image_encode_j(rgba.data(), 4, 4, 4)));
    EXPECT_TRUE(font_load(&f, (dir + "font.j7").c_str(), FONT_MAIN_CHARSET));
    EXPECT_EQ(f.width, 4);
}

TEST(FontMeasure, WidthsTabsAndLines)
{
    // "-" is one line height wide, "a" one and a half.
    Picture p(6, 2);
    for (int x : {0, 2, 5})
        p.set(x, 0, MARK);
    Font f;
    font_from_pixels(&f, p.px.data(), p.w, p.h, "-a");
    EXPECT_FLOAT_EQ(f.aspect[(unsigned char)' '], f.aspect[(unsigned char)'-']);
    struct Case {
        const char* text;
        float want;
    };
    Case cases[] = {
        {"", 0},          {" ", 1},         {"a-", 2.5f},       {"\t", 8},   {"a\t", 8},
        {"\t\t", 16},     {"\ta", 9.5f},    {"aaa\na", 1.5f},   {"a\ra", 1.5f},
        {"?", 2.0f / 3},  // no cell: the default advance
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(font_text_width(f, c.text), c.want) << '"' << c.text << '"';
}

TEST(FontPlates, DigitsPaintCentredAndSwitchToCondensed)
{
    const uint8_t white[4] = {255, 255, 255, 255};
    const uint8_t red[4] = {255, 0, 0, 255};
    Font digits = digits_font(3, 4, white);
    Font condensed = digits_font(2, 4, red);
    Font none;
    font_clear(&none);

    struct Case {
        const char* text;
        bool condensed;
        int first_x;  // first painted column
    };
    // Buffer 8 wide: up to 9 pixels of digits keep the normal font.
    Case cases[] = {{"12", false, 1}, {"123", false, 0}, {"1234", true, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Picture buf(8, 8);
        font_text_into_pixels(digits, condensed, buf.px.data(), 8, 8, 1, 1, 1, 1, c.text);
        // Rows: cells are 4 tall with a cleared top row, centred at y = 2.
        EXPECT_EQ(0, std::memcmp(buf.at(c.first_x, 2), CLEAR, 4));
        const uint8_t* inked = buf.at(c.first_x, 3);
        EXPECT_EQ(inked[1], c.condensed ? 0 : 255);
        EXPECT_EQ(inked[3], 255);
        if (c.first_x > 0) {
            EXPECT_EQ(0, std::memcmp(buf.at(c.first_x - 1, 3), CLEAR, 4));
        }
        EXPECT_EQ(0, std::memcmp(buf.at(3, 7), CLEAR, 4));
    }

    // A half-transparent glyph edge painted white on transparent white
    // ends up with alpha floor(a^2 * 255).
    const uint8_t half[4] = {255, 255, 255, 128};
    Font soft = digits_font(3, 4, half);
    Picture buf(8, 8);
    font_text_into_pixels(soft, none, buf.px.data(), 8, 8, 1, 1, 1, 1, "1");
    float a = 128 * 0.003921569f;
    EXPECT_EQ(buf.at(3, 3)[3], int(a * a * 255));
    EXPECT_EQ(buf.at(3, 3)[0], 255);

    // Without the digits font nothing changes.
    Picture untouched(8, 8);
    font_text_into_pixels(none, condensed, untouched.px.data(), 8, 8, 1, 1, 1, 1, "12");
    EXPECT_EQ(untouched.px, Picture(8, 8).px);
}

TEST(FontCells, ShippedFontsHaveEveryCell)
{
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "no built data set";
    Font main_font, digits, condensed;
    ASSERT_TRUE(font_load(&main_font, "@font.png", FONT_MAIN_CHARSET));
    for (const char* p = FONT_MAIN_CHARSET; *p; p++) {
        unsigned char c = (unsigned char)*p;
        EXPECT_GT(main_font.glyph[c][2], main_font.glyph[c][0]) << *p;
        EXPECT_GT(main_font.aspect[c], 0.1f) << *p;
        EXPECT_LT(main_font.aspect[c], 1.5f) << *p;
        // Every text row is one line high.
        EXPECT_FLOAT_EQ((main_font.glyph[c][3] - main_font.glyph[c][1]) * float(main_font.height),
                        (main_font.glyph['A'][3] - main_font.glyph['A'][1]) * float(main_font.height));
        if (p[1]) {
            EXPECT_TRUE(main_font.glyph[c][0] != main_font.glyph[(unsigned char)p[1]][0] ||
                        main_font.glyph[c][1] != main_font.glyph[(unsigned char)p[1]][1]);
        }
    }
    ASSERT_TRUE(font_load(&digits, "@numbers.png", FONT_DIGITS_CHARSET));
    ASSERT_TRUE(font_load(&condensed, "@numbers-condensed.png", FONT_DIGITS_CHARSET));
    // Plates are 128 x 128: three normal digits fit within 9/8 of that,
    // three condensed ones inside it.
    for (char c = '0'; c <= '9'; c++) {
        unsigned char u = (unsigned char)c;
        EXPECT_LE(int(digits.glyph[u][2] * digits.width) - int(digits.glyph[u][0] * digits.width), 48);
        EXPECT_LE(int(condensed.glyph[u][2] * condensed.width) - int(condensed.glyph[u][0] * condensed.width), 40);
        EXPECT_LT(int(digits.glyph[u][3] * digits.height), 128);
    }
    std::vector<uint8_t> plate(128 * 128 * 4, 255);
    for (size_t i = 3; i < plate.size(); i += 4)
        plate[i] = 0;
    font_text_into_pixels(digits, condensed, plate.data(), 128, 128, 1, 1, 1, 1, "888");
    int inked = 0;
    for (size_t i = 3; i < plate.size(); i += 4)
        inked += plate[i] > 128;
    EXPECT_GT(inked, 128 * 128 / 10);
}
