// The ground texture windows around the camera: for each level t (0 = the
// finest .. 5) a 4 x 4 set of textures, each covering 2^(t+1) x 2^(t+1)
// cells, that follows the camera. Textures still inside a moved window keep
// their content at their new slot; the ones that enter must be composed.
// At most one texture is composed a frame: the first missing one from the
// coarsest level down, else the one out of date the longest. No GL here:
// the renderer owns the texture ids and does the composing.
#pragma once

constexpr int GROUND_WINDOW_LEVELS = 6;
constexpr int GROUND_WINDOW_SLOTS = 16;  // 4 x 4, row by row

struct GroundWindows {
    int texture[GROUND_WINDOW_LEVELS][GROUND_WINDOW_SLOTS] = {};  // the renderer's ids
    bool ready[GROUND_WINDOW_LEVELS][GROUND_WINDOW_SLOTS] = {};   // content composed
    int stale[GROUND_WINDOW_LEVELS][GROUND_WINDOW_SLOTS] = {};    // 0 up to date, else the frame it went out of date
    int origin_x[GROUND_WINDOW_LEVELS] = {}, origin_z[GROUND_WINDOW_LEVELS] = {};  // in textures of the level
    bool placed = false;  // false after load: every slot is new
};

// One texture to compose: its level and slot, and the square of tiles it
// covers (a tile is 2 x 2 cells).
struct GroundWindowJob {
    bool any = false;
    int level = 0, slot = 0;
    int first_tile_x = 0, first_tile_z = 0, tiles = 0;
};

// After load: the texture ids (level by level, slot by slot), nothing ready.
void ground_windows_reset(GroundWindows* w, const int* textures);

// Moves every level's window to the camera cell of a height field of that
// order (2^(order+1) cells a side, as in the terrain's quadtree); a slot whose texture area stays inside keeps its texture,
// flag and stamp at its new place, and slots that enter are not ready.
void ground_windows_move(GroundWindows* w, int camera_cell_x, int camera_cell_z, int order);

// The one texture to compose this frame among levels min_level .. 5: the
// first slot not ready, coarsest level first; else the slot with the
// smallest positive stamp. It is marked ready and its stamp cleared.
GroundWindowJob ground_windows_next(GroundWindows* w, int min_level);

// Stamps with frame every slot whose area touches cells i0..i1, j0..j1
// (inclusive), unless it is already stamped (a decal or shading change).
void ground_windows_mark_stale(GroundWindows* w, int i0, int j0, int i1, int j1, int frame);
