#pragma once

#include "log/ReceiveLog.h"

#include <QByteArray>

#include <deque>
#include <functional>
#include <variant>

// What arrived while the window could not show it (a box was open), in
// arrival order: runs of received bytes for the log, and the notices that
// came between them. However long a box stays open, memory stays bounded by
// what the log keeps: a long run is kept as the log it will leave behind,
// worked out chunk by chunk as it arrives, so the text and the count come
// out exactly as if every chunk had been appended in turn.
class ReceiveBacklog
{
public:
    using Notice = std::function<void()>;

    // Beyond this many bytes a run is kept condensed.
    static constexpr qsizetype kCondenseAbove = 2 * ReceiveLog::kTrimThreshold;

    // log: the log the backlog continues; it must not change while the
    // backlog holds anything.
    explicit ReceiveBacklog(const ReceiveLog &log) : m_log(log) {}

    void appendChunk(QByteArrayView chunk);
    void appendNotice(Notice notice);

    [[nodiscard]] bool isEmpty() const { return m_items.empty(); }
    // Bytes kept for the runs, condensed ones included.
    [[nodiscard]] qsizetype keptBytes() const;

    // Applies the runs in front to log, then takes the notice after them off
    // the backlog and returns it (empty when none is left).
    [[nodiscard]] Notice applyUntilNotice(ReceiveLog &log);

private:
    struct Run
    {
        std::deque<QByteArray> chunks; // empty once condensed
        qsizetype bytes = 0;
        bool condensed = false;
        ReceiveLog after; // a condensed run's outcome, once a notice follows it
    };

    const ReceiveLog &m_log;
    std::deque<std::variant<Run, Notice>> m_items;
    ReceiveLog m_projected; // the log once everything here has been applied
};
