// stream_scanf over arbitrary input: the first byte picks a format; the
// scan repeats until the input is used up.
#include "files/stream.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const char* const formats[] = {
        "%d", "%i", "%x", "%o", "%u", "%lf", "%f", "%hhd", "%lld", "%63s", "%4c", "%63[^\n]", "%63[a-z0-9-]",
        " #%*[^\n]", "%*s%n", "x=%d,%d", "%d%%", "%63[]a]", "%2i%3x", "%le %ld"};
    const int count = sizeof formats / sizeof formats[0];
    if (size < 1)
        return 0;
    const char* fmt = formats[data[0] % count];
    Stream* s = stream_open_memory(data + 1, size - 1, false);
    if (!s)
        return 0;
    alignas(16) char a[64], b[64];
    for (int guard = 0; guard < 100000; guard++) {
        long before = stream_tell(s);
        int r = stream_scanf(s, fmt, a, b);
        if (r < -1 || r > 2)
            __builtin_trap();
        if (stream_tell(s) < before)
            __builtin_trap();
        if (stream_tell(s) == before && stream_getc(s) < 0)
            break;
    }
    stream_skip_comments(s);
    stream_read_int(s);
    stream_close(s);
    return 0;
}
