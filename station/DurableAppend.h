#pragma once

#include <QByteArray>
#include <QString>

// Appending to a report so that what was appended survives a crash or a
// power cut: one write, flushed to the disk before the call returns.

// Appends header (only when the file is empty) and line in one write and
// flushes them to the disk; a short write is cut back off, so the file never
// ends in a part record. A file whose last line lacks its newline (written
// by another program) gets one first, so the record starts a line.
[[nodiscard]] bool appendDurably(const QString &path, const QByteArray &header,
                                 const QByteArray &line, QString *error);
