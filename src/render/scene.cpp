// The frame order of the 3D view: sky, ground, lighting, riders, statues,
// billboards, faded riders, debug lines and lens flares.
#include "render/scene.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "files/config.h"
#include "physics/bike.h"
#include "platform/log.h"
#include "render/gl_caps.h"
#include "render/model.h"
#include "render/scene_stats.h"
#include "render/texture.h"
#include "render/texture_hud.h"
#include "track/track.h"

SceneWorld scene_world;
SceneGroundHooks scene_ground_hooks;
SceneSettings scene_settings;

namespace {

Vec3 view_velocity = {0, 0, 0};
constexpr double SKY_HALF = 2886;

Vec3 frame_position(const Bike* b)
{
    const dReal* p = dBodyGetPosition(b->body[BODY_FRAME]);
    return vec3(p[0], p[1], p[2]);
}

// A sphere holding a bike and its rider wherever the bodies are: around the
// bodies' middle, reaching the farthest body and the parts drawn beyond it.
constexpr double RIDER_REACH = 6;
void rider_bounds(const Bike* b, Vec3* centre, double* radius)
{
    Vec3 p[BIKE_BODY_COUNT], mid = vec3(0, 0, 0);
    for (int k = 0; k < BIKE_BODY_COUNT; k++) {
        const dReal* q = dBodyGetPosition(b->body[k]);
        p[k] = vec3(q[0], q[1], q[2]);
        mid = mid + p[k] * (1.0 / BIKE_BODY_COUNT);
    }
    double far = 0;
    for (const Vec3& q : p)
        far = std::max(far, vec3_length(q - mid));
    *centre = mid;
    *radius = far + RIDER_REACH;
}

void sky_draw(const Lighting& l)
{
    const double H = SKY_HALF;
    const float lo = 1.0f / 128, hi = 127.0f / 128;
    // Corners of each face seen from inside: top left, top right, bottom
    // right, bottom left (first picture row at the top, first column left).
    const double faces[SKY_FACES][4][3] = {
        {{-H, H, -H}, {H, H, -H}, {H, -H, -H}, {-H, -H, -H}},  // north, -z
        {{H, H, -H}, {H, H, H}, {H, -H, H}, {H, -H, -H}},      // east, +x
        {{H, H, H}, {-H, H, H}, {-H, -H, H}, {H, -H, H}},      // south, +z
        {{-H, H, H}, {-H, H, -H}, {-H, -H, -H}, {-H, -H, H}},  // west, -x
        {{-H, H, H}, {H, H, H}, {H, H, -H}, {-H, H, -H}},      // up: south edge at the top
    };
    const float tex[4][2] = {{lo, lo}, {hi, lo}, {hi, hi}, {lo, hi}};
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glColor4f(1, 1, 1, 1);
    for (int f = 0; f < SKY_FACES; f++) {
        glBindTexture(GL_TEXTURE_2D, GLuint(l.sky[f]));
        glBegin(GL_QUADS);
        for (int k = 0; k < 4; k++) {
            glTexCoord2fv(tex[k]);
            glVertex3dv(faces[f][k]);
        }
        glEnd();
    }
    glEnable(GL_CULL_FACE);
}

bool has_sky(const Track* t)
{
    if (!t)
        return false;
    for (int f = 0; f < SKY_FACES; f++)
        if (t->lighting.sky[f])
            return true;
    return false;
}

void lighting_set(const Lighting& l)
{
    const GLfloat sun[4] = {l.sun[0], l.sun[1], l.sun[2], 0};
    const GLfloat ambient[4] = {l.ambient[0], l.ambient[1], l.ambient[2], 1};
    const GLfloat colour[4] = {l.sun_colour[0], l.sun_colour[1], l.sun_colour[2], 1};
    const GLfloat global[4] = {l.global_ambient[0], l.global_ambient[1], l.global_ambient[2], 1};
    glLightfv(GL_LIGHT0, GL_POSITION, sun);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, colour);
    glLightfv(GL_LIGHT0, GL_SPECULAR, colour);
    glEnable(GL_LIGHT0);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, global);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
}

void fog_set(const Lighting& l)
{
    const GLfloat colour[4] = {l.fog_colour[0], l.fog_colour[1], l.fog_colour[2], 1};
    glFogi(GL_FOG_MODE, GL_EXP);
    glFogfv(GL_FOG_COLOR, colour);
    glFogf(GL_FOG_DENSITY, l.fog_density);
}

void racing_lines_draw(const std::vector<std::vector<LineMarker>>& lines, Vec3 camera)
{
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (const std::vector<LineMarker>& line : lines) {
        glBegin(GL_LINE_STRIP);
        for (const LineMarker& p : line) {
            Vec3 d = vec3(p.x, p.y, p.z) - camera;
            double a = clampd(1 - 0.001 * vec3_dot(d, d), 0.0625, 1);
            glColor4f(1, 1, 1, float(a));
            glVertex3f(p.x, p.y, p.z);
        }
        glEnd();
    }
    glColor4f(1, 1, 1, 1);
    glEnable(GL_TEXTURE_2D);
}

}  // namespace

namespace {
bool setting_yes(const char* key)
{
    const char* v = config_choice_label(key);
    return v && std::strcmp(v, "Yes") == 0;
}
}  // namespace

void scene_settings_load()
{
    SceneSettings s;
    s.hide_rider = setting_yes("hide_rider");
    s.ghost_fade_distance = config_slider("ghost_fade_distance");
    s.billboard_lookahead = config_int("billboard_optimize_lookahead");
    s.lens_flare = setting_yes("lens_flare");
    s.first_person_height = config_slider("first_person_height");
    s.first_person_angle = config_slider("first_person_angle");
    s.model_detail = config_slider("model_detail");
    s.lod_scale = lod_settings().scale;
    s.lod_bias = lod_settings().bias;
    scene_settings = s;
}

namespace {
int window_width = 640, window_height = 480;
}

void scene_set_window(int width, int height)
{
    window_width = std::max(width, 1);
    window_height = std::max(height, 1);
}

bool scene_sphere_in_view(Vec3 position, const float R[9], double w, double h, Vec3 centre, double radius)
{
    // Into eye space, where the camera looks along -z.
    Vec3 s = centre - position;
    double ex = R[0] * s.x + R[3] * s.y + R[6] * s.z;
    double ey = R[1] * s.x + R[4] * s.y + R[7] * s.z;
    double ez = R[2] * s.x + R[5] * s.y + R[8] * s.z;
    if (-ez + radius < 0.25)  // wholly behind the near plane
        return false;
    // Signed distances beyond the four side planes x = +-w(-z), y = +-h(-z).
    double nx = std::sqrt(1 + w * w), ny = std::sqrt(1 + h * h);
    if ((ex + w * ez) / nx > radius || (-ex + w * ez) / nx > radius)
        return false;
    if ((ey + h * ez) / ny > radius || (-ey + h * ez) / ny > radius)
        return false;
    return true;
}

double scene_ghost_alpha(double distance, double g)
{
    if (g <= 0)
        return 1;
    return clampd((distance - g / 2) / (g - g / 2), 0, 1);
}

void scene_render(Vec3 camera, const float R[9], int viewed_slot)
{
    SceneWorld& w = scene_world;
    Track* t = w.track;
    const SceneSettings& set = scene_settings;
    render_stats_reset();

    if (t && w.race.has_laps)
        scene_animate_track_objects(t, w.race);
    anim_update(w.race.clock);

    if (scene_ground_hooks.view)
        scene_ground_hooks.view(camera, camera_view_direction(R));
    if (scene_ground_hooks.update_textures)
        scene_ground_hooks.update_textures();
    projection_set(window_width, window_height);
    // The inverse camera rotation (R transposed) as the modelview.
    const GLfloat m[16] = {R[0], R[1], R[2], 0, R[3], R[4], R[5], 0, R[6], R[7], R[8], 0, 0, 0, 0, 1};
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(m);
    bool shaders = model_draw_options().shaders;
    if (shaders)
        gl_set_envmat(R);

    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    if (has_sky(t)) {
        sky_draw(t->lighting);
    } else {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    if (t && t->lighting.fog_density > 0) {
        fog_set(t->lighting);
        glEnable(GL_FOG);
    } else {
        glDisable(GL_FOG);
    }
    glTranslated(-camera.x, -camera.y, -camera.z);
    if (scene_ground_hooks.draw)
        scene_ground_hooks.draw();

    if (t)
        lighting_set(t->lighting);
    glEnable(GL_LIGHTING);
    glEnable(GL_NORMALIZE);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GEQUAL, 0.75f);

    // Riders: opaque now, faded ghosts after the billboards.
    bike_draw_context.environment = t ? GLuint(t->lighting.environment) : 0;
    std::memcpy(bike_draw_context.view_rotation, R, sizeof bike_draw_context.view_rotation);
    bike_draw_context.debug_level = w.debug_level;
    int first_local = -1;
    for (int i = 0; i < SCENE_RIDER_SLOTS; i++)
        if (w.riders[i].bike && (w.riders[i].driver == SCENE_PLAYER || w.riders[i].driver == SCENE_ROBOT)) {
            first_local = i;
            break;
        }
    double alpha[SCENE_RIDER_SLOTS];
    for (int i = 0; i < SCENE_RIDER_SLOTS; i++) {
        const SceneRider& r = w.riders[i];
        alpha[i] = 0;
        if (!r.bike)
            continue;
        bool external = r.driver == SCENE_EXTERNAL;
        if (w.connected) {
            alpha[i] = (external && i != viewed_slot && r.state_age >= 1.0) ? 0 : 1;
        } else if (external && first_local >= 0) {
            double d = vec3_length(frame_position(r.bike) - frame_position(w.riders[first_local].bike));
            alpha[i] = scene_ghost_alpha(d, set.ghost_fade_distance);
        } else {
            alpha[i] = 1;
        }
    }
    const Projection& view = projection();
    auto draw_rider = [&](int i) {
        Vec3 centre;
        double radius;
        rider_bounds(w.riders[i].bike, &centre, &radius);
        // The debug markers of a robot's line reach beyond its rider.
        if (w.debug_level < 2 && !scene_sphere_in_view(camera, R, view.w, view.h, centre, radius))
            return;
        int mode = BIKE_DRAW_ALL;
        if (i == viewed_slot)
            mode = set.hide_rider ? BIKE_DRAW_NO_RIDER : BIKE_DRAW_FIRST_PERSON;
        bike_draw_context.alpha = float(alpha[i]);
        bike_draw(w.riders[i].bike, mode, camera);
    };
    for (int i = 0; i < SCENE_RIDER_SLOTS; i++)
        if (alpha[i] >= 1)
            draw_rider(i);

    if (t)
        statues_draw(t, camera, R);
    glDisable(GL_ALPHA_TEST);

    Vec3 z_cam = vec3(R[2], R[5], R[8]);
    if (t) {
        static std::vector<int> order;
        billboard_draw_order(t->billboards, camera, z_cam, set.billboard_lookahead, &order);
        render_stats().billboards += billboards_draw(t->billboards, order, z_cam);
    }

    glEnable(GL_LIGHTING);
    glDepthFunc(GL_LEQUAL);
    for (int i = 0; i < SCENE_RIDER_SLOTS; i++)
        if (alpha[i] > 0 && alpha[i] < 1)
            draw_rider(i);
    bike_draw_context.alpha = 1;

    if (shaders)
        gl_use_program(GL_PROGRAM_NONE);
    if (w.debug_level >= 2)
        racing_lines_draw(w.racing_lines, camera);

    glDisable(GL_FOG);
    glLoadIdentity();
    glDepthFunc(GL_ALWAYS);
    if (t && set.lens_flare)
        lens_flares_draw(t, camera, R);
    render_stats_finish();
}

void scene_render_first_person(const Bike* viewed, int viewed_slot)
{
    if (!viewed)
        return;
    dBodyID body = viewed->body[BODY_RIDER];
    BodyPose p{};
    const dReal* q = dBodyGetPosition(body);
    const dReal* r = dBodyGetRotation(body);
    p.position = vec3(q[0], q[1], q[2]);
    for (int k = 0; k < 3; k++)
        p.axis[k] = vec3(r[k], r[4 + k], r[8 + k]);
    const dReal* v = dBodyGetLinearVel(body);
    view_velocity = vec3(v[0], v[1], v[2]);
    Camera c = camera_first_person(p, scene_settings.first_person_height, scene_settings.first_person_angle);
    scene_render(c.position, c.rotation, viewed_slot);
}

Vec3 scene_view_velocity() { return view_velocity; }

void loading_screen(const char* message)
{
    loading_screen_draw(window_width, window_height, message ? message : "");
}
