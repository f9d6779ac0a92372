#include "app/Form1.h"
#include "support/WindowDriver.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class Form1LogTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void countFollowsAppendsAndClear();
    void settingsOfTheSaveDialog();
    void saveWritesTheLogByteForByte();
    void cancelReportsFailure();
    void unwritableTargetReportsTheReason();

private:
    QPushButton *button(const char *name) { return ui.find<QPushButton>(name); }
    QString shownLog() { return ui.find<QPlainTextEdit>("Text1")->toPlainText(); }

    WindowDriver ui;
    QTemporaryDir m_dir;
};

void Form1LogTest::init()
{
    ui.start();
}

void Form1LogTest::cleanup()
{
    ui.stop();
}

void Form1LogTest::countFollowsAppendsAndClear()
{
    QCOMPARE(button("Command6")->text(), QStringLiteral("Data cnt"));
    ui.window()->OnComm(QByteArray("AB\r\nC"));
    QTRY_COMPARE(button("Command6")->text(), QStringLiteral("5"));
    ui.window()->OnComm(QByteArray("x\ny"));
    QTRY_COMPARE(button("Command6")->text(), QStringLiteral("8"));
    // The CR of a line end is shown as nothing.
    QTRY_COMPARE(shownLog(), QStringLiteral("AB\u200B\nCxy"));

    QTest::mouseClick(button("Command5"), Qt::LeftButton);
    QCOMPARE(button("Command6")->text(), QStringLiteral("0"));
    QCOMPARE(shownLog(), QString());
    QTest::mouseClick(button("Command5"), Qt::LeftButton);
    QCOMPARE(button("Command6")->text(), QStringLiteral("0"));

    // Clicking the counter does nothing.
    QTest::mouseClick(button("Command6"), Qt::LeftButton);
    QCOMPARE(button("Command6")->text(), QStringLiteral("0"));
    QVERIFY(ui.boxes.shown.isEmpty());
}

void Form1LogTest::settingsOfTheSaveDialog()
{
    ui.save.answers = {QString(), QString()};
    QTest::mouseClick(button("CmdSave"), Qt::LeftButton);
    QTest::mouseClick(button("CmdSave"), Qt::LeftButton);
    QCOMPARE(ui.save.requests.size(), 2);
    for (const SaveRequest &request : ui.save.requests) {
        QCOMPARE(request.title, QStringLiteral("Save as"));
        QCOMPARE(request.filter, QStringLiteral("Text files(*.txt)"));
        QVERIFY(!request.folder.isEmpty());
    }
}

void Form1LogTest::saveWritesTheLogByteForByte()
{
    QByteArray received("ok\r\n");
    received.append('\0');
    received.append('\0');
    received.append("\xE9\xFF\x80 end\rnext\n");
    ui.window()->OnComm(received);
    const QString path = m_dir.filePath(QStringLiteral("log.txt"));
    ui.save.answers = {path, path};
    QTest::mouseClick(button("CmdSave"), Qt::LeftButton);
    QCOMPARE(ui.boxes.texts(), QStringList{QStringLiteral("Saved Successfully")});
    QCOMPARE(ui.boxes.shown[0].title, QStringLiteral("Notice"));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray expected("ok\r\n");
    expected.append('\0');
    expected.append('\0');
    expected.append("\xE9\xFF\x80 end\r\nnext");
    QCOMPARE(file.readAll().toHex(' '), expected.toHex(' '));
    file.close();

    // Saving again over the same file replaces it.
    QTest::mouseClick(button("Command5"), Qt::LeftButton);
    QTest::mouseClick(button("CmdSave"), Qt::LeftButton);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray());
}

void Form1LogTest::cancelReportsFailure()
{
    ui.window()->OnComm(QByteArray("data"));
    ui.save.answers = {m_dir.filePath(QStringLiteral("a.txt")), QString()};
    QTest::mouseClick(button("CmdSave"), Qt::LeftButton);
    QTest::mouseClick(button("CmdSave"), Qt::LeftButton);
    QCOMPARE(ui.boxes.texts(), (QStringList{QStringLiteral("Saved Successfully"),
                                            QStringLiteral("Saved Failure !!")}));
    QCOMPARE(ui.boxes.shown[1].title, QStringLiteral("Warning"));
    QCOMPARE(ui.boxes.shown[1].icon, MessageIcon::Information);
}

void Form1LogTest::unwritableTargetReportsTheReason()
{
    // A regular file where a folder should be: refused even for root.
    QFile blocker(m_dir.filePath(QStringLiteral("not-a-folder")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ui.window()->OnComm(QByteArray("data"));
    ui.save.answers = {m_dir.filePath(QStringLiteral("not-a-folder/log.txt"))};
    QTest::mouseClick(button("CmdSave"), Qt::LeftButton);
    QCOMPARE(ui.boxes.shown.size(), 1);
    QCOMPARE(ui.boxes.shown[0].title, QStringLiteral("Warning"));
    const QStringList lines = ui.boxes.shown[0].text.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("Saved Failure !!"));
    QVERIFY(!lines[1].trimmed().isEmpty());
}

QTEST_MAIN(Form1LogTest)
#include "Form1LogTest.moc"
