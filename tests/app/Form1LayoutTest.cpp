#include "app/Form1.h"
#include "support/WindowDriver.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

class Form1LayoutTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void startUpNoticeComesFirst();
    void lists_data();
    void lists();
    void buttons_data();
    void buttons();
    void labels_data();
    void labels();
    void pagesInOrder();
    void idBoxes();
    void typedTextNeverPicksSilently();
    void settingWithPortClosed_data();
    void settingWithPortClosed();

private:
    WindowDriver ui;
    int m_itemsAtNotice = -1;
    bool m_visibleAtNotice = true;
};

void Form1LayoutTest::initTestCase()
{
    ui.start();
    ui.show();
}

void Form1LayoutTest::cleanupTestCase()
{
    ui.stop();
}

void Form1LayoutTest::startUpNoticeComesFirst()
{
    RecordingBoxes boxes;
    boxes.whileOpen = [this](const RecordingBoxes::Shown &) {
        // The notice is up before any list is filled and before the window shows.
        m_itemsAtNotice = -1;
        const auto widgets = QApplication::topLevelWidgets();
        for (QWidget *w : widgets) {
            if (!qobject_cast<Form1 *>(w) || w == ui.window())
                continue;
            m_itemsAtNotice = 0;
            for (const QComboBox *list : w->findChildren<QComboBox *>())
                m_itemsAtNotice += list->count();
            m_visibleAtNotice = w->isVisible();
        }
    };
    Form1 window(testPlatform(boxes, ui.save));
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].text, QStringLiteral("Please Reset RS232 Brennix Dongle"));
    QCOMPARE(boxes.shown[0].title, QStringLiteral("Notice"));
    QCOMPARE(boxes.shown[0].icon, MessageIcon::Information);
    QCOMPARE(m_itemsAtNotice, 0);
    QCOMPARE(m_visibleAtNotice, false);
    QCOMPARE(window.findChild<QComboBox *>("baudrate")->count(), 10);
}

void Form1LayoutTest::lists_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("initialText");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("ComPort") << "ComPort"
                             << "Select..." << QStringList{};
    QTest::newRow("baudrate") << "baudrate"
                              << " 9600"
                              << QStringList{" 1200 ",   " 2400 ",  " 4800 ",  " 9600 ",
                                             " 19200 ",  " 38400 ", " 57600 ", " 115200 ",
                                             " 250000 ", " 256000 "};
    QTest::newRow("ParityBit") << "ParityBit"
                               << " NONE" << QStringList{" NONE ", " ODD ", " EVEN "};
    QTest::newRow("DataBit") << "DataBit"
                             << " 8" << QStringList{" 8 ", " 7 ", " 6 "};
    QTest::newRow("StopBit") << "StopBit"
                             << " 1" << QStringList{" 1 ", " 2 "};
    QTest::newRow("TimeOut") << "TimeOut"
                             << " 10 ms" << QStringList{" 2 ms ",   " 10 ms ",  " 100 ms ",
                                                        " 300 ms ", " 600 ms ", " 1000 ms "};
    QTest::newRow("DataRate") << "DataRate"
                              << " 10k"
                              << QStringList{" 250k ", " 100k ", " 50k ", " 10k ", " 2k "};
    QStringList channels;
    for (int i = 0; i < 16; ++i)
        channels << QStringLiteral(" %1 ").arg(i);
    QTest::newRow("RF_Channel") << "RF_Channel"
                                << " 10" << channels;
    QTest::newRow("RF_Power") << "RF_Power"
                              << " 17 dBm"
                              << QStringList{" 17 dBm ", " 10 dBm ", " 0 dBm ", " -8 dBm "};
    QTest::newRow("DataLength") << "DataLength"
                                << " 63"
                                << QStringList{" 13 ", " 18 ", " 23 ", " 28 ", " 33 ", " 38 ",
                                               " 43 ", " 48 ", " 53 ", " 58 ", " 63 "};
    QTest::newRow("PairMode") << "PairMode"
                              << "1 To 1" << QStringList{" 1 To 1 ", " 1 To Multi "};
    QTest::newRow("ReceiveTimeout")
        << "ReceiveTimeout"
        << " 300 ms" << QStringList{" 10 ms ",  " 30 ms ",  " 50 ms ",  " 100 ms ",
                                    " 150 ms ", " 300 ms ", " 600 ms ", " 1000 ms "};
}

void Form1LayoutTest::lists()
{
    QFETCH(QString, name);
    QFETCH(QString, initialText);
    QFETCH(QStringList, items);

    auto *list = ui.find<QComboBox>(name);
    QVERIFY(list);
    QCOMPARE(list->toolTip(), QStringLiteral("請選擇"));
    QVERIFY(list->isEditable());
    QCOMPARE(list->currentIndex(), -1);
    QCOMPARE(list->currentText(), initialText);
    QStringList got;
    for (int i = 0; i < list->count(); ++i)
        got << list->itemText(i);
    QCOMPARE(got, items);
}

void Form1LayoutTest::buttons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");

    QTest::newRow("Command1") << "Command1"
                              << "Auto Scan"
                              << "自動掃描";
    QTest::newRow("Command3") << "Command3"
                              << "Open COM Port"
                              << "";
    QTest::newRow("Command2") << "Command2"
                              << "Setting"
                              << "設置";
    QTest::newRow("Command4") << "Command4"
                              << "Setting"
                              << "設置";
    QTest::newRow("Command7") << "Command7"
                              << "Setting"
                              << "設置";
    QTest::newRow("Command5") << "Command5"
                              << "Clear Data"
                              << "清除資料";
    QTest::newRow("CmdSave") << "CmdSave"
                             << "Save as"
                             << "儲存...";
    QTest::newRow("Command6") << "Command6"
                              << "Data cnt"
                              << "";
}

void Form1LayoutTest::buttons()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, toolTip);
    auto *button = ui.find<QPushButton>(name);
    QVERIFY(button);
    QCOMPARE(button->text(), caption);
    QCOMPARE(button->toolTip(), toolTip);
}

void Form1LayoutTest::labels_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");

    QTest::newRow("COM Port") << "COM Port"
                              << "串列埠";
    QTest::newRow("V1.3.2") << "V1.3.2"
                            << "V1.3.2";
    QTest::newRow("Baud Rate") << "Baud Rate"
                               << "鮑率";
    QTest::newRow("Parity Bit") << "Parity Bit"
                                << "校驗位";
    QTest::newRow("Data Bit") << "Data Bit"
                              << "數據位";
    QTest::newRow("Stop Bit") << "Stop Bit"
                              << "停止位";
    QTest::newRow("TimeOut") << "TimeOut"
                             << "URx未收到資料的延遲時間";
    QTest::newRow("Data Rate") << "Data Rate"
                               << "RF傳輸率";
    QTest::newRow("RF Channel") << "RF Channel"
                                << "發射頻段";
    QTest::newRow("RF Power") << "RF Power"
                              << "發射功率";
    QTest::newRow("Data Length") << "Data Length"
                                 << "RF 傳輸封包長度";
    QTest::newRow("Pair Mode") << "Pair Mode"
                               << "配對模式";
    QTest::newRow("Receive Timeout") << "Receive Timeout"
                                     << "RF 接收端延遲時間";
}

void Form1LayoutTest::labels()
{
    QFETCH(QString, caption);
    QFETCH(QString, toolTip);
    int found = 0;
    for (QLabel *label : ui.window()->findChildren<QLabel *>()) {
        if (label->text() == caption) {
            ++found;
            QCOMPARE(label->toolTip(), toolTip);
        }
    }
    QCOMPARE(found, 1);
}

void Form1LayoutTest::pagesInOrder()
{
    auto *tabs = ui.find<QTabWidget>("SSTab1");
    QVERIFY(tabs);
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    QCOMPARE(titles, (QStringList{"General", "Advanced", "Advanced 2", "Read Setting"}));
    QCOMPARE(ui.window()->windowTitle(), QStringLiteral("Vantrel"));

    // Each control sits on its own page.
    auto pageOf = [&](const char *name) {
        QWidget *w = ui.find<QWidget>(name);
        while (w && tabs->indexOf(w) < 0)
            w = w->parentWidget();
        return w ? tabs->indexOf(w) : -1;
    };
    QCOMPARE(pageOf("Command2"), 0);
    QCOMPARE(pageOf("DataLength"), 0);
    QCOMPARE(pageOf("SlaveID3"), 1);
    QCOMPARE(pageOf("Command4"), 1);
    QCOMPARE(pageOf("ReceiveTimeout"), 2);
    QCOMPARE(pageOf("Command7"), 2);
    QCOMPARE(pageOf("Text1"), 3);
    QCOMPARE(pageOf("CmdSave"), 3);
    QCOMPARE(pageOf("Command6"), -1);

    // The counter must be in sight at the window's starting size.
    auto *counter = ui.find<QWidget>("Command6");
    const QRect inWindow(counter->mapTo(ui.window(), QPoint(0, 0)), counter->size());
    QVERIFY(ui.window()->rect().contains(inWindow));

    QVERIFY(ui.find<QLabel>("imgNotConnected")->isVisible());
    QVERIFY(!ui.find<QLabel>("imgConnected")->isVisible());
    QCOMPARE(ui.find<QLabel>("imgNotConnected")->toolTip(), QStringLiteral("ComPort 關閉"));
    QCOMPARE(ui.find<QLabel>("imgConnected")->toolTip(), QStringLiteral("ComPort 打開"));
    auto *text1 = ui.find<QPlainTextEdit>("Text1");
    QVERIFY(text1->isReadOnly());
    QVERIFY(text1->toPlainText().isEmpty());
}

void Form1LayoutTest::idBoxes()
{
    for (const char *name :
         {"MasterID1", "MasterID2", "MasterID3", "SlaveID1", "SlaveID2", "SlaveID3"}) {
        auto *box = ui.find<QLineEdit>(name);
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("000"));
        QCOMPARE(box->maxLength(), 3);
        QCOMPARE(box->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
        box->selectAll();
        QTest::keyClicks(box, "12345");
        QCOMPARE(box->text(), QStringLiteral("123"));
    }
}

// The frame is built from the picked index only, so the shown text must
// not claim a choice that is not the one sent.
void Form1LayoutTest::typedTextNeverPicksSilently()
{
    auto *list = ui.find<QComboBox>("baudrate");
    list->setFocus();
    list->setCurrentIndex(3);
    QCOMPARE(list->currentText(), QStringLiteral(" 9600 "));

    list->lineEdit()->selectAll();
    QTest::keyClicks(list->lineEdit(), "115200");
    QCOMPARE(list->currentIndex(), 7);

    list->lineEdit()->selectAll();
    QTest::keyClicks(list->lineEdit(), "777");
    QCOMPARE(list->currentIndex(), -1);
    QCOMPARE(list->currentText(), QStringLiteral("777"));
    ui.find<QLineEdit>("MasterID1")->setFocus();
    QTRY_COMPARE(list->currentText(), QStringLiteral(" 9600"));
    QCOMPARE(list->currentIndex(), -1);
    QCOMPARE(list->count(), 10);
}

void Form1LayoutTest::settingWithPortClosed_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("General") << "Command2";
    QTest::newRow("Advanced") << "Command4";
    QTest::newRow("Advanced 2") << "Command7";
}

void Form1LayoutTest::settingWithPortClosed()
{
    QFETCH(QString, button);
    // Even with an ID out of range, the closed port is what the operator hears about.
    ui.find<QLineEdit>("MasterID1")->setText(QStringLiteral("999"));
    ui.boxes.shown.clear();
    QTest::mouseClick(ui.find<QPushButton>(button), Qt::LeftButton);
    QCOMPARE(ui.boxes.texts(), QStringList{QStringLiteral("Please Open COM Port")});
    QCOMPARE(ui.boxes.shown[0].title, QStringLiteral("Notice"));
    ui.find<QLineEdit>("MasterID1")->setText(QStringLiteral("000"));
}

QTEST_MAIN(Form1LayoutTest)
#include "Form1LayoutTest.moc"
