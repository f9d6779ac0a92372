#pragma once

#include <QString>

#include <cstdio>

// Where a run's lines go: results on out, warnings and traces on err. Each
// line is flushed at once, so that a killed station leaves every line it
// printed.
struct Console
{
    std::FILE *out = stdout;
    std::FILE *err = stderr;

    void say(const QString &line) const { write(out, line); }
    // "vantrel-set: " before the text.
    void complain(const QString &text) const;
    void trace(const QString &line) const { write(err, line); }

    static void write(std::FILE *stream, const QString &line);
};
