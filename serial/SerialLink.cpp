#include "serial/SerialLink.h"

#include <QCoreApplication>
#include <QPointer>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr qint64 kReadBufferSize = 1024;

struct OpenAttempt
{
    bool opened = false;
    PortErrors::OpenFailure failure = PortErrors::OpenFailure::Other;
    QString systemText;
};

bool accessDenied(const QString &location)
{
#ifdef Q_OS_UNIX
    return ::access(location.toLocal8Bit().constData(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    Q_UNUSED(location);
    return false;
#endif
}

QString deviceGroup(const QString &location)
{
#ifdef Q_OS_UNIX
    struct stat st = {};
    if (::stat(location.toLocal8Bit().constData(), &st) != 0)
        return {};
    if (const group *g = ::getgrgid(st.st_gid))
        return QString::fromLocal8Bit(g->gr_name);
#else
    Q_UNUSED(location);
#endif
    return {};
}

OpenAttempt tryOpen(SerialPort &port, const QString &location)
{
    port.setPortName(location);
    if (port.open(QIODevice::ReadWrite))
        return {true, {}, {}};
    // QSerialPort reports a lock file held by another program with its own
    // text and the same code as a permission problem.
    const bool lockRefused =
        port.error() == SerialPort::PermissionError &&
        port.errorString() ==
            QCoreApplication::translate("QSerialPort", "Permission error while locking the device");
    const bool denied = port.error() == SerialPort::PermissionError && accessDenied(location);
    OpenAttempt attempt{false, PortErrors::classifyOpenFailure(port.error(), lockRefused, denied),
                        port.errorString()};
    port.clearError();
    return attempt;
}

// True once the device has hung up or gone away.
bool lineDown(const SerialPort &port)
{
#ifdef Q_OS_UNIX
    pollfd p{int(port.handle()), 0, 0};
    return ::poll(&p, 1, 0) != 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    Q_UNUSED(port);
    return true;
#endif
}

void applyLineSettings(SerialPort &port)
{
    port.setBaudRate(SerialPort::Baud9600);
    port.setDataBits(SerialPort::Data8);
    port.setParity(SerialPort::NoParity);
    port.setStopBits(SerialPort::OneStop);
    port.setFlowControl(SerialPort::NoFlowControl);
}

} // namespace

SerialLink::SerialLink(std::unique_ptr<PortCatalog> catalog, QObject *parent)
    : QObject(parent), m_catalog(std::move(catalog)), MSComm1(new SerialPort(this))
{
    if (!m_catalog)
        m_catalog = std::make_unique<SystemPortCatalog>();
    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    applyLineSettings(*MSComm1);
    MSComm1->setReadBufferSize(kReadBufferSize);
    connect(MSComm1, &SerialPort::readyRead, this, &SerialLink::onReadyRead);
    connect(MSComm1, &SerialPort::errorOccurred, this, &SerialLink::onErrorOccurred);
}

SerialLink::~SerialLink()
{
    MSComm1->disconnect(this);
    MSComm1->close();
}

ScanResult SerialLink::scan()
{
    m_devices = m_catalog->devices().mid(0, kMaxPortNumber);
    m_catalogCaptured = true;

    if (isOpen()) {
        // The open port keeps working under the number this scan gives it.
        qsizetype index = -1;
        for (qsizetype i = 0; i < m_devices.size() && index < 0; ++i) {
            if (m_devices.at(i).location == m_location)
                index = i;
        }
        if (index < 0) {
            if (m_devices.size() == kMaxPortNumber)
                m_devices.removeLast();
            m_devices.append({m_location, QString()});
            index = m_devices.size() - 1;
        }
        m_number = int(index) + 1;
    }

    ScanResult result;
    for (int n = 1; n <= int(m_devices.size()); ++n) {
        const PortEntry &entry = m_devices.at(n - 1);
        if (isOpen() && n == m_number) {
            result.ports.append({n, entry});
            continue;
        }
        SerialPort probe;
        applyLineSettings(probe);
        const OpenAttempt attempt = tryOpen(probe, entry.location);
        if (attempt.opened) {
            probe.close();
            result.ports.append({n, entry});
        } else if (attempt.failure == PortErrors::OpenFailure::PermissionDenied) {
            result.refused.append({entry.location, deviceGroup(entry.location)});
        }
    }
    return result;
}

bool SerialLink::open(int number, QString *error)
{
    captureCatalogIfNeeded();
    const std::optional<PortEntry> entry = device(number);
    if (!entry) {
        if (error)
            *error = QStringLiteral("Port %1 is not available. Run Auto Scan.").arg(number);
        return false;
    }
    if (isOpen() && number == m_number)
        return true;
    if (MSComm1->isOpen())
        close();

    const OpenAttempt attempt = tryOpen(*MSComm1, entry->location);
    if (!attempt.opened) {
        if (error) {
            *error = PortErrors::openFailureText(PortErrors::deviceName(number, entry->location),
                                                 attempt.failure, attempt.systemText);
        }
        return false;
    }
    m_number = number;
    m_location = entry->location;
    return true;
}

void SerialLink::close()
{
    closePort();
}

bool SerialLink::isOpen() const
{
    return MSComm1->isOpen() && !m_lossPending;
}

std::optional<PortEntry> SerialLink::device(int number) const
{
    if (number < 1 || number > m_devices.size())
        return std::nullopt;
    return m_devices.at(number - 1);
}

bool SerialLink::writeFrame(const SettingCodec::ConfigFrame &frame, QString *error)
{
    if (!isOpen()) {
        if (error)
            *error = QStringLiteral("The port is not open.");
        return false;
    }
    m_writeError = SerialPort::NoError;
    m_writing = true;
    const qint64 size = qint64(frame.size());
    const bool queued = MSComm1->write(reinterpret_cast<const char *>(frame.data()), size) == size;
    // flush() writes what the line takes now without blocking, so that a
    // failing line is reported here and not later as a stray error.
    const bool written = queued && MSComm1->flush() && m_writeError == SerialPort::NoError;
    m_writing = false;
    if (written)
        return true;

    const SerialPort::SerialPortError cause =
        m_writeError != SerialPort::NoError ? m_writeError : MSComm1->error();
    const QString systemText = MSComm1->errorString();
    const QString device = currentDeviceName();
    // This call reports the failure, so a fatal one closes the port without a
    // second report through portLost. Qt also reports a line that has no room
    // left (EAGAIN: the far end stopped taking data) as ResourceError; the
    // device is still there then, so the port stays open.
    const bool fatal =
        PortErrors::isFatal(cause) && (cause != SerialPort::ResourceError || lineDown(*MSComm1));
    if (fatal) {
        close();
    } else {
        MSComm1->clear(SerialPort::Output);
        MSComm1->clearError();
    }
    if (error)
        *error = PortErrors::writeFailureText(device, systemText, fatal);
    return false;
}

void SerialLink::onReadyRead()
{
    // Only read and queue here: the window may open a modal box for a chunk,
    // and that must not happen inside QSerialPort's own signal.
    if (readIntoQueue(false))
        scheduleDelivery();
}

void SerialLink::onErrorOccurred(SerialPort::SerialPortError error)
{
    if (error == SerialPort::NoError || !MSComm1->isOpen())
        return;
    if (m_writing) {
        if (m_writeError == SerialPort::NoError)
            m_writeError = error;
        return;
    }
    if (!PortErrors::isFatal(error) || m_lossPending)
        return;
    // Closing deletes the port's notifiers, and this runs inside one of
    // their signals: close from the event loop instead.
    m_lossPending = true;
    m_lossError = error;
    QMetaObject::invokeMethod(this, &SerialLink::closeLostPort, Qt::QueuedConnection);
}

void SerialLink::closeLostPort()
{
    if (!m_lossPending)
        return; // closed by other means meanwhile
    const QString reason = PortErrors::lossText(currentDeviceName(), m_lossError);
    closePort();
    enqueue({QByteArray(), reason});
    scheduleDelivery();
}

void SerialLink::closePort()
{
    if (MSComm1->isOpen()) {
        // Bytes already read from the line are delivered, not dropped.
        if (readIntoQueue(true))
            scheduleDelivery();
        MSComm1->close();
    }
    MSComm1->clearError();
    m_number = 0;
    m_location.clear();
    m_lossPending = false;
}

bool SerialLink::readIntoQueue(bool evenIfFull)
{
    if (!evenIfFull && m_pendingBytes >= kPendingLimit)
        return false; // paused: QSerialPort stops reading once its buffer is full
    QByteArray chunk = MSComm1->readAll();
    if (chunk.isEmpty())
        return false;
    enqueue({std::move(chunk), std::nullopt});
    return true;
}

void SerialLink::enqueue(Inbound item)
{
    m_pendingBytes += item.chunk.size();
    m_inbox.push_back(std::move(item));
}

void SerialLink::scheduleDelivery()
{
    if (m_deliveryPosted)
        return;
    m_deliveryPosted = true;
    QMetaObject::invokeMethod(this, &SerialLink::deliver, Qt::QueuedConnection);
}

void SerialLink::holdDelivery(bool hold)
{
    m_held = hold;
    if (!hold)
        scheduleDelivery();
}

void SerialLink::deliver()
{
    m_deliveryPosted = false;
    // A handler's nested event loop may bring us here again; the outer call
    // goes on draining in order once that handler returns.
    if (m_delivering || m_held)
        return;
    m_delivering = true;
    const QPointer<SerialLink> alive(this);
    for (;;) {
        // QSerialPort does not signal again for bytes that came while reading
        // was paused: fetch them once the queue is empty.
        if (m_inbox.empty() && !(MSComm1->isOpen() && readIntoQueue(false)))
            break;
        Inbound item = std::move(m_inbox.front());
        m_inbox.pop_front();
        m_pendingBytes -= item.chunk.size();
        if (item.lossReason)
            emit portLost(*item.lossReason);
        else
            emit chunkReceived(item.chunk);
        if (!alive)
            return;
    }
    m_delivering = false;
}

QString SerialLink::currentDeviceName() const
{
    return PortErrors::deviceName(m_number, m_location);
}

void SerialLink::captureCatalogIfNeeded()
{
    if (m_catalogCaptured)
        return;
    m_devices = m_catalog->devices().mid(0, kMaxPortNumber);
    m_catalogCaptured = true;
}
