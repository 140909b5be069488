// scanf over a stream, with up to two characters of push-back.
#include "files/stream_internal.h"

#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int skip_space(Stream* s)
{
    int c;
    while ((c = stream_getc(s)) >= 0 && std::isspace(c)) {
    }
    stream_unget(s, c);
    return c;
}

// Parses a scan set starting after '['; returns the pointer past ']' (or
// null when the format ends first) and fills the membership table.
const char* parse_scan_set(const char* f, bool set[256])
{
    bool negate = false;
    if (*f == '^') {
        negate = true;
        f++;
    }
    bool in[256] = {};
    if (*f == ']') {
        in[(unsigned char)']'] = true;
        f++;
    }
    while (*f && *f != ']') {
        unsigned char a = (unsigned char)*f;
        if (f[1] == '-' && f[2] && f[2] != ']') {
            unsigned char b = (unsigned char)f[2];
            for (int c = a; c <= b; c++)
                in[c] = true;
            f += 3;
        } else {
            in[a] = true;
            f++;
        }
    }
    if (*f != ']')
        return nullptr;
    for (int c = 0; c < 256; c++)
        set[c] = negate ? !in[c] : in[c];
    return f + 1;
}

bool is_digit_in(int c, int base)
{
    if (c < 0)
        return false;
    if (base == 8)
        return c >= '0' && c <= '7';
    if (base == 16)
        return std::isxdigit(c) != 0;
    return c >= '0' && c <= '9';
}

// Collects the characters of an integer in the given base (0 = from its
// prefix) up to width. False when no digit was read. "0x" without a hex
// digit after it reads as the number 0 and leaves the "x" unread.
bool read_integer(Stream* s, int width, int base, std::string* text, int* used_base)
{
    int n = 0;
    int c = stream_getc(s);
    bool digits = false;
    auto take = [&]() { text->push_back(char(c)); n++; c = stream_getc(s); };
    if (n < width && (c == '+' || c == '-'))
        take();
    if ((base == 0 || base == 16) && n < width && c == '0') {
        take();
        digits = true;
        if (n < width && (c == 'x' || c == 'X')) {
            int next = stream_getc(s);
            if (n + 1 < width && std::isxdigit(next >= 0 ? next : 'g')) {
                text->push_back(char(c));
                n++;
                c = next;
                base = 16;
            } else {
                stream_unget(s, next);  // c, the 'x', goes back after it
                if (base == 0)
                    base = 8;
            }
        } else if (base == 0) {
            base = 8;
        }
    } else if (base == 0) {
        base = 10;
    }
    while (n < width && is_digit_in(c, base)) {
        take();
        digits = true;
    }
    stream_unget(s, c);
    *used_base = base;
    return digits;
}

// Collects the characters of a decimal floating-point number up to width.
// An "e" not followed by an exponent stays unread.
bool read_float(Stream* s, int width, std::string* text)
{
    int n = 0;
    int c = stream_getc(s);
    bool digits = false;
    auto take = [&]() { text->push_back(char(c)); n++; c = stream_getc(s); };
    if (n < width && (c == '+' || c == '-'))
        take();
    while (n < width && c >= '0' && c <= '9') {
        digits = true;
        take();
    }
    if (n < width && c == '.') {
        take();
        while (n < width && c >= '0' && c <= '9') {
            digits = true;
            take();
        }
    }
    if (digits && n < width && (c == 'e' || c == 'E')) {
        int e = c;
        int next = stream_getc(s);
        bool sign = next == '+' || next == '-';
        if (!sign && n + 1 < width && next >= '0' && next <= '9') {
            text->push_back(char(e));
            n++;
            c = next;
        } else if (sign && n + 2 < width) {
            int after = stream_getc(s);
            if (after >= '0' && after <= '9') {
                text->push_back(char(e));
                text->push_back(char(next));
                n += 2;
                c = after;
            } else {
                // Three characters cannot all go back; the "e" is lost.
                stream_unget(s, after);
                c = next;
            }
        } else {
            stream_unget(s, next);
        }
        while (n < width && c >= '0' && c <= '9')
            take();
    }
    stream_unget(s, c);
    return digits;
}

enum class Size { normal, hh, h, l, ll, L };

}  // namespace

int stream_scanf(Stream* s, const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    const long start = stream_tell(s);
    int stored = 0;
    bool converted_any = false;
    bool input_ended = false;
    const char* f = fmt;
    while (*f) {
        unsigned char fc = (unsigned char)*f;
        if (std::isspace(fc)) {
            skip_space(s);
            f++;
            continue;
        }
        if (fc != '%' || f[1] == '%') {
            if (fc == '%') {
                skip_space(s);  // like every conversion but c, [ and n
                f++;
            }
            int c = stream_getc(s);
            if (c < 0) {
                input_ended = true;
                break;
            }
            if (c != (unsigned char)*f) {
                stream_unget(s, c);
                break;
            }
            f++;
            continue;
        }
        f++;  // past '%'
        bool suppress = false;
        if (*f == '*') {
            suppress = true;
            f++;
        }
        int width = 0;
        while (std::isdigit((unsigned char)*f)) {
            if (width < 100000000)
                width = width * 10 + (*f - '0');
            f++;
        }
        Size size = Size::normal;
        if (f[0] == 'h' && f[1] == 'h') {
            size = Size::hh;
            f += 2;
        } else if (f[0] == 'l' && f[1] == 'l') {
            size = Size::ll;
            f += 2;
        } else if (*f == 'h' || *f == 'l' || *f == 'L') {
            size = *f == 'h' ? Size::h : *f == 'l' ? Size::l : Size::L;
            f++;
        }
        char conv = *f ? *f++ : 0;
        if (conv == 0)
            break;
        if (conv == 'n') {
            if (!suppress) {
                long used = stream_tell(s) - start;
                if (size == Size::l || size == Size::ll)
                    *va_arg(ap, long*) = used;
                else
                    *va_arg(ap, int*) = int(used);
            }
            continue;
        }
        if (conv != 'c' && conv != '[') {
            if (skip_space(s) < 0) {
                input_ended = true;
                break;
            }
        }
        if (width == 0)
            width = (conv == 'c') ? 1 : 1 << 30;

        bool ok = true;
        switch (conv) {
        case 'd': case 'i': case 'o': case 'u': case 'x': case 'X': {
            int base = conv == 'd' || conv == 'u' ? 10 : conv == 'o' ? 8 : conv == 'i' ? 0 : 16;
            std::string text;
            int used = base;
            if (!read_integer(s, width, base, &text, &used)) {
                ok = false;
                break;
            }
            if (suppress)
                break;
            if (conv == 'd' || conv == 'i') {
                long long v = std::strtoll(text.c_str(), nullptr, used);
                switch (size) {
                case Size::hh: *va_arg(ap, signed char*) = (signed char)v; break;
                case Size::h: *va_arg(ap, short*) = short(v); break;
                case Size::l: *va_arg(ap, long*) = long(v); break;
                case Size::ll: *va_arg(ap, long long*) = v; break;
                default: *va_arg(ap, int*) = int(v); break;
                }
            } else {
                unsigned long long v = std::strtoull(text.c_str(), nullptr, used);
                switch (size) {
                case Size::hh: *va_arg(ap, unsigned char*) = (unsigned char)v; break;
                case Size::h: *va_arg(ap, unsigned short*) = (unsigned short)v; break;
                case Size::l: *va_arg(ap, unsigned long*) = (unsigned long)v; break;
                case Size::ll: *va_arg(ap, unsigned long long*) = v; break;
                default: *va_arg(ap, unsigned*) = unsigned(v); break;
                }
            }
            stored++;
            break;
        }
        case 'f': case 'e': case 'g': case 'E': case 'G': case 'a': case 'A': case 'F': {
            std::string text;
            if (!read_float(s, width, &text)) {
                ok = false;
                break;
            }
            if (suppress)
                break;
            if (size == Size::L)
                *va_arg(ap, long double*) = std::strtold(text.c_str(), nullptr);
            else if (size == Size::l)
                *va_arg(ap, double*) = std::strtod(text.c_str(), nullptr);
            else
                *va_arg(ap, float*) = std::strtof(text.c_str(), nullptr);
            stored++;
            break;
        }
        case 's': {
            char* out = suppress ? nullptr : va_arg(ap, char*);
            int n = 0;
            int c;
            while (n < width && (c = stream_getc(s)) >= 0) {
                if (std::isspace(c)) {
                    stream_unget(s, c);
                    break;
                }
                if (out)
                    out[n] = char(c);
                n++;
            }
            if (out) {
                out[n] = 0;
                stored++;
            }
            break;
        }
        case 'c': {
            char* out = suppress ? nullptr : va_arg(ap, char*);
            int n = 0;
            int c = 0;
            while (n < width && (c = stream_getc(s)) >= 0) {
                if (out)
                    out[n] = char(c);
                n++;
            }
            if (n < width) {
                if (n == 0)
                    input_ended = true;
                ok = false;
                break;
            }
            if (out)
                stored++;
            break;
        }
        case '[': {
            bool set[256];
            f = parse_scan_set(f, set);
            if (!f) {
                ok = false;
                break;
            }
            char* out = suppress ? nullptr : va_arg(ap, char*);
            int n = 0;
            int c = 0;
            while (n < width && (c = stream_getc(s)) >= 0) {
                if (!set[c]) {
                    stream_unget(s, c);
                    break;
                }
                if (out)
                    out[n] = char(c);
                n++;
            }
            if (n == 0) {
                if (c < 0)
                    input_ended = true;
                ok = false;
                break;
            }
            if (out) {
                out[n] = 0;
                stored++;
            }
            break;
        }
        default:
            ok = false;
            break;
        }
        if (!ok)
            break;
        converted_any = true;
    }
    va_end(ap);
    if (!converted_any && input_ended)
        return -1;
    return stored;
}
