#include "bench_import.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "ConfigFileCipher.h"
#include "IPCSqlite.h"
#include "IPSecVPNInfo.h"
#include "ProfileRecords.h"
#include "ProfileWidget.h"

namespace {

constexpr int kHeartbeatMs = 2;
constexpr const char* kSourceStore = "bench-import.db";
constexpr const char* kImportFile = "bench-import.cfg";
constexpr const char* kEncrypted = "./Config/encrypted.cfg";

// A store file of its own with the profiles, as the editor saves them: every kind with a
// full row of its table.
bool WriteSourceStore(int profiles) {
    QFile::remove(QString::fromLatin1(kSourceStore));
    IPCSqlite store;
    if (store.Init(kSourceStore) != 0) {
        return false;
    }
    bool ok = store.BeginTransaction() == 0;
    for (int n = 1; ok && n <= profiles; ++n) {
        ProfileInfo profile;
        std::snprintf(profile.ProfileName, sizeof profile.ProfileName, "import_%05d", n);
        profile.ProfileType = 1 + n % 4;
        switch (profile.ProfileType) {
        case VPN_TYPE_IPSEC: {
            IPSecVPNInfo info;
            info.SetVersion(2);
            info.SetPolicyName(profile.ProfileName);
            info.SetRemoteAddrs("198.51.100." + std::to_string(n % 250));
            info.SetTransportProtocol(1);
            info.SetProtocolType(2);
            info.SetEspProposals("aes256-sha256");
            info.SetPhaseOneProposals("sha256-aes256-modp2048");
            info.SetRemoteTrafficSelectors({"10.1.0.0/16"});
            info.SetPSKSecret("pre-shared-key-" + std::to_string(n));
            info.SetEnableDPD(1);
            info.SetDPDPeriod(30);
            ok = store.InsertIPSecProfile(&info) == 0;
            profile.ConfigID = info.GetID();
            break;
        }
        case VPN_TYPE_SSLVPN:
        case VPN_TYPE_OPENVPN: {
            OpenVPNInfo info;
            std::snprintf(info.ServerIP, sizeof info.ServerIP, "203.0.113.%d", n % 250);
            info.ServerPort = 1194;
            std::snprintf(info.ConfigFilePath, sizeof info.ConfigFilePath, "/home/user/client_%d.ovpn", n);
            info.NeedPwd = 1;
            std::strcpy(info.UserName, "alice");
            info.LocalIPType = 2;
            info.VPNConfig =
                "client\ndev tun\nproto udp\nremote 203.0.113." + std::to_string(n % 250) +
                " 1194\nauth-user-pass\n<ca>\n-----BEGIN CERTIFICATE-----\nMIIBszCCAVmgAwIBAgIU\n"
                "-----END CERTIFICATE-----\n</ca>\n";
            ok = store.InsertOpenVPNConfig(&info) == 0;
            profile.ConfigID = info.ID;
            break;
        }
        default: {
            WireGuardVPNInfo info;
            std::snprintf(info.WanIP, sizeof info.WanIP, "192.0.2.%d", n % 250);
            info.PeerPort = 51820;
            std::strcpy(info.PeerPubKey, "hSDwCYkwp1R0i33ctD73Wg2/Og0mOBr066SpjqqbTmo=");
            std::strcpy(info.IPAddr, "10.8.0.2");
            info.InterSubMask = 32;
            std::strcpy(info.InterPriKey, "yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=");
            std::strcpy(info.InterPubKey, "xTIBA5rboUvnH4htodjb6e697QjLERt1NAB4mZqp8Dg=");
            info.KeepaliveTime = 25;
            ok = store.InsertWireGuardInfo(&info) == 0;
            profile.ConfigID = info.ID;
            break;
        }
        }
        ok = ok && store.InsertProfile(&profile) == 0;
    }
    ok = ok && store.CommitTransaction() == 0;
    return store.DeInit() == 0 && ok;
}

// The store file enciphered as Export does it, under the file's name.
bool WriteImportFile() {
    ConfigFileCipher cipher;
    const int size = cipher.GetFileSize(kSourceStore);
    QFile::remove(QString::fromLatin1(kImportFile));
    const bool ok = size >= 0 && cipher.EncryptFile(size, kSourceStore) &&
                    QFile::rename(QString::fromLatin1(kEncrypted), QString::fromLatin1(kImportFile));
    QFile::remove(QString::fromLatin1(kSourceStore));
    return ok;
}

} // namespace

ImportFigures MeasureImport(ProfileWidget& page, int profiles) {
    ImportFigures figures;
    figures.profiles = profiles;
    if (!WriteSourceStore(profiles) || !WriteImportFile()) {
        figures.error = "the profile file could not be made";
        std::printf("import of %d profiles: not measured (%s)\n", profiles, figures.error.c_str());
        return figures;
    }
    // A heartbeat every 2 ms: the longest gap between two beats, less the beat's interval.
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    double longest = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(kHeartbeatMs);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, (now - last) / 1e6 - kHeartbeatMs);
        last = now;
    });
    heartbeat.start();
    const qint64 started = clock.nsecsElapsed();
    last = started;
    const int result = page.importFromFile(QString::fromLatin1(kImportFile));
    // The stall that ends the import (the page's reload) shows at the next beat.
    const qint64 ended = clock.nsecsElapsed();
    longest = std::max(longest, (ended - last) / 1e6 - kHeartbeatMs);
    heartbeat.stop();
    QFile::remove(QString::fromLatin1(kImportFile));
    figures.seconds = (ended - started) / 1e9;
    if (result != 0) {
        figures.error = "the import failed";
        std::printf("import of %d profiles: not measured (%s)\n", profiles, figures.error.c_str());
        return figures;
    }
    figures.stallMs = longest;
    std::printf("import of %d profiles with their kind rows: %.2f s, longest stall %.1f ms\n", profiles,
                figures.seconds, figures.stallMs);
    std::fflush(stdout);
    return figures;
}
