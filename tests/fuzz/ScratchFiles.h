#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>

// For the targets that read files: each input becomes a file, on a file
// system in memory where there is one.

inline void check(bool condition)
{
    if (!condition)
        std::abort();
}

inline QString scratchFile(const QByteArray &bytes, const char *name)
{
    static const QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                       ? QStringLiteral("/dev/shm/vantrel-fuzz-XXXXXX")
                                       : QDir::tempPath() + QStringLiteral("/vantrel-fuzz-XXXXXX"));
    const QString path = dir.filePath(QLatin1String(name));
    QFile file(path);
    check(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    return path;
}

inline QByteArray contents(const QString &path)
{
    QFile file(path);
    check(file.open(QIODevice::ReadOnly));
    return file.readAll();
}
