// Streams over plain files, archive members and gzip data. The search
// folders and "@" names live in data_paths.cpp; formatted reading in
// stream_scanf.cpp; inflation in gzip.cpp.
#include "files/stream.h"
#include "files/stream_internal.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

bool mode_is_read_only(const char* mode)
{
    return std::strchr(mode, 'r') && !std::strchr(mode, '+');
}

// Creates every missing folder along a file path.
void make_parent_folders(const std::string& path)
{
    if (path.size() >= 1024)
        return;
    for (size_t i = 1; i < path.size(); i++) {
        if (path[i] == '/' && path[i - 1] != '/')
            mkdir(path.substr(0, i).c_str(), 0755);
    }
}

// fopen, but a folder is not a file: reading one would only give errors.
FILE* open_file(const std::string& path, const char* mode)
{
    FILE* f = std::fopen(path.c_str(), mode);
    if (!f)
        return nullptr;
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode)) {
        std::fclose(f);
        return nullptr;
    }
    return f;
}

// Raw bytes from the disk file, never past the limit.
size_t read_raw(Stream* s, void* buf, size_t len)
{
    if (s->limit >= 0) {
        long left = s->limit - s->raw_pos;
        if (left <= 0)
            return 0;
        if (len > size_t(left))
            len = size_t(left);
    }
    size_t got = std::fread(buf, 1, len, s->file);
    s->raw_pos += long(got);
    return got;
}

}  // namespace

Stream* stream_from_file(FILE* f, long base, long limit, bool compressed)
{
    Stream* s = new Stream;
    s->file = f;
    s->base = base;
    s->limit = limit;
    if (compressed && !stream_begin_compressed(s)) {
        stream_close(s);
        return nullptr;
    }
    return s;
}

static Stream* stream_open_path(const std::string& path, const char* mode)
{
    bool read_only = mode_is_read_only(mode);
    if (!read_only)
        make_parent_folders(path);
    if (FILE* f = open_file(path, mode)) {
        Stream* s = stream_from_file(f, 0, -1, false);
        s->writing = !read_only;
        return s;
    }
    if (!read_only)
        return nullptr;
    FILE* g = open_file(path + ".gz", "rb");
    return g ? stream_from_file(g, 0, -1, true) : nullptr;
}

size_t stream_fill(Stream* s, void* buf, size_t len)
{
    if (s->compressed)
        return stream_inflate(s, buf, len, read_raw);
    return read_raw(s, buf, len);
}

Stream* stream_open(const char* name, const char* mode)
{
    if (!name || !mode || !*name)
        return nullptr;
    if (name[0] != '@')
        return stream_open_path(name, mode);
    const char* rest = name + 1;
    if (!*rest)
        return nullptr;
    for (int i = 0; const char* folder = search_folder(i); i++) {
        std::string path = std::string(folder) + rest;
        // A path cut short would name some other file; too long is not found.
        if (path.size() > 511)
            continue;
        if (Stream* s = stream_open_path(path, mode))
            return s;
    }
    if (!mode_is_read_only(mode))
        return nullptr;
    return stream_open_indexed(rest);
}

Stream* stream_open_memory(const void* data, size_t size, bool compressed)
{
    // fmemopen refuses an empty buffer; a one-byte buffer limited to no
    // bytes reads the same.
    static char empty[1];
    FILE* f = size ? fmemopen(const_cast<void*>(data), size, "rb") : fmemopen(empty, 1, "rb");
    if (!f)
        return nullptr;
    return stream_from_file(f, 0, long(size), compressed);
}

void stream_close(Stream* s)
{
    if (!s)
        return;
    stream_end_compressed(s);
    if (s->file)
        std::fclose(s->file);
    delete s;
}

int stream_getc(Stream* s)
{
    if (s->npushed > 0) {
        s->pos++;
        return s->pushed[--s->npushed];
    }
    unsigned char c;
    if (stream_fill(s, &c, 1) != 1)
        return -1;
    s->pos++;
    return c;
}

int stream_peek(Stream* s)
{
    int c = stream_getc(s);
    stream_unget(s, c);
    return c;
}

void stream_unget(Stream* s, int c)
{
    if (c < 0 || s->npushed >= 2)
        return;
    s->pushed[s->npushed++] = c;
    s->pos--;
}

char* stream_gets(Stream* s, char* buf, int n)
{
    if (!buf || n <= 0)
        return nullptr;
    int i = 0;
    while (i < n - 1) {
        int c = stream_getc(s);
        if (c < 0)
            break;
        buf[i++] = char(c);
        if (c == '\n')
            break;
    }
    buf[i] = 0;
    return i > 0 ? buf : nullptr;
}

size_t stream_read(Stream* s, void* buf, size_t len)
{
    unsigned char* out = static_cast<unsigned char*>(buf);
    size_t done = 0;
    while (done < len && s->npushed > 0)
        out[done++] = (unsigned char)s->pushed[--s->npushed];
    if (done < len)
        done += stream_fill(s, out + done, len - done);
    s->pos += long(done);
    return done;
}

bool stream_seek(Stream* s, long offset)
{
    if (s->compressed || offset < 0)
        return false;
    if (s->limit >= 0 && offset >= s->limit)
        return false;
    if (std::fseek(s->file, s->base + offset, SEEK_SET) != 0)
        return false;
    s->raw_pos = offset;
    s->pos = offset;
    s->npushed = 0;
    return true;
}

long stream_tell(Stream* s)
{
    if (s->writing)
        return std::ftell(s->file);
    return s->pos;
}

bool stream_eof(Stream* s)
{
    return stream_peek(s) < 0;
}

void stream_skip_comments(Stream* s)
{
    // Repeats " #%*[^\n]" while it consumes anything. Measured by position,
    // not by %n: an empty comment line "#\n" stops that format before its %n.
    for (;;) {
        long before = stream_tell(s);
        stream_scanf(s, " #%*[^\n]");
        if (stream_tell(s) == before)
            return;
    }
}

int stream_read_int(Stream* s)
{
    int v;
    if (stream_scanf(s, "%d", &v) != 1)
        return INT_MIN;
    return v;
}

int stream_putc(Stream* s, int c)
{
    int r = std::fputc(c, s->file);
    if (r == EOF)
        s->write_failed = true;
    return r;
}

int stream_puts(Stream* s, const char* text)
{
    int r = std::fputs(text, s->file);
    if (r == EOF)
        s->write_failed = true;
    return r;
}

size_t stream_write(Stream* s, const void* buf, size_t len)
{
    size_t r = std::fwrite(buf, 1, len, s->file);
    if (r != len)
        s->write_failed = true;
    return r;
}

int stream_printf(Stream* s, const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int r = std::vfprintf(s->file, fmt, ap);
    va_end(ap);
    if (r < 0)
        s->write_failed = true;
    return r;
}

int stream_flush(Stream* s)
{
    int r = std::fflush(s->file);
    if (r != 0)
        s->write_failed = true;
    return r;
}

bool stream_ok(Stream* s)
{
    return s && !s->write_failed && !std::ferror(s->file);
}

bool stream_read_all(const char* name, std::string* out)
{
    Stream* s = stream_open(name, "rb");
    if (!s)
        return false;
    out->clear();
    char buf[16384];
    for (;;) {
        size_t n = stream_read(s, buf, sizeof buf);
        if (n == 0)
            break;
        out->append(buf, n);
    }
    stream_close(s);
    return true;
}
