#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/log.h"
#include "track/terrain.h"

namespace {
TrackMessageSink message_sink = nullptr;
}

void track_set_message_sink(TrackMessageSink sink) { message_sink = sink; }

void track_message(const char* fmt, ...)
{
    char text[1100];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    size_t len = std::strlen(text);
    // Every log line ends its line, whether or not the message carried one.
    log_printf("%s%s", text, len > 0 && text[len - 1] == '\n' ? "" : "\n");
    if (message_sink)
        message_sink(text);
}
