// The texture cache against the real driver: generations and the sweep,
// names, sizes and detail, animations and number textures.
#include "files/image.h"
#include "files/stream.h"
#include "render/text.h"
#include "render/texture.h"
#include "render_gl_support.h"

#include <cstring>
#include <vector>

namespace {

std::string solid_j(int w, int h, int channels, uint8_t value)
{
    std::vector<uint8_t> px(size_t(w * h * channels), value);
    return image_encode_j(px.data(), w, h, channels);
}

GLint level_width(GLuint tex, int level)
{
    GLint w = 0;
    glBindTexture(GL_TEXTURE_2D, tex);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
    return w;
}

// A scratch data folder for one test; files put there are "@" names.
struct DataFolder {
    std::string dir;
    GameDataScope scope;
    explicit DataFolder(const std::string& tag) : dir(test_scratch_dir(tag)), scope(dir + "data") {}
    void put(const std::string& name, const std::string& bytes) { EXPECT_TRUE(test_write_file(dir + "data/" + name, bytes)); }
};

}  // namespace

TEST(TextureCache, GenerationSweepKeepsWhatIsAskedForAgain)
{
    REQUIRE_GL_WINDOW();
    DataFolder data("tex-sweep");
    data.put("start.j6", solid_j(8, 8, 3, 10));
    data.put("old.j6", solid_j(8, 8, 3, 20));
    data.put("both.j6", solid_j(16, 16, 3, 30));
    data.put("anim.seq", "ANIM1 1 1 4 1\n0\n" + solid_j(4, 4, 4, 40));
    texture_set_debug(1);
    LogCapture log("tex-sweep");

    GLuint start = texture_load("@start.j6");  // before any track: permanent
    ASSERT_NE(start, 0u);
    texture_generation_next();
    GLuint old = texture_load("@old.j6");
    GLuint both = texture_load("@both.j6");
    GLuint anim = texture_load("@anim.seq");
    ASSERT_TRUE(old && both && anim);
    EXPECT_EQ(texture_load("@old.j6"), old);  // cached

    texture_generation_next();
    EXPECT_EQ(texture_memory(), 0);
    EXPECT_EQ(texture_load("@both.j6"), both);
    EXPECT_EQ(texture_memory(), (long long)image_chain_bytes(16, 16, 3));  // counts again
    EXPECT_EQ(texture_load("@start.j6"), start);
    EXPECT_EQ(texture_memory(), (long long)image_chain_bytes(16, 16, 3));  // permanent: not again
    texture_sweep();

    EXPECT_TRUE(glIsTexture(start));
    EXPECT_TRUE(glIsTexture(both));
    EXPECT_FALSE(glIsTexture(old));
    EXPECT_FALSE(glIsTexture(anim));
    EXPECT_EQ(texture_name_of(old), nullptr);
    EXPECT_STREQ(texture_name_of(both), "@both.j6");
    std::string text = log.text();
    EXPECT_NE(text.find("deleting tid " + std::to_string(old) + " (@old.j6)"), std::string::npos);
    EXPECT_NE(text.find("deleting anim 0 for tid " + std::to_string(anim)), std::string::npos);
    // A fresh request after the sweep loads the file again.
    GLuint again = texture_load("@old.j6");
    EXPECT_NE(again, 0u);
    texture_set_debug(0);
    texture_release_all();
}

TEST(TextureCache, NamesSizesAndDetail)
{
    REQUIRE_GL_WINDOW();
    DataFolder data("tex-names");
    data.put("tach.j6", solid_j(8, 8, 3, 1));
    data.put("odd.j6", solid_j(100, 50, 3, 1));
    data.put("big.j6", solid_j(256, 256, 3, 1));
    data.put("tall.j6", solid_j(128, 256, 3, 1));
    data.put("broken.png", "not a picture");
    LogCapture log("tex-names");

    GLuint tach = texture_load("!@tach.j6");
    ASSERT_NE(tach, 0u);
    EXPECT_EQ(texture_load("@tach.j6"), tach);  // "!" shares the entry
    EXPECT_EQ(texture_load("@TACH.j6"), tach);  // case differs: same texture, with a warning
    EXPECT_EQ(texture_load("@broken.png"), 0u);
    EXPECT_EQ(texture_load("@absent.png"), 0u);

    GLuint odd = texture_load("@odd.j6");
    EXPECT_EQ(level_width(odd, 0), 128);
    texture_set_detail(2);
    GLuint big = texture_load("@big.j6");
    GLuint tall = texture_load("@tall.j6");
    texture_set_detail(0);
    EXPECT_EQ(level_width(big, 0), 128);   // dropped while both sides were above 128
    EXPECT_EQ(level_width(tall, 0), 128);  // one side is 128: full size
    GLint tall_h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &tall_h);
    EXPECT_EQ(tall_h, 256);

    std::string text = log.text();
    EXPECT_NE(text.find("Warning: case mismatch on '@TACH.j6'"), std::string::npos);
    EXPECT_NE(text.find("Warning: Non power of 2 texture '@odd.j6'"), std::string::npos);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    texture_release_all();
}

TEST(TextureCache, AnimationsStepThroughFrames)
{
    REQUIRE_GL_WINDOW();
    DataFolder data("tex-anim");
    // Three images shown once each, not looping.
    data.put("flag.seq",
             "ANIM1 3 3 10 0\n0 1 2\n" + solid_j(2, 2, 4, 10) + "\n" + solid_j(2, 2, 4, 20) + "\n" + solid_j(2, 2, 4, 30));
    GLuint tex = texture_load("@flag.seq");
    ASSERT_NE(tex, 0u);
    auto texel = [&]() {
        uint8_t px[16];
        glBindTexture(GL_TEXTURE_2D, tex);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px);
        return int(px[0]);
    };
    EXPECT_EQ(texel(), 10);
    anim_start(tex, 100);
    anim_update(115);
    EXPECT_EQ(texel(), 20);
    anim_update(100 + 3 * 10 + 500);
    EXPECT_EQ(texel(), 30);  // the last frame stays
    anim_stop(tex);
    anim_start(tex, 0);
    anim_stop(tex);
    anim_update(0);
    EXPECT_EQ(texel(), 30);  // paused: not advanced
    anim_start(99999, 0);    // not an animation: ignored
    texture_release_all();
}

TEST(TextureCache, NumberTexturesKeepAClearBorder)
{
    REQUIRE_GL_WINDOW();
    DataFolder data("tex-number");
    // Digits 20 wide, 40 tall, solid white below the marker row.
    const int cell = 20, rows = 40, w = 10 * cell + 1;
    std::vector<uint8_t> px(size_t(w * rows * 4), 0);
    for (int y = 0; y < rows; y++)
        for (int x = 0; x < w; x++) {
            uint8_t* p = &px[size_t((y * w + x) * 4)];
            bool mark = y == 0 && x % cell == 0;
            p[0] = 255, p[1] = mark ? 0 : 255, p[2] = 255, p[3] = (mark || y > 0) ? 255 : 0;
        }
    data.put("numbers.png", image_encode_j(px.data(), w, rows, 4));  // content, not the name, picks the format
    font_load_all();
    ASSERT_FALSE(text_digits_font().pixels.empty());
    GLuint tex = texture_text(128, 128, "7");
    ASSERT_NE(tex, 0u);
    std::vector<uint8_t> out(128 * 128 * 4);
    glBindTexture(GL_TEXTURE_2D, tex);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    auto at = [&](int x, int y) { return &out[size_t((y * 128 + x) * 4)]; };
    EXPECT_EQ(at(64, 64)[3], 255);  // the digit sits in the middle
    EXPECT_EQ(at(10, 64)[3], 0);
    for (int i = 0; i < 128; i++) {
        EXPECT_EQ(at(i, 0)[3], 0);
        EXPECT_EQ(at(0, i)[3], 0);
        EXPECT_EQ(at(127, i)[3], 0);
    }
    std::vector<uint8_t> small(4 * 4 * 4);
    glGetTexImage(GL_TEXTURE_2D, 5, GL_RGBA, GL_UNSIGNED_BYTE, small.data());
    EXPECT_EQ(small[3], 0);  // mip levels get their own clear ring
    texture_free(tex);
    font_release_all();
}
