// Audio output: one audio object at a time, fed by the program's own
// software mixer. Sounds are unsigned 8-bit samples (128 is silence); each
// voice plays one sound at its own rate, volume and pan. The loudest voices
// are mixed first and a voice budget cuts the quietest. Every voice
// operation takes the mixer lock, because the output device may mix on its
// own thread.
#pragma once
#include <cstdint>

struct Window;
struct Audio;  // opaque; the mixer and the driver that feeds it
struct Voice;  // opaque; one playing (or stopped) sound

// How the software mixer works: output rate in frames per second, stereo
// or mono, frames per mixed block, how many voice-sides are mixed per
// block, and 16-bit signed (else 8-bit unsigned) output.
struct MixerFormat {
    int rate;
    bool stereo;
    int block;
    int budget;
    bool out16;
};

// Opens the sound device ("sound-rate", "sound-channels" and
// "sound-mixahead" options). None when there is no device or audio is
// already open (logged). The window may be null.
Audio* audio_open(Window* window);

// Opens the readback driver: a stereo 8-bit mixer of the given rate and
// block length that only mixes when asked (audio recording, tests).
Audio* audio_open_readback(Window* window, int rate, int block);

// A bare software mixer with no driver, for the drivers and for tests.
// None for a format it cannot mix (rate or block below 1).
Audio* audio_open_mixer(const MixerFormat& format);

// Closes the driver and the mixer. Voices still alive go silent; they must
// still be freed with voice_free.
void audio_close(Audio* audio);

// Called once per frame; the drivers here need no work in it.
void audio_update(Audio* audio);

// Readback driver: mixes the next block and returns it, block frames of
// left and right unsigned 8-bit bytes. Null for another driver.
const uint8_t* audio_readback(Audio* audio);

// Mixes one block and returns the output buffer: block frames, one or two
// channels, one byte (unsigned) or two (signed, native order) per sample.
const uint8_t* audio_mix_block(Audio* audio);

// The format the mixer runs at.
MixerFormat audio_format(const Audio* audio);

// Creates a voice for a copy of the samples. A rate other than 0 converts
// them once to the output rate (nearest earlier sample). The voice starts
// stopped, at the output rate, full volume, centred, not looping. None when
// the sound would be empty.
Voice* sound_create(Audio* audio, int length, const uint8_t* samples, int rate);

// A new voice on the same samples, stopped, with levels 0.
Voice* voice_clone(Voice* voice);

// Releases the voice; the samples go when their last voice goes.
void voice_free(Voice* voice);

// Plays from the start; a playing voice restarts at its next zero crossing.
void voice_play(Voice* voice);
void voice_stop(Voice* voice);

void voice_set_rate(Voice* voice, int samples_per_second);
void voice_set_volume(Voice* voice, int volume);   // 0..32767
void voice_set_pan(Voice* voice, int pan);         // -32768 (left)..32767 (right)
void voice_set_loop(Voice* voice, bool loop);

// Byte offset of the play position while playing, else 0.
int voice_position(Voice* voice);

// Stores n bytes into the voice's samples at position p, wrapping at the
// end; of more bytes than the sound holds only the last ones are kept.
void voice_write(Voice* voice, int n, const uint8_t* source, int p);

// True while the voice is in the play lists (tests and diagnostics).
bool voice_playing(const Voice* voice);

// The volume table entry for level 1..31 and sample byte m (0 for level 0).
int mixer_table(int level, int sample);
