// RIPEMD-160 message digest: the loader fingerprints the heights with it so
// that two machines can tell whether they hold the same ground.
#pragma once
#include <cstddef>
#include <cstdint>

struct Ripemd160 {
    uint32_t h[5];
    uint64_t length;        // bytes fed so far
    uint8_t block[64];
    size_t used;            // bytes waiting in block
};

void ripemd160_init(Ripemd160* r);
void ripemd160_update(Ripemd160* r, const void* data, size_t len);
// Writes the 20-byte digest; the state must be initialised again for reuse.
void ripemd160_final(Ripemd160* r, uint8_t out[20]);
