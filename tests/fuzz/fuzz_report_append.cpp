// What a report holds when a run starts to append to it (an earlier run's
// records, a spreadsheet's save, another program's file, a file cut off),
// through UnitReport::begin and one unit's record.
//
// Input: one byte whose lowest bit picks JSON Lines (1) or CSV (0), then the
// file's bytes.
// Checks: a CSV is appended to only under our header (a byte order mark and
// a CRLF end allowed), and an empty one gets the header first; a refused file
// is left as it was, with an error that names it and holds no raw control
// character (it goes to a terminal); an accepted one keeps its bytes, gets a
// newline where its last line lacks one, then the station record and the
// unit's, each one whole line with every field.

#include "ScratchFiles.h"
#include "station/UnitReport.h"
#include "support/ReportRecords.h"

#include <cstdint>

namespace {

bool startsWithOurHeader(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const qsizetype end = bytes.indexOf('\n');
    QByteArray first = end < 0 ? bytes : bytes.left(end);
    if (first.endsWith('\r'))
        first.chop(1);
    return first + '\n' == UnitReport::csvHeader();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool json = (data[0] & 1) != 0;
    const QByteArray before(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString path = scratchFile(before, json ? "units.jsonl" : "units.csv");
    RunIdentity run;
    run.runId = QStringLiteral("run-1");
    UnitReport report(path, run);
    const UnitReport::Written begun = report.begin();
    const bool ours = json || before.isEmpty() || startsWithOurHeader(before);
    check(begun.ok() == ours);
    if (!ours) {
        check(contents(path) == before && begun.error.contains(path));
        for (const QChar c : begun.error)
            check(c.unicode() >= 0x20 && c.unicode() != 0x7F);
        return 0;
    }
    UnitRecord unit;
    unit.kind = UnitRecord::Kind::Started;
    unit.seq = 1;
    unit.unit.location = QStringLiteral("/dev/ttyUSB0");
    check(report.append(unit).ok());

    QByteArray kept = before;
    if (before.isEmpty() && !json)
        kept = UnitReport::csvHeader();
    else if (!before.isEmpty() && !before.endsWith('\n'))
        kept += '\n';
    const QByteArray after = contents(path);
    check(after.startsWith(kept));
    const QList<QByteArray> lines = after.mid(kept.size()).split('\n');
    check(lines.size() == 3 && lines.at(2).isEmpty());
    const QStringList names = json ? QStringList() : csvFields(UnitReport::csvHeader().trimmed());
    const std::optional<ReportRecord> station = recordOf(lines.at(0), names);
    const std::optional<ReportRecord> started = recordOf(lines.at(1), names);
    check(station && station->value("kind") == QLatin1String("station") &&
          station->value("run_id") == QLatin1String("run-1"));
    check(started && started->value("kind") == QLatin1String("started") &&
          started->value("device") == unit.unit.location);
    return 0;
}
