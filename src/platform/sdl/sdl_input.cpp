// Window messages, keyboard, mouse, joysticks and game controllers on SDL2,
// turned into the platform's timestamped events and device states.
#include "platform/sdl/sdl_internal.h"

#include "platform/controls.h"
#include "platform/devices.h"
#include "platform/events.h"
#include "platform/log.h"
#include "platform/scancodes.h"

#include <vector>

namespace {

// One SDL joystick or game controller behind an input device.
struct SdlDevice {
    SDL_JoystickID instance;
    SDL_Joystick* joystick;             // null for a game controller
    SDL_GameController* controller;     // null for a plain joystick
    InputDevice* device;
    int plain_buttons;                  // hats follow as four buttons each
};

std::vector<SdlDevice> sdl_devices;
InputDevice* mouse = nullptr;
InputDevice* cursor = nullptr;
bool sdl_input_started = false;

int64_t usec_of(ClockTime t)
{
    return t.sec * 1000000 + t.usec;
}

ClockTime time_of(int64_t us)
{
    return ClockTime{us / 1000000, int32_t(us % 1000000)};
}

SdlDevice* device_for(SDL_JoystickID instance, bool controller)
{
    for (SdlDevice& d : sdl_devices)
        if (d.instance == instance && (d.controller != nullptr) == controller)
            return &d;
    return nullptr;
}

// The keyboard layout's name for a set-1 key, through SDL's key names.
const char* layout_name(int scan)
{
    int usage = scancode_to_usb_hid(scan);
    if (!usage)
        return nullptr;
    SDL_Keycode key = SDL_GetKeyFromScancode(SDL_Scancode(usage));
    if (key == SDLK_UNKNOWN)
        return nullptr;
    return SDL_GetKeyName(key);
}

// Keys that also type a control character, as the window system's own
// character messages would.
int typed_control(SDL_Scancode sc)
{
    switch (sc) {
    case SDL_SCANCODE_BACKSPACE: return 8;
    case SDL_SCANCODE_TAB: return 9;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return 13;
    case SDL_SCANCODE_ESCAPE: return 27;
    default: return 0;
    }
}

// Code points 1..255 of UTF-8 text become character events.
void queue_text(const char* text, ClockTime when)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        unsigned c = *p++;
        unsigned code = c;
        int more = 0;
        if (c >= 0xf0) {
            code = c & 0x07;
            more = 3;
        } else if (c >= 0xe0) {
            code = c & 0x0f;
            more = 2;
        } else if (c >= 0xc0) {
            code = c & 0x1f;
            more = 1;
        } else if (c >= 0x80) {
            continue;  // a stray continuation byte
        }
        for (; more > 0 && (*p & 0xc0) == 0x80; more--)
            code = (code << 6) | (*p++ & 0x3f);
        if (more == 0 && code >= 1 && code <= 255)
            event_push(int(code), true, when);
    }
}

void mouse_button(const SDL_MouseButtonEvent& e, ClockTime when, ClockTime now)
{
    bool down = e.type == SDL_MOUSEBUTTONDOWN;
    int window_code = 0, device_button = -1;
    switch (e.button) {
    case SDL_BUTTON_LEFT: window_code = CONTROL_MOUSE_LEFT; device_button = 0; break;
    case SDL_BUTTON_RIGHT: window_code = CONTROL_MOUSE_RIGHT; device_button = 1; break;
    case SDL_BUTTON_MIDDLE: window_code = CONTROL_MOUSE_MIDDLE; device_button = 2; break;
    case SDL_BUTTON_X1: device_button = 3; break;
    case SDL_BUTTON_X2: device_button = 4; break;
    default: break;
    }
    if (window_code)
        event_push(window_code, down, when);
    if (device_button >= 0)
        input_device_button(mouse, device_button, down, when, now);
}

void joystick_hat(SdlDevice* d, int hat, Uint8 value, ClockTime when, ClockTime now)
{
    const Uint8 dirs[4] = {SDL_HAT_UP, SDL_HAT_RIGHT, SDL_HAT_DOWN, SDL_HAT_LEFT};
    for (int i = 0; i < 4; i++)
        input_device_button(d->device, d->plain_buttons + hat * 4 + i, (value & dirs[i]) != 0, when,
                            now);
}

void handle(Window* win, const SDL_Event& e, ClockTime now, Uint32 ticks)
{
    ClockTime when = sdl_event_time(e.common.timestamp, now, ticks);
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        int scan = scancode_from_usb_hid(e.key.keysym.scancode);
        if (scan)
            event_push(CONTROL_KEY_BASE + scan, e.type == SDL_KEYDOWN, when);
        int typed = e.type == SDL_KEYDOWN ? typed_control(e.key.keysym.scancode) : 0;
        if (typed)
            event_push(typed, true, when);
        break;
    }
    case SDL_TEXTINPUT:
        queue_text(e.text.text, when);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        mouse_button(e.button, when, now);
        break;
    case SDL_MOUSEMOTION:
        input_device_motion(mouse, 0, e.motion.xrel);
        input_device_motion(mouse, 1, e.motion.yrel);
        input_device_set_axis(cursor, 0, e.motion.x);
        input_device_set_axis(cursor, 1, e.motion.y);
        break;
    case SDL_MOUSEWHEEL:
        input_device_motion(mouse, 2, e.wheel.y * 120);
        break;
    case SDL_JOYAXISMOTION:
        if (SdlDevice* d = device_for(e.jaxis.which, false))
            input_device_set_axis(d->device, e.jaxis.axis, e.jaxis.value);
        break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
        if (SdlDevice* d = device_for(e.jbutton.which, false))
            input_device_button(d->device, e.jbutton.button, e.type == SDL_JOYBUTTONDOWN, when, now);
        break;
    case SDL_JOYHATMOTION:
        if (SdlDevice* d = device_for(e.jhat.which, false))
            joystick_hat(d, e.jhat.hat, e.jhat.value, when, now);
        break;
    case SDL_CONTROLLERAXISMOTION:
        if (SdlDevice* d = device_for(e.caxis.which, true))
            input_device_set_axis(d->device, e.caxis.axis, e.caxis.value);
        break;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
        if (SdlDevice* d = device_for(e.cbutton.which, true))
            input_device_button(d->device, e.cbutton.button, e.type == SDL_CONTROLLERBUTTONDOWN, when,
                                now);
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE && !win->close_queued) {
            // The window stays open: the game decides what a close means.
            win->close_queued = true;
            event_push(CONTROL_CLOSE, true, when);
        } else if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
            SDL_GL_GetDrawableSize(win->sdl, &win->width, &win->height);
            log_printf("WM_SIZE message %dx%d\n", win->width, win->height);
        }
        break;
    case SDL_QUIT:
        if (!win->close_queued) {
            win->close_queued = true;
            event_push(CONTROL_CLOSE, true, when);
        }
        break;
    default:
        break;
    }
}

void pump(Window* win)
{
    if (win != sdl_open_window())
        return;
    SDL_PumpEvents();
    // One reading of both clocks per batch keeps the batch's order.
    ClockTime now = clock_now();
    Uint32 ticks = Uint32(SDL_GetTicks64());
    win->close_queued = false;
    SDL_Event e;
    while (SDL_PollEvent(&e))
        handle(win, e, now, ticks);
}

void add_joystick(int index)
{
    SdlDevice d{};
    const char* name = nullptr;
    int axes = 0, buttons = 0;
    if (SDL_IsGameController(index)) {
        d.controller = SDL_GameControllerOpen(index);
        if (!d.controller)
            return;
        d.instance = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(d.controller));
        name = SDL_GameControllerName(d.controller);
        axes = SDL_CONTROLLER_AXIS_MAX;
        buttons = d.plain_buttons = SDL_CONTROLLER_BUTTON_MAX;
    } else {
        d.joystick = SDL_JoystickOpen(index);
        if (!d.joystick)
            return;
        d.instance = SDL_JoystickInstanceID(d.joystick);
        name = SDL_JoystickName(d.joystick);
        axes = SDL_JoystickNumAxes(d.joystick);
        d.plain_buttons = SDL_JoystickNumButtons(d.joystick);
        buttons = d.plain_buttons + 4 * SDL_JoystickNumHats(d.joystick);
    }
    d.device = input_device_add(name ? name : "Joystick", axes, buttons, false);
    for (int a = 0; a < d.device->axis_count; a++) {
        int value = d.controller ? SDL_GameControllerGetAxis(d.controller, SDL_GameControllerAxis(a))
                                 : SDL_JoystickGetAxis(d.joystick, a);
        input_device_set_axis(d.device, a, value);
    }
    d.device->platform = d.controller ? static_cast<void*>(d.controller) : d.joystick;
    log_printf("%s: %d axes, %d buttons\n", d.device->name.c_str(), d.device->axis_count,
               d.device->button_count);
    sdl_devices.push_back(d);
}

}  // namespace

ClockTime sdl_event_time(Uint32 stamp, ClockTime now, Uint32 ticks)
{
    int32_t ago_ms = int32_t(stamp - ticks);  // modular: survives the 49-day wrap
    if (ago_ms > 0)
        ago_ms = 0;
    return time_of(usec_of(now) + int64_t(ago_ms) * 1000);
}

void sdl_input_open(Window* win)
{
    log_printf("DirectInput roll call...\n");
    mouse = input_device_add("Mouse", 3, 5, true);
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) == 0) {
        sdl_input_started = true;
        int count = SDL_NumJoysticks();
        for (int i = 0; i < count; i++)
            add_joystick(i);
    } else {
        log_printf("No game devices: %s\n", SDL_GetError());
    }
    log_printf("End of DirectInput roll call\n");
    cursor = input_device_add("cursor", 2, 0, false);
    cursor->pointer = true;
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    input_device_set_axis(cursor, 0, x);
    input_device_set_axis(cursor, 1, y);
    controls_define_aliases();
    controls_set_layout_names(layout_name);
    SDL_StartTextInput();
    event_set_pump(pump);
    (void)win;
}

void sdl_input_close()
{
    event_set_pump(nullptr);
    SDL_StopTextInput();
    for (SdlDevice& d : sdl_devices) {
        if (d.controller)
            SDL_GameControllerClose(d.controller);
        if (d.joystick)
            SDL_JoystickClose(d.joystick);
    }
    sdl_devices.clear();
    input_devices_clear();
    mouse = cursor = nullptr;
    controls_set_layout_names(nullptr);
    if (sdl_input_started)
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
    sdl_input_started = false;
}
