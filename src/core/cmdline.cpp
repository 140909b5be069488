#include "core/cmdline.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

enum ValueKind { NONE, INT_D, FLOAT_F, TEXT, PLAIN_INT, CHASE };

struct Scan {
    int argc;
    const char* const* argv;
    int i;
};

// Matches an option at argv[i]. For value options, "--x v" or "--x=v";
// *value points at the value, or is null when the option ends the line.
bool match(Scan& sc, const char* name, bool takes_value, const char** value)
{
    const char* arg = sc.argv[sc.i];
    size_t n = std::strlen(name);
    if (!takes_value) {
        if (std::strcmp(arg, name) != 0)
            return false;
        sc.i++;
        return true;
    }
    if (std::strcmp(arg, name) == 0) {
        *value = sc.i + 1 < sc.argc ? sc.argv[sc.i + 1] : nullptr;
        sc.i += *value ? 2 : 1;
        return true;
    }
    if (std::strncmp(arg, name, n) == 0 && arg[n] == '=') {
        *value = arg + n + 1;
        sc.i++;
        return true;
    }
    return false;
}

bool parse_int(const char* v, int* out)
{
    return v && std::sscanf(v, "%d", out) == 1;
}

bool parse_float(const char* v, float* out)
{
    return v && std::sscanf(v, "%f", out) == 1;
}

int plain_int(const char* v)
{
    return v ? std::atoi(v) : 0;
}

template <typename T>
T clamp(T v, T lo, T hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

}  // namespace

CmdlineResult cmdline_scan(int argc, const char* const* argv, GameOptions* o,
                           std::string* message, std::string* warnings)
{
    Scan sc{argc, argv, 1};
    bool options_ended = false;
    auto bad = [&](const char* option) {
        *message = std::string("Bad arg for ") + option + "\n";
        return CMDLINE_ERROR;
    };
    // A text option with nothing after it: report it like a bad number.
    auto missing = [&](const char* option) {
        *message = std::string("Missing value for ") + option + "\n";
        return CMDLINE_ERROR;
    };
    while (sc.i < argc) {
        const char* v = nullptr;
        const char* arg = argv[sc.i];
        if (!options_ended) {
            if (match(sc, "--fugly", false, &v)) { o->fugly = true; continue; }
            if (match(sc, "--nosound", false, &v)) { o->no_sound = true; continue; }
            if (match(sc, "--novertexarrays", false, &v)) { o->no_vertex_arrays = true; continue; }
            if (match(sc, "--nolearn", false, &v)) { o->learn = false; continue; }
            if (match(sc, "--debug", false, &v)) { o->debug_level = 1; continue; }
            if (match(sc, "--super-debug", false, &v)) { o->debug_level = 2; continue; }
            if (match(sc, "--practice", false, &v)) { o->practice = true; continue; }
            if (match(sc, "--warp", false, &v)) { o->warp = true; continue; }
            if (match(sc, "--texture-detail", true, &v)) {
                int d;
                if (!parse_int(v, &d)) return bad("--texture-detail");
                o->texture_detail = clamp(d, 0, 4);
                continue;
            }
            if (match(sc, "--ground-texture-detail", true, &v)) {
                int d;
                if (!parse_int(v, &d)) return bad("--ground-texture-detail");
                o->ground_texture_detail = clamp(d, 0, 4);
                continue;
            }
            if (match(sc, "--roostfrequency", true, &v)) {
                int d;
                if (!parse_int(v, &d)) return bad("--roostfrequency");
                o->roost_frequency = clamp(d, 0, 1000);
                continue;
            }
            if (match(sc, "--erode", true, &v)) {
                float f;
                if (!parse_float(v, &f)) return bad("--erode");
                o->erosion = clamp(f, 0.0f, 1.0f);
                continue;
            }
            if (match(sc, "--detail", true, &v)) {
                float f;
                if (!parse_float(v, &f)) return bad("--detail");
                o->terrain_detail = f;
                continue;
            }
            if (match(sc, "--max-detail-distance", true, &v)) {
                float f;
                if (!parse_float(v, &f)) return bad("--max-detail-distance");
                o->max_detail_distance = f;
                o->max_detail_fade_end = f + 5;
                continue;
            }
            if (match(sc, "--lod-scale", true, &v)) {
                float f;
                if (!parse_float(v, &f)) return bad("--lod-scale");
                o->lod_scale = clamp(f, 1e-6f, 1e6f);
                continue;
            }
            if (match(sc, "--lod-bias", true, &v)) {
                float f;
                if (!parse_float(v, &f)) return bad("--lod-bias");
                o->lod_bias = f;
                continue;
            }
            if (match(sc, "--lock-fps", true, &v)) {
                float f;
                if (!parse_float(v, &f)) return bad("--lock-fps");
                o->lock_fps = f;
                continue;
            }
            if (match(sc, "--fake-lag", true, &v)) {
                float f;
                if (!parse_float(v, &f)) return bad("--fake-lag");
                o->fake_lag = clamp(double(f) * 0.001, 0.0, 1.0);
                continue;
            }
            if (match(sc, "--fake-loss", true, &v)) {
                int d;
                if (!parse_int(v, &d)) return bad("--fake-loss");
                o->fake_loss = clamp(d, 0, 100);
                continue;
            }
            if (match(sc, "--record-audio", true, &v)) {
                if (!v) return missing("--record-audio");
                o->record_audio = v;
                continue;
            }
            if (match(sc, "--record-video", false, &v)) { o->record_video = true; continue; }
            if (match(sc, "--rotate-lineup", true, &v)) {
                if (!v) return missing("--rotate-lineup");
                parse_int(v, &o->rotate_lineup);
                continue;
            }
            if (match(sc, "--editor", false, &v)) { o->editor = true; continue; }
            if (match(sc, "--hidden-pause", false, &v)) { o->show_pause_text = false; continue; }
            if (match(sc, "--hidden-hud", false, &v)) { o->show_hud = false; continue; }
            if (match(sc, "--bikes", true, &v)) {
                *warnings += "--bikes doesn't do anything anymore\n";
                continue;
            }
            if (match(sc, "--width", true, &v)) {
                if (!v) return missing("--width");
                o->width = plain_int(v);
                o->width_given = true;
                continue;
            }
            if (match(sc, "--height", true, &v)) {
                if (!v) return missing("--height");
                o->height = plain_int(v);
                o->height_given = true;
                continue;
            }
            if (match(sc, "--depth", true, &v)) {
                if (!v) return missing("--depth");
                o->depth = plain_int(v);
                continue;
            }
            if (match(sc, "--draw-fps", true, &v)) {
                if (!v) return missing("--draw-fps");
                o->draw_fps = plain_int(v);
                continue;
            }
            if (match(sc, "--draw-time", true, &v)) {
                if (!v) return missing("--draw-time");
                o->draw_time = plain_int(v);
                continue;
            }
            if (match(sc, "--draw-ping", true, &v)) {
                if (!v) return missing("--draw-ping");
                o->draw_ping = plain_int(v);
                continue;
            }
            if (match(sc, "--draw-render-stats", true, &v)) {
                if (!v) return missing("--draw-render-stats");
                o->draw_render_stats = plain_int(v);
                continue;
            }
            if (match(sc, "--accurate-skip", false, &v)) { o->accurate_skip = true; continue; }
            if (match(sc, "--track", true, &v)) {
                if (!v) return missing("--track");
                o->track = v;
                continue;
            }
            if (match(sc, "--connect", true, &v)) {
                if (!v) return missing("--connect");
                static const char prefix[] = "kestrum:";
                if (std::strncmp(v, prefix, sizeof prefix - 1) == 0)
                    v += sizeof prefix - 1;
                o->connect = v;
                continue;
            }
            if (match(sc, "--password", true, &v)) {
                if (!v) return missing("--password");
                o->password = v;
                continue;
            }
            if (match(sc, "--chase-center", true, &v)) {
                float c[3];
                if (!v || std::sscanf(v, "%f,%f,%f", &c[0], &c[1], &c[2]) != 3)
                    return bad("--chase-center");
                for (int k = 0; k < 3; k++)
                    o->chase_center[k] = c[k];
                continue;
            }
            if (match(sc, "--open-home", false, &v))
                return CMDLINE_OPEN_HOME;
            if (match(sc, "--glfinish", false, &v)) { o->glfinish = true; continue; }
            if (std::strcmp(arg, "--") == 0) {
                options_ended = true;
                sc.i++;
                continue;
            }
            if (arg[0] == '-') {
                *message = std::string("bad option '") + arg + "'\n";
                return CMDLINE_ERROR;
            }
        }
        if (!o->file.empty()) {
            *message = "Too many files!\n";
            return CMDLINE_ERROR;
        }
        o->file = arg;
        sc.i++;
    }
    return CMDLINE_RUN;
}
