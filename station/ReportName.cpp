#include "station/ReportName.h"

#include <QFileInfo>

ReportNameProblem reportNameProblem(const QString &reportPath, const QString &profilePath)
{
    if (reportPath.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        return ReportNameProblem::Json;
    if (!profilePath.isEmpty() &&
        QFileInfo(reportPath).absoluteFilePath() == QFileInfo(profilePath).absoluteFilePath()) {
        return ReportNameProblem::IsProfile;
    }
    return ReportNameProblem::None;
}
