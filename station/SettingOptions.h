#pragma once

#include "protocol/SettingCodec.h"
#include "station/RunPlan.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <span>

// The settings a profile line or a vantrel-set option may name: one row per
// drop-down list of the window and the two ID triples. vantrel-set's parser,
// its help, the profile resolver and the station window all read them.
namespace ProfileSettings {

// The choices of one call, as the window's controls would hold them.
struct Choices : SettingCodec::GeneralChoices
{
    int pairMode = -1;
    int receiveTimeout = -1;
};

// One setting per drop-down list.
struct ListOption
{
    const char *name; // the option's name, without the leading "--"
    const SettingCodec::ListTable *table;
    Page page;
    int Choices::*choice;
    const char *about;
};

[[nodiscard]] std::span<const ListOption> listOptions();

// The settings that take three IDs: "master", "slave".
[[nodiscard]] std::span<const char *const> idOptions();

// Every setting a profile line or an option may name.
[[nodiscard]] QStringList settingNames();

// The item a typed value names, or nullopt. Trimmed, case-insensitive, a
// blank may be written as '-', and a unit after a number may be left out or
// glued on: "300", "300ms", "300-ms" and "300 ms" all name " 300 ms ".
[[nodiscard]] std::optional<int> matchItem(const SettingCodec::ListTable &table,
                                           const QString &value);

// The item texts as the window shows them, without the padding blanks.
[[nodiscard]] QStringList itemTexts(const SettingCodec::ListTable &table);

} // namespace ProfileSettings
