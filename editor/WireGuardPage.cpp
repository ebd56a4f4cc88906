#include "WireGuardPage.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "AppContext.h"
#include "EditorTexts.h"
#include "ProcessPipe.h"
#include "SystemContext.h"
#include "WireGuardContext.h"
#include "WireGuardValues.h"
#include "ZRInputIpLineEdit.h"
#include "zrwlog.h"

using namespace EditorTexts;
using FieldRules::emptyOrMatches;
using FieldRules::matches;

namespace {

constexpr int kWireGuard = 4;

WireGuardContext* wireGuardContext() {
    AppContext* app = SystemContext::Instance()->GetAppContext();
    return app != nullptr ? app->GetWireGuardContext() : nullptr;
}

std::string pubKeyCommand(const QString& privateKey) {
    return std::string(kPubKeyCommandPrefix) + privateKey.toStdString() + kPubKeyCommandSuffix;
}

template <size_t N> void copyText(char (&field)[N], const QString& text) {
    qstrncpy(field, text.toUtf8().constData(), N);
}

} // namespace

ProfileConfigDialog::WireGuardPage::WireGuardPage(ProfileConfigDialog& dialog, Ui::ProfileConfigDialog& ui)
    : dialog(dialog), ui(ui),
      subnetRows(ui.wireguardGatewayWidget, ui.btnWireGuardAddGateway, ui.btnWireGuardFullTraffic, &dialog) {}

// Set-up and controls.

void ProfileConfigDialog::WireGuardPage::setUp() {
    ui.btnWireGuardFullTraffic->setChecked(true);
    ui.btnWireGuardAddGateway->hide();
    ui.wireguardGatewayWidget->hide();
    for (QPushButton* button : {ui.btnGenKeys, ui.btnWireGuardAddGateway}) {
        QObject::connect(button, SIGNAL(clicked()), &dialog, SLOT(slotButtonClicked()));
    }
    QObject::connect(ui.btnWireGuardFullTraffic, SIGNAL(clicked()), &dialog, SLOT(slotButtonClicked()));
    ui.lineEditWireGuardKeepAlive->installEventFilter(&dialog);
    for (QLineEdit* field : {ui.lineEditPubKey, ui.lineEditWireGuardPriKey, ui.lineEditWireGuardPubKey,
                             ui.lineEditSubMask, ui.lineEditWireGuardInterPort}) {
        QObject::connect(field, SIGNAL(textChanged(const QString)), &dialog, SLOT(slotLineEidtClicked()));
    }
    for (ZRInputIpLineEdit* field : {ui.lineEditInterAddr, ui.lineEditWireGuardDNS}) {
        QObject::connect(field, SIGNAL(lineEidtTextChanged()), &dialog, SLOT(slotIPInputLineEidtClicked()));
    }
}

bool ProfileConfigDialog::WireGuardPage::buttonClicked(QObject* button) {
    if (button == ui.btnGenKeys) {
        generateWireGuardKeys();
    } else if (button == ui.btnWireGuardAddGateway) {
        subnetRows.add();
    } else if (button == ui.btnWireGuardFullTraffic) {
        subnetRows.fullTrafficClicked();
    } else {
        return false;
    }
    return true;
}

// The key tool.

bool ProfileConfigDialog::WireGuardPage::isWireGuardKey(const QString& text) {
    return text.size() == kKeyLength && FieldRules::rule(kKeyPattern).exactMatch(text);
}

QString ProfileConfigDialog::WireGuardPage::runKeyTool(const std::string& commandLine) {
    ProcessPipe pipe;
    std::string output = pipe.ExecuteCommand(commandLine.c_str(), true, nullptr);
    // The tool's answer counts only as a whole key: anything else is a failure of its own.
    const QString key = QString::fromStdString(trimString(output));
    return isWireGuardKey(key) ? key : QString();
}

void ProfileConfigDialog::WireGuardPage::generateWireGuardKeys() {
    const QString privateKey = runKeyTool(kGenKeyCommand);
    if (privateKey.isEmpty()) {
        return;
    }
    // Both keys or neither: the private key goes into its field only with its public key.
    const QString publicKey = runKeyTool(pubKeyCommand(privateKey));
    if (publicKey.isEmpty()) {
        return;
    }
    ui.lineEditWireGuardPriKey->setText(privateKey);
    ui.lineEditWireGuardPubKey->setText(publicKey);
    ui.lineEditWireGuardPriKey->setCursorPosition(0);
    ui.lineEditWireGuardPubKey->setCursorPosition(0);
}

void ProfileConfigDialog::WireGuardPage::deriveWireGuardPublicKey() {
    const QString privateKey = ui.lineEditWireGuardPriKey->text();
    if (!FieldRules::rule(kKeyPattern).exactMatch(privateKey)) {
        return;
    }
    const QString publicKey = runKeyTool(pubKeyCommand(privateKey));
    if (!publicKey.isEmpty()) {
        ui.lineEditWireGuardPubKey->setText(publicKey);
        ui.lineEditWireGuardPriKey->setCursorPosition(0);
        ui.lineEditWireGuardPubKey->setCursorPosition(0);
    }
}

// Loading.

void ProfileConfigDialog::WireGuardPage::load(const QString& configName, int iConfigID, int iVPNType) {
    dialog.beginLoad(configName, iVPNType);
    WireGuardVPNInfo info;
    WireGuardContext* context = wireGuardContext();
    if (context == nullptr || context->GetWireGuardInfoByID(iConfigID, &info) != 0) {
        return;
    }
    setLoadedAddress(ui.lineEditEndpoint, QString::fromUtf8(info.WanIP));
    ui.lineEditPeerPort->setText(QString::number(info.PeerPort));
    ui.lineEditPubKey->setText(QString::fromUtf8(info.PeerPubKey));
    setLoadedAddress(ui.lineEditInterAddr, QString::fromUtf8(info.IPAddr));
    ui.lineEditSubMask->setText(QString::number(info.InterSubMask));
    // The private key derives a public key; the stored one follows and stands.
    ui.lineEditWireGuardPriKey->setText(QString::fromUtf8(info.InterPriKey));
    ui.lineEditWireGuardPubKey->setText(QString::fromUtf8(info.InterPubKey));
    setLoadedAddress(ui.lineEditWireGuardDNS, QString::fromUtf8(info.DNS));
    if (info.InterPort != 0) {
        ui.lineEditWireGuardInterPort->setText(QString::number(info.InterPort));
    }
    if (info.PreShardKey[0] != '\0') {
        ui.lineEditWireGuardShardKey->setText(QString::fromUtf8(info.PreShardKey));
    }
    if (info.KeepaliveTime != 0) {
        ui.lineEditWireGuardKeepAlive->setText(QString::number(info.KeepaliveTime));
    }
    subnetRows.load(QString::fromUtf8(info.AllowdIPs), true);
    for (QLineEdit* field : {ui.lineEditWireGuardPriKey, ui.lineEditWireGuardPubKey,
                             ui.lineEditWireGuardShardKey, ui.lineEditProfileName}) {
        field->setCursorPosition(0);
    }
}

// Saving: read, check, store.

ProfileConfigDialog::WireGuardPage::Values ProfileConfigDialog::WireGuardPage::read() const {
    Values values;
    values.name = ui.lineEditProfileName->text();
    values.fullTraffic = ui.btnWireGuardFullTraffic->isChecked();
    values.publicKey = ui.lineEditWireGuardPubKey->text();
    WireGuardText::PageValues& file = values.file;
    file.peerPublicKey = ui.lineEditPubKey->text();
    file.privateKey = ui.lineEditWireGuardPriKey->text();
    file.endpoint = ui.lineEditEndpoint->ipAddress();
    file.address = ui.lineEditInterAddr->ipAddress();
    file.peerPort = ui.lineEditPeerPort->text();
    file.listenPort = ui.lineEditWireGuardInterPort->text();
    file.mask = ui.lineEditSubMask->text();
    file.presharedKey = ui.lineEditWireGuardShardKey->text();
    const QString dns = ui.lineEditWireGuardDNS->ipAddress();
    file.dns = dialog.m_ipRegExp.exactMatch(dns) ? dns : QString();
    file.keepAlive = ui.lineEditWireGuardKeepAlive->text();
    return values;
}

FieldRules::Table ProfileConfigDialog::WireGuardPage::fieldRules(const Values& values) const {
    const auto key = [](const QString& text) { return [text] { return isWireGuardKey(text); }; };
    const WireGuardText::PageValues& file = values.file;
    const QString presharedKey = file.presharedKey;
    return {
        {ui.lineEditPubKey, key(file.peerPublicKey), kKeyLengthTip, ui.labelPublicKeyWarning},
        {ui.lineEditWireGuardPriKey, key(file.privateKey), kKeyLengthTip, ui.labelPriKeyWarning},
        {ui.lineEditWireGuardPubKey, key(values.publicKey), kKeyLengthTip, ui.labelPubKeyWarning},
        {ui.lineEditEndpoint, matches(dialog.m_ipRegExp, file.endpoint)},
        {ui.lineEditInterAddr, matches(dialog.m_ipRegExp, file.address)},
        {ui.lineEditPeerPort, matches(dialog.m_portRegExp, file.peerPort)},
        // Optional fields: empty, or as their rule says; a wrong one is not dropped silently.
        {ui.lineEditWireGuardInterPort, emptyOrMatches(dialog.m_portRegExp, file.listenPort)},
        {ui.lineEditSubMask, matches(dialog.m_maskRegExp, file.mask)},
        {ui.lineEditWireGuardShardKey,
         [presharedKey] { return presharedKey.isEmpty() || isWireGuardKey(presharedKey); }},
    };
}

bool ProfileConfigDialog::WireGuardPage::check(const Values& values) {
    const bool rows = dialog.checkRemoteSubnets(dialog.remoteSubnetText, subnetRows.addresses(),
                                                subnetRows.masks(), !values.fullTraffic);
    const bool fields = FieldRules::check(fieldRules(values), FieldRules::Until::EveryRow);
    return fields && rows;
}

void ProfileConfigDialog::WireGuardPage::fillRecord(const Values& values, WireGuardVPNInfo& info) const {
    const WireGuardText::PageValues& file = values.file;
    copyText(info.WanIP, file.endpoint);
    info.PeerPort = file.peerPort.toInt();
    copyText(info.PeerPubKey, file.peerPublicKey);
    copyText(info.IPAddr, file.address);
    info.InterSubMask = file.mask.toInt();
    info.InterPort = file.listenPort.toInt();
    copyText(info.InterPriKey, file.privateKey);
    copyText(info.InterPubKey, values.publicKey);
    copyText(info.DNS, file.dns);
    copyText(info.PreShardKey, file.presharedKey);
    info.KeepaliveTime = file.keepAlive.toInt();
    copyText(info.AllowdIPs, dialog.remoteSubnetText);
}

QWidget* ProfileConfigDialog::WireGuardPage::fieldOfKey(const std::string& key) const {
    const std::pair<const char*, QWidget*> fields[] = {
        {"PrivateKey", ui.lineEditWireGuardPriKey},
        {"ListenPort", ui.lineEditWireGuardInterPort},
        {"Address", ui.lineEditInterAddr},
        {"DNS", ui.lineEditWireGuardDNS},
        {"PublicKey", ui.lineEditPubKey},
        {"Endpoint", ui.lineEditEndpoint},
        {"AllowedIPs", ui.wireguardGatewayWidget},
        {"PresharedKey", ui.lineEditWireGuardShardKey},
        {"PersistentKeepalive", ui.widgetKeepAlive},
    };
    for (const auto& field : fields) {
        if (key == field.first) {
            return field.second;
        }
    }
    return nullptr;
}

bool ProfileConfigDialog::WireGuardPage::save() {
    if (!FieldRules::check({dialog.nameRule(kWireGuard)}, FieldRules::Until::FirstFailure)) {
        return false;
    }
    const Values values = read();
    if (!check(values) || !dialog.nameIsFree()) {
        return false;
    }
    const QString target =
        dialog.configFileTarget(kWireGuardConfigDir, kWireGuardConfigSuffix, kWireGuardNameValidTip);
    if (target.isEmpty()) {
        return false;
    }
    WireGuardVPNInfo info;
    fillRecord(values, info);
    WireGuardText::PageValues file = values.file;
    file.allowedIPs = dialog.remoteSubnetText;
    // The connect and the import decide by the same checker: what the page would write must
    // pass it, whatever the field rules let through.
    const QByteArray configuration = WireGuardText::configuration(file);
    const std::string unfit = WireGuardValues::FirstUnfitLine(configuration.toStdString());
    if (!unfit.empty()) {
        ZRWLog(kLogModule, kLogLevel, kWireGuardValueNotSavedLine, unfit.c_str());
        if (QWidget* field = fieldOfKey(unfit)) {
            FieldRules::mark(field);
        }
        return false;
    }
    const bool saved =
        dialog.storeProfile(kWireGuard, values.name, target, configuration,
                            kindRowWriter(wireGuardContext(), info, &WireGuardContext::UpdateWireGuardInfo,
                                          &WireGuardContext::AddWireGuardInfo));
    if (!saved) {
        return false;
    }
    dialog.removeFileOfOldName(values.name, kWireGuardConfigDir, kWireGuardConfigSuffix, nullptr);
    return true;
}

void ProfileConfigDialog::WireGuardPage::removeStored() {
    if (WireGuardContext* context = wireGuardContext()) {
        WireGuardVPNInfo info;
        info.ID = dialog.m_iConfigID;
        context->DeleteWireGuardInfo(&info);
    }
    const QString path = profileFilePath(kWireGuardConfigDir, dialog.m_configName, kWireGuardConfigSuffix);
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        QFile::remove(path);
    }
}
