// Track-side models and pictures: the start gate, statues tracks can place
// ("@statues/<name>.jm" with "@statues/<name>.png"), their collision
// spheres ("@statues/<name>.shp"), and billboard pictures
// ("@billboards/<name>.png"). Statues stand on their origin, y up.
#include <cmath>

#include "dataset.h"
#include "model_art.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// ------------------------------------------------------------ start gate

// One gate per start position. The model's own pose is the dropped gate,
// lying flat away from the riders (-z) with its face up, so the field rides
// over it on every lap; the game stands it up by turning it 33.75 degrees
// about x, which raises the panel against the front wheels. The hinge runs
// along x through the origin.
std::string startgate_file()
{
    MeshBuild panel = mesh_lit(32, 0.4f);
    MeshBuild metal = mesh_lit(80, 0.7f);
    const double lean = -PI / 2;  // the panel, built upright, laid down away from the riders
    panel.place = place_rotate_x(lean);
    metal.place = place_rotate_x(lean);
    panel.rect = uv_cell(0, 0, 1, 2);
    mb_slab(panel, {vec3(0, 0.15, -0.05), vec3(0, 1.75, -0.05), vec3(0, 1.75, 0.05), vec3(0, 0.15, 0.05)}, -1.55, 1.55,
            0.02);
    // Replace the slab's side mapping with a face mapping: simplest is a
    // second, slightly proud face quad on the riders' side (+z).
    int a = mb_vertex(panel, vec3(-1.5, 1.7, 0.056), vec3(0, 0, 1), 0, 0);
    int b = mb_vertex(panel, vec3(1.5, 1.7, 0.056), vec3(0, 0, 1), 1, 0);
    int c = mb_vertex(panel, vec3(1.5, 0.2, 0.056), vec3(0, 0, 1), 1, 1);
    int d = mb_vertex(panel, vec3(-1.5, 0.2, 0.056), vec3(0, 0, 1), 0, 1);
    mb_quad(panel, a, b, c, d);
    metal.rect = uv_cell(0, 1, 1, 2);
    // Frame round the panel and the hinge tube.
    mb_tube(metal, {vec3(-1.6, 0.12, 0), vec3(-1.6, 1.8, 0), vec3(1.6, 1.8, 0), vec3(1.6, 0.12, 0)}, {0.05}, 8, true,
            vec3(0, 0, 1));
    mb_tube(metal, {vec3(-1.7, 0.06, 0), vec3(1.7, 0.06, 0)}, {0.07}, 10, true);
    return mb_file({panel, metal});
}

Image startgate_texture()
{
    Image im = image_make(128, 256, 3);
    // Panel: white with a red band and chevrons; lower half: steel.
    paint_rect(im, 0, 0, 128, 128, Rgb{235, 235, 230});
    paint_rect(im, 0, 48, 128, 80, Rgb{200, 30, 30});
    for (int i = 0; i < 5; i++)
        paint_polygon(im, {i * 28.0 + 4, 52, i * 28.0 + 18, 64, i * 28.0 + 4, 76, i * 28.0 + 10, 64}, Rgb{250, 250, 250});
    paint_rect(im, 0, 0, 128, 6, Rgb{60, 60, 60});
    paint_rect(im, 0, 122, 128, 128, Rgb{60, 60, 60});
    paint_rect(im, 0, 128, 128, 256, Rgb{150, 152, 156});
    paint_noise(im, 0, 128, 128, 256, 0.05, 91);
    return im;
}

// --------------------------------------------------------------- statues

struct Sphere {
    double x, y, z, r;
};

// ".shp" text: count, then centre, radius, friction, stiffness, damping.
std::string shape_file(const std::vector<Sphere>& spheres, double friction, double stiffness, double damping)
{
    std::string out = data_printf("%d\n", int(spheres.size()));
    for (const Sphere& s : spheres)
        out += data_printf("%.3f %.3f %.3f %.3f %.2f %.0f %.0f\n", s.x, s.y, s.z, s.r, friction, stiffness, damping);
    return out;
}

std::string haybale_file()
{
    MeshBuild mb = mesh_lit(2, 0.05f);
    mb.rect = uv_cell(0, 0, 1, 1);
    mb_slab(mb, {vec3(0, 0, -1), vec3(0, 1.5, -1), vec3(0, 1.5, 1), vec3(0, 0, 1)}, -2, 2, 0.18);
    return mb_file({mb});
}

Image haybale_texture()
{
    Image im = image_make(128, 128, 3);
    for (int y = 0; y < 128; y++)
        for (int x = 0; x < 128; x++) {
            double n = noise_smooth(x * 0.3, y * 4.0, 3, 7) * 0.5 + paint_noise(x, y, 8) * 0.5;
            Rgb c = rgb_mix(Rgb{168, 140, 70}, Rgb{222, 196, 120}, n);
            paint_pixel(im, x, y, c);
        }
    for (int x : {40, 88})
        paint_rect(im, x, 0, x + 3, 128, Rgb{120, 80, 40});
    return im;
}

std::string tuffblock_file()
{
    MeshBuild mb = mesh_lit(24, 0.3f);
    mb.rect = uv_cell(0, 0, 1, 1);
    mb_slab(mb, {vec3(0, 0, -3), vec3(0, 1.4, -3), vec3(0, 1.4, 3), vec3(0, 0, 3)}, -0.75, 0.75, 0.3);
    return mb_file({mb});
}

Image tuffblock_texture()
{
    Image im = image_make(128, 64, 3);
    for (int x = 0; x < 128; x++) {
        Rgb c = (x / 16) % 2 ? Rgb{240, 200, 20} : Rgb{25, 70, 170};
        paint_rect(im, x, 0, x + 1, 64, c);
    }
    paint_noise(im, 0, 0, 128, 64, 0.04, 5);
    return im;
}

std::string grandstand_file()
{
    MeshBuild seats = mesh_lit(8, 0.1f);
    MeshBuild metal = mesh_lit(64, 0.6f);
    seats.rect = uv_cell(0, 0, 2, 1);
    // Stepped bleachers rising towards +z (the back), 30 ft wide.
    std::vector<Vec3> steps = {vec3(0, 0, -6)};
    for (int i = 0; i < 6; i++) {
        steps.push_back(vec3(0, 1.5 * i + 1.5, -6 + 2.0 * i));
        steps.push_back(vec3(0, 1.5 * i + 1.5, -6 + 2.0 * (i + 1)));
    }
    steps.push_back(vec3(0, 0, 6));
    mb_slab(seats, steps, -15, 15, 0.05);
    metal.rect = uv_cell(1, 0, 2, 1);
    for (int i = -3; i <= 3; i++) {
        double x = i * 5.0;
        mb_tube(metal, {vec3(x, 9, 6), vec3(x, 13, 6)}, {0.12}, 6, true);
    }
    mb_tube(metal, {vec3(-15, 12.5, 6), vec3(15, 12.5, 6)}, {0.1}, 6, true);
    mb_box(metal, vec3(0, 13.2, 3), vec3(15.5, 0.15, 4));  // roof
    return mb_file({seats, metal});
}

Image grandstand_texture()
{
    Image im = image_make(256, 128, 3);
    for (int y = 0; y < 128; y++)
        paint_rect(im, 0, y, 128, y + 1, (y / 6) % 2 ? Rgb{150, 110, 70} : Rgb{130, 92, 58});
    paint_noise(im, 0, 0, 128, 128, 0.06, 11);
    paint_rect(im, 128, 0, 256, 128, Rgb{170, 172, 178});
    paint_noise(im, 128, 0, 256, 128, 0.04, 12);
    return im;
}

std::string tent_file()
{
    MeshBuild canopy = mesh_lit(8, 0.1f);
    MeshBuild legs = mesh_lit(64, 0.6f);
    canopy.rect = uv_cell(0, 0, 1, 1);
    double h = 7, s = 5;
    // Four-sided roof to a peak, with a valance round the edge.
    Vec3 peak = vec3(0, h + 2.5, 0);
    Vec3 corner[4] = {vec3(-s, h, -s), vec3(s, h, -s), vec3(s, h, s), vec3(-s, h, s)};
    for (int i = 0; i < 4; i++) {
        Vec3 a = corner[i], b = corner[(i + 1) % 4];
        Vec3 n = vec3_normalize(vec3_cross(b - a, peak - a));
        if (n.y < 0)
            n = -n;
        int i0 = mb_vertex(canopy, a, n, 0, 1), i1 = mb_vertex(canopy, b, n, 1, 1), i2 = mb_vertex(canopy, peak, n, 0.5, 0);
        mb_triangle(canopy, i0, i1, i2);
        Vec3 out = vec3_normalize(vec3(a.x + b.x, 0, a.z + b.z));
        int v0 = mb_vertex(canopy, a, out, 0, 0.8), v1 = mb_vertex(canopy, b, out, 1, 0.8);
        int v2 = mb_vertex(canopy, b - vec3(0, 0.8, 0), out, 1, 1), v3 = mb_vertex(canopy, a - vec3(0, 0.8, 0), out, 0, 1);
        mb_quad(canopy, v0, v1, v2, v3);
        mb_tube(legs, {vec3(a.x * 0.98, 0, a.z * 0.98), vec3(a.x * 0.98, h, a.z * 0.98)}, {0.08}, 6, true);
    }
    legs.rect = uv_cell(0, 0, 1, 1);
    return mb_file({canopy, legs});
}

Image tent_texture()
{
    Image im = image_make(128, 128, 3);
    for (int x = 0; x < 128; x++)
        paint_rect(im, x, 0, x + 1, 128, (x / 16) % 2 ? Rgb{240, 240, 240} : Rgb{30, 110, 200});
    paint_rect(im, 0, 100, 128, 128, Rgb{30, 110, 200});
    return im;
}

std::string fence_file()
{
    MeshBuild posts = mesh_lit(8, 0.05f);
    posts.rect = uv_cell(0, 0, 1, 1);
    // A 10 ft section along x: posts at the ends and two rails.
    for (double x : {-5.0, 5.0})
        mb_box(posts, vec3(x, 1.9, 0), vec3(0.15, 1.9, 0.15));
    mb_box(posts, vec3(0, 3.2, 0), vec3(5, 0.2, 0.06));
    mb_box(posts, vec3(0, 1.8, 0), vec3(5, 0.2, 0.06));
    return mb_file({posts});
}

Image wood_texture()
{
    Image im = image_make(64, 64, 3);
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++)
            paint_pixel(im, x, y, rgb_mix(Rgb{120, 86, 54}, Rgb{160, 120, 80}, noise_smooth(x * 4.0, y * 0.3, 4, 21)));
    return im;
}

std::string banner_file()
{
    MeshBuild cloth = mesh_lit(4, 0.05f);
    MeshBuild poles = mesh_lit(64, 0.6f);
    cloth.rect = uv_cell(0, 0, 1, 1);
    // 12 x 3 ft banner between two poles, printed on both faces.
    for (int side = 0; side < 2; side++) {
        double z = side ? 0.02 : -0.02;
        Vec3 n = vec3(0, 0, side ? 1 : -1);
        double u0 = side ? 0 : 1, u1 = side ? 1 : 0;
        int a = mb_vertex(cloth, vec3(-6, 6, z), n, u0, 0), b = mb_vertex(cloth, vec3(6, 6, z), n, u1, 0);
        int c = mb_vertex(cloth, vec3(6, 3, z), n, u1, 1), d = mb_vertex(cloth, vec3(-6, 3, z), n, u0, 1);
        mb_quad(cloth, a, b, c, d);
    }
    poles.rect = uv_cell(0, 0, 1, 1);
    for (double x : {-6.1, 6.1})
        mb_tube(poles, {vec3(x, 0, 0), vec3(x, 6.3, 0)}, {0.1}, 6, true);
    return mb_file({cloth, poles});
}

Image banner_texture(Rgb back, Rgb fore, int style)
{
    Image im = image_make(256, 64, 3);
    paint_rect(im, 0, 0, 256, 64, back);
    if (style == 0) {
        for (int i = 0; i < 8; i++)
            paint_polygon(im, {i * 36.0, 64, i * 36.0 + 18, 0, i * 36.0 + 30, 0, i * 36.0 + 12, 64}, fore);
    } else {
        paint_rect(im, 0, 24, 256, 40, fore);
        for (int i = 0; i < 6; i++)
            paint_circle(im, 20 + i * 44, 32, 12, back);
    }
    paint_rect(im, 0, 0, 256, 3, Rgb{20, 20, 20});
    paint_rect(im, 0, 61, 256, 64, Rgb{20, 20, 20});
    return im;
}

std::string tree_file()
{
    MeshBuild trunk = mesh_lit(2, 0.02f);
    MeshBuild crown = mesh_lit(2, 0.02f);
    trunk.rect = uv_cell(0, 0, 2, 1);
    crown.rect = uv_cell(1, 0, 2, 1);
    mb_tube(trunk, {vec3(0, 0, 0), vec3(0, 6, 0)}, {0.7, 0.45}, 8, false, vec3(0, 0, 1));
    // Three stacked cones of a conifer.
    for (int i = 0; i < 3; i++) {
        double base = 4 + i * 6.0, r = 7 - i * 1.8;
        mb_tube(crown, {vec3(0, base, 0), vec3(0, base + 0.01, 0), vec3(0, base + 9, 0)}, {0.5, r, 0.02}, 12, true,
                vec3(0, 0, 1));
    }
    return mb_file({trunk, crown});
}

Image tree_texture()
{
    Image im = image_make(128, 64, 3);
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++)
            paint_pixel(im, x, y, rgb_mix(Rgb{70, 48, 30}, Rgb{110, 80, 50}, noise_smooth(x * 3.0, y * 0.5, 3, 31)));
    for (int y = 0; y < 64; y++)
        for (int x = 64; x < 128; x++)
            paint_pixel(im, x, y, rgb_mix(Rgb{24, 62, 30}, Rgb{50, 100, 45}, noise_smooth(x, y, 3, 32)));
    return im;
}

// ------------------------------------------------------------ billboards

// Soft-edged RGBA pictures; the first row is the top.
Image pine_billboard()
{
    Image im = image_make(128, 256, 4);
    paint_rect(im, 0, 0, 128, 256, Rgb{0, 0, 0}, 0);
    paint_rect(im, 58, 200, 70, 256, Rgb{80, 55, 35}, 255);
    for (int i = 0; i < 5; i++) {
        double top = 10 + i * 38.0, bottom = top + 70, half = 18 + i * 11.0;
        paint_polygon(im, {64, top, 64 + half, bottom, 64 - half, bottom}, Rgb{30 + i * 4, 78 + i * 6, 36}, 255);
    }
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 128; x++) {
            uint8_t* p = image_at(im, x, y);
            if (p[3] && paint_noise(x, y, 41) < 0.12)
                p[3] = 0;  // ragged needles
        }
    return im;
}

Image leafy_billboard()
{
    Image im = image_make(128, 128, 4);
    paint_rect(im, 0, 0, 128, 128, Rgb{0, 0, 0}, 0);
    paint_rect(im, 59, 80, 69, 128, Rgb{85, 60, 40}, 255);
    for (int i = 0; i < 14; i++) {
        double a = i * 2.4, r = 18 + 20 * paint_noise(i, 0, 51);
        double cx = 64 + std::cos(a) * 30 * paint_noise(i, 1, 51), cy = 50 + std::sin(a) * 26 * paint_noise(i, 2, 51);
        paint_circle(im, cx, cy, r, rgb_mix(Rgb{40, 90, 35}, Rgb{80, 130, 50}, paint_noise(i, 3, 51)), 255);
    }
    return im;
}

Image fence_billboard()
{
    Image im = image_make(128, 64, 4);
    paint_rect(im, 0, 0, 128, 64, Rgb{0, 0, 0}, 0);
    for (int x : {4, 60, 116})
        paint_rect(im, x, 4, x + 8, 64, Rgb{130, 95, 60}, 255);
    paint_rect(im, 0, 14, 128, 22, Rgb{150, 112, 72}, 255);
    paint_rect(im, 0, 36, 128, 44, Rgb{150, 112, 72}, 255);
    return im;
}

Image crowd_billboard()
{
    Image im = image_make(256, 64, 4);
    paint_rect(im, 0, 0, 256, 64, Rgb{0, 0, 0}, 0);
    for (int i = 0; i < 40; i++) {
        double x = 4 + i * 6.3 + paint_noise(i, 0, 61) * 3, h = 30 + paint_noise(i, 1, 61) * 16;
        Rgb shirt = rgb_mix(Rgb{200, 40, 40}, Rgb{40, 80, 200}, paint_noise(i, 2, 61));
        if (paint_noise(i, 3, 61) > 0.6)
            shirt = Rgb{230, 230, 220};
        paint_rect(im, int(x) - 3, int(64 - h + 8), int(x) + 3, 64, shirt, 255);
        paint_circle(im, x, 64 - h + 4, 3.5, Rgb{210, 170, 130}, 255);
    }
    return im;
}

bool build_scenery_models(DataSet& ds)
{
    dataset_add(ds, "startgate.jm", startgate_file());
    dataset_add(ds, "startgate.ppm", image_encode_pnm(startgate_texture()));
    // Spheres along the panel, mostly below it, so the dropped gate is a
    // bump of 0.2 ft and the standing one (posed like the model by the
    // game) holds the front wheels back.
    std::vector<Sphere> gate;
    for (int i = 0; i < 5; i++)
        gate.push_back(Sphere{-1.2 + 0.6 * i, -0.25, -0.8, 0.45});
    dataset_add(ds, "startgate.shp", shape_file(gate, 0.6, 20000, 1500));

    dataset_add(ds, "statues/haybale.jm", haybale_file());
    dataset_add(ds, "statues/haybale.png", image_encode_png(haybale_texture()));
    dataset_add(ds, "statues/haybale.shp",
                shape_file({{-1.3, 0.75, 0, 0.9}, {0, 0.75, 0, 0.9}, {1.3, 0.75, 0, 0.9}}, 0.8, 8000, 800));
    dataset_add(ds, "statues/tuffblock.jm", tuffblock_file());
    dataset_add(ds, "statues/tuffblock.png", image_encode_png(tuffblock_texture()));
    dataset_add(ds, "statues/tuffblock.shp",
                shape_file({{0, 0.7, -2.3, 0.75}, {0, 0.7, -0.8, 0.75}, {0, 0.7, 0.8, 0.75}, {0, 0.7, 2.3, 0.75}}, 0.6,
                           5000, 600));
    dataset_add(ds, "statues/grandstand.jm", grandstand_file());
    dataset_add(ds, "statues/grandstand.png", image_encode_png(grandstand_texture()));
    dataset_add(ds, "statues/tent.jm", tent_file());
    dataset_add(ds, "statues/tent.png", image_encode_png(tent_texture()));
    dataset_add(ds, "statues/fence.jm", fence_file());
    dataset_add(ds, "statues/fence.png", image_encode_png(wood_texture()));
    dataset_add(ds, "statues/banner.jm", banner_file());
    dataset_add(ds, "statues/banner.png", image_encode_png(banner_texture(Rgb{250, 250, 250}, Rgb{200, 30, 30}, 0)));
    dataset_add(ds, "statues/banner-blue.png", image_encode_png(banner_texture(Rgb{20, 60, 160}, Rgb{250, 210, 30}, 1)));
    dataset_add(ds, "statues/tree.jm", tree_file());
    dataset_add(ds, "statues/tree.png", image_encode_png(tree_texture()));

    dataset_add(ds, "billboards/pine.png", image_encode_png(pine_billboard()));
    dataset_add(ds, "billboards/tree.png", image_encode_png(leafy_billboard()));
    dataset_add(ds, "billboards/fence.png", image_encode_png(fence_billboard()));
    dataset_add(ds, "billboards/crowd.png", image_encode_png(crowd_billboard()));
    dataset_add(ds, "billboards/banner-red.png", image_encode_png(banner_texture(Rgb{250, 250, 250}, Rgb{200, 30, 30}, 0)));
    dataset_add(ds, "billboards/banner-blue.png", image_encode_png(banner_texture(Rgb{20, 60, 160}, Rgb{250, 210, 30}, 1)));
    return true;
}

}  // namespace

KESTRUM_DATA_BUILDER("scenery models", 200, build_scenery_models);
