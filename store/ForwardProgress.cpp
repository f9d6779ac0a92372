#include "store/ForwardProgress.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr char kFirstLine[] = "vantrel-set forwarded 1";

QByteArray digest(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

} // namespace

QString ForwardProgress::pathFor(const QString &report)
{
    return report + QStringLiteral(".forwarded");
}

ForwardProgress ForwardProgress::load(const QString &report)
{
    QFile file(pathFor(report));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (lines.size() < 5 || lines.at(0) != kFirstLine)
        return {};
    ForwardProgress saved;
    saved.offset = lines.at(1).mid(7).toLongLong();           // "offset N"
    saved.line = lines.at(2).mid(5).toLongLong();             // "line N"
    const qint64 headSize = lines.at(3).mid(10).toLongLong(); // "head-size N"
    const QByteArray headDigest = lines.at(4).mid(5);         // "head HEX"

    QFile data(report);
    if (saved.offset <= 0 || !data.open(QIODevice::ReadOnly) || data.size() < saved.offset ||
        headSize != qMin(saved.offset, kHeadBytes))
        return {};
    saved.head = data.read(headSize);
    // The report's start and the line end before offset must be as they were.
    char before = 0;
    if (digest(saved.head) != headDigest || !data.seek(saved.offset - 1) ||
        !data.getChar(&before) || before != '\n')
        return {};
    return saved;
}

bool ForwardProgress::save(const QString &report, QString *error) const
{
    const QByteArray head = this->head.left(qMin(offset, kHeadBytes));
    QSaveFile file(pathFor(report));
    // QSaveFile flushes the new file to the disk before it replaces the old.
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QByteArray(kFirstLine) + "\noffset " + QByteArray::number(offset) + "\nline " +
                   QByteArray::number(line) + "\nhead-size " + QByteArray::number(head.size()) +
                   "\nhead " + digest(head) + '\n') < 0 ||
        !file.commit()) {
        *error = QStringLiteral("Cannot write %1: %2.").arg(pathFor(report), file.errorString());
        return false;
    }
    syncFolder(QFileInfo(report).absolutePath());
    return true;
}
