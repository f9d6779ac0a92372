#include "station/StopSource.h"

#include <QSocketNotifier>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

int g_pipe[2] = {-1, -1};
// The handlers replaced, to be put back in the order they were replaced.
std::vector<std::pair<int, struct sigaction>> g_replaced;

void onSignal(int signalNumber)
{
    // The code it interrupted may be about to read errno.
    const int interruptedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Nothing to be done about a full pipe: a signal is waiting already.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = interruptedErrno;
}

QString signalName(int signalNumber)
{
    const char *abbreviation = ::sigabbrev_np(signalNumber);
    return abbreviation ? QStringLiteral("SIG") + QLatin1String(abbreviation)
                        : QStringLiteral("signal %1").arg(signalNumber);
}

} // namespace

StopSource::StopSource(std::initializer_list<int> signalNumbers, QObject *parent) : QObject(parent)
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_error = QStringLiteral("cannot listen for stop requests: %1").arg(qt_error_string(errno));
        return;
    }
    m_notifier = new QSocketNotifier(qintptr(g_pipe[0]), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSource::onReadable);
    QStringList uncaught;
    for (const int signalNumber : signalNumbers) {
        struct sigaction action = {};
        action.sa_handler = onSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        struct sigaction replaced = {};
        if (::sigaction(signalNumber, &action, &replaced) == 0)
            g_replaced.emplace_back(signalNumber, replaced);
        else
            uncaught << QStringLiteral("%1 (%2)").arg(signalName(signalNumber),
                                                      qt_error_string(errno));
    }
    if (!uncaught.isEmpty())
        m_error = QStringLiteral("cannot catch %1").arg(uncaught.join(QStringLiteral(", ")));
}

StopSource::StopSource(QObject *parent) : StopSource({SIGINT, SIGTERM, SIGHUP}, parent) {}

StopSource::~StopSource()
{
    // The old handlers first, so that no signal meets a closed pipe.
    for (auto it = g_replaced.crbegin(); it != g_replaced.crend(); ++it)
        ::sigaction(it->first, &it->second, nullptr);
    g_replaced.clear();
    delete m_notifier;
    for (int &fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

// A signal's sender does not wait for the program.
void StopSource::release() {}

void StopSource::onReadable()
{
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1)
        emit received(int(byte));
}
