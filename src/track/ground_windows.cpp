#include "track/ground_windows.h"

#include "track/terrain_lod.h"

namespace {

struct Slot {
    int texture;
    bool ready;
    int stale;
};

// Cells a side of one texture of level t.
int texture_cells(int level) { return 2 << level; }

}  // namespace

void ground_windows_reset(GroundWindows* w, const int* textures)
{
    *w = GroundWindows();
    for (int t = 0; t < GROUND_WINDOW_LEVELS; t++)
        for (int k = 0; k < GROUND_WINDOW_SLOTS; k++)
            w->texture[t][k] = textures ? textures[t * GROUND_WINDOW_SLOTS + k] : 0;
}

void ground_windows_move(GroundWindows* w, int camera_cell_x, int camera_cell_z, int order)
{
    for (int t = 0; t < GROUND_WINDOW_LEVELS; t++) {
        int depth = order - t;
        int ox = terrain_window_origin(camera_cell_x, order, depth);
        int oz = terrain_window_origin(camera_cell_z, order, depth);
        if (w->placed && ox == w->origin_x[t] && oz == w->origin_z[t])
            continue;
        Slot old[GROUND_WINDOW_SLOTS];
        bool kept[GROUND_WINDOW_SLOTS] = {};
        for (int k = 0; k < GROUND_WINDOW_SLOTS; k++)
            old[k] = {w->texture[t][k], w->ready[t][k], w->stale[t][k]};
        Slot next[GROUND_WINDOW_SLOTS];
        bool filled[GROUND_WINDOW_SLOTS] = {};
        // Textures whose area is still inside the window move to their slot.
        if (w->placed) {
            for (int k = 0; k < GROUND_WINDOW_SLOTS; k++) {
                int tx = w->origin_x[t] + k % 4, tz = w->origin_z[t] + k / 4;
                int sx = tx - ox, sz = tz - oz;
                if (sx < 0 || sz < 0 || sx >= 4 || sz >= 4)
                    continue;
                next[sx + 4 * sz] = old[k];
                filled[sx + 4 * sz] = true;
                kept[k] = true;
            }
        }
        // The others take the textures that left, to be composed anew.
        int spare = 0;
        for (int k = 0; k < GROUND_WINDOW_SLOTS; k++) {
            if (filled[k])
                continue;
            while (kept[spare])
                spare++;
            next[k] = {old[spare].texture, false, 0};
            kept[spare] = true;
        }
        for (int k = 0; k < GROUND_WINDOW_SLOTS; k++) {
            w->texture[t][k] = next[k].texture;
            w->ready[t][k] = next[k].ready;
            w->stale[t][k] = next[k].stale;
        }
        w->origin_x[t] = ox;
        w->origin_z[t] = oz;
    }
    w->placed = true;
}

GroundWindowJob ground_windows_next(GroundWindows* w, int min_level)
{
    GroundWindowJob job;
    if (min_level < 0)
        min_level = 0;
    for (int t = GROUND_WINDOW_LEVELS - 1; t >= min_level && !job.any; t--)
        for (int k = 0; k < GROUND_WINDOW_SLOTS && !job.any; k++)
            if (!w->ready[t][k]) {
                job.any = true;
                job.level = t;
                job.slot = k;
            }
    if (!job.any) {
        int oldest = 0;
        for (int t = min_level; t < GROUND_WINDOW_LEVELS; t++)
            for (int k = 0; k < GROUND_WINDOW_SLOTS; k++)
                if (w->stale[t][k] > 0 && (!job.any || w->stale[t][k] < oldest)) {
                    job.any = true;
                    job.level = t;
                    job.slot = k;
                    oldest = w->stale[t][k];
                }
    }
    if (!job.any)
        return job;
    w->ready[job.level][job.slot] = true;
    w->stale[job.level][job.slot] = 0;
    int tiles = texture_cells(job.level) / 2;
    job.tiles = tiles;
    job.first_tile_x = (w->origin_x[job.level] + job.slot % 4) * tiles;
    job.first_tile_z = (w->origin_z[job.level] + job.slot / 4) * tiles;
    return job;
}

void ground_windows_mark_stale(GroundWindows* w, int i0, int j0, int i1, int j1, int frame)
{
    for (int t = 0; t < GROUND_WINDOW_LEVELS; t++) {
        int c = texture_cells(t);
        for (int k = 0; k < GROUND_WINDOW_SLOTS; k++) {
            int x0 = (w->origin_x[t] + k % 4) * c, z0 = (w->origin_z[t] + k / 4) * c;
            bool touches = i1 >= x0 && i0 < x0 + c && j1 >= z0 && j0 < z0 + c;
            if (touches && w->stale[t][k] == 0)
                w->stale[t][k] = frame;
        }
    }
}
