// Renders the client's windows, pages, dialogs and widgets in the normal and the dark
// colour mode to PNG files:
//   korva_screenshots [--language=CODE] [output folder [group ...]]
// (default: English, ./widget-screenshots, every group). CODE is one of the sixteen
// translations (de, ru, hu, ja, ...): every picture shows that language's texts.
// Each area registers its group of pictures in a shots_<area>.cpp file of this folder.
// Runs on any Qt platform; QT_QPA_PLATFORM=offscreen needs no display. The system
// context starts with the program: it writes its log folder into the working folder and
// makes its data folder under $HOME, so run it from a scratch folder, e.g.
//   cd "$(mktemp -d)" && HOME=$PWD QT_QPA_PLATFORM=offscreen .../korva_screenshots
#include "Shots.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QStringList>
#include <QTranslator>
#include <QVBoxLayout>
#include <cstdio>

#include "AppContext.h"
#include "KorvaResourcePaths.h"
#include "KorvaResources.h"
#include "NetworkAdapters.h"
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

QImage picture(QWidget* widget, const QColor& background, int margin, int scale) {
    widget->show();
    settle();
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
        QApplication::setFont(QFont(QStringLiteral(KORVA_BRAND_FONT_FAMILY)));
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
    return failed == 0 ? 0 : 1;
}
