// The tunnel context of OpenVPN and SSL VPN profiles: forwards the OPENVPN rows to the
// store, keeps the process record of the openvpn program started last, and makes sure
// a TAP adapter exists.
#pragma once

#include <string>

#include "ProcessPipe.h"
#include "ProfileRecords.h"
#include "TunnelPaths.h"

class IPCSqlite;

class OpenVPNContext {
public:
    // Creates a TAP adapter when openvpn could get none; start-up goes on whatever the
    // outcome.
    OpenVPNContext();
    ~OpenVPNContext();

    int SetSqlite(IPCSqlite* store);

    int GetOpenVPNInfoByID(int configId, OpenVPNInfo* info);
    int AddOpenVPNInfo(OpenVPNInfo* info, int write);
    int UpdateOpenVPNInfo(OpenVPNInfo* info, int write);
    int DeleteOpenVPNInfo(OpenVPNInfo* info);

    PROCESS_INFORMATION GetProcessInfo();
    void SetProcessInfo(PROCESS_INFORMATION info);

    // Run the adapter scripts: 0 when the script ran and succeeded, -1 otherwise.
    int AddTapAdapter();
    // 0 at once when an adapter exists or the machine makes one for openvpn on demand
    // (TapDevicesCanBeMade); otherwise AddTapAdapter.
    int EnsureTapAdapter();
    int DeleteAllTapAdapters();
    // Removes the adapters that AddTapAdapter made (kDeleteMadeTapScript), so that the
    // client leaves the machine's devices as it found them: 0 when there were none or all
    // went, -1 after a log line when one could not be removed.
    static int DeleteMadeTapAdapters();
    static bool HasTapAdapter();
    static int ToResultCode(int result);

private:
    IPCSqlite* sqlite;
    PROCESS_INFORMATION processInfo;
};

// Runs a command line (split by the Windows quoting rules, no shell) with its output
// discarded and waits for it: 0 when it exited with 0, -1 when it could not be started,
// failed, or was still running after timeoutMs (it is then ended).
int RunHiddenCommand(const char* commandLine, int timeoutMs = TunnelPaths::kTapScriptTimeLimitMs);

// The same text as UTF-16.
std::u16string Utf8ToUtf16(const char* text);
