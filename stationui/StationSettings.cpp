#include "stationui/StationSettings.h"

#include <QCoreApplication>
#include <QSettings>

#include <algorithm>

namespace {

// Keys, grouped as the file shows them.
constexpr char kProfile[] = "setup/profile";
constexpr char kReport[] = "setup/report";
constexpr char kStation[] = "setup/station";
constexpr char kOperator[] = "setup/operator";
constexpr char kLot[] = "setup/lot";
constexpr char kQuantity[] = "setup/lotQuantity";
constexpr char kFixture[] = "setup/fixture";
constexpr char kMatches[] = "setup/matches";
constexpr char kStore[] = "setup/store";
constexpr char kLanguage[] = "window/language";
constexpr char kSound[] = "window/sound";
constexpr char kType[] = "window/typePercent";
constexpr char kPin[] = "supervisor/pin";
constexpr char kFailures[] = "supervisor/wrongTries";
constexpr char kNotBefore[] = "supervisor/notBefore";

} // namespace

StationSettings::StationSettings(const QString &path)
    : m_settings(path.isEmpty() ? std::make_unique<QSettings>(QStringLiteral("Vantrel"),
                                                              QStringLiteral("vantrel-station"))
                                : std::make_unique<QSettings>(path, QSettings::IniFormat))
{
}

StationSettings::~StationSettings() = default;

RunSetup StationSettings::setup() const
{
    const QSettings &s = *m_settings;
    RunSetup setup;
    setup.profilePath = s.value(kProfile).toString();
    setup.reportPath = s.value(kReport).toString();
    setup.stationName = s.value(kStation).toString();
    setup.operatorName = s.value(kOperator).toString();
    setup.lot = s.value(kLot).toString();
    setup.lotQuantity = std::max(0, s.value(kQuantity, 0).toInt());
    setup.fixturePath = s.value(kFixture).toString();
    setup.matches = s.value(kMatches).toStringList();
    setup.store = s.value(kStore).toString();
    setup.language = s.value(kLanguage).toString();
    setup.sound = s.value(kSound, true).toBool();
    setup.typePercent = std::clamp(s.value(kType, 100).toInt(), 50, 400);
    return setup;
}

void StationSettings::setSetup(const RunSetup &setup)
{
    QSettings &s = *m_settings;
    s.setValue(kProfile, setup.profilePath);
    s.setValue(kReport, setup.reportPath);
    s.setValue(kStation, setup.stationName);
    s.setValue(kOperator, setup.operatorName);
    s.setValue(kLot, setup.lot);
    s.setValue(kQuantity, setup.lotQuantity);
    s.setValue(kFixture, setup.fixturePath);
    s.setValue(kMatches, setup.matches);
    s.setValue(kStore, setup.store);
    s.setValue(kLanguage, setup.language);
    s.setValue(kSound, setup.sound);
    s.setValue(kType, setup.typePercent);
}

QString StationSettings::pinHash() const
{
    return m_settings->value(kPin).toString();
}

void StationSettings::setPinHash(const QString &hash)
{
    if (hash.isEmpty())
        m_settings->remove(kPin);
    else
        m_settings->setValue(kPin, hash);
}

PinGate::State StationSettings::pinGate() const
{
    return {std::max(0, m_settings->value(kFailures, 0).toInt()),
            m_settings->value(kNotBefore, 0).toLongLong()};
}

void StationSettings::setPinGate(const PinGate::State &state)
{
    m_settings->setValue(kFailures, state.failures);
    m_settings->setValue(kNotBefore, state.notBeforeMs);
}

QString StationSettings::sync()
{
    m_settings->sync();
    switch (m_settings->status()) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return QCoreApplication::translate("StationSettings", "%1 cannot be written.")
            .arg(fileName());
    case QSettings::FormatError:
        return QCoreApplication::translate("StationSettings", "%1 is not a settings file.")
            .arg(fileName());
    }
    return {};
}

QString StationSettings::fileName() const
{
    return m_settings->fileName();
}
