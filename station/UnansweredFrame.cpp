#include "station/UnansweredFrame.h"

#include "serial/DeviceFacts.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

UnansweredFrame::UnansweredFrame(const QString &deviceKey)
{
    const QString folder = DeviceFacts::notesFolder();
    // A prefix: "COM3" alone would name the port itself on Windows.
    if (!deviceKey.isEmpty() && !folder.isEmpty())
        m_path = QStringLiteral("%1/unanswered-%2").arg(folder, deviceKey);
}

qint64 UnansweredFrame::remainingMs(int lateMs) const
{
    if (m_path.isEmpty())
        return 0;
    // The note's own time is when its frame went out.
    const QFileInfo info(m_path);
    if (!info.exists())
        return 0;
    const qint64 sinceMs = info.lastModified().msecsTo(QDateTime::currentDateTime());
    return std::clamp(qint64(lateMs) - sinceMs, qint64(0), qint64(lateMs));
}

bool UnansweredFrame::note(const QByteArray &frame)
{
    if (m_path.isEmpty()) {
        m_error = QStringLiteral("there is no folder for notes about devices");
        return false;
    }
    if (!QDir().mkpath(QFileInfo(m_path).path())) {
        m_error = QStringLiteral("cannot create %1").arg(QFileInfo(m_path).path());
        return false;
    }
    QFile file(m_path);
    const QByteArray line = frame.toHex(' ').toUpper() + " sent by " +
                            QCoreApplication::applicationName().toLocal8Bit() + " (pid " +
                            QByteArray::number(QCoreApplication::applicationPid()) + ")\n";
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(line) != line.size()) {
        m_error = QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString());
        return false;
    }
    return true;
}

void UnansweredFrame::clear()
{
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}
