// The track objects that follow the race (starter, lap board, flag
// marshals) and the statues.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

#include "render/gl_caps.h"
#include "render/model.h"
#include "render/scene.h"
#include "render/scene_stats.h"
#include "render/texture.h"
#include "track/track.h"

namespace {

// How far a model reaches from its origin, over every mesh of its file.
// Remembered per model; the name and size are checked too, since a model
// released with its track may leave its address to another.
struct ModelReach {
    std::string name;
    int vertices = -1;
    float radius = 0;
};

float model_reach(const Mesh* head)
{
    static std::unordered_map<const Mesh*, ModelReach> known;
    ModelReach& r = known[head];
    if (r.vertices == head->vertex_count && r.name == head->name)
        return r.radius;
    float far2 = 0;
    for (const Mesh* m = head; m; m = m->next.get())
        for (size_t k = 0; k + 2 < m->positions.size() && k < size_t(m->vertex_count) * 3; k += 3) {
            float x = m->positions[k], y = m->positions[k + 1], z = m->positions[k + 2];
            far2 = std::max(far2, x * x + y * y + z * z);
        }
    r = {head->name, head->vertex_count, std::sqrt(far2)};
    return r.radius;
}

// Whether a statue's model can show in the view: its reach, scaled by the
// longest of its axes, around its position.
bool statue_in_view(const Statue& s, Vec3 camera, const float R[9])
{
    float scale = 0;
    for (const auto& axis : s.rotation)
        scale = std::max(scale, std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]));
    const Projection& view = projection();
    return scene_sphere_in_view(camera, R, view.w, view.h, vec3(s.x, s.y, s.z), model_reach(s.model) * scale + 1);
}

// Changes a billboard's picture, restarting animations on a change.
void billboard_set_texture(Track* t, int index, int texture, int tick)
{
    if (index < 0 || index >= int(t->billboards.size()))
        return;
    Billboard& b = t->billboards[size_t(index)];
    if (b.texture == texture)
        return;
    if (b.texture)
        anim_stop(GLuint(b.texture));
    b.texture = texture;
    if (texture)
        anim_start(GLuint(texture), tick);
}

}  // namespace

void scene_animate_track_objects(Track* t, const SceneRace& race)
{
    if (!t)
        return;
    const double now = race.clock / double(TICKS_PER_SECOND);
    const int s0 = race.start_tick / TICKS_PER_SECOND;  // whole seconds
    const StartAnimation& sa = t->start_animation;
    if (sa.billboard >= 0 && sa.billboard < int(t->billboards.size())) {
        int tex;
        if (now < s0 + 0.1)
            tex = sa.textures[0];
        else if (now < s0 + 0.4)
            tex = sa.textures[1];
        else if (now < s0 + 1)
            tex = sa.textures[2];
        else if (now < s0 + 1 + sa.duration)
            tex = sa.textures[3];
        else
            tex = sa.textures[4];
        billboard_set_texture(t, sa.billboard, tex, race.clock);
        double k = sa.duration > 0 ? clampd((now - (s0 + 1)) / sa.duration, 0, 1) : (now >= s0 + 1 ? 1 : 0);
        Billboard& b = t->billboards[size_t(sa.billboard)];
        b.x = float(sa.a[0] + k * (sa.b[0] - sa.a[0]));
        b.z = float(sa.a[2] + k * (sa.b[2] - sa.a[2]));
        double ground = t->hf.vertex_count > 0 ? terrain_height(&t->hf, b.x, b.z) : 0.0;
        b.y = float(ground + sa.a[1] + k * (sa.b[1] - sa.a[1]));
    }
    const LapBoard& lb = t->lap_board;
    if (lb.billboard >= 0) {
        int L = race.leader_laps, N = race.total_laps, tex;
        if (L >= N)
            tex = lb.textures[3];
        else if (L == N - 1)
            tex = lb.textures[2];
        else if (L == race.halfway_lap)
            tex = lb.textures[1];
        else
            tex = lb.textures[0];
        billboard_set_texture(t, lb.billboard, tex, race.clock);
    }
    for (const Flagger& f : t->flaggers) {
        bool alert = false;
        for (int g : f.gates)
            if (g >= 0 && std::find(race.gates_rider_down.begin(), race.gates_rider_down.end(), g) !=
                              race.gates_rider_down.end())
                alert = true;
        billboard_set_texture(t, f.billboard, alert ? f.alert_texture : f.normal_texture, race.clock);
    }
}

bool statue_faces_camera(const Statue& s, Vec3 camera, double lod_scale, double lod_bias)
{
    if (s.facing_distance <= 0)
        return false;
    Vec3 d = camera - vec3(s.x, s.y, s.z);
    double f = s.facing_distance - lod_bias;
    return f * f < vec3_dot(d, d) * lod_scale * lod_scale;
}

void statue_face(Statue* s, Vec3 camera)
{
    Vec3 z = vec3_normalize(vec3(camera.x - s->x, 0, camera.z - s->z));
    if (vec3_length(z) == 0)
        return;
    Vec3 y = vec3(0, 1, 0), x = vec3_cross(y, z);
    const Vec3 axes[3] = {x, y, z};
    for (int k = 0; k < 3; k++) {
        s->rotation[k][0] = float(axes[k].x);
        s->rotation[k][1] = float(axes[k].y);
        s->rotation[k][2] = float(axes[k].z);
    }
}

void statues_draw(Track* t, Vec3 camera, const float rotation[9])
{
    const SceneSettings& set = scene_settings;
    const double m = set.model_detail;
    static std::vector<Statue*> drawn;  // kept from frame to frame
    drawn.clear();
    for (Statue& s : t->statues) {
        if (!s.model)
            continue;
        Vec3 p = vec3(s.x, s.y, s.z);
        if (m <= 10) {
            double limit = 20 * m * m;
            Vec3 d = camera - p;
            if (vec3_dot(d, d) > limit * limit)
                continue;
        }
        if (statue_faces_camera(s, camera, set.lod_scale, set.lod_bias))
            statue_face(&s, camera);
        if (!statue_in_view(s, camera, rotation))
            continue;
        drawn.push_back(&s);
    }
    auto push_pose = [](const Statue& s) {
        glPushMatrix();
        glTranslatef(s.x, s.y, s.z);
        const GLfloat r[16] = {s.rotation[0][0], s.rotation[0][1], s.rotation[0][2], 0,
                               s.rotation[1][0], s.rotation[1][1], s.rotation[1][2], 0,
                               s.rotation[2][0], s.rotation[2][1], s.rotation[2][2], 0,
                               0, 0, 0, 1};
        glMultMatrixf(r);
    };
    // Lit pass.
    const GLfloat white[4] = {1, 1, 1, bike_draw_context.alpha};
    glEnable(GL_LIGHTING);
    glMaterialfv(GL_FRONT, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, white);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    int bound[3] = {-1, -1, -1};
    for (Statue* s : drawn) {
        if (s->texture != bound[0] || s->normal_map != bound[1] || s->specular_map != bound[2]) {
            texture_set_bind(GLuint(s->texture), GLuint(s->normal_map), GLuint(s->specular_map));
            bound[0] = s->texture, bound[1] = s->normal_map, bound[2] = s->specular_map;
        }
        push_pose(*s);
        glColor4f(1, 1, 1, 1);
        model_draw_lit(const_cast<Mesh*>(s->model), camera, vec3(s->x, s->y, s->z));
        glPopMatrix();
    }
    // Environment pass for the shiny parts.
    if (t->lighting.environment) {
        bool started = false;
        int bound_normal = -1;
        for (Statue* s : drawn) {
            if (!model_has_env(s->model))
                continue;
            if (!started) {
                started = true;
                glDisable(GL_LIGHTING);
                glBlendFunc(GL_ONE, GL_ONE);
                glBindTexture(GL_TEXTURE_2D, GLuint(t->lighting.environment));
                render_stats().texture_changes++;
            }
            if (s->normal_map != bound_normal) {
                env_maps_bind(GLuint(s->normal_map));
                bound_normal = s->normal_map;
            }
            push_pose(*s);
            model_draw_env(const_cast<Mesh*>(s->model), camera, vec3(s->x, s->y, s->z), rotation);
            glPopMatrix();
        }
        if (started) {
            glEnable(GL_LIGHTING);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        }
    }
    if (model_draw_options().shaders)
        gl_use_program(GL_PROGRAM_NONE);
}
