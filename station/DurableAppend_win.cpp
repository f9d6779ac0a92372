#include "station/DurableAppend.h"

#include <QFile>

#include <io.h>
#include <qt_windows.h>

bool appendDurably(const QString &path, const QByteArray &header, const QByteArray &line,
                   QString *error)
{
    const auto failed = [&](const QString &what) {
        *error = QStringLiteral("Cannot write the report %1: %2.").arg(path, what);
        return false;
    };
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return failed(file.errorString());
    const qint64 size = file.size();
    const QByteArray whole = size == 0 ? header + line : line;
    if (file.write(whole) != whole.size() || !file.flush()) {
        // A disk that filled up mid-record: take the piece back off.
        const QString reason = file.errorString();
        file.resize(size);
        return failed(reason);
    }
    if (!::FlushFileBuffers(reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()))))
        return failed(QStringLiteral("it could not be flushed to the disk"));
    return true;
}
