#pragma once

#include "station/RunPlan.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// The settings of a call: a profile's lines, overridden by the options given
// on the command line, checked by the window's rules and turned into the
// frames the window would send.
namespace ProfileSettings {

// One setting as given: on the command line or on a line of the profile.
struct Given
{
    QString value;
    QString where; // "--channel" or "FILE:LINE: channel", for messages
};

struct Resolved
{
    QList<PageFrame> frames; // in the window's page order
    // The settings as resolved, as a profile's text (see RunPlan).
    QByteArray settingsText;
};

struct Resolution
{
    std::optional<Resolved> resolved;
    QString error; // why nothing may be sent
};

// profilePath may be empty; overrides are by setting name.
[[nodiscard]] Resolution resolveSettings(const QString &profilePath,
                                         const QHash<QString, Given> &overrides);

} // namespace ProfileSettings
