#include "log/LogFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <cerrno>
#include <cstring>

SaveOutcome saveLogFile(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty())
        return {false, QStringLiteral("No file name given.")};

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {false, file.errorString()};

    // Qt 6.4 takes a short write (full disk, file size limit) without a
    // description, and QSaveFile::commit() even succeeds after its own flush
    // failed, replacing the old file with a truncated one. So the write and
    // the flush are checked here, before commit, and the reason is taken
    // from the system. Returning without commit discards the temporary file.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const int code = errno;
        return {false,
                code != 0 ? QString::fromLocal8Bit(std::strerror(code)) : file.errorString()};
    }
    if (!file.commit())
        return {false, file.errorString()};
    return {true, {}};
}

QString initialSaveFolder(const QString &applicationDir)
{
    const QFileInfo info(applicationDir);
    if (!applicationDir.isEmpty() && info.isDir() && info.isWritable())
        return QDir::cleanPath(info.absoluteFilePath());
    return QDir::homePath();
}

QString qtNameFilter(QStringView pairFilter)
{
    const QList<QStringView> parts = pairFilter.split(u'|');
    if (parts.size() < 2)
        return pairFilter.trimmed().toString();

    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed().toString();
        // Patterns in a pair filter are separated by ';', in a Qt filter by blanks.
        QString patterns = parts.at(i + 1).toString();
        patterns.replace(u';', u' ');
        patterns = patterns.simplified();

        const QString inParentheses = u'(' + patterns + u')';
        if (description.endsWith(inParentheses))
            entries.append(description);
        else if (description.isEmpty())
            entries.append(inParentheses);
        else
            entries.append(description + u' ' + inParentheses);
    }
    return entries.join(QStringLiteral(";;"));
}
