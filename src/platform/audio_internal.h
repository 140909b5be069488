// The software mixer's records, shared by the mixer and the drivers.
#pragma once
#include "platform/audio.h"

#include <mutex>
#include <vector>

enum { MIXER_LEVELS = 32 };

// Samples shared by a voice and its clones.
struct SoundData {
    int refs;
    int length;
    std::vector<uint8_t> bytes;
};

// One side (left or right) of a voice: where it plays and how loud.
struct VoiceSide {
    uint32_t pos = 0;        // byte index into the samples
    uint32_t frac = 0;       // 31-bit fraction of a sample
    int target = 0;          // level from volume and pan
    int level = 0;           // level being played; takes the target at a crossing
    bool restart = false;    // jump to the start at the next crossing
    uint8_t last = 128;      // previous sample, to see the crossing
    Voice* prev = nullptr;   // play list of the target level
    Voice* next = nullptr;
};

struct Voice {
    Audio* audio;            // null once the audio closed
    SoundData* data;
    bool loop = false;
    bool playing = false;
    bool finished = false;
    int rate = 0;
    int volume = 32767;
    int pan = 0;
    VoiceSide side[2];
};

struct Audio {
    MixerFormat format{};
    std::mutex lock;         // the mixer lock
    std::vector<int32_t> acc[2];
    std::vector<uint8_t> out;
    Voice* lists[2][MIXER_LEVELS] = {};
    std::vector<Voice*> voices;
    bool readback = false;
    void (*close_driver)(Audio*) = nullptr;  // stops the device before the mixer goes
    void* driver = nullptr;
};

// Mixes one block into audio->out; the caller holds the mixer lock.
void mixer_mix_locked(Audio* audio);

// Bytes in one mixed block.
int mixer_block_bytes(const MixerFormat& format);

// The audio object that is open, or null; drivers refuse a second one.
Audio*& audio_current();
