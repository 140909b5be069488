// Picture files: PPM/PGM, PNG, the program's own predictive J6/J7 formats
// and ".seq" animations, decoded into plain byte buffers. No GL here: the
// texture manager uploads what these readers return, and the terrain loader
// reads its shading, shadows and height images with them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Stream;

// The largest picture any reader accepts: each side at most this many
// pixels, and at most IMAGE_MAX_PIXELS in all. Checked before anything of
// that size is allocated, so a malformed header fails instead of exhausting
// memory.
constexpr int IMAGE_MAX_SIDE = 16384;
constexpr long long IMAGE_MAX_PIXELS = 1LL << 25;

// A decoded picture. For textures, `pixels` holds level 0 followed by its
// complete mipmap chain (each level halves each side, down to 1 x 1); the
// single-level readers leave just level 0. Rows run first row first.
struct ImageBuffer {
    int width = 0, height = 0;
    int channels = 0;             // 1 grey, 3 RGB, 4 RGBA
    bool max_alpha_mips = false;  // PNG text "[mip_max_alpha]": mip alpha = block maximum
    std::vector<uint8_t> pixels;
};

// True when the dimensions are within the reader limits above.
bool image_size_ok(long long width, long long height);

// Bytes taken by a picture and its whole mipmap chain.
size_t image_chain_bytes(int width, int height, int channels);

// One mipmap level from the next larger one (w x h source, channels 3 or 4):
// 2 x 2 averages, alpha-weighted colour for RGBA, block-maximum alpha when
// max_alpha is set. A side already 1 averages pairs along the other side.
void image_mip_step(const uint8_t* src, int w, int h, int channels, bool max_alpha, uint8_t* dst);

// Extends a single-level buffer with its mipmap chain, in place.
void image_build_mipmaps(ImageBuffer& im);

// Nearest-neighbour resample of level 0 to the next powers of two (at least
// as large), rebuilding the chain with averaged alpha. Returns false when
// the picture already has power-of-two sides (nothing changes).
bool image_resample_pow2(ImageBuffer& im);

inline bool image_is_pow2(int v) { return v > 0 && (v & (v - 1)) == 0; }

// The level a texture upload starts from at this detail level: while detail
// remains and both sides exceed 128, one level is dropped. Fills the byte
// offset of that level in `pixels` and its size.
void image_detail_level(const ImageBuffer& im, int detail, size_t* offset, int* width, int* height);

// --- readers over an open stream, positioned after the magic word -------

// PPM/PGM bodies after "P3", "P6" (3 channels) or "P2", "P5" (1 channel).
bool image_read_pnm_body(Stream* s, const char* magic, ImageBuffer* out);
// J6 (3 channels) or J7 (4 channels) bodies after the magic.
bool image_read_j_body(Stream* s, int channels, ImageBuffer* out);
// A PNG from the start of the stream, as 8-bit RGB (3 channels) or RGBA (4,
// when the picture has alpha or a transparency chunk).
bool image_read_png_stream(Stream* s, ImageBuffer* out);

// Reads the first word of a picture (at most 15 characters) so callers can
// dispatch on "P6", "J7", "ANIM1" and so on.
std::string image_read_magic(Stream* s);

// --- whole-file readers (names may be "@" names) -------------------------

struct ImageSequence;

enum ImageLoadResult {
    IMAGE_LOAD_MISSING,   // the file cannot be opened
    IMAGE_LOAD_FAILED,    // no reader understood it
    IMAGE_LOAD_PICTURE,   // `out` holds the picture with its mipmap chain
    IMAGE_LOAD_SEQUENCE,  // `seq` holds an ".seq" animation
};

// A picture for a texture: J7, J6, P3/P6 or ANIM1 by the first word;
// anything else, or a reader that failed, is read again as PNG. Pictures
// come with their mipmap chain. `seq` may be null when animations are not
// wanted (an animation then fails).
ImageLoadResult image_load_texture(const char* name, ImageBuffer* out, ImageSequence* seq);

// RGB colour image, P3, P6, J6 or J7 (the alpha of J7 is dropped). Level 0.
bool image_read_colour(Stream* s, ImageBuffer* out);
// Grey image, P2 or P5. Level 0.
bool image_read_grey(Stream* s, ImageBuffer* out);
// RGBA picture: PNG (RGB gets alpha 255), J7, or J6 (alpha 0). Level 0.
bool image_read_rgba(const char* name, ImageBuffer* out);

// 16-bit grey samples of a PNG (8-bit samples are widened by v * 257).
bool image_read_png16(const char* name, std::vector<uint16_t>* samples, int* width, int* height);
// Writes a 16-bit grey PNG, rows first row first.
bool image_write_png16(const char* name, const uint16_t* samples, int width, int height);
// The same two over a stream the caller opened and closes (height images
// read from a track folder or archive, written beside its other files).
bool image_read_png16_stream(Stream* s, std::vector<uint16_t>* samples, int* width, int* height);
bool image_write_png16_stream(Stream* s, const uint16_t* samples, int width, int height);
// Writes an 8-bit RGB PNG from rows stored bottom row first (as read back
// from the frame buffer), so the file shows the picture upright.
bool image_write_png_rgb(const char* name, const uint8_t* pixels, int width, int height);

// --- ".seq" animations -----------------------------------------------------

// An animation as read from its file: every image with its mipmap chain and
// the frame table that picks an image per frame.
struct ImageSequence {
    int frame_duration = 1;  // ticks per frame
    bool loop = false;
    std::vector<int> frames;           // image index per frame
    std::vector<ImageBuffer> images;   // same size and channel count each
};

// Reads an animation after its "ANIM1" magic. On failure logs the reason
// ("Error reading .seq frame %d", "Width/height mismatch reading .seq", ...)
// and returns false.
bool image_read_sequence(Stream* s, ImageSequence* out);

// The image an animation shows at `tick` when it started at `start`.
int image_sequence_frame_image(const ImageSequence& seq, int tick, int start);

// --- writers for the program's own formats --------------------------------

// The value J6/J7 predict for byte i of row `cur` (x is its pixel, `up`
// the row above or null on the first row): reader and writer share it, so
// each is the exact inverse of the other.
inline int image_j_predict(const uint8_t* cur, const uint8_t* up, size_t i, size_t x, int channels)
{
    size_t c = size_t(channels);
    if (!up)
        return x == 0 ? 0 : cur[i - c];
    if (x == 0)
        return up[i];
    int pred = up[i] + cur[i - c] - up[i - c];
    return pred < 0 ? 0 : (pred > 255 ? 255 : pred);
}

// J6 (channels 3) or J7 (channels 4) bytes of a picture, rows top to bottom:
// each byte is the difference to the same prediction the reader makes.
std::string image_encode_j(const uint8_t* pixels, int width, int height, int channels);
