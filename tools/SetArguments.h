#pragma once

#include "station/RunPlan.h"
#include "tools/SetOptions.h"

#include <QString>
#include <QStringList>

#include <optional>

// The command line of vantrel-set: named settings in, the frames the window
// would send for the same choices out, and what to do with them. The lists
// and their codes are the window's own tables; this only maps option names
// and typed values onto them.
namespace SetArguments {

struct Plan : RunPlan
{
    enum class Action
    {
        Send,
        DryRun,
        SaveProfile,
        Watch,
        Help,
        Version,
        Forward,
        Find,
        LotSummary,
        StoreSetup
    };
    Action action = Action::Send;
    QString saveProfilePath; // --save-profile

    QString store;                       // --store, a libpq conninfo
    QString forwardPath;                 // --forward
    QList<QPair<QString, QString>> find; // --find and the conditions after it
    bool findJson = false;               // --format jsonl
    QString summaryLot;                  // --lot-summary
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

} // namespace SetArguments
