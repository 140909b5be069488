// The game's one window with its GL context. The SDL side lives in
// platform/sdl/; callers see only these records and calls.
#pragma once

struct Window;  // opaque; owned by the platform layer

// Flags for window_open: the low byte is the colour depth in bits.
enum WindowFlags {
    WINDOW_DEPTH_MASK = 0xff,
    WINDOW_FULLSCREEN = 0x100,
};

struct WindowRequest {
    const char* title;
    int width, height;     // 0 means the desktop size
    int flags;             // colour depth in the low byte, WINDOW_FULLSCREEN
    int alpha_bits, depth_bits, stencil_bits, accum_bits;
    bool hidden;           // tests: create the context without showing the window
};

// Creates the window, its GL compatibility context, the input devices and
// the platform's control aliases. None when the window or the context
// cannot be made (logged). There is one window at a time.
Window* window_open(const WindowRequest& request);

// Destroys the window, forgets the input devices and restores the desktop
// display mode.
void window_close(Window* window);

// Starts a frame: fills the client size and returns true, or false when
// there is nothing to draw into (no context, minimised, being resized).
bool frame_begin(Window* window, int* width, int* height);

// Swaps the buffers. False when the swap fails or there is no context.
bool frame_end(Window* window);

// True once the window is shown and has a context.
bool window_ready(Window* window);

// Asks for a new display mode: full screen picks the smallest mode at least
// this large (desktop size when 0); windowed gives the client this size.
void window_set_mode(Window* window, int width, int height, bool fullscreen);

// Looks up a GL entry point by name; null when the driver has none.
void* gl_proc_address(const char* name);

// A display mode the screen offers.
struct DisplayMode {
    int width, height, depth;
};

// The desktop mode first, then every other mode once (refresh rates do not
// count), ending with an all-zero entry. Built on first use and logged.
const DisplayMode* display_modes();
