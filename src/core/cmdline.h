// The game's command line: the settings one run may change, and the scanner
// that fills them in.
#pragma once
#include <string>

// Settings the command line may change. The caller fills in the defaults
// (some come from the configuration) before scanning.
struct GameOptions {
    int debug_level = 0;
    bool practice = false;
    bool fugly = false;              // flat shading, no sky box
    bool no_sound = false;
    bool no_vertex_arrays = false;
    bool learn = true;               // save racing lines learnt this run
    bool warp = false;               // unattended fast racing
    int texture_detail = 1;          // model texture detail 0..4
    int ground_texture_detail = 1;   // 0..4
    int roost_frequency = 250;       // 0..1000
    float erosion = 0;               // 0..1
    float terrain_detail = 0.125f / 50;
    float max_detail_distance = 0;
    float max_detail_fade_end = 5;
    float lod_scale = 1;             // 1e-6..1e6
    float lod_bias = 0;
    float lock_fps = 0;              // 0 = off
    double fake_lag = 0;             // seconds, 0..1
    int fake_loss = 0;               // percent 0..100
    std::string record_audio;        // file, empty = none
    bool record_video = false;
    int rotate_lineup = 0;
    bool editor = false;
    bool show_pause_text = true;
    bool show_hud = true;
    int width = 640, height = 480;   // replace the configuration's xres, yres
    bool width_given = false, height_given = false;
    int depth = 16;
    int draw_fps = 0, draw_time = 0, draw_ping = 1, draw_render_stats = 0;
    bool accurate_skip = false;
    std::string track;               // start track folder, empty = none
    std::string connect;             // server address, empty = none
    std::string password;
    float chase_center[3] = {0, 2.52f, 0.52f};
    bool glfinish = false;
    std::string file;                // demo file argument, empty = none
};

enum CmdlineResult {
    CMDLINE_RUN,        // scanned; start the game
    CMDLINE_OPEN_HOME,  // "--open-home": open the user folder and exit 0
    CMDLINE_ERROR,      // message set; exit 1
};

// Scans argv[1..argc-1] into opts. On CMDLINE_ERROR, *message holds the
// text for standard error (ending in a newline). Warnings that do not stop
// the program (such as "--bikes") are appended to *warnings.
CmdlineResult cmdline_scan(int argc, const char* const* argv, GameOptions* opts,
                           std::string* message, std::string* warnings);
