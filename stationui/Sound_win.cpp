#include "stationui/Sound.h"

#include <windows.h>

#include <mmsystem.h>

// PlaySound plays a WAV from memory on its own thread; the memory must stay
// as it is until the sound ends, so both cues live as long as the window.
struct Sound::Device
{
    QByteArray pass = wavOf(cueSamples(Cue::Pass));
    QByteArray fail = wavOf(cueSamples(Cue::Fail));

    ~Device() { PlaySoundW(nullptr, nullptr, 0); }
};

Sound::Sound() : m_device(std::make_unique<Device>()) {}

Sound::~Sound() = default;

void Sound::play(Cue cue)
{
    if (!m_enabled)
        return;
    const QByteArray &wav = cue == Cue::Pass ? m_device->pass : m_device->fail;
    // Without a sound device PlaySound just fails: a quiet station.
    PlaySoundW(reinterpret_cast<LPCWSTR>(wav.constData()), nullptr,
               SND_MEMORY | SND_ASYNC | SND_NODEFAULT);
}
