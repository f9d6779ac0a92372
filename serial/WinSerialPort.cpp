#include "serial/WinSerialPort.h"

#include <QWinEventNotifier>

#include <algorithm>
#include <limits>
#include <utility>

namespace {

// Waits for an overlapped operation that has been cancelled or that cannot
// take long (see the timeouts set at open), so that its buffer and
// OVERLAPPED are not released while the driver still uses them.
bool finishOverlapped(HANDLE handle, OVERLAPPED *overlapped, DWORD *count)
{
    return ::GetOverlappedResult(handle, overlapped, count, TRUE) != FALSE;
}

QString systemText(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString result = length > 0 ? QString::fromWCharArray(text, int(length)).trimmed()
                                : QStringLiteral("System error %1").arg(error);
    ::LocalFree(text);
    return result;
}

WinSerialPort::SerialPortError openErrorOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return WinSerialPort::DeviceNotFoundError;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        // Windows opens a COM port for one program at a time: this is the
        // "busy" answer.
        return WinSerialPort::PermissionError;
    default:
        return WinSerialPort::OpenError;
    }
}

} // namespace

WinSerialPort::WinSerialPort(QObject *parent) : QObject(parent) {}

WinSerialPort::~WinSerialPort()
{
    close();
}

void WinSerialPort::setPortName(const QString &name)
{
    m_portName = name;
}

bool WinSerialPort::setBaudRate(qint32 rate)
{
    m_baudRate = rate;
    return true;
}

bool WinSerialPort::setDataBits(DataBits bits)
{
    m_dataBits = bits;
    return true;
}

bool WinSerialPort::setParity(Parity parity)
{
    m_parity = parity;
    return true;
}

bool WinSerialPort::setStopBits(StopBits bits)
{
    m_stopBits = bits;
    return true;
}

bool WinSerialPort::setFlowControl(FlowControl flow)
{
    m_flowControl = flow;
    return true;
}

void WinSerialPort::setError(SerialPortError error, const QString &text)
{
    m_error = error;
    m_errorString = text;
    if (error != NoError)
        emit errorOccurred(error);
}

void WinSerialPort::fail(SerialPortError error, DWORD systemError)
{
    setError(error, systemText(systemError));
}

bool WinSerialPort::open(QIODevice::OpenMode mode)
{
    if (isOpen()) {
        setError(OpenError, QStringLiteral("The port is already open"));
        return false;
    }
    if ((mode & QIODevice::ReadWrite) != QIODevice::ReadWrite) {
        setError(UnsupportedOperationError, QStringLiteral("Only read-write access is supported"));
        return false;
    }
    // COM10 and above are reachable only through the device namespace.
    const QString path = m_portName.startsWith(QLatin1String("\\\\.\\"))
                             ? m_portName
                             : QStringLiteral("\\\\.\\") + m_portName;
    const HANDLE handle =
        ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                      0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        fail(openErrorOf(error), error);
        return false;
    }
    m_handle = handle;
    if (!applySettings()) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
        // Something that opens but takes no line settings is no serial port.
        fail(OpenError, error);
        return false;
    }

    m_waitOverlapped = {};
    m_waitOverlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_writeOverlapped = {};
    m_writeOverlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_waitNotifier = new QWinEventNotifier(m_waitOverlapped.hEvent, this);
    m_writeNotifier = new QWinEventNotifier(m_writeOverlapped.hEvent, this);
    connect(m_waitNotifier, &QWinEventNotifier::activated, this, &WinSerialPort::onWaitDone);
    connect(m_writeNotifier, &QWinEventNotifier::activated, this, &WinSerialPort::onWriteDone);
    m_readFailed = false;
    m_writeFailed = false;
    m_error = NoError;
    m_errorString.clear();
    schedulePump();
    return true;
}

bool WinSerialPort::applySettings()
{
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(m_handle, &dcb))
        return false;
    dcb.BaudRate = DWORD(m_baudRate);
    dcb.ByteSize = BYTE(m_dataBits);
    dcb.Parity = BYTE(m_parity);
    dcb.StopBits = m_stopBits == OneStop   ? ONESTOPBIT
                   : m_stopBits == TwoStop ? TWOSTOPBITS
                                           : ONE5STOPBITS;
    dcb.fBinary = TRUE;
    dcb.fParity = m_parity != NoParity;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fOutxCtsFlow = m_flowControl == HardwareControl;
    dcb.fRtsControl = m_flowControl == HardwareControl ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutX = dcb.fInX = m_flowControl == SoftwareControl;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!::SetCommState(m_handle, &dcb))
        return false;
    // A read returns at once with what the driver holds; writes have no
    // time limit (they complete in the background).
    COMMTIMEOUTS timeouts = {MAXDWORD, 0, 0, 0, 0};
    return ::SetCommTimeouts(m_handle, &timeouts) && ::SetCommMask(m_handle, EV_RXCHAR);
}

void WinSerialPort::close()
{
    if (!isOpen())
        return;
    // Ends a pending wait, then cancels whatever is still in flight; both
    // complete at once, and only then may their buffers go.
    ::SetCommMask(m_handle, 0);
    ::CancelIo(m_handle);
    DWORD count = 0;
    if (m_waitPending)
        finishOverlapped(m_handle, &m_waitOverlapped, &count);
    if (m_writePending)
        finishOverlapped(m_handle, &m_writeOverlapped, &count);
    m_waitPending = false;
    m_writePending = false;
    delete m_waitNotifier;
    m_waitNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    ::CloseHandle(m_waitOverlapped.hEvent);
    ::CloseHandle(m_writeOverlapped.hEvent);
    m_waitOverlapped = {};
    m_writeOverlapped = {};
    ::CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    m_readBuffer.clear();
    m_writeQueue.clear();
    m_writing.clear();
}

qint64 WinSerialPort::roomToRead() const
{
    return m_readBufferSize > 0 ? m_readBufferSize - m_readBuffer.size()
                                : std::numeric_limits<qint64>::max();
}

void WinSerialPort::schedulePump()
{
    if (m_pumpPosted)
        return;
    m_pumpPosted = true;
    QMetaObject::invokeMethod(this, &WinSerialPort::pump, Qt::QueuedConnection);
}

// Arms the wait, then reads what is already there: bytes that came before
// the wait started raise no event of their own.
void WinSerialPort::pump()
{
    m_pumpPosted = false;
    if (!isOpen() || m_readFailed || roomToRead() <= 0)
        return; // a full buffer resumes from readAll()
    if (!m_waitPending && !startWait())
        return;
    readWaiting();
}

bool WinSerialPort::startWait()
{
    ::ResetEvent(m_waitOverlapped.hEvent);
    m_eventMask = 0;
    if (::WaitCommEvent(m_handle, &m_eventMask, &m_waitOverlapped)) {
        // Done at once (Wine does so while bytes wait unread): read them,
        // then wait again, from the event loop.
        schedulePump();
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING) {
        m_waitPending = true;
        return true;
    }
    // A line that has hung up or gone away refuses the wait.
    m_readFailed = true;
    fail(ResourceError, error);
    return false;
}

void WinSerialPort::onWaitDone()
{
    if (!m_waitPending) {
        ::ResetEvent(m_waitOverlapped.hEvent); // set by a wait that was done at once
        return;
    }
    DWORD count = 0;
    if (!::GetOverlappedResult(m_handle, &m_waitOverlapped, &count, FALSE)) {
        DWORD error = ::GetLastError();
        if (error == ERROR_IO_INCOMPLETE)
            return; // the signal of an earlier wait; this one goes on
        m_waitPending = false;
        ::ResetEvent(m_waitOverlapped.hEvent);
        // Wine ends a pending wait as aborted when the line hangs up (our own
        // close never gets here): whether the line is still there decides.
        DWORD errors = 0;
        COMSTAT status = {};
        const bool lineThere =
            error == ERROR_OPERATION_ABORTED && ::ClearCommError(m_handle, &errors, &status);
        if (!lineThere) {
            if (error == ERROR_OPERATION_ABORTED)
                error = ::GetLastError();
            m_readFailed = true;
            fail(ResourceError, error);
            return;
        }
    }
    m_waitPending = false;
    ::ResetEvent(m_waitOverlapped.hEvent);
    pump();
}

bool WinSerialPort::isLineDown() const
{
    if (!isOpen() || m_readFailed)
        return true;
    DWORD errors = 0;
    COMSTAT status = {};
    return !::ClearCommError(m_handle, &errors, &status);
}

void WinSerialPort::readWaiting()
{
    DWORD errors = 0;
    COMSTAT status = {};
    if (!::ClearCommError(m_handle, &errors, &status)) {
        const DWORD error = ::GetLastError();
        m_readFailed = true;
        fail(ResourceError, error);
        return;
    }
    const qint64 wanted = std::min<qint64>(status.cbInQue, roomToRead());
    if (wanted <= 0)
        return;
    QByteArray chunk(wanted, Qt::Uninitialized);
    OVERLAPPED overlapped = {};
    overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD count = 0;
    // With the bytes already in the driver and the timeouts set at open, the
    // read completes at once.
    const bool read = (::ReadFile(m_handle, chunk.data(), DWORD(wanted), nullptr, &overlapped) ||
                       ::GetLastError() == ERROR_IO_PENDING) &&
                      finishOverlapped(m_handle, &overlapped, &count);
    const DWORD error = read ? ERROR_SUCCESS : ::GetLastError();
    ::CloseHandle(overlapped.hEvent);
    if (!read) {
        m_readFailed = true;
        fail(ReadError, error);
        return;
    }
    if (count == 0)
        return;
    chunk.truncate(qsizetype(count));
    m_readBuffer.append(chunk);
    emit readyRead();
}

QByteArray WinSerialPort::readAll()
{
    const bool wasFull = roomToRead() <= 0;
    QByteArray bytes = std::exchange(m_readBuffer, QByteArray());
    // Reading stopped while the buffer was full; what came meanwhile waits
    // in the driver.
    if (wasFull && isOpen())
        schedulePump();
    return bytes;
}

qint64 WinSerialPort::write(const char *data, qint64 size)
{
    if (!isOpen()) {
        setError(NotOpenError, QStringLiteral("The port is not open"));
        return -1;
    }
    m_writeQueue.append(data, qsizetype(size));
    if (!startWrite())
        return -1;
    return size;
}

bool WinSerialPort::startWrite()
{
    if (m_writePending || m_writeQueue.isEmpty())
        return true;
    m_writing = std::exchange(m_writeQueue, QByteArray());
    ::ResetEvent(m_writeOverlapped.hEvent);
    if (::WriteFile(m_handle, m_writing.constData(), DWORD(m_writing.size()), nullptr,
                    &m_writeOverlapped) ||
        ::GetLastError() == ERROR_IO_PENDING) {
        // Either way the event is (or will be) set and onWriteDone settles it.
        m_writePending = true;
        return true;
    }
    const DWORD error = ::GetLastError();
    m_writing.clear();
    m_writeFailed = true;
    fail(WriteError, error);
    return false;
}

void WinSerialPort::onWriteDone()
{
    if (!m_writePending) {
        ::ResetEvent(m_writeOverlapped.hEvent);
        return;
    }
    DWORD count = 0;
    const bool done = ::GetOverlappedResult(m_handle, &m_writeOverlapped, &count, FALSE);
    const DWORD error = done ? ERROR_SUCCESS : ::GetLastError();
    if (error == ERROR_IO_INCOMPLETE)
        return; // the signal of an earlier write; this one goes on
    m_writePending = false;
    ::ResetEvent(m_writeOverlapped.hEvent);
    if (!done) {
        m_writing.clear();
        if (error == ERROR_OPERATION_ABORTED)
            return; // cleared on purpose
        m_writeFailed = true;
        fail(WriteError, error);
        return;
    }
    // A write the driver cut short keeps its rest in front of newer bytes.
    if (qsizetype(count) < m_writing.size())
        m_writeQueue.prepend(m_writing.mid(qsizetype(count)));
    m_writing.clear();
    startWrite();
}

bool WinSerialPort::flush()
{
    return isOpen() && !m_writeFailed;
}

bool WinSerialPort::clear(Directions directions)
{
    if (!isOpen()) {
        setError(NotOpenError, QStringLiteral("The port is not open"));
        return false;
    }
    DWORD flags = 0;
    if (directions & Input) {
        flags |= PURGE_RXCLEAR;
        m_readBuffer.clear();
    }
    if (directions & Output) {
        flags |= PURGE_TXCLEAR | PURGE_TXABORT;
        m_writeQueue.clear();
        m_writeFailed = false;
    }
    return ::PurgeComm(m_handle, flags) != FALSE;
}
