#include "core/bindings.h"

#include "platform/controls.h"
#include "platform/devices.h"

#include <cstdio>
#include <cstring>

namespace {

struct BindingDefault {
    const char* label;
    const char* config_key;
    const char* key;
};

const BindingDefault defaults[BIND_COUNT] = {
    {"Throttle", "throttle_key", "x"},
    {"Front Brake", "front_brake_key", "c"},
    {"Rear Brake", "rear_brake_key", "v"},
    {"Left", "left_key", "left"},
    {"Right", "right_key", "right"},
    {"Clutch", "clutch_key", "z"},
    {"Upshift", "upshift_key", "up"},
    {"Downshift", "downshift_key", "down"},
    {"Sit/Dab", "dab_key", "right ctrl"},
    {"Back up", "back_up_key", "b"},
    {"Lean Forward", "lean_forward_key", "n"},
    {"Lean Backward", "lean_backward_key", "m"},
    {"Pause", "pause_key", "pause"},
    {"Step", "step_key", "."},
    {"Rewind", "rewind_key", "\\"},
    {"Skip", "skip_key", "/"},
    {"Previous Bike", "prev_key", "["},
    {"Next Bike", "next_key", "]"},
    {"Chat", "console_key", "t"},
    {"Screenshot", "screenshot_key", "s"},
};

// The control table: which binding feeds which channel with what scale.
struct TableEntry {
    int binding;
    int channel;
    float scale;
};

const TableEntry control_table[] = {
    {BIND_LEFT, CHANNEL_STEER, +1},
    {BIND_RIGHT, CHANNEL_STEER, -1},
    {BIND_THROTTLE, CHANNEL_THROTTLE, +1},
    {BIND_FRONT_BRAKE, CHANNEL_FRONT_BRAKE, +1},
    {BIND_REAR_BRAKE, CHANNEL_REAR_BRAKE, +1},
    {BIND_UPSHIFT, CHANNEL_SHIFT, +1},
    {BIND_DOWNSHIFT, CHANNEL_SHIFT, -1},
    {BIND_CLUTCH, CHANNEL_CLUTCH, +1},
    {BIND_DAB, CHANNEL_DAB, +1},
    {BIND_BACK_UP, CHANNEL_BACK_UP, +1},
    {BIND_LEAN_FORWARD, CHANNEL_LEAN, -1},
    {BIND_LEAN_BACKWARD, CHANNEL_LEAN, +1},
};

}  // namespace

void bindings_reset_defaults(Binding b[BIND_COUNT])
{
    for (int i = 0; i < BIND_COUNT; i++) {
        Binding& x = b[i];
        std::memset(&x, 0, sizeof x);
        x.label = defaults[i].label;
        x.config_key = defaults[i].config_key;
        x.default_key = defaults[i].key;
        std::snprintf(x.key_name, sizeof x.key_name, "%s", defaults[i].key);
        x.low = 0;
        x.high = 1;
    }
}

void bindings_resolve(Binding b[BIND_COUNT], Window* window)
{
    for (int i = 0; i < BIND_COUNT; i++) {
        Binding& x = b[i];
        x.key_code = 0;
        if (x.key_name[0]) {
            int code = control_code(window, x.key_name);
            x.key_code = code > 0 ? code : 0;
        }
        if (x.axis_name[0] && !x.axis)
            x.axis = axis_open(window, x.axis_name);
    }
}

void bindings_release(Binding b[BIND_COUNT])
{
    for (int i = 0; i < BIND_COUNT; i++) {
        if (b[i].axis)
            axis_close(b[i].axis);
        b[i].axis = nullptr;
    }
}

void bindings_record(Binding b[BIND_COUNT], int code, bool pressed)
{
    for (int i = 0; i < BIND_COUNT; i++)
        if (b[i].key_code != 0 && b[i].key_code == code)
            b[i].value = pressed ? 1.0f : 0.0f;
}

int bindings_action_for(const Binding b[BIND_COUNT], int code)
{
    for (int i = BIND_PAUSE; i < BIND_COUNT; i++)
        if (b[i].key_code != 0 && b[i].key_code == code)
            return i;
    return -1;
}

void control_channels_sum(Binding b[BIND_COUNT], ControlChannels* ch)
{
    for (float& v : ch->value)
        v = 0;
    for (int i = 0; i < BIND_COUNT; i++) {
        Binding& x = b[i];
        if (!x.axis)
            continue;
        float r = float(axis_read(x.axis)) / 32768.0f;
        float span = x.high - x.low;
        float v = span != 0 ? (r - x.low) / span : 0;
        x.value = v < 0 ? 0 : (v > 1 ? 1 : v);
    }
    for (const TableEntry& e : control_table)
        ch->value[e.channel] += e.scale * b[e.binding].value;
}
