// Lens flares: visibility from the drawn frame (a bright pixel that is far
// enough away), fading at the view edges, drawn additively on the plane
// z = -1.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "render/scene.h"
#include "track/track.h"

double lens_flare_edge_fade(double x, double y, double w, double h)
{
    double M = std::min(w, h) / 32;
    if (M <= 0)
        return 0;
    double fx = clampd((w - std::fabs(x)) / M, 0, 1);
    double fy = clampd((h - std::fabs(y)) / M, 0, 1);
    return std::min(fx, fy);
}

void lens_flares_draw(Track* t, Vec3 camera, const float R[9])
{
    const Projection& pr = projection();
    const double w = pr.w, h = pr.h;
    bool any = false;
    for (Flare& f : t->lighting.flares) {
        f.intensity = 0;
        Vec3 s = vec3(f.position[0], f.position[1], f.position[2]);
        if (!f.is_direction)
            s = s - camera;
        // Eye space: R transposed times s.
        Vec3 e = vec3(R[0] * s.x + R[3] * s.y + R[6] * s.z, R[1] * s.x + R[4] * s.y + R[7] * s.z,
                      R[2] * s.x + R[5] * s.y + R[8] * s.z);
        if (!(e.z < 0))
            continue;
        double x = -e.x / e.z, y = -e.y / e.z;
        if (std::fabs(x) > w || std::fabs(y) > h)
            continue;
        int px = int((x + w) / (2 * w) * pr.width), py = int((y + h) / (2 * h) * pr.height);
        px = clampi(px, 0, pr.width - 1), py = clampi(py, 0, pr.height - 1);
        GLubyte rgb[4] = {0, 0, 0, 0};
        glReadPixels(px, py, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgb);
        if (rgb[0] <= 223 || rgb[1] <= 223 || rgb[2] <= 223)
            continue;
        GLfloat d = 1;
        glReadPixels(px, py, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &d);
        double v = (-1250 / (d * 4999.75 - 5000) - 0.25) * 0.00020001;
        double need = f.is_direction ? 0.4 : clampd((-e.z - 0.25) * 0.00020001, 0, 1);
        if (v < need)
            continue;
        f.screen_x = float(x), f.screen_y = float(y);
        f.intensity = float(lens_flare_edge_fade(x, y, w, h));
        any = any || f.intensity > 0;
    }
    if (!any)
        return;
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDepthMask(GL_FALSE);
    for (const Flare& f : t->lighting.flares) {
        if (f.intensity <= 0)
            continue;
        for (const FlareElement& el : f.elements) {
            float cx = el.a * f.screen_x + el.b * f.screen_y, cy = el.a * f.screen_y - el.b * f.screen_x;
            float s = el.size;
            glBindTexture(GL_TEXTURE_2D, GLuint(el.texture));
            glColor4f(f.intensity * el.colour[0], f.intensity * el.colour[1], f.intensity * el.colour[2], 1);
            glBegin(GL_QUADS);
            glTexCoord2f(0, 1);
            glVertex3f(cx - s, cy - s, -1);
            glTexCoord2f(1, 1);
            glVertex3f(cx + s, cy - s, -1);
            glTexCoord2f(1, 0);
            glVertex3f(cx + s, cy + s, -1);
            glTexCoord2f(0, 0);
            glVertex3f(cx - s, cy + s, -1);
            glEnd();
        }
    }
    glColor4f(1, 1, 1, 1);
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
}
