// The main loop's state and the steps of start-up, frame and shutdown that
// reach into the other subsystems. app.cpp runs the order; app_steps.cpp
// holds the steps.
#pragma once
#include "core/bindings.h"
#include "core/cameras.h"
#include "core/cmdline.h"
#include "core/frame_clock.h"
#include "core/message_log.h"
#include "core/view_mode.h"
#include "physics/bike.h"

#include <cstdio>
#include <string>
#include <vector>

struct Audio;
struct Window;

struct App {
    GameOptions opts;
    MessageLog messages;
    FrameClock clock;
    FrameRules rules;
    double frame_now = 0;        // wall time at the end of this frame's timing step
    ViewMode view = VIEW_TITLE;
    bool paused = false;
    bool quit = false;
    bool connected = false;
    int viewed_slot = 0;
    Window* window = nullptr;
    Audio* audio = nullptr;
    std::FILE* audio_recording = nullptr;  // "--record-audio": mixed blocks go here
    int window_width = 640, window_height = 480;
    bool fullscreen = false;
    Binding bindings[BIND_COUNT];
    ControlChannels channels{};
    std::vector<std::string> video_modes;
    int lineup[40] = {};     // the line-up of the running session
    StickyDab sticky_dab{};
    ChaseOrbit orbit;
    FreeCamera free_camera;
    bool screenshot_requested = false;
    unsigned next_screenshot = 0;  // 0 until the first screenshot of the run
};

// True when a search folder holds our game data.
bool app_data_check();

// Configuration, the derived rendering defaults and the window size; before
// the command line is scanned.
void app_load_settings(App& app);

// After the command line: window size and mode, texture detail.
void app_apply_command_line(App& app);

// GL capabilities and shader programs, fonts and the HUD images.
void app_start_graphics(App& app);

// Releases what app_start_graphics made, while the context still exists.
void app_end_graphics(App& app);

// Track catalogue and the start track. False ends the program with status
// 1 (no tracks at all).
bool app_select_start_track(App& app);

// Physics world and the first race session behind the main menu.
void app_start_first_session(App& app);

// The frame's first step: settles the view mode from the world.
void app_settle_view(App& app);

// Draws the current view into the window.
void app_draw_view(App& app, int width, int height);

// The camera of the chase and free views for this frame.
Camera app_view_camera(App& app);

// "--warp": once the leader has run the session's laps, the line-up moves
// on by one gate and the next race starts.
void app_warp_next_race(App& app);

// Views the rider one place ahead (-1) or behind (+1) in the standings;
// refused while the player rides the viewed bike unless spying is allowed.
void app_view_neighbour(App& app, int step);

// Puts the free camera 5 ft above the viewed rider.
void app_place_free_camera(App& app);

// Passes the channels to the player's bike or the camera.
void app_apply_controls(App& app);

// One simulation tick of the race session.
void app_simulation_tick(App& app);

// Saves the window as the next "@screenshot%03d.png".
void app_screenshot_save(App& app, int width, int height);

// Tears the session and the physics world down.
void app_end_session(App& app);

// Writes the configuration.
void app_save_settings(App& app);
