// Roost particles: flight, fading, landing, the pool's limit and the dirt
// they move with erosion on.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "track/particles.h"
#include "track/terrain.h"

namespace {

// A flat grid of 64 x 64 cells, 4 ft each, at height 10, with shading.
void flat_ground(HeightField* hf)
{
    hf->order = 5;
    hf->vertex_count = 65;
    hf->spacing = 4;
    hf->extent = 256;
    hf->heights.assign(65 * 65, 10.0f);
    hf->shading.assign(65 * 65 * 3, 128);
    hf->shadows.assign(65 * 65, 0);
    hf->min_height = hf->max_height = 10;
}

double height_sum(const HeightField& hf)
{
    double s = 0;
    for (float h : hf.heights)
        s += h;
    return s;
}

RoostType dirt()
{
    RoostType t;
    t.kind = 1;
    t.drag = 0.5f;
    t.grow = 4;
    t.size = 0.25f;
    return t;
}

}  // namespace

TEST(RoostParticles, FlyFadeAndLand)
{
    HeightField hf;
    flat_ground(&hf);
    auto pool = std::make_unique<RoostPool>();
    roost_pool_init(pool.get(), &hf, 0);
    RoostType t = dirt();
    // Thrown up and back from just below the surface: it keeps flying while
    // it rises.
    ASSERT_TRUE(roost_spawn(pool.get(), vec3(100, 9.9, 100), vec3(0, 20, 10), 0.1, &t));
    EXPECT_EQ(pool->active_count, 1);
    const RoostParticle& p = pool->particles[pool->active_head];
    const RoostBillboard& bb = pool->billboards[p.billboard];
    EXPECT_TRUE(bb.visible);
    EXPECT_EQ(bb.colour[3], 255);
    double peak = 0;
    int ticks = 0;
    while (pool->active_count > 0 && ticks < 1000) {
        roost_update(pool.get(), unsigned(ticks));
        ticks++;
        if (pool->active_count) {
            peak = std::fmax(peak, p.position.y);
            EXPECT_EQ(bb.colour[3], 255 - std::min(255, 2 * ticks));
            EXPECT_NEAR(bb.height, 0.25 + 4.0 * ticks / 128, 1e-4);
        }
    }
    // Up about 6 ft (less with drag), down again in a bit over a second.
    EXPECT_GT(peak, 14);
    EXPECT_LT(peak, 16.5);
    EXPECT_GT(ticks, 128);
    EXPECT_LT(ticks, 200);
    EXPECT_LE(p.position.y, 10);
    EXPECT_GT(p.position.z, 105);  // drifted back
    EXPECT_FALSE(bb.visible);
    EXPECT_EQ(bb.texture, 0);
    // Fully faded after 128 ticks from alpha 255 at -2 a tick.
    EXPECT_EQ(bb.colour[3], 0);
    EXPECT_EQ(pool->free_head, 0);
}

TEST(RoostParticles, PoolOfTwoThousandDropsFurtherEmissions)
{
    auto pool = std::make_unique<RoostPool>();
    roost_pool_init(pool.get(), nullptr, 0);
    RoostType t = dirt();
    for (int i = 0; i < ROOST_POOL_SIZE; i++)
        ASSERT_TRUE(roost_spawn(pool.get(), vec3(i, 5, 0), vec3(0, 1, 0), 0.1, &t));
    EXPECT_FALSE(roost_spawn(pool.get(), vec3(0, 5, 0), vec3(0, 1, 0), 0.1, &t));
    EXPECT_EQ(pool->active_count, ROOST_POOL_SIZE);
    // Bad values are refused, not flown.
    roost_pool_init(pool.get(), nullptr, 0);
    EXPECT_FALSE(roost_spawn(pool.get(), vec3(NAN, 5, 0), vec3(0, 1, 0), 0.1, &t));
    EXPECT_FALSE(roost_spawn(pool.get(), vec3(0, 5, 0), vec3(0, INFINITY, 0), 0.1, &t));
    EXPECT_FALSE(roost_spawn(pool.get(), vec3(0, 5, 0), vec3(0, 1, 0), 0.1, nullptr));
    EXPECT_EQ(pool->active_count, 0);
    // All of them land and the whole pool is free again.
    for (int i = 0; i < ROOST_POOL_SIZE; i++)
        ASSERT_TRUE(roost_spawn(pool.get(), vec3(i, 5, 0), vec3(0, 1, 0), 0.1, &t));
    for (int i = 0; i < 256; i++)
        roost_update(pool.get(), unsigned(i));
    EXPECT_EQ(pool->active_count, 0);
    int free_count = 0;
    for (int i = pool->free_head; i >= 0; i = pool->particles[i].next)
        free_count++;
    EXPECT_EQ(free_count, ROOST_POOL_SIZE);
}

TEST(RoostParticles, ErosionMovesDirtFromTakeOffToLanding)
{
    struct Case {
        double erosion;
        bool moves;
    } cases[] = {{0, false}, {1, true}, {0.5, true}};
    for (const Case& c : cases) {
        HeightField hf;
        flat_ground(&hf);
        auto pool = std::make_unique<RoostPool>();
        roost_pool_init(pool.get(), &hf, c.erosion);
        RoostType t = dirt();
        double before = height_sum(hf);
        std::vector<uint8_t> shading = hf.shading;
        for (int i = 0; i < 50; i++)
            ASSERT_TRUE(roost_spawn(pool.get(), vec3(100, 10, 100), vec3(0, 15, 40), 0.1, &t));
        double at_start = terrain_height(&hf, 100, 100);
        for (int i = 0; i < 512 && pool->active_count; i++)
            roost_update(pool.get(), unsigned(i));
        ASSERT_EQ(pool->active_count, 0);
        double takeoff = terrain_height(&hf, 100, 100);
        // 15 ft/s up stays about 0.9 s in the air; 40 ft/s back with drag
        // lands some 30 ft behind.
        double landing = 0;
        for (double z = 110; z < 160; z += 0.5)
            landing = std::fmax(landing, terrain_height(&hf, 100, z));
        if (!c.moves) {
            EXPECT_EQ(takeoff, 10);
            EXPECT_EQ(landing, 10);
            EXPECT_EQ(hf.shading, shading);
            EXPECT_FALSE(hf.changed);
            continue;
        }
        // 50 particles of 102 units, 1020 units a foot: 5 ft of height in
        // all, spread over the dug vertices.
        EXPECT_LT(at_start, 10);
        EXPECT_LT(takeoff, 10 - 0.1 * c.erosion);
        EXPECT_GT(landing, 10 + 0.1 * c.erosion);
        EXPECT_NEAR(height_sum(hf), before, 1e-3);  // all within the grid
        EXPECT_NE(hf.shading, shading);             // the dug ground darkened
    }
}

TEST(RoostParticles, DirtThatLeavesTheGridIsLost)
{
    HeightField hf;
    flat_ground(&hf);
    auto pool = std::make_unique<RoostPool>();
    roost_pool_init(pool.get(), &hf, 1);
    RoostType t = dirt();
    t.drag = 0;
    double before = height_sum(hf);
    // Thrown from near the edge far beyond it.
    ASSERT_TRUE(roost_spawn(pool.get(), vec3(250, 10, 100), vec3(200, 20, 0), 0.2, &t));
    for (int i = 0; i < 512 && pool->active_count; i++)
        roost_update(pool.get(), unsigned(i));
    EXPECT_EQ(pool->active_count, 0);
    double dug = before - height_sum(hf);
    EXPECT_NEAR(dug, 204.0 / 1020, 1e-4);
}
