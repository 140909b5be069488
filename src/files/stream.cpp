// Streams over plain files. The search folders and "@" names live in
// data_paths.cpp; formatted reading in stream_scanf.cpp.
#include "files/stream.h"
#include "files/stream_internal.h"

#include <cerrno>
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
        if (path[i] == '/') {
            std::string dir = path.substr(0, i);
            mkdir(dir.c_str(), 0755);
        }
    }
}

Stream* open_disk_path(const std::string& path, const char* mode)
{
    bool read_only = mode_is_read_only(mode);
    if (!read_only)
        make_parent_folders(path);
    FILE* f = std::fopen(path.c_str(), mode);
    if (f) {
        Stream* s = new Stream;
        s->file = f;
        s->writing = !read_only;
        return s;
    }
    if (read_only) {
        std::string gz = path + ".gz";
        FILE* g = std::fopen(gz.c_str(), "rb");
        if (g) {
            Stream* s = new Stream;
            s->file = g;
            if (!stream_begin_compressed(s, -1)) {
                stream_close(s);
                return nullptr;
            }
            return s;
        }
    }
    return nullptr;
}

// Raw bytes from the disk file, never past the limit.
size_t read_raw(Stream* s, void* buf, size_t len)
{
    if (s->limit >= 0) {
        long left = s->limit - s->raw_pos;
        if (left <= 0)
            return 0;
        if (long(len) > left)
            len = size_t(left);
    }
    size_t got = std::fread(buf, 1, len, s->file);
    s->raw_pos += long(got);
    return got;
}

}  // namespace

size_t stream_fill(Stream* s, void* buf, size_t len)
{
    if (s->compressed)
        return stream_inflate(s, buf, len, read_raw);
    return read_raw(s, buf, len);
}

Stream* stream_open(const char* name, const char* mode)
{
    if (!name || !mode)
        return nullptr;
    if (name[0] != '@')
        return open_disk_path(name, mode);
    const char* rest = name + 1;
    for (int i = 0; const char* folder = search_folder(i); i++) {
        std::string path = std::string(folder) + rest;
        if (path.size() > 511)
            path.resize(511);
        if (Stream* s = open_disk_path(path, mode))
            return s;
    }
    if (!mode_is_read_only(mode))
        return nullptr;
    return stream_open_indexed(rest);
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
    if (s->pushed >= 0) {
        int c = s->pushed;
        s->pushed = -1;
        s->pos++;
        return c;
    }
    unsigned char c;
    if (stream_fill(s, &c, 1) != 1)
        return -1;
    s->pos++;
    return c;
}

int stream_peek(Stream* s)
{
    if (s->pushed < 0) {
        unsigned char c;
        if (stream_fill(s, &c, 1) != 1)
            return -1;
        s->pushed = c;
    }
    return s->pushed;
}

void stream_unget(Stream* s, int c)
{
    if (c < 0)
        return;
    s->pushed = c;
    s->pos--;
}

char* stream_gets(Stream* s, char* buf, int n)
{
    if (n <= 0)
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
    if (len > 0 && s->pushed >= 0) {
        out[done++] = (unsigned char)s->pushed;
        s->pushed = -1;
    }
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
    s->pushed = -1;
    return true;
}

long stream_tell(Stream* s)
{
    return s->pos;
}

bool stream_eof(Stream* s)
{
    return stream_peek(s) < 0;
}

void stream_skip_comments(Stream* s)
{
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
