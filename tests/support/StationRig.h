#pragma once

#include "station/Console.h"
#include "station/DeviceSource.h"
#include "tools/DongleEmulator.h"

#include "support/PtyPair.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

// Devices plugged and pulled by the test, as a station sees a line.
class ScriptedDeviceSource final : public DeviceSource
{
public:
    explicit ScriptedDeviceSource(QList<PortEntry> present = {}) : m_devices(std::move(present)) {}

    bool start(QString *) override { return true; }
    QList<PortEntry> devices() const override { return m_devices; }

    void plug(const PortEntry &device)
    {
        m_devices.append(device);
        emit changed();
    }
    void pull(const QString &location)
    {
        m_devices.removeIf([&](const PortEntry &d) { return d.location == location; });
        emit changed();
    }
    // Another unit in the place of the one at device.location, told of at
    // once, as udev's remove and add read in one batch.
    void swap(const PortEntry &device)
    {
        m_devices.removeIf([&](const PortEntry &d) { return d.location == device.location; });
        plug(device);
    }
    // The same list told again, as udev tells of every change to a device.
    void announceAgain() { emit changed(); }

private:
    QList<PortEntry> m_devices;
};

// A run's console into files the test reads back.
class CapturedConsole
{
public:
    CapturedConsole()
        : m_out(std::fopen(qPrintable(m_dir.filePath(QStringLiteral("out"))), "w")),
          m_err(std::fopen(qPrintable(m_dir.filePath(QStringLiteral("err"))), "w"))
    {
    }
    ~CapturedConsole()
    {
        std::fclose(m_out);
        std::fclose(m_err);
    }
    CapturedConsole(const CapturedConsole &) = delete;
    CapturedConsole &operator=(const CapturedConsole &) = delete;

    [[nodiscard]] Console console() const { return {m_out, m_err}; }
    // Every line is flushed as it is written.
    [[nodiscard]] QByteArray out() const { return contents(QStringLiteral("out")); }
    [[nodiscard]] QByteArray err() const { return contents(QStringLiteral("err")); }

private:
    [[nodiscard]] QByteArray contents(const QString &name) const
    {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    std::FILE *m_out;
    std::FILE *m_err;
};

// A dongle on its own pseudo-terminal, played in this process.
struct PlayedDongle
{
    explicit PlayedDongle(DongleOptions options = {})
        : dongle(std::make_unique<DongleEmulator>(pty.masterFd(), std::move(options)))
    {
    }
    [[nodiscard]] PortEntry entry(const QString &serialNumber = {}) const
    {
        PortEntry device{pty.slavePath(), QStringLiteral("Scripted dongle")};
        device.serialNumber = serialNumber;
        return device;
    }
    [[nodiscard]] qsizetype frames() const { return dongle->frames().size(); }

    PtyPair pty;
    std::unique_ptr<DongleEmulator> dongle;
};
