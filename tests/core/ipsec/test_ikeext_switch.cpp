// The IKEEXT switch on the platform layer's service table: which states are stopped,
// the start types set, the log lines, and a service database locked by another process.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "IPSecServiceManager.h"
#include "IPSecTestSupport.h"
#include "ServiceTable.h"

using namespace ipsectest;

namespace {

void setIKEEXT(DWORD state, DWORD startType) {
    ServiceEntry entry;
    entry.name = "IKEEXT";
    entry.displayName = "IKE and AuthIP IPsec Keying Modules";
    entry.currentState = state;
    entry.startType = startType;
    ASSERT_TRUE(ServiceTableWrite(entry));
}

ServiceEntry readIKEEXT() {
    ServiceEntry entry;
    EXPECT_TRUE(ServiceTableRead("IKEEXT", &entry));
    return entry;
}

} // namespace

TEST(IKEEXTSwitch, StopsARunningOrPausedServiceAndDisablesIt) {
    struct Case {
        DWORD state;
        const char* line;
    } cases[] = {
        {SERVICE_RUNNING, "IPSec :: IKKEXT service status 4, stoping......\n"},
        {SERVICE_PAUSED, "IPSec :: IKKEXT service status 7, stoping......\n"},
        {SERVICE_STOPPED, "IPSec :: IKKEXT service status 1, do nothing\n"},
        {SERVICE_STOP_PENDING, "IPSec :: IKKEXT service status 3, do nothing\n"},
    };
    for (const Case& c : cases) {
        ProjectFolder project;
        setIKEEXT(c.state, SERVICE_AUTO_START);
        EXPECT_EQ(IPSecServiceManager::GetInstance()->QueryIKEEXTState(), c.state);
        EXPECT_EQ(IPSecServiceManager::GetInstance()->DisableIKEEXT(), 1) << c.state;
        ServiceEntry entry = readIKEEXT();
        EXPECT_EQ(entry.startType, static_cast<DWORD>(SERVICE_DISABLED));
        DWORD after = c.state == SERVICE_STOP_PENDING ? SERVICE_STOP_PENDING : SERVICE_STOPPED;
        EXPECT_EQ(entry.currentState, after);
        std::string log = project.log();
        EXPECT_NE(log.find(c.line), std::string::npos) << log;
        EXPECT_NE(log.find("IPSec :: change state to Stopped and change start state to Disabled!\n"),
                  std::string::npos);
    }
}

TEST(IKEEXTSwitch, TheFirstUseFindsIKEEXTRunningWithAutomaticStart) {
    ProjectFolder project;
    EXPECT_EQ(IPSecServiceManager::GetInstance()->QueryIKEEXTState(),
              static_cast<unsigned long>(SERVICE_RUNNING));
    EXPECT_EQ(IPSecServiceManager::GetInstance()->DisableIKEEXT(), 1);
    EXPECT_EQ(readIKEEXT().startType, static_cast<DWORD>(SERVICE_DISABLED));
}

TEST(IKEEXTSwitch, AMissingServiceFailsBothWays) {
    ProjectFolder project;
    setIKEEXT(SERVICE_RUNNING, SERVICE_AUTO_START);
    ASSERT_TRUE(ServiceTableRemove("IKEEXT"));
    EXPECT_EQ(IPSecServiceManager::GetInstance()->QueryIKEEXTState(),
              static_cast<unsigned long>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_EQ(IPSecServiceManager::GetInstance()->DisableIKEEXT(), 0);
    EXPECT_EQ(IPSecServiceManager::GetInstance()->EnableIKEEXT(), 0);
    std::string log = project.log();
    EXPECT_EQ(log.find("change state to Stopped"), std::string::npos);
    EXPECT_NE(log.find("IPSec :: Get Service Manager Handle or Service Handle failed.\n"), std::string::npos);
    EXPECT_EQ(log.find("change state to Enabled"), std::string::npos);
}

TEST(IKEEXTSwitch, AStateOutsideOneToSevenIsUnexpected) {
    ProjectFolder project;
    setIKEEXT(9, SERVICE_AUTO_START);
    EXPECT_EQ(IPSecServiceManager::GetInstance()->DisableIKEEXT(), 0);
    EXPECT_EQ(readIKEEXT().startType, static_cast<DWORD>(SERVICE_AUTO_START));
    std::string log = project.log();
    EXPECT_NE(log.find("IPSec :: Unexpected case, error code: 9\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("change state to Stopped"), std::string::npos);
}

TEST(IKEEXTSwitch, EnableSetsAutomaticStartWithoutStarting) {
    ProjectFolder project;
    setIKEEXT(SERVICE_STOPPED, SERVICE_DISABLED);
    EXPECT_EQ(IPSecServiceManager::GetInstance()->EnableIKEEXT(), 1);
    EXPECT_EQ(IPSecServiceManager::GetInstance()->EnableIKEEXT(), 1);
    ServiceEntry entry = readIKEEXT();
    EXPECT_EQ(entry.startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(entry.currentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(
        countOf(project.log(), "change state to Enabled and change start state to SERVICE_AUTO_START!\n"), 2);
}

TEST(IKEEXTSwitch, ADatabaseLockedByAnotherProcessIsChangedWithoutTheLock) {
    ProjectFolder project;
    setIKEEXT(SERVICE_RUNNING, SERVICE_AUTO_START);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, GENERIC_ALL);
        char ok = (manager != nullptr && LockServiceDatabase(manager) != nullptr) ? 1 : 0;
        if (write(ready[1], &ok, 1) != 1) {
            _exit(1);
        }
        for (;;) {
            pause();
        }
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 1);

    EXPECT_EQ(IPSecServiceManager::GetInstance()->DisableIKEEXT(), 1);
    EXPECT_EQ(readIKEEXT().startType, static_cast<DWORD>(SERVICE_DISABLED));
    EXPECT_EQ(IPSecServiceManager::GetInstance()->EnableIKEEXT(), 1);
    EXPECT_EQ(readIKEEXT().startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(project.log().find("LockServiceDatabase error"), std::string::npos);

    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
}
