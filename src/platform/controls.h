// Control codes: one 32-bit number for every key, button and window event,
// and the names the player sees and the configuration stores for them.
#pragma once

struct Window;

enum ControlCode {
    CONTROL_CHAR_FIRST = 1,      // 1..255: a typed character (pressed only)
    CONTROL_CHAR_LAST = 255,
    CONTROL_KEY_BASE = 4096,     // 4096 + set-1 scan code, extended 256 + code
    CONTROL_KEY_COUNT = 512,
    CONTROL_MOUSE_LEFT = 0x2000,
    CONTROL_MOUSE_MIDDLE = 0x2001,
    CONTROL_MOUSE_RIGHT = 0x2002,
    CONTROL_CLOSE = 0xdead,      // the user asked to close the window
    CONTROL_DEVICE_SHIFT = 16,   // device id * 65536 + button
};

// The code for a name, or -1. Aliases apply first; then, in order: the
// special names ("Mouse Left", "Close", ...), the keyboard layout's key
// names, the fixed key table, the same three again compared loosely (case
// ignored, white space and "_" equal to a space), "0x<hex>" up to 0x1ff for
// a key, and device buttons "<device>.key[<b>]" or "<device> button <b>".
// The window may be null: names and devices belong to the program.
int control_code(Window* window, const char* name);

// The interned name for a code, or null (typed characters have none).
// Key names come from the keyboard layout, else the fixed key table, else
// "0x<hex>" of the scan code; device buttons are "<device> button <b>".
const char* control_name(Window* window, int code);

// The name of a set-1 key in the fixed table ("Esc", "Left Ctrl"), or null.
const char* control_fixed_key_name(int scan);

// The window system side gives the keyboard layout's own name for a scan
// code (null or "" for none). The names are read once, on the next use.
void controls_set_layout_names(const char* (*name_for_scan)(int scan));

// Adds an alias: looking up name gives target. An existing alias wins and
// a second one is logged and refused (false).
bool alias_add(const char* name, const char* target);

// The target of the first alias for the name, or the name itself.
const char* alias_lookup(const char* name);

// Defines the platform's aliases ("mouse-x", "joystick-a-1", ...) once.
void controls_define_aliases();

// Forgets every alias (tests).
void aliases_clear();

// Interns a name: equal names give the same pointer, valid until exit.
const char* name_intern(const char* name);
