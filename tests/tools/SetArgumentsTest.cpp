#include "tools/SetArguments.h"
#include "station/DeviceMatch.h"
#include "station/SettingProfile.h"

#include "support/TestBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace SetArguments;
using Action = Plan::Action;

namespace {

const SettingCodec::ListTable *tableOf(const QString &option)
{
    for (const ListOption &o : listOptions()) {
        if (QLatin1String(o.name) == option)
            return o.table;
    }
    return nullptr;
}

Parsed parseArgs(const QStringList &arguments)
{
    return parse(QStringList{QStringLiteral("vantrel-set")} + arguments);
}

QByteArray bytesOf(const SettingCodec::ConfigFrame &frame)
{
    return {reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size())};
}

} // namespace

// The command line without the serial line: how values are read, which
// command lines are refused and why, and which frames a call sends.
class SetArgumentsTest : public QObject
{
    Q_OBJECT

private slots:
    void matchItem_data();
    void matchItem();
    void everyListHasOneOption();
    void helpListsEveryValue();
    void refusals_data();
    void refusals();
    void plans_data();
    void plans();
    void idsFollowTheWindowsRule_data();
    void idsFollowTheWindowsRule();
    void profileRoundTrip_data();
    void profileRoundTrip();
    void profileRefusals_data();
    void profileRefusals();
    void stationMatch_data();
    void stationMatch();
};

void SetArgumentsTest::matchItem_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("item"); // -1: refused

    struct Row
    {
        const char *name, *option, *value;
        int item;
    };
    const Row rows[] = {
        {"as shown", "baud", "115200", 7},
        {"padded", "baud", " 115200 ", 7},
        {"close but not listed", "baud", "115201", -1},
        {"leading zero", "baud", "09600", -1},
        {"prefix of an item", "baud", "1152", -1},
        {"empty", "baud", "", -1},
        {"lower case", "parity", "even", 2},
        {"mixed case", "parity", "oDd", 1},
        {"initial only", "parity", "e", -1},
        {"blanks as dashes", "pair", "1-to-multi", 1},
        {"blanks", "pair", "1 To Multi", 1},
        {"runs of blanks and tabs", "pair", "  1   to\tmulti ", 1},
        {"words are no unit", "pair", "1", -1},
        {"cut short", "pair", "1-to", -1},
        {"glued words", "pair", "1tomulti", -1},
        {"double dash", "pair", "1--to-multi", -1},
        {"number without its unit", "timeout", "300", 3},
        {"unit glued on", "timeout", "300ms", 3},
        {"unit after a dash", "timeout", "300-ms", 3},
        {"unit after a blank, upper case", "timeout", "300 MS", 3},
        {"wrong unit", "timeout", "300s", -1},
        {"unit alone", "timeout", "ms", -1},
        {"receive timeout is its own list", "receive-timeout", "30", 1},
        {"value of the other time-out list", "receive-timeout", "2", -1},
        {"negative", "power", "-8", 3},
        {"negative, unit glued on", "power", "-8dbm", 3},
        {"negative, unit after a dash", "power", "-8-dBm", 3},
        {"the sign matters", "power", "8", -1},
        {"zero", "power", "0", 2},
        {"k belongs to the number", "data-rate", "250K", 0},
        {"k cannot be left out", "data-rate", "250", -1},
        {"top channel", "channel", "15", 15},
        {"beyond the channels", "channel", "16", -1},
    };
    for (const Row &row : rows) {
        QTest::newRow(row.name) << QString::fromLatin1(row.option) << QString::fromLatin1(row.value)
                                << row.item;
    }
}

void SetArgumentsTest::matchItem()
{
    QFETCH(QString, option);
    QFETCH(QString, value);
    QFETCH(int, item);
    const SettingCodec::ListTable *table = tableOf(option);
    QVERIFY(table);
    QCOMPARE(SetArguments::matchItem(*table, value).value_or(-1), item);
}

void SetArgumentsTest::everyListHasOneOption()
{
    for (const SettingCodec::ListTable *table : SettingCodec::allLists()) {
        int options = 0;
        for (const ListOption &option : listOptions())
            options += option.table == table;
        QVERIFY2(options == 1, table->name.data());
        // Every item can be named by its own text.
        for (std::size_t i = 0; i < table->items.size(); ++i) {
            const QString text = QString::fromLatin1(table->items[i].text.data(),
                                                     qsizetype(table->items[i].text.size()));
            QCOMPARE(SetArguments::matchItem(*table, text).value_or(-1), int(i));
        }
    }
    QCOMPARE(listOptions().size(), SettingCodec::allLists().size());
}

void SetArgumentsTest::helpListsEveryValue()
{
    const QString help = helpText();
    for (const ListOption &option : listOptions()) {
        QVERIFY2(help.contains(QStringLiteral("--%1 VALUE").arg(QLatin1String(option.name))),
                 option.name);
        // Wrapping never splits a value such as "17 dBm".
        const QString flat = help.simplified();
        for (const QString &item : itemTexts(*option.table))
            QVERIFY2(help.contains(item), qPrintable(item));
        QVERIFY(flat.contains(itemTexts(*option.table).join(QStringLiteral(", "))));
    }
    for (const char *other : {"--master", "--slave", "--dry-run", "--wait-ms", "--verbose"})
        QVERIFY2(help.contains(QLatin1String(other)), other);
    for (const char *status : {"\n  0 ", "\n  1 ", "\n  2 ", "\n  3 ", "\n  4 "})
        QVERIFY2(help.contains(QLatin1String(status)), status);
    // The values sent for lists not given are the unpicked values.
    QVERIFY(help.contains(QStringLiteral("[9600]")));
    QVERIFY(help.contains(QStringLiteral("[300 ms]")));
    for (const QString &line : help.split(QLatin1Char('\n')))
        QVERIFY2(line.size() <= 79, qPrintable(line));
}

void SetArgumentsTest::refusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("said");

    const QString overRange = QString::fromLatin1(SettingCodec::kOverRangeText.data(),
                                                  qsizetype(SettingCodec::kOverRangeText.size()));
    QTest::newRow("no setting") << QStringList{"/dev/ttyUSB0"} << QStringList{"No setting"};
    QTest::newRow("dry run, no setting") << QStringList{"--dry-run"} << QStringList{"No setting"};
    QTest::newRow("no device") << QStringList{"--baud", "9600"} << QStringList{"No device"};
    QTest::newRow("one device twice") << QStringList{"/dev/ttyS0", "ttyS0", "--baud", "9600"}
                                      << QStringList{"\"/dev/ttyS0\"", "same device"};
    QTest::newRow("unknown option")
        << QStringList{"/dev/ttyS0", "--speed", "9600"} << QStringList{"speed"};
    QTest::newRow("missing value") << QStringList{"/dev/ttyS0", "--baud"} << QStringList{"--baud"};
    QTest::newRow("value not listed")
        << QStringList{"/dev/ttyS0", "--baud", "115201"}
        << QStringList{"\"115201\"", "1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, "
                                     "250000, 256000"};
    QTest::newRow("value of another list") << QStringList{"/dev/ttyS0", "--receive-timeout", "2ms"}
                                           << QStringList{"--receive-timeout", "10 ms, 30 ms"};
    QTest::newRow("pair not written out")
        << QStringList{"/dev/ttyS0", "--pair", "multi"} << QStringList{"1 To 1, 1 To Multi"};
    QTest::newRow("given twice") << QStringList{"/dev/ttyS0", "--channel", "1", "--channel", "2"}
                                 << QStringList{"--channel", "more than once"};
    QTest::newRow("ID over") << QStringList{"/dev/ttyS0", "--master", "1,256,3"}
                             << QStringList{"\"256\"", overRange};
    QTest::newRow("ID rounds over") << QStringList{"/dev/ttyS0", "--slave", "1,2,255.5"}
                                    << QStringList{"--slave", "\"255.5\"", overRange};
    QTest::newRow("ID negative that rounds to 0")
        << QStringList{"/dev/ttyS0", "--slave", "-0.4,2,3"} << QStringList{"\"-0.4\"", overRange};
    QTest::newRow("ID no number") << QStringList{"/dev/ttyS0", "--master", "1,two,3"}
                                  << QStringList{"\"two\"", overRange};
    QTest::newRow("ID empty") << QStringList{"/dev/ttyS0", "--master", "1,,3"}
                              << QStringList{"\"\"", overRange};
    QTest::newRow("ID in hex") << QStringList{"/dev/ttyS0", "--master", "0x10,2,3"}
                               << QStringList{"\"0x10\"", overRange};
    QTest::newRow("two IDs") << QStringList{"/dev/ttyS0", "--master", "1,2"}
                             << QStringList{"three IDs", "\"1,2\""};
    QTest::newRow("four IDs") << QStringList{"/dev/ttyS0", "--slave", "1,2,3,4"}
                              << QStringList{"three IDs"};
    QTest::newRow("bad ID behind good settings")
        << QStringList{"/dev/ttyS0", "--baud",   "9600",  "--receive-timeout",
                       "300",        "--master", "1,2,-1"}
        << QStringList{"\"-1\""};
    QTest::newRow("wait of zero") << QStringList{"/dev/ttyS0", "--baud", "9600", "--wait-ms", "0"}
                                  << QStringList{"--wait-ms"};
    QTest::newRow("quiet window as long as its limit")
        << QStringList{"/dev/ttyS0", "--baud",           "9600", "--quiet-ms",
                       "500",        "--quiet-limit-ms", "500"}
        << QStringList{"--quiet-limit-ms (500)", "--quiet-ms (500)"};
    QTest::newRow("wait no number")
        << QStringList{"/dev/ttyS0", "--baud", "9600", "--wait-ms", "2.5s"}
        << QStringList{"\"2.5s\""};
    // A command that would read as done when nothing was sent, a station
    // that would take any device, a report that would not be what it seems.
    QTest::newRow("save a profile, and a device")
        << QStringList{"--save-profile", "p", "/dev/ttyS0", "--channel", "1"}
        << QStringList{"--save-profile", "sends nothing"};
    QTest::newRow("save a profile, and watch")
        << QStringList{"--save-profile", "p", "--watch", "--match-any", "--channel", "1"}
        << QStringList{"--save-profile"};
    QTest::newRow("watch, no --match")
        << QStringList{"--watch", "--channel", "1"} << QStringList{"--match", "--match-any"};
    QTest::newRow("watch, --match and --match-any")
        << QStringList{"--watch", "--match", "FTDI", "--match-any", "--channel", "1"}
        << QStringList{"not both"};
    QTest::newRow("an empty pattern")
        << QStringList{"--watch", "--match", "", "--channel", "1"} << QStringList{"--match \"\""};
    QTest::newRow("--match-any without --watch")
        << QStringList{"/dev/ttyS0", "--match-any", "--channel", "1"}
        << QStringList{"--match-any belongs to --watch"};
    QTest::newRow("report named .json")
        << QStringList{"/dev/ttyS0", "--channel", "1", "--report", "units.JSON"}
        << QStringList{"units.JSON", ".jsonl"};
    // The process list shows the command line to every user.
    QTest::newRow("store with a password")
        << QStringList{"/dev/ttyS0", "--channel", "1", "--store", "host=db password=secret"}
        << QStringList{"carries a password", "~/.pgpass"};
    QTest::newRow("store URI with a password")
        << QStringList{"--store", "postgresql://station:secret@db/line", "--lot-summary", "WO-1"}
        << QStringList{"carries a password"};
    QTest::newRow("find without a store")
        << QStringList{"--find", "lot=WO-1"} << QStringList{"--store"};
    QTest::newRow("find by an unknown key")
        << QStringList{"--store", "dbname=line", "--find", "lot=WO-1", "colour=red"}
        << QStringList{"\"colour\""};
    QTest::newRow("find by a run that is no UUID")
        << QStringList{"--store", "dbname=line", "--find", "run=42"} << QStringList{"run=42"};
}

void SetArgumentsTest::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, said);
    const Parsed parsed = parseArgs(arguments);
    QVERIFY(!parsed.plan);
    for (const QString &part : said)
        QVERIFY2(parsed.error.contains(part), qPrintable(parsed.error));
}

void SetArgumentsTest::plans_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<int>("waitMs");
    QTest::addColumn<bool>("verbose");

    QTest::newRow("device path") << QStringList{"/dev/ttyUSB0", "--channel", "3"} << Action::Send
                                 << "/dev/ttyUSB0" << QStringList{"General"} << 2500 << false;
    QTest::newRow("bare device name") << QStringList{"ttyUSB1", "--channel", "3"} << Action::Send
                                      << "/dev/ttyUSB1" << QStringList{"General"} << 2500 << false;
    QTest::newRow("relative path, from where the program runs")
        << QStringList{"run/x/dongle", "--channel", "3"} << Action::Send
        << QDir::current().absoluteFilePath(QStringLiteral("run/x/dongle"))
        << QStringList{"General"} << 2500 << false;
    QTest::newRow("page order, not argument order")
        << QStringList{"--receive-timeout", "50", "--slave", "1,2,3", "--power", "0", "/dev/x"}
        << Action::Send << "/dev/x" << QStringList{"General", "Advanced", "Advanced 2"} << 2500
        << false;
    QTest::newRow("IDs alone make the Advanced frame")
        << QStringList{"--dry-run", "--master", "1,2,3"} << Action::DryRun << QString()
        << QStringList{"Advanced"} << 2500 << false;
    QTest::newRow("dry run may name a device")
        << QStringList{"--dry-run", "/dev/ttyS0", "--receive-timeout", "50ms"} << Action::DryRun
        << "/dev/ttyS0" << QStringList{"Advanced 2"} << 2500 << false;
    QTest::newRow("option with equals sign")
        << QStringList{"/dev/x", "--power=-8", "--wait-ms=300", "--verbose"} << Action::Send
        << "/dev/x" << QStringList{"General"} << 300 << true;
    QTest::newRow("help wins") << QStringList{"--baud", "nonsense", "--help"} << Action::Help
                               << QString() << QStringList() << 2500 << false;
}

void SetArgumentsTest::plans()
{
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(QString, device);
    QFETCH(QStringList, pages);
    QFETCH(int, waitMs);
    QFETCH(bool, verbose);

    const Parsed parsed = parseArgs(arguments);
    QVERIFY2(parsed.plan, qPrintable(parsed.error));
    QCOMPARE(parsed.plan->action, action);
    QCOMPARE(parsed.plan->devices.value(0), device);
    QStringList named;
    for (const PageFrame &frame : parsed.plan->frames)
        named << pageName(frame.page);
    QCOMPARE(named, pages);
    QCOMPARE(parsed.plan->waitMs, waitMs);
    QCOMPARE(parsed.plan->verbose, verbose);
}

void SetArgumentsTest::idsFollowTheWindowsRule_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("byte"); // -1: refused

    QTest::newRow("initial text") << "000" << 0;
    QTest::newRow("top") << "255" << 255;
    QTest::newRow("fraction above the top") << "255.4" << -1;
    QTest::newRow("half below the top") << "254.5" << 254;
    QTest::newRow("half at the top") << "255.5" << -1;
    QTest::newRow("half to even, down") << "0.5" << 0;
    QTest::newRow("half to even, up") << "1.5" << 2;
    QTest::newRow("blanks around") << " 7 " << 7;
    QTest::newRow("plus sign") << "+3" << 3;
    QTest::newRow("small negative") << "-0.4" << -1;
    QTest::newRow("exponent") << "1e2" << -1;
}

void SetArgumentsTest::idsFollowTheWindowsRule()
{
    QFETCH(QString, id);
    QFETCH(int, byte);
    const QByteArray text = id.toUtf8();
    const auto windowByte =
        SettingCodec::idByte(std::string_view(text.constData(), std::size_t(text.size())));
    QCOMPARE(windowByte ? int(*windowByte) : -1, byte);

    const Parsed parsed = parseArgs({"--dry-run", "--slave", "9,9," + id});
    if (byte < 0) {
        QVERIFY(!parsed.plan);
        return;
    }
    QVERIFY2(parsed.plan, qPrintable(parsed.error));
    QCOMPARE(parsed.plan->frames.size(), 1);
    QCOMPARE(bytesOf(parsed.plan->frames.first().frame).toHex(' '),
             TestBytes::hex("98 95 94 00 54 00 00 00 54 09 09").append(char(byte)).toHex(' '));
}

void SetArgumentsTest::profileRoundTrip_data()
{
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QStringList>("overrides"); // given with --profile

    QTest::newRow("every page") << QStringList{"--baud",
                                               "115200",
                                               "--pair",
                                               "1-to-multi",
                                               "--master",
                                               "1,2,3",
                                               "--receive-timeout",
                                               "300"}
                                << QStringList();
    QTest::newRow("values as typed loosely")
        << QStringList{"--power", "-8", "--parity", "even", "--slave", "254.5,0.5,7"}
        << QStringList();
    QTest::newRow("the command line wins") << QStringList{"--channel", "15", "--master", "1,2,3"}
                                           << QStringList{"--channel", "3", "--slave", "4,5,6"};
}

// A profile saved from a command line gives the frames of that command line,
// and options given with it override its lines.
void SetArgumentsTest::profileRoundTrip()
{
    QFETCH(QStringList, settings);
    QFETCH(QStringList, overrides);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("line.profile"));
    const Parsed saving = parseArgs(QStringList{"--save-profile", file} + settings);
    QVERIFY2(saving.plan, qPrintable(saving.error));
    QCOMPARE(saving.plan->action, Action::SaveProfile);
    QString error;
    QVERIFY2(SettingProfile::write(file, saving.plan->settingsText, &error), qPrintable(error));

    const Parsed loaded = parseArgs(QStringList{"--dry-run", "--profile", file} + overrides);
    // The report would be written into the profile.
    QVERIFY(!parseArgs({"/dev/ttyS0", "--profile", file, "--report", dir.filePath("line.profile")})
                 .plan);
    // The same settings on the command line alone: the overridden ones left out.
    QStringList effective = overrides;
    for (qsizetype i = 0; i + 1 < settings.size(); i += 2) {
        if (!overrides.contains(settings[i]))
            effective << settings[i] << settings[i + 1];
    }
    const Parsed direct = parseArgs(QStringList{"--dry-run"} + effective);
    QVERIFY2(loaded.plan, qPrintable(loaded.error));
    QVERIFY2(direct.plan, qPrintable(direct.error));
    QCOMPARE(loaded.plan->frames.size(), direct.plan->frames.size());
    for (qsizetype i = 0; i < direct.plan->frames.size(); ++i)
        QCOMPARE(bytesOf(loaded.plan->frames[i].frame), bytesOf(direct.plan->frames[i].frame));
    // The report's digest is of the settings, however they were spelled.
    if (overrides.isEmpty())
        QCOMPARE(loaded.plan->settingsText, saving.plan->settingsText);
}

void SetArgumentsTest::profileRefusals_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("said");

    const QByteArray head = "vantrel-set profile 1\n";
    QTest::newRow("unknown key") << head + "# comment\nspeed = 9600\n" << 3 << "\"speed\"";
    QTest::newRow("bad value") << head + "channel = 15\n\nbaud = 115201\n" << 4 << "\"115201\"";
    QTest::newRow("key twice") << head + "power = 0\npower = -8\n" << 3 << "twice";
    QTest::newRow("newer version")
        << QByteArray("vantrel-set profile 2\nchannel = 1\n") << 1 << "unsupported version \"2\"";
    QTest::newRow("version 1, spelled otherwise")
        << QByteArray("vantrel-set profile 01\nchannel = 1\n") << 1 << "unsupported version";
    QTest::newRow("a long line with control bytes, quoted short")
        << head + "channel " + QByteArray(200, 'x') + "\x1b[2J\n"
        << 2 << "\"channel " + QString(72, QLatin1Char('x')) + "...\" is not";
    QTest::newRow("control bytes escaped") << head + "channel = 1\x1b[2J\n" << 2 << "\"1\\x1b[2J\"";
    QTest::newRow("bad line that an option overrides") << head + "power = 99\n" << 2 << "\"99\"";
    QTest::newRow("no version line") << QByteArray("channel = 1\n") << 1 << "first line";
    QTest::newRow("not name = value") << head + "channel 15\n" << 2 << "name = value";
    QTest::newRow("ID the window refuses") << head + "slave = 1,2,3\nmaster = 1,255.5,3\n"
                                           << 3 << "\"255.5\"";
    QTest::newRow("empty value") << head + "channel =\n" << 2 << "channel";
}

void SetArgumentsTest::profileRefusals()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, said);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("line.profile"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(text) == text.size());
    out.close();
    // --power given too: a bad line is refused all the same.
    const Parsed parsed = parseArgs({"/dev/ttyS0", "--profile", file, "--power", "0"});
    QVERIFY(!parsed.plan);
    QVERIFY2(parsed.error.startsWith(QStringLiteral("%1:%2: ").arg(file).arg(line)),
             qPrintable(parsed.error));
    QVERIFY2(parsed.error.contains(said), qPrintable(parsed.error));
}

void SetArgumentsTest::stationMatch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("picked");

    const QString socket1 = QStringLiteral("pci-0000:00:14.0-usb-0:1");
    QTest::newRow("by-id name") << "usb-Silicon_Labs_CP2102_0001-if00-port0" << true;
    QTest::newRow("by-id, full path")
        << "/dev/serial/by-id/usb-Silicon_Labs_CP2102_0001-if00-port0" << true;
    QTest::newRow("part of the by-id name") << "Silicon_Labs_CP2102_0001" << false;
    QTest::newRow("'?' for one character") << "usb-Silicon_Labs_CP2102_000?-if00-port0" << true;
    QTest::newRow("serial number") << "0001" << true;
    QTest::newRow("part of the serial number") << "000" << false;
    QTest::newRow("USB product, other case") << "cp2102 usb to uart bridge controller" << true;
    QTest::newRow("part of the product") << "cp2102 usb to uart" << false;
    QTest::newRow("VID:PID") << "10c4:ea60" << true;
    QTest::newRow("VID:PID in capitals") << "10C4:EA60" << true;
    QTest::newRow("vendor alone") << "10c4:" << false;
    QTest::newRow("vendor, any product") << "10c4:*" << true;
    QTest::newRow("its socket, by-path") << "pci-0000:00:14.0-usb-0:10:1.0-port0" << true;
    QTest::newRow("its socket, any interface") << "pci-0000:00:14.0-usb-0:10:*" << true;
    QTest::newRow("socket 1 is not socket 10") << socket1 + ":1.0-port0" << false;
    QTest::newRow("socket 1, as once written") << socket1 << false;
    QTest::newRow("socket 1, any interface") << socket1 + ":*" << false;
    QTest::newRow("'.' is no wildcard") << "pci-0000:00:14.0-usb-0:10:1.0-port." << false;
    QTest::newRow("brackets are no class") << socket1 + "[0]:1.0-port0" << false;
    QTest::newRow("another adapter") << "0403:6001" << false;
    QTest::newRow("the device path is no name") << "/dev/ttyUSB3" << false;
    QTest::newRow("nothing asked") << "" << false;
}

// --match keeps the station off its own ports and off another fixture's:
// only a whole name the operator gave picks a device.
void SetArgumentsTest::stationMatch()
{
    QFETCH(QString, text);
    QFETCH(bool, picked);
    PortEntry dongle{QStringLiteral("/dev/ttyUSB3"),
                     QStringLiteral("CP2102 USB to UART Bridge Controller")};
    dongle.byId = QStringLiteral("/dev/serial/by-id/"
                                 "usb-Silicon_Labs_CP2102_0001-if00-port0");
    dongle.byPath = QStringLiteral("/dev/serial/by-path/pci-0000:00:14.0-usb-0:10:1.0-port0");
    dongle.serialNumber = QStringLiteral("0001");
    dongle.vendorId = 0x10c4;
    dongle.productId = 0xea60;
    QCOMPARE(matchesDevice(dongle, text), picked);
    // A device that tells nothing about itself is picked by no name.
    QVERIFY(!matchesDevice(PortEntry{QStringLiteral("/dev/ttyS0"), QString()}, text));
}

QTEST_APPLESS_MAIN(SetArgumentsTest)
#include "SetArgumentsTest.moc"
