#include <QDirIterator>
#include <QImage>
#include <QSet>
#include <QTest>

// The window takes every PNG under :/icons/hicolor as its icon, so the
// resource has to be linked into the window library and hold each size up to
// 128 px (the 256 px one is only installed for the desktop).
class AppIconTest : public QObject
{
    Q_OBJECT

private slots:
    void sizes_data();
    void sizes();
    void nothingElseInTheResource();

private:
    static QString path(int size)
    {
        return QStringLiteral(":/icons/hicolor/%1x%1/apps/io.github.vantrel.Vantrel.png").arg(size);
    }
    static QList<int> themeSizes() { return {16, 24, 32, 48, 64, 128}; }
};

void AppIconTest::sizes_data()
{
    QTest::addColumn<int>("size");
    for (const int size : themeSizes())
        QTest::addRow("%dpx", size) << size;
}

void AppIconTest::sizes()
{
    QFETCH(int, size);
    const QImage image(path(size));
    QVERIFY2(!image.isNull(), qPrintable(path(size)));
    QCOMPARE(image.size(), QSize(size, size));
    // Rendered without a backdrop: the rounded tile leaves its corners clear.
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(size / 2, size - size / 4)), 255);
}

void AppIconTest::nothingElseInTheResource()
{
    QSet<QString> expected;
    for (const int size : themeSizes())
        expected.insert(path(size));
    QSet<QString> found;
    QDirIterator it(QStringLiteral(":/icons"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found.insert(it.next());
    QCOMPARE(found, expected);
}

QTEST_MAIN(AppIconTest)
#include "AppIconTest.moc"
