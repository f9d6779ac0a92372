#include "station/StopSource.h"

#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <csignal>

namespace {

volatile std::sig_atomic_t g_before = 0;

void handleBefore(int)
{
    g_before = 1;
}

} // namespace

// The signal handler as the code around it sees it.
class StopSourceTest : public QObject
{
    Q_OBJECT

private slots:
    void heardAndTold();
    void givesBackTheHandlerBefore();
};

// SIGKILL cannot be caught: told, and SIGUSR1 is still heard. Once the
// pipe is full the handler's write fails; the code the signal interrupted
// must not find that failure in errno.
void StopSourceTest::heardAndTold()
{
    StopSource stop({SIGKILL, SIGUSR1});
    QVERIFY2(stop.errorString().contains("SIGKILL"), qPrintable(stop.errorString()));
    QSignalSpy received(&stop, &StopSource::received);
    for (int i = 0; i < 70000; ++i) // beyond a pipe's 64 KiB
        ::raise(SIGUSR1);
    errno = EDOM;
    ::raise(SIGUSR1);
    QCOMPARE(errno, EDOM);
    QVERIFY(received.wait(5000));
    QCOMPARE(received.first().first().toInt(), SIGUSR1);
}

void StopSourceTest::givesBackTheHandlerBefore()
{
    QVERIFY(::signal(SIGUSR2, handleBefore) != SIG_ERR);
    {
        StopSource stop({SIGUSR2});
        ::raise(SIGUSR2);
        QCOMPARE(int(g_before), 0);
    }
    ::raise(SIGUSR2);
    QCOMPARE(int(g_before), 1);
    ::signal(SIGUSR2, SIG_DFL);
}

QTEST_GUILESS_MAIN(StopSourceTest)
#include "StopSourceTest.moc"
