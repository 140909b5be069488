#include "platform/message_box.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool (*shower)(const char* title, const char* text) = nullptr;

bool boxes_to_stderr()
{
    const char* mode = std::getenv("KESTRUM_MESSAGE_BOX");
    return mode && std::strcmp(mode, "stderr") == 0;
}

}  // namespace

void message_box_set_shower(bool (*show)(const char* title, const char* text))
{
    shower = show;
}

void message_box(const char* title, const char* fmt, ...)
{
    char text[1024];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    if (!boxes_to_stderr() && shower && shower(title, text))
        return;
    size_t n = std::strlen(text);
    std::fprintf(stderr, "%s: %s%s", title, text, n && text[n - 1] == '\n' ? "" : "\n");
    std::fflush(stderr);
}
