#include "files/model_file.h"

#include <gtest/gtest.h>

#include <cmath>

#include "files/stream.h"
#include "test_support.h"

namespace {

std::unique_ptr<Mesh> load_text(const std::string& text, std::string* error = nullptr)
{
    std::string path = test_scratch_dir("model_file") + "m.jm";
    EXPECT_TRUE(test_write_file(path, text));
    return model_file_load(path.c_str(), error);
}

int mesh_count(const Mesh* m)
{
    int n = 0;
    for (; m; m = m->next.get())
        n++;
    return n;
}

// A unit square in the xy plane facing +z, u along x and v along y.
const char* SQUARE =
    "4 2\n"
    "0 0 0  0 0 1  0 0\n"
    "1 0 0  0 0 1  1 0\n"
    "1 1 0  0 0 1  1 1\n"
    "0 1 0  0 0 1  0 1\n"
    "0 1 2  0 2 3\n";

}  // namespace

TEST(ModelFile, Version1ReadsLitAndEnvironmentMeshes)
{
    std::string text = std::string("JM1\n") + "12 0 0.5 0.25 0.125 " + SQUARE + "-1 0.75 0.1 0.2 0.3 " + SQUARE;
    std::string error;
    auto m = load_text(text, &error);
    ASSERT_TRUE(m) << error;
    ASSERT_EQ(mesh_count(m.get()), 2);
    EXPECT_TRUE(m->has_env);
    EXPECT_FLOAT_EQ(m->shininess, 12);
    EXPECT_FLOAT_EQ(m->colour[0], 0.5f);
    EXPECT_FLOAT_EQ(m->colour[2], 0.125f);
    EXPECT_FLOAT_EQ(m->colour[3], 1.0f);
    EXPECT_EQ(m->vertex_count, 4);
    EXPECT_EQ(m->triangle_count, 2);
    EXPECT_EQ(m->bone_count, 0);
    // The stored v is 1 - v.
    EXPECT_FLOAT_EQ(m->texcoords[2 * 2 + 1], 0.0f);
    EXPECT_FLOAT_EQ(m->texcoords[0 * 2 + 1], 1.0f);
    const Mesh* env = m->next.get();
    EXPECT_TRUE(mesh_is_env(*env));
    EXPECT_FLOAT_EQ(env->colour[0], 0.1f);
    EXPECT_FLOAT_EQ(env->colour[3], 0.75f);  // intensity
    EXPECT_FALSE(m->want_display_list);
}

TEST(ModelFile, LegacyFormIsOneWhiteMesh)
{
    auto m = load_text(SQUARE);
    ASSERT_TRUE(m);
    EXPECT_EQ(mesh_count(m.get()), 1);
    EXPECT_FLOAT_EQ(m->shininess, 32);
    for (float c : m->colour)
        EXPECT_FLOAT_EQ(c, 1.0f);
    EXPECT_EQ(m->bone_count, 0);
    EXPECT_TRUE(m->want_display_list);
    EXPECT_FALSE(m->has_env);
}

TEST(ModelFile, Version2NormalisesWeightsAndSpreadsZeroWeights)
{
    std::string text =
        "JM2 3 skeleton\n"
        "8 0 1 1 1 3 1\n"
        "0 0 0 0 0 1 0 0  2 1 1\n"
        "1 0 0 0 0 1 1 0  0 0 0\n"
        "0 1 0 0 0 1 0 1  0 5 0\n"
        "0 1 2\n";
    auto m = load_text(text);
    ASSERT_TRUE(m);
    ASSERT_EQ(m->bone_count, 3);
    const float want[9] = {0.5f, 0.25f, 0.25f, 1 / 3.f, 1 / 3.f, 1 / 3.f, 0, 1, 0};
    for (int i = 0; i < 9; i++)
        EXPECT_FLOAT_EQ(m->weights[size_t(i)], want[i]) << i;
    // Skinned meshes keep a rest-pose copy after the current arrays.
    EXPECT_EQ(m->positions.size(), 18u);
    EXPECT_EQ(m->normals.size(), 18u);
    EXPECT_EQ(m->tangents.size(), 18u);
    EXPECT_FLOAT_EQ(m->positions[9 + 3], 1.0f);
}

TEST(ModelFile, ShortAndMalformedFiles)
{
    struct Case {
        const char* what;
        std::string text;
        int meshes;  // 0: the load fails
    };
    std::string lit = "4 0 1 1 1 ";
    const Case cases[] = {
        {"empty file", "", 0},
        {"header only", "JM1\n", 0},
        {"bad header", "JX1\n", 0},
        {"JM without a number", "JM\n4 0 1 1 1 3 1\n", 0},
        {"unknown version", "JM3\n" + lit + SQUARE, 0},
        {"version 2 without bone count", "JM2\n", 0},
        {"negative bone count", "JM2 -1 x\n" + lit + SQUARE, 0},
        {"absurd bone count", "JM2 100000 x\n" + lit + SQUARE, 0},
        {"second mesh short keeps the first", "JM1\n" + lit + SQUARE + lit + "4 2\n0 0 0 0 0 1 0 0\n", 1},
        {"short triangle list", "JM1\n" + lit + "3 1\n0 0 0 0 0 1 0 0 1 0 0 0 0 1 1 0 0 1 0 0 0 1 0 1 0 1\n", 0},
        {"index past the vertices", "JM1\n" + lit + "3 1\n0 0 0 0 0 1 0 0 1 0 0 0 0 1 1 0 0 1 0 0 0 1 0 1 0 1 3\n", 0},
        {"negative index", "JM1\n" + lit + "3 1\n0 0 0 0 0 1 0 0 1 0 0 0 0 1 1 0 0 1 0 0 0 1 0 1 0 -1 2\n", 0},
        {"huge counts, little data", "JM1\n" + lit + "2000000000 2000000000\n0 0 0\n", 0},
        {"huge counts within limits, little data", "JM1\n" + lit + "1000000 2000000\n0 0 0\n", 0},
        {"negative counts", "JM1\n" + lit + "-4 2\n", 0},
        {"short weights", "JM2 2 x\n" + lit + "1 0\n0 0 0 0 0 1 0 0 1\n", 0},
        {"legacy short", "4 2\n0 0 0 0 0 1 0 0\n", 0},
        {"legacy negative count", "-1 0\n", 0},
        {"garbage", "hello world\n", 0},
    };
    for (const Case& c : cases) {
        std::string error;
        auto m = load_text(c.text, &error);
        EXPECT_EQ(mesh_count(m.get()), c.meshes) << c.what;
        if (c.meshes == 0) {
            EXPECT_FALSE(error.empty()) << c.what;
        }
    }
    std::string error;
    EXPECT_FALSE(model_file_load("/nonexistent/folder/model.jm", &error));
    EXPECT_FALSE(error.empty());
}

TEST(ModelFile, FormatReadsBackTheSameMeshes)
{
    std::string text =
        "JM2 2 skeleton\n"
        "16 0 0.25 0.5 0.75 3 1\n"
        "0.125 -2 3.5 0 1 0 0.25 0.75 1 0\n"
        "1 0 0 0 1 0 1 0 0.25 0.75\n"
        "0 0 1 0 1 0 0 1 0 1\n"
        "0 2 1\n"
        "-1 0.5 1 0.9 0.8 3 1\n"
        "0 0 0 0 0 1 0 0 1 0\n"
        "1 0 0 0 0 1 1 0 1 0\n"
        "0 1 0 0 0 1 0 1 0 1\n"
        "0 1 2\n";
    auto a = load_text(text);
    ASSERT_TRUE(a);
    std::string written = model_file_format(a.get());
    auto b = load_text(written);
    ASSERT_TRUE(b);
    ASSERT_EQ(mesh_count(b.get()), 2);
    for (const Mesh *x = a.get(), *y = b.get(); x && y; x = x->next.get(), y = y->next.get()) {
        EXPECT_EQ(x->shininess, y->shininess);
        for (int i = 0; i < 4; i++)
            EXPECT_FLOAT_EQ(x->colour[i], y->colour[i]);
        EXPECT_EQ(x->positions, y->positions);
        EXPECT_EQ(x->normals, y->normals);
        EXPECT_EQ(x->texcoords, y->texcoords);
        EXPECT_EQ(x->weights, y->weights);
        EXPECT_EQ(x->triangles, y->triangles);
    }
    // The same meshes always give the same bytes.
    EXPECT_EQ(model_file_format(b.get()), written);
    EXPECT_EQ(written.substr(0, 17), "JM2 2 kestrum\n16 ");
}

TEST(ModelMesh, TangentsAreRightHandedWithTheStoredV)
{
    // u along +x, stored v (1 - v) along -y: tangent, bitangent and normal
    // are kept right-handed, so the tangent comes out along -x.
    auto m = load_text(SQUARE);
    ASSERT_TRUE(m);
    for (int v = 0; v < 4; v++) {
        EXPECT_NEAR(m->tangents[size_t(v) * 3], -1.0, 1e-6) << v;
        EXPECT_NEAR(m->tangents[size_t(v) * 3 + 1], 0.0, 1e-6) << v;
    }
    // Mirrored in u: the same frame results.
    auto mirrored = load_text("3 1\n0 0 0 0 0 1 1 0\n1 0 0 0 0 1 0 0\n0 1 0 0 0 1 1 1\n0 1 2\n");
    ASSERT_TRUE(mirrored);
    EXPECT_NEAR(mirrored->tangents[0], -1.0, 1e-6);
    // u along +y, stored v along -x: the tangent follows u.
    auto turned = load_text("3 1\n0 0 0 0 0 1 0 0\n1 0 0 0 0 1 0 1\n0 1 0 0 0 1 1 0\n0 1 2\n");
    ASSERT_TRUE(turned);
    EXPECT_NEAR(turned->tangents[1], 1.0, 1e-6);
    // No texture mapping at all: the tangent lies along the longer edge.
    auto flat = load_text("3 1\n0 0 0 0 0 1 0 0\n0 3 0 0 0 1 0 0\n1 0 0 0 0 1 0 0\n0 1 2\n");
    ASSERT_TRUE(flat);
    EXPECT_NEAR(flat->tangents[1], 1.0, 1e-6);
}

TEST(ModelMesh, SkinningBlendsBonesFromTheRestPose)
{
    std::string text =
        "JM2 2 x\n"
        "8 0 1 1 1 3 1\n"
        "1 0 0  1 0 0  0 0  1 0\n"
        "1 0 0  1 0 0  1 0  0 1\n"
        "1 0 0  1 0 0  0 1  1 1\n"
        "0 1 2\n";
    auto m = load_text(text);
    ASSERT_TRUE(m);
    // Bone 0 stays put; bone 1 turns 90 degrees about z round (1,0,0) and
    // moves that point to (0,0,5).
    const float matrices[18] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 0, -1, 0, 0, 0, 0, 1};
    const float rest[6] = {0, 0, 0, 1, 0, 0};
    const float origins[6] = {0, 0, 0, 0, 0, 5};
    ModelBones bones{2, matrices, rest, origins};
    ASSERT_TRUE(mesh_skin(*m, bones));
    const float* p = m->positions.data();
    const float* n = m->normals.data();
    EXPECT_NEAR(p[0], 1, 1e-6);   // bone 0 only
    EXPECT_NEAR(p[2], 0, 1e-6);
    EXPECT_NEAR(p[3], 0, 1e-6);   // bone 1 only
    EXPECT_NEAR(p[5], 5, 1e-6);
    EXPECT_NEAR(n[4], 1, 1e-6);   // its normal turned from +x to +y
    EXPECT_NEAR(p[6], 0.5, 1e-6);  // half of each
    EXPECT_NEAR(p[8], 2.5, 1e-6);
    double len = std::sqrt(n[6] * n[6] + n[7] * n[7] + n[8] * n[8]);
    EXPECT_NEAR(len, 1, 1e-6);
    // Skinning starts from the rest pose each time, so it does not drift.
    ASSERT_TRUE(mesh_skin(*m, bones));
    EXPECT_NEAR(m->positions[5], 5, 1e-6);
    // Bone data of the wrong size is ignored.
    ModelBones wrong{1, matrices, rest, origins};
    EXPECT_FALSE(mesh_skin(*m, wrong));
}

TEST(ModelMesh, VariantChoiceByDistanceScaleAndBias)
{
    auto full = load_text(SQUARE);
    ASSERT_TRUE(full);
    auto near = load_text(SQUARE);
    auto far = load_text(SQUARE);
    near->lod_distance = 8;
    far->lod_distance = 32;
    Mesh* near_raw = near.get();
    Mesh* far_raw = far.get();
    near->next_lod = std::move(far);
    full->next_lod = std::move(near);

    struct Case {
        double scale, bias, distance;
        const Mesh* want;
    };
    const Case cases[] = {
        {1, 0, 5, full.get()}, {1, 0, 20, near_raw}, {1, 0, 40, far_raw},
        {1, 0, 8, near_raw},      // from exactly its distance on
        {2, 0, 5, near_raw},      // a larger scale makes everything seem farther
        {1, 10, 20, full.get()},  // 8 - 10 is not positive: never chosen ...
        {1, 10, 1000, far_raw},   // ... while the 32 variant starts at 22
        {1, 10, 21, full.get()},
    };
    for (const Case& c : cases) {
        lod_settings_set(c.scale, c.bias);
        EXPECT_EQ(model_choose_variant(full.get(), vec3(c.distance, 0, 0), vec3(0, 0, 0)), c.want)
            << c.scale << " " << c.bias << " " << c.distance;
    }
    lod_settings_set(0, 0);
    EXPECT_DOUBLE_EQ(lod_settings().scale, 0.000001);
    lod_settings_set(1, 0);
}

TEST(ModelMesh, VariantNamesGiveDistances)
{
    EXPECT_DOUBLE_EQ(model_variant_distance("crf250_frame_lod3.jm", "crf250_frame"), 8);
    EXPECT_DOUBLE_EQ(model_variant_distance("statues/tree_lod5.jm.gz", "statues/tree"), 32);
    EXPECT_LT(model_variant_distance("crf250_frame.jm", "crf250_frame"), 0);
    EXPECT_LT(model_variant_distance("crf250_frame_lodx.jm", "crf250_frame"), 0);
    EXPECT_LT(model_variant_distance("kx125_frame_lod3.jm", "crf250_frame"), 0);
}

TEST(ModelFile, PovMeshBlock)
{
    auto m = load_text("3 1\n0 0 0 0 0 1 0 0\n1 0 0 0 0 1 1 0\n0 2 0 0 0 1 0 1\n0 1 2\n");
    ASSERT_TRUE(m);
    std::string path = test_scratch_dir("model_pov") + "out.pov";
    Stream* s = stream_open(path.c_str(), "wb");
    ASSERT_TRUE(s);
    mesh_write_pov(m.get(), s);
    stream_close(s);
    EXPECT_EQ(test_read_file(path),
              "mesh2 {\n"
              "\tvertex_vectors {\n\t\t3\n"
              "\t\t<0.000000,0.000000,0.000000>,\n\t\t<1.000000,0.000000,0.000000>,\n"
              "\t\t<0.000000,2.000000,0.000000>\n\t}\n"
              "\tnormal_vectors {\n\t\t3\n"
              "\t\t<0.000000,0.000000,1.000000>,\n\t\t<0.000000,0.000000,1.000000>,\n"
              "\t\t<0.000000,0.000000,1.000000>\n\t}\n"
              "\tuv_vectors {\n\t\t3\n"
              "\t\t<0.000000,1.000000>,\n\t\t<1.000000,1.000000>,\n\t\t<0.000000,0.000000>\n\t}\n"
              "\tface_indices {\n\t\t1\n\t\t<0,1,2>\n\t}\n"
              "}\n");
}
