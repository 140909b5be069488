// Billboards and particles: depth keys, the linear-time sort, the
// texture-batching look-ahead and the camera-facing quads.
#include <GL/gl.h>

#include <cmath>

#include "render/scene.h"
#include "render/scene_stats.h"
#include "track/track.h"

namespace {

// Base corners of a billboard relative to the camera, in the horizontal
// plane (x, z).
struct Corners {
    double lx, lz, rx, rz;
};

Corners corners_of(const Billboard& b, Vec3 camera, Vec3 r)
{
    double hw = b.aspect * b.height / 2;
    Corners c;
    c.lx = b.x - r.x * hw - camera.x, c.lz = b.z - r.z * hw - camera.z;
    c.rx = b.x + r.x * hw - camera.x, c.rz = b.z + r.z * hw - camera.z;
    return c;
}

// Whether Q (between in the draw order) overlaps P (the candidate) as seen
// from the camera.
bool overlaps(const Corners& P, const Corners& Q)
{
    return Q.rx * P.lz - P.lx * Q.rz < 0 && P.rx * Q.lz - P.rz * Q.lx < 0;
}

Vec3 across_view(Vec3 z_cam) { return vec3_normalize(vec3(z_cam.z, 0, -z_cam.x)); }

}  // namespace

int billboard_depth_key(Vec3 p, Vec3 z_cam)
{
    return int(std::floor(vec3_dot(p, z_cam) * 1024 + 16777216.0));
}

void billboard_radix_sort(std::vector<int>* indices, const std::vector<unsigned>& keys)
{
    std::vector<int>& a = *indices;
    std::vector<int> b(a.size());
    for (int shift = 0; shift < 32; shift += 8) {
        size_t count[257] = {0};
        for (int i : a)
            count[((keys[size_t(i)] >> shift) & 255) + 1]++;
        for (int k = 0; k < 256; k++)
            count[k + 1] += count[k];
        for (int i : a)
            b[count[(keys[size_t(i)] >> shift) & 255]++] = i;
        a.swap(b);
    }
}

void billboard_draw_order(const std::vector<Billboard>& bbs, Vec3 camera, Vec3 z_cam, int lookahead,
                          std::vector<int>* order)
{
    order->clear();
    static std::vector<unsigned> keys;
    keys.assign(bbs.size(), 0);
    const int camera_key = billboard_depth_key(camera, z_cam);
    for (size_t i = 0; i < bbs.size(); i++) {
        const Billboard& b = bbs[i];
        if (!b.texture || b.colour[3] == 0)
            continue;
        double along = b.x * z_cam.x + b.y * z_cam.y + b.z * z_cam.z;
        if (i < size_t(TRACK_PARTICLE_SLOTS))
            along += b.aspect * b.height;
        double kd = std::floor(along * 1024 + 16777216.0);
        if (!(kd < camera_key))  // level with or behind the camera (or not a number)
            continue;
        keys[i] = kd < 0 ? 0u : unsigned(kd);
        order->push_back(int(i));
    }
    billboard_radix_sort(order, keys);
    if (lookahead <= 1)
        return;
    std::vector<int>& o = *order;
    Vec3 r = across_view(z_cam);
    const int n = int(o.size());
    for (int i = 0; i + 2 < n; i++) {
        int tex = bbs[size_t(o[size_t(i)])].texture;
        if (bbs[size_t(o[size_t(i + 1)])].texture == tex)
            continue;
        int found = -1;
        for (int m = 2; m < lookahead && i + m < n; m++)
            if (bbs[size_t(o[size_t(i + m)])].texture == tex) {
                found = i + m;
                break;
            }
        if (found < 0)
            continue;
        Corners P = corners_of(bbs[size_t(o[size_t(found)])], camera, r);
        bool blocked = false;
        for (int j = i + 1; j < found && !blocked; j++)
            blocked = overlaps(P, corners_of(bbs[size_t(o[size_t(j)])], camera, r));
        if (blocked)
            continue;
        int moved = o[size_t(found)];
        for (int j = found; j > i + 1; j--)
            o[size_t(j)] = o[size_t(j - 1)];
        o[size_t(i + 1)] = moved;
    }
}

int billboards_draw(const std::vector<Billboard>& bbs, const std::vector<int>& order, Vec3 z_cam)
{
    if (order.empty())
        return 0;
    Vec3 r = across_view(z_cam);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDepthMask(GL_FALSE);
    int bound = -1;
    bool open = false;
    for (int i : order) {
        const Billboard& b = bbs[size_t(i)];
        if (b.texture != bound) {
            if (open)
                glEnd();
            glBindTexture(GL_TEXTURE_2D, GLuint(b.texture));
            render_stats().texture_changes++;
            bound = b.texture;
            glBegin(GL_QUADS);
            open = true;
        }
        float hw = b.aspect * b.height / 2;
        float rx = float(r.x) * hw, rz = float(r.z) * hw;
        glColor4ubv(b.colour);
        glTexCoord2f(0, 1);
        glVertex3f(b.x - rx, b.y, b.z - rz);
        glTexCoord2f(1, 1);
        glVertex3f(b.x + rx, b.y, b.z + rz);
        glTexCoord2f(1, 0);
        glVertex3f(b.x + rx, b.y + b.height, b.z + rz);
        glTexCoord2f(0, 0);
        glVertex3f(b.x - rx, b.y + b.height, b.z - rz);
    }
    if (open)
        glEnd();
    glColor4f(1, 1, 1, 1);
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    return int(order.size());
}
