// Export and import of the whole profile store, behind the Profiles page's Export and
// Import buttons.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "AppContext.h"
#include "ConfigFileCipher.h"
#include "FileWrite.h"
#include "IPCSqliteReader.h"
#include "IPSecVPNContext.h"
#include "IPSecVPNInfo.h"
#include "InvokingUser.h"
#include "OpenVPNContext.h"
#include "ProfilePageConstants.h"
#include "ProfileWidget.h"
#include "SystemContext.h"
#include "TunnelPaths.h"
#include "WireGuardContext.h"
#include "ZRErrorDialog.h"
#include "ZRStringConstant.h"
#include "zrwlog.h"

using namespace ProfileTransfer;

namespace {

std::function<void(int)>& importRowHook() {
    static std::function<void(int)> hook;
    return hook;
}

// A profile name as a message shows it: control characters made visible, and cut.
QString shownName(const std::string& name) {
    const int kShownCharacters = 64;
    QString text = QString::fromUtf8(name.data(), static_cast<int>(name.size()));
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            c = QChar(0xFFFD);
        }
    }
    if (text.size() > kShownCharacters) {
        text = text.left(kShownCharacters) + QChar(0x2026);
    }
    return text;
}

QString dataFilePath(const char* name) {
    const char* folder = SystemContext::Instance()->GetAppContext()->GetDataPath();
    return QString::fromLocal8Bit(folder) + QString::fromLatin1(name);
}

bool fitsDataPathBuffer(const QString& path) {
    return path.toLocal8Bit().size() < kDataPathBufferSize;
}

} // namespace

void ProfileWidget::setImportRowHook(std::function<void(int)> hook) {
    importRowHook() = std::move(hook);
}

void ProfileWidget::showTransferError(const QString& text) {
    ZRErrorDialog dialog(this);
    dialog.setContent(text);
    dialog.exec();
}

// Files

bool ProfileWidget::copyFile(const QString& source, const QString& target, bool overwrite) {
    QString to = target;
    to.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (source == to) {
        return true;
    }
    QFile from(source);
    if (!from.exists() || (!overwrite && QFileInfo::exists(to))) {
        return false;
    }
    // The target is written whole or not at all, so that a failed copy keeps the file that
    // was there; it holds the profiles' secrets and stays private to the user.
    if (!from.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = from.readAll();
    if (from.error() != QFileDevice::NoError) {
        return false;
    }
    return WriteFileWhole(QFile::encodeName(to).toStdString(), bytes.toStdString(), 0600);
}

int ProfileWidget::deleteFile(const QString& path) {
    const QFileInfo info(path);
    if (info.isFile() && !QFile::remove(path)) {
        ZRWLog(6, 3, kDeleteFailedLine, path.toLocal8Bit().constData());
        return -1;
    }
    return 0;
}

int ProfileWidget::encryptFile(const QString& path) {
    ConfigFileCipher cipher;
    const QByteArray local = path.toLocal8Bit();
    const int size = cipher.GetFileSize(local.constData());
    if (size < 0 || !cipher.EncryptFile(size, local.constData())) {
        ZRWLog(6, 3, "%s", kEncryptFailedLine);
        return -1;
    }
    return 0;
}

int ProfileWidget::decryptFile(const QString& path) {
    ConfigFileCipher cipher;
    const QByteArray local = path.toLocal8Bit();
    const int size = cipher.GetFileSize(local.constData());
    if (size < 0 || !cipher.DecryptFile(size, local.constData())) {
        ZRWLog(6, 3, "%s", kDecryptFailedLine);
        return -1;
    }
    return 0;
}

int ProfileWidget::deleteImportLeftovers() {
    int result = 0;
    for (const char* path : {kDecryptedDatabase, kDecryptedFile}) {
        result = deleteFile(QString::fromLatin1(path)) != 0 ? -1 : result;
    }
    const QDir config(QString::fromLatin1(kConfigFolder));
    for (const QString& name : config.entryList(QStringList{QString::fromLatin1(kDecryptedTempPattern)},
                                                QDir::Files | QDir::Hidden)) {
        result = deleteFile(config.filePath(name)) != 0 ? -1 : result;
    }
    return result;
}

// Export

void ProfileWidget::runExport() {
    const QString suggested = QString::fromLatin1(kExportNamePrefix) +
                              QDateTime::currentDateTime().toString(QString::fromLatin1(kExportTimeFormat));
    QFileDialog dialog(this, QString::fromLatin1(kSaveCaption), QString(), QString::fromLatin1(kFileFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The client works in its own folder: the dialog starts in the user's home instead.
    dialog.setDirectory(QString::fromStdString(GetInvokingUser().home));
    // A name typed without a suffix gets one, so that the import's filter shows the file.
    dialog.setDefaultSuffix(QString::fromLatin1(kFileSuffix));
    dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    exportToFile(dialog.selectedFiles().first());
}

int ProfileWidget::exportToFile(const QString& path) {
    // The store is copied and the copy enciphered once the file is chosen, so that a
    // cancelled dialog leaves nothing behind and the file holds the store as it is now.
    // The store, its copy and the chosen file are the user's: they are read and written as
    // the user (the client runs as root), and the exported file belongs to the user.
    const QString storePath = dataFilePath(kStoreFile);
    const QString copyPath = dataFilePath(kStoreCopyFile);
    const QString encrypted = QString::fromLatin1(kEncryptedFile);
    bool done = fitsDataPathBuffer(storePath) && fitsDataPathBuffer(copyPath);
    if (done) {
        UserFileAccess access;
        done = copyFile(storePath, copyPath, true);
    }
    if (!done) {
        ZRWLog(6, 3, "%s", kCopyStoreFailedLine);
    } else {
        done = encryptUserFile(copyPath) == 0;
        // The plain copy holds every secret of the store: it goes at once.
        {
            UserFileAccess access;
            done = deleteFile(copyPath) == 0 && done;
        }
        if (done && !copyToUserFile(encrypted, path)) {
            ZRWLog(6, 3, "%s", kCopyEncryptedFailedLine);
            done = false;
        }
        deleteFile(encrypted);
    }
    if (!done) {
        showTransferError(ZRStringConstant::tr("ZRVPN_EXPORT_FAILED"));
        return -1;
    }
    return 0;
}

int ProfileWidget::encryptUserFile(const QString& path) {
    // Opened as the user without following a link, then enciphered through that very
    // descriptor: what is read is the copy just made, whatever the user does to the name.
    int fd = -1;
    {
        UserFileAccess access;
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    }
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0) {
            ::close(fd);
        }
        ZRWLog(6, 3, "%s", kEncryptFailedLine);
        return -1;
    }
    const int result = encryptFile(QStringLiteral("/proc/self/fd/") + QString::number(fd));
    ::close(fd);
    return result;
}

bool ProfileWidget::copyToUserFile(const QString& source, const QString& target) {
    QString to = target;
    to.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QFile from(source);
    if (!from.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = from.readAll();
    if (from.error() != QFileDevice::NoError) {
        return false;
    }
    // Written whole or not at all, as the user, private to the user.
    UserFileAccess access;
    return WriteFileWhole(QFile::encodeName(to).toStdString(), bytes.toStdString(), 0600);
}

// Import

void ProfileWidget::runImport() {
    if (deleteImportLeftovers() != 0) {
        showTransferError(ZRStringConstant::tr("ZRVPN_IMPORT_FAILED"));
        return;
    }
    QFileDialog dialog(this, QString::fromLatin1(kOpenCaption), QString(), QString::fromLatin1(kFileFilter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    importFromFile(dialog.selectedFiles().first());
}

int ProfileWidget::importFromFile(const QString& path) {
    importProblem = ImportFileProblem();
    int result = deleteImportLeftovers();
    if (result != 0) {
        importProblem.kind = ImportFileProblem::None;
    } else if (QFileInfo(path).size() > kMaxImportFileBytes) {
        ZRWLog(6, 3, kImportTooLargeLine, static_cast<long long>(QFileInfo(path).size()));
        importProblem.kind = ImportFileProblem::NotProfileFile;
        result = -1;
    } else if (decryptFile(path) != 0) {
        importProblem.kind = ImportFileProblem::NotProfileFile;
        result = -1;
    } else {
        result = importProfiles(QString::fromLatin1(kDecryptedFile));
    }
    // The deciphered copies hold every secret of the file in plain text.
    deleteImportLeftovers();
    if (result != 0) {
        showTransferError(importErrorText());
        return -1;
    }
    currentPage = 1;
    initPageNavigator();
    loadProfileList();
    updatePageCount(1);
    return 0;
}

QString ProfileWidget::importErrorText() const {
    switch (importProblem.kind) {
    case ImportFileProblem::NotProfileFile:
        return ZRStringConstant::tr("ZRVPN_IMPORT_NOT_PROFILE_FILE");
    case ImportFileProblem::BadName:
        return ZRStringConstant::tr("ZRVPN_IMPORT_INVALID_NAME").arg(shownName(importProblem.name));
    case ImportFileProblem::BadProfile:
        return ZRStringConstant::tr("ZRVPN_IMPORT_INVALID_PROFILE").arg(shownName(importProblem.name));
    case ImportFileProblem::None:
    default:
        return ZRStringConstant::tr("ZRVPN_IMPORT_FAILED");
    }
}

int ProfileWidget::importProfiles(const QString& path) {
    const QString database = path.left(path.size() - 4) + QString::fromLatin1(kDatabaseSuffix);
    if (!QFile::rename(path, database)) {
        return -1;
    }
    const std::string databasePath = QFile::encodeName(database).toStdString();
    if (!CheckImportFile(databasePath, &importProblem)) {
        ZRWLog(6, 3, kImportRefusedLine, importProblem.detail.c_str());
        return -1;
    }

    IPCSqliteReader reader;
    if (reader.Init(databasePath.c_str()) != 0) {
        ZRWLog(6, 2, "%s", kReaderInitFailedLine);
        reader.DeInit();
        return -1;
    }
    std::vector<ProfileInfo> rows;
    AppContext* app = appContext();
    IPCSqlite* store = app->GetSqlite();
    bool merged = reader.GetProfileList(rows) == 0 && store->BeginTransaction() == 0;
    if (merged) {
        // The names the store holds, read inside the transaction, and each name merged
        // after them.
        importRun = ImportRun();
        std::vector<ProfileInfo> held;
        merged = store->GetProfileList(held) == 0;
        for (const ProfileInfo& profile : held) {
            importRun.names.insert(profile.ProfileName);
        }
        int count = 0;
        for (size_t i = 0; merged && i < rows.size(); ++i) {
            const ProfileInfo& row = rows[i];
            switch (row.ProfileType) {
            case VPN_TYPE_IPSEC:
                merged = importIPSecInfo(row, reader) == 0;
                if (!merged) {
                    ZRWLog(6, 2, "%s", kImportIPSecFailedLine);
                }
                break;
            case VPN_TYPE_SSLVPN:
            case VPN_TYPE_OPENVPN:
                merged = importOpenVPNInfo(row, reader) == 0;
                if (!merged) {
                    ZRWLog(6, 2, "%s", kImportOpenVPNFailedLine);
                }
                break;
            case VPN_TYPE_WIREGUARD:
                merged = importWireGuardInfo(row, reader) == 0;
                if (!merged) {
                    ZRWLog(6, 2, "%s", kImportWireGuardFailedLine);
                }
                break;
            default:
                ZRWLog(6, 3, kUnknownKindLine, row.ProfileType);
                continue;
            }
            if (merged && importRowHook()) {
                importRowHook()(++count);
            }
        }
        merged = merged && store->CommitTransaction() == 0;
        if (!merged) {
            store->RollbackTransaction();
            // The WireGuard files of the undone profiles: removed, or what they replaced
            // put back.
            for (auto it = importRun.files.rbegin(); it != importRun.files.rend(); ++it) {
                if (it->existed) {
                    WriteFileWhole(QFile::encodeName(it->path).toStdString(), it->previous.toStdString(),
                                   0600);
                } else {
                    QFile::remove(it->path);
                }
            }
            ZRWLog(6, 3, "%s", kImportUndoneLine);
        }
        importRun = ImportRun();
        app->ClearProfileList();
        store->GetProfileList(*app->GetProfileList());
    }
    if (reader.DeInit() != 0) {
        ZRWLog(6, 2, "%s", kReaderDeInitFailedLine);
    }
    return merged ? 0 : -1;
}

bool ProfileWidget::makeNameUnique(ProfileInfo& profile) {
    const std::string base = profile.ProfileName;
    if (importRun.names.count(base) == 0) {
        return false;
    }
    // Every candidate is built on the name as imported: base_1, base_2, never base_1_1.
    // The name rule keeps a base short enough for its suffix to fit the record.
    std::string candidate;
    for (unsigned long n = 1;; ++n) {
        candidate = base + "_" + std::to_string(n);
        if (importRun.names.count(candidate) == 0) {
            break;
        }
    }
    std::snprintf(profile.ProfileName, sizeof profile.ProfileName, "%s", candidate.c_str());
    return true;
}

int ProfileWidget::importIPSecInfo(ProfileInfo profile, IPCSqliteReader& reader) {
    IPSecVPNInfo info;
    if (reader.GetIPSecProfileByID(&info, profile.ConfigID) != 0) {
        ZRWLog(6, 3, "%s", kIPSecReadFailedLine);
        return -1;
    }
    const bool clashed = makeNameUnique(profile);
    IPSecVPNContext* context = appContext()->GetIPSecVPNContext();
    if (context == nullptr || context->AddIPSecInfo(&info, 1) != 0) {
        if (clashed) {
            ZRWLog(6, 3, "%s", kIPSecAddFailedLine);
        } else {
            ZRWLog(6, 3, kIPSecAddFailedNamedLine, profile.ProfileName);
        }
        return -1;
    }
    profile.ConfigID = info.GetID();
    if (appContext()->GetSqlite()->InsertProfile(&profile) != 0) {
        ZRWLog(6, 3, kIPSecInsertFailedLine, profile.ProfileName);
        return -1;
    }
    importRun.names.insert(profile.ProfileName);
    return 0;
}

int ProfileWidget::importOpenVPNInfo(ProfileInfo profile, IPCSqliteReader& reader) {
    OpenVPNInfo info;
    OpenVPNContext* context = appContext()->GetOpenVPNContext();
    if (reader.GetOpenVPNConfigByID(&info, profile.ConfigID) != 0 || context == nullptr) {
        return -1;
    }
    makeNameUnique(profile);
    if (context->AddOpenVPNInfo(&info, 1) != 0) {
        return -1;
    }
    profile.ConfigID = info.ID;
    if (appContext()->GetSqlite()->InsertProfile(&profile) != 0) {
        return -1;
    }
    importRun.names.insert(profile.ProfileName);
    return 0;
}

int ProfileWidget::importWireGuardInfo(ProfileInfo profile, IPCSqliteReader& reader) {
    WireGuardVPNInfo info;
    WireGuardContext* context = appContext()->GetWireGuardContext();
    if (reader.GetWireGuardInfoByID(&info, profile.ConfigID) != 0 || context == nullptr) {
        return -1;
    }
    makeNameUnique(profile);
    if (context->AddWireGuardInfo(&info, 1) != 0) {
        return -1;
    }
    profile.ConfigID = info.ID;
    if (appContext()->GetSqlite()->InsertProfile(&profile) != 0) {
        return -1;
    }
    importRun.names.insert(profile.ProfileName);
    if (writeWireGuardConfig(profile, info) != 0) {
        ZRWLog(6, 3, kWireGuardConfigFailedLine, profile.ProfileName);
        return -1;
    }
    return 0;
}

int ProfileWidget::writeWireGuardConfig(const ProfileInfo& profile, const WireGuardVPNInfo& info) {
    WireGuardContext* context = appContext()->GetWireGuardContext();
    if (context == nullptr) {
        return -1;
    }
    WrittenFile written;
    written.path = QString::fromUtf8(TunnelPaths::kWireGuardConfigDir) + QLatin1Char('/') +
                   QString::fromUtf8(profile.ProfileName) +
                   QString::fromUtf8(TunnelPaths::kWireGuardConfigExtension);
    QFile previous(written.path);
    written.existed = QFileInfo(written.path).isFile();
    if (written.existed) {
        if (!previous.open(QIODevice::ReadOnly)) {
            return -1;
        }
        written.previous = previous.readAll();
        previous.close();
    }
    if (context->WriteWireGuardConfig(profile, &info) != 0) {
        return -1;
    }
    importRun.files.push_back(written);
    return 0;
}
