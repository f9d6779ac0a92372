#include "log/ReceiveBacklog.h"

void ReceiveBacklog::appendChunk(QByteArrayView chunk)
{
    if (chunk.isEmpty())
        return;
    if (m_items.empty())
        m_projected = m_log;
    m_projected.AppendLog(chunk);

    if (m_items.empty() || !std::holds_alternative<Run>(m_items.back()))
        m_items.emplace_back(Run{});
    Run &run = std::get<Run>(m_items.back());
    run.bytes += chunk.size();
    if (run.condensed)
        return;
    run.chunks.emplace_back(chunk.toByteArray());
    if (run.bytes > kCondenseAbove) {
        run.condensed = true;
        run.chunks.clear();
    }
}

void ReceiveBacklog::appendNotice(Notice notice)
{
    if (m_items.empty())
        m_projected = m_log;
    else if (Run *run = std::get_if<Run>(&m_items.back()); run && run->condensed)
        run->after = m_projected;
    m_items.emplace_back(std::move(notice));
}

qsizetype ReceiveBacklog::keptBytes() const
{
    qsizetype bytes = 0;
    for (const auto &item : m_items) {
        if (const Run *run = std::get_if<Run>(&item)) {
            for (const QByteArray &chunk : run->chunks)
                bytes += chunk.size();
            if (run->condensed)
                bytes += run->after.text().size();
        }
    }
    return bytes + m_projected.text().size();
}

ReceiveBacklog::Notice ReceiveBacklog::applyUntilNotice(ReceiveLog &log)
{
    while (!m_items.empty()) {
        auto &item = m_items.front();
        if (Notice *notice = std::get_if<Notice>(&item)) {
            Notice taken = std::move(*notice);
            m_items.pop_front();
            return taken;
        }
        Run &run = std::get<Run>(item);
        if (!run.condensed) {
            for (const QByteArray &chunk : run.chunks)
                log.AppendLog(chunk);
        } else {
            log = m_items.size() == 1 ? m_projected : run.after;
        }
        m_items.pop_front();
    }
    return {};
}
