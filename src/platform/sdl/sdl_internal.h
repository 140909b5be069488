// What the SDL side of the platform layer shares between its files.
#pragma once
#include "platform/clock.h"
#include "platform/window.h"

#include <SDL.h>

struct Window {
    SDL_Window* sdl = nullptr;
    SDL_GLContext gl = nullptr;
    int width = 0, height = 0;   // client size in pixels
    bool fullscreen = false;
    bool close_queued = false;   // one close event per batch of messages
};

// The open window, or null.
Window* sdl_open_window();

// Finds the game devices, the mouse and the cursor; starts the message pump.
void sdl_input_open(Window* window);

// Closes the devices and stops the pump.
void sdl_input_close();

// An SDL event stamp (milliseconds since SDL started) on the platform
// clock, given both clocks read at one moment; never later than that moment.
ClockTime sdl_event_time(Uint32 stamp, ClockTime now, Uint32 ticks);
