#pragma once

#include "station/Fixture.h"
#include "station/SettingResolver.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the operator and the supervisor set up for a run, as remembered
// between runs.
struct RunSetup
{
    QString profilePath;
    QString reportPath;
    QString stationName; // empty: the host name
    QString operatorName;
    QString lot;
    int lotQuantity = 0; // 0: none given
    QString fixturePath; // empty: no fixture, units as the patterns match
    QStringList matches; // without a fixture: which units the run takes
    QString store;       // the record store's libpq connection string, or empty
    QString language;    // empty: the system's; "en", "zh_CN"
    bool sound = true;
    int typePercent = 100; // the window's type size

    friend bool operator==(const RunSetup &, const RunSetup &) = default;
};

// A profile read and resolved as vantrel-set resolves it: the same settings
// text, so the same digest as the records' settings_sha256.
struct ProfileSummary
{
    QStringList settings; // "channel = 15", in the profile's order
    QString sha256;       // of the settings as resolved, in hex
    [[nodiscard]] QString shortDigest() const { return sha256.left(12); }
};

struct ProfileLoad
{
    std::optional<ProfileSummary> summary;
    std::optional<ProfileSettings::Resolved> resolved;
    QString error;
};

[[nodiscard]] ProfileLoad loadProfile(const QString &path);

// A setup ready to run: what the station is told.
struct ReadySetup
{
    RunSetup setup;
    ProfileSettings::Resolved settings;
    std::optional<Fixture> fixture;
};

struct SetupCheck
{
    std::optional<ReadySetup> ready;
    QStringList problems; // each a sentence for the operator, in the window's language
};

[[nodiscard]] SetupCheck checkSetup(const RunSetup &setup);

// What the station is told for a ready setup: vantrel-set --watch's plan
// for the same profile, report, names and patterns; with a fixture, its
// sockets each by its whole by-path name, so that the run takes exactly them.
[[nodiscard]] RunPlan runPlanOf(const ReadySetup &ready);

// Why name cannot stand as the operator of a run, or empty: the records must
// say who ran it, and "operator" or "admin" says nobody.
[[nodiscard]] QString operatorRefusal(const QString &name);
