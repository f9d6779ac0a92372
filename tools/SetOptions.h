#pragma once

#include "station/RunPlan.h"
#include "station/SettingOptions.h"

#include <QStringList>

#include <span>

class QCommandLineParser;

// vantrel-set's options as tables: the settings (the window's lists and
// IDs, see station/SettingOptions.h) and one row per option of the run. The
// parser and the help text both read them.
namespace SetArguments {

// The settings' tables live with the station, which resolves profiles too;
// vantrel-set reads them under its own namespace.
using ProfileSettings::Choices;
using ProfileSettings::idOptions;
using ProfileSettings::itemTexts;
using ProfileSettings::ListOption;
using ProfileSettings::listOptions;
using ProfileSettings::matchItem;
using ProfileSettings::settingNames;

// An option of the run, in the order the help lists them.
struct RunOption
{
    const char *name;      // without "--"
    const char *shortName; // "h", or nullptr
    const char *valueName; // "N", "FILE", or nullptr for a switch
    const char *help;
    int shownDefault = -1; // printed as "[N]." after the help when >= 0
};

[[nodiscard]] std::span<const RunOption> runOptions();

// Declares every setting and run option to parser.
void addOptions(QCommandLineParser &parser);

} // namespace SetArguments
