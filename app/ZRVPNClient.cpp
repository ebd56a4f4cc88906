#include "ZRVPNClient.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopWidget>
#include <QIcon>
#include <QKeySequence>
#include <QMouseEvent>

#include "AppConstants.h"
#include "AppContext.h"
#include "HomeWidget.h"
#include "PaintedShadow.h"
#include "ProfileWidget.h"
#include "SettingChoices.h"
#include "SettingManager.h"
#include "SettingWidget.h"
#include "SystemContext.h"
#include "TextFit.h"
#include "TranslucentFrame.h"
#include "TunnelTeardown.h"
#include "ZRStringConstant.h"
#include "ZRToastDialog.h"

void ZRVPNClientForm::setupUi(QMainWindow* window) {
    Ui::ZRVPNClientClass::setupUi(window);
    homeWidget = new HomeWidget(stackedWidget);
    addPage(homeWidget, "homeWidget");
}

void ZRVPNClientForm::addPage(QWidget* page, const char* name) {
    page->setObjectName(QLatin1String(name));
    // Home first, Profiles after it, Settings last, whichever of them was built first.
    const int index = page == homeWidget ? 0 : page == profileWidget ? 1 : stackedWidget->count();
    stackedWidget->insertWidget(index, page);
    // As a stack taking over a page made outside it does: the page gets a style change,
    // on which a page that colours itself takes the colour mode in force.
    QEvent change(QEvent::StyleChange);
    QCoreApplication::sendEvent(page, &change);
    // A page built after the start has missed the language change that the restore of the
    // stored settings sends every widget: it gets one now, so that it is the page that
    // change leaves (its texts measured and fitted, its tool tips set), whenever it is built.
    if (page != homeWidget) {
        QEvent language(QEvent::LanguageChange);
        QCoreApplication::sendEvent(page, &language);
    }
}

ZRVPNClient::ZRVPNClient(QWidget* parent)
    : QMainWindow(parent), settingChoices(nullptr), dragging(false), dragOffset(0, 0), trayIcon(this),
      trayMenu(this), teardown(nullptr),
      trayAvailable([] { return QSystemTrayIcon::isSystemTrayAvailable(); }) {
    // The report's hourly series by name, for queued connections and signal spies.
    qRegisterMetaType<QVector<double>>("QVector<double>");
    // The window's attribute and flags come before its form: a change of flags under the
    // application's style sheet polishes every widget the window holds again.
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowFlags(Qt::FramelessWindowHint);
    ui.setupUi(this);
    // Connected to the restore of the stored settings after the home page, as the Settings
    // page was when the start built it.
    settingChoices = new SettingChoices(this);

    applySizeRule(QApplication::desktop()->availableGeometry(this));
    // A language whose texts need more room than the form's width widens the window.
    TextFit::widenWithContent(this);

    ZRToastDialog::setDefaultParent(this);
    initSystemTray();

    connect(ui.btnMin, SIGNAL(clicked()), this, SLOT(slotMinButtonClicked()));
    connect(ui.btnQuit, SIGNAL(clicked()), this, SLOT(slotCloseButtonClicked()));
    connect(ui.btnHome, SIGNAL(clicked()), this, SLOT(slotTabButtonClicked()));
    connect(ui.btnProfile, SIGNAL(clicked()), this, SLOT(slotTabButtonClicked()));
    connect(ui.btnSetting, SIGNAL(clicked()), this, SLOT(slotTabButtonClicked()));
    connect(
        ui.homeWidget,
        SIGNAL(signalUpdateConnectInfo(int, QString, QString, QString, QString, QVector<double>,
                                       QVector<double>)),
        this,
        SIGNAL(signalConnectInfo(int, QString, QString, QString, QString, QVector<double>, QVector<double>)));
    connect(ui.homeWidget, SIGNAL(signalConnectedVPNChanged(int)), this, SLOT(slotConnectVPNChanged(int)));
    connect(ui.homeWidget, &HomeWidget::signalConnectBusyChanged, this, &ZRVPNClient::signalConnectBusy);
    connect(SystemContext::GetSettingManager(), SIGNAL(signalAddNewProfile()), this,
            SLOT(slotAddNewProfile()));

    ui.btnHome->click();
    QApplication::setWheelScrollLines(1);

    // The frame's shadow lies in the margin its layout leaves around the navigation column
    // and the pages, whose outer corners the style sheets round.
    auto* shadow = new PaintedShadow(ui.ZRVPNClientWidget, AppConstants::kFrameCornerRadius,
                                     ui.ZRVPNClientWidget->layout()->contentsMargins());
    shadow->setColor(QColor(QLatin1String(AppConstants::kShadowColor)));
    shadow->setOffset(QPointF(AppConstants::kShadowOffsetX, AppConstants::kShadowOffsetY));
    shadow->setBlurRadius(AppConstants::kShadowBlurRadius);
    // Where no compositing manager shows that margin, the window is cut to the frame.
    new TranslucentFrame(this, ui.ZRVPNClientWidget, AppConstants::kFrameCornerRadius,
                         ui.ZRVPNClientWidget->layout()->contentsMargins(),
                         [shadow](bool shown) { shadow->setShown(shown); });

    // The tray pop-up's Quit from the keyboard: the way to end the program that is there on
    // every desktop, with a tray or without one.
    auto* quit = new QAction(this);
    quit->setObjectName(QStringLiteral("actionQuit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::WindowShortcut);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    addAction(quit);
}

ZRVPNClient::~ZRVPNClient() = default;

void ZRVPNClient::applySizeRule(const QRect& available) {
    if (available.height() >= minimumHeight()) {
        return;
    }
    const int width = static_cast<int>(available.width() * AppConstants::kSmallScreenFactor);
    const int height = static_cast<int>(available.height() * AppConstants::kSmallScreenFactor);
    setMinimumHeight(height);
    setMinimumWidth(width);
    setGeometry(QRect(geometry().topLeft(), QSize(width, height)));
}

void ZRVPNClient::initSystemTray() {
    trayIcon.setIcon(QIcon(QString::fromUtf8(AppConstants::kTrayIconPath)));
    trayIcon.setToolTip(ZRStringConstant::tr(AppConstants::kAppNameKey));
    trayIcon.setContextMenu(&trayMenu);
    connect(&trayMenu, &QMenu::aboutToShow, this, [this] { onTrayMenuAboutToShow(); });
    connect(&trayIcon, SIGNAL(activated(QSystemTrayIcon::ActivationReason)), this,
            SLOT(slotActivatedSysTrayIcon(QSystemTrayIcon::ActivationReason)));
    trayIcon.show();
}

void ZRVPNClient::onTrayMenuAboutToShow() {
    // A tray that does not report the icon's place (an empty rectangle) gets the pointer's,
    // where the request was made.
    const QRect rect = trayIcon.geometry();
    const QPoint corner = rect.isEmpty() ? QCursor::pos() : rect.topLeft();
    emit signalShowAction(corner.x(), corner.y());
}

void ZRVPNClient::setTunnelTeardown(TunnelTeardown* value) {
    teardown = value;
}

void ZRVPNClient::setTrayAvailableCheck(std::function<bool()> check) {
    trayAvailable = std::move(check);
}

void ZRVPNClient::bringToFront() {
    if (isMinimized()) {
        showNormal();
    }
    show();
    activateWindow();
}

void ZRVPNClient::clickConnectButton() {
    ui.homeWidget->clickConnectButton();
}

bool ZRVPNClient::isConnectBusy() const {
    return ui.homeWidget->isConnectBusy();
}

void ZRVPNClient::hideToTray() {
    hide();
}

ProfileWidget* ZRVPNClient::profilePage() {
    if (ui.profileWidget == nullptr) {
        ui.profileWidget = new ProfileWidget(ui.stackedWidget);
        ui.addPage(ui.profileWidget, "profileWidget");
        connect(ui.profileWidget, SIGNAL(signalConnectProfile(QString)), this,
                SLOT(slotConnectProfile(QString)));
    }
    return ui.profileWidget;
}

SettingWidget* ZRVPNClient::settingsPage() {
    if (ui.settingWidget == nullptr) {
        ui.settingWidget = new SettingWidget(ui.stackedWidget, settingChoices);
        ui.addPage(ui.settingWidget, "settingWidget");
    }
    return ui.settingWidget;
}

void ZRVPNClient::slotTabButtonClicked() {
    QObject* button = sender();
    if (button == ui.btnHome) {
        ui.stackedWidget->setCurrentWidget(ui.homeWidget);
    } else if (button == ui.btnProfile) {
        ui.stackedWidget->setCurrentWidget(profilePage());
    } else if (button == ui.btnSetting) {
        ui.stackedWidget->setCurrentWidget(settingsPage());
    }
}

void ZRVPNClient::slotMinButtonClicked() {
    showMinimized();
}

void ZRVPNClient::slotCloseButtonClicked() {
    // A hidden window comes back only through the tray icon: where no tray shows it, the
    // window is minimised instead, so that it can still be reached.
    if (trayAvailable && trayAvailable()) {
        hideToTray();
    } else {
        showMinimized();
    }
}

void ZRVPNClient::slotActivatedSysTrayIcon(QSystemTrayIcon::ActivationReason reason) {
    if (reason != QSystemTrayIcon::Trigger) {
        return;
    }
    show();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
}

void ZRVPNClient::slotConnectVPNChanged(int status) {
    // A Profiles page built later marks its rows from the status in force when it fills them.
    if (ui.profileWidget != nullptr) {
        ui.profileWidget->updateConnectStatus(status);
    }
}

void ZRVPNClient::slotConnectProfile(QString profileName) {
    ui.btnHome->click();
    ui.homeWidget->connectProfileByName(profileName);
}

void ZRVPNClient::slotAddNewProfile() {
    ui.btnProfile->click();
    profilePage()->showAddProfileDialog();
}

void ZRVPNClient::mousePressEvent(QMouseEvent* event) {
    if (event->buttons() == Qt::LeftButton) {
        dragging = true;
        dragOffset = event->globalPos() - pos();
    }
}

void ZRVPNClient::mouseReleaseEvent(QMouseEvent*) {
    dragging = false;
}

void ZRVPNClient::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() == Qt::LeftButton && dragging) {
        move(event->globalPos() - dragOffset);
    }
}

void ZRVPNClient::closeEvent(QCloseEvent* event) {
    AppContext* app = SystemContext::Instance()->GetAppContext();
    const int status = app->GetConnectStatus();
    if (status == CONNECT_STATUS_CONNECTED || status == CONNECT_STATUS_CONNECTING) {
        ProfileInfo profile;
        app->GetCurrentProfile(&profile);
        TunnelTeardown* target = teardown != nullptr ? teardown : ui.homeWidget->tunnelTeardown();
        // The window goes at once; the teardown returns once the tunnel's programs have ended.
        hide();
        if (status == CONNECT_STATUS_CONNECTED) {
            target->disconnectTunnel(profile);
        } else {
            // A connect under way has started its program or daemon already: it is
            // cancelled so that nothing it set up outlives the client.
            target->cancelConnect(profile);
        }
    }
    QCoreApplication::exit(0);
    event->accept();
}

void ZRVPNClient::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        ui.retranslateUi(this);
    } else if (event->type() == QEvent::StyleChange) {
        const bool dark = SystemContext::GetSettingManager()->colorMode() == COLOR_MODE_DARK;
        ZRToastDialog::instance()->setToastStyles(
            QString::fromLatin1(dark ? AppConstants::kToastContainerDark
                                     : AppConstants::kToastContainerLight),
            QString::fromLatin1(dark ? AppConstants::kToastTextDark : AppConstants::kToastTextLight),
            QString(), QString(), QString());
    }
}
