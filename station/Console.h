#pragma once

#include <QString>

#include <cstdio>
#include <memory>

// Where a run's lines go: results on out, warnings and traces on err. Each
// line is flushed at once, so that a killed station leaves every line it
// printed.
struct Console
{
    // Shared by the copies of one console.
    struct OutState
    {
        bool failed = false;
        QString report; // where the results are kept besides out, or empty
    };

    std::FILE *out = stdout;
    std::FILE *err = stderr;
    std::shared_ptr<OutState> outState = std::make_shared<OutState>();
    // Which program complains.
    QString program = QStringLiteral("vantrel-set");

    // A result line. Once out cannot be written (a closed pipe, a logger
    // that died) the run goes on: err says once where the results are from
    // then on, and the lines are dropped.
    void say(const QString &line) const;
    // The program's name ("vantrel-set: ") before the text.
    void complain(const QString &text) const;
    void trace(const QString &line) const { (void)write(err, line); }
    // The report the results go into, named when out fails.
    void keepResultsIn(const QString &reportPath) const { outState->report = reportPath; }

    // False when the line could not be written.
    [[nodiscard]] static bool write(std::FILE *stream, const QString &line);

    // Writing to a closed pipe, or past the file size limit, fails as an
    // error the run reports instead of ending the program by a signal, which
    // would leave a station without its summary and a unit's result unsaid.
    static void ignoreWriteSignals();
};
