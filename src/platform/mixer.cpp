// The software mixer: voices in play lists by level, a volume table for
// every level, and integer stepping through 8-bit samples.
#include "platform/audio_internal.h"

#include <algorithm>
#include <cstring>

namespace {

struct VolumeTable {
    int8_t entry[MIXER_LEVELS][256];
    VolumeTable()
    {
        std::memset(entry, 0, sizeof entry);
        for (int level = 1; level < MIXER_LEVELS; level++) {
            for (int m = 0; m < 256; m++) {
                int d = m - 128;
                int v = 0;
                if (d > 0)
                    v = (d - 1) * level / 32;
                else if (d == -128)
                    v = -(127 * level / 32);
                else if (d < 0)
                    v = -((-d - 1) * level / 32);
                entry[level][m] = int8_t(v);
            }
        }
    }
};

const VolumeTable& volume_table()
{
    static const VolumeTable table;
    return table;
}

int sides(const Audio* a)
{
    return a->format.stereo ? 2 : 1;
}

void list_remove(Audio* a, Voice* v, int s)
{
    VoiceSide& vs = v->side[s];
    if (vs.prev)
        vs.prev->side[s].next = vs.next;
    else
        a->lists[s][vs.target] = vs.next;
    if (vs.next)
        vs.next->side[s].prev = vs.prev;
    vs.prev = vs.next = nullptr;
}

void list_insert(Audio* a, Voice* v, int s)
{
    VoiceSide& vs = v->side[s];
    Voice*& head = a->lists[s][vs.target];
    vs.prev = nullptr;
    vs.next = head;
    if (head)
        head->side[s].prev = v;
    head = v;
}

void lists_leave(Voice* v)
{
    if (!v->playing)
        return;
    for (int s = 0; s < sides(v->audio); s++)
        list_remove(v->audio, v, s);
    v->playing = false;
}

// New target levels from volume and pan; a playing voice changes lists.
void update_targets(Voice* v)
{
    Audio* a = v->audio;
    int64_t vol = v->volume, pan = v->pan;
    int left = int(((32767 - pan) * vol) >> 26);
    int right = int((vol * (pan + 32768)) >> 26);
    int target[2] = {std::clamp(left, 0, MIXER_LEVELS - 1), std::clamp(right, 0, MIXER_LEVELS - 1)};
    for (int s = 0; s < sides(a); s++) {
        if (v->playing)
            list_remove(a, v, s);
        v->side[s].target = target[s];
        if (v->playing)
            list_insert(a, v, s);
    }
}

// Moves a side on by some steps: wraps when looping, else finishes the voice.
bool side_wrap(Voice* v, VoiceSide& vs)
{
    uint32_t len = uint32_t(v->data->length);
    if (vs.pos < len)
        return true;
    if (v->loop) {
        vs.pos %= len;
        return true;
    }
    v->finished = true;
    return false;
}

void mix_side(Audio* a, Voice* v, int s, int32_t* acc)
{
    const MixerFormat& f = a->format;
    VoiceSide& vs = v->side[s];
    const uint8_t* data = v->data->bytes.data();
    uint32_t step = uint32_t(v->rate / f.rate);
    uint32_t step_frac = uint32_t((int64_t(v->rate % f.rate) << 31) / f.rate);
    if (!acc) {
        // Not heard: take the new level and any restart now, and only move on.
        vs.level = vs.target;
        if (vs.restart) {
            vs.restart = false;
            vs.pos = vs.frac = 0;
        }
        uint64_t frac = uint64_t(vs.frac) + uint64_t(step_frac) * uint64_t(f.block);
        uint64_t pos = uint64_t(vs.pos) + uint64_t(step) * uint64_t(f.block) + (frac >> 31);
        vs.frac = uint32_t(frac & 0x7fffffff);
        uint64_t len = uint64_t(v->data->length);
        if (pos >= len && v->loop)
            pos %= len;
        if (pos >= len) {
            v->finished = true;
            pos = len;
        }
        vs.pos = uint32_t(pos);
        vs.last = data[std::min<uint64_t>(pos, len - 1)];
        return;
    }
    const int8_t(*table)[256] = volume_table().entry;
    for (int i = 0; i < f.block; i++) {
        uint8_t sample = data[vs.pos];
        if ((vs.level != vs.target || vs.restart) && ((sample ^ vs.last) & 0x80)) {
            vs.level = vs.target;
            if (vs.restart) {
                vs.restart = false;
                vs.pos = vs.frac = 0;
                sample = data[0];
            }
        }
        acc[i] += table[vs.level][sample];
        vs.last = sample;
        vs.frac += step_frac;
        vs.pos += step + (vs.frac >> 31);
        vs.frac &= 0x7fffffff;
        if (!side_wrap(v, vs))
            break;
    }
}

}  // namespace

int mixer_table(int level, int sample)
{
    if (level < 0 || level >= MIXER_LEVELS || sample < 0 || sample > 255)
        return 0;
    return volume_table().entry[level][sample];
}

int mixer_block_bytes(const MixerFormat& f)
{
    return f.block * (f.stereo ? 2 : 1) * (f.out16 ? 2 : 1);
}

void mixer_mix_locked(Audio* a)
{
    const MixerFormat& f = a->format;
    int channels = sides(a);
    for (int s = 0; s < channels; s++)
        std::fill(a->acc[s].begin(), a->acc[s].end(), 0);
    int budget = f.budget;
    for (int level = MIXER_LEVELS - 1; level >= 0; level--) {
        Voice* walk[2] = {a->lists[0][level], channels > 1 ? a->lists[1][level] : nullptr};
        while (walk[0] || walk[1]) {
            for (int s = 0; s < channels; s++) {
                Voice* v = walk[s];
                if (!v)
                    continue;
                walk[s] = v->side[s].next;
                bool heard = level >= 1 && budget > 0;
                if (heard)
                    budget--;
                mix_side(a, v, s, heard ? a->acc[s].data() : nullptr);
            }
        }
    }
    for (Voice* v : a->voices) {
        if (v->playing && v->finished)
            lists_leave(v);
    }
    for (int i = 0; i < f.block; i++) {
        for (int s = 0; s < channels; s++) {
            int value = std::clamp(a->acc[s][size_t(i)], -127, 127);
            size_t at = size_t(i * channels + s);
            if (f.out16) {
                int16_t sample = int16_t(value * 256);
                std::memcpy(&a->out[at * 2], &sample, 2);
            } else {
                a->out[at] = uint8_t(value + 128);
            }
        }
    }
}

Audio* audio_open_mixer(const MixerFormat& format)
{
    if (format.rate < 1 || format.block < 1)
        return nullptr;
    Audio* a = new Audio;
    a->format = format;
    a->format.budget = std::max(0, format.budget);
    for (int s = 0; s < sides(a); s++)
        a->acc[s].assign(size_t(format.block), 0);
    a->out.assign(size_t(mixer_block_bytes(format)), 0);
    volume_table();
    return a;
}

const uint8_t* audio_mix_block(Audio* a)
{
    if (!a)
        return nullptr;
    std::lock_guard<std::mutex> guard(a->lock);
    mixer_mix_locked(a);
    return a->out.data();
}

MixerFormat audio_format(const Audio* a)
{
    return a ? a->format : MixerFormat{};
}

Voice* sound_create(Audio* a, int length, const uint8_t* samples, int rate)
{
    if (!a || length < 1 || !samples || rate < 0)
        return nullptr;
    std::lock_guard<std::mutex> guard(a->lock);
    int64_t out_len = length;
    if (rate != 0)
        out_len = int64_t(length) * a->format.rate / rate;
    if (out_len < 1 || out_len > 0x7fffffff)
        return nullptr;
    SoundData* d = new SoundData;
    d->refs = 1;
    d->length = int(out_len);
    if (rate == 0) {
        d->bytes.assign(samples, samples + length);
    } else {
        d->bytes.resize(size_t(out_len));
        // Nearest earlier input byte, stepping with a remainder.
        int whole = rate / a->format.rate, part = rate % a->format.rate;
        int64_t in = 0, rem = 0;
        for (int64_t i = 0; i < out_len; i++) {
            d->bytes[size_t(i)] = samples[std::min<int64_t>(in, length - 1)];
            in += whole;
            rem += part;
            if (rem >= a->format.rate) {
                rem -= a->format.rate;
                in++;
            }
        }
    }
    Voice* v = new Voice;
    v->audio = a;
    v->data = d;
    v->rate = a->format.rate;
    v->pan = a->format.stereo ? 0 : -32768;
    update_targets(v);
    a->voices.push_back(v);
    return v;
}

Voice* voice_clone(Voice* src)
{
    if (!src || !src->audio)
        return nullptr;
    Audio* a = src->audio;
    std::lock_guard<std::mutex> guard(a->lock);
    Voice* v = new Voice;
    v->audio = a;
    v->data = src->data;
    v->data->refs++;
    v->loop = src->loop;
    v->rate = src->rate;
    v->volume = src->volume;
    v->pan = src->pan;
    update_targets(v);
    for (VoiceSide& vs : v->side)
        vs.level = 0;
    a->voices.push_back(v);
    return v;
}

void voice_free(Voice* v)
{
    if (!v)
        return;
    if (Audio* a = v->audio) {
        std::lock_guard<std::mutex> guard(a->lock);
        lists_leave(v);
        a->voices.erase(std::remove(a->voices.begin(), a->voices.end(), v), a->voices.end());
    }
    if (--v->data->refs == 0)
        delete v->data;
    delete v;
}

void voice_play(Voice* v)
{
    if (!v || !v->audio)
        return;
    std::lock_guard<std::mutex> guard(v->audio->lock);
    if (v->playing) {
        for (VoiceSide& vs : v->side)
            vs.restart = true;
        return;
    }
    v->finished = false;
    for (VoiceSide& vs : v->side) {
        vs.pos = vs.frac = 0;
        vs.level = vs.target;
        vs.restart = false;
        vs.last = v->data->bytes[0];
    }
    v->playing = true;
    for (int s = 0; s < sides(v->audio); s++)
        list_insert(v->audio, v, s);
}

void voice_stop(Voice* v)
{
    if (!v || !v->audio)
        return;
    std::lock_guard<std::mutex> guard(v->audio->lock);
    lists_leave(v);
}

void voice_set_rate(Voice* v, int rate)
{
    if (!v || !v->audio)
        return;
    std::lock_guard<std::mutex> guard(v->audio->lock);
    v->rate = std::max(0, rate);
}

void voice_set_volume(Voice* v, int volume)
{
    if (!v || !v->audio)
        return;
    std::lock_guard<std::mutex> guard(v->audio->lock);
    v->volume = std::clamp(volume, 0, 32767);
    update_targets(v);
}

void voice_set_pan(Voice* v, int pan)
{
    if (!v || !v->audio)
        return;
    std::lock_guard<std::mutex> guard(v->audio->lock);
    v->pan = v->audio->format.stereo ? std::clamp(pan, -32768, 32767) : -32768;
    update_targets(v);
}

void voice_set_loop(Voice* v, bool loop)
{
    if (!v || !v->audio)
        return;
    std::lock_guard<std::mutex> guard(v->audio->lock);
    v->loop = loop;
}

int voice_position(Voice* v)
{
    if (!v || !v->audio)
        return 0;
    std::lock_guard<std::mutex> guard(v->audio->lock);
    return v->playing ? int(v->side[0].pos) : 0;
}

bool voice_playing(const Voice* v)
{
    return v && v->audio && v->playing;
}

void voice_write(Voice* v, int n, const uint8_t* source, int p)
{
    if (!v || n <= 0 || !source)
        return;
    std::unique_lock<std::mutex> guard;
    if (v->audio)
        guard = std::unique_lock<std::mutex>(v->audio->lock);
    int len = v->data->length;
    int start = p;
    if (n > len) {
        source += n - len;
        start = int((int64_t(p) + n - len) % len);
        n = len;
    } else {
        start = p % len;
    }
    if (start < 0)
        start += len;
    uint8_t* data = v->data->bytes.data();
    int first = std::min(n, len - start);
    std::memcpy(data + start, source, size_t(first));
    std::memcpy(data, source + first, size_t(n - first));
}
