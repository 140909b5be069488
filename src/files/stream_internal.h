// The inside of a stream, shared by the files of the stream layer only.
#pragma once
#include "files/stream.h"

#include <cstdio>

struct Inflater;

struct Stream {
    FILE* file = nullptr;
    long base = 0;        // where the data starts in the disk file
    long limit = -1;      // data bytes available in the disk file; -1 unlimited
    long raw_pos = 0;     // bytes taken from the disk file so far
    long pos = 0;         // bytes delivered to the caller so far
    // Characters given back, last in first out. Two are enough for the
    // scanner to step back out of "0x" or "1e" that turn out not to start a
    // number.
    int pushed[2] = {-1, -1};
    int npushed = 0;
    bool writing = false;
    bool write_failed = false;
    bool compressed = false;
    Inflater* inflater = nullptr;
};

// Reads up to len bytes of data (inflated when compressed), ignoring the
// pushed-back characters.
size_t stream_fill(Stream* s, void* buf, size_t len);

// Puts one character back (at most two at a time); the next read returns
// it. A negative c (end of input) is ignored.
void stream_unget(Stream* s, int c);

// Reads and checks the gzip header at the current position and sets up
// inflation. False when the header is not valid.
bool stream_begin_compressed(Stream* s);
void stream_end_compressed(Stream* s);
using RawReader = size_t (*)(Stream*, void*, size_t);
size_t stream_inflate(Stream* s, void* buf, size_t len, RawReader raw);

// Wraps an open FILE (positioned at the data) in a new stream; takes the
// FILE. With compressed set, the data must begin with a gzip header, else
// the stream is closed and null returned.
Stream* stream_from_file(FILE* f, long base, long limit, bool compressed);

// Opens an "@" name through the file index (archive members and ".gz"
// fallbacks); null when no record matches.
Stream* stream_open_indexed(const char* name);
