// Checks of the shipped models against what the game expects of them.
#include <gtest/gtest.h>

#include <cmath>

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
    for (const char* name : {"rider_body.jm", "rider_body_fp.jm", "rider_plate.jm"}) {
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
    auto body = load("rider_body.jm");
    ASSERT_TRUE(body);
    int hands = 0, feet = 0;
    for (const Mesh* p = body.get(); p; p = p->next.get())
        for (int v = 0; v < p->vertex_count; v++) {
            const float* pos = &p->positions[size_t(v) * 3];
            const float* w = &p->weights[size_t(v) * 9];
            if (std::fabs(pos[0]) > 2.3f) {
                hands++;
                EXPECT_FLOAT_EQ(w[pos[0] < 0 ? 0 : 1], 1.0f);
            }
            if (pos[1] < -3.5f) {
                feet++;
                EXPECT_FLOAT_EQ(w[pos[0] < 0 ? 4 : 5], 1.0f);
            }
        }
    EXPECT_GT(hands, 10);
    EXPECT_GT(feet, 10);
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
