// Collision shapes: sets of spheres rigidly attached to one body, read from
// ".shp" files. The file's shapes stay in a process-wide cache; every bike
// and track object works on its own copy, whose centres it rewrites in world
// coordinates when testing contacts.
#pragma once
#include <string>
#include <vector>

// One sphere of a shape, in body coordinates.
struct ShapeElement {
    float centre[3];
    float radius;
    float friction;
    float stiffness;  // lbf/ft
    float damping;    // lbf·s/ft
};

struct CollisionShape {
    std::string name;
    std::vector<ShapeElement> elements;
    float bounding_radius = 0;  // largest |centre| + radius
    const CollisionShape* source = nullptr;  // the cached shape of a copy
};

// Largest element count a file may declare; anything above is malformed.
constexpr int SHAPE_MAX_ELEMENTS = 4096;

// Parses ".shp" text: a count N, then N times centre x y z, radius,
// friction, stiffness, damping. False with a reason when a number is
// missing or out of range (negative count or radius, non-finite values).
bool shape_parse(const std::string& text, CollisionShape* out, std::string* error);

// The cached shape of a file name, read on first use; null when the file
// cannot be opened or is malformed (silently: a part without a shape simply
// has no collision).
const CollisionShape* shape_load(const char* name);

// A private copy of the cached shape (own element array), or null when the
// file has no shape. The caller frees it with shape_free.
CollisionShape* shape_instance(const char* name);
void shape_free(CollisionShape* s);

// Forgets every cached shape (tests, and data folder changes).
void shape_cache_clear();
