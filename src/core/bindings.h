// The player's 20 bindings (keys or calibrated axes), the control table
// that feeds the nine control channels from the first twelve, and the
// per-tick channel sums.
#pragma once

struct AxisHandle;
struct Window;

enum BindingIndex {
    BIND_THROTTLE, BIND_FRONT_BRAKE, BIND_REAR_BRAKE, BIND_LEFT, BIND_RIGHT, BIND_CLUTCH,
    BIND_UPSHIFT, BIND_DOWNSHIFT, BIND_DAB, BIND_BACK_UP, BIND_LEAN_FORWARD, BIND_LEAN_BACKWARD,
    BIND_PAUSE, BIND_STEP, BIND_REWIND, BIND_SKIP, BIND_PREV, BIND_NEXT, BIND_CHAT, BIND_SCREENSHOT,
    BIND_COUNT
};

enum Channel {
    CHANNEL_STEER, CHANNEL_THROTTLE, CHANNEL_FRONT_BRAKE, CHANNEL_REAR_BRAKE, CHANNEL_SHIFT,
    CHANNEL_CLUTCH, CHANNEL_DAB, CHANNEL_BACK_UP, CHANNEL_LEAN, CHANNEL_COUNT
};

struct Binding {
    const char* label;        // shown on the menu
    const char* config_key;   // "throttle_key", ...
    const char* default_key;  // key name bound by default
    char key_name[128];       // bound key, "" for none
    int key_code;             // resolved code, 0 when none
    char axis_name[256];      // bound axis, "" for none
    AxisHandle* axis;         // open axis or null
    float low, high;          // calibration range of the raw reading
    float value;              // last key state: 1 pressed, 0 released
};

// Per-tick sums of every bound control, channel by channel.
struct ControlChannels {
    float value[CHANNEL_COUNT];
};

// The bindings with their labels and default keys (unresolved).
void bindings_reset_defaults(Binding bindings[BIND_COUNT]);

// Resolves every key name to its code (0 when the name is unknown) and
// opens every axis; the window may be null for keys.
void bindings_resolve(Binding bindings[BIND_COUNT], Window* window);

// Closes the axis handles.
void bindings_release(Binding bindings[BIND_COUNT]);

// Records a key event in every binding bound to that code.
void bindings_record(Binding bindings[BIND_COUNT], int code, bool pressed);

// Which action binding (pause .. screenshot) a code triggers, or -1.
int bindings_action_for(const Binding bindings[BIND_COUNT], int code);

// Reads the bound axes into the bindings' values with their calibration,
// then sums the control table into the channels.
void control_channels_sum(Binding bindings[BIND_COUNT], ControlChannels* channels);
