#pragma once

#include <QByteArray>

#include <memory>

// A pass and a fail sound, made in memory (no sound files to ship) and
// played without waiting for them: ALSA on Linux (its "default" device, which
// PulseAudio and PipeWire serve), PlaySound on Windows. A computer without a
// sound device stays quiet; that is not an error.
class Sound
{
public:
    enum class Cue
    {
        Pass,
        Fail
    };

    Sound();
    ~Sound();

    void setEnabled(bool enabled) { m_enabled = enabled; }
    [[nodiscard]] bool isEnabled() const { return m_enabled; }
    void play(Cue cue);

private:
    struct Device; // in the system's own file
    std::unique_ptr<Device> m_device;
    bool m_enabled = true;
};

inline constexpr int kSoundRate = 48000;
// No cue is longer: the device's buffer holds this much, so that a cue is
// written whole without waiting.
inline constexpr int kLongestCueMs = 600;

// The cue as signed 16-bit mono samples at kSoundRate: two rising notes for
// a pass, two low buzzes for a fail, each faded in and out against clicks.
[[nodiscard]] QByteArray cueSamples(Sound::Cue cue);
// The samples as a WAV file, as Windows plays them from memory.
[[nodiscard]] QByteArray wavOf(const QByteArray &samples);
