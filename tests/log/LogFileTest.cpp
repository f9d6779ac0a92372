#include "log/LogFile.h"
#include "support/TestBytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Root, or a process with the capability to override permissions, can
// write into a read-only folder.
bool canWriteInto(const QString &folder)
{
    QFile probe(folder + QStringLiteral("/probe"));
    if (!probe.open(QIODevice::WriteOnly))
        return false;
    probe.remove();
    return true;
}

} // namespace

using TestBytes::everyByteValue;

class LogFileTest : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void overwritesLongerFile();
    void unwritablePath_data();
    void unwritablePath();
    void readOnlyFolderKeepsOldFile();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void initialFolder_data();
    void initialFolder();
    void initialFolderReadOnly();
    void nameFilter_data();
    void nameFilter();
};

void LogFileTest::roundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty log") << QByteArray();
    QTest::newRow("blanked acknowledgement") << QByteArray("\0\0"
                                                           "12\r\nOK\r\n",
                                                           10);
    QTest::newRow("every byte value") << everyByteValue();
    QTest::newRow("bounded log") << QByteArray(20000, '\xe9');
}

void LogFileTest::roundTrip()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("log.txt"));

    const SaveOutcome outcome = saveLogFile(path, bytes);
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    QCOMPARE(readAll(path).toHex(), bytes.toHex());
}

void LogFileTest::overwritesLongerFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    QVERIFY(writeFile(path, QByteArray(5000, 'o')));

    QVERIFY(saveLogFile(path, "new\r\n").ok);
    QCOMPARE(readAll(path), QByteArray("new\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("log.txt")});
}

void LogFileTest::unwritablePath_data()
{
    QTest::addColumn<QString>("relativePath");

    // These hold even for a process that may ignore permissions.
    QTest::newRow("parent is a file") << QStringLiteral("plain/log.txt");
    QTest::newRow("path is a folder") << QStringLiteral("folder");
    QTest::newRow("parent missing") << QStringLiteral("missing/log.txt");
}

void LogFileTest::unwritablePath()
{
    QFETCH(QString, relativePath);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath(QStringLiteral("plain")), "keep"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));

    const SaveOutcome outcome = saveLogFile(dir.filePath(relativePath), "data");
    QVERIFY(!outcome.ok);
    QVERIFY(!outcome.error.isEmpty());
    QCOMPARE(readAll(dir.filePath(QStringLiteral("plain"))), QByteArray("keep"));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("folder"))).isDir());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 2);
}

void LogFileTest::readOnlyFolderKeepsOldFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    QVERIFY(writeFile(path, "old log"));
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    const bool bypassed = canWriteInto(dir.path());

    const SaveOutcome outcome = saveLogFile(path, "new log");
    QVERIFY(
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    if (bypassed)
        QSKIP("This process may write into read-only folders (running as root?)");
    QVERIFY(!outcome.ok);
    QVERIFY(!outcome.error.isEmpty());
    QCOMPARE(readAll(path), QByteArray("old log"));
}

void LogFileTest::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<qsizetype>("size");

    QTest::newRow("fails while writing") << qsizetype(64 * 1024);
    QTest::newRow("fails while flushing") << qsizetype(10000);
}

void LogFileTest::failedWriteKeepsOldFile()
{
    // A file size limit makes the write itself fail part way, whoever we run
    // as, as a full disk would.
    QFETCH(qsizetype, size);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    const QByteArray old("old log\r\n");
    QVERIFY(writeFile(path, old));

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);

    const SaveOutcome outcome = saveLogFile(path, QByteArray(size, 'n'));

    QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.error, QString::fromLocal8Bit(std::strerror(EFBIG)));
    QCOMPARE(readAll(path), old);
    // No half-written temporary file is left behind either.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("log.txt")});
}

void LogFileTest::initialFolder_data()
{
    QTest::addColumn<QString>("relativeDir");
    QTest::addColumn<bool>("usesIt");

    QTest::newRow("writable folder") << QStringLiteral("app") << true;
    QTest::newRow("missing folder") << QStringLiteral("gone") << false;
    QTest::newRow("a file, not a folder") << QStringLiteral("plain") << false;
    QTest::newRow("no folder given") << QString() << false;
}

void LogFileTest::initialFolder()
{
    QFETCH(QString, relativeDir);
    QFETCH(bool, usesIt);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("app")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("plain")), "x"));

    const QString given = relativeDir.isEmpty() ? QString() : dir.filePath(relativeDir);
    QCOMPARE(initialSaveFolder(given), usesIt ? given : QDir::homePath());
}

void LogFileTest::initialFolderReadOnly()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    const bool bypassed = canWriteInto(dir.path());
    const QString folder = initialSaveFolder(dir.path());
    QVERIFY(
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    if (bypassed)
        QSKIP("This process may write into read-only folders (running as root?)");
    QCOMPARE(folder, QDir::homePath());
}

void LogFileTest::nameFilter_data()
{
    QTest::addColumn<QString>("pairs");
    QTest::addColumn<QString>("filter");

    QTest::newRow("the program's filter")
        << QStringLiteral("Text files(*.txt) | *.txt") << QStringLiteral("Text files(*.txt)");
    QTest::newRow("plain description")
        << QStringLiteral("Text files | *.txt") << QStringLiteral("Text files (*.txt)");
    QTest::newRow("several patterns")
        << QStringLiteral("Logs|*.log;*.txt") << QStringLiteral("Logs (*.log *.txt)");
    QTest::newRow("two entries") << QStringLiteral("Text|*.txt|All files|*.*")
                                 << QStringLiteral("Text (*.txt);;All files (*.*)");
    QTest::newRow("no description") << QStringLiteral("|*.txt") << QStringLiteral("(*.txt)");
    QTest::newRow("already a Qt filter")
        << QStringLiteral("Text files (*.txt)") << QStringLiteral("Text files (*.txt)");
}

void LogFileTest::nameFilter()
{
    QFETCH(QString, pairs);
    QFETCH(QString, filter);
    QCOMPARE(qtNameFilter(pairs), filter);
}

QTEST_APPLESS_MAIN(LogFileTest)
#include "LogFileTest.moc"
