#pragma once

#include "stationui/RunBoard.h"

#include <QList>
#include <QWidget>

class QGridLayout;
class QLabel;
class QLayout;
class QListWidget;
class QProgressBar;
class QScrollArea;
class QTimer;
class SlotTile;

// The run as the line sees it: a tile per slot, the tally (passed, failed,
// yield, the lot against its quantity), the latest results and the report's
// state; over all of it, while the board is blocked, what stops the run and
// what to do. Reads the board only: redraws the tile a change names, and
// ticks the elapsed times only while a unit is under way.
class RunView final : public QWidget
{
    Q_OBJECT

public:
    explicit RunView(RunBoard *board, QWidget *parent = nullptr);

    [[nodiscard]] QList<SlotTile *> tiles() const { return m_tiles; }

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    [[nodiscard]] QLayout *buildCounters();
    [[nodiscard]] QLayout *buildMiddle();
    void buildBlocked();
    void rebuildTiles();
    void arrangeTiles();
    void onSlotChanged(int index);
    void onResultAdded(const ResultLine &line);
    void refreshTally();
    void refreshReport();
    void refreshStore();
    void refreshBlocked();
    void refreshRecent();
    void tick();
    void refreshFonts();
    void retranslate();
    [[nodiscard]] QString resultText(const ResultLine &line) const;

    RunBoard *m_board;
    QLabel *m_passed = nullptr;
    QLabel *m_failed = nullptr;
    QLabel *m_yield = nullptr;
    QLabel *m_lotLabel = nullptr;
    QProgressBar *m_lot = nullptr;
    QLabel *m_report = nullptr;
    QLabel *m_store = nullptr;
    QLabel *m_noSlots = nullptr;
    QScrollArea *m_scroll = nullptr;
    QWidget *m_grid = nullptr;
    QGridLayout *m_gridLayout = nullptr;
    QLabel *m_recentTitle = nullptr;
    QListWidget *m_recent = nullptr;
    QWidget *m_content = nullptr;
    QWidget *m_blocked = nullptr;
    QLabel *m_blockedTitle = nullptr;
    QLabel *m_problem = nullptr;
    QLabel *m_remedy = nullptr;
    QList<SlotTile *> m_tiles;
    int m_columns = 0;
    QTimer *m_tick = nullptr; // "elapsedTick": runs only while a unit is under way
};
