// Wall clock and sleeping for the frame loop and the log.
#pragma once
#include <cstdint>

// A point in time: whole seconds and microseconds of a monotonic clock with
// millisecond resolution or better.
struct ClockTime {
    int64_t sec;
    int32_t usec;
};

// Now, on the monotonic clock.
ClockTime clock_now();

// Seconds as a double, for the frame loop's arithmetic.
double clock_seconds(ClockTime t);

// Milliseconds since the platform layer first asked for the time; the log
// prefix counts from here.
int64_t clock_ms_since_start();

// Sleeps for the duration less one millisecond, then yields until the clock
// has passed the target, so a frame never wakes early.
void sleep_for(int64_t sec, int32_t usec);

// Builds a ClockTime from seconds.
ClockTime clock_from_seconds(double s);

// -1, 0 or 1 as a is before, equal to or after b.
int clock_compare(ClockTime a, ClockTime b);
