#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <span>

// The report's records as text, read by the header's names (CSV) or the keys
// (JSON Lines), so that a file with or without a later field, or with
// columns of another program's, reads the same; and written back in the
// report's own format for whoever asks the store.
namespace ReportFormat {

enum Field : int
{
    Kind,
    Time,
    Version,
    Station,
    Operator,
    Lot,
    RunId,
    Seq,
    Device,
    ById,
    ByPath,
    VidPid,
    Product,
    SerialNumber,
    Profile,
    SettingsSha256,
    Sent,
    Received,
    Result,
    Reason,
    Ms,
    Attempt,
    FieldCount
};

// "kind", "time", ... "attempt", in the report's order.
[[nodiscard]] std::span<const char *const> fieldNames();

// Every field as the report holds it; a field the file lacks, or a JSON
// null, is empty.
using Record = std::array<QString, FieldCount>;

[[nodiscard]] bool isJsonLines(const QString &path);

// Reads the lines of one report: the header first for CSV.
class LineReader
{
public:
    explicit LineReader(bool json) : m_json(json) {}

    [[nodiscard]] bool isJson() const { return m_json; }

    // The CSV header's names; the reason when the line is no report header.
    [[nodiscard]] std::optional<QString> takeHeader(const QByteArray &line);
    // One record line without its line end; the reason it is none.
    [[nodiscard]] std::optional<Record> read(const QByteArray &line, QString *why) const;

private:
    [[nodiscard]] std::optional<Record> readJson(const QByteArray &line, QString *why) const;
    [[nodiscard]] std::optional<Record> readCsv(const QByteArray &line, QString *why) const;

    bool m_json;
    QList<int> m_columns; // CSV: the field of each column, -1 for one we do not know
};

// One CSV line's fields, RFC 4180 quoting undone; nullopt when a quote is
// left open. The spreadsheet guard's leading ' is still there.
[[nodiscard]] std::optional<QStringList> csvFields(const QByteArray &line);

[[nodiscard]] QByteArray csvHeader();
// The record as one line of its format, newline included.
[[nodiscard]] QByteArray csvLine(const Record &record);
[[nodiscard]] QByteArray jsonLine(const Record &record);

} // namespace ReportFormat
