// Start-up pictures and the loading screen.
#include "render/texture_hud.h"
#include "platform/log.h"
#include "render/text.h"
#include "render/texture.h"

namespace {

HudImages g_hud = {0, 0, 0, 0};

const char BUILD_LABEL[] = "2010-12-01 snapshot";

}  // namespace

void hud_images_load()
{
    g_hud.tach = texture_load("!@tach.png");
    g_hud.shifter = texture_load("!@shifter.png");
    g_hud.pitboard = texture_load("!@pitboard.png");
    g_hud.title = texture_load("!@title.ppm");
}

const HudImages& hud_images()
{
    return g_hud;
}

void loading_screen_draw(int width, int height, const char* message)
{
    if (width < 1 || height < 1)
        return;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // One unit is the window height; x runs 0..aspect.
    float aspect = float(width) / float(height);
    glOrtho(0, aspect, 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (g_hud.title) {
        glDisable(GL_BLEND);
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glBindTexture(GL_TEXTURE_2D, g_hud.title);
        glColor4f(1, 1, 1, 1);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 1);
        glVertex2f(0, 0);
        glTexCoord2f(1, 1);
        glVertex2f(aspect, 0);
        glTexCoord2f(1, 0);
        glVertex2f(aspect, 1);
        glTexCoord2f(0, 0);
        glVertex2f(0, 1);
        glEnd();
    }
    if (message && *message) {
        log_printf("%s\n", message);
        const float size = 1.0f / 14;
        glPushMatrix();
        glTranslatef(0, 0.5f - size / 2, 0);
        glScalef(size, size, 1);
        text_render_centred_shadowed(1, 1, 1, 1, 0, aspect / size, message);
        glPopMatrix();
    }
    const float label = 1.0f / 16;
    glPushMatrix();
    glTranslatef(label * 0.5f, label * 0.25f, 0);
    glScalef(label, label, 1);
    text_render(0.75f, 0.75f, 0.75f, 1, BUILD_LABEL);
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}
