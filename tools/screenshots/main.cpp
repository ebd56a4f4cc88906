// Renders each widget of the kit in the normal and the dark colour mode to PNG files:
//   korva_screenshots [output folder]      (default: ./widget-screenshots)
// Runs on any Qt platform; QT_QPA_PLATFORM=offscreen needs no display. The system
// context starts with the program: it writes its log folder into the working folder and
// makes its data folder under $HOME, so run it from a scratch folder, e.g.
//   cd "$(mktemp -d)" && HOME=$PWD QT_QPA_PLATFORM=offscreen .../korva_screenshots
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTextStream>
#include <QTranslator>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdio>
#include <functional>

#include "KorvaResourcePaths.h"
#include "KorvaResources.h"
#include "SystemContext.h"
#include "ZRErrorDialog.h"
#include "ZRHeaderView.h"
#include "ZRInputIpLineEdit.h"
#include "ZRLoadingPie.h"
#include "ZRPageNavigator.h"
#include "ZRToastDialog.h"

namespace {

// Carries the Profiles page's class name, by which the style sheets select its rules.
class ProfileWidget : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};

struct Mode {
    int colorMode;
    const char* name;
    const char* styleSheet;
    QColor window; // the main window's background
    QColor card;   // a page's card
    const char* toastContainer;
    const char* toastText;
};

const Mode kModes[] = {
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

void settle() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
}

// Paints the widget (shown, so that it is polished and laid out) over a plain
// background, with a margin, scaled up for small widgets.
QImage picture(QWidget* widget, const QColor& background, int margin = 16, int scale = 1) {
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

// A card of the page's colour that holds one widget.
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

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    korvaInitResources();
    if (korvaLoadBrandFonts() > 0) {
        QApplication::setFont(QFont(QStringLiteral(KORVA_BRAND_FONT_FAMILY)));
    }
    QTranslator english;
    if (english.load(QStringLiteral(KORVA_TRANSLATION_PREFIX "en"), QStringLiteral(KORVA_TRANSLATION_DIR))) {
        QApplication::installTranslator(&english);
    }

    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("widget-screenshots");
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(outDir));
        return 1;
    }
    int written = 0;
    int failed = 0;

    for (const Mode& mode : kModes) {
        SystemContext::GetSettingManager()->setColorMode(mode.colorMode);
        const QString sheet = readText(QString::fromLatin1(mode.styleSheet));
        if (sheet.isEmpty()) {
            std::fprintf(stderr, "style sheet %s not found; drawing without it\n", mode.styleSheet);
        }
        app.setStyleSheet(sheet);
        ZRToastDialog::instance()->setToastStyles(QString::fromLatin1(mode.toastContainer),
                                                  QString::fromLatin1(mode.toastText), QString(), QString(),
                                                  QString());

        auto save = [&](const char* name, const QImage& image) {
            const QString path =
                QStringLiteral("%1/%2-%3.png").arg(outDir, QLatin1String(name), QLatin1String(mode.name));
            if (image.save(path)) {
                ++written;
                std::printf("%s\n", qPrintable(path));
            } else {
                ++failed;
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            }
        };

        {
            ZRErrorDialog dialog;
            dialog.setButtonsVisible(true);
            save("error-prompt", picture(&dialog, mode.window, 0));
        }
        {
            ZRErrorDialog dialog;
            dialog.setContent(QStringLiteral("Create TAP-Windows-Adapter failed!"));
            save("error-prompt-failed", picture(&dialog, mode.window, 0));
        }
        {
            QWidget anchor;
            anchor.resize(400, 120);
            anchor.show();
            ZRToastDialog* toast = ZRToastDialog::instance();
            toast->showToast(&anchor, QStringLiteral("The profile is currently in use."), 1500);
            save("toast", picture(toast, mode.window));
            toast->hide();
        }
        for (int spinnerMode : {ZRLoadingPie::ModeSmall, ZRLoadingPie::ModeLarge}) {
            ZRLoadingPie spinner(nullptr, spinnerMode);
            save(spinnerMode == ZRLoadingPie::ModeSmall ? "spinner-small" : "spinner-large",
                 picture(&spinner, mode.window, 8, spinnerMode == ZRLoadingPie::ModeSmall ? 4 : 2));
        }
        struct PagerShot {
            const char* name;
            int total, page, buttons;
        };
        for (const PagerShot& shot :
             {PagerShot{"pager-3-pages", 20, 1, 3}, PagerShot{"pager-15-pages", 100, 7, 7},
              PagerShot{"pager-empty", 0, 1, 1}}) {
            auto* pager = new ZRPageNavigator(nullptr, true, false, mode.colorMode);
            pager->setupPages(shot.total, 7, shot.page, shot.buttons);
            QWidget* host = card(mode, pager, 720);
            save(shot.name, picture(host, mode.window));
            host->close();
        }
        {
            auto* pager = new ZRPageNavigator(nullptr, true, true, mode.colorMode);
            pager->setupPages(100, 7, 15, 7);
            QWidget* host = card(mode, pager, 820);
            save("pager-goto", picture(host, mode.window));
            host->close();
        }
        {
            // The header as the Profiles page shows it: its list and the page's rules.
            auto* page = new ProfileWidget;
            auto* layout = new QVBoxLayout(page);
            layout->setContentsMargins(0, 0, 0, 0);
            auto* list = new QTreeWidget;
            list->setObjectName(QStringLiteral("profileTreeWidget"));
            auto* header = new ZRHeaderView(0, 2, Qt::Horizontal);
            list->setHeader(header);
            list->setColumnCount(3);
            list->setHeaderLabels({QString(), QStringLiteral("PROFILE NAME"), QStringLiteral("TYPE")});
            list->setRootIsDecorated(false);
            for (int row = 0; row < 3; ++row) {
                list->addTopLevelItem(new QTreeWidgetItem(
                    {QString(), QStringLiteral("Profile %1").arg(row + 1), QStringLiteral("Openvpn")}));
            }
            header->resizeSection(0, 48);
            header->resizeSection(1, 200);
            header->setCheckEx(true);
            list->setFixedSize(420, 220);
            layout->addWidget(list);
            QWidget* host = card(mode, page, 460);
            save("header", picture(host, mode.window, 16, 2));
            host->close();
        }
        for (bool focused : {false, true}) {
            auto* inner = new QWidget;
            auto* layout = new QHBoxLayout(inner);
            layout->setContentsMargins(0, 0, 0, 0);
            auto* field = new ZRInputIpLineEdit;
            field->setFixedSize(166, 32);
            field->setIpAddress(QStringLiteral("192.168.1.10"));
            layout->addWidget(new QLabel(QStringLiteral("Server IP")));
            layout->addWidget(field);
            QWidget* host = card(mode, inner, 320);
            host->show();
            settle();
            // Filling the octets moves the focus along them; the plain picture has none.
            if (focused) {
                host->activateWindow();
                field->findChild<QLineEdit*>()->setFocus();
            } else if (QWidget* focus = QApplication::focusWidget()) {
                focus->clearFocus();
            }
            save(focused ? "ip-editor-focused" : "ip-editor", picture(host, mode.window, 16, 2));
            host->close();
        }
    }
    std::printf("%d pictures written to %s\n", written, qPrintable(QDir(outDir).absolutePath()));
    return failed == 0 ? 0 : 1;
}

#include "main.moc"
