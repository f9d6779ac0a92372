#pragma once

#include "stationui/RunSetup.h"
#include "stationui/SupervisorPin.h"

#include <QString>

#include <memory>

class QSettings;

// The station window's settings, kept between runs: the run's setup, the
// supervisor's PIN hash and its wrong-try count. In the user's usual place
// (~/.config/Vantrel/vantrel-station.conf, the registry on Windows), or in
// the INI file given.
class StationSettings
{
public:
    explicit StationSettings(const QString &path = {});
    ~StationSettings();

    [[nodiscard]] RunSetup setup() const;
    void setSetup(const RunSetup &setup);

    // Empty when no PIN is set.
    [[nodiscard]] QString pinHash() const;
    void setPinHash(const QString &hash);
    [[nodiscard]] PinGate::State pinGate() const;
    void setPinGate(const PinGate::State &state);

    // Writes what changed; empty, or why it could not.
    [[nodiscard]] QString sync();
    [[nodiscard]] QString fileName() const;

private:
    std::unique_ptr<QSettings> m_settings;
};
