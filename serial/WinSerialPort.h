#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QString>

#include <qt_windows.h>

class QWinEventNotifier;

// A serial port on the Win32 API, offering the part of QSerialPort's
// interface that SerialLink and its scan use, with QSerialPort's names, so
// that the link reads the same on every system.
//
// All I/O is overlapped and driven from the event loop: a pending
// WaitCommEvent(EV_RXCHAR) signals an event that a QWinEventNotifier
// watches, and then what the driver holds is read at once. Reading stops
// while the read buffer is full and resumes once it has been read, like
// QSerialPort's. Modem lines are never queried: a line without them (or a
// driver that refuses the query) is no fault.
class WinSerialPort : public QObject
{
    Q_OBJECT

public:
    enum BaudRate
    {
        Baud1200 = 1200,
        Baud2400 = 2400,
        Baud4800 = 4800,
        Baud9600 = 9600,
        Baud19200 = 19200,
        Baud38400 = 38400,
        Baud57600 = 57600,
        Baud115200 = 115200
    };
    enum DataBits
    {
        Data5 = 5,
        Data6 = 6,
        Data7 = 7,
        Data8 = 8
    };
    enum Parity
    {
        NoParity = 0,
        EvenParity = 2,
        OddParity = 3,
        SpaceParity = 4,
        MarkParity = 5
    };
    enum StopBits
    {
        OneStop = 1,
        OneAndHalfStop = 3,
        TwoStop = 2
    };
    enum FlowControl
    {
        NoFlowControl,
        HardwareControl,
        SoftwareControl
    };
    enum Direction
    {
        Input = 1,
        Output = 2,
        AllDirections = Input | Output
    };
    Q_DECLARE_FLAGS(Directions, Direction)
    enum SerialPortError
    {
        NoError,
        DeviceNotFoundError,
        PermissionError,
        OpenError,
        WriteError,
        ReadError,
        ResourceError,
        UnsupportedOperationError,
        UnknownError,
        TimeoutError,
        NotOpenError
    };
    Q_ENUM(SerialPortError)

    explicit WinSerialPort(QObject *parent = nullptr);
    ~WinSerialPort() override;

    // "COM3" (or a full device path such as "\\.\COM3").
    void setPortName(const QString &name);
    [[nodiscard]] QString portName() const { return m_portName; }

    // Line settings apply at the next open.
    bool setBaudRate(qint32 rate);
    bool setDataBits(DataBits bits);
    bool setParity(Parity parity);
    bool setStopBits(StopBits bits);
    bool setFlowControl(FlowControl flow);
    // 0: unlimited.
    void setReadBufferSize(qint64 size) { m_readBufferSize = size; }

    bool open(QIODevice::OpenMode mode);
    void close();
    [[nodiscard]] bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    [[nodiscard]] HANDLE handle() const { return m_handle; }
    // The device went away or failed: closed, a read that failed, or a
    // driver that no longer answers for its line.
    [[nodiscard]] bool isLineDown() const;

    [[nodiscard]] qint64 bytesAvailable() const { return m_readBuffer.size(); }
    QByteArray readAll();
    // Queues the bytes and starts sending them; -1 (and an error) when the
    // port is closed or refuses them at once.
    qint64 write(const char *data, qint64 size);
    // Never blocks: true while the port is open and no write has failed.
    bool flush();
    // Drops buffered bytes, here and in the driver.
    bool clear(Directions directions = AllDirections);

    [[nodiscard]] SerialPortError error() const { return m_error; }
    [[nodiscard]] QString errorString() const { return m_errorString; }
    void clearError() { setError(NoError, QString()); }

signals:
    void readyRead();
    void errorOccurred(WinSerialPort::SerialPortError error);

private:
    void setError(SerialPortError error, const QString &text);
    void fail(SerialPortError error, DWORD systemError);
    bool applySettings();
    void schedulePump();
    void pump();
    bool startWait();
    void onWaitDone();
    void readWaiting();
    bool startWrite();
    void onWriteDone();
    [[nodiscard]] qint64 roomToRead() const;

    QString m_portName;
    qint32 m_baudRate = Baud9600;
    DataBits m_dataBits = Data8;
    Parity m_parity = NoParity;
    StopBits m_stopBits = OneStop;
    FlowControl m_flowControl = NoFlowControl;
    qint64 m_readBufferSize = 0;

    HANDLE m_handle = INVALID_HANDLE_VALUE;
    SerialPortError m_error = NoError;
    QString m_errorString;

    QByteArray m_readBuffer;
    OVERLAPPED m_waitOverlapped = {};
    DWORD m_eventMask = 0;
    QWinEventNotifier *m_waitNotifier = nullptr;
    bool m_waitPending = false;
    bool m_pumpPosted = false;
    bool m_readFailed = false; // no more waits until the port is closed

    QByteArray m_writeQueue;
    QByteArray m_writing; // the buffer of the pending WriteFile
    OVERLAPPED m_writeOverlapped = {};
    QWinEventNotifier *m_writeNotifier = nullptr;
    bool m_writePending = false;
    bool m_writeFailed = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(WinSerialPort::Directions)
