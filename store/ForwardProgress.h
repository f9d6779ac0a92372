#pragma once

#include <QByteArray>
#include <QString>

// How far a report has been forwarded, kept beside it in REPORT.forwarded
// (replaced whole and flushed to disk each time). It names the report's
// first bytes, so that a new file at the same path (the old one moved away)
// is read from its start rather than from where the old one ended.
struct ForwardProgress
{
    qint64 offset = 0; // the end of the last record in the store
    qint64 line = 0;   // lines before offset, header included
    QByteArray head;   // the report's first bytes, at most kHeadBytes of those before offset

    static constexpr qint64 kHeadBytes = 512;

    [[nodiscard]] static QString pathFor(const QString &report);
    // Where to go on in report: the saved progress when it is that file's,
    // else its start.
    [[nodiscard]] static ForwardProgress load(const QString &report);
    // False and why when it could not be written.
    [[nodiscard]] bool save(const QString &report, QString *error) const;
};

// Flushes a folder's entries to the disk, so that a file just renamed into
// it stays after a power cut (no-op where the system does it with the
// rename).
void syncFolder(const QString &folder);
