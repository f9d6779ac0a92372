#include "app/LogView.h"

#include "log/ReceiveLog.h"

#include <QEvent>
#include <QGlyphRun>
#include <QMimeData>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextLayout>

#include <algorithm>

namespace {

// QTextCursor::insertText turns CR, LF and CR LF each into one block break,
// which would break the one-byte-one-character mapping. LF alone breaks the
// line; CR becomes an invisible zero-width space.
constexpr char16_t kCrShownAs = 0x200B;
// Unicode's control pictures: U+2400 + byte for C0, U+2421 for DEL.
constexpr char16_t kControlPictures = 0x2400;
constexpr char16_t kDeleteShownAs = 0x2421;
// Where no font has the control pictures (common on Linux desktops) they
// would come out as missing-glyph boxes; the replacement character at least
// reads as "a byte that is not text". The C1 range has no pictures of its
// own and most fonts draw nothing for it.
constexpr char16_t kReplacement = 0xFFFD;

constexpr char16_t displayChar(unsigned char byte, LogView::ControlGlyphs glyphs)
{
    if (byte == '\n' || byte == '\t')
        return byte;
    if (byte == '\r')
        return kCrShownAs;
    const bool pictures = glyphs == LogView::ControlGlyphs::Pictures;
    if (byte < 0x20)
        return pictures ? char16_t(kControlPictures + byte) : kReplacement;
    if (byte == 0x7F)
        return pictures ? kDeleteShownAs : kReplacement;
    if (byte >= 0x80 && byte < 0xA0)
        return kReplacement;
    return byte;
}

constexpr char16_t copiedChar(unsigned char byte, LogView::ControlGlyphs glyphs)
{
    if (byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n')
        return displayChar(byte, glyphs);
    return byte;
}

// A document character whose byte the log no longer holds: the drawing
// characters go back to their bytes; a replaced byte stays replaced.
QChar undrawn(QChar c)
{
    switch (c.unicode()) {
    case QChar::ParagraphSeparator:
        return u'\n';
    case kCrShownAs:
        return u'\r';
    case kDeleteShownAs:
        return QChar(0x7F);
    default:
        return c;
    }
}

// True when the font, or a fallback font the system picks for it, has a
// glyph for c.
bool fontDraws(const QFont &font, char16_t c)
{
    QTextLayout layout(QString(QChar(c)), font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    for (const QGlyphRun &run : runs) {
        const QList<quint32> glyphs = run.glyphIndexes();
        if (std::find(glyphs.cbegin(), glyphs.cend(), 0u) != glyphs.cend())
            return false;
    }
    return !runs.isEmpty();
}

} // namespace

LogView::LogView(const ReceiveLog &log, QWidget *parent) : QPlainTextEdit(parent), m_log(log)
{
    setObjectName(QStringLiteral("Text1"));
    setReadOnly(true);
    // Even read-only, the document would otherwise keep every edit for undo
    // and grow without bound under a steady stream.
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);

    m_syncTimer.setSingleShot(true);
    connect(&m_syncTimer, &QTimer::timeout, this, &LogView::syncNow);

    m_controlGlyphs = glyphsForFont();
    rebuild();
}

void LogView::changeEvent(QEvent *event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() != QEvent::FontChange)
        return;
    const ControlGlyphs glyphs = glyphsForFont();
    if (glyphs != m_controlGlyphs) {
        m_controlGlyphs = glyphs;
        rebuild();
    }
}

void LogView::scheduleSync()
{
    if (m_syncTimer.isActive())
        return;
    // The first change after a quiet spell shows on the next turn of the
    // event loop; during a flood the document catches up once per interval.
    const qint64 sinceLast = m_sinceSync.isValid() ? m_sinceSync.elapsed() : kSyncIntervalMs;
    m_syncTimer.start(int(std::max<qint64>(0, kSyncIntervalMs - sinceLast)));
}

void LogView::syncNow()
{
    m_syncTimer.stop();
    m_sinceSync.start();

    const qint64 logFront = m_log.frontPosition();
    const qint64 logEnd = m_log.endPosition();
    const qint64 dropped = logFront - m_front;
    const qint64 added = logEnd - m_end;
    // A clear, or more change than the log holds: cheaper to show it afresh
    // than to replay the difference.
    if (m_log.generation() != m_generation || logFront > m_end ||
        dropped + added > m_log.text().size()) {
        rebuild();
    } else if (dropped > 0 || added > 0) {
        QTextCursor cursor(document());
        if (dropped > 0) {
            cursor.setPosition(int(dropped), QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
        if (added > 0) {
            cursor.movePosition(QTextCursor::End);
            cursor.insertText(displayText(QByteArrayView(m_log.text()).sliced(m_end - logFront),
                                          m_controlGlyphs));
        }
        m_front = logFront;
        m_end = logEnd;
        showNewest();
    }
    emit synced();
}

QString LogView::displayText(QByteArrayView bytes, ControlGlyphs glyphs)
{
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (const char c : bytes)
        *out++ = displayChar(static_cast<unsigned char>(c), glyphs);
    return text;
}

QString LogView::copiedText(int from, int to) const
{
    QString text;
    text.reserve(std::max(0, to - from));
    // The document may lag behind the log until the next catch-up: bytes
    // still in the log come from it, older ones back from what is drawn.
    const bool sameLog = m_log.generation() == m_generation;
    const QByteArray &bytes = m_log.text();
    for (int at = from; at < to; ++at) {
        const qint64 position = m_front + at;
        if (sameLog && position >= m_log.frontPosition() && position < m_log.endPosition()) {
            const auto byte =
                static_cast<unsigned char>(bytes.at(qsizetype(position - m_log.frontPosition())));
            text.append(QChar(copiedChar(byte, m_controlGlyphs)));
        } else {
            text.append(undrawn(document()->characterAt(at)));
        }
    }
    return text;
}

QMimeData *LogView::createMimeDataFromSelection() const
{
    // Plain text only: a rich-text copy would carry the drawing characters.
    const QTextCursor cursor = textCursor();
    auto *data = new QMimeData;
    data->setText(copiedText(cursor.selectionStart(), cursor.selectionEnd()));
    return data;
}

void LogView::rebuild()
{
    m_generation = m_log.generation();
    m_front = m_log.frontPosition();
    m_end = m_log.endPosition();
    setPlainText(displayText(m_log.text(), m_controlGlyphs));
    showNewest();
}

LogView::ControlGlyphs LogView::glyphsForFont() const
{
    // NUL stands for the rest: the control pictures come as one block.
    return fontDraws(font(), kControlPictures) ? ControlGlyphs::Pictures
                                               : ControlGlyphs::Replacement;
}

void LogView::showNewest()
{
    moveCursor(QTextCursor::End);
    // Scrolling just far enough for the caret can leave the last line half
    // hidden.
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}
