// The start-up, frame and shutdown steps that reach into other subsystems.
#include "core/app/app_scene.h"
#include "core/app/app_state.h"

#include "core/roster.h"
#include "core/screenshot.h"
#include "core/session.h"
#include "files/config.h"
#include "files/data_check.h"
#include "files/image.h"
#include "files/model_file.h"
#include "files/stream.h"
#include "physics/bike.h"
#include "platform/log.h"
#include "platform/window.h"
#include "render/gl_caps.h"
#include "render/terrain_render.h"
#include "render/text.h"
#include "render/texture.h"
#include "render/texture_hud.h"
#include "track/track.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>

namespace {

std::vector<std::string> labels_of(const std::vector<GearChoice>& choices)
{
    std::vector<std::string> labels;
    for (const GearChoice& c : choices)
        labels.push_back(c.label);
    return labels;
}

std::vector<std::string> bike_graphics_labels(const char* bike)
{
    return labels_of(gear_catalogue_build(data_file_names(), bike_graphics_prefix(bike).c_str()));
}

// Entry 0 "Default Fullscreen", 1 "Windowed", then every display mode of
// the first mode's colour depth.
std::vector<std::string> video_mode_labels()
{
    std::vector<std::string> labels = {"Default Fullscreen", "Windowed"};
    const DisplayMode* modes = display_modes();
    if (modes && modes[0].width) {
        int depth = modes[0].depth;
        for (const DisplayMode* m = modes; m->width; m++) {
            if (m->depth != depth)
                continue;
            char label[32];
            std::snprintf(label, sizeof label, "%dx%d", m->width, m->height);
            labels.push_back(label);
        }
    }
    return labels;
}

void bindings_from_config(Binding bindings[BIND_COUNT])
{
    for (int i = 0; i < BIND_COUNT; i++) {
        Binding& b = bindings[i];
        const ConfigBinding* c = config_binding(b.config_key);
        if (!c)
            continue;
        std::snprintf(b.key_name, sizeof b.key_name, "%s", c->key.c_str());
        std::snprintf(b.axis_name, sizeof b.axis_name, "%s", c->axis.c_str());
        b.low = float(c->low);
        b.high = float(c->high);
    }
}

Window* loading_window = nullptr;

// Session and track set-up show their progress full-screen while a window
// can show it.
void show_loading(const char* message)
{
    int width, height;
    if (!loading_window || !frame_begin(loading_window, &width, &height))
        return;
    glViewport(0, 0, width, height);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    loading_screen_draw(width, height, message);
    frame_end(loading_window);
}

// Race messages (false starts) go to the on-screen list of the running game.
App* message_app = nullptr;

void post_race_message(const char* message)
{
    if (message_app)
        message_log_add(&message_app->messages, message_app->clock.real_clock, "%s", message);
}

bool choice_is_yes(const char* key)
{
    return std::strcmp(config_choice_label(key), "Yes") == 0;
}

}  // namespace

bool app_data_check()
{
    return data_folder_check();
}

void app_load_settings(App& app)
{
    // Catalogue-fed choices must know their labels before the file is read,
    // or a saved texture or mode name would be dropped.
    const std::vector<std::string>& names = data_file_names();
    config_set_choice_labels("rider_texture", labels_of(gear_catalogue_build(names, "rider_body-")));
    config_set_choice_labels("head_texture", labels_of(gear_catalogue_build(names, "rider_head-")));
    config_set_choice_labels("wheel_texture", labels_of(gear_catalogue_build(names, "wheels-")));
    config_set_bike_graphics_source(bike_graphics_labels);
    app.video_modes = video_mode_labels();
    config_set_choice_labels("video_mode", app.video_modes);

    config_load();
    render_settings_derive();
    bindings_from_config(app.bindings);

    const RenderSettings& rs = render_settings();
    GameOptions& o = app.opts;
    o.texture_detail = rs.model_texture_detail;
    o.ground_texture_detail = rs.ground_texture_detail;
    o.roost_frequency = rs.roost_frequency;
    o.terrain_detail = float(rs.terrain_detail);
    o.lod_scale = float(rs.lod_scale);
    o.lod_bias = float(rs.lod_bias);
    o.width = config_int("xres");
    o.height = config_int("yres");
    o.draw_fps = config_int("draw_fps");
    o.draw_time = config_int("draw_time");
    o.draw_ping = config_int("draw_ping");
}

void app_apply_command_line(App& app)
{
    const GameOptions& o = app.opts;
    if (o.width_given)
        config_set_int("xres", o.width);
    if (o.height_given)
        config_set_int("yres", o.height);
    // The window: windowed at the configured size, otherwise full screen
    // at the chosen mode ("Default Fullscreen": the desktop size).
    int mode = config_choice("video_mode");
    if (mode == 1) {
        app.fullscreen = false;
        app.window_width = config_int("xres");
        app.window_height = config_int("yres");
    } else {
        app.fullscreen = true;
        app.window_width = 0;
        app.window_height = 0;
        if (mode >= 2 && size_t(mode) < app.video_modes.size())
            std::sscanf(app.video_modes[size_t(mode)].c_str(), "%dx%d", &app.window_width, &app.window_height);
    }
    texture_set_detail(o.texture_detail);
    texture_set_debug(o.debug_level);
    // Which distance variant of a model is drawn: from the model detail
    // slider, or --lod-scale / --lod-bias.
    lod_settings_set(o.lod_scale, o.lod_bias);
}

bool app_select_start_track(App& app)
{
    terrain_settings.debug_level = app.opts.debug_level;
    if (!track_catalogue_build(&track_catalogue)) {
        std::fputs("No tracks found\n", stderr);
        return false;
    }
    int choice = track_start_choice(app.opts.track.empty() ? nullptr : app.opts.track.c_str(), &track_catalogue);
    session().settings.track = track_catalogue.names[size_t(choice)];
    return true;
}

void app_start_graphics(App& app)
{
    gl_caps_query();
    gl_caps_apply_settings(choice_is_yes("ground_mipmaps"), choice_is_yes("use_fbo"), choice_is_yes("use_shader"));
    font_load_all();
    hud_images_load();
    terrain_render_install();
    terrain_render_set_vertex_arrays(!app.opts.no_vertex_arrays);
    terrain_render_set_min_texture_level(app.opts.ground_texture_detail);
    // The ground textures' size and whether they are drawn through a
    // framebuffer object, for the tracks loaded from now on.
    terrain_settings.framebuffer_objects = gl_caps.framebuffer_object;
    terrain_settings.ground_texture_setting = config_choice("ground_texture_dim");
    app_scene_install();
}

void app_start_first_session(App& app)
{
    if (!physics_world_init())
        return;
    Session& s = session();
    SessionSettings& st = s.settings;
    st.player.bike = config_choice_label("bike");
    st.player.number = config_text("number");
    st.practice = app.opts.practice;
    st.learn = app.opts.learn;
    st.debug_level = app.opts.debug_level;
    st.roost_density = app.opts.roost_frequency;
    st.erosion = app.opts.erosion;
    loading_window = app.window;
    s.progress = show_loading;
    message_app = &app;
    s.post_message = post_race_message;
    track_hooks.loading_screen = show_loading;
    // One robot rides the start track behind the main menu.
    for (int& v : app.lineup)
        v = LINEUP_EMPTY;
    app.lineup[0] = LINEUP_ROBOT;
    if (!st.track.empty())
        session_start(app.lineup, !app.opts.file.empty(), false, 0, 1000, config_choice("skill"));
    app.viewed_slot = s.race.viewed_slot;
    app_place_free_camera(app);
}

void app_settle_view(App& app)
{
    Session& s = session();
    const Rider& viewed = s.riders[app.viewed_slot];
    ViewFacts facts{s.have_track, viewed.bike != nullptr, viewed.bike && viewed.driver == DRIVER_PLAYER};
    app.view = view_settle(app.view, facts);
}

void app_draw_view(App& app, int width, int height)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (app.view == VIEW_TITLE || track_current.hf.heights.empty()) {
        loading_screen_draw(width, height, "");
        return;
    }
    Camera c = app_view_camera(app);
    app_scene_draw(width, height, app.view == VIEW_RIDER, app.viewed_slot, c.position, c.forward, c.up);
}

namespace {

Vec3 body_point(const Bike* b, int body, Vec3 local)
{
    dVector3 out;
    dBodyGetRelPointPos(b->body[body], local.x, local.y, local.z, out);
    return vec3(out[0], out[1], out[2]);
}

Vec3 chase_target(const App& app, const Bike* b)
{
    const float* c = app.opts.chase_center;
    return body_point(b, BODY_FRAME, vec3(c[0], c[1], c[2]));
}

}  // namespace

Camera app_view_camera(App& app)
{
    Session& s = session();
    const Rider& r = s.riders[app.viewed_slot];
    const HeightField* hf = &track_current.hf;
    if (app.view == VIEW_CHASE && r.bike) {
        Vec3 target = chase_target(app, r.bike);
        if (r.driver == DRIVER_PLAYER) {
            dVector3 f;
            dBodyVectorToWorld(r.bike->body[BODY_FRAME], 0, 0, -1, f);
            const dReal* v = dBodyGetLinearVel(r.bike->body[BODY_FRAME]);
            return chase_camera_player(hf, target, vec3(f[0], f[1], f[2]), vec3(v[0], v[1], v[2]),
                                       choice_is_yes("rigid_camera"));
        }
        return chase_camera_orbit(hf, target, app.orbit);
    }
    return free_camera_view(app.free_camera);
}

void app_warp_next_race(App& app)
{
    Session& s = session();
    const RaceTiming& t = s.race.timing;
    if (!s.have_track || t.standings_count == 0)
        return;
    const Rider& leader = s.riders[t.standings[0].slot];
    if (laps_completed(&s.course, &leader.progress) < t.total_laps)
        return;
    int rotated[SLOT_COUNT];
    for (int k = 0; k < SLOT_COUNT; k++)
        rotated[(k + 1) % SLOT_COUNT] = app.lineup[k];
    std::memcpy(app.lineup, rotated, sizeof rotated);
    int minutes = int(config_slider("minutes"));
    session_start(app.lineup, false, choice_is_yes("record"), minutes * 60 * TICKS_PER_SECOND,
                  int(config_slider("laps")), config_choice("skill"));
    app.viewed_slot = s.race.viewed_slot;
}

void app_view_neighbour(App& app, int step)
{
    Session& s = session();
    const Rider& viewed = s.riders[app.viewed_slot];
    if (viewed.bike && viewed.driver == DRIVER_PLAYER && !config_int("spy"))
        return;
    const RaceTiming& t = s.race.timing;
    for (int i = 0; i < t.standings_count; i++) {
        if (t.standings[i].slot != app.viewed_slot)
            continue;
        int k = clampi(i + step, 0, t.standings_count - 1);
        app.viewed_slot = t.standings[k].slot;
        s.race.viewed_slot = app.viewed_slot;
        return;
    }
}

void app_place_free_camera(App& app)
{
    const Rider& r = session().riders[app.viewed_slot];
    if (!r.bike)
        return;
    const dReal* p = dBodyGetPosition(r.bike->body[BODY_FRAME]);
    app.free_camera.position = vec3(p[0], p[1] + 5, p[2]);
}

void app_apply_controls(App& app)
{
    Rider& r = session().riders[app.viewed_slot];
    const float* ch = app.channels.value;
    if (!r.bike || r.driver != DRIVER_PLAYER) {
        // Chase and free views of other riders: the controls fly the camera.
        if (app.view == VIEW_CHASE) {
            chase_orbit_step(&app.orbit, ch[CHANNEL_STEER], ch[CHANNEL_THROTTLE], ch[CHANNEL_FRONT_BRAKE],
                             ch[CHANNEL_SHIFT]);
        } else if (app.view == VIEW_FREE) {
            bool follow = ch[CHANNEL_DAB] > 0.125 && r.bike;
            Vec3 target{0, 0, 0};
            if (follow) {
                const dReal* p = dBodyGetPosition(r.bike->body[BODY_FRAME]);
                const dReal* v = dBodyGetLinearVel(r.bike->body[BODY_FRAME]);
                target = vec3(p[0] + v[0] * TICK_SECONDS, p[1] + v[1] * TICK_SECONDS, p[2] + v[2] * TICK_SECONDS);
            }
            free_camera_step(&app.free_camera, &track_current.hf, ch[CHANNEL_STEER], ch[CHANNEL_SHIFT],
                             ch[CHANNEL_THROTTLE], ch[CHANNEL_FRONT_BRAKE], follow, target);
        }
        return;
    }
    const float* c = ch;
    Bike* b = r.bike;
    double steer = c[CHANNEL_STEER];
    if (choice_is_yes("reverse_steering"))
        steer = -steer;
    bike_set_steer(b, steer);
    bike_set_throttle(b, c[CHANNEL_THROTTLE]);
    bike_set_front_brake(b, c[CHANNEL_FRONT_BRAKE]);
    bike_set_rear_brake(b, c[CHANNEL_REAR_BRAKE]);
    bike_request_shift(b, bike_shift_request_from_axis(c[CHANNEL_SHIFT]));
    bike_set_clutch(b, clutch_engagement_step(bike_clutch(b), c[CHANNEL_CLUTCH]));
    bike_set_sit_dab(b, sticky_dab_step(&app.sticky_dab, c[CHANNEL_DAB], choice_is_yes("sticky_dab")));
    bike_set_back_up(b, c[CHANNEL_BACK_UP]);
    bike_set_lean(b, c[CHANNEL_LEAN]);
}

void app_simulation_tick(App& app)
{
    (void)app;
    simulation_tick();
}

void app_screenshot_save(App& app, int width, int height)
{
    if (app.next_screenshot == 0)
        app.next_screenshot = screenshot_next_number(screenshot_folder_names(user_folder()));
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    char name[64];
    std::snprintf(name, sizeof name, "@screenshot%03u.png", app.next_screenshot);
    if (image_write_png_rgb(name, rgb.data(), width, height))
        message_log_add(&app.messages, app.clock.real_clock, "Saved \"screenshot%03u.png\"", app.next_screenshot);
    app.next_screenshot++;
}

void app_end_session(App& app)
{
    (void)app;
    loading_window = nullptr;
    session().progress = nullptr;
    session().post_message = nullptr;
    message_app = nullptr;
    track_hooks.loading_screen = nullptr;
    session_end();
    physics_world_close();
}

void app_end_graphics(App& app)
{
    font_release_all();
    texture_release_all();
    gl_programs_release();
    (void)app;
}

void app_save_settings(App& app)
{
    for (int i = 0; i < BIND_COUNT; i++) {
        const Binding& b = app.bindings[i];
        ConfigBinding c;
        c.key = b.key_name;
        c.axis = b.axis_name;
        c.low = b.low;
        c.high = b.high;
        config_set_binding(b.config_key, c);
    }
    config_save();
}
