#include "platform/controls.h"

#include "platform/devices.h"
#include "platform/events.h"
#include "platform/scancodes.h"
#include "platform/log.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const int KEY = CONTROL_KEY_BASE;

// Each test starts with the platform's aliases and no devices.
class Controls : public ::testing::Test {
protected:
    void SetUp() override
    {
        aliases_clear();
        controls_define_aliases();
        input_devices_clear();
        event_queue_clear(event_queue_main());
    }
    void TearDown() override
    {
        controls_set_layout_names(nullptr);
        input_devices_clear();
        event_queue_clear(event_queue_main());
    }
};

}  // namespace

TEST_F(Controls, NamesResolveToCodes)
{
    struct Case { const char* name; int code; };
    const Case cases[] = {
        {"Esc", KEY + 1},           {"esc", KEY + 1},          {"ESC", KEY + 1},
        {"left_ctrl", KEY + 29},    {"Left Ctrl", KEY + 29},   {"left\tctrl", KEY + 29},
        {"Space", KEY + 57},        {" ", KEY + 57},           {"_", KEY + 57},
        {"keypad_enter", KEY + 284}, {"Page Down", KEY + 337},  {"\\", KEY + 43},
        {"0x1c", KEY + 0x1c},       {"0x1ff", KEY + 511},      {"0x200", -1},
        {"0x1cz", -1},              {"Mouse Left", CONTROL_MOUSE_LEFT},
        {"mouse middle", CONTROL_MOUSE_MIDDLE}, {"Close", CONTROL_CLOSE},
        {"cursor-right", CONTROL_MOUSE_RIGHT},  {"Left  Ctrl", -1},
        {"", -1},                   {"bogus", -1},             {"Esc ", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(control_code(nullptr, c.name), c.code) << "'" << c.name << "'";
}

TEST_F(Controls, CodesHaveInternedNames)
{
    struct Case { int code; const char* name; };
    const Case cases[] = {
        {KEY + 1, "Esc"},          {KEY + 57, "Space"},       {KEY + 285, "Right Ctrl"},
        {KEY + 56, "0x38"},        {KEY + 511, "0x1ff"},      {CONTROL_MOUSE_MIDDLE, "Mouse Middle"},
        {CONTROL_CLOSE, "Close"},  {'a', nullptr},            {0, nullptr},
        {0x2003, nullptr},         {5 << 16, nullptr},
    };
    for (const Case& c : cases) {
        const char* name = control_name(nullptr, c.code);
        if (c.name)
            EXPECT_STREQ(name, c.name) << c.code;
        else
            EXPECT_EQ(name, nullptr) << c.code;
    }
    // Equal names are the same pointer, whatever produced them.
    EXPECT_EQ(control_name(nullptr, KEY + 1), name_intern("Esc"));
    char copy[] = "Esc";
    EXPECT_EQ(name_intern(copy), control_name(nullptr, KEY + 1));
}

TEST_F(Controls, KeyboardLayoutNamesComeFirst)
{
    // An AZERTY-like layout: the key at scan code 16 is "A", Esc is "Escape".
    controls_set_layout_names([](int scan) -> const char* {
        switch (scan) {
        case 1: return "Escape";
        case 16: return "A";
        case 30: return "Q";
        default: return "";
        }
    });
    EXPECT_EQ(control_code(nullptr, "A"), KEY + 16);
    EXPECT_EQ(control_code(nullptr, "q"), KEY + 30);
    EXPECT_EQ(control_code(nullptr, "Escape"), KEY + 1);
    EXPECT_EQ(control_code(nullptr, "esc"), KEY + 1);
    EXPECT_STREQ(control_name(nullptr, KEY + 1), "Escape");
    EXPECT_STREQ(control_name(nullptr, KEY + 16), "A");
    EXPECT_STREQ(control_name(nullptr, KEY + 15), "Tab");  // no layout name: fixed table
}

TEST_F(Controls, AliasesKeepTheFirstTarget)
{
    LogCapture log("aliases");
    EXPECT_STREQ(alias_lookup("mouse-x"), "Mouse.axis[0]");
    EXPECT_STREQ(alias_lookup("joystick-b-2"), "Joystick2.key[1]");
    EXPECT_STREQ(alias_lookup("unaliased"), "unaliased");
    EXPECT_TRUE(alias_add("throttle", "Up"));
    EXPECT_FALSE(alias_add("throttle", "Down"));
    EXPECT_STREQ(alias_lookup("throttle"), "Up");
    EXPECT_EQ(control_code(nullptr, "throttle"), KEY + 328);
    EXPECT_NE(log.text().find("Second alias for 'throttle' ('Down') ignored\n"), std::string::npos);
}

TEST_F(Controls, DeviceNamesIdsAndButtons)
{
    // s1 = 'M' + 'u' + 'e' = 295, s2 = 'o' + 's' = 226.
    EXPECT_EQ(device_id_for_name("Mouse"), (295 + 256 * 226) & 0x7fff);

    InputDevice* pad = input_device_add("Game Pad 2.0", 4, 12, false);
    InputDevice* pad2 = input_device_add("Game Pad 2.0", 4, 12, false);
    EXPECT_EQ(pad->name, "GamePad20");
    EXPECT_EQ(pad2->name, "GamePad20#2");
    EXPECT_EQ(pad->id, device_id_for_name("GamePad20"));

    // "abcd" and "cbad" have the same sums, so the second takes the next id.
    InputDevice* a = input_device_add("abcd", 1, 1, false);
    InputDevice* b = input_device_add("cbad", 1, 1, false);
    EXPECT_EQ(device_id_for_name("abcd"), device_id_for_name("cbad"));
    EXPECT_EQ(b->id, (a->id + 1) & 0x7fff);

    int base = pad->id << 16;
    struct Case { const char* name; int code; };
    const Case cases[] = {
        {"GamePad20.key[3]", base + 3}, {"GamePad20 button 11", base + 11},
        {"gamepad20.key[3]", -1},       {"GamePad20.key[12]", -1},
        {"GamePad20.key[-1]", -1},      {"GamePad20.key[3]x", -1},
        {"Nobody.key[0]", -1},          {"GamePad20#2.key[0]", pad2->id << 16},
    };
    for (const Case& c : cases)
        EXPECT_EQ(control_code(nullptr, c.name), c.code) << c.name;
    EXPECT_STREQ(control_name(nullptr, base + 11), "GamePad20 button 11");
    EXPECT_EQ(control_name(nullptr, base + 12), nullptr);
}

TEST_F(Controls, DeviceButtonsAreQueuedWithAdjustedStamps)
{
    InputDevice* pad = input_device_add("Pad", 2, 4, false);
    ClockTime now{100, 0};
    input_device_button(pad, 1, true, ClockTime{99, 500000}, now);
    input_device_button(pad, 1, true, ClockTime{99, 600000}, now);  // no change: nothing
    // A stamp 2 s ahead of the clock: it becomes the adjustment.
    input_device_button(pad, 1, false, ClockTime{102, 0}, now);
    input_device_button(pad, 2, true, ClockTime{102, 100000}, ClockTime{100, 200000});
    InputEvent e[3];
    for (InputEvent& ev : e)
        ASSERT_TRUE(event_queue_pop(event_queue_main(), &ev));
    EXPECT_FALSE(event_queue_pop(event_queue_main(), &e[0]));
    EXPECT_EQ(e[0].code, (pad->id << 16) + 1);
    EXPECT_TRUE(e[0].pressed);
    EXPECT_FALSE(e[1].pressed);
    EXPECT_EQ(clock_compare(e[1].time, now), 0);
    EXPECT_EQ(e[2].code, (pad->id << 16) + 2);
    EXPECT_EQ(clock_compare(e[2].time, ClockTime{100, 100000}), 0);

    LogCapture log("devices-kill");
    input_devices_clear();
    EXPECT_NE(log.text().find("Killing Pad\n"), std::string::npos);
    EXPECT_NE(log.text().find("Timestamp adjustment was 2000\n"), std::string::npos);
}

TEST_F(Controls, AxesReadRelativeAbsoluteAndCursor)
{
    InputDevice* mouse = input_device_add("Mouse", 3, 5, true);
    InputDevice* pad = input_device_add("Pad", 2, 4, false);
    InputDevice* cursor = input_device_add("cursor", 2, 0, false);
    cursor->pointer = true;

    input_device_motion(mouse, 0, 50);  // nobody reads the mouse yet
    AxisHandle* mx = axis_open(nullptr, "mouse-x");
    ASSERT_NE(mx, nullptr);
    input_device_motion(mouse, 0, 5);
    input_device_motion(mouse, 0, 7);
    EXPECT_EQ(axis_read(mx), 12);
    EXPECT_EQ(axis_read(mx), 0);

    AxisHandle* py = axis_open(nullptr, "Pad axis 1");
    ASSERT_NE(py, nullptr);
    input_device_set_axis(pad, 1, -40000);
    EXPECT_EQ(axis_read(py), -32767);
    EXPECT_EQ(axis_read(py), -32767);

    AxisHandle* cx = axis_open(nullptr, "cursor-x");
    input_device_set_axis(cursor, 0, 70000);
    EXPECT_EQ(axis_read(cx), 70000);

    EXPECT_EQ(axis_open(nullptr, "Pad.axis[2]"), nullptr);
    EXPECT_EQ(axis_open(nullptr, "Pad.axis[-1]"), nullptr);
    EXPECT_EQ(axis_open(nullptr, "Nobody.axis[0]"), nullptr);
    EXPECT_EQ(axis_open(nullptr, "joystick-a-x"), nullptr);

    std::vector<const char*> names = axis_names(nullptr);
    ASSERT_EQ(names.size(), 7u);
    EXPECT_STREQ(names[0], "Mouse axis 0");
    EXPECT_STREQ(names[4], "Pad axis 1");
    EXPECT_EQ(names[6], name_intern("cursor axis 1"));

    input_devices_clear();
    EXPECT_EQ(axis_read(py), 0);  // the device is gone
    axis_close(mx);
    axis_close(py);
    axis_close(cx);
}

TEST(Scancodes, EveryNamedKeyIsReachableFromTheKeyboard)
{
    for (int scan = 0; scan < CONTROL_KEY_COUNT; scan++) {
        if (!control_fixed_key_name(scan))
            continue;
        int usage = scancode_to_usb_hid(scan);
        EXPECT_NE(usage, 0) << control_fixed_key_name(scan);
        EXPECT_EQ(scancode_from_usb_hid(usage), scan) << control_fixed_key_name(scan);
    }
    struct Case { int usage; int scan; };
    const Case cases[] = {
        {0x29, 1}, {0x04, 30}, {0x14, 16}, {0x58, 284}, {0x52, 328}, {0xe4, 285},
        {0x53, 325}, {0x48, 69}, {0xe2, 56}, {0x03, 0}, {0x1000, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scancode_from_usb_hid(c.usage), c.scan) << std::hex << c.usage;
}
