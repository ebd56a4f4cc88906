// The text of strongSwan's swanctl.conf for one IPsec profile: one connection with one
// child SA and the pre-shared key. IPSecVPNContext::WriteSwanctlConf writes it to disk.
#pragma once

#include <string>

class IPSecVPNInfo;

// True for a name of ASCII letters, digits, "_" and "-": such a name can stand as a
// section name of swanctl.conf and as one argument of a swanctl command line.
bool IsSwanctlName(const std::string& name);

// The name under which strongSwan knows a policy's connection (its child SA adds
// "_child"): the policy name itself when IsSwanctlName holds for it, else "u-" and the
// hex of its UTF-8 bytes, since strongSwan refuses section names with other characters
// while profile names may hold letters of any script. Empty for an empty name.
std::string SwanctlConnectionName(const std::string& policyName);

// A value as swanctl.conf must hold it. Plain printable ASCII stands as it is; a value
// with blanks, "#", braces, quotes, backslashes, control or non-ASCII characters is
// written between double quotes with its quotes, backslashes and line breaks escaped,
// so that nothing in it can end the value, open a comment or a section, or break the file.
std::string SwanctlValue(const std::string& value);

// The pre-shared key as a value: "0x" and the hex of its bytes (empty for an empty key).
// strongSwan decodes it to exactly the stored bytes, whatever they are: a key that begins
// "0x" or "0s" (which strongSwan would decode itself), or holds blanks, quotes, "#",
// braces, "$" or non-ASCII letters, reaches it unchanged.
std::string SwanctlSecretValue(const std::string& secret);

// Formats the whole file for the profile. 0, or -1 (the text left empty) when the policy
// name is empty or a proposal text exceeds the record's 31-character limit.
int FormatSwanctlConf(const IPSecVPNInfo& info, std::string& text);
