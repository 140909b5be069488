// Capability flags, the five lighting programs and the cached program call
// against the real driver.
#include "render/gl_caps.h"
#include "render_gl_support.h"

#include <cmath>

TEST(GLCaps, ExtensionNamesMatchWholeWordsOnly)
{
    struct Case {
        const char* list;
        bool want;
    };
    Case cases[] = {
        {"GL_ARB_multitexture", true},
        {"GL_EXT_a GL_ARB_multitexture GL_EXT_b", true},
        {"GL_EXT_a GL_ARB_multitexture", true},
        {"GL_ARB_multitexture_extra GL_EXT_b", false},
        {"XGL_ARB_multitexture", false},
        {"GL_ARB_multitexture_extra GL_ARB_multitexture", true},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gl_extension_present(c.list, "GL_ARB_multitexture"), c.want) << c.list;
    EXPECT_FALSE(gl_extension_present(nullptr, "GL_ARB_multitexture"));
}

TEST(GLCaps, QueryBuildsProgramsAndSwitchesOnlyWhenNeeded)
{
    REQUIRE_GL_WINDOW();
    LogCapture log("glcaps");
    gl_caps_query();
    gl_caps_apply_settings(true, true, true);
    std::string text = log.text();
    EXPECT_NE(text.find("GL_VENDOR: "), std::string::npos);
    EXPECT_NE(text.find("GL_EXTENSIONS: "), std::string::npos);
    if (gl_caps.multitexture) {
        EXPECT_NE(text.find(" texture units\n"), std::string::npos);
    }
    if (!gl_caps.fragment_shader)
        GTEST_SKIP() << "driver has no shader objects";

    for (int i = 1; i <= 5; i++)
        EXPECT_NE(gl_program_object(i), 0u) << i;
    EXPECT_EQ(gl_program_object(0), 0u);
    EXPECT_EQ(gl_program_object(6), 0u);
    EXPECT_EQ(gl_current_program(), 0);

    gl_program_switches_reset();
    gl_use_program(GL_PROGRAM_LIT);
    gl_use_program(GL_PROGRAM_LIT);  // already current: not counted
    gl_use_program(6);               // out of range: ignored
    EXPECT_EQ(gl_current_program(), 1);
    EXPECT_EQ(gl_program_switches(), 1);
    gl_use_program(0);
    EXPECT_EQ(gl_current_program(), 0);
    EXPECT_EQ(gl_program_switches(), 2);

    const float m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    gl_set_envmat(m);
    EXPECT_EQ(gl_current_program(), 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_TRUE(gl_shaders_usable(3) == (gl_caps.texture_units >= 3));
}

namespace {

// Draws a full-window quad facing the light with the given program and
// returns the centre pixel.
void draw_lit_quad(int program, unsigned char out[4])
{
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    const float pos[4] = {0, 0, 1, 0};
    const float white[4] = {1, 1, 1, 1};
    const float dark[4] = {0, 0, 0, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, pos);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_AMBIENT, dark);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT, GL_AMBIENT, dark);
    glMaterialfv(GL_FRONT, GL_SPECULAR, dark);
    glFogf(GL_FOG_DENSITY, 0);
    unsigned char texel[4] = {255, 128, 0, 255};
    GLuint tex;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glEnable(GL_TEXTURE_2D);
    gl_use_program(program);
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(1, 0);
    glVertex2f(1, -1);
    glTexCoord2f(1, 1);
    glVertex2f(1, 1);
    glTexCoord2f(0, 1);
    glVertex2f(-1, 1);
    glEnd();
    gl_use_program(0);
    glReadPixels(32, 32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, out);
    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &tex);
}

}  // namespace

TEST(GLCaps, LitProgramShadesLikeTheLight)
{
    REQUIRE_GL_WINDOW();
    if (!gl_program_object(GL_PROGRAM_LIT)) {
        gl_caps_query();
        gl_caps_apply_settings(true, true, true);
    }
    if (!gl_program_object(GL_PROGRAM_LIT))
        GTEST_SKIP() << "no programs on this driver";
    // Lit head-on by a white light, the quad shows its texture colour.
    unsigned char px[4];
    draw_lit_quad(GL_PROGRAM_LIT, px);
    EXPECT_NEAR(px[0], 255, 3);
    EXPECT_NEAR(px[1], 128, 3);
    EXPECT_NEAR(px[2], 0, 3);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(GLCaps, ShadersOffLeavesFixedFunctionOnly)
{
    REQUIRE_GL_WINDOW();
    gl_programs_release();
    gl_caps_query();
    gl_caps_apply_settings(false, false, false);
    EXPECT_FALSE(gl_caps.fragment_shader);
    EXPECT_FALSE(gl_caps.vertex_shader);
    EXPECT_FALSE(gl_caps.framebuffer_object);
    EXPECT_FALSE(gl_caps.generate_mipmap);
    EXPECT_FALSE(gl_programs_build());
    for (int i = 0; i <= 6; i++)
        EXPECT_EQ(gl_program_object(i), 0u);
    gl_use_program(GL_PROGRAM_LIT);  // nothing to switch to
    EXPECT_EQ(gl_current_program(), 0);
    EXPECT_FALSE(gl_shaders_usable(1));
}

namespace {

GLuint one_texel(const unsigned char rgba[4])
{
    GLuint tex;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return tex;
}

// Specular light only, seen off-axis (reflection . light about 0.89) with
// material shininess 100, through norm_spec_lit with a flat normal map and
// a specular map of the given alpha. Returns the red channel there.
int specular_seen(unsigned char spec_alpha)
{
    const unsigned char white[4] = {255, 255, 255, 255}, flat[4] = {128, 128, 255, 255};
    const unsigned char specular[4] = {255, 255, 255, spec_alpha};
    GLuint tex = one_texel(white);
    gl_ep.glActiveTextureARB(GL_TEXTURE1_ARB);
    GLuint nmap = one_texel(flat);
    gl_ep.glActiveTextureARB(GL_TEXTURE2_ARB);
    GLuint smap = one_texel(specular);
    gl_ep.glActiveTextureARB(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, tex);

    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, 0, 4);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const float pos[4] = {0, 0, 1, 0}, one[4] = {1, 1, 1, 1}, none[4] = {0, 0, 0, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, pos);
    glLightfv(GL_LIGHT0, GL_SPECULAR, one);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, none);
    glLightfv(GL_LIGHT0, GL_AMBIENT, none);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, none);
    glMaterialfv(GL_FRONT, GL_AMBIENT, none);
    glMaterialf(GL_FRONT, GL_SHININESS, 100);
    glFogf(GL_FOG_DENSITY, 0);
    glTranslatef(0, 0, -1);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl_use_program(GL_PROGRAM_NORM_SPEC_LIT);
    glBegin(GL_QUADS);
    gl_ep.glMultiTexCoord3fARB(GL_TEXTURE1_ARB, 1, 0, 0);  // tangent
    glNormal3f(0, 0, 1);
    glTexCoord2f(0.5f, 0.5f);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
    gl_use_program(0);
    unsigned char px[4];
    glReadPixels(48, 32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);  // eye x = 0.5: viewer (0.5, 0, -1)
    glDeleteTextures(1, &tex);
    glDeleteTextures(1, &nmap);
    glDeleteTextures(1, &smap);
    return px[0];
}

}  // namespace

TEST(GLCaps, SpecularMapAlphaPicksTheExponent)
{
    REQUIRE_GL_WINDOW();
    if (!gl_program_object(GL_PROGRAM_NORM_SPEC_LIT)) {
        gl_caps_query();
        gl_caps_apply_settings(true, true, true);
    }
    if (!gl_shaders_usable(3))
        GTEST_SKIP() << "no programs or too few texture units";
    glDisable(GL_DEPTH_TEST);
    // Alpha 255 selects the material's shininess (100): 0.89^100 is dark.
    EXPECT_LT(specular_seen(255), 10);
    // Alpha 0 gives exponent 0.125: almost the full specular colour.
    EXPECT_GT(specular_seen(0), 240);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
