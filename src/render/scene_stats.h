// Per-frame counts of what the scene drew, reset at the start of every frame
// and shown by the HUD with the largest value seen since start-up.
#pragma once

struct RenderStats {
    long ground_polygons = 0;
    long model_triangles = 0;
    long model_vertices = 0;
    long billboards = 0;
    long decals = 0;
    long texture_changes = 0;  // binds made by the model and billboard passes
    long shader_changes = 0;
};

// The counts of the frame being drawn, and the largest of each so far.
RenderStats& render_stats();
const RenderStats& render_stats_max();

// Starts a frame's counts (the model and program counters too).
void render_stats_reset();
// Folds the model and program counters in and updates the maxima; called
// when the frame's scene is finished.
void render_stats_finish();

// The HUD lines ("Model polygons - %d max=%d" ...), one per index 0..5;
// false past the last.
bool render_stats_line(int index, char* out, int size);
