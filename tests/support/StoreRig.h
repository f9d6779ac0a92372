#pragma once

#include "store/PgConnection.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

// A PostgreSQL server of the test's own: initdb and pg_ctl on a Unix socket
// in a temporary folder. initdb refuses root, so as root the server runs as
// the unprivileged "postgres" (or "nobody"). Roles: vantrel_admin (trust,
// the superuser), and those made with addRole(), which log in with a
// password from the PGPASSFILE the rig writes.
class PgServer
{
public:
    PgServer()
    {
        QStringList folders{qEnvironmentVariable("VANTREL_PG_BINDIR")};
        const QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql"))
                                         .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (auto it = versions.rbegin(); it != versions.rend(); ++it)
            folders << QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*it);
        for (const QString &folder : folders) {
            if (!folder.isEmpty() && QFile::exists(folder + QStringLiteral("/initdb")))
                m_bin = folder;
        }
        if (m_bin.isEmpty()) {
            m_why = QStringLiteral("no PostgreSQL server programs (initdb, pg_ctl) in "
                                   "/usr/lib/postgresql/*/bin or VANTREL_PG_BINDIR; Debian: "
                                   "postgresql-15");
            return;
        }
        if (::getuid() == 0)
            m_runAs = QFile::exists(QStringLiteral("/var/lib/postgresql")) ? "postgres" : "nobody";
        m_dir.setAutoRemove(true);
        if (!m_runAs.isEmpty())
            QProcess::execute("chown", {m_runAs, m_dir.path()});
        m_port = 5432;
        if (!pg("initdb", {"-D", data(), "-U", "vantrel_admin", "--auth=trust", "-N", "-E", "UTF8",
                           "--locale=C"})) {
            m_why = QStringLiteral("initdb failed: ") + m_lastOutput;
            return;
        }
        QFile conf(data() + "/postgresql.conf");
        (void)conf.open(QIODevice::Append);
        conf.write(QStringLiteral("listen_addresses = ''\nunix_socket_directories = '%1'\n"
                                  "port = %2\nfsync = off\nmax_connections = 60\n")
                       .arg(m_dir.path())
                       .arg(m_port)
                       .toUtf8());
        conf.close();
        QFile hba(data() + "/pg_hba.conf");
        (void)hba.open(QIODevice::WriteOnly | QIODevice::Truncate);
        hba.write("local all vantrel_admin trust\nlocal all all scram-sha-256\n");
        hba.close();
        if (!start())
            m_why = QStringLiteral("the server did not start: ") + m_lastOutput;
    }
    ~PgServer()
    {
        if (m_why.isEmpty())
            (void)stop(false);
    }

    // Empty when the server runs; else why, for QSKIP.
    [[nodiscard]] QString why() const { return m_why; }
    [[nodiscard]] QString socketFolder() const { return m_dir.path(); }

    [[nodiscard]] bool start()
    {
        return pg("pg_ctl", {"-D", data(), "-l", data() + "/../log", "-w", "start"});
    }
    [[nodiscard]] bool stop(bool immediate)
    {
        return pg("pg_ctl", {"-D", data(), "-m", immediate ? "immediate" : "fast", "-w", "stop"});
    }

    [[nodiscard]] QString conninfo(const QString &database, const QString &user) const
    {
        return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4")
            .arg(m_dir.path())
            .arg(m_port)
            .arg(database, user);
    }

    // A fixed statement as the superuser; its first row's first value.
    QString admin(const QString &sql, const QString &database = QStringLiteral("postgres"))
    {
        PgConnection db;
        if (!db.open(conninfo(database, QStringLiteral("vantrel_admin"))).ok())
            return QStringLiteral("(no connection)");
        QList<PgConnection::Row> rows;
        const PgConnection::Outcome outcome = db.execParams(sql.toUtf8(), {}, &rows);
        return outcome.ok() ? rows.value(0).value(0)
                            : QStringLiteral("(failed) ") + outcome.message;
    }

    // A login role with a password in the rig's PGPASSFILE (wrongPassword:
    // the file has another).
    void addRole(const QString &role, bool wrongPassword = false)
    {
        (void)admin(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD 'pw-%1'").arg(role));
        QFile file(passFile());
        (void)file.open(QIODevice::Append);
        file.write(QStringLiteral("*:*:*:%1:%2\n")
                       .arg(role, wrongPassword ? QStringLiteral("wrong") : "pw-" + role)
                       .toUtf8());
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    [[nodiscard]] QString passFile() const { return m_home.filePath(QStringLiteral("pgpass")); }

    // An environment whose libpq finds the rig's passwords.
    [[nodiscard]] QProcessEnvironment environment(QProcessEnvironment base) const
    {
        base.insert(QStringLiteral("PGPASSFILE"), passFile());
        return base;
    }

private:
    [[nodiscard]] QString data() const { return m_dir.path() + QStringLiteral("/data"); }

    bool pg(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        const QString path = m_bin + QLatin1Char('/') + program;
        if (m_runAs.isEmpty())
            process.start(path, arguments);
        else
            process.start(QStringLiteral("runuser"),
                          QStringList{"-u", m_runAs, "--", path} + arguments);
        process.waitForFinished(120000);
        m_lastOutput = QString::fromLocal8Bit(process.readAll());
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    QTemporaryDir m_dir;
    QTemporaryDir m_home; // the password file, readable by the test's user only
    QString m_bin;
    QString m_runAs;
    QString m_why;
    QString m_lastOutput;
    int m_port = 0;
};
