// scanf over a stream, one character of push-back.
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

// Parses a scan set starting after '['; returns the pointer past ']' and
// fills the 256-entry membership table.
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
    if (*f == ']')
        f++;
    for (int c = 0; c < 256; c++)
        set[c] = negate ? !in[c] : in[c];
    return f;
}

// Collects the characters of an integer in the given base (0 = automatic)
// up to width; returns false when no digit was read.
bool read_integer(Stream* s, int width, int base, std::string* text, int* used_base)
{
    int c = stream_getc(s);
    int n = 0;
    auto take = [&](void) { text->push_back(char(c)); n++; c = stream_getc(s); };
    if ((c == '+' || c == '-') && n < width)
        take();
    if (base == 0 || base == 16) {
        if (c == '0' && n < width) {
            take();
            if ((c == 'x' || c == 'X') && n < width) {
                // "0x" with no hex digit after it reads as the zero alone
                int after = stream_peek(s);
                (void)after;
                base = 16;
                take();
            } else if (base == 0) {
                base = 8;
            }
        } else if (base == 0) {
            base = 10;
        }
    }
    *used_base = base;
    auto is_digit = [base](int ch) {
        if (ch < 0) return false;
        if (base == 8) return ch >= '0' && ch <= '7';
        if (base == 16) return std::isxdigit(ch) != 0;
        return std::isdigit(ch) != 0;
    };
    while (n < width && is_digit(c))
        take();
    stream_unget(s, c);
    for (char ch : *text)
        if (std::isxdigit((unsigned char)ch) && !(base != 16 && !std::isdigit((unsigned char)ch)))
            return true;
    return false;
}

bool read_float(Stream* s, int width, std::string* text)
{
    int c = stream_getc(s);
    int n = 0;
    bool digits = false;
    auto take = [&](void) { text->push_back(char(c)); n++; c = stream_getc(s); };
    if ((c == '+' || c == '-') && n < width)
        take();
    while (n < width && c >= 0 && std::isdigit(c)) {
        digits = true;
        take();
    }
    if (n < width && c == '.') {
        take();
        while (n < width && c >= 0 && std::isdigit(c)) {
            digits = true;
            take();
        }
    }
    if (digits && n < width && (c == 'e' || c == 'E')) {
        take();
        if (n < width && (c == '+' || c == '-'))
            take();
        while (n < width && c >= 0 && std::isdigit(c))
            take();
    }
    stream_unget(s, c);
    return digits;
}

}  // namespace

int stream_scanf(Stream* s, const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
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
            if (fc == '%')
                f++;
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
        while (std::isdigit((unsigned char)*f))
            width = width * 10 + (*f++ - '0');
        bool is_long = false, is_short = false;
        while (*f == 'l' || *f == 'h' || *f == 'L') {
            if (*f == 'h')
                is_short = true;
            else
                is_long = true;
            f++;
        }
        char conv = *f ? *f++ : 0;
        if (conv == 0)
            break;
        if (conv == 'n') {
            if (!suppress)
                *va_arg(ap, int*) = int(stream_tell(s));
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
            if (!suppress) {
                if (conv == 'd' || conv == 'i') {
                    long long v = std::strtoll(text.c_str(), nullptr, used);
                    if (is_long)
                        *va_arg(ap, long*) = long(v);
                    else if (is_short)
                        *va_arg(ap, short*) = short(v);
                    else
                        *va_arg(ap, int*) = int(v);
                } else {
                    unsigned long long v = std::strtoull(text.c_str(), nullptr, used);
                    if (is_long)
                        *va_arg(ap, unsigned long*) = (unsigned long)v;
                    else if (is_short)
                        *va_arg(ap, unsigned short*) = (unsigned short)v;
                    else
                        *va_arg(ap, unsigned*) = unsigned(v);
                }
                stored++;
            }
            break;
        }
        case 'f': case 'e': case 'g': case 'E': case 'G': case 'a': {
            std::string text;
            if (!read_float(s, width, &text)) {
                ok = false;
                break;
            }
            if (!suppress) {
                double v = std::strtod(text.c_str(), nullptr);
                if (is_long)
                    *va_arg(ap, double*) = v;
                else
                    *va_arg(ap, float*) = float(v);
                stored++;
            }
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
            if (n == 0) {
                ok = false;
                break;
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
    if (!converted_any && stored == 0 && input_ended)
        return -1;
    return stored;
}
