#include "OpenVPNPage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "AppContext.h"
#include "EditorTexts.h"
#include "InvokingUserFile.h"
#include "OpenVPNContext.h"
#include "SystemContext.h"
#include "UserFileDialog.h"
#include "ZRErrorDialog.h"
#include "ZRInputIpLineEdit.h"
#include "ZRStringConstant.h"
#include "zrwlog.h"

using namespace EditorTexts;
using FieldRules::emptyOrMatches;
using FieldRules::matches;

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

// A control character (C0 or DEL): no line of a stored text holds one, so that every
// stored profile exports and imports again.
bool hasControlCharacter(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            return true;
        }
    }
    return false;
}

// The user name and password become the two lines of openvpn's credentials file: a line
// break in either (pasted in, or from an imported credentials file) would cut it and shift
// the password to another line, and no other control character stands in a stored line.
bool fitsCredentialLine(const QString& text) {
    return !hasControlCharacter(text);
}

// The imported file's path as the row keeps it: a control character of the name (which a
// file name may hold) shown as a question mark.
QString storedPath(QString path) {
    for (QChar& c : path) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            c = QLatin1Char('?');
        }
    }
    return path;
}

// A credential of the page: judged only while its block shows; remembered ones follow
// their rule, and any stored one must fit its column and its line.
std::function<bool()> credentialRule(const QRegExp& rule, const QString& text, bool shown, bool remembered) {
    return [rule, text, shown, remembered] {
        return !shown ||
               ((!remembered || rule.exactMatch(text)) && fitsRecordText(text) && fitsCredentialLine(text));
    };
}

} // namespace

ProfileConfigDialog::OpenVPNPage::OpenVPNPage(ProfileConfigDialog& dialog, Ui::ProfileConfigDialog& ui)
    : dialog(dialog),
      ui(ui), ssl{kSSLVPN,
                  ui.sslVpnInfoWidget,
                  ui.lineEditSSLUserName,
                  ui.lineEditSSLPassword,
                  ui.widgetSSLPassword,
                  ui.btnSSLShowPwd,
                  ui.btnSSLRememberPass,
                  ui.btnSSLPrompt,
                  ui.btnSSLAutoIP,
                  ui.btnSSLManuIP,
                  ui.lineEditSSLDNSAddr,
                  ui.lineEditSSLWinSer,
                  ui.btnSSLFullTraffic,
                  ui.btnSSLAddGateway,
                  RemoteSubnetRows(ui.sslGatewayWidget, ui.btnSSLAddGateway, ui.btnSSLFullTraffic, &dialog),
                  SLOT(slotSSLButtonClicked()),
                  kRemoveSslFailedLine},
      openVPN{kOpenVPN,
              ui.openVpnInfoWidget,
              ui.lineEditUserName,
              ui.lineEditPassword,
              ui.widgetPassword,
              ui.btnShowPwd,
              ui.btnOpenRememberPass,
              ui.btnOpenPrompt,
              ui.btnOpenAutoIP,
              ui.btnOpenManuIP,
              ui.lineEditOpenDNSAddr,
              ui.lineEditOpenWinSer,
              ui.btnOpenFullTraffic,
              ui.btnAddGateway,
              RemoteSubnetRows(ui.gatewayWidget, ui.btnAddGateway, ui.btnOpenFullTraffic, &dialog),
              SLOT(slotOpenVPNButtonClicked()),
              kRemoveOvpnFailedLine} {}

// Set-up and controls.

void ProfileConfigDialog::OpenVPNPage::setUp() {
    setUpImportRow();
    setUpPage(openVPN);
    setUpPage(ssl);
}

void ProfileConfigDialog::OpenVPNPage::setUpImportRow() {
    dialog.m_btnClearFile = new QPushButton(ui.widgetFileName);
    dialog.m_btnClearFile->setFixedSize(kClearFileButtonSize, kClearFileButtonSize);
    dialog.m_btnClearFile->setStyleSheet(QString::fromLatin1(kClearFileButtonStyle));
    dialog.m_btnClearFile->hide();
    QObject::connect(dialog.m_btnClearFile, SIGNAL(clicked()), &dialog, SLOT(slotOpenVPNButtonClicked()));
    ui.lineEditImportFile->installEventFilter(&dialog);
    ui.widgetFileName->installEventFilter(&dialog);
    ui.widgetFileName->setMouseTracking(true);
    QObject::connect(ui.btnOpenVPNImport, SIGNAL(clicked()), &dialog, SLOT(slotButtonClicked()));
    QObject::connect(ui.lineEditImportFile, SIGNAL(textChanged(const QString)), &dialog,
                     SLOT(slotLineEidtClicked()));
}

void ProfileConfigDialog::OpenVPNPage::setUpPage(Widgets& page) {
    // Full traffic is turned on before its click is connected: no action runs for it.
    page.fullTraffic->setChecked(true);
    page.addRow->hide();
    page.rows.container()->hide();
    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(page.autoDns), static_cast<QAbstractButton*>(page.manualDns),
          static_cast<QAbstractButton*>(page.addRow), static_cast<QAbstractButton*>(page.prompt),
          static_cast<QAbstractButton*>(page.fullTraffic)}) {
        QObject::connect(button, SIGNAL(clicked()), &dialog, page.controlsSlot);
    }
    page.showPassword->setCheckable(true);
    QObject::connect(page.showPassword, SIGNAL(clicked()), &dialog, SLOT(slotButtonClicked()));
    for (QLineEdit* field : {page.userName, page.password}) {
        QObject::connect(field, SIGNAL(textChanged(const QString)), &dialog, SLOT(slotLineEidtClicked()));
    }
    for (ZRInputIpLineEdit* field : {page.dns, page.wins}) {
        QObject::connect(field, SIGNAL(lineEidtTextChanged()), &dialog, SLOT(slotIPInputLineEidtClicked()));
    }
    page.password->installEventFilter(&dialog);
    page.autoDns->click();
    page.prompt->click();
}

void ProfileConfigDialog::OpenVPNPage::buttonClicked(QObject* button) {
    if (button == ui.btnOpenVPNImport) {
        importOpenVPNFile();
        return;
    }
    for (Widgets* page : {&ssl, &openVPN}) {
        if (button == page->showPassword) {
            page->password->setEchoMode(page->showPassword->isChecked() ? QLineEdit::Normal
                                                                        : QLineEdit::Password);
        }
    }
}

void ProfileConfigDialog::OpenVPNPage::controlClicked(int kind, QObject* button) {
    Widgets& page = widgets(kind);
    if (button == dialog.m_btnClearFile) {
        clearImportedFile();
    } else if (button == page.autoDns) {
        setDnsAutomatic(page.dns, true);
    } else if (button == page.manualDns) {
        setDnsAutomatic(page.dns, false);
    } else if (button == page.addRow) {
        page.rows.add();
    } else if (button == page.fullTraffic) {
        page.rows.fullTrafficClicked();
    }
    // The prompt toggle changes nothing here: its state is read when saving.
}

void ProfileConfigDialog::OpenVPNPage::setDnsAutomatic(ZRInputIpLineEdit* dns, bool automatic) {
    dns->setEnabled(!automatic);
    if (automatic) {
        dns->setStyleSheet(QString::fromLatin1(kAddressPlain));
    }
}

// Import.

void ProfileConfigDialog::OpenVPNPage::importOpenVPNFile() {
    UserFileChoice choice;
    choice.caption = QString::fromLatin1(kImportCaption);
    choice.filter = QString::fromLatin1(kImportFilter);
    const QString path = ChooseUserFile(&dialog, choice);
    if (path.isEmpty()) {
        return;
    }
    // The file is the user's: read with the user's rights, and only a regular file.
    QByteArray bytes;
    if (!InvokingUserFile::read(path, kImportMaxBytes, &bytes)) {
        return;
    }
    if (!parseOpenVPNFile(path, bytes, ui.comboBoxVPNType->currentIndex() + 1)) {
        return;
    }
    ui.btnOpenVPNImport->hide();
    ui.widgetFileName->show();
    ui.lineEditImportFile->setFocus();
}

void ProfileConfigDialog::OpenVPNPage::showConfigFileName(const QString& path, const QString& toolTip) {
    const QString name = QFileInfo(path).fileName();
    QLineEdit* field = ui.lineEditImportFile;
    field->setText(
        field->fontMetrics().elidedText(name, Qt::ElideRight, field->width() - kImportFileNameRoom));
    field->setCursorPosition(0);
    field->setToolTip(toolTip);
}

bool ProfileConfigDialog::OpenVPNPage::parseOpenVPNFile(const QString& path, const QByteArray& bytes,
                                                        int kind) {
    const QFileInfo info(path);
    if (info.suffix() != QLatin1String(kImportSuffix)) {
        return true;
    }
    // The files the configuration names lie beside it unless it names them absolutely; they
    // are the user's too.
    const QDir folder = info.absoluteDir();
    const OvpnText::ImportedFacts facts = OvpnText::readImport(
        bytes, dialog.m_ipRegExp, dialog.m_portRegExp,
        [&folder](const QByteArray& name, QByteArray* content) {
            const QString file = QFile::decodeName(name);
            return InvokingUserFile::read(QDir::isAbsolutePath(file) ? file : folder.filePath(file),
                                          kImportedFileMaxBytes, content);
        });
    if (facts.refusal.reason != OvpnText::ImportRefusal::None) {
        ZRWLog(kLogModule, kLogLevel, kImportRefusedLine, info.fileName().toUtf8().constData(),
               facts.refusal.line, facts.refusal.subject.constData());
        showImportRefusal(info.fileName(), facts.refusal);
        return false;
    }
    dialog.m_bFileImported = true;
    dialog.m_ovpnFilePath = info.absoluteFilePath();
    importedText = facts.text;
    showConfigFileName(dialog.m_ovpnFilePath, info.fileName());
    if (facts.needsCredentials) {
        dialog.m_bNeedPwd = true;
        if (kind == kOpenVPN || kind == kSSLVPN) {
            Widgets& page = widgets(kind);
            page.credentials->show();
            // The credentials a file of the configuration held are the profile's own now,
            // kept so that a connect asks for nothing.
            if (!facts.userName.isEmpty()) {
                page.userName->setText(facts.userName);
            }
            if (!facts.password.isEmpty()) {
                page.password->setText(facts.password);
                page.rememberMe->setChecked(true);
                page.prompt->setChecked(false);
            }
        }
    }
    // The server and port come from the first remote line alone.
    if (facts.hasRemote) {
        if (facts.server.isEmpty()) {
            ui.lineEditEndpoint->clearIpAddress();
        } else {
            ui.lineEditEndpoint->setIpAddress(facts.server);
        }
        ui.lineEditPeerPort->setText(facts.port);
    }
    ui.labelTitle->setFocus();
    return true;
}

void ProfileConfigDialog::OpenVPNPage::showImportRefusal(const QString& fileName,
                                                         const OvpnText::ImportRefusal& refusal) {
    const char* key = refusal.reason == OvpnText::ImportRefusal::Unsafe       ? kImportUnsafeKey
                      : refusal.reason == OvpnText::ImportRefusal::Unreadable ? kImportUnreadableKey
                      : refusal.reason == OvpnText::ImportRefusal::Server     ? kImportServerKey
                                                                              : kImportNotKeptKey;
    ZRErrorDialog prompt(&dialog);
    prompt.setContent(
        ZRStringConstant::tr(key).arg(refusal.line).arg(fileName, QFile::decodeName(refusal.subject)));
    prompt.exec();
}

void ProfileConfigDialog::OpenVPNPage::logDroppedLines(const OvpnText::DroppedLines& dropped) {
    for (const auto& line : dropped) {
        ZRWLog(kLogModule, kLogLevel, kCopyDroppedLine, line.first, line.second.constData());
    }
}

void ProfileConfigDialog::OpenVPNPage::showBarredLines(const OvpnText::DroppedLines& barred) {
    for (const auto& line : barred) {
        ZRWLog(kLogModule, kLogLevel, kCopyBarredLine, line.first, line.second.constData());
    }
    ZRErrorDialog prompt(&dialog);
    prompt.setContent(ZRStringConstant::tr(kSaveBarredKey)
                          .arg(barred.first().first)
                          .arg(QString::fromUtf8(barred.first().second)));
    prompt.exec();
}

void ProfileConfigDialog::OpenVPNPage::clearImportedFile() {
    dialog.resetAllFields();
    dialog.m_bFileImported = false;
    dialog.m_ovpnFilePath.clear();
    ui.btnOpenVPNImport->show();
    ui.widgetFileName->hide();
    dialog.m_btnClearFile->hide();
}

// Loading.

void ProfileConfigDialog::OpenVPNPage::load(const QString& configName, int iConfigID, int iVPNType) {
    dialog.beginLoad(configName, iVPNType);
    OpenVPNInfo info;
    OpenVPNContext* context = openVPNContext();
    if (context == nullptr || context->GetOpenVPNInfoByID(iConfigID, &info) != 0) {
        return;
    }
    const bool sslPage = iVPNType == kSSLVPN;
    Widgets& page = widgets(sslPage ? kSSLVPN : kOpenVPN);
    ui.btnOpenVPNImport->hide();
    ui.widgetFileName->show();
    dialog.m_ovpnFilePath = QString::fromUtf8(info.ConfigFilePath);
    showConfigFileName(dialog.m_ovpnFilePath,
                       sslPage ? dialog.m_ovpnFilePath : QFileInfo(dialog.m_ovpnFilePath).fileName());
    setLoadedAddress(ui.lineEditEndpoint, QString::fromUtf8(info.ServerIP));
    ui.lineEditPeerPort->setText(QString::number(info.ServerPort));
    if (info.NeedPwd != 0) {
        dialog.m_bNeedPwd = true;
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
    page.rows.load(QString::fromUtf8(info.AllowdIPs), false);
    ui.labelTitle->setFocus();
}

// Saving: read, check, store.

ProfileConfigDialog::OpenVPNPage::Values ProfileConfigDialog::OpenVPNPage::read(Widgets& page) const {
    Values values;
    values.name = ui.lineEditProfileName->text();
    values.fileChosen = !ui.lineEditImportFile->toolTip().isEmpty();
    values.filePath = dialog.m_ovpnFilePath;
    values.credentials = !page.credentials->isHidden();
    values.rememberMe = page.rememberMe->isChecked();
    values.prompt = page.prompt->isChecked();
    values.userName = page.userName->text();
    values.password = page.password->text();
    values.autoDns = page.autoDns->isChecked();
    OvpnText::PageValues& ovpn = values.ovpn;
    ovpn.server = ui.lineEditEndpoint->ipAddress();
    ovpn.port = ui.lineEditPeerPort->text();
    // A DNS address counts only when it is set by hand; an automatic one is not read.
    ovpn.dns = page.manualDns->isChecked() ? page.dns->ipAddress() : QString();
    ovpn.wins = page.wins->ipAddress();
    ovpn.fullTraffic = page.fullTraffic->isChecked();
    const QList<ZRInputIpLineEdit*> addresses = page.rows.addresses();
    const QList<QLineEdit*> masks = page.rows.masks();
    for (int i = 0; i < addresses.size() && i < masks.size(); ++i) {
        ovpn.routes.append(qMakePair(addresses.at(i)->ipAddress(), masks.at(i)->text()));
    }
    return values;
}

FieldRules::Table ProfileConfigDialog::OpenVPNPage::fieldRules(const Widgets& page,
                                                               const Values& values) const {
    // A chosen file shows in the tool tip; its path must fit its column.
    const bool file = values.fileChosen && values.filePath.toUtf8().size() <= kRecordPathMaxBytes;
    return {
        {ui.widgetFileName, [file] { return file; }},
        {ui.btnOpenVPNImport, [file] { return file; }},
        dialog.nameRule(page.kind),
        {ui.lineEditEndpoint, matches(dialog.m_ipRegExp, values.ovpn.server)},
        {ui.lineEditPeerPort, matches(dialog.m_portRegExp, values.ovpn.port)},
        {page.userName,
         credentialRule(dialog.m_userRegExp, values.userName, values.credentials, values.rememberMe)},
        {page.passwordFrame,
         credentialRule(dialog.m_pwdRegExp, values.password, values.credentials, values.rememberMe)},
        {page.dns, emptyOrMatches(dialog.m_ipRegExp, values.ovpn.dns)},
        {page.wins, emptyOrMatches(dialog.m_ipRegExp, values.ovpn.wins)},
    };
}

bool ProfileConfigDialog::OpenVPNPage::check(Widgets& page, const Values& values) {
    const bool fields = FieldRules::check(fieldRules(page, values), FieldRules::Until::EveryRow);
    const bool rows = dialog.checkRemoteSubnets(dialog.remoteSubnetText, page.rows.addresses(),
                                                page.rows.masks(), !values.ovpn.fullTraffic);
    return fields && rows;
}

bool ProfileConfigDialog::OpenVPNPage::readStored(bool sameKind, OpenVPNInfo& stored) const {
    if (sameKind) {
        OpenVPNContext* context = openVPNContext();
        if (context == nullptr || context->GetOpenVPNInfoByID(dialog.m_iConfigID, &stored) != 0) {
            return false;
        }
    }
    // The stored row read by its id keeps the id it was asked for.
    stored.ID = sameKind ? dialog.m_iConfigID : 0;
    return true;
}

bool ProfileConfigDialog::OpenVPNPage::readWholeFile(const QString& path, QByteArray& content) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return false;
    }
    content = file.readAll();
    return file.error() == QFileDevice::NoError;
}

bool ProfileConfigDialog::OpenVPNPage::writeOpenVPNConfig(const OpenVPNInfo& stored, const Values& values,
                                                          QByteArray& copy, OvpnText::DroppedLines& barred) {
    // The profile's own copy chosen again carries the lines its save appended.
    const OvpnText::PageValues previous = OvpnText::valuesOf(stored);
    OvpnText::DroppedLines dropped;
    copy = OvpnText::importedCopy(importedText, values.ovpn, stored.ID != 0 ? &previous : nullptr, &dropped,
                                  &barred);
    logDroppedLines(dropped);
    return true;
}

bool ProfileConfigDialog::OpenVPNPage::updateOpenVPNConfig(const OpenVPNInfo& stored, const Values& values,
                                                           QByteArray& copy, OvpnText::DroppedLines& barred) {
    const QString path = profileFilePath(kOpenVPNConfigDir, dialog.m_configName, kOpenVPNConfigSuffix);
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
    // A copy stored before its text was kept as UTF-8 becomes UTF-8 now, and any line that
    // would run a program goes.
    OvpnText::DroppedLines dropped;
    copy = OvpnText::rewrittenCopy(OvpnText::asUtf8(text), OvpnText::valuesOf(stored), values.ovpn, &dropped,
                                   &barred);
    logDroppedLines(dropped);
    return true;
}

bool ProfileConfigDialog::OpenVPNPage::makeCopy(const Values& values, const OpenVPNInfo& stored,
                                                QByteArray& copy) {
    OvpnText::DroppedLines barred;
    const bool written = !dialog.m_bEditMode || dialog.m_bFileImported
                             ? writeOpenVPNConfig(stored, values, copy, barred)
                             : updateOpenVPNConfig(stored, values, copy, barred);
    // A profile stored before such lines were barred is not saved with them left out
    // silently: the user imports its configuration again, with its files inline.
    if (written && !barred.isEmpty()) {
        showBarredLines(barred);
        return false;
    }
    if (!written) {
        FieldRules::markFrame(ui.widgetFileName);
        FieldRules::markFrame(ui.btnOpenVPNImport);
        dialog.showSaveFailure(kFileMissingTip);
    }
    return written;
}

bool ProfileConfigDialog::OpenVPNPage::fillRecord(const Values& values, const OpenVPNInfo& stored,
                                                  bool sameKind, const QByteArray& copy,
                                                  OpenVPNInfo& info) const {
    QString userName = values.credentials ? values.userName : QString();
    QString password = values.credentials ? values.password : QString();
    // Credentials that were not to be remembered are not shown: left empty, they stay as
    // the last connect stored them.
    if (values.credentials && !values.rememberMe && sameKind) {
        if (userName.isEmpty()) {
            userName = QString::fromUtf8(stored.UserName);
        }
        if (password.isEmpty()) {
            password = QString::fromUtf8(stored.UserPwd);
        }
    }
    const bool fits = copyText(info.ServerIP, values.ovpn.server) &&
                      copyText(info.ConfigFilePath, storedPath(values.filePath)) &&
                      copyText(info.UserName, userName) && copyText(info.UserPwd, password) &&
                      copyText(info.LocalDns,
                               dialog.m_ipRegExp.exactMatch(values.ovpn.dns) ? values.ovpn.dns : QString()) &&
                      copyText(info.LocalWinsServer, values.ovpn.wins) &&
                      copyText(info.AllowdIPs, dialog.remoteSubnetText);
    if (!fits) {
        return false;
    }
    info.ServerPort = values.ovpn.port.toInt();
    info.NeedPwd = values.credentials ? 1 : 0;
    info.RememberMe = values.rememberMe ? 1 : 0;
    info.PromptPwd = values.credentials && values.prompt ? 1 : 0;
    info.LocalIPType = values.autoDns ? 1 : 0;
    info.EnableFullTraffic = values.ovpn.fullTraffic ? 1 : 0;
    info.VPNConfig = copy.toStdString();
    return true;
}

bool ProfileConfigDialog::OpenVPNPage::save(int kind) {
    Widgets& page = widgets(kind);
    const Values values = read(page);
    if (!check(page, values) || !dialog.nameIsFree()) {
        return false;
    }
    const bool sameKind = dialog.m_bEditMode && dialog.m_iVPNType == kind;
    OpenVPNInfo stored;
    if (!readStored(sameKind, stored)) {
        dialog.showSaveFailure(kSaveFailedTip);
        return false;
    }
    const QString target = dialog.configFileTarget(kOpenVPNConfigDir, kOpenVPNConfigSuffix, kNameValidTip);
    QByteArray copy;
    if (target.isEmpty() || !makeCopy(values, stored, copy)) {
        return false;
    }
    OpenVPNInfo info;
    if (!fillRecord(values, stored, sameKind, copy, info)) {
        dialog.showSaveFailure(kSaveFailedTip);
        return false;
    }
    const bool saved =
        dialog.storeProfile(kind, values.name, target, copy,
                            kindRowWriter(openVPNContext(), info, &OpenVPNContext::UpdateOpenVPNInfo,
                                          &OpenVPNContext::AddOpenVPNInfo));
    if (!saved) {
        return false;
    }
    // A renamed profile's copy now stands under the new name: the old name's goes.
    dialog.removeFileOfOldName(values.name, kOpenVPNConfigDir, kOpenVPNConfigSuffix, page.removeFailedLine);
    return true;
}

void ProfileConfigDialog::OpenVPNPage::removeStored(int newKind) {
    if (OpenVPNContext* context = openVPNContext()) {
        OpenVPNInfo info;
        info.ID = dialog.m_iConfigID;
        context->DeleteOpenVPNInfo(&info);
    }
    // Between SSL VPN and OpenVPN under the same name the file is the new kind's own.
    const bool keepsFile =
        ui.lineEditProfileName->text() == dialog.m_configName && (newKind == kSSLVPN || newKind == kOpenVPN);
    const QString path = profileFilePath(kOpenVPNConfigDir, dialog.m_configName, kOpenVPNConfigSuffix);
    if (!keepsFile && !path.isEmpty() && QFileInfo(path).isFile() && !QFile::remove(path)) {
        ZRWLog(kLogModule, kLogLevel, kDeleteOvpnFailedLine, path.toUtf8().constData());
    }
}
