#pragma once

#include <QDir>
#include <QString>

#include <functional>

// The station window's pictures for the user guide: the run view in the
// middle of a lot and the setup page, fed with example units (no station
// runs), in the language and type size given.
struct StationShot
{
    QString file;
    bool setupPage = false;
    QString language = QStringLiteral("en");
    int typePercent = 100;
};

// Renders each shot into folder, one after another on the event loop, then
// calls done with whether every picture was written.
void shootStation(const QDir &folder, QList<StationShot> shots, std::function<void(bool)> done);
