// Start-up, the frame loop and shutdown of the game.
#include "core/app/app.h"

#include "core/app/app_state.h"
#include "core/cmdline.h"
#include "core/input_dispatch.h"
#include "core/screenshot.h"
#include "files/stream.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/events.h"
#include "platform/log.h"
#include "platform/message_box.h"
#include "platform/window.h"

#include <GL/gl.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

volatile std::sig_atomic_t stop_requested = 0;

void on_stop_signal(int)
{
    stop_requested = 1;
}

// Is this a key code for the Tab key (set-1 scan code 15)?
bool is_tab(int code)
{
    return code == CONTROL_KEY_BASE + 15;
}

void handle_event(App& app, const InputEvent& ev)
{
    if (ev.code == CONTROL_CLOSE) {
        app.quit = true;
        return;
    }
    bindings_record(app.bindings, ev.code, ev.pressed);
    if (!ev.pressed)
        return;
    if (app.view == VIEW_TITLE)
        return;
    int action = bindings_action_for(app.bindings, ev.code);
    if (action == BIND_PAUSE) {
        if (!app.connected)
            app.paused = !app.paused;
    } else if (action == BIND_STEP) {
        if (app.paused)
            app_simulation_tick(app);
    } else if (action == BIND_SCREENSHOT) {
        if (app.view != VIEW_EDITOR)
            app.screenshot_requested = true;
    } else if (action == BIND_PREV || action == BIND_NEXT) {
        app_view_neighbour(app, action == BIND_PREV ? -1 : +1);
    } else if (is_tab(ev.code)) {
        app.view = view_after_tab(app.view, app.opts.editor);
    }
}

// Writes the window as one raw PPM image on standard output: the rows as
// read back, bottom row of the window first.
void write_video_frame(int width, int height)
{
    std::vector<unsigned char> rgb(size_t(width) * size_t(height) * 3);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    std::printf("P6\n%d %d\n255\n", width, height);
    std::fwrite(rgb.data(), 1, rgb.size(), stdout);
    std::fflush(stdout);
}

void draw_frame(App& app)
{
    int width, height;
    if (!frame_begin(app.window, &width, &height))
        return;
    glViewport(0, 0, width, height);
    app_draw_view(app, width, height);
    if (app.opts.record_video && !app.paused && app.view != VIEW_TITLE)
        write_video_frame(width, height);
    if (app.screenshot_requested) {
        app.screenshot_requested = false;
        app_screenshot_save(app, width, height);
    }
    if (app.opts.glfinish)
        glFinish();
    if (!frame_end(app.window))
        app.quit = true;
}

void run_timing(App& app)
{
    double now = clock_seconds(clock_now());
    double measured = now - app.clock.last_frame_time;
    double wait = frame_sleep_needed(measured, app.rules);
    // The loop sleeps rather than spins; with a locked rate one sleep is
    // enough, otherwise it measures again until a whole tick has passed.
    while (wait > 0) {
        ClockTime t = clock_from_seconds(wait);
        sleep_for(t.sec, t.usec);
        now = clock_seconds(clock_now());
        measured = now - app.clock.last_frame_time;
        wait = app.rules.lock_fps > 0 ? 0 : frame_sleep_needed(measured, app.rules);
    }
    double advance = frame_advance(measured, app.rules);
    frame_clock_commit(&app.clock, measured, advance, now);
    app.frame_now = now;
}

void run_ticks(App& app)
{
    double wall;
    bool last;
    while (frame_next_tick(&app.clock, app.frame_now, &wall, &last)) {
        input_dispatch_tick(app.window, wall, last, [&](const InputEvent& ev) { handle_event(app, ev); });
        control_channels_sum(app.bindings, &app.channels);
        if (app.view != VIEW_TITLE) {
            app_apply_controls(app);
            if (!app.paused)
                app_simulation_tick(app);
        }
        if (app.audio_recording && app.audio) {
            // One tick of sound: 690 frames, left and right, unsigned 8-bit.
            if (const uint8_t* block = audio_readback(app.audio))
                std::fwrite(block, 1, 690 * 2, app.audio_recording);
        }
    }
}

}  // namespace

int app_main(int argc, char** argv)
{
    auto app_ptr = std::make_unique<App>();
    App& app = *app_ptr;

    // 1. Default control table.
    bindings_reset_defaults(app.bindings);

    // 2. Data folders and the log.
    if (!app_data_check()) {
        message_box("Problem starting Kestrum", "Can't find game data\n");
        return 0;
    }

    // 3. Message ring.
    message_log_clear(&app.messages);

    // 6-7. Configuration, derived rendering defaults, then the command line.
    app_load_settings(app);
    std::string message, warnings;
    switch (cmdline_scan(argc, argv, &app.opts, &message, &warnings)) {
    case CMDLINE_ERROR:
        std::fputs(message.c_str(), stderr);
        return 1;
    case CMDLINE_OPEN_HOME:
        open_user_folder();
        return 0;
    case CMDLINE_RUN:
        break;
    }
    std::fputs(warnings.c_str(), stderr);
    app_apply_command_line(app);
    app.rules.lock_fps = app.opts.lock_fps;
    app.rules.warp = app.opts.warp;

    // 8. A server chooses the track.
    if (!app.opts.connect.empty())
        app.opts.track.clear();

    // 9-12. Track catalogue and the start track.
    if (!app_select_start_track(app))
        return 1;

    // 13. The window.
    WindowRequest req{};
    req.title = "Kestrum";
    req.width = app.window_width;
    req.height = app.window_height;
    req.flags = (app.opts.depth & WINDOW_DEPTH_MASK) | (app.fullscreen ? WINDOW_FULLSCREEN : 0);
    req.depth_bits = 16;
    app.window = window_open(req);
    if (!app.window)
        return 1;

    // 14. Audio: the off-line mixer at one block per tick when recording,
    // else the sound device. Failure leaves the game silent.
    if (!app.opts.record_audio.empty()) {
        app.audio_recording = std::fopen(app.opts.record_audio.c_str(), "wb");
        if (app.audio_recording)
            app.audio = audio_open_readback(app.window, 88320, 690);
    } else if (!app.opts.no_sound) {
        app.audio = audio_open(app.window);
    }

    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGTERM, on_stop_signal);

    // 15. Wait for the window to become ready (about ten seconds at most).
    bool ready = false;
    for (int i = 0; i < 162 && !(ready = window_ready(app.window)); i++)
        sleep_for(0, 62500);

    if (ready) {
        // 16-17. GL capabilities and state.
        log_printf("GL_VENDOR: %s\n", (const char*)glGetString(GL_VENDOR));
        log_printf("GL_RENDERER: %s\n", (const char*)glGetString(GL_RENDERER));
        log_printf("GL_VERSION: %s\n", (const char*)glGetString(GL_VERSION));
        log_printf("GL_EXTENSIONS: %s\n", (const char*)glGetString(GL_EXTENSIONS));
        glClearColor(0.196078f, 0.6f, 0.8f, 0.0f);
        glEnable(GL_CULL_FACE);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        if (app.opts.fugly)
            glShadeModel(GL_FLAT);

        // 18. Fonts and the HUD and title images.
        app_start_graphics(app);

        // 19. Bindings against the window's devices.
        bindings_resolve(app.bindings, app.window);

        // 20-23. Physics world and the first session.
        app_start_first_session(app);

        // The frame loop.
        app.clock.last_frame_time = clock_seconds(clock_now());
        while (!app.quit && !stop_requested) {
            app_settle_view(app);
            draw_frame(app);
            if (app.audio)
                audio_update(app.audio);
            run_timing(app);
            run_ticks(app);
            if (app.opts.warp && app.view != VIEW_TITLE)
                app_warp_next_race(app);
            if (app.view != VIEW_TITLE)
                message_log_expire(&app.messages, app.clock.real_clock);
        }
    }

    // Shutdown, in reverse.
    app_end_session(app);
    bindings_release(app.bindings);
    if (app.audio)
        audio_close(app.audio);
    if (app.audio_recording)
        std::fclose(app.audio_recording);
    if (ready)
        app_end_graphics(app);
    window_close(app.window);
    app_save_settings(app);
    log_printf("Shutdown complete\n");
    return 0;
}
