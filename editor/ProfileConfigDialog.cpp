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
#include <QLabel>
#include <QListView>
#include <QMoveEvent>
#include <QPainter>
#include <QRegExpValidator>
#include <QStringList>
#include <QTimer>
#include <QWindow>

#include <algorithm>

#include "AppContext.h"
#include "ApplicationStyleSheet.h"
#include "EditorTextFit.h"
#include "EditorTexts.h"
#include "IPCSqlite.h"
#include "IPSecPage.h"
#include "OpenVPNPage.h"
#include "PixelFont.h"
#include "ProfileNameRule.h"
#include "ProfileRecords.h"
#include "RemoteSubnetRows.h"
#include "ScreenArea.h"
#include "StagedFile.h"
#include "SystemContext.h"
#include "TranslucentFrame.h"
#include "WireGuardContext.h"
#include "WireGuardPage.h"
#include "ZRInputIpLineEdit.h"
#include "ZRStringConstant.h"
#include "ZRToastDialog.h"
#include "zrwlog.h"

using namespace EditorTexts;
using FieldRules::rule;

namespace {

enum Kind { kIPSec = 1, kSSLVPN = 2, kOpenVPN = 3, kWireGuard = 4 };

AppContext* appContext() {
    return SystemContext::Instance()->GetAppContext();
}

} // namespace

ProfileConfigDialog::ProfileConfigDialog(QWidget* parent, bool editMode, const QString& profileName,
                                         int profileID, int configID, int vpnType)
    : ZRBaseDialog(parent), m_ipRegExp(rule(kIpPattern)), m_portRegExp(rule(kPortPattern)),
      m_maskRegExp(rule(kMaskPattern)), m_userRegExp(rule(kUserPattern)),
      m_pwdRegExp(rule(kPasswordPattern)) {
    ui.setupUi(this);
    m_textFit = std::make_unique<EditorTextFit>(ui, this);
    m_ipsecPage = std::make_unique<IPSecPage>(*this, ui);
    m_openVPNPage = std::make_unique<OpenVPNPage>(*this, ui);
    m_wireGuardPage = std::make_unique<WireGuardPage>(*this, ui);
    setWindowFlags(Qt::FramelessWindowHint | Qt::Dialog);
    setStyleSheet(QString::fromLatin1(kDialogStyle));
    applyRoundedMask();
    fitToScreenHeight(availableAreaOf(this).height());
    initValidators();

    // The name takes word characters only, the pre-shared key printable ones (IPSecPage),
    // both typed without an input method.
    auto* wordValidator = new QRegExpValidator(rule(kWordPattern), this);
    for (QLineEdit* field : {ui.lineEditProfileName, ui.lineEditPSK}) {
        field->setAttribute(Qt::WA_InputMethodEnabled, false);
    }
    ui.lineEditProfileName->setValidator(wordValidator);

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
    m_wireGuardPage->setUp();
    m_openVPNPage->setUp();
    m_ipsecPage->setUp();
    connect(ui.btnConfirm, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    // The fields above the pages that more than one kind uses.
    for (QLineEdit* field : {ui.lineEditProfileName, ui.lineEditPeerPort}) {
        connect(field, SIGNAL(textChanged(const QString)), this, SLOT(slotLineEidtClicked()));
    }
    connect(ui.lineEditEndpoint, SIGNAL(lineEidtTextChanged()), this, SLOT(slotIPInputLineEidtClicked()));

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

    setToolTips();
    adjustButtonWidths();
    fitTexts();

    // The keyboard: Return in a field runs Confirm (a save that fails leaves the dialog open
    // with its marks), so it never closes the dialog unsaved, whichever button Tab passed
    // last; Space presses the focused button; Esc cancels.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
    }
    ui.btnConfirm->setDefault(true);
}

void ProfileConfigDialog::fitTexts() {
    const QSize before = size();
    m_textFit->fit();
    if (size() != before) {
        // The window took another width for this language's captions: its rounded corners
        // and its backdrop follow. The shown backdrop is resized in place: a backdrop made
        // anew would be a new window, which a window manager stacks above the editor.
        applyRoundedMask();
        if (m_shadowDialog != nullptr) {
            m_shadowDialog->setFixedSize(size() + QSize(2 * kBackdropMargin, 2 * kBackdropMargin));
            m_shadowDialog->move(pos() - QPoint(kBackdropMargin, kBackdropMargin));
        }
    }
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
    // The form's scroll area takes the height the form gives it wherever the window does.
    ui.scrollArea->setMinimumHeight(kScrollAreaFormHeight);
    if (availableHeight <= 0 || availableHeight >= minimumHeight()) {
        return;
    }
    const int fitted = static_cast<int>(availableHeight * kScreenHeightShare);
    // On a lower screen the scroll area gives up what the window lacks, so the form
    // scrolls between the title and the button row, and the button row stays below it
    // instead of lying over the last rows.
    const QMargins outer = layout()->contentsMargins();
    const int formHeight =
        ui.dialogWidget->layout()->totalMinimumSize().height() + outer.top() + outer.bottom();
    const int lacking = formHeight - fitted;
    if (lacking > 0) {
        ui.scrollArea->setMinimumHeight(std::max(0, kScrollAreaFormHeight - lacking));
    }
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
    StyleDropDownList(combo);
    combo->installEventFilter(this);
    combo->clear();
    for (int kind = kIPSec; kind <= kWireGuard; ++kind) {
        combo->addItem(ZRStringConstant::tr(kKindKeys[kind - 1]), kind);
    }
}

void ProfileConfigDialog::createShadowWindow() {
    // A backdrop of an earlier show goes first, so that backdrops never stack. It is hidden
    // at once and destroyed once control is back in the event loop.
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
    // Where no compositing manager shows the margin see-through, the backdrop is cut to its
    // body, which lies beneath the editor, and shows no shadow.
    new TranslucentFrame(m_shadowDialog, body, kBackdropCornerRadius, QMargins(),
                         [effect](bool shown) { effect->setEnabled(shown); });
    m_shadowDialog->show();
    keepAboveBackdrop();
}

void ProfileConfigDialog::recolourBackdrop() {
    // The shown backdrop takes the new mode's shadow colour in place: a backdrop made anew
    // would be a new window, stacked above the editor by a window manager (which keeps a
    // shown window's place above the backdrop it was shown with).
    for (QWidget* child : m_shadowDialog->findChildren<QWidget*>()) {
        if (auto* effect = qobject_cast<QGraphicsDropShadowEffect*>(child->graphicsEffect())) {
            effect->setColor(QColor(
                QString::fromLatin1(colorMode == kDarkColorMode ? kDarkShadowColor : kLightShadowColor)));
        }
    }
}

void ProfileConfigDialog::keepAboveBackdrop() {
    // The backdrop is a window of its own, shown after the editor's window was made (and
    // again after a change of colour mode): the display would stack it above the editor,
    // which then shows as a dark empty panel. A window manager keeps a window above the one
    // it is transient for; without one, the editor is raised once both are shown.
    if (QWindow* own = windowHandle()) {
        own->setTransientParent(m_shadowDialog->windowHandle());
    }
    QTimer::singleShot(0, this, [this] {
        if (isVisible()) {
            raise();
        }
    });
}

void ProfileConfigDialog::adjustButtonWidths() {
    const QFontMetrics metrics(pixelFont(QString::fromLatin1(kButtonFontFamily), kButtonFontPointSize));
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
        recolourBackdrop();
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
        fitTexts();
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

void ProfileConfigDialog::initValidators() {
    const auto limit = [this](QLineEdit* field, const char* pattern) {
        field->setValidator(new QRegExpValidator(QRegExp(QString::fromLatin1(pattern)), this));
    };
    limit(ui.lineEditSubMask, kMaskPattern);
    limit(ui.lineEditPeerPort, kPortPattern);
    limit(ui.lineEditWireGuardInterPort, kPortPattern);
    limit(ui.lineEditWireGuardKeepAlive, kKeepAlivePattern);
    limit(ui.lineEditDPDPeriod, kDpdPeriodPattern);
    for (QLineEdit* field : {ui.lineEditWireGuardPriKey, ui.lineEditPassword, ui.lineEditSSLPassword}) {
        field->setEchoMode(QLineEdit::Password);
    }
}

void ProfileConfigDialog::setToolTips() {
    const struct {
        QWidget* widget;
        const char* key;
    } tips[] = {
        {ui.labelRemoteNetwork, "TOAST_REMOTE_NETWORK"},
        {ui.labelProfileName, "TOAST_VPN_PROFILE_NAME"},
        {ui.labelEncryptionP1, "TOAST_IPSEC_ENCRYPTION_P1"},
        {ui.labelAuthenticationP1, "TOAST_IPSEC_AUTHENTICATION_P1"},
        {ui.labelKeyGroup, "TOAST_IPSEC_KEY_GROUP_P1"},
        {ui.comboBoxAlgrithmOne, "TOAST_IPSEC_AUTHENTICATION_P2"},
        {ui.comboBoxAlgrithmTwo, "TOAST_IPSEC_ENCRYPTION_P2"},
        {ui.labelDPDPeriod, "TOAST_IPSEC_DPD_PERIOD"},
        {ui.labelPSK, "TOAST_IPSEC_PSK"},
        {ui.labelServerIP, "TOAST_VPN_SERVER_IP"},
        {ui.labelWireguardServerPubKey, "TOAST_WIREGUARD_SERVER_PUB_KEY_TIP"},
        {ui.labelWireguardIPAddr, "TOAST_WIREGUARD_IP_ADDRESS_TIP"},
        {ui.labelWireguardPeerPriKey, "TOAST_WIREGUARD_PRI_KEY_TIP"},
        {ui.labelWireguardPeerPubKey, "TOAST_WIREGUARD_PUB_KEY_TIP"},
        {ui.labelWireguardPreSharedKey, "TOAST_WIREGUARD_PRESHARED_KEY_TIP"},
        {ui.labelWireguardKeepalive, "TOAST_WIREGUARD_KEEPALIVE_TIP"},
        {ui.labelWireguardEnableFullTraffic, "TOAST_VPN_ENABLE_FULL_TRAFFIC_TIP"},
        {ui.labelOpenvpnEnableFullTraffic, "TOAST_VPN_ENABLE_FULL_TRAFFIC_TIP"},
        {ui.labelSSLVpnEnableFullTraffic, "TOAST_VPN_ENABLE_FULL_TRAFFIC_TIP"},
    };
    for (const auto& tip : tips) {
        tip.widget->setToolTip(ZRStringConstant::tr(tip.key));
    }
}

// Kind switching.

void ProfileConfigDialog::slotVPNComboBoxIndexChanged(int iIndex) {
    if (iIndex == ui.stackedWidgetVPNType->currentIndex()) {
        return;
    }
    resetAllFields();
    showKindPage(iIndex);
}

void ProfileConfigDialog::showKindPage(int index) {
    switch (index) {
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

// The buttons and the page controls: the dialog's own, and each page's handed to its page.

void ProfileConfigDialog::slotButtonClicked() {
    QObject* button = sender();
    if (button == ui.btnClose || button == ui.btnCancel) {
        close();
    } else if (button == ui.btnConfirm) {
        confirmProfile();
    } else if (!m_wireGuardPage->buttonClicked(button)) {
        m_openVPNPage->buttonClicked(button);
    }
}

void ProfileConfigDialog::slotOpenVPNButtonClicked() {
    m_openVPNPage->controlClicked(kOpenVPN, sender());
}

void ProfileConfigDialog::slotSSLButtonClicked() {
    m_openVPNPage->controlClicked(kSSLVPN, sender());
}

void ProfileConfigDialog::slotIPSecButtonClicked() {
    m_ipsecPage->buttonClicked(sender());
}

void ProfileConfigDialog::slotDeleteGateway() {
    RemoteSubnetRows::removeRowOf(qobject_cast<QWidget*>(sender()));
    const int page = ui.stackedWidgetVPNType->currentIndex();
    if (page >= 0 && page <= 3) {
        subnetRowsOfPage(page).rowDeleted();
    }
}

void ProfileConfigDialog::addRemoteSubnetRow(QWidget* container, int ipsecFlag) {
    RemoteSubnetRows::addRow(container, ipsecFlag, this);
}

RemoteSubnetRows& ProfileConfigDialog::subnetRowsOfPage(int index) {
    switch (index) {
    case 0:
        return m_ipsecPage->rows();
    case 1:
        return m_openVPNPage->rows(kSSLVPN);
    case 2:
        return m_openVPNPage->rows(kOpenVPN);
    default:
        return m_wireGuardPage->rows();
    }
}

void ProfileConfigDialog::slotLineEidtClicked() {
    auto* field = qobject_cast<QLineEdit*>(sender());
    if (field == nullptr) {
        return;
    }
    const QString normal = QString::fromLatin1(kLineEditNormal);
    if (field == ui.lineEditProfileName) {
        ui.labelNameWarning->setText(QString());
        field->setStyleSheet(normal);
    } else if (field == ui.lineEditPubKey) {
        ui.labelPublicKeyWarning->setText(QString());
        field->setStyleSheet(normal);
    } else if (field == ui.lineEditWireGuardPriKey) {
        m_wireGuardPage->deriveWireGuardPublicKey();
        ui.labelPriKeyWarning->setText(QString());
        field->setStyleSheet(normal);
    } else if (field == ui.lineEditWireGuardPubKey) {
        ui.labelPubKeyWarning->setText(QString());
        field->setStyleSheet(normal);
    } else if (field == ui.lineEditPassword) {
        ui.widgetPassword->setStyleSheet(QString::fromLatin1(kFocusFrame));
    } else if (field == ui.lineEditSSLPassword) {
        ui.widgetSSLPassword->setStyleSheet(QString::fromLatin1(kFocusFrame));
    } else if (field == ui.lineEditImportFile) {
        ui.widgetFileName->setStyleSheet(QString::fromLatin1(kPlainFrame));
        ui.btnOpenVPNImport->setStyleSheet(QString::fromLatin1(kPlainFrame));
    } else if (field == ui.lineEditDPDPeriod) {
        field->setStyleSheet(QString::fromLatin1(kPlainFrame));
    } else {
        field->setStyleSheet(normal);
    }
}

void ProfileConfigDialog::slotIPInputLineEidtClicked() {
    // An address editor keeps its mark while typing; its own focus handling replaces it.
}

// Loading: the frame every kind's load shares, and the kinds' loads.

void ProfileConfigDialog::slotLoadWireGuardVPNInfo(QString configName, int iConfigID, int iVPNType) {
    m_wireGuardPage->load(configName, iConfigID, iVPNType);
}

void ProfileConfigDialog::slotLoadOpenVPNInfo(QString configName, int iConfigID, int iVPNType) {
    m_openVPNPage->load(configName, iConfigID, iVPNType);
}

void ProfileConfigDialog::slotLoadIPSecVPNInfo(QString configName, int iConfigID, int iVPNType) {
    m_ipsecPage->load(configName, iConfigID, iVPNType);
}

void ProfileConfigDialog::slotLoadSSLVPNInfo(QString configName, int iConfigID, int iVPNType) {
    m_openVPNPage->load(configName, iConfigID, iVPNType);
}

void ProfileConfigDialog::beginLoad(const QString& configName, int iVPNType) {
    showKindPage(iVPNType - 1);
    ui.lineEditProfileName->setText(configName);
    ui.lineEditProfileName->setCursorPosition(0);
    ui.comboBoxVPNType->setCurrentIndex(iVPNType - 1);
}

void ProfileConfigDialog::setLoadedAddress(ZRInputIpLineEdit* editor, const QString& address) {
    if (!address.isEmpty()) {
        editor->setIpAddress(address);
    }
}

// Confirm: the kinds' saves, then the clean-up of an edit that changed the kind.

bool ProfileConfigDialog::saveIPSecTunnel() {
    return m_ipsecPage->save();
}

bool ProfileConfigDialog::saveSSLVPN() {
    return m_openVPNPage->save(kSSLVPN);
}

bool ProfileConfigDialog::saveOpenVPN() {
    return m_openVPNPage->save(kOpenVPN);
}

bool ProfileConfigDialog::saveWireGuardVPN() {
    return m_wireGuardPage->save();
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
    if (appContext() == nullptr) {
        return;
    }
    switch (m_iVPNType) {
    case kIPSec:
        m_ipsecPage->removeStored();
        break;
    case kSSLVPN:
    case kOpenVPN:
        m_openVPNPage->removeStored(newKind);
        break;
    case kWireGuard:
        m_wireGuardPage->removeStored();
        break;
    default:
        break;
    }
}

// The field rules every page uses.

int ProfileConfigDialog::checkProfileName(const char* name, int kind) {
    return FieldRules::checkProfileName(name, kind);
}

FieldRules::FieldRule ProfileConfigDialog::nameRule(int kind) {
    const auto passes = [this, kind] {
        // The rule an import applies too: a name a profile came in with can be saved again.
        return ProfileNameRule::accepts(ui.lineEditProfileName->text().toUtf8().constData(), kind);
    };
    return {ui.lineEditProfileName, passes, kind == kWireGuard ? kWireGuardNameValidTip : kNameValidTip,
            ui.labelNameWarning};
}

bool ProfileConfigDialog::checkNameUniqueness() {
    const QString name = ui.lineEditProfileName->text();
    AppContext* app = SystemContext::Instance()->GetAppContext();
    const bool found = app != nullptr && app->FindProfileIndex(name.toUtf8().constData()) >= 0;
    // An edit that keeps the name finds the profile itself.
    if (!found || (m_bEditMode && name == m_configName)) {
        return true;
    }
    FieldRules::showWarning(ui.labelNameWarning, ui.lineEditProfileName, kNameExistTip);
    return false;
}

bool ProfileConfigDialog::checkRemoteSubnets(QString& text, const QList<ZRInputIpLineEdit*>& addresses,
                                             const QList<QLineEdit*>& masks, bool check) {
    QStringList rows;
    FieldRules::Table table;
    if (check) {
        for (int i = 0; i < addresses.size(); ++i) {
            const QString address = addresses.at(i)->ipAddress();
            QLineEdit* maskEdit = i < masks.size() ? masks.at(i) : nullptr;
            const QString mask = maskEdit != nullptr ? maskEdit->text() : QString();
            table.push_back({addresses.at(i), FieldRules::matches(m_ipRegExp, address)});
            table.push_back({maskEdit, FieldRules::matches(m_maskRegExp, mask)});
            rows << address + QLatin1String(kSubnetSeparator) + mask;
        }
    }
    // Every row as typed, also one that fails: the saves store the text only once all pass.
    text = rows.join(QLatin1String(kSubnetItemSeparator));
    return FieldRules::check(table, FieldRules::Until::EveryRow);
}

QString ProfileConfigDialog::maskLengthToNetmask(int length) {
    if (length > 32 || length < 0) {
        return QString();
    }
    const std::string bits = std::string(static_cast<size_t>(length), '1') + std::string(32 - length, '0');
    QStringList octets;
    for (int i = 0; i < 4; ++i) {
        octets << QString::number(binaryToInt(bits.substr(static_cast<size_t>(i) * 8, 8)));
    }
    return octets.join(QLatin1Char('.'));
}

int ProfileConfigDialog::binaryToInt(const std::string& digits) {
    int value = 0;
    int weight = 1;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '0' && *it != '1') {
            return 0;
        }
        if (*it == '1') {
            value += weight;
        }
        weight *= 2;
    }
    return value;
}

std::string& ProfileConfigDialog::trimString(std::string& text) {
    static const char* const kWhiteSpace = " \t\n\v\f\r";
    text.erase(text.find_last_not_of(kWhiteSpace) + 1);
    text.erase(0, text.find_first_not_of(kWhiteSpace));
    return text;
}

// The steps every save shares.

bool ProfileConfigDialog::nameIsFree() {
    if (!reloadProfileList()) {
        showSaveFailure(kSaveFailedTip);
        return false;
    }
    return checkNameUniqueness();
}

bool ProfileConfigDialog::reloadProfileList() {
    AppContext* app = appContext();
    if (app == nullptr || app->GetSqlite() == nullptr) {
        return false;
    }
    app->ClearProfileList();
    return app->GetSqlite()->GetProfileList(*app->GetProfileList()) == 0;
}

QString ProfileConfigDialog::createDirPath(const QString& path) {
    // The folder lists profile names and holds their files: root's alone.
    CreateDirPath(path);
    return path;
}

QString ProfileConfigDialog::configFileTarget(const char* folder, const char* suffix,
                                              const char* nameMessage) {
    createDirPath(QString::fromLatin1(folder));
    const QString target = profileFilePath(folder, ui.lineEditProfileName->text(), suffix);
    if (target.isEmpty()) {
        FieldRules::showWarning(ui.labelNameWarning, ui.lineEditProfileName, nameMessage);
    }
    return target;
}

bool ProfileConfigDialog::storeProfile(int kind, const QString& name, const QString& filePath,
                                       const QByteArray& fileContent, const KindRowWriter& writeKindRow) {
    // An edit that keeps the kind writes over its own kind row; any other save adds one.
    const bool update = m_bEditMode && m_iVPNType == kind;
    const auto writeRows = [&](IPCSqlite* store) {
        int configID = update ? m_iConfigID : 0;
        if (writeKindRow(update, configID) != 0) {
            return -1;
        }
        ProfileInfo profile;
        qstrncpy(profile.ProfileName, name.toUtf8().constData(), sizeof profile.ProfileName);
        profile.ProfileType = kind;
        return writeProfileRow(store, &profile, configID);
    };
    AppContext* app = appContext();
    IPCSqlite* store = app != nullptr ? app->GetSqlite() : nullptr;
    StagedFile file;
    const char* failed = nullptr;
    if (store == nullptr) {
        failed = "the store is not open";
    } else if (!filePath.isEmpty() && !file.stage(filePath, fileContent, kConfigFileMode)) {
        failed = "the configuration file cannot be written";
    } else if (store->BeginTransaction() != 0) {
        failed = "the store cannot begin";
    } else if (writeRows(store) != 0) {
        failed = "the rows cannot be written";
        store->RollbackTransaction();
    } else if (!filePath.isEmpty() && !file.install()) {
        failed = "the configuration file cannot be replaced";
        store->RollbackTransaction();
    } else if (store->CommitTransaction() != 0) {
        failed = "the rows cannot be committed";
        file.restore();
    }
    if (failed != nullptr) {
        ZRWLog(kLogModule, kLogLevel, kSaveFailedLine, failed);
        showSaveFailure(kSaveFailedTip);
        return false;
    }
    file.finish();
    return true;
}

int ProfileConfigDialog::writeProfileRow(IPCSqlite* store, ProfileInfo* profile, int configID) const {
    profile->ConfigID = configID;
    if (m_bEditMode) {
        profile->ProfileID = m_iProfileID;
        return store->UpdateProfile(profile);
    }
    return store->InsertProfile(profile);
}

void ProfileConfigDialog::removeFileOfOldName(const QString& newName, const char* folder, const char* suffix,
                                              const char* failedLine) const {
    if (!m_bEditMode || newName == m_configName) {
        return;
    }
    const QString old = profileFilePath(folder, m_configName, suffix);
    if (!old.isEmpty() && QFileInfo(old).isFile() && !QFile::remove(old) && failedLine != nullptr) {
        ZRWLog(kLogModule, kLogLevel, failedLine, old.toUtf8().constData());
    }
}

void ProfileConfigDialog::showSaveFailure(const char* key) {
    ZRToastDialog::instance()->showToast(this, ZRStringConstant::tr(key), kSaveFailureToastMs);
}

void ProfileConfigDialog::setRecordID(IPSecVPNInfo& record, int id) {
    record.SetID(id);
}

int ProfileConfigDialog::recordID(const IPSecVPNInfo& record) {
    return record.GetID();
}
