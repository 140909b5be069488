#include "platform/devices.h"

#include "platform/controls.h"
#include "platform/events.h"
#include "platform/log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

std::vector<InputDevice*> device_list;

int64_t usec_of(ClockTime t)
{
    return t.sec * 1000000 + t.usec;
}

ClockTime time_of(int64_t us)
{
    return ClockTime{us / 1000000, int32_t(us % 1000000)};
}

bool id_taken(int id)
{
    // Id 0 would give device buttons the codes of typed characters and keys.
    return id == 0 || input_device_by_id(id) != nullptr;
}

bool axis_valid(const InputDevice* d, int axis)
{
    return d && axis >= 0 && axis < d->axis_count;
}

}  // namespace

int device_id_for_name(const char* name)
{
    unsigned s1 = 0, s2 = 0;
    for (int i = 0; name[i]; i++) {
        unsigned c = static_cast<unsigned char>(name[i]);
        if (i % 2 == 0)
            s1 = (s1 + c) & 0xffff;
        else
            s2 = (s2 + c) & 0xff;
    }
    return int((s1 + 256 * s2) & 0x7fff);
}

InputDevice* input_device_add(const char* product_name, int axes, int buttons, bool relative)
{
    std::string base;
    for (const char* p = product_name ? product_name : ""; *p; p++)
        if (*p != ' ' && *p != '.')
            base += *p;
    std::string name = base;
    for (int n = 2; input_device_find(name.c_str()); n++) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "#%d", n);
        name = base + suffix;
    }
    InputDevice* d = new InputDevice;
    d->name = name;
    d->id = device_id_for_name(name.c_str());
    while (id_taken(d->id))
        d->id = (d->id + 1) & 0x7fff;
    d->axis_count = std::clamp(axes, 0, int(DEVICE_MAX_AXES));
    d->button_count = std::clamp(buttons, 0, int(DEVICE_MAX_BUTTONS));
    d->relative = relative;
    d->axes.assign(size_t(d->axis_count), 0);
    d->buttons.assign(size_t(d->button_count), 0);
    device_list.push_back(d);
    return d;
}

void input_devices_clear()
{
    for (InputDevice* d : device_list) {
        log_printf("Killing %s\n", d->name.c_str());
        if (d->adjusted)
            log_printf("Timestamp adjustment was %d\n", int(d->stamp_adjust_us / 1000));
        delete d;
    }
    device_list.clear();
}

InputDevice* input_device_find(const char* name)
{
    for (InputDevice* d : device_list)
        if (d->name == name)
            return d;
    return nullptr;
}

InputDevice* input_device_by_id(int id)
{
    for (InputDevice* d : device_list)
        if (d->id == id)
            return d;
    return nullptr;
}

const std::vector<InputDevice*>& input_devices()
{
    return device_list;
}

void input_device_motion(InputDevice* d, int axis, int delta)
{
    if (axis_valid(d, axis) && d->refs > 0)
        d->axes[size_t(axis)] += delta;
}

void input_device_set_axis(InputDevice* d, int axis, int value)
{
    if (!axis_valid(d, axis))
        return;
    if (!d->pointer)
        value = std::clamp(value, -int(AXIS_LIMIT), int(AXIS_LIMIT));
    d->axes[size_t(axis)] = value;
}

void input_device_button(InputDevice* d, int button, bool pressed, ClockTime stamp, ClockTime now)
{
    if (!d || button < 0 || button >= d->button_count)
        return;
    int64_t t = usec_of(stamp) - d->stamp_adjust_us;
    int64_t limit = usec_of(now);
    if (t > limit) {
        d->stamp_adjust_us += t - limit;
        d->adjusted = true;
        t = limit;
    }
    uint8_t& state = d->buttons[size_t(button)];
    if (state == uint8_t(pressed))
        return;
    state = uint8_t(pressed);
    // Buttons past 255 have no control code.
    if (button <= 255)
        event_push((d->id << CONTROL_DEVICE_SHIFT) + button, pressed, time_of(t));
}

AxisHandle* axis_open(Window*, const char* name)
{
    if (!name)
        return nullptr;
    name = alias_lookup(name);
    char device[64];
    int axis = -1, used = 0;
    bool parsed = std::sscanf(name, "%63[^.].axis[%d]%n", device, &axis, &used) == 2 &&
                  used > 0 && name[used] == '\0';
    used = 0;
    if (!parsed)
        parsed = std::sscanf(name, "%63s axis %d%n", device, &axis, &used) == 2 && used > 0 &&
                 name[used] == '\0';
    if (!parsed)
        return nullptr;
    InputDevice* d = input_device_find(device);
    if (!axis_valid(d, axis))
        return nullptr;
    if (d->refs++ == 0 && d->relative)
        std::fill(d->axes.begin(), d->axes.end(), 0);  // start reading afresh
    return new AxisHandle{d->id, axis};
}

int axis_read(AxisHandle* h)
{
    if (!h)
        return 0;
    InputDevice* d = input_device_by_id(h->device_id);
    if (!axis_valid(d, h->axis))
        return 0;
    int& value = d->axes[size_t(h->axis)];
    if (!d->relative)
        return value;
    int motion = value;
    value = 0;
    return motion;
}

void axis_close(AxisHandle* h)
{
    if (!h)
        return;
    InputDevice* d = input_device_by_id(h->device_id);
    if (d && d->refs > 0)
        d->refs--;
    delete h;
}

std::vector<const char*> axis_names(Window*)
{
    std::vector<const char*> names;
    for (const InputDevice* d : device_list) {
        for (int a = 0; a < d->axis_count; a++) {
            char text[256];
            std::snprintf(text, sizeof text, "%.200s axis %d", d->name.c_str(), a);
            names.push_back(name_intern(text));
        }
    }
    return names;
}
