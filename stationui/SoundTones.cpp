#include "stationui/Sound.h"

#include <QtEndian>

#include <cmath>
#include <numbers>

namespace {

struct Note
{
    double hz;
    int ms;
    bool buzz; // odd harmonics: harsher, heard over a line's noise
};

void appendNote(QByteArray &out, const Note &note)
{
    const int frames = kSoundRate * note.ms / 1000;
    const int fade = kSoundRate * 5 / 1000;
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / kSoundRate;
        const double phase = 2 * std::numbers::pi * note.hz * t;
        double value = std::sin(phase);
        if (note.buzz)
            value = 0.6 * value + 0.25 * std::sin(3 * phase) + 0.15 * std::sin(5 * phase);
        const double envelope = std::min({1.0, double(i) / fade, double(frames - i) / fade});
        const auto sample = qint16(std::lround(value * envelope * 0.35 * 32767));
        char bytes[2];
        qToLittleEndian(sample, bytes);
        out.append(bytes, 2);
    }
}

void appendSilence(QByteArray &out, int ms)
{
    out.append(QByteArray(kSoundRate * ms / 1000 * 2, '\0'));
}

} // namespace

QByteArray cueSamples(Sound::Cue cue)
{
    QByteArray out;
    if (cue == Sound::Cue::Pass) {
        appendNote(out, {880, 90, false});
        appendNote(out, {1320, 160, false});
    } else {
        appendNote(out, {196, 150, true});
        appendSilence(out, 60);
        appendNote(out, {196, 150, true});
    }
    return out;
}

QByteArray wavOf(const QByteArray &samples)
{
    QByteArray wav;
    const auto u32 = [&wav](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        wav.append(b, 4);
    };
    const auto u16 = [&wav](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        wav.append(b, 2);
    };
    wav.append("RIFF");
    u32(quint32(36 + samples.size()));
    wav.append("WAVEfmt ");
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(kSoundRate);
    u32(kSoundRate * 2); // bytes a second
    u16(2);              // bytes a frame
    u16(16);             // bits a sample
    wav.append("data");
    u32(quint32(samples.size()));
    wav.append(samples);
    return wav;
}
