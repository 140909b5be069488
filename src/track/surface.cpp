#include "track/surface.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/stream.h"
#include "track/terrain.h"

namespace {

SurfaceTextureLoader texture_loader = nullptr;

constexpr float MIN_CURVE_SPEED = 1.0f / 1048576.0f;  // 2^-20

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The tile type under construction while a tileinfo is read.
struct TileBuilder {
    SurfaceType type;
    int friction_points = 0;
    int rolling_points = 0;
    int roost_types = 0;
};

void builder_reset(TileBuilder* b)
{
    b->type = surface_default();
    b->friction_points = 0;
    b->rolling_points = 0;
    b->roost_types = 0;
}

// Exchange sort, as stable as the files expect: each position takes every
// later point with a smaller speed.
template <typename Point>
void sort_by_speed(Point* p, int n)
{
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++)
            if (p[j].speed < p[i].speed) {
                Point t = p[i];
                p[i] = p[j];
                p[j] = t;
            }
}

// Splits at blanks and tabs; double quotes group and are dropped.
std::vector<std::string> roost_tokens(const char* args)
{
    std::vector<std::string> out;
    const char* p = args;
    for (;;) {
        while (*p && is_blank(*p))
            p++;
        if (!*p)
            break;
        std::string tok;
        bool quoted = false;
        while (*p && (quoted || !is_blank(*p))) {
            if (*p == '"')
                quoted = !quoted;
            else
                tok += *p;
            p++;
        }
        out.push_back(tok);
    }
    return out;
}

// strtod with the warning the files expect when no number starts the value.
double roost_number(const char* value, const char* key)
{
    char* end = nullptr;
    double v = std::strtod(value, &end);
    if (end == value)
        track_message("tileinfo warning: bad %s\n", key);
    return v;
}

// Truncation toward zero that stays defined for any double (huge values
// and NaN included); only the low 8 bits are kept by the callers.
long truncate_long(double v)
{
    if (!(v > -1e15 && v < 1e15))
        return 0;
    return long(v);
}

// Value per second turned into a signed per-tick byte.
int8_t per_tick_byte(double per_second)
{
    long v = truncate_long(per_second * (1.0 / 128.0));
    return int8_t(uint8_t(v & 0xff));
}

std::string base_name(const std::string& name)
{
    size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

// The part of a file name before its first ".".
std::string stem(const std::string& name)
{
    size_t dot = name.find('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

void surface_set_texture_loader(SurfaceTextureLoader loader) { texture_loader = loader; }

int surface_load_texture(const char* name) { return texture_loader ? texture_loader(name) : 0; }

bool surface_have_texture_loader() { return texture_loader != nullptr; }

SurfaceType surface_default()
{
    SurfaceType t;
    for (int i = 0; i < SURFACE_CURVE_POINTS; i++) {
        t.friction[i] = {1.0f, 0.0f};
        t.rolling[i] = {5.0f, 15.0f, 0.0f};
    }
    t.friction[0].speed = 1.0f;
    t.rolling[0].speed = 1.0f;
    for (RoostType& r : t.roost)
        r = RoostType();
    return t;
}

void surface_parse_roost(RoostType* rt, const char* args)
{
    struct FloatKey {
        const char* key;
        float RoostType::*field;
    };
    static const FloatKey float_keys[] = {
        {"count", &RoostType::count},           {"dig", &RoostType::dig},
        {"slip_threshold", &RoostType::slip_threshold},
        {"slow_angle", &RoostType::slow_angle}, {"fast_angle", &RoostType::fast_angle},
        {"slow_speed", &RoostType::slow_speed}, {"fast_speed", &RoostType::fast_speed},
        {"size", &RoostType::size},             {"grow", &RoostType::grow},
        {"drag", &RoostType::drag},             {"vscale", &RoostType::vscale},
        {"randomize", &RoostType::randomize},
    };
    static const char* colour_keys[4] = {"r", "g", "b", "a"};
    static const char* fade_keys[4] = {"fade_r", "fade_g", "fade_b", "fade_a"};

    for (const std::string& tok : roost_tokens(args)) {
        const char* t = tok.c_str();
        auto value_of = [&](const char* key) -> const char* {
            size_t n = std::strlen(key);
            if (std::strncmp(t, key, n) == 0 && t[n] == '=')
                return t + n + 1;
            return nullptr;
        };
        if (const char* v = value_of("splash")) {
            if (std::strtod(v, nullptr) != 0)
                rt->kind = 2;
            continue;
        }
        if (const char* v = value_of("texture")) {
            rt->texture_name = v;
            rt->texture = surface_load_texture(v);
            continue;
        }
        bool matched = false;
        for (const FloatKey& k : float_keys)
            if (const char* v = value_of(k.key)) {
                rt->*k.field = float(roost_number(v, k.key));
                matched = true;
                break;
            }
        for (int c = 0; c < 4 && !matched; c++) {
            if (const char* v = value_of(fade_keys[c])) {
                rt->fade[c] = per_tick_byte(roost_number(v, fade_keys[c]));
                matched = true;
            } else if (const char* v2 = value_of(colour_keys[c])) {
                rt->colour[c] = uint8_t(truncate_long(roost_number(v2, colour_keys[c])) & 0xff);
                matched = true;
            }
        }
        if (!matched)
            track_message("tileinfo warning: unknown roost parameter '%.40s'\n", t);
    }
}

bool surface_read_tileinfo(HeightField* hf, Stream* s)
{
    TileBuilder b;
    builder_reset(&b);
    char line[1024];
    while (hf->surface_count < SURFACE_MAX_TYPES && stream_gets(s, line, sizeof line)) {
        char* p = line;
        while (*p && is_space(*p))
            p++;
        if (!*p)
            continue;
        char* key = p;
        while (*p && !is_space(*p))
            p++;
        std::string keyword(key, size_t(p - key));
        while (*p && is_blank(*p))
            p++;
        std::string arg(p);
        size_t cut = arg.find_first_of("\r\n");
        if (cut != std::string::npos)
            arg.resize(cut);

        if (keyword == "texture") {
            b.type.texture_name = arg;
            b.type.texture = surface_load_texture(arg.c_str());
        } else if (keyword == "friction") {
            float c, v;
            if (std::sscanf(arg.c_str(), "%f %f", &c, &v) != 2) {
                track_message("tileinfo warning: bad friction parameters\n");
            } else if (b.friction_points >= SURFACE_CURVE_POINTS) {
                track_message("tileinfo warning: too many friction points\n");
            } else {
                b.type.friction[b.friction_points++] = {c < 0 ? 0 : c, v <= MIN_CURVE_SPEED ? MIN_CURVE_SPEED : v};
            }
        } else if (keyword == "roll_resist") {
            float a, bb, v;
            if (std::sscanf(arg.c_str(), "%f %f %f", &a, &bb, &v) != 3) {
                track_message("tileinfo warning: bad roll_resist parameters\n");
            } else if (b.rolling_points >= SURFACE_CURVE_POINTS) {
                track_message("tileinfo warning: too many roll_resist points\n");
            } else {
                b.type.rolling[b.rolling_points++] = {a < 0 ? 0 : a, bb < 0 ? 0 : bb,
                                                      v <= MIN_CURVE_SPEED ? MIN_CURVE_SPEED : v};
            }
        } else if (keyword == "roost") {
            if (b.roost_types >= SURFACE_ROOST_TYPES) {
                track_message("tileinfo warning: too many roost types\n");
            } else {
                RoostType& r = b.type.roost[b.roost_types++];
                r = RoostType();
                r.kind = 1;
                surface_parse_roost(&r, arg.c_str());
            }
        } else if (keyword == "addtile") {
            sort_by_speed(b.type.friction, b.friction_points);
            sort_by_speed(b.type.rolling, b.rolling_points);
            hf->surfaces[hf->surface_count++] = b.type;
            builder_reset(&b);
        } else {
            track_message("tileinfo warning: Unknown identifier '%.950s'\n", keyword.c_str());
        }
    }
    // A tileinfo without any tile still needs one type for the tilemap to
    // point at: the builder's defaults (grip 1.0, rolling 5/15, no roost).
    if (hf->surface_count == 0)
        hf->surfaces[hf->surface_count++] = surface_default();
    surface_compute_transitions(hf);
    return true;
}

void surface_read_texturelist(HeightField* hf, Stream* s)
{
    char line[1024];
    while (hf->surface_count < SURFACE_MAX_TYPES && stream_gets(s, line, sizeof line)) {
        char* p = line;
        while (*p && is_space(*p))
            p++;
        if (!*p)
            continue;
        float fr = 1.0f, ra = 5.0f, rb = 15.0f;
        int used = 0;
        const char* name = p;
        if (std::sscanf(p, "%f %f %f %n", &fr, &ra, &rb, &used) == 3 && used > 0) {
            name = p + used;
        } else {
            fr = 1.0f;
            ra = 5.0f;
            rb = 15.0f;
        }
        std::string n(name);
        if (!n.empty())
            n.pop_back();  // the line feed, or the last character of a final line
        SurfaceType t = surface_default();
        for (int i = 0; i < SURFACE_CURVE_POINTS; i++) {
            t.friction[i] = {fr, i == 0 ? 1.0f : 0.0f};
            t.rolling[i] = {ra, rb, i == 0 ? 1.0f : 0.0f};
        }
        t.roost[0].kind = 1;
        t.texture_name = "@" + n;
        t.texture = surface_load_texture(t.texture_name.c_str());
        hf->surfaces[hf->surface_count++] = t;
    }
    surface_compute_transitions(hf);
}

void surface_compute_transitions(HeightField* hf)
{
    int count = hf->surface_count;
    std::vector<std::string> bases(static_cast<size_t>(count)), stems(static_cast<size_t>(count));
    for (int i = 0; i < count; i++) {
        bases[size_t(i)] = base_name(hf->surfaces[i].texture_name);
        stems[size_t(i)] = stem(bases[size_t(i)]);
    }
    auto find = [&](const std::string& st) {
        for (int i = 0; i < count; i++)
            if (!st.empty() && stems[size_t(i)] == st && stems[size_t(i)].find('-') == std::string::npos)
                return i;
        return -1;
    };
    for (int i = 0; i < count; i++) {
        const std::string& st = stems[size_t(i)];
        int plain = (i << 16) | (i << 8);
        size_t minus = st.find('-');
        if (minus == std::string::npos) {
            hf->surfaces[i].transition = plain;
            continue;
        }
        std::string a = st.substr(0, minus), rest = st.substr(minus + 1);
        int ia = find(a);
        if (ia < 0) {
            hf->surfaces[i].transition = plain;
            continue;
        }
        // A-altN: a variant of A.
        if (rest.size() == 4 && rest.compare(0, 3, "alt") == 0 && rest[3] >= '0' && rest[3] <= '9') {
            hf->surfaces[i].transition = (ia << 16) | (ia << 8);
            continue;
        }
        std::string b = rest;
        int mask = 0;
        size_t minus2 = rest.find('-');
        if (minus2 != std::string::npos) {
            b = rest.substr(0, minus2);
            std::string digits = rest.substr(minus2 + 1);
            bool ok = digits.size() == 4;
            for (char c : digits)
                ok = ok && (c == '0' || c == '1');
            if (ok)
                for (char c : digits)
                    mask = mask * 2 + (c - '0');
        }
        int ib = find(b);
        hf->surfaces[i].transition = ib < 0 ? -256 : (ia << 16) | (ib << 8) | mask;
    }
}

int surface_at(const HeightField* hf, double x, double z)
{
    int tiles = 1 << hf->order;
    double tile = 2.0 * hf->spacing;
    if (hf->tilemap.empty())
        return 0;
    double c = clampd(x / tile, 0, tiles - 1), r = clampd(z / tile, 0, tiles - 1);
    if (!(c == c) || !(r == r))  // a position gone bad reads as the origin tile
        return hf->tilemap[0];
    return hf->tilemap[size_t(int(r)) * size_t(tiles) + size_t(int(c))];
}

float surface_friction(const SurfaceType* type, float speed_sq)
{
    const FrictionPoint* f = type->friction;
    int i = 0;
    while (i < SURFACE_CURVE_POINTS && f[i].speed != 0 && f[i].speed * f[i].speed <= speed_sq)
        i++;
    if (i == 0)
        return f[0].coefficient;
    if (i == SURFACE_CURVE_POINTS || f[i].speed == 0)
        return f[i - 1].coefficient;
    float s0 = f[i - 1].speed * f[i - 1].speed, s1 = f[i].speed * f[i].speed;
    float t = float(clampd((speed_sq - s0) / (s1 - s0), 0, 1));
    return f[i - 1].coefficient + t * (f[i].coefficient - f[i - 1].coefficient);
}

void surface_rolling(const SurfaceType* type, float speed, float* a, float* b)
{
    const RollingPoint* r = type->rolling;
    int j = 0;
    while (j < SURFACE_CURVE_POINTS && r[j].speed != 0 && r[j].speed <= speed)
        j++;
    if (j == 0 || j == SURFACE_CURVE_POINTS || r[j].speed == 0) {
        int k = j == 0 ? 0 : j - 1;
        *a = r[k].a;
        *b = r[k].b;
        return;
    }
    float t = float(clampd((speed - r[j - 1].speed) / (r[j].speed - r[j - 1].speed), 0, 1));
    *a = r[j - 1].a + t * (r[j].a - r[j - 1].a);
    *b = r[j - 1].b + t * (r[j].b - r[j - 1].b);
}
