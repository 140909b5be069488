// The render statistics and their maxima.
#include "render/scene_stats.h"

#include <algorithm>
#include <cstdio>

#include "render/gl_caps.h"
#include "render/model.h"

namespace {
RenderStats current, maxima;
}

RenderStats& render_stats() { return current; }
const RenderStats& render_stats_max() { return maxima; }

void render_stats_reset()
{
    current = RenderStats();
    model_stats() = ModelStats();
    gl_program_switches_reset();
}

void render_stats_finish()
{
    current.model_triangles = model_stats().triangles;
    current.model_vertices = model_stats().vertices;
    current.shader_changes = gl_program_switches();
    maxima.ground_polygons = std::max(maxima.ground_polygons, current.ground_polygons);
    maxima.model_triangles = std::max(maxima.model_triangles, current.model_triangles);
    maxima.model_vertices = std::max(maxima.model_vertices, current.model_vertices);
    maxima.billboards = std::max(maxima.billboards, current.billboards);
    maxima.decals = std::max(maxima.decals, current.decals);
    maxima.texture_changes = std::max(maxima.texture_changes, current.texture_changes);
    maxima.shader_changes = std::max(maxima.shader_changes, current.shader_changes);
}

bool render_stats_line(int index, char* out, int size)
{
    static const char* const formats[6] = {"Ground polygons - %d max=%d", "Model polygons - %d max=%d",
                                           "Billboards - %d max=%d",      "Decals - %d max=%d",
                                           "Texture Changes - %d max=%d", "Shader Changes - %d max=%d"};
    const long now[6] = {current.ground_polygons, current.model_triangles, current.billboards,
                         current.decals,          current.texture_changes, current.shader_changes};
    const long most[6] = {maxima.ground_polygons, maxima.model_triangles, maxima.billboards,
                          maxima.decals,          maxima.texture_changes, maxima.shader_changes};
    if (index < 0 || index >= 6 || size <= 0)
        return false;
    std::snprintf(out, size_t(size), formats[index], int(now[index]), int(most[index]));
    return true;
}
