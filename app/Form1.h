#pragma once

#include "log/ReceiveLog.h"
#include "protocol/SettingTransaction.h"
#include "serial/PortCatalog.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QWidget>

#include <memory>

class Advanced2Page;
class AdvancedPage;
class ChoiceList;
class GeneralPage;
class InTurn;
class LogView;
class ReadSettingPage;
class SettingPage;
class StatusLight;
class MessageBoxes;
class SaveDialog;
class QLabel;
class QPushButton;
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
    void setTabOrders();
    void wireEvents();
    void startUp();
    void showConnected(bool connected);
    void ClosePortIfOpen();
    void runSetting(const SettingPage &page);
    void onPortLost(const QString &reason);
    void logHeldBytes();
    void showBox(const QString &text, const QString &title);

    Form1Platform m_platform;
    ReceiveLog m_log;
    SerialLink *MSComm1 = nullptr;
    SettingTransaction *m_transaction = nullptr;
    InTurn *m_inTurn = nullptr;

    // Top row
    QLabel *Label4 = nullptr;
    ChoiceList *ComPort = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command3 = nullptr;
    StatusLight *m_status = nullptr;

    QTabWidget *SSTab1 = nullptr;
    GeneralPage *m_general = nullptr;
    AdvancedPage *m_advanced = nullptr;
    Advanced2Page *m_advanced2 = nullptr;
    ReadSettingPage *m_readSetting = nullptr;
    LogView *Text1 = nullptr;
    QLabel *Label6 = nullptr;
    QPushButton *Command6 = nullptr;
};
