#pragma once

#include "serial/PortCatalog.h"
#include "tools/SetArguments.h"
#include "tools/SettingSender.h"
#include "tools/UnitReport.h"

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
    explicit ProductionRun(const SetArguments::Plan &plan, QObject *parent = nullptr);
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
        std::unique_ptr<SettingSender> sender;
    };

    void onFinished(SettingSender *sender, int exitCode);
    void stopForReport(const QString &error);
    [[nodiscard]] UnitRecord recordOf(const Unit &unit) const;

    SetArguments::Plan m_plan;
    std::optional<UnitReport> m_report;
    QString m_profile;
    QString m_settingsSha256;
    std::vector<Unit> m_units;
    QMap<QString, int> m_tally; // by result
    int m_exitCode = 0;
    bool m_stopped = false;
};

// "ok", "no-answer", "wrong-answer", "port-error"
[[nodiscard]] QString resultName(SettingSender::Outcome::Result result);
