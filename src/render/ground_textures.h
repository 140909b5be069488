// The ground's composed textures: the window sets near the camera and the
// block textures far away, drawn on the GPU from the tile textures, the
// decals and the baked shading (from the low-detail shading textures), into
// a framebuffer object or, without one, into the back buffer and copied out.
// Also the low-detail textures themselves and their round-robin rebuild.
#pragma once
#include <GL/gl.h>

struct HeightField;

// Load time: every window and block texture as an R x R placeholder
// checkerboard with the filtering the GL side allows; the windows start
// empty on these ids. The blocks are composed by the next update.
void ground_textures_create(HeightField* hf);

// Deletes the window, block and low-detail textures and the framebuffer.
void ground_textures_free(HeightField* hf);

// Once a frame after the camera is known (hf->lod.camera): composes the
// dirty blocks, moves the windows with the camera and composes at most one
// window texture, from the coarsest level down to min_level.
void ground_textures_update(HeightField* hf, int min_level);

// Composes texture from the square of tiles x tiles tiles whose first tile
// is (first_tile_x, first_tile_z). False, with the texture untouched, when
// the framebuffer is not complete.
bool ground_texture_generate(HeightField* hf, GLuint texture, int first_tile_x, int first_tile_z, int tiles);

// Builds every low-detail shading texture (load time).
void low_detail_build_all(HeightField* hf);

// Rebuilds up to count dirty low-detail textures, round robin from where
// the last call stopped; each one rebuilt marks its blocks dirty and stamps
// the windows over it out of date.
void low_detail_refresh(HeightField* hf, int count);

// Whether large decals are drawn in pieces (set on the first update from the
// renderer string).
bool ground_textures_split_decals();
