#include "platform/audio.h"

#include "platform/options.h"
#include "platform/log.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A mono 8-bit mixer at 8000 frames/s: a full-volume voice plays at level 31.
Audio* mono_mixer(int block)
{
    return audio_open_mixer(MixerFormat{8000, false, block, 16, false});
}

Voice* make_voice(Audio* a, const Bytes& samples, int rate = 0)
{
    return sound_create(a, int(samples.size()), samples.data(), rate);
}

Bytes mix(Audio* a)
{
    MixerFormat f = audio_format(a);
    const uint8_t* out = audio_mix_block(a);
    return Bytes(out, out + f.block * (f.stereo ? 2 : 1) * (f.out16 ? 2 : 1));
}

Bytes channel(const Bytes& stereo, int side)
{
    Bytes out;
    for (size_t i = size_t(side); i < stereo.size(); i += 2)
        out.push_back(stereo[i]);
    return out;
}

// What one voice at this level gives for these samples, 8-bit.
Bytes at_level(int level, const Bytes& samples)
{
    Bytes out;
    for (uint8_t m : samples)
        out.push_back(uint8_t(128 + mixer_table(level, m)));
    return out;
}

// The readback driver with the default options (a budget of 16).
struct Readback {
    EnvGuard env{"OBLO_OPTIONS", nullptr};
    Audio* audio;
    Readback(int rate, int block, const char* options = nullptr)
    {
        if (options)
            setenv("OBLO_OPTIONS", options, 1);
        options_reset();
        audio = audio_open_readback(nullptr, rate, block);
    }
    ~Readback()
    {
        audio_close(audio);
        options_reset();
    }
};

}  // namespace

TEST(Mixer, VolumeTableEntries)
{
    struct Case { int level, sample, value; };
    const Case cases[] = {
        {31, 128, 0}, {31, 129, 0},  {31, 255, 122}, {31, 0, -123}, {31, 1, -122},
        {31, 127, 0}, {16, 192, 31}, {16, 64, -31},  {1, 255, 3},   {1, 0, -3},
        {0, 255, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(mixer_table(c.level, c.sample), c.value) << c.level << " " << c.sample;
}

TEST(Mixer, ReadbackMixesKnownVoicesToExactBytes)
{
    Readback rb(8000, 8);
    ASSERT_NE(rb.audio, nullptr);
    EXPECT_EQ(audio_open_readback(nullptr, 8000, 8), nullptr);  // one audio object at a time

    Voice* centre = make_voice(rb.audio, {128, 160, 200, 255, 0, 100, 128, 140});
    Voice* right = make_voice(rb.audio, Bytes(8, 200));
    voice_set_pan(right, 32767);  // levels 0 and 31
    voice_play(centre);           // levels 15 and 15
    voice_play(right);
    const uint8_t* block = audio_readback(rb.audio);
    ASSERT_NE(block, nullptr);
    Bytes out(block, block + 16);
    EXPECT_EQ(channel(out, 0), (Bytes{128, 142, 161, 187, 69, 116, 128, 133}));
    EXPECT_EQ(channel(out, 1), (Bytes{196, 210, 229, 255, 137, 184, 196, 201}));
    // Neither voice loops: both finished, and the next block is silence.
    EXPECT_FALSE(voice_playing(centre));
    EXPECT_EQ(voice_position(centre), 0);
    block = audio_readback(rb.audio);
    EXPECT_EQ(Bytes(block, block + 16), Bytes(16, 128));
    voice_free(centre);
    voice_free(right);
}

TEST(Mixer, SixteenBitOutputIsLimitedTo32512)
{
    Audio* a = audio_open_mixer(MixerFormat{8000, false, 4, 16, true});
    Voice* v1 = make_voice(a, {255, 0, 160, 128});
    Voice* v2 = voice_clone(v1);
    voice_play(v1);
    voice_play(v2);
    Bytes out = mix(a);
    int16_t s[4];
    std::memcpy(s, out.data(), sizeof s);
    EXPECT_EQ(s[0], 32512);   // 122 + 122, limited
    EXPECT_EQ(s[1], -32512);  // -123 - 123
    EXPECT_EQ(s[2], 2 * 30 * 256);
    EXPECT_EQ(s[3], 0);
    voice_free(v1);
    voice_free(v2);
    audio_close(a);
}

TEST(Mixer, PlaybackRateStepsThroughTheSamples)
{
    const Bytes data = {130, 140, 150, 160};
    struct Case { int rate; Bytes indexes; };
    const Case cases[] = {
        {8000, {0, 1, 2, 3, 0, 1, 2, 3}},
        {16000, {0, 2, 0, 2, 0, 2, 0, 2}},
        {4000, {0, 0, 1, 1, 2, 2, 3, 3}},
        {12000, {0, 1, 3, 0, 2, 3, 1, 2}},  // 1.5 per frame, wrapping with the fraction
    };
    for (const Case& c : cases) {
        Audio* a = mono_mixer(8);
        Voice* v = make_voice(a, data);
        voice_set_loop(v, true);
        voice_set_rate(v, c.rate);
        voice_play(v);
        Bytes want;
        for (uint8_t i : c.indexes)
            want.push_back(data[i]);
        EXPECT_EQ(mix(a), at_level(31, want)) << c.rate;
        voice_free(v);
        audio_close(a);
    }
}

TEST(Mixer, SoundsAreConvertedToTheOutputRate)
{
    const Bytes data = {130, 140, 150, 160, 170, 180};
    struct Case { int rate; int frames; Bytes want; };
    const Case cases[] = {
        {0, 6, {130, 140, 150, 160, 170, 180}},
        {4000, 12, {130, 130, 140, 140, 150, 150, 160, 160, 170, 170, 180, 180}},
        {16000, 3, {130, 150, 170}},
        {3000, 16, {130, 130, 130, 140, 140, 140, 150, 150, 160, 160, 160, 170, 170, 170, 180, 180}},
    };
    for (const Case& c : cases) {
        Audio* a = mono_mixer(16);
        Voice* v = make_voice(a, data, c.rate);
        ASSERT_NE(v, nullptr);
        voice_play(v);
        Bytes want = c.want;
        want.resize(16, 128);
        EXPECT_EQ(mix(a), at_level(31, want)) << c.rate;
        EXPECT_FALSE(voice_playing(v)) << c.rate;
        voice_free(v);
        audio_close(a);
    }
    Audio* a = mono_mixer(16);
    EXPECT_EQ(make_voice(a, {1, 2}, 20000), nullptr);  // would hold no samples
    EXPECT_EQ(make_voice(a, {}), nullptr);
    audio_close(a);
}

TEST(Mixer, LevelChangesWaitForTheZeroCrossing)
{
    Audio* a = mono_mixer(8);
    const Bytes wave = {200, 200, 200, 60, 60, 60, 200, 200};
    Voice* v = make_voice(a, wave);
    voice_set_loop(v, true);
    voice_play(v);
    EXPECT_EQ(mix(a), at_level(31, wave));
    voice_set_volume(v, 16384);  // level 15 from the next crossing on
    Bytes want = at_level(31, {200, 200, 200});
    for (uint8_t b : at_level(15, {60, 60, 60, 200, 200}))
        want.push_back(b);
    EXPECT_EQ(mix(a), want);
    EXPECT_EQ(mix(a), at_level(15, wave));
    voice_free(v);
    audio_close(a);
}

TEST(Mixer, RestartWaitsForTheZeroCrossing)
{
    Audio* a = mono_mixer(2);
    Voice* v = make_voice(a, {200, 201, 202, 203, 60, 61, 62, 63});
    voice_set_loop(v, true);
    voice_play(v);
    EXPECT_EQ(mix(a), at_level(31, {200, 201}));
    voice_play(v);  // already playing: back to the start at the next crossing
    EXPECT_EQ(mix(a), at_level(31, {202, 203}));
    EXPECT_EQ(mix(a), at_level(31, {200, 201}));
    EXPECT_EQ(voice_position(v), 2);
    voice_free(v);
    audio_close(a);
}

TEST(Mixer, VoiceWriteWrapsAroundTheEnd)
{
    struct Case { Bytes source; int p; Bytes data; };
    const Case cases[] = {
        {{10, 20, 30}, 7, {20, 30, 128, 128, 128, 128, 128, 10}},
        {{10, 20, 30}, 2, {128, 128, 10, 20, 30, 128, 128, 128}},
        {{10, 20, 30}, 13, {128, 128, 128, 128, 128, 10, 20, 30}},
        {{10, 20, 30}, -1, {20, 30, 128, 128, 128, 128, 128, 10}},
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 0, {9, 10, 3, 4, 5, 6, 7, 8}},
        {{1, 2, 3, 4, 5, 6, 7, 8}, 5, {4, 5, 6, 7, 8, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        Audio* a = mono_mixer(8);
        Voice* v = make_voice(a, Bytes(8, 128));
        voice_write(v, int(c.source.size()), c.source.data(), c.p);
        voice_play(v);
        EXPECT_EQ(mix(a), at_level(31, c.data)) << c.p << " " << c.source.size();
        voice_free(v);
        audio_close(a);
    }
}

TEST(Mixer, BudgetCutsTheQuietestVoiceSides)
{
    for (int budget : {16, 20}) {
        Readback rb(8000, 8, budget == 20 ? "[sound-channels:20]" : nullptr);
        ASSERT_NE(rb.audio, nullptr);
        // Eight voices at levels 15/15 adding 1 each, two at 2/2 adding 7
        // each: 20 audible voice-sides.
        std::vector<Voice*> voices;
        for (int i = 0; i < 10; i++) {
            Voice* v = make_voice(rb.audio, Bytes(64, i < 8 ? 132 : 255));
            voice_set_loop(v, true);
            if (i >= 8)
                voice_set_volume(v, 5000);
            voice_play(v);
            voices.push_back(v);
        }
        const uint8_t* block = audio_readback(rb.audio);
        int want = budget == 16 ? 128 + 8 : 128 + 8 + 14;
        EXPECT_EQ(Bytes(block, block + 16), Bytes(16, uint8_t(want))) << budget;
        for (Voice* v : voices)
            EXPECT_EQ(voice_position(v), 8);  // heard or not, every voice moved on
        if (budget == 16) {
            // Voices outlive the audio object: they go quiet and can still be freed.
            audio_close(rb.audio);
            rb.audio = nullptr;
            voice_play(voices[0]);
            voice_set_volume(voices[0], 100);
            EXPECT_EQ(voice_position(voices[0]), 0);
        }
        for (Voice* v : voices)
            voice_free(v);
    }
}
