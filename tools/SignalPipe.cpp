#include "tools/SignalPipe.h"

#include <QSocketNotifier>

#ifdef Q_OS_WIN

// Windows has no signals to turn into events: Ctrl+C ends a console program
// at once. The station's report stays whole all the same: each record is one
// write, flushed to the disk before its line is printed.
SignalPipe::SignalPipe(std::initializer_list<int>, QObject *parent) : QObject(parent) {}

SignalPipe::SignalPipe(QObject *parent) : QObject(parent) {}

SignalPipe::~SignalPipe() = default;

void SignalPipe::onReadable() {}

#else

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Nothing to be done about a full pipe: a signal is waiting already.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
}

} // namespace

SignalPipe::SignalPipe(std::initializer_list<int> signalNumbers, QObject *parent) : QObject(parent)
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(qintptr(g_pipe[0]), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalPipe::onReadable);
    for (const int signalNumber : signalNumbers) {
        struct sigaction action = {};
        action.sa_handler = onSignal;
        action.sa_flags = SA_RESTART;
        ::sigaction(signalNumber, &action, nullptr);
    }
}

SignalPipe::SignalPipe(QObject *parent) : SignalPipe({SIGINT, SIGTERM, SIGHUP}, parent) {}

SignalPipe::~SignalPipe()
{
    delete m_notifier;
    for (int &fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void SignalPipe::onReadable()
{
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1)
        emit received(int(byte));
}

#endif
