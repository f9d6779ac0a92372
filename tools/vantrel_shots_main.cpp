// vantrel-shots: renders the four pages of the real window and the station
// window into the PNG pictures of the user guide, and fails when a picture
// came out blank or the window raised a message it should not have.

#include "app/Form1.h"
#include "app/LogView.h"
#include "app/MessageBoxes.h"
#include "app/SaveDialog.h"
#include "serial/PortCatalog.h"
#include "tools/StationShots.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QSaveFile>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTimer>
#include <QtEndian>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

namespace {

struct Shown
{
    QString text;
    QString title;
};

// Records instead of opening a modal box, so nothing waits for an operator.
class SilentBoxes final : public MessageBoxes
{
public:
    void show(const QString &text, const QString &title, MessageIcon) override
    {
        shown.append({text, title});
    }
    QList<Shown> shown;
};

// Never asked: no picture presses "Save as". Cancels if it ever is.
class CancelledSave final : public SaveDialog
{
public:
    [[nodiscard]] QString askFileName(const SaveRequest &) override { return {}; }
};

// The pictures must not show the ports of the machine they were made on.
struct Page
{
    int index;
    const char *file;
};

constexpr Page kPages[] = {
    {0, "page-general.png"},
    {1, "page-advanced.png"},
    {2, "page-advanced-2.png"},
    {3, "page-read-setting.png"},
};

// What a dongle might print after a reset.
constexpr char kReceived[] = "RF module ready\r\n"
                             "CH=10 RATE=10k PWR=17dBm\r\n"
                             "UART 9600 8N1 TIMEOUT=10ms LEN=63\r\n";

void fail(const QString &message)
{
    std::fprintf(stderr, "vantrel-shots: %s\n", qPrintable(message));
}

[[nodiscard]] bool isBlank(const QImage &image)
{
    if (image.isNull())
        return true;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb first = argb.pixel(0, 0);
    for (int y = 0; y < argb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (line[x] != first)
                return false;
        }
    }
    return true;
}

// Drops the chunks that could make two renderings of the same window differ
// (text and time stamps), keeping everything that describes the picture.
[[nodiscard]] QByteArray withoutVaryingChunks(const QByteArray &png)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    if (!png.startsWith(signature))
        return {};
    QByteArray out = signature;
    qsizetype at = signature.size();
    while (at + 12 <= png.size()) {
        const quint32 length = qFromBigEndian<quint32>(png.constData() + at);
        if (length > quint32(png.size() - at - 12))
            return {};
        const QByteArray type = png.mid(at + 4, 4);
        const qsizetype whole = 12 + qsizetype(length);
        if (type != "tEXt" && type != "zTXt" && type != "iTXt" && type != "tIME")
            out += png.mid(at, whole);
        at += whole;
        if (type == "IEND")
            return out;
    }
    return {};
}

} // namespace

// Also the station window's pictures (StationShots.cpp) are written by it.
bool writePng(const QImage &image, const QString &path)
{
    QByteArray encoded;
    {
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG")) {
            fail(QStringLiteral("cannot encode %1").arg(path));
            return false;
        }
    }
    const QByteArray png = withoutVaryingChunks(encoded);
    if (png.isEmpty()) {
        fail(QStringLiteral("the encoder wrote no well-formed PNG for %1").arg(path));
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit()) {
        fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

namespace {

// A control the pictures rely on is missing: say which rather than show a
// page that silently lacks its example values.
template <typename T> [[nodiscard]] T *control(Form1 &window, const char *name)
{
    auto *found = window.findChild<T *>(QLatin1String(name));
    if (!found)
        fail(QStringLiteral("the window has no control named %1").arg(QLatin1String(name)));
    return found;
}

// Choices an operator might have made, so the pictures show picked values
// next to lists left at their initial text, and a log with some text in it.
[[nodiscard]] bool fillIn(Form1 &window)
{
    const std::pair<const char *, int> picks[] = {
        {"baudrate", 4},       // 19200
        {"RF_Channel", 3},     // 3
        {"RF_Power", 1},       // 10 dBm
        {"PairMode", 1},       // 1 To Multi
        {"ReceiveTimeout", 3}, // 100 ms
    };
    for (const auto &[name, index] : picks) {
        auto *list = control<QComboBox>(window, name);
        if (!list || index >= list->count())
            return false;
        list->setCurrentIndex(index);
    }
    const std::pair<const char *, const char *> ids[] = {
        {"MasterID1", "001"}, {"MasterID2", "002"}, {"MasterID3", "003"},
        {"SlaveID1", "010"},  {"SlaveID2", "020"},  {"SlaveID3", "030"},
    };
    for (const auto &[name, text] : ids) {
        auto *box = control<QLineEdit>(window, name);
        if (!box)
            return false;
        box->setText(QLatin1String(text));
    }
    auto *log = control<LogView>(window, "Text1");
    if (!log)
        return false;
    window.OnComm(QByteArray(kReceived));
    // The log view and its counter catch up now rather than on a later turn
    // of the event loop.
    log->syncNow();
    return true;
}

// One picture per page, or an empty list when any page cannot be used.
[[nodiscard]] QList<QImage> shoot(Form1 &window)
{
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    if (!tabs || tabs->count() != int(std::size(kPages))) {
        fail(QStringLiteral("the window has no four-page tab control"));
        return {};
    }
    QList<QImage> images;
    bool ok = true;
    for (const Page &page : kPages) {
        tabs->setCurrentIndex(page.index);
        // A focused list would show its blinking text cursor in some
        // pictures and not in others.
        if (QWidget *focus = QApplication::focusWidget())
            focus->clearFocus();
        const QPixmap pixmap = window.grab();
        if (pixmap.devicePixelRatio() != 1.0) {
            fail(QStringLiteral("%1: the screen scales by %2; run on the offscreen platform")
                     .arg(QLatin1String(page.file))
                     .arg(pixmap.devicePixelRatio()));
            ok = false;
        } else if (isBlank(pixmap.toImage())) {
            fail(QStringLiteral("%1: the page came out blank").arg(QLatin1String(page.file)));
            ok = false;
        }
        images.append(pixmap.toImage());
    }
    return ok ? images : QList<QImage>();
}

[[nodiscard]] bool writeAll(const QList<QImage> &images, const QDir &folder)
{
    for (qsizetype i = 0; i < images.size(); ++i) {
        const QString path = folder.filePath(QLatin1String(kPages[i].file));
        if (!writePng(images[i], path))
            return false;
        std::printf("%s (%dx%d)\n", qPrintable(path), images[i].width(), images[i].height());
    }
    return true;
}

[[nodiscard]] QString describe(const QList<Shown> &boxes)
{
    QStringList parts;
    for (const Shown &box : boxes)
        parts << QStringLiteral("\"%1\" (%2)").arg(box.text, box.title);
    return parts.join(QStringLiteral(", "));
}

struct Options
{
    QDir folder;
    QList<StationShot> stationShots;
};

// The station window's pictures, in the language and type size asked.
QList<StationShot> stationShots(const QCommandLineParser &parser)
{
    QList<StationShot> shots{
        {QStringLiteral("station-run.png")},
        {QStringLiteral("station-setup.png"), StationShot::Page::Setup},
        {QStringLiteral("station-lot-summary.png"), StationShot::Page::LotSummary}};
    for (StationShot &shot : shots) {
        shot.language = parser.value(QStringLiteral("station-language"));
        shot.typePercent = parser.value(QStringLiteral("station-type")).toInt();
    }
    return shots;
}

// The output folder of the command line, made if needed, and the pictures
// asked for; empty on failure.
std::optional<Options> readOptions(const QApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Renders the four pages of the Vantrel window into page-*.png files."));
    parser.addHelpOption();
    parser.addPositionalArgument(
        QStringLiteral("folder"),
        QStringLiteral("Where to write the pictures (created if needed)."));
    parser.addOption({QStringLiteral("station-language"),
                      QStringLiteral("The station window's language: en or zh_CN [en]."),
                      QStringLiteral("LANGUAGE"), QStringLiteral("en")});
    parser.addOption({QStringLiteral("station-type"),
                      QStringLiteral("The station window's type size in percent [100]."),
                      QStringLiteral("PERCENT"), QStringLiteral("100")});
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        fail(QStringLiteral("give one output folder, e.g. docs/images"));
        return std::nullopt;
    }
    const QDir folder(parser.positionalArguments().constFirst());
    if (!QDir().mkpath(folder.path())) {
        fail(QStringLiteral("cannot create %1").arg(folder.path()));
        return std::nullopt;
    }
    return Options{folder, stationShots(parser)};
}

} // namespace

int main(int argc, char *argv[])
{
    // The same pixels on every machine: no display, no desktop scaling.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vantrel-shots"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    const std::optional<Options> options = readOptions(app);
    if (!options)
        return EXIT_FAILURE;

    SilentBoxes boxes;
    CancelledSave save;
    Form1Platform platform;
    platform.boxes = &boxes;
    platform.saveDialog = &save;
    platform.ports = std::make_unique<FixedPortCatalog>();
    Form1 window(std::move(platform));

    // The window's own start-up notice is the one box it may show.
    if (boxes.shown.size() != 1 || boxes.shown.constFirst().title != QLatin1String("Notice")) {
        fail(QStringLiteral("expected one start-up notice, the window showed: %1")
                 .arg(describe(boxes.shown)));
        return EXIT_FAILURE;
    }
    boxes.shown.clear();

    if (!fillIn(window))
        return EXIT_FAILURE;
    // The size the window opens at, the same for every page.
    window.setFixedSize(window.size());
    window.show();
    // Grab once the window has been laid out and shown by the event loop.
    // Nothing is written unless every page is usable and no message came:
    // a failed run leaves the pictures as they were.
    QTimer::singleShot(0, &window, [&window, &boxes, &options] {
        const QList<QImage> images = shoot(window);
        if (!boxes.shown.isEmpty()) {
            fail(QStringLiteral("the window showed a message: %1").arg(describe(boxes.shown)));
            QCoreApplication::exit(EXIT_FAILURE);
            return;
        }
        if (images.isEmpty() || !writeAll(images, options->folder)) {
            QCoreApplication::exit(EXIT_FAILURE);
            return;
        }
        shootStation(options->folder, options->stationShots,
                     [](bool ok) { QCoreApplication::exit(ok ? EXIT_SUCCESS : EXIT_FAILURE); });
    });
    return QApplication::exec();
}
