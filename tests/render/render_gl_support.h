// A hidden window with a GL context shared by the render GL tests, and a
// way to read the log the code under test writes.
#pragma once
#include "platform/log.h"
#include "platform/window.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// Opens the window once per test binary; null when there is no display.
inline Window* render_test_window()
{
    static Window* win = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        WindowRequest req = {"kestrum test", 640, 360, 24, 8, 24, 0, 0, true};
        win = window_open(req);
    }
    return win;
}

#define REQUIRE_GL_WINDOW()                               \
    do {                                                  \
        if (!render_test_window())                        \
            GTEST_SKIP() << "no window can be opened";    \
    } while (0)

