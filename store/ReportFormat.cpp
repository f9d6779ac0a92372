#include "store/ReportFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace ReportFormat {
namespace {

constexpr const char *kNames[FieldCount] = {
    "kind",    "time",          "version", "station",         "operator", "lot",
    "run_id",  "seq",           "device",  "by_id",           "by_path",  "vid_pid",
    "product", "serial_number", "profile", "settings_sha256", "sent",     "received",
    "result",  "reason",        "ms",      "attempt"};

// JSON Lines keep these as numbers (or null).
bool isNumber(int field)
{
    return field == Seq || field == Ms || field == Attempt;
}

int fieldOf(const QString &name)
{
    for (int i = 0; i < FieldCount; ++i) {
        if (name == QLatin1String(kNames[i]))
            return i;
    }
    return -1;
}

// A spreadsheet would run a field that starts so as a formula.
bool needsGuard(const QString &value)
{
    if (value.isEmpty())
        return false;
    const QChar first = value.front();
    return QStringLiteral("=+-@\t\r'").contains(first);
}

QByteArray csvField(const QString &value)
{
    const bool guard = needsGuard(value);
    if (!guard && !value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) &&
        !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')) &&
        !value.startsWith(QLatin1Char(' ')) && !value.endsWith(QLatin1Char(' ')))
        return value.toUtf8();
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return '"' + (guard ? QByteArray("'") : QByteArray()) + quoted.toUtf8() + '"';
}

} // namespace

std::span<const char *const> fieldNames()
{
    return kNames;
}

bool isJsonLines(const QString &path)
{
    return path.endsWith(QLatin1String(".jsonl"), Qt::CaseInsensitive);
}

std::optional<QStringList> csvFields(const QByteArray &line)
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
    if (quoted)
        return std::nullopt;
    return fields;
}

std::optional<QString> LineReader::takeHeader(const QByteArray &line)
{
    const std::optional<QStringList> names = csvFields(line);
    m_columns.clear();
    if (names) {
        for (const QString &name : *names)
            m_columns << fieldOf(name);
    }
    for (const int needed : {Kind, Time, RunId, Seq}) {
        if (!m_columns.contains(needed)) {
            return QStringLiteral("its first line is not a report's header (no \"%1\" column)")
                .arg(QLatin1String(kNames[needed]));
        }
    }
    return std::nullopt;
}

std::optional<Record> LineReader::read(const QByteArray &line, QString *why) const
{
    return m_json ? readJson(line, why) : readCsv(line, why);
}

std::optional<Record> LineReader::readCsv(const QByteArray &line, QString *why) const
{
    const std::optional<QStringList> fields = csvFields(line);
    if (!fields || fields->size() != m_columns.size()) {
        *why = fields ? QStringLiteral("%1 fields where the header names %2")
                            .arg(fields->size())
                            .arg(m_columns.size())
                      : QStringLiteral("a quote is left open");
        return std::nullopt;
    }
    Record record;
    for (qsizetype i = 0; i < fields->size(); ++i) {
        if (m_columns.at(i) < 0)
            continue;
        QString value = fields->at(i);
        // The spreadsheet guard's quote is not part of the value.
        if (value.startsWith(QLatin1Char('\'')))
            value.remove(0, 1);
        record[m_columns.at(i)] = value;
    }
    return record;
}

std::optional<Record> LineReader::readJson(const QByteArray &line, QString *why) const
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (!document.isObject()) {
        *why = error.error != QJsonParseError::NoError ? error.errorString()
                                                       : QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    Record record;
    for (int i = 0; i < FieldCount; ++i) {
        const QJsonValue value = object.value(QLatin1String(kNames[i]));
        if (value.isString()) {
            record[i] = value.toString();
        } else if (value.isDouble() && isNumber(i)) {
            record[i] = QString::number(value.toInteger());
        } else if (!value.isNull() && !value.isUndefined()) {
            *why = QStringLiteral("\"%1\" is neither text nor a number").arg(kNames[i]);
            return std::nullopt;
        }
    }
    return record;
}

QByteArray csvHeader()
{
    QByteArrayList names;
    for (const char *name : kNames)
        names << name;
    return names.join(',') + '\n';
}

QByteArray csvLine(const Record &record)
{
    QByteArrayList fields;
    for (const QString &value : record)
        fields << csvField(value);
    return fields.join(',') + '\n';
}

QByteArray jsonLine(const Record &record)
{
    // By hand, to keep the report's field order; Qt escapes each string.
    QByteArrayList members;
    for (int i = 0; i < FieldCount; ++i) {
        QByteArray value;
        if (isNumber(i)) {
            value = record[i].isEmpty() ? QByteArray("null") : record[i].toLatin1();
        } else {
            const QByteArray quoted =
                QJsonDocument(QJsonArray{record[i]}).toJson(QJsonDocument::Compact);
            value = quoted.mid(1, quoted.size() - 2);
        }
        members << '"' + QByteArray(kNames[i]) + "\":" + value;
    }
    return '{' + members.join(',') + "}\n";
}

} // namespace ReportFormat
