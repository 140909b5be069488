#include "physics/shape.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>

#include "files/stream.h"

namespace {

std::map<std::string, std::unique_ptr<CollisionShape>>& shape_cache()
{
    static std::map<std::string, std::unique_ptr<CollisionShape>> cache;
    return cache;
}

// A tiny number reader over text: white space of any kind separates the
// numbers, as with scanf's %f.
struct Reader {
    const char* p;
    bool number(double* out)
    {
        while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v')
            p++;
        if (!*p)
            return false;
        char* end = nullptr;
        double v = std::strtod(p, &end);
        if (end == p)
            return false;
        p = end;
        *out = v;
        return true;
    }
};

}  // namespace

bool shape_parse(const std::string& text, CollisionShape* out, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    Reader r{text.c_str()};
    double count;
    if (!r.number(&count) || count != std::floor(count))
        return fail("missing element count");
    if (count < 0 || count > SHAPE_MAX_ELEMENTS)
        return fail("element count out of range");
    out->elements.clear();
    out->bounding_radius = 0;
    static const char* fields[7] = {"centre x", "centre y", "centre z", "radius",
                                    "friction", "stiffness", "damping"};
    for (int i = 0; i < int(count); i++) {
        double v[7];
        for (int k = 0; k < 7; k++) {
            if (!r.number(&v[k]))
                return fail("element " + std::to_string(i) + ": missing " + fields[k]);
            if (!std::isfinite(v[k]) || std::fabs(v[k]) > 1e9)
                return fail("element " + std::to_string(i) + ": " + fields[k] + " out of range");
        }
        if (v[3] < 0)
            return fail("element " + std::to_string(i) + ": negative radius");
        ShapeElement e{{float(v[0]), float(v[1]), float(v[2])},
                       float(v[3]), float(v[4]), float(v[5]), float(v[6])};
        float reach = std::sqrt(e.centre[0] * e.centre[0] + e.centre[1] * e.centre[1] +
                                e.centre[2] * e.centre[2]) + e.radius;
        if (reach > out->bounding_radius)
            out->bounding_radius = reach;
        out->elements.push_back(e);
    }
    return true;
}

const CollisionShape* shape_load(const char* name)
{
    if (!name)
        return nullptr;
    auto& cache = shape_cache();
    auto it = cache.find(name);
    if (it != cache.end())
        return it->second.get();
    std::string text;
    if (!stream_read_all(name, &text))
        return nullptr;
    auto shape = std::make_unique<CollisionShape>();
    if (!shape_parse(text, shape.get(), nullptr))
        return nullptr;
    shape->name = name;
    const CollisionShape* result = shape.get();
    cache[name] = std::move(shape);
    return result;
}

CollisionShape* shape_instance(const char* name)
{
    const CollisionShape* cached = shape_load(name);
    if (!cached)
        return nullptr;
    CollisionShape* copy = new CollisionShape(*cached);
    copy->source = cached;
    return copy;
}

void shape_free(CollisionShape* s) { delete s; }

void shape_cache_clear() { shape_cache().clear(); }
