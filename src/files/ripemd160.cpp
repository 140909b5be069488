// RIPEMD-160: two parallel lines of five rounds of sixteen steps over each
// 64-byte block, combined into five 32-bit words (little-endian throughout).
#include "files/ripemd160.h"

#include <cstring>

namespace {

const unsigned char word_left[80] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
    7, 4, 13, 1, 10, 6, 15, 3, 12, 0, 9, 5, 2, 14, 11, 8,
    3, 10, 14, 4, 9, 15, 8, 1, 2, 7, 0, 6, 13, 11, 5, 12,
    1, 9, 11, 10, 0, 8, 12, 4, 13, 3, 7, 15, 14, 5, 6, 2,
    4, 0, 5, 9, 7, 12, 2, 10, 14, 1, 3, 8, 11, 6, 15, 13};
const unsigned char word_right[80] = {
    5, 14, 7, 0, 9, 2, 11, 4, 13, 6, 15, 8, 1, 10, 3, 12,
    6, 11, 3, 7, 0, 13, 5, 10, 14, 15, 8, 12, 4, 9, 1, 2,
    15, 5, 1, 3, 7, 14, 6, 9, 11, 8, 12, 2, 10, 0, 4, 13,
    8, 6, 4, 1, 3, 11, 15, 0, 5, 12, 2, 13, 9, 7, 10, 14,
    12, 15, 10, 4, 1, 5, 8, 7, 6, 2, 13, 14, 0, 3, 9, 11};
const unsigned char shift_left[80] = {
    11, 14, 15, 12, 5, 8, 7, 9, 11, 13, 14, 15, 6, 7, 9, 8,
    7, 6, 8, 13, 11, 9, 7, 15, 7, 12, 15, 9, 11, 7, 13, 12,
    11, 13, 6, 7, 14, 9, 13, 15, 14, 8, 13, 6, 5, 12, 7, 5,
    11, 12, 14, 15, 14, 15, 9, 8, 9, 14, 5, 6, 8, 6, 5, 12,
    9, 15, 5, 11, 6, 8, 13, 12, 5, 12, 13, 14, 11, 8, 5, 6};
const unsigned char shift_right[80] = {
    8, 9, 9, 11, 13, 15, 15, 5, 7, 7, 8, 11, 14, 14, 12, 6,
    9, 13, 15, 7, 12, 8, 9, 11, 7, 7, 12, 7, 6, 15, 13, 11,
    9, 7, 15, 11, 8, 6, 6, 14, 12, 13, 5, 14, 13, 13, 7, 5,
    15, 5, 8, 11, 14, 14, 6, 14, 6, 9, 12, 9, 12, 5, 15, 8,
    8, 5, 12, 9, 12, 5, 14, 6, 8, 13, 6, 5, 15, 13, 11, 11};
const uint32_t k_left[5] = {0x00000000u, 0x5a827999u, 0x6ed9eba1u, 0x8f1bbcdcu, 0xa953fd4eu};
const uint32_t k_right[5] = {0x50a28be6u, 0x5c4dd124u, 0x6d703ef3u, 0x7a6d76e9u, 0x00000000u};

uint32_t rol(uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

// The round function of round 0..4.
uint32_t mix(int round, uint32_t x, uint32_t y, uint32_t z)
{
    switch (round) {
    case 0: return x ^ y ^ z;
    case 1: return (x & y) | (~x & z);
    case 2: return (x | ~y) ^ z;
    case 3: return (x & z) | (y & ~z);
    default: return x ^ (y | ~z);
    }
}

void compress(uint32_t h[5], const unsigned char* block)
{
    uint32_t x[16];
    for (int i = 0; i < 16; i++)
        x[i] = uint32_t(block[4 * i]) | uint32_t(block[4 * i + 1]) << 8 |
               uint32_t(block[4 * i + 2]) << 16 | uint32_t(block[4 * i + 3]) << 24;
    uint32_t al = h[0], bl = h[1], cl = h[2], dl = h[3], el = h[4];
    uint32_t ar = h[0], br = h[1], cr = h[2], dr = h[3], er = h[4];
    for (int j = 0; j < 80; j++) {
        int round = j / 16;
        uint32_t t = rol(al + mix(round, bl, cl, dl) + x[word_left[j]] + k_left[round], shift_left[j]) + el;
        al = el;
        el = dl;
        dl = rol(cl, 10);
        cl = bl;
        bl = t;
        t = rol(ar + mix(4 - round, br, cr, dr) + x[word_right[j]] + k_right[round], shift_right[j]) + er;
        ar = er;
        er = dr;
        dr = rol(cr, 10);
        cr = br;
        br = t;
    }
    uint32_t t = h[1] + cl + dr;
    h[1] = h[2] + dl + er;
    h[2] = h[3] + el + ar;
    h[3] = h[4] + al + br;
    h[4] = h[0] + bl + cr;
    h[0] = t;
}

}  // namespace

void ripemd160_init(Ripemd160* r)
{
    r->h[0] = 0x67452301u;
    r->h[1] = 0xefcdab89u;
    r->h[2] = 0x98badcfeu;
    r->h[3] = 0x10325476u;
    r->h[4] = 0xc3d2e1f0u;
    r->length = 0;
    r->used = 0;
}

void ripemd160_update(Ripemd160* r, const void* data, size_t len)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    r->length += len;
    if (r->used > 0) {
        size_t take = 64 - r->used < len ? 64 - r->used : len;
        std::memcpy(r->block + r->used, p, take);
        r->used += take;
        p += take;
        len -= take;
        if (r->used < 64)
            return;
        compress(r->h, r->block);
        r->used = 0;
    }
    for (; len >= 64; p += 64, len -= 64)
        compress(r->h, p);
    std::memcpy(r->block, p, len);
    r->used = len;
}

void ripemd160_final(Ripemd160* r, unsigned char out[20])
{
    uint64_t bits = r->length * 8;
    unsigned char pad[72] = {0x80};
    size_t pad_len = r->used < 56 ? 56 - r->used : 120 - r->used;
    unsigned char tail[8];
    for (int i = 0; i < 8; i++)
        tail[i] = (unsigned char)(bits >> (8 * i));
    ripemd160_update(r, pad, pad_len);
    ripemd160_update(r, tail, 8);
    for (int i = 0; i < 5; i++)
        for (int b = 0; b < 4; b++)
            out[4 * i + b] = (unsigned char)(r->h[i] >> (8 * b));
}

std::string ripemd160_hex(const unsigned char digest[20])
{
    static const char hex[] = "0123456789abcdef";
    std::string s;
    for (int i = 0; i < 20; i++) {
        s.push_back(hex[digest[i] >> 4]);
        s.push_back(hex[digest[i] & 15]);
    }
    return s;
}

std::string ripemd160_hex(const void* data, size_t len)
{
    Ripemd160 r;
    ripemd160_init(&r);
    ripemd160_update(&r, data, len);
    unsigned char d[20];
    ripemd160_final(&r, d);
    return ripemd160_hex(d);
}
