// Sphere sets against each other and against the tyre tori: bike against
// track object, bike against bike, and the rider against his own bike.
#include <cmath>

#include "physics/contact.h"
#include "physics/shape.h"

namespace {

const double DIRECT_FORCE_LIMIT = 1000;
const double TYRE_FRICTION = 1, TYRE_KP = 25000, TYRE_KD = 2500;

// A sphere as the contact code sees it: world centre, size and material,
// and the body it belongs to (null for static objects).
struct Ball {
    Vec3 centre;
    double radius, friction, kp, kd;
    dBodyID body;
};

Vec3 body_position(dBodyID b)
{
    const dReal* p = dBodyGetPosition(b);
    return vec3(p[0], p[1], p[2]);
}

Ball element_ball(const ShapeElement& e, dBodyID body)
{
    return {vec3(e.centre[0], e.centre[1], e.centre[2]), e.radius, e.friction, e.stiffness,
            e.damping, body};
}

Vec3 point_velocity(dBodyID b, Vec3 p)
{
    if (!b)
        return vec3(0, 0, 0);
    dVector3 v;
    dBodyGetPointVel(b, p.x, p.y, p.z, v);
    return vec3(v[0], v[1], v[2]);
}

// Joint or direct force for one overlap; b1 and b2 are never the same body.
void sphere_response(const Ball& s1, const Ball& s2, const SphereHit& hit, bool direct)
{
    double mu = std::fmin(s1.friction, s2.friction);
    double kp = std::fmin(s1.kp, s2.kp);
    double kd = std::fmin(s1.kd, s2.kd);
    if (direct) {
        Vec3 va = point_velocity(s1.body, hit.point), vb = point_velocity(s2.body, hit.point);
        double f = contact_direct_force(hit.depth, kp, kd, va, vb, hit.normal);
        Vec3 fn = hit.normal * f;
        if (s2.body && dBodyIsEnabled(s2.body))
            dBodyAddForceAtPos(s2.body, fn.x, fn.y, fn.z, hit.point.x, hit.point.y, hit.point.z);
        if (s1.body && dBodyIsEnabled(s1.body))
            dBodyAddForceAtPos(s1.body, -fn.x, -fn.y, -fn.z, hit.point.x, hit.point.y, hit.point.z);
        return;
    }
    dContact c{};
    c.surface.mode = dContactApprox1 | dContactSoftERP | dContactSoftCFM;
    c.surface.mu = mu;
    contact_soft_params(kp, kd, &c.surface.soft_erp, &c.surface.soft_cfm);
    c.geom.pos[0] = hit.point.x;
    c.geom.pos[1] = hit.point.y;
    c.geom.pos[2] = hit.point.z;
    // The joint pushes its first body along the normal, which points from
    // sphere 1 towards sphere 2.
    c.geom.normal[0] = hit.normal.x;
    c.geom.normal[1] = hit.normal.y;
    c.geom.normal[2] = hit.normal.z;
    c.geom.depth = hit.depth;
    dJointID j = dJointCreateContact(physics_world(), physics_contact_group(), &c);
    dJointAttach(j, s2.body, s1.body);
}

// Two placed shapes; true when any pair of spheres overlapped.
bool shape_shape(const CollisionShape* s1, Vec3 p1, dBodyID b1, const CollisionShape* s2, Vec3 p2,
                 dBodyID b2, bool direct)
{
    if (!s1 || !s2 || vec3_length(p2 - p1) >= s1->bounding_radius + s2->bounding_radius)
        return false;
    bool touched = false;
    // An element farther from the other body than that shape's reach meets
    // none of its spheres (the margin covers the float centres).
    double reach2 = s2->bounding_radius + 1e-3;
    for (const ShapeElement& e1 : s1->elements) {
        Ball a = element_ball(e1, b1);
        Vec3 d = a.centre - p2;
        double r = a.radius + reach2;
        if (vec3_dot(d, d) >= r * r)
            continue;
        for (const ShapeElement& e2 : s2->elements) {
            Ball b = element_ball(e2, b2);
            SphereHit hit;
            if (!sphere_sphere(a.centre, a.radius, b.centre, b.radius, &hit))
                continue;
            sphere_response(a, b, hit, direct);
            touched = true;
        }
    }
    return touched;
}

// A placed shape against a tyre: the tyre is a sphere of its section radius
// at the ring point nearest each element. A wheel without ground contact
// keeps the deepest touch for the roost and the aids.
bool shape_tyre(const CollisionShape* s, Vec3 p, dBodyID body, WheelContact* w, bool direct)
{
    if (!s)
        return false;
    Vec3 c = body_position(w->body);
    double R = w->ring_radius, r = w->section_radius;
    if (vec3_length(c - p) >= r + R + s->bounding_radius)
        return false;
    const dReal* rot = dBodyGetRotation(w->body);
    Vec3 a = vec3_normalize(vec3(rot[0] * w->axle.x + rot[1] * w->axle.y + rot[2] * w->axle.z,
                                 rot[4] * w->axle.x + rot[5] * w->axle.y + rot[6] * w->axle.z,
                                 rot[8] * w->axle.x + rot[9] * w->axle.y + rot[10] * w->axle.z));
    bool had_ground = w->depth > 0;
    double deepest = 0;
    bool touched = false;
    for (const ShapeElement& e : s->elements) {
        Ball ball = element_ball(e, body);
        // Beyond the tyre's outer radius from the hub it cannot touch.
        Vec3 d = ball.centre - c;
        double outer = R + r + ball.radius + 1e-3;
        if (vec3_dot(d, d) >= outer * outer)
            continue;
        Ball tyre = {torus_ring_point(ball.centre, c, a, R), r, TYRE_FRICTION, TYRE_KP, TYRE_KD,
                     w->body};
        SphereHit hit;
        if (!sphere_sphere(ball.centre, ball.radius, tyre.centre, tyre.radius, &hit))
            continue;
        sphere_response(ball, tyre, hit, direct);
        touched = true;
        if (!had_ground && hit.depth > deepest) {
            deepest = hit.depth;
            w->depth = hit.depth;
            w->point = hit.point;
            w->normal = hit.normal;
            w->slip = point_velocity(w->body, hit.point);
        }
    }
    return touched;
}

}  // namespace

void bike_place_shapes(Bike* b)
{
    for (int i = 0; i < BIKE_BODY_COUNT; i++)
        if (b->shape[i])
            shape_place(b->shape[i], dBodyGetPosition(b->body[i]), dBodyGetRotation(b->body[i]));
}

void shape_place(CollisionShape* s, const double* position, const double* rotation)
{
    if (!s || !s->source || s->source->elements.size() != s->elements.size())
        return;
    const double* r = rotation;
    for (size_t i = 0; i < s->elements.size(); i++) {
        const float* c = s->source->elements[i].centre;
        s->elements[i].centre[0] = float(position[0] + r[0] * c[0] + r[1] * c[1] + r[2] * c[2]);
        s->elements[i].centre[1] = float(position[1] + r[4] * c[0] + r[5] * c[1] + r[6] * c[2]);
        s->elements[i].centre[2] = float(position[2] + r[8] * c[0] + r[9] * c[1] + r[10] * c[2]);
    }
}

bool sphere_sphere(Vec3 c1, double r1, Vec3 c2, double r2, SphereHit* out)
{
    Vec3 d = c2 - c1;
    double dist = vec3_length(d);
    if (!(dist < r1 + r2) || dist <= 0)
        return false;
    double depth = r1 + r2 - dist;
    *out = {depth, c1 + d * ((r1 - depth / 2) / dist), d * (1 / dist)};
    return true;
}

double contact_direct_force(double depth, double kp, double kd, Vec3 va, Vec3 vb, Vec3 normal)
{
    double f = depth * kp + (vec3_dot(va, normal) - vec3_dot(vb, normal)) * kd;
    return clampd(f, -DIRECT_FORCE_LIMIT, DIRECT_FORCE_LIMIT);
}

bool bike_object_contacts(Bike* b, CollisionShape* object, Vec3 position, const double* rotation)
{
    if (!object)
        return false;
    double pos[3] = {position.x, position.y, position.z};
    shape_place(object, pos, rotation);
    bool touched = false;
    for (int k = 0; k < 2; k++)
        if (shape_tyre(object, position, nullptr, &b->wheel[k], false)) {
            touched = true;
            b->object_touch_parts |= 1u << (k == 0 ? BODY_FRONT_WHEEL : BODY_REAR_WHEEL);
        }
    static const int parts[] = {BODY_FRAME, BODY_FORK_UPPER, BODY_FORK_LOWER, BODY_SWINGARM,
                                BODY_RIDER};
    for (int part : parts) {
        CollisionShape* s = b->shape[part];
        if (!s)
            continue;
        dBodyID body = b->body[part];
        if (shape_shape(object, position, nullptr, s, body_position(body), body, false)) {
            touched = true;
            b->object_touch_parts |= 1u << part;
        }
    }
    return touched;
}

void bike_statue_contacts(Bike* b, const StatueTarget* statues, int count, int clock)
{
    for (int i = 0; i < count; i++) {
        const StatueTarget& s = statues[i];
        if (bike_object_contacts(b, s.shape, s.position, s.rotation) && s.touched_tick)
            *s.touched_tick = clock;
    }
}

GroundTouch bike_world_contacts(Bike* b, const HeightField* hf, const StatueTarget* statues,
                                int statue_count, int clock)
{
    b->object_touch_parts = 0;
    GroundTouch t = bike_ground_contacts(b, hf);
    bike_statue_contacts(b, statues, statue_count, clock);
    return t;
}

BikeBikeTouch bike_bike_contacts(Bike* a, Bike* b, bool direct)
{
    BikeBikeTouch touch = {0, 0};
    // No part of a bike, its rider thrown off included, reaches farther
    // than this from its frame: two bikes farther apart than twice that
    // cannot touch, and most pairs of a race are.
    constexpr double reach = 10;
    Vec3 gap = body_position(a->body[BODY_FRAME]) - body_position(b->body[BODY_FRAME]);
    if (vec3_dot(gap, gap) > 4 * reach * reach)
        return touch;
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        CollisionShape* sa = a->shape[i];
        if (!sa)
            continue;
        dBodyID ba = a->body[i];
        Vec3 pa = body_position(ba);
        for (int k = 0; k < 2; k++)
            if (shape_tyre(sa, pa, ba, &b->wheel[k], direct)) {
                touch.parts_a |= 1u << i;
                touch.parts_b |= 1u << (k == 0 ? BODY_FRONT_WHEEL : BODY_REAR_WHEEL);
            }
        for (int k = 0; k < BIKE_BODY_COUNT; k++) {
            dBodyID bb = b->body[k];
            if (shape_shape(sa, pa, ba, b->shape[k], body_position(bb), bb, direct)) {
                touch.parts_a |= 1u << i;
                touch.parts_b |= 1u << k;
            }
        }
    }
    return touch;
}

bool bike_rider_self_contacts(Bike* b)
{
    CollisionShape* rider = b->shape[BODY_RIDER];
    if (!rider)
        return false;
    dBodyID rb = b->body[BODY_RIDER];
    shape_place(rider, dBodyGetPosition(rb), dBodyGetRotation(rb));
    bool touched = false;
    for (int part : {BODY_FRAME, BODY_FORK_UPPER}) {
        CollisionShape* s = b->shape[part];
        if (!s)
            continue;
        dBodyID body = b->body[part];
        shape_place(s, dBodyGetPosition(body), dBodyGetRotation(body));
        touched |= shape_shape(rider, body_position(rb), rb, s, body_position(body), body, false);
    }
    return touched;
}
