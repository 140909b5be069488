// Game input devices (mouse, joysticks, game controllers and the "cursor"
// pseudo-device) as the game sees them: a name, an id that numbers its
// buttons' control codes, and axes read through handles. The window system
// side enumerates the devices when the window opens and feeds their motion
// and buttons here; everything else is portable.
#pragma once
#include "platform/clock.h"

#include <cstdint>
#include <string>
#include <vector>

struct Window;

enum {
    DEVICE_MAX_AXES = 100,
    DEVICE_MAX_BUTTONS = 500,
    AXIS_LIMIT = 32767,
};

// One enumerated device. Relative axes collect motion since the last read
// (only while a handle is open); absolute axes hold the latest position.
struct InputDevice {
    std::string name;        // product name without spaces and full stops
    int id = 0;              // 15-bit id; button b has code id * 65536 + b
    int refs = 0;            // open axis handles
    int axis_count = 0;
    int button_count = 0;
    bool relative = false;
    bool pointer = false;    // the cursor: axes in window pixels, unlimited
    std::vector<int> axes;
    std::vector<uint8_t> buttons;   // last known states
    int64_t stamp_adjust_us = 0;    // subtracted from the device's own stamps
    bool adjusted = false;
    void* platform = nullptr;       // the window system side's handle
};

// The raw id for a name: s1 = 16-bit sum of the bytes at even positions,
// s2 = 8-bit sum of the bytes at odd positions, (s1 + 256 * s2) & 0x7fff.
int device_id_for_name(const char* name);

// Adds a device: spaces and full stops are removed from the product name,
// a second device of that name gets "#2" (then "#3", ...), and the id is the
// name's id or the next free one. Axis and button counts are limited to
// 100 and 500.
InputDevice* input_device_add(const char* product_name, int axes, int buttons, bool relative);

// Forgets every device, logging "Killing <name>" and any timestamp
// adjustment made. Open axis handles then read 0.
void input_devices_clear();

// Look-ups; null when there is no such device.
InputDevice* input_device_find(const char* name);
InputDevice* input_device_by_id(int id);
const std::vector<InputDevice*>& input_devices();

// Relative motion on an axis; ignored while no handle reads the device.
void input_device_motion(InputDevice* device, int axis, int delta);

// An absolute axis position, limited to -32767..32767 (the cursor's axes
// hold window pixels and are not limited).
void input_device_set_axis(InputDevice* device, int axis, int value);

// A button change stamped by the device: queues id * 65536 + button when
// the state changed. A stamp ahead of "now" becomes the device's timestamp
// adjustment, subtracted from this and every later stamp.
void input_device_button(InputDevice* device, int button, bool pressed, ClockTime stamp,
                         ClockTime now);

// A handle on one axis of one device.
struct AxisHandle {
    int device_id;
    int axis;
};

// Opens an axis by name: "<device>.axis[<n>]" or "<device> axis <n>",
// after alias look-up. Null when the device or the axis does not exist.
// The window may be null: the devices belong to the program.
AxisHandle* axis_open(Window* window, const char* name);

// Absolute axes -32767..32767; relative axes the motion since the last
// read; the cursor the pointer position in window pixels. 0 once the
// device is gone.
int axis_read(AxisHandle* handle);

void axis_close(AxisHandle* handle);

// Every device axis as "<device> axis <n>", interned.
std::vector<const char*> axis_names(Window* window);
