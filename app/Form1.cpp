#include "app/Form1.h"

#include "app/Advanced2Page.h"
#include "app/AdvancedPage.h"
#include "app/ChoiceList.h"
#include "app/GeneralPage.h"
#include "app/InTurn.h"
#include "app/LogView.h"
#include "app/PageControls.h"
#include "app/ReadSettingPage.h"
#include "app/SaveDialog.h"
#include "app/StatusLight.h"
#include "log/LogFile.h"
#include "protocol/SettingCodec.h"
#include "serial/PortErrors.h"
#include "serial/SerialLink.h"

#include <Version.h>

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <utility>

using namespace PageControls;

Form1::Form1(Form1Platform platform, QWidget *parent)
    : QWidget(parent), m_platform(std::move(platform))
{
    MSComm1 = new SerialLink(std::move(m_platform.ports), this);
    m_inTurn = new InTurn(*m_platform.boxes, m_log, this);
    m_transaction = new SettingTransaction(*MSComm1, this);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vantrel"));
    setFont(windowFont());
    startUp();
}

Form1::~Form1() = default;

void Form1::buildTopRow()
{
    auto *row = new QHBoxLayout;
    Label4 = makeLabel(QStringLiteral("COM Port"), QStringLiteral("串列埠"), 11.25, this);
    Label4->setObjectName(QStringLiteral("Label4"));
    ComPort = new ChoiceList(QStringLiteral("ComPort"), QStringLiteral("Select..."), kChoose, this);
    ComPort->setFont(arial(9));
    ComPort->setMinimumWidth(90);
    labelList(Label4, ComPort);
    Command1 = makeButton(QStringLiteral("Command1"), QStringLiteral("Auto Scan"),
                          QStringLiteral("自動掃描"), 9, this);
    Command3 = makeButton(QStringLiteral("Command3"), QStringLiteral("Open COM Port"), QString(),
                          9.75, this);

    m_status = new StatusLight(this);

    row->addWidget(Label4);
    row->addWidget(ComPort, 1);
    row->addWidget(Command1);
    row->addWidget(Command3);
    row->addWidget(m_status);
    static_cast<QVBoxLayout *>(layout())->addLayout(row);
}

void Form1::buildPages()
{
    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->setFont(arial(11.25));
    // All four tabs stay readable; the window widens to fit them instead.
    SSTab1->setUsesScrollButtons(false);
    SSTab1->tabBar()->setExpanding(false);
    const QString readSetting = QStringLiteral("Read Setting");
    m_general = new GeneralPage(SSTab1);
    m_advanced = new AdvancedPage(SSTab1);
    m_advanced2 = new Advanced2Page(SSTab1);
    m_readSetting = new ReadSettingPage(m_log, readSetting, SSTab1);
    Text1 = m_readSetting->log();
    m_inTurn->setView(Text1);
    const std::pair<QWidget *, QString> pages[] = {
        {m_general, QStringLiteral("General")},
        {m_advanced, QStringLiteral("Advanced")},
        {m_advanced2, QStringLiteral("Advanced 2")},
        {m_readSetting, readSetting},
    };
    for (const auto &[page, title] : pages) {
        page->setFont(arial(12));
        SSTab1->addTab(page, title);
    }

    auto *main = static_cast<QVBoxLayout *>(layout());
    main->addWidget(SSTab1, 1);

    // The counter sits in sight under the pages; clicking it does nothing.
    auto *bottom = new QHBoxLayout;
    Command6 =
        makeButton(QStringLiteral("Command6"), QStringLiteral("Data cnt"), QString(), 12, this);
    Command6->setMinimumWidth(89);
    // Pressing it does nothing, so it is no stop for Tab; a screen reader
    // still reads it. Its name follows the count it shows.
    Command6->setFocusPolicy(Qt::NoFocus);
    Command6->setAccessibleName(QString());
    const QString version = QStringLiteral("V") + QLatin1String(kVantrelVersion);
    Label6 = makeLabel(version, version, 9.75, this);
    Label6->setObjectName(QStringLiteral("Label6"));
    bottom->addWidget(Command6);
    bottom->addStretch(1);
    bottom->addWidget(Label6);
    main->addLayout(bottom);
}

void Form1::setTabOrders()
{
    // One chain for the window: the top row, the tab bar, then each page in
    // reading order. Tab skips the pages not in front, so it runs from the
    // tab bar through the page in front and back round to the top row.
    QList<QWidget *> chain{ComPort, Command1, Command3, SSTab1};
    chain << m_general->tabChain() << m_advanced->tabChain() << m_advanced2->tabChain()
          << m_readSetting->tabChain();
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    // The pages handle Ctrl+Tab themselves while focus is inside them; from
    // the top row the same keys turn the page too.
    const bool turn = (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) &&
                      event->modifiers().testFlag(Qt::ControlModifier);
    if (!turn) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int step = event->key() == Qt::Key_Backtab ? -1 : 1;
    SSTab1->setCurrentIndex((SSTab1->currentIndex() + step + SSTab1->count()) % SSTab1->count());
}

void Form1::wireEvents()
{
    connect(Command1, &QPushButton::clicked, this, &Form1::OnAutoScan);
    connect(Command3, &QPushButton::clicked, this, &Form1::OnOpenClose);
    connect(m_general->settingButton(), &QPushButton::clicked, this, &Form1::OnGeneralSetting);
    connect(m_advanced->settingButton(), &QPushButton::clicked, this, &Form1::OnPairSetting);
    connect(m_advanced2->settingButton(), &QPushButton::clicked, this,
            &Form1::OnReceiveTimeoutSetting);
    connect(m_readSetting->clearButton(), &QPushButton::clicked, this, &Form1::OnClearData);
    connect(m_readSetting->saveButton(), &QPushButton::clicked, this, &Form1::OnSaveAs);
    // The count is counted per chunk but shown with the log's coalesced
    // repaint: relaying out the button for every chunk of a flood costs more
    // than everything else on the receive path.
    connect(Text1, &LogView::synced, this, [this] { Command6->setText(m_log.countCaption()); });
    connect(MSComm1, &SerialLink::chunkReceived, this, &Form1::OnComm);
    connect(MSComm1, &SerialLink::portLost, this, &Form1::onPortLost);
    connect(m_transaction, &SettingTransaction::timedOut, this, &Form1::OnAckTimeout);
}

void Form1::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    buildTopRow();
    buildPages();
    setTabOrders();
    wireEvents();
    // About the designed 417 x 487 pixels at 96 dpi, more if fonts need it.
    resize(sizeHint().expandedTo(QSize(417, 487)));
}

void Form1::startUp()
{
    // The notice goes up before the controls are built: the window is not
    // shown until it is dismissed, and building them first only kept the
    // operator waiting for the notice.
    showBox(QStringLiteral("Please Reset RS232 Brennix Dongle"), QStringLiteral("Notice"));
    // The pages fill their lists as they make them.
    buildControls();
    showConnected(false);
}

void Form1::showConnected(bool connected)
{
    m_status->setConnected(connected);
    Command3->setText(connected ? QStringLiteral("Close COM Port")
                                : QStringLiteral("Open COM Port"));
    Command3->setAccessibleName(Command3->text());
}

void Form1::OnAutoScan()
{
    ComPort->reset();
    const ScanResult result = MSComm1->scan();
    QStringList numbers;
    for (const ScannedPort &port : result.ports)
        numbers << QString::number(port.number);
    ComPort->addItemsInOrder(numbers);
    for (int i = 0; i < result.ports.size(); ++i) {
        ComPort->setItemData(i, portToolTip(result.ports[i].device), Qt::ToolTipRole);
        // The open port stays open through a scan; keep it picked so the
        // toggle still closes it.
        if (MSComm1->isOpen() && result.ports[i].number == MSComm1->currentNumber())
            ComPort->setCurrentIndex(i);
    }
    showConnected(MSComm1->isOpen());
    if (result.ports.isEmpty() && !result.refused.isEmpty())
        showBox(PortErrors::permissionNotice(result.refused), QStringLiteral("Notice"));
}

void Form1::OnOpenClose()
{
    if (ComPort->choice() < 0) {
        showBox(QStringLiteral("Please Select Comport"), QStringLiteral("Notice"));
        return;
    }
    if (MSComm1->isOpen()) {
        ClosePortIfOpen();
        return;
    }
    const int number = ComPort->itemText(ComPort->choice()).toInt();
    QString error;
    const bool opened = MSComm1->open(number, &error);
    showConnected(opened);
    if (!opened)
        showBox(error, QStringLiteral("Warning"));
}

void Form1::ClosePortIfOpen()
{
    m_inTurn->catchUp();
    if (MSComm1->isOpen())
        MSComm1->close();
    logHeldBytes();
    showConnected(false);
}

void Form1::onPortLost(const QString &reason)
{
    // The link has closed the port already; say so once, after what came
    // before the loss.
    logHeldBytes();
    showConnected(false);
    m_inTurn->reportInTurn(reason, QStringLiteral("Warning"));
}

void Form1::logHeldBytes()
{
    m_inTurn->logArrival(m_transaction->releaseHeld());
}

void Form1::runSetting(const SettingPage &page)
{
    // What arrived before the press is logged, and its verdict given, first.
    m_inTurn->catchUp();
    const SettingTransaction::SendOutcome outcome =
        m_transaction->send([&page] { return page.frame(); });
    m_inTurn->logArrival(outcome.released);
    switch (outcome.result) {
    case SettingTransaction::SendResult::PortClosed:
        showBox(QStringLiteral("Please Open COM Port"), QStringLiteral("Notice"));
        break;
    case SettingTransaction::SendResult::OverRange:
        showBox(toQString(SettingCodec::kOverRangeText), QStringLiteral("Warning"));
        break;
    case SettingTransaction::SendResult::WriteFailed:
        showConnected(MSComm1->isOpen());
        showBox(outcome.error, QStringLiteral("Warning"));
        break;
    case SettingTransaction::SendResult::Sent:
        // The log shows what answers this frame; the counters carry on.
        m_log.clearText();
        Text1->syncNow();
        break;
    }
}

void Form1::OnGeneralSetting()
{
    runSetting(*m_general);
}

void Form1::OnPairSetting()
{
    runSetting(*m_advanced);
}

void Form1::OnReceiveTimeoutSetting()
{
    runSetting(*m_advanced2);
}

void Form1::OnAckTimeout()
{
    logHeldBytes();
    m_inTurn->reportInTurn(QStringLiteral("Setting Fail !!"), QStringLiteral("Warning"));
}

void Form1::showBox(const QString &text, const QString &title)
{
    m_inTurn->showBox(text, title);
}

void Form1::OnComm(const QByteArray &chunk)
{
    // Judged as it arrives, whatever box is open: an acknowledgement that
    // came before the deadline counts, even if showing it has to wait.
    bool acknowledged = false;
    const QByteArray toLog = m_transaction->takeChunk(chunk, &acknowledged);
    // The operator hears of the acknowledgement before its bytes reach the log.
    if (acknowledged)
        m_inTurn->reportInTurn(QStringLiteral("Setting OK !!"), QStringLiteral("Notice"));
    m_inTurn->logArrival(toLog);
}

void Form1::OnClearData()
{
    // A 0x55 held for the awaited answer is received data like any other:
    // cleared with the rest, not logged after the verdict.
    logHeldBytes();
    m_inTurn->catchUp();
    m_log.clearData();
    Text1->syncNow();
}

void Form1::OnSaveAs()
{
    const SaveRequest request{
        QStringLiteral("Save as"),
        qtNameFilter(u"Text files(*.txt) | *.txt"),
        initialSaveFolder(QCoreApplication::applicationDirPath()),
    };
    logHeldBytes();      // a 0x55 held for the awaited answer is in the file too
    m_inTurn->catchUp(); // what is due is shown before the dialog
    const QString path = m_platform.saveDialog->askFileName(request);
    // What arrived while the dialog was open goes into the file too.
    logHeldBytes();
    m_inTurn->catchUp();
    if (path.isEmpty()) {
        showBox(QStringLiteral("Saved Failure !!"), QStringLiteral("Warning"));
        return;
    }
    // The log as it is now: chunks may have arrived while the dialog was open.
    const SaveOutcome outcome = saveLogFile(path, m_log.text());
    if (outcome.ok)
        showBox(QStringLiteral("Saved Successfully"), QStringLiteral("Notice"));
    else
        showBox(QStringLiteral("Saved Failure !!\n") + outcome.error, QStringLiteral("Warning"));
}
