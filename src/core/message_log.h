// The on-screen message ring shared by the whole program. Every line also
// goes to the log file.
#pragma once

constexpr int MESSAGE_LOG_LINES = 1000;
constexpr int MESSAGE_LOG_LINE_CHARS = 127;
constexpr int MESSAGE_LOG_VISIBLE = 5;

struct MessageLog {
    char lines[MESSAGE_LOG_LINES][MESSAGE_LOG_LINE_CHARS + 1];
    int next;        // ring index the next line goes to
    int visible;     // newest lines shown, 0..5
    double expiry;   // real-clock time at which one visible line goes away
};

// Empties every line.
void message_log_clear(MessageLog* log);

// Adds a line (formatted), writes it to the log file with a newline when it
// has none, and shows it for 2 s of real clock.
void message_log_add(MessageLog* log, double real_clock, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));

// End-of-frame expiry: once the expiry has passed, one line stops showing
// and the next goes 5 s later.
void message_log_expire(MessageLog* log, double real_clock);

// The k-th newest line (k = 0 newest), for drawing.
const char* message_log_line(const MessageLog* log, int k);
