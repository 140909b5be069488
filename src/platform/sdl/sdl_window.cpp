// Window and GL context on SDL2.
#include "platform/window.h"

#include "platform/log.h"

#include <SDL.h>

struct Window {
    SDL_Window* sdl = nullptr;
    SDL_GLContext gl = nullptr;
    int width = 0, height = 0;
    bool fullscreen = false;
};

Window* window_open(const WindowRequest& req)
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        log_printf("Can't create window!\n");
        return nullptr;
    }
    int depth = req.flags & WINDOW_DEPTH_MASK;
    if (depth == 32)
        depth = 24;
    int per_channel = depth >= 24 ? 8 : (depth == 15 || depth == 16 ? 5 : 8);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, per_channel);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, per_channel);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, per_channel);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, req.alpha_bits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, req.depth_bits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, req.stencil_bits);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, req.accum_bits);

    SDL_DisplayMode desktop;
    int w = req.width, h = req.height;
    if ((w == 0 || h == 0) && SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
        w = desktop.w;
        h = desktop.h;
    }
    Uint32 flags = SDL_WINDOW_OPENGL;
    flags |= req.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
    if (req.flags & WINDOW_FULLSCREEN)
        flags |= SDL_WINDOW_FULLSCREEN;
    log_printf("Creating window\n");
    Window* win = new Window;
    win->sdl = SDL_CreateWindow(req.title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h, flags);
    if (!win->sdl) {
        log_printf("Can't create window!\n");
        delete win;
        return nullptr;
    }
    log_printf("Creating OpenGL context\n");
    win->gl = SDL_GL_CreateContext(win->sdl);
    if (!win->gl) {
        log_printf("Couldn't create OpenGL context\n");
        SDL_DestroyWindow(win->sdl);
        delete win;
        return nullptr;
    }
    SDL_GL_GetDrawableSize(win->sdl, &win->width, &win->height);
    win->fullscreen = (req.flags & WINDOW_FULLSCREEN) != 0;
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
    log_printf("Destroying window\n");
    if (win->sdl)
        SDL_DestroyWindow(win->sdl);
    delete win;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    log_printf("Window shutdown complete\n");
}

bool frame_begin(Window* win, int* width, int* height)
{
    if (!win || !win->gl)
        return false;
    Uint32 f = SDL_GetWindowFlags(win->sdl);
    if (f & SDL_WINDOW_MINIMIZED)
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
        SDL_SetWindowFullscreen(win->sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        SDL_SetWindowFullscreen(win->sdl, 0);
        if (width > 0 && height > 0)
            SDL_SetWindowSize(win->sdl, width, height);
    }
    win->fullscreen = fullscreen;
}

void* gl_proc_address(const char* name)
{
    return SDL_GL_GetProcAddress(name);
}
