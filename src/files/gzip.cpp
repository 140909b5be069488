// gzip-compressed streams: header parsing, then raw inflate through zlib.
#include "files/stream_internal.h"

#include <climits>
#include <cstring>
#include <zlib.h>

struct Inflater {
    z_stream z;
    unsigned char in[16384];
    bool done;
};

namespace {

int raw_byte(Stream* s)
{
    unsigned char c;
    return stream_fill(s, &c, 1) == 1 ? c : -1;
}

bool skip_gzip_header(Stream* s)
{
    int id1 = raw_byte(s), id2 = raw_byte(s), method = raw_byte(s), flags = raw_byte(s);
    if (id1 != 0x1f || id2 != 0x8b || method != 8 || flags < 0 || flags >= 32)
        return false;
    for (int i = 0; i < 6; i++)  // modification time, extra flags, system
        if (raw_byte(s) < 0)
            return false;
    if (flags & 4) {
        int lo = raw_byte(s), hi = raw_byte(s);
        if (lo < 0 || hi < 0)
            return false;
        for (int n = lo | (hi << 8); n > 0; n--)
            if (raw_byte(s) < 0)
                return false;
    }
    for (int bit : {8, 16}) {  // file name, then comment, zero-terminated
        if (flags & bit) {
            int c;
            while ((c = raw_byte(s)) > 0) {
            }
            if (c < 0)
                return false;
        }
    }
    if (flags & 2)  // header checksum, not checked
        if (raw_byte(s) < 0 || raw_byte(s) < 0)
            return false;
    return true;
}

}  // namespace

bool stream_begin_compressed(Stream* s)
{
    // The header is read straight from the disk file, before inflation.
    s->compressed = false;
    if (!skip_gzip_header(s))
        return false;
    Inflater* inf = new Inflater;
    std::memset(&inf->z, 0, sizeof inf->z);
    if (inflateInit2(&inf->z, -MAX_WBITS) != Z_OK) {
        delete inf;
        return false;
    }
    inf->done = false;
    s->inflater = inf;
    s->compressed = true;
    return true;
}

void stream_end_compressed(Stream* s)
{
    if (s->inflater) {
        inflateEnd(&s->inflater->z);
        delete s->inflater;
        s->inflater = nullptr;
    }
}

size_t stream_inflate(Stream* s, void* buf, size_t len, RawReader raw)
{
    Inflater* inf = s->inflater;
    if (!inf || inf->done || len == 0)
        return 0;
    if (len > UINT_MAX)
        len = UINT_MAX;
    inf->z.next_out = static_cast<Bytef*>(buf);
    inf->z.avail_out = uInt(len);
    bool input_ended = false;
    while (inf->z.avail_out > 0) {
        if (inf->z.avail_in == 0 && !input_ended) {
            size_t got = raw(s, inf->in, sizeof inf->in);
            inf->z.next_in = inf->in;
            inf->z.avail_in = uInt(got);
            input_ended = got == 0;
        }
        // Even with no input left, inflate may still hold decoded bytes
        // that did not fit the caller's buffer last time.
        uInt before = inf->z.avail_out;
        int r = inflate(&inf->z, Z_NO_FLUSH);
        if (r == Z_STREAM_END) {
            inf->done = true;
            break;
        }
        if (r != Z_OK && r != Z_BUF_ERROR) {
            inf->done = true;  // corrupt data ends the stream here
            break;
        }
        if (input_ended && inf->z.avail_out == before)
            break;  // truncated: nothing more will come
    }
    return len - inf->z.avail_out;
}
