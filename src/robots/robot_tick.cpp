// The robot rider's per-tick controller on a real bike.
#include "robots/robot.h"

#include <algorithm>
#include <cmath>

#include "physics/bike.h"
#include "physics/body_math.h"
#include "physics/chassis.h"
#include "physics/powertrain.h"
#include "robots/personality.h"
#include "robots/way_round.h"
#include "track/terrain.h"

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double DT = 1.0 / 128;
constexpr double G = 32;  // ft/s^2

// The buffer point at a fractional index, between its two neighbours.
Vec3 point_at(const std::vector<LinePoint>& b, double f)
{
    long i = long(std::floor(f));
    double t = f - double(i);
    Vec3 a = line_point_at(b[size_t(line_index_clamp(i, b.size()))]);
    Vec3 c = line_point_at(b[size_t(line_index_clamp(i + 1, b.size()))]);
    return a + (c - a) * t;
}

double horizontal_distance(Vec3 a, Vec3 b)
{
    return std::hypot(a.x - b.x, a.z - b.z);
}

// Farther than this across the ground from its line (ft), a riding robot
// hands over to the capture controller.
constexpr double ROBOT_OFF_LINE = 20;
// The radius of the tightest turn a bike makes at walking pace, ft.
constexpr double ROBOT_TIGHTEST_TURN = 8;

// How far the frame is, across the ground, from the line round point n:
// the nearest of the buffer's pieces from three points behind to three
// ahead. The first and last pieces run on past the buffer's ends, so a
// bike short of where its line begins is not off it.
double line_offset(const std::vector<LinePoint>& b, long n, Vec3 at)
{
    long last = long(b.size()) - 1;
    if (last < 1)
        return 0;  // a single point is no line to be off
    double best = 1e30;
    long i0 = std::min(std::max(n - 3, 0L), last - 1), i1 = std::min(std::max(n + 2, i0), last - 1);
    for (long i = i0; i <= i1; i++) {
        Vec3 p = line_point_at(b[size_t(i)]);
        Vec3 q = line_point_at(b[size_t(i + 1)]);
        double dx = q.x - p.x, dz = q.z - p.z, l2 = dx * dx + dz * dz;
        double u = l2 > 0 ? ((at.x - p.x) * dx + (at.z - p.z) * dz) / l2 : 0;
        u = clampd(u, i == 0 ? -1e30 : 0, i + 1 == last ? 1e30 : 1);
        best = std::min(best, std::hypot(at.x - p.x - u * dx, at.z - p.z - u * dz));
    }
    return best;
}

// The angle between the horizontal parts of two directions; 0 when either
// has none.
double horizontal_angle(Vec3 a, Vec3 b)
{
    double la = std::hypot(a.x, a.z), lb = std::hypot(b.x, b.z);
    if (!(la > 0 && lb > 0))
        return 0;
    return std::acos(clampd((a.x * b.x + a.z * b.z) / (la * lb), -1, 1));
}

// Whether the line takes off round point i: from four points behind it
// (a second of line) to two ahead.
bool line_jump_near(const std::vector<LinePoint>& b, long i)
{
    for (long k = std::max(i - 4, 0L); k <= i + 2; k++)
        if (line_takes_off(b, size_t(k)))
            return true;
    return false;
}

double uniform_draw(void* ctx)
{
    return double(uint32_t((*static_cast<std::mt19937*>(ctx))())) / 4294967296.0;
}

bool crashed(const Bike* b)
{
    return b->crash_timer >= 1;
}

// Everything the rules read of the bike, once a tick.
struct Motion {
    Vec3 position, velocity, forward, direction, side;
    double speed, roll, roll_rate, pitch_rate;
};

Motion motion_of(const Bike* b)
{
    dBodyID frame = b->body[BODY_FRAME];
    Motion m{};
    m.position = ode_vec(dBodyGetPosition(frame));
    m.velocity = ode_vec(dBodyGetLinearVel(frame));
    m.forward = body_world_vector(frame, vec3(0, 0, -1));
    m.speed = vec3_length(m.velocity);
    m.direction = m.speed > 0 ? m.velocity * (1 / m.speed) : vec3(0, 0, -1);
    m.side = vec3(-m.direction.z, 0, m.direction.x);
    m.roll = body_roll(frame);
    m.roll_rate = bike_roll_rate(b);
    dVector3 w;
    const dReal* aw = dBodyGetAngularVel(frame);
    dBodyVectorFromWorld(frame, aw[0], aw[1], aw[2], w);
    m.pitch_rate = w[0];
    return m;
}

void hold_on_gate(Bike* b, double throttle)
{
    bool down = crashed(b);
    bike_set_throttle(b, down ? 0 : throttle);
    bike_set_clutch(b, 0);
    bike_set_front_brake(b, 1);
    bike_set_rear_brake(b, 1);
    bike_set_steer(b, 0);
    bike_set_sit_dab(b, down ? 0 : 1);
    b->gear = 0;  // first gear
    bike_set_auto_shift(b, false);
}

void stop(Bike* b)
{
    bike_set_throttle(b, 0);
    bike_set_clutch(b, 0);
    bike_set_front_brake(b, 1);
    bike_set_rear_brake(b, 1);
    bike_set_steer(b, 0);
    bike_set_sit_dab(b, 1);
}

RobotDriveInput drive_input(const Bike* b, const Motion& m, double target)
{
    RobotDriveInput in{};
    in.speed = m.speed;
    in.target = target;
    in.rear_on_ground = b->wheel[1].depth > 0;
    in.crashed = crashed(b);
    in.gear = b->gear + 1;  // every gear of ours is a real gear
    in.rpm = bike_rpm(b);
    in.max_rpm = 500.0 * (BIKE_TORQUE_STEPS - 1);  // read only in neutral, which our gearboxes lack
    in.pitch_rate = m.pitch_rate;
    in.front_y = dBodyGetPosition(b->body[BODY_FRONT_WHEEL])[1];
    in.rear_y = dBodyGetPosition(b->body[BODY_REAR_WHEEL])[1];
    return in;
}

// How fast the rear tyre slips over the ground, 0 with the wheel in the air.
double rear_slip(const Bike* b)
{
    return b->wheel[1].depth > 0 ? vec3_length(b->wheel[1].slip) : 0;
}

void write_drive(Bike* b, const RobotDriveOutput& o)
{
    bike_set_throttle(b, o.throttle);
    bike_set_clutch(b, o.clutch);
    bike_set_front_brake(b, o.front_brake);
    bike_set_rear_brake(b, o.rear_brake);
}

// Rule of point capture: the next point counts as reached once the bike is
// near it, unless it has not yet passed the point before.
void capture_points(RobotState* s, LineRider* r, const Motion& m, int clock)
{
    auto& buf = r->buffer;
    if (s->point_index >= int(buf.size()))
        return;
    Vec3 target = line_point_at(buf[size_t(s->point_index)]);
    double d = horizontal_distance(m.position, target);
    double radius = s->capture == 3 ? 30 : 60;
    if (d > radius)
        return;
    if (d > 4 && s->point_index > 0) {
        Vec3 prev = line_point_at(buf[size_t(s->point_index - 1)]);
        if (horizontal_distance(m.position, prev) > 1) {
            // Short of the point before, the bike has not got there yet.
            // Short along the line, not along its own heading: one coming
            // back to its line at an angle has the point before "ahead" of
            // it until it is nearly on the next one, and was refused it
            // for seconds at a time, 5 to 20 ft off its line; one thrown
            // round in a fall, facing back, has it "ahead" wherever it
            // lies. Along its heading, too, a bike crossing the line at an
            // angle lies past every point and would take them all, up to
            // 60 ft on, in as many ticks.
            Vec3 along = target - prev, off = m.position - prev;
            if (along.x * off.x + along.z * off.z < 0)
                return;
        }
    }
    s->point_index++;
    s->last_advance = clock;
    s->wait_ticks = 0;
    if (s->capture > 0)
        s->capture--;
    if (s->point_index >= int(buf.size())) {
        buf.clear();
        s->point_index = 0;
    }
}

// Appends the next segment's line when fewer than ten points are left.
void pick_lines(RobotContext* c, int slot, RobotState* s, LineRider* r, const Motion& m)
{
    if (!c->learn || lines_row_count(c->learn->table) == 0)
        return;
    if (s->point_index < int(r->buffer.size()) - 10)
        return;
    LineTable* t = c->learn->table;
    int row = segment_row(t, s->next_segment);
    int k = line_pick(c->learn, slot, row);
    if (k < 0)
        return;
    robot_line_append(s, r, lines_slot(t, row, k), m.position, m.forward);
}

// Lean allowed by the ground at a point: its bank under the bike plus the
// angle its grip holds.
void grip_clamp(const HeightField* hf, dBodyID frame, double roll, double x, double z, double* lean)
{
    Vec3 n;
    terrain_normal(hf, x, z, &n);
    dVector3 local;
    dBodyVectorFromWorld(frame, n.x, n.y, n.z, local);
    double bank = roll - std::atan2(local[0], local[1]);
    double mu = 1;
    if (hf->surface_count > 0) {
        int type = surface_at(hf, x, z);
        if (type < 0 || type >= hf->surface_count)
            type = 0;
        mu = hf->surfaces[type].friction[0].coefficient;
    }
    double allow = std::min(std::atan(mu), 1.1780972);
    *lean = clampd(*lean, bank - allow, bank + allow);
}

// How far a point lies off the frame's heading, seen from above, radians.
double heading_angle(dBodyID frame, Vec3 point)
{
    Vec3 local = body_local_vector(frame, point - ode_vec(dBodyGetPosition(frame)));
    return std::atan2(std::fabs(local.x), -local.z);
}

// Whether a point more than 4 ft away lies further than `angle` off the
// frame's heading, seen from above.
bool heading_off(dBodyID frame, Vec3 point, double angle)
{
    Vec3 local = body_local_vector(frame, point - ode_vec(dBodyGetPosition(frame)));
    if (local.x * local.x + local.z * local.z < 16)
        return false;
    return heading_angle(frame, point) > angle;
}

// The rider to make way for: overlapping footprints, further ahead of us
// than we are of him, the nearest.
const Bike* rider_in_the_way(const RobotContext* c, const Bike* self, const Motion& m)
{
    RobotFootprint mine = robot_footprint(m.position, m.velocity);
    double reach = 8 + m.speed;
    const Bike* best = nullptr;
    double best_d2 = 1000000;
    for (const Bike* o : c->bikes) {
        if (!o || o == self)
            continue;
        Vec3 q = ode_vec(dBodyGetPosition(o->body[BODY_FRAME]));
        Vec3 u = ode_vec(dBodyGetLinearVel(o->body[BODY_FRAME]));
        Vec3 d = q - m.position;
        double d2 = vec3_dot(d, d);
        double su = vec3_length(u);
        double their_reach = 8 + su;
        if (d2 >= best_d2 || d2 > (reach + their_reach) * (reach + their_reach))
            continue;
        Vec3 their_dir = su > 0 ? u * (1 / su) : vec3(0, 0, -1);
        if (vec3_dot(d, m.direction) <= vec3_dot(-d, their_dir))
            continue;
        if (!robot_footprints_overlap(mine, robot_footprint(q, u)))
            continue;
        best = o;
        best_d2 = d2;
    }
    return best;
}

// Walking the bike: the front wheel is pushed towards a point and the
// frame held up, the bars kept straight, the engine idle.
void walk_bike(Bike* b, Vec3 target)
{
    dBodyID front = b->body[BODY_FRONT_WHEEL], frame = b->body[BODY_FRAME];
    Vec3 wheel = ode_vec(dBodyGetPosition(front));
    Vec3 to = target - wheel;
    double l = vec3_length(to);
    Vec3 want = l > 0 ? to * (5 / l) : vec3(0, 0, 0);
    push_toward(front, 2000, want);
    dBodyAddForce(frame, 0, 16 * b->total_mass, 0);
    dJointID head = b->joint[JOINT_STEERING_HEAD];
    bike_set_steer(b, clampd(-0.25 * (dJointGetHingeAngle(head) + dJointGetHingeAngleRate(head)), -1, 1));
    bike_set_sit_dab(b, crashed(b) ? 0 : 1);
    bike_set_throttle(b, 0);
    bike_set_clutch(b, 0);
    bike_set_front_brake(b, 0);
    bike_set_rear_brake(b, 0);
}

// Walks the bike to a point. One more than 60 degrees off its heading
// gets the front swung round over the rear wheel first: pushed straight
// at a point behind it, the bike rolled backwards, still facing away, and
// covered 45 ft that way at walking pace.
void walk_bike_to(Bike* b, Vec3 target)
{
    dBodyID frame = b->body[BODY_FRAME];
    if (heading_off(frame, target, PI / 3)) {
        Vec3 local = body_local_vector(frame, target - ode_vec(dBodyGetPosition(frame)));
        Vec3 across = body_world_vector(frame, vec3(local.x < 0 ? -1 : 1, 0, -0.25));
        Vec3 front = ode_vec(dBodyGetPosition(b->body[BODY_FRONT_WHEEL]));
        walk_bike(b, front + across * 10);
        return;
    }
    walk_bike(b, target);
}

// Wedged among objects. Thrown into a block of bales or tyres, a bike can
// end up lying inside it, and walking it back, side steps and the way
// round all end pinned again: one sat there for 20 s. A rider would lift
// it out over them. Once it has been touching objects with no point
// reached for this long, its contacts with objects are left out until it
// has reached a point and its frame and both wheels are clear of every
// one: given back as soon as it was clear, while it was still getting
// out, they caught it again at once.
constexpr int WEDGED_TICKS = 5 * 128;
constexpr double WEDGED_CLEAR = 2.5;  // ft from every object that gives the contacts back

bool clear_of_objects(const WayMap* w, const Bike* b)
{
    for (int part : {BODY_FRAME, BODY_FRONT_WHEEL, BODY_REAR_WHEEL}) {
        Vec3 p = ode_vec(dBodyGetPosition(b->body[part]));
        if (way_blocked(w, p, p, WEDGED_CLEAR))
            return false;
    }
    return true;
}

void wedged_step(RobotContext* c, const Bike* b, RobotState* s)
{
    if (s->through_objects) {
        s->through_objects = c->ways && !(s->last_advance > s->through_tick && clear_of_objects(c->ways, b));
        return;
    }
    if (c->ways && !crashed(b) && c->clock - s->object_tick < 64 && c->clock - s->last_advance > WEDGED_TICKS) {
        s->through_objects = true;
        s->through_tick = c->clock;
        s->wedged++;
        // Straight for the point now: no more backing off or going round.
        s->back_until = std::min(s->back_until, c->clock);
        s->detour_until = std::min(s->detour_until, c->clock);
        s->pinned_ticks = 0;
    }
}

// Whether the bike has come to the way round: a side step within 4 ft of
// the frame. A leg found on the map ends close to an object's corner, and
// cut short it leads into the object, so it takes the frame within 1.5 ft,
// or the front wheel, which is what walking the bike pushes there.
bool detour_reached(const RobotState* s, const Bike* b, const Motion& m)
{
    if (!s->detour_planned)
        return horizontal_distance(m.position, s->detour) < 4;
    Vec3 front = ode_vec(dBodyGetPosition(b->body[BODY_FRONT_WHEEL]));
    return horizontal_distance(m.position, s->detour) < 1.5 || horizontal_distance(front, s->detour) < 1.5;
}

// The capture controller: steers point by point with a gentle lean, and
// after 19 s without progress walks the bike to the point.
void capture_ride(RobotContext* c, Bike* b, RobotState* s, LineRider* r, const Motion& m)
{
    auto& buf = r->buffer;
    double since = (c->clock - s->last_advance) * DT;
    if (since > 40) {
        s->restarts++;
        // A fresh point a little further along, drawn from the clock: one
        // anywhere in the buffer could lie far behind, against the field.
        s->point_index = std::min(int(buf.size()) - 1, s->point_index + 1 + int(unsigned(c->clock) % 8u));
        s->capture = 3;
        s->last_advance = c->clock;
        since = 0;
    }
    Vec3 target = line_point_at(buf[size_t(s->point_index)]);
    RobotProgress pr = robot_progress(buf, s->point_index, m.position, m.forward);
    r->progress = pr.progress;
    dBodyID frame = b->body[BODY_FRAME];
    // Pinned against a track object, riding on and walking on both push
    // into it: the bike is first walked back off it for a second and a half.
    bool pinned = c->clock - s->object_tick < 64 && m.speed < 1;
    s->pinned_ticks = pinned ? s->pinned_ticks + 1 : 0;
    if (s->pinned_ticks > 2 * 128) {
        s->pinned_ticks = 0;
        s->back_until = c->clock + 192;
        s->walks++;
        // Heading for the point again would only meet the object again (a
        // grandstand is 30 ft wide): once walked back the robot first rides
        // to a point 18 ft to one side, the other side at the next pinning,
        // unless a way round is found on the map of the objects.
        Vec3 to{target.x - m.position.x, 0, target.z - m.position.z};
        double l = vec3_length(to);
        if (l > 0) {
            to = to * (1 / l);
            double side = (s->walks & 1) ? 1 : -1;
            Vec3 across{-to.z * side, 0, to.x * side};
            s->detour = m.position + to * 4 + across * 18;
            s->detour_until = s->back_until + 3 * 128;
            s->detour_planned = false;
        }
    }
    if (c->clock < s->back_until) {
        Vec3 back{m.forward.x, 0, m.forward.z};
        double l = vec3_length(back);
        walk_bike(b, l > 0 ? m.position - back * (10 / l) : m.position);
        return;
    }
    // With objects between the bike and its point (a row of bales on the
    // outside of a turn the bike went wide of), the way round them is
    // found on the map a leg at a time: each leg is ridden, or walked
    // where it is short or turns the bike round. It is looked for from the
    // front wheel: walking takes that to the end of a leg first, and from
    // the frame, 2 ft short of the corner, the next leg led back to it.
    if (c->ways && !s->through_objects && c->clock >= s->way_check) {
        Vec3 front = ode_vec(dBodyGetPosition(b->body[BODY_FRONT_WHEEL]));
        s->way_check = c->clock + 16;
        s->way_shut = way_blocked(c->ways, front, target, 1.0);
        bool leg_done = c->clock >= s->detour_until || detour_reached(s, b, m);
        Vec3 w;
        // In straight sight of its point again, the bike leaves the way round.
        if (!s->way_shut && s->detour_planned)
            s->detour_until = std::min(s->detour_until, c->clock);
        if (s->way_shut && (leg_done || !s->detour_planned) && way_round(c->ways, front, target, &w)) {
            s->detour = w;
            s->detour_until = c->clock + 4 * 128;
            s->detour_planned = true;
            s->detour_walked = horizontal_distance(front, w) < 6;
        }
    }
    // The way round stands in for the point until reached or its time is up.
    bool detouring = c->clock < s->detour_until && !detour_reached(s, b, m);
    if (detouring)
        target = s->detour;
    else
        s->detour_until = std::min(s->detour_until, c->clock);
    // Held still with nothing in the way (a face too steep to climb from
    // rest, a rut), riding on only spins the wheel: the bike is walked on
    // for 3 s at once instead of after 19 s. A wheel spinning on a jump's
    // face lurches the bike on a foot at a time, above walking pace now
    // and then, so only getting under way ends the count.
    bool riding = since <= 19 && c->clock >= s->walk_until;
    bool held = riding && !pinned && !crashed(b);
    if (!held || m.speed >= 3)
        s->still_ticks = 0;
    else if (m.speed < 1)
        s->still_ticks++;
    if (s->still_ticks > 2 * 128) {
        s->still_ticks = 0;
        s->walk_until = c->clock + 3 * 128;
        s->walks++;
    }
    // Below walking pace a lean does not turn the bike: a point well off to
    // the side was reached only by a wide, slow circle, often too wide for
    // the track. A rider paddles round with his feet; the bike is walked
    // towards the point until it heads within 45 degrees of it, and then
    // ridden. So is a leg of the way round objects; the side step taken
    // without a map is ridden: walked, it took longer to get clear.
    bool walk_leg = detouring && s->detour_planned &&
                    (s->detour_walked || (m.speed < 5 && heading_angle(frame, target) > PI / 4));
    if (riding && !crashed(b) && (walk_leg || (!detouring && m.speed < 5 && heading_off(frame, target, PI / 4)))) {
        walk_bike_to(b, target);
        return;
    }
    if (riding) {
        bike_set_sit_dab(b, m.speed < 10 ? 1 : 0);
        double q = robot_capture_lean_limit(m.speed);
        // The lean aims past the next point, at the first one 15 ft away:
        // points sit 5-10 ft apart, and steering at one that close weaves
        // across the line, each weave far enough off the heading to start
        // the capture again. The heading test stays on the next point.
        size_t a = size_t(s->point_index);
        while (a + 1 < buf.size() && a < size_t(s->point_index) + 4 &&
               horizontal_distance(m.position, line_point_at(buf[a])) < 15)
            a++;
        Vec3 local = body_local_vector(frame, target - m.position);
        Vec3 to_aim = detouring ? local : body_local_vector(frame, line_point_at(buf[a]) - m.position);
        double x = local.x, z = local.z;
        double ax = to_aim.x, az = to_aim.z;
        double lean;
        // An aim point behind the bike leans it hard over to its side. The
        // side is kept while the point stays behind: straight behind, it
        // crossed from side to side every tick, the lean with it, and the
        // bike rode on upright, away from its point, 60 ft and more.
        if (std::fabs(ax) <= -az) {
            lean = clampd(0.5 * ax / az, -q, q);
            s->turn_side = 0;
        } else {
            if (az <= 0 || s->turn_side == 0)
                s->turn_side = ax < 0 ? 1 : -1;
            lean = s->turn_side * q;
        }
        int takeoff;
        robot_takeoff_time(buf, pr, m.position, m.speed, &takeoff);
        // A jump just ahead keeps the capture on, so that riding is not
        // handed back on a lip; but through a run of jumps there is always
        // one ahead, and the whole run went at capture pace. After 3 s in
        // capture, jumps ahead no longer hold it.
        bool jump_near = takeoff >= pr.ahead && takeoff <= pr.ahead + 8 &&
                         s->capture_ticks - s->capture_entered <= 3 * 128;
        if (-z < 4 * std::fabs(x) || jump_near || (detouring && s->detour_planned))
            s->capture = 3;
        double e = clampd(4 * (lean - m.roll), -4, 4);
        bike_set_steer(b, clampd(2 * (m.roll_rate - e), -1, 1));
        double pace = robot_capture_pace(m.speed, m.roll, lean);
        // A rider just ahead and moving: riding into him puts our front
        // wheel on his rear one, and the two crawl on glued together, his
        // bike propped at a lean by ours so that neither can steer. Keep to
        // his pace until he pulls away.
        if (const Bike* o = rider_in_the_way(c, b, m)) {
            Vec3 u = ode_vec(dBodyGetLinearVel(o->body[BODY_FRAME]));
            Vec3 q2 = ode_vec(dBodyGetPosition(o->body[BODY_FRAME]));
            if (horizontal_distance(q2, m.position) < 10 && vec3_length(u) > 2)
                pace = std::min(pace, std::max(vec3_dot(u, m.direction), 0.0));
        }
        // A spinning rear wheel gets less throttle, as when riding: at
        // full throttle up a face at walking pace it spun at 50 ft/s and
        // more, and the bike sat there.
        RobotDriveOutput o = robot_drive(drive_input(b, m, pace));
        o.throttle *= robot_traction(rear_slip(b));
        write_drive(b, o);
        return;
    }
    // Walking the bike to the point.
    if (c->clock >= s->walk_until && (c->clock - 1 - s->last_advance) * DT <= 19)
        s->walks++;
    walk_bike_to(b, target);
}

}  // namespace

void robot_reset(RobotState* s)
{
    *s = RobotState();
}

void robot_launch(Bike* b, double t)
{
    double a = clampd(4 * t, 0, 1);
    bool down = crashed(b);
    bike_set_throttle(b, down ? 0 : 1);
    bike_set_clutch(b, a);
    bike_set_sit_dab(b, down ? 0 : 1 - a);
    bike_set_front_brake(b, 0);
    bike_set_rear_brake(b, 0);
    bike_set_steer(b, 0);
    if (a < 0.75) {
        bike_set_auto_shift(b, false);
        b->gear = 0;
    } else {
        bike_set_auto_shift(b, true);
    }
}

void robot_run_out(RobotState* s, LineRider* r)
{
    s->finished = true;
    robot_run_out_speeds(&r->buffer, r->progress);
}

void robot_ride(RobotContext* c, int slot, Bike* b, RobotState* s, LineRider* r, const RaceProgress* p)
{
    (void)slot;
    // A stall: no point reached for 3 s hands over to the capture controller.
    if (c->clock - s->last_advance > 3 * 128) {
        s->capture = 3;
        s->stalls++;
        return;
    }
    const auto& buf = r->buffer;
    Motion m = motion_of(b);
    bike_set_sit_dab(b, 0);
    dBodyID frame = b->body[BODY_FRAME];

    // Where along the line, how fast it went there, how soon it leaves the ground.
    RobotProgress pr = robot_progress(buf, s->point_index, m.position, m.forward);
    r->progress = pr.progress;
    int N = pr.ahead;
    double f = pr.progress, v = m.speed;
    double P = robot_target_speed(buf, pr);
    int takeoff;
    double t = robot_takeoff_time(buf, pr, m.position, v, &takeoff);
    auto point = [&](long i) { return line_point_at(buf[size_t(line_index_clamp(i, buf.size()))]); };

    // The current turn from the lean and the load on the tyres.
    double load = 0;
    for (const WheelContact& w : b->wheel)
        if (w.depth > 0)
            load += std::max(0.0, double(w.feedback.f1[1]));
    double D = std::max(load / (G * b->total_mass) - 1, 1.0);
    bool straight = std::fabs(std::tan(m.roll)) < 1e-9;
    double rho = straight ? 0 : -v * v / (G * D * std::tan(m.roll));
    double gain = 4, rate_limit = PI / D;

    // Make way for the rider ahead.
    if (const Bike* o = rider_in_the_way(c, b, m)) {
        RobotAvoidInput in{};
        in.target = P;
        in.seconds = (c->clock - c->start_tick) * DT;
        in.speed = v;
        in.position = m.position;
        in.direction = m.direction;
        in.side = m.side;
        in.rho = rho;
        in.straight = straight;
        in.other_position = ode_vec(dBodyGetPosition(o->body[BODY_FRAME]));
        in.other_velocity = ode_vec(dBodyGetLinearVel(o->body[BODY_FRAME]));
        RobotAvoidResult a = robot_avoid_speed(in);
        P = a.target;
        // Waiting behind a fallen or stopped rider is not a stall: the way
        // clears when he rides on. A wait past 10 s is one, so two riders
        // stuck on each other still get the capture controller.
        bool stopped = crashed(o) || vec3_length(in.other_velocity) < 2;
        if (a.following && stopped && s->wait_ticks < 10 * 128) {
            s->wait_ticks++;
            s->last_advance = c->clock;
        }
        if (a.braking)
            for (int& id : r->remembered)
                id = 0;
    }

    // Below walking pace the lean does not steer, so a robot pointing well
    // away from its next point, with the way clear, lets the capture
    // controller turn it, as after a stall, rather than riding off the
    // way it points.
    if (v < 7.5 && P >= 2 && heading_off(frame, line_point_at(buf[size_t(s->point_index)]), PI / 6)) {
        s->capture = 3;
        return;
    }
    // Far off the line, thrown wide out of a turn or off a jump, the line's
    // speeds no longer fit where the bike is: ridden on at them it runs
    // alongside the line, a turn's width away, into whatever lines the
    // track. Points are still counted as reached that far off, so no stall
    // says so; the capture controller brings it back at its own pace.
    bool on_ground = b->wheel[0].depth > 0 || b->wheel[1].depth > 0;
    if (on_ground && line_offset(buf, N, m.position) > ROBOT_OFF_LINE) {
        s->capture = 3;
        return;
    }

    // Stopped behind someone, or picking the bike up after a fall, a foot
    // goes down: it holds the bike up and lifts one lying on its side.
    if (v < 5 && (P < 2 || std::fabs(m.roll) > 0.5))
        bike_set_sit_dab(b, 1);

    // The aim point.
    Vec3 aim;
    if (p->gates_passed < 1) {
        aim = point_at(buf, f + 4);
    } else {
        int k = 0;
        for (long i = N + 1; i <= N + 6; i++) {
            Vec3 d = point(i) - m.position;
            double ahead = vec3_dot(d, m.direction), lateral = vec3_dot(d, m.side);
            if (!(ahead > 0 && std::fabs(lateral) <= ahead / 8))
                break;
            k++;
        }
        double straightness = clampd((20 - k) / 17.0, 0, 1);
        gain *= straightness;
        rate_limit *= straightness;
        if (t < 2) {
            double z = clampd((2 - t) * 2, 0, 1);
            Vec3 along = m.position + (point(takeoff + 3) - point(takeoff));
            Vec3 near = point(N + 3);
            aim = near + (along - near) * z;
        } else if (k < 5 || std::fabs(m.roll) >= PI / 8) {
            aim = point_at(buf, f + 2);
        } else {
            aim = point_at(buf, f + 3);
        }
    }

    // The lean that reaches it, kept within the grip of the ground ahead.
    Vec3 da = aim - m.position;
    double r_need = robot_required_radius(vec3_dot(da, m.direction), vec3_dot(da, m.side), rho, straight);
    double lean = std::atan2(-v * v / r_need, G * D);
    if (c->ground && c->ground->vertex_count > 0) {
        double wanted = lean;
        for (long i = N + 4; i >= N; i--) {
            Vec3 q = point(i);
            grip_clamp(c->ground, frame, m.roll, q.x, q.z, &lean);
        }
        const dReal* fw = dBodyGetPosition(b->body[BODY_FRONT_WHEEL]);
        const dReal* fv = dBodyGetLinearVel(b->body[BODY_FRONT_WHEEL]);
        grip_clamp(c->ground, frame, m.roll, fw[0] + 0.25 * fv[0], fw[2] + 0.25 * fv[2], &lean);
        if (lean != wanted) {
            P = std::min(P, std::sqrt(G * D * std::fabs(r_need) * std::tan(std::fabs(lean))));
            s->limit_tick = c->clock;
        }
    }

    // No lean beyond what the tightest turn the bars allow holds up at this
    // speed: slower than its line through a hairpin, a robot leaned for the
    // turn its aim point asked and fell in on the inside.
    double held = std::atan(v * v / (G * ROBOT_TIGHTEST_TURN));
    lean = clampd(lean, -held, held);

    // Slow riding, a sliding front wheel, a spinning rear one and jumps ahead.
    double front_slip = vec3_length(b->wheel[0].slip);
    double k = clampd((16 - front_slip) / 16, 0, 1);
    k *= robot_traction(rear_slip(b));
    if (v < 7.5) {
        lean = 0;
        k = 1;
    } else if (v < 10) {
        double sv = (v - 7.5) * 0.4;
        lean *= sv;
        k = 1 - sv * (1 - k);
    }
    if (t < 3) {
        double w = clampd((3 - t) / 2, 0, 1);
        k += w * (1 - k);
        P += w * (std::max(std::fabs(double(buf[size_t(line_index_clamp(N, buf.size()))].speed)) + 2, v) - P);
        // The limits keep the bike upright and steady for the lip. Out of
        // a turn that ends just before it, though, a bike held to them
        // cannot finish the turn and takes off well across the jump, to
        // land wide of the track. So they close in only as the heading
        // comes round to the jump's: in full within 6 degrees of it, not
        // at all from 14 degrees off.
        double hold = 1 - clampd((horizontal_angle(m.direction, point(takeoff + 3) - point(takeoff)) - 0.1) / 0.15, 0, 1);
        double cap = PI / 2 - 1.3744469 * w * hold;
        lean = clampd(lean, -cap, cap);
        rate_limit += hold * clampd((3 - t) / 3, 0, 1) * (PI / 8 - rate_limit);
    }

    // Steering: the lean error as a roll rate, turned into a steer through
    // the roll rate it already has; a sliding or airborne front wheel
    // follows where it travels instead.
    double e = gain * (lean - m.roll);
    if ((e < 0 && m.roll >= 0) || (e >= 0 && m.roll < 0))
        rate_limit *= 2;
    double cr = clampd(e, -rate_limit, rate_limit);
    double d = 4 * (m.roll_rate - (cr - clampd(cr - m.roll_rate, -0.125, 0.125)));
    // Under the arcade assist the bike's own steering already turns the
    // front wheel where it travels and a steer asks for a lean. Off a
    // jump's lip the servo's share is no lean at all, so the bike flies
    // and lands upright. A hop over a whoop or a bump is no jump in the
    // line, and straightening the bike at every one undid the lean a turn
    // across whoops needs: it ran on straight, wide of its line. There the
    // share is the lean it has.
    double h;
    if (!b->setup.arcade)
        h = steer_servo(b, 0);
    else if (line_jump_near(buf, s->point_index))
        h = 0;
    else
        h = -m.roll * 4 / PI;
    double grip = b->wheel[0].depth > 0 ? clampd((4 - front_slip) / 4, 0, 1) : 0;
    bike_set_steer(b, clampd(h + grip * (d - h), -1, 1));

    // Throttle, brakes and clutch, the throttle smoothed.
    RobotDriveOutput o = robot_drive(drive_input(b, m, P));
    double y = k * o.throttle;
    if ((c->clock - s->limit_tick) * DT < 0.125)
        y = clampd(y, 0, s->throttle_memory + 0.03125);
    else
        y = clampd(y, s->throttle_memory - 0.03125, 1);
    s->throttle_memory = y;
    o.throttle = crashed(b) ? 0 : clampd(y, 0, 1);
    write_drive(b, o);
}

void robot_tick(RobotContext* c, int slot, Bike* b, RobotState* s, LineRider* r, const RaceProgress* p)
{
    if (r->personality == 0)
        return;
    bike_set_stop_wheelies(b, 3);
    bike_set_front_antilock(b, true);
    bike_set_rear_antilock(b, true);
    bike_set_auto_shift(b, true);

    // A rider shifts his weight to keep a bike level off a jump's lip and
    // in the air; a robot cannot, and without help its bike pitches forward
    // off every lip faster than throttle or brake can correct. So while
    // its front wheel is off the ground the arcade assist holds the bike.
    // A front wheel skipping over a bump for a tick or two needs no help.
    if (s->own_arcade < 0)
        s->own_arcade = b->setup.arcade ? 1 : 0;
    s->front_air_ticks = b->wheel[0].depth > 0 ? 0 : s->front_air_ticks + 1;
    bike_set_arcade(b, s->own_arcade == 1 || s->front_air_ticks >= 4);
    Motion m = motion_of(b);
    if (b->object_touch_parts != 0)
        s->object_tick = c->clock;
    r->position = m.position;
    r->velocity = m.velocity;
    capture_points(s, r, m, c->clock);
    pick_lines(c, slot, s, r, m);

    if (s->point_index >= int(r->buffer.size())) {
        stop(b);
        return;
    }
    const Personality* who = personality_get(r->personality);
    double reaction[2] = {who ? who->drive[0] : 0.2, who ? who->drive[1] : 0.4};
    RobotStart st = robot_start_step(s, c->clock * DT, c->start_tick * DT, reaction, uniform_draw, c->rng);
    if (st.step == ROBOT_START_HOLD) {
        hold_on_gate(b, st.value);
        return;
    }
    if (st.step == ROBOT_START_LAUNCH) {
        robot_launch(b, st.value);
        return;
    }
    // A thrown rider is off his bike, not stalled: the stall clock starts
    // again when he is back on it and it is off the ground, so getting up
    // does not hand the bike to the capture controller. A bike that stays
    // down 10 s is stuck, and stalls.
    bool lying = m.speed < 5 && std::fabs(m.roll) > 1;
    if (crashed(b)) {
        s->last_advance = c->clock;
    } else if (lying) {
        s->wait_ticks++;
        if (s->wait_ticks <= 10 * 128)
            s->last_advance = c->clock;
    }
    // Stalled: no point reached for 3 s, whoever is riding. The run-out
    // after the finish is no part of the race.
    if (c->clock - s->last_advance > 3 * 128 && !s->finished)
        s->stall_ticks++;
    wedged_step(c, b, s);
    if (s->capture == 0) {
        s->capture_entered = s->capture_ticks;
        robot_ride(c, slot, b, s, r, p);
    } else {
        s->capture_ticks++;
        capture_ride(c, b, s, r, m);
    }
}
