#include "app/LogView.h"
#include "log/ReceiveLog.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

namespace {

// The document's own characters, block breaks as '\n', nothing converted.
QString documentText(const LogView &view)
{
    QString raw = view.document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, u'\n');
    return raw;
}

QByteArray lines(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += "line " + QByteArray::number(i) + "\r\n";
    return text;
}

} // namespace

class LogViewTest : public QObject
{
    Q_OBJECT

private slots:
    void displayCharacter_data();
    void displayCharacter();
    void oneCharacterPerByte();
    void isAReadOnlyLog();
    void trimsBecomeFrontDeletions();
    void keepsInStepWithRandomStream();
    void clearsFollow();
    void scheduledSyncCatchesUp();
    void followsNewestText();
    void copyGivesTheReceivedText_data();
    void copyGivesTheReceivedText();
    void controlBytesCopyAsTheirMarks();
};

void LogViewTest::displayCharacter_data()
{
    using Glyphs = LogView::ControlGlyphs;
    QTest::addColumn<QByteArray>("byte");
    QTest::addColumn<Glyphs>("glyphs");
    QTest::addColumn<QString>("shown");

    const Glyphs pictures = Glyphs::Pictures;
    const Glyphs replacement = Glyphs::Replacement;
    const QString replaced(QChar(0xFFFD));
    QTest::newRow("letter") << QByteArray("A") << pictures << QStringLiteral("A");
    QTest::newRow("LF breaks the line") << QByteArray("\n") << pictures << QStringLiteral("\n");
    QTest::newRow("CR shows nothing") << QByteArray("\r") << pictures << QString(QChar(0x200B));
    QTest::newRow("tab") << QByteArray("\t") << pictures << QStringLiteral("\t");
    QTest::newRow("NUL") << QByteArray(1, '\0') << pictures << QString(QChar(0x2400));
    QTest::newRow("ESC") << QByteArray("\x1b") << pictures << QString(QChar(0x241B));
    QTest::newRow("DEL") << QByteArray("\x7f") << pictures << QString(QChar(0x2421));
    QTest::newRow("C1 control") << QByteArray("\x85") << pictures << replaced;
    QTest::newRow("Latin-1 letter") << QByteArray("\xe9") << pictures << QStringLiteral("\u00e9");
    QTest::newRow("top byte") << QByteArray("\xff") << pictures << QStringLiteral("\u00ff");
    QTest::newRow("NUL without pictures") << QByteArray(1, '\0') << replacement << replaced;
    QTest::newRow("DEL without pictures") << QByteArray("\x7f") << replacement << replaced;
    QTest::newRow("CR without pictures")
        << QByteArray("\r") << replacement << QString(QChar(0x200B));
    QTest::newRow("LF without pictures") << QByteArray("\n") << replacement << QStringLiteral("\n");
}

void LogViewTest::displayCharacter()
{
    QFETCH(QByteArray, byte);
    QFETCH(LogView::ControlGlyphs, glyphs);
    QFETCH(QString, shown);
    QCOMPARE(LogView::displayText(byte, glyphs), shown);
}

void LogViewTest::oneCharacterPerByte()
{
    // Any byte value, and CR LF in particular, must take exactly one place in
    // the document, or front trims would cut in the wrong place.
    QByteArray every;
    for (int i = 0; i < 256; ++i)
        every.append(char(i));
    ReceiveLog log;
    log.AppendLog(every + "\r\n\rx" + every);
    LogView view(log);
    view.syncNow();

    QCOMPARE(view.document()->characterCount() - 1, log.text().size());
    QCOMPARE(documentText(view), LogView::displayText(log.text(), view.controlGlyphs()));
    // CR LF is one line break, not two.
    QCOMPARE(view.document()->blockCount(), int(log.text().count('\n')) + 1);
}

void LogViewTest::isAReadOnlyLog()
{
    ReceiveLog log;
    LogView view(log);
    QCOMPARE(view.objectName(), QStringLiteral("Text1"));
    QVERIFY(view.isReadOnly());
    // An undo history would grow with every chunk even though nobody types.
    QVERIFY(!view.isUndoRedoEnabled());
    QCOMPARE(view.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

void LogViewTest::trimsBecomeFrontDeletions()
{
    ReceiveLog log;
    LogView view(log);
    log.AppendLog(lines(2000).left(15995));
    view.syncNow();

    QSignalSpy changes(view.document(), &QTextDocument::contentsChange);
    log.AppendLog("0123456789");
    QCOMPARE(log.frontPosition(), ReceiveLog::kTrimCut);
    view.syncNow();

    QCOMPARE(documentText(view), LogView::displayText(log.text(), view.controlGlyphs()));
    // Not rebuilt: the trim is one cut at the front, the chunk is added at the end.
    QCOMPARE(changes.size(), 2);
    QCOMPARE(changes.at(0), (QVariantList{0, int(ReceiveLog::kTrimCut), 0}));
    QCOMPARE(changes.at(1).at(1).toInt(), 0);
    QCOMPARE(changes.at(1).at(2).toInt(), 10);
}

void LogViewTest::keepsInStepWithRandomStream()
{
    QRandomGenerator random(7);
    ReceiveLog log;
    LogView view(log);
    for (int step = 0; step < 400; ++step) {
        QByteArray chunk(random.bounded(1025), Qt::Uninitialized);
        for (char &c : chunk)
            c = char(random.bounded(256));
        log.AppendLog(chunk);
        // Catch up after one chunk or after many: both the step-by-step path
        // and the rebuild of a view that fell far behind.
        if (random.bounded(4) == 0 || step == 399) {
            view.syncNow();
            QCOMPARE(view.document()->characterCount() - 1, log.text().size());
            if (documentText(view) != LogView::displayText(log.text(), view.controlGlyphs()))
                QFAIL(qPrintable(QStringLiteral("view differs after step %1").arg(step)));
        }
    }
}

void LogViewTest::clearsFollow()
{
    ReceiveLog log;
    LogView view(log);
    log.AppendLog("before setting\r\n");
    view.syncNow();

    // A Setting empties the log; what arrives next is all that is shown.
    log.clearText();
    log.AppendLog("after");
    view.syncNow();
    QCOMPARE(documentText(view), QStringLiteral("after"));

    log.clearData();
    view.syncNow();
    QVERIFY(view.document()->isEmpty());
}

void LogViewTest::scheduledSyncCatchesUp()
{
    ReceiveLog log;
    LogView view(log);
    QSignalSpy synced(&view, &LogView::synced);
    for (int i = 0; i < 200; ++i) {
        log.AppendLog(lines(3));
        view.scheduleSync();
    }
    // Scheduling never repaints on the spot; one turn of the event loop
    // catches up with everything.
    QVERIFY(view.document()->isEmpty());
    QVERIFY(synced.wait());
    QCOMPARE(synced.size(), 1);
    QCOMPARE(documentText(view), LogView::displayText(log.text(), view.controlGlyphs()));

    log.clearData();
    log.AppendLog("fresh");
    view.scheduleSync();
    QTRY_COMPARE(documentText(view), QStringLiteral("fresh"));
}

void LogViewTest::followsNewestText()
{
    ReceiveLog log;
    LogView view(log);
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    log.AppendLog(lines(400));
    view.syncNow();
    QScrollBar *bar = view.verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(view.textCursor().position(), view.document()->characterCount() - 1);

    // Still at the end after the operator scrolled away and a trim happened.
    bar->setValue(0);
    log.AppendLog(lines(1500));
    view.syncNow();
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(view.cursorRect().bottom() <= view.viewport()->height());
}

void LogViewTest::copyGivesTheReceivedText_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QByteArray>("laterUnsynced"); // arrives after the selection, not yet shown
    QTest::addColumn<QString>("copied");

    QTest::newRow("line ends and tab")
        << QByteArray("AB\r\nC\tD\rE\nF") << QByteArray() << QStringLiteral("AB\r\nC\tD\r\nEF");
    QTest::newRow("Latin-1 from 0x7F up") << QByteArray("\x7F\x80\x9F\xA0\xE9\xFF") << QByteArray()
                                          << QString::fromLatin1("\x7F\x80\x9F\xA0\xE9\xFF");
    // Selected, then trimmed out of the log before the view caught up.
    QTest::newRow("trimmed before the view caught up")
        << QByteArray("x\xA0y\r\n") + QByteArray(5000, '.') << QByteArray(12000, '-')
        << QString::fromLatin1("x\xA0y\r\n") + QString(5000, u'.');
}

void LogViewTest::copyGivesTheReceivedText()
{
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, laterUnsynced);
    QFETCH(QString, copied);
    ReceiveLog log;
    log.AppendLog(QByteArray(11000, 'o'));
    LogView view(log);
    log.clearText(); // as a Setting does: the count goes on, the text starts anew
    log.AppendLog(received);
    view.syncNow();

    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    log.AppendLog(laterUnsynced);
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasHtml());
}

void LogViewTest::controlBytesCopyAsTheirMarks()
{
    ReceiveLog log;
    const QByteArray controls = QByteArray::fromHex("00011b1f");
    log.AppendLog(controls);
    LogView view(log);
    view.selectAll();
    view.copy();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             LogView::displayText(controls, view.controlGlyphs()));
}

QTEST_MAIN(LogViewTest)
#include "LogViewTest.moc"
