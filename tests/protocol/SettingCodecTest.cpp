#include "protocol/SettingCodec.h"
#include "protocol/ByteText.h"
#include "support/TestBytes.h"

#include <QHash>
#include <QTest>

#include <functional>

using namespace SettingCodec;
using TestBytes::hex;

Q_DECLARE_METATYPE(GeneralChoices)
Q_DECLARE_METATYPE(DecodedFrame)

namespace {

// One list's place in its frame: how a choice is built into it, and how its
// code is read back and replaced in the decoded frame.
struct ListInFrame
{
    const ListTable *table;
    std::function<ConfigFrame(int choice)> build;
    std::function<unsigned(const DecodedFrame &)> read;
    std::function<DecodedFrame(DecodedFrame, unsigned code)> withCode;
};

template <typename Fields, typename Code>
ListInFrame listIn(const ListTable &table, std::function<ConfigFrame(int)> build,
                   Code Fields::*code)
{
    return {&table, std::move(build),
            [code](const DecodedFrame &frame) {
                const Fields *fields = std::get_if<Fields>(&frame);
                return fields ? unsigned(fields->*code) : ~0u;
            },
            [code](DecodedFrame frame, unsigned value) {
                if (Fields *fields = std::get_if<Fields>(&frame))
                    fields->*code = Code(value);
                return frame;
            }};
}

template <typename Code>
ListInFrame generalList(const ListTable &table, int GeneralChoices::*choice,
                        Code GeneralFields::*code)
{
    return listIn(
        table,
        [choice](int index) {
            GeneralChoices g;
            g.*choice = index;
            return BuildGeneralFrame(g);
        },
        code);
}

ListInFrame listInFrame(const QString &name)
{
    using G = GeneralChoices;
    using F = GeneralFields;
    static const QHash<QString, ListInFrame> lists = {
        {"baudrate", generalList(baudrate, &G::baudrate, &F::baudrate)},
        {"ParityBit", generalList(ParityBit, &G::parityBit, &F::parityBit)},
        {"DataBit", generalList(DataBit, &G::dataBit, &F::dataBit)},
        {"StopBit", generalList(StopBit, &G::stopBit, &F::stopBit)},
        {"TimeOut", generalList(TimeOut, &G::timeOut, &F::timeOut)},
        {"DataRate", generalList(DataRate, &G::dataRate, &F::dataRate)},
        {"RF_Channel", generalList(RF_Channel, &G::rfChannel, &F::rfChannel)},
        {"RF_Power", generalList(RF_Power, &G::rfPower, &F::rfPower)},
        {"DataLength", generalList(DataLength, &G::dataLength, &F::dataLength)},
        {"PairMode", listIn(
                         PairMode,
                         [](int index) {
                             return BuildPairFrame(index, {"0", "0", "0"}, {"0", "0", "0"}).value();
                         },
                         &PairFields::pairMode)},
        {"ReceiveTimeout",
         listIn(ReceiveTimeout, BuildReceiveTimeoutFrame, &ReceiveTimeoutFields::receiveTimeout)},
    };
    return lists.value(name);
}

} // namespace

class SettingCodecTest : public QObject
{
    Q_OBJECT

private slots:
    void generalFrame_data();
    void generalFrame();
    void everyListValue_data();
    void everyListValue();
    void listItemsAreStable();
    void pairFrame_data();
    void pairFrame();
    void pairRefusalInAnyBox();
    void receiveTimeoutFrame_data();
    void receiveTimeoutFrame();
    void decodeWhatDoesNotFit_data();
    void decodeWhatDoesNotFit();
};

void SettingCodecTest::generalFrame_data()
{
    QTest::addColumn<GeneralChoices>("choices");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("all unpicked") << GeneralChoices{} << hex("98 95 93 04 00 0A 00 03 1E 0A 00 3F");
    QTest::newRow("115200 7 EVEN 2 1000ms 2k ch15 -8dBm 13")
        << GeneralChoices{7, 1, 2, 1, 5, 4, 15, 3, 0} << hex("98 95 93 08 19 E8 03 04 1E 0F 03 0D");
    QTest::newRow("first items") << GeneralChoices{0, 0, 0, 0, 0, 0, 0, 0, 0}
                                 << hex("98 95 93 01 00 02 00 00 1E 00 00 0D");
    QTest::newRow("6 bits ODD 1 stop 300ms")
        << GeneralChoices{9, 2, 1, 0, 3, 1, 5, 2, 10} << hex("98 95 93 0A 06 2C 01 01 1E 05 02 3F");
    QTest::newRow("600 ms") << GeneralChoices{-1, -1, -1, -1, 4, -1, -1, -1, -1}
                            << hex("98 95 93 04 00 58 02 03 1E 0A 00 3F");
    // An index the lists cannot hold must not reach the frame as garbage.
    QTest::newRow("out of range counts as unpicked") << GeneralChoices{10, 3, 3, 2, 6, 5, 16, 4, 11}
                                                     << hex("98 95 93 04 00 0A 00 03 1E 0A 00 3F");
}

void SettingCodecTest::generalFrame()
{
    QFETCH(GeneralChoices, choices);
    QFETCH(QByteArray, frame);
    QCOMPARE(frameBytes(BuildGeneralFrame(choices)).toHex(' '), frame.toHex(' '));
}

void SettingCodecTest::everyListValue_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QList<int>>("values"); // value per index, then the unpicked value

    QTest::newRow("baudrate") << "baudrate" << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 4};
    QTest::newRow("ParityBit") << "ParityBit" << QList<int>{0, 4, 8, 0};
    QTest::newRow("DataBit") << "DataBit" << QList<int>{0, 1, 2, 0};
    QTest::newRow("StopBit") << "StopBit" << QList<int>{0, 16, 0};
    QTest::newRow("TimeOut") << "TimeOut" << QList<int>{2, 10, 100, 300, 600, 1000, 10};
    QTest::newRow("DataRate") << "DataRate" << QList<int>{0, 1, 2, 3, 4, 3};
    QTest::newRow("RF_Channel") << "RF_Channel" << QList<int>{0, 1,  2,  3,  4,  5,  6,  7, 8,
                                                              9, 10, 11, 12, 13, 14, 15, 10};
    QTest::newRow("RF_Power") << "RF_Power" << QList<int>{0, 1, 2, 3, 0};
    QTest::newRow("DataLength") << "DataLength"
                                << QList<int>{13, 18, 23, 28, 33, 38, 43, 48, 53, 58, 63, 63};
    QTest::newRow("PairMode") << "PairMode" << QList<int>{0, 1, 0};
    QTest::newRow("ReceiveTimeout")
        << "ReceiveTimeout" << QList<int>{10, 30, 50, 100, 150, 300, 600, 1000, 300};
}

// Each table row goes through the frame builder and back through the
// decoder, so a wrong code in any list, a field written over another or a
// code that names another item shows up here.
void SettingCodecTest::everyListValue()
{
    QFETCH(QString, list);
    QFETCH(QList<int>, values);

    const ListInFrame place = listInFrame(list);
    QVERIFY(place.table);
    const DecodedFrame unpicked = decodeFrame(place.build(-1));
    const int count = int(values.size()) - 1;
    for (int index = -1; index < count; ++index) {
        const int expected = index < 0 ? values.last() : values[index];
        const DecodedFrame decoded = decodeFrame(place.build(index));
        const int got = int(place.read(decoded));
        QVERIFY2(got == expected, qPrintable(QStringLiteral("%1 index %2: got %3, want %4")
                                                 .arg(list)
                                                 .arg(index)
                                                 .arg(got)
                                                 .arg(expected)));
        const ListItem *item = place.table->itemOf(unsigned(got));
        QVERIFY(item);
        if (index >= 0)
            QCOMPARE(item - place.table->items.data(), index);
        QVERIFY2(
            place.withCode(unpicked, unsigned(got)) == decoded,
            qPrintable(QStringLiteral("%1 index %2 changed another field").arg(list).arg(index)));
    }
}

// Item texts are what the operator reads; the window fills its lists from
// these tables, so a slip here is a slip on screen.
void SettingCodecTest::listItemsAreStable()
{
    QStringList seen;
    for (const ListTable *list : allLists()) {
        QStringList items;
        for (const ListItem &item : list->items)
            items << QString::fromUtf8(item.text.data(), qsizetype(item.text.size()));
        seen << QString::fromUtf8(list->name.data(), qsizetype(list->name.size())) + ":" +
                    items.join('|');
    }
    const QStringList expected = {
        "baudrate: 1200 | 2400 | 4800 | 9600 | 19200 | 38400 | 57600 | 115200 | 250000 | 256000 ",
        "ParityBit: NONE | ODD | EVEN ",
        "DataBit: 8 | 7 | 6 ",
        "StopBit: 1 | 2 ",
        "TimeOut: 2 ms | 10 ms | 100 ms | 300 ms | 600 ms | 1000 ms ",
        "DataRate: 250k | 100k | 50k | 10k | 2k ",
        "RF_Channel: 0 | 1 | 2 | 3 | 4 | 5 | 6 | 7 | 8 | 9 | 10 | 11 | 12 | 13 | 14 | 15 ",
        "RF_Power: 17 dBm | 10 dBm | 0 dBm | -8 dBm ",
        "DataLength: 13 | 18 | 23 | 28 | 33 | 38 | 43 | 48 | 53 | 58 | 63 ",
        "PairMode: 1 To 1 | 1 To Multi ",
        "ReceiveTimeout: 10 ms | 30 ms | 50 ms | 100 ms | 150 ms | 300 ms | 600 ms | 1000 ms ",
    };
    QCOMPARE(seen, expected);
}

void SettingCodecTest::pairFrame_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("ids");  // master 1-3, slave 1-3
    QTest::addColumn<QByteArray>("frame"); // empty: refused

    const QByteArray refused;
    QTest::newRow("1 To Multi 1..6") << 1 << QStringList{"1", "2", "3", "4", "5", "6"}
                                     << hex("98 95 94 01 54 01 02 03 54 04 05 06");
    QTest::newRow("initial texts, unpicked")
        << -1 << QStringList{"000", "000", "000", "000", "000", "000"}
        << hex("98 95 94 00 54 00 00 00 54 00 00 00");
    QTest::newRow("255 accepted") << 0 << QStringList{"255", "0", "0", "0", "0", "255"}
                                  << hex("98 95 94 00 54 FF 00 00 54 00 00 FF");
    QTest::newRow("256 refused") << 0 << QStringList{"0", "0", "0", "0", "256", "0"} << refused;
    QTest::newRow("-1 refused") << 0 << QStringList{"-1", "0", "0", "0", "0", "0"} << refused;
    QTest::newRow("255.4 refused") << 0 << QStringList{"255.4", "0", "0", "0", "0", "0"} << refused;
    QTest::newRow("255 and a tiny fraction refused")
        << 0 << QStringList{"0", "255.00000000000000000001", "0", "0", "0", "0"} << refused;
    QTest::newRow("just under 255, rounds up")
        << 0 << QStringList{"254.99999999999999999999", "0", "0", "0", "0", "0"}
        << hex("98 95 94 00 54 FF 00 00 54 00 00 00");
    QTest::newRow("255.000 accepted") << 0 << QStringList{"0", "0", "0", "0", "0", "255.000"}
                                      << hex("98 95 94 00 54 00 00 00 54 00 00 FF");
    QTest::newRow("255.5 refused") << 0 << QStringList{"255.5", "0", "0", "0", "0", "0"} << refused;
    QTest::newRow("halves to even") << 0 << QStringList{"0.5", "1.5", "2.5", ".5", "3.5", "254.5"}
                                    << hex("98 95 94 00 54 00 02 02 54 00 04 FE");
    QTest::newRow("blanks, sign, fraction")
        << 1 << QStringList{" 7", "+8 ", "\t9\t", "10.", "-0", "12.49"}
        << hex("98 95 94 01 54 07 08 09 54 0A 00 0C");
    QTest::newRow("-0.4 refused") << 0 << QStringList{"0", "0", "0", "-0.4", "0", "0"} << refused;
    QTest::newRow("empty refused") << 0 << QStringList{"0", "", "0", "0", "0", "0"} << refused;
    QTest::newRow("blank refused") << 0 << QStringList{"0", "0", "   ", "0", "0", "0"} << refused;
    QTest::newRow("letters refused") << 0 << QStringList{"abc", "0", "0", "0", "0", "0"} << refused;
    QTest::newRow("1a refused") << 0 << QStringList{"0", "0", "0", "0", "0", "1a"} << refused;
    QTest::newRow("exponent refused")
        << 0 << QStringList{"1e2", "0", "0", "0", "0", "0"} << refused;
    QTest::newRow("hex refused") << 0 << QStringList{"0x1", "0", "0", "0", "0", "0"} << refused;
    QTest::newRow("inf refused") << 0 << QStringList{"inf", "0", "0", "0", "0", "0"} << refused;
    QTest::newRow("nan refused") << 0 << QStringList{"nan", "0", "0", "0", "0", "0"} << refused;
    QTest::newRow("two points refused")
        << 0 << QStringList{"1.2.", "0", "0", "0", "0", "0"} << refused;
    QTest::newRow("lone sign refused") << 0 << QStringList{"0", "-", "0", "0", "0", "0"} << refused;
    QTest::newRow("lone point refused")
        << 0 << QStringList{"0", ".", "0", "0", "0", "0"} << refused;
    QTest::newRow("inner blank refused")
        << 0 << QStringList{"1 2", "0", "0", "0", "0", "0"} << refused;
    QTest::newRow("huge refused") << 0 << QStringList{QString(400, '9'), "0", "0", "0", "0", "0"}
                                  << refused;
    QTest::newRow("fraction beyond a double rounds to 0")
        << 0 << QStringList{"0." + QString(400, '0') + "1", "0", "0", "0", "0", "0"}
        << hex("98 95 94 00 54 00 00 00 54 00 00 00");
    QTest::newRow("negative tiny fraction refused")
        << 0 << QStringList{"-0." + QString(400, '0') + "1", "0", "0", "0", "0", "0"} << refused;
    QTest::newRow("long zeros ok") << 0 << QStringList{"0000000000042", "0", "0", "0", "0", "0"}
                                   << hex("98 95 94 00 54 2A 00 00 54 00 00 00");
}

void SettingCodecTest::pairFrame()
{
    QFETCH(int, mode);
    QFETCH(QStringList, ids);
    QFETCH(QByteArray, frame);

    std::array<QByteArray, 6> utf8;
    for (int i = 0; i < 6; ++i)
        utf8[i] = ids[i].toUtf8();
    auto view = [&](int i) {
        return std::string_view(utf8[i].constData(), size_t(utf8[i].size()));
    };
    const auto built =
        BuildPairFrame(mode, {view(0), view(1), view(2)}, {view(3), view(4), view(5)});
    if (frame.isEmpty()) {
        QVERIFY(!built.has_value());
    } else {
        QVERIFY(built.has_value());
        QCOMPARE(frameBytes(*built).toHex(' '), frame.toHex(' '));
    }
}

// A bad value in any of the six boxes refuses the whole frame.
void SettingCodecTest::pairRefusalInAnyBox()
{
    for (const char *bad : {"256", "-1", "x", ""}) {
        for (int box = 0; box < 6; ++box) {
            std::array<std::string_view, 6> ids{"1", "2", "3", "4", "5", "6"};
            ids[size_t(box)] = bad;
            const auto built =
                BuildPairFrame(0, {ids[0], ids[1], ids[2]}, {ids[3], ids[4], ids[5]});
            QVERIFY2(!built, qPrintable(QStringLiteral("'%1' in box %2").arg(bad).arg(box)));
        }
    }
}

void SettingCodecTest::receiveTimeoutFrame_data()
{
    QTest::addColumn<int>("choice");
    QTest::addColumn<QByteArray>("frame");
    // Unpicked, the list shows 300 ms, and that is what goes out.
    QTest::newRow("unpicked") << -1 << hex("98 95 95 2C 01 00 00 00 00 00 00 00");
    QTest::newRow("10 ms") << 0 << hex("98 95 95 0A 00 00 00 00 00 00 00 00");
    QTest::newRow("300 ms") << 5 << hex("98 95 95 2C 01 00 00 00 00 00 00 00");
    QTest::newRow("1000 ms") << 7 << hex("98 95 95 E8 03 00 00 00 00 00 00 00");
}

void SettingCodecTest::receiveTimeoutFrame()
{
    QFETCH(int, choice);
    QFETCH(QByteArray, frame);
    QCOMPARE(frameBytes(BuildReceiveTimeoutFrame(choice)).toHex(' '), frame.toHex(' '));
}

void SettingCodecTest::decodeWhatDoesNotFit_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<DecodedFrame>("decoded");

    const GeneralFields unpicked{
        .baudrate = 4, .timeOut = 10, .dataRate = 3, .rfChannel = 10, .dataLength = 63};
    QTest::newRow("general as built")
        << hex("98 95 93 04 00 0A 00 03 1E 0A 00 3F") << DecodedFrame(unpicked);
    GeneralFields g = unpicked;
    g.unknownFormatBits = 0xE0;
    QTest::newRow("format bits of no field")
        << hex("98 95 93 04 E0 0A 00 03 1E 0A 00 3F") << DecodedFrame(g);
    g = {.baudrate = 4,
         .dataBit = 3,
         .parityBit = 0x0C,
         .stopBit = 0x10,
         .timeOut = 10,
         .dataRate = 3,
         .rfChannel = 10,
         .dataLength = 63,
         .unknownFormatBits = 0xE0};
    QTest::newRow("every format bit")
        << hex("98 95 93 04 FF 0A 00 03 1E 0A 00 3F") << DecodedFrame(g);
    g = unpicked;
    g.wrongFixedByte = 0;
    QTest::newRow("fixed byte 0") << hex("98 95 93 04 00 0A 00 03 00 0A 00 3F") << DecodedFrame(g);

    const PairFields pair{.pairMode = 1, .masterIds = {1, 2, 3}, .slaveIds = {4, 5, 6}};
    QTest::newRow("pair as built")
        << hex("98 95 94 01 54 01 02 03 54 04 05 06") << DecodedFrame(pair);
    PairFields p = pair;
    p.wrongSeparators = {{0x55, 0x54}};
    QTest::newRow("first separator wrong")
        << hex("98 95 94 01 55 01 02 03 54 04 05 06") << DecodedFrame(p);
    p.wrongSeparators = {{0x54, 0x00}};
    QTest::newRow("second separator wrong")
        << hex("98 95 94 01 54 01 02 03 00 04 05 06") << DecodedFrame(p);

    QTest::newRow("receive timeout as built")
        << hex("98 95 95 2C 01 00 00 00 00 00 00 00") << DecodedFrame(ReceiveTimeoutFields{300});
    QTest::newRow("stray byte last") << hex("98 95 95 0A 00 00 00 00 00 00 00 01")
                                     << DecodedFrame(ReceiveTimeoutFields{10, {{11, 1}}});
    QTest::newRow("first of two stray bytes") << hex("98 95 95 E8 03 00 07 00 00 09 00 00")
                                              << DecodedFrame(ReceiveTimeoutFields{1000, {{6, 7}}});
    QTest::newRow("unknown command")
        << hex("98 95 9A 04 00 0A 00 03 1E 0A 00 3F") << DecodedFrame(UnknownCommand{0x9A});
}

void SettingCodecTest::decodeWhatDoesNotFit()
{
    QFETCH(QByteArray, frame);
    QFETCH(DecodedFrame, decoded);
    QVERIFY(decodeFrame(TestBytes::configFrame(frame)) == decoded);
}

QTEST_APPLESS_MAIN(SettingCodecTest)
#include "SettingCodecTest.moc"
