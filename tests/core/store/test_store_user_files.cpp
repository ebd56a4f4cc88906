// The store in the data folder of an ordinary user while the client runs as root: SQLite
// opens, creates and removes its files as the user, so the store is the user's and no
// link the user planted leads SQLite into root's folders. A throwaway user of the machine
// plays the invoking user.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "IPCSqlite.h"
#include "InvokingUser.h"
#include "ThrowawayUser.h"

namespace {

std::string WorkDir() {
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof(cwd)) != nullptr ? cwd : ".";
}

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

class StoreAsUser : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(user.error(), "");
        ASSERT_TRUE(SetInvokingUserForTesting(user.uid));
        data = user.home + "/data";
        ASSERT_EQ(mkdir(data.c_str(), 0700), 0);
        ASSERT_TRUE(user.own(data));
        // root's own folder, which the user cannot enter.
        rootOnly = WorkDir() + "/root-only";
        mkdir(rootOnly.c_str(), 0700);
    }
    void TearDown() override { SetInvokingUserForTesting(static_cast<uid_t>(-1)); }

    testsupport::ThrowawayUser user;
    std::string data;
    std::string rootOnly;
};

TEST_F(StoreAsUser, TheStoreAndItsJournalAreTheUsers) {
    IPCSqlite store;
    const std::string path = data + "/vpn.db";
    ASSERT_EQ(store.Init(path.c_str()), 0);
    ProfileInfo profile;
    std::snprintf(profile.ProfileName, sizeof(profile.ProfileName), "%s", "office");
    profile.ProfileType = 3;
    ASSERT_EQ(store.InsertProfile(&profile), 0) << "the journal is made and removed as the user";
    std::vector<ProfileInfo> profiles;
    ASSERT_EQ(store.GetProfileList(profiles), 0);
    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_STREQ(profiles[0].ProfileName, "office");
    EXPECT_EQ(store.DeInit(), 0);

    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, user.uid);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_FALSE(Exists(path + "-journal"));
}

TEST_F(StoreAsUser, NoLinkLeadsIntoRootsFolder) {
    // The store's name, and then the data folder itself, lead into root's folder.
    ASSERT_EQ(symlink((rootOnly + "/vpn.db").c_str(), (data + "/vpn.db").c_str()), 0);
    ASSERT_EQ(symlink(rootOnly.c_str(), (user.home + "/linked").c_str()), 0);
    for (const std::string& path : {data + "/vpn.db", user.home + "/linked/vpn.db"}) {
        IPCSqlite store;
        EXPECT_NE(store.Init(path.c_str()), 0) << path;
        store.DeInit();
        EXPECT_FALSE(Exists(rootOnly + "/vpn.db")) << path;
        EXPECT_FALSE(Exists(rootOnly + "/vpn.db-journal")) << path;
    }
}

} // namespace
