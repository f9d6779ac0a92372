#pragma once

// What both Wine probes share: a report file of PASS/FAIL lines in the
// probe's folder and a list of steps polled in order, each returning true
// once it is done. A step that does not come about within the limit is a
// failure and the probe goes straight to its end; the program's exit status
// is the number of failed checks.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTextStream>
#include <QTimer>

#include <functional>
#include <vector>

class ProbeSteps : public QObject
{
public:
    ProbeSteps(const QString &folder, const QString &reportName) : m_folder(folder)
    {
        m_report.setFileName(QDir(m_folder).filePath(reportName));
        if (!m_report.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate))
            qFatal("probe: cannot write %s", qPrintable(m_report.fileName()));
        connect(&m_timer, &QTimer::timeout, this, &ProbeSteps::poll);
    }

protected:
    // The last step should be finish().
    void run(std::vector<std::function<bool()>> steps)
    {
        m_steps = std::move(steps);
        m_stepClock.start();
        m_timer.start(kPollMs);
    }

    void note(const QString &line)
    {
        QTextStream(&m_report) << line << '\n';
        m_report.flush();
    }

    void check(bool ok, const QString &what)
    {
        note(QStringLiteral("%1 %2").arg(ok ? QStringLiteral("PASS") : QStringLiteral("FAIL"),
                                         what));
        if (!ok)
            ++m_failures;
    }

    bool finish()
    {
        note(QStringLiteral("%1 failed").arg(m_failures));
        m_timer.stop();
        QCoreApplication::exit(m_failures);
        return true;
    }

    [[nodiscard]] QString inFolder(const QString &name) const
    {
        return QDir(m_folder).filePath(name);
    }

private:
    static constexpr int kPollMs = 50;
    static constexpr qint64 kStepLimitMs = 60'000;

    void poll()
    {
        if (m_step >= m_steps.size())
            return;
        if (m_steps[m_step]()) {
            ++m_step;
            m_stepClock.restart();
        } else if (m_stepClock.elapsed() > kStepLimitMs) {
            check(false, QStringLiteral("step %1 done within %2 s")
                             .arg(m_step + 1)
                             .arg(kStepLimitMs / 1000));
            m_step = m_steps.size() - 1; // straight to the end
        }
    }

    QString m_folder;
    QFile m_report;
    QTimer m_timer;
    QElapsedTimer m_stepClock;
    std::vector<std::function<bool()>> m_steps;
    std::size_t m_step = 0;
    int m_failures = 0;
};
