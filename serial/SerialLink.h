#pragma once

#include "protocol/FrameLink.h"
#include "serial/DeviceClaim.h"
#include "serial/PortCatalog.h"
#include "serial/PortErrors.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <deque>
#include <memory>
#include <optional>

class SerialPort;

struct ScanResult
{
    QList<ScannedPort> ports;                 // in number order
    QList<PortErrors::RefusedDevice> refused; // present, but permission denied
};

// The program's side of the serial port MSComm1: fixed line settings
// (9600 8N1, no flow control), a port number chosen from the catalog that
// the last scan captured, frames out, received chunks in.
class SerialLink final : public QObject, public FrameLink
{
    Q_OBJECT

public:
    // A null catalog means the machine's own devices.
    explicit SerialLink(std::unique_ptr<PortCatalog> catalog = nullptr, QObject *parent = nullptr);
    ~SerialLink() override;

    // Captures the catalog anew and tries its devices in number order. Each
    // port that opens is listed and closed again; the port this link has
    // open stays open and is listed.
    [[nodiscard]] ScanResult scan();

    // Opens a number of the last scan (closing another open port first).
    // On failure returns false and a readable reason naming the device.
    [[nodiscard]] bool open(int number, QString *error = nullptr,
                            PortErrors::OpenFailure *failure = nullptr);
    // How messages are worded (see PortErrors::Audience).
    void setAudience(PortErrors::Audience audience) { m_audience = audience; }
    void close();

    [[nodiscard]] bool isOpen() const override;
    [[nodiscard]] int currentNumber() const { return m_number; } // 0 while closed
    [[nodiscard]] std::optional<PortEntry> device(int number) const;

    bool writeFrame(const SettingCodec::ConfigFrame &frame, QString *error) override;
    void deliverWaiting() override;

    // Received bytes read from the line but not yet delivered. The line is
    // read whenever it has data, also while a handler runs a nested event
    // loop: a UART without flow control loses what is left unread.
    [[nodiscard]] qsizetype pendingBytes() const { return m_pendingBytes; }
    // Bytes that reached the line but were not read from it yet.
    [[nodiscard]] bool hasUnreadInput() const;
    // Bytes read from the device since it was opened.
    [[nodiscard]] qint64 bytesRead() const { return m_bytesRead; }

signals:
    // One per read, in arrival order; never emitted while a handler of an
    // earlier chunk (or of portLost) is still running.
    void chunkReceived(const QByteArray &chunk);
    // The open device failed; the port is already closed. Once per failure,
    // after the chunks received before it.
    void portLost(const QString &reason);

private:
    struct Inbound
    {
        QByteArray chunk;
        std::optional<QString> lossReason;
    };

    void onReadyRead();
    void onErrorOccurred(PortErrors::PortError error);
    void closeLostPort();
    void scheduleDelivery();
    void deliver();
    bool readIntoQueue();
    void enqueue(Inbound item);
    void closePort();
    [[nodiscard]] QString currentDeviceName() const;
    void captureCatalogIfNeeded();

    std::unique_ptr<PortCatalog> m_catalog;
    PortNumbering m_numbering;
    QList<ScannedPort> m_devices; // the last capture, in number order
    bool m_catalogCaptured = false;

    SerialPort *MSComm1;
    DeviceClaim m_claim; // held while MSComm1 is open
    int m_number = 0;
    QString m_location;
    QString m_label; // how messages name the open device
    PortErrors::Audience m_audience = PortErrors::Audience::Window;

    std::deque<Inbound> m_inbox;
    qsizetype m_pendingBytes = 0;
    bool m_deliveryPosted = false;
    bool m_delivering = false;
    qint64 m_bytesRead = 0;

    bool m_writing = false;
    PortErrors::PortError m_writeError = PortErrors::PortError::None;
    bool m_lossPending = false;
    PortErrors::PortError m_lossError = PortErrors::PortError::None;
};
