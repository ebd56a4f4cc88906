#include "TunnelRoads.h"

#include <QDir>
#include <QFile>

#include "AppContext.h"
#include "IPSecVPNContext.h"
#include "OpenVPNContext.h"
#include "ProcessPipe.h"
#include "SystemContext.h"
#include "TunnelPaths.h"
#include "WireGuardContext.h"

TunnelRoads::~TunnelRoads() = default;

void ContextTunnelRoads::disconnectTunnel(const ProfileInfo& profile) {
    AppContext* app = SystemContext::Instance()->GetAppContext();
    ProcessPipe pipe;
    switch (profile.ProfileType) {
    case VPN_TYPE_IPSEC:
        if (IPSecVPNContext* ipsec = app->GetIPSecVPNContext()) {
            ipsec->Terminate(ipsec->GetPolicyName(), ipsec->GetProjectPath());
            ipsec->StopAll();
        }
        break;
    case VPN_TYPE_SSLVPN:
    case VPN_TYPE_OPENVPN:
        if (OpenVPNContext* openvpn = app->GetOpenVPNContext()) {
            pipe.KillProcess(openvpn->GetProcessInfo());
        }
        break;
    case VPN_TYPE_WIREGUARD:
        if (WireGuardContext* wireguard = app->GetWireGuardContext()) {
            wireguard->Disconnect(profile.ProfileName);
        }
        break;
    default:
        break;
    }
}

void ContextTunnelRoads::cancelConnect(const ProfileInfo& profile) {
    AppContext* app = SystemContext::Instance()->GetAppContext();
    switch (profile.ProfileType) {
    case VPN_TYPE_IPSEC:
        // The context's cancel stops the initiating worker and tears down what it set up.
        if (IPSecVPNContext* ipsec = app->GetIPSecVPNContext()) {
            ipsec->Disconnect();
        }
        break;
    case VPN_TYPE_SSLVPN:
    case VPN_TYPE_OPENVPN: {
        if (OpenVPNContext* openvpn = app->GetOpenVPNContext()) {
            ProcessPipe pipe;
            pipe.KillProcess(openvpn->GetProcessInfo());
        }
        // The credential file holds the password in plain text: it goes with the attempt.
        QFile::remove(QDir(QString::fromUtf8(TunnelPaths::kOpenVPNConfigDir))
                          .filePath(QString::fromUtf8(TunnelPaths::kOpenVPNPasswordFile)));
        break;
    }
    case VPN_TYPE_WIREGUARD:
        // The install has run by the time the connect waits; uninstalling ends what it set up.
        if (WireGuardContext* wireguard = app->GetWireGuardContext()) {
            wireguard->Disconnect(profile.ProfileName);
        }
        break;
    default:
        break;
    }
}
