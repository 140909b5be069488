// RIPEMD-160 message digests. The start-up check identifies the game data
// release by the digest of its marker archive.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Incremental digest state: feed any number of byte runs, then finish.
struct Ripemd160 {
    uint32_t h[5];
    uint64_t length;          // bytes fed so far
    unsigned char block[64];  // partial block waiting for more bytes
    size_t used;              // bytes of block in use
};

void ripemd160_init(Ripemd160* r);
void ripemd160_update(Ripemd160* r, const void* data, size_t len);
// Writes the 20-byte digest; the state must be initialised again for reuse.
void ripemd160_final(Ripemd160* r, unsigned char out[20]);

// The digest of a byte string as 40 lower-case hexadecimal digits.
std::string ripemd160_hex(const void* data, size_t len);
std::string ripemd160_hex(const unsigned char digest[20]);
