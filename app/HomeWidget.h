// The home page: the selected profile with its server address, kind, local address and
// mask; the connection status with the small spinner while connecting; the connection
// time, the traffic totals and the hourly traffic chart; the connect button. The page
// reads the stored profiles, remembers the chosen one in the settings row and reselects
// it at start, and follows colour-mode and language changes.
//
// The page owns the connection controller, which drives it through the show* functions
// below; they also keep the page's copy of the connection status.
#pragma once

#include <QString>
#include <QVector>
#include <QWidget>
#include <string>

#include "SettingManager.h"

class ConnectionController;
class TunnelTeardown;
class ZRLoadingPie;

namespace Ui {
class HomeWidget;
}

class HomeWidget : public QWidget {
    Q_OBJECT
public:
    explicit HomeWidget(QWidget* parent = nullptr);
    ~HomeWidget() override;

    // Reloads the profile list and shows the selected profile (the remembered one, else
    // the row at its old place, else the last row). Run by every show once the page has
    // been restored.
    void refreshProfileInfo();
    // Selects the named profile when idle and presses the connect button, which
    // connects it, or, when busy with this same profile, cancels or disconnects it.
    // Does nothing while busy with another profile.
    void connectProfileByName(const QString& name);
    // Presses the connect button as a click would.
    void clickConnectButton();
    // Rewrites the status and button texts for the current status in the current
    // language.
    void retranslateStatus();
    // Gives the three cards a drop shadow coloured for the page's colour mode.
    void setDropShadow();
    // How the main window's close ends the tunnel that is up or being set up: through the
    // connection controller.
    TunnelTeardown* tunnelTeardown();
    ConnectionController* connectionController();

    // The dotted mask of a prefix length of 0 to 32 (24 gives "255.255.255.0"); empty
    // above 32.
    static QString maskLengthToNetmask(int prefixLength);
    // Eight "0"/"1" characters read as a binary number; 0 when any other character is in it.
    static int binaryOctetToInt(const QString& octet);
    // "1h 2m 5s" for 3725 seconds; hours are not capped at 24.
    static QString connectDurationText(int seconds);

    // What the page shows: the selected profile and the connection status.
    int currentStatus() const;
    int selectedVPNType() const;
    int selectedConfigId() const;
    // UTF-8, as stored.
    std::string selectedProfileName() const;
    // The selected profile's row in the application's cached profile list.
    int selectedRow() const;
    // The full name the profile button stands for (its tool tip).
    QString activeProfileName() const;
    // True until the stored settings have filled the page.
    bool isAwaitingRestore() const;

    // The look of each connection state. Each sets the page's copy of the status.
    // 1: "Connecting..." with the spinner over its place while the page is visible.
    void showConnecting();
    // 2: "Connected" in green, the button reads "Disconnect".
    void showConnected();
    // 3 after a failure: "Disconnected" in red with the warning icon.
    void showConnectFailed();
    // 3 after a cancel: "No Connection" in the colour it had.
    void showConnectCancelled();
    // 0: "No Connection", and "- -" for both totals.
    void showNotConnected();
    // The status unchanged: "Connected", the button reads "Disconnect", no spinner.
    void showConnectionKept();
    // Closes the spinner and hides its place.
    void stopLoading();
    // While a disconnect or a cancel ends the tunnel's programs the connect button is
    // disabled, so that it shows it is busy; it takes presses again once they have ended.
    // signalConnectBusyChanged tells of each change (the tray pop-up's button follows it).
    void setConnectBusy(bool busy);
    bool isConnectBusy() const;
    // The connection time.
    void showConnectDuration(int seconds);
    // The totals in MiB, with two decimals, each above 1024 MiB in GB.
    void showTrafficTotals(double uploadMiB, double downloadMiB);
    // The hourly series, upload first; kept and drawn again whenever the page shows.
    void showHourlyTraffic(const QVector<double>& upload, const QVector<double>& download);
    // The local address and mask that the connection reports.
    void showLocalAddress(const QString& ip, const QString& mask);
    void setLocalAddressRowsVisible(bool ipRow, bool maskRow);
    // Emits signalUpdateConnectInfo with the status, the selected profile's name and the
    // time, totals and hourly series as shown. Each total goes with its unit ("12.35 MB",
    // "1.50 GB"), so that whoever shows it shows the unit that belongs to it; "- -" while
    // there is none.
    void publishConnectInfo();

    // The traffic total as the page writes it, and its unit ("MB", or "GB" above 1024 MiB).
    static QString trafficValueText(double mib, QString* unit);

signals:
    void signalStartLoading();
    void signalVPNConnectFinished(int iErrorCode);
    void signalIPSecVPNConnectFinished(int iErrorCode);
    void signalUpdateConnectInfo(int iConnStatus, QString strProfileName, QString strConnTime,
                                 QString strUpload, QString strDownload, QVector<double> uploadFlow,
                                 QVector<double> downloadFlow);
    // Carries the new connection status.
    void signalConnectedVPNChanged(int iProfileId);
    void signalConnectBusyChanged(bool busy);

protected slots:
    // The profile button opens the chooser; the connect button goes to the connection
    // controller.
    void slotButtonClicked();
    // Shows a profile and remembers it as the selected one.
    void slotProfileChoosed(int iIndex, QString choosedProfileName, int iVPNType, int iConfigID,
                            QString serverIP, QString localIP, int iSubMask);
    // First filling of the page from the stored settings row.
    void slotRestoreHomeInfo(SETTINGINFO info);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Reads the record of the cached row and shows the row; nothing changes when the row
    // does not exist or its record cannot be read. True when the row is shown.
    bool showProfileRow(int index);
    // No profile to show: "Add New Profile", dimmed, and "- -" for the details.
    void showNoProfile(bool clearToolTip);
    // The profile button's text colour, full or dimmed, for the page's colour mode.
    void styleProfileButton(bool dimmed);
    void setStatusTextStyle(bool dark);
    // The connect button's text cut to its width less 8 pixels.
    void setConnectButtonText(const QString& text);
    // Gives the connect button and the status text the room their texts need.
    void fitTexts();
    void moveSpinnerToPlace();
    // The connect button's press, handed to the connection controller.
    void connectButtonClicked();

    Ui::HomeWidget* ui;
    int connectStatus = CONNECT_STATUS_NOT_CONNECTED;
    ZRLoadingPie* loadingPie = nullptr;
    int vpnType = 0;
    int configId = 0;
    std::string profileName;
    int selectedIndex = 0;
    bool awaitingRestore = true;
    int colorMode = -1;
    // The hourly series last shown on the chart.
    QVector<double> hourlyUpload;
    QVector<double> hourlyDownload;
    // The connection time's translated pattern, null until the first use in a language.
    QString durationPattern;
    // Drives the page: connect, cancel and disconnect, the status and traffic tick.
    ConnectionController* controller = nullptr;
};
