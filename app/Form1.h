#pragma once

#include "log/ReceiveBacklog.h"
#include "log/ReceiveLog.h"
#include "protocol/SettingTransaction.h"
#include "serial/PortCatalog.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QWidget>

#include <memory>

class ChoiceList;
class LogView;
class MessageBoxes;
class SaveDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class SerialLink;

// What the window asks of the platform, replaceable in tests.
struct Form1Platform
{
    MessageBoxes *boxes = nullptr;
    SaveDialog *saveDialog = nullptr;
    std::unique_ptr<PortCatalog> ports; // null: the machine's serial devices
};

// The main window: builds the controls, shows the start-up notice, fills the
// lists and routes each control's event to the code that handles it.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(Form1Platform platform, QWidget *parent = nullptr);
    ~Form1() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

public slots:
    void OnAutoScan();
    void OnOpenClose();
    void OnGeneralSetting();
    void OnPairSetting();
    void OnReceiveTimeoutSetting();
    void OnAckTimeout();
    void OnClearData();
    void OnSaveAs();
    // One received chunk from the serial port.
    void OnComm(const QByteArray &chunk);

private:
    void buildControls();
    void buildTopRow();
    void buildPages();
    void buildGeneralPage(QWidget *page);
    void buildAdvancedPage(QWidget *page);
    void buildAdvanced2Page(QWidget *page);
    void buildReadSettingPage(QWidget *page);
    void setTabOrders();
    void wireEvents();
    void startUp();
    void showConnected(bool connected);
    void AppendLog(QByteArrayView chunk);
    void ClosePortIfOpen();
    void runSetting(const SettingTransaction::FrameBuilder &build);
    void onPortLost(const QString &reason);
    void logHeldBytes();
    void showBox(const QString &text, const QString &title);
    void logArrival(QByteArrayView bytes);
    void reportInTurn(const QString &text, const QString &title);
    void scheduleBacklog();
    void deliverBacklog();

    Form1Platform m_platform;
    ReceiveLog m_log;
    // Arrivals and verdicts waiting for the box in front to close.
    ReceiveBacklog m_backlog{m_log};
    SerialLink *MSComm1 = nullptr;
    SettingTransaction *m_transaction = nullptr;
    int m_boxesOpen = 0;
    bool m_backlogPosted = false;
    bool m_draining = false;

    // Top row
    QLabel *Label4 = nullptr;
    ChoiceList *ComPort = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command3 = nullptr;
    QStackedWidget *m_status = nullptr;
    QLabel *imgNotConnected = nullptr;
    QLabel *imgConnected = nullptr;

    QTabWidget *SSTab1 = nullptr;
    QLabel *Label6 = nullptr;
    QPushButton *Command6 = nullptr;

    // General
    ChoiceList *baudrate = nullptr;
    ChoiceList *ParityBit = nullptr;
    ChoiceList *DataBit = nullptr;
    ChoiceList *StopBit = nullptr;
    ChoiceList *TimeOut = nullptr;
    ChoiceList *DataRate = nullptr;
    ChoiceList *RF_Channel = nullptr;
    ChoiceList *RF_Power = nullptr;
    ChoiceList *DataLength = nullptr;
    QPushButton *Command2 = nullptr;

    // Advanced
    QLineEdit *MasterID1 = nullptr;
    QLineEdit *MasterID2 = nullptr;
    QLineEdit *MasterID3 = nullptr;
    QLineEdit *SlaveID1 = nullptr;
    QLineEdit *SlaveID2 = nullptr;
    QLineEdit *SlaveID3 = nullptr;
    ChoiceList *PairMode = nullptr;
    QPushButton *Command4 = nullptr;

    // Advanced 2
    ChoiceList *ReceiveTimeout = nullptr;
    QPushButton *Command7 = nullptr;

    // Read Setting
    LogView *Text1 = nullptr;
    QPushButton *Command5 = nullptr;
    QPushButton *CmdSave = nullptr;
};
