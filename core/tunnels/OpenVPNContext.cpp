#include "OpenVPNContext.h"

#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>

#include "ChildProcess.h"
#include "CommandLine.h"
#include "IPCSqlite.h"
#include "NetworkAdapters.h"
#include "RunFolder.h"
#include "StrUtils.h"
#include "zrwlog.h"

int RunHiddenCommand(const char* commandLine, int timeoutMs) {
    if (commandLine == nullptr) {
        return -1;
    }
    const std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) {
        return -1;
    }
    // The script and whatever it starts are ended together when it hangs.
    int exitCode = -1;
    return RunToEnd(words, timeoutMs, &exitCode) == 0 && exitCode == 0 ? 0 : -1;
}

std::u16string Utf8ToUtf16(const char* text) {
    if (text == nullptr) {
        return std::u16string();
    }
    // A UTF-8 text never needs more UTF-16 units than it has bytes.
    std::u16string wide(std::strlen(text) + 1, u'\0');
    int written = Utf8ToUtf16Buf(text, &wide[0], wide.size());
    wide.resize(written > 0 ? static_cast<size_t>(written) - 1 : 0);
    return wide;
}

OpenVPNContext::OpenVPNContext() : sqlite(nullptr), processInfo() {
    EnsureTapAdapter();
}

OpenVPNContext::~OpenVPNContext() {}

int OpenVPNContext::SetSqlite(IPCSqlite* store) {
    sqlite = store;
    return 0;
}

int OpenVPNContext::ToResultCode(int result) {
    return result == 0 ? 0 : -1;
}

int OpenVPNContext::GetOpenVPNInfoByID(int configId, OpenVPNInfo* info) {
    if (info == nullptr) {
        return -1;
    }
    *info = OpenVPNInfo();
    if (sqlite == nullptr) {
        return -1;
    }
    return ToResultCode(sqlite->GetOpenVPNConfigByID(info, configId));
}

int OpenVPNContext::AddOpenVPNInfo(OpenVPNInfo* info, int write) {
    if (write == 0) {
        return 0;
    }
    if (info == nullptr || sqlite == nullptr) {
        return -1;
    }
    return ToResultCode(sqlite->InsertOpenVPNConfig(info));
}

int OpenVPNContext::UpdateOpenVPNInfo(OpenVPNInfo* info, int write) {
    if (write == 0) {
        return 0;
    }
    if (info == nullptr || sqlite == nullptr) {
        return -1;
    }
    return ToResultCode(sqlite->UpdateOpenVPNConfig(info));
}

int OpenVPNContext::DeleteOpenVPNInfo(OpenVPNInfo* info) {
    if (info == nullptr || sqlite == nullptr) {
        return -1;
    }
    return ToResultCode(sqlite->DeleteOpenVPNConfig(info));
}

PROCESS_INFORMATION OpenVPNContext::GetProcessInfo() {
    return processInfo;
}

void OpenVPNContext::SetProcessInfo(PROCESS_INFORMATION info) {
    processInfo = info;
}

int OpenVPNContext::AddTapAdapter() {
    if (RunHiddenCommand(TunnelPaths::kAddTapScript) != 0) {
        ZRWLog(6, 3, "OpenVPN :: Create TAP-Windows-Adapter failed!\n");
        return -1;
    }
    return 0;
}

int OpenVPNContext::EnsureTapAdapter() {
    // On Linux openvpn makes its own device when it connects: an adapter is created only
    // where the kernel cannot give it one.
    if (HasTapAdapter() || TapDevicesCanBeMade()) {
        return 0;
    }
    return AddTapAdapter();
}

int OpenVPNContext::DeleteMadeTapAdapters() {
    // Nothing to run when no adapter was made (the usual case).
    const std::string records = RunSubfolder(TunnelPaths::kTapRecordsFolder);
    DIR* dir = records.empty() ? nullptr : opendir(records.c_str());
    bool any = false;
    while (dir != nullptr && !any) {
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            break;
        }
        any = entry->d_name[0] != '.';
    }
    if (dir != nullptr) {
        closedir(dir);
    }
    if (!any) {
        return 0;
    }
    if (RunHiddenCommand(TunnelPaths::kDeleteMadeTapScript) != 0) {
        ZRWLog(6, 3, "OpenVPN :: Delete TAP-Windows-Adapter failed!\n");
        return -1;
    }
    return 0;
}

int OpenVPNContext::DeleteAllTapAdapters() {
    if (RunHiddenCommand(TunnelPaths::kDeleteAllTapScript) != 0) {
        ZRWLog(6, 3, "OpenVPN :: Delete all TAP-Windows-Adapter failed!\n");
        return -1;
    }
    return 0;
}

bool OpenVPNContext::HasTapAdapter() {
    for (const auto& adapter : ListNetworkAdapters()) {
        if (adapter.description.find(TunnelPaths::kTapAdapterDescription) != std::string::npos) {
            return true;
        }
    }
    return false;
}
