// Checks of the shipped models against what the game expects of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "files/model_file.h"
#include "files/stream.h"
#include "test_support.h"

namespace {

std::unique_ptr<Mesh> load(const std::string& name)
{
    std::string error;
    auto m = model_file_load(("@" + name).c_str(), &error);
    EXPECT_TRUE(m) << name << ": " << error;
    return m;
}

}  // namespace

TEST(ModelData, EveryModelReadsWithLitMeshesFirst)
{
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "no built data set";
    int files = 0;
    for (std::string name : data_file_names()) {
        // Large models are packed gzipped; they open by their plain name.
        if (name.size() > 3 && name.compare(name.size() - 3, 3, ".gz") == 0)
            name.resize(name.size() - 3);
        if (name.size() < 3 || name.compare(name.size() - 3, 3, ".jm") != 0)
            continue;
        auto m = load(name);
        if (!m)
            continue;
        files++;
        // The lit pass stops at the first environment mesh, so nothing lit
        // may follow one.
        bool seen_env = false;
        for (const Mesh* p = m.get(); p; p = p->next.get()) {
            EXPECT_FALSE(seen_env && !mesh_is_env(*p)) << name;
            seen_env = seen_env || mesh_is_env(*p);
            EXPECT_GT(p->triangle_count, 0) << name;
        }
    }
    EXPECT_GT(files, 60);
}

TEST(ModelData, RiderMeshesAreSkinnedToNineBones)
{
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "no built data set";
    for (const char* name :
         {"rider_body.jm", "rider_body_lod5.jm", "rider_body_lod7.jm", "rider_body_fp.jm", "rider_plate.jm"}) {
        auto m = load(name);
        if (!m)
            continue;
        for (const Mesh* p = m.get(); p; p = p->next.get()) {
            ASSERT_EQ(p->bone_count, 9) << name;
            // Every vertex follows some bone.
            for (int v = 0; v < p->vertex_count; v++) {
                double sum = 0;
                for (int b = 0; b < 9; b++)
                    sum += p->weights[size_t(v) * 9 + size_t(b)];
                EXPECT_NEAR(sum, 1.0, 1e-3) << name << " vertex " << v;
            }
        }
    }
    // Hands sit at the end of the forearms and feet at the end of the shins
    // in the rest pose; these vertices must follow those bones alone.
    for (const char* name : {"rider_body.jm", "rider_body_lod5.jm", "rider_body_lod7.jm"}) {
        auto body = load(name);
        ASSERT_TRUE(body);
        int hands = 0, feet = 0;
        for (const Mesh* p = body.get(); p; p = p->next.get())
            for (int v = 0; v < p->vertex_count; v++) {
                const float* pos = &p->positions[size_t(v) * 3];
                const float* w = &p->weights[size_t(v) * 9];
                if (std::fabs(pos[0]) > 2.3f) {
                    hands++;
                    EXPECT_FLOAT_EQ(w[pos[0] < 0 ? 0 : 1], 1.0f) << name;
                }
                if (pos[1] < -3.5f) {
                    feet++;
                    EXPECT_FLOAT_EQ(w[pos[0] < 0 ? 4 : 5], 1.0f) << name;
                }
            }
        EXPECT_GT(hands, 10) << name;
        EXPECT_GT(feet, 10) << name;
    }
}

TEST(ModelData, WheelsMatchTheTyreSizes)
{
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "no built data set";
    struct Case {
        const char* name;
        double outer;
    };
    const Case cases[] = {{"front_wheel.jm", 7.0 / 6},     {"rear_wheel.jm", 13.0 / 12},
                          {"front_wheel_lod5.jm", 7.0 / 6}, {"rear_wheel_lod7.jm", 13.0 / 12}};
    for (const Case& c : cases) {
        auto m = load(c.name);
        if (!m)
            continue;
        double widest = 0;
        for (const Mesh* p = m.get(); p; p = p->next.get())
            for (int v = 0; v < p->vertex_count; v++)
                widest = std::max(widest, std::hypot(double(p->positions[size_t(v) * 3 + 1]),
                                                     double(p->positions[size_t(v) * 3 + 2])));
        EXPECT_NEAR(widest, c.outer, 0.03) << c.name;
    }
}

namespace {

struct Extent {
    double lo[3] = {1e30, 1e30, 1e30}, hi[3] = {-1e30, -1e30, -1e30};
    long triangles = 0;
    int bones = -1;
};

Extent extent_of(const Mesh* m)
{
    Extent e;
    for (const Mesh* p = m; p; p = p->next.get()) {
        e.triangles += p->triangle_count;
        e.bones = p->bone_count;
        for (int v = 0; v < p->vertex_count; v++)
            for (int k = 0; k < 3; k++) {
                double x = p->positions[size_t(v) * 3 + size_t(k)];
                e.lo[k] = std::min(e.lo[k], x);
                e.hi[k] = std::max(e.hi[k], x);
            }
    }
    return e;
}

}  // namespace

// Every moving part of a bike and rider has coarser copies for 32 ft and
// 128 ft; each is a copy of the same shape (same place and size, same
// bones) with fewer triangles than the one it takes over from.
TEST(ModelData, DistanceVariantsAreCoarserCopiesOfTheSameShape)
{
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "no built data set";
    std::vector<std::string> bases = {"front_wheel", "rear_wheel", "rider_body", "rider_head"};
    for (const char* make : {"crf250", "kx250f", "rmz250", "yz250f", "cr125", "kx125", "rm125", "yz125", "125sx"})
        for (const char* part : {"_frame", "_fork_upper", "_fork_lower", "_swingarm"})
            bases.push_back(std::string(make) + part);
    for (const std::string& base : bases) {
        auto full = load(base + ".jm");
        if (!full)
            continue;
        Extent previous = extent_of(full.get()), whole = previous;
        for (const char* lod : {"_lod5.jm", "_lod7.jm"}) {
            std::string name = base + lod;
            auto v = load(name);
            if (!v)
                continue;
            Extent e = extent_of(v.get());
            EXPECT_LT(e.triangles, previous.triangles) << name;
            EXPECT_EQ(e.bones, whole.bones) << name;
            for (int k = 0; k < 3; k++) {
                EXPECT_NEAR(e.lo[k], whole.lo[k], 0.1) << name << " axis " << k;
                EXPECT_NEAR(e.hi[k], whole.hi[k], 0.1) << name << " axis " << k;
            }
            previous = e;
        }
    }
}
