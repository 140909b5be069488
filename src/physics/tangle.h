// Bikes pressed together at a crawl. Two bikes that fall against each
// other can end up leaning one on the other, each propping the other up at
// a lean, their contacts dragging both; they crawl on as one for minutes
// and neither rider can ride clear. A rider would lift his bike off the
// other: here the pair's contacts with each other are left out once they
// have held together at a crawl for a while, until their frames are apart.
#pragma once

// One pair of bikes.
struct BikeTangle {
    int held_ticks = 0;        // consecutive ticks touching with both at a crawl
    int last_touch_tick = -1;  // last tick the pair's contacts touched
    bool released = false;     // their contacts with each other are left out
};

constexpr double TANGLE_CRAWL_SPEED = 5;    // ft/s, both frames slower than this
constexpr int TANGLE_HOLD_TICKS = 3 * 128;  // held this long, the pair is released
constexpr double TANGLE_APART = 8;          // ft between frames that ends a release
constexpr int TANGLE_TOUCH_GAP = 32;        // ticks without a touch that still count as held

// Whether the pair's contacts are left out this tick, from their frames'
// speeds and distance; called before their contacts are made. Afterwards
// tangle_touched records whether they touched.
bool tangle_release(BikeTangle* t, int tick, double speed_a, double speed_b, double distance);
void tangle_touched(BikeTangle* t, int tick);
