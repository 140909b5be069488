#include "platform/events.h"

namespace {

EventQueue main_queue;
void (*pump_messages)(Window*) = nullptr;

bool later(const ClockTime& a, const ClockTime& b)
{
    return clock_compare(a, b) > 0;
}

}  // namespace

bool event_queue_push(EventQueue* q, const InputEvent& event)
{
    std::lock_guard<std::mutex> guard(q->lock);
    if (q->count >= EVENT_QUEUE_SIZE)
        return false;
    // Append, then move back past every later event.
    int slot = q->count;
    while (slot > 0) {
        const InputEvent& before = q->ring[(q->head + slot - 1) % EVENT_QUEUE_SIZE];
        if (!later(before.time, event.time))
            break;
        q->ring[(q->head + slot) % EVENT_QUEUE_SIZE] = before;
        slot--;
    }
    q->ring[(q->head + slot) % EVENT_QUEUE_SIZE] = event;
    q->count++;
    return true;
}

static bool pop_front(EventQueue* q, const ClockTime* limit, InputEvent* out)
{
    std::lock_guard<std::mutex> guard(q->lock);
    if (q->count == 0)
        return false;
    const InputEvent& front = q->ring[q->head];
    if (limit && later(front.time, *limit))
        return false;
    *out = front;
    q->head = (q->head + 1) % EVENT_QUEUE_SIZE;
    q->count--;
    return true;
}

bool event_queue_pop_before(EventQueue* q, ClockTime limit, InputEvent* out)
{
    return pop_front(q, &limit, out);
}

bool event_queue_pop(EventQueue* q, InputEvent* out)
{
    return pop_front(q, nullptr, out);
}

void event_queue_clear(EventQueue* q)
{
    std::lock_guard<std::mutex> guard(q->lock);
    q->head = 0;
    q->count = 0;
}

EventQueue* event_queue_main()
{
    return &main_queue;
}

bool event_push(int code, bool pressed, ClockTime time)
{
    return event_queue_push(&main_queue, InputEvent{code, pressed, time});
}

void event_set_pump(void (*pump)(Window*))
{
    pump_messages = pump;
}

static bool next_event(Window* window, const ClockTime* limit, InputEvent* out)
{
    bool can_pump = window && pump_messages;
    if (can_pump)
        pump_messages(window);
    if (pop_front(&main_queue, limit, out))
        return true;
    if (!can_pump)
        return false;
    pump_messages(window);  // the devices, polled once more
    return pop_front(&main_queue, limit, out);
}

bool event_next_before(Window* window, ClockTime limit, InputEvent* out)
{
    return next_event(window, &limit, out);
}

bool event_next(Window* window, InputEvent* out)
{
    return next_event(window, nullptr, out);
}
