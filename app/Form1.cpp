#include "app/Form1.h"

#include "app/ChoiceList.h"
#include "app/LogView.h"
#include "app/MessageBoxes.h"
#include "app/SaveDialog.h"
#include "log/LogFile.h"
#include "protocol/SettingCodec.h"
#include "serial/PortErrors.h"
#include "serial/SerialLink.h"

#include <QCoreApplication>

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <iterator>
#include <utility>

namespace {

const QString kChoose = QStringLiteral("請選擇");
const QString kSettingTip = QStringLiteral("設置");

QFont arial(qreal points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    return font;
}

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QStringList itemsOf(const SettingCodec::ListTable &table)
{
    QStringList items;
    for (const SettingCodec::ListItem &item : table.items)
        items << toQString(item.text);
    return items;
}

ChoiceList *makeList(const SettingCodec::ListTable &table, QWidget *parent)
{
    auto *list =
        new ChoiceList(toQString(table.name), toQString(table.initialText), kChoose, parent);
    list->setFont(arial(9));
    return list;
}

QPushButton *makeButton(const QString &name, const QString &caption, const QString &toolTip,
                        qreal points, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setToolTip(toolTip);
    button->setFont(arial(points));
    // Some styles make buttons click-only; every button must be reachable by Tab.
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAccessibleName(caption);
    button->setAccessibleDescription(toolTip);
    return button;
}

QLabel *makeLabel(const QString &caption, const QString &toolTip, qreal points, QWidget *parent)
{
    auto *label = new QLabel(caption, parent);
    label->setToolTip(toolTip);
    label->setFont(arial(points));
    return label;
}

// A screen reader names a list after its label. The label's tooltip goes in
// the description: it says what the value means, while the list's own tooltip
// only asks the operator to choose.
void labelList(QLabel *label, ChoiceList *list)
{
    label->setBuddy(list);
    list->setAccessibleName(label->text());
    list->setAccessibleDescription(label->toolTip());
}

QLineEdit *makeIdBox(const QString &name, QWidget *parent)
{
    auto *box = new QLineEdit(QStringLiteral("000"), parent);
    box->setObjectName(name);
    box->setMaxLength(3);
    box->setAlignment(Qt::AlignCenter);
    box->setFont(arial(12));
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    return box;
}

// The status pictures are drawn rather than shipped so they stay sharp at
// any screen scale.
QPixmap disc(const QColor &color, qreal devicePixelRatio)
{
    const int side = qRound(16 * devicePixelRatio);
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color.darker(160), devicePixelRatio));
    painter.setBrush(color);
    painter.drawEllipse(QRectF(1, 1, side - 2, side - 2).adjusted(0.5, 0.5, -0.5, -0.5));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

} // namespace

Form1::Form1(Form1Platform platform, QWidget *parent)
    : QWidget(parent), m_platform(std::move(platform))
{
    MSComm1 = new SerialLink(std::move(m_platform.ports), this);
    m_transaction = new SettingTransaction(*MSComm1, this);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vantrel"));
    QFont windowFont(QStringLiteral("PMingLiU"));
    windowFont.setFamilies({QStringLiteral("PMingLiU"), QStringLiteral("新細明體"),
                            QStringLiteral("WenQuanYi Micro Hei")});
    windowFont.setPointSizeF(11.25);
    setFont(windowFont);
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

    const qreal dpr = devicePixelRatioF();
    imgNotConnected = new QLabel(this);
    imgNotConnected->setObjectName(QStringLiteral("imgNotConnected"));
    imgNotConnected->setToolTip(QStringLiteral("ComPort 關閉"));
    // The discs are the only sign of the port state besides the toggle's caption.
    imgNotConnected->setAccessibleName(imgNotConnected->toolTip());
    imgNotConnected->setPixmap(disc(QColor(220, 30, 30), dpr));
    imgConnected = new QLabel(this);
    imgConnected->setObjectName(QStringLiteral("imgConnected"));
    imgConnected->setToolTip(QStringLiteral("ComPort 打開"));
    imgConnected->setAccessibleName(imgConnected->toolTip());
    imgConnected->setPixmap(disc(QColor(30, 190, 50), dpr));
    // Both pictures share one place; the one in front is the one seen.
    m_status = new QStackedWidget(this);
    m_status->addWidget(imgNotConnected);
    m_status->addWidget(imgConnected);
    m_status->setFixedSize(16, 16);

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
    const QStringList titles = {QStringLiteral("General"), QStringLiteral("Advanced"),
                                QStringLiteral("Advanced 2"), QStringLiteral("Read Setting")};
    QList<QWidget *> pages;
    for (const QString &title : titles) {
        auto *page = new QWidget(SSTab1);
        page->setFont(arial(12));
        SSTab1->addTab(page, title);
        pages << page;
    }
    buildGeneralPage(pages[0]);
    buildAdvancedPage(pages[1]);
    buildAdvanced2Page(pages[2]);
    buildReadSettingPage(pages[3]);

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
    Label6 = makeLabel(QStringLiteral("V1.3.2"), QStringLiteral("V1.3.2"), 9.75, this);
    Label6->setObjectName(QStringLiteral("Label6"));
    bottom->addWidget(Command6);
    bottom->addStretch(1);
    bottom->addWidget(Label6);
    main->addLayout(bottom);
}

void Form1::buildGeneralPage(QWidget *page)
{
    auto *outer = new QVBoxLayout(page);
    auto *frame = new QGroupBox(page);
    frame->setObjectName(QStringLiteral("Frame3"));
    auto *grid = new QGridLayout(frame);
    grid->setColumnStretch(1, 1);

    struct Row
    {
        const char *caption;
        const char *toolTip;
        const SettingCodec::ListTable &table;
        ChoiceList **list;
    };
    const Row rows[] = {
        {"Baud Rate", "鮑率", SettingCodec::baudrate, &baudrate},
        {"Parity Bit", "校驗位", SettingCodec::ParityBit, &ParityBit},
        {"Data Bit", "數據位", SettingCodec::DataBit, &DataBit},
        {"Stop Bit", "停止位", SettingCodec::StopBit, &StopBit},
        {"TimeOut", "URx未收到資料的延遲時間", SettingCodec::TimeOut, &TimeOut},
        {"Data Rate", "RF傳輸率", SettingCodec::DataRate, &DataRate},
        {"RF Channel", "發射頻段", SettingCodec::RF_Channel, &RF_Channel},
        {"RF Power", "發射功率", SettingCodec::RF_Power, &RF_Power},
        {"Data Length", "RF 傳輸封包長度", SettingCodec::DataLength, &DataLength},
    };
    int r = 0;
    for (const Row &row : rows) {
        QLabel *label =
            makeLabel(QString::fromUtf8(row.caption), QString::fromUtf8(row.toolTip), 12, frame);
        *row.list = makeList(row.table, frame);
        labelList(label, *row.list);
        grid->addWidget(label, r, 0);
        grid->addWidget(*row.list, r, 1);
        ++r;
    }
    outer->addWidget(frame);
    Command2 =
        makeButton(QStringLiteral("Command2"), QStringLiteral("Setting"), kSettingTip, 12, page);
    outer->addWidget(Command2, 0, Qt::AlignRight);
    outer->addStretch(1);
}

void Form1::buildAdvancedPage(QWidget *page)
{
    auto *outer = new QVBoxLayout(page);
    auto idFrame = [page](const QString &name, const QString &title, QLineEdit *&a, QLineEdit *&b,
                          QLineEdit *&c, const QString &prefix) {
        auto *frame = new QGroupBox(title, page);
        frame->setObjectName(name);
        auto *row = new QHBoxLayout(frame);
        a = makeIdBox(prefix + QLatin1Char('1'), frame);
        b = makeIdBox(prefix + QLatin1Char('2'), frame);
        c = makeIdBox(prefix + QLatin1Char('3'), frame);
        QLabel *range = makeLabel(QStringLiteral("(0~255)"), QString(), 12, frame);
        int n = 0;
        for (QLineEdit *box : {a, b, c}) {
            // Three alike boxes: the frame title and the place tell them apart.
            box->setAccessibleName(title + QLatin1Char(' ') + QString::number(++n));
            box->setAccessibleDescription(range->text());
            row->addWidget(box);
        }
        row->addWidget(range);
        row->addStretch(1);
        return frame;
    };
    outer->addWidget(idFrame(QStringLiteral("Frame1"), QStringLiteral("Master ID"), MasterID1,
                             MasterID2, MasterID3, QStringLiteral("MasterID")));
    outer->addWidget(idFrame(QStringLiteral("Frame2"), QStringLiteral("Slave ID"), SlaveID1,
                             SlaveID2, SlaveID3, QStringLiteral("SlaveID")));

    auto *modeRow = new QHBoxLayout;
    QLabel *modeLabel =
        makeLabel(QStringLiteral("Pair Mode"), QStringLiteral("配對模式"), 12, page);
    PairMode = makeList(SettingCodec::PairMode, page);
    labelList(modeLabel, PairMode);
    modeRow->addWidget(modeLabel);
    modeRow->addWidget(PairMode, 1);
    outer->addLayout(modeRow);
    Command4 =
        makeButton(QStringLiteral("Command4"), QStringLiteral("Setting"), kSettingTip, 12, page);
    outer->addWidget(Command4, 0, Qt::AlignRight);
    outer->addStretch(1);
}

void Form1::buildAdvanced2Page(QWidget *page)
{
    auto *outer = new QVBoxLayout(page);
    auto *frame = new QGroupBox(page);
    frame->setObjectName(QStringLiteral("Frame4"));
    auto *row = new QHBoxLayout(frame);
    QLabel *label = makeLabel(QStringLiteral("Receive Timeout"),
                              QStringLiteral("RF 接收端延遲時間"), 12, frame);
    ReceiveTimeout = makeList(SettingCodec::ReceiveTimeout, frame);
    labelList(label, ReceiveTimeout);
    row->addWidget(label);
    row->addWidget(ReceiveTimeout, 1);
    outer->addWidget(frame);
    Command7 =
        makeButton(QStringLiteral("Command7"), QStringLiteral("Setting"), kSettingTip, 12, page);
    outer->addWidget(Command7, 0, Qt::AlignRight);
    outer->addStretch(1);
}

void Form1::buildReadSettingPage(QWidget *page)
{
    auto *outer = new QVBoxLayout(page);
    Text1 = new LogView(m_log, page);
    Text1->setFont(arial(12));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Read-only, yet a keyboard or screen reader user must be able to move
    // through the text; Tab must still leave it.
    Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Text1->setTabChangesFocus(true);
    Text1->setFocusPolicy(Qt::StrongFocus);
    // It has no caption of its own; the page title names it.
    Text1->setAccessibleName(SSTab1->tabText(SSTab1->indexOf(page)));
    outer->addWidget(Text1, 1);
    auto *buttons = new QHBoxLayout;
    Command5 = makeButton(QStringLiteral("Command5"), QStringLiteral("Clear Data"),
                          QStringLiteral("清除資料"), 12, page);
    CmdSave = makeButton(QStringLiteral("CmdSave"), QStringLiteral("Save as"),
                         QStringLiteral("儲存..."), 12, page);
    buttons->addWidget(Command5);
    buttons->addStretch(1);
    buttons->addWidget(CmdSave);
    outer->addLayout(buttons);
}

void Form1::setTabOrders()
{
    // One chain for the window: the top row, the tab bar, then each page in
    // reading order. Tab skips the pages not in front, so it runs from the
    // tab bar through the page in front and back round to the top row.
    QWidget *const chain[] = {
        ComPort,   Command1,       Command3,  SSTab1,     baudrate, ParityBit,  DataBit,
        StopBit,   TimeOut,        DataRate,  RF_Channel, RF_Power, DataLength, Command2,
        MasterID1, MasterID2,      MasterID3, SlaveID1,   SlaveID2, SlaveID3,   PairMode,
        Command4,  ReceiveTimeout, Command7,  Text1,      Command5, CmdSave,
    };
    for (std::size_t i = 1; i < std::size(chain); ++i)
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
    connect(Command2, &QPushButton::clicked, this, &Form1::OnGeneralSetting);
    connect(Command4, &QPushButton::clicked, this, &Form1::OnPairSetting);
    connect(Command7, &QPushButton::clicked, this, &Form1::OnReceiveTimeoutSetting);
    connect(Command5, &QPushButton::clicked, this, &Form1::OnClearData);
    connect(CmdSave, &QPushButton::clicked, this, &Form1::OnSaveAs);
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
    buildControls();
    const std::pair<ChoiceList *, const SettingCodec::ListTable *> lists[] = {
        {baudrate, &SettingCodec::baudrate},
        {ParityBit, &SettingCodec::ParityBit},
        {DataBit, &SettingCodec::DataBit},
        {StopBit, &SettingCodec::StopBit},
        {TimeOut, &SettingCodec::TimeOut},
        {DataRate, &SettingCodec::DataRate},
        {RF_Channel, &SettingCodec::RF_Channel},
        {RF_Power, &SettingCodec::RF_Power},
        {DataLength, &SettingCodec::DataLength},
        {PairMode, &SettingCodec::PairMode},
        {ReceiveTimeout, &SettingCodec::ReceiveTimeout},
    };
    for (const auto &[list, table] : lists)
        list->addItemsInOrder(itemsOf(*table));
    showConnected(false);
}

void Form1::showConnected(bool connected)
{
    m_status->setCurrentWidget(connected ? imgConnected : imgNotConnected);
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
    deliverBacklog();
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
    reportInTurn(reason, QStringLiteral("Warning"));
}

void Form1::logHeldBytes()
{
    logArrival(m_transaction->releaseHeld());
}

void Form1::runSetting(const SettingTransaction::FrameBuilder &build)
{
    // What arrived before the press is logged, and its verdict given, first.
    deliverBacklog();
    const SettingTransaction::SendOutcome outcome = m_transaction->send(build);
    logArrival(outcome.released);
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
    runSetting([this] {
        return SettingCodec::BuildGeneralFrame({
            .baudrate = baudrate->choice(),
            .dataBit = DataBit->choice(),
            .parityBit = ParityBit->choice(),
            .stopBit = StopBit->choice(),
            .timeOut = TimeOut->choice(),
            .dataRate = DataRate->choice(),
            .rfChannel = RF_Channel->choice(),
            .rfPower = RF_Power->choice(),
            .dataLength = DataLength->choice(),
        });
    });
}

void Form1::OnPairSetting()
{
    runSetting([this]() -> std::optional<SettingCodec::ConfigFrame> {
        const std::array<QByteArray, 6> texts = {
            MasterID1->text().toUtf8(), MasterID2->text().toUtf8(), MasterID3->text().toUtf8(),
            SlaveID1->text().toUtf8(),  SlaveID2->text().toUtf8(),  SlaveID3->text().toUtf8(),
        };
        auto view = [&texts](std::size_t i) {
            return std::string_view(texts[i].constData(), std::size_t(texts[i].size()));
        };
        return SettingCodec::BuildPairFrame(PairMode->choice(), {view(0), view(1), view(2)},
                                            {view(3), view(4), view(5)});
    });
}

void Form1::OnReceiveTimeoutSetting()
{
    runSetting([this] { return SettingCodec::BuildReceiveTimeoutFrame(ReceiveTimeout->choice()); });
}

void Form1::OnAckTimeout()
{
    logHeldBytes();
    reportInTurn(QStringLiteral("Setting Fail !!"), QStringLiteral("Warning"));
}

void Form1::showBox(const QString &text, const QString &title)
{
    // One box at a time: a box's event loop must not open another on top of
    // it (the operator would read the newer verdict first). While it is open,
    // what arrives and what falls due waits in the backlog, and is shown in
    // turn once the box is closed.
    ++m_boxesOpen;
    m_platform.boxes->show(text, title);
    if (--m_boxesOpen == 0)
        deliverBacklog();
}

void Form1::OnComm(const QByteArray &chunk)
{
    // Judged as it arrives, whatever box is open: an acknowledgement that
    // came before the deadline counts, even if showing it has to wait.
    bool acknowledged = false;
    const QByteArray toLog = m_transaction->takeChunk(chunk, &acknowledged);
    // The operator hears of the acknowledgement before its bytes reach the log.
    if (acknowledged)
        reportInTurn(QStringLiteral("Setting OK !!"), QStringLiteral("Notice"));
    logArrival(toLog);
}

void Form1::logArrival(QByteArrayView bytes)
{
    if (m_backlog.isEmpty() && m_boxesOpen == 0) {
        if (!bytes.isEmpty())
            AppendLog(bytes);
        return;
    }
    m_backlog.appendChunk(bytes);
}

void Form1::reportInTurn(const QString &text, const QString &title)
{
    m_backlog.appendNotice([this, text, title] { showBox(text, title); });
    // Not from inside the link's signal: a box's event loop there would
    // hold up the link's deliveries.
    scheduleBacklog();
}

void Form1::scheduleBacklog()
{
    if (std::exchange(m_backlogPosted, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_backlogPosted = false;
            deliverBacklog();
        },
        Qt::QueuedConnection);
}

void Form1::deliverBacklog()
{
    if (m_boxesOpen > 0 || m_draining)
        return;
    m_draining = true;
    while (!m_backlog.isEmpty()) {
        const ReceiveBacklog::Notice notice = m_backlog.applyUntilNotice(m_log);
        Text1->scheduleSync();
        if (notice)
            notice(); // a box: what arrives meanwhile joins the backlog
    }
    m_draining = false;
}

void Form1::AppendLog(QByteArrayView chunk)
{
    m_log.AppendLog(chunk);
    Text1->scheduleSync();
}

void Form1::OnClearData()
{
    deliverBacklog();
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
    const QString path = m_platform.saveDialog->askFileName(request);
    // What arrived while the dialog was open goes into the file too.
    deliverBacklog();
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
