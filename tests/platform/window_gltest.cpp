#include "platform/controls.h"
#include "platform/devices.h"
#include "platform/events.h"
#include "platform/window.h"

#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A small shown window, or a skipped test when no display can make one.
class WindowTest : public ::testing::Test {
protected:
    Window* window = nullptr;
    void SetUp() override
    {
        WindowRequest req{};
        req.title = "Kestrum test";
        req.width = 64;
        req.height = 48;
        req.flags = 24;
        req.depth_bits = 16;
        window = window_open(req);
        if (!window)
            GTEST_SKIP() << "no window can be opened here";
    }
    void TearDown() override { window_close(window); }
};

std::vector<InputEvent> drain(Window* w)
{
    std::vector<InputEvent> out;
    InputEvent e;
    while (event_next(w, &e))
        out.push_back(e);
    return out;
}

}  // namespace

TEST_F(WindowTest, ClearColourReadsBack)
{
    int width = 0, height = 0;
    ASSERT_TRUE(frame_begin(window, &width, &height));
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 48);
    glViewport(0, 0, width, height);
    glClearColor(0.196078f, 0.6f, 0.8f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    unsigned char pixel[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(width / 2, height / 2, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, pixel);
    EXPECT_NEAR(pixel[0], 50, 1);
    EXPECT_NEAR(pixel[1], 153, 1);
    EXPECT_NEAR(pixel[2], 204, 1);
    EXPECT_TRUE(frame_end(window));

    const DisplayMode* modes = display_modes();
    ASSERT_GT(modes[0].width, 0);  // the desktop mode comes first
    int n = 0;
    while (modes[n].width)
        n++;
    EXPECT_EQ(modes[n].height, 0);
    EXPECT_EQ(modes[n].depth, 0);
}

namespace {

// Frames until the client has the size (at most about a second).
bool settles_at(Window* window, int want_w, int want_h, int* w, int* h)
{
    InputEvent e;
    for (int i = 0; i < 100; i++) {
        while (event_next(window, &e)) {
        }
        if (frame_begin(window, w, h)) {
            frame_end(window);
            if (*w == want_w && *h == want_h)
                return true;
        }
        sleep_for(0, 10000);
    }
    return false;
}

}  // namespace

TEST_F(WindowTest, ModeChangesGiveTheClientSize)
{
    int width = 0, height = 0;
    window_set_mode(window, 80, 60, false);
    EXPECT_TRUE(settles_at(window, 80, 60, &width, &height)) << width << "x" << height;

    // Full screen takes the smallest display mode that holds the size.
    const DisplayMode* best = nullptr;
    for (const DisplayMode* m = display_modes(); m->width; m++)
        if (m->width >= 320 && m->height >= 200 &&
            (!best || m->width + m->height < best->width + best->height))
            best = m;
    ASSERT_NE(best, nullptr);
    window_set_mode(window, 320, 200, true);
    EXPECT_TRUE(settles_at(window, best->width, best->height, &width, &height))
        << width << "x" << height;
    window_set_mode(window, 64, 48, false);
    EXPECT_TRUE(settles_at(window, 64, 48, &width, &height)) << width << "x" << height;
}

TEST_F(WindowTest, WindowMessagesBecomeTimestampedEvents)
{
    event_queue_clear(event_queue_main());
    drain(window);  // whatever the window system said on opening

    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    SDL_PushEvent(&e);
    e.type = SDL_KEYUP;
    SDL_PushEvent(&e);
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = SDL_SCANCODE_RCTRL;
    SDL_PushEvent(&e);
    std::memset(&e, 0, sizeof e);
    e.type = SDL_TEXTINPUT;
    std::strcpy(e.text.text, "a\xc3\xa9\xe2\x82\xac");  // a, e-acute, and the euro sign (dropped)
    SDL_PushEvent(&e);
    std::memset(&e, 0, sizeof e);
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_LEFT;
    SDL_PushEvent(&e);
    std::memset(&e, 0, sizeof e);
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&e);
    std::memset(&e, 0, sizeof e);
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);

    InputDevice* mouse = input_device_find("Mouse");
    ASSERT_NE(mouse, nullptr);
    const struct { int code; bool pressed; } want[] = {
        {CONTROL_KEY_BASE + 1, true}, {27, true}, {CONTROL_KEY_BASE + 1, false},
        {CONTROL_KEY_BASE + 285, true}, {'a', true}, {0xe9, true},
        {CONTROL_MOUSE_LEFT, true}, {mouse->id << 16, true}, {CONTROL_CLOSE, true},
    };
    std::vector<InputEvent> got = drain(window);
    ClockTime after = clock_now();
    ASSERT_EQ(got.size(), sizeof want / sizeof want[0]);
    for (size_t i = 0; i < got.size(); i++) {
        EXPECT_EQ(got[i].code, want[i].code) << i;
        EXPECT_EQ(got[i].pressed, want[i].pressed) << i;
        EXPECT_LE(clock_compare(got[i].time, after), 0) << i;  // stamped when it happened
        EXPECT_LT(clock_seconds(after) - clock_seconds(got[i].time), 5.0) << i;
    }
    EXPECT_STREQ(control_name(window, CONTROL_CLOSE), "Close");
    EXPECT_STREQ(control_name(window, mouse->id << 16), "Mouse button 0");
    EXPECT_EQ(control_code(window, "esc"), CONTROL_KEY_BASE + 1);
    EXPECT_EQ(control_code(window, "mouse-left"), mouse->id << 16);
    // The layout's names stand in for the fixed table.
    EXPECT_STRNE(control_name(window, CONTROL_KEY_BASE + 30), nullptr);
    EXPECT_EQ(control_code(window, control_name(window, CONTROL_KEY_BASE + 30)),
              CONTROL_KEY_BASE + 30);
    EXPECT_NE(input_device_find("cursor"), nullptr);
    AxisHandle* cursor_x = axis_open(window, "cursor-x");
    EXPECT_NE(cursor_x, nullptr);
    axis_close(cursor_x);
}

// A joystick attached before the window opens becomes an input device with
// absolute axes and buttons; hats follow the buttons, four each.
TEST(WindowJoystick, VirtualJoystickButtonsAndAxes)
{
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0)
        GTEST_SKIP() << "no joystick support";
    int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 3, 1);
    if (index < 0) {
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        GTEST_SKIP() << "no virtual joysticks";
    }
    WindowRequest req{};
    req.title = "Kestrum test";
    req.width = 64;
    req.height = 48;
    req.flags = 24;
    Window* window = window_open(req);
    if (!window) {
        SDL_JoystickDetachVirtual(index);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        GTEST_SKIP() << "no window can be opened here";
    }
    std::vector<const char*> axes = axis_names(window);
    InputDevice* pad = nullptr;
    for (InputDevice* d : input_devices())
        if (d != input_device_find("Mouse") && d != input_device_find("cursor"))
            pad = d;
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->name.find(' '), std::string::npos);
    EXPECT_EQ(pad->axis_count, 2);
    EXPECT_EQ(pad->button_count, 3 + 4);
    EXPECT_EQ(axes.size(), 3u + 2u + 2u);  // mouse, joystick, cursor

    std::string axis_name = pad->name + ".axis[1]";
    AxisHandle* axis = axis_open(window, axis_name.c_str());
    ASSERT_NE(axis, nullptr);
    SDL_Joystick* joy = SDL_JoystickOpen(index);
    ASSERT_NE(joy, nullptr);
    drain(window);
    SDL_JoystickSetVirtualAxis(joy, 1, -32768);
    SDL_JoystickSetVirtualButton(joy, 2, SDL_PRESSED);
    SDL_JoystickSetVirtualHat(joy, 0, SDL_HAT_LEFT);
    std::vector<InputEvent> got = drain(window);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].code, (pad->id << 16) + 2);
    EXPECT_TRUE(got[0].pressed);
    EXPECT_EQ(got[1].code, (pad->id << 16) + 3 + 3);  // the hat's "left"
    EXPECT_EQ(axis_read(axis), -32767);
    std::string button = pad->name + " button 2";
    EXPECT_STREQ(control_name(window, (pad->id << 16) + 2), button.c_str());
    EXPECT_EQ(control_code(window, button.c_str()), (pad->id << 16) + 2);

    axis_close(axis);
    SDL_JoystickClose(joy);
    window_close(window);
    SDL_JoystickDetachVirtual(index);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}
