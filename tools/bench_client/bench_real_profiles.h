// The profiles the benchmarks connect against the real servers: one of each road's kind,
// named "realwg", "real_ovpn" and "real_ike", stored with their kinds' records.
#pragma once

#include <cstdio>
#include <functional>

#include "IPCSqlite.h"
#include "IPSecVPNInfo.h"
#include "RealVpnServers.h"

namespace benchreal {

// addProfile stores the profile row of a kind's record (name, kind, record id).
inline void AddRealProfiles(IPCSqlite* store, realvpn::WireGuardPeer& wg, realvpn::OpenVPNServer& ovpn,
                            const realvpn::PeerNamespace& ikePeer,
                            const std::function<void(const char*, int, int)>& addProfile) {
    WireGuardVPNInfo wireguard;
    wg.fillClientProfile(wireguard);
    store->InsertWireGuardInfo(&wireguard);
    addProfile("realwg", VPN_TYPE_WIREGUARD, wireguard.ID);
    OpenVPNInfo openvpn;
    openvpn.NeedPwd = 1;
    std::snprintf(openvpn.UserName, sizeof(openvpn.UserName), "alice");
    std::snprintf(openvpn.UserPwd, sizeof(openvpn.UserPwd), "secret");
    openvpn.VPNConfig = ovpn.clientConfig("./Config/openvpn/ovpnpwd.txt");
    store->InsertOpenVPNConfig(&openvpn);
    addProfile("real_ovpn", VPN_TYPE_OPENVPN, openvpn.ID);
    IPSecVPNInfo ipsec;
    ipsec.SetVersionValue(2);
    ipsec.SetPolicyName("real_ike");
    ipsec.SetLocalAddress(ikePeer.localAddress);
    ipsec.SetRemoteAddrs(ikePeer.peerAddress);
    ipsec.SetRemoteTrafficSelectors({realvpn::StrongSwanResponder::kRemoteSubnet});
    ipsec.SetEspProposals("sha256-aes256");
    ipsec.SetIkeEncryption("aes256");
    ipsec.SetIkeHash("sha256");
    ipsec.SetIkeDHGroup("modp2048");
    ipsec.SetPSKSecret("correct horse");
    store->InsertIPSecProfile(&ipsec);
    addProfile("real_ike", VPN_TYPE_IPSEC, ipsec.GetID());
}

} // namespace benchreal
