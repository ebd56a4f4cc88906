#include "OpenVPNConfigSyntax.h"

#include <cstring>

#include "TunnelPaths.h"

namespace OpenVPNConfigSyntax {

namespace {

// Directives that make openvpn run a program (the script hooks, the level that allows
// them, the command it runs instead of ip), load code (plug-ins, OpenSSL engines, PKCS#11
// modules), read another configuration, change its folder or root, or write a file where
// the profile says (logs, status, pid and replay files, generated keys).
const char* const kRefused[] = {"script-security",
                                "up",
                                "down",
                                "route-up",
                                "route-pre-down",
                                "ipchange",
                                "learn-address",
                                "tls-verify",
                                "auth-user-pass-verify",
                                "client-connect",
                                "client-disconnect",
                                "client-crresponse",
                                "tls-crypt-v2-verify",
                                "iproute",
                                "dns-updown",
                                "plugin",
                                "engine",
                                "pkcs11-providers",
                                "config",
                                "cd",
                                "chroot",
                                "log",
                                "log-append",
                                "status",
                                "writepid",
                                "replay-persist",
                                "ifconfig-pool-persist",
                                "tls-export-cert",
                                "memstats",
                                "genkey",
                                "show-pkcs11-ids"};

// Directives whose parameter is a file or folder that openvpn, running as root, opens by
// its path: what a profile needs of such a file it holds inline (<ca>...</ca>). A line
// that names any path is barred, "[inline]" included, which openvpn takes for a file of
// that name; the inline block alone carries a file.
const char* const kPathDirectives[] = {"ca",
                                       "capath",
                                       "cert",
                                       "extra-certs",
                                       "key",
                                       "pkcs12",
                                       "dh",
                                       "tls-auth",
                                       "tls-crypt",
                                       "tls-crypt-v2",
                                       "secret",
                                       "crl-verify",
                                       "http-proxy-user-pass",
                                       "auth-gen-token-secret",
                                       "askpass",
                                       "tmp-dir",
                                       "dev-node"};
// "dh none": no file, no Diffie-Hellman parameters.
const char* const kDh = "dh";
const char* const kNoFile = "none";

// The credentials file of "auth-user-pass", and of the proxies as their fourth word, which
// may instead be one of these words (none of them names a file).
const char* const kAuthUserPass = "auth-user-pass";
const char* const kHttpProxy = "http-proxy";
const char* const kSocksProxy = "socks-proxy";
const char* const kHttpProxyFileWords[] = {"", "auto", "auto-nct", "stdin"};
const char* const kSocksProxyFileWords[] = {"", "stdin"};
constexpr size_t kProxyFileWord = 3;

// Directives only a server takes: a profile connects as a client, and a server reads its
// clients' files from folders the profile names. "mode" is a server's unless it is p2p.
const char* const kServerDirectives[] = {"server",
                                         "server-ipv6",
                                         "server-bridge",
                                         "tls-server",
                                         "client-config-dir",
                                         "ccd-exclusive",
                                         "ifconfig-pool",
                                         "ifconfig-ipv6-pool",
                                         "ifconfig-pool-linear",
                                         "client-to-client",
                                         "duplicate-cn",
                                         "push",
                                         "push-reset",
                                         "push-remove",
                                         "iroute",
                                         "iroute-ipv6",
                                         "ifconfig-push",
                                         "ifconfig-ipv6-push",
                                         "max-clients",
                                         "max-routes-per-client",
                                         "connect-freq",
                                         "connect-freq-initial",
                                         "hash-size",
                                         "bcast-buffers",
                                         "tcp-queue-limit",
                                         "port-share",
                                         "stale-routes-check",
                                         "auth-gen-token",
                                         "verify-client-cert",
                                         "client-cert-not-required",
                                         "username-as-common-name",
                                         "auth-user-pass-optional",
                                         "opt-verify",
                                         "vlan-tagging",
                                         "vlan-accept",
                                         "vlan-pvid",
                                         "multihome"};
const char* const kMode = "mode";
const char* const kClientMode = "p2p";

// openvpn's log level: above kHighestLogLevel it is that level.
const char* const kVerb = "verb";

// Directives that take from the client what it relies on: openvpn's output (which the
// client reads), openvpn staying its child, and devices that outlive the tunnel. Every
// directive that begins with kManagementPrefix belongs with them: the client sets the
// management interface on openvpn's command line.
const char* const kLeftOut[] = {"syslog", "daemon", "inetd", "mktun", "rmtun"};
const char* const kManagementPrefix = "management";

// "setenv NAME VALUE" sets a variable for every script openvpn runs, the client's own DNS
// script included (LD_PRELOAD, BASH_ENV); "setenv opt DIRECTIVE ..." is that directive.
const char* const kSetenv = "setenv";
const char* const kSetenvOpt = "opt";

// OpenSSL providers: one named by a plain word comes from OpenSSL's own module folder;
// anything else could name a file anywhere.
const char* const kProviders = "providers";

// The blocks a profile may inline: certificates, keys, credentials, connection blocks.
const char* const kKeptBlocks[] = {
    "ca",
    "cert",
    "extra-certs",
    "key",
    "pkcs12",
    "dh",
    "tls-auth",
    "tls-crypt",
    "tls-crypt-v2",
    "secret",
    "crl-verify",
    "auth-user-pass",
    "http-proxy-user-pass",
    "peer-fingerprint",
    kConnectionTag,
};

constexpr const char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr size_t kByteOrderMarkBytes = 3;

// White space as openvpn reads a line: C's isspace set.
bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// openvpn's test for the end of a parameter: white space or the end of the line.
bool EndsParameter(char c) {
    return c == '\0' || IsBlank(c);
}

template <size_t N> bool Contains(const char* const (&names)[N], const std::string& name) {
    for (const char* candidate : names) {
        if (name == candidate) {
            return true;
        }
    }
    return false;
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

std::string WithoutLeadingBlanks(const std::string& text) {
    size_t at = 0;
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    return text.substr(at);
}

// A word that needs no quotes: openvpn reads it back as it stands (a word that would begin
// a comment or a block, or a byte-order mark at the start of the text, would not be).
bool IsBare(const std::string& word) {
    if (word.empty() || word[0] == '#' || word[0] == ';' || word[0] == '<' ||
        StartsWith(word, kByteOrderMark)) {
        return false;
    }
    for (char c : word) {
        if (IsBlank(c) || c == '"' || c == '\'' || c == '\\') {
            return false;
        }
    }
    return true;
}

bool IsPlainWord(const std::string& word) {
    if (word.empty()) {
        return false;
    }
    for (char c : word) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '_' || c == '-';
        if (!plain) {
            return false;
        }
    }
    return true;
}

// A log level's word that openvpn reads as a level no higher than kHighestLogLevel: decimal
// digits (openvpn reads the leading digits of any other word, or refuses it).
bool IsLowLogLevel(const std::string& word) {
    size_t first = word.find_first_not_of('0');
    if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    return first == std::string::npos || (word.size() - first == 1 && word[first] - '0' <= kHighestLogLevel);
}

// A directive that opens a file, folder or device by the path it names.
bool NamesPath(const std::vector<std::string>& words) {
    const std::string& name = words.front();
    if (Contains(kPathDirectives, name)) {
        return words.size() > 1 && !(name == kDh && words[1] == kNoFile);
    }
    if (name == kAuthUserPass) {
        return words.size() > 1 && words[1] != OwnCredentialFile();
    }
    if (name == kHttpProxy) {
        return words.size() > kProxyFileWord && !Contains(kHttpProxyFileWords, words[kProxyFileWord]);
    }
    if (name == kSocksProxy) {
        return words.size() > kProxyFileWord && !Contains(kSocksProxyFileWords, words[kProxyFileWord]);
    }
    return false;
}

// The words after "setenv opt", which openvpn reads as a directive of their own.
bool IsSetenvOpt(const std::vector<std::string>& words) {
    return words.size() > 2 && words[0] == kSetenv && words[1] == kSetenvOpt;
}

} // namespace

bool Tokenize(const std::string& line, std::vector<std::string>* words) {
    enum State { Initial, Unquoted, Quoted, SingleQuoted, Done };
    words->clear();
    State state = Initial;
    bool backslash = false;
    std::string parameter;
    // openvpn reads the line as a C string: what follows a NUL byte is not part of it.
    const size_t length = std::strlen(line.c_str());
    for (size_t i = 0; i <= length; ++i) {
        const char in = i < length ? line[i] : '\0';
        char out = 0;
        if (!backslash && in == '\\' && state != SingleQuoted) {
            backslash = true;
        } else {
            if (state == Initial) {
                if (!EndsParameter(in)) {
                    if (in == ';' || in == '#') {
                        break;
                    }
                    if (!backslash && in == '"') {
                        state = Quoted;
                    } else if (!backslash && in == '\'') {
                        state = SingleQuoted;
                    } else {
                        out = in;
                        state = Unquoted;
                    }
                }
            } else if (state == Unquoted) {
                if (!backslash && EndsParameter(in)) {
                    state = Done;
                } else {
                    out = in;
                }
            } else if (state == Quoted) {
                if (!backslash && in == '"') {
                    state = Done;
                } else {
                    out = in;
                }
            } else if (state == SingleQuoted) {
                if (in == '\'') {
                    state = Done;
                } else {
                    out = in;
                }
            }
            if (state == Done) {
                words->push_back(parameter);
                parameter.clear();
                state = Initial;
            }
            if (backslash && out != 0 && !(out == '\\' || out == '"' || IsBlank(out))) {
                words->clear();
                return false;
            }
            backslash = false;
        }
        if (out != 0) {
            if (parameter.size() >= kMaxParameterBytes) {
                words->clear();
                return false;
            }
            parameter += out;
        }
        if (words->size() >= kMaxWords) {
            break;
        }
    }
    if (state != Initial) {
        words->clear();
        return false;
    }
    return true;
}

std::string DirectiveName(const std::string& first) {
    return first.size() >= 3 && StartsWith(first, "--") ? first.substr(2) : first;
}

std::string WrittenWord(const std::string& word) {
    if (IsBare(word)) {
        return word;
    }
    std::string text = "\"";
    for (char c : word) {
        if (c == '"' || c == '\\') {
            text += '\\';
        }
        text += c;
    }
    return text + "\"";
}

Reading Read(const std::string& text) {
    Reading reading;
    // An inline file being read (its tag and opening line), and a connection block around it.
    bool inBody = false;
    std::string bodyTag;
    int bodyLine = 0;
    bool inConnection = false;
    int connectionLine = 0;
    const std::string connectionEnd = std::string("</") + kConnectionTag + ">";
    const auto unclosed = [&reading](int line, const std::string& tag) {
        if (reading.closed) {
            reading.closed = false;
            reading.unclosedLine = line;
            reading.unclosedTag = tag;
        }
    };
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        Line line;
        line.text = text.substr(start, end - start);
        line.number = static_cast<int>(reading.lines.size()) + 1;
        start = end + 1;
        const std::string parsed = line.number == 1 && StartsWith(line.text, kByteOrderMark)
                                       ? line.text.substr(kByteOrderMarkBytes)
                                       : line.text;
        const std::string lead = WithoutLeadingBlanks(parsed);
        // openvpn reads a connection block whole up to its end, inline files in it included.
        if (inConnection && StartsWith(lead, connectionEnd)) {
            line.role = Role::InlineClose;
            line.tag = kConnectionTag;
            if (inBody) {
                unclosed(bodyLine, bodyTag);
            }
            inConnection = false;
            inBody = false;
        } else if (inBody) {
            line.tag = bodyTag;
            if (StartsWith(lead, "</" + bodyTag + ">")) {
                line.role = Role::InlineClose;
                inBody = false;
            } else {
                line.role = Role::InlineBody;
            }
        } else if (!Tokenize(parsed, &line.words)) {
            line.role = Role::Unreadable;
        } else if (line.words.empty()) {
            line.role = Role::Plain;
        } else {
            std::string& name = line.words.front();
            const std::string bare = DirectiveName(name);
            line.dashed = bare.size() != name.size();
            name = bare;
            if (line.words.size() == 1 && name.size() >= 2 && name.front() == '<' && name.back() == '>') {
                line.role = Role::InlineOpen;
                line.tag = name.substr(1, name.size() - 2);
                if (line.tag == kConnectionTag && !inConnection) {
                    inConnection = true;
                    connectionLine = line.number;
                } else {
                    inBody = true;
                    bodyTag = line.tag;
                    bodyLine = line.number;
                }
            } else {
                line.role = Role::Directive;
            }
        }
        reading.lines.push_back(std::move(line));
    }
    if (inBody) {
        unclosed(bodyLine, bodyTag);
    } else if (inConnection) {
        unclosed(connectionLine, kConnectionTag);
    }
    return reading;
}

Treatment TreatmentOf(const std::vector<std::string>& words) {
    if (words.empty()) {
        return Treatment::Kept;
    }
    const std::string& name = words.front();
    if (name == kSetenv) {
        if (words.size() > 2 && words[1] == kSetenvOpt) {
            return TreatmentOf(std::vector<std::string>(words.begin() + 2, words.end()));
        }
        return Treatment::LeftOut;
    }
    if (Contains(kRefused, name)) {
        return Treatment::Refused;
    }
    if (IsServerDirective(words) || NamesPath(words)) {
        return Treatment::Barred;
    }
    if (name == kVerb && words.size() > 1 && !IsLowLogLevel(words[1])) {
        return Treatment::Mended;
    }
    if (name == kProviders) {
        for (size_t i = 1; i < words.size(); ++i) {
            if (!IsPlainWord(words[i])) {
                return Treatment::Refused;
            }
        }
        return Treatment::Kept;
    }
    if (Contains(kLeftOut, name) || StartsWith(name, kManagementPrefix)) {
        return Treatment::LeftOut;
    }
    return Treatment::Kept;
}

std::vector<std::string> MendedWords(const std::vector<std::string>& words) {
    std::vector<std::string> mended = words;
    const size_t at = IsSetenvOpt(words) ? 2 : 0;
    if (TreatmentOf(words) == Treatment::Mended && mended[at] == kVerb) {
        mended[at + 1] = std::to_string(kHighestLogLevel);
    }
    return mended;
}

bool IsServerDirective(const std::vector<std::string>& words) {
    if (IsSetenvOpt(words)) {
        return IsServerDirective(std::vector<std::string>(words.begin() + 2, words.end()));
    }
    if (words.empty()) {
        return false;
    }
    const std::string& name = words.front();
    return Contains(kServerDirectives, name) ||
           (name == kMode && words.size() > 1 && words[1] != kClientMode);
}

std::string OwnCredentialFile() {
    return std::string(TunnelPaths::kOpenVPNConfigDir) + "/" + TunnelPaths::kOpenVPNPasswordFile;
}

std::string RuledDirective(const std::vector<std::string>& words) {
    if (IsSetenvOpt(words)) {
        return RuledDirective(std::vector<std::string>(words.begin() + 2, words.end()));
    }
    return words.empty() ? std::string() : words.front();
}

Treatment BlockTreatment(const std::string& tag) {
    if (Contains(kKeptBlocks, tag)) {
        return Treatment::Kept;
    }
    return TreatmentOf({tag}) == Treatment::Refused ? Treatment::Refused : Treatment::LeftOut;
}

} // namespace OpenVPNConfigSyntax
