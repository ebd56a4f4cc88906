// What the four kinds' saves share (the name, the profile list, storing the rows and the
// file together, the remote-subnet rows of a stored profile), and the IPsec page: its
// proposal combos, the local addresses, loading and saving. The SSL VPN and OpenVPN pages
// are in ProfileConfigDialogOpenVPN.cpp, the WireGuard page in
// ProfileConfigDialogWireGuard.cpp.
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <vector>

#include "AppContext.h"
#include "EditorTexts.h"
#include "IPCSqlite.h"
#include "IPSecVPNContext.h"
#include "IPSecVPNInfo.h"
#include "ProfileConfigDialog.h"
#include "StagedFile.h"
#include "SystemContext.h"
#include "ZRInputIpLineEdit.h"
#include "ZRStringConstant.h"
#include "ZRToastDialog.h"
#include "zrwlog.h"

using namespace EditorTexts;

namespace {

AppContext* appContext() {
    return SystemContext::Instance()->GetAppContext();
}

QRegExp rule(const char* pattern) {
    return QRegExp(QString::fromLatin1(pattern), Qt::CaseSensitive, QRegExp::RegExp);
}

template <size_t N> void fillProposals(QComboBox* combo, const Proposal (&entries)[N], int firstData = 0) {
    int data = firstData;
    for (const Proposal& entry : entries) {
        combo->addItem(ZRStringConstant::tr(entry.textKey), data++);
    }
}

// The stored name of a combo's current entry, or null when no entry of the table is chosen.
template <size_t N>
const char* storedName(const QComboBox* combo, const Proposal (&entries)[N], int offset = 0) {
    const int index = combo->currentIndex() + offset;
    return index >= offset && index < static_cast<int>(N) ? entries[index].stored : nullptr;
}

} // namespace

// The saves' shared steps.

bool ProfileConfigDialog::checkNameField(int kind) {
    const QString name = ui.lineEditProfileName->text();
    const QByteArray bytes = name.toUtf8();
    // The name names a file and reaches the tunnels' command lines: word characters only,
    // as typing allows, also for a stored name that came in another way.
    const bool passed = !name.isEmpty() && rule(kWordPattern).exactMatch(name) &&
                        checkProfileName(bytes.constData(), kind) == 0;
    if (!passed) {
        showWarning(ui.labelNameWarning, ui.lineEditProfileName,
                    kind == 4 ? kWireGuardNameValidTip : kNameValidTip);
    }
    return passed;
}

bool ProfileConfigDialog::reloadProfileList() {
    AppContext* app = appContext();
    if (app == nullptr || app->GetSqlite() == nullptr) {
        return false;
    }
    app->ClearProfileList();
    return app->GetSqlite()->GetProfileList(*app->GetProfileList()) == 0;
}

bool ProfileConfigDialog::storeProfile(const QString& filePath, const QByteArray& fileContent,
                                       const std::function<int(IPCSqlite*)>& writeRows) {
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

QPair<QString, QString> ProfileConfigDialog::splitSubnet(const QString& item, bool atLast) {
    const int slash = atLast ? item.lastIndexOf(QLatin1Char('/')) : item.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        return qMakePair(item, item);
    }
    return qMakePair(item.left(slash), item.mid(slash + 1));
}

void ProfileConfigDialog::setLoadedAddress(ZRInputIpLineEdit* editor, const QString& address) {
    if (!address.isEmpty()) {
        editor->setIpAddress(address);
    }
}

void ProfileConfigDialog::loadRemoteSubnets(const QString& text, QWidget* container, QPushButton* addButton,
                                            QRadioButton* fullTraffic, bool uncheckFullTraffic) {
    if (text.isEmpty()) {
        fullTraffic->setChecked(true);
        addButton->hide();
        container->hide();
        return;
    }
    if (uncheckFullTraffic) {
        fullTraffic->setChecked(false);
    }
    addButton->show();
    container->show();
    // As a token split gives them: an empty piece before a comma counts, nothing follows a
    // trailing comma.
    QStringList pieces = text.split(QLatin1Char(','));
    if (pieces.size() > 1 && pieces.last().isEmpty()) {
        pieces.removeLast();
    }
    QList<QPair<QString, QString>> subnets;
    for (const QString& piece : pieces) {
        addRemoteSubnetRow(container, 0);
        if (container->children().size() > kMaxRows) {
            addButton->setEnabled(false);
        }
        const QPair<QString, QString> parts = splitSubnet(piece, true);
        std::string address = parts.first.toStdString();
        std::string mask = parts.second.toStdString();
        subnets.append(
            qMakePair(QString::fromStdString(trimString(address)), QString::fromStdString(trimString(mask))));
    }
    const QList<ZRInputIpLineEdit*> addresses = rowAddresses(container);
    const QList<QLineEdit*> masks = rowMasks(container);
    for (int i = 0; i < addresses.size() && i < masks.size() && i < subnets.size(); ++i) {
        setLoadedAddress(addresses.at(i), subnets.at(i).first);
        masks.at(i)->setText(subnets.at(i).second);
    }
}

// IPsec page.

void ProfileConfigDialog::initIPSecComboBoxes() {
    for (QComboBox* combo : {ui.comboBoxAlgrithmOne, ui.comboBoxAlgrithmTwo, ui.comboBoxEncryption,
                             ui.comboBoxAuthentication, ui.comboBoxKeyGroup, ui.comboBoxLocalIP}) {
        QWidget* popup = combo->view()->window();
        popup->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
        popup->setAttribute(Qt::WA_TranslucentBackground);
        combo->setView(new QListView(combo));
        combo->installEventFilter(this);
        combo->clear();
        if (combo == ui.comboBoxAlgrithmOne || combo == ui.comboBoxAuthentication) {
            fillProposals(combo, kHashProposals);
        } else if (combo == ui.comboBoxAlgrithmTwo) {
            fillProposals(combo, kEncryptionProposals);
        } else if (combo == ui.comboBoxEncryption) {
            int data = kPhaseOneEncryptionOffset;
            for (size_t i = kPhaseOneEncryptionOffset; i < std::size(kEncryptionProposals); ++i) {
                combo->addItem(ZRStringConstant::tr(kEncryptionProposals[i].textKey), data++);
            }
        } else if (combo == ui.comboBoxKeyGroup) {
            fillProposals(combo, kKeyGroupProposals);
        } else {
            loadLocalIPComboBox(kNoLocalAddress);
        }
    }
}

int ProfileConfigDialog::loadLocalIPComboBox(const std::string& savedAddress) {
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

void ProfileConfigDialog::slotLoadIPSecVPNInfo(QString configName, int iConfigID, int iVPNType) {
    slotSwitchToIPSecTunnel();
    ui.lineEditProfileName->setText(configName);
    ui.lineEditProfileName->setCursorPosition(0);
    ui.comboBoxVPNType->setCurrentIndex(iVPNType - 1);

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
    const IPSecSelectorList& selectors = *info.GetRemoteTrafficSelectors();
    if (!selectors.empty()) {
        const auto first = splitSubnet(QString::fromStdString(selectors.front()), false);
        setLoadedAddress(ui.lineEditRemoteIP, first.first);
        ui.lineEditRemoteNetworkMask->setText(first.second);
    }
    if (selectors.size() > 1) {
        ui.IPSecGatewayWidget->show();
        for (size_t i = 1; i < selectors.size(); ++i) {
            addRemoteSubnetRow(ui.IPSecGatewayWidget, 1);
            if (ui.IPSecGatewayWidget->children().size() > kMaxIPSecRows) {
                ui.btnIPSecAddMoreAddress->setEnabled(false);
            }
        }
        const QList<ZRInputIpLineEdit*> addresses = rowAddresses(ui.IPSecGatewayWidget);
        const QList<QLineEdit*> masks = rowMasks(ui.IPSecGatewayWidget);
        for (int row = 0; row < addresses.size() && row < masks.size() && row + 1 < int(selectors.size());
             ++row) {
            const auto subnet = splitSubnet(QString::fromStdString(selectors[row + 1]), false);
            setLoadedAddress(addresses.at(row), subnet.first);
            masks.at(row)->setText(subnet.second);
        }
    }
    if (info.GetProtocolType() == 1) {
        ui.btnAH->setChecked(true);
        ui.btnESP->setChecked(false);
        ui.comboBoxAlgrithmTwo->clear();
        ui.comboBoxAlgrithmTwo->addItem(QString::fromLatin1(kNoEncryptionEntry));
        ui.comboBoxAlgrithmTwo->setEnabled(false);
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
    if (!info.GetPSKSecret().empty()) {
        ui.lineEditPSK->setText(QString::fromStdString(info.GetPSKSecret()));
    }
    ui.btnDPD->setChecked(info.GetEnableDPD() == 1);
    if (info.GetEnableDPD() == 1) {
        ui.lineEditDPDPeriod->setText(QString::number(info.GetDPDPeriod()));
        ui.DPDPeriodwidget->show();
    }
}

bool ProfileConfigDialog::saveIPSecTunnel() {
    // Each check ends the save at its first failure.
    if (!checkNameField(1)) {
        return false;
    }
    const QString name = ui.lineEditProfileName->text();
    const QString server = ui.lineEditIpOrHost->ipAddress();
    if (!m_ipRegExp.exactMatch(server)) {
        markAddress(ui.lineEditIpOrHost);
        return false;
    }
    if (!reloadProfileList()) {
        showSaveFailure(kSaveFailedTip);
        return false;
    }
    if (!checkNameUniqueness()) {
        return false;
    }
    IPSecSelectorList selectors;
    const QString remote = ui.lineEditRemoteIP->ipAddress();
    const QString remoteMask = ui.lineEditRemoteNetworkMask->text();
    if (!m_ipRegExp.exactMatch(remote)) {
        markAddress(ui.lineEditRemoteIP);
        return false;
    }
    if (!m_maskRegExp.exactMatch(remoteMask)) {
        markLineEdit(ui.lineEditRemoteNetworkMask);
        return false;
    }
    selectors.push_back((remote + QLatin1Char('/') + remoteMask).toStdString());
    const QList<ZRInputIpLineEdit*> addresses = rowAddresses(ui.IPSecGatewayWidget);
    const QList<QLineEdit*> masks = rowMasks(ui.IPSecGatewayWidget);
    for (int row = 0; row < addresses.size(); ++row) {
        const QString address = addresses.at(row)->ipAddress();
        const QString mask = row < masks.size() ? masks.at(row)->text() : QString();
        bool passed = true;
        if (!m_ipRegExp.exactMatch(address)) {
            markAddress(addresses.at(row));
            passed = false;
        }
        if (!m_maskRegExp.exactMatch(mask)) {
            if (row < masks.size()) {
                markLineEdit(masks.at(row));
            }
            passed = false;
        }
        if (!passed) {
            return false;
        }
        selectors.push_back((address + QLatin1Char('/') + mask).toStdString());
    }
    const QString localAddress = ui.comboBoxLocalIP->currentText();
    if (!m_ipRegExp.exactMatch(localAddress)) {
        return false;
    }
    const QString psk = ui.lineEditPSK->text();
    if (psk.isEmpty() || checkProfileName(psk.toUtf8().constData(), 0) != 0) {
        markLineEdit(ui.lineEditPSK);
        return false;
    }
    int dpdPeriod = 0;
    if (ui.btnDPD->isChecked()) {
        if (!rule(kDpdPeriodPattern).exactMatch(ui.lineEditDPDPeriod->text())) {
            markLineEdit(ui.lineEditDPDPeriod);
            return false;
        }
        dpdPeriod = ui.lineEditDPDPeriod->text().toInt();
    }
    const bool esp = ui.btnESP->isChecked();
    const char* hash = storedName(ui.comboBoxAlgrithmOne, kHashProposals);
    const char* encryption = esp ? storedName(ui.comboBoxAlgrithmTwo, kEncryptionProposals) : "";
    const char* ikeEncryption =
        storedName(ui.comboBoxEncryption, kEncryptionProposals, kPhaseOneEncryptionOffset);
    const char* ikeHash = storedName(ui.comboBoxAuthentication, kHashProposals);
    const char* ikeGroup = storedName(ui.comboBoxKeyGroup, kKeyGroupProposals);
    if (hash == nullptr || encryption == nullptr || ikeEncryption == nullptr || ikeHash == nullptr ||
        ikeGroup == nullptr) {
        return false;
    }
    const std::string phaseTwo = esp ? std::string(hash) + "-" + encryption : std::string(hash);

    IPSecVPNInfo info;
    info.SetVersionValue(1);
    info.SetPolicyName(name.toStdString());
    info.SetLocalAddress(localAddress.toStdString());
    info.SetRemoteAddrs(server.toStdString());
    info.SetTransportProtocolValue(ui.btnStandardTunnel->isChecked() ? 1 : 2);
    info.SetRemoteTrafficSelectors(selectors);
    info.SetProtocolTypeValue(esp ? 2 : 1);
    if (esp) {
        info.SetEspProposals(phaseTwo);
    } else {
        info.SetAHProposals(phaseTwo);
    }
    info.SetIkeEncryption(ikeEncryption);
    info.SetIkeHash(ikeHash);
    info.SetIkeDHGroup(ikeGroup);
    info.SetPSKSecret(psk.toStdString());
    info.SetEnableDPD(ui.btnDPD->isChecked() ? 1 : 0);
    info.SetDPDPeriod(dpdPeriod);

    ProfileInfo profile;
    const QByteArray nameBytes = name.toUtf8();
    qstrncpy(profile.ProfileName, nameBytes.constData(), sizeof profile.ProfileName);
    profile.ProfileType = 1;
    if (m_bEditMode) {
        profile.ProfileID = m_iProfileID;
        info.SetID(m_iConfigID);
    }
    IPSecVPNContext* context = appContext() != nullptr ? appContext()->GetIPSecVPNContext() : nullptr;
    return storeProfile(QString(), QByteArray(), [&](IPCSqlite* store) {
        if (context == nullptr) {
            return -1;
        }
        const bool update = m_bEditMode && m_iVPNType == 1;
        if ((update ? context->UpdateIPSecInfo(&info, 1) : context->AddIPSecInfo(&info, 1)) != 0) {
            return -1;
        }
        return writeProfileRow(store, &profile, info.GetID());
    });
}
