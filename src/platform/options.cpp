#include "platform/options.h"

#include "platform/log.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool options_read = false;
std::string options_text;

// The text just after "[name:" in the options, or null when absent.
const char* option_value(const char* name)
{
    if (!options_read) {
        const char* env = std::getenv("OBLO_OPTIONS");
        options_text = env ? env : "";
        options_read = true;
    }
    char key[64];
    std::snprintf(key, sizeof key, "[%.60s:", name);
    const char* at = std::strstr(options_text.c_str(), key);
    return at ? at + std::strlen(key) : nullptr;
}

bool starts_with(const char* text, const char* prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

int option_flag(const char* name, int default_value)
{
    const char* value = option_value(name);
    if (!value)
        return default_value;
    if (starts_with(value, "yes]") || starts_with(value, "on]"))
        return 1;
    if (starts_with(value, "no]") || starts_with(value, "off]"))
        return 0;
    log_printf("unrecognized setting for %s\n", name);
    return default_value;
}

int option_int(const char* name, int default_value)
{
    const char* value = option_value(name);
    if (!value)
        return default_value;
    char* end = nullptr;
    long n = std::strtol(value, &end, 10);
    if (end == value) {
        log_printf("unrecognized setting for %s\n", name);
        return default_value;
    }
    if (n > INT_MAX)
        n = INT_MAX;
    if (n < INT_MIN)
        n = INT_MIN;
    return int(n);
}

void options_reset()
{
    options_read = false;
    options_text.clear();
}
