#pragma once

#include <QString>

// A report file name that would not be read as the user expects, or would
// overwrite what the run reads. Each program words it its own way.
enum class ReportNameProblem
{
    None,
    Json,     // ".json": a report is CSV or JSON Lines (".jsonl")
    IsProfile // the profile's own file
};

// profilePath may be empty.
[[nodiscard]] ReportNameProblem reportNameProblem(const QString &reportPath,
                                                  const QString &profilePath);
