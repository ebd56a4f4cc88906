// The WireGuard page: the key pair from the bundle's wg tool, loading a stored profile,
// and saving it with its configuration file ./Config/wireguard/<name>.conf.
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "AppContext.h"
#include "EditorTexts.h"
#include "IPCSqlite.h"
#include "ProcessPipe.h"
#include "ProfileConfigDialog.h"
#include "ProfileFileTexts.h"
#include "SystemContext.h"
#include "WireGuardContext.h"
#include "ZRInputIpLineEdit.h"

using namespace EditorTexts;

namespace {

constexpr int kWireGuard = 4;

QRegExp keyRule() {
    return QRegExp(QString::fromLatin1(kKeyPattern), Qt::CaseSensitive, QRegExp::RegExp);
}

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

bool ProfileConfigDialog::isWireGuardKey(const QString& text) {
    return text.size() == kKeyLength && keyRule().exactMatch(text);
}

QString ProfileConfigDialog::runKeyTool(const std::string& commandLine) {
    ProcessPipe pipe;
    std::string output = pipe.ExecuteCommand(commandLine.c_str(), true, nullptr);
    // The tool's answer counts only as a whole key: anything else is a failure of its own.
    const QString key = QString::fromStdString(trimString(output));
    return isWireGuardKey(key) ? key : QString();
}

void ProfileConfigDialog::generateWireGuardKeys() {
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

void ProfileConfigDialog::deriveWireGuardPublicKey() {
    const QString privateKey = ui.lineEditWireGuardPriKey->text();
    if (!keyRule().exactMatch(privateKey)) {
        return;
    }
    const QString publicKey = runKeyTool(pubKeyCommand(privateKey));
    if (!publicKey.isEmpty()) {
        ui.lineEditWireGuardPubKey->setText(publicKey);
        ui.lineEditWireGuardPriKey->setCursorPosition(0);
        ui.lineEditWireGuardPubKey->setCursorPosition(0);
    }
}

void ProfileConfigDialog::slotLoadWireGuardVPNInfo(QString configName, int iConfigID, int iVPNType) {
    slotSwitchToWireGuardVPN();
    ui.lineEditProfileName->setText(configName);
    ui.comboBoxVPNType->setCurrentIndex(iVPNType - 1);
    WireGuardVPNInfo info;
    WireGuardContext* context = wireGuardContext();
    if (context == nullptr || context->GetWireGuardInfoByID(iConfigID, &info) != 0) {
        ui.lineEditProfileName->setCursorPosition(0);
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
    loadRemoteSubnets(QString::fromUtf8(info.AllowdIPs), ui.wireguardGatewayWidget, ui.btnWireGuardAddGateway,
                      ui.btnWireGuardFullTraffic, true);
    for (QLineEdit* field : {ui.lineEditWireGuardPriKey, ui.lineEditWireGuardPubKey,
                             ui.lineEditWireGuardShardKey, ui.lineEditProfileName}) {
        field->setCursorPosition(0);
    }
}

bool ProfileConfigDialog::saveWireGuardVPN() {
    if (!checkNameField(kWireGuard)) {
        return false;
    }
    const QString name = ui.lineEditProfileName->text();
    const bool fullTraffic = ui.btnWireGuardFullTraffic->isChecked();
    const bool rows = checkRemoteSubnets(remoteSubnetText, rowAddresses(ui.wireguardGatewayWidget),
                                         rowMasks(ui.wireguardGatewayWidget), !fullTraffic);

    const QString peerKey = ui.lineEditPubKey->text();
    const QString privateKey = ui.lineEditWireGuardPriKey->text();
    const QString publicKey = ui.lineEditWireGuardPubKey->text();
    const QString endpoint = ui.lineEditEndpoint->ipAddress();
    const QString address = ui.lineEditInterAddr->ipAddress();
    const QString peerPort = ui.lineEditPeerPort->text();
    const QString listenPort = ui.lineEditWireGuardInterPort->text();
    const QString mask = ui.lineEditSubMask->text();
    const QString presharedKey = ui.lineEditWireGuardShardKey->text();
    const QString dnsText = ui.lineEditWireGuardDNS->ipAddress();
    const QString dns = m_ipRegExp.exactMatch(dnsText) ? dnsText : QString();
    const QString keepAlive = ui.lineEditWireGuardKeepAlive->text();

    // Every check runs before any is acted upon, so that every failure is marked.
    const bool peerKeyOk = isWireGuardKey(peerKey);
    const bool privateKeyOk = isWireGuardKey(privateKey);
    const bool publicKeyOk = isWireGuardKey(publicKey);
    const bool endpointOk = m_ipRegExp.exactMatch(endpoint);
    const bool addressOk = m_ipRegExp.exactMatch(address);
    const bool peerPortOk = m_portRegExp.exactMatch(peerPort);
    // Optional fields: empty, or as their rule says; a wrong one is not dropped silently.
    const bool listenPortOk = listenPort.isEmpty() || m_portRegExp.exactMatch(listenPort);
    const bool maskOk = m_maskRegExp.exactMatch(mask);
    const bool presharedKeyOk = presharedKey.isEmpty() || isWireGuardKey(presharedKey);
    if (!peerKeyOk) {
        showWarning(ui.labelPublicKeyWarning, ui.lineEditPubKey, kKeyLengthTip);
    }
    if (!privateKeyOk) {
        showWarning(ui.labelPriKeyWarning, ui.lineEditWireGuardPriKey, kKeyLengthTip);
    }
    if (!publicKeyOk) {
        showWarning(ui.labelPubKeyWarning, ui.lineEditWireGuardPubKey, kKeyLengthTip);
    }
    if (!endpointOk) {
        markAddress(ui.lineEditEndpoint);
    }
    if (!addressOk) {
        markAddress(ui.lineEditInterAddr);
    }
    if (!peerPortOk) {
        markLineEdit(ui.lineEditPeerPort);
    }
    if (!listenPortOk) {
        markLineEdit(ui.lineEditWireGuardInterPort);
    }
    if (!maskOk) {
        markLineEdit(ui.lineEditSubMask);
    }
    if (!presharedKeyOk) {
        markLineEdit(ui.lineEditWireGuardShardKey);
    }
    if (!(peerKeyOk && privateKeyOk && publicKeyOk && endpointOk && addressOk && peerPortOk && listenPortOk &&
          maskOk && presharedKeyOk && rows)) {
        return false;
    }
    if (!reloadProfileList()) {
        showSaveFailure(kSaveFailedTip);
        return false;
    }
    if (!checkNameUniqueness()) {
        return false;
    }

    WireGuardText::PageValues values;
    values.listenPort = listenPort;
    values.privateKey = privateKey;
    values.address = address;
    values.mask = mask;
    values.dns = dns;
    values.peerPublicKey = peerKey;
    values.endpoint = endpoint;
    values.peerPort = peerPort;
    values.allowedIPs = remoteSubnetText;
    values.presharedKey = presharedKey;
    values.keepAlive = keepAlive;
    createDirPath(QString::fromLatin1(kWireGuardConfigDir));
    const QString target = profileFilePath(kWireGuardConfigDir, name, kWireGuardConfigSuffix);
    if (target.isEmpty()) {
        showWarning(ui.labelNameWarning, ui.lineEditProfileName, kWireGuardNameValidTip);
        return false;
    }

    WireGuardVPNInfo info;
    copyText(info.WanIP, endpoint);
    info.PeerPort = peerPort.toInt();
    copyText(info.PeerPubKey, peerKey);
    copyText(info.IPAddr, address);
    info.InterSubMask = mask.toInt();
    info.InterPort = listenPort.toInt();
    copyText(info.InterPriKey, privateKey);
    copyText(info.InterPubKey, publicKey);
    copyText(info.DNS, dns);
    copyText(info.PreShardKey, presharedKey);
    info.KeepaliveTime = keepAlive.toInt();
    copyText(info.AllowdIPs, remoteSubnetText);

    ProfileInfo profile;
    copyText(profile.ProfileName, name);
    profile.ProfileType = kWireGuard;
    WireGuardContext* context = wireGuardContext();
    const bool saved = storeProfile(target, WireGuardText::configuration(values), [&](IPCSqlite* store) {
        if (context == nullptr) {
            return -1;
        }
        if (m_bEditMode && m_iVPNType == kWireGuard) {
            info.ID = m_iConfigID;
            if (context->UpdateWireGuardInfo(&info, 1) != 0) {
                return -1;
            }
        } else if (context->AddWireGuardInfo(&info, 1) != 0) {
            return -1;
        }
        return writeProfileRow(store, &profile, info.ID);
    });
    if (!saved) {
        return false;
    }
    removeFileOfOldName(name, kWireGuardConfigDir, kWireGuardConfigSuffix, nullptr);
    return true;
}
