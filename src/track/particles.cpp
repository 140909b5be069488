// The roost particle pool and its per-tick flight.
#include "track/particles.h"

#include <algorithm>
#include <cmath>

#include "track/terrain.h"

namespace {

bool finite3(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

uint8_t amount_byte(double a)
{
    if (!(a > 0))
        return 0;
    int v = int(std::fmin(a, 0.25) * 1020);
    return uint8_t(v > 255 ? 255 : v);
}

void move_dirt(RoostPool* pool, Vec3 at, double units)
{
    if (pool->ground && pool->erosion > 0 && units != 0)
        terrain_dig(pool->ground, at.x, at.z, units * pool->erosion / 1020);
}

void release(RoostPool* pool, RoostParticle& p, int index)
{
    pool->billboards[p.billboard].texture = 0;
    pool->billboards[p.billboard].visible = false;
    p.next = pool->free_head;
    pool->free_head = index;
    pool->active_count--;
}

}  // namespace

void roost_pool_init(RoostPool* pool, HeightField* ground, double erosion)
{
    for (int i = 0; i < ROOST_POOL_SIZE; i++) {
        RoostParticle& p = pool->particles[i];
        p = RoostParticle{};
        p.billboard = i;
        p.next = i + 1 < ROOST_POOL_SIZE ? i + 1 : -1;
        pool->billboards[i] = RoostBillboard{};
    }
    pool->free_head = 0;
    pool->active_head = -1;
    pool->active_count = 0;
    pool->thrown = pool->dropped = 0;
    pool->peak_active = 0;
    pool->ground = ground;
    roost_set_erosion(pool, erosion);
}

void roost_set_erosion(RoostPool* pool, double erosion)
{
    pool->erosion = erosion > 0 ? std::fmin(erosion, 1) : 0;
}

bool roost_spawn(RoostPool* pool, Vec3 position, Vec3 velocity, double amount,
                 const RoostType* type)
{
    if (!type || !finite3(position) || !finite3(velocity))
        return false;
    if (pool->free_head < 0) {
        pool->dropped++;
        return false;
    }
    int index = pool->free_head;
    RoostParticle& p = pool->particles[index];
    pool->free_head = p.next;
    p.position = position;
    p.velocity = velocity;
    p.amount = amount_byte(amount);
    p.type = type;
    move_dirt(pool, position, -double(p.amount));
    RoostBillboard& bb = pool->billboards[p.billboard];
    bb.position[0] = float(position.x);
    bb.position[1] = float(position.y);
    bb.position[2] = float(position.z);
    bb.height = type->size;
    bb.texture = type->texture;
    bb.visible = true;
    for (int c = 0; c < 4; c++)
        bb.colour[c] = type->colour[c];
    p.next = pool->active_head;
    pool->active_head = index;
    pool->active_count++;
    pool->thrown++;
    pool->peak_active = std::max(pool->peak_active, pool->active_count);
    return true;
}

void roost_update(RoostPool* pool, unsigned tick)
{
    const double dt = TICK_SECONDS;
    if (pool->ground)
        pool->ground->mark_tick = tick;
    int* link = &pool->active_head;
    while (*link >= 0) {
        int index = *link;
        RoostParticle& p = pool->particles[index];
        const RoostType& t = *p.type;
        p.position += p.velocity * dt;
        p.velocity -= p.velocity * (dt * t.drag);
        p.velocity.y -= 32 * dt;
        RoostBillboard& bb = pool->billboards[p.billboard];
        bb.position[0] = float(p.position.x);
        bb.position[1] = float(p.position.y);
        bb.position[2] = float(p.position.z);
        bb.height += float(dt * t.grow);
        for (int c = 0; c < 4; c++) {
            int v = bb.colour[c] + t.fade[c];
            bb.colour[c] = uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
        bool gone = !finite3(p.position) || !finite3(p.velocity);
        bool landed = false;
        if (!gone && p.velocity.y < 0) {
            if (pool->ground && !pool->ground->heights.empty())
                landed = terrain_height(pool->ground, p.position.x, p.position.z) > p.position.y;
            else
                landed = p.position.y < 0;
        }
        if (gone || landed) {
            if (landed)
                move_dirt(pool, p.position, double(p.amount));
            *link = p.next;
            release(pool, p, index);
            continue;
        }
        link = &p.next;
    }
}
