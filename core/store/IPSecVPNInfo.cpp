#include "IPSecVPNInfo.h"

#include <cstring>
#include <utility>

namespace {

// The names the profile editor offers, in list order.
const char* const kHashNames[] = {"md5", "sha1", "sha256", "sha384", "sha512"};
const char* const kEncryptionNames[] = {"des", "3des", "aes128", "aes192", "aes256"};
const char* const kDHGroupNames[] = {"modp768", "modp1024", "modp1536", "modp2048", "modp3072", "modp4096",
                                     "ecp256",  "ecp384",   "ecp521",   "ecp192",   "ecp224"};

template <size_t N> int IndexOf(const char* const (&names)[N], const std::string& name) {
    for (size_t i = 0; i < N; ++i) {
        if (name == names[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Splits as strtok does: runs of the separator count as one, and no part is empty.
std::vector<std::string> SplitNonEmpty(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end > start) {
            parts.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

// Copies the text without its terminator into a zeroed proposal buffer.
int CopyIntoProposalBuffer(const std::string& text, char* out) {
    if (out == nullptr || text.size() >= static_cast<size_t>(IPSecVPNInfo::ProposalBufferSize)) {
        return -1;
    }
    memcpy(out, text.data(), text.size());
    return 0;
}

// The ESP proposal's hash part (before the first "-") or encryption part (after it); a
// text without "-" is taken whole as both.
std::string EspPart(const std::string& proposals, bool hash) {
    size_t dash = proposals.find('-');
    if (dash == std::string::npos) {
        return proposals;
    }
    return hash ? proposals.substr(0, dash) : proposals.substr(dash + 1);
}

} // namespace

IPSecVPNInfo::IPSecVPNInfo()
    : ID(-1), Version(1), AuthMethod(1), TransportProtocol(1), ProtocolType(2), EnableDPD(0), DPDPeriod(0) {}

IPSecVPNInfo::IPSecVPNInfo(int version, std::string policyName, std::string remoteAddrs, int authMethod,
                           int transportProtocol, int protocolType,
                           const IPSecSelectorList& remoteTrafficSelectors, std::string /*unused*/,
                           std::string ikeid, std::string pskSecret)
    : IPSecVPNInfo() {
    Version = version;
    PolicyName = std::move(policyName);
    RemoteAddrs = std::move(remoteAddrs);
    AuthMethod = authMethod;
    TransportProtocol = transportProtocol;
    ProtocolType = protocolType;
    RemoteTrafficSelectors = remoteTrafficSelectors;
    IKEID = std::move(ikeid);
    PSKSecret = std::move(pskSecret);
}

int IPSecVPNInfo::SetID(int id) {
    ID = id;
    return 0;
}

int IPSecVPNInfo::SetVersion(int version) {
    if (version != 1 && version != 2) {
        return -1;
    }
    Version = version;
    return 0;
}

int IPSecVPNInfo::SetVersionValue(int version) {
    Version = version;
    return 0;
}

int IPSecVPNInfo::SetPolicyName(std::string name) {
    PolicyName = std::move(name);
    return 0;
}

int IPSecVPNInfo::SetLocalAddrs(std::string addrs) {
    LocalAddrs = std::move(addrs);
    return 0;
}

int IPSecVPNInfo::SetLocalAddress(std::string addrs) {
    return SetLocalAddrs(std::move(addrs));
}

int IPSecVPNInfo::SetRemoteAddrs(std::string addrs) {
    RemoteAddrs = std::move(addrs);
    IKEID = RemoteAddrs;
    return 0;
}

int IPSecVPNInfo::SetAuthMethod(int method) {
    if (method != 1) {
        return -1;
    }
    AuthMethod = method;
    return 0;
}

int IPSecVPNInfo::SetAuthMethodValue(int method) {
    AuthMethod = method;
    return 0;
}

int IPSecVPNInfo::SetTransportProtocol(int protocol) {
    if (protocol != 1 && protocol != 2) {
        return -1;
    }
    TransportProtocol = protocol;
    return 0;
}

int IPSecVPNInfo::SetTransportProtocolValue(int protocol) {
    TransportProtocol = protocol;
    return 0;
}

int IPSecVPNInfo::SetProtocolType(int type) {
    if (type != 1 && type != 2) {
        return -1;
    }
    ProtocolType = type;
    return 0;
}

int IPSecVPNInfo::SetProtocolTypeValue(int type) {
    ProtocolType = type;
    return 0;
}

int IPSecVPNInfo::SetRemoteTrafficSelectors(const IPSecSelectorList& selectors) {
    RemoteTrafficSelectors.clear();
    for (const std::string& selector : selectors) {
        RemoteTrafficSelectors.push_back(selector);
    }
    return 0;
}

// The whole text is taken: the column and the list have no length limit, so no
// selector is ever cut.
int IPSecVPNInfo::SetRemoteTrafficSelectorsText(const char* text) {
    RemoteTrafficSelectors.clear();
    if (text == nullptr) {
        return 0;
    }
    RemoteTrafficSelectors = SplitNonEmpty(text, ',');
    return 0;
}

int IPSecVPNInfo::SetEspProposals(std::string proposals) {
    EspProposals = std::move(proposals);
    return 0;
}

int IPSecVPNInfo::SetAHProposals(std::string proposals) {
    AHProposals = std::move(proposals);
    return 0;
}

int IPSecVPNInfo::SetLocalTrafficSelectors(std::string selectors) {
    LocalTrafficSelectors = std::move(selectors);
    return 0;
}

int IPSecVPNInfo::SetIkeEncryption(std::string encryption) {
    IkeEncryption = std::move(encryption);
    return 0;
}

int IPSecVPNInfo::SetIkeHash(std::string hash) {
    IkeHash = std::move(hash);
    return 0;
}

int IPSecVPNInfo::SetIkeDHGroup(std::string group) {
    IkeDHGroup = std::move(group);
    return 0;
}

int IPSecVPNInfo::SetPhaseOneProposals(const char* text) {
    if (text == nullptr || text[0] == '\0') {
        return -1;
    }
    // The text must fit the 32-byte buffer that GetPhaseOneProposals writes into.
    if (strlen(text) >= static_cast<size_t>(ProposalBufferSize)) {
        return -1;
    }
    std::vector<std::string> parts = SplitNonEmpty(text, '-');
    if (parts.size() < 3) {
        return -1;
    }
    IkeHash = parts[0];
    IkeEncryption = parts[1];
    IkeDHGroup = parts[2];
    return 0;
}

int IPSecVPNInfo::SetIKEID(std::string ikeid) {
    IKEID = std::move(ikeid);
    return 0;
}

int IPSecVPNInfo::SetPSKSecret(std::string secret) {
    PSKSecret = std::move(secret);
    return 0;
}

void IPSecVPNInfo::SetEnableDPD(int enable) {
    EnableDPD = enable;
}

void IPSecVPNInfo::SetDPDPeriod(int period) {
    DPDPeriod = period;
}

int IPSecVPNInfo::GetPhaseOneProposals(char* out) const {
    return CopyIntoProposalBuffer(IkeHash + "-" + IkeEncryption + "-" + IkeDHGroup, out);
}

std::string& IPSecVPNInfo::GetRemoteTrafficSelectorsText(std::string& out, int flag) const {
    out.clear();
    if (flag == 0) {
        return out;
    }
    for (size_t i = 0; i < RemoteTrafficSelectors.size(); ++i) {
        if (i > 0) {
            out += ",";
        }
        out += RemoteTrafficSelectors[i];
    }
    return out;
}

int IPSecVPNInfo::GetChildProposalLine(char* out) const {
    if (ProtocolType == 1) {
        return CopyIntoProposalBuffer("ah_proposals=" + AHProposals, out);
    }
    return CopyIntoProposalBuffer("esp_proposals=" + EspProposals, out);
}

int IPSecVPNInfo::GetAHHashIndex() const {
    if (ProtocolType != 1 || AHProposals.empty()) {
        return -1;
    }
    return IndexOf(kHashNames, AHProposals);
}

int IPSecVPNInfo::GetEspHashIndex() const {
    if (ProtocolType != 2 || EspProposals.empty()) {
        return -1;
    }
    return IndexOf(kHashNames, EspPart(EspProposals, true));
}

int IPSecVPNInfo::GetEspEncryptionIndex() const {
    if (ProtocolType != 2 || EspProposals.empty()) {
        return -1;
    }
    return IndexOf(kEncryptionNames, EspPart(EspProposals, false));
}

int IPSecVPNInfo::GetIkeHashIndex() const {
    int index = IndexOf(kHashNames, IkeHash);
    return index < 0 ? 0 : index;
}

int IPSecVPNInfo::GetIkeEncryptionIndex() const {
    int index = IndexOf(kEncryptionNames, IkeEncryption);
    return index < 0 ? 0 : index;
}

int IPSecVPNInfo::GetIkeDHGroupIndex() const {
    int index = IndexOf(kDHGroupNames, IkeDHGroup);
    return index < 0 ? 0 : index;
}
