#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The receive log: the text received from the dongle, one byte per character
// (Latin-1), with its line ends normalised to CR LF, kept bounded, and the two
// counters behind the "Data cnt" caption. Plain data; a view follows it
// through the stream positions below.
class ReceiveLog
{
public:
    static constexpr qsizetype kTrimThreshold = 16000;
    static constexpr qsizetype kTrimCut = 4096;

    // One received chunk. LogLength counts the chunk as received, before its
    // line ends are normalised; that is the count the operator sees.
    void AppendLog(QByteArrayView chunk);
    // A Setting empties the text; the counters carry on.
    void clearText();
    // "Clear Data": empties the text and zeroes the counters.
    void clearData();

    [[nodiscard]] const QByteArray &text() const { return m_text; }
    [[nodiscard]] qint32 logLength() const { return m_logLength; }
    [[nodiscard]] qint32 dataCount() const { return m_dataCount; }
    [[nodiscard]] QString countCaption() const;

    // For views that follow the log without copying it. Every character ever
    // appended has a stream position; text() holds positions
    // [frontPosition(), endPosition()). A clear starts a new generation and
    // restarts the positions at 0.
    [[nodiscard]] quint64 generation() const { return m_generation; }
    [[nodiscard]] qint64 frontPosition() const { return m_front; }
    [[nodiscard]] qint64 endPosition() const { return m_front + m_text.size(); }

    // Every LF dropped, then an LF after every CR. Both rules look at one
    // byte at a time, so chunks can be normalised independently.
    [[nodiscard]] static QByteArray normalised(QByteArrayView chunk);

private:
    void restart();

    QByteArray m_text;
    qint32 m_logLength = 0;
    qint32 m_dataCount = 0;
    bool m_counted = false; // the caption shows a number once anything was counted or cleared
    quint64 m_generation = 0;
    qint64 m_front = 0;
};
