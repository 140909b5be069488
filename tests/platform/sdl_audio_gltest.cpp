#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

// The sound device pulls blocks from the mixer on its own thread. With
// SDL's dummy output it runs anywhere, without sound hardware.
TEST(SdlAudio, DeviceThreadPlaysTheVoices)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("OBLO_OPTIONS", "[sound-rate:8000][sound-mixahead:40]", 1);
    options_reset();
    Audio* a = audio_open(nullptr);
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("OBLO_OPTIONS");
    options_reset();
    if (!a)
        GTEST_SKIP() << "no audio output here";
    MixerFormat f = audio_format(a);
    EXPECT_EQ(f.rate, 8000);
    EXPECT_EQ(f.block, 125);
    EXPECT_TRUE(f.out16);
    EXPECT_EQ(audio_open(nullptr), nullptr);  // one audio object at a time

    std::vector<uint8_t> tone(8000);
    for (size_t i = 0; i < tone.size(); i++)
        tone[i] = (i / 8) % 2 ? 200 : 56;
    Voice* v = sound_create(a, int(tone.size()), tone.data(), 0);
    voice_play(v);
    // Wait (at most 5 s) for the device thread to move the voice on.
    for (int i = 0; i < 500 && voice_position(v) == 0; i++)
        sleep_for(0, 10000);
    EXPECT_GT(voice_position(v), 0);
    audio_close(a);
    voice_free(v);
}
