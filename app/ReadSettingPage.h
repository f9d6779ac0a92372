#pragma once

#include <QList>
#include <QWidget>

class LogView;
class QPushButton;
class ReceiveLog;

// "Read Setting": the receive log with "Clear Data" and "Save as".
class ReadSettingPage final : public QWidget
{
    Q_OBJECT

public:
    ReadSettingPage(const ReceiveLog &log, const QString &title, QWidget *parent = nullptr);

    [[nodiscard]] LogView *log() const { return Text1; }
    [[nodiscard]] QPushButton *clearButton() const { return Command5; }
    [[nodiscard]] QPushButton *saveButton() const { return CmdSave; }
    [[nodiscard]] QList<QWidget *> tabChain() const;

private:
    LogView *Text1 = nullptr;
    QPushButton *Command5 = nullptr;
    QPushButton *CmdSave = nullptr;
};
