#pragma once

#include "protocol/SettingCodec.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>

// The command line of vantrel-set: named settings in, the frames the window
// would send for the same choices out. The lists and their codes are the
// window's own tables; this only maps option names and typed values onto them.
namespace SetArguments {

enum ExitCode
{
    kAcknowledged = 0,
    kNoAcknowledgement = 1,
    kUsageError = 2,
    kPortError = 3,
};

inline constexpr int kDefaultWaitMs = 2500;
inline constexpr int kDefaultSettleMs = 500;

enum class Page
{
    General,
    Advanced,
    Advanced2
};

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

// The item a typed value names, or nullopt. Trimmed, case-insensitive, a
// blank may be written as '-', and a unit after a number may be left out or
// glued on: "300", "300ms", "300-ms" and "300 ms" all name " 300 ms ".
[[nodiscard]] std::optional<int> matchItem(const SettingCodec::ListTable &table,
                                           const QString &value);

// The item texts as the window shows them, without the padding blanks.
[[nodiscard]] QStringList itemTexts(const SettingCodec::ListTable &table);

struct PageFrame
{
    Page page;
    SettingCodec::ConfigFrame frame;
};

struct Plan
{
    enum class Action
    {
        Send,
        DryRun,
        SaveProfile,
        Watch,
        Help,
        Version
    };
    Action action = Action::Send;
    QStringList devices;     // each named once
    QList<PageFrame> frames; // in the window's page order
    int waitMs = kDefaultWaitMs;
    bool verbose = false;

    // The settings as resolved (profile, then options), as a profile's text:
    // what --save-profile writes and what the report's digest is taken of.
    QByteArray settingsText;
    QString profilePath;     // --profile, or empty
    QString saveProfilePath; // --save-profile
    QString reportPath;      // --report, or empty

    // Station (--watch)
    bool includePresent = false;
    QString match;
    int settleMs = kDefaultSettleMs;
};

// A plan, or the reason the command line is refused (exit status 2).
struct Parsed
{
    std::optional<Plan> plan;
    QString error;
};

// arguments as main() gets them, the program name first. Reads the profile
// named by --profile, and checks that no device is named twice.
[[nodiscard]] Parsed parse(const QStringList &arguments);

[[nodiscard]] QString helpText();

[[nodiscard]] QString pageName(Page page);

// "98 95 93 ..." as --dry-run prints a frame.
[[nodiscard]] QString frameHex(const SettingCodec::ConfigFrame &frame);

// The worse of two exit statuses: a port error over a missing
// acknowledgement over success.
[[nodiscard]] int worse(int a, int b);

} // namespace SetArguments
