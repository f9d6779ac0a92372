#pragma once

#include <QDir>
#include <QString>

#include <functional>

// The station window's pictures for the user guide: the run view in the
// middle of a lot, the setup page and the end of the lot's summary, fed with
// example units (no station runs), in the language and type size given.
struct StationShot
{
    enum class Page
    {
        Run,
        Setup,
        LotSummary // the run stopped, End of lot's summary over the run view
    };
    QString file;
    Page page = Page::Run;
    QString language = QStringLiteral("en");
    int typePercent = 100;
};

// Renders each shot into folder, one after another on the event loop, then
// calls done with whether every picture was written.
void shootStation(const QDir &folder, QList<StationShot> shots, std::function<void(bool)> done);
