#include "store/StoreSchema.h"

#include <QList>

namespace StoreSchema {
namespace {

// One step per version, applied in order inside one transaction. A new
// version is one more entry; an entry once shipped is never changed.
struct Migration
{
    int version;
    const char *sql;
};

constexpr Migration kMigrations[] = {
    {1, R"sql(
CREATE TABLE vantrel_records (
    run_id uuid NOT NULL,
    seq integer NOT NULL,
    kind text NOT NULL,
    "time" timestamptz NOT NULL,
    utc_offset integer NOT NULL,
    version text NOT NULL,
    station text NOT NULL,
    "operator" text NOT NULL,
    lot text NOT NULL,
    device text NOT NULL,
    by_id text NOT NULL,
    by_path text NOT NULL,
    vid_pid text NOT NULL,
    product text NOT NULL,
    serial_number text NOT NULL,
    profile text NOT NULL,
    settings_sha256 text NOT NULL,
    sent text NOT NULL,
    received text NOT NULL,
    result text NOT NULL,
    reason text NOT NULL,
    ms integer,
    attempt integer,
    PRIMARY KEY (run_id, seq, kind)
);
COMMENT ON COLUMN vantrel_records.utc_offset IS
    'the zone offset of the record''s time as the station wrote it, seconds east of UTC';
CREATE INDEX vantrel_records_lot ON vantrel_records (lot);
CREATE INDEX vantrel_records_serial ON vantrel_records (serial_number);
CREATE INDEX vantrel_records_time ON vantrel_records ("time");
CREATE VIEW vantrel_unit_latest AS
    SELECT DISTINCT ON (lot, unit)
           COALESCE(NULLIF(serial_number, ''), run_id::text || '/' || seq) AS unit, r.*
    FROM vantrel_records r
    WHERE kind = 'result'
    ORDER BY lot, unit, "time" DESC, seq DESC;
)sql"},
};

constexpr const char *kVersionTable = R"sql(
CREATE TABLE IF NOT EXISTS vantrel_schema_version (
    version integer PRIMARY KEY,
    applied timestamptz NOT NULL DEFAULT now()
))sql";

using Outcome = PgConnection::Outcome;
using Failure = PgConnection::Failure;

// 0 when there is no store yet.
Outcome readVersion(PgConnection &db, int *version)
{
    QList<PgConnection::Row> rows;
    Outcome outcome =
        db.execParams("SELECT to_regclass('vantrel_schema_version') IS NOT NULL", {}, &rows);
    *version = 0;
    if (!outcome.ok() || rows.value(0).value(0) != QLatin1String("t"))
        return outcome;
    rows.clear();
    outcome =
        db.execParams("SELECT COALESCE(max(version), 0) FROM vantrel_schema_version", {}, &rows);
    if (outcome.ok())
        *version = rows.value(0).value(0).toInt();
    return outcome;
}

Outcome migrate(PgConnection &db)
{
    // One station at a time: the others wait here, then find it done.
    for (const char *step : {"BEGIN", "SELECT pg_advisory_xact_lock(7468205931)", kVersionTable}) {
        if (Outcome o = db.exec(step); !o.ok())
            return o;
    }
    int version = 0;
    if (Outcome o = readVersion(db, &version); !o.ok())
        return o;
    for (const Migration &migration : kMigrations) {
        if (migration.version <= version)
            continue;
        if (Outcome o = db.exec(migration.sql); !o.ok())
            return o;
        if (Outcome o = db.execParams("INSERT INTO vantrel_schema_version (version) VALUES ($1)",
                                      {QByteArray::number(migration.version)});
            !o.ok())
            return o;
    }
    return db.exec("COMMIT");
}

Outcome refused(const QString &text)
{
    return {Failure::Refused, text, {}};
}

Outcome checkRights(PgConnection &db, Use use)
{
    QList<PgConnection::Row> rows;
    const QByteArray sql =
        use == Use::Forward
            ? "SELECT has_table_privilege('vantrel_records', 'INSERT, SELECT') AND "
              "has_table_privilege('vantrel_schema_version', 'SELECT'), current_user"
            : "SELECT has_table_privilege('vantrel_records', 'SELECT') AND "
              "has_table_privilege('vantrel_unit_latest', 'SELECT'), current_user";
    if (Outcome o = db.execParams(sql, {}, &rows); !o.ok())
        return o;
    if (rows.value(0).value(0) == QLatin1String("t"))
        return {};
    return refused(QStringLiteral("the store's user %1 may not %2; the GRANTs it needs are in "
                                  "the README (The store: least rights).")
                       .arg(rows.value(0).value(1),
                            use == Use::Forward ? QStringLiteral("add records (INSERT, SELECT)")
                                                : QStringLiteral("read records (SELECT)")));
}

} // namespace

int latestVersion()
{
    return std::end(kMigrations)[-1].version;
}

PgConnection::Outcome prepare(PgConnection &db, Use use)
{
    int version = 0;
    if (Outcome o = readVersion(db, &version); !o.ok()) {
        // The version table there, but not for this user to read.
        return o.sqlState == QLatin1String("42501") ? checkRights(db, use) : o;
    }
    if (version > latestVersion()) {
        return refused(QStringLiteral("the store's tables are of version %1, newer than this "
                                      "program knows (%2): update vantrel-set.")
                           .arg(version)
                           .arg(latestVersion()));
    }
    if (version < latestVersion()) {
        if (Outcome o = migrate(db); !o.ok()) {
            (void)db.exec("ROLLBACK");
            if (o.sqlState == QLatin1String("42501")) {
                o.message = QStringLiteral("the store's tables are %1 and this user may not make "
                                           "them (%2); their owner makes them once with "
                                           "vantrel-set --store-setup (README, The store).")
                                .arg(version == 0 ? QStringLiteral("not there")
                                                  : QStringLiteral("of an older version"),
                                     o.message);
            }
            return o;
        }
    }
    return checkRights(db, use);
}

PgConnection::Outcome open(PgConnection &db, const QString &conninfo, Use use)
{
    Outcome outcome = db.open(conninfo);
    if (outcome.ok())
        outcome = prepare(db, use);
    if (!outcome.ok())
        db.close();
    return outcome;
}

} // namespace StoreSchema
