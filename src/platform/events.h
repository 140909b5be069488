// The input event queue: every key, button, character and close request is
// queued with the time it happened, so the frame loop can apply it in the
// simulation tick it belongs to however late the frame reads it.
#pragma once
#include "platform/clock.h"

#include <mutex>

struct Window;

// One queued input: a control code (see controls.h), pressed or released,
// and when it happened on the platform clock.
struct InputEvent {
    int code;
    bool pressed;
    ClockTime time;
};

enum { EVENT_QUEUE_SIZE = 256 };

// A ring of timestamp-ordered events. Full means full: further events are
// dropped until the game reads some. The lock lets a message side feed it.
struct EventQueue {
    InputEvent ring[EVENT_QUEUE_SIZE];
    int head = 0;   // index of the oldest event
    int count = 0;
    std::mutex lock;
};

// Queues an event, keeping the queue in timestamp order (an event goes
// behind every event with the same or an earlier time). False when the
// queue is full and the event was dropped.
bool event_queue_push(EventQueue* queue, const InputEvent& event);

// Takes the oldest event whose time is not later than the limit. False
// when there is none.
bool event_queue_pop_before(EventQueue* queue, ClockTime limit, InputEvent* out);

// Takes the oldest event whatever its time.
bool event_queue_pop(EventQueue* queue, InputEvent* out);

// Empties the queue.
void event_queue_clear(EventQueue* queue);

// The program's one queue, fed by the window system side. Tests and the
// frame loop's dispatch tests inject events here.
EventQueue* event_queue_main();

// Queues an event on the program's queue.
bool event_push(int code, bool pressed, ClockTime time);

// The window system side installs the function that turns pending window
// messages into queued events; null removes it.
void event_set_pump(void (*pump)(Window*));

// Handles pending window messages, then returns the oldest queued event
// stamped no later than the limit; when there is none, polls the devices
// once more and tries again. A null window skips the pumping, so headless
// code reads injected events the same way.
bool event_next_before(Window* window, ClockTime limit, InputEvent* out);

// The same without the time limit.
bool event_next(Window* window, InputEvent* out);
