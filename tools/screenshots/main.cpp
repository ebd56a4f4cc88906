// Renders the client's windows, pages, dialogs and widgets in the normal and the dark
// colour mode to PNG files:
//   korva_screenshots [--language=CODE] [--screen] [output folder [group ...]]
// (default: English, ./widget-screenshots, every group). CODE is one of the sixteen
// translations (de, ru, hu, ja, ...): every picture shows that language's texts.
// With --screen, on an X server (QT_QPA_PLATFORM=xcb), every window is also read back from
// the server once shown, as <name>-<mode>-screen.png, and compared with what the window
// paints: the program names each window the screen shows otherwise and then exits with 1.
// Each area registers its group of pictures in a shots_<area>.cpp file of this folder.
// Runs on any Qt platform; QT_QPA_PLATFORM=offscreen needs no display. The system
// context starts with the program: it writes its log folder into the working folder and
// makes its data folder under $HOME, so run it from a scratch folder, e.g.
//   cd "$(mktemp -d)" && HOME=$PWD QT_QPA_PLATFORM=offscreen .../korva_screenshots
#include "Shots.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QScreen>
#include <QStringList>
#include <QThread>
#include <QTranslator>
#include <QVBoxLayout>
#include <QVector>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <xcb/xcb.h>

#include "AppContext.h"
#include "KorvaResourcePaths.h"
#include "KorvaResources.h"
#include "NetworkAdapters.h"
#include "PixelFont.h"
#include "SystemContext.h"
#include "ZRToastDialog.h"

namespace shots {

std::vector<Entry>& groups() {
    static std::vector<Entry> all;
    return all;
}

Registrar::Registrar(const char* name, Group group) {
    groups().push_back({name, group});
}

namespace {
// The language the program was asked for, and the translator that shows texts now.
QString programLanguage = QStringLiteral("en");
QTranslator* shownTranslator = nullptr;
} // namespace

bool showLanguage(const QString& code) {
    const QString shown = code.isEmpty() ? programLanguage : code;
    auto* next = new QTranslator(qApp);
    if (!next->load(QStringLiteral(KORVA_TRANSLATION_PREFIX) + shown,
                    QStringLiteral(KORVA_TRANSLATION_DIR))) {
        std::fprintf(stderr, "no translation %s\n", qPrintable(shown));
        delete next;
        return false;
    }
    if (shownTranslator != nullptr) {
        QApplication::removeTranslator(shownTranslator);
        delete shownTranslator;
    }
    shownTranslator = next;
    QApplication::installTranslator(shownTranslator);
    return true;
}

void settle() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
}

namespace {

bool screenToo = false;
ScreenPicture lastScreen;

// A channel that differs by more than this counts as a different pixel.
constexpr int kChannelTolerance = 8;
// How long a window may take to reach the screen as it paints: generous, as a busy machine
// takes seconds (the read-back ends as soon as the screen shows it).
constexpr int kReadBackMs = 30000;

void countDifferences(const QImage& painted, const QImage& shown, ScreenPicture* shot) {
    shot->compared = 0;
    shot->differing = 0;
    const QImage a = painted.convertToFormat(QImage::Format_ARGB32);
    const QImage b = shown.convertToFormat(QImage::Format_RGB32);
    if (a.size() != b.size()) {
        return;
    }
    for (int y = 0; y < a.height(); ++y) {
        const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (qAlpha(pa[x]) != 255) {
                continue;
            }
            ++shot->compared;
            if (std::abs(qRed(pa[x]) - qRed(pb[x])) > kChannelTolerance ||
                std::abs(qGreen(pa[x]) - qGreen(pb[x])) > kChannelTolerance ||
                std::abs(qBlue(pa[x]) - qBlue(pb[x])) > kChannelTolerance) {
                ++shot->differing;
            }
        }
    }
}

// A connection to the X server of the program's own, opened once, beside Qt's.
xcb_connection_t* server() {
    static xcb_connection_t* const connection = [] {
        xcb_connection_t* opened = xcb_connect(nullptr, nullptr);
        return opened != nullptr && xcb_connection_has_error(opened) == 0 ? opened : nullptr;
    }();
    return connection;
}

// The window's place in the stack of the root window's children (a window manager's frame
// stands for the window it holds); -1 when unknown. Higher lies above.
int stackPlace(QWidget* window) {
    xcb_connection_t* connection = server();
    if (connection == nullptr) {
        return -1;
    }
    xcb_window_t current = static_cast<xcb_window_t>(window->winId());
    xcb_window_t root = XCB_WINDOW_NONE;
    for (int depth = 0; depth < 8; ++depth) {
        xcb_query_tree_reply_t* reply =
            xcb_query_tree_reply(connection, xcb_query_tree(connection, current), nullptr);
        if (reply == nullptr) {
            return -1;
        }
        root = reply->root;
        const xcb_window_t parent = reply->parent;
        std::free(reply);
        if (parent == root) {
            break;
        }
        current = parent;
    }
    xcb_query_tree_reply_t* tree =
        xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr);
    if (tree == nullptr) {
        return -1;
    }
    const xcb_window_t* children = xcb_query_tree_children(tree);
    int place = -1;
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
        if (children[i] == current) {
            place = i;
        }
    }
    std::free(tree);
    return place;
}

// Whether the X server shows the window (mapped, with every ancestor mapped): a window that
// Qt still counts as visible may already be off the screen there.
bool viewableOnServer(QWidget* window) {
    xcb_connection_t* connection = server();
    if (connection == nullptr) {
        return false;
    }
    xcb_get_window_attributes_reply_t* reply = xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, static_cast<xcb_window_t>(window->winId())),
        nullptr);
    if (reply == nullptr) {
        return false;
    }
    const bool viewable = reply->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(reply);
    return viewable;
}

// The window's top-left corner on the screen as the X server has it: a window manager
// places and frames windows, and Qt's own idea of a window's place can lag behind.
bool serverOrigin(QWidget* window, QPoint* origin) {
    xcb_connection_t* connection = server();
    if (connection == nullptr) {
        return false;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(
        connection,
        xcb_translate_coordinates(connection, static_cast<xcb_window_t>(window->winId()), root, 0, 0),
        nullptr);
    if (reply == nullptr) {
        return false;
    }
    *origin = QPoint(reply->dst_x, reply->dst_y);
    std::free(reply);
    return true;
}

// Reads the shown window back from the X server once the screen shows what it paints
// (painting reaches the server a little later, later still on a busy machine with a
// compositing manager between), at most kReadBackMs.
ScreenPicture readBack(QWidget* widget) {
    ScreenPicture shot;
    shot.taken = true;
    if (!widget->isWindow()) {
        shot.notTaken = QStringLiteral("not a window of its own");
        return shot;
    }
    QElapsedTimer clock;
    clock.start();
    while ((widget->windowHandle() == nullptr || !widget->windowHandle()->isExposed()) &&
           clock.elapsed() < kReadBackMs) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    do {
        settle();
        // The window's place is taken anew at each try as well: a window manager may move a
        // window after it is first shown (later still on a busy machine), and the place read
        // before would show what lies beside it.
        QPoint origin;
        if (!serverOrigin(widget, &origin) || screen == nullptr) {
            shot.notTaken = QStringLiteral("no place on the screen");
            return shot;
        }
        const QRect place(origin, widget->size());
        if (!screen->geometry().contains(place)) {
            shot.notTaken = QStringLiteral("larger than the screen");
            return shot;
        }
        // Where another window of the program lies above this one (the spinner over the home
        // page), the screen rightly shows that window: those places are not compared. The
        // stack and the window's own painting are taken anew at each try: a window manager
        // may still restack the windows, or make this one active (a selection, a focus frame
        // then change their colours), while the screen is read.
        QVector<QRect> covered;
        shot.coveredBy.clear();
        const int ownPlace = stackPlace(widget);
        for (QWidget* other : QApplication::topLevelWidgets()) {
            QPoint otherOrigin;
            if (other != widget && other->isVisible() && viewableOnServer(other) &&
                stackPlace(other) > ownPlace && serverOrigin(other, &otherOrigin)) {
                covered << QRect(otherOrigin, other->size()).intersected(place).translated(-place.topLeft());
                shot.coveredBy =
                    QStringLiteral("%1 \"%2\"")
                        .arg(QLatin1String(other->metaObject()->className()), other->objectName());
            }
        }
        QImage painted = widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        for (const QRect& over : covered) {
            for (int y = over.top(); y <= over.bottom(); ++y) {
                for (int x = over.left(); x <= over.right(); ++x) {
                    painted.setPixel(x, y, qRgba(0, 0, 0, 0));
                }
            }
        }
        shot.image = screen->grabWindow(0, place.x(), place.y(), place.width(), place.height()).toImage();
        countDifferences(painted, shot.image, &shot);
        if (shot.same()) {
            break;
        }
        QThread::msleep(20);
    } while (clock.elapsed() < kReadBackMs);
    return shot;
}

} // namespace

bool readScreenToo() {
    screenToo = QGuiApplication::platformName() == QLatin1String("xcb");
    return screenToo;
}

ScreenPicture takeScreenPicture() {
    ScreenPicture shot = lastScreen;
    lastScreen = ScreenPicture();
    return shot;
}

QImage picture(QWidget* widget, const QColor& background, int margin, int scale) {
    widget->show();
    settle();
    if (screenToo) {
        lastScreen = readBack(widget);
    }
    QImage image((widget->size() + QSize(2 * margin, 2 * margin)) * scale, QImage::Format_ARGB32);
    image.fill(background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    widget->render(&painter, QPoint(margin, margin), QRegion(), QWidget::DrawChildren);
    painter.end();
    return image;
}

QWidget* card(const Mode& mode, QWidget* content, int width) {
    auto* host = new QWidget;
    host->setAttribute(Qt::WA_DeleteOnClose);
    host->setAutoFillBackground(true);
    QPalette palette = host->palette();
    palette.setColor(QPalette::Window, mode.card);
    host->setPalette(palette);
    auto* layout = new QVBoxLayout(host);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(content);
    host->setFixedWidth(width);
    return host;
}

ScratchStore::ScratchStore() {
    AppContext* app = SystemContext::Instance()->GetAppContext();
    if (app->IsStarted() != 0) {
        app->Stop();
    }
    SetNetworkAdapterSource([] {
        NetworkAdapter tap;
        tap.name = "tap0";
        tap.description = "TAP-Windows Adapter V9";
        return std::vector<NetworkAdapter>{tap};
    });
    isStarted = folder.isValid() && app->SetDataPath(qPrintable(folder.path() + QLatin1Char('/'))) == 0 &&
                app->Start() == 0;
    if (!isStarted) {
        std::fprintf(stderr, "no profile store for the pictures\n");
    }
}

ScratchStore::~ScratchStore() {
    AppContext* app = SystemContext::Instance()->GetAppContext();
    app->SetConnectStatus(CONNECT_STATUS_NOT_CONNECTED);
    app->Stop();
    SetNetworkAdapterSource(nullptr);
}

} // namespace shots

namespace {

const shots::Mode kModes[] = {
    {1, "normal", KORVA_STYLESHEET_NORMAL, QColor("#F5F7FA"), QColor("#FFFFFF"),
     ".QWidget{     border-radius:5px;     background-color: #E5F3FF;}",
     "QLabel{     padding-left: 16px;     padding-right: 16px;     color: rgba(0,0,0,0.80);     font: "
     "11pt;}"},
    {2, "dark", KORVA_STYLESHEET_DARK, QColor("#0A1526"), QColor("#1B2535"),
     ".QWidget{     border-radius:5px;     background-color: #262F3E;}",
     "QLabel{     padding-left: 16px;     padding-right: 16px;     color: rgba(255,255,255,0.80);     "
     "font: 11pt;}"},
};

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    korvaInitResources();
    if (korvaLoadBrandFonts() > 0) {
        QApplication::setFont(pixelApplicationFont(QStringLiteral(KORVA_BRAND_FONT_FAMILY)));
    }
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument.startsWith(QLatin1String("--language="))) {
            shots::programLanguage = argument.mid(static_cast<int>(qstrlen("--language=")));
        } else {
            arguments << argument;
        }
    }
    if (!shots::showLanguage(QString())) {
        return 2;
    }

    const bool screenMode = arguments.removeAll(QStringLiteral("--screen")) > 0;
    if (screenMode && !shots::readScreenToo()) {
        std::fprintf(stderr, "--screen reads the pictures back from an X server: run it on one "
                             "(QT_QPA_PLATFORM=xcb and DISPLAY)\n");
        return 2;
    }
    const QString outDir = arguments.isEmpty() ? QStringLiteral("widget-screenshots") : arguments.first();
    const QStringList wanted = arguments.mid(1);
    for (const QString& name : wanted) {
        bool known = false;
        for (const shots::Entry& entry : shots::groups()) {
            known = known || name == QLatin1String(entry.name);
        }
        if (!known) {
            std::fprintf(stderr, "no group of pictures named %s\n", qPrintable(name));
            return 2;
        }
    }
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(outDir));
        return 1;
    }
    int written = 0;
    int failed = 0;
    int readBack = 0;
    int differ = 0;

    for (const shots::Mode& mode : kModes) {
        SystemContext::GetSettingManager()->setColorMode(mode.colorMode);
        const QString sheet = readText(QString::fromLatin1(mode.styleSheet));
        if (sheet.isEmpty()) {
            std::fprintf(stderr, "style sheet %s not found; drawing without it\n", mode.styleSheet);
        }
        app.setStyleSheet(sheet);
        ZRToastDialog::instance()->setToastStyles(QString::fromLatin1(mode.toastContainer),
                                                  QString::fromLatin1(mode.toastText), QString(), QString(),
                                                  QString());

        const shots::Save save = [&](const QString& name, const QImage& image) {
            const QString path = QStringLiteral("%1/%2-%3.png").arg(outDir, name, QLatin1String(mode.name));
            if (image.save(path)) {
                ++written;
                std::printf("%s\n", qPrintable(path));
            } else {
                ++failed;
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            }
            const shots::ScreenPicture screen = shots::takeScreenPicture();
            if (!screen.taken) {
                return;
            }
            if (!screen.notTaken.isEmpty()) {
                std::printf("%s-%s: not read back from the screen (%s)\n", qPrintable(name), mode.name,
                            qPrintable(screen.notTaken));
                return;
            }
            const QString screenPath =
                QStringLiteral("%1/%2-%3-screen.png").arg(outDir, name, QLatin1String(mode.name));
            if (!screen.image.save(screenPath)) {
                ++failed;
                std::fprintf(stderr, "cannot write %s\n", qPrintable(screenPath));
                return;
            }
            ++readBack;
            std::printf("%s\n", qPrintable(screenPath));
            if (!screen.same()) {
                ++differ;
                if (screen.compared == 0) {
                    std::fprintf(stderr, "%s: another window lies over all of it (%s)\n",
                                 qPrintable(screenPath), qPrintable(screen.coveredBy));
                } else {
                    std::fprintf(stderr,
                                 "%s: the screen shows %d of the %d pixels the window paints otherwise\n",
                                 qPrintable(screenPath), screen.differing, screen.compared);
                }
            }
        };
        for (const shots::Entry& entry : shots::groups()) {
            if (wanted.isEmpty() || wanted.contains(QLatin1String(entry.name))) {
                entry.group(mode, save);
                // Windows closed with WA_DeleteOnClose go now: outside an event loop their
                // deletion would wait for ever, and a page left alive would still answer the
                // next group's signals (a Settings page applying its own colour mode).
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            }
        }
    }
    std::printf("%d pictures written to %s\n", written, qPrintable(QDir(outDir).absolutePath()));
    if (screenMode) {
        std::printf("%d windows read back from the X server, %d of them shown otherwise than they paint\n",
                    readBack, differ);
    }
    return failed == 0 && differ == 0 ? 0 : 1;
}
