#include "log/ReceiveLog.h"

#include <algorithm>
#include <limits>

namespace {

constexpr char kLf = '\n';
constexpr char kCr = '\r';

// Writes the normalised chunk to out, which must have room for twice the
// chunk; returns the end of what was written.
char *normaliseInto(QByteArrayView chunk, char *out)
{
    for (const char c : chunk) {
        if (c == kLf)
            continue;
        *out++ = c;
        if (c == kCr)
            *out++ = kLf;
    }
    return out;
}

} // namespace

QByteArray ReceiveLog::normalised(QByteArrayView chunk)
{
    QByteArray result(chunk.size() * 2, Qt::Uninitialized);
    char *const end = normaliseInto(chunk, result.data());
    result.truncate(end - result.constData());
    return result;
}

void ReceiveLog::AppendLog(QByteArrayView chunk)
{
    // The counter is bounded by the trim, except for an absurdly large chunk;
    // saturate rather than wrap so the caption never shows garbage.
    constexpr qint64 kMaxCount = std::numeric_limits<qint32>::max();
    m_logLength = qint32(std::min<qint64>(qint64(m_logLength) + chunk.size(), kMaxCount));
    m_dataCount = m_logLength;
    m_counted = true;

    if (m_logLength > kTrimThreshold) {
        // After a Setting emptied the text, the counter is stale and can pass
        // the threshold while the text is short. Cutting such a text would
        // throw away what the operator has only just received.
        if (m_text.size() > kTrimCut) {
            m_text.remove(0, kTrimCut);
            m_front += kTrimCut;
        }
        m_logLength = qint32(m_text.size());
    }

    const qsizetype oldSize = m_text.size();
    m_text.resize(oldSize + chunk.size() * 2);
    char *const end = normaliseInto(chunk, m_text.data() + oldSize);
    m_text.truncate(end - m_text.constData());
}

void ReceiveLog::clearText()
{
    restart();
}

void ReceiveLog::clearData()
{
    restart();
    m_logLength = 0;
    m_dataCount = 0;
    m_counted = true;
}

QString ReceiveLog::countCaption() const
{
    return m_counted ? QString::number(m_dataCount) : QStringLiteral("Data cnt");
}

void ReceiveLog::restart()
{
    m_text.clear();
    m_front = 0;
    ++m_generation;
}
