// Export and import of the whole profile store, behind the Profiles page's Export and
// Import buttons.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "AppContext.h"
#include "ConfigFileCipher.h"
#include "EditorTexts.h"
#include "FileWrite.h"
#include "IPCSqliteReader.h"
#include "IPSecVPNContext.h"
#include "IPSecVPNInfo.h"
#include "ImportProgressDialog.h"
#include "InvokingUser.h"
#include "OpenVPNContext.h"
#include "ProfilePageConstants.h"
#include "ProfileWidget.h"
#include "SystemContext.h"
#include "TunnelPaths.h"
#include "UserFileDialog.h"
#include "WireGuardContext.h"
#include "WireGuardValues.h"
#include "ZRErrorDialog.h"
#include "ZRPageNavigator.h"
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
    UserFileChoice choice;
    choice.save = true;
    choice.caption = QString::fromLatin1(kSaveCaption);
    choice.filter = QString::fromLatin1(kFileFilter);
    // The client works in its own folder: the dialog starts in the user's home instead.
    choice.folder = QString::fromStdString(GetInvokingUser().home);
    // A name typed without a suffix gets one, so that the import's filter shows the file.
    choice.defaultSuffix = QString::fromLatin1(kFileSuffix);
    choice.selectedFile = suggested;
    const QString path = ChooseUserFile(this, choice);
    if (path.isEmpty()) {
        return;
    }
    exportToFile(path);
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
    UserFileChoice choice;
    choice.caption = QString::fromLatin1(kOpenCaption);
    choice.filter = QString::fromLatin1(kFileFilter);
    const QString path = ChooseUserFile(this, choice);
    if (path.isEmpty()) {
        return;
    }
    importFromFile(path);
}

int ProfileWidget::importFromFile(const QString& path) {
    importProblem = ImportFileProblem();
    importInterrupted = false;
    importListUnread = false;
    int result = deleteImportLeftovers();
    if (result != 0) {
        importProblem.kind = ImportFileProblem::None;
    } else {
        const int fd = openImportFile(path);
        result = fd < 0 ? -1 : runImportJob(fd);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    if (result != 0) {
        // A client that quits in the middle of an import says nothing about it.
        if (!importInterrupted) {
            showTransferError(importErrorText());
        }
        return -1;
    }
    // The page shows page 1 again. The profile list the worker read after its commit
    // becomes the context's list, so that the window does not read the whole store again.
    currentPage = 1;
    initPageNavigator();
    if (importListUnread) {
        loadProfileList();
        updatePageCount(currentPage);
        return 0;
    }
    ui.profileTreeWidget->clear();
    std::vector<ProfileInfo>* cached = appContext()->GetProfileList();
    cached->swap(mergedProfiles);
    mergedProfiles = std::vector<ProfileInfo>();
    fillFromCachedList();
    const int n = static_cast<int>(cached->size());
    pageNavigator->setupPages(n, ProfilePage::kPageSize, currentPage, buttonCount(n));
    return 0;
}

int ProfileWidget::openImportFile(const QString& path) {
    // The file is looked at before it is opened, and opened so that nothing can block
    // (a pipe without a writer) and no link is followed; the descriptor is then checked
    // to be the file that was looked at.
    const QByteArray name = QFile::encodeName(path);
    struct stat seen = {};
    if (lstat(name.constData(), &seen) != 0) {
        importProblem.kind = ImportFileProblem::NotProfileFile;
        ZRWLog(6, 3, kImportUnreadableLine, std::strerror(errno));
        return -1;
    }
    if (!S_ISREG(seen.st_mode)) {
        importProblem.kind = ImportFileProblem::NotRegularFile;
        ZRWLog(6, 3, kImportNotRegularLine, static_cast<unsigned>(seen.st_mode & S_IFMT));
        return -1;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    struct stat opened = {};
    if (fd < 0 || fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != seen.st_dev ||
        opened.st_ino != seen.st_ino) {
        const int error = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        importProblem.kind =
            fd < 0 && error != ELOOP ? ImportFileProblem::NotProfileFile : ImportFileProblem::NotRegularFile;
        ZRWLog(6, 3, kImportUnreadableLine, fd < 0 ? std::strerror(error) : "the file changed while opened");
        return -1;
    }
    // In an elevated run root reads the file for the user who started the client: only a
    // file of that user's own, so that no file the user cannot read reaches the store.
    const InvokingUser& user = GetInvokingUser();
    if (user.elevated && opened.st_uid != user.uid) {
        ::close(fd);
        importProblem.kind = ImportFileProblem::NotOwnFile;
        ZRWLog(6, 3, kImportNotOwnLine, static_cast<unsigned>(opened.st_uid),
               static_cast<unsigned>(user.uid));
        return -1;
    }
    if (opened.st_size > kMaxImportFileBytes) {
        ::close(fd);
        importProblem.kind = ImportFileProblem::NotProfileFile;
        ZRWLog(6, 3, kImportTooLargeLine, static_cast<long long>(opened.st_size));
        return -1;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        importProblem.kind = ImportFileProblem::NotProfileFile;
        return -1;
    }
    return fd;
}

int ProfileWidget::runImportJob(int fd) {
    // The deciphering, the check and the merge run beside the window, which shows their
    // progress meanwhile and stays responsive; the store lets the merge's transaction have
    // it alone until it commits or rolls back.
    importProgress.reset();
    importCancel = false;
    std::atomic<bool> ended{false};
    int result = -1;
    ImportProgressDialog dialog(&importProgress, this);
    std::unique_ptr<QThread> worker(QThread::create([this, fd, &result, &ended] {
        result = importFromDescriptor(fd);
        // The deciphered copies hold every secret of the file in plain text.
        deleteImportLeftovers();
        ended = true;
    }));
    connect(worker.get(), &QThread::finished, &dialog, &ImportProgressDialog::finish, Qt::QueuedConnection);
    worker->start();
    dialog.exec();
    if (!ended) {
        // The dialog's loop was ended from outside: the client quits. The merge stops at
        // its next profile and undoes what it did.
        importInterrupted = true;
        importCancel = true;
    }
    worker->wait();
    return result;
}

int ProfileWidget::importFromDescriptor(int fd) {
    // The cipher reads the file by a name: the descriptor's own, which names the file that
    // was checked whatever the chosen path names by now.
    if (decryptFile(QStringLiteral("/proc/self/fd/%1").arg(fd)) != 0) {
        importProblem.kind = ImportFileProblem::NotProfileFile;
        return -1;
    }
    mergedProfiles.clear();
    if (importProfiles(QString::fromLatin1(kDecryptedFile)) != 0) {
        return -1;
    }
    // The store as the page will list it, read here rather than on the window's thread. A
    // list that cannot be read leaves the page to read it.
    if (appContext()->GetSqlite()->GetProfileList(mergedProfiles) != 0) {
        mergedProfiles.clear();
        importListUnread = true;
    }
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
    case ImportFileProblem::BadValue:
        return ZRStringConstant::tr("ZRVPN_IMPORT_INVALID_VALUE")
            .arg(shownName(importProblem.name), QString::fromStdString(importProblem.field));
    case ImportFileProblem::TooManyProfiles:
        return ZRStringConstant::tr("ZRVPN_IMPORT_TOO_MANY_PROFILES").arg(kMaxImportedProfiles);
    case ImportFileProblem::NotRegularFile:
        return ZRStringConstant::tr("ZRVPN_IMPORT_NOT_REGULAR_FILE");
    case ImportFileProblem::NotOwnFile:
        return ZRStringConstant::tr("ZRVPN_IMPORT_NOT_OWN_FILE");
    case ImportFileProblem::BarredDirective:
        return ZRStringConstant::tr("ZRVPN_IMPORT_BARRED_DIRECTIVE")
            .arg(shownName(importProblem.name), shownName(importProblem.directive));
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
    size_t profiles = 0;
    if (!CheckImportFile(databasePath, &importProblem, &profiles)) {
        ZRWLog(6, 3, kImportRefusedLine, importProblem.detail.c_str());
        return -1;
    }
    importProgress.total = static_cast<int>(profiles);
    importProgress.stage = ImportProgress::Merging;

    IPCSqliteReader reader;
    if (reader.Init(databasePath.c_str()) != 0) {
        ZRWLog(6, 2, "%s", kReaderInitFailedLine);
        reader.DeInit();
        return -1;
    }
    std::vector<ProfileInfo> rows;
    IPCSqlite* store = appContext()->GetSqlite();
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
            if (importCancel) {
                merged = false;
                break;
            }
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
            if (merged) {
                importProgress.done = ++count;
                if (importRowHook()) {
                    importRowHook()(count);
                }
            }
        }
        // The WireGuard files reach the disk before the rows that name them, with one sync
        // for all of them.
        merged = merged && syncImportedFiles() == 0;
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
    }
    if (reader.DeInit() != 0) {
        ZRWLog(6, 2, "%s", kReaderDeInitFailedLine);
    }
    return merged ? 0 : -1;
}

bool ProfileWidget::makeNameUnique(ProfileInfo& profile) {
    const std::string name = profile.ProfileName;
    if (importRun.names.count(name) == 0) {
        return false;
    }
    // Every candidate is built on the name as imported: base_1, base_2, never base_1_1. A
    // name so long that its suffix would pass the kind's length loses whole characters
    // from its end first, so that the profile can still be saved under its new name.
    const size_t limit =
        static_cast<size_t>(profile.ProfileType == VPN_TYPE_WIREGUARD ? EditorTexts::kWireGuardNameMaxBytes
                                                                      : EditorTexts::kNameMaxBytes);
    std::string candidate;
    for (unsigned long n = 1;; ++n) {
        const std::string suffix = "_" + std::to_string(n);
        std::string base = name;
        while (!base.empty() && base.size() + suffix.size() > limit) {
            base.pop_back();
            // A cut inside a character takes the whole character.
            while (!base.empty() && (static_cast<unsigned char>(base.back()) & 0xC0) == 0x80) {
                base.pop_back();
            }
            if (!base.empty() && static_cast<unsigned char>(base.back()) >= 0xC0) {
                base.pop_back();
            }
        }
        candidate = base + suffix;
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
    // The file holds private keys: private to its owner. Every value must be what its key
    // takes (the check refuses such a file first).
    if (!IsValidTunnelName(profile.ProfileName) || !WireGuardValues::FirstUnfitKey(info).empty()) {
        return -1;
    }
    WrittenFile written;
    const QString folder = CreateDirPath(QString::fromUtf8(TunnelPaths::kWireGuardConfigDir));
    written.path = folder + QLatin1Char('/') + QString::fromUtf8(profile.ProfileName) +
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
    // Written whole under a temporary name and renamed into place, without a sync of its
    // own: the merge syncs every file it wrote at once, before its commit.
    const std::string path = QFile::encodeName(written.path).toStdString();
    std::vector<char> temporary(path.begin(), path.end());
    const char suffix[] = ".XXXXXX";
    temporary.insert(temporary.end(), suffix, suffix + sizeof suffix);
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    const std::string text = WireGuardConfigText(info);
    bool ok = fchmod(fd, 0600) == 0 && WriteAll(fd, text.data(), text.size());
    ok = ::close(fd) == 0 && ok;
    if (!ok || rename(temporary.data(), path.c_str()) != 0) {
        unlink(temporary.data());
        return -1;
    }
    importRun.files.push_back(written);
    return 0;
}

int ProfileWidget::syncImportedFiles() {
    if (importRun.files.empty()) {
        return 0;
    }
    // One sync of the file system that holds the folder: every file and every rename.
    const int folder =
        ::open(TunnelPaths::kWireGuardConfigDir, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        return -1;
    }
    const int result = syncfs(folder);
    ::close(folder);
    if (result != 0) {
        ZRWLog(6, 3, kImportSyncFailedLine, std::strerror(errno));
        return -1;
    }
    return 0;
}
