#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// Appending to a report so that what was appended survives a crash or a
// power cut: the records go in one write and are flushed to the disk before
// the call returns, or are not there at all.

// Which file a name leads to, however it is spelled: through a symbolic
// link, a hard link or another path, the same file has the same identity.
struct FileIdentity
{
    quint64 volume = 0;
    quint64 index = 0;
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

// The identity of the file path leads to; nullopt when there is none.
[[nodiscard]] std::optional<FileIdentity> fileIdentity(const QString &path);

// The system's calls under an append, on one file at a time: nothing here
// decides what is written. A failed call leaves the system's reason in
// errorString(). Virtual so that a test can make one of them fail.
class AppendFile
{
public:
    enum class Kind
    {
        Regular,
        Folder,
        Fifo,
        Device,
        Other
    };
    struct Status
    {
        Kind kind = Kind::Other;
        qint64 size = 0;
        FileIdentity identity;
    };

    virtual ~AppendFile();

    // Opens path for appending, creating it, without waiting: a FIFO or a
    // device must not hold the program up before it is refused. A folder
    // opens too, so that status() can say what it is.
    [[nodiscard]] virtual bool open(const QString &path) = 0;
    [[nodiscard]] virtual std::optional<Status> status() = 0;
    // Waits for the lock every writer of a report takes, so that another
    // station's record cannot come in between.
    [[nodiscard]] virtual bool lock() = 0;
    // Up to count bytes from offset; nullopt when the file cannot be read.
    [[nodiscard]] virtual std::optional<QByteArray> read(qint64 offset, qint64 count) = 0;
    // Appends; the count written, -1 when nothing was.
    [[nodiscard]] virtual qint64 write(const QByteArray &bytes) = 0;
    [[nodiscard]] virtual bool truncate(qint64 size) = 0;
    // To the disk, not just to the system's cache.
    [[nodiscard]] virtual bool flush() = 0;
    // Also unlocks.
    virtual void close() = 0;
    // The folder's entry of a new file to the disk.
    [[nodiscard]] virtual bool syncFolder(const QString &folder) = 0;

    [[nodiscard]] QString errorString() const { return m_errorString; }

protected:
    QString m_errorString;
};

// This system's calls.
[[nodiscard]] std::unique_ptr<AppendFile> systemAppendFile();

// A file that records are appended to, with the rules every append keeps:
// only a regular file is written to; a file being appended to starts with
// the header (a byte order mark and CRLF line ends accepted), and an empty
// one gets it first; a last line without its newline (from another program)
// gets one, so that the records start a line; what a failed write, flush or
// folder sync left is cut back off, so the file never holds what the caller
// was told failed; and a file found in the place of the one written to
// before (the report moved away or deleted) is told as restarted.
class DurableAppend
{
public:
    // header: what an empty file gets first and a file being appended to
    // must start with; empty for none. earlierHeaders: those of earlier
    // versions, refused with words that say so.
    DurableAppend(QString path, QByteArray header, QByteArrayList earlierHeaders = {},
                  std::unique_ptr<AppendFile> file = systemAppendFile());

    struct [[nodiscard]] Result
    {
        QString error; // empty: the records are on the disk
        // The file at the path is another than the one written to before:
        // the records went to the start of a new file.
        bool restarted = false;
        [[nodiscard]] bool ok() const { return error.isEmpty(); }
    };

    // Appends what records gives. It is called once the file is locked, so
    // that times taken in it are those of the write, and is told whether
    // the file is another than before.
    Result append(const std::function<QByteArray(bool restarted)> &records);

    [[nodiscard]] QString path() const { return m_path; }

private:
    [[nodiscard]] QString opened(AppendFile::Status *status);
    [[nodiscard]] bool isWritten(const AppendFile::Status &status) const;
    [[nodiscard]] QString headerRefusal(qint64 size);
    [[nodiscard]] QString written(const QByteArray &bytes, const AppendFile::Status &before);
    [[nodiscard]] QString failed(const QString &why) const;

    QString m_path;
    QByteArray m_header; // without its newline
    QByteArrayList m_earlierHeaders;
    std::unique_ptr<AppendFile> m_file;
    struct Written
    {
        FileIdentity identity;
        qint64 end = 0;
    };
    std::optional<Written> m_written; // the file appended to last, and its end then
};
