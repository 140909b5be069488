// Reading and writing ".jm" model files.
#include "files/model_file.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "files/stream.h"

namespace {

// Limits that no real model comes near; they keep a corrupt count from
// turning into a huge allocation before the data runs out.
constexpr int MAX_VERTICES = 1 << 20;
constexpr int MAX_TRIANGLES = 1 << 21;
constexpr int MAX_BONES = 64;
// Arrays start at most this large and grow only as data is actually read.
constexpr int INITIAL_RESERVE = 4096;

void skip_space(Stream* s)
{
    int c;
    while ((c = stream_peek(s)) >= 0 && std::isspace(c))
        stream_getc(s);
}

// Reads the vertices and triangles of one mesh whose counts are known.
// False when the data is short or an index points outside the mesh.
bool read_mesh_body(Stream* s, int vertex_count, int triangle_count, int bones, Mesh& m)
{
    m.vertex_count = vertex_count;
    m.triangle_count = triangle_count;
    m.bone_count = bones;
    size_t reserve = size_t(std::min(vertex_count, INITIAL_RESERVE));
    m.positions.reserve(reserve * 3);
    m.normals.reserve(reserve * 3);
    m.texcoords.reserve(reserve * 2);
    if (bones > 0)
        m.weights.reserve(reserve * size_t(bones));
    for (int i = 0; i < vertex_count; i++) {
        float p[3], n[3], t[2];
        if (stream_scanf(s, "%f %f %f %f %f %f %f %f", &p[0], &p[1], &p[2], &n[0], &n[1], &n[2], &t[0], &t[1]) != 8)
            return false;
        m.positions.insert(m.positions.end(), p, p + 3);
        m.normals.insert(m.normals.end(), n, n + 3);
        m.texcoords.push_back(t[0]);
        m.texcoords.push_back(1.0f - t[1]);
        if (bones > 0) {
            size_t first = m.weights.size();
            double sum = 0;
            for (int b = 0; b < bones; b++) {
                float w;
                if (stream_scanf(s, "%f", &w) != 1)
                    return false;
                m.weights.push_back(w);
                sum += w;
            }
            // A vertex bound to nothing (or to a non-positive total) follows
            // every bone equally rather than collapsing to the origin.
            for (int b = 0; b < bones; b++) {
                float& w = m.weights[first + size_t(b)];
                w = sum > 1e-12 ? float(w / sum) : 1.0f / float(bones);
            }
        }
    }
    m.triangles.reserve(size_t(std::min(triangle_count, INITIAL_RESERVE)) * 3);
    for (int i = 0; i < triangle_count; i++) {
        int a, b, c;
        if (stream_scanf(s, "%d %d %d", &a, &b, &c) != 3)
            return false;
        if (a < 0 || b < 0 || c < 0 || a >= vertex_count || b >= vertex_count || c >= vertex_count)
            return false;
        m.triangles.push_back(a);
        m.triangles.push_back(b);
        m.triangles.push_back(c);
    }
    if (bones > 0) {
        // Second copy: the rest pose that skinning starts from.
        m.positions.insert(m.positions.end(), m.positions.begin(), m.positions.end());
        m.normals.insert(m.normals.end(), m.normals.begin(), m.normals.end());
    }
    mesh_compute_tangents(m);
    return true;
}

bool counts_ok(int vertex_count, int triangle_count)
{
    return vertex_count >= 0 && vertex_count <= MAX_VERTICES && triangle_count >= 0 &&
           triangle_count <= MAX_TRIANGLES;
}

// One mesh of a version 1 or 2 file; null when it cannot be read.
std::unique_ptr<Mesh> read_mesh(Stream* s, int bones)
{
    float sh, a, r, g, b;
    int vc, tc;
    if (stream_scanf(s, "%f %f %f %f %f %d %d", &sh, &a, &r, &g, &b, &vc, &tc) != 7)
        return nullptr;
    if (!counts_ok(vc, tc) || !std::isfinite(sh))
        return nullptr;
    auto m = std::make_unique<Mesh>();
    if (sh == -1.0f) {
        m->shininess = -1.0f;
        m->colour[0] = r, m->colour[1] = g, m->colour[2] = b, m->colour[3] = a;
    } else {
        // Negative shininess other than -1 is not a defined kind of mesh;
        // treat it as a dull lit mesh.
        m->shininess = sh < 0 ? 0.0f : sh;
        m->colour[0] = r, m->colour[1] = g, m->colour[2] = b, m->colour[3] = 1.0f;
    }
    if (!read_mesh_body(s, vc, tc, bones, *m))
        return nullptr;
    return m;
}

}  // namespace

std::unique_ptr<Mesh> model_file_read(Stream* s, const char* name, std::string* error)
{
    std::string dummy;
    if (!error)
        error = &dummy;
    skip_space(s);
    std::unique_ptr<Mesh> head;
    if (stream_peek(s) == 'J') {
        int version = 0;
        if (stream_scanf(s, "JM%d", &version) != 1) {
            *error = "bad header";
            return nullptr;
        }
        int bones = 0;
        if (version == 2) {
            char word[1024];
            if (stream_scanf(s, "%d %1023s", &bones, word) != 2 || bones < 0 || bones > MAX_BONES) {
                *error = "bad bone count";
                return nullptr;
            }
        } else if (version != 1) {
            *error = "unsupported version " + std::to_string(version);
            return nullptr;
        }
        Mesh* tail = nullptr;
        while (auto m = read_mesh(s, bones)) {
            Mesh* raw = m.get();
            if (tail)
                tail->next = std::move(m);
            else
                head = std::move(m);
            tail = raw;
        }
        if (!head) {
            *error = "no readable mesh";
            return nullptr;
        }
    } else {
        int vc, tc;
        if (stream_scanf(s, "%d %d", &vc, &tc) != 2 || !counts_ok(vc, tc)) {
            *error = "bad header";
            return nullptr;
        }
        head = std::make_unique<Mesh>();
        head->want_display_list = true;
        if (!read_mesh_body(s, vc, tc, 0, *head)) {
            *error = "short mesh";
            return nullptr;
        }
    }
    head->name = name ? name : "";
    for (const Mesh* m = head.get(); m; m = m->next.get())
        if (mesh_is_env(*m))
            head->has_env = true;
    return head;
}

std::unique_ptr<Mesh> model_file_load(const char* name, std::string* error)
{
    Stream* s = stream_open(name, "rb");
    if (!s) {
        if (error)
            *error = "can't open";
        return nullptr;
    }
    std::unique_ptr<Mesh> m = model_file_read(s, name, error);
    stream_close(s);
    return m;
}

namespace {

// Short fixed-point text: four decimals, trailing zeros dropped, no "-0".
void put_number(std::string& out, double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4f", v);
    char* end = buf + std::strlen(buf);
    char* dot = std::strchr(buf, '.');
    if (dot) {
        while (end > dot + 1 && end[-1] == '0')
            *--end = 0;
        if (end == dot + 1)
            *--end = 0;
    }
    if (std::strcmp(buf, "-0") == 0)
        std::strcpy(buf, "0");
    out += buf;
}

}  // namespace

std::string model_file_format(const Mesh* head, const char* word)
{
    std::string out;
    int bones = head ? head->bone_count : 0;
    if (bones > 0)
        out += "JM2 " + std::to_string(bones) + " " + word + "\n";
    else
        out += "JM1\n";
    for (const Mesh* m = head; m; m = m->next.get()) {
        if (mesh_is_env(*m)) {
            out += "-1 ";
            put_number(out, m->colour[3]);
        } else {
            put_number(out, m->shininess);
            out += " 0";
        }
        for (int i = 0; i < 3; i++) {
            out += ' ';
            put_number(out, m->colour[i]);
        }
        out += ' ' + std::to_string(m->vertex_count) + ' ' + std::to_string(m->triangle_count) + '\n';
        for (int v = 0; v < m->vertex_count; v++) {
            size_t i3 = size_t(v) * 3, i2 = size_t(v) * 2;
            const float* p = &m->positions[i3];
            const float* n = &m->normals[i3];
            for (int k = 0; k < 3; k++) {
                put_number(out, p[k]);
                out += ' ';
            }
            for (int k = 0; k < 3; k++) {
                put_number(out, n[k]);
                out += ' ';
            }
            put_number(out, m->texcoords[i2]);
            out += ' ';
            put_number(out, 1.0 - m->texcoords[i2 + 1]);
            for (int b = 0; b < bones; b++) {
                float w = b < m->bone_count ? m->weights[size_t(v) * size_t(m->bone_count) + size_t(b)] : 0.0f;
                out += ' ';
                put_number(out, w);
            }
            out += '\n';
        }
        for (int t = 0; t < m->triangle_count; t++) {
            const int* tri = &m->triangles[size_t(t) * 3];
            out += std::to_string(tri[0]) + ' ' + std::to_string(tri[1]) + ' ' + std::to_string(tri[2]) + '\n';
        }
    }
    return out;
}

void mesh_write_pov(const Mesh* m, Stream* s)
{
    int n = m->vertex_count;
    auto vectors = [&](const char* title, const std::vector<float>& a) {
        stream_printf(s, "\t%s {\n", title);
        stream_printf(s, "\t\t%d\n", n);
        for (int i = 0; i < n; i++) {
            const float* p = &a[size_t(i) * 3];
            stream_printf(s, "\t\t<%f,%f,%f>%s\n", p[0], p[1], p[2], i + 1 < n ? "," : "");
        }
        stream_printf(s, "\t}\n");
    };
    stream_printf(s, "mesh2 {\n");
    vectors("vertex_vectors", m->positions);
    vectors("normal_vectors", m->normals);
    stream_printf(s, "\tuv_vectors {\n");
    stream_printf(s, "\t\t%d\n", n);
    for (int i = 0; i < n; i++) {
        const float* t = &m->texcoords[size_t(i) * 2];
        stream_printf(s, "\t\t<%f,%f>%s\n", t[0], t[1], i + 1 < n ? "," : "");
    }
    stream_printf(s, "\t}\n");
    stream_printf(s, "\tface_indices {\n");
    stream_printf(s, "\t\t%d\n", m->triangle_count);
    for (int i = 0; i < m->triangle_count; i++) {
        const int* t = &m->triangles[size_t(i) * 3];
        stream_printf(s, "\t\t<%d,%d,%d>%s\n", t[0], t[1], t[2], i + 1 < m->triangle_count ? "," : "");
    }
    stream_printf(s, "\t}\n");
    stream_printf(s, "}\n");
}
