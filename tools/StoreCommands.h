#pragma once

#include "station/Console.h"
#include "tools/SetArguments.h"

#include <QObject>

#include <memory>
#include <optional>

class ReportForwarder;

// vantrel-set and the record store: the commands that only talk to the
// store, and the store beside a batch or a station.
namespace StoreCommands {

// --forward, --find, --lot-summary and --store-setup; each returns the
// program's exit status.
[[nodiscard]] int run(const SetArguments::Plan &plan, const Console &console);

// The exit status when records are still waiting for the store (--forward)
// or the store could not be reached (--find, --lot-summary).
inline constexpr int kRecordsWaiting = 5;

} // namespace StoreCommands

// The store beside a batch or a station: checked before any unit, then fed
// from the report by a forwarder of its own thread. The run's exit status
// is its units' alone: records waiting for the store are told, not failed.
class StoreSession final : public QObject
{
    Q_OBJECT

public:
    explicit StoreSession(const Console &console);
    ~StoreSession() override;

    // Names the report (the user's data folder's when none is given) and
    // the store, and checks the store. An exit status when the run must not
    // start: a store that answers but refuses is a wrong setting.
    [[nodiscard]] std::optional<int> begin(SetArguments::Plan &plan);
    // Gives what waits one last go, tells how many records wait, then ends
    // the program with exitCode.
    void end(int exitCode);

private:
    Console m_console;
    QString m_report;
    std::unique_ptr<ReportForwarder> m_forwarder;
};
