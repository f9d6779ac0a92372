// The record store: how fast a report is forwarded, how soon a record on
// the disk is in the store on a line of 100 units 50 ms apart, and how long
// --find lot= takes on a million records. Starts a PostgreSQL server of its
// own (as tests/support/StoreRig.h does); prints figures and targets.
//   store_bench [--records N] [--million N]

#include "station/DurableAppend.h"
#include "store/RecordStore.h"
#include "store/ReportFormat.h"
#include "store/ReportForwarder.h"
#include "store/StoreSchema.h"
#include "support/StoreRig.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMap>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <cstdio>

namespace {

ReportFormat::Record unitRecord(const QString &run, int seq, const char *kind)
{
    ReportFormat::Record r;
    r[ReportFormat::Kind] = QString::fromLatin1(kind);
    r[ReportFormat::Time] =
        QDateTime::currentDateTime().toOffsetFromUtc(0).toString(Qt::ISODateWithMs);
    r[ReportFormat::Version] = QStringLiteral("1.3.2");
    r[ReportFormat::Station] = QStringLiteral("bench");
    r[ReportFormat::Lot] = QStringLiteral("WO-B");
    r[ReportFormat::RunId] = run;
    r[ReportFormat::Seq] = QString::number(seq);
    r[ReportFormat::Device] = QStringLiteral("/dev/ttyUSB0");
    r[ReportFormat::SerialNumber] = QStringLiteral("SN%1").arg(seq);
    r[ReportFormat::Sent] = QStringLiteral("98959308000a00031e0f003f");
    r[ReportFormat::Received] = QStringLiteral("55aa");
    r[ReportFormat::Result] = QStringLiteral("ok");
    r[ReportFormat::Ms] = QStringLiteral("3");
    return r;
}

// Runs the event loop until the forwarder has finished.
void waitFinished(ReportForwarder &forwarder, int graceMs)
{
    QEventLoop loop;
    QObject::connect(&forwarder, &ReportForwarder::finished, &loop, &QEventLoop::quit);
    forwarder.finish(graceMs);
    loop.exec();
}

void forwardRate(PgServer &server, int records)
{
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("big.csv"));
    QFile file(report);
    (void)file.open(QIODevice::WriteOnly);
    file.write(ReportFormat::csvHeader());
    const QString run = QUuid::createUuid().toString(QUuid::WithoutBraces);
    for (int seq = 1; seq <= records; ++seq)
        file.write(ReportFormat::csvLine(unitRecord(run, seq, "result")));
    file.close();
    (void)server.admin(QStringLiteral("CREATE DATABASE rate OWNER vantrel_admin"));
    ReportForwarder forwarder(report, server.conninfo(QStringLiteral("rate"), "vantrel_admin"));
    QElapsedTimer clock;
    clock.start();
    forwarder.start();
    waitFinished(forwarder, -1);
    const double seconds = clock.elapsed() / 1000.0;
    std::printf("forward: %d records in %.2f s: %.0f records/s (target: >= 2000/s, a line makes "
                "a few a second)\n",
                records, seconds, records / seconds);
}

// 100 units 50 ms apart, a started and a result record each, appended as
// the station does; lag from the append's return to the batch's commit.
void lineLag(PgServer &server)
{
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("line.csv"));
    (void)server.admin(QStringLiteral("CREATE DATABASE lag OWNER vantrel_admin"));
    ReportForwarder forwarder(report, server.conninfo(QStringLiteral("lag"), "vantrel_admin"));
    QMap<qint64, qint64> appendedAt; // report offset after the record -> ms
    QList<qint64> lags;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&forwarder, &ReportForwarder::forwarded, &forwarder, [&](qint64 offset, int) {
        const qint64 now = clock.elapsed();
        while (!appendedAt.isEmpty() && appendedAt.firstKey() <= offset)
            lags << now - appendedAt.take(appendedAt.firstKey());
    });
    forwarder.start();
    const QString run = QUuid::createUuid().toString(QUuid::WithoutBraces);
    int seq = 0;
    DurableAppend file(report, ReportFormat::csvHeader());
    QTimer unit;
    QEventLoop loop;
    QObject::connect(&unit, &QTimer::timeout, &loop, [&] {
        if (++seq > 100) {
            unit.stop();
            loop.quit();
            return;
        }
        for (const char *kind : {"started", "result"}) {
            const DurableAppend::Result appended = file.append(
                [&](bool) { return ReportFormat::csvLine(unitRecord(run, seq, kind)); });
            if (!appended.ok())
                std::printf("append failed: %s\n", qPrintable(appended.error));
            appendedAt.insert(QFileInfo(report).size(), clock.elapsed());
            forwarder.poke();
        }
    });
    unit.start(50);
    loop.exec();
    waitFinished(forwarder, 10000);
    std::sort(lags.begin(), lags.end());
    if (lags.isEmpty())
        return;
    std::printf("lag, disk to store, 200 records of 100 units 50 ms apart: median %lld ms, 95%% "
                "%lld ms, most %lld ms, %lld records (target: 95%% under 1000 ms)\n",
                lags.at(lags.size() / 2), lags.at(lags.size() * 95 / 100), lags.last(),
                qint64(lags.size()));
}

void findOnAMillion(PgServer &server, int records)
{
    (void)server.admin(QStringLiteral("CREATE DATABASE million OWNER vantrel_admin"));
    PgConnection db;
    if (!StoreSchema::open(db, server.conninfo("million", "vantrel_admin"),
                           StoreSchema::Use::Forward)
             .ok())
        return;
    QElapsedTimer clock;
    clock.start();
    // 1000 lots; units of one lot spread over the whole table, as lots of
    // many stations over months would be.
    (void)db.exec(
        QStringLiteral("INSERT INTO vantrel_records SELECT gen_random_uuid(), g, 'result', "
                       "now() - (g || ' s')::interval, 0, '1.3.2', 'st-' || g % 4, 'kim', "
                       "'WO-' || g % 1000, '/dev/ttyUSB0', '', '', '0403:6001', 'FT232R', "
                       "'SN' || g, '', '', '98959308000a00031e0f003f', '55aa', 'ok', '', 3, 1 "
                       "FROM generate_series(1, %1) g; ANALYZE vantrel_records")
            .arg(records)
            .toUtf8()
            .constData());
    std::printf("find: %d records put in the store in %.1f s\n", records, clock.elapsed() / 1000.0);
    clock.restart();
    QProcess find;
    find.setStandardOutputFile(QProcess::nullDevice());
    find.start(QStringLiteral(VANTREL_SET_PROGRAM),
               {"--store", server.conninfo("million", "vantrel_admin"), "--find", "lot=WO-17"});
    find.waitForFinished(600000);
    std::printf("find: vantrel-set --find lot=WO-17 on %d records (%d match): %lld ms, the whole "
                "process (target: under 1000 ms)\n",
                records, records / 1000, clock.elapsed());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const auto option = [&args](const char *name, int fallback) {
        const qsizetype i = args.indexOf(QLatin1String(name));
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1).toInt() : fallback;
    };
    PgServer server;
    if (!server.why().isEmpty()) {
        std::printf("no server: %s\n", qPrintable(server.why()));
        return 1;
    }
    forwardRate(server, option("--records", 100000));
    lineLag(server);
    findOnAMillion(server, option("--million", 1000000));
    return 0;
}
