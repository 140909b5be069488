#include "files/config.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/stream.h"
#include "physics/bike.h"
#include "physics/bike_model.h"

namespace {

const std::vector<std::string> NO_YES = {"No", "Yes"};

std::vector<std::string> default_bike_graphics(const char*) { return {"default"}; }
BikeGraphicsSource g_bike_graphics_source = default_bike_graphics;

struct TableBuilder {
    std::vector<ConfigSetting>& out;

    void integer(const char* key, const char* meaning, int def)
    {
        ConfigSetting s;
        s.key = key;
        s.kind = CONFIG_INTEGER;
        s.label = meaning;
        s.int_value = s.int_default = def;
        out.push_back(s);
    }
    void choice(const char* key, const char* label, std::vector<std::string> labels,
                const char* def)
    {
        ConfigSetting s;
        s.key = key;
        s.kind = CONFIG_CHOICE;
        s.label = label;
        s.choices = std::move(labels);
        for (size_t i = 0; i < s.choices.size(); i++)
            if (s.choices[i] == def)
                s.choice_default = int(i);
        s.choice_value = s.choice_default;
        out.push_back(s);
    }
    void slider(const char* key, const char* label, double def, double lo, double hi,
                double step)
    {
        ConfigSetting s;
        s.key = key;
        s.kind = CONFIG_SLIDER;
        s.label = label;
        s.slider_value = s.slider_default = def;
        s.min = lo;
        s.max = hi;
        s.step = step;
        out.push_back(s);
    }
    void text(const char* key, const char* label, const char* def, int max_length)
    {
        ConfigSetting s;
        s.key = key;
        s.kind = CONFIG_TEXT;
        s.label = label;
        s.text_value = s.text_default = def;
        s.max_length = max_length;
        out.push_back(s);
    }
    void binding(const char* key, const char* label, const char* key_name)
    {
        ConfigSetting s;
        s.key = key;
        s.kind = CONFIG_BINDING;
        s.label = label;
        s.binding_default.key = key_name;
        s.binding = s.binding_default;
        out.push_back(s);
    }
};

std::vector<ConfigSetting> build_table()
{
    std::vector<ConfigSetting> t;
    TableBuilder b{t};
    b.integer("xres", "window width in windowed mode", 640);
    b.integer("yres", "window height in windowed mode", 480);
    b.integer("draw_fps", "HUD frame-rate display", 0);
    b.integer("draw_time", "HUD time display", 0);
    b.integer("draw_ping", "HUD ping display", 1);
    b.integer("spy", "spectating allowed", 0);
    b.choice("record", "Record Demo", NO_YES, "No");
    b.choice("skill", "Robot Skill", {"Novice", "Amateur", "Expert"}, "Novice");
    b.slider("minutes", "Minutes", 0, 0, 60, 1);
    b.slider("laps", "Laps", 5, 0, 50, 1);
    for (int i = 0; i < 40; i++) {
        char key[16], label[16];
        std::snprintf(key, sizeof key, "slot%02d", i);
        std::snprintf(label, sizeof label, "Gate %d", i + 1);
        const char* def = "Empty";
        if (i == 17 || i == 18 || i == 20 || i == 21 || i == 22)
            def = "Robot";
        else if (i == 19)
            def = "Human";
        b.choice(key, label, {"Empty", "Human", "Robot", "Robot (2 stroke)", "Robot (4 stroke)"},
                 def);
    }
    b.slider("ghost_fade_distance", "Ghost Fade Distance", 10, 0, 40, 1);
    b.choice("time_trial_abort", "Backing Up Aborts Attempt", NO_YES, "Yes");
    std::vector<std::string> bikes;
    for (int i = 0; i < BIKE_MENU_COUNT; i++)
        bikes.push_back(bike_menu_name(i));
    b.choice("bike", "Bike", bikes, "crf250(2009)");
    b.text("name", "Name", "Ned Burnout", 63);
    b.text("number", "Number", "999", 3);
    b.choice("rider_texture", "Riding Gear", {"default"}, "default");
    b.choice("head_texture", "Helmet", {"default"}, "default");
    b.choice("bike_texture", "Bike Graphics", {"default"}, "default");
    b.choice("wheel_texture", "Wheel Graphics", {"default"}, "default");
    b.slider("stability", "Stability", 100, 0, 100, 1);
    b.slider("leveling", "Leveling", 20, 0, 100, 1);
    b.slider("roll_damping", "Roll Damping", 80, 0, 100, 1);
    b.slider("roll_limit_angle", "Roll Limit Angle", 35, 0, 180, 1);
    b.slider("roll_limit_factor", "Roll Limit Factor", 32, 0, 64, 1);
    b.slider("steering_damping", "Steering Damping", 45, 0, 100, 1);
    b.slider("steering_strength", "Steering Strength", 75, 0, 100, 1);
    b.slider("max_steering_force", "Max Steering Force", 400, 0, 1000, 5);
    b.slider("direct_steering", "Direct Steering", 0, 0, 1, 0.125);
    b.slider("slow_damping_speed", "Slow Damping Speed", 40, 0, 100, 1);
    b.slider("slow_damping_factor", "Slow Damping Factor", 2, 1, 10, 0.25);
    b.slider("land_damping_falloff", "Landing Damping Falloff", 0.25, 0, 0.5, 0.0625);
    b.slider("land_damping_factor", "Landing Damping Factor", 2, 1, 3, 0.25);
    b.choice("arcade", "Arcade Physics", NO_YES, "Yes");
    b.choice("front_brake", "Front Brake", {"Normal", "Antilock"}, "Antilock");
    b.choice("rear_brake", "Rear Brake", {"Normal", "Antilock"}, "Normal");
    b.choice("stop_wheelies", "Stop Wheelies", {"No", "Yes", "Front Only"}, "No");
    b.choice("auto_shift", "Automatic Shifting", NO_YES, "Yes");
    b.choice("auto_dab", "Dab When Stopped", NO_YES, "Yes");
    b.choice("sticky_dab", "Sticky Sit/Dab", NO_YES, "No");
    b.choice("reverse_steering", "Reversed Steering", NO_YES, "Yes");
    b.choice("lean_indicator", "Lean Indicator", NO_YES, "Yes");
    b.slider("auto_clutch_rpms", "Auto Clutch RPMs", 5000, 0, 5000, 100);
    b.slider("brake_torque", "Braking Torque (Front)", 250, 0, 500, 10);
    b.slider("rear_brake_torque", "Braking Torque (Rear)", 250, 0, 500, 10);
    b.slider("max_dab_speed", "Max Dab Speed (MPH)", 20, 10, 20, 1);
    b.slider("front_sprocket_adjustment", "Countershaft Sprocket", 0, -2, 2, 1);
    b.slider("rear_sprocket_adjustment", "Rear Sprocket", 0, -2, 2, 1);
    b.slider("fork_compression_adjustment", "Fork Compression Damping", 50, 0, 100, 1);
    b.slider("fork_rebound_adjustment", "Fork Rebound Damping", 50, 0, 100, 1);
    b.slider("fork_spring_rate_adjustment", "Fork Spring Rate", 50, 0, 100, 1);
    b.slider("fork_preload_adjustment", "Fork Preload", 50, 0, 100, 1);
    b.slider("fork_oil_level_adjustment", "Fork Oil Level", 50, 0, 100, 1);
    b.slider("shock_compression_adjustment", "Shock Compression Damping", 50, 0, 100, 1);
    b.slider("shock_rebound_adjustment", "Shock Rebound Damping", 50, 0, 100, 1);
    b.slider("shock_spring_rate_adjustment", "Shock Spring Rate", 50, 0, 100, 1);
    b.slider("shock_preload_adjustment", "Shock Preload", 50, 0, 100, 1);
    b.slider("rider_yspring", "Rider Vertical Spring", 50, 0, 100, 1);
    b.slider("rider_ydamping", "Rider Vertical Damping", 50, 0, 100, 1);
    b.slider("rider_zspring", "Rider Forward Spring", 50, 0, 100, 1);
    b.slider("rider_zdamping", "Rider Forward Damping", 50, 0, 100, 1);
    b.slider("rider_mass_distribution", "Rider Mass Distribution", 0.33, 0.33, 0.5, 0.01);
    b.choice("video_mode", "Video Mode", {"Default Fullscreen", "Windowed"},
             "Default Fullscreen");
    b.text("server_name", "Server", "localhost", 127);
    for (int i = 0; i < 16; i++) {
        char key[32];
        std::snprintf(key, sizeof key, "server_name_hist%02d", i);
        b.text(key, "recent server", "", 126);
    }
    b.slider("ground_detail", "Ground Geometric Detail", 50, 0, 100, 1);
    b.slider("ground_texture_detail", "Ground Texture Levels", 9, 0, 10, 1);
    b.choice("ground_texture_dim", "Ground Texture Resolution",
             {"32x32", "64x64", "128x128", "256x256", "512x512", "1024x1024"}, "128x128");
    b.choice("ground_mipmaps", "Enable Ground Mipmaps", NO_YES, "No");
    b.choice("use_fbo", "Use Framebuffer Objects", NO_YES, "No");
    b.choice("use_shader", "Use Shader Programs", NO_YES, "No");
    b.slider("roost_density", "Roost Density", 250, 0, 1000, 10);
    b.choice("lens_flare", "Enable Lens Flares", NO_YES, "Yes");
    b.choice("hide_rider", "Hide 1st Person Rider", NO_YES, "No");
    b.choice("rigid_camera", "Rigid 3rd person camera", NO_YES, "No");
    b.slider("model_detail", "Model Geometric Detail", 50, 0, 100, 1);
    b.slider("model_texture_detail", "Model Texture Detail", 9, 0, 10, 1);
    b.slider("fov", "Field Of View", 110, 10, 170, 1);
    b.slider("first_person_height", "1st Person Height", 0, 0, 1, 0.03125);
    b.slider("first_person_angle", "1st Person Angle", 0, 0, 40, 1);
    b.slider("volume", "Volume", 10, 0, 10, 1);
    b.choice("playback_mode", "Playback Mode", {"Playback Only", "Race Against"},
             "Playback Only");
    b.integer("billboard_optimize_lookahead", "billboard look-ahead", 8);
    b.binding("throttle_key", "Throttle", "x");
    b.binding("front_brake_key", "Front Brake", "c");
    b.binding("rear_brake_key", "Rear Brake", "v");
    b.binding("left_key", "Left", "left");
    b.binding("right_key", "Right", "right");
    b.binding("clutch_key", "Clutch", "z");
    b.binding("upshift_key", "Upshift", "up");
    b.binding("downshift_key", "Downshift", "down");
    b.binding("dab_key", "Sit/Dab", "right ctrl");
    b.binding("back_up_key", "Back up", "b");
    b.binding("lean_forward_key", "Lean Forward", "n");
    b.binding("lean_backward_key", "Lean Backward", "m");
    b.binding("pause_key", "Pause", "pause");
    b.binding("step_key", "Step", ".");
    b.binding("rewind_key", "Rewind", "\\");
    b.binding("skip_key", "Skip", "/");
    b.binding("prev_key", "Previous Bike", "[");
    b.binding("next_key", "Next Bike", "]");
    b.binding("console_key", "Chat", "t");
    b.binding("screenshot_key", "Screenshot", "s");
    return t;
}

bool g_table_ready = false;

std::vector<ConfigSetting>& table()
{
    static std::vector<ConfigSetting> t;
    if (!g_table_ready) {
        g_table_ready = true;
        t = build_table();
        stability_apply(100);
    }
    return t;
}

void rebuild_bike_graphics()
{
    ConfigSetting* bike = config_find("bike");
    ConfigSetting* tex = config_find("bike_texture");
    if (!bike || !tex)
        return;
    std::vector<std::string> labels = g_bike_graphics_source(bike->choices[bike->choice_value].c_str());
    if (labels.empty())
        labels.push_back("default");
    tex->choices = labels;
    tex->choice_value = 0;
}

// A decimal integer with range checking (junk after the number is ignored,
// as with "%d").
bool parse_int(const char* s, int* out)
{
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(s, &end, 10);
    if (end == s || errno == ERANGE || v < INT_MIN || v > INT_MAX)
        return false;
    *out = int(v);
    return true;
}

bool parse_double(const char* s, double* out)
{
    double v;
    if (std::sscanf(s, "%lf", &v) != 1 || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

void read_binding(ConfigSetting* s, const char* value)
{
    while (*value == ' ' || *value == '\t')
        value++;
    s->binding = ConfigBinding{};
    if (value[0] == '(' && std::strchr(value, ')')) {
        double lo, hi;
        if (std::sscanf(value, "(%lf,%lf)", &lo, &hi) == 2) {
            if (std::isfinite(lo) && std::isfinite(hi)) {
                s->binding.low = lo;
                s->binding.high = hi;
                s->binding.axis = std::strchr(value, ')') + 1;
            }
            return;
        }
    }
    if (std::strncmp(value, "(k)", 3) == 0)
        value += 3;
    s->binding.key = value;
}

void read_line(char* line)
{
    char* eq = std::strchr(line, '=');
    if (!eq)
        return;
    *eq = 0;
    const char* key = line;
    char* value = eq + 1;
    size_t n = std::strlen(value);
    while (n > 0 && (value[n - 1] == '\r' || value[n - 1] == '\n'))
        value[--n] = 0;

    if (std::strcmp(key, "bike") == 0) {
        static const char* old_names[][2] = {{"crf250", "crf250(2008)"},
                                             {"kx250f", "kx250f(2008)"},
                                             {"rmz250", "rmz250(2008)"},
                                             {"yz250f", "yz250f(2008)"}};
        const char* name = value;
        for (auto& o : old_names)
            if (std::strcmp(value, o[0]) == 0)
                name = o[1];
        config_set_bike(name);
        return;
    }
    ConfigSetting* s = config_find(key);
    if (!s)
        return;
    switch (s->kind) {
    case CONFIG_INTEGER: {
        int v;
        if (parse_int(value, &v))
            s->int_value = v;
        break;
    }
    case CONFIG_CHOICE:
        config_set_choice(key, value);
        break;
    case CONFIG_SLIDER: {
        double v;
        if (!parse_double(value, &v))
            break;
        s->slider_value = clampd(v, s->min, s->max);
        if (s->key == "stability")
            stability_apply(int(s->slider_value));
        break;
    }
    case CONFIG_TEXT:
        if (s->key.compare(0, 16, "server_name_hist") == 0 && n >= 127)
            break;
        config_set_text(key, value);
        break;
    case CONFIG_BINDING:
        read_binding(s, value);
        break;
    }
}

std::string format_value(const ConfigSetting& s)
{
    char buf[64];
    switch (s.kind) {
    case CONFIG_INTEGER:
        std::snprintf(buf, sizeof buf, "%d", s.int_value);
        return buf;
    case CONFIG_CHOICE:
        return s.choices.empty() ? std::string() : s.choices[s.choice_value];
    case CONFIG_SLIDER:
        std::snprintf(buf, sizeof buf, "%f", s.slider_value);
        return buf;
    case CONFIG_TEXT:
        return s.text_value;
    case CONFIG_BINDING:
        if (!s.binding.key.empty())
            return "(k)" + s.binding.key;
        std::snprintf(buf, sizeof buf, "(%f,%f)", s.binding.low, s.binding.high);
        return buf + s.binding.axis;
    }
    return std::string();
}

void make_folders(const std::string& path)
{
    for (size_t i = 1; i < path.size(); i++)
        if (path[i] == '/')
            mkdir(path.substr(0, i).c_str(), 0755);
}

RenderSettings g_render;

}  // namespace

std::vector<ConfigSetting>& config_settings() { return table(); }

ConfigSetting* config_find(const char* key)
{
    if (!key)
        return nullptr;
    for (ConfigSetting& s : table())
        if (s.key == key)
            return &s;
    return nullptr;
}

void config_reset_defaults()
{
    g_table_ready = false;
    table();
}

int config_int(const char* key)
{
    ConfigSetting* s = config_find(key);
    return s && s->kind == CONFIG_INTEGER ? s->int_value : 0;
}

void config_set_int(const char* key, int v)
{
    ConfigSetting* s = config_find(key);
    if (s && s->kind == CONFIG_INTEGER)
        s->int_value = v;
}

int config_choice(const char* key)
{
    ConfigSetting* s = config_find(key);
    return s && s->kind == CONFIG_CHOICE ? s->choice_value : 0;
}

const char* config_choice_label(const char* key)
{
    ConfigSetting* s = config_find(key);
    if (!s || s->kind != CONFIG_CHOICE || s->choices.empty())
        return "";
    return s->choices[s->choice_value].c_str();
}

bool config_set_choice(const char* key, const char* label)
{
    ConfigSetting* s = config_find(key);
    if (!s || s->kind != CONFIG_CHOICE || !label)
        return false;
    if (s->key == "bike")
        return config_set_bike(label);
    for (size_t i = 0; i < s->choices.size(); i++)
        if (s->choices[i] == label) {
            s->choice_value = int(i);
            return true;
        }
    return false;
}

void config_set_choice_index(const char* key, int index)
{
    ConfigSetting* s = config_find(key);
    if (!s || s->kind != CONFIG_CHOICE || s->choices.empty())
        return;
    s->choice_value = clampi(index, 0, int(s->choices.size()) - 1);
    if (s->key == "bike")
        rebuild_bike_graphics();
}

double config_slider(const char* key)
{
    ConfigSetting* s = config_find(key);
    return s && s->kind == CONFIG_SLIDER ? s->slider_value : 0;
}

void config_set_slider(const char* key, double v)
{
    ConfigSetting* s = config_find(key);
    if (s && s->kind == CONFIG_SLIDER && std::isfinite(v))
        s->slider_value = clampd(v, s->min, s->max);
}

const char* config_text(const char* key)
{
    ConfigSetting* s = config_find(key);
    return s && s->kind == CONFIG_TEXT ? s->text_value.c_str() : "";
}

void config_set_text(const char* key, const char* text)
{
    ConfigSetting* s = config_find(key);
    if (!s || s->kind != CONFIG_TEXT || !text)
        return;
    // A line break would end the setting's line in the file early.
    s->text_value.assign(text, std::strcspn(text, "\r\n"));
    if (int(s->text_value.size()) > s->max_length)
        s->text_value.resize(size_t(s->max_length));
}

const ConfigBinding* config_binding(const char* key)
{
    ConfigSetting* s = config_find(key);
    return s && s->kind == CONFIG_BINDING ? &s->binding : nullptr;
}

void config_set_binding(const char* key, const ConfigBinding& b)
{
    ConfigSetting* s = config_find(key);
    if (s && s->kind == CONFIG_BINDING)
        s->binding = b;
}

void config_set_choice_labels(const char* key, const std::vector<std::string>& labels)
{
    ConfigSetting* s = config_find(key);
    if (!s || s->kind != CONFIG_CHOICE || labels.empty())
        return;
    std::string current = s->choices.empty() ? std::string() : s->choices[s->choice_value];
    s->choices = labels;
    s->choice_value = 0;
    for (size_t i = 0; i < labels.size(); i++)
        if (labels[i] == current)
            s->choice_value = int(i);
}

void config_set_bike_graphics_source(BikeGraphicsSource fn)
{
    g_bike_graphics_source = fn ? fn : default_bike_graphics;
    rebuild_bike_graphics();
}

bool config_set_bike(const char* name)
{
    ConfigSetting* s = config_find("bike");
    if (!s || !name)
        return false;
    for (size_t i = 0; i < s->choices.size(); i++)
        if (s->choices[i] == name) {
            s->choice_value = int(i);
            rebuild_bike_graphics();
            return true;
        }
    return false;
}

void config_load_text(const std::string& text)
{
    table();
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        // Lines hold at most 1023 characters; anything longer is cut there.
        std::string line = text.substr(pos, std::min<size_t>(end - pos, 1023));
        pos = end + 1;
        if (line.find('\0') != std::string::npos)
            line.resize(line.find('\0'));
        std::vector<char> buf(line.begin(), line.end());
        buf.push_back(0);
        read_line(buf.data());
    }
}

bool config_load()
{
    table();
    Stream* s = stream_open("@config", "rb");
    if (!s)
        return false;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = stream_read(s, buf, sizeof buf)) > 0)
        text.append(buf, n);
    stream_close(s);
    config_load_text(text);
    return true;
}

std::string config_text_all()
{
    std::string out;
    for (const ConfigSetting& s : table()) {
        if (s.kind == CONFIG_BINDING && s.binding.key.empty() && s.binding.axis.empty())
            continue;
        out += s.key;
        out += '=';
        out += format_value(s);
        out += '\n';
    }
    return out;
}

bool config_save()
{
    std::string folder = user_folder();
    make_folders(folder);
    std::string final_path = folder + "config";
    std::string temp_path = folder + "config.tmp";
    std::string text = config_text_all();

    Stream* s = stream_open(temp_path.c_str(), "wb");
    if (!s)
        return false;
    bool ok = stream_write(s, text.data(), text.size()) == text.size();
    ok = stream_flush(s) == 0 && ok;
    ok = stream_ok(s) && ok;
    stream_close(s);
    if (ok)
        ok = std::rename(temp_path.c_str(), final_path.c_str()) == 0;
    if (!ok)
        std::remove(temp_path.c_str());
    return ok;
}

void stability_apply(int stability)
{
    StabilityPreset p = stability_preset(stability);
    config_set_slider("leveling", p.leveling);
    config_set_slider("roll_damping", p.roll_damping);
    config_set_slider("roll_limit_angle", p.roll_limit_angle_deg);
    config_set_slider("roll_limit_factor", p.roll_limit_factor);
    config_set_slider("steering_damping", p.steering_damping);
    config_set_slider("steering_strength", p.steering_strength);
    config_set_slider("direct_steering", p.direct_steering);
    config_set_slider("max_steering_force", p.max_steering_force);
    config_set_slider("slow_damping_speed", p.slow_damping_speed);
    config_set_slider("slow_damping_factor", p.slow_damping_factor);
    config_set_slider("land_damping_falloff", p.land_damping_falloff);
    config_set_slider("land_damping_factor", p.land_damping_factor);
}

RenderSettings& render_settings() { return g_render; }

void render_settings_derive()
{
    RenderSettings& r = g_render;
    // A detail of 0 would divide by zero; the coarsest usable detail is 1.
    double ground = std::max(1.0, config_slider("ground_detail"));
    r.terrain_detail = 0.125 / ground;
    r.ground_texture_detail = int(clampd(10 - config_slider("ground_texture_detail"), 0, 10));
    r.ground_texture_size = 32 << config_choice("ground_texture_dim");
    double model = config_slider("model_detail");
    double s = clampd(100 - model, 0, 100) * 0.02;
    if (s > 1)
        s = s * s * s;
    r.lod_scale = s;
    r.lod_bias = 50 - 50 * clampd((model - 10) * 0.05, 0, 1);
    r.model_texture_detail = int(clampd(10 - config_slider("model_texture_detail"), 0, 10));
    r.roost_frequency = int(config_slider("roost_density"));
}
