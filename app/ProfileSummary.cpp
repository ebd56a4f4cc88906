#include "ProfileSummary.h"

#include <cstring>

#include "AppContext.h"
#include "IPCSqlite.h"
#include "IPSecVPNContext.h"
#include "IPSecVPNInfo.h"
#include "OpenVPNContext.h"
#include "SystemContext.h"
#include "WireGuardContext.h"

namespace {

template <size_t N> QString utf8Text(const char (&text)[N]) {
    return QString::fromUtf8(text, static_cast<int>(strnlen(text, N)));
}

} // namespace

int ReadProfileSummary(const ProfileInfo& profile, ProfileSummary* summary) {
    if (summary == nullptr) {
        return PROFILE_SUMMARY_UNREADABLE;
    }
    AppContext* app = SystemContext::Instance()->GetAppContext();
    switch (profile.ProfileType) {
    case VPN_TYPE_WIREGUARD: {
        WireGuardContext* context = app != nullptr ? app->GetWireGuardContext() : nullptr;
        WireGuardVPNInfo info;
        if (context == nullptr || context->GetWireGuardInfoByID(profile.ConfigID, &info) != 0) {
            return PROFILE_SUMMARY_UNREADABLE;
        }
        summary->serverIP = utf8Text(info.WanIP);
        summary->localIP = utf8Text(info.IPAddr);
        summary->subMask = info.InterSubMask;
        return PROFILE_SUMMARY_OK;
    }
    case VPN_TYPE_SSLVPN:
    case VPN_TYPE_OPENVPN: {
        OpenVPNContext* context = app != nullptr ? app->GetOpenVPNContext() : nullptr;
        OpenVPNInfo info;
        if (context == nullptr || context->GetOpenVPNInfoByID(profile.ConfigID, &info) != 0) {
            return PROFILE_SUMMARY_UNREADABLE;
        }
        summary->serverIP = utf8Text(info.ServerIP);
        summary->localIP = utf8Text(info.LocalIP);
        summary->subMask = -1;
        return PROFILE_SUMMARY_OK;
    }
    case VPN_TYPE_IPSEC: {
        IPSecVPNContext* context = app != nullptr ? app->GetIPSecVPNContext() : nullptr;
        IPSecVPNInfo info;
        if (context == nullptr || context->GetIPSecInfoByID(profile.ConfigID, &info) != 0) {
            return PROFILE_SUMMARY_UNREADABLE;
        }
        summary->serverIP = QString::fromStdString(info.GetRemoteAddrs());
        summary->localIP = QString::fromStdString(info.GetLocalAddrs());
        summary->subMask = -1;
        return PROFILE_SUMMARY_OK;
    }
    default:
        return PROFILE_SUMMARY_UNKNOWN_KIND;
    }
}

const char* VPNTypeLabelKey(int vpnType) {
    switch (vpnType) {
    case VPN_TYPE_IPSEC:
        return "ZRVPN_IPSEC_VPN";
    case VPN_TYPE_SSLVPN:
        return "ZRVPN_SSL_TUNNEL_VPN";
    case VPN_TYPE_OPENVPN:
        return "ZRVPN_OPEN_VPN";
    case VPN_TYPE_WIREGUARD:
        return "ZRVPN_WIREGUARD_VPN";
    default:
        return nullptr;
    }
}

QString ProfileNameText(const ProfileInfo& profile) {
    return utf8Text(profile.ProfileName);
}

int ReloadProfileList() {
    AppContext* app = SystemContext::Instance()->GetAppContext();
    if (app == nullptr || app->GetSqlite() == nullptr) {
        return -1;
    }
    app->ClearProfileList();
    return app->GetSqlite()->GetProfileList(*app->GetProfileList());
}

int ReloadProfileListWithSummaries(std::vector<ProfileSummary>& summaries) {
    summaries.clear();
    AppContext* app = SystemContext::Instance()->GetAppContext();
    if (app == nullptr || app->GetSqlite() == nullptr) {
        return -1;
    }
    app->ClearProfileList();
    std::vector<ProfileKindSummary> kinds;
    const int result = app->GetSqlite()->GetProfileListWithKinds(*app->GetProfileList(), kinds);
    const std::vector<ProfileInfo>& list = *app->GetProfileList();
    summaries.resize(list.size());
    for (size_t i = 0; i < list.size() && i < kinds.size(); ++i) {
        if (VPNTypeLabelKey(list[i].ProfileType) == nullptr) {
            continue;
        }
        summaries[i].serverIP = QString::fromStdString(kinds[i].serverAddress);
        summaries[i].localIP = QString::fromStdString(kinds[i].localAddress);
        summaries[i].subMask = list[i].ProfileType == VPN_TYPE_WIREGUARD ? kinds[i].prefixLength : -1;
    }
    return result;
}
