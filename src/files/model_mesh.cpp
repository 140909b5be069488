// Mesh arithmetic that needs no GL: tangents, skinning, level of detail.
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "files/model_file.h"

namespace {

constexpr double TINY = 1.0 / 1048576.0;  // 2^-20

Vec3 get3(const std::vector<float>& a, size_t i)
{
    return vec3(a[i * 3], a[i * 3 + 1], a[i * 3 + 2]);
}

LodSettings lod;

}  // namespace

void mesh_compute_tangents(Mesh& m)
{
    size_t n = size_t(m.vertex_count);
    std::vector<Vec3> sum(n, vec3(0, 0, 0));
    for (int t = 0; t < m.triangle_count; t++) {
        size_t i0 = size_t(m.triangles[size_t(t) * 3]);
        size_t i1 = size_t(m.triangles[size_t(t) * 3 + 1]);
        size_t i2 = size_t(m.triangles[size_t(t) * 3 + 2]);
        Vec3 p0 = get3(m.positions, i0);
        Vec3 e1 = get3(m.positions, i1) - p0;
        Vec3 e2 = get3(m.positions, i2) - p0;
        double u0 = m.texcoords[i0 * 2], v0 = m.texcoords[i0 * 2 + 1];
        double du1 = m.texcoords[i1 * 2] - u0, dv1 = m.texcoords[i1 * 2 + 1] - v0;
        double du2 = m.texcoords[i2 * 2] - u0, dv2 = m.texcoords[i2 * 2 + 1] - v0;
        double det = du1 * dv2 - du2 * dv1;
        Vec3 tangent;
        if (std::fabs(det) >= TINY) {
            tangent = (e1 * dv2 - e2 * dv1) * (1.0 / det);
            Vec3 bitangent = (e2 * du1 - e1 * du2) * (1.0 / det);
            Vec3 normal = vec3_cross(e1, e2);
            if (vec3_dot(vec3_cross(tangent, bitangent), normal) <= 0)
                tangent = -tangent;
        } else {
            // No usable texture mapping: any direction in the triangle will
            // do, kept tiny so that well-mapped neighbours dominate the sum.
            double l1 = vec3_length(e1), l2 = vec3_length(e2);
            if (l1 == 0 && l2 == 0)
                tangent = vec3(TINY, 0, 0);
            else
                tangent = (l1 > l2 ? e1 * (1.0 / l1) : e2 * (1.0 / l2)) * TINY;
        }
        sum[i0] += tangent;
        sum[i1] += tangent;
        sum[i2] += tangent;
    }
    size_t copies = m.bone_count > 0 ? 2 : 1;
    m.tangents.assign(n * 3 * copies, 0.0f);
    for (size_t i = 0; i < n; i++) {
        Vec3 t = vec3_normalize(sum[i]);
        for (size_t c = 0; c < copies; c++) {
            m.tangents[(c * n + i) * 3] = float(t.x);
            m.tangents[(c * n + i) * 3 + 1] = float(t.y);
            m.tangents[(c * n + i) * 3 + 2] = float(t.z);
        }
    }
}

bool mesh_skin(Mesh& m, const ModelBones& bones)
{
    if (m.bone_count <= 0 || bones.count != m.bone_count || !bones.matrices || !bones.rest_origins ||
        !bones.origins)
        return false;
    size_t n = size_t(m.vertex_count);
    if (m.positions.size() < n * 6 || m.normals.size() < n * 6 || m.tangents.size() < n * 6)
        return false;
    const float* rest_p = &m.positions[n * 3];
    const float* rest_n = &m.normals[n * 3];
    const float* rest_t = &m.tangents[n * 3];
    for (size_t i = 0; i < n; i++) {
        double p[3] = {0, 0, 0}, nn[3] = {0, 0, 0}, tt[3] = {0, 0, 0};
        const float* w = &m.weights[i * size_t(m.bone_count)];
        for (int b = 0; b < bones.count; b++) {
            if (!(w[b] > 0))
                continue;
            const float* M = bones.matrices + b * 9;
            const float* ro = bones.rest_origins + b * 3;
            const float* o = bones.origins + b * 3;
            double d[3] = {rest_p[i * 3] - ro[0], rest_p[i * 3 + 1] - ro[1], rest_p[i * 3 + 2] - ro[2]};
            for (int r = 0; r < 3; r++) {
                p[r] += w[b] * (M[r] * d[0] + M[3 + r] * d[1] + M[6 + r] * d[2] + o[r]);
                nn[r] += w[b] * (M[r] * rest_n[i * 3] + M[3 + r] * rest_n[i * 3 + 1] + M[6 + r] * rest_n[i * 3 + 2]);
                tt[r] += w[b] * (M[r] * rest_t[i * 3] + M[3 + r] * rest_t[i * 3 + 1] + M[6 + r] * rest_t[i * 3 + 2]);
            }
        }
        Vec3 nv = vec3_normalize(vec3(nn[0], nn[1], nn[2]));
        Vec3 tv = vec3_normalize(vec3(tt[0], tt[1], tt[2]));
        for (int r = 0; r < 3; r++)
            m.positions[i * 3 + size_t(r)] = float(p[r]);
        m.normals[i * 3] = float(nv.x), m.normals[i * 3 + 1] = float(nv.y), m.normals[i * 3 + 2] = float(nv.z);
        m.tangents[i * 3] = float(tv.x), m.tangents[i * 3 + 1] = float(tv.y), m.tangents[i * 3 + 2] = float(tv.z);
    }
    return true;
}

void lod_settings_set(double scale, double bias)
{
    lod.scale = clampd(scale, 0.000001, 1000000.0);
    lod.bias = bias;
}

const LodSettings& lod_settings()
{
    return lod;
}

const Mesh* model_choose_variant(const Mesh* head, Vec3 camera, Vec3 position)
{
    if (!head)
        return nullptr;
    Vec3 d = camera - position;
    double d2 = vec3_dot(d, d) * lod.scale * lod.scale;
    const Mesh* chosen = head;
    for (const Mesh* v = head->next_lod.get(); v; v = v->next_lod.get()) {
        double reach = double(v->lod_distance) - lod.bias;
        // A bias at or beyond the variant's distance switches it off.
        if (reach <= 0)
            continue;
        if (d2 < reach * reach)
            break;
        chosen = v;
    }
    return chosen;
}

double model_variant_distance(const std::string& file_name, const std::string& base)
{
    std::string prefix = base + "_lod";
    if (file_name.size() <= prefix.size())
        return -1;
    for (size_t i = 0; i < prefix.size(); i++)
        if (std::tolower((unsigned char)file_name[i]) != std::tolower((unsigned char)prefix[i]))
            return -1;
    const char* digits = file_name.c_str() + prefix.size();
    char* end = nullptr;
    long d = std::strtol(digits, &end, 10);
    if (end == digits || d < -30 || d > 30)
        return -1;
    return std::ldexp(1.0, int(d));
}
