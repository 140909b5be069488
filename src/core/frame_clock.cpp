#include "core/frame_clock.h"

#include "core/vec.h"

double frame_sleep_needed(double elapsed, const FrameRules& rules)
{
    if (rules.lock_fps > 0) {
        double frame = 1.0 / rules.lock_fps;
        return elapsed < frame ? frame - elapsed : 0;
    }
    if (rules.warp)
        return 0;
    return elapsed < TICK_SECONDS ? TICK_SECONDS - elapsed : 0;
}

double frame_advance(double elapsed, const FrameRules& rules)
{
    if (rules.lock_fps > 0)
        return 1.0 / rules.lock_fps;
    if (rules.warp)
        return 100 * TICK_SECONDS;
    return elapsed < 0.125 ? elapsed : 0.125;
}

double frame_network_pacing(double d, bool race_started)
{
    if (d >= 0) {
        if (race_started)
            return 1 + clampd(8 * d, 0, 1) / 8;
        return 1 + 3 * clampd(d, 0, 1);
    }
    return 0.5 + 0.5 * clampd(d + 1, 0, 1);
}

void frame_clock_commit(FrameClock* c, double measured, double advance, double now)
{
    if (measured < c->min_frame)
        c->min_frame = measured;
    if (measured > c->max_frame)
        c->max_frame = measured;
    c->target += advance;
    c->real_clock += advance;
    c->last_frame_time = now;
}

bool frame_next_tick(FrameClock* c, double now, double* tick_wall_time, bool* last)
{
    if (!(c->simulated < c->target))
        return false;
    c->simulated += TICK_SECONDS;
    double behind = c->target - c->simulated;
    *tick_wall_time = now - behind;
    *last = !(c->simulated < c->target);
    return true;
}
