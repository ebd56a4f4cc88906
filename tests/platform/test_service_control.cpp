// The service-control wrappers over the layer's service table.
#include "PlatformTestSupport.h"
#include "ServiceControl.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

using namespace platformtest;

namespace {

class ServiceTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        table = WorkDir() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                "/services.table";
        SetServiceTablePath(table.c_str());
    }
    void TearDown() override { SetServiceTablePath(nullptr); }

    static ServiceEntry Entry(const std::string& name, DWORD state, DWORD startType = SERVICE_AUTO_START) {
        ServiceEntry entry;
        entry.name = name;
        entry.displayName = name;
        entry.binaryPath = "/opt/" + name;
        entry.currentState = state;
        entry.startType = startType;
        return entry;
    }

    LogCapture log;
    std::string table;
};

TEST_F(ServiceTableTest, TheTableStartsWithIkeextRunningAndStartingAutomatically) {
    SC_HANDLE service = SvcOpen("IKEEXT", SERVICE_QUERY_STATUS);
    ASSERT_NE(service, nullptr);
    SERVICE_STATUS status{};
    EXPECT_TRUE(SvcQueryStatus(service, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
    EXPECT_TRUE(CloseServiceHandle(service));
    ServiceEntry entry;
    ASSERT_TRUE(ServiceTableRead("ikeext", &entry));
    EXPECT_EQ(entry.startType, SERVICE_AUTO_START);
    EXPECT_TRUE(Exists(table));
    EXPECT_EQ(log.Text(), "");
}

TEST(ServiceTablePath, DefaultsToTheDataFolderAndFollowsTheEnvironment) {
    EXPECT_EQ(ServiceTablePath(),
              std::string(getenv("XDG_CONFIG_HOME")) + "/Halvex/Korva VPN/services.table");
    setenv("KORVA_SERVICE_TABLE", "/elsewhere/table", 1);
    EXPECT_EQ(ServiceTablePath(), "/elsewhere/table");
    SetServiceTablePath("/set/by/call");
    EXPECT_EQ(ServiceTablePath(), "/set/by/call");
    SetServiceTablePath(nullptr);
    unsetenv("KORVA_SERVICE_TABLE");
}

TEST_F(ServiceTableTest, AMissingServiceIsOneLogLineWithError1060) {
    SetLastError(0);
    EXPECT_EQ(SvcOpen("NoSuchService", SERVICE_QUERY_STATUS), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_EQ(log.Text(), "Get Service NoSuchService Service Handle failed, ERROR: 1060.\n");
}

TEST_F(ServiceTableTest, AManagerThatCannotBeOpenedIsLogged) {
    ASSERT_TRUE(std::ofstream(WorkDir() + "/plain").good());
    SetServiceTablePath((WorkDir() + "/plain/services.table").c_str());
    EXPECT_EQ(SvcOpen("IKEEXT", SERVICE_QUERY_STATUS), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(log.Text(), "Get SC MANAGER handle failed, ERROR: 3.\n");
}

TEST_F(ServiceTableTest, StopFromEveryState) {
    struct Case {
        DWORD before;
        BOOL result;
        DWORD error;
        DWORD reported;
    };
    const Case cases[] = {
        {SERVICE_STOPPED, FALSE, ERROR_SERVICE_NOT_ACTIVE, SERVICE_STOPPED},
        {SERVICE_START_PENDING, TRUE, 0, SERVICE_STOPPED},
        {SERVICE_STOP_PENDING, FALSE, ERROR_SERVICE_CANNOT_ACCEPT_CTRL, SERVICE_STOP_PENDING},
        {SERVICE_RUNNING, TRUE, 0, SERVICE_STOPPED},
        {SERVICE_CONTINUE_PENDING, TRUE, 0, SERVICE_STOPPED},
        {SERVICE_PAUSE_PENDING, TRUE, 0, SERVICE_STOPPED},
        {SERVICE_PAUSED, TRUE, 0, SERVICE_STOPPED},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(ServiceTableWrite(Entry("IKEEXT", c.before)));
        SC_HANDLE service = SvcOpen("IKEEXT", SERVICE_ALL_ACCESS);
        ASSERT_NE(service, nullptr);
        SERVICE_STATUS status{};
        SetLastError(0);
        EXPECT_EQ(SvcStop(service, &status), c.result) << c.before;
        if (!c.result) {
            EXPECT_EQ(GetLastError(), c.error) << c.before;
        }
        EXPECT_EQ(status.dwCurrentState, c.reported) << c.before;
        EXPECT_TRUE(SvcQueryStatus(service, &status));
        EXPECT_EQ(status.dwCurrentState, c.reported) << c.before;
        CloseServiceHandle(service);
    }
}

TEST_F(ServiceTableTest, TheIkeextSwitchCanBeFollowedThroughTheTable) {
    // What the IPsec preparation does: stop, lock, disable, unlock.
    SC_HANDLE service = SvcOpen("IKEEXT", SERVICE_ALL_ACCESS);
    ASSERT_NE(service, nullptr);
    SERVICE_STATUS status{};
    ASSERT_TRUE(SvcStop(service, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, GENERIC_ALL);
    ASSERT_NE(manager, nullptr);
    SC_LOCK lock = LockServiceDatabase(manager);
    ASSERT_NE(lock, nullptr);
    EXPECT_TRUE(ChangeServiceConfigW(service, SERVICE_NO_CHANGE, SERVICE_DISABLED, SERVICE_NO_CHANGE, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(UnlockServiceDatabase(lock));
    ServiceEntry entry;
    ASSERT_TRUE(ServiceTableRead("IKEEXT", &entry));
    EXPECT_EQ(entry.startType, SERVICE_DISABLED);
    EXPECT_EQ(entry.currentState, SERVICE_STOPPED);
    EXPECT_EQ(entry.displayName, "IKE and AuthIP IPsec Keying Modules");

    // A disabled service does not start.
    EXPECT_FALSE(SvcStart(service, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DISABLED);

    // The teardown: automatic start again, twice in a row, without starting it.
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(ChangeServiceConfigW(service, SERVICE_NO_CHANGE, SERVICE_AUTO_START, SERVICE_NO_CHANGE,
                                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    }
    ASSERT_TRUE(ServiceTableRead("IKEEXT", &entry));
    EXPECT_EQ(entry.startType, SERVICE_AUTO_START);
    EXPECT_EQ(entry.currentState, SERVICE_STOPPED);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

TEST_F(ServiceTableTest, AHandleCarriesOnlyTheAccessItWasOpenedWith) {
    SC_HANDLE service = SvcOpen("IKEEXT", SERVICE_QUERY_STATUS);
    ASSERT_NE(service, nullptr);
    SERVICE_STATUS status{};
    EXPECT_FALSE(SvcStop(service, &status));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(ChangeServiceConfigW(service, SERVICE_NO_CHANGE, SERVICE_DISABLED, SERVICE_NO_CHANGE,
                                      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseServiceHandle(service);
    ServiceEntry entry;
    ASSERT_TRUE(ServiceTableRead("IKEEXT", &entry));
    EXPECT_EQ(entry.currentState, SERVICE_RUNNING);
    EXPECT_EQ(entry.startType, SERVICE_AUTO_START);
}

TEST_F(ServiceTableTest, TheDatabaseLockIsHeldAgainstOtherProcesses) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, GENERIC_ALL);
    ASSERT_NE(manager, nullptr);
    auto otherProcessLocks = [] {
        pid_t child = fork();
        if (child == 0) {
            SC_HANDLE own = OpenSCManagerW(nullptr, nullptr, GENERIC_ALL);
            SC_LOCK lock = LockServiceDatabase(own);
            _exit(lock != nullptr ? 0 : GetLastError() == ERROR_SERVICE_DATABASE_LOCKED ? 1 : 2);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WEXITSTATUS(status);
    };
    SC_LOCK lock = LockServiceDatabase(manager);
    ASSERT_NE(lock, nullptr);
    EXPECT_EQ(otherProcessLocks(), 1);
    EXPECT_TRUE(UnlockServiceDatabase(lock));
    EXPECT_EQ(otherProcessLocks(), 0);
    CloseServiceHandle(manager);
}

TEST_F(ServiceTableTest, StartTakesAtMostTenArgumentsAndNoNullOne) {
    ASSERT_TRUE(ServiceTableWrite(Entry("Other", SERVICE_STOPPED, SERVICE_DEMAND_START)));
    SC_HANDLE service = SvcOpen("Other", SERVICE_ALL_ACCESS);
    ASSERT_NE(service, nullptr);
    std::vector<const char*> eleven(11, "x");
    EXPECT_FALSE(SvcStart(service, 11, eleven.data()));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    const char* withNull[] = {"a", nullptr};
    EXPECT_FALSE(SvcStart(service, 2, withNull));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SERVICE_STATUS status{};
    ASSERT_TRUE(SvcQueryStatus(service, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);

    EXPECT_TRUE(SvcStart(service, 0, nullptr));
    ASSERT_TRUE(SvcQueryStatus(service, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
    EXPECT_FALSE(SvcStart(service, 10, eleven.data()));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_ALREADY_RUNNING);

    // Pause and continue.
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_PAUSE, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_PAUSED);
    EXPECT_TRUE(SvcContinue(service, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
    CloseServiceHandle(service);
}

TEST_F(ServiceTableTest, CreateQueryAndDeleteTheProgramsOwnService) {
    const char* name = "KORVA VPN IPSEC POLICY SERVICE";
    SC_HANDLE created = SvcCreate(name, name, "/opt/korva/bin/ipsec/charon-svc.exe", SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_SHARE_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(created, nullptr);
    SERVICE_STATUS status{};
    ASSERT_TRUE(SvcQueryStatus(created, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(status.dwServiceType, SERVICE_WIN32_SHARE_PROCESS);
    EXPECT_EQ(SvcCreate(name, name, "/x", SERVICE_ALL_ACCESS, SERVICE_WIN32_SHARE_PROCESS,
                        SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_EXISTS);
    CloseServiceHandle(created);

    SC_HANDLE service = SvcOpen(name, SERVICE_DELETE);
    ASSERT_NE(service, nullptr);
    EXPECT_TRUE(SvcDelete(service));
    EXPECT_FALSE(SvcQueryStatus(service, &status));
    CloseServiceHandle(service);
    EXPECT_EQ(SvcOpen(name, SERVICE_QUERY_STATUS), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
    // IKEEXT is still there.
    ServiceEntry entry;
    EXPECT_TRUE(ServiceTableRead("IKEEXT", &entry));
}

TEST_F(ServiceTableTest, LongNamesWorkAndNamesThatBreakTheTableAreRefused) {
    const std::string longName(600, 'n');
    SC_HANDLE created =
        SvcCreate(longName.c_str(), nullptr, "/opt/x", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                  SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, nullptr, nullptr, nullptr);
    ASSERT_NE(created, nullptr);
    CloseServiceHandle(created);
    SC_HANDLE opened = SvcOpen(longName.c_str(), SERVICE_QUERY_STATUS);
    ASSERT_NE(opened, nullptr);
    CloseServiceHandle(opened);

    for (const char* bad : {"", "tab\tname", "line\nname", "a/b", "a\\b"}) {
        EXPECT_EQ(SvcCreate(bad, nullptr, "/opt/x", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                            SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, nullptr, nullptr, nullptr),
                  nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    }
    // Lines that do not parse are skipped; the rest of the table stays usable.
    std::ofstream(table, std::ios::app) << "garbage line\n\tno name\t\t1\t2\t3\t4\n";
    SC_HANDLE service = SvcOpen("IKEEXT", SERVICE_QUERY_STATUS);
    EXPECT_NE(service, nullptr);
    CloseServiceHandle(service);
}

} // namespace
