// A profile file's bytes, as a line might have it (saved by an editor, cut
// off, or not a profile at all), through SettingProfile::read.
//
// Input: the file's bytes.
// Checks: entries or an error, never both; an error quotes the file with no
// raw control character (it goes to a terminal); entries only under the
// profile's first line, each a known name once, in line order, with no space
// around its value; and the entries, written as a profile and read again,
// come back the same.

#include "ScratchFiles.h"
#include "station/SettingProfile.h"

#include <cstdint>

namespace {

const QStringList kNames{QStringLiteral("baud"), QStringLiteral("channel"),
                         QStringLiteral("master")};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = scratchFile(bytes, "fuzz.profile");
    const SettingProfile::Read read = SettingProfile::read(path, kNames);
    check(read.entries.has_value() == read.error.isEmpty());
    for (const QChar c : read.error)
        check(c.unicode() >= 0x20 && c.unicode() != 0x7F);
    if (!read.entries)
        return 0;
    // Read as text: every CR goes.
    check(QString::fromUtf8(QByteArray(bytes).replace('\r', QByteArray()))
              .section(QLatin1Char('\n'), 0, 0)
              .simplified() == QLatin1String("vantrel-set profile 1"));
    QList<std::pair<QString, QString>> settings;
    int lastLine = 1;
    for (const SettingProfile::Entry &entry : *read.entries) {
        check(kNames.contains(entry.name) && entry.line > lastLine);
        check(entry.value == entry.value.trimmed());
        for (const auto &[name, value] : settings)
            check(name != entry.name);
        lastLine = entry.line;
        settings.append({entry.name, entry.value});
    }
    const SettingProfile::Read again =
        SettingProfile::read(scratchFile(SettingProfile::text(settings), "again.profile"), kNames);
    check(again.entries.has_value() && again.entries->size() == read.entries->size());
    for (qsizetype i = 0; i < settings.size(); ++i) {
        check(again.entries->at(i).name == settings.at(i).first);
        check(again.entries->at(i).value == settings.at(i).second);
    }
    return 0;
}
