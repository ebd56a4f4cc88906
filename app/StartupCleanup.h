// What a client that was killed left behind is cleared at the next start, before the main
// window shows: the programs it started and their children (openvpn, the IKE daemon, a
// script still running), the DNS its OpenVPN tunnels gave the resolver, the WireGuard
// tunnels it brought up, the TAP adapters it made, and the files that hold secrets in plain
// text (the credential file, openvpn's management password files, a staged configuration
// file, the deciphered copies of an import, the plain copy of an export).
// Each thing cleared is logged.
#pragma once

// Points the bundle's programs at the client's run folder: KORVA_RUN_DIR (the TAP
// adapters' records) and, unless it is set, KORVA_WG_RUNDIR (the WireGuard tunnels'
// records) as the run folder's "wireguard" folder, so that everything the client leaves
// running is recorded where the client and only the client looks.
void ShareRunFolderWithBundle();

// Runs in the first instance only, after the single-instance lock was taken.
void CleanUpAfterEarlierRun();

// Makes the folders the client keeps profiles' files, credentials and logs in private
// (0700) where an earlier version left them open to every local user; each one changed is
// logged. A link or another user's folder is left as it is.
void MakeClientFoldersPrivate();
