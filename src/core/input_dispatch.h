// Per-tick input: the events stamped inside one tick's wall-time window go
// to that tick, so a key pressed between two ticks of one frame affects
// only the later tick.
#pragma once
#include "platform/clock.h"
#include "platform/events.h"

// Hands each event of the tick to handle(event): those stamped up to the
// tick's wall time, or, for the frame's last tick, every pending event.
// Returns the number dispatched.
template <typename Handler>
int input_dispatch_tick(Window* window, double tick_wall_time, bool last_tick, Handler&& handle)
{
    int n = 0;
    InputEvent ev;
    ClockTime limit = clock_from_seconds(tick_wall_time);
    while (last_tick ? event_next(window, &ev) : event_next_before(window, limit, &ev)) {
        handle(ev);
        n++;
    }
    return n;
}
