#pragma once

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>

class ReceiveLog;

// Text1: shows a ReceiveLog and follows its newest text. Each byte of the log
// is exactly one character of the document, so a trim of the log becomes a
// deletion of the same number of characters at the front of the document.
class LogView : public QPlainTextEdit
{
    Q_OBJECT

public:
    // Repaints are coalesced to at most one per this interval during a flood.
    static constexpr int kSyncIntervalMs = 30;

    explicit LogView(const ReceiveLog &log, QWidget *parent = nullptr);

    // Call after every change of the log. The view catches up on its next
    // turn of the event loop, or once the interval since the last catch-up
    // has passed.
    void scheduleSync();
    // Catches up at once.
    void syncNow();

    // How control bytes such as NUL are drawn: as Unicode's control pictures
    // where the fonts have them, else as the replacement character.
    enum class ControlGlyphs
    {
        Pictures,
        Replacement
    };

    // One display character per log byte: LF starts a new line, the CR
    // before it shows nothing, other control bytes show as visible symbols.
    [[nodiscard]] static QString displayText(QByteArrayView bytes,
                                             ControlGlyphs glyphs = ControlGlyphs::Pictures);
    [[nodiscard]] ControlGlyphs controlGlyphs() const { return m_controlGlyphs; }

    // The text a copy or a drag of document positions [from, to) carries:
    // the bytes as received, CR LF line ends, every byte from 0x20 up as its
    // Latin-1 character; only the control bytes text cannot carry copy as
    // the marks shown for them.
    [[nodiscard]] QString copiedText(int from, int to) const;

signals:
    // After every catch-up, so other displays of the log (the count caption)
    // can follow at the same pace.
    void synced();

protected:
    void changeEvent(QEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;

private:
    void rebuild();
    void showNewest();
    [[nodiscard]] ControlGlyphs glyphsForFont() const;

    const ReceiveLog &m_log;
    ControlGlyphs m_controlGlyphs = ControlGlyphs::Pictures;
    QTimer m_syncTimer;
    QElapsedTimer m_sinceSync;
    // The part of the log the document holds, in the log's stream positions.
    quint64 m_generation = 0;
    qint64 m_front = 0;
    qint64 m_end = 0;
};
