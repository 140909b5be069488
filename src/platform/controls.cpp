#include "platform/controls.h"

#include "platform/devices.h"
#include "platform/log.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

struct KeyName {
    int scan;
    const char* name;
};

// The fixed key table, used when the layout has no name for a key.
const KeyName fixed_keys[] = {
    {1, "Esc"}, {2, "1"}, {3, "2"}, {4, "3"}, {5, "4"}, {6, "5"}, {7, "6"}, {8, "7"},
    {9, "8"}, {10, "9"}, {11, "0"}, {12, "-"}, {13, "="}, {14, "Backspace"}, {15, "Tab"},
    {16, "Q"}, {17, "W"}, {18, "E"}, {19, "R"}, {20, "T"}, {21, "Y"}, {22, "U"}, {23, "I"},
    {24, "O"}, {25, "P"}, {26, "["}, {27, "]"}, {28, "Enter"}, {29, "Left Ctrl"},
    {30, "A"}, {31, "S"}, {32, "D"}, {33, "F"}, {34, "G"}, {35, "H"}, {36, "J"}, {37, "K"},
    {38, "L"}, {39, ";"}, {40, "'"}, {41, "`"}, {42, "Left Shift"}, {43, "\\"},
    {44, "Z"}, {45, "X"}, {46, "C"}, {47, "V"}, {48, "B"}, {49, "N"}, {50, "M"},
    {51, ","}, {52, "."}, {53, "/"}, {54, "Right Shift"}, {55, "Keypad *"},
    {57, "Space"}, {57, " "}, {58, "Caps Lock"},
    {59, "F1"}, {60, "F2"}, {61, "F3"}, {62, "F4"}, {63, "F5"}, {64, "F6"}, {65, "F7"},
    {66, "F8"}, {67, "F9"}, {68, "F10"}, {69, "Pause"},
    {71, "Keypad 7"}, {72, "Keypad 8"}, {73, "Keypad 9"}, {74, "Keypad -"},
    {75, "Keypad 4"}, {76, "Keypad 5"}, {77, "Keypad 6"}, {78, "Keypad +"},
    {79, "Keypad 1"}, {80, "Keypad 2"}, {81, "Keypad 3"}, {82, "Keypad 0"},
    {83, "Keypad ."}, {87, "F11"}, {88, "F12"},
    {284, "Keypad Enter"}, {285, "Right Ctrl"}, {309, "Keypad /"}, {325, "Num Lock"},
    {327, "Home"}, {328, "Up"}, {329, "Page Up"}, {331, "Left"}, {333, "Right"},
    {335, "End"}, {336, "Down"}, {337, "Page Down"}, {338, "Insert"}, {339, "Delete"},
};

struct Special {
    int code;
    const char* name;
};

const Special specials[] = {
    {CONTROL_MOUSE_LEFT, "Mouse Left"},
    {CONTROL_MOUSE_MIDDLE, "Mouse Middle"},
    {CONTROL_MOUSE_RIGHT, "Mouse Right"},
    {CONTROL_CLOSE, "Close"},
};

const char* const platform_aliases[][2] = {
    {"cursor-left", "Mouse Left"},     {"cursor-middle", "Mouse Middle"},
    {"cursor-right", "Mouse Right"},   {"cursor-x", "cursor.axis[0]"},
    {"cursor-y", "cursor.axis[1]"},    {"mouse-x", "Mouse.axis[0]"},
    {"mouse-y", "Mouse.axis[1]"},      {"mouse-left", "Mouse.key[0]"},
    {"mouse-right", "Mouse.key[1]"},   {"mouse-middle", "Mouse.key[2]"},
    {"joystick-a-x", "Joystick1.axis[0]"}, {"joystick-a-y", "Joystick1.axis[1]"},
    {"joystick-a-1", "Joystick1.key[0]"},  {"joystick-a-2", "Joystick1.key[1]"},
    {"joystick-b-x", "Joystick2.axis[0]"}, {"joystick-b-y", "Joystick2.axis[1]"},
    {"joystick-b-1", "Joystick2.key[0]"},  {"joystick-b-2", "Joystick2.key[1]"},
};

std::set<std::string> name_pool;
std::vector<std::pair<std::string, std::string>> aliases;
bool platform_aliases_defined = false;

const char* (*layout_source)(int scan) = nullptr;
bool layout_read = false;
std::string layout_names[CONTROL_KEY_COUNT];

void read_layout_names()
{
    if (layout_read || !layout_source)
        return;
    layout_read = true;
    for (int k = 0; k < CONTROL_KEY_COUNT; k++) {
        const char* name = layout_source(k);
        layout_names[k] = name ? name : "";
    }
}

char loose_char(char c)
{
    if (c == '_' || std::isspace(static_cast<unsigned char>(c)))
        return ' ';
    return char(std::tolower(static_cast<unsigned char>(c)));
}

bool loose_equal(const char* a, const char* b)
{
    for (; *a && *b; a++, b++)
        if (loose_char(*a) != loose_char(*b))
            return false;
    return *a == *b;
}

using Compare = bool (*)(const char*, const char*);

bool exact_equal(const char* a, const char* b)
{
    return std::strcmp(a, b) == 0;
}

// One pass over the special names, the layout's names and the fixed table.
int find_name(const char* name, Compare same)
{
    for (const Special& s : specials)
        if (same(name, s.name))
            return s.code;
    for (int k = 0; k < CONTROL_KEY_COUNT; k++)
        if (!layout_names[k].empty() && same(name, layout_names[k].c_str()))
            return CONTROL_KEY_BASE + k;
    for (const KeyName& key : fixed_keys)
        if (same(name, key.name))
            return CONTROL_KEY_BASE + key.scan;
    return -1;
}

// "<device>.key[<b>]" or "<device> button <b>".
int find_device_button(const char* name)
{
    char device[64];
    int button = -1, used = 0;
    bool parsed = false;
    if (std::sscanf(name, "%63[^.].key[%d]%n", device, &button, &used) == 2 && used > 0 &&
        name[used] == '\0')
        parsed = true;
    used = 0;
    if (!parsed && std::sscanf(name, "%63s button %d%n", device, &button, &used) == 2 &&
        used > 0 && name[used] == '\0')
        parsed = true;
    if (!parsed || button < 0 || button > 255)
        return -1;
    InputDevice* d = input_device_find(device);
    if (!d || button >= d->button_count)
        return -1;
    return (d->id << CONTROL_DEVICE_SHIFT) + button;
}

}  // namespace

const char* name_intern(const char* name)
{
    return name_pool.insert(name).first->c_str();
}

const char* control_fixed_key_name(int scan)
{
    for (const KeyName& key : fixed_keys)
        if (key.scan == scan)
            return key.name;
    return nullptr;
}

void controls_set_layout_names(const char* (*name_for_scan)(int scan))
{
    layout_source = name_for_scan;
    layout_read = false;
    for (std::string& n : layout_names)
        n.clear();
}

int control_code(Window*, const char* name)
{
    if (!name)
        return -1;
    read_layout_names();
    name = alias_lookup(name);
    int code = find_name(name, exact_equal);
    if (code < 0)
        code = find_name(name, loose_equal);
    if (code >= 0)
        return code;
    unsigned hex = 0;
    int used = 0;
    if (std::sscanf(name, "0x%x%n", &hex, &used) == 1 && used > 0 && name[used] == '\0' &&
        hex < CONTROL_KEY_COUNT)
        return CONTROL_KEY_BASE + int(hex);
    return find_device_button(name);
}

const char* control_name(Window*, int code)
{
    for (const Special& s : specials)
        if (code == s.code)
            return name_intern(s.name);
    char text[1100];
    if (code >= CONTROL_KEY_BASE && code < CONTROL_KEY_BASE + CONTROL_KEY_COUNT) {
        int scan = code - CONTROL_KEY_BASE;
        read_layout_names();
        if (!layout_names[scan].empty())
            return name_intern(layout_names[scan].c_str());
        if (const char* fixed = control_fixed_key_name(scan))
            return name_intern(fixed);
        std::snprintf(text, sizeof text, "0x%x", scan);
        return name_intern(text);
    }
    if (code >= (1 << CONTROL_DEVICE_SHIFT)) {
        InputDevice* d = input_device_by_id(code >> CONTROL_DEVICE_SHIFT);
        int button = code & 0xffff;
        if (!d || button > 255 || button >= d->button_count)
            return nullptr;
        std::snprintf(text, sizeof text, "%.1000s button %d", d->name.c_str(), button);
        return name_intern(text);
    }
    return nullptr;
}

bool alias_add(const char* name, const char* target)
{
    for (const auto& a : aliases) {
        if (a.first == name) {
            log_printf("Second alias for '%s' ('%s') ignored\n", name, target);
            return false;
        }
    }
    aliases.emplace_back(name, target);
    return true;
}

const char* alias_lookup(const char* name)
{
    for (const auto& a : aliases)
        if (a.first == name)
            return a.second.c_str();
    return name;
}

void controls_define_aliases()
{
    if (platform_aliases_defined)
        return;
    platform_aliases_defined = true;
    for (const auto& a : platform_aliases)
        alias_add(a[0], a[1]);
}

void aliases_clear()
{
    aliases.clear();
    platform_aliases_defined = false;
}
