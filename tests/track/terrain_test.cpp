// Height field: triangulation, normals, loading paths, saving, digging and
// every failure the loader reports.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdlib>

#include "files/image.h"
#include "files/stream.h"
#include "files/ripemd160.h"
#include "track/terrain.h"
#include "track/track_fixture.h"

namespace {

// A loaded field from fixture files in a fresh scratch folder.
std::unique_ptr<HeightField> load_fixture(const std::string& tag, const TrackFiles& files, bool* ok)
{
    std::string dir = test_scratch_dir(tag) + "trk";
    track_fixture_write(dir, files);
    auto hf = make_field();
    *ok = terrain_load(hf.get(), dir.c_str());
    return hf;
}

std::unique_ptr<HeightField> field_from(int n, float spacing, const std::function<float(int, int)>& fn,
                                        float low = -10, float high = 10)
{
    bool ok = false;
    auto hf = load_fixture("terrain-field", track_fixture(n, spacing, low, high, fn), &ok);
    EXPECT_TRUE(ok);
    return hf;
}

float vertex(const HeightField& hf, int i, int j) { return hf.heights[size_t(j * hf.vertex_count + i)]; }

std::string png8_grey(int w, int h, uint8_t value)
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep d, png_size_t n) {
            static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(d), n);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t(w), value);
    for (int y = 0; y < h; y++)
        png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

TEST(TerrainHeight, FollowsTheAlternatingDiagonals)
{
    // One raised vertex: the centre of a cell lies on its diagonal, so it
    // sees half the raise in cells whose diagonal runs through the vertex
    // and nothing in the others.
    auto hf = field_from(2, 2.0f, [](int i, int j) { return i == 3 && j == 3 ? 8.0f : 0.0f; });
    // A vertex of even i + j lies on the diagonals of all four of its cells.
    // Cell (3,3) same parity: diagonal (3,3)-(4,4) -> half the raise.
    EXPECT_NEAR(terrain_height(hf.get(), 7, 7), 4.0, 1e-3);
    // Cell (2,3) different parity: diagonal (3,3)-(2,4) passes the corner.
    EXPECT_NEAR(terrain_height(hf.get(), 5, 7), 4.0, 1e-3);
    // Cell (3,2) different parity: diagonal (4,2)-(3,3) also meets it.
    EXPECT_NEAR(terrain_height(hf.get(), 7, 5), 4.0, 1e-3);
    // Cell (2,2) same parity: diagonal (2,2)-(3,3): on it, half again.
    EXPECT_NEAR(terrain_height(hf.get(), 5, 5), 4.0, 1e-3);
    // Cell (4,3) different parity: diagonal (5,3)-(4,4) misses the corner.
    EXPECT_NEAR(terrain_height(hf.get(), 9, 7), 0.0, 1e-3);
    EXPECT_NEAR(terrain_height(hf.get(), 6, 6), 8.0, 1e-3);

    // A vertex of odd i + j lies on none of its cells' diagonals, so every
    // cell centre around it stays at the ground level.
    auto odd = field_from(2, 2.0f, [](int i, int j) { return i == 3 && j == 4 ? 8.0f : 0.0f; });
    for (auto [x, z] : {std::pair{7, 9}, std::pair{7, 7}, std::pair{5, 9}, std::pair{5, 7}})
        EXPECT_NEAR(terrain_height(odd.get(), x, z), 0.0, 1e-3) << x << "," << z;
    EXPECT_NEAR(terrain_height(odd.get(), 6, 8), 8.0, 1e-3);
}

TEST(TerrainHeight, DiagonalPointsAgreeFromBothTriangles)
{
    auto hf = field_from(2, 1.5f, [](int i, int j) { return float((i * 7 + j * 13) % 11) - 5.0f; });
    double L = hf->spacing;
    for (int j = 0; j < 8; j++)
        for (int i = 0; i < 8; i++)
            for (double t : {0.2, 0.5, 0.8}) {
                // Point on the cell's diagonal, then nudged into each triangle.
                bool odd = (i + j) & 1;
                double x = (i + t) * L, z = odd ? (j + 1 - t) * L : (j + t) * L;
                double nx = 1e-6, nz = odd ? 1e-6 : -1e-6;  // across the diagonal
                float on = terrain_height(hf.get(), x, z);
                EXPECT_NEAR(on, terrain_height(hf.get(), x + nx, z + nz), 1e-3);
                EXPECT_NEAR(on, terrain_height(hf.get(), x - nx, z - nz), 1e-3);
            }
}

TEST(TerrainHeight, ReproducesAPlaneAndContinuesFlatBeyondTheEdges)
{
    auto hf = field_from(2, 2.0f, [](int i, int j) { return 0.5f * float(i) - 0.25f * float(j); });
    for (double x : {0.3, 3.7, 9.9, 15.2})
        for (double z : {0.1, 4.4, 11.0, 15.9})
            EXPECT_NEAR(terrain_height(hf.get(), x, z), 0.25 * x - 0.125 * z, 1e-3);
    float extent = hf->extent;
    EXPECT_NEAR(terrain_height(hf.get(), -50, 4), vertex(*hf, 0, 2), 1e-4);
    EXPECT_NEAR(terrain_height(hf.get(), extent + 30, 4), vertex(*hf, 8, 2), 1e-4);
    EXPECT_NEAR(terrain_height(hf.get(), 1e30, -1e30), vertex(*hf, 8, 0), 1e-4);
    EXPECT_NEAR(terrain_height(hf.get(), std::nan(""), 0), vertex(*hf, 0, 0), 1e-4);
    Vec3 n;
    terrain_normal(hf.get(), -20, -20, &n);
    EXPECT_NEAR(n.x, 0, 1e-9);
    EXPECT_NEAR(n.z, 0, 1e-9);
    EXPECT_NEAR(n.y, 4.0, 1e-9);
}

TEST(TerrainNormal, PointsUpWithLengthOfTheCellArea)
{
    // Slope 0.25 per foot along x, -0.125 along z: n ~ (-0.25, 1, 0.125) * L^2.
    auto hf = field_from(2, 2.0f, [](int i, int j) { return 0.5f * float(i) - 0.25f * float(j); });
    for (double x : {1.0, 2.9, 3.1, 5.5})
        for (double z : {1.2, 2.8, 6.6}) {
            Vec3 n;
            terrain_normal(hf.get(), x, z, &n);
            EXPECT_NEAR(n.y, 4.0, 1e-9);
            EXPECT_NEAR(n.x, -0.25 * 4.0, 2e-3);   // heights are quantised to 16 bits
            EXPECT_NEAR(n.z, 0.125 * 4.0, 2e-3);
        }
}

TEST(TerrainLoad, HeaderOnlyWithoutPictureIsFlatAtTheLowHeight)
{
    TrackFiles f = track_fixture(2, 2.0f, 0, 1, [](int, int) { return 0.0f; });
    f.terrain_hf = "2 2.0 3.5 9.0\n";
    bool ok = false;
    auto hf = load_fixture("terrain-flat", f, &ok);
    ASSERT_TRUE(ok);
    for (float h : hf->heights)
        EXPECT_FLOAT_EQ(h, 3.5f);
    EXPECT_EQ(hf->edit_generation, 1);
    EXPECT_EQ(hf->ground_texture_resolution, 128);
}

TEST(TerrainLoad, EightBitPictureReachesTheHighHeightAndClampsItsSize)
{
    TrackFiles f = track_fixture(2, 2.0f, 0, 1, [](int, int) { return 0.0f; });
    f.terrain_hf = "2 2.0 -1.0 7.0\n";
    f.terrain_png = png8_grey(3, 2, 255);  // smaller than the grid: edges repeat
    bool ok = false;
    auto hf = load_fixture("terrain-png8", f, &ok);
    ASSERT_TRUE(ok);
    for (float h : hf->heights)
        EXPECT_FLOAT_EQ(h, 7.0f);
}

TEST(TerrainSave, ReloadKeepsHeightsWithinOneStepAndShadingExactly)
{
    std::string root = test_scratch_dir("terrain-save");
    std::string old_xdg = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    setenv("XDG_DATA_HOME", root.c_str(), 1);
    data_paths_reset();

    TrackFiles f = track_fixture(3, 1.5f, -20, 30, [](int i, int j) {
        return float(std::sin(i * 0.7) * 12 + std::cos(j * 0.3) * 9);
    });
    int p = 17;
    f.shadingx2 = "P6\n17 17\n255\n";
    for (int k = 0; k < p * p * 3; k++)
        f.shadingx2 += char((k * 37) % 256);
    f.decals = "[ 3 4 ] 0.5 2 1.5 @decal/rut.png\n";
    track_fixture_write(root + "kestrum/savetrack", f);

    auto hf = make_field();
    ASSERT_TRUE(terrain_load(hf.get(), "@savetrack"));
    ASSERT_EQ(hf->decals.size(), 1u);
    hf->tilemap[5] = 1;
    std::vector<float> before = hf->heights;
    std::vector<uint8_t> shading = hf->shading;
    ASSERT_TRUE(terrain_save(hf.get()));
    float step = (hf->max_height - hf->min_height) / 65535.0f;

    std::string hfile = test_read_file(root + "kestrum/savetrack/terrain.hf");
    EXPECT_EQ(hfile.find(':'), std::string::npos);
    std::string doubled = test_read_file(root + "kestrum/savetrack/shading.ppm");
    ASSERT_GT(doubled.size(), 20u);
    EXPECT_EQ(uint8_t(doubled[doubled.size() - 1]), std::min(255, 2 * shading.back()));

    auto again = make_field();
    ASSERT_TRUE(terrain_load(again.get(), "@savetrack"));
    for (size_t k = 0; k < before.size(); k++)
        ASSERT_NEAR(again->heights[k], before[k], step * 1.01f) << k;
    EXPECT_EQ(again->shading, shading);
    EXPECT_EQ(again->tilemap[5], 1);
    ASSERT_EQ(again->decals.size(), 1u);
    EXPECT_EQ(again->decals[0].texture_name, "@decal/rut.png");
    EXPECT_FLOAT_EQ(again->decals[0].size, 2.0f);

    if (old_xdg.empty())
        unsetenv("XDG_DATA_HOME");
    else
        setenv("XDG_DATA_HOME", old_xdg.c_str(), 1);
    data_paths_reset();
}

TEST(TerrainSave, ReportsTheFileItCannotCreate)
{
    MessageCatcher msgs;
    auto hf = field_from(2, 2.0f, [](int, int) { return 1.0f; });
    hf->folder = "/dev/null/nowhere";
    EXPECT_FALSE(terrain_save(hf.get()));
    EXPECT_TRUE(msgs.saw("Can't open 'terrain.hf'")) << msgs.all();
}

TEST(TerrainDig, SpreadsTheAmountAndSkipsVerticesOutsideTheGrid)
{
    auto total = [](const HeightField& hf) {
        double s = 0;
        for (float h : hf.heights)
            s += h;
        return s;
    };
    auto hf = field_from(3, 2.0f, [](int, int) { return 0.0f; }, 0.0f, 10.0f);
    double t0 = total(*hf);
    terrain_dig(hf.get(), 15.3, 16.7, -1.0);
    EXPECT_NEAR(total(*hf) - t0, -1.0, 1e-4);   // inside: all of dh lands
    EXPECT_TRUE(hf->changed);
    EXPECT_LT(hf->min_height, 0.0f);
    // Only the 4 x 4 vertices around the point move.
    for (int j = 0; j < hf->vertex_count; j++)
        for (int i = 0; i < hf->vertex_count; i++)
            if (i < 6 || i > 9 || j < 7 || j > 10) {
                ASSERT_EQ(vertex(*hf, i, j), 0.0f);
            }

    // At the corner the weights of the missing vertices are simply lost.
    auto edge = field_from(3, 2.0f, [](int, int) { return 0.0f; }, 0.0f, 10.0f);
    terrain_dig(edge.get(), 0.4, 0.2, -1.0);
    double moved = total(*edge);
    EXPECT_LT(moved, -0.2);
    EXPECT_GT(moved, -0.999);
    EXPECT_LT(vertex(*edge, 0, 0), vertex(*edge, 1, 1));

    // A frozen ground keeps its heights.
    auto frozen = field_from(3, 2.0f, [](int, int) { return 0.0f; }, 0.0f, 10.0f);
    frozen->frozen = true;
    terrain_dig(frozen.get(), 15.3, 16.7, -1.0);
    EXPECT_EQ(total(*frozen), 0.0);
}

TEST(TerrainDig, KeepsShadingLitToTheNewSlopeAndDarkensTheMark)
{
    auto hf = field_from(3, 2.0f, [](int, int) { return 0.0f; });
    hf->light.sun = vec3_normalize({1, 1, 0});
    shading_recompute(hf.get(), 0, 0, 100, 100);
    int flat[3];
    terrain_vertex_lighting(hf.get(), 8, 8, flat);
    // Raising a mound makes its sun side brighter and its far side darker.
    for (int k = 0; k < 40; k++)
        terrain_dig(hf.get(), 16, 16, 0.5);
    int sun_side[3], far_side[3];
    terrain_vertex_lighting(hf.get(), 9, 8, sun_side);
    terrain_vertex_lighting(hf.get(), 7, 8, far_side);
    EXPECT_GT(sun_side[0], flat[0]);
    EXPECT_LT(far_side[0], flat[0]);
    const uint8_t* sh = &hf->shading[(8 * size_t(hf->vertex_count) + 9) * 3];
    // The shading follows the new lighting, less the darkening of the marks.
    EXPECT_LE(sh[1], sun_side[1]);
    EXPECT_GT(sh[1], flat[1] - 64);
}

TEST(TerrainLoad, TilemapBytesClampToTheLastSurfaceType)
{
    TrackFiles f = track_fixture(2, 2.0f, 0, 1, [](int, int) { return 0.0f; });
    for (size_t k = 0; k < f.tilemap.size(); k++)
        f.tilemap[k] = char(k * 17);
    bool ok = false;
    auto hf = load_fixture("terrain-tilemap", f, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(hf->surface_count, 2);
    EXPECT_EQ(hf->tilemap[0], 0);
    for (size_t k = 1; k < hf->tilemap.size(); k++)
        EXPECT_EQ(hf->tilemap[k], 1);
    // Lookup: tile (column 1, row 0) covers x in [4, 8) at spacing 2.
    EXPECT_EQ(surface_at(hf.get(), 1.0, 1.0), 0);
    EXPECT_EQ(surface_at(hf.get(), 5.0, 1.0), 1);
    EXPECT_EQ(surface_at(hf.get(), -100, -100), 0);
}

TEST(TerrainLoad, PlainShadingIsHalvedAndShadowsInverted)
{
    TrackFiles f = track_fixture(2, 2.0f, 0, 1, [](int, int) { return 0.0f; });
    f.shadingx2.clear();
    f.shading = fixture_pnm(9, 9, 3, 201);
    f.shadows = "P2\n9 9\n255\n";
    for (int k = 0; k < 81; k++)
        f.shadows += k == 0 ? "0 " : "255 ";
    bool ok = false;
    auto hf = load_fixture("terrain-plainshading", f, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(hf->shading[0], 100);
    EXPECT_EQ(hf->shadows[0], 255);
    EXPECT_EQ(hf->shadows[1], 0);
}

TEST(TerrainLoad, ShadingMayBeAPredictivePicture)
{
    // The same colours stored as J6 and as J7 (whose alpha is dropped).
    std::vector<uint8_t> rgb(9 * 9 * 3), rgba(9 * 9 * 4, 77);
    for (size_t k = 0; k < 81; k++)
        for (size_t c = 0; c < 3; c++)
            rgb[k * 3 + c] = rgba[k * 4 + c] = uint8_t((k * 5 + c * 40) % 256);
    for (int channels : {3, 4}) {
        SCOPED_TRACE(channels);
        TrackFiles f = track_fixture(2, 2.0f, 0, 1, [](int, int) { return 0.0f; });
        f.shadingx2 = image_encode_j(channels == 3 ? rgb.data() : rgba.data(), 9, 9, channels);
        bool ok = false;
        auto hf = load_fixture("terrain-jshading", f, &ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(hf->shading, rgb);
    }
}

TEST(TerrainDecals, GoIntoEveryBucketTheyTouchInIndexOrder)
{
    TrackFiles f = track_fixture(2, 8.0f, 0, 1, [](int, int) { return 0.0f; });  // extent 64, buckets of 8
    f.decals = "[ 15 4 ] 0 4 1 @a.png\n[ 3 3 ] 0 1 1 @b.png\n[ 8 8 ] 1.5707963 2 3 @c.png\n[ 1 2 ] broken\n";
    bool ok = false;
    auto hf = load_fixture("terrain-decals", f, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(hf->decals.size(), 3u);
    EXPECT_EQ(hf->decal_buckets[0][1], (std::vector<int>{0, 2}));
    EXPECT_EQ(hf->decal_buckets[0][0], (std::vector<int>{1, 2}));
    EXPECT_EQ(hf->decal_buckets[1][1], (std::vector<int>{2}));
    float hx, hz;
    terrain_decal_extents(hf->decals[2], &hx, &hz);
    EXPECT_NEAR(hx, 1.0, 1e-5);   // rotated a quarter turn: 2 wide, 6 deep
    EXPECT_NEAR(hz, 3.0, 1e-5);
}

// Each failure of the loader with its report.
struct LoadFailure {
    const char* name;
    std::function<void(TrackFiles&)> damage;
    std::vector<std::string> reports;
};

TEST(TerrainLoad, ReportsEveryFailure)
{
    const LoadFailure cases[] = {
        {"bad header", [](TrackFiles& f) { f.terrain_hf = "8 2.0 zero\n"; },
         {"Bad height field parameters", "Error reading heights"}},
        {"order too large", [](TrackFiles& f) { f.terrain_hf = "12 2.0 0 1\n"; },
         {"Height field grid order 12 is outside 1 to 11", "Error reading heights"}},
        {"zero spacing", [](TrackFiles& f) { f.terrain_hf = "2 0 0 1\n"; },
         {"Bad height field parameters", "Error reading heights"}},
        {"short raw block", [](TrackFiles& f) { f.terrain_hf.resize(f.terrain_hf.size() - 3); },
         {"Height field data ends early (79 of 81 samples)", "Error reading heights"}},
        {"shading unreadable", [](TrackFiles& f) { f.shadingx2 = "P6\n9 9\n255\n\x01\x02"; },
         {"Error reading shading"}},
        {"shading not a colour picture", [](TrackFiles& f) { f.shadingx2 = fixture_pnm(9, 9, 1, 0); },
         {"Error reading shading"}},
        {"shading size", [](TrackFiles& f) { f.shadingx2 = fixture_pnm(9, 8, 3, 0); },
         {"Bad shading dimensions (9x8)"}},
        {"shadows unreadable", [](TrackFiles& f) { f.shadows = "P5\n9 9\n"; }, {"Error reading shadows"}},
        {"shadows size (logged only)", [](TrackFiles& f) { f.shadows = fixture_pnm(8, 9, 1, 0); }, {}},
        {"tilemap short", [](TrackFiles& f) { f.tilemap.resize(5); }, {"Tilemap too short (5 of 16 bytes)"}},
    };
    for (const LoadFailure& c : cases) {
        SCOPED_TRACE(c.name);
        TrackFiles f = track_fixture(2, 2.0f, 0, 1, [](int, int) { return 0.5f; });
        c.damage(f);
        MessageCatcher msgs;
        bool ok = true;
        auto hf = load_fixture("terrain-fail", f, &ok);
        EXPECT_FALSE(ok);
        EXPECT_EQ(caught_messages(), c.reports);
        EXPECT_TRUE(hf->heights.empty() && hf->shading.empty() && hf->tilemap.empty());
    }
}

TEST(TerrainLoad, ReportsMissingRequiredFilesWithTheirPath)
{
    const char* required[][2] = {{"terrain.hf", "terrain.hf"},
                                 {"shadingx2.ppm", "shading.ppm"},
                                 {"tileinfo", "texturelist"},
                                 {"tilemap", "tilemap"}};
    for (auto& r : required) {
        SCOPED_TRACE(r[0]);
        TrackFiles f = track_fixture(2, 2.0f, 0, 1, [](int, int) { return 0.5f; });
        std::string dir = test_scratch_dir("terrain-missing") + "trk";
        track_fixture_write(dir, f);
        std::remove((dir + "/" + r[0]).c_str());
        MessageCatcher msgs;
        auto hf = make_field();
        EXPECT_FALSE(terrain_load(hf.get(), dir.c_str()));
        EXPECT_EQ(caught_messages(), std::vector<std::string>{"Can't open '" + dir + "/" + r[1] + "'"});
    }
}

}  // namespace

namespace {

int fake_texture(const char* name) { return std::string(name).find("missing") == std::string::npos ? 42 : 0; }
unsigned fake_framebuffer() { return 7; }

TEST(TerrainLoad, WithTexturesAndFramebuffersFromTheRenderer)
{
    TrackFiles f = track_fixture(2, 8.0f, 0, 1, [](int, int) { return 0.0f; });
    f.decals = "[ 3 3 ] 0 1 1 @missing.png\n[ 9 9 ] 0 1 1 @rut.png\n";
    surface_set_texture_loader(fake_texture);
    struct Case {
        bool fbo;
        int setting;
        int resolution;
        unsigned framebuffer;
    };
    for (Case c : {Case{false, 4, 256, 0}, Case{false, 1, 64, 0}, Case{true, 4, 512, 7}}) {
        terrain_settings.framebuffer_objects = c.fbo;
        terrain_settings.ground_texture_setting = c.setting;
        terrain_render_hooks.create_framebuffer = fake_framebuffer;
        MessageCatcher msgs;
        bool ok = false;
        auto hf = load_fixture("terrain-gl", f, &ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(hf->ground_texture_resolution, c.resolution);
        EXPECT_EQ(hf->framebuffer, c.framebuffer);
        EXPECT_EQ(msgs.saw("Using frame buffer objects"), c.fbo);
        // The decal whose texture cannot be loaded is dropped.
        ASSERT_EQ(hf->decals.size(), 1u);
        EXPECT_EQ(hf->decals[0].texture, 42);
        EXPECT_EQ(hf->surfaces[0].texture, 42);
        EXPECT_EQ(hf->block_dirty, std::vector<bool>{true});
    }
    terrain_render_hooks = TerrainRenderHooks();
    terrain_settings = TerrainSettings();
    surface_set_texture_loader(nullptr);
}

}  // namespace
