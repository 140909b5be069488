// Deterministic value noise for the builders: the same seed and position
// always give the same number, on every machine.
#pragma once
#include <cmath>
#include <cstdint>

inline uint32_t noise_hash(int32_t x, int32_t y, uint32_t seed)
{
    uint32_t h = seed * 0x9E3779B1u ^ uint32_t(x) * 0x85EBCA77u ^ uint32_t(y) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

// -1..1 at lattice point.
inline double noise_lattice(int32_t x, int32_t y, uint32_t seed)
{
    return double(noise_hash(x, y, seed) & 0xffffff) / double(0x7fffff) - 1.0;
}

inline double noise_fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

// Smooth value noise with a lattice of `cell` units; period > 0 wraps the
// lattice every `period` cells on both axes (for seamless textures).
inline double noise_value(double x, double y, double cell, uint32_t seed, int period = 0)
{
    double fx = x / cell, fy = y / cell;
    double ix = std::floor(fx), iy = std::floor(fy);
    double u = noise_fade(fx - ix), v = noise_fade(fy - iy);
    auto at = [&](double a, double b) {
        int32_t xi = int32_t(a), yi = int32_t(b);
        if (period > 0) {
            xi = ((xi % period) + period) % period;
            yi = ((yi % period) + period) % period;
        }
        return noise_lattice(xi, yi, seed);
    };
    double a = at(ix, iy), b = at(ix + 1, iy), c = at(ix, iy + 1), d = at(ix + 1, iy + 1);
    return (a + (b - a) * u) + ((c + (d - c) * u) - (a + (b - a) * u)) * v;
}

// Sum of octaves, each half the cell and half the amplitude; about -1..1.
inline double noise_fractal(double x, double y, double cell, int octaves, uint32_t seed, int period = 0)
{
    double sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; o++) {
        sum += amp * noise_value(x, y, cell, seed + uint32_t(o) * 1013u, period);
        norm += amp;
        amp *= 0.5;
        cell *= 0.5;
        if (period > 0)
            period *= 2;
    }
    return sum / norm;
}

inline double smoothstep01(double t)
{
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return t * t * (3 - 2 * t);
}
