#include "app/Form1.h"
#include "support/WindowDriver.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <cstdlib>

// The window driven from the keyboard alone, and what a screen reader is
// told about each control.
class Form1KeyboardTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void tabWalksThePageInFront_data();
    void tabWalksThePageInFront();
    void pickFromList_data();
    void pickFromList();
    void typeAnIdAfterTab();
    void spacePressesSetting_data();
    void spacePressesSetting();
    void turnPages_data();
    void turnPages();
    void logReadsByKeyboard();
    void accessibleTexts_data();
    void accessibleTexts();
    void counterIsNoStop();
    void portStateHeardAfterOpeningByKeyboard();

private:
    // The focused control, the tab bar reported as its tab control.
    [[nodiscard]] static QString focusName()
    {
        QWidget *w = QApplication::focusWidget();
        if (!w)
            return QStringLiteral("<none>");
        if (qobject_cast<QTabBar *>(w) && w->parentWidget())
            return w->parentWidget()->objectName();
        return w->objectName();
    }
    static void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget *w = QApplication::focusWidget();
        QVERIFY(w);
        QTest::keyClick(w, Qt::Key(key), modifiers);
    }
    void focusAtStartOfChain(int page);

    WindowDriver ui;
    std::shared_ptr<QList<PortEntry>> m_ports;
};

void Form1KeyboardTest::init()
{
    m_ports = absentPorts(2);
    ui.start(m_ports);
    ui.show();
}

void Form1KeyboardTest::cleanup()
{
    ui.stop();
}

void Form1KeyboardTest::focusAtStartOfChain(int page)
{
    ui.find<QTabWidget>("SSTab1")->setCurrentIndex(page);
    ui.find<QWidget>("ComPort")->setFocus(Qt::TabFocusReason);
    QCOMPARE(focusName(), QStringLiteral("ComPort"));
}

void Form1KeyboardTest::tabWalksThePageInFront_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QStringList>("pageChain");

    QTest::newRow("General") << 0
                             << QStringList{"baudrate",   "ParityBit", "DataBit",    "StopBit",
                                            "TimeOut",    "DataRate",  "RF_Channel", "RF_Power",
                                            "DataLength", "Command2"};
    QTest::newRow("Advanced") << 1
                              << QStringList{"MasterID1", "MasterID2", "MasterID3", "SlaveID1",
                                             "SlaveID2",  "SlaveID3",  "PairMode",  "Command4"};
    QTest::newRow("Advanced 2") << 2 << QStringList{"ReceiveTimeout", "Command7"};
    QTest::newRow("Read Setting") << 3 << QStringList{"Text1", "Command5", "CmdSave"};
}

void Form1KeyboardTest::tabWalksThePageInFront()
{
    QFETCH(int, page);
    QFETCH(QStringList, pageChain);
    const QStringList chain = QStringList{"ComPort", "Command1", "Command3", "SSTab1"} + pageChain;

    focusAtStartOfChain(page);
    // Twice round, so the wrap from the page's last control to the top row
    // is walked in both directions.
    QStringList forward{focusName()};
    for (qsizetype i = 0; i < 2 * chain.size(); ++i) {
        press(Qt::Key_Tab);
        forward << focusName();
    }
    QCOMPARE(forward, chain + chain + QStringList{"ComPort"});

    QStringList backward{focusName()};
    for (qsizetype i = 0; i < 2 * chain.size(); ++i) {
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        backward << focusName();
    }
    QStringList reversed = chain;
    std::reverse(reversed.begin(), reversed.end());
    reversed.prepend(reversed.takeLast()); // starts and ends at ComPort
    QCOMPARE(backward, reversed + reversed + QStringList{"ComPort"});
    // Walking does not turn the page.
    QCOMPARE(ui.find<QTabWidget>("SSTab1")->currentIndex(), page);
}

void Form1KeyboardTest::pickFromList_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("page");
    QTest::addColumn<QList<int>>("keys"); // a negative code is pressed with Alt
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("shown");

    using K = QList<int>;
    // An unpicked list opens with its first item marked, so Enter alone
    // picks it and each Down moves one further.
    QTest::newRow("Alt+Down, 3 down, Enter")
        << "baudrate" << 0
        << K{-Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return} << 3
        << " 9600 ";
    QTest::newRow("F4, down, keypad Enter")
        << "ParityBit" << 0 << K{Qt::Key_F4, Qt::Key_Down, Qt::Key_Enter} << 1 << " ODD ";
    QTest::newRow("F4, End, up, Enter")
        << "RF_Channel" << 0 << K{Qt::Key_F4, Qt::Key_End, Qt::Key_Up, Qt::Key_Return} << 14
        << " 14 ";
    QTest::newRow("F4, Escape picks nothing")
        << "DataLength" << 0 << K{Qt::Key_F4, Qt::Key_Down, Qt::Key_Escape} << -1 << " 63";
    QTest::newRow("closed list, Down twice")
        << "PairMode" << 1 << K{Qt::Key_Down, Qt::Key_Down} << 1 << " 1 To Multi ";
}

void Form1KeyboardTest::pickFromList()
{
    QFETCH(QString, list);
    QFETCH(int, page);
    QFETCH(QList<int>, keys);
    QFETCH(int, index);
    QFETCH(QString, shown);

    // Reach the list by Tab, as the operator would.
    focusAtStartOfChain(page);
    for (int i = 0; i < 20 && focusName() != list; ++i)
        press(Qt::Key_Tab);
    QCOMPARE(focusName(), list);
    auto *combo = ui.find<QComboBox>(qPrintable(list));

    for (const int key : keys) {
        // While the popup is up it takes the keys.
        QWidget *target = combo->view()->isVisible() ? combo->view() : QApplication::focusWidget();
        QTest::keyClick(target, Qt::Key(std::abs(key)), key < 0 ? Qt::AltModifier : Qt::NoModifier);
    }
    QTRY_VERIFY(!combo->view()->isVisible());
    QCOMPARE(combo->currentIndex(), index);
    QCOMPARE(combo->currentText(), shown);
    // The pick survives leaving the list, and no box came.
    press(Qt::Key_Tab);
    QCOMPARE(combo->currentIndex(), index);
    QCOMPARE(combo->currentText(), shown);
    QCOMPARE(ui.boxes.texts(), QStringList());
}

void Form1KeyboardTest::typeAnIdAfterTab()
{
    focusAtStartOfChain(1);
    for (int i = 0; i < 6; ++i)
        press(Qt::Key_Tab);
    QCOMPARE(focusName(), QStringLiteral("MasterID3"));
    // Tab selects the whole box, so typing replaces the "000".
    QTest::keyClicks(QApplication::focusWidget(), "200");
    press(Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), "1234");
    QCOMPARE(ui.find<QLineEdit>("MasterID3")->text(), QStringLiteral("200"));
    QCOMPARE(ui.find<QLineEdit>("SlaveID1")->text(), QStringLiteral("123"));
    QCOMPARE(ui.find<QLineEdit>("MasterID1")->text(), QStringLiteral("000"));
}

void Form1KeyboardTest::spacePressesSetting_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("tabs"); // from ComPort

    QTest::newRow("General") << 0 << "Command2" << 13;
    QTest::newRow("Advanced") << 1 << "Command4" << 11;
    QTest::newRow("Advanced 2") << 2 << "Command7" << 5;
}

void Form1KeyboardTest::spacePressesSetting()
{
    QFETCH(int, page);
    QFETCH(QString, button);
    QFETCH(int, tabs);

    focusAtStartOfChain(page);
    for (int i = 0; i < tabs; ++i)
        press(Qt::Key_Tab);
    QCOMPARE(focusName(), button);
    press(Qt::Key_Space);
    QCOMPARE(ui.boxes.texts(), QStringList{QStringLiteral("Please Open COM Port")});
    QCOMPARE(ui.boxes.shown[0].title, QStringLiteral("Notice"));
    // Enter is not a second way to press: the window has no default button.
    press(Qt::Key_Return);
    QCOMPARE(ui.boxes.shown.size(), 1);
}

void Form1KeyboardTest::turnPages_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("startPage");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("page");

    const int ctrl = Qt::ControlModifier;
    const int ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    QTest::newRow("tab bar, Right") << "SSTab1" << 0 << int(Qt::Key_Right) << 0 << 1;
    QTest::newRow("tab bar, Left at first page") << "SSTab1" << 0 << int(Qt::Key_Left) << 0 << 0;
    QTest::newRow("tab bar, Ctrl+Tab") << "SSTab1" << 0 << int(Qt::Key_Tab) << ctrl << 1;
    QTest::newRow("list, Ctrl+Tab") << "baudrate" << 0 << int(Qt::Key_Tab) << ctrl << 1;
    QTest::newRow("button, Ctrl+Shift+Tab")
        << "Command7" << 2 << int(Qt::Key_Backtab) << ctrlShift << 1;
    QTest::newRow("log, Ctrl+Tab wraps") << "Text1" << 3 << int(Qt::Key_Tab) << ctrl << 0;
    QTest::newRow("top row, Ctrl+Tab") << "ComPort" << 3 << int(Qt::Key_Tab) << ctrl << 0;
    QTest::newRow("top row, Ctrl+Shift+Tab wraps")
        << "Command3" << 0 << int(Qt::Key_Backtab) << ctrlShift << 3;
}

void Form1KeyboardTest::turnPages()
{
    QFETCH(QString, from);
    QFETCH(int, startPage);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, page);

    auto *tabs = ui.find<QTabWidget>("SSTab1");
    tabs->setCurrentIndex(startPage);
    QWidget *start =
        from == QLatin1String("SSTab1") ? tabs->tabBar() : ui.find<QWidget>(qPrintable(from));
    start->setFocus(Qt::TabFocusReason);
    QCOMPARE(focusName(), from);
    press(key, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(tabs->currentIndex(), page);
    // Focus is never lost on a page that went out of sight.
    QWidget *focused = QApplication::focusWidget();
    QVERIFY(focused);
    QVERIFY2(focused->isVisible(), qPrintable(focusName()));
    QCOMPARE(ui.boxes.texts(), QStringList());
}

void Form1KeyboardTest::logReadsByKeyboard()
{
    QByteArray lines;
    for (int i = 0; i < 200; ++i)
        lines += "line " + QByteArray::number(i) + "\r\n";
    ui.window()->OnComm(lines);
    auto *text1 = ui.find<QPlainTextEdit>("Text1");
    QTRY_VERIFY(text1->toPlainText().startsWith(QStringLiteral("line 0")));

    ui.find<QTabWidget>("SSTab1")->setCurrentIndex(3);
    focusAtStartOfChain(3);
    for (int i = 0; i < 4; ++i)
        press(Qt::Key_Tab);
    QCOMPARE(focusName(), QStringLiteral("Text1"));
    QScrollBar *bar = text1->verticalScrollBar();
    QTRY_COMPARE(bar->value(), bar->maximum());
    QVERIFY(bar->maximum() > 0);

    press(Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(text1->textCursor().position(), 0);
    QCOMPARE(bar->value(), 0);
    press(Qt::Key_Down);
    for (int i = 0; i < 6; ++i)
        press(Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(text1->textCursor().selectedText(), QStringLiteral("line 1"));
    press(Qt::Key_PageDown);
    QVERIFY(bar->value() > 0);
    // Reading moves nothing in the log itself.
    QVERIFY(text1->toPlainText().startsWith(QStringLiteral("line 0")));

    // Tab leaves the log instead of going into it as text.
    const QString before = text1->toPlainText();
    press(Qt::Key_Tab);
    QCOMPARE(focusName(), QStringLiteral("Command5"));
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(focusName(), QStringLiteral("Text1"));
    QCOMPARE(text1->toPlainText(), before);
}

void Form1KeyboardTest::accessibleTexts_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");

    const QString setting = QStringLiteral("設置");
    QTest::newRow("ComPort") << "ComPort"
                             << "COM Port"
                             << "串列埠";
    QTest::newRow("Command1") << "Command1"
                              << "Auto Scan"
                              << "自動掃描";
    QTest::newRow("Command3") << "Command3"
                              << "Open COM Port"
                              << "";
    QTest::newRow("imgNotConnected") << "imgNotConnected"
                                     << "ComPort 關閉"
                                     << "ComPort 關閉";
    QTest::newRow("imgConnected") << "imgConnected"
                                  << "ComPort 打開"
                                  << "ComPort 打開";
    QTest::newRow("Command6") << "Command6"
                              << "Data cnt"
                              << "";
    QTest::newRow("baudrate") << "baudrate"
                              << "Baud Rate"
                              << "鮑率";
    QTest::newRow("ParityBit") << "ParityBit"
                               << "Parity Bit"
                               << "校驗位";
    QTest::newRow("DataBit") << "DataBit"
                             << "Data Bit"
                             << "數據位";
    QTest::newRow("StopBit") << "StopBit"
                             << "Stop Bit"
                             << "停止位";
    QTest::newRow("TimeOut") << "TimeOut"
                             << "TimeOut"
                             << "URx未收到資料的延遲時間";
    QTest::newRow("DataRate") << "DataRate"
                              << "Data Rate"
                              << "RF傳輸率";
    QTest::newRow("RF_Channel") << "RF_Channel"
                                << "RF Channel"
                                << "發射頻段";
    QTest::newRow("RF_Power") << "RF_Power"
                              << "RF Power"
                              << "發射功率";
    QTest::newRow("DataLength") << "DataLength"
                                << "Data Length"
                                << "RF 傳輸封包長度";
    QTest::newRow("Command2") << "Command2"
                              << "Setting" << setting;
    QTest::newRow("MasterID1") << "MasterID1"
                               << "Master ID 1"
                               << "(0~255)";
    QTest::newRow("MasterID2") << "MasterID2"
                               << "Master ID 2"
                               << "(0~255)";
    QTest::newRow("MasterID3") << "MasterID3"
                               << "Master ID 3"
                               << "(0~255)";
    QTest::newRow("SlaveID1") << "SlaveID1"
                              << "Slave ID 1"
                              << "(0~255)";
    QTest::newRow("SlaveID2") << "SlaveID2"
                              << "Slave ID 2"
                              << "(0~255)";
    QTest::newRow("SlaveID3") << "SlaveID3"
                              << "Slave ID 3"
                              << "(0~255)";
    QTest::newRow("PairMode") << "PairMode"
                              << "Pair Mode"
                              << "配對模式";
    QTest::newRow("Command4") << "Command4"
                              << "Setting" << setting;
    QTest::newRow("ReceiveTimeout") << "ReceiveTimeout"
                                    << "Receive Timeout"
                                    << "RF 接收端延遲時間";
    QTest::newRow("Command7") << "Command7"
                              << "Setting" << setting;
    QTest::newRow("Text1") << "Text1"
                           << "Read Setting"
                           << "";
    QTest::newRow("Command5") << "Command5"
                              << "Clear Data"
                              << "清除資料";
    QTest::newRow("CmdSave") << "CmdSave"
                             << "Save as"
                             << "儲存...";
}

void Form1KeyboardTest::accessibleTexts()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QString, description);

    auto *w = ui.find<QWidget>(qPrintable(control));
    QVERIFY(w);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    QVERIFY(iface);
    QCOMPARE(iface->text(QAccessible::Description), description);
    if (!qobject_cast<QComboBox *>(w)) {
        QCOMPARE(iface->text(QAccessible::Name), name);
    } else {
        // On this platform a list reports its shown text as its name; a
        // screen reader names it through the label that points at it.
        QCOMPARE(w->accessibleName(), name);
        QStringList labels;
        const auto relations = iface->relations(QAccessible::Label);
        for (const auto &[other, relation] : relations)
            labels << other->text(QAccessible::Name);
        QCOMPARE(labels, QStringList{name});
        QLabel *label = qobject_cast<QLabel *>(relations.value(0).first->object());
        QVERIFY(label);
        QCOMPARE(label->buddy(), w);
    }
    // The captions and tooltips on screen are untouched.
    if (auto *button = qobject_cast<QPushButton *>(w))
        QCOMPARE(button->text(), name);
}

void Form1KeyboardTest::counterIsNoStop()
{
    auto *counter = ui.find<QPushButton>("Command6");
    QCOMPARE(counter->focusPolicy(), Qt::NoFocus);
    // Neither Tab (see the chains) nor a click puts focus on it, and a
    // click still does nothing.
    ui.find<QWidget>("Command1")->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(counter, Qt::LeftButton);
    QCOMPARE(focusName(), QStringLiteral("Command1"));
    QCOMPARE(ui.boxes.texts(), QStringList());

    // A screen reader hears the count it shows, not a stale caption.
    ui.window()->OnComm("abcd");
    QTRY_COMPARE(counter->text(), QStringLiteral("4"));
    QCOMPARE(QAccessible::queryAccessibleInterface(counter)->text(QAccessible::Name),
             QStringLiteral("4"));
}

void Form1KeyboardTest::portStateHeardAfterOpeningByKeyboard()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    (*m_ports)[1] = {pty.slavePath(), QString()};

    auto nameOf = [this](const char *control) {
        return QAccessible::queryAccessibleInterface(ui.find<QWidget>(control))
            ->text(QAccessible::Name);
    };
    auto shownDisc = [this]() -> QString {
        for (const char *disc : {"imgNotConnected", "imgConnected"}) {
            QAccessibleInterface *iface =
                QAccessible::queryAccessibleInterface(ui.find<QWidget>(disc));
            if (!iface->state().invisible)
                return iface->text(QAccessible::Name);
        }
        return {};
    };
    QCOMPARE(shownDisc(), QStringLiteral("ComPort 關閉"));

    // Auto Scan, pick port 2, open: Tab, Space, Shift+Tab, Down, Tab Tab, Space.
    focusAtStartOfChain(0);
    press(Qt::Key_Tab);
    press(Qt::Key_Space);
    QCOMPARE(ui.find<QComboBox>("ComPort")->count(), 1);
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    press(Qt::Key_Down);
    QCOMPARE(ui.find<QComboBox>("ComPort")->currentText(), QStringLiteral("2"));
    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    QCOMPARE(focusName(), QStringLiteral("Command3"));
    press(Qt::Key_Space);
    QCOMPARE(ui.boxes.texts(), QStringList());
    QCOMPARE(nameOf("Command3"), QStringLiteral("Close COM Port"));
    QCOMPARE(shownDisc(), QStringLiteral("ComPort 打開"));
    // The toggle keeps focus, so Space closes again.
    press(Qt::Key_Space);
    QCOMPARE(nameOf("Command3"), QStringLiteral("Open COM Port"));
    QCOMPARE(shownDisc(), QStringLiteral("ComPort 關閉"));
}

QTEST_MAIN(Form1KeyboardTest)
#include "Form1KeyboardTest.moc"
