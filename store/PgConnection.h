#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

struct pg_conn;

// One connection to PostgreSQL through libpq, used from one thread at a
// time. Statements go with parameters; exec() is for fixed text only (the
// schema, BEGIN and COMMIT).
class PgConnection
{
public:
    enum class Failure
    {
        None,
        // Nobody answered, or the server is starting or stopping: try again.
        Unreachable,
        // The server answered and said no (password, database, rights,
        // schema): a setting is wrong, trying again will not help.
        Refused,
        // The connection string itself cannot be read.
        BadSettings
    };

    struct Outcome
    {
        Failure failure = Failure::None;
        QString message;
        QString sqlState; // of a statement that failed, when the server gave one
        [[nodiscard]] bool ok() const { return failure == Failure::None; }
    };

    // A parameter's text, or SQL NULL.
    using Param = std::optional<QByteArray>;
    // A result's row: NULL comes as an empty text.
    using Row = QStringList;

    PgConnection() = default;
    ~PgConnection();
    PgConnection(const PgConnection &) = delete;
    PgConnection &operator=(const PgConnection &) = delete;

    // conninfo: a key=value string or a postgresql:// URI. Texts travel as
    // UTF-8 whatever the conninfo says.
    [[nodiscard]] Outcome open(const QString &conninfo);
    void close();
    [[nodiscard]] bool isOpen() const;

    // Only for the program's own fixed texts (BEGIN, COMMIT, the schema's
    // migrations): a migration is several statements in one text, which
    // PQexecParams does not take. Every value goes through execParams.
    [[nodiscard]] Outcome exec(const char *fixedSql);
    [[nodiscard]] Outcome execParams(const QByteArray &sql, const QList<Param> &params,
                                     QList<Row> *rows = nullptr);
    // Rows handed over one at a time, for results too large to hold.
    [[nodiscard]] Outcome eachRow(const QByteArray &sql, const QList<Param> &params,
                                  const std::function<void(const Row &)> &take);

    // Why a conninfo is refused before any connection (it cannot be read, or
    // it carries a password); empty when it is fine.
    [[nodiscard]] static QString settingsProblem(const QString &conninfo);
    // Whether a readable conninfo carries a password.
    [[nodiscard]] static bool carriesPassword(const QString &conninfo);
    // The conninfo as "key=value ..." without its password, to be shown.
    [[nodiscard]] static QString shown(const QString &conninfo);

private:
    [[nodiscard]] Outcome failed(const struct pg_result *result);

    pg_conn *m_conn = nullptr;
};
