#include "station/SettingProfile.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

namespace SettingProfile {
namespace {

const QString kMagic = QStringLiteral("vantrel-set profile");

} // namespace

Read read(const QString &path, const QStringList &allowedNames)
{
    const auto refuse = [&path](int line, const QString &why) {
        return Read{std::nullopt, QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(why)};
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {std::nullopt, QStringLiteral("Cannot read %1: %2.").arg(path, file.errorString())};
    // Some editors start a UTF-8 file with a byte order mark; the decoder
    // drops it.
    const QString text = QString::fromUtf8(file.readAll());
    const QStringList lines = text.split(QLatin1Char('\n'));

    static const QRegularExpression heading(QStringLiteral("^vantrel-set profile ([0-9]+)$"));
    const QRegularExpressionMatch version = heading.match(lines.constFirst().trimmed());
    if (!version.hasMatch()) {
        return refuse(1, QStringLiteral("not a profile: the first line must be \"%1 %2\".")
                             .arg(kMagic)
                             .arg(kVersion));
    }
    const int found = version.captured(1).toInt();
    if (found != kVersion) {
        return refuse(1, QStringLiteral("profile format %1 is not the one this program reads "
                                        "(%2); a newer vantrel-set wrote it.")
                             .arg(version.captured(1))
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
            return refuse(number, QStringLiteral("\"%1\" is not \"name = value\".").arg(line));
        const QString name = line.left(equals).trimmed();
        if (!allowedNames.contains(name)) {
            return refuse(number, QStringLiteral("unknown setting \"%1\"; known are %2.")
                                      .arg(name, allowedNames.join(QStringLiteral(", "))));
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
