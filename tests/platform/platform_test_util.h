// Helpers for the platform tests: environment variables restored on exit,
// and the log sent to a scratch file so a test can read what was logged.
#pragma once
#include "platform/log.h"
#include "test_support.h"

#include <cstdlib>
#include <string>

// Sets (or unsets, for null) an environment variable for one test.
struct EnvGuard {
    std::string name;
    bool had;
    std::string old;
    EnvGuard(const char* var, const char* value) : name(var)
    {
        const char* v = std::getenv(var);
        had = v != nullptr;
        old = v ? v : "";
        if (value)
            setenv(var, value, 1);
        else
            unsetenv(var);
    }
    ~EnvGuard()
    {
        if (had)
            setenv(name.c_str(), old.c_str(), 1);
        else
            unsetenv(name.c_str());
    }
};

// Points the log at a fresh file; text() is everything logged since.
struct LogCapture {
    std::string path;
    EnvGuard env;
    explicit LogCapture(const char* tag)
        : path(test_scratch_dir(tag) + "log.txt"), env("OBLO_LOGFILE", path.c_str())
    {
        log_close();
    }
    ~LogCapture() { log_close(); }
    std::string text() const { return test_read_file(path); }
};
