// The field rules of the editor: the typing limits of its line edits, the profile-name and
// name-uniqueness rules, the remote-subnet rule, the marks of failed checks and how typing
// clears them, the tool tips of the labels, and three small text functions.
#include <QLabel>
#include <QLineEdit>
#include <QRegExpValidator>

#include "AppContext.h"
#include "EditorTexts.h"
#include "ProfileConfigDialog.h"
#include "StrUtils.h"
#include "SystemContext.h"
#include "ZRInputIpLineEdit.h"
#include "ZRStringConstant.h"
#include "zrwlog.h"

using namespace EditorTexts;

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

int ProfileConfigDialog::checkProfileName(const char* name, int kind) {
    const int length = name != nullptr ? static_cast<int>(strlen(name)) : 0;
    if (length == 0) {
        ZRWLog(kLogModule, kLogLevel, "%s", kNameEmptyLine);
        return -1;
    }
    const int limit = kind == 4 ? kWireGuardNameMaxBytes : kNameMaxBytes;
    if (length > limit) {
        ZRWLog(kLogModule, kLogLevel, kNameTooLongLine, length);
        return -1;
    }
    int characters = 0;
    if (Utf8CheckAndCount(name, &characters) == 0) {
        return -1;
    }
    int codePoints[kNameMaxBytes];
    const int count = Utf8ToCodePoints(name, codePoints, kNameMaxBytes);
    bool invalid = count <= 0;
    for (int i = 0; i < count; ++i) {
        invalid = invalid || codePoints[i] < 0 || codePoints[i] > kNameMaxCodePoint;
    }
    if (invalid) {
        ZRWLog(kLogModule, kLogLevel, "%s", kNameInvalidLine);
        return -1;
    }
    bool allSpaces = true;
    bool ideograph = false;
    for (int i = 0; i < count; ++i) {
        allSpaces = allSpaces && codePoints[i] == ' ';
        ideograph = ideograph || (codePoints[i] >= kIdeographFirst && codePoints[i] <= kIdeographLast);
    }
    if (allSpaces) {
        ZRWLog(kLogModule, kLogLevel, "%s", kNameAllSpaceLine);
        return -1;
    }
    if (ideograph) {
        ZRWLog(kLogModule, kLogLevel, "%s", kNameIdeographLine);
        return -1;
    }
    return 0;
}

bool ProfileConfigDialog::checkNameUniqueness() {
    const QString name = ui.lineEditProfileName->text();
    AppContext* app = SystemContext::Instance()->GetAppContext();
    const bool found = app != nullptr && app->FindProfileIndex(name.toUtf8().constData()) >= 0;
    // An edit that keeps the name finds the profile itself.
    if (!found || (m_bEditMode && name == m_configName)) {
        return true;
    }
    showWarning(ui.labelNameWarning, ui.lineEditProfileName, kNameExistTip);
    return false;
}

bool ProfileConfigDialog::checkRemoteSubnets(QString& text, const QList<ZRInputIpLineEdit*>& addresses,
                                             const QList<QLineEdit*>& masks, bool check) {
    QString result;
    bool passed = true;
    if (check) {
        for (int i = 0; i < addresses.size(); ++i) {
            const QString address = addresses.at(i)->ipAddress();
            QLineEdit* maskEdit = i < masks.size() ? masks.at(i) : nullptr;
            const QString mask = maskEdit != nullptr ? maskEdit->text() : QString();
            if (!m_ipRegExp.exactMatch(address)) {
                markAddress(addresses.at(i));
                passed = false;
            }
            if (!m_maskRegExp.exactMatch(mask)) {
                if (maskEdit != nullptr) {
                    markLineEdit(maskEdit);
                }
                passed = false;
            }
            result += address + QLatin1String(kSubnetSeparator) + mask;
            if (i + 1 < addresses.size()) {
                result += QLatin1String(kSubnetItemSeparator);
            }
        }
    }
    text = result;
    return passed;
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

void ProfileConfigDialog::markLineEdit(QLineEdit* field) {
    field->setStyleSheet(QString::fromLatin1(kLineEditError));
}

void ProfileConfigDialog::markAddress(ZRInputIpLineEdit* field) {
    field->setStyleSheet(QString::fromLatin1(kAddressError));
}

void ProfileConfigDialog::markFrame(QWidget* frame) {
    frame->setStyleSheet(QString::fromLatin1(kFrameError));
}

void ProfileConfigDialog::showWarning(QLabel* label, QLineEdit* field, const char* key) {
    label->setText(ZRStringConstant::tr(key));
    markLineEdit(field);
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
        deriveWireGuardPublicKey();
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
