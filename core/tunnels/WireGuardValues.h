// What each key of a WireGuard configuration file takes. wg-quick splits and globs some
// values unquoted (Address, DNS) and hands the DNS to resolvconf, which evaluates what it
// stores as shell text; so every value the client writes into such a file, or finds in one,
// is checked against exactly what its key allows: addresses and prefixes, domain names of
// letters, digits, '-' and '.', base64 keys of 32 bytes, numbers in their range.
// One checker for the connect, the editor's save and the import.
#pragma once

#include <string>

struct WireGuardVPNInfo;

namespace WireGuardValues {

// An IPv4 address in dotted decimal, or an IPv6 address (as inet_pton reads them).
bool IsAddress(const std::string& text);
// A domain name: labels of letters, digits and '-' (not at a label's ends) of at most 63
// bytes, joined by '.', at most 253 bytes, an optional final '.', and not all digits in its
// last label (which would be a mistyped address).
bool IsDomainName(const std::string& text);
// A key as the WireGuard tools write it: 44 characters of base64 for 32 bytes.
bool IsKey(const std::string& text);
// A decimal number without sign or leading zero, within low and high.
bool IsNumber(const std::string& text, long low, long high);

// The values of the keys, each as the text after "KEY = " (lists are comma-separated, with
// blanks around the commas allowed):
// Address, AllowedIPs: addresses, each with an optional prefix length (/0-32, /0-128).
bool IsAddressList(const std::string& text);
// DNS: servers (addresses) and search domains, in any order.
bool IsDnsList(const std::string& text);
// Endpoint: a host (an IPv4 address, an IPv6 address in brackets, or a domain name) and a
// port 1-65535 after a colon.
bool IsEndpoint(const std::string& text);

// The value of one key of the file (case as the tools take it: any); false for a key the
// client does not write.
bool IsValue(const std::string& key, const std::string& value);

// The key of the first line of the record's file whose value its key does not take ("DNS",
// "Address", "Endpoint" and so on), or empty when every value fits.
std::string FirstUnfitKey(const WireGuardVPNInfo& info);

// The same for a configuration file's text as the WireGuard tools read it (sections
// [Interface] and [Peer], "#" comments, blanks around keys and values): empty when every
// line is a section, empty, or a key the client writes (MTU too) with a value it takes;
// else the key of the first line that is not ("line N" for a line that is no key).
std::string FirstUnfitLine(const std::string& text);

} // namespace WireGuardValues
