#include "platform/events.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

ClockTime at(int64_t sec, int32_t usec = 0)
{
    return ClockTime{sec, usec};
}

}  // namespace

TEST(EventQueue, HoldsTwoHundredFiftySixAndDropsTheRest)
{
    auto q = std::make_unique<EventQueue>();
    for (int i = 0; i < 256; i++)
        EXPECT_TRUE(event_queue_push(q.get(), InputEvent{i + 1, true, at(1, i)}));
    EXPECT_FALSE(event_queue_push(q.get(), InputEvent{999, true, at(0)}));
    InputEvent e;
    for (int i = 0; i < 256; i++) {
        ASSERT_TRUE(event_queue_pop(q.get(), &e));
        EXPECT_EQ(e.code, i + 1);
    }
    EXPECT_FALSE(event_queue_pop(q.get(), &e));
    // Room again once read, and the ring wraps cleanly.
    EXPECT_TRUE(event_queue_push(q.get(), InputEvent{7, false, at(2)}));
    ASSERT_TRUE(event_queue_pop(q.get(), &e));
    EXPECT_EQ(e.code, 7);
    EXPECT_FALSE(e.pressed);
}

TEST(EventQueue, LateArrivalsComeBackInTimestampOrder)
{
    auto q = std::make_unique<EventQueue>();
    // Start near the end of the ring so the reordering crosses the wrap.
    for (int i = 0; i < 250; i++) {
        InputEvent e;
        event_queue_push(q.get(), InputEvent{0, true, at(0)});
        event_queue_pop(q.get(), &e);
    }
    const struct { int code; ClockTime time; } pushed[] = {
        {1, at(5)}, {2, at(3)}, {3, at(4, 500)}, {4, at(3)}, {5, at(6)}, {6, at(1)},
        {7, at(4, 499)}, {8, at(6)},
    };
    for (const auto& p : pushed)
        event_queue_push(q.get(), InputEvent{p.code, true, p.time});
    const int order[] = {6, 2, 4, 7, 3, 1, 5, 8};
    for (int code : order) {
        InputEvent e;
        ASSERT_TRUE(event_queue_pop(q.get(), &e));
        EXPECT_EQ(e.code, code);
    }
}

TEST(EventQueue, PopBeforeStopsAtLaterEvents)
{
    auto q = std::make_unique<EventQueue>();
    event_queue_push(q.get(), InputEvent{1, true, at(10)});
    event_queue_push(q.get(), InputEvent{2, false, at(10, 1)});
    InputEvent e;
    EXPECT_FALSE(event_queue_pop_before(q.get(), at(9, 999999), &e));
    ASSERT_TRUE(event_queue_pop_before(q.get(), at(10), &e));  // not later: taken
    EXPECT_EQ(e.code, 1);
    EXPECT_FALSE(event_queue_pop_before(q.get(), at(10), &e));
    ASSERT_TRUE(event_queue_pop_before(q.get(), at(11), &e));
    EXPECT_EQ(e.code, 2);
}

TEST(EventQueue, InjectedEventsReachTheReadersWithoutAWindow)
{
    event_queue_clear(event_queue_main());
    EXPECT_TRUE(event_push(0x2000, true, at(3)));
    EXPECT_TRUE(event_push('x', true, at(2)));
    InputEvent e;
    EXPECT_FALSE(event_next_before(nullptr, at(1), &e));
    ASSERT_TRUE(event_next_before(nullptr, at(2), &e));
    EXPECT_EQ(e.code, 'x');
    ASSERT_TRUE(event_next(nullptr, &e));
    EXPECT_EQ(e.code, 0x2000);
    EXPECT_FALSE(event_next(nullptr, &e));
}
