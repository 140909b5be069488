// A modal message for problems the player must see (no data, out of
// memory). Scripts and tests set KESTRUM_MESSAGE_BOX=stderr so nothing
// waits for a click; without a display the text goes to standard error too.
#pragma once

// Formats the text (cut to 1023 characters) and shows it with the title and
// one OK button; returns when the box is closed.
void message_box(const char* title, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// The window system side installs the function that shows a box; it
// returns false when it could not, and the text goes to standard error.
void message_box_set_shower(bool (*show)(const char* title, const char* text));
