#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

// A program run to its end while this thread's event loop keeps serving
// whatever the test plays (an emulated dongle on a pseudo-terminal).
struct ProgramRun
{
    int exitCode = -1; // -1: did not end in time, or crashed
    QByteArray out;
    QByteArray err;
};

// A generous limit: the programs end on their own waits. inChild runs in the
// child before the program starts (a limit, a closed output).
inline ProgramRun
runProgram(const QString &program, const QStringList &arguments,
           const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
           const std::function<void()> &inChild = {})
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (inChild)
        process.setChildProcessModifier(inChild);
    process.start(program, arguments);
    ProgramRun run;
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// An environment whose runtime folder is the test's own, so that emulated
// dongles advertised there are seen only by the programs of this test.
inline QProcessEnvironment withRuntimeFolder(const QTemporaryDir &runtime)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    return environment;
}

// Points this process, and the programs it starts, at a runtime folder of
// the test's own: the note a run leaves about a device (a frame still
// unanswered) would otherwise delay another test's run on a pseudo-terminal
// of the same number.
class PrivateRuntimeFolder
{
public:
    PrivateRuntimeFolder() { qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.path())); }
    [[nodiscard]] QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
