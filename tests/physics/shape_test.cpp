// Collision shape files: parsing, failures, and the shapes the data set
// builder makes for the bikes.
#include <gtest/gtest.h>

#include <cmath>

#include "physics/bike_model.h"
#include "physics/shape.h"
#include "test_support.h"

TEST(Shape, ParsesElementsSeparatedByAnyWhiteSpace)
{
    CollisionShape s;
    std::string err;
    ASSERT_TRUE(shape_parse("2\n0 1 0\t0.5 0.4 2500 250\r\n3 0 4 1\n0.5\n9000 900", &s, &err))
        << err;
    ASSERT_EQ(s.elements.size(), 2u);
    EXPECT_FLOAT_EQ(s.elements[1].centre[2], 4);
    EXPECT_FLOAT_EQ(s.elements[1].damping, 900);
    EXPECT_FLOAT_EQ(s.bounding_radius, 6);  // |(3,0,4)| + 1
}

TEST(Shape, RejectsMalformedFilesWithAReason)
{
    struct Case {
        const char* text;
        const char* why;
    };
    const Case cases[] = {
        {"", "missing element count"},
        {"abc", "missing element count"},
        {"-1", "element count out of range"},
        {"999999999", "element count out of range"},
        {"1 0 0 0 1 0.5 2500", "element 0: missing damping"},
        {"2 0 0 0 1 0.5 2500 250 0 0", "element 1: missing centre z"},
        {"1 0 0 0 -1 0.5 2500 250", "element 0: negative radius"},
        {"1 nan 0 0 1 0.5 2500 250", "element 0: centre x out of range"},
    };
    for (const Case& c : cases) {
        CollisionShape s;
        std::string err;
        EXPECT_FALSE(shape_parse(c.text, &s, &err)) << c.text;
        EXPECT_EQ(err, c.why) << c.text;
    }
}

TEST(Shape, BuiltBikeShapesLoadAndSitOnTheBike)
{
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "data set not built";
    shape_cache_clear();

    const BikeModel* m = bike_model_at(0);
    const char* names[] = {m->frame_shape,      m->fork_upper_shape,  m->fork_lower_shape,
                           m->swingarm_shape,   m->front_wheel_shape, m->rear_wheel_shape,
                           m->rider_shape};
    for (const char* n : names) {
        const CollisionShape* s = shape_load(n);
        ASSERT_NE(s, nullptr) << n;
        EXPECT_GE(s->elements.size(), 7u) << n;
        EXPECT_EQ(shape_load(n), s) << "cached";
        for (const ShapeElement& e : s->elements) {
            EXPECT_GT(e.radius, 0.05f) << n;
            EXPECT_GT(e.friction, 0.1f) << n;
            EXPECT_GE(e.stiffness, 2500) << n;
            EXPECT_LE(e.stiffness, 25000) << n;
        }
        // Parts are a few feet across about their body's origin.
        EXPECT_LT(s->bounding_radius, 4.0f) << n;
    }
    // The rider's helmet is his highest sphere, above the seat.
    const CollisionShape* rider = shape_load(m->rider_shape);
    float top = -100;
    for (const ShapeElement& e : rider->elements)
        top = std::fmax(top, e.centre[1] + e.radius);
    EXPECT_NEAR(top, 0.808383f + 0.42f, 1e-3);
    // Wheel spheres lie on the tyre ring.
    const ShapeElement& w = shape_load(m->rear_wheel_shape)->elements[4];
    EXPECT_NEAR(std::hypot(w.centre[1], w.centre[2]), m->rear_ring_radius, 1e-3);

    CollisionShape* copy = shape_instance(m->frame_shape);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->source, shape_load(m->frame_shape));
    shape_free(copy);
    EXPECT_EQ(shape_load("@no_such_shape.shp"), nullptr);
    shape_cache_clear();
}
