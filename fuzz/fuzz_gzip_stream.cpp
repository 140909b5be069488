// gzip data read through a stream with every reader: the first byte picks
// how the rest is consumed.
#include "files/stream.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    int how = data[0] % 4;
    Stream* s = stream_open_memory(data + 1, size - 1, true);
    if (!s)
        return 0;
    char buf[300];
    long total = 0;
    // Inflated data may be far larger than the input; a bound keeps each
    // run short without hiding faults in the first megabytes.
    while (total < (8 << 20)) {
        long before = stream_tell(s);
        if (how == 0) {
            if (stream_getc(s) < 0)
                break;
        } else if (how == 1) {
            if (!stream_gets(s, buf, 1 + int(before % sizeof buf)))
                break;
        } else if (how == 2) {
            if (stream_read(s, buf, sizeof buf) == 0)
                break;
        } else {
            int v;
            if (stream_scanf(s, "%d", &v) != 1 && stream_getc(s) < 0)
                break;
        }
        if (stream_seek(s, 0))
            __builtin_trap();  // compressed streams never seek
        total = stream_tell(s);
        if (total < before)
            __builtin_trap();
    }
    stream_close(s);
    return 0;
}
