#include "physics/tangle.h"

bool tangle_release(BikeTangle* t, int tick, double speed_a, double speed_b, double distance)
{
    if (t->released) {
        if (distance <= TANGLE_APART)
            return true;
        *t = BikeTangle();
        return false;
    }
    // Contacts flicker as the two rock against each other: a short gap
    // between touches keeps the count going.
    bool held = t->last_touch_tick >= 0 && tick - t->last_touch_tick <= TANGLE_TOUCH_GAP &&
                speed_a < TANGLE_CRAWL_SPEED && speed_b < TANGLE_CRAWL_SPEED;
    t->held_ticks = held ? t->held_ticks + 1 : 0;
    if (t->held_ticks < TANGLE_HOLD_TICKS)
        return false;
    t->released = true;
    t->held_ticks = 0;
    return true;
}

void tangle_touched(BikeTangle* t, int tick)
{
    t->last_touch_tick = tick;
}
