#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

// The kernel's (udev's) word that a serial device was added or removed,
// without polling. Built without libudev, start() says so and nothing comes.
class KernelDeviceEvents final : public QObject
{
    Q_OBJECT

public:
    explicit KernelDeviceEvents(QObject *parent = nullptr);
    ~KernelDeviceEvents() override;

    [[nodiscard]] bool start(QString *why);

signals:
    void changed();

private:
    void onReadable();

    struct udev *m_udev = nullptr;
    struct udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
};
