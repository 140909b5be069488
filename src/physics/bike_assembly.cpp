// The bike and rider as seven bodies and six joints: masses from simple
// solids, joints with their stops, and the operations that place, turn,
// freeze, snapshot and destroy a bike.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "physics/bike.h"
#include "physics/shape.h"

namespace {

const double PI = 3.14159265358979323846;

Vec3 v3(BikePoint p) { return vec3(p.x, p.y, p.z); }

// The build position of each body, in body order.
Vec3 build_position(const BikeModel& m, int body)
{
    switch (body) {
    case BODY_FRAME: return v3(m.frame_centre);
    case BODY_FRONT_WHEEL: return v3(m.front_wheel_centre);
    case BODY_REAR_WHEEL: return v3(m.rear_wheel_centre);
    case BODY_FORK_UPPER: return v3(m.steering_head_top);
    case BODY_FORK_LOWER: return v3(m.fork_lower_centre);
    case BODY_SWINGARM: return v3(m.swingarm_centre);
    default: return v3(m.rider_body);
    }
}

Vec3 mat_mul(const dReal* r, Vec3 p)
{
    return vec3(r[0] * p.x + r[1] * p.y + r[2] * p.z, r[4] * p.x + r[5] * p.y + r[6] * p.z,
                r[8] * p.x + r[9] * p.y + r[10] * p.z);
}

Vec3 body_pos(dBodyID b)
{
    const dReal* p = dBodyGetPosition(b);
    return vec3(p[0], p[1], p[2]);
}

// Hub sphere plus the tyre as sixteen spheres round the ring, the first one
// straight up, each turned on by 22.5 degrees about the axle.
dMass wheel_mass(double tyre_mass, double ring_radius, double section_radius,
                 double hub_mass, double hub_radius)
{
    dMass hub, tyre, sphere;
    dMassSetSphereTotal(&hub, hub_mass, hub_radius);
    dMassSetZero(&tyre);
    dMassSetSphereTotal(&sphere, tyre_mass / 16, section_radius);
    dMassTranslate(&sphere, 0, ring_radius, 0);
    dMatrix3 step;
    dRFromAxisAndAngle(step, 1, 0, 0, PI / 8);
    for (int i = 0; i < 16; i++) {
        dMassAdd(&tyre, &sphere);
        dMassRotate(&sphere, step);
    }
    dMassAdd(&hub, &tyre);
    return hub;
}

// Two leg cylinders side by side, laid along the steering axis.
dMass fork_mass(const BikeModel& m)
{
    double radius = m.fork_leg_spacing / 8;
    double length = m.fork_length_basis * 2.0 / 3.0;
    dMass sum, leg;
    dMassSetZero(&sum);
    for (int side = -1; side <= 1; side += 2) {
        dMassSetCylinderTotal(&leg, m.fork_mass / 2, 2, radius, length);
        dMassTranslate(&leg, side * m.fork_leg_spacing / 2, 0, 0);
        dMassAdd(&sum, &leg);
    }
    Vec3 axis = v3(m.steering_head_top) - v3(m.fork_lower_centre);
    dMatrix3 r;
    dRFromAxisAndAngle(r, 1, 0, 0, std::atan(axis.z / axis.y));
    dMassRotate(&sum, r);
    return sum;
}

// Two arms, each weighing the catalogue's swingarm mass, from the pivot to
// the rear axle.
dMass swingarm_mass(const BikeModel& m)
{
    double w = m.frame_box.x;
    Vec3 arm = v3(m.rear_wheel_centre) - v3(m.swingarm_pivot);
    double length = vec3_length(arm);
    dMass sum, box;
    dMassSetZero(&sum);
    for (int side = -1; side <= 1; side += 2) {
        dMassSetBoxTotal(&box, m.swingarm_mass, w / 4, w / 4, length);
        dMassTranslate(&box, side * w / 2, 0, 0);
        dMassAdd(&sum, &box);
    }
    dMatrix3 r;
    dRFromAxisAndAngle(r, 1, 0, 0, -std::atan(arm.y / arm.z));
    dMassRotate(&sum, r);
    return sum;
}

void set_frame_and_rider_mass(Bike* b, double d)
{
    const BikeModel& m = b->model;
    dMass frame, rider;
    dMassSetBoxTotal(&frame, (1 - d) * m.rider_mass + m.frame_mass, m.frame_box.x, m.frame_box.y,
                     m.frame_box.z);
    dMassSetSphereTotal(&rider, d * m.rider_mass, 1.0);
    dBodySetMass(b->body[BODY_FRAME], &frame);
    dBodySetMass(b->body[BODY_RIDER], &rider);
}

void sum_masses(Bike* b)
{
    b->total_mass = 0;
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        dMass m;
        dBodyGetMass(b->body[i], &m);
        b->total_mass += m.mass;
    }
}

// The rider mount: anchored 50 ft ahead of the bike so that turning about it
// moves the rider almost straight up and down; its first axis (the
// suspension, diagonally up and back) is locked.
void attach_rider_mount(Bike* b)
{
    const BikeModel& m = b->model;
    dJointID j = b->joint[JOINT_RIDER_MOUNT];
    dJointAttach(j, b->body[BODY_RIDER], b->body[BODY_FRAME]);
    const dReal* r = dBodyGetRotation(b->body[BODY_FRAME]);
    Vec3 frame = body_pos(b->body[BODY_FRAME]);
    Vec3 anchor = frame + mat_mul(r, vec3(0, m.rider_body.y, -50) - v3(m.frame_centre));
    dJointSetHinge2Anchor(j, anchor.x, anchor.y, anchor.z);
    Vec3 a1 = mat_mul(r, vec3_normalize(vec3(0, 1, 1)));
    Vec3 a2 = mat_mul(r, vec3(1, 0, 0));
    dReal axis1[3] = {a1.x, a1.y, a1.z};
    dReal axis2[3] = {a2.x, a2.y, a2.z};
    dJointSetHinge2Axes(j, axis1, axis2);
    dJointSetHinge2Param(j, dParamLoStop, 0);
    dJointSetHinge2Param(j, dParamHiStop, 0);
}

void build_joints(Bike* b)
{
    const BikeModel& m = b->model;
    dWorldID w = physics_world();
    dBodyID* body = b->body;
    Vec3 steer_axis = v3(m.steering_head_top) - v3(m.fork_lower_centre);

    dJointID j = dJointCreateHinge(w, nullptr);
    dJointAttach(j, body[BODY_FORK_LOWER], body[BODY_FRONT_WHEEL]);
    dJointSetHingeAnchor(j, m.front_wheel_centre.x, m.front_wheel_centre.y, m.front_wheel_centre.z);
    dJointSetHingeAxis(j, 1, 0, 0);
    b->joint[JOINT_FRONT_AXLE] = j;

    j = dJointCreateHinge(w, nullptr);
    dJointAttach(j, body[BODY_SWINGARM], body[BODY_REAR_WHEEL]);
    dJointSetHingeAnchor(j, m.rear_wheel_centre.x, m.rear_wheel_centre.y, m.rear_wheel_centre.z);
    dJointSetHingeAxis(j, 1, 0, 0);
    b->joint[JOINT_REAR_AXLE] = j;

    j = dJointCreateHinge(w, nullptr);
    dJointAttach(j, body[BODY_FORK_UPPER], body[BODY_FRAME]);
    dJointSetHingeAnchor(j, m.steering_head_top.x, m.steering_head_top.y, m.steering_head_top.z);
    dJointSetHingeAxis(j, steer_axis.x, steer_axis.y, steer_axis.z);
    dJointSetHingeParam(j, dParamLoStop, -PI / 4);
    dJointSetHingeParam(j, dParamHiStop, PI / 4);
    b->joint[JOINT_STEERING_HEAD] = j;

    j = dJointCreateSlider(w, nullptr);
    dJointAttach(j, body[BODY_FORK_UPPER], body[BODY_FORK_LOWER]);
    dJointSetSliderAxis(j, steer_axis.x, steer_axis.y, steer_axis.z);
    dJointSetSliderParam(j, dParamBounce, 0);
    dJointSetSliderParam(j, dParamLoStop, -m.fork_travel);
    dJointSetSliderParam(j, dParamHiStop, 0);
    b->joint[JOINT_FORK] = j;

    j = dJointCreateHinge(w, nullptr);
    dJointAttach(j, body[BODY_SWINGARM], body[BODY_FRAME]);
    dJointSetHingeAnchor(j, m.swingarm_pivot.x, m.swingarm_pivot.y, m.swingarm_pivot.z);
    dJointSetHingeAxis(j, 1, 0, 0);
    dJointSetHingeParam(j, dParamBounce, 0);
    dJointSetHingeParam(j, dParamLoStop, -m.swingarm_travel);
    dJointSetHingeParam(j, dParamHiStop, 0);
    b->joint[JOINT_SWINGARM_PIVOT] = j;

    b->joint[JOINT_RIDER_MOUNT] = dJointCreateHinge2(w, nullptr);
    attach_rider_mount(b);

    for (int i = 0; i < BIKE_JOINT_COUNT; i++)
        dJointSetFeedback(b->joint[i], &b->feedback[i]);
}

}  // namespace

void bike_attach_rider_mount(Bike* b) { attach_rider_mount(b); }

void bike_set_rider_mass_distribution(Bike* b, double x)
{
    // Neither body may lose all its mass.
    double d = std::isfinite(x) ? clampd(x, 0.01, 0.99) : 1.0 / 3;
    b->setup.rider_mass_distribution = d;
    if (b->body[BODY_FRAME] && b->body[BODY_RIDER]) {
        set_frame_and_rider_mass(b, d);
        sum_masses(b);
    }
}

Bike* bike_create(const char* model_name, int slot, const char* number,
                  const char* rider_body_texture, const char* rider_head_texture,
                  const char* bike_texture, const char* wheel_texture)
{
    dWorldID w = physics_world();
    if (!w)
        return nullptr;
    const BikeModel* entry = bike_model_lookup(model_name);
    Bike* b = new Bike{};
    b->model = *entry;
    const BikeModel& m = b->model;
    b->slot = slot;
    std::snprintf(b->number, sizeof b->number, "%.7s", number ? number : "");
    b->gate_ticks.reserve(16);

    // Names resolved against the data files; the renderer loads what they
    // name (and may resolve again with its own loaders).
    bike_graphics_resolve(&b->graphics, &m, rider_body_texture, rider_head_texture, bike_texture,
                          wheel_texture, nullptr, nullptr);

    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        b->body[i] = dBodyCreate(w);
        Vec3 p = build_position(m, i);
        dBodySetPosition(b->body[i], p.x, p.y, p.z);
    }
    b->setup = bike_setup_initial(&m);
    set_frame_and_rider_mass(b, b->setup.rider_mass_distribution);
    dMass mass = wheel_mass(m.front_tyre_mass, m.front_ring_radius, m.front_section_radius,
                            m.front_hub_mass, m.front_hub_radius);
    dBodySetMass(b->body[BODY_FRONT_WHEEL], &mass);
    mass = wheel_mass(m.rear_tyre_mass, m.rear_ring_radius, m.rear_section_radius, m.rear_hub_mass,
                      m.rear_hub_radius);
    dBodySetMass(b->body[BODY_REAR_WHEEL], &mass);
    mass = fork_mass(m);
    dBodySetMass(b->body[BODY_FORK_UPPER], &mass);
    dBodySetMass(b->body[BODY_FORK_LOWER], &mass);
    mass = swingarm_mass(m);
    dBodySetMass(b->body[BODY_SWINGARM], &mass);
    sum_masses(b);

    // The wheels spin fast: integrate their rotation exactly.
    dBodySetFiniteRotationMode(b->body[BODY_FRONT_WHEEL], 1);
    dBodySetFiniteRotationMode(b->body[BODY_REAR_WHEEL], 1);
    // Nothing on a bike turns faster than a wheel at top speed, some 150
    // rad/s. Two bikes tangled in each other can feed a body spin without
    // bound, until its rotation cannot be normalised and the step fails;
    // the cap keeps such a tangle a tangle.
    for (dBodyID body : b->body)
        dBodySetMaxAngularSpeed(body, 400);

    build_joints(b);

    const char* shapes[BIKE_BODY_COUNT] = {m.frame_shape,      m.front_wheel_shape,
                                           m.rear_wheel_shape, m.fork_upper_shape,
                                           m.fork_lower_shape, m.swingarm_shape,
                                           m.rider_shape};
    for (int i = 0; i < BIKE_BODY_COUNT; i++)
        b->shape[i] = shape_instance(shapes[i]);

    bike_reset(b);
    return b;
}

void bike_record_last_set(Bike* b)
{
    for (int i = 0; i < BIKE_BODY_COUNT; i++)
        b->last_set[i] = body_pos(b->body[i]);
}

void bike_reset(Bike* b)
{
    const BikeModel& m = b->model;
    dMatrix3 identity;
    dRSetIdentity(identity);
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        dBodyID body = b->body[i];
        Vec3 p = build_position(m, i);
        dBodySetPosition(body, p.x, p.y, p.z);
        dBodySetRotation(body, identity);
        dBodySetLinearVel(body, 0, 0, 0);
        dBodySetAngularVel(body, 0, 0, 0);
        dBodySetForce(body, 0, 0, 0);
        dBodySetTorque(body, 0, 0, 0);
    }
    dBodyID frame = b->body[BODY_FRAME];
    const dReal* r = dBodyGetRotation(frame);
    Vec3 rider = body_pos(frame) + mat_mul(r, v3(m.rider_body) - v3(m.frame_centre));
    dBodySetPosition(b->body[BODY_RIDER], rider.x, rider.y, rider.z);
    dBodySetRotation(b->body[BODY_RIDER], r);
    attach_rider_mount(b);
    bike_record_last_set(b);

    b->gear = 0;
    b->engine_speed = 0;
    b->controls.last_shift_request = 0;
    b->crash_timer = 0;
    b->ground_touched = false;
    b->gate_ticks.clear();
    b->finished = false;
    std::memset(b->feedback, 0, sizeof b->feedback);
    bike_ride_state_reset(b);
}

void bike_translate(Bike* b, double dx, double dy, double dz)
{
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        Vec3 p = body_pos(b->body[i]);
        dBodySetPosition(b->body[i], p.x + dx, p.y + dy, p.z + dz);
    }
}

void bike_orient(Bike* b, double ax, double ay, double az, double angle)
{
    dMatrix3 r;
    dRFromAxisAndAngle(r, ax, ay, az, angle);
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        Vec3 p = mat_mul(r, body_pos(b->body[i]));
        dBodySetRotation(b->body[i], r);
        dBodySetPosition(b->body[i], p.x, p.y, p.z);
    }
}

bool bike_motion_broken(const Bike* b)
{
    for (dBodyID body : b->body) {
        const dReal* p = dBodyGetPosition(body);
        const dReal* q = dBodyGetQuaternion(body);
        const dReal* v = dBodyGetLinearVel(body);
        const dReal* w = dBodyGetAngularVel(body);
        double sum = 0;
        for (int k = 0; k < 3; k++)
            sum += p[k] + q[k] + v[k] + w[k];
        if (!std::isfinite(sum + q[3]))
            return true;
        if (v[0] * v[0] + v[1] * v[1] + v[2] * v[2] > 400 * 400)
            return true;
    }
    return false;
}

void bike_freeze(Bike* b)
{
    for (dBodyID body : b->body)
        dBodyDisable(body);
}

void bike_unfreeze(Bike* b)
{
    for (dBodyID body : b->body)
        dBodyEnable(body);
}

void bike_save_velocities(Bike* b)
{
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        const dReal* l = dBodyGetLinearVel(b->body[i]);
        const dReal* a = dBodyGetAngularVel(b->body[i]);
        b->saved_linear[i] = vec3(l[0], l[1], l[2]);
        b->saved_angular[i] = vec3(a[0], a[1], a[2]);
    }
}

void bike_restore_velocities(Bike* b)
{
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        Vec3 l = b->saved_linear[i], a = b->saved_angular[i];
        dBodySetLinearVel(b->body[i], l.x, l.y, l.z);
        dBodySetAngularVel(b->body[i], a.x, a.y, a.z);
    }
}

void bike_extrapolate(Bike* b, int ticks, GroundHeightFn ground_height, void* ctx)
{
    ticks = clampi(ticks, 0, 64);
    dBodyID frame = b->body[BODY_FRAME];
    const dReal* v = dBodyGetLinearVel(frame);
    Vec3 offset = vec3(v[0], v[1], v[2]) * (ticks * TICK_SECONDS);
    double lift = 0;
    if (ground_height) {
        const dReal* r = dBodyGetRotation(frame);
        Vec3 tyre_bottom = b->last_set[BODY_REAR_WHEEL] + offset +
                           mat_mul(r, vec3(0, -b->model.rear_ring_radius, 0));
        double ground = ground_height(ctx, tyre_bottom.x, tyre_bottom.z);
        if (ground > tyre_bottom.y)
            lift = ground - tyre_bottom.y;
    }
    for (int i = 0; i < BIKE_BODY_COUNT; i++) {
        Vec3 p = b->last_set[i] + offset;
        dBodySetPosition(b->body[i], p.x, p.y + lift, p.z);
    }
}

void bike_free(Bike* b)
{
    if (!b)
        return;
    for (dJointID j : b->joint)
        if (j)
            dJointDestroy(j);
    for (dBodyID body : b->body)
        if (body)
            dBodyDestroy(body);
    for (CollisionShape* s : b->shape)
        shape_free(s);
    delete b;
}
