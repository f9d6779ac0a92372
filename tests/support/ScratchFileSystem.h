#pragma once

#include <QString>
#include <QTemporaryDir>

// A small file system of the test's own for save targets that must fail even
// for root, who writes through any folder's permissions: a tmpfs mounted on a
// temporary folder, which the test can fill up or make read-only. Mounting
// needs privileges; where it fails, isMounted() is false and path() is an
// ordinary temporary folder. Where the process may, the mount lives in a
// mount namespace of its own, so it vanishes with the process even after a
// crash.
class ScratchFileSystem
{
public:
    explicit ScratchFileSystem(qint64 sizeBytes = 64 * 1024);
    ~ScratchFileSystem();
    ScratchFileSystem(const ScratchFileSystem &) = delete;
    ScratchFileSystem &operator=(const ScratchFileSystem &) = delete;

    [[nodiscard]] bool isMounted() const { return m_mounted; }
    [[nodiscard]] QString why() const { return m_why; } // why it is not mounted
    [[nodiscard]] QString path() const { return m_dir.path(); }
    [[nodiscard]] QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Writes a filler file until the file system has no room left.
    bool fill();
    // Remounts it read-only; unmounted, takes the folder's write permission
    // away instead. True when this process can no longer write there.
    [[nodiscard]] bool makeReadOnly();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    bool m_folderLocked = false;
    QString m_why;
};

// Lowers the process's file size limit while it lives, so that writes beyond
// it fail (EFBIG) whoever the process runs as, like a full disk would.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    [[nodiscard]] bool isSet() const { return m_set; }

private:
    bool m_set = false;
    unsigned long long m_savedCurrent = 0;
    void (*m_savedHandler)(int) = nullptr;
};
