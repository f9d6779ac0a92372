#pragma once

#include "tools/DongleEmulator.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class QCommandLineParser;

// One dongle to play: how it answers, and whether its line goes away on the
// first frame, as if it were unplugged.
struct PlannedDongle
{
    DongleOptions options;
    bool hangUp = false;
};

// What vantrel-dongle is asked to play.
struct DonglePlan
{
    std::optional<QString> device; // a serial device to play on; none: pseudo-terminals
    QByteArray greeting;           // sent once when a dongle comes up
    int everyMs = 0;               // > 0: the dongles come up one after another, this far apart
    QList<PlannedDongle> dongles;  // numbered from 1
};

// The program's description and options (--help shows them).
void addDongleOptions(QCommandLineParser &parser);

// The plan the parsed command line asks for, or nullopt and the reason.
[[nodiscard]] std::optional<DonglePlan> donglePlan(const QCommandLineParser &parser,
                                                   QString *error);
