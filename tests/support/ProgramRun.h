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

// A program left running while the test goes on; its output is gathered as
// the event loop runs. One still running at the end is asked to stop, then
// killed.
class BackgroundProgram
{
public:
    BackgroundProgram(const QString &program, const QStringList &arguments,
                      const QProcessEnvironment &environment)
    {
        m_process.setProcessEnvironment(environment);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process,
                         [this] { m_out += m_process.readAllStandardOutput(); });
        QObject::connect(&m_process, &QProcess::readyReadStandardError, &m_process,
                         [this] { m_err += m_process.readAllStandardError(); });
        m_process.start(program, arguments);
    }
    ~BackgroundProgram()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    BackgroundProgram(const BackgroundProgram &) = delete;
    BackgroundProgram &operator=(const BackgroundProgram &) = delete;

    [[nodiscard]] QByteArray out() const { return m_out; }
    [[nodiscard]] QByteArray err() const { return m_err; }
    [[nodiscard]] QList<QByteArray> outLines() const
    {
        return m_out.split('\n').mid(0, m_out.count('\n'));
    }
    [[nodiscard]] bool ended() const { return m_process.state() == QProcess::NotRunning; }
    [[nodiscard]] int exitCode() const
    {
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    [[nodiscard]] qint64 pid() const { return m_process.processId(); }
    void terminate() { m_process.terminate(); }
    void kill() { m_process.kill(); }

private:
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};
