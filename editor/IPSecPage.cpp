#include "IPSecPage.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <vector>

#include "AppContext.h"
#include "ApplicationStyleSheet.h"
#include "EditorTexts.h"
#include "IPSecVPNContext.h"
#include "SystemContext.h"
#include "ZRInputIpLineEdit.h"
#include "ZRStringConstant.h"

using namespace EditorTexts;
using FieldRules::matches;

namespace {

constexpr int kIPSec = 1;

AppContext* appContext() {
    return SystemContext::Instance()->GetAppContext();
}

template <size_t N> void fillProposals(QComboBox* combo, const Proposal (&entries)[N], int first = 0) {
    int data = first;
    for (size_t i = static_cast<size_t>(first); i < N; ++i) {
        combo->addItem(ZRStringConstant::tr(entries[i].textKey), data++);
    }
}

// The stored name of a combo's current entry, or null when no entry of the table is chosen.
template <size_t N>
const char* storedName(const QComboBox* combo, const Proposal (&entries)[N], int offset = 0) {
    const int index = combo->currentIndex() + offset;
    return index >= offset && index < static_cast<int>(N) ? entries[index].stored : nullptr;
}

} // namespace

ProfileConfigDialog::IPSecPage::IPSecPage(ProfileConfigDialog& dialog, Ui::ProfileConfigDialog& ui)
    : dialog(dialog), ui(ui), subnetRows(ui.IPSecGatewayWidget, ui.btnIPSecAddMoreAddress, nullptr, &dialog) {
}

// Set-up.

void ProfileConfigDialog::IPSecPage::setUp() {
    initIPSecComboBoxes();
    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(ui.btnIKEv1), static_cast<QAbstractButton*>(ui.btnIKEv2),
          static_cast<QAbstractButton*>(ui.btnDPD), static_cast<QAbstractButton*>(ui.btnIPSecAddMoreAddress),
          static_cast<QAbstractButton*>(ui.btnAH), static_cast<QAbstractButton*>(ui.btnESP),
          static_cast<QAbstractButton*>(ui.btnStandardTunnel),
          static_cast<QAbstractButton*>(ui.btnSpecifiedRemoteAddr)}) {
        QObject::connect(button, SIGNAL(clicked()), &dialog, SLOT(slotIPSecButtonClicked()));
    }
    QObject::connect(ui.lineEditRemoteIP, SIGNAL(lineEidtTextChanged()), &dialog,
                     SLOT(slotIPInputLineEidtClicked()));
    for (QLineEdit* field : {ui.lineEditRemoteNetworkMask, ui.lineEditPSK, ui.lineEditDPDPeriod}) {
        QObject::connect(field, SIGNAL(textChanged(const QString)), &dialog, SLOT(slotLineEidtClicked()));
    }
    QObject::connect(ui.lineEditIpOrHost, SIGNAL(lineEidtTextChanged()), &dialog,
                     SLOT(slotIPInputLineEidtClicked()));
    ui.lineEditDPDPeriod->installEventFilter(&dialog);
    // Keys as people have them ("psk-0123", "a+b/c="): every printable character. The key
    // reaches strongSwan hex-encoded, so none of them means anything to it.
    ui.lineEditPSK->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QString::fromLatin1(kPresharedKeyPattern)), &dialog));
    // Only the first version of the key exchange is offered.
    ui.btnIKEv2->hide();
}

void ProfileConfigDialog::IPSecPage::initIPSecComboBoxes() {
    for (QComboBox* combo : {ui.comboBoxAlgrithmOne, ui.comboBoxAlgrithmTwo, ui.comboBoxEncryption,
                             ui.comboBoxAuthentication, ui.comboBoxKeyGroup, ui.comboBoxLocalIP}) {
        QWidget* popup = combo->view()->window();
        popup->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
        popup->setAttribute(Qt::WA_TranslucentBackground);
        combo->setView(new QListView(combo));
        StyleDropDownList(combo);
        combo->installEventFilter(&dialog);
        combo->clear();
        if (combo == ui.comboBoxAlgrithmOne || combo == ui.comboBoxAuthentication) {
            fillProposals(combo, kHashProposals);
        } else if (combo == ui.comboBoxAlgrithmTwo) {
            fillProposals(combo, kEncryptionProposals);
        } else if (combo == ui.comboBoxEncryption) {
            fillProposals(combo, kEncryptionProposals, kPhaseOneEncryptionOffset);
        } else if (combo == ui.comboBoxKeyGroup) {
            fillProposals(combo, kKeyGroupProposals);
        } else {
            loadLocalIPComboBox(kNoLocalAddress);
        }
    }
}

int ProfileConfigDialog::IPSecPage::loadLocalIPComboBox(const std::string& savedAddress) {
    ui.comboBoxLocalIP->clear();
    std::vector<AdapterAddress> addresses;
    if (AppContext* app = appContext()) {
        app->GetAdapterAddresses(addresses);
    }
    int found = -1;
    for (size_t i = 0; i < addresses.size(); ++i) {
        if (savedAddress == addresses[i].ip) {
            found = static_cast<int>(i);
        }
        ui.comboBoxLocalIP->addItem(ZRStringConstant::tr(addresses[i].ip), static_cast<int>(i));
    }
    if (found < 0 && savedAddress != kNoLocalAddress) {
        ui.comboBoxLocalIP->insertItem(0, QString::fromStdString(savedAddress));
    }
    return found < 0 ? 0 : found;
}

void ProfileConfigDialog::IPSecPage::offerNoEncryption() {
    ui.comboBoxAlgrithmTwo->clear();
    ui.comboBoxAlgrithmTwo->addItem(QString::fromLatin1(kNoEncryptionEntry));
    ui.comboBoxAlgrithmTwo->setEnabled(false);
}

void ProfileConfigDialog::IPSecPage::offerEspEncryptions() {
    ui.comboBoxAlgrithmTwo->clear();
    int data = 0;
    for (const char* name : kEspEncryptions) {
        ui.comboBoxAlgrithmTwo->addItem(ZRStringConstant::tr(name), data++);
    }
    ui.comboBoxAlgrithmTwo->setEnabled(true);
}

void ProfileConfigDialog::IPSecPage::buttonClicked(QObject* button) {
    if (button == ui.btnAH) {
        offerNoEncryption();
    } else if (button == ui.btnESP) {
        offerEspEncryptions();
    } else if (button == ui.btnIPSecAddMoreAddress) {
        subnetRows.add();
    } else if (button == ui.btnDPD) {
        ui.DPDPeriodwidget->setVisible(ui.btnDPD->isChecked());
    }
    // The IKE version and tunnel radios are read when saving.
}

// Loading.

void ProfileConfigDialog::IPSecPage::load(const QString& configName, int iConfigID, int iVPNType) {
    dialog.beginLoad(configName, iVPNType);
    IPSecVPNInfo info;
    info.SetID(iConfigID);
    AppContext* app = appContext();
    IPSecVPNContext* context = app != nullptr ? app->GetIPSecVPNContext() : nullptr;
    if (context == nullptr || context->GetIPSecInfoByID(iConfigID, &info) != 0) {
        return;
    }
    if (!info.GetLocalAddrs().empty()) {
        ui.comboBoxLocalIP->setCurrentIndex(loadLocalIPComboBox(info.GetLocalAddrs()));
    }
    if (info.GetTransportProtocol() == 1) {
        ui.btnStandardTunnel->setChecked(true);
        ui.btnSpecifiedRemoteAddr->setChecked(false);
    } else if (info.GetTransportProtocol() != 0) {
        ui.btnStandardTunnel->setChecked(false);
        ui.btnSpecifiedRemoteAddr->setChecked(true);
    }
    setLoadedAddress(ui.lineEditIpOrHost, QString::fromStdString(info.GetRemoteAddrs()));
    loadRemoteNetworks(info);
    loadProposals(info);
    if (!info.GetPSKSecret().empty()) {
        ui.lineEditPSK->setText(QString::fromStdString(info.GetPSKSecret()));
    }
    ui.btnDPD->setChecked(info.GetEnableDPD() == 1);
    if (info.GetEnableDPD() == 1) {
        ui.lineEditDPDPeriod->setText(QString::number(info.GetDPDPeriod()));
        ui.DPDPeriodwidget->show();
    }
}

void ProfileConfigDialog::IPSecPage::loadRemoteNetworks(const IPSecVPNInfo& info) {
    // The first selector is the page's own remote network, the others are rows.
    const IPSecSelectorList& selectors = *info.GetRemoteTrafficSelectors();
    if (selectors.empty()) {
        return;
    }
    const auto first = RemoteSubnetRows::split(QString::fromStdString(selectors.front()), false);
    setLoadedAddress(ui.lineEditRemoteIP, first.first);
    ui.lineEditRemoteNetworkMask->setText(first.second);
    if (selectors.size() > 1) {
        QList<QPair<QString, QString>> subnets;
        for (size_t i = 1; i < selectors.size(); ++i) {
            subnets.append(RemoteSubnetRows::split(QString::fromStdString(selectors[i]), false));
        }
        subnetRows.fill(subnets);
    }
}

void ProfileConfigDialog::IPSecPage::loadProposals(const IPSecVPNInfo& info) {
    if (info.GetProtocolType() == 1) {
        ui.btnAH->setChecked(true);
        ui.btnESP->setChecked(false);
        offerNoEncryption();
        ui.comboBoxAlgrithmOne->setCurrentIndex(info.GetAHHashIndex());
    } else if (info.GetProtocolType() != 0) {
        ui.btnESP->setChecked(true);
        ui.btnAH->setChecked(false);
        ui.comboBoxAlgrithmOne->setCurrentIndex(info.GetEspHashIndex());
        ui.comboBoxAlgrithmTwo->setCurrentIndex(info.GetEspEncryptionIndex());
    }
    if (!info.GetIkeEncryption().empty()) {
        ui.comboBoxEncryption->setCurrentIndex(info.GetIkeEncryptionIndex() - kPhaseOneEncryptionOffset);
    }
    if (!info.GetIkeHash().empty()) {
        ui.comboBoxAuthentication->setCurrentIndex(info.GetIkeHashIndex());
    }
    if (!info.GetIkeDHGroup().empty()) {
        ui.comboBoxKeyGroup->setCurrentIndex(info.GetIkeDHGroupIndex());
    }
}

// Saving: read, check, store.

ProfileConfigDialog::IPSecPage::Values ProfileConfigDialog::IPSecPage::read() const {
    Values values;
    values.name = ui.lineEditProfileName->text();
    values.server = ui.lineEditIpOrHost->ipAddress();
    values.remote = ui.lineEditRemoteIP->ipAddress();
    values.remoteMask = ui.lineEditRemoteNetworkMask->text();
    values.rowAddresses = subnetRows.addresses();
    values.rowMasks = subnetRows.masks();
    values.localAddress = ui.comboBoxLocalIP->currentText();
    values.psk = ui.lineEditPSK->text();
    values.dpd = ui.btnDPD->isChecked();
    values.dpdPeriod = ui.lineEditDPDPeriod->text();
    values.standardTunnel = ui.btnStandardTunnel->isChecked();
    values.esp = ui.btnESP->isChecked();
    values.hash = storedName(ui.comboBoxAlgrithmOne, kHashProposals);
    values.encryption = values.esp ? storedName(ui.comboBoxAlgrithmTwo, kEncryptionProposals) : "";
    values.ikeEncryption = storedName(ui.comboBoxEncryption, kEncryptionProposals, kPhaseOneEncryptionOffset);
    values.ikeHash = storedName(ui.comboBoxAuthentication, kHashProposals);
    values.ikeGroup = storedName(ui.comboBoxKeyGroup, kKeyGroupProposals);
    return values;
}

FieldRules::Table ProfileConfigDialog::IPSecPage::serverRules(const Values& values) const {
    return {
        dialog.nameRule(kIPSec),
        {ui.lineEditIpOrHost, matches(dialog.m_ipRegExp, values.server)},
    };
}

FieldRules::Table ProfileConfigDialog::IPSecPage::remoteNetworkRules(const Values& values) const {
    return {
        {ui.lineEditRemoteIP, matches(dialog.m_ipRegExp, values.remote)},
        {ui.lineEditRemoteNetworkMask, matches(dialog.m_maskRegExp, values.remoteMask)},
    };
}

FieldRules::Table ProfileConfigDialog::IPSecPage::localRules(const Values& values) const {
    const QString psk = values.psk;
    const bool dpd = values.dpd;
    const QString dpdPeriod = values.dpdPeriod;
    const bool proposals = values.hash != nullptr && values.encryption != nullptr &&
                           values.ikeEncryption != nullptr && values.ikeHash != nullptr &&
                           values.ikeGroup != nullptr;
    return {
        // An address that no adapter reports any more shows no mark.
        {nullptr, matches(dialog.m_ipRegExp, values.localAddress)},
        // The pre-shared key follows the profile-name rule, without its message.
        {ui.lineEditPSK,
         [psk] { return !psk.isEmpty() && FieldRules::checkProfileName(psk.toUtf8().constData(), 0) == 0; }},
        {ui.lineEditDPDPeriod,
         [dpd, dpdPeriod] { return !dpd || FieldRules::rule(kDpdPeriodPattern).exactMatch(dpdPeriod); }},
        // A combo without a chosen entry shows no mark.
        {nullptr, [proposals] { return proposals; }},
    };
}

bool ProfileConfigDialog::IPSecPage::checkRows(const Values& values, IPSecSelectorList& selectors) const {
    for (int row = 0; row < values.rowAddresses.size(); ++row) {
        QString selector;
        if (!dialog.checkRemoteSubnets(selector, values.rowAddresses.mid(row, 1), values.rowMasks.mid(row, 1),
                                       true)) {
            return false;
        }
        selectors.push_back(selector.toStdString());
    }
    return true;
}

bool ProfileConfigDialog::IPSecPage::check(const Values& values, IPSecSelectorList& selectors) const {
    using FieldRules::Until;
    if (!FieldRules::check(serverRules(values), Until::FirstFailure) || !dialog.nameIsFree() ||
        !FieldRules::check(remoteNetworkRules(values), Until::FirstFailure)) {
        return false;
    }
    selectors.push_back((values.remote + QLatin1Char('/') + values.remoteMask).toStdString());
    return checkRows(values, selectors) && FieldRules::check(localRules(values), Until::FirstFailure);
}

void ProfileConfigDialog::IPSecPage::fillRecord(const Values& values, const IPSecSelectorList& selectors,
                                                IPSecVPNInfo& info) const {
    const std::string phaseTwo =
        values.esp ? std::string(values.hash) + "-" + values.encryption : std::string(values.hash);
    info.SetVersionValue(1);
    info.SetPolicyName(values.name.toStdString());
    info.SetLocalAddress(values.localAddress.toStdString());
    info.SetRemoteAddrs(values.server.toStdString());
    info.SetTransportProtocolValue(values.standardTunnel ? 1 : 2);
    info.SetRemoteTrafficSelectors(selectors);
    info.SetProtocolTypeValue(values.esp ? 2 : 1);
    if (values.esp) {
        info.SetEspProposals(phaseTwo);
    } else {
        info.SetAHProposals(phaseTwo);
    }
    info.SetIkeEncryption(values.ikeEncryption);
    info.SetIkeHash(values.ikeHash);
    info.SetIkeDHGroup(values.ikeGroup);
    info.SetPSKSecret(values.psk.toStdString());
    info.SetEnableDPD(values.dpd ? 1 : 0);
    info.SetDPDPeriod(values.dpd ? values.dpdPeriod.toInt() : 0);
}

bool ProfileConfigDialog::IPSecPage::save() {
    const Values values = read();
    IPSecSelectorList selectors;
    if (!check(values, selectors)) {
        return false;
    }
    IPSecVPNInfo info;
    fillRecord(values, selectors, info);
    IPSecVPNContext* context = appContext() != nullptr ? appContext()->GetIPSecVPNContext() : nullptr;
    return dialog.storeProfile(
        kIPSec, values.name, QString(), QByteArray(),
        kindRowWriter(context, info, &IPSecVPNContext::UpdateIPSecInfo, &IPSecVPNContext::AddIPSecInfo));
}

void ProfileConfigDialog::IPSecPage::removeStored() {
    if (IPSecVPNContext* context = appContext()->GetIPSecVPNContext()) {
        context->DeleteIPSecInfo(dialog.m_iConfigID);
    }
}
