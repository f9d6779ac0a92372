#include "stationui/RunSetup.h"

#include "station/ReportName.h"
#include "store/PgConnection.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QRegularExpression>

namespace {

// The texts' context for the translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(RunSetup)
};

// Names a shared login or a placeholder, not a person; also with a number
// after them ("user1", "test-2").
const QStringList kGenericOperators = {
    QStringLiteral("operator"), QStringLiteral("admin"),    QStringLiteral("administrator"),
    QStringLiteral("user"),     QStringLiteral("test"),     QStringLiteral("tester"),
    QStringLiteral("guest"),    QStringLiteral("root"),     QStringLiteral("default"),
    QStringLiteral("station"),  QStringLiteral("none"),     QStringLiteral("unknown"),
    QStringLiteral("nobody"),   QStringLiteral("anonymous")};

QString reportProblem(const RunSetup &setup)
{
    if (setup.reportPath.trimmed().isEmpty())
        return Texts::tr("Choose a report file: no unit is configured without its record.");
    switch (reportNameProblem(setup.reportPath, setup.profilePath)) {
    case ReportNameProblem::None:
        return {};
    case ReportNameProblem::Json:
        return Texts::tr(
                   "The report %1 ends in .json: a report is CSV, or JSON Lines named .jsonl.")
            .arg(setup.reportPath);
    case ReportNameProblem::IsProfile:
        return Texts::tr("The report %1 is the profile: choose another file.")
            .arg(setup.reportPath);
    }
    return {};
}

} // namespace

ProfileLoad loadProfile(const QString &path)
{
    if (path.trimmed().isEmpty())
        return {std::nullopt, std::nullopt,
                Texts::tr("Choose a profile: it holds the settings sent.")};
    const ProfileSettings::Resolution resolution = ProfileSettings::resolveSettings(path, {});
    if (!resolution.resolved)
        return {std::nullopt, std::nullopt, resolution.error};
    const QByteArray &text = resolution.resolved->settingsText;
    ProfileSummary summary;
    // The first line names the format; the rest are the settings.
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    summary.settings = lines.mid(1);
    summary.sha256 =
        QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex());
    return {summary, resolution.resolved, {}};
}

QString operatorRefusal(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return Texts::tr("Enter or scan the operator's name or badge.");
    static const QRegularExpression numbered(QStringLiteral("[\\s_.-]*[0-9]*$"));
    const QString bare = trimmed.toLower().remove(numbered);
    if (kGenericOperators.contains(bare)) {
        return Texts::tr("\"%1\" names no one: enter or scan the operator's own name or badge.")
            .arg(trimmed);
    }
    return {};
}

SetupCheck checkSetup(const RunSetup &setup)
{
    SetupCheck check;
    if (const QString why = operatorRefusal(setup.operatorName); !why.isEmpty())
        check.problems << why;
    const ProfileLoad profile = loadProfile(setup.profilePath);
    if (!profile.resolved)
        check.problems << profile.error;
    if (const QString why = reportProblem(setup); !why.isEmpty())
        check.problems << why;
    std::optional<Fixture> fixture;
    if (!setup.fixturePath.isEmpty()) {
        FixtureRead read = readFixture(setup.fixturePath);
        if (read.fixture)
            fixture = std::move(read.fixture);
        else
            check.problems << read.error;
    } else if (setup.matches.isEmpty()) {
        check.problems << Texts::tr(
            "Without a fixture, name the units to take (by-id name, socket, "
            "USB product or VID:PID).");
    }
    // A password would sit in the settings file, readable to whoever reads
    // it: libpq finds it in ~/.pgpass or a service file instead.
    if (PgConnection::carriesPassword(setup.store)) {
        check.problems << Texts::tr(
            "The record store's connection string carries a password, which anyone who reads "
            "the station's settings could read: put it in ~/.pgpass or a service file instead.");
    } else if (!setup.store.isEmpty()) {
        if (const QString why = PgConnection::settingsProblem(setup.store); !why.isEmpty())
            check.problems << Texts::tr("The record store: %1").arg(why);
    }
    if (check.problems.isEmpty())
        check.ready = ReadySetup{setup, *profile.resolved, fixture};
    return check;
}

RunPlan runPlanOf(const ReadySetup &ready)
{
    RunPlan plan;
    plan.frames = ready.settings.frames;
    plan.settingsText = ready.settings.settingsText;
    plan.profilePath = ready.setup.profilePath;
    plan.reportPath = ready.setup.reportPath;
    plan.stationName = ready.setup.stationName;
    plan.operatorName = ready.setup.operatorName;
    plan.lot = ready.setup.lot;
    plan.matches = ready.fixture ? ready.fixture->sockets() : ready.setup.matches;
    return plan;
}
