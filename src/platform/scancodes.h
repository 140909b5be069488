// Keyboard keys are identified by PC set-1 scan codes (0..511, extended
// keys as 256 + code), whatever the keyboard reports underneath. This maps
// USB HID keyboard usages, which the window system's key events carry, to
// those codes and back.
#pragma once

// The set-1 code for a HID keyboard usage, or 0 when the key has none.
int scancode_from_usb_hid(int usage);

// The HID usage for a set-1 code (the first usage that maps to it), or 0.
int scancode_to_usb_hid(int code);
