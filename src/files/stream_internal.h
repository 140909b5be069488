// The inside of a stream, shared by the files of the stream layer only.
#pragma once
#include "files/stream.h"

#include <cstdio>

struct z_stream_s;

struct Stream {
    FILE* file = nullptr;
    long base = 0;        // where the data starts in the disk file
    long limit = -1;      // data bytes available in the disk file; -1 unlimited
    long raw_pos = 0;     // bytes taken from the disk file so far
    long pos = 0;         // bytes delivered to the caller so far
    int pushed = -1;      // pushed-back character, -1 when none
    bool writing = false;
    bool write_failed = false;
    bool compressed = false;
    struct Inflater* inflater = nullptr;
};

// Reads up to len bytes of data (inflated when compressed), ignoring the
// pushed-back character.
size_t stream_fill(Stream* s, void* buf, size_t len);

// Puts one character back; the next read returns it.
void stream_unget(Stream* s, int c);

// Reads and checks the gzip header at the current position and sets up
// inflation. False when the header is not valid.
bool stream_begin_compressed(Stream* s, long compressed_size);
void stream_end_compressed(Stream* s);
using RawReader = size_t (*)(Stream*, void*, size_t);
size_t stream_inflate(Stream* s, void* buf, size_t len, RawReader raw);

// Opens an "@" name through the file index (archive members and ".gz"
// fallbacks); null when no record matches.
Stream* stream_open_indexed(const char* name);
