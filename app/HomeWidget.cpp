#include "HomeWidget.h"

#include <QEvent>
#include <QFontMetrics>
#include <QShowEvent>
#include <algorithm>
#include <cstring>

#include "ActiveProfileDialog.h"
#include "AppContext.h"
#include "ApplicationStyleSheet.h"
#include "ConnectionController.h"
#include "FigureBox.h"
#include "HomeResources.h"
#include "IPCSqlite.h"
#include "PaintedShadow.h"
#include "ProfileSummary.h"
#include "StrUtils.h"
#include "SystemContext.h"
#include "TextFit.h"
#include "VPNBarChart.h"
#include "ZRLoadingPie.h"
#include "ZRStringConstant.h"
#include "ui_HomeWidget.h"

namespace {

// The profile button keeps room for its change picture at the right.
const int kProfileButtonTextRoom = 38;
// The form's width of the connect button, and the room it keeps beside its text.
const int kConnectButtonWidth = 156;
const int kConnectButtonTextRoom = 8;
const int kShadowBlurRadius = 24;
const double kMiBPerGiB = 1024.0;

AppContext* appContext() {
    return SystemContext::Instance()->GetAppContext();
}

bool isOpenVPNKind(int type) {
    return type == VPN_TYPE_SSLVPN || type == VPN_TYPE_OPENVPN;
}

} // namespace

HomeWidget::HomeWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::HomeWidget), hourlyUpload(VPNBarChart::HourCount, 0.0),
      hourlyDownload(VPNBarChart::HourCount, 0.0) {
    ui->setupUi(this);
    awaitingRestore = true;
    // The connection time changes each second: its label relays out the page only when it
    // needs another size.
    FigureBox::hold(ui->labelConnTime);
    // It fills its rectangle with its card's colour (the style sheets give it that colour), so
    // that its repaint each second paints the label alone: a label that lets its card show
    // through has the window's rounded body and the card's rounded background filled again
    // beneath it, most of the second's repaint.
    ui->labelConnTime->setAutoFillBackground(true);

    ui->loadingWidget->hide();
    ui->statusIconWidget->hide();

    loadingPie = new ZRLoadingPie(this, ZRLoadingPie::ModeSmall);
    loadingPie->hide();
    connect(this, SIGNAL(signalStartLoading()), loadingPie, SLOT(slotStartLoading()));

    connect(ui->btnSelectProfile, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui->btnConnect, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    ui->btnConnect->installEventFilter(this);

    connect(SystemContext::GetSettingManager(), SIGNAL(signalRestoreSystemInfo(SETTINGINFO)), this,
            SLOT(slotRestoreHomeInfo(SETTINGINFO)));

    ui->barChart->setFlowData(hourlyUpload, hourlyDownload);
    ui->labelIPWidget->hide();
    ui->labelMaskWidget->hide();

    controller = new ConnectionController(this);
    connect(controller, SIGNAL(signalVPNConnectFinished(int)), this, SIGNAL(signalVPNConnectFinished(int)));
    connect(controller, SIGNAL(signalIPSecVPNConnectFinished(int)), this,
            SIGNAL(signalIPSecVPNConnectFinished(int)));
    connect(controller, SIGNAL(signalConnectedVPNChanged(int)), this, SIGNAL(signalConnectedVPNChanged(int)));
    // The status column holds the status text whole, however wide the form made it.
    TextFit::widenWithContent(ui->widget);
    fitTexts();
}

void HomeWidget::fitTexts() {
    // The connect button is as wide as the widest text it shows in the language in force
    // (the form's width the least), and the status text keeps the room of its widest state:
    // nothing is cut short, and the cards stay where they are from one state to the next.
    int button = 0;
    for (const char* key :
         {"ZRVPN_CONNECT", "ZRVPN_CONNECTING", "ZRVPN_CANCEL_CONNECT", "ZRVPN_DISCONNECT"}) {
        button = std::max(button, TextFit::buttonWidth(ui->btnConnect, ZRStringConstant::tr(key)) +
                                      kConnectButtonTextRoom);
    }
    TextFit::fixWidth(ui->btnConnect, kConnectButtonWidth, button);
    int status = 0;
    for (const char* key :
         {"ZRVPN_NO_CONNECTED", "ZRVPN_CONNECTING", "ZRVPN_CONNECTED", "ZRVPN_DISCONNECTED"}) {
        status = std::max(status, TextFit::labelWidth(ui->labelConnectStatus, ZRStringConstant::tr(key)));
    }
    ui->labelConnectStatus->setMinimumWidth(status);
}

HomeWidget::~HomeWidget() {
    // The controller's tunnel work ends before the page it reports to.
    delete controller;
    controller = nullptr;
    delete loadingPie;
    delete ui;
}

// Selection

void HomeWidget::refreshProfileInfo() {
    if (ReloadProfileList() != 0) {
        return;
    }
    const std::vector<ProfileInfo>& list = *appContext()->GetProfileList();
    if (list.empty()) {
        showNoProfile(true);
        return;
    }
    styleProfileButton(false);
    ui->widgetIP->show();

    const int count = static_cast<int>(list.size());
    int index = std::max(0, std::min(selectedIndex, count - 1));
    for (int i = 0; i < count; ++i) {
        if (profileName == list[i].ProfileName) {
            index = i;
            break;
        }
    }
    showProfileRow(index);
}

void HomeWidget::slotRestoreHomeInfo(SETTINGINFO info) {
    if (ReloadProfileList() != 0) {
        return;
    }
    const std::vector<ProfileInfo>& list = *appContext()->GetProfileList();
    if (list.empty()) {
        showNoProfile(false);
    } else {
        styleProfileButton(false);
        ui->widgetIP->show();
        const std::string selected(info.SelectedName, strnlen(info.SelectedName, sizeof(info.SelectedName)));
        for (size_t i = 0; i < list.size(); ++i) {
            if (selected == list[i].ProfileName) {
                if (!showProfileRow(static_cast<int>(i))) {
                    return;
                }
                break;
            }
        }
    }
    awaitingRestore = false;
}

bool HomeWidget::showProfileRow(int index) {
    const std::vector<ProfileInfo>& list = *appContext()->GetProfileList();
    if (index < 0 || index >= static_cast<int>(list.size())) {
        return false;
    }
    const ProfileInfo row = list[index];
    // The record is read before anything of the row is shown, so that the name on the
    // button and the kind and record the connection uses always belong together.
    ProfileSummary summary;
    if (ReadProfileSummary(row, &summary) != PROFILE_SUMMARY_OK) {
        return false;
    }
    ui->btnSelectProfile->setEnabled(true);
    slotProfileChoosed(index, ProfileNameText(row), row.ProfileType, row.ConfigID, summary.serverIP,
                       summary.localIP, summary.subMask);
    return true;
}

void HomeWidget::showNoProfile(bool clearToolTip) {
    styleProfileButton(true);
    ui->btnSelectProfile->setText(ZRStringConstant::tr("ZRVPN_ADD_NEW_PROFILE"));
    if (clearToolTip) {
        ui->btnSelectProfile->setToolTip(QString());
    }
    const QString none = QLatin1String(HomeResources::kNoValue);
    ui->labelServerIP->setText(none);
    ui->labelIP->setText(none);
    ui->labelMask->setText(none);
    ui->labelVPNType->setText(none);
    ui->widgetIP->hide();
}

void HomeWidget::styleProfileButton(bool dimmed) {
    const bool dark = colorMode == COLOR_MODE_DARK;
    const char* style =
        dimmed ? (dark ? HomeResources::kProfileTextDimDark : HomeResources::kProfileTextDimLight)
               : (dark ? HomeResources::kProfileTextDark : HomeResources::kProfileTextLight);
    SetWidgetStyleSheet(ui->btnSelectProfile, QLatin1String(style));
}

void HomeWidget::slotProfileChoosed(int iIndex, QString choosedProfileName, int iVPNType, int iConfigID,
                                    QString serverIP, QString localIP, int iSubMask) {
    QPushButton* button = ui->btnSelectProfile;
    button->setText(button->fontMetrics().elidedText(choosedProfileName, Qt::ElideRight,
                                                     button->width() - kProfileButtonTextRoom));
    button->setToolTip(choosedProfileName);
    ui->labelServerIP->setText(serverIP);

    // An SSL VPN or OpenVPN connection under way fills the address rows itself.
    const bool rowsBelongToProfile =
        !isOpenVPNKind(iVPNType) || connectStatus == CONNECT_STATUS_NOT_CONNECTED;
    if (!localIP.isEmpty()) {
        ui->labelIPWidget->show();
        ui->labelIP->setText(localIP);
    } else if (rowsBelongToProfile) {
        ui->labelIPWidget->hide();
    }
    if (iSubMask >= 0) {
        ui->labelMaskWidget->show();
        ui->labelMask->setText(maskLengthToNetmask(iSubMask));
    } else if (rowsBelongToProfile) {
        ui->labelMaskWidget->hide();
    }

    if (const char* key = VPNTypeLabelKey(iVPNType)) {
        ui->labelVPNType->setText(ZRStringConstant::tr(key));
        // IPsec connections have no traffic to show.
        const bool traffic = iVPNType != VPN_TYPE_IPSEC;
        ui->trafficWidget->setVisible(traffic);
        ui->widgetSpacer->setVisible(traffic);
    }

    vpnType = iVPNType;
    configId = iConfigID;
    selectedIndex = iIndex;
    const QByteArray name = choosedProfileName.toUtf8();
    profileName = name.toStdString();

    AppContext* app = appContext();
    if (app == nullptr) {
        return;
    }
    SETTINGINFO settings;
    app->GetSettingInfo(&settings);
    Utf8CopyBounded(settings.SelectedName, sizeof(settings.SelectedName), name.constData());
    app->GetSqlite()->UpdateSettingInfo(&settings);
}

void HomeWidget::connectProfileByName(const QString& name) {
    const bool busy = connectStatus == CONNECT_STATUS_CONNECTING || connectStatus == CONNECT_STATUS_CONNECTED;
    const bool sameProfile = name.toUtf8().toStdString() == profileName;
    if (!sameProfile) {
        if (busy) {
            return;
        }
        int index = selectedIndex;
        const std::vector<ProfileInfo>& list = *appContext()->GetProfileList();
        for (size_t i = 0; i < list.size(); ++i) {
            if (ProfileNameText(list[i]) == name) {
                index = static_cast<int>(i);
                break;
            }
        }
        // A row that is gone or cannot be read is not connected.
        if (!showProfileRow(index)) {
            return;
        }
    }
    clickConnectButton();
}

void HomeWidget::clickConnectButton() {
    ui->btnConnect->click();
}

void HomeWidget::slotButtonClicked() {
    QObject* source = sender();
    if (source == ui->btnConnect) {
        connectButtonClicked();
        return;
    }
    if (source != ui->btnSelectProfile) {
        return;
    }
    if (connectStatus == CONNECT_STATUS_CONNECTING || connectStatus == CONNECT_STATUS_CONNECTED) {
        return;
    }
    ActiveProfileDialog chooser(this);
    chooser.setCurrentProfileName(ui->btnSelectProfile->toolTip());
    connect(&chooser, SIGNAL(signalProfileChoosed(int, QString, int, int, QString, QString, int)), this,
            SLOT(slotProfileChoosed(int, QString, int, int, QString, QString, int)));
    chooser.exec();
}

void HomeWidget::connectButtonClicked() {
    controller->buttonClicked();
}

// Texts and numbers

QString HomeWidget::maskLengthToNetmask(int prefixLength) {
    if (prefixLength < 0 || prefixLength > 32) {
        return QString();
    }
    const QString bits =
        QString(prefixLength, QLatin1Char('1')) + QString(32 - prefixLength, QLatin1Char('0'));
    QStringList octets;
    for (int i = 0; i < 4; ++i) {
        octets << QString::number(binaryOctetToInt(bits.mid(i * 8, 8)));
    }
    return octets.join(QLatin1Char('.'));
}

int HomeWidget::binaryOctetToInt(const QString& octet) {
    int value = 0;
    for (const QChar c : octet) {
        if (c != QLatin1Char('0') && c != QLatin1Char('1')) {
            return 0;
        }
        value = value * 2 + (c == QLatin1Char('1') ? 1 : 0);
    }
    return value;
}

namespace {

// The hours, minutes and seconds written into the translated pattern in one pass (as the
// pattern's .arg() of each in turn would write them).
QString DurationText(const QString& pattern, int seconds) {
    seconds = std::max(0, seconds);
    return pattern.arg(QString::number(seconds / 3600), QString::number((seconds % 3600) / 60),
                       QString::number(seconds % 60));
}

} // namespace

QString HomeWidget::connectDurationText(int seconds) {
    return DurationText(ZRStringConstant::tr("%1h %2m %3s"), seconds);
}

QString HomeWidget::trafficValueText(double mib, QString* unit) {
    const bool giga = mib > kMiBPerGiB;
    if (unit != nullptr) {
        *unit = QLatin1String(giga ? "GB" : "MB");
    }
    return QString::number(giga ? mib / kMiBPerGiB : mib, 'f', 2);
}

// State

int HomeWidget::currentStatus() const {
    return connectStatus;
}

int HomeWidget::selectedVPNType() const {
    return vpnType;
}

int HomeWidget::selectedConfigId() const {
    return configId;
}

std::string HomeWidget::selectedProfileName() const {
    return profileName;
}

int HomeWidget::selectedRow() const {
    return selectedIndex;
}

QString HomeWidget::activeProfileName() const {
    return ui->btnSelectProfile->toolTip();
}

bool HomeWidget::isAwaitingRestore() const {
    return awaitingRestore;
}

// The look of the connection states

void HomeWidget::setStatusTextStyle(bool dark) {
    SetWidgetStyleSheet(ui->labelConnectStatus, QLatin1String(dark ? HomeResources::kStatusTextDark
                                                                   : HomeResources::kStatusTextLight));
}

void HomeWidget::setConnectButtonText(const QString& text) {
    // The button is as wide as its widest text (fitTexts), so the text is never cut short.
    ui->btnConnect->setText(text);
}

void HomeWidget::moveSpinnerToPlace() {
    loadingPie->move(ui->loadingWidget->mapToGlobal(QPoint(0, 0)));
}

void HomeWidget::showConnecting() {
    connectStatus = CONNECT_STATUS_CONNECTING;
    ui->labelConnectStatus->setText(ZRStringConstant::tr("ZRVPN_CONNECTING"));
    setStatusTextStyle(SystemContext::GetSettingManager()->colorMode() == COLOR_MODE_DARK);
    setConnectButtonText(ZRStringConstant::tr("ZRVPN_CONNECTING"));
    ui->loadingWidget->show();
    ui->statusIconWidget->hide();
    if (isVisible()) {
        emit signalStartLoading();
        moveSpinnerToPlace();
        loadingPie->show();
    }
}

void HomeWidget::showConnected() {
    connectStatus = CONNECT_STATUS_CONNECTED;
    ui->labelConnectStatus->setText(ZRStringConstant::tr("ZRVPN_CONNECTED"));
    ui->labelConnectStatus->setStyleSheet(QLatin1String(HomeResources::kStatusConnected));
    setConnectButtonText(ZRStringConstant::tr("ZRVPN_DISCONNECT"));
    stopLoading();
}

void HomeWidget::showConnectFailed() {
    connectStatus = CONNECT_STATUS_DISCONNECTED;
    ui->labelConnectStatus->setText(ZRStringConstant::tr("ZRVPN_DISCONNECTED"));
    ui->labelConnectStatus->setStyleSheet(QLatin1String(HomeResources::kStatusFailed));
    setConnectButtonText(ZRStringConstant::tr("ZRVPN_CONNECT"));
    stopLoading();
    ui->statusIconWidget->show();
}

void HomeWidget::showConnectCancelled() {
    connectStatus = CONNECT_STATUS_DISCONNECTED;
    ui->labelConnectStatus->setText(ZRStringConstant::tr("ZRVPN_NO_CONNECTED"));
    ui->btnConnect->setText(ZRStringConstant::tr("ZRVPN_CONNECT"));
    stopLoading();
}

void HomeWidget::showNotConnected() {
    connectStatus = CONNECT_STATUS_NOT_CONNECTED;
    ui->labelConnectStatus->setText(ZRStringConstant::tr("ZRVPN_NO_CONNECTED"));
    setStatusTextStyle(colorMode == COLOR_MODE_DARK);
    setConnectButtonText(ZRStringConstant::tr("ZRVPN_CONNECT"));
    ui->statusIconWidget->hide();
    ui->labelUpload->setText(QLatin1String(HomeResources::kNoValue));
    ui->labelDownload->setText(QLatin1String(HomeResources::kNoValue));
}

void HomeWidget::showConnectionKept() {
    ui->labelConnectStatus->setText(ZRStringConstant::tr("ZRVPN_CONNECTED"));
    setConnectButtonText(ZRStringConstant::tr("ZRVPN_DISCONNECT"));
    stopLoading();
}

void HomeWidget::setConnectBusy(bool busy) {
    if (busy == isConnectBusy()) {
        return;
    }
    ui->btnConnect->setEnabled(!busy);
    emit signalConnectBusyChanged(busy);
}

bool HomeWidget::isConnectBusy() const {
    return !ui->btnConnect->isEnabled();
}

void HomeWidget::stopLoading() {
    loadingPie->close();
    ui->loadingWidget->hide();
}

void HomeWidget::showConnectDuration(int seconds) {
    // Written each second: the translated pattern is looked up once per language.
    if (durationPattern.isNull()) {
        durationPattern = ZRStringConstant::tr("%1h %2m %3s");
    }
    ui->labelConnTime->setText(DurationText(durationPattern, seconds));
}

void HomeWidget::showTrafficTotals(double uploadMiB, double downloadMiB) {
    QString unit;
    ui->labelUpload->setText(trafficValueText(uploadMiB, &unit));
    ui->label_8->setText(unit);
    ui->labelDownload->setText(trafficValueText(downloadMiB, &unit));
    ui->label_9->setText(unit);
}

void HomeWidget::showHourlyTraffic(const QVector<double>& upload, const QVector<double>& download) {
    hourlyUpload = upload;
    hourlyDownload = download;
    ui->barChart->setFlowData(hourlyUpload, hourlyDownload);
}

void HomeWidget::showLocalAddress(const QString& ip, const QString& mask) {
    ui->labelIP->setText(ip);
    ui->labelMask->setText(mask);
}

void HomeWidget::setLocalAddressRowsVisible(bool ipRow, bool maskRow) {
    ui->labelIPWidget->setVisible(ipRow);
    ui->labelMaskWidget->setVisible(maskRow);
}

void HomeWidget::publishConnectInfo() {
    const QString none = QLatin1String(HomeResources::kNoValue);
    auto withUnit = [&none](const QLabel* value, const QLabel* unit) {
        return value->text() == none ? none : value->text() + QLatin1Char(' ') + unit->text();
    };
    emit signalUpdateConnectInfo(connectStatus, ui->btnSelectProfile->toolTip(), ui->labelConnTime->text(),
                                 withUnit(ui->labelUpload, ui->label_8),
                                 withUnit(ui->labelDownload, ui->label_9), hourlyUpload, hourlyDownload);
}

void HomeWidget::retranslateStatus() {
    struct Texts {
        const char* status;
        const char* button;
    };
    static const Texts kByStatus[] = {
        {"ZRVPN_NO_CONNECTED", "ZRVPN_CONNECT"},
        {"ZRVPN_CONNECTING", "ZRVPN_CONNECTING"},
        {"ZRVPN_CONNECTED", "ZRVPN_DISCONNECT"},
        {"ZRVPN_DISCONNECTED", "ZRVPN_CONNECT"},
    };
    if (connectStatus >= CONNECT_STATUS_NOT_CONNECTED && connectStatus <= CONNECT_STATUS_DISCONNECTED) {
        const Texts& texts = kByStatus[connectStatus];
        ui->labelConnectStatus->setText(ZRStringConstant::tr(texts.status));
        setConnectButtonText(ZRStringConstant::tr(texts.button));
    }
    if (!ui->widgetIP->isVisible()) {
        ui->btnSelectProfile->setText(ZRStringConstant::tr("ZRVPN_ADD_NEW_PROFILE"));
    }
}

void HomeWidget::setDropShadow() {
    const QColor color(colorMode == COLOR_MODE_DARK ? HomeResources::kCardShadowDark
                                                    : HomeResources::kCardShadowLight);
    // Each card keeps its shadow across shows: only a new colour makes a new image.
    for (QWidget* card : {ui->profileWidget, ui->connectInfoWidget, ui->trafficWidget}) {
        PaintedShadow* shadow = PaintedShadow::of(card);
        if (shadow == nullptr) {
            shadow = new PaintedShadow(card, HomeResources::kCardCornerRadius);
        }
        shadow->setColor(color);
        shadow->setOffset(QPointF(0, 2));
        shadow->setBlurRadius(kShadowBlurRadius);
    }
}

// Events

void HomeWidget::showEvent(QShowEvent*) {
    window()->installEventFilter(this);
    if (!awaitingRestore) {
        refreshProfileInfo();
    }
    if (connectStatus == CONNECT_STATUS_CONNECTING) {
        ui->loadingWidget->show();
        emit signalStartLoading();
        moveSpinnerToPlace();
        loadingPie->show();
    }
    ui->barChart->setFlowData(hourlyUpload, hourlyDownload);
    setDropShadow();
}

void HomeWidget::hideEvent(QHideEvent*) {
    loadingPie->close();
    ui->loadingWidget->hide();
}

void HomeWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::StyleChange) {
        const int mode = SystemContext::GetSettingManager()->colorMode();
        if (mode == colorMode) {
            return;
        }
        colorMode = mode;
        if (connectStatus == CONNECT_STATUS_NOT_CONNECTED || connectStatus == CONNECT_STATUS_CONNECTING) {
            setStatusTextStyle(colorMode == COLOR_MODE_DARK);
        }
        styleProfileButton(!ui->widgetIP->isVisible());
        setDropShadow();
    } else if (event->type() == QEvent::LanguageChange) {
        durationPattern = QString();
        ui->retranslateUi(this);
        fitTexts();
        retranslateStatus();
    }
}

bool HomeWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window() && event->type() == QEvent::Move && loadingPie->isVisible()) {
        ui->loadingWidget->show();
        moveSpinnerToPlace();
        return false;
    }
    if (watched == ui->btnConnect && connectStatus == CONNECT_STATUS_CONNECTING) {
        if (event->type() == QEvent::Enter) {
            ui->btnConnect->setText(ZRStringConstant::tr("ZRVPN_CANCEL_CONNECT"));
        } else if (event->type() == QEvent::Leave) {
            ui->btnConnect->setText(ZRStringConstant::tr("ZRVPN_CONNECTING"));
        }
    }
    return QWidget::eventFilter(watched, event);
}

TunnelTeardown* HomeWidget::tunnelTeardown() {
    return controller;
}

ConnectionController* HomeWidget::connectionController() {
    return controller;
}
