#include "WireGuardContext.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <cstring>

#include "FileWrite.h"
#include "IPCSqlite.h"
#include "ProcessPipe.h"
#include "StrUtils.h"
#include "TunnelPaths.h"
#include "WireGuardValues.h"
#include "zrwlog.h"

namespace {

std::string QuoteIfSpaced(const char* name) {
    std::string text = name;
    if (text.find_first_of(" \t") != std::string::npos) {
        return "\"" + text + "\"";
    }
    return text;
}

} // namespace

WireGuardContext::WireGuardContext() : sqlite(nullptr) {}

WireGuardContext::~WireGuardContext() {}

int WireGuardContext::SetSqlite(IPCSqlite* store) {
    sqlite = store;
    return 0;
}

int WireGuardContext::GetWireGuardInfoByID(int configId, WireGuardVPNInfo* info) {
    if (info == nullptr) {
        return -1;
    }
    *info = WireGuardVPNInfo();
    if (sqlite == nullptr) {
        return -1;
    }
    return IPCSqlite::ToResultCode(sqlite->GetWireGuardInfoByID(info, configId));
}

int WireGuardContext::AddWireGuardInfo(WireGuardVPNInfo* info, int write) {
    if (write == 0) {
        return 0;
    }
    if (info == nullptr || sqlite == nullptr) {
        return -1;
    }
    return IPCSqlite::ToResultCode(sqlite->InsertWireGuardInfo(info));
}

int WireGuardContext::UpdateWireGuardInfo(WireGuardVPNInfo* info, int write) {
    if (write == 0) {
        return 0;
    }
    if (info == nullptr || sqlite == nullptr) {
        return -1;
    }
    return IPCSqlite::ToResultCode(sqlite->UpdateWireGuardInfo(info));
}

int WireGuardContext::DeleteWireGuardInfo(WireGuardVPNInfo* info) {
    if (info == nullptr || sqlite == nullptr) {
        return -1;
    }
    return IPCSqlite::ToResultCode(sqlite->DeleteWireGuardInfo(info));
}

int WireGuardContext::Disconnect(const char* tunnelName) {
    if (!IsValidTunnelName(tunnelName)) {
        ZRWLog(6, 3, "WireGuard :: Invalid tunnel name: %s \n", tunnelName != nullptr ? tunnelName : "");
        return 0;
    }
    std::string command = WireGuardUninstallCommandLine(tunnelName);
    ZRWLog(6, 3, "WireGuard :: WireGuard Disconnect: %s \n", command.c_str());
    ProcessPipe pipe;
    pipe.ExecuteCommand(command.c_str(), true, nullptr);
    return 0;
}

bool WireGuardContext::IsTunnelUp(const char* tunnelName) {
    if (!IsValidTunnelName(tunnelName)) {
        return false;
    }
    ProcessPipe pipe;
    std::string output = pipe.ExecuteCommand(WireGuardShowCommandLine(tunnelName).c_str(), true, nullptr);
    return output.rfind(std::string(TunnelPaths::kWireGuardInterfaceHeader) + tunnelName + "\n", 0) == 0;
}

int WireGuardContext::WriteWireGuardConfig(const ProfileInfo& profile, const WireGuardVPNInfo* info) {
    if (info == nullptr) {
        return -1;
    }
    if (!IsValidTunnelName(profile.ProfileName)) {
        ZRWLog(6, 3, "WireGuard :: Invalid tunnel name: %s \n", profile.ProfileName);
        return -1;
    }
    // wg-quick splits and globs some values unquoted and resolvconf evaluates the DNS as
    // shell text: every value must be exactly what its key takes.
    const std::string unfit = WireGuardValues::FirstUnfitKey(*info);
    if (!unfit.empty()) {
        ZRWLog(6, 3, "WireGuard :: Value of %s not allowed in wireguard config: %s \n", unfit.c_str(),
               profile.ProfileName);
        return -1;
    }
    QString folder = CreateDirPath(QString::fromUtf8(TunnelPaths::kWireGuardConfigDir));
    std::string path =
        folder.toStdString() + "/" + profile.ProfileName + TunnelPaths::kWireGuardConfigExtension;
    // The file holds private keys, and a connect reuses whatever file it finds.
    return WriteFileWhole(path, WireGuardConfigText(*info), 0600) ? 0 : -1;
}

std::string WireGuardConfigText(const WireGuardVPNInfo& info) {
    std::string text;
    auto line = [&text](const std::string& content) { text += content + "\n"; };
    line("[Interface]");
    if (info.InterPriKey[0] != '\0') {
        line(std::string("PrivateKey = ") + info.InterPriKey);
    }
    if (info.InterPort != 0) {
        line("ListenPort = " + std::to_string(info.InterPort));
    }
    line(std::string("Address = ") + info.IPAddr + "/" + std::to_string(info.InterSubMask));
    if (info.DNS[0] != '\0') {
        line(std::string("DNS = ") + info.DNS);
    }
    line("");
    line("[Peer]");
    line(std::string("PublicKey = ") + info.PeerPubKey);
    line(std::string("Endpoint = ") + info.WanIP + ":" + std::to_string(info.PeerPort));
    if (info.AllowdIPs[0] != '\0') {
        line(std::string("AllowedIPs = ") + info.AllowdIPs);
    } else {
        line("AllowedIPs = 0.0.0.0/0");
    }
    if (info.PreShardKey[0] != '\0') {
        line(std::string("PresharedKey = ") + info.PreShardKey);
    }
    if (info.KeepaliveTime != 0) {
        line("PersistentKeepalive = " + std::to_string(info.KeepaliveTime));
    }
    return text;
}

bool IsValidTunnelName(const char* name) {
    if (name == nullptr || name[0] == '\0' || name[0] == '-' || name[0] == '.') {
        return false;
    }
    size_t length = std::strlen(name);
    // The file's name is the tunnel name and ".conf", and it is written through a
    // temporary name seven bytes longer: all of it must fit a 255-byte file name.
    if (length > kMaxTunnelNameBytes || std::strstr(name, "..") != nullptr) {
        return false;
    }
    static const char* const forbidden = "/\\\"'`$&|;<>(){}[]*?!~#%^";
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7f || std::strchr(forbidden, c) != nullptr) {
            return false;
        }
    }
    return true;
}

std::string WireGuardInterfaceName(const char* tunnelName) {
    const std::string name = tunnelName != nullptr ? tunnelName : "";
    bool usable = !name.empty() && name.size() <= kMaxInterfaceNameBytes && name != "." && name != "..";
    for (char c : name) {
        const bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        usable = usable && (letterOrDigit || (c != '\0' && std::strchr("_=+.-", c) != nullptr));
    }
    if (usable) {
        return name;
    }
    const QByteArray digest =
        QCryptographicHash::hash(QByteArray::fromStdString(name), QCryptographicHash::Sha256).toHex();
    return "wg" + digest.left(13).toStdString();
}

std::string WireGuardInstallCommandLine(const QString& projectPath, const char* tunnelName) {
    if (!IsValidTunnelName(tunnelName)) {
        return std::string();
    }
    std::string path = projectPath.toStdString() + TunnelPaths::kWireGuardConfigDirSuffix + tunnelName +
                       TunnelPaths::kWireGuardConfigExtension;
    return std::string(TunnelPaths::kWireGuardInstallCommand) + "\"" + path + "\"";
}

std::string WireGuardUninstallCommandLine(const char* tunnelName) {
    if (!IsValidTunnelName(tunnelName)) {
        return std::string();
    }
    // A name with blanks is quoted so that it reaches the tool as one argument.
    return std::string(TunnelPaths::kWireGuardUninstallCommand) + QuoteIfSpaced(tunnelName);
}

std::string WireGuardShowCommandLine(const char* tunnelName) {
    if (!IsValidTunnelName(tunnelName)) {
        return std::string();
    }
    return std::string(TunnelPaths::kWireGuardShowCommand) + " " + QuoteIfSpaced(tunnelName);
}

namespace {

// The folders that hold profiles' files: only root lists them (profile names) or reads
// what is in them.
void MakePrivatePath(const QString& path) {
    MakeDirPath(QFile::encodeName(path).constData(), TunnelPaths::kPrivateFolderMode);
}

} // namespace

QString CreateDirPath(const QString& path) {
    if (path.isEmpty() || QDir(path).exists()) {
        return path;
    }
    int cut = path.lastIndexOf(QLatin1Char('/'));
    if (cut < 0) {
        MakePrivatePath(path);
        return path;
    }
    QString leaf = path.mid(cut + 1);
    if (cut == 0) {
        if (!leaf.isEmpty()) {
            MakePrivatePath(path);
        }
        return path;
    }
    QString parent = CreateDirPath(path.left(cut));
    if (!leaf.isEmpty()) {
        MakePrivatePath(parent + QLatin1Char('/') + leaf);
    }
    return parent + QLatin1Char('/') + leaf;
}
