#pragma once

#include "support/TestBytes.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <utility>

// One table of settings for both the window and vantrel-set: the same
// choices must give the same frame on the line either way.
struct FrameCase
{
    const char *name;
    QStringList arguments;                     // vantrel-set's settings, without a device
    QList<std::pair<const char *, int>> picks; // list object name, item index; others unpicked
    // The six ID boxes (MasterID1..SlaveID3) as typed; empty leaves them at
    // "000". The boxes take three characters, so "254.5" cannot be typed
    // there: such a case types the three-character text of the same byte.
    QStringList ids;
    QByteArray frame;
};

inline QList<FrameCase> frameCases()
{
    using TestBytes::hex;
    return {
        {"general, one list picked, the rest as unpicked",
         {"--baud", "9600"},
         {{"baudrate", 3}},
         {},
         hex("98 95 93 04 00 0A 00 03 1E 0A 00 3F")},
        {"general, every list",
         {"--baud", "115200", "--data-bit", "7", "--parity", "EVEN", "--stop-bit", "2", "--timeout",
          "1000ms", "--data-rate", "2k", "--channel", "15", "--power", "-8", "--data-length", "13"},
         {{"baudrate", 7},
          {"DataBit", 1},
          {"ParityBit", 2},
          {"StopBit", 1},
          {"TimeOut", 5},
          {"DataRate", 4},
          {"RF_Channel", 15},
          {"RF_Power", 3},
          {"DataLength", 0}},
         {},
         hex("98 95 93 08 19 E8 03 04 1E 0F 03 0D")},
        {"general, baud parity channel",
         {"--baud", "115200", "--parity", "even", "--channel", "15"},
         {{"baudrate", 7}, {"ParityBit", 2}, {"RF_Channel", 15}},
         {},
         hex("98 95 93 08 08 0A 00 03 1E 0F 00 3F")},
        {"general, units written out",
         {"--timeout", "300-ms", "--power", "17 dBm", "--data-rate", "250K", "--data-length", "63",
          "--stop-bit", "1"},
         {{"TimeOut", 3}, {"RF_Power", 0}, {"DataRate", 0}, {"DataLength", 10}, {"StopBit", 0}},
         {},
         hex("98 95 93 04 00 2C 01 00 1E 0A 00 3F")},
        {"general, first items",
         {"--baud", "1200", "--data-bit", "6", "--parity", "odd", "--timeout", "2", "--power",
          "0dBm", "--channel", "0", "--data-rate", "100k"},
         {{"baudrate", 0},
          {"DataBit", 2},
          {"ParityBit", 1},
          {"TimeOut", 0},
          {"RF_Power", 2},
          {"RF_Channel", 0},
          {"DataRate", 1}},
         {},
         hex("98 95 93 01 06 02 00 01 1E 00 02 3F")},
        {"general, last items",
         {"--baud", "256000", "--timeout", "600 MS", "--data-rate", "50k", "--power", "10",
          "--data-length", "58"},
         {{"baudrate", 9}, {"TimeOut", 4}, {"DataRate", 2}, {"RF_Power", 1}, {"DataLength", 9}},
         {},
         hex("98 95 93 0A 00 58 02 02 1E 0A 01 3A")},
        {"general, two stop bits alone in the format byte",
         {"--data-bit", "8", "--stop-bit", "2", "--parity", "none"},
         {{"DataBit", 0}, {"StopBit", 1}, {"ParityBit", 0}},
         {},
         hex("98 95 93 04 10 0A 00 03 1E 0A 00 3F")},
        {"pair, one to multi",
         {"--pair", "1-to-multi", "--master", "1,2,3", "--slave", "4,5,6"},
         {{"PairMode", 1}},
         {"1", "2", "3", "4", "5", "6"},
         hex("98 95 94 01 54 01 02 03 54 04 05 06")},
        {"pair, boxes left at 000",
         {"--pair", "1 To 1"},
         {{"PairMode", 0}},
         {},
         hex("98 95 94 00 54 00 00 00 54 00 00 00")},
        {"pair, list unpicked, master IDs only",
         {"--master", "255,0,17"},
         {},
         {"255", "0", "17", "000", "000", "000"},
         hex("98 95 94 00 54 FF 00 11 54 00 00 00")},
        {"pair, fractions at the edges",
         {"--pair", "1-TO-MULTI", "--master", "254.5,0.5,1.5", "--slave", "2.5,255,0.4"},
         {{"PairMode", 1}},
         {"254", "0.5", "1.5", "2.5", "255", "0.4"},
         hex("98 95 94 01 54 FE 00 02 54 02 FF 00")},
        {"receive timeout, number alone",
         {"--receive-timeout", "300"},
         {{"ReceiveTimeout", 5}},
         {},
         hex("98 95 95 2C 01 00 00 00 00 00 00 00")},
        {"receive timeout, unit glued on",
         {"--receive-timeout", "10MS"},
         {{"ReceiveTimeout", 0}},
         {},
         hex("98 95 95 0A 00 00 00 00 00 00 00 00")},
        {"receive timeout, blank before the unit",
         {"--receive-timeout", "1000 ms"},
         {{"ReceiveTimeout", 7}},
         {},
         hex("98 95 95 E8 03 00 00 00 00 00 00 00")},
    };
}
