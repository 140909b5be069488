// Text and the loading screen drawn with the shipped fonts and title
// picture; the frames are saved as PNG beside the test scratch folders.
#include "files/image.h"
#include "files/stream.h"
#include "render/text.h"
#include "render/texture.h"
#include "render/texture_hud.h"
#include "render_gl_support.h"

#include <cmath>
#include <set>
#include <vector>

namespace {

std::vector<uint8_t> read_frame(int w, int h)
{
    std::vector<uint8_t> px(size_t(w * h * 3));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    return px;
}

}  // namespace

TEST(TextDrawing, LineOfTextCoversItsMeasuredWidth)
{
    REQUIRE_GL_WINDOW();
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "no built data set";
    font_load_all();
    ASSERT_NE(text_main_font().texture, 0u);
    const int W = 640, H = 360;
    glViewport(0, 0, W, H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, W, 0, H, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0.1f, 0.2f, 0.35f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const char* line = "Kestrum 1:23.4 Lap 2/5 - quick fox";
    const float size = 32, left = 20, base = 200;
    glPushMatrix();
    glTranslatef(left, base, 0);
    glScalef(size, size, 1);
    text_render_white(line);
    glPopMatrix();
    glPushMatrix();
    glTranslatef(0, 100, 0);
    glScalef(24, 24, 1);
    text_render_centred_shadowed(1, 0.8f, 0.2f, 1, 0, W / 24.0f, "Centred, shadowed\tTab");
    glPopMatrix();
    std::vector<uint8_t> px = read_frame(W, H);
    image_write_png_rgb((test_scratch_dir("text-line") + "text.png").c_str(), px.data(), W, H);

    // The white line's lit pixels span about its measured width.
    int minx = W, maxx = -1;
    for (int y = int(base); y < int(base + size); y++)
        for (int x = 0; x < W; x++) {
            const uint8_t* p = &px[size_t((y * W + x) * 3)];
            if (p[0] > 200 && p[1] > 200 && p[2] > 200) {
                minx = std::min(minx, x);
                maxx = std::max(maxx, x);
            }
        }
    float want = text_width(line) * size;
    ASSERT_GE(maxx, 0);
    EXPECT_NEAR(minx, left, 6);
    EXPECT_NEAR(maxx - left, want, size * 0.3f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(TextDrawing, LoadingScreenShowsTitleMessageAndLabel)
{
    REQUIRE_GL_WINDOW();
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "no built data set";
    font_load_all();
    hud_images_load();
    ASSERT_NE(hud_images().title, 0u);
    EXPECT_NE(hud_images().tach, 0u);
    EXPECT_NE(hud_images().shifter, 0u);
    EXPECT_NE(hud_images().pitboard, 0u);
    const int W = 640, H = 360;
    LogCapture log("loading");
    loading_screen_draw(W, H, "Loading track...");
    EXPECT_NE(log.text().find("Loading track...\n"), std::string::npos);
    std::vector<uint8_t> px = read_frame(W, H);
    image_write_png_rgb((test_scratch_dir("loading-screen") + "loading.png").c_str(), px.data(), W, H);

    // The title picture gives a colourful frame; the message puts white
    // pixels across the middle.
    std::set<int> colours;
    for (size_t i = 0; i < px.size(); i += 3 * 7)
        colours.insert(px[i] >> 3 << 10 | px[i + 1] >> 3 << 5 | px[i + 2] >> 3);
    EXPECT_GT(colours.size(), 200u);
    int white = 0;
    for (int y = H / 2 - 12; y < H / 2 + 12; y++)
        for (int x = W / 4; x < 3 * W / 4; x++) {
            const uint8_t* p = &px[size_t((y * W + x) * 3)];
            white += p[0] > 235 && p[1] > 235 && p[2] > 235;
        }
    EXPECT_GT(white, 100);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
