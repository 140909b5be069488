// Window, GL compatibility context and display modes on SDL2.
#include "platform/sdl/sdl_internal.h"

#include "platform/log.h"
#include "platform/message_box.h"
#include "platform/options.h"

#include <cstdlib>
#include <vector>

namespace {

Window* open_window = nullptr;
bool options_logged = false;

// A modal box through SDL; false without a display, so the text goes to
// standard error instead of waiting for a click nobody can give.
bool show_box(const char* title, const char* text)
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wayland || !*wayland))
        return false;
    SDL_Window* parent = open_window ? open_window->sdl : nullptr;
    return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title, text, parent) == 0;
}

[[maybe_unused]] const bool box_installed = (message_box_set_shower(show_box), true);

// The display connection opens once and stays until exit: closing it would
// unload the window system's libraries under the GL driver's feet, and a
// second window opens faster.
bool video_up()
{
    static bool up = false;
    if (!up)
        up = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    return up;
}


bool desktop_mode(DisplayMode* out)
{
    SDL_DisplayMode m;
    if (SDL_GetDesktopDisplayMode(0, &m) != 0)
        return false;
    *out = DisplayMode{m.w, m.h, int(SDL_BITSPERPIXEL(m.format))};
    return true;
}

// The smallest mode (width + height) at least as large as asked; the
// desktop size when there is none or a size is 0.
DisplayMode pick_mode(int width, int height)
{
    DisplayMode best{0, 0, 0};
    desktop_mode(&best);
    if (width <= 0 || height <= 0)
        return best;
    const DisplayMode* found = nullptr;
    for (const DisplayMode* m = display_modes(); m->width; m++)
        if (m->width >= width && m->height >= height &&
            (!found || m->width + m->height < found->width + found->height))
            found = m;
    return found ? *found : best;
}

// Switches the window to full screen at the mode's size.
void go_fullscreen(SDL_Window* w, const DisplayMode& mode)
{
    SDL_DisplayMode want{};
    want.w = mode.width;
    want.h = mode.height;
    SDL_DisplayMode closest;
    if (SDL_GetClosestDisplayMode(0, &want, &closest))
        SDL_SetWindowDisplayMode(w, &closest);
    SDL_SetWindowBordered(w, SDL_FALSE);
    SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN);
}

void set_pixel_format(const WindowRequest& req, int alpha, int stencil, int accum)
{
    int depth = req.flags & WINDOW_DEPTH_MASK;
    if (depth == 32)
        depth = 24;
    int red = 8, green = 8, blue = 8;
    if (depth == 16) {
        red = blue = 5;
        green = 6;
    } else if (depth == 15) {
        red = green = blue = 5;
    } else if (depth > 0 && depth < 15) {
        red = green = blue = 3;
    }
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, red);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, green);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, blue);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alpha);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, req.depth_bits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, stencil);
    int per_channel = accum / 4;
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, per_channel);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, per_channel);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, per_channel);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, per_channel);
}

void log_options()
{
    if (options_logged)
        return;
    options_logged = true;
    bool threaded = option_flag("threaded", 0) != 0;
    option_flag("fullscreen", 0);
    log_printf("Options:\n");
    log_printf("%10s [%s]\n", "threaded:", threaded ? "yes" : "no");
    // SDL delivers window messages to the thread that made the window, so
    // the messages are always handled on the game thread.
}

}  // namespace

Window* sdl_open_window()
{
    return open_window;
}

const DisplayMode* display_modes()
{
    static std::vector<DisplayMode> modes;
    if (!modes.empty())
        return modes.data();
    DisplayMode desktop{0, 0, 0};
    SDL_DisplayMode dm;
    bool video = video_up();
    if (video && SDL_GetDesktopDisplayMode(0, &dm) == 0) {
        desktop = DisplayMode{dm.w, dm.h, int(SDL_BITSPERPIXEL(dm.format))};
        log_printf("Registry mode is %dx%dx%d@%dhz\n", dm.w, dm.h, desktop.depth, dm.refresh_rate);
        modes.push_back(desktop);
        int count = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < count; i++) {
            if (SDL_GetDisplayMode(0, i, &dm) != 0)
                continue;
            DisplayMode m{dm.w, dm.h, int(SDL_BITSPERPIXEL(dm.format))};
            bool seen = false;
            for (const DisplayMode& have : modes)
                seen = seen || (have.width == m.width && have.height == m.height && have.depth == m.depth);
            if (seen)
                continue;
            bool usable = m.depth == 8 || m.depth == 15 || m.depth == 16 || m.depth == 24 || m.depth == 32;
            log_printf("Found mode %dx%dx%d@%dhz%s\n", m.width, m.height, m.depth, dm.refresh_rate,
                       usable ? "" : " (ignored)");
            if (usable)
                modes.push_back(m);
        }
    }
    modes.push_back(DisplayMode{0, 0, 0});
    return modes.data();
}

Window* window_open(const WindowRequest& req)
{
    log_options();
    if (open_window) {
        log_printf("Can't create window!\n");
        return nullptr;
    }
    if (!video_up()) {
        log_printf("Can't create window!\n");
        log_printf("%s\n", SDL_GetError());
        return nullptr;
    }
    bool fullscreen = (req.flags & WINDOW_FULLSCREEN) != 0;
    int w = req.width, h = req.height;
    DisplayMode mode{0, 0, 0};
    if (fullscreen) {
        mode = pick_mode(w, h);
        w = mode.width;
        h = mode.height;
    } else if (w <= 0 || h <= 0) {
        DisplayMode desktop{640, 480, 0};
        desktop_mode(&desktop);
        w = desktop.width;
        h = desktop.height;
    }
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE;
    flags |= req.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;

    log_printf("Creating window\n");
    Window* win = new Window;
    // Like a closest-match pixel format: give up accumulation, then stencil
    // and alpha bits, before giving up the window.
    const int tries[][3] = {
        {req.alpha_bits, req.stencil_bits, req.accum_bits},
        {req.alpha_bits, req.stencil_bits, 0},
        {0, 0, 0},
    };
    for (const auto& t : tries) {
        set_pixel_format(req, t[0], t[1], t[2]);
        win->sdl = SDL_CreateWindow(req.title ? req.title : "", SDL_WINDOWPOS_CENTERED,
                                    SDL_WINDOWPOS_CENTERED, w, h, flags);
        if (win->sdl)
            break;
    }
    if (!win->sdl) {
        log_printf("Can't create window!\n");
        log_printf("%s\n", SDL_GetError());
        delete win;
        return nullptr;
    }
    if (fullscreen)
        go_fullscreen(win->sdl, mode);
    win->fullscreen = fullscreen;

    log_printf("Creating OpenGL context\n");
    win->gl = SDL_GL_CreateContext(win->sdl);
    if (!win->gl) {
        log_printf("Couldn't create OpenGL context\n");
        log_printf("%s\n", SDL_GetError());
        SDL_DestroyWindow(win->sdl);
        delete win;
        return nullptr;
    }
    SDL_GL_MakeCurrent(win->sdl, win->gl);
    SDL_GL_GetDrawableSize(win->sdl, &win->width, &win->height);
    if (!req.hidden)
        SDL_RaiseWindow(win->sdl);
    open_window = win;
    sdl_input_open(win);
    return win;
}

void window_close(Window* win)
{
    if (!win)
        return;
    log_printf("Deleting OpenGL context\n");
    if (win->gl)
        SDL_GL_DeleteContext(win->gl);
    log_printf("Closing input devices\n");
    sdl_input_close();
    log_printf("Destroying window\n");
    if (win->fullscreen)
        SDL_SetWindowFullscreen(win->sdl, 0);  // back to the desktop mode
    if (win->sdl)
        SDL_DestroyWindow(win->sdl);
    if (open_window == win)
        open_window = nullptr;
    delete win;
    log_printf("Window shutdown complete\n");
}

bool frame_begin(Window* win, int* width, int* height)
{
    if (!win || !win->gl)
        return false;
    Uint32 f = SDL_GetWindowFlags(win->sdl);
    if (f & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN))
        return false;
    SDL_GL_GetDrawableSize(win->sdl, &win->width, &win->height);
    *width = win->width;
    *height = win->height;
    return true;
}

bool frame_end(Window* win)
{
    if (!win || !win->gl)
        return false;
    SDL_GL_SwapWindow(win->sdl);
    return true;
}

bool window_ready(Window* win)
{
    return win && win->gl;
}

void window_set_mode(Window* win, int width, int height, bool fullscreen)
{
    if (!win)
        return;
    if (fullscreen) {
        go_fullscreen(win->sdl, pick_mode(width, height));
    } else {
        SDL_SetWindowFullscreen(win->sdl, 0);
        SDL_SetWindowBordered(win->sdl, SDL_TRUE);
        if (width <= 0 || height <= 0) {
            DisplayMode desktop{640, 480, 0};
            desktop_mode(&desktop);
            width = desktop.width;
            height = desktop.height;
        }
        SDL_SetWindowSize(win->sdl, width, height);
    }
    win->fullscreen = fullscreen;
    SDL_GL_GetDrawableSize(win->sdl, &win->width, &win->height);
}

void* gl_proc_address(const char* name)
{
    return SDL_GL_GetProcAddress(name);
}
