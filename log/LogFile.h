#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

struct SaveOutcome
{
    bool ok = false;
    QString error; // the reason, for the operator, when ok is false
};

// Writes bytes to path exactly as given. The bytes go to a temporary file
// that replaces path only once everything is written, so a failed save never
// leaves a truncated file in place of an old one.
[[nodiscard]] SaveOutcome saveLogFile(const QString &path, const QByteArray &bytes);

// Where the save dialog starts: the application's folder, unless the program
// is installed somewhere the operator cannot write; then the home folder.
[[nodiscard]] QString initialSaveFolder(const QString &applicationDir);

// Turns "description|pattern" pairs, e.g. "Text files(*.txt) | *.txt", into
// Qt name filter entries separated by ";;". A description that already ends
// with its pattern in parentheses is used as it is, so the dialog shows the
// same text the operator expects.
[[nodiscard]] QString qtNameFilter(QStringView pairFilter);
