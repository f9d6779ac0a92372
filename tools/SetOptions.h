#pragma once

#include "protocol/SettingCodec.h"
#include "station/RunPlan.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>

class QCommandLineParser;

// vantrel-set's options as tables: one row per setting (the window's lists
// and IDs) and one per option of the run. The parser and the help text both
// read them.
namespace SetArguments {

// The choices of one call, as the window's controls would hold them.
struct Choices : SettingCodec::GeneralChoices
{
    int pairMode = -1;
    int receiveTimeout = -1;
};

// One option per drop-down list.
struct ListOption
{
    const char *name; // without the leading "--"
    const SettingCodec::ListTable *table;
    Page page;
    int Choices::*choice;
    const char *about;
};

[[nodiscard]] std::span<const ListOption> listOptions();

// The options that take three IDs: "master", "slave".
[[nodiscard]] std::span<const char *const> idOptions();

// Every setting a profile line or an option may name.
[[nodiscard]] QStringList settingNames();

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

// The item a typed value names, or nullopt. Trimmed, case-insensitive, a
// blank may be written as '-', and a unit after a number may be left out or
// glued on: "300", "300ms", "300-ms" and "300 ms" all name " 300 ms ".
[[nodiscard]] std::optional<int> matchItem(const SettingCodec::ListTable &table,
                                           const QString &value);

// The item texts as the window shows them, without the padding blanks.
[[nodiscard]] QStringList itemTexts(const SettingCodec::ListTable &table);

} // namespace SetArguments
