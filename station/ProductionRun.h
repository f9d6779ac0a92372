#pragma once

#include "serial/PortCatalog.h"
#include "station/Console.h"
#include "station/RunPlan.h"
#include "station/UnitExchange.h"
#include "station/UnitReport.h"

#include <QMap>
#include <QObject>

#include <memory>
#include <optional>

// Configures units concurrently, each through its own link and transaction
// on this one thread, writes each unit's record to the report before its
// result line, and keeps the tally. Shared by the batch of devices named on
// the command line and by the station.
class ProductionRun final : public QObject
{
    Q_OBJECT

public:
    ProductionRun(const RunPlan &plan, Console console, QObject *parent = nullptr);
    ~ProductionRun() override;

    // Starts one unit; its result comes as unitEnded(). Nothing is sent
    // when the report cannot be opened: reportFailed() comes instead.
    void configure(const PortEntry &unit);

    [[nodiscard]] int running() const { return int(m_units.size()); }
    [[nodiscard]] bool isRunning(const QString &location) const;
    // The worst exit status so far (0 before any unit ended).
    [[nodiscard]] int exitCode() const { return m_exitCode; }
    // "3 units: 2 acknowledged, 1 failed (no-answer 1)."
    [[nodiscard]] QString summary() const;

signals:
    void unitEnded();
    // The report could not be written: every unit still running was
    // dropped and nothing more may be configured.
    void reportFailed();

private:
    struct Unit
    {
        PortEntry entry;
        QDateTime started;
        std::unique_ptr<UnitExchange> exchange;
    };

    void onFinished(UnitExchange *exchange, int exitCode);
    void stopForReport(const QString &error);
    [[nodiscard]] UnitRecord recordOf(const Unit &unit) const;

    RunPlan m_plan;
    Console m_console;
    std::optional<UnitReport> m_report;
    QString m_profile;
    QString m_settingsSha256;
    std::vector<Unit> m_units;
    QMap<QString, int> m_tally; // by result
    int m_exitCode = 0;
    bool m_stopped = false;
};

// The devices named for a batch as the report names them: with their by-id
// name, serial number and USB ids from the system's catalog when withIdentity
// (reading the catalog walks every tty in sysfs), else just the path.
[[nodiscard]] QList<PortEntry> describedDevices(const QStringList &devices, bool withIdentity);

// "ok", "no-answer", "wrong-answer", "port-error"
[[nodiscard]] QString resultName(UnitExchange::Outcome::Result result);
