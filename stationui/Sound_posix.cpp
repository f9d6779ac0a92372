#include "stationui/Sound.h"

#ifdef VANTREL_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

#include <QElapsedTimer>

#ifdef VANTREL_HAVE_ALSA

namespace {

// Room for the longest cue, so that one write never has to wait.
constexpr unsigned kBufferUs = kLongestCueMs * 1000;
// A device that could not be opened is tried again after this long (a
// headset plugged in later), not at every result.
constexpr qint64 kRetryMs = 60'000;

// ALSA prints its reasons on stderr (no card, no server): a station without
// sound is normal, so they are dropped.
void quiet(const char *, int, const char *, int, const char *, ...) {}

} // namespace

struct Sound::Device
{
    snd_pcm_t *pcm = nullptr;
    QElapsedTimer lastFailure;
    QByteArray pass = cueSamples(Cue::Pass);
    QByteArray fail = cueSamples(Cue::Fail);

    ~Device()
    {
        if (pcm)
            snd_pcm_close(pcm);
    }

    bool open()
    {
        if (pcm)
            return true;
        if (lastFailure.isValid() && !lastFailure.hasExpired(kRetryMs))
            return false;
        snd_lib_error_set_handler(quiet);
        // Non-blocking: a write never waits for the device.
        if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) == 0 &&
            snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1,
                               kSoundRate, 1, kBufferUs) == 0) {
            return true;
        }
        if (pcm)
            snd_pcm_close(pcm);
        pcm = nullptr;
        lastFailure.start();
        return false;
    }

    void play(const QByteArray &samples)
    {
        if (!open())
            return;
        // The new cue replaces one still playing.
        snd_pcm_drop(pcm);
        snd_pcm_prepare(pcm);
        const snd_pcm_sframes_t written =
            snd_pcm_writei(pcm, samples.constData(), snd_pcm_uframes_t(samples.size() / 2));
        if (written < 0) {
            // The server went away: open afresh next time.
            snd_pcm_close(pcm);
            pcm = nullptr;
            return;
        }
        // The device starts on its own only once its buffer is full.
        if (snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED)
            snd_pcm_start(pcm);
    }
};

Sound::Sound() : m_device(std::make_unique<Device>()) {}

void Sound::play(Cue cue)
{
    if (m_enabled)
        m_device->play(cue == Cue::Pass ? m_device->pass : m_device->fail);
}

#else

// Built without ALSA's headers (Debian: libasound2-dev): quiet.
struct Sound::Device
{
};

Sound::Sound() = default;

void Sound::play(Cue) {}

#endif

Sound::~Sound() = default;
