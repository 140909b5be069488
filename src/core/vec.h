// Small vector math shared by physics, track queries, robots and rendering.
// Doubles throughout, like the physics library underneath.
#pragma once
#include <cmath>

struct Vec3 {
    double x, y, z;
};

inline Vec3 vec3(double x, double y, double z) { return Vec3{x, y, z}; }
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(double s, Vec3 a) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3& operator+=(Vec3& a, Vec3 b) { a = a + b; return a; }
inline Vec3& operator-=(Vec3& a, Vec3 b) { a = a - b; return a; }
inline double vec3_dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 vec3_cross(Vec3 a, Vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double vec3_length(Vec3 a) { return std::sqrt(vec3_dot(a, a)); }
// The unit vector along a; a zero vector stays zero.
inline Vec3 vec3_normalize(Vec3 a)
{
    double l = vec3_length(a);
    return l > 0 ? a * (1.0 / l) : a;
}

inline double clampd(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }
inline int clampi(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// The simulation tick: 1/128 s.
constexpr double TICK_SECONDS = 1.0 / 128.0;
constexpr int TICKS_PER_SECOND = 128;
