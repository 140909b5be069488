// Frame timing: how far each frame advances the simulation, and the fixed
// ticks of 1/128 s that catch simulated time up with it.
#pragma once

struct FrameClock {
    double last_frame_time = 0;  // wall time at which the previous timing step ended
    double target = 0;           // simulated time the ticks must reach
    double simulated = 0;        // simulated time reached by the ticks run so far
    double real_clock = 0;       // sum of all frame advances; drives cosmetic timers
    double min_frame = 1.0;      // smallest and largest measured frame interval
    double max_frame = 0;
};

struct FrameRules {
    double lock_fps = 0;  // frames per second, 0 = off
    bool warp = false;    // unattended racing: 100 ticks a frame, no waiting
};

// How long the frame must still sleep before its advance is known: with a
// locked rate, the rest of 1/F; otherwise the rest of one tick (a frame
// never advances less than one tick, and sleeps instead of spinning).
double frame_sleep_needed(double elapsed, const FrameRules& rules);

// The simulated time this frame advances, from the interval measured after
// any sleep: exactly 1/F when locked, 100 ticks with warp, else the
// interval capped at 0.125 s (a long stall loses the excess time).
double frame_advance(double elapsed, const FrameRules& rules);

// Factor on the advance while connected, from d = (server tick estimate -
// local tick - 1) in seconds: catch up gently when behind, slow down when
// ahead.
double frame_network_pacing(double d, bool race_started);

// Records the measured interval in the statistics, grows the target and the
// real clock by the advance, and stamps the frame time.
void frame_clock_commit(FrameClock* clock, double measured, double advance, double now);

// Takes the next tick if simulated time is behind the target: returns true,
// advances simulated time by one tick and gives the tick's wall time (now
// less what is still to simulate). *last is set for the frame's final tick,
// whose wall time has reached now and which takes every pending event.
bool frame_next_tick(FrameClock* clock, double now, double* tick_wall_time, bool* last);
