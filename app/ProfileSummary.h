// What the home page and the profile chooser show of one stored profile: the server
// address, the local address and the mask length, read from the record of the
// profile's kind, and the text key of the kind's label. Also the reload of the
// application's cached profile list that both start from.
#pragma once

#include <QString>
#include <vector>

#include "ProfileRecords.h"

struct ProfileSummary {
    QString serverIP;
    QString localIP;
    // Prefix length of the local address, -1 for the kinds that store none.
    int subMask = -1;
};

enum ProfileSummaryResult {
    PROFILE_SUMMARY_OK = 0,
    // The kind's record could not be read.
    PROFILE_SUMMARY_UNREADABLE = -1,
    // The profile's kind is none of the four.
    PROFILE_SUMMARY_UNKNOWN_KIND = -2,
};

// Reads the record of the profile's kind by its ConfigID through the kind's tunnel
// context: WireGuard gives WanIP, IPAddr and InterSubMask; SSL VPN and OpenVPN give
// ServerIP and LocalIP; IPsec gives RemoteAddrs and LocalAddrs.
int ReadProfileSummary(const ProfileInfo& profile, ProfileSummary* summary);

// The text key of a kind's label ("ZRVPN_IPSEC_VPN", ...), nullptr outside 1 to 4.
const char* VPNTypeLabelKey(int vpnType);

// The profile's name as text (the stored bytes are UTF-8).
QString ProfileNameText(const ProfileInfo& profile);

// Empties the application's cached profile list and reads it again from the store,
// newest profile first. 0, or non-zero when the store could not be read.
int ReloadProfileList();

// As ReloadProfileList, and the summary of each profile of the list (in its order), read
// with it in one statement: what ReadProfileSummary gives for a kind of 1 to 4, and an
// empty summary for any other kind. 0, or non-zero when the store could not be read.
int ReloadProfileListWithSummaries(std::vector<ProfileSummary>& summaries);
