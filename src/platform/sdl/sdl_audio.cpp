// The sound device: an SDL audio stream fed from the software mixer on
// SDL's audio thread, one block (1/64 s) at a time under the mixer lock.
#include "platform/audio_internal.h"
#include "platform/log.h"
#include "platform/options.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace {

struct SdlAudio {
    SDL_AudioDeviceID device = 0;
    Audio* audio = nullptr;
    int block_bytes = 0;
    int unread = 0;  // bytes of the last mixed block not yet handed over
};

void feed(void* userdata, Uint8* stream, int len)
{
    SdlAudio* out = static_cast<SdlAudio*>(userdata);
    Audio* a = out->audio;
    std::lock_guard<std::mutex> guard(a->lock);
    while (len > 0) {
        if (out->unread == 0) {
            mixer_mix_locked(a);
            out->unread = out->block_bytes;
        }
        int n = std::min(len, out->unread);
        std::memcpy(stream, a->out.data() + (out->block_bytes - out->unread), size_t(n));
        stream += n;
        len -= n;
        out->unread -= n;
    }
}

void close_device(Audio* a)
{
    SdlAudio* out = static_cast<SdlAudio*>(a->driver);
    log_printf("Closing audio\n");
    SDL_CloseAudioDevice(out->device);  // waits for the audio thread
    log_printf("Audio thread end\n");
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    delete out;
    a->driver = nullptr;
}

}  // namespace

Audio* audio_open(Window*)
{
    // There is no separate mixing sound service here: "dsnd" is read and
    // noted, and the sample stream below is the one driver.
    if (option_flag("dsnd", 1))
        log_printf("No mixing sound service; using the sample stream\n");
    if (!option_flag("waveout", 1))
        return nullptr;
    log_printf("Opening waveOut audio...\n");
    if (audio_current()) {
        log_printf("Audio already open\n");
        return nullptr;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        log_printf("No audio device\n");
        return nullptr;
    }
    const char* name = SDL_GetAudioDeviceName(0, 0);
    log_printf("Found a %s\n", name ? name : SDL_GetCurrentAudioDriver());
    int budget = std::max(0, option_int("sound-channels", 16));
    // A block is 1/64 s, so the rate must give at least one frame.
    int rate = std::clamp(option_int("sound-rate", 22050), 4000, 192000);
    int mixahead = option_int("sound-mixahead", 125);
    int fragments = std::clamp(int(int64_t(mixahead) * 64 / 1000), 1, 32);
    log_printf("Waveout rate: %d\n", rate);
    log_printf("Waveout channels: %d\n", budget);
    log_printf("Waveout mixahead: %d\n", fragments * 1000 / 64);

    SdlAudio* out = new SdlAudio;
    SDL_AudioSpec want{}, have{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = Uint16(std::min(fragments * (rate / 64), 65535));
    want.callback = feed;
    want.userdata = out;
    out->device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (out->device == 0) {
        log_printf("Can't open waveOut\n");
        log_printf("%s\n", SDL_GetError());
        delete out;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    bool stereo = have.channels >= 2;
    if (have.channels > 2) {
        // More speakers than two: let SDL fold our stereo into them.
        SDL_CloseAudioDevice(out->device);
        out->device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        stereo = true;
    }
    Audio* a = out->device ? audio_open_mixer(MixerFormat{rate, stereo, rate / 64, budget, true}) : nullptr;
    if (!a) {
        log_printf("malloc() failed\n");
        if (out->device)
            SDL_CloseAudioDevice(out->device);
        delete out;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    out->audio = a;
    out->block_bytes = mixer_block_bytes(a->format);
    a->driver = out;
    a->close_driver = close_device;
    audio_current() = a;
    log_printf("Audio thread begin\n");
    SDL_PauseAudioDevice(out->device, 0);
    return a;
}
