#pragma once

#include <QByteArray>
#include <QString>

// Appending to a report so that what was appended survives a crash or a
// power cut: one write, flushed to the disk before the call returns.

// Whether path can be opened for appending (made when new). False and the
// reason when not.
[[nodiscard]] bool checkAppendable(const QString &path, QString *error);

// Appends header (only when the file is empty) and line in one write and
// flushes them to the disk; a short write is cut back off, so the file never
// ends in a part record.
[[nodiscard]] bool appendDurably(const QString &path, const QByteArray &header,
                                 const QByteArray &line, QString *error);
