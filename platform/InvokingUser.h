// The user the client works for, and that user's own file-system identity.
//
// The client runs as root. Started by an ordinary user it runs itself again through
// pkexec, which names that user in PKEXEC_UID; the client then works for that user, as an
// elevated Windows program keeps its user's profile. Everything per user (the data folder
// and its files, the app theme, an exported file) is found from the user's account (the
// passwd entry), never from variables of the user's session, and read and written with the
// user's own file-system identity (setfsuid, setfsgid and the user's groups, on the calling
// thread only): a link the user planted then leads nowhere the user could not go anyway,
// and every file and folder made for the user belongs to the user.
//
// Started by root itself (no PKEXEC_UID, or PKEXEC_UID 0) the client works for root: the
// folders come from the environment as for any program, and nothing is switched.
#pragma once

#include <string>
#include <sys/types.h>

struct InvokingUser {
    // True when root works for another user (that user's uid is in PKEXEC_UID).
    bool elevated = false;
    uid_t uid = 0;
    gid_t gid = 0;
    std::string name;
    // The home folder of the user's account.
    std::string home;
};

// The user, determined once: PKEXEC_UID while this process runs as root and that id has an
// account, else the process's own user.
const InvokingUser& GetInvokingUser();

// Tests: works for the account of uid as an elevated run does (false when there is no such
// account); -1 returns to what the process itself is. Call it while no other thread uses
// the facility.
bool SetInvokingUserForTesting(uid_t uid);

// The user's roaming application-data folder: elevated, the account's home followed by
// /.config; otherwise ${XDG_CONFIG_HOME:-$HOME/.config}.
std::string UserConfigHome();

// While it lives, the calling thread reads, writes, creates and removes files as the user
// the client works for (nothing changes when the client works for root). Nested guards on
// one thread are fine. Uses only system calls, so a signal handler may hold one.
class UserFileAccess {
public:
    UserFileAccess();
    ~UserFileAccess();
    UserFileAccess(const UserFileAccess&) = delete;
    UserFileAccess& operator=(const UserFileAccess&) = delete;

    // True when the thread's file-system identity was switched by this guard.
    bool Switched() const { return switched; }

private:
    bool switched = false;
    long previousUid = -1;
    long previousGid = -1;
};

// Creates each missing level of a folder under the user's home as the user (mode 0700),
// after handing back to the user what an earlier version left owned by root there: the
// levels below the home and the regular files directly in the folder itself. Outside an
// elevated run it is MakeDirPath. 0 or -1.
int MakeUserFolderPath(const std::string& path);
