#include "store/PgConnection.h"

#include <libpq-fe.h>

#include <memory>
#include <vector>

namespace {

struct ResultFree
{
    void operator()(PGresult *result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultFree>;

struct OptionsFree
{
    void operator()(PQconninfoOption *options) const { PQconninfoFree(options); }
};
using Options = std::unique_ptr<PQconninfoOption, OptionsFree>;

// The conninfo's options as libpq reads them; null, with why, when it
// cannot read them.
Options parsed(const QString &conninfo, QString *why = nullptr)
{
    char *error = nullptr;
    Options options(PQconninfoParse(conninfo.toUtf8().constData(), &error));
    if (!options && why)
        *why = error ? QString::fromUtf8(error) : QStringLiteral("out of memory");
    PQfreemem(error);
    return options;
}

bool hasPassword(const PQconninfoOption *options)
{
    for (const PQconninfoOption *o = options; o->keyword; ++o) {
        if (qstrcmp(o->keyword, "password") == 0 && o->val)
            return true;
    }
    return false;
}

// Keywords before "dbname" are defaults the conninfo may override; those
// after it are ours. A lost server is noticed within seconds, not at the
// system's TCP time-out, so that the line hears of it soon.
struct ConnectParams
{
    explicit ConnectParams(const QString &conninfo) : m_conninfo(conninfo.toUtf8())
    {
        keywords = {"connect_timeout",  "keepalives_idle",  "keepalives_interval",
                    "keepalives_count", "tcp_user_timeout", "fallback_application_name",
                    "dbname",           "client_encoding",  nullptr};
        values = {"5", "10", "5", "3", "15000", "vantrel", m_conninfo.constData(), "UTF8", nullptr};
    }
    std::vector<const char *> keywords;
    std::vector<const char *> values;

private:
    QByteArray m_conninfo;
};

QString text(const char *message)
{
    return QString::fromUtf8(message).trimmed();
}

// The server's state codes of a connection that is gone or going: class 08,
// and the shutdowns and restarts of class 57P.
bool connectionLost(const QString &sqlState)
{
    return sqlState.startsWith(QLatin1String("08")) || sqlState == QLatin1String("57P01") ||
           sqlState == QLatin1String("57P02") || sqlState == QLatin1String("57P03");
}

} // namespace

PgConnection::~PgConnection()
{
    close();
}

void PgConnection::close()
{
    if (m_conn)
        PQfinish(m_conn);
    m_conn = nullptr;
}

bool PgConnection::isOpen() const
{
    return m_conn && PQstatus(m_conn) == CONNECTION_OK;
}

QString PgConnection::settingsProblem(const QString &conninfo)
{
    QString why;
    const Options options = parsed(conninfo, &why);
    if (!options)
        return QStringLiteral("--store cannot be read: %1").arg(why.trimmed());
    if (hasPassword(options.get())) {
        return QStringLiteral("--store carries a password, which anyone on this computer can "
                              "read in the process list; put it in ~/.pgpass (or the file "
                              "PGPASSFILE names, or a service file) instead.");
    }
    return {};
}

bool PgConnection::carriesPassword(const QString &conninfo)
{
    const Options options = parsed(conninfo);
    return options && hasPassword(options.get());
}

QString PgConnection::shown(const QString &conninfo)
{
    const Options options = parsed(conninfo);
    if (!options)
        return QStringLiteral("(unreadable)");
    QStringList parts;
    for (const PQconninfoOption *o = options.get(); o->keyword; ++o) {
        if (!o->val || qstrcmp(o->keyword, "password") == 0)
            continue;
        parts << QStringLiteral("%1=%2").arg(QLatin1String(o->keyword), QString::fromUtf8(o->val));
    }
    return parts.isEmpty() ? QStringLiteral("(libpq's defaults)") : parts.join(QLatin1Char(' '));
}

PgConnection::Outcome PgConnection::open(const QString &conninfo)
{
    close();
    if (const QString problem = settingsProblem(conninfo); !problem.isEmpty())
        return {Failure::BadSettings, problem, {}};
    const ConnectParams params(conninfo);
    m_conn = PQconnectdbParams(params.keywords.data(), params.values.data(), 1);
    if (m_conn && PQstatus(m_conn) == CONNECTION_OK)
        return {};
    const QString why = m_conn ? text(PQerrorMessage(m_conn)) : QStringLiteral("out of memory");
    close();
    // libpq gives no state code for a failed start; its ping tells whether a
    // server answered at all. One that did (even to refuse us) is running.
    const PGPing ping = PQpingParams(params.keywords.data(), params.values.data(), 1);
    const Failure failure = ping == PQPING_OK           ? Failure::Refused
                            : ping == PQPING_NO_ATTEMPT ? Failure::BadSettings
                                                        : Failure::Unreachable;
    return {failure, why, {}};
}

PgConnection::Outcome PgConnection::failed(const PGresult *result)
{
    const QString sqlState =
        result ? QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QString();
    const QString message = result && *PQresultErrorMessage(result)
                                ? text(PQresultErrorMessage(result))
                                : text(PQerrorMessage(m_conn));
    const bool lost = PQstatus(m_conn) != CONNECTION_OK || connectionLost(sqlState);
    if (lost)
        close();
    return {lost ? Failure::Unreachable : Failure::Refused, message, sqlState};
}

PgConnection::Outcome PgConnection::exec(const char *fixedSql)
{
    if (!isOpen())
        return {Failure::Unreachable, QStringLiteral("not connected"), {}};
    const Result result(PQexec(m_conn, fixedSql));
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return {};
    return failed(result.get());
}

namespace {

struct Bound
{
    explicit Bound(const QList<PgConnection::Param> &params)
    {
        values.reserve(size_t(params.size()));
        for (const PgConnection::Param &param : params)
            values.push_back(param ? param->constData() : nullptr);
    }
    std::vector<const char *> values;
};

PgConnection::Row rowOf(const PGresult *result, int row)
{
    PgConnection::Row out;
    const int columns = PQnfields(result);
    out.reserve(columns);
    for (int c = 0; c < columns; ++c)
        out << QString::fromUtf8(PQgetvalue(result, row, c), PQgetlength(result, row, c));
    return out;
}

} // namespace

PgConnection::Outcome PgConnection::execParams(const QByteArray &sql, const QList<Param> &params,
                                               QList<Row> *rows)
{
    if (!isOpen())
        return {Failure::Unreachable, QStringLiteral("not connected"), {}};
    const Bound bound(params);
    const Result result(PQexecParams(m_conn, sql.constData(), int(bound.values.size()), nullptr,
                                     bound.values.data(), nullptr, nullptr, 0));
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        return failed(result.get());
    if (rows) {
        for (int r = 0; r < PQntuples(result.get()); ++r)
            rows->append(rowOf(result.get(), r));
    }
    return {};
}

PgConnection::Outcome PgConnection::eachRow(const QByteArray &sql, const QList<Param> &params,
                                            const std::function<void(const Row &)> &take)
{
    if (!isOpen())
        return {Failure::Unreachable, QStringLiteral("not connected"), {}};
    const Bound bound(params);
    if (!PQsendQueryParams(m_conn, sql.constData(), int(bound.values.size()), nullptr,
                           bound.values.data(), nullptr, nullptr, 0))
        return failed(nullptr);
    PQsetSingleRowMode(m_conn);
    Outcome outcome;
    // Every result is taken, also after a failure, so the connection is
    // ready for the next statement.
    while (Result result{PQgetResult(m_conn)}) {
        const ExecStatusType status = PQresultStatus(result.get());
        if (status == PGRES_SINGLE_TUPLE)
            take(rowOf(result.get(), 0));
        else if (status != PGRES_TUPLES_OK && outcome.ok())
            outcome = failed(result.get());
        if (!m_conn)
            break;
    }
    return outcome;
}
