// The user's settings: one table of setting records (the menus show the
// same records) read from and written to the "config" file in the user
// folder.
#pragma once
#include <string>
#include <vector>

enum ConfigKind { CONFIG_INTEGER, CONFIG_CHOICE, CONFIG_SLIDER, CONFIG_TEXT, CONFIG_BINDING };

// A control binding: a key name, or an axis name with its calibration range.
struct ConfigBinding {
    std::string key;
    std::string axis;
    double low = 0, high = 1;
};

// One setting: its key in the file, its kind, the menu label and its range
// or labels, the default and the current value.
struct ConfigSetting {
    std::string key;
    ConfigKind kind;
    std::string label;
    // integer
    int int_value = 0, int_default = 0;
    // choice
    std::vector<std::string> choices;
    int choice_value = 0, choice_default = 0;
    // slider
    double slider_value = 0, slider_default = 0, min = 0, max = 0, step = 1;
    // text
    std::string text_value, text_default;
    int max_length = 0;
    // binding
    ConfigBinding binding, binding_default;
};

// Every setting in file order. The table is built on first use with the
// defaults (and the assist sliders at the stability-100 presets).
std::vector<ConfigSetting>& config_settings();
ConfigSetting* config_find(const char* key);
// Back to the defaults (and the stability presets); for start-up and tests.
void config_reset_defaults();

// Typed access; an unknown key reads as 0 / "" and ignores writes.
int config_int(const char* key);
void config_set_int(const char* key, int v);
int config_choice(const char* key);  // index into the labels
const char* config_choice_label(const char* key);
bool config_set_choice(const char* key, const char* label);  // false: not a label
void config_set_choice_index(const char* key, int index);
double config_slider(const char* key);
void config_set_slider(const char* key, double v);  // limited to min..max
const char* config_text(const char* key);
void config_set_text(const char* key, const char* text);  // cut to the maximum length
const ConfigBinding* config_binding(const char* key);
void config_set_binding(const char* key, const ConfigBinding& b);

// Replaces the labels of a catalogue-fed choice (textures, video modes);
// the current label stays when it is still offered, else the first entry.
void config_set_choice_labels(const char* key, const std::vector<std::string>& labels);
// Where the "Bike Graphics" labels for a bike come from (the texture
// catalogue); rebuilt whenever the file or the menu sets the bike.
using BikeGraphicsSource = std::vector<std::string> (*)(const char* bike_name);
void config_set_bike_graphics_source(BikeGraphicsSource fn);
// Selects a bike (menu and file): also rebuilds "Bike Graphics" and returns
// it to its first entry.
bool config_set_bike(const char* name);

// Reads "@config"; false (settings unchanged) when it cannot be opened.
bool config_load();
// Reads settings from text in the file's format (the file reader's core).
void config_load_text(const std::string& text);
// Writes "config" in the user folder through a temporary file that replaces
// it only when every byte was written. False, with the old file untouched,
// on any failure.
bool config_save();
// The file's text for the current settings.
std::string config_text_all();

// Sets the twelve assist sliders from a stability 0..100.
void stability_apply(int stability);

// Rendering parameters derived from the settings at start-up; the command
// line may replace them afterwards.
struct RenderSettings {
    double terrain_detail;
    int ground_texture_detail;
    int ground_texture_size;
    double lod_scale;
    double lod_bias;
    int model_texture_detail;
    int roost_frequency;
};
RenderSettings& render_settings();
void render_settings_derive();
