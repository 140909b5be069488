#include "track/pnm_read.h"

#include "files/stream.h"

namespace {

constexpr int PNM_MAX_SIDE = 8192;  // a grid of the largest order is 4097 on a side

// The next decimal number after white space and "#" comment lines; -1 when
// there is none.
int read_number(Stream* s)
{
    int c = stream_getc(s);
    for (;;) {
        while (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            c = stream_getc(s);
        if (c != '#')
            break;
        while (c >= 0 && c != '\n')
            c = stream_getc(s);
    }
    if (c < '0' || c > '9')
        return -1;
    long v = 0;
    while (c >= '0' && c <= '9') {
        v = v * 10 + (c - '0');
        if (v > 1000000)
            return -1;
        c = stream_getc(s);
    }
    // The byte after a binary header's last number is its single separator;
    // for text data it is white space and harmless to consume.
    return int(v);
}

}  // namespace

bool pnm_read(Stream* s, int channels, PnmImage* out)
{
    if (!s)
        return false;
    int m = stream_getc(s), kind = stream_getc(s);
    if (m != 'P')
        return false;
    bool binary;
    if (channels == 3 && (kind == '6' || kind == '3'))
        binary = kind == '6';
    else if (channels == 1 && (kind == '5' || kind == '2'))
        binary = kind == '5';
    else
        return false;
    int w = read_number(s), h = read_number(s), maxv = read_number(s);
    if (w <= 0 || h <= 0 || w > PNM_MAX_SIDE || h > PNM_MAX_SIDE || maxv <= 0 || maxv > 65535)
        return false;
    size_t n = size_t(w) * size_t(h) * size_t(channels);
    out->width = w;
    out->height = h;
    out->channels = channels;
    out->pixels.assign(n, 0);
    if (binary) {
        int bytes = maxv > 255 ? 2 : 1;
        std::vector<uint8_t> raw(n * size_t(bytes));
        if (stream_read(s, raw.data(), raw.size()) != raw.size())
            return false;
        for (size_t i = 0; i < n; i++) {
            int v = bytes == 2 ? (raw[2 * i] << 8 | raw[2 * i + 1]) : raw[i];
            out->pixels[i] = uint8_t(maxv == 255 ? v : (v > maxv ? 255 : v * 255 / maxv));
        }
    } else {
        for (size_t i = 0; i < n; i++) {
            int v = read_number(s);
            if (v < 0)
                return false;
            out->pixels[i] = uint8_t(v > maxv ? 255 : v * 255 / maxv);
        }
    }
    return true;
}
