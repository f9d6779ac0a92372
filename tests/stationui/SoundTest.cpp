#include "stationui/Sound.h"

#include <QTest>
#include <QtEndian>

Q_DECLARE_METATYPE(Sound::Cue)

// The cues as they go to the devices: short enough to be written whole, and,
// for Windows, a WAV whose sizes say what it holds.
class SoundTest : public QObject
{
    Q_OBJECT

private slots:
    void cues_data();
    void cues();
};

void SoundTest::cues_data()
{
    QTest::addColumn<Sound::Cue>("cue");
    QTest::newRow("pass") << Sound::Cue::Pass;
    QTest::newRow("fail") << Sound::Cue::Fail;
}

void SoundTest::cues()
{
    QFETCH(Sound::Cue, cue);
    const QByteArray samples = cueSamples(cue);
    QVERIFY(!samples.isEmpty());
    QCOMPARE(samples.size() % 2, 0);
    QVERIFY(samples.size() / 2 * 1000 / kSoundRate < kLongestCueMs);
    QVERIFY(samples != cueSamples(cue == Sound::Cue::Pass ? Sound::Cue::Fail : Sound::Cue::Pass));

    const QByteArray wav = wavOf(samples);
    QVERIFY(wav.startsWith("RIFF"));
    QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 4), quint32(wav.size() - 8));
    QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 24), quint32(kSoundRate));
    QCOMPARE(wav.mid(36, 4), QByteArray("data"));
    QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 40), quint32(samples.size()));
    QCOMPARE(wav.mid(44), samples);
}

QTEST_APPLESS_MAIN(SoundTest)
#include "SoundTest.moc"
