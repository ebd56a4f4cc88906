// The SSL VPN and OpenVPN pages: importing an OpenVPN configuration file, the page
// checks, loading a stored profile and saving it with its copy of the configuration,
// ./Config/openvpn/<name>.ovpn. Both kinds share the OPENVPN table and one set of steps;
// they differ in the page they read and the kind they store.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "AppContext.h"
#include "EditorTexts.h"
#include "IPCSqlite.h"
#include "OpenVPNContext.h"
#include "ProfileConfigDialog.h"
#include "ProfileFileTexts.h"
#include "SystemContext.h"
#include "ZRInputIpLineEdit.h"
#include "zrwlog.h"

using namespace EditorTexts;

namespace {

constexpr int kSSLVPN = 2;
constexpr int kOpenVPN = 3;

OpenVPNContext* openVPNContext() {
    AppContext* app = SystemContext::Instance()->GetAppContext();
    return app != nullptr ? app->GetOpenVPNContext() : nullptr;
}

// Copies a text into a record's array; false when it does not fit whole.
template <size_t N> bool copyText(char (&field)[N], const QString& text) {
    const QByteArray bytes = text.toUtf8();
    if (static_cast<size_t>(bytes.size()) >= N) {
        return false;
    }
    qstrncpy(field, bytes.constData(), N);
    return true;
}

bool fitsRecordText(const QString& text) {
    return text.toUtf8().size() <= kRecordTextMaxBytes;
}

// The user name and password become the two lines of openvpn's credentials file: a line
// break in either (pasted in) would cut it and shift the password to another line.
bool fitsCredentialLine(const QString& text) {
    return !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
}

} // namespace

ProfileConfigDialog::OpenVPNPage ProfileConfigDialog::openVPNPage(int kind) {
    if (kind == kSSLVPN) {
        return {kSSLVPN,
                ui.sslVpnInfoWidget,
                ui.lineEditSSLUserName,
                ui.lineEditSSLPassword,
                ui.widgetSSLPassword,
                ui.btnSSLRememberPass,
                ui.btnSSLPrompt,
                ui.btnSSLAutoIP,
                ui.btnSSLManuIP,
                ui.lineEditSSLDNSAddr,
                ui.lineEditSSLWinSer,
                ui.btnSSLFullTraffic,
                ui.sslGatewayWidget,
                ui.btnSSLAddGateway,
                kRemoveSslFailedLine};
    }
    return {kOpenVPN,          ui.openVpnInfoWidget,   ui.lineEditUserName,   ui.lineEditPassword,
            ui.widgetPassword, ui.btnOpenRememberPass, ui.btnOpenPrompt,      ui.btnOpenAutoIP,
            ui.btnOpenManuIP,  ui.lineEditOpenDNSAddr, ui.lineEditOpenWinSer, ui.btnOpenFullTraffic,
            ui.gatewayWidget,  ui.btnAddGateway,       kRemoveOvpnFailedLine};
}

QString ProfileConfigDialog::createDirPath(const QString& path) {
    QDir().mkpath(path);
    return path;
}

bool ProfileConfigDialog::readWholeFile(const QString& path, QByteArray& content) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return false;
    }
    content = file.readAll();
    return file.error() == QFileDevice::NoError;
}

// Import.

void ProfileConfigDialog::importOpenVPNFile() {
    QFileDialog dialog(this, QString::fromLatin1(kImportCaption), QString(),
                       QString::fromLatin1(kImportFilter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    QFile file(dialog.selectedFiles().first());
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    parseOpenVPNFile(file, ui.comboBoxVPNType->currentIndex() + 1);
    ui.btnOpenVPNImport->hide();
    ui.widgetFileName->show();
    ui.lineEditImportFile->setFocus();
}

void ProfileConfigDialog::showConfigFileName(const QString& path, const QString& toolTip) {
    const QString name = QFileInfo(path).fileName();
    QLineEdit* field = ui.lineEditImportFile;
    field->setText(
        field->fontMetrics().elidedText(name, Qt::ElideRight, field->width() - kImportFileNameRoom));
    field->setCursorPosition(0);
    field->setToolTip(toolTip);
}

void ProfileConfigDialog::parseOpenVPNFile(QFile& file, int kind) {
    const QFileInfo info(file.fileName());
    if (info.suffix() != QLatin1String(kImportSuffix)) {
        return;
    }
    m_bFileImported = true;
    m_ovpnFilePath = info.absoluteFilePath();
    showConfigFileName(m_ovpnFilePath, info.fileName());
    const OvpnText::ImportedFacts facts = OvpnText::readImport(file.readAll(), m_ipRegExp, m_portRegExp);
    if (facts.needsCredentials) {
        m_bNeedPwd = true;
        if (kind == kOpenVPN) {
            ui.openVpnInfoWidget->show();
        } else if (kind == kSSLVPN) {
            ui.sslVpnInfoWidget->show();
        }
    }
    if (!facts.server.isEmpty()) {
        ui.lineEditEndpoint->setIpAddress(facts.server);
    }
    if (!facts.port.isEmpty()) {
        ui.lineEditPeerPort->setText(facts.port);
    }
    ui.labelTitle->setFocus();
}

// The page check.

bool ProfileConfigDialog::checkOpenVPNPage(const OpenVPNPage& page) {
    // A chosen file shows in the tool tip; its path must fit its column.
    const bool file =
        !ui.lineEditImportFile->toolTip().isEmpty() && m_ovpnFilePath.toUtf8().size() <= kRecordPathMaxBytes;
    const bool server = m_ipRegExp.exactMatch(ui.lineEditEndpoint->ipAddress());
    const bool port = m_portRegExp.exactMatch(ui.lineEditPeerPort->text());
    const bool credentials = !page.credentials->isHidden();
    const bool remember = page.rememberMe->isChecked();
    // Remembered credentials follow their rules; any stored one must fit its column.
    const bool user =
        !credentials || ((!remember || m_userRegExp.exactMatch(page.userName->text())) &&
                         fitsRecordText(page.userName->text()) && fitsCredentialLine(page.userName->text()));
    const bool password =
        !credentials || ((!remember || m_pwdRegExp.exactMatch(page.password->text())) &&
                         fitsRecordText(page.password->text()) && fitsCredentialLine(page.password->text()));
    // A DNS address counts only when it is set by hand; an automatic one is not read.
    const QString dnsText = page.dns->ipAddress();
    const bool dns = !page.manualDns->isChecked() || dnsText.isEmpty() || m_ipRegExp.exactMatch(dnsText);
    const QString winsText = page.wins->ipAddress();
    const bool wins = winsText.isEmpty() || m_ipRegExp.exactMatch(winsText);

    if (!file) {
        markFrame(ui.widgetFileName);
        markFrame(ui.btnOpenVPNImport);
    }
    const bool name = checkNameField(page.kind);
    if (!server) {
        markAddress(ui.lineEditEndpoint);
    }
    if (!port) {
        markLineEdit(ui.lineEditPeerPort);
    }
    if (!user) {
        markLineEdit(page.userName);
    }
    if (!password) {
        markFrame(page.passwordFrame);
    }
    if (!dns) {
        markAddress(page.dns);
    }
    if (!wins) {
        markAddress(page.wins);
    }
    const bool rows = checkRemoteSubnets(remoteSubnetText, rowAddresses(page.rows), rowMasks(page.rows),
                                         !page.fullTraffic->isChecked());
    return file && name && server && port && user && password && dns && wins && rows;
}

bool ProfileConfigDialog::checkSSLVPNInput() {
    return checkOpenVPNPage(openVPNPage(kSSLVPN));
}

bool ProfileConfigDialog::checkOpenVPNInput() {
    return checkOpenVPNPage(openVPNPage(kOpenVPN));
}

// The copy of the configuration.

OvpnText::PageValues ProfileConfigDialog::openVPNPageValues(const OpenVPNPage& page) {
    OvpnText::PageValues values;
    values.server = ui.lineEditEndpoint->ipAddress();
    values.port = ui.lineEditPeerPort->text();
    values.dns = page.manualDns->isChecked() ? page.dns->ipAddress() : QString();
    values.wins = page.wins->ipAddress();
    values.fullTraffic = page.fullTraffic->isChecked();
    const QList<ZRInputIpLineEdit*> addresses = rowAddresses(page.rows);
    const QList<QLineEdit*> masks = rowMasks(page.rows);
    for (int i = 0; i < addresses.size() && i < masks.size(); ++i) {
        values.routes.append(qMakePair(addresses.at(i)->ipAddress(), masks.at(i)->text()));
    }
    return values;
}

bool ProfileConfigDialog::writeOpenVPNConfig(const QString& sourcePath, const OpenVPNInfo& stored,
                                             const OpenVPNPage& page, QByteArray& copy) {
    QByteArray source;
    // The source is read whole before anything is written, so that a source that is the
    // profile's own copy keeps its content.
    if (!readWholeFile(sourcePath, source)) {
        ZRWLog(kLogModule, kLogLevel, "%s", kOpenFileFailedLine);
        return false;
    }
    // The profile's own copy chosen again carries the lines its save appended.
    const OvpnText::PageValues previous = OvpnText::valuesOf(stored);
    copy = OvpnText::importedCopy(OvpnText::asUtf8(source), openVPNPageValues(page),
                                  stored.ID != 0 ? &previous : nullptr);
    return true;
}

bool ProfileConfigDialog::updateOpenVPNConfig(const OpenVPNInfo& stored, const OpenVPNPage& page,
                                              QByteArray& copy) {
    const QString path = profileFilePath(kOpenVPNConfigDir, m_configName, kOpenVPNConfigSuffix);
    QByteArray text;
    if (!path.isEmpty() && QFileInfo::exists(path)) {
        if (!readWholeFile(path, text)) {
            ZRWLog(kLogModule, kLogLevel, kOpenPathFailedLine, path.toUtf8().constData());
            return false;
        }
    } else {
        // The copy is gone: the stored text stands in for it, as a connect would re-create it.
        text = QByteArray::fromStdString(stored.VPNConfig);
    }
    if (text.isEmpty()) {
        return false;
    }
    copy = OvpnText::rewrittenCopy(text, OvpnText::valuesOf(stored), openVPNPageValues(page));
    return true;
}

// Saving.

bool ProfileConfigDialog::saveSSLVPN() {
    return saveOpenVPNKind(kSSLVPN);
}

bool ProfileConfigDialog::saveOpenVPN() {
    return saveOpenVPNKind(kOpenVPN);
}

bool ProfileConfigDialog::saveOpenVPNKind(int kind) {
    const OpenVPNPage page = openVPNPage(kind);
    if (!checkOpenVPNPage(page)) {
        return false;
    }
    const QString name = ui.lineEditProfileName->text();
    if (!reloadProfileList()) {
        showSaveFailure(kSaveFailedTip);
        return false;
    }
    if (!checkNameUniqueness()) {
        return false;
    }
    OpenVPNContext* context = openVPNContext();
    const bool sameKind = m_bEditMode && m_iVPNType == kind;
    OpenVPNInfo stored;
    if (sameKind && (context == nullptr || context->GetOpenVPNInfoByID(m_iConfigID, &stored) != 0)) {
        showSaveFailure(kSaveFailedTip);
        return false;
    }
    // The stored row read by its id keeps the id it was asked for.
    stored.ID = sameKind ? m_iConfigID : 0;

    createDirPath(QString::fromLatin1(kOpenVPNConfigDir));
    const QString target = profileFilePath(kOpenVPNConfigDir, name, kOpenVPNConfigSuffix);
    if (target.isEmpty()) {
        showWarning(ui.labelNameWarning, ui.lineEditProfileName, kNameValidTip);
        return false;
    }
    QByteArray copy;
    const bool written = !m_bEditMode || m_bFileImported
                             ? writeOpenVPNConfig(m_ovpnFilePath, stored, page, copy)
                             : updateOpenVPNConfig(stored, page, copy);
    if (!written) {
        markFrame(ui.widgetFileName);
        markFrame(ui.btnOpenVPNImport);
        showSaveFailure(kFileMissingTip);
        return false;
    }

    OpenVPNInfo info;
    const bool credentials = !page.credentials->isHidden();
    const bool remember = page.rememberMe->isChecked();
    QString userName = credentials ? page.userName->text() : QString();
    QString password = credentials ? page.password->text() : QString();
    // Credentials that were not to be remembered are not shown: left empty, they stay as
    // the last connect stored them.
    if (credentials && !remember && sameKind) {
        if (userName.isEmpty()) {
            userName = QString::fromUtf8(stored.UserName);
        }
        if (password.isEmpty()) {
            password = QString::fromUtf8(stored.UserPwd);
        }
    }
    const QString dns = page.manualDns->isChecked() ? page.dns->ipAddress() : QString();
    const bool fits = copyText(info.ServerIP, ui.lineEditEndpoint->ipAddress()) &&
                      copyText(info.ConfigFilePath, m_ovpnFilePath) && copyText(info.UserName, userName) &&
                      copyText(info.UserPwd, password) &&
                      copyText(info.LocalDns, m_ipRegExp.exactMatch(dns) ? dns : QString()) &&
                      copyText(info.LocalWinsServer, page.wins->ipAddress()) &&
                      copyText(info.AllowdIPs, remoteSubnetText);
    if (!fits) {
        showSaveFailure(kSaveFailedTip);
        return false;
    }
    info.ServerPort = ui.lineEditPeerPort->text().toInt();
    info.NeedPwd = credentials ? 1 : 0;
    info.RememberMe = remember ? 1 : 0;
    info.PromptPwd = credentials && page.prompt->isChecked() ? 1 : 0;
    info.LocalIPType = page.autoDns->isChecked() ? 1 : 0;
    info.EnableFullTraffic = page.fullTraffic->isChecked() ? 1 : 0;
    info.VPNConfig = copy.toStdString();

    ProfileInfo profile;
    copyText(profile.ProfileName, name);
    profile.ProfileType = kind;
    const bool saved = storeProfile(target, copy, [&](IPCSqlite* store) {
        if (context == nullptr) {
            return -1;
        }
        if (sameKind) {
            info.ID = m_iConfigID;
            if (context->UpdateOpenVPNInfo(&info, 1) != 0) {
                return -1;
            }
        } else if (context->AddOpenVPNInfo(&info, 1) != 0) {
            return -1;
        }
        return writeProfileRow(store, &profile, info.ID);
    });
    if (!saved) {
        return false;
    }
    // A renamed profile's copy now stands under the new name: the old name's goes.
    removeFileOfOldName(name, kOpenVPNConfigDir, kOpenVPNConfigSuffix, page.removeFailedLine);
    return true;
}

// Loading.

void ProfileConfigDialog::slotLoadSSLVPNInfo(QString configName, int iConfigID, int iVPNType) {
    loadOpenVPNKind(configName, iConfigID, iVPNType);
}

void ProfileConfigDialog::slotLoadOpenVPNInfo(QString configName, int iConfigID, int iVPNType) {
    loadOpenVPNKind(configName, iConfigID, iVPNType);
}

void ProfileConfigDialog::loadOpenVPNKind(const QString& configName, int iConfigID, int iVPNType) {
    const bool ssl = iVPNType == kSSLVPN;
    if (ssl) {
        slotSwitchToSSLVPN();
    } else {
        slotSwitchToOpenVPN();
    }
    ui.lineEditProfileName->setText(configName);
    ui.lineEditProfileName->setCursorPosition(0);
    ui.comboBoxVPNType->setCurrentIndex(iVPNType - 1);

    OpenVPNInfo info;
    OpenVPNContext* context = openVPNContext();
    if (context == nullptr || context->GetOpenVPNInfoByID(iConfigID, &info) != 0) {
        return;
    }
    const OpenVPNPage page = openVPNPage(ssl ? kSSLVPN : kOpenVPN);
    ui.btnOpenVPNImport->hide();
    ui.widgetFileName->show();
    m_ovpnFilePath = QString::fromUtf8(info.ConfigFilePath);
    showConfigFileName(m_ovpnFilePath, ssl ? m_ovpnFilePath : QFileInfo(m_ovpnFilePath).fileName());
    setLoadedAddress(ui.lineEditEndpoint, QString::fromUtf8(info.ServerIP));
    ui.lineEditPeerPort->setText(QString::number(info.ServerPort));
    if (info.NeedPwd != 0) {
        m_bNeedPwd = true;
        page.credentials->show();
        if (info.RememberMe != 0) {
            page.userName->setText(QString::fromUtf8(info.UserName));
            page.password->setText(QString::fromUtf8(info.UserPwd));
            page.passwordFrame->setStyleSheet(QString::fromLatin1(kPlainFrame));
        }
        page.rememberMe->setChecked(info.RememberMe != 0);
        page.prompt->setChecked(info.PromptPwd != 0);
    }
    page.autoDns->setChecked(info.LocalIPType != 0);
    page.manualDns->setChecked(info.LocalIPType == 0);
    if (page.manualDns->isChecked()) {
        page.dns->setEnabled(true);
        setLoadedAddress(page.dns, QString::fromUtf8(info.LocalDns));
    }
    setLoadedAddress(page.wins, QString::fromUtf8(info.LocalWinsServer));
    page.fullTraffic->setChecked(info.EnableFullTraffic != 0);
    loadRemoteSubnets(QString::fromUtf8(info.AllowdIPs), page.rows, page.addRow, page.fullTraffic, false);
    ui.labelTitle->setFocus();
}
