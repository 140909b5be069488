// Bike and rider drawing: the lit pass, the environment pass and the debug
// line markers.
#include "render/bike_draw.h"

#include <GL/gl.h>

#include <string>
#include <unordered_map>

#include "physics/bike.h"
#include "physics/rider_pose.h"
#include "render/gl_caps.h"
#include "render/model.h"
#include "render/scene_stats.h"
#include "render/texture.h"

BikeDrawContext bike_draw_context;
int (*bike_line_markers_hook)(const Bike* b, const LineMarker** points, int* current) = nullptr;

namespace {

struct CachedAssets {
    std::string signature;  // the names the assets were loaded for
    BikeDrawAssets assets;
};

std::unordered_map<const Bike*, CachedAssets>& asset_cache()
{
    static std::unordered_map<const Bike*, CachedAssets> cache;
    return cache;
}

std::string signature_of(const Bike* b)
{
    std::string s;
    for (const BikeGraphicsGroup* g :
         {&b->graphics.bike, &b->graphics.wheels, &b->graphics.rider_body, &b->graphics.rider_head}) {
        s += g->texture;
        s += '|';
        for (const std::string& m : g->models)
            s += m + '|';
        s += '#';
    }
    return s;
}

Mesh* group_model(const BikeGraphicsGroup& g, size_t i)
{
    if (i >= g.models.size() || g.models[i].empty())
        return nullptr;
    return model_load(g.models[i].c_str());
}

GLuint first_loadable(const std::vector<std::string>& names)
{
    for (const std::string& n : names)
        if (GLuint t = texture_load(n.c_str()))
            return t;
    return 0;
}

TextureSet load_set(const std::string& texture, const char* catalogue_texture)
{
    TextureSet s;
    if (texture.empty())
        return s;
    s.texture = texture_load(texture.c_str());
    // Maps are only of use to the per-pixel programs.
    if (model_draw_options().shaders) {
        s.normal_map = first_loadable(bike_texture_map_candidates(texture.c_str(), catalogue_texture, "_norm"));
        s.specular_map = first_loadable(bike_texture_map_candidates(texture.c_str(), catalogue_texture, "_spec"));
    }
    return s;
}

bool shaders_on() { return model_draw_options().shaders && gl_ep.glActiveTextureARB; }

void set_unit(int unit, GLuint texture)
{
    gl_ep.glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    if (texture) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glEnable(GL_TEXTURE_2D);
    } else {
        glBindTexture(GL_TEXTURE_2D, 0);
        glDisable(GL_TEXTURE_2D);
    }
}

void bind_counted(GLuint texture)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    render_stats().texture_changes++;
}

void load_pose_matrix(const BodyPose& p)
{
    const GLdouble m[16] = {p.axis[0].x, p.axis[0].y, p.axis[0].z, 0, p.axis[1].x, p.axis[1].y, p.axis[1].z, 0,
                            p.axis[2].x, p.axis[2].y, p.axis[2].z, 0, p.position.x, p.position.y, p.position.z, 1};
    glMultMatrixd(m);
}

BodyPose body_pose(dBodyID body)
{
    BodyPose p{};
    const dReal* q = dBodyGetPosition(body);
    const dReal* r = dBodyGetRotation(body);
    p.position = vec3(q[0], q[1], q[2]);
    for (int k = 0; k < 3; k++)
        p.axis[k] = vec3(r[k], r[4 + k], r[8 + k]);
    return p;
}

// Everything one draw works from, computed once and used by both passes.
struct DrawPlan {
    BodyPose pose[BIKE_BODY_COUNT];
    bool skip_chassis;  // fork lower, swingarm, wheels
    bool draw_rider;
    bool draw_head;     // and the rider plate
    Mesh* body_model;
    RiderSkeleton skeleton;
    ModelBones bones;
    HeadPose head;
    BodyPose head_body;
};

void draw_rigid(Mesh* m, const BodyPose& p, Vec3 camera, bool env)
{
    if (!m || (env && !model_has_env(m)))
        return;
    glPushMatrix();
    load_pose_matrix(p);
    if (env)
        model_draw_env(m, camera, p.position, bike_draw_context.view_rotation);
    else
        model_draw_lit(m, camera, p.position);
    glPopMatrix();
}

void draw_skinned(Mesh* m, const DrawPlan& plan, Vec3 camera, bool env)
{
    if (!m || (env && !model_has_env(m)))
        return;
    Vec3 at = plan.pose[BODY_RIDER].position;
    if (env)
        model_draw_env(m, camera, at, bike_draw_context.view_rotation, &plan.bones);
    else
        model_draw_lit(m, camera, at, &plan.bones);
}

// The environment maps of a set are bound once per pass, before the first
// of its models that has environment meshes.
struct EnvBinder {
    bool bound = false;
    void need(GLuint normal_map, Mesh* a, Mesh* b = nullptr)
    {
        if (bound)
            return;
        if ((a && model_has_env(a)) || (b && model_has_env(b))) {
            env_maps_bind(normal_map);
            bound = true;
        }
    }
};

}  // namespace

BikeDrawAssets bike_draw_assets_load(const Bike* b)
{
    BikeDrawAssets a;
    const BikeGraphics& g = b->graphics;
    a.frame = group_model(g.bike, 0);
    a.side_plates = group_model(g.bike, 1);
    a.fork_upper = group_model(g.bike, 2);
    a.front_plate = group_model(g.bike, 3);
    a.fork_lower = group_model(g.bike, 4);
    a.swingarm = group_model(g.bike, 5);
    a.front_wheel = group_model(g.wheels, 0);
    a.rear_wheel = group_model(g.wheels, 1);
    a.rider_body = group_model(g.rider_body, 0);
    a.rider_plate = group_model(g.rider_body, 1);
    a.rider_body_fp = group_model(g.rider_body, 2);
    a.rider_head = group_model(g.rider_head, 0);
    const BikeModel& m = b->model;
    a.bike = load_set(g.bike.texture, m.bike_texture);
    a.wheels = load_set(g.wheels.texture, m.wheel_texture);
    a.rider_body_set = load_set(g.rider_body.texture, m.rider_body_texture);
    a.rider_head_set = load_set(g.rider_head.texture, m.rider_head_texture);
    return a;
}

void texture_set_bind(GLuint texture, GLuint normal_map, GLuint specular_map)
{
    if (shaders_on()) {
        bool both = normal_map && specular_map;
        if (gl_caps.texture_units > 2)
            set_unit(2, both ? specular_map : 0);
        if (gl_caps.texture_units > 1)
            set_unit(1, normal_map);
        gl_ep.glActiveTextureARB(GL_TEXTURE0_ARB);
        gl_use_program(both ? GL_PROGRAM_NORM_SPEC_LIT : normal_map ? GL_PROGRAM_NORM_LIT : GL_PROGRAM_LIT);
    }
    bind_counted(texture);
}

void env_maps_bind(GLuint normal_map)
{
    if (!shaders_on())
        return;
    if (gl_caps.texture_units > 1)
        set_unit(1, normal_map);
    gl_ep.glActiveTextureARB(GL_TEXTURE0_ARB);
    gl_use_program(normal_map ? GL_PROGRAM_NORM_ENV : GL_PROGRAM_ENV);
}

void line_markers_draw(const LineMarker* points, int count, int current)
{
    if (!points || count <= 0)
        return;
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    auto square = [](float x, float y, float z, float half) {
        glVertex3f(x - half, y, z - half);
        glVertex3f(x + half, y, z - half);
        glVertex3f(x + half, y, z + half);
        glVertex3f(x - half, y, z + half);
    };
    auto square_back = [](float x, float y, float z, float half) {
        glVertex3f(x - half, y, z - half);
        glVertex3f(x - half, y, z + half);
        glVertex3f(x + half, y, z + half);
        glVertex3f(x + half, y, z - half);
    };
    glBegin(GL_QUADS);
    for (int i = 0; i < count; i++) {
        const LineMarker& p = points[i];
        glColor3f(0, 0, 0);
        square(p.x, p.y, p.z, 1.5f);
        square_back(p.x, p.y, p.z, 1.5f);
        float k = 0.125f;
        if (i == current) {
            k = 0.25f;
            glColor3f(1, 1, 1);
        } else if (p.speed >= 0) {
            glColor3f(0.5f, 0.5f, 0.5f);
        } else {
            glColor3f(0.5f, 0.5f, 1);
        }
        // The upper square faces up, the lower one down.
        square_back(p.x, p.y + k, p.z, 1);
        square(p.x, p.y - k, p.z, 1);
    }
    glEnd();
    glColor4f(1, 1, 1, 1);
    glEnable(GL_TEXTURE_2D);
}

void bike_draw(Bike* b, int mode, Vec3 camera)
{
    if (!b)
        return;
    CachedAssets& c = asset_cache()[b];
    std::string sig = signature_of(b);
    if (c.signature != sig || sig.empty()) {
        c.signature = sig;
        c.assets = bike_draw_assets_load(b);
    }
    bike_draw_with(b, c.assets, mode, camera);
}

void bike_draw_release(Bike* b)
{
    if (!b)
        return;
    asset_cache().erase(b);
    if (b->plate_texture) {
        texture_free(b->plate_texture);
        b->plate_texture = 0;
    }
}

void bike_draw_with(Bike* b, const BikeDrawAssets& a, int mode, Vec3 camera)
{
    if (!b)
        return;
    if (!b->plate_texture)
        b->plate_texture = texture_text(128, 128, b->number);

    DrawPlan plan{};
    for (int i = 0; i < BIKE_BODY_COUNT; i++)
        plan.pose[i] = body_pose(b->body[i]);
    plan.skip_chassis = mode != BIKE_DRAW_ALL && b->crash_timer <= 0;
    plan.body_model = (mode == BIKE_DRAW_FIRST_PERSON && a.rider_body_fp) ? a.rider_body_fp : a.rider_body;
    plan.draw_rider = mode != BIKE_DRAW_NO_RIDER && plan.body_model;
    plan.draw_head = mode == BIKE_DRAW_ALL;
    // The lean-back changes the drawn rider only.
    RiderPoseInput in = rider_pose_input(b);
    plan.pose[BODY_RIDER] = in.rider;
    bool need_bones = plan.draw_rider || (plan.draw_head && a.rider_plate);
    if (need_bones) {
        plan.skeleton = rider_skeleton_compute(b);
        plan.bones = ModelBones{RIDER_BONES, plan.skeleton.matrices, rider_rest_origins(), plan.skeleton.origins};
    }
    if (plan.draw_head && a.rider_head) {
        plan.head = head_pose_from_pose(in, b->model);
        plan.head_body.position = plan.head.position;
        for (int k = 0; k < 3; k++)
            plan.head_body.axis[k] = plan.head.axis[k];
    }

    // Lit pass.
    const float alpha = bike_draw_context.alpha;
    const GLfloat material[4] = {1, 1, 1, alpha};
    glEnable(GL_LIGHTING);
    glMaterialfv(GL_FRONT, GL_AMBIENT, material);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, material);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glColor4f(1, 1, 1, alpha);

    texture_set_bind(a.bike.texture, a.bike.normal_map, a.bike.specular_map);
    draw_rigid(a.frame, plan.pose[BODY_FRAME], camera, false);
    draw_rigid(a.fork_upper, plan.pose[BODY_FORK_UPPER], camera, false);
    if (!plan.skip_chassis) {
        draw_rigid(a.fork_lower, plan.pose[BODY_FORK_LOWER], camera, false);
        draw_rigid(a.swingarm, plan.pose[BODY_SWINGARM], camera, false);
        texture_set_bind(a.wheels.texture, a.wheels.normal_map, a.wheels.specular_map);
        draw_rigid(a.front_wheel, plan.pose[BODY_FRONT_WHEEL], camera, false);
        draw_rigid(a.rear_wheel, plan.pose[BODY_REAR_WHEEL], camera, false);
    }
    if (plan.draw_rider) {
        texture_set_bind(a.rider_body_set.texture, a.rider_body_set.normal_map, a.rider_body_set.specular_map);
        draw_skinned(plan.body_model, plan, camera, false);
    }
    if (plan.draw_head && a.rider_head) {
        texture_set_bind(a.rider_head_set.texture, a.rider_head_set.normal_map, a.rider_head_set.specular_map);
        draw_rigid(a.rider_head, plan.head_body, camera, false);
    }
    texture_set_bind(b->plate_texture, 0, 0);
    draw_rigid(a.front_plate, plan.pose[BODY_FORK_UPPER], camera, false);
    draw_rigid(a.side_plates, plan.pose[BODY_FRAME], camera, false);
    if (plan.draw_head && a.rider_plate)
        draw_skinned(a.rider_plate, plan, camera, false);

    // Environment pass: added light over what is drawn.
    glDisable(GL_LIGHTING);
    glBlendFunc(GL_ONE, GL_ONE);
    if (shaders_on() && gl_caps.texture_units > 2) {
        set_unit(2, 0);
        gl_ep.glActiveTextureARB(GL_TEXTURE0_ARB);
    }
    if (bike_draw_context.environment) {
        bind_counted(bike_draw_context.environment);
        EnvBinder bike_maps, wheel_maps, body_maps, head_maps, plate_maps;
        bike_maps.need(a.bike.normal_map, a.frame, a.fork_upper);
        draw_rigid(a.frame, plan.pose[BODY_FRAME], camera, true);
        draw_rigid(a.fork_upper, plan.pose[BODY_FORK_UPPER], camera, true);
        if (!plan.skip_chassis) {
            bike_maps.need(a.bike.normal_map, a.fork_lower, a.swingarm);
            draw_rigid(a.fork_lower, plan.pose[BODY_FORK_LOWER], camera, true);
            draw_rigid(a.swingarm, plan.pose[BODY_SWINGARM], camera, true);
            wheel_maps.need(a.wheels.normal_map, a.front_wheel, a.rear_wheel);
            draw_rigid(a.front_wheel, plan.pose[BODY_FRONT_WHEEL], camera, true);
            draw_rigid(a.rear_wheel, plan.pose[BODY_REAR_WHEEL], camera, true);
        }
        if (plan.draw_rider) {
            body_maps.need(a.rider_body_set.normal_map, plan.body_model);
            draw_skinned(plan.body_model, plan, camera, true);
        }
        if (plan.draw_head && a.rider_head) {
            head_maps.need(a.rider_head_set.normal_map, a.rider_head);
            draw_rigid(a.rider_head, plan.head_body, camera, true);
        }
        plate_maps.need(0, a.front_plate, a.side_plates);
        draw_rigid(a.front_plate, plan.pose[BODY_FORK_UPPER], camera, true);
        draw_rigid(a.side_plates, plan.pose[BODY_FRAME], camera, true);
        if (plan.draw_head && a.rider_plate) {
            plate_maps.need(0, a.rider_plate);
            draw_skinned(a.rider_plate, plan, camera, true);
        }
    }
    if (shaders_on()) {
        if (gl_caps.texture_units > 1)
            set_unit(1, 0);
        gl_ep.glActiveTextureARB(GL_TEXTURE0_ARB);
        gl_use_program(GL_PROGRAM_NONE);
    }
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_LIGHTING);

    if (bike_draw_context.debug_level >= 2 && bike_line_markers_hook) {
        const LineMarker* points = nullptr;
        int current = -1;
        int n = bike_line_markers_hook(b, &points, &current);
        line_markers_draw(points, n, current);
        glEnable(GL_LIGHTING);
    }
}
