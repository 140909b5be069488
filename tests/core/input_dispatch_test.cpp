#include "core/bindings.h"
#include "core/frame_clock.h"
#include "core/input_dispatch.h"
#include "platform/controls.h"
#include "platform/events.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Seen {
    int tick;
    int code;
    bool pressed;
};

// Runs one frame of ticks over the program's event queue and records which
// tick saw which event.
std::vector<Seen> run_frame(double frame_start, double now)
{
    FrameClock c;
    c.simulated = frame_start;
    c.target = frame_start;
    frame_clock_commit(&c, now - frame_start, now - frame_start, now);
    std::vector<Seen> seen;
    double wall;
    bool last;
    int tick = 0;
    while (frame_next_tick(&c, now, &wall, &last)) {
        input_dispatch_tick(nullptr, wall, last, [&](const InputEvent& e) { seen.push_back({tick, e.code, e.pressed}); });
        tick++;
    }
    return seen;
}

}  // namespace

TEST(InputDispatch, EventsGoToTheTickWhoseWindowHoldsThem)
{
    event_queue_clear(event_queue_main());
    const double t0 = 1000.0, t = 1.0 / 128;
    // A press and release inside the second tick's window, a press in the
    // fourth, and one stamped after the frame's end (taken by the last tick).
    event_push(4096 + 45, true, clock_from_seconds(t0 + 1.2 * t));
    event_push(4096 + 45, false, clock_from_seconds(t0 + 1.7 * t));
    event_push(4096 + 46, true, clock_from_seconds(t0 + 3.5 * t));
    event_push(4096 + 47, true, clock_from_seconds(t0 + 9 * t));
    std::vector<Seen> seen = run_frame(t0, t0 + 4 * t);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].tick, 1);
    EXPECT_TRUE(seen[0].pressed);
    EXPECT_EQ(seen[1].tick, 1);
    EXPECT_FALSE(seen[1].pressed);
    EXPECT_EQ(seen[2].tick, 3);
    EXPECT_EQ(seen[3].tick, 3);
    EXPECT_EQ(seen[3].code, 4096 + 47);
}

TEST(InputDispatch, BoundKeysFeedTheirChannels)
{
    Binding b[BIND_COUNT];
    bindings_reset_defaults(b);
    bindings_resolve(b, nullptr);
    int throttle = control_code(nullptr, "x");
    int left = control_code(nullptr, "left");
    int right = control_code(nullptr, "right");
    ASSERT_GT(throttle, 0);
    bindings_record(b, throttle, true);
    bindings_record(b, left, true);
    bindings_record(b, right, true);
    ControlChannels ch;
    control_channels_sum(b, &ch);
    EXPECT_EQ(ch.value[CHANNEL_THROTTLE], 1);
    EXPECT_EQ(ch.value[CHANNEL_STEER], 0);  // left and right cancel
    bindings_record(b, right, false);
    control_channels_sum(b, &ch);
    EXPECT_EQ(ch.value[CHANNEL_STEER], 1);
    EXPECT_EQ(bindings_action_for(b, control_code(nullptr, "pause")), BIND_PAUSE);
    EXPECT_EQ(bindings_action_for(b, throttle), -1);
}
