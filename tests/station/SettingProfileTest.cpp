#include "station/SettingProfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// How a profile's text is read, apart from what its values mean.
class SettingProfileTest : public QObject
{
    Q_OBJECT

private slots:
    void accepted_data();
    void accepted();
    void tooLargeRefused();
};

namespace {

// A profile of exactly size bytes: one setting, then comment lines.
QByteArray profileOfSize(qsizetype size)
{
    QByteArray text("vantrel-set profile 1\nchannel = 15\n");
    while (text.size() < size)
        text += "#" + QByteArray(std::min<qsizetype>(size - text.size() - 2, 70), '-') + "\n";
    return text;
}

QString written(const QTemporaryDir &dir, const QByteArray &text)
{
    const QString path = dir.filePath(QStringLiteral("line.profile"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return {};
    return path;
}

} // namespace

void SettingProfileTest::accepted_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("entries"); // "name=value@line"

    QTest::newRow("byte order mark before the version line")
        << QByteArray("\xEF\xBB\xBFvantrel-set profile 1\nchannel = 15\n")
        << QStringList{"channel=15@2"};
    QTest::newRow("CR LF line ends, no last newline")
        << QByteArray("vantrel-set profile 1\r\nchannel = 3\r\npower = -8")
        << QStringList{"channel=3@2", "power=-8@3"};
    QTest::newRow("comments, blank lines and blanks around '='")
        << QByteArray("vantrel-set profile 1\n\n# line 3\n  baud=115200  \n")
        << QStringList{"baud=115200@4"};
    QTest::newRow("64 KiB exactly") << profileOfSize(64 * 1024) << QStringList{"channel=15@2"};
}

void SettingProfileTest::accepted()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, entries);
    QTemporaryDir dir;
    const QString path = written(dir, text);
    QVERIFY(!path.isEmpty());
    const SettingProfile::Read read = SettingProfile::read(
        path, {QStringLiteral("channel"), QStringLiteral("power"), QStringLiteral("baud")});
    QVERIFY2(read.entries, qPrintable(read.error));
    QStringList got;
    for (const SettingProfile::Entry &entry : *read.entries)
        got << QStringLiteral("%1=%2@%3").arg(entry.name, entry.value).arg(entry.line);
    QCOMPARE(got, entries);
}

// A file far larger than a profile is no profile: refused before reading on.
void SettingProfileTest::tooLargeRefused()
{
    QTemporaryDir dir;
    const QByteArray text = profileOfSize(64 * 1024 + 1);
    QCOMPARE(text.size(), 64 * 1024 + 1);
    const SettingProfile::Read read = SettingProfile::read(written(dir, text), {"channel"});
    QVERIFY(!read.entries);
    QVERIFY2(read.error.contains(QLatin1String("64 KiB")), qPrintable(read.error));
}

QTEST_APPLESS_MAIN(SettingProfileTest)
#include "SettingProfileTest.moc"
