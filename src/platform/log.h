// The program's log file: every diagnostic and every on-screen message ends
// up here, each line stamped with the time since start.
#pragma once

// Writes one formatted message with the "[h:mm:ss.hh] " prefix and flushes.
// The first message opens the log: the file named by OBLO_LOGFILE, else the
// path given by a first message "OBLO_LOGFILE=<path>" (not itself logged).
// A leading ">" on the name is skipped, ">>" appends. Without a file,
// messages are dropped.
void log_printf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Logs "Error: <message>\n" and remembers it for log_last_error.
void log_error(const char* message);

// The last message given to log_error, or "" when none.
const char* log_last_error();

// Formats the prefix for a time in milliseconds: "[%d:%02d:%02d.%02d] ".
// Returns the number of characters written (buffer of 32 is enough).
int log_format_prefix(char* out, int size, long long ms);

// Closes the log file; the next message opens it again from scratch. Used
// by tests and at exit.
void log_close();
