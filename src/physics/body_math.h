// Small conversions between the physics library's bodies and Vec3, shared
// by the chassis, the rider and everything that reads a bike's pose.
#pragma once
#include "core/vec.h"
#include "physics/ode_double.h"

inline Vec3 ode_vec(const dReal* v) { return vec3(v[0], v[1], v[2]); }

// A point given in the body's own coordinates, in world coordinates.
inline Vec3 body_world_point(dBodyID b, Vec3 p)
{
    dVector3 out;
    dBodyGetRelPointPos(b, p.x, p.y, p.z, out);
    return ode_vec(out);
}

// A direction given in the body's own coordinates, in world coordinates.
inline Vec3 body_world_vector(dBodyID b, Vec3 v)
{
    dVector3 out;
    dBodyVectorToWorld(b, v.x, v.y, v.z, out);
    return ode_vec(out);
}

// A direction given in world coordinates, in the body's own coordinates.
inline Vec3 body_local_vector(dBodyID b, Vec3 v)
{
    dVector3 out;
    dBodyVectorFromWorld(b, v.x, v.y, v.z, out);
    return ode_vec(out);
}
