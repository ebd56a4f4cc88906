#include "ClientMain.h"

#include <QEventLoop>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QPointer>
#include <QStringList>
#include <QTranslator>
#include <memory>

#include "AppConstants.h"
#include "AppContext.h"
#include "ApplicationStyleSheet.h"
#include "Elevation.h"
#include "KorvaResources.h"
#include "NeedAdminMessage.h"
#include "PixelFont.h"
#include "RasterOnlyPlatform.h"
#include "SettingChoices.h"
#include "SettingManager.h"
#include "SettingWidget.h"
#include "ShownNotice.h"
#include "StartupCleanup.h"
#include "SystemCloseSignals.h"
#include "SystemContext.h"
#include "SystemSettings.h"
#include "VPNMenuDialog.h"
#include "ZRSingleApplication.h"
#include "ZRVPNClient.h"
#include "zrwlog.h"

int StartAppContext() {
    if (AppContext* app = SystemContext::Instance()->GetAppContext()) {
        app->Start();
    }
    return 0;
}

int StopAppContext() {
    AppContext* app = SystemContext::Instance()->GetAppContext();
    if (app != nullptr && app->Stop() != 0) {
        return -1;
    }
    ZRWLog(AppConstants::kLogModule, AppConstants::kLogLevel, "%s", AppConstants::kStopLine);
    return 0;
}

void LoadDefaultTranslation() {
    QTranslator* translator = SystemContext::Instance()->GetTranslator();
    translator->load(QString::fromUtf8(AppConstants::kDefaultTranslation),
                     QString::fromUtf8(AppConstants::kTranslationDir));
    QCoreApplication::installTranslator(translator);
}

void OnTrayConnectClicked(ZRVPNClient* window) {
    window->clickConnectButton();
    if (!window->isHidden()) {
        window->show();
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    }
}

void OnTrayShowClicked(ZRVPNClient* window) {
    window->show();
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
}

void OnTrayQuitClicked(ZRVPNClient* window) {
    window->close();
}

namespace {

void PlaceTrayPopup(QWidget* popup, int x, int y) {
    popup->move(x - popup->width() / 2, y - popup->height() + AppConstants::kTrayPopupBottomOffset);
}

} // namespace

void ShowTrayPopup(ZRVPNClient* window, int x, int y) {
    // The pop-up's loop runs inside this handler, and the next tray request arrives
    // inside that loop: an open pop-up is placed again instead of a new one nesting a
    // further loop, and each loop ends when its pop-up closes.
    static QPointer<VPNMenuDialog> openPopup;
    if (openPopup && openPopup->isVisible()) {
        PlaceTrayPopup(openPopup, x, y);
        openPopup->activateWindow();
        return;
    }
    VPNMenuDialog popup;
    openPopup = &popup;
    QObject::connect(
        window,
        SIGNAL(signalConnectInfo(int, QString, QString, QString, QString, QVector<double>, QVector<double>)),
        &popup,
        SLOT(slotUpdateConnectInfo(int, QString, QString, QString, QString, QVector<double>,
                                   QVector<double>)));
    popup.setConnectBusy(window->isConnectBusy());
    QObject::connect(window, &ZRVPNClient::signalConnectBusy, &popup, &VPNMenuDialog::setConnectBusy);
    QObject::connect(&popup, &VPNMenuDialog::signalConnectBtnClicked, window,
                     [window] { OnTrayConnectClicked(window); });
    // The pop-up leaves the screen before the close, which waits while a tunnel ends.
    QObject::connect(&popup, &VPNMenuDialog::signalQuitBtnClicked, window, [window, &popup] {
        popup.hide();
        OnTrayQuitClicked(window);
    });
    QObject::connect(&popup, &VPNMenuDialog::signalShowBtnClicked, window,
                     [window] { OnTrayShowClicked(window); });
    popup.show();
    PlaceTrayPopup(&popup, x, y);
    popup.activateWindow();
    QEventLoop loop;
    QObject::connect(&popup, &QDialog::finished, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::AllEvents);
}

int RunClient(int argc, char** argv, const std::function<void()>& beforeLoop) {
    int result = 0;
    {
        // Elevated, the application object sees the program's name alone: Qt would load
        // the plug-ins, styles and style sheets that options of the command line name.
        int count = argc;
        KeepOnlyProgramName(&count, argv);
        // Raster drawing only: no OpenGL integration on X (see RasterOnlyPlatform.h).
        RasterOnlyPlatform platformSettings;
        ZRSingleApplication app(count, argv);
        platformSettings.applicationMade();
        korvaInitResources();
        // The desktop lists the windows by these (WM_CLASS, the window icon) before any
        // window is made; the window's title is its form's.
        QCoreApplication::setApplicationName(QString::fromLatin1(AppConstants::kApplicationName));
        QGuiApplication::setDesktopFileName(QString::fromLatin1(AppConstants::kDesktopFileName));
        QApplication::setWindowIcon(QIcon(QString::fromUtf8(AppConstants::kTrayIconPath)));
        if (app.instanceLockFailed()) {
            const std::string reason = app.instanceLockError().toStdString();
            ZRWLog(AppConstants::kLogModule, AppConstants::kLogLevel, AppConstants::kInstanceLockFailedLine,
                   reason.c_str());
            ShowInstanceLockMessage(reason);
            return AppConstants::kInstanceLockFailedExitCode;
        }
        if (app.isRunning()) {
            ZRWLog(AppConstants::kLogModule, AppConstants::kLogLevel, "%s",
                   AppConstants::kAlreadyRunningLine);
            return 0;
        }
        SystemContext* context = SystemContext::Instance();
        context->SetApplication(&app);
        // Only the first instance gets here: it clears what a killed run left behind
        // before anything is started or shown.
        ShareRunFolderWithBundle();
        CleanUpAfterEarlierRun();
        MakeClientFoldersPrivate();
        // Native child windows on Windows only. On X11 the attribute makes every widget a
        // window of its own, and a widget inside a drop shadow (the main frame's) is then not
        // drawn again when it changes: the checked tab, the status and the figures would stay
        // on the screen as first shown.
#ifdef Q_OS_WIN
        QCoreApplication::setAttribute(Qt::AA_NativeWindows);
#endif
        LoadDefaultTranslation();

        const int fontId = korvaAddResourceFont(QString::fromUtf8(AppConstants::kBrandFontRegular));
        const QStringList families = QFontDatabase::applicationFontFamilies(fontId);
        if (!families.isEmpty()) {
            QApplication::setFont(pixelApplicationFont(families.first()));
        }

        StartAppContext();

        // The style sheet of the stored colour mode, which the restore below applies as the
        // window's settings choice: set once, before any window exists, so that no widget is
        // polished for a first sheet and then again for the stored one (the restore finds
        // the text it read here, without reading it again). The colour mode that the setting
        // manager holds stays unset until the restore.
        SETTINGINFO stored;
        if (AppContext* appContext = context->GetAppContext()) {
            appContext->GetSettingInfo(&stored);
        }
        SetApplicationStyleSheet(
            &app, SettingChoices::readStyleSheet(SettingWidget::styleSheetForStoredMode(stored.ColorMode)));

        // From here on SIGTERM and SIGINT close the window like a close from the system; the
        // start line comes after, so that whoever waits for it to end the client never finds
        // the signals' default action still in force.
        SystemCloseSignals closeSignals;
        closeSignals.install();
        ZRWLog(AppConstants::kLogModule, AppConstants::kLogLevel, "%s", AppConstants::kStartLine);

        ZRVPNClient window;
        window.show();
        closeSignals.setWindow(&window);
        QGuiApplication::setQuitOnLastWindowClosed(false);
        app.mainWindow = &window;

        SettingManager* manager = SystemContext::GetSettingManager();
        FileChangeWatcher themeWatcher(ThemeSettingsPath(),
                                       [manager] { manager->notifySystemColorModeChanged(); });
        themeWatcher.Start();
        FileChangeWatcher languageWatcher(SystemLocaleFile(),
                                          [manager] { manager->notifySystemLanguageChanged(); });
        languageWatcher.Start();

        SETTINGINFO info;
        if (AppContext* appContext = context->GetAppContext()) {
            appContext->GetSettingInfo(&info);
        }
        manager->notifyRestoreSystemInfo(&info);

        // The benchmark's notice counts the first frame painted after the restore: the frame
        // that shows the stored settings.
        std::unique_ptr<ShownNotice> shownNotice;
        if (qEnvironmentVariableIsSet(AppConstants::kShownNoticeVariable)) {
            shownNotice = std::make_unique<ShownNotice>(&window, AppConstants::kShownNotice);
            window.update();
        }

        QObject::connect(&window, &ZRVPNClient::signalShowAction, &window,
                         [&window](int x, int y) { ShowTrayPopup(&window, x, y); });

        if (beforeLoop) {
            beforeLoop();
        }
        result = app.exec();

        // The watchers signal the setting manager: they are stopped and joined before
        // anything they reach goes away.
        languageWatcher.Stop();
        themeWatcher.Stop();
        StopAppContext();
        app.mainWindow = nullptr;
    }
    // The translator was a child of the application object, which is gone now.
    SystemContext::Instance()->SetTranslator(nullptr);
    SystemContext::Instance()->SetApplication(nullptr);
    return result;
}
