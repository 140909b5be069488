// The start-up, frame and shutdown steps that reach into other subsystems.
// Steps whose subsystem does not exist yet do nothing.
#include "core/app/app_state.h"

#include "files/stream.h"
#include "platform/log.h"

#include <GL/gl.h>

bool app_data_check()
{
    for (int i = 0; const char* folder = search_folder(i); i++) {
        std::string path = std::string(folder) + "zzzz.saf";
        if (Stream* s = stream_open(path.c_str(), "rb")) {
            stream_close(s);
            return true;
        }
    }
    return false;
}

void app_load_settings(App& app)
{
    app.opts.width = app.window_width;
    app.opts.height = app.window_height;
}

bool app_select_start_track(App& app)
{
    (void)app;
    return true;
}

void app_start_first_session(App& app)
{
    (void)app;
}

void app_settle_view(App& app)
{
    ViewFacts facts{false, false, false};
    app.view = view_settle(app.view, facts);
}

void app_draw_view(App& app, int width, int height)
{
    (void)app;
    (void)width;
    (void)height;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void app_apply_controls(App& app)
{
    (void)app;
}

void app_simulation_tick(App& app)
{
    (void)app;
}

void app_screenshot_save(App& app, int width, int height)
{
    (void)app;
    (void)width;
    (void)height;
}

void app_end_session(App& app)
{
    (void)app;
}

void app_save_settings(App& app)
{
    (void)app;
}
