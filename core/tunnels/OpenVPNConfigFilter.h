// The configuration that the bundle's openvpn hands to Debian's openvpn: a profile's
// ".ovpn" text read exactly as openvpn reads it (OpenVPNConfigSyntax), without every
// directive that the client does not let openvpn, running as root, read: those that run a
// program, load code, write files, open a file or device by a path the profile names,
// serve as a server, hide its output from the client or take its management interface
// (each one's treatment is OpenVPNConfigSyntax's); a log level above the highest is that
// level. What is kept is written again
// in one plain form, so that openvpn reads exactly what this filter read, whatever oddities
// the original text had. Plain C++, no Qt: the bundle's filter program is built from this
// file and OpenVPNConfigSyntax's.
#pragma once

#include <string>
#include <vector>

namespace OpenVPNConfigFilter {

// A directive left out of the filtered configuration.
struct DroppedDirective {
    int line = 0;          // 1-based line of the original text
    std::string directive; // the line's directive (without a leading "--"), or the block's tag
};

struct Result {
    // False when the text cannot be handed to openvpn at all (then config is empty).
    bool ok = false;
    std::string config;
    std::vector<DroppedDirective> dropped;
    // Why the text was refused, with its line.
    std::string error;
};

// The longest line openvpn reads, without its line break.
constexpr size_t kMaxLineBytes = 254;

Result Filter(const std::string& text);

// True when a directive of that name (without "--"), with these parameters, is never
// handed to openvpn.
bool IsDropped(const std::vector<std::string>& tokens);

// Splits one line into openvpn's tokens (OpenVPNConfigSyntax::Tokenize).
bool Tokenize(const std::string& line, std::vector<std::string>* tokens);

} // namespace OpenVPNConfigFilter
