// The program's one main window: frameless and translucent, a navigation column with
// the three page buttons, a top bar with minimise and close, and the page stack (home,
// Profiles, Settings). The start builds the home page alone; the Profiles and Settings
// pages are built when first needed, and the settings they show are applied from the
// start by the window's SettingChoices. It owns the tray icon, relays the home page's
// connection report to the tray pop-up, hides to the tray on its own close button
// (minimises where no tray shows the icon), and ends the program, with whatever tunnel is
// up or being set up, on any other close request and on Ctrl+Q, the tray pop-up's Quit
// from the keyboard.
#pragma once

#include <QMainWindow>
#include <QMenu>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QSystemTrayIcon>
#include <QVector>
#include <functional>

#include "HomeWidget.h"
#include "ui_ZRVPNClient.h"

class ProfileWidget;
class SettingChoices;
class SettingWidget;
class TunnelTeardown;

// The window's form with its pages, which are made inside the page stack: a page made
// without a parent and then added to the stack would have every widget it holds polished
// again for the application's style sheet when the stack takes it over. The stack holds
// the pages built so far in the order home, Profiles, Settings.
struct ZRVPNClientForm : public Ui::ZRVPNClientClass {
    HomeWidget* homeWidget = nullptr;
    ProfileWidget* profileWidget = nullptr;
    SettingWidget* settingWidget = nullptr;

    // The form and the home page.
    void setupUi(QMainWindow* window);
    // Puts a page just built into the stack at its place; a page other than home, built
    // when first needed, also gets the language change it would have had at start.
    void addPage(QWidget* page, const char* name);
};

class ZRVPNClient : public QMainWindow {
    Q_OBJECT
public:
    explicit ZRVPNClient(QWidget* parent = nullptr);
    ~ZRVPNClient() override;

    void bringToFront();
    void clickConnectButton();
    // The home page's connect button is busy while a tunnel ends (signalConnectBusy on a change).
    bool isConnectBusy() const;
    void hideToTray();
    void initSystemTray();

    // How a close ends a tunnel: through the home page's controller, unless set here.
    void setTunnelTeardown(TunnelTeardown* teardown);
    // Small screens: when the available area is lower than the window's minimum height,
    // the minimum size and the size become 0.9 of the area, the top-left corner kept.
    void applySizeRule(const QRect& available);
    // Whether a tray shows the program's icon, asked at each press of the close button:
    // QSystemTrayIcon::isSystemTrayAvailable unless set (tests set their own).
    void setTrayAvailableCheck(std::function<bool()> check);

    // The Profiles and Settings pages, each built on its first call (its tab's first click,
    // or a request that needs it).
    ProfileWidget* profilePage();
    SettingWidget* settingsPage();

signals:
    void signalShowAction(int x, int y);
    void signalConnectInfo(int iConnStatus, QString strProfileName, QString strConnTime, QString strUpload,
                           QString strDownload, QVector<double> upload, QVector<double> download);
    void signalConnectVPNChanged(int iProfileId);
    void signalConnectBusy(bool busy);

protected slots:
    void slotTabButtonClicked();
    void slotMinButtonClicked();
    void slotCloseButtonClicked();
    void slotActivatedSysTrayIcon(QSystemTrayIcon::ActivationReason reason);
    void slotConnectVPNChanged(int status);
    void slotConnectProfile(QString profileName);
    void slotAddNewProfile();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void onTrayMenuAboutToShow();

    ZRVPNClientForm ui;
    // The stored settings applied at start, whichever pages are built; the Settings page
    // shows them.
    SettingChoices* settingChoices;
    bool dragging;
    QPoint dragOffset;
    QSystemTrayIcon trayIcon;
    QMenu trayMenu;
    TunnelTeardown* teardown;
    std::function<bool()> trayAvailable;
};
