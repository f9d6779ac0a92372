#include "tools/DongleCommandLine.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

constexpr int kMostDongles = 1000;
// A day: far beyond any test, and well within what a timer takes (an int of
// milliseconds), the last dongle's start after --every included.
constexpr int kLongestMs = 24 * 60 * 60 * 1000;

// Milliseconds from text, nullopt beyond what the timers take.
std::optional<int> milliseconds(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0 || value > kLongestMs)
        return std::nullopt;
    return value;
}

// The option's bytes, fallback when it is not given.
std::optional<QByteArray> hexOption(const QCommandLineParser &parser, const QString &name,
                                    const QByteArray &fallback, QString *error)
{
    if (!parser.isSet(name))
        return fallback;
    const QString text = parser.value(name);
    QString digits = text;
    digits.remove(QRegularExpression(QStringLiteral("[\\s:,]")));
    static const QRegularExpression hex(QStringLiteral("^([0-9A-Fa-f]{2})+$"));
    if (!hex.match(digits).hasMatch()) {
        *error = QStringLiteral("not a list of hex bytes: \"%1\"").arg(text);
        return std::nullopt;
    }
    return QByteArray::fromHex(digits.toLatin1());
}

// The option's milliseconds, fallback when it is not given.
std::optional<int> msOption(const QCommandLineParser &parser, const QString &name, int fallback,
                            QString *error)
{
    if (!parser.isSet(name))
        return fallback;
    const std::optional<int> value = milliseconds(parser.value(name));
    if (!value)
        *error = QStringLiteral("--%1 needs a number of milliseconds from 0 to %2")
                     .arg(name)
                     .arg(kLongestMs);
    return value;
}

std::optional<int> parseCount(const QCommandLineParser &parser, QString *error)
{
    if (!parser.isSet(QStringLiteral("count")))
        return 1;
    bool ok = false;
    const int count = parser.value(QStringLiteral("count")).toInt(&ok);
    if (!ok || count < 1 || count > kMostDongles) {
        *error = QStringLiteral("--count needs a number from 1 to %1").arg(kMostDongles);
        return std::nullopt;
    }
    return count;
}

// "2", "2,5", "3-7" or "all" -> dongle numbers (from 1).
std::optional<QList<int>> parseUnits(const QString &text, int count, QString *error)
{
    QList<int> units;
    if (text == QLatin1String("all")) {
        for (int i = 1; i <= count; ++i)
            units << i;
        return units;
    }
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QStringList ends = part.split(QLatin1Char('-'));
        bool okFirst = false;
        bool okLast = true;
        const int first = ends.constFirst().toInt(&okFirst);
        const int last = ends.size() == 2 ? ends.constLast().toInt(&okLast) : first;
        if (!okFirst || !okLast || ends.size() > 2 || first < 1 || last < first || last > count) {
            *error = QStringLiteral("--fault: \"%1\" is not a unit number from 1 to %2")
                         .arg(part)
                         .arg(count);
            return std::nullopt;
        }
        for (int i = first; i <= last; ++i)
            units << i;
    }
    return units;
}

// The faults that try which frame an answer is taken for: "twice=MS" (each
// answer again MS later), "only=N" (only the N-th frame is answered) and
// "noise=MS" (a byte every MS, all the time). nullopt: not one of these.
std::optional<bool> applyAnswerFault(const QString &spec, QList<PlannedDongle> &dongles,
                                     QString *error)
{
    static const QRegularExpression form(
        QStringLiteral("^([0-9,\\-]+|all):(twice|only|noise)=([0-9]+)$"));
    const QRegularExpressionMatch m = form.match(spec);
    if (!m.hasMatch())
        return std::nullopt;
    const QString kind = m.captured(2);
    bool ok = false;
    const int value = m.captured(3).toInt(&ok);
    if (!ok || (value < 1 && kind != QLatin1String("twice"))) {
        *error = QStringLiteral("--fault \"%1\": %2 needs a number from %3")
                     .arg(spec, kind, kind == QLatin1String("twice") ? "0" : "1");
        return false;
    }
    const std::optional<QList<int>> units = parseUnits(m.captured(1), int(dongles.size()), error);
    if (!units)
        return false;
    for (const int n : *units) {
        DongleOptions &options = dongles[n - 1].options;
        if (kind == QLatin1String("twice"))
            options.repeatMs = value;
        else if (kind == QLatin1String("only"))
            options.onlyFrame = value;
        else
            options.noiseMs = value;
    }
    return true;
}

// One --fault, "UNITS:KIND", applied to the dongles it names.
bool applyFault(const QString &spec, QList<PlannedDongle> &dongles, QString *error)
{
    if (const std::optional<bool> applied = applyAnswerFault(spec, dongles, error))
        return *applied;
    static const QRegularExpression form(
        QStringLiteral("^([0-9,\\-]+|all):(silent|hangup|delay=([0-9]+)|split=([0-9]+))$"));
    const QRegularExpressionMatch m = form.match(spec);
    if (!m.hasMatch()) {
        *error = QStringLiteral("--fault \"%1\" is not UNITS:silent, UNITS:delay=MS, "
                                "UNITS:split=MS, UNITS:hangup, UNITS:twice=MS, UNITS:only=N or "
                                "UNITS:noise=MS")
                     .arg(spec);
        return false;
    }
    const std::optional<QList<int>> units = parseUnits(m.captured(1), int(dongles.size()), error);
    if (!units)
        return false;
    const QString kind = m.captured(2);
    const QString msText = m.captured(3) + m.captured(4);
    const std::optional<int> ms = msText.isEmpty() ? 0 : milliseconds(msText);
    if (!ms) {
        *error = QStringLiteral("--fault \"%1\": %2 is more than %3 milliseconds")
                     .arg(spec, msText)
                     .arg(kLongestMs);
        return false;
    }
    for (const int n : *units) {
        PlannedDongle &dongle = dongles[n - 1];
        if (kind == QLatin1String("silent"))
            dongle.options.silent = true;
        else if (kind == QLatin1String("hangup"))
            dongle.hangUp = dongle.options.silent = true;
        else if (kind.startsWith(QLatin1String("delay")))
            dongle.options.delayMs = *ms;
        else
            dongle.options.splitMs = *ms;
    }
    return true;
}

// The answer every dongle gives unless a --fault says otherwise.
std::optional<DongleOptions> commonOptions(const QCommandLineParser &parser, QString *error)
{
    DongleOptions options;
    options.silent = parser.isSet(QStringLiteral("silent"));
    const auto delay = msOption(parser, QStringLiteral("delay"), 0, error);
    const auto split = delay ? msOption(parser, QStringLiteral("split"), -1, error) : std::nullopt;
    const auto reply =
        split ? hexOption(parser, QStringLiteral("reply"), options.reply, error) : std::nullopt;
    if (!reply)
        return std::nullopt;
    options.delayMs = *delay;
    options.splitMs = *split;
    options.reply = *reply;
    return options;
}

} // namespace

void addDongleOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Plays the radio dongle: prints every setting frame it receives in words and answers "
        "55 AA.\nWithout --device it creates a pseudo-terminal, prints its path and lists it in "
        "the tool's port list as \"Dongle emulator\" while it runs."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("device"), QStringLiteral("Use this serial device (9600 8N1, raw)."),
         QStringLiteral("path")},
        {QStringLiteral("silent"), QStringLiteral("Never answer.")},
        {QStringLiteral("delay"), QStringLiteral("Answer this many milliseconds late."),
         QStringLiteral("ms")},
        {QStringLiteral("split"),
         QStringLiteral("Send the answer's first byte, the rest this many milliseconds later."),
         QStringLiteral("ms")},
        {QStringLiteral("send"),
         QStringLiteral("Send these bytes once at start, e.g. \"31 32 0D 0A\"."),
         QStringLiteral("hex")},
        {QStringLiteral("reply"),
         QStringLiteral("Answer frames with these bytes instead of 55 AA."), QStringLiteral("hex")},
        {QStringLiteral("count"),
         QStringLiteral("Play this many dongles, each on its own pseudo-terminal (default 1)."),
         QStringLiteral("n")},
        {QStringLiteral("every"),
         QStringLiteral("Let the dongles appear one after another, this many milliseconds apart "
                        "(default: all at once)."),
         QStringLiteral("ms")},
        {QStringLiteral("fault"),
         QStringLiteral("A fault for some of the dongles, numbered from 1: UNITS:silent, "
                        "UNITS:delay=MS, UNITS:split=MS, UNITS:hangup (the line goes away on "
                        "the first frame), UNITS:twice=MS (each answer again MS later), "
                        "UNITS:only=N (only the N-th frame is answered) or UNITS:noise=MS (a "
                        "byte every MS, all the time). UNITS is a number, a list (2,5), a range "
                        "(3-7) or \"all\". May be given several times, also for one dongle."),
         QStringLiteral("units:fault")},
    });
}

std::optional<DonglePlan> donglePlan(const QCommandLineParser &parser, QString *error)
{
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument \"%1\" (see --help)")
                     .arg(parser.positionalArguments().constFirst());
        return std::nullopt;
    }
    const auto options = commonOptions(parser, error);
    const auto greeting =
        options ? hexOption(parser, QStringLiteral("send"), {}, error) : std::nullopt;
    const auto count = greeting ? parseCount(parser, error) : std::nullopt;
    const auto every = count ? msOption(parser, QStringLiteral("every"), 0, error) : std::nullopt;
    if (!every)
        return std::nullopt;
    if (qint64(*every) * (*count - 1) > kLongestMs) {
        *error = QStringLiteral("--every: the last of %1 dongles would come up more than %2 "
                                "milliseconds after the first")
                     .arg(*count)
                     .arg(kLongestMs);
        return std::nullopt;
    }
    DonglePlan plan;
    plan.greeting = *greeting;
    plan.everyMs = *every;
    if (parser.isSet(QStringLiteral("device"))) {
        if (*count > 1) {
            *error = QStringLiteral("--device plays one dongle; leave --count out");
            return std::nullopt;
        }
        plan.device = parser.value(QStringLiteral("device"));
    }
    plan.dongles.fill(PlannedDongle{*options, false}, *count);
    for (const QString &spec : parser.values(QStringLiteral("fault"))) {
        if (!applyFault(spec, plan.dongles, error))
            return std::nullopt;
    }
    return plan;
}
