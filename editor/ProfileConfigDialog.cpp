#include "ProfileConfigDialog.h"

#include <QBitmap>
#include <QColor>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QListView>
#include <QMoveEvent>
#include <QPainter>
#include <QRegExpValidator>

#include "AppContext.h"
#include "EditorTexts.h"
#include "IPSecVPNContext.h"
#include "OpenVPNContext.h"
#include "ScreenArea.h"
#include "SystemContext.h"
#include "WireGuardContext.h"
#include "ZRStringConstant.h"
#include "zrwlog.h"

using namespace EditorTexts;

namespace {

enum Kind { kIPSec = 1, kSSLVPN = 2, kOpenVPN = 3, kWireGuard = 4 };

QRegExp rule(const char* pattern) {
    return QRegExp(QString::fromLatin1(pattern), Qt::CaseSensitive, QRegExp::RegExp);
}

} // namespace

ProfileConfigDialog::ProfileConfigDialog(QWidget* parent, bool editMode, const QString& profileName,
                                         int profileID, int configID, int vpnType)
    : ZRBaseDialog(parent), m_ipRegExp(rule(kIpPattern)), m_portRegExp(rule(kPortPattern)),
      m_maskRegExp(rule(kMaskPattern)), m_userRegExp(rule(kUserPattern)),
      m_pwdRegExp(rule(kPasswordPattern)) {
    ui.setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint | Qt::Dialog);
    setStyleSheet(QString::fromLatin1(kDialogStyle));
    applyRoundedMask();
    fitToScreenHeight(availableAreaOf(this).height());
    initValidators();

    // The name and the pre-shared key take word characters only, typed without an input method.
    auto* wordValidator = new QRegExpValidator(rule(kWordPattern), this);
    for (QLineEdit* field : {ui.lineEditProfileName, ui.lineEditPSK}) {
        field->setAttribute(Qt::WA_InputMethodEnabled, false);
        field->setValidator(wordValidator);
    }

    m_bEditMode = editMode;
    setModeTexts();
    ui.btnShowPwd->setVisible(!editMode);
    ui.btnSSLShowPwd->setVisible(!editMode);

    initVPNTypeComboBox();
    slotSwitchToIPSecTunnel();
    for (QWidget* container :
         {ui.gatewayWidget, ui.sslGatewayWidget, ui.wireguardGatewayWidget, ui.IPSecGatewayWidget}) {
        container->hide();
    }

    connect(ui.btnClose, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.btnCancel, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.comboBoxVPNType, SIGNAL(activated(int)), this, SLOT(slotVPNComboBoxIndexChanged(int)));
    ui.btnWireGuardFullTraffic->setChecked(true);
    ui.btnWireGuardAddGateway->hide();
    ui.wireguardGatewayWidget->hide();

    for (QPushButton* button : {ui.btnGenKeys, ui.btnWireGuardAddGateway}) {
        connect(button, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    }
    connect(ui.btnWireGuardFullTraffic, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    ui.lineEditWireGuardKeepAlive->installEventFilter(this);

    m_btnClearFile = new QPushButton(ui.widgetFileName);
    m_btnClearFile->setFixedSize(kClearFileButtonSize, kClearFileButtonSize);
    m_btnClearFile->setStyleSheet(QString::fromLatin1(kClearFileButtonStyle));
    m_btnClearFile->hide();

    connect(m_btnClearFile, SIGNAL(clicked()), this, SLOT(slotOpenVPNButtonClicked()));
    ui.lineEditImportFile->installEventFilter(this);
    ui.lineEditPassword->installEventFilter(this);
    ui.widgetFileName->installEventFilter(this);
    ui.widgetFileName->setMouseTracking(true);
    ui.btnOpenFullTraffic->setChecked(true);
    ui.btnAddGateway->hide();
    ui.gatewayWidget->hide();
    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(ui.btnOpenAutoIP), static_cast<QAbstractButton*>(ui.btnOpenManuIP),
          static_cast<QAbstractButton*>(ui.btnAddGateway)}) {
        connect(button, SIGNAL(clicked()), this, SLOT(slotOpenVPNButtonClicked()));
    }
    connect(ui.btnOpenVPNImport, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.btnOpenPrompt, SIGNAL(clicked()), this, SLOT(slotOpenVPNButtonClicked()));
    connect(ui.btnOpenFullTraffic, SIGNAL(clicked()), this, SLOT(slotOpenVPNButtonClicked()));
    ui.btnShowPwd->setCheckable(true);
    connect(ui.btnShowPwd, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    for (QLineEdit* field : {ui.lineEditImportFile, ui.lineEditUserName, ui.lineEditPassword}) {
        connect(field, SIGNAL(textChanged(const QString)), this, SLOT(slotLineEidtClicked()));
    }
    for (ZRInputIpLineEdit* field : {ui.lineEditOpenDNSAddr, ui.lineEditOpenWinSer}) {
        connect(field, SIGNAL(lineEidtTextChanged()), this, SLOT(slotIPInputLineEidtClicked()));
    }
    ui.btnOpenAutoIP->click();
    ui.btnOpenPrompt->click();
    ui.lineEditSSLPassword->installEventFilter(this);
    // Turned on before its slot is connected: the click runs no action.
    ui.btnSSLFullTraffic->click();
    ui.btnSSLAddGateway->hide();
    ui.sslGatewayWidget->hide();

    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(ui.btnSSLAutoIP), static_cast<QAbstractButton*>(ui.btnSSLManuIP),
          static_cast<QAbstractButton*>(ui.btnSSLAddGateway), static_cast<QAbstractButton*>(ui.btnSSLPrompt),
          static_cast<QAbstractButton*>(ui.btnSSLFullTraffic)}) {
        connect(button, SIGNAL(clicked()), this, SLOT(slotSSLButtonClicked()));
    }
    ui.btnSSLShowPwd->setCheckable(true);
    connect(ui.btnSSLShowPwd, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    for (QLineEdit* field : {ui.lineEditSSLUserName, ui.lineEditSSLPassword}) {
        connect(field, SIGNAL(textChanged(const QString)), this, SLOT(slotLineEidtClicked()));
    }
    for (ZRInputIpLineEdit* field : {ui.lineEditSSLDNSAddr, ui.lineEditSSLWinSer}) {
        connect(field, SIGNAL(lineEidtTextChanged()), this, SLOT(slotIPInputLineEidtClicked()));
    }
    ui.btnSSLAutoIP->click();
    ui.btnSSLPrompt->click();
    initIPSecComboBoxes();

    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(ui.btnIKEv1), static_cast<QAbstractButton*>(ui.btnIKEv2),
          static_cast<QAbstractButton*>(ui.btnDPD), static_cast<QAbstractButton*>(ui.btnIPSecAddMoreAddress),
          static_cast<QAbstractButton*>(ui.btnAH), static_cast<QAbstractButton*>(ui.btnESP),
          static_cast<QAbstractButton*>(ui.btnStandardTunnel),
          static_cast<QAbstractButton*>(ui.btnSpecifiedRemoteAddr)}) {
        connect(button, SIGNAL(clicked()), this, SLOT(slotIPSecButtonClicked()));
    }
    connect(ui.lineEditRemoteIP, SIGNAL(lineEidtTextChanged()), this, SLOT(slotIPInputLineEidtClicked()));
    for (QLineEdit* field : {ui.lineEditRemoteNetworkMask, ui.lineEditPSK, ui.lineEditDPDPeriod}) {
        connect(field, SIGNAL(textChanged(const QString)), this, SLOT(slotLineEidtClicked()));
    }
    connect(ui.lineEditIpOrHost, SIGNAL(lineEidtTextChanged()), this, SLOT(slotIPInputLineEidtClicked()));
    ui.lineEditDPDPeriod->installEventFilter(this);
    connect(ui.btnConfirm, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    for (QLineEdit* field :
         {ui.lineEditPubKey, ui.lineEditProfileName, ui.lineEditWireGuardPriKey, ui.lineEditWireGuardPubKey,
          ui.lineEditSubMask, ui.lineEditPeerPort, ui.lineEditWireGuardInterPort}) {
        connect(field, SIGNAL(textChanged(const QString)), this, SLOT(slotLineEidtClicked()));
    }
    for (ZRInputIpLineEdit* field : {ui.lineEditEndpoint, ui.lineEditInterAddr, ui.lineEditWireGuardDNS}) {
        connect(field, SIGNAL(lineEidtTextChanged()), this, SLOT(slotIPInputLineEidtClicked()));
    }

    m_configName = profileName;
    m_iProfileID = profileID;
    m_iConfigID = configID;
    m_iVPNType = vpnType;
    if (!profileName.isEmpty() && profileID != 0) {
        switch (vpnType) {
        case kIPSec:
            slotLoadIPSecVPNInfo(profileName, configID, vpnType);
            break;
        case kSSLVPN:
            slotLoadSSLVPNInfo(profileName, configID, vpnType);
            break;
        case kOpenVPN:
            slotLoadOpenVPNInfo(profileName, configID, vpnType);
            break;
        case kWireGuard:
            slotLoadWireGuardVPNInfo(profileName, configID, vpnType);
            break;
        default:
            break;
        }
        ui.labelTitle->setFocus();
    }

    ui.btnIKEv2->hide();
    setToolTips();
    adjustButtonWidths();
}

ProfileConfigDialog::~ProfileConfigDialog() {
    delete m_shadowDialog.data();
    delete m_btnClearFile;
    m_btnClearFile = nullptr;
}

void ProfileConfigDialog::applyRoundedMask() {
    QBitmap bitmap(size());
    bitmap.fill(Qt::white);
    QPainter painter(&bitmap);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(Qt::black, Qt::SolidPattern));
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.drawRoundedRect(bitmap.rect(), kCornerRadius, kCornerRadius, Qt::AbsoluteSize);
    painter.end();
    setMask(bitmap);
}

void ProfileConfigDialog::fitToScreenHeight(int availableHeight) {
    if (availableHeight <= 0 || availableHeight >= minimumHeight()) {
        return;
    }
    const int fitted = static_cast<int>(availableHeight * kScreenHeightShare);
    setMinimumHeight(fitted);
    QRect area = geometry();
    area.setHeight(fitted);
    setGeometry(area);
}

void ProfileConfigDialog::setModeTexts() {
    ui.labelTitle->setText(ZRStringConstant::tr(m_bEditMode ? kEditProfileTitle : kAddProfileTitle));
}

void ProfileConfigDialog::initVPNTypeComboBox() {
    QComboBox* combo = ui.comboBoxVPNType;
    QWidget* popup = combo->view()->window();
    popup->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    popup->setAttribute(Qt::WA_TranslucentBackground);
    combo->setView(new QListView(combo));
    combo->installEventFilter(this);
    combo->clear();
    for (int kind = kIPSec; kind <= kWireGuard; ++kind) {
        combo->addItem(ZRStringConstant::tr(kKindKeys[kind - 1]), kind);
    }
}

void ProfileConfigDialog::createShadowWindow() {
    // A backdrop of an earlier show or colour mode goes first, so that backdrops never stack.
    // It is hidden at once and destroyed once control is back in the event loop: a colour
    // mode reaches the dialog while the application walks its widgets.
    if (m_shadowDialog != nullptr) {
        m_shadowDialog->hide();
        m_shadowDialog->deleteLater();
    }
    m_shadowDialog = new QDialog(parentWidget());
    m_shadowDialog->setWindowFlags(Qt::FramelessWindowHint | Qt::Dialog);
    m_shadowDialog->setAttribute(Qt::WA_TranslucentBackground);
    m_shadowDialog->setFixedHeight(height() + 2 * kBackdropMargin);
    m_shadowDialog->setFixedWidth(width() + 2 * kBackdropMargin);
    m_shadowDialog->move(pos() - QPoint(kBackdropMargin, kBackdropMargin));

    auto* layout = new QHBoxLayout(m_shadowDialog);
    layout->setContentsMargins(kBackdropMargin, kBackdropMargin, kBackdropMargin, kBackdropMargin);
    auto* body = new QWidget(m_shadowDialog);
    body->setStyleSheet(QString::fromLatin1(kBackdropBodyStyle));
    layout->addWidget(body);

    auto* effect = new QGraphicsDropShadowEffect(this);
    effect->setColor(
        QColor(QString::fromLatin1(colorMode == kDarkColorMode ? kDarkShadowColor : kLightShadowColor)));
    effect->setOffset(0, 2);
    effect->setBlurRadius(kBackdropBlurRadius);
    body->setGraphicsEffect(effect);
    m_shadowDialog->show();
}

void ProfileConfigDialog::adjustButtonWidths() {
    const QFontMetrics metrics(QFont(QString::fromLatin1(kButtonFontFamily), kButtonFontPointSize));
    const auto textWidth = [&metrics](QPushButton* button) {
        return metrics.boundingRect(QRect(), Qt::AlignLeft, button->text()).width();
    };
    for (QPushButton* button : {ui.btnGenKeys, ui.btnCancel, ui.btnConfirm}) {
        button->setFixedWidth(textWidth(button) + kButtonTextPadding);
    }
    // The import button shows its text whole up to the width of the input column beside it;
    // a longer text is cut short with an ellipsis and stays whole in the tool tip.
    QPushButton* import = ui.btnOpenVPNImport;
    import->setToolTip(import->text());
    import->ensurePolished();
    const int importRoom = ui.widgetFileName->minimumWidth() - kButtonTextPadding;
    import->setText(import->fontMetrics().elidedText(import->text(), Qt::ElideRight, importRoom));
    const int addWidth = textWidth(ui.btnAddGateway) + kAddButtonTextPadding;
    for (QPushButton* button :
         {ui.btnAddGateway, ui.btnSSLAddGateway, ui.btnWireGuardAddGateway, ui.btnIPSecAddMoreAddress}) {
        button->setFixedWidth(addWidth);
    }
}

void ProfileConfigDialog::showEvent(QShowEvent* event) {
    setDragRect(QRect(ui.titleWidget->mapTo(this, QPoint(0, 0)), ui.titleWidget->size()));
    createShadowWindow();
    ZRBaseDialog::showEvent(event);
}

void ProfileConfigDialog::hideEvent(QHideEvent* event) {
    // The backdrop belongs to the shown dialog: it must not stay behind on the screen.
    if (m_shadowDialog != nullptr) {
        m_shadowDialog->hide();
    }
    ZRBaseDialog::hideEvent(event);
}

void ProfileConfigDialog::moveEvent(QMoveEvent* event) {
    if (m_shadowDialog != nullptr) {
        m_shadowDialog->move(event->pos() - QPoint(kBackdropMargin, kBackdropMargin));
    }
}

void ProfileConfigDialog::changeEvent(QEvent* event) {
    const int appliedMode = colorMode;
    ZRBaseDialog::changeEvent(event);
    if (event->type() == QEvent::StyleChange && colorMode != appliedMode && m_shadowDialog != nullptr) {
        createShadowWindow();
    } else if (event->type() == QEvent::LanguageChange) {
        ui.retranslateUi(this);
        // The form's own texts would make an edit's title read "Add New Profile" and give
        // the kind selector other names than its entries: both are set again from their keys.
        setModeTexts();
        for (int i = 0; i < ui.comboBoxVPNType->count(); ++i) {
            const int kind = ui.comboBoxVPNType->itemData(i, Qt::UserRole).toInt();
            if (kind >= kIPSec && kind <= kWireGuard) {
                ui.comboBoxVPNType->setItemText(i, ZRStringConstant::tr(kKindKeys[kind - 1]));
            }
        }
        adjustButtonWidths();
    }
}

bool ProfileConfigDialog::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::Wheel && (watched == ui.comboBoxVPNType || watched == ui.comboBoxEncryption ||
                                  watched == ui.comboBoxAuthentication || watched == ui.comboBoxKeyGroup ||
                                  watched == ui.comboBoxAlgrithmOne || watched == ui.comboBoxAlgrithmTwo ||
                                  watched == ui.comboBoxLocalIP)) {
        return true;
    }
    if (watched == ui.widgetFileName && m_btnClearFile != nullptr) {
        if (type == QEvent::Enter) {
            m_btnClearFile->move(ui.widgetFileName->width() - m_btnClearFile->width() -
                                     kClearFileButtonRightGap,
                                 (ui.widgetFileName->height() - m_btnClearFile->height()) / 2);
            m_btnClearFile->show();
        } else if (type == QEvent::Leave) {
            m_btnClearFile->hide();
        }
    }
    if (type == QEvent::FocusIn || type == QEvent::FocusOut) {
        QWidget* frame = nullptr;
        if (watched == ui.lineEditImportFile) {
            frame = ui.widgetFileName;
        } else if (watched == ui.lineEditPassword) {
            frame = ui.widgetPassword;
        } else if (watched == ui.lineEditSSLPassword) {
            frame = ui.widgetSSLPassword;
        } else if (watched == ui.lineEditWireGuardKeepAlive) {
            frame = ui.widgetKeepAlive;
        } else if (watched == ui.lineEditDPDPeriod) {
            frame = ui.widgetDPDNum;
        }
        if (frame != nullptr) {
            frame->setStyleSheet(QString::fromLatin1(type == QEvent::FocusIn ? kFocusFrame : kPlainFrame));
        }
    }
    return QObject::eventFilter(watched, event);
}

void ProfileConfigDialog::slotVPNComboBoxIndexChanged(int iIndex) {
    if (iIndex == ui.stackedWidgetVPNType->currentIndex()) {
        return;
    }
    resetAllFields();
    switch (iIndex) {
    case 0:
        slotSwitchToIPSecTunnel();
        break;
    case 1:
        slotSwitchToSSLVPN();
        break;
    case 2:
        slotSwitchToOpenVPN();
        break;
    case 3:
        slotSwitchToWireGuardVPN();
        break;
    default:
        break;
    }
}

void ProfileConfigDialog::hideAllPages() {
    for (QWidget* container : {ui.pageIPSecTunnelContainer, ui.pageSSLVPNContainer, ui.pageOpenVPNContainer,
                               ui.pageWireGuardVPNContainer}) {
        container->hide();
    }
}

void ProfileConfigDialog::slotSwitchToIPSecTunnel() {
    hideAllPages();
    ui.pageIPSecTunnelContainer->show();
    ui.widgetIpOrHostName->show();
    ui.widgetIKEVersion->show();
    ui.widgetEndPoint->hide();
    ui.widgetPublicKey->hide();
    ui.widgetImportFile->hide();
    ui.DPDPeriodwidget->hide();
    ui.stackedWidgetVPNType->setCurrentIndex(0);
}

void ProfileConfigDialog::slotSwitchToSSLVPN() {
    hideAllPages();
    ui.pageSSLVPNContainer->show();
    ui.widgetIpOrHostName->hide();
    ui.widgetIKEVersion->hide();
    ui.widgetEndPoint->show();
    ui.widgetPublicKey->hide();
    ui.widgetImportFile->show();
    ui.btnOpenVPNImport->show();
    ui.widgetFileName->hide();
    ui.sslVpnInfoWidget->setVisible(m_bNeedPwd);
    ui.stackedWidgetVPNType->setCurrentIndex(1);
}

void ProfileConfigDialog::slotSwitchToOpenVPN() {
    hideAllPages();
    ui.pageOpenVPNContainer->show();
    ui.widgetIpOrHostName->hide();
    ui.widgetIKEVersion->hide();
    ui.widgetEndPoint->show();
    ui.widgetPublicKey->hide();
    ui.widgetImportFile->show();
    ui.btnOpenVPNImport->show();
    ui.widgetFileName->hide();
    ui.openVpnInfoWidget->setVisible(m_bNeedPwd);
    ui.stackedWidgetVPNType->setCurrentIndex(2);
}

void ProfileConfigDialog::slotSwitchToWireGuardVPN() {
    hideAllPages();
    ui.pageWireGuardVPNContainer->show();
    ui.widgetIpOrHostName->hide();
    ui.widgetIKEVersion->hide();
    ui.widgetEndPoint->show();
    ui.widgetPublicKey->show();
    ui.widgetImportFile->hide();
    ui.stackedWidgetVPNType->setCurrentIndex(3);
}

void ProfileConfigDialog::resetAllFields() {
    ui.lineEditImportFile->setText(QString());
    m_bFileImported = false;
    m_ovpnFilePath.clear();
    ui.lineEditImportFile->setToolTip(QString());
    ui.lineEditIpOrHost->clearIpAddress();
    ui.lineEditEndpoint->clearIpAddress();
    for (QLineEdit* field :
         {ui.lineEditPeerPort, ui.lineEditPubKey, ui.lineEditUserName, ui.lineEditPassword}) {
        field->setText(QString());
    }
    ui.lineEditOpenDNSAddr->clearIpAddress();
    ui.lineEditOpenWinSer->clearIpAddress();
    clearLayout(ui.gatewayWidget->layout());
    ui.gatewayWidget->hide();
    ui.lineEditSSLUserName->setText(QString());
    ui.lineEditSSLPassword->setText(QString());
    ui.lineEditSSLDNSAddr->clearIpAddress();
    ui.lineEditSSLWinSer->clearIpAddress();
    clearLayout(ui.sslGatewayWidget->layout());
    ui.sslGatewayWidget->hide();
    ui.lineEditRemoteIP->clearIpAddress();
    for (QLineEdit* field : {ui.lineEditRemoteNetworkMask, ui.lineEditPSK, ui.lineEditDPDPeriod}) {
        field->setText(QString());
    }
    clearLayout(ui.IPSecGatewayWidget->layout());
    ui.IPSecGatewayWidget->hide();
    ui.lineEditInterAddr->clearIpAddress();
    for (QLineEdit* field : {ui.lineEditSubMask, ui.lineEditWireGuardInterPort, ui.lineEditWireGuardPriKey,
                             ui.lineEditWireGuardPubKey}) {
        field->setText(QString());
    }
    ui.lineEditWireGuardDNS->clearIpAddress();
    ui.lineEditWireGuardShardKey->setText(QString());
    ui.lineEditWireGuardKeepAlive->setText(QString());
    clearLayout(ui.wireguardGatewayWidget->layout());
    ui.wireguardGatewayWidget->hide();
}

void ProfileConfigDialog::clearLayout(QLayout* layout) {
    if (layout == nullptr) {
        return;
    }
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->setParent(nullptr);
            delete widget;
        }
        delete item;
    }
}

void ProfileConfigDialog::slotButtonClicked() {
    QObject* button = sender();
    if (button == ui.btnClose || button == ui.btnCancel) {
        close();
    } else if (button == ui.btnGenKeys) {
        generateWireGuardKeys();
    } else if (button == ui.btnWireGuardAddGateway) {
        addRowByButton(ui.wireguardGatewayWidget, ui.btnWireGuardAddGateway, 0);
    } else if (button == ui.btnWireGuardFullTraffic) {
        fullTrafficClicked(ui.btnWireGuardFullTraffic, ui.wireguardGatewayWidget, ui.btnWireGuardAddGateway);
    } else if (button == ui.btnConfirm) {
        confirmProfile();
    } else if (button == ui.btnShowPwd) {
        ui.lineEditPassword->setEchoMode(ui.btnShowPwd->isChecked() ? QLineEdit::Normal
                                                                    : QLineEdit::Password);
    } else if (button == ui.btnSSLShowPwd) {
        ui.lineEditSSLPassword->setEchoMode(ui.btnSSLShowPwd->isChecked() ? QLineEdit::Normal
                                                                          : QLineEdit::Password);
    } else if (button == ui.btnOpenVPNImport) {
        importOpenVPNFile();
    }
}

bool ProfileConfigDialog::runSave(int kind) {
    bool saved = false;
    switch (kind) {
    case kIPSec:
        saved = saveIPSecTunnel();
        break;
    case kSSLVPN:
        saved = saveSSLVPN();
        break;
    case kOpenVPN:
        saved = saveOpenVPN();
        break;
    case kWireGuard:
        saved = saveWireGuardVPN();
        break;
    default:
        break;
    }
    if (saved) {
        emit signalLoadProfileList();
        close();
    }
    return saved;
}

void ProfileConfigDialog::slotIPSecTunnelConfirm() {
    runSave(kIPSec);
}

void ProfileConfigDialog::slotSSLVPNConfirm() {
    runSave(kSSLVPN);
}

void ProfileConfigDialog::slotOpenVPNConfirm() {
    runSave(kOpenVPN);
}

void ProfileConfigDialog::slotWireGuardVPNConfirm() {
    runSave(kWireGuard);
}

void ProfileConfigDialog::confirmProfile() {
    ZRWLog(kLogModule, kLogLevel, "%s", kStartSavingLine);
    ui.btnConfirm->setFocus();
    const int kind = ui.comboBoxVPNType->currentData(Qt::UserRole).toInt();
    const bool saved = runSave(kind);
    ZRWLog(kLogModule, kLogLevel, "%s", kEndSavingLine);
    // Only an edit that moved the profile to another kind leaves a row and a file behind.
    if (saved && m_bEditMode && kind != m_iVPNType) {
        removePreviousKind(kind);
    }
}

QString ProfileConfigDialog::profileFilePath(const char* folder, const QString& name, const char* suffix) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))) {
        return QString();
    }
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            return QString();
        }
    }
    return QString::fromLatin1(folder) + QLatin1Char('/') + name + QString::fromLatin1(suffix);
}

void ProfileConfigDialog::removePreviousKind(int newKind) {
    AppContext* app = SystemContext::Instance()->GetAppContext();
    if (app == nullptr) {
        return;
    }
    switch (m_iVPNType) {
    case kIPSec:
        if (IPSecVPNContext* context = app->GetIPSecVPNContext()) {
            context->DeleteIPSecInfo(m_iConfigID);
        }
        break;
    case kSSLVPN:
    case kOpenVPN: {
        if (OpenVPNContext* context = app->GetOpenVPNContext()) {
            OpenVPNInfo info;
            info.ID = m_iConfigID;
            context->DeleteOpenVPNInfo(&info);
        }
        // Between SSL VPN and OpenVPN under the same name the file is the new kind's own.
        const bool keepsFile =
            ui.lineEditProfileName->text() == m_configName && (newKind == kSSLVPN || newKind == kOpenVPN);
        const QString path = profileFilePath(kOpenVPNConfigDir, m_configName, kOpenVPNConfigSuffix);
        if (!keepsFile && !path.isEmpty() && QFileInfo(path).isFile() && !QFile::remove(path)) {
            ZRWLog(kLogModule, kLogLevel, kDeleteOvpnFailedLine, path.toUtf8().constData());
        }
        break;
    }
    case kWireGuard: {
        if (WireGuardContext* context = app->GetWireGuardContext()) {
            WireGuardVPNInfo info;
            info.ID = m_iConfigID;
            context->DeleteWireGuardInfo(&info);
        }
        const QString path = profileFilePath(kWireGuardConfigDir, m_configName, kWireGuardConfigSuffix);
        if (!path.isEmpty() && QFileInfo(path).isFile()) {
            QFile::remove(path);
        }
        break;
    }
    default:
        break;
    }
}
