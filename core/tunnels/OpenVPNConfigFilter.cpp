#include "OpenVPNConfigFilter.h"

#include <cstring>

namespace OpenVPNConfigFilter {

namespace {

// openvpn refuses a parameter longer than this, and reads at most this many parameters
// of a line (the rest are ignored).
constexpr size_t kMaxParameterBytes = 256;
constexpr size_t kMaxParameters = 16;

// Directives that make openvpn run a program or load code: scripts and their level, the
// command it runs instead of ip, plug-ins and OpenSSL engines, PKCS#11 modules, and a
// further configuration file (which openvpn would read without this filter). Environment
// variables (setenv) and OpenSSL providers are judged in IsDropped.
const char* const kRunsOrLoads[] = {
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
    "script-security",
    "plugin",
    "engine",
    "pkcs11-providers",
    "config",
};

// Directives that make openvpn write files where a profile says (as root), detach from
// the client or send its output elsewhere than to the client, which reads it.
const char* const kWritesOrHides[] = {
    "log",
    "log-append",
    "syslog",
    "daemon",
    "inetd",
    "writepid",
    "status",
    "replay-persist",
    "genkey",
    "tls-export-cert",
    "ifconfig-pool-persist",
    "mktun",
    "rmtun",
};

// The management interface belongs to the client: it sets it on openvpn's command line.
const char* const kManagementPrefix = "management";

// The blocks a profile may inline (certificates, keys, credentials, connection blocks).
const char* const kInlineTags[] = {
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
    "connection",
};

const char* const kConnectionTag = "connection";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// openvpn's test for the end of a parameter: a blank or the end of the line.
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

std::string WithoutDoubleDash(const std::string& name) {
    return name.compare(0, 2, "--") == 0 ? name.substr(2) : name;
}

// An OpenSSL provider named by a plain word is loaded from OpenSSL's own module folder;
// anything else could name a file anywhere.
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

constexpr const char kByteOrderMark[] = "\xEF\xBB\xBF";

// A parameter that needs no quotes: openvpn reads it back as it stands (a byte-order mark
// at the start of the text would be taken off, and a line that starts with "</" could end
// the block it stands in).
bool IsBare(const std::string& token) {
    if (token.empty() || token[0] == '#' || token[0] == ';' || token[0] == '<' ||
        token.compare(0, 3, kByteOrderMark) == 0) {
        return false;
    }
    for (char c : token) {
        if (IsBlank(c) || c == '"' || c == '\'' || c == '\\') {
            return false;
        }
    }
    return true;
}

std::string Quoted(const std::string& token) {
    std::string text = "\"";
    for (char c : token) {
        if (c == '"' || c == '\\') {
            text += '\\';
        }
        text += c;
    }
    return text + "\"";
}

// The line openvpn reads back as exactly these tokens.
std::string PlainLine(const std::vector<std::string>& tokens) {
    std::string line;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (i > 0) {
            line += ' ';
        }
        line += IsBare(tokens[i]) ? tokens[i] : Quoted(tokens[i]);
    }
    return line;
}

std::string TrimmedLeft(const std::string& line) {
    size_t at = 0;
    while (at < line.size() && IsBlank(line[at])) {
        ++at;
    }
    return line.substr(at);
}

struct Filtering {
    std::vector<std::string> lines; // the original, without line breaks
    size_t next = 0;
    Result result;
    std::vector<std::string> out;

    bool refuse(size_t line, const std::string& why) {
        result.error = "line " + std::to_string(line + 1) + ": " + why;
        return false;
    }

    bool emit(std::vector<std::string>& into, const std::string& line, size_t original) {
        if (line.size() > kMaxLineBytes) {
            return refuse(original, "a line longer than " + std::to_string(kMaxLineBytes) + " bytes");
        }
        into.push_back(line);
        return true;
    }

    // Filters lines until the end, or until a line that closes the block `closing`.
    bool run(std::vector<std::string>& into, const std::string& closing) {
        while (next < lines.size()) {
            const size_t at = next++;
            const std::string& line = lines[at];
            if (!closing.empty() && TrimmedLeft(line).compare(0, closing.size(), closing) == 0) {
                return true;
            }
            std::vector<std::string> tokens;
            if (!Tokenize(line, &tokens)) {
                return refuse(at, "openvpn cannot read it");
            }
            if (tokens.empty()) {
                continue;
            }
            // openvpn takes off one leading "--"; the line is written again as it came, so
            // that openvpn takes off what it would have.
            const std::string first = WithoutDoubleDash(tokens[0]);
            if (tokens.size() == 1 && first.size() > 2 && first.front() == '<' && first.back() == '>') {
                if (!block(into, at, first.substr(1, first.size() - 2))) {
                    return false;
                }
                continue;
            }
            if (IsDropped(tokens)) {
                result.dropped.push_back({static_cast<int>(at + 1), first});
                continue;
            }
            if (!emit(into, PlainLine(tokens), at)) {
                return false;
            }
        }
        if (!closing.empty()) {
            return refuse(lines.size() - 1, "no " + closing + " closes the block");
        }
        return true;
    }

    // An inline block whose tag line is `at`: its lines as they stand (a connection block
    // filtered as a configuration of its own), or nothing when the tag is not one a
    // profile may inline.
    bool block(std::vector<std::string>& into, size_t at, const std::string& tag) {
        const std::string closing = "</" + tag + ">";
        const bool kept = Contains(kInlineTags, tag);
        if (!kept) {
            result.dropped.push_back({static_cast<int>(at + 1), tag});
        }
        std::vector<std::string> content;
        if (tag == kConnectionTag) {
            if (!run(content, closing)) {
                return false;
            }
        } else {
            while (true) {
                if (next >= lines.size()) {
                    return refuse(at, "no " + closing + " closes the block");
                }
                const std::string& line = lines[next++];
                if (TrimmedLeft(line).compare(0, closing.size(), closing) == 0) {
                    break;
                }
                if (kept && !emit(content, line, next - 1)) {
                    return false;
                }
            }
        }
        if (kept) {
            into.push_back("<" + tag + ">");
            into.insert(into.end(), content.begin(), content.end());
            into.push_back(closing);
        }
        return true;
    }
};

} // namespace

bool Tokenize(const std::string& line, std::vector<std::string>* tokens) {
    enum State { Initial, Unquoted, Quoted, SingleQuoted, Done };
    tokens->clear();
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
                tokens->push_back(parameter);
                parameter.clear();
                state = Initial;
            }
            if (backslash && out != 0 && !(out == '\\' || out == '"' || IsBlank(out))) {
                return false;
            }
            backslash = false;
        }
        if (out != 0) {
            if (parameter.size() >= kMaxParameterBytes) {
                return false;
            }
            parameter += out;
        }
        if (tokens->size() >= kMaxParameters) {
            break;
        }
    }
    return state == Initial;
}

bool IsDropped(const std::vector<std::string>& tokens) {
    if (tokens.empty()) {
        return false;
    }
    const std::string name = WithoutDoubleDash(tokens[0]);
    if (Contains(kRunsOrLoads, name) || Contains(kWritesOrHides, name) ||
        name.compare(0, std::strlen(kManagementPrefix), kManagementPrefix) == 0) {
        return true;
    }
    if (name == "setenv") {
        // "setenv opt DIRECTIVE ..." is that directive; any other setenv sets a variable
        // that every script openvpn runs would see.
        if (tokens.size() > 2 && tokens[1] == "opt") {
            return IsDropped(std::vector<std::string>(tokens.begin() + 2, tokens.end()));
        }
        return true;
    }
    if (name == "providers") {
        for (size_t i = 1; i < tokens.size(); ++i) {
            if (!IsPlainWord(tokens[i])) {
                return true;
            }
        }
    }
    return false;
}

Result Filter(const std::string& text) {
    Filtering filtering;
    if (text.find('\0') != std::string::npos) {
        filtering.result.error = "a NUL byte in the text";
        return filtering.result;
    }
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        filtering.lines.push_back(
            text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    // openvpn skips a UTF-8 byte-order mark at the start.
    if (!filtering.lines.empty() && filtering.lines[0].compare(0, 3, kByteOrderMark) == 0) {
        filtering.lines[0].erase(0, 3);
    }
    if (!filtering.run(filtering.out, std::string())) {
        filtering.result.dropped.clear();
        return filtering.result;
    }
    for (const std::string& line : filtering.out) {
        filtering.result.config += line;
        filtering.result.config += '\n';
    }
    filtering.result.ok = true;
    return filtering.result;
}

} // namespace OpenVPNConfigFilter
