#include "platform/log.h"

#include "platform/clock.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

std::mutex log_mutex;
FILE* log_file = nullptr;
bool log_tried = false;
std::string last_error;

void open_log_file(const char* name)
{
    bool append = false;
    if (name[0] == '>' && name[1] == '>') {
        append = true;
        name += 2;
    } else if (name[0] == '>') {
        name += 1;
    }
    log_file = std::fopen(name, append ? "ab" : "wb");
    if (!log_file)
        return;
    char prefix[32];
    log_format_prefix(prefix, sizeof prefix, clock_ms_since_start());
    std::fprintf(log_file, "%sLogfile \"%s\" opened\n", prefix, name);
    std::fprintf(log_file, "%sOBLO 0.31\n", prefix);
    std::fflush(log_file);
}

}  // namespace

int log_format_prefix(char* out, int size, long long ms)
{
    long long hundredths = ms / 10;
    int h = int(hundredths / 360000);
    int m = int(hundredths / 6000 % 60);
    int s = int(hundredths / 100 % 60);
    int c = int(hundredths % 100);
    return std::snprintf(out, size_t(size), "[%d:%02d:%02d.%02d] ", h, m, s, c);
}

void log_printf(const char* fmt, ...)
{
    // Most messages fit the stack buffer; long ones (the GL extension list)
    // are formatted again into one of their own size.
    char small[1024];
    std::string large;
    va_list ap;
    va_start(ap, fmt);
    va_list again;
    va_copy(again, ap);
    int n = std::vsnprintf(small, sizeof small, fmt, ap);
    va_end(ap);
    const char* text = small;
    if (n >= int(sizeof small)) {
        large.resize(size_t(n) + 1);
        std::vsnprintf(&large[0], large.size(), fmt, again);
        text = large.c_str();
    }
    va_end(again);

    std::lock_guard<std::mutex> lock(log_mutex);
    if (!log_tried) {
        log_tried = true;
        const char* env = std::getenv("OBLO_LOGFILE");
        static const char key[] = "OBLO_LOGFILE=";
        if (env && *env) {
            open_log_file(env);
        } else if (std::strncmp(text, key, sizeof key - 1) == 0) {
            std::string path = text + sizeof key - 1;
            while (!path.empty() && (path.back() == '\n' || path.back() == '\r'))
                path.pop_back();
            open_log_file(path.c_str());
            return;
        }
    }
    if (!log_file)
        return;
    char prefix[32];
    log_format_prefix(prefix, sizeof prefix, clock_ms_since_start());
    std::fputs(prefix, log_file);
    std::fputs(text, log_file);
    std::fflush(log_file);
}

void log_error(const char* message)
{
    {
        std::lock_guard<std::mutex> lock(log_mutex);
        last_error = message ? message : "";
    }
    log_printf("Error: %s\n", message ? message : "");
}

const char* log_last_error()
{
    return last_error.c_str();
}

void log_close()
{
    std::lock_guard<std::mutex> lock(log_mutex);
    if (log_file)
        std::fclose(log_file);
    log_file = nullptr;
    log_tried = false;
}
