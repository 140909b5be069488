#include "core/message_log.h"

#include "platform/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

void message_log_clear(MessageLog* log)
{
    std::memset(log, 0, sizeof *log);
}

void message_log_add(MessageLog* log, double real_clock, const char* fmt, ...)
{
    char text[1024];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    size_t len = std::strlen(text);
    if (len > 0 && text[len - 1] == '\n')
        log_printf("%s", text);
    else
        log_printf("%s\n", text);
    char* line = log->lines[log->next];
    std::snprintf(line, MESSAGE_LOG_LINE_CHARS + 1, "%s", text);
    // The ring keeps the text without its newline; the HUD draws one line each.
    size_t l = std::strlen(line);
    if (l > 0 && line[l - 1] == '\n')
        line[l - 1] = 0;
    log->next = (log->next + 1) % MESSAGE_LOG_LINES;
    if (log->visible < MESSAGE_LOG_VISIBLE)
        log->visible++;
    log->expiry = real_clock + 2;
}

void message_log_expire(MessageLog* log, double real_clock)
{
    if (real_clock > log->expiry && log->visible > 0) {
        log->visible--;
        log->expiry = real_clock + 5;
    }
}

const char* message_log_line(const MessageLog* log, int k)
{
    int i = ((log->next - 1 - k) % MESSAGE_LOG_LINES + MESSAGE_LOG_LINES) % MESSAGE_LOG_LINES;
    return log->lines[i];
}
