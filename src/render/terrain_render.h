// Drawing the ground: the per-frame split and draw of the terrain quadtree
// (track/terrain_lod.h) with one triangle fan per drawn node, the texture
// each node uses, the GL-side hooks the terrain loader calls (error pass,
// low-detail shading textures, block textures, framebuffer, cleanup), and
// the per-frame refresh the main loop calls.
#pragma once

struct HeightField;

// Installs the renderer's hooks into the terrain loader, the texture loader
// for surface tiles and the scene's ground step (which then draws the
// ground of the scene's track). Call once after the GL context exists.
void terrain_render_install();

// Immediate mode instead of vertex arrays (--novertexarrays).
void terrain_render_set_vertex_arrays(bool on);
// Finest ground texture window level used (0-4, --ground-texture-detail).
void terrain_render_set_min_texture_level(int level);

// Draws the ground for the camera stored in hf->lod. The caller has set the
// matrices, fog and lighting; the ground is drawn back to front, so the
// caller may set the depth test to always pass.
void terrain_render(HeightField* hf);

// Once a frame from the main loop. quick: error pass with a budget of 1000
// units and at most one dirty low-detail texture rebuilt. Otherwise the
// error pass runs to the end and the camera cell is forgotten so the
// windows are composed again.
void terrain_refresh(HeightField* hf, bool quick);
