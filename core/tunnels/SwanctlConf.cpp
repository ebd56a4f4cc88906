#include "SwanctlConf.h"

#include "IPSecVPNInfo.h"
#include "TunnelPaths.h"

bool IsSwanctlName(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    for (unsigned char c : name) {
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                  c == '-';
        if (!ok) {
            return false;
        }
    }
    return true;
}

static const char kHexDigits[] = "0123456789abcdef";

static std::string hexOf(const std::string& text) {
    std::string hex;
    for (unsigned char c : text) {
        hex += kHexDigits[c >> 4];
        hex += kHexDigits[c & 0x0f];
    }
    return hex;
}

std::string SwanctlConnectionName(const std::string& policyName) {
    if (policyName.empty() || IsSwanctlName(policyName)) {
        return policyName;
    }
    return "u-" + hexOf(policyName);
}

static bool isPlainValueChar(unsigned char c) {
    return c > 0x20 && c < 0x7f && c != '#' && c != '{' && c != '}' && c != '"' && c != '\\';
}

std::string SwanctlValue(const std::string& value) {
    bool plain = true;
    for (unsigned char c : value) {
        if (!isPlainValueChar(c)) {
            plain = false;
            break;
        }
    }
    if (plain) {
        return value;
    }
    std::string quoted = "\"";
    for (char c : value) {
        switch (c) {
        case '"':
            quoted += "\\\"";
            break;
        case '\\':
            quoted += "\\\\";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\r':
            quoted += "\\r";
            break;
        case '\t':
            quoted += "\\t";
            break;
        default:
            quoted += c;
        }
    }
    quoted += '"';
    return quoted;
}

std::string SwanctlSecretValue(const std::string& secret) {
    if (secret.empty()) {
        return secret;
    }
    return "0x" + hexOf(secret);
}

int FormatSwanctlConf(const IPSecVPNInfo& info, std::string& text) {
    text.clear();
    const std::string name = SwanctlConnectionName(info.GetPolicyName());
    if (name.empty()) {
        return -1;
    }
    // The record refuses proposal texts that do not fit its 31-character form; such a
    // profile is not written rather than written with a cut or empty proposal.
    char phaseOne[IPSecVPNInfo::ProposalBufferSize] = {};
    char childLine[IPSecVPNInfo::ProposalBufferSize] = {};
    if (info.GetPhaseOneProposals(phaseOne) != 0 || info.GetChildProposalLine(childLine) != 0) {
        return -1;
    }

    std::string selectors;
    info.GetRemoteTrafficSelectorsText(selectors, 1);
    bool ah = info.GetProtocolType() == 1;
    std::string proposalLine = ah ? "ah_proposals=" + SwanctlValue(info.GetAHProposals())
                                  : "esp_proposals=" + SwanctlValue(info.GetEspProposals());
    std::string mode = info.GetTransportProtocol() == 1 ? "" : "mode=transport\n";
    int version = info.GetVersion() == 1 ? 1 : 2;
    int dpdDelay = info.GetEnableDPD() != 0 ? info.GetDPDPeriod() : 0;

    std::string local = SwanctlValue(info.GetLocalAddrs());
    std::string remote = SwanctlValue(info.GetRemoteAddrs());

    text = "connections {\n";
    text += name + " {\n";
    text += "local_addrs=" + local + "\n";
    text += "remote_addrs=" + remote + "\n";
    text += "local {\nauth=psk\nid=" + local + "\n}\n";
    text += "remote {\nauth=psk\nid=" + remote + "\n}\n";
    text += "children {\n";
    text += name + IPSecPaths::kChildSuffix + " {\n";
    text += "remote_ts=" + SwanctlValue(selectors) + "\n";
    text += proposalLine + "\n";
    text += mode + "}\n}\n";
    text += "version=" + std::to_string(version) + "\n";
    text += "proposals=" + SwanctlValue(phaseOne) + "\n";
    text += "dpd_delay=" + std::to_string(dpdDelay) + "s\n";
    text += "}\n}\n";
    text += "secrets {\nike-server{\n";
    text += "id=" + remote + "\n";
    text += "secret=" + SwanctlSecretValue(info.GetPSKSecret()) + "\n";
    text += "}\n}\n";
    return 0;
}
