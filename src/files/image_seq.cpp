// ".seq" animations: a frame table over a set of J7 or PNG images.
#include "files/image.h"
#include "files/stream.h"
#include "platform/log.h"

#include <cctype>
#include <climits>

namespace {

// Far beyond any real animation; keeps a corrupt header from asking for
// millions of entries.
constexpr int SEQ_MAX_FRAMES = 1 << 16;
constexpr int SEQ_MAX_IMAGES = 1 << 10;

std::string trimmed(const char* text)
{
    std::string s = text;
    size_t a = 0, b = s.size();
    while (a < b && std::isspace((unsigned char)s[a]))
        a++;
    while (b > a && std::isspace((unsigned char)s[b - 1]))
        b--;
    return s.substr(a, b - a);
}

bool read_png_file(const std::string& name, ImageBuffer* out)
{
    Stream* s = stream_open(name.c_str(), "rb");
    // A bare name in an animation means a data file.
    if (!s && !name.empty() && name[0] != '@')
        s = stream_open(("@" + name).c_str(), "rb");
    if (!s)
        return false;
    bool ok = image_read_png_stream(s, out);
    stream_close(s);
    return ok;
}

}  // namespace

bool image_read_sequence(Stream* s, ImageSequence* out)
{
    int frame_count = 0, image_count = 0, duration = 0, loop = 0;
    if (stream_scanf(s, "%d %d %d %d", &frame_count, &image_count, &duration, &loop) != 4 ||
        frame_count < 1 || image_count < 1 || frame_count > SEQ_MAX_FRAMES || image_count > SEQ_MAX_IMAGES) {
        log_printf("Error reading .seq header\n");
        return false;
    }
    out->frame_duration = duration < 1 ? 1 : duration;  // a zero duration would divide by zero
    out->loop = loop != 0;
    out->frames.clear();
    out->images.clear();
    for (int i = 0; i < frame_count; i++) {
        int v = stream_read_int(s);
        if (v == INT_MIN || v < 0 || v >= image_count) {
            log_printf("Error reading .seq frame table entry %d\n", i);
            return false;
        }
        out->frames.push_back(v);
    }
    for (int i = 0; i < image_count; i++) {
        std::string word = image_read_magic(s);
        ImageBuffer im;
        if (word == "J7") {
            if (!image_read_j_body(s, 4, &im)) {
                log_printf("Error reading .seq frame %d\n", i);
                return false;
            }
        } else if (word == "PNG") {
            char line[1024];
            if (!stream_gets(s, line, sizeof line)) {
                log_printf("EOF while reading .seq\n");
                return false;
            }
            std::string name = trimmed(line);
            if (!read_png_file(name, &im)) {
                log_printf("Can't read %.900s\n", name.c_str());
                return false;
            }
        } else {
            log_printf("Error reading .seq frame %d\n", i);
            return false;
        }
        if (!out->images.empty()) {
            const ImageBuffer& first = out->images[0];
            if (im.width != first.width || im.height != first.height) {
                log_printf("Width/height mismatch reading .seq\n");
                return false;
            }
            if (im.channels != first.channels) {
                log_printf("Depth mismatch reading .seq\n");
                return false;
            }
        }
        image_build_mipmaps(im);
        out->images.push_back(std::move(im));
    }
    return true;
}

int image_sequence_frame_image(const ImageSequence& seq, int tick, int start)
{
    long long elapsed = (long long)tick - start;
    if (elapsed < 0)
        elapsed = 0;
    long long frame = elapsed / seq.frame_duration;
    long long count = (long long)seq.frames.size();
    if (seq.loop)
        frame %= count;
    else if (frame > count - 1)
        frame = count - 1;
    return seq.frames[size_t(frame)];
}
