#pragma once

#include <QList>
#include <QString>

#include <optional>

// A profile: the settings of a vantrel-set call kept in a text file, so that
// a production line sends the same settings to every unit. The first line
// names the format and its version; then one "name = value" a line, with the
// option names of the command line, and '#' comment lines.
namespace SettingProfile {

inline constexpr int kVersion = 1;

struct Entry
{
    QString name;
    QString value;
    int line = 0;
};

struct Read
{
    std::optional<QList<Entry>> entries;
    QString error; // "FILE:LINE: why"
};

// Reads the file's lines; the values are checked by the caller, who knows
// the settings' rules. allowedNames are the names a line may set.
[[nodiscard]] Read read(const QString &path, const QStringList &allowedNames);

// The file's text for settings in the order given.
[[nodiscard]] QByteArray text(const QList<std::pair<QString, QString>> &settings);

// Text from a file as an error quotes it: in double quotes, at most 80
// characters, control characters escaped (\x0d), so that a binary file or
// a huge line does not flood the terminal.
[[nodiscard]] QString quoted(const QString &text);

// Replaces the file as a whole; false and the reason when it cannot.
[[nodiscard]] bool write(const QString &path, const QByteArray &text, QString *error);

} // namespace SettingProfile
