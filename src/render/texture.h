// The texture manager: GL textures made from picture files, cached by name
// and stamped with a generation so a track switch can release what the new
// track no longer asks for; ".seq" animations; the texture memory counter;
// and number textures painted with the digit fonts.
#pragma once
#include <GL/gl.h>
#include <cstdint>

// Loads (or finds in the cache) the texture of a picture file. A leading
// "!" loads at full detail; "-repeat." / "-hrepeat." / "-vrepeat." in the
// name repeat the texture, anything else clamps. 0 when it cannot be read.
GLuint texture_load(const char* name);

// The cached name of a texture, or null when it is not from the cache.
const char* texture_name_of(GLuint texture);

// Starts a new generation (a track switch): later loads and re-requests are
// stamped with it, and the memory counter starts again from 0.
void texture_generation_next();
int texture_generation();

// Deletes cached textures of older generations (0 stays: start-up pictures)
// and the animations whose texture went with them.
void texture_sweep();

// Deletes every texture and animation (shutdown).
void texture_release_all();

// Bytes of texture memory uploaded in this generation.
long long texture_memory();

// Detail level 0-4: each step drops one mipmap level of large textures.
void texture_set_detail(int detail);
int texture_detail();

// Debug level: 1 and above reports missing textures and deletions.
void texture_set_debug(int level);

// Turns a picture with its mipmap chain into a texture. Sides that are not
// powers of two are resampled first; `detail` drops levels while both
// sides exceed 128. Adds the uploaded bytes to the memory counter.
GLuint texture_from_image(const uint8_t* pixels, int width, int height, int channels, int detail, bool repeat_s,
                          bool repeat_t);

// Deletes a texture made outside the cache (texture_text, fonts).
void texture_free(GLuint texture);

// Advances every running animation to the race clock (once per frame).
void anim_update(int tick);
// Starts an animation texture from frame 0 at this tick, or pauses it.
// Textures that are not animations are left alone.
void anim_start(GLuint texture, int tick);
void anim_stop(GLuint texture);

// A width x height RGBA texture, transparent white, with `text` painted in
// opaque white by the digit fonts; the outermost pixels of every mipmap
// level stay transparent so the clamped edge never shows. Not cached: the
// caller frees it with texture_free.
GLuint texture_text(int width, int height, const char* text);
