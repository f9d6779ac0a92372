#include "station/ReportName.h"

#include "station/DurableAppend.h"

ReportNameProblem reportNameProblem(const QString &reportPath, const QString &profilePath)
{
    if (reportPath.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        return ReportNameProblem::Json;
    // The same file however it is named: through a link, or by another path.
    if (!profilePath.isEmpty()) {
        const std::optional<FileIdentity> report = fileIdentity(reportPath);
        if (report && report == fileIdentity(profilePath))
            return ReportNameProblem::IsProfile;
    }
    return ReportNameProblem::None;
}
