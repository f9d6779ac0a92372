#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// One configured unit, as the production report keeps it.
struct UnitRecord
{
    QDateTime started;
    QString host;
    QString device;
    QString byId;
    QString serialNumber;
    QString profile;
    QString settingsSha256;
    QList<QByteArray> sent;
    QByteArray received;
    QString result; // ok, no-answer, wrong-answer, port-error
    QString reason;
    qint64 elapsedMs = 0;
};

// The report file of a production run: CSV with a header line when the file
// is new, or JSON Lines when its name ends in ".jsonl". Each record goes to
// the file in one append and is on the disk before append() returns, so a
// record is there whole or not at all, whenever the program is stopped.
class UnitReport
{
public:
    explicit UnitReport(QString path);

    [[nodiscard]] QString path() const { return m_path; }

    // Whether the file can be opened for appending (and is made if new), so
    // that no unit is configured when its record could not be kept.
    [[nodiscard]] bool check(QString *error) const;

    // False and the reason when the record could not be written whole.
    [[nodiscard]] bool append(const UnitRecord &record, QString *error);

    // The record as one line, newline included.
    [[nodiscard]] QByteArray line(const UnitRecord &record) const;
    [[nodiscard]] static QByteArray csvHeader();

private:
    QString m_path;
    bool m_json;
};
