#include "station/SettingProfile.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

namespace SettingProfile {
namespace {

const QString kMagic = QStringLiteral("vantrel-set profile");
// Far more than any profile needs; a bigger file is not one.
constexpr qint64 kMaxSize = 64 * 1024;
constexpr qsizetype kQuotedChars = 80;

} // namespace

QString quoted(const QString &text)
{
    QString out;
    for (const QChar c : text.left(kQuotedChars)) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    if (text.size() > kQuotedChars)
        out += QStringLiteral("...");
    return QLatin1Char('"') + out + QLatin1Char('"');
}

Read read(const QString &path, const QStringList &allowedNames)
{
    const auto refuse = [&path](int line, const QString &why) {
        return Read{std::nullopt, QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(why)};
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {std::nullopt, QStringLiteral("Cannot read %1: %2.").arg(path, file.errorString())};
    const QByteArray bytes = file.read(kMaxSize + 1);
    if (bytes.size() > kMaxSize) {
        return {std::nullopt, QStringLiteral("%1 is not a profile: it is larger than %2 KiB.")
                                  .arg(path)
                                  .arg(kMaxSize / 1024)};
    }
    // Some editors start a UTF-8 file with a byte order mark; the decoder
    // drops it.
    const QString text = QString::fromUtf8(bytes);
    const QStringList lines = text.split(QLatin1Char('\n'));

    static const QRegularExpression heading(QStringLiteral("^vantrel-set profile\\s+(.*)$"));
    const QRegularExpressionMatch version = heading.match(lines.constFirst().trimmed());
    if (!version.hasMatch()) {
        return refuse(1, QStringLiteral("not a profile: the first line must be \"%1 %2\".")
                             .arg(kMagic)
                             .arg(kVersion));
    }
    // Only the very line this program writes: "01" or "1.0" is no promise
    // that the rest is read as it was meant.
    if (version.captured(1) != QString::number(kVersion)) {
        return refuse(1,
                      QStringLiteral("unsupported version %1 (this vantrel-set reads \"%2 %3\").")
                          .arg(quoted(version.captured(1)), kMagic)
                          .arg(kVersion));
    }

    QList<Entry> entries;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const int number = int(i) + 1;
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return refuse(number, QStringLiteral("%1 is not \"name = value\".").arg(quoted(line)));
        const QString name = line.left(equals).trimmed();
        if (!allowedNames.contains(name)) {
            return refuse(number, QStringLiteral("unknown setting %1; known are %2.")
                                      .arg(quoted(name), allowedNames.join(QStringLiteral(", "))));
        }
        for (const Entry &earlier : entries) {
            if (earlier.name == name) {
                return refuse(number, QStringLiteral("\"%1\" is set twice (also on line %2).")
                                          .arg(name)
                                          .arg(earlier.line));
            }
        }
        entries.append({name, line.mid(equals + 1).trimmed(), number});
    }
    return {entries, {}};
}

QByteArray text(const QList<std::pair<QString, QString>> &settings)
{
    QString out = QStringLiteral("%1 %2\n").arg(kMagic).arg(kVersion);
    for (const auto &[name, value] : settings)
        out += QStringLiteral("%1 = %2\n").arg(name, value);
    return out.toUtf8();
}

bool write(const QString &path, const QByteArray &text, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return true;
    *error = QStringLiteral("Cannot write %1: %2.").arg(path, file.errorString());
    return false;
}

} // namespace SettingProfile
