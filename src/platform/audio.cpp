// The audio object's life and the readback driver; the sound device driver
// lives with the window system code.
#include "platform/audio_internal.h"

#include "platform/log.h"
#include "platform/options.h"

Audio*& audio_current()
{
    static Audio* current = nullptr;
    return current;
}

Audio* audio_open_readback(Window*, int rate, int block)
{
    log_printf("Opening readback audio...\n");
    if (audio_current()) {
        log_printf("Audio already open\n");
        return nullptr;
    }
    MixerFormat format{rate, true, block, option_int("sound-channels", 16), false};
    Audio* a = audio_open_mixer(format);
    if (!a) {
        log_printf("Malloc failed\n");
        return nullptr;
    }
    a->readback = true;
    audio_current() = a;
    log_printf("Audio opened!\n");
    return a;
}

void audio_close(Audio* a)
{
    if (!a)
        return;
    if (a->close_driver)
        a->close_driver(a);
    {
        std::lock_guard<std::mutex> guard(a->lock);
        for (Voice* v : a->voices) {
            v->audio = nullptr;
            v->playing = false;
        }
        a->voices.clear();
    }
    if (audio_current() == a)
        audio_current() = nullptr;
    delete a;
}

void audio_update(Audio*)
{
}

const uint8_t* audio_readback(Audio* a)
{
    if (!a || !a->readback)
        return nullptr;
    return audio_mix_block(a);
}
