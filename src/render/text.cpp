// The three fonts and string drawing.
#include "render/text.h"
#include "render/texture.h"

#include <GL/gl.h>

namespace {

Font g_main, g_digits, g_condensed;

void draw_shadow(float a, const char* text)
{
    glPushMatrix();
    glTranslatef(1.0f / 16, -1.0f / 16, 0);
    text_render(0, 0, 0, a * 0.5f, text);
    glPopMatrix();
}

}  // namespace

void font_load_all()
{
    font_release_all();
    if (font_load(&g_main, "@font.png", FONT_MAIN_CHARSET) && !g_main.pixels.empty()) {
        g_main.texture = texture_from_image(g_main.pixels.data(), g_main.width, g_main.height, 4, 0, false, false);
        g_main.pixels.clear();
        g_main.pixels.shrink_to_fit();
    }
    font_load(&g_digits, "@numbers.png", FONT_DIGITS_CHARSET);
    font_load(&g_condensed, "@numbers-condensed.png", FONT_DIGITS_CHARSET);
}

void font_release_all()
{
    texture_free(g_main.texture);
    font_clear(&g_main);
    font_clear(&g_digits);
    font_clear(&g_condensed);
}

const Font& text_main_font()
{
    return g_main;
}

const Font& text_digits_font()
{
    return g_digits;
}

const Font& text_condensed_font()
{
    return g_condensed;
}

float text_width(const char* text)
{
    return font_text_width(g_main, text);
}

void text_render(float r, float g, float b, float a, const char* text)
{
    if (!g_main.texture)
        return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, g_main.texture);
    glBegin(GL_QUADS);
    glColor4f(r, g, b, a);
    float s = g_main.aspect[(unsigned char)' '];
    float x = 0, y = 0;
    for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
        unsigned char c = *p;
        if (c == '\t') {
            float stop = 8 * s;
            if (stop > 0)
                x = float(int(x / stop)) * stop + stop;
        } else if (c == '\n') {
            y -= 1;
            x = 0;
        } else if (c == '\r') {
            x = 0;
        } else if (c == ' ') {
            x += s;
        } else {
            const float* g4 = g_main.glyph[c];
            glTexCoord2f(g4[0], g4[1]);
            glVertex3f(x, y + 1, 0);
            glTexCoord2f(g4[0], g4[3]);
            glVertex3f(x, y, 0);
            x += g_main.aspect[c];
            glTexCoord2f(g4[2], g4[3]);
            glVertex3f(x, y, 0);
            glTexCoord2f(g4[2], g4[1]);
            glVertex3f(x, y + 1, 0);
        }
    }
    glEnd();
}

void text_render_white(const char* text)
{
    text_render(1, 1, 1, 1, text);
}

void text_render_shadowed(float r, float g, float b, float a, const char* text)
{
    draw_shadow(a, text);
    text_render(r, g, b, a, text);
}

void text_render_shadowed_white(const char* text)
{
    draw_shadow(1, text);
    text_render(1, 1, 1, 1, text);
}

void text_render_centred(float r, float g, float b, float a, float left, float right, const char* text)
{
    glPushMatrix();
    glTranslatef(left + ((right - left) - text_width(text)) / 2, 0, 0);
    text_render(r, g, b, a, text);
    glPopMatrix();
}

void text_render_centred_shadowed(float r, float g, float b, float a, float left, float right, const char* text)
{
    glPushMatrix();
    glTranslatef(left + ((right - left) - text_width(text)) / 2, 0, 0);
    text_render_shadowed(r, g, b, a, text);
    glPopMatrix();
}

void text_render_right_shadowed(float r, float g, float b, float a, float right, const char* text)
{
    glPushMatrix();
    glTranslatef(right - text_width(text), 0, 0);
    text_render_shadowed(r, g, b, a, text);
    glPopMatrix();
}

void text_into_pixels(uint8_t* buffer, int width, int height, float r, float g, float b, float a, const char* text)
{
    font_text_into_pixels(g_digits, g_condensed, buffer, width, height, r, g, b, a, text);
}
