#pragma once

#include "protocol/SettingCodec.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What a production run is told to do: the frames for every unit and how to
// find, wait for and record the units.
enum class Page
{
    General,
    Advanced,
    Advanced2
};

[[nodiscard]] QString pageName(Page page);

struct PageFrame
{
    Page page;
    SettingCodec::ConfigFrame frame;
};

inline constexpr int kDefaultWaitMs = 2500;
inline constexpr int kDefaultSettleMs = 500;
// Before each frame the line must have been quiet this long: a dongle's
// answer or any other message of its is over by then (12 bytes at its
// slowest rate, 1200 baud, take 100 ms).
inline constexpr int kDefaultQuietMs = 100;
// A line not quiet within this gets no frame.
inline constexpr int kDefaultQuietLimitMs = 1000;
// No answer comes later than this after its frame (late answers were seen
// up to 3 s after the frame).
inline constexpr int kDefaultLateMs = 4000;

struct RunPlan
{
    QStringList devices;     // each named once
    QList<PageFrame> frames; // in the window's page order
    int waitMs = kDefaultWaitMs;
    int quietMs = kDefaultQuietMs;
    int quietLimitMs = kDefaultQuietLimitMs;
    int lateMs = kDefaultLateMs;
    bool verbose = false;

    // The settings as resolved (profile, then options), as a profile's text:
    // what --save-profile writes and what the report's digest is taken of.
    QByteArray settingsText;
    QString profilePath; // or empty
    QString reportPath;  // or empty

    // Who and what the records name.
    QString stationName; // empty: the host name
    QString operatorName;
    QString lot; // work order or lot

    // Station
    bool includePresent = false;
    QStringList matches;   // --match patterns (see DeviceMatch); empty only with matchAny
    bool matchAny = false; // every serial device that appears
    int settleMs = kDefaultSettleMs;
};
