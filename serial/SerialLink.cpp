#include "serial/SerialLink.h"

#include "serial/DeviceFacts.h"
#include "serial/SerialPort.h"

#include <QPointer>

#include <algorithm>

using PortErrors::PortError;

namespace {

constexpr qint64 kReadBufferSize = 1024;

struct OpenAttempt
{
    bool opened = false;
    PortErrors::OpenFailure failure = PortErrors::OpenFailure::Other;
    QString systemText;
};

// The device is claimed first: a device another program holds is not
// touched by the port, whose open would set its line and whose close would
// take another's exclusive mode away.
OpenAttempt tryOpen(SerialPort &port, DeviceClaim &claim, const QString &location)
{
    claim = DeviceClaim::take(location);
    if (claim.status() == DeviceClaim::Status::Busy)
        return {false, PortErrors::OpenFailure::Busy, claim.busyReason()};
    // By the node itself, so that the port's lock file names the device and
    // not the link it was reached by.
    const QString node = claim.node();
    port.setPortName(node);
    if (port.open(QIODevice::ReadWrite))
        return {true, {}, {}};
    claim.release();
    // A lock file held by another program comes as a permission problem too;
    // the lock file and the node's access rights tell them apart.
    const PortError error = SerialPort::portErrorOf(port.error());
    const bool permission = error == PortError::Permission;
    const bool lockRefused = permission && DeviceFacts::lockedByAnother(node);
    const bool denied = permission && DeviceFacts::accessDenied(node);
    OpenAttempt attempt{false, PortErrors::classifyOpenFailure(error, lockRefused, denied),
                        port.errorString()};
    port.clearError();
    return attempt;
}

QString labelOf(int number, const PortEntry &entry)
{
    return entry.label.isEmpty() ? PortErrors::deviceName(number, entry.location) : entry.label;
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
    connect(MSComm1, &SerialPort::errorOccurred, this, [this](SerialPort::SerialPortError error) {
        onErrorOccurred(SerialPort::portErrorOf(error));
    });
}

SerialLink::~SerialLink()
{
    MSComm1->disconnect(this);
    MSComm1->close();
    m_claim.release();
}

ScanResult SerialLink::scan()
{
    m_devices = m_numbering.number(m_catalog->devices());
    m_catalogCaptured = true;

    // The open port keeps working under its number, listed or not.
    const auto numberLess = [](const ScannedPort &a, const ScannedPort &b) {
        return a.number < b.number;
    };
    if (isOpen() && !device(m_number)) {
        const ScannedPort open{m_number, {m_location, QString()}};
        m_devices.insert(std::lower_bound(m_devices.begin(), m_devices.end(), open, numberLess),
                         open);
    }

    ScanResult result;
    for (const ScannedPort &port : std::as_const(m_devices)) {
        if (isOpen() && port.number == m_number) {
            result.ports.append(port);
            continue;
        }
        SerialPort probe;
        DeviceClaim claim;
        applyLineSettings(probe);
        const OpenAttempt attempt = tryOpen(probe, claim, port.device.location);
        if (attempt.opened) {
            probe.close();
            claim.release();
            result.ports.append(port);
        } else if (attempt.failure == PortErrors::OpenFailure::PermissionDenied) {
            result.refused.append(
                {port.device.location, DeviceFacts::owningGroup(port.device.location)});
        }
    }
    return result;
}

bool SerialLink::open(int number, QString *error, PortErrors::OpenFailure *failure)
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

    const OpenAttempt attempt = tryOpen(*MSComm1, m_claim, entry->location);
    if (!attempt.opened) {
        if (failure)
            *failure = attempt.failure;
        if (error) {
            *error = PortErrors::openFailureText(labelOf(number, *entry), attempt.failure,
                                                 attempt.systemText, m_audience);
        }
        return false;
    }
    m_number = number;
    m_location = entry->location;
    m_label = labelOf(number, *entry);
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
    for (const ScannedPort &port : m_devices) {
        if (port.number == number)
            return port.device;
    }
    return std::nullopt;
}

bool SerialLink::writeFrame(const SettingCodec::ConfigFrame &frame, QString *error)
{
    if (!isOpen()) {
        if (error)
            *error = QStringLiteral("The port is not open.");
        return false;
    }
    m_writeError = PortError::None;
    m_writing = true;
    const qint64 size = qint64(frame.size());
    const bool queued = MSComm1->write(reinterpret_cast<const char *>(frame.data()), size) == size;
    // flush() writes what the line takes now without blocking, so that a
    // failing line is reported here and not later as a stray error.
    const bool written = queued && MSComm1->flush() && m_writeError == PortError::None;
    m_writing = false;
    if (written)
        return true;

    const PortError cause =
        m_writeError != PortError::None ? m_writeError : SerialPort::portErrorOf(MSComm1->error());
    const QString systemText = MSComm1->errorString();
    const QString device = currentDeviceName();
    // This call reports the failure, so a fatal one closes the port without a
    // second report through portLost. Qt also reports a line that has no room
    // left (EAGAIN: the far end stopped taking data) as ResourceError; the
    // device is still there then, so the port stays open.
    const bool fatal =
        PortErrors::isFatal(cause) && (cause != PortError::Resource || MSComm1->isLineDown());
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

bool SerialLink::hasUnreadInput() const
{
    return isOpen() && (MSComm1->bytesAvailable() > 0 || MSComm1->hasUnreadInput());
}

void SerialLink::onReadyRead()
{
    // Only read and queue here: the window may open a modal box for a chunk,
    // and that must not happen inside QSerialPort's own signal.
    if (readIntoQueue())
        scheduleDelivery();
}

void SerialLink::onErrorOccurred(PortError error)
{
    if (error == PortError::None || !MSComm1->isOpen())
        return;
    if (m_writing) {
        if (m_writeError == PortError::None)
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
        if (readIntoQueue())
            scheduleDelivery();
        MSComm1->close();
    }
    // Only once the port is closed: no other program may take the device
    // before.
    m_claim.release();
    MSComm1->clearError();
    m_number = 0;
    m_location.clear();
    m_label.clear();
    m_lossPending = false;
    m_bytesRead = 0;
}

bool SerialLink::readIntoQueue()
{
    QByteArray chunk = MSComm1->readAll();
    if (chunk.isEmpty())
        return false;
    m_bytesRead += chunk.size();
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

void SerialLink::deliverWaiting()
{
    if (MSComm1->isOpen() && !m_lossPending)
        readIntoQueue();
    deliver();
}

void SerialLink::deliver()
{
    m_deliveryPosted = false;
    // A handler's nested event loop may bring us here again; the outer call
    // goes on draining in order once that handler returns.
    if (m_delivering)
        return;
    m_delivering = true;
    const QPointer<SerialLink> alive(this);
    while (!m_inbox.empty()) {
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
    return m_label;
}

void SerialLink::captureCatalogIfNeeded()
{
    if (m_catalogCaptured)
        return;
    m_devices = m_numbering.number(m_catalog->devices());
    m_catalogCaptured = true;
}
