#pragma once

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A report's records as the tests read them: by the CSV header's names or
// the JSON keys, never by position, so that a field added does not move
// what a test looks at.
using ReportRecord = QHash<QString, QString>;

// One CSV line's fields, quoting undone as RFC 4180 has it, and the ' the
// writer puts before a field a spreadsheet would run as a formula (and before
// one that starts with ') taken off.
inline QStringList csvFields(const QByteArray &line)
{
    QStringList fields{QString()};
    bool quoted = false;
    const QString text = QString::fromUtf8(line);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted && c == QLatin1Char('"') && i + 1 < text.size() &&
            text.at(i + 1) == QLatin1Char('"')) {
            fields.last() += c;
            ++i;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c == QLatin1Char(',') && !quoted) {
            fields.append(QString());
        } else {
            fields.last() += c;
        }
    }
    for (QString &field : fields) {
        if (field.startsWith(QLatin1Char('\'')))
            field.remove(0, 1);
    }
    return fields;
}

// A JSON line, or with a header a CSV line; nullopt when a CSV line has
// another number of fields than the header names.
inline std::optional<ReportRecord> recordOf(const QByteArray &line, const QStringList &header = {})
{
    ReportRecord record;
    if (header.isEmpty()) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        for (auto it = object.begin(); it != object.end(); ++it) {
            record.insert(it.key(), it.value().isDouble() ? QString::number(it.value().toInteger())
                                                          : it.value().toString());
        }
        return record;
    }
    const QStringList fields = csvFields(line);
    if (fields.size() != header.size())
        return std::nullopt;
    for (qsizetype i = 0; i < header.size(); ++i)
        record.insert(header.at(i), fields.at(i));
    return record;
}

// Every record of a CSV or JSON Lines report (by its name), in file order;
// a malformed CSV line comes as an empty record.
inline QList<ReportRecord> reportRecords(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    const bool json = path.endsWith(QLatin1String(".jsonl"), Qt::CaseInsensitive);
    const QStringList header = json ? QStringList() : csvFields(lines.takeFirst());
    QList<ReportRecord> records;
    for (const QByteArray &line : std::as_const(lines)) {
        if (!line.isEmpty())
            records.append(recordOf(line, header).value_or(ReportRecord()));
    }
    return records;
}
