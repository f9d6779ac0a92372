#include "station/Fixture.h"

#include "station/SettingProfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>

namespace {

const QString kMagic = QStringLiteral("vantrel-station fixture");
// 64 slots of long Windows location paths fit many times over.
constexpr qint64 kMaxSize = 64 * 1024;

using SettingProfile::quoted;

// The station window shows these in its language; vantrel-set has none.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(Fixture)
};

bool hasControlCharacter(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}

// Why line (the file's line number) cannot be slot expected, or empty.
QString slotLineError(const QString &line, int expected, const QStringList &sockets,
                      const QList<int> &lines, QString *socket)
{
    static const QRegularExpression form(QStringLiteral("^slot\\s+([0-9]+)\\s*=(.*)$"));
    const QRegularExpressionMatch match = form.match(line);
    if (!match.hasMatch())
        return Texts::tr("%1 is not \"slot N = socket\".").arg(quoted(line));
    if (match.captured(1).toInt() != expected) {
        return Texts::tr("slot %1 where slot %2 was expected: slots are numbered 1, 2, 3, "
                         "... in order.")
            .arg(match.captured(1))
            .arg(expected);
    }
    *socket = match.captured(2).trimmed();
    if (socket->isEmpty())
        return Texts::tr("slot %1 names no socket.").arg(expected);
    if (hasControlCharacter(*socket))
        return Texts::tr("the socket %1 holds control characters.").arg(quoted(*socket));
    if (const qsizetype earlier = sockets.indexOf(*socket); earlier >= 0) {
        return Texts::tr("the socket of slot %1 is slot %2's already (line %3).")
            .arg(expected)
            .arg(earlier + 1)
            .arg(lines.at(earlier));
    }
    if (expected > Fixture::kMaxSlots)
        return Texts::tr("more than %1 slots.").arg(Fixture::kMaxSlots);
    return {};
}

} // namespace

int Fixture::slotOf(const QString &socket) const
{
    return socket.isEmpty() ? 0 : int(m_sockets.indexOf(socket)) + 1;
}

QByteArray Fixture::text() const
{
    QString out = QStringLiteral("%1 %2\n").arg(kMagic).arg(kVersion);
    for (qsizetype i = 0; i < m_sockets.size(); ++i)
        out += QStringLiteral("slot %1 = %2\n").arg(i + 1).arg(m_sockets.at(i));
    return out.toUtf8();
}

FixtureRead parseFixture(const QByteArray &text, const QString &path)
{
    const auto refuse = [&path](qsizetype line, const QString &why) {
        return FixtureRead{std::nullopt, QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(why)};
    };
    // Written by Windows' editors with CR LF and sometimes a byte order mark.
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    static const QRegularExpression heading(QStringLiteral("^vantrel-station fixture\\s+(.*)$"));
    const QRegularExpressionMatch version = heading.match(lines.constFirst().trimmed());
    if (!version.hasMatch()) {
        return refuse(1, Texts::tr("not a fixture: the first line must be \"%1 %2\".")
                             .arg(kMagic)
                             .arg(Fixture::kVersion));
    }
    if (version.captured(1) != QString::number(Fixture::kVersion)) {
        return refuse(1, Texts::tr("unsupported version %1 (this program reads \"%2 %3\").")
                             .arg(quoted(version.captured(1)), kMagic)
                             .arg(Fixture::kVersion));
    }
    QStringList sockets;
    QList<int> socketLines;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QString socket;
        const QString why =
            slotLineError(line, int(sockets.size()) + 1, sockets, socketLines, &socket);
        if (!why.isEmpty())
            return refuse(i + 1, why);
        sockets.append(socket);
        socketLines.append(int(i) + 1);
    }
    if (sockets.isEmpty())
        return refuse(lines.size(), Texts::tr("no slot: a fixture names at least one socket."));
    return {Fixture(sockets), {}};
}

FixtureRead readFixture(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, Texts::tr("Cannot read %1: %2.").arg(path, file.errorString())};
    const QByteArray bytes = file.read(kMaxSize + 1);
    if (bytes.size() > kMaxSize) {
        return {std::nullopt, Texts::tr("%1 is not a fixture: it is larger than %2 KiB.")
                                  .arg(path)
                                  .arg(kMaxSize / 1024)};
    }
    return parseFixture(bytes, path);
}

FixtureWrite writeFixture(const QString &path, const Fixture &fixture)
{
    const QByteArray text = fixture.text();
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return {};
    return {Texts::tr("Cannot write %1: %2.").arg(path, file.errorString())};
}

FixtureLearning::FixtureLearning(int slotCount)
    : m_slotCount(slotCount > 0 ? std::min(slotCount, Fixture::kMaxSlots) : Fixture::kMaxSlots)
{
}

FixtureLearning::Heard FixtureLearning::appeared(const PortEntry &unit)
{
    if (unit.byPath.isEmpty())
        return {Outcome::NoSocket, 0, {}};
    if (const qsizetype known = m_sockets.indexOf(unit.byPath); known >= 0)
        return {Outcome::AlreadyLearned, int(known) + 1, unit.byPath};
    if (isComplete())
        return {Outcome::Full, 0, unit.byPath};
    m_sockets.append(unit.byPath);
    return {Outcome::Learned, int(m_sockets.size()), unit.byPath};
}

void FixtureLearning::undo()
{
    if (!m_sockets.isEmpty())
        m_sockets.removeLast();
}
