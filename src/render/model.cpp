// The model cache and the two drawing passes.
#include "render/model.h"

#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <vector>

#include "files/stream.h"
#include "platform/log.h"
#include "platform/window.h"

namespace {

#ifndef GL_TEXTURE1_ARB
#define GL_TEXTURE0_ARB 0x84C0
#define GL_TEXTURE1_ARB 0x84C1
#endif

using ActiveTextureFn = void (*)(GLenum);
using MultiTexCoord3fvFn = void (*)(GLenum, const GLfloat*);

struct ModelState {
    std::vector<std::unique_ptr<Mesh>> cache;
    int generation = 0;
    ModelDrawOptions options;
    ModelStats stats;
    bool entry_points_loaded = false;
    ActiveTextureFn client_active_texture = nullptr;
    MultiTexCoord3fvFn multi_tex_coord3fv = nullptr;
    std::vector<float> env_texcoords;  // scratch for the fixed-function env pass
};

ModelState& state()
{
    static ModelState s;
    return s;
}

void load_entry_points()
{
    ModelState& st = state();
    if (st.entry_points_loaded)
        return;
    st.entry_points_loaded = true;
    st.client_active_texture = (ActiveTextureFn)gl_proc_address("glClientActiveTextureARB");
    st.multi_tex_coord3fv = (MultiTexCoord3fvFn)gl_proc_address("glMultiTexCoord3fvARB");
}

// Tangents travel as texture coordinate set 1 when the programs can use them.
bool pass_tangents()
{
    const ModelState& st = state();
    return st.options.shaders && st.options.texture_units > 1 && st.client_active_texture &&
           st.multi_tex_coord3fv;
}

void draw_immediate(const Mesh& m, const float* texcoords)
{
    bool tangents = pass_tangents();
    MultiTexCoord3fvFn tangent_fn = state().multi_tex_coord3fv;
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < m.triangle_count * 3; i++) {
        size_t v = size_t(m.triangles[size_t(i)]);
        glNormal3fv(&m.normals[v * 3]);
        glTexCoord2fv(&texcoords[v * 2]);
        if (tangents)
            tangent_fn(GL_TEXTURE1_ARB, &m.tangents[v * 3]);
        glVertex3fv(&m.positions[v * 3]);
    }
    glEnd();
}

void draw_vertex_arrays(const Mesh& m, const float* texcoords)
{
    bool tangents = pass_tangents();
    ActiveTextureFn client_active = state().client_active_texture;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, m.positions.data());
    glNormalPointer(GL_FLOAT, 0, m.normals.data());
    glTexCoordPointer(2, GL_FLOAT, 0, texcoords);
    if (tangents) {
        client_active(GL_TEXTURE1_ARB);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(3, GL_FLOAT, 0, m.tangents.data());
        client_active(GL_TEXTURE0_ARB);
    }
    glDrawElements(GL_TRIANGLES, m.triangle_count * 3, GL_UNSIGNED_INT, m.triangles.data());
    if (tangents) {
        client_active(GL_TEXTURE1_ARB);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        client_active(GL_TEXTURE0_ARB);
    }
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void draw_mesh_arrays(const Mesh& m, const float* texcoords)
{
    if (m.triangle_count <= 0)
        return;
    if (state().options.vertex_arrays)
        draw_vertex_arrays(m, texcoords);
    else
        draw_immediate(m, texcoords);
}

// Static meshes are compiled once. Environment meshes without shaders get
// their texture coordinates per frame, so they stay uncompiled.
void make_display_lists(Mesh* head)
{
    for (Mesh* m = head; m; m = m->next.get()) {
        bool wanted = m->want_display_list ||
                      (m->bone_count == 0 && (state().options.shaders || !mesh_is_env(*m)));
        if (!wanted || m->display_list || m->triangle_count <= 0)
            continue;
        GLuint list = glGenLists(1);
        if (list == 0)
            continue;  // no context or out of lists: draw from the arrays
        glNewList(list, GL_COMPILE);
        draw_immediate(*m, m->texcoords.data());
        glEndList();
        m->display_list = list;
    }
}

void delete_lists(Mesh* head)
{
    for (Mesh* variant = head; variant; variant = variant->next_lod.get())
        for (Mesh* m = variant; m; m = m->next.get())
            if (m->display_list) {
                glDeleteLists(m->display_list, 1);
                m->display_list = 0;
            }
}

bool same_ignoring_case(const std::string& a, const char* b)
{
    size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; i++)
        if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i]))
            return false;
    return true;
}

// Loads the "<base>_lod<D>" files of an "@" model into its variant chain,
// nearest first.
void load_variants(Mesh* head, const char* name)
{
    if (name[0] != '@')
        return;
    std::string base = name + 1;
    size_t dot = base.rfind('.');
    if (dot != std::string::npos)
        base.erase(dot);
    for (const std::string& file : data_file_names()) {
        double distance = model_variant_distance(file, base);
        if (distance < 0)
            continue;
        std::string load_name = "@" + file;
        if (load_name.size() > 3 && load_name.compare(load_name.size() - 3, 3, ".gz") == 0)
            load_name.erase(load_name.size() - 3);
        std::string error;
        std::unique_ptr<Mesh> variant = model_file_load(load_name.c_str(), &error);
        if (!variant) {
            log_printf("Warning: can't load model variant '%.900s': %s\n", load_name.c_str(), error.c_str());
            continue;
        }
        variant->lod_distance = float(distance);
        make_display_lists(variant.get());
        std::unique_ptr<Mesh>* slot = &head->next_lod;
        while (*slot && (*slot)->lod_distance <= variant->lod_distance)
            slot = &(*slot)->next_lod;
        variant->next_lod = std::move(*slot);
        *slot = std::move(variant);
    }
}

void count(const Mesh& m)
{
    state().stats.triangles += m.triangle_count;
    state().stats.vertices += m.vertex_count;
}

void skin_if_asked(Mesh& m, const ModelBones* bones)
{
    if (bones && m.bone_count > 0)
        mesh_skin(m, *bones);
}

// Texture coordinates of the angular environment map for each vertex, as
// the env program computes them per pixel.
const float* env_texcoords(const Mesh& m, const float view[9])
{
    std::vector<float>& out = state().env_texcoords;
    out.resize(size_t(m.vertex_count) * 2);
    GLfloat mv[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, mv);
    constexpr double INV_TWO_PI = 0.15915494309189535;
    for (size_t i = 0; i < size_t(m.vertex_count); i++) {
        const float* p = &m.positions[i * 3];
        const float* n = &m.normals[i * 3];
        Vec3 eye = vec3(mv[0] * p[0] + mv[4] * p[1] + mv[8] * p[2] + mv[12],
                        mv[1] * p[0] + mv[5] * p[1] + mv[9] * p[2] + mv[13],
                        mv[2] * p[0] + mv[6] * p[1] + mv[10] * p[2] + mv[14]);
        Vec3 normal = vec3_normalize(vec3(mv[0] * n[0] + mv[4] * n[1] + mv[8] * n[2],
                                          mv[1] * n[0] + mv[5] * n[1] + mv[9] * n[2],
                                          mv[2] * n[0] + mv[6] * n[1] + mv[10] * n[2]));
        Vec3 incoming = vec3_normalize(eye);
        Vec3 r = incoming - normal * (2 * vec3_dot(normal, incoming));
        Vec3 d = vec3_normalize(vec3(view[0] * r.x + view[1] * r.y + view[2] * r.z,
                                     view[3] * r.x + view[4] * r.y + view[5] * r.z,
                                     view[6] * r.x + view[7] * r.y + view[8] * r.z));
        double k = std::acos(clampd(d.y, -1, 1)) * INV_TWO_PI;
        double h = std::sqrt(d.x * d.x + d.z * d.z);
        double hx = h > 0 ? d.x / h : 0, hz = h > 0 ? d.z / h : 0;
        out[i * 2] = float(hx * k + 0.5);
        out[i * 2 + 1] = float(hz * k + 0.5);
    }
    return out.data();
}

}  // namespace

void model_set_draw_options(const ModelDrawOptions& options)
{
    state().options = options;
}

const ModelDrawOptions& model_draw_options()
{
    return state().options;
}

ModelStats& model_stats()
{
    return state().stats;
}

Mesh* model_load(const char* name)
{
    ModelState& st = state();
    load_entry_points();
    Mesh* found = nullptr;
    for (auto& m : st.cache)
        if (m->name == name) {
            found = m.get();
            break;
        }
    if (!found)
        for (auto& m : st.cache)
            if (same_ignoring_case(m->name, name)) {
                log_printf("Warning: case mismatch on '%.900s'\n", name);
                found = m.get();
                break;
            }
    if (found) {
        // Generation 0 marks the permanent models of start-up; they keep it.
        if (found->generation != 0)
            found->generation = st.generation;
        return found;
    }
    std::string error;
    std::unique_ptr<Mesh> model = model_file_load(name, &error);
    if (!model)
        return nullptr;
    model->generation = st.generation;
    make_display_lists(model.get());
    load_variants(model.get(), name);
    if (st.cache.capacity() == 0)
        st.cache.reserve(16);
    st.cache.push_back(std::move(model));
    return st.cache.back().get();
}

int model_generation_advance()
{
    return ++state().generation;
}

int model_generation()
{
    return state().generation;
}

void model_sweep()
{
    ModelState& st = state();
    auto keep = [&](const std::unique_ptr<Mesh>& m) {
        return m->generation == 0 || m->generation == st.generation;
    };
    for (auto& m : st.cache)
        if (!keep(m)) {
            if (st.options.debug_level >= 1)
                log_printf("deleting model %.900s\n", m->name.c_str());
            delete_lists(m.get());
        }
    st.cache.erase(std::remove_if(st.cache.begin(), st.cache.end(), [&](const std::unique_ptr<Mesh>& m) {
        return !keep(m);
    }), st.cache.end());
}

void model_cache_clear()
{
    for (auto& m : state().cache)
        delete_lists(m.get());
    state().cache.clear();
}

int model_cache_size()
{
    return int(state().cache.size());
}

void model_draw_lit(Mesh* model, Vec3 camera, Vec3 position, const ModelBones* bones)
{
    Mesh* variant = const_cast<Mesh*>(model_choose_variant(model, camera, position));
    for (Mesh* m = variant; m && !mesh_is_env(*m); m = m->next.get()) {
        GLfloat specular[4] = {m->colour[0], m->colour[1], m->colour[2], m->colour[3]};
        glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
        // GL refuses exponents above 128.
        glMaterialf(GL_FRONT, GL_SHININESS, std::min(std::max(m->shininess, 0.125f), 128.0f));
        skin_if_asked(*m, bones);
        count(*m);
        if (m->display_list)
            glCallList(m->display_list);
        else
            draw_mesh_arrays(*m, m->texcoords.data());
    }
}

void model_draw_env(Mesh* model, Vec3 camera, Vec3 position, const float view_rotation[9], const ModelBones* bones)
{
    Mesh* variant = const_cast<Mesh*>(model_choose_variant(model, camera, position));
    for (Mesh* m = variant; m; m = m->next.get()) {
        if (!mesh_is_env(*m))
            continue;
        float a = m->colour[3];
        glColor4f(a * m->colour[0], a * m->colour[1], a * m->colour[2], 1.0f);
        skin_if_asked(*m, bones);
        count(*m);
        if (m->display_list)
            glCallList(m->display_list);
        else if (state().options.shaders)
            draw_mesh_arrays(*m, m->texcoords.data());
        else
            draw_mesh_arrays(*m, env_texcoords(*m, view_rotation));
    }
}

bool model_has_env(const Mesh* model)
{
    return model && model->has_env;
}

void model_draw_wire(const Mesh* model)
{
    for (const Mesh* m = model; m; m = m->next.get())
        for (int t = 0; t < m->triangle_count; t++) {
            glBegin(GL_LINE_LOOP);
            for (int k = 0; k < 3; k++)
                glVertex3fv(&m->positions[size_t(m->triangles[size_t(t) * 3 + size_t(k)]) * 3]);
            glEnd();
        }
}
