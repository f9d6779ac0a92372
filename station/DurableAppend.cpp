#include "station/DurableAppend.h"

#include "station/SettingProfile.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace {

// Far more than any header of ours; a longer first line is another header.
constexpr qint64 kHeaderBytes = 4096;

QString kindText(AppendFile::Kind kind)
{
    switch (kind) {
    case AppendFile::Kind::Folder:
        return QStringLiteral("a folder");
    case AppendFile::Kind::Fifo:
        return QStringLiteral("a FIFO (named pipe)");
    case AppendFile::Kind::Device:
        return QStringLiteral("a device");
    case AppendFile::Kind::Regular:
    case AppendFile::Kind::Other:
        break;
    }
    return QStringLiteral("a special file");
}

// A first line as the header it is: a spreadsheet or an editor may have
// saved it with a byte order mark or a CRLF line end.
QByteArray headerLine(QByteArray head)
{
    if (head.startsWith("\xEF\xBB\xBF"))
        head.remove(0, 3);
    const qsizetype end = head.indexOf('\n');
    if (end >= 0)
        head.truncate(end);
    if (head.endsWith('\r'))
        head.chop(1);
    return head;
}

} // namespace

AppendFile::~AppendFile() = default;

DurableAppend::DurableAppend(QString path, QByteArray header, QByteArrayList earlierHeaders,
                             std::unique_ptr<AppendFile> file)
    : m_path(std::move(path)), m_header(std::move(header)),
      m_earlierHeaders(std::move(earlierHeaders)), m_file(std::move(file))
{
}

DurableAppend::Result DurableAppend::append(const std::function<QByteArray(bool)> &records)
{
    AppendFile::Status status;
    QString refused = opened(&status);
    // Moved away or deleted while this waited for another station's lock:
    // the records go to the file at the path now, not into one nobody sees.
    for (int again = 0; refused.isEmpty() && again < 3 && fileIdentity(m_path) != status.identity;
         ++again) {
        m_file->close();
        refused = opened(&status);
    }
    if (!refused.isEmpty()) {
        m_file->close();
        return {refused};
    }
    const bool restarted = m_written && !isWritten(status);
    QByteArray bytes;
    if (status.size == 0) {
        bytes = m_header;
    } else {
        // Unreadable (a file we may only append to): taken as ending its line.
        const std::optional<QByteArray> last = m_file->read(status.size - 1, 1);
        if (last && *last != "\n")
            bytes = "\n";
    }
    bytes += records(restarted);
    const QString why = written(bytes, status);
    m_file->close();
    if (!why.isEmpty())
        return {why};
    m_written = Written{status.identity, status.size + bytes.size()};
    return {QString(), restarted};
}

// Opened, checked and locked; the status is the one under the lock. Empty
// when the file may be appended to, else why not.
QString DurableAppend::opened(AppendFile::Status *status)
{
    if (!m_file->open(m_path))
        return failed(m_file->errorString());
    const std::optional<AppendFile::Status> before = m_file->status();
    if (!before)
        return failed(m_file->errorString());
    // Checked on what the name leads to: a FIFO would take the records away,
    // a device swallow them.
    if (before->kind != AppendFile::Kind::Regular) {
        return QStringLiteral("The report %1 is %2, not a regular file; name a file.")
            .arg(m_path, kindText(before->kind));
    }
    if (!m_file->lock())
        return failed(m_file->errorString());
    const std::optional<AppendFile::Status> now = m_file->status();
    if (!now)
        return failed(m_file->errorString());
    *status = *now;
    if (!isWritten(*now) && now->size > 0 && !m_header.isEmpty())
        return headerRefusal(now->size);
    return {};
}

// The file appended to last, with all this wrote: a new file may have the
// number of a deleted one, but not what was in it.
bool DurableAppend::isWritten(const AppendFile::Status &status) const
{
    return m_written && status.identity == m_written->identity && status.size >= m_written->end;
}

QString DurableAppend::headerRefusal(qint64 size)
{
    const std::optional<QByteArray> head = m_file->read(0, std::min(size, kHeaderBytes));
    if (!head) {
        return QStringLiteral("Cannot read the report %1: %2.").arg(m_path, m_file->errorString());
    }
    const QByteArray first = headerLine(*head);
    if (first == headerLine(m_header))
        return {};
    // Records under another header would be read with the wrong names.
    for (const QByteArray &earlier : m_earlierHeaders) {
        if (first == headerLine(earlier)) {
            return QStringLiteral("The report %1 was written by an earlier version of "
                                  "vantrel-set, whose records have other fields; name a new "
                                  "report file.")
                .arg(m_path);
        }
    }
    return QStringLiteral("The report %1 has another header (%2); name a new report file.")
        .arg(m_path, SettingProfile::quoted(QString::fromUtf8(first)));
}

// Empty once bytes are on the disk; else why not, with what was written of
// them taken back off, so that no reader finds a record the caller was told
// failed.
QString DurableAppend::written(const QByteArray &bytes, const AppendFile::Status &before)
{
    const auto takenBack = [&](const QString &why) {
        // What a failed call left is what the file grew by, whatever a count
        // says.
        const std::optional<AppendFile::Status> now = m_file->status();
        if (now && now->size == before.size)
            return failed(why);
        if (!m_file->truncate(before.size)) {
            return failed(QStringLiteral("%1; what was written is left at its end (%2)")
                              .arg(why, m_file->errorString()));
        }
        // Best effort: the cut is what readers see from now on either way.
        (void)m_file->flush();
        return failed(why);
    };
    // A short write is followed by one for the rest, which fails with the
    // reason (a full disk, the file size limit). The lock keeps the pieces
    // together.
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 count = m_file->write(bytes.mid(done));
        if (count <= 0) {
            return takenBack(count < 0 ? m_file->errorString()
                                       : QStringLiteral("the disk is full"));
        }
        done += count;
    }
    if (!m_file->flush())
        return takenBack(m_file->errorString());
    // A new file is only on the disk once its folder's entry is.
    if (before.size == 0) {
        QString file = QFileInfo(m_path).canonicalFilePath();
        if (file.isEmpty())
            file = m_path;
        if (!m_file->syncFolder(QFileInfo(file).absolutePath()))
            return takenBack(m_file->errorString());
    }
    return {};
}

QString DurableAppend::failed(const QString &why) const
{
    return QStringLiteral("Cannot write the report %1: %2.").arg(m_path, why);
}
