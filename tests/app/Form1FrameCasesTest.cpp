#include "support/FrameCases.h"
#include "support/PtyPair.h"
#include "support/WindowDriver.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

// The window's half of the table vantrel-set is checked against: the same
// choices, picked on the pages, put the same frame on the line.
class Form1FrameCasesTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void sameFrameAsTheCommandLine_data();
    void sameFrameAsTheCommandLine();

private:
    WindowDriver ui;
};

void Form1FrameCasesTest::cleanup()
{
    ui.stop();
}

void Form1FrameCasesTest::sameFrameAsTheCommandLine_data()
{
    QTest::addColumn<int>("index");
    const QList<FrameCase> cases = frameCases();
    for (int i = 0; i < cases.size(); ++i)
        QTest::newRow(cases[i].name) << i;
}

void Form1FrameCasesTest::sameFrameAsTheCommandLine()
{
    QFETCH(int, index);
    const FrameCase c = frameCases().at(index);

    PtyPair pty;
    QVERIFY(pty.isValid());
    ui.start(std::make_shared<QList<PortEntry>>(QList<PortEntry>{{pty.slavePath(), QString()}}));
    for (const auto &[name, item] : c.picks) {
        auto *list = ui.find<QComboBox>(name);
        QVERIFY2(list, name);
        QVERIFY2(item < list->count(), name);
        list->setCurrentIndex(item);
    }
    if (!c.ids.isEmpty()) {
        const char *boxes[] = {"MasterID1", "MasterID2", "MasterID3",
                               "SlaveID1",  "SlaveID2",  "SlaveID3"};
        QCOMPARE(c.ids.size(), 6);
        for (int i = 0; i < 6; ++i) {
            auto *box = ui.find<QLineEdit>(boxes[i]);
            box->setText(c.ids[i]);
            // The case must be one an operator can type.
            QCOMPARE(box->text(), c.ids[i]);
        }
    }
    ui.openPort(1);

    // The page follows from the command.
    const SettingCodec::DecodedFrame command =
        SettingCodec::decodeFrame(TestBytes::configFrame(c.frame));
    const char *button = std::holds_alternative<SettingCodec::GeneralFields>(command) ? "Command2"
                         : std::holds_alternative<SettingCodec::PairFields>(command)  ? "Command4"
                                                                                      : "Command7";
    ui.click(button);
    QTRY_COMPARE(pty.received().toHex(' '), c.frame.toHex(' '));
    QCOMPARE(ui.boxes.texts(), QStringList());
}

QTEST_MAIN(Form1FrameCasesTest)
#include "Form1FrameCasesTest.moc"
