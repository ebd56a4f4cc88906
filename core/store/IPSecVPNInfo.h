// One IPsec profile, one row of ZRIPSECVPN: peer addresses, IKE version, pre-shared key,
// traffic selectors, the child SA's protocol and proposal, the phase-1 proposal and dead
// peer detection. It converts between its fields and the text forms that the store and
// the swanctl.conf writer use.
#pragma once

#include <string>
#include <vector>

using IPSecSelectorList = std::vector<std::string>;

class IPSecVPNInfo {
public:
    // The phase-1 text and the child SA's proposal line are written into a caller's
    // zeroed buffer of this size (room for 31 characters and the terminator).
    static constexpr int ProposalBufferSize = 32;

    IPSecVPNInfo();
    // Nothing in the system calls this form; `unused` is accepted and ignored.
    IPSecVPNInfo(int version, std::string policyName, std::string remoteAddrs, int authMethod,
                 int transportProtocol, int protocolType, const IPSecSelectorList& remoteTrafficSelectors,
                 std::string unused, std::string ikeid, std::string pskSecret);

    int GetID() const { return ID; }
    int GetVersion() const { return Version; }
    const std::string& GetPolicyName() const { return PolicyName; }
    const std::string& GetLocalAddrs() const { return LocalAddrs; }
    const std::string& GetRemoteAddrs() const { return RemoteAddrs; }
    int GetAuthMethod() const { return AuthMethod; }
    int GetTransportProtocol() const { return TransportProtocol; }
    IPSecSelectorList* GetRemoteTrafficSelectors() { return &RemoteTrafficSelectors; }
    const IPSecSelectorList* GetRemoteTrafficSelectors() const { return &RemoteTrafficSelectors; }
    int GetProtocolType() const { return ProtocolType; }
    const std::string& GetEspProposals() const { return EspProposals; }
    const std::string& GetAHProposals() const { return AHProposals; }
    const std::string& GetLocalTrafficSelectors() const { return LocalTrafficSelectors; }
    const std::string& GetIkeEncryption() const { return IkeEncryption; }
    const std::string& GetIkeHash() const { return IkeHash; }
    const std::string& GetIkeDHGroup() const { return IkeDHGroup; }
    const std::string& GetIKEID() const { return IKEID; }
    const std::string& GetPSKSecret() const { return PSKSecret; }
    int GetEnableDPD() const { return EnableDPD; }
    int GetDPDPeriod() const { return DPDPeriod; }

    int SetID(int id);
    // 1 or 2; any other value: -1 and the field unchanged.
    int SetVersion(int version);
    int SetVersionValue(int version);
    int SetPolicyName(std::string name);
    int SetLocalAddrs(std::string addrs);
    int SetLocalAddress(std::string addrs);
    // Also sets IKEID to the same text.
    int SetRemoteAddrs(std::string addrs);
    // Only 1 (pre-shared key) is accepted.
    int SetAuthMethod(int method);
    int SetAuthMethodValue(int method);
    // 1 tunnel, 2 transport; else -1.
    int SetTransportProtocol(int protocol);
    int SetTransportProtocolValue(int protocol);
    // 1 AH, 2 ESP; else -1.
    int SetProtocolType(int type);
    int SetProtocolTypeValue(int type);
    int SetRemoteTrafficSelectors(const IPSecSelectorList& selectors);
    // Replaces the list with the parts of a ","-separated text; empty parts vanish.
    int SetRemoteTrafficSelectorsText(const char* text);
    int SetEspProposals(std::string proposals);
    int SetAHProposals(std::string proposals);
    int SetLocalTrafficSelectors(std::string selectors);
    int SetIkeEncryption(std::string encryption);
    int SetIkeHash(std::string hash);
    int SetIkeDHGroup(std::string group);
    // hash-encryption-group; -1 and nothing changed when the text is empty, longer than
    // 31 characters or has fewer than three parts.
    int SetPhaseOneProposals(const char* text);
    int SetIKEID(std::string ikeid);
    int SetPSKSecret(std::string secret);
    void SetEnableDPD(int enable);
    void SetDPDPeriod(int period);

    // Writes IkeHash-IkeEncryption-IkeDHGroup into a zeroed buffer of ProposalBufferSize
    // bytes. 0, or -1 with the buffer untouched when the text does not fit.
    int GetPhaseOneProposals(char* out) const;
    // With the flag set, the selectors joined with ","; with the flag 0 an empty text.
    std::string& GetRemoteTrafficSelectorsText(std::string& out, int flag) const;
    // "ah_proposals=" AHProposals for AH, else "esp_proposals=" EspProposals, into a
    // zeroed buffer of ProposalBufferSize bytes. 0, or -1 with the buffer untouched when
    // the line does not fit.
    int GetChildProposalLine(char* out) const;

    // Positions in the editor's lists; the child SA's maps give -1 for an unknown name
    // or another protocol, the phase-1 maps fall back to 0.
    int GetAHHashIndex() const;
    int GetEspHashIndex() const;
    int GetEspEncryptionIndex() const;
    int GetIkeHashIndex() const;
    int GetIkeEncryptionIndex() const;
    int GetIkeDHGroupIndex() const;

private:
    int ID;
    int Version;
    std::string PolicyName;
    std::string LocalAddrs;
    std::string RemoteAddrs;
    int AuthMethod;
    int TransportProtocol;
    IPSecSelectorList RemoteTrafficSelectors;
    int ProtocolType;
    std::string EspProposals;
    std::string AHProposals;
    std::string LocalTrafficSelectors;
    std::string IkeEncryption;
    std::string IkeHash;
    std::string IkeDHGroup;
    std::string IKEID;
    std::string PSKSecret;
    int EnableDPD;
    int DPDPeriod;
};
