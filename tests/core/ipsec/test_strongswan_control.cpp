// strongSwan control and the IPsec context against test doubles of swanctl.exe and
// charon-svc.exe in a temporary project folder: the daemon's start, lookup and end, the
// worker's attempts and outcomes, the cancel and the teardowns, and the rekey check.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "IPSecServiceManager.h"
#include "IPSecTestSupport.h"
#include "IPSecVPNContext.h"
#include "IPSecVPNInfo.h"
#include "ProcessPipe.h"
#include "ServiceTable.h"
#include "StrongSwanControl.h"

using namespace ipsectest;

namespace {

CharonMachineLock charonLock;

const char* kPeerDown = "initiate failed: establishing CHILD_SA 'office_child' failed\n"
                        "[IKE] giving up after 3 retransmits\n"
                        "[IKE] establishing IKE_SA failed, peer not responding\n";
const char* kInitiated = "[IKE] IKE_SA office[1] established between 192.0.2.1...192.0.2.2\n"
                         "[IKE] CHILD_SA office_child{1} established with SPIs\n"
                         "initiate completed successfully\n";

IPSecVPNInfo officeProfile() {
    IPSecVPNInfo info;
    info.SetPolicyName("office");
    info.SetLocalAddrs("192.0.2.1");
    info.SetRemoteAddrs("192.0.2.2");
    info.SetEspProposals("sha256-aes256");
    info.SetIkeHash("sha256");
    info.SetIkeEncryption("aes256");
    info.SetIkeDHGroup("modp2048");
    info.SetPSKSecret("secret");
    return info;
}

ServiceEntry ikeext() {
    ServiceEntry entry;
    EXPECT_TRUE(ServiceTableRead("IKEEXT", &entry));
    return entry;
}

class StrongSwanControl : public ::testing::Test {
protected:
    void SetUp() override {
        project.installDoubles();
        info = officeProfile();
    }
    void TearDown() override { endDaemons(); }

    // Connects and waits for the worker's outcome as the home page's poll would.
    int connectAndWait() {
        int prepared = context.Connect(&info, project.path);
        if (prepared != 0) {
            return prepared;
        }
        EXPECT_TRUE(waitUntil([&] { return context.GetConnectFinished(); }, 60000));
        return context.GetConnectResult();
    }

    std::string ipsecDir() const { return project.path + "/bin/ipsec/"; }

    ProjectFolder project;
    IPSecVPNContext context;
    IPSecVPNInfo info;
};

} // namespace

TEST(ChildSaState, ReadsTheStateWithinFiftyCharactersOfTheName) {
    ProjectFolder project;
    struct Case {
        std::string listing;
        int state;
    } cases[] = {
        {"office: #1, ESTABLISHED, IKEv2\n  office_child: #1, reqid 1, INSTALLED, TUNNEL\n", 0},
        {"  office_child: #2, reqid 1, REKEYED, TUNNEL\n", 0},
        {"  office_child: #2, reqid 1, INSTALLING, TUNNEL\n", 0},
        {"  office_child: #2, reqid 1, REKEYING, TUNNEL\n", 1},
        {"  office_child: #2, INSTALLED, reqid 1, REKEYING\n", 1},
        {"  office_child: #2, reqid 1, CREATED, TUNNEL\n", 3},
        // The state word lies beyond the 50-character window.
        {"  office_child: #2, reqid 1, " + std::string(40, ' ') + "INSTALLED\n", 3},
        {"office: #1, CONNECTING, IKEv2\n", 2},
        {"", 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(getChildSaState(c.listing, "office_child"), c.state) << c.listing;
    }
    EXPECT_NE(project.log().find("IPSec :: CHILD_SAS status:office: #1, CONNECTING, IKEv2\n!\n"),
              std::string::npos);
}

TEST(CharonLookup, TakesOnlyTheDaemonsProcessIdAndNeverOneOrLess) {
    ProjectFolder project;
    struct Case {
        const char* answer;
        int pid;
    } cases[] = {
        {"charon-svc.exe                4242 Console                    1     12,345 K\n", 4242},
        {"charon-svc.exe 77 Console 1 1,024 K\ncharon-svc.exe 88 Console 1 1,024 K\n", 77},
        {"charon-svc.exe.bak 55 Console 1 0 K\ncharon-svc.exe 66 Console 1 0 K\n", 66},
        {"charon-svc.exe 1 Console 1 0 K\n", -1},
        {"charon-svc.exe 0 Console 1 0 K\n", -1},
        {"sh: 1: tasklist: not found\n", -1},
        {"charon-svc.exe Console\n", -1},
        {"charon-svc.exe 99999999999 Console\n", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseCharonPid(c.answer), c.pid) << c.answer;
    }
    EXPECT_NE(project.log().find("IPSec :: match pid error\n"), std::string::npos);
}

TEST_F(StrongSwanControl, StartsFindsAndEndsTheDaemon) {
    EXPECT_EQ(getCharonPid(), 0);
    EXPECT_EQ(startCharon(project.path), 0);
    EXPECT_TRUE(waitForCharon(project.path));
    int pid = getCharonPid();
    ASSERT_GT(pid, 1);
    EXPECT_NE(project.charonStarts().find("start " + std::to_string(pid) + "\n"), std::string::npos);

    EXPECT_EQ(killProcessByPid(1), 0);
    EXPECT_EQ(getCharonPid(), pid);
    // A daemon that takes its time to end is gone when the call returns.
    writeFile(ipsecDir() + "charon-double-linger", "");
    EXPECT_EQ(stopCharon(), 0);
    EXPECT_EQ(getCharonPid(), 0);
    EXPECT_NE(project.charonStarts().find("stop " + std::to_string(pid) + "\n"), std::string::npos);
    EXPECT_EQ(ikeext().startType, static_cast<DWORD>(SERVICE_AUTO_START));

    // No daemon: the lookup's 0, and IKEEXT is left as it is.
    ASSERT_EQ(IPSecServiceManager::GetInstance()->DisableIKEEXT(), 1);
    EXPECT_EQ(stopCharon(), 0);
    EXPECT_EQ(ikeext().startType, static_cast<DWORD>(SERVICE_DISABLED));
}

TEST_F(StrongSwanControl, ADaemonOfAnotherInstallationIsNeitherUsedNorEnded) {
    // The same daemon program under the same name, run from another client's bundle.
    QTemporaryDir other;
    const std::string otherIpsec = other.path().toStdString() + "/bin/ipsec/";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(otherIpsec)));
    ASSERT_TRUE(QFile::copy(IPSEC_CHARON_DOUBLE, QString::fromStdString(otherIpsec + "charon-svc.exe")));
    QFile::setPermissions(QString::fromStdString(otherIpsec + "charon-svc.exe"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ProcessPipe pipe;
    ASSERT_EQ(pipe.ExecuteCommand((otherIpsec + "charon-svc.exe").c_str(), false, otherIpsec.c_str()), "");
    int foreign = 0;
    ASSERT_TRUE(waitUntil([&] {
        std::string starts = readFile(otherIpsec + "charon-starts.log");
        foreign = starts.rfind("start ", 0) == 0 ? std::atoi(starts.c_str() + 6) : 0;
        return foreign > 1;
    }));
    auto foreignRuns = [&] {
        return ::kill(foreign, 0) == 0 &&
               readFile(otherIpsec + "charon-starts.log").find("stop") == std::string::npos;
    };

    EXPECT_EQ(getCharonPid(), 0);
    project.answer("initiate", kInitiated);
    EXPECT_EQ(connectAndWait(), 0);
    EXPECT_EQ(countOf(project.charonStarts(), "start"), 1);
    const int own = getCharonPid();
    EXPECT_GT(own, 1);
    EXPECT_NE(own, foreign);

    EXPECT_EQ(context.Terminate("office", project.path), 0);
    EXPECT_EQ(getCharonPid(), 0);
    EXPECT_EQ(stopCharon(), 0);
    context.StopAll();
    EXPECT_TRUE(foreignRuns());
    ::kill(foreign, SIGTERM);
    EXPECT_TRUE(waitUntil([&] { return !foreignRuns(); }));
}

TEST_F(StrongSwanControl, ConnectStartsTheDaemonLoadsThenInitiatesOnTheWorker) {
    project.answer("initiate", kInitiated);
    EXPECT_EQ(connectAndWait(), 0);

    EXPECT_GT(getCharonPid(), 1);
    EXPECT_EQ(countOf(project.charonStarts(), "start"), 1);
    // The load ran in the strongSwan folder and ended before the first initiate.
    std::string folder = project.path + "/bin/ipsec";
    EXPECT_EQ(project.calls(), folder + "|--load-all\n" + folder + "|--initiate --child office_child\n");
    EXPECT_FALSE(context.IsInitiateEventSet());
    EXPECT_NE(project.log().find("IPSec :: startIPSecPolicy::Error 0\n"), std::string::npos);
    EXPECT_EQ(ikeext().startType, static_cast<DWORD>(SERVICE_DISABLED));
    EXPECT_EQ(ikeext().currentState, static_cast<DWORD>(SERVICE_STOPPED));

    // A second connect finds the daemon running and starts none.
    EXPECT_EQ(connectAndWait(), 0);
    EXPECT_EQ(countOf(project.charonStarts(), "start"), 1);
    EXPECT_EQ(project.callCount("--load-all"), 2);
}

TEST_F(StrongSwanControl, FiveFailedInitiatesGiveMinusNine) {
    project.answer("initiate", kPeerDown);
    // The success text beside "peer not responding" still counts as a failure.
    project.answer("initiate.2", std::string(kPeerDown) + "initiate completed successfully\n");
    EXPECT_EQ(connectAndWait(), -9);
    EXPECT_EQ(project.callCount("--initiate --child office_child"), 5);
    EXPECT_EQ(countOf(project.log(), "IPSec :: initiate Child SA Error::Peer not responding\n"), 5);
    EXPECT_NE(project.log().find("IPSec :: startIPSecPolicy::Error -9\n"), std::string::npos);
    EXPECT_TRUE(context.IsInitiateEventSet());

    // An answer without either text is a failure too; the third attempt succeeds.
    project.answer("initiate.6", "initiate failed: CHILD_SA config 'office_child' not found\n");
    project.answer("initiate.7", "");
    project.answer("initiate.8", kInitiated);
    EXPECT_EQ(connectAndWait(), 0);
    EXPECT_EQ(project.callCount("--initiate --child office_child"), 8);
}

TEST_F(StrongSwanControl, AStopRequestEndsTheWorkerWithMinusFour) {
    project.answer("initiate", kPeerDown);
    project.hold("initiate");
    ASSERT_EQ(context.Connect(&info, project.path), 0);
    ASSERT_TRUE(waitUntil([&] { return project.callCount("--initiate --child office_child") == 1; }));
    EXPECT_FALSE(context.IsInitiateEventSet());

    // The home page's time-out: the running attempt finishes, no further one is made.
    context.SetConnectFinished(true);
    project.release("initiate");
    ASSERT_TRUE(
        waitUntil([&] { return project.log().find("startIPSecPolicy::Error -4\n") != std::string::npos; }));
    EXPECT_EQ(context.GetConnectResult(), -4);
    EXPECT_EQ(project.callCount("--initiate --child office_child"), 1);
}

TEST_F(StrongSwanControl, AnEarlierWorkersOutcomeStaysOutOfANewerConnect) {
    project.answer("initiate", kPeerDown);
    project.answer("initiate.1", kInitiated);
    project.hold("initiate");
    ASSERT_EQ(context.Connect(&info, project.path), 0);
    ASSERT_TRUE(waitUntil([&] { return project.callCount("--initiate --child office_child") == 1; }));
    context.SetConnectFinished(true);

    // A new connect while the first worker is still inside its initiate.
    ASSERT_EQ(context.Connect(&info, project.path), 0);
    ASSERT_TRUE(waitUntil([&] { return project.callCount("--initiate --child office_child") == 2; }));
    project.release("initiate");

    // The first worker succeeds, yet the newer attempt is not finished by it.
    ASSERT_TRUE(
        waitUntil([&] { return project.log().find("startIPSecPolicy::Error 0\n") != std::string::npos; }));
    EXPECT_FALSE(context.GetConnectFinished());
    ASSERT_TRUE(waitUntil([&] { return context.GetConnectFinished(); }, 60000));
    EXPECT_EQ(context.GetConnectResult(), -9);
}

TEST_F(StrongSwanControl, PreparationFailuresSetIKEEXTBack) {
    // The daemon ends at once: -8, and IKEEXT is not left disabled.
    writeFile(ipsecDir() + "charon-double-exit", "");
    EXPECT_EQ(context.Connect(&info, project.path), -8);
    EXPECT_NE(project.log().find("IPSec :: startIPSecPolicy::Error -8\n"), std::string::npos);
    EXPECT_EQ(ikeext().startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(project.calls(), "");

    // No daemon program at all: the start fails, and -8 wins because nothing runs after it.
    std::remove((ipsecDir() + "charon-svc.exe").c_str());
    EXPECT_EQ(context.Connect(&info, project.path), -8);
    EXPECT_EQ(ikeext().startType, static_cast<DWORD>(SERVICE_AUTO_START));

    // IKEEXT cannot be switched: -7 before any lookup or start.
    project.installDoubles();
    std::remove((ipsecDir() + "charon-double-exit").c_str());
    ASSERT_TRUE(ServiceTableRemove("IKEEXT"));
    std::string startsBefore = project.charonStarts();
    EXPECT_EQ(context.Connect(&info, project.path), -7);
    EXPECT_EQ(project.charonStarts(), startsBefore);
    EXPECT_EQ(getCharonPid(), 0);
    // The earlier attempt's values are kept.
    EXPECT_EQ(context.GetConnectResult(), -1);
    EXPECT_FALSE(context.GetConnectFinished());
}

TEST_F(StrongSwanControl, ANameOutsideASCIIReachesStrongSwanInHex) {
    info.SetPolicyName("B\xc3\xbcro 1");
    project.answer("initiate", kInitiated);
    EXPECT_EQ(connectAndWait(), 0);
    EXPECT_EQ(project.callCount("--initiate --child u-42c3bc726f2031_child"), 1);
    project.answer("list", "u-42c3bc726f2031: #1, ESTABLISHED\n  u-42c3bc726f2031_child: #1, INSTALLED\n");
    EXPECT_EQ(context.CheckRekey("B\xc3\xbcro 1", project.path), 0);
    EXPECT_EQ(project.callCount("--initiate --child u-42c3bc726f2031_child"), 1);
    EXPECT_EQ(context.Terminate("B\xc3\xbcro 1", project.path), 0);
    EXPECT_TRUE(
        waitUntil([&] { return project.callCount("--terminate --force --ike u-42c3bc726f2031") == 1; }));
}

TEST_F(StrongSwanControl, TeardownTerminatesWaitsAndEndsTheDaemon) {
    project.answer("initiate", kInitiated);
    ASSERT_EQ(connectAndWait(), 0);
    ASSERT_EQ(context.StartRekeyTimer(), 0);
    EXPECT_TRUE(context.IsRekeyTimerActive());
    EXPECT_EQ(context.RekeyTimerInterval(), 60000);

    // The client starts the terminate command without waiting for it: its call is waited for.
    EXPECT_EQ(context.Terminate("office", project.path), 0);
    EXPECT_TRUE(waitUntil([&] { return project.callCount("--terminate --force --ike office") == 1; }));
    EXPECT_TRUE(waitUntil([] { return getCharonPid() == 0; }));
    EXPECT_FALSE(context.IsRekeyTimerActive());
    EXPECT_EQ(ikeext().startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(countOf(project.log(), "IPSec :: Timer Killed.\n"), 1);

    // Nothing runs any more: no terminate command, IKEEXT set back again, the lookup's 0.
    EXPECT_EQ(context.Terminate("office", project.path), 0);
    EXPECT_EQ(project.callCount("--terminate --force --ike office"), 1);
    EXPECT_EQ(countOf(project.log(), "IPSec :: Timer Killed.\n"), 2);
    EXPECT_EQ(
        countOf(project.log(), "change state to Enabled and change start state to SERVICE_AUTO_START!\n"), 2);
}

TEST_F(StrongSwanControl, CancelAfterTheWorkerEndedOnlyTearsDown) {
    project.answer("initiate", kInitiated);
    ASSERT_EQ(connectAndWait(), 0);
    context.Disconnect();
    EXPECT_TRUE(waitUntil([&] { return project.callCount("--terminate --force --ike office") == 1; }));
    EXPECT_TRUE(waitUntil([] { return getCharonPid() == 0; }));
}

TEST_F(StrongSwanControl, CancelBetweenAttemptsTerminatesThenEndsTheDaemon) {
    ASSERT_EQ(startCharon(project.path), 0);
    ASSERT_TRUE(waitForCharon(project.path));
    context.SetPolicyName("office");
    context.SetProjectPath(project.path);
    // An attempt with no initiate running (its event signalled).
    context.BeginConnectAttempt();
    context.Disconnect();
    EXPECT_TRUE(context.GetConnectFinished());
    EXPECT_TRUE(waitUntil([&] { return project.callCount("--terminate --force --ike office") == 1; }));
    EXPECT_TRUE(waitUntil([] { return getCharonPid() == 0; }));
    EXPECT_EQ(ikeext().startType, static_cast<DWORD>(SERVICE_AUTO_START));
}

TEST_F(StrongSwanControl, ACancelledConnectCanBeRepeatedAtOnce) {
    // The daemon takes a second to end: the new connect must not find it shutting down.
    writeFile(ipsecDir() + "charon-double-linger", "");
    project.answer("initiate", kPeerDown);
    project.answer("initiate.2", kInitiated);
    project.hold("initiate");
    ASSERT_EQ(context.Connect(&info, project.path), 0);
    ASSERT_TRUE(waitUntil([&] { return project.callCount("--initiate --child office_child") == 1; }));
    const int first = getCharonPid();
    context.Disconnect();
    project.release("initiate");

    EXPECT_EQ(connectAndWait(), 0);
    EXPECT_EQ(countOf(project.charonStarts(), "start"), 2);
    EXPECT_NE(getCharonPid(), first);
}

TEST_F(StrongSwanControl, CancelDuringAnInitiateEndsTheDaemonWithoutTerminate) {
    project.answer("initiate", kPeerDown);
    project.hold("initiate");
    ASSERT_EQ(context.Connect(&info, project.path), 0);
    ASSERT_TRUE(waitUntil([&] { return project.callCount("--initiate --child office_child") == 1; }));

    context.Disconnect();
    EXPECT_TRUE(waitUntil([] { return getCharonPid() == 0; }));
    project.release("initiate");
    ASSERT_TRUE(
        waitUntil([&] { return project.log().find("startIPSecPolicy::Error -4\n") != std::string::npos; }));
    EXPECT_EQ(project.callCount("--initiate --child office_child"), 1);
    // Checked last, when a terminate the client had started would long have been noted.
    EXPECT_EQ(project.callCount("--terminate --force --ike office"), 0);
}

TEST_F(StrongSwanControl, RekeyCheckActsOnTheChildSaState) {
    project.answer("initiate", kInitiated);
    ASSERT_EQ(connectAndWait(), 0);
    const std::string installed = "office: #1, ESTABLISHED\n  office_child: #1, reqid 1, INSTALLED, TUNNEL\n";
    const std::string rekeying = "office: #1, ESTABLISHED\n  office_child: #1, reqid 1, REKEYING, TUNNEL\n";

    project.answer("list", installed);
    EXPECT_EQ(context.CheckRekey("office", project.path), 0);
    EXPECT_EQ(project.callCount("--list-sas --noblock"), 1);
    EXPECT_EQ(project.callCount("--rekey --child office_child"), 0);

    // Rekeying: up to five rekeys; all failing gives -10.
    project.answer("list", rekeying);
    project.answer("rekey", "rekey failed\n");
    EXPECT_EQ(context.CheckRekey("office", project.path), -10);
    EXPECT_EQ(project.callCount("--rekey --child office_child"), 5);
    project.answer("rekey.7", "rekey completed successfully\n");
    EXPECT_EQ(context.CheckRekey("office", project.path), 0);
    EXPECT_EQ(project.callCount("--rekey --child office_child"), 7);

    // Absent: the child SA is initiated again.
    project.answer("list", "office: #1, CONNECTING\n");
    project.answer("initiate", kPeerDown);
    EXPECT_EQ(context.CheckRekey("office", project.path), -9);
    EXPECT_EQ(project.callCount("--initiate --child office_child"), 6);
    EXPECT_NE(project.log().find("IPSec :: RECONNECT::ErrorCode:-9!\n"), std::string::npos);

    // The timer's procedure logs a failed check.
    project.answer("list", rekeying);
    IPSecVPNContext::RekeyTimerProc();
    EXPECT_NE(project.log().find(" RekeyEnd: ErrorCode -10\n"), std::string::npos);
}

TEST_F(StrongSwanControl, ReconnectRestartsTheDaemonAndLoadsBeforeInitiating) {
    project.answer("initiate", kInitiated);
    ASSERT_EQ(connectAndWait(), 0);
    ASSERT_EQ(stopCharon(), 0);
    ASSERT_TRUE(waitUntil([] { return getCharonPid() == 0; }));

    // The listing ends without output: the runner answers "Failed" and the check reconnects.
    EXPECT_EQ(context.CheckRekey("office", project.path), 0);
    EXPECT_NE(project.log().find("IPSec :: list sas failed.\n"), std::string::npos);
    EXPECT_NE(project.log().find("IPSec :: Reconnection start......\n"), std::string::npos);
    EXPECT_NE(project.log().find("IPSec :: Reconnection::ErororCode 0.\n"), std::string::npos);
    EXPECT_EQ(countOf(project.charonStarts(), "start"), 2);
    std::string calls = project.calls();
    std::string::size_type lastLoad = calls.rfind("|--load-all\n");
    std::string::size_type lastInitiate = calls.rfind("|--initiate --child office_child\n");
    EXPECT_EQ(project.callCount("--load-all"), 2);
    EXPECT_LT(calls.rfind("|--list-sas --noblock\n"), lastLoad);
    EXPECT_LT(lastLoad, lastInitiate);
}

TEST(RekeyTimer, ProcedureWithoutAContextLogsAndDoesNothing) {
    ProjectFolder project;
    IPSecVPNContext::RekeyTimerProc();
    EXPECT_NE(project.log().find(" RekeyTimerError: IPSEC Context null\n"), std::string::npos);
    EXPECT_EQ(project.log().find("list-sas"), std::string::npos);
}

int main(int argc, char** argv) {
    // The rekey timer is a QTimer and needs the application's event dispatcher.
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
