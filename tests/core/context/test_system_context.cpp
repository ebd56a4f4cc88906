// SystemContext is created before main: the log file with its first lines, the data
// folder and the crash handler are in place when a test starts. Child runs of this same
// program show what one start leaves behind (two starts in one second, a crash).
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTranslator>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <iostream>
#include <string>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "AppContext.h"
#include "ProcessPipe.h"
#include "SystemContext.h"
#include "zrwlog.h"

namespace {

QString ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString LogPathIn(const QByteArray& output) {
    return QRegularExpression("\\nLOGPATH=([^\\n]*)\\n").match(QString::fromUtf8(output)).captured(1);
}

QString SelfPath() {
    return QFileInfo("/proc/self/exe").symLinkTarget();
}

TEST(SystemContextStart, LogFileAndDataFolderExistBeforeMain) {
    SystemContext* context = SystemContext::Instance();
    ASSERT_NE(context, nullptr);
    AppContext* app = context->GetAppContext();
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app->IsStarted(), 0);

    const QString logPath = QString::fromUtf8(app->GetLogPath());
    EXPECT_TRUE(QRegularExpression("^Halvex_log//Korva VPN__x64_1\\.0\\.0_\\d{8}_\\d{6}(_\\d+)?\\.log$")
                    .match(logPath)
                    .hasMatch())
        << logPath.toStdString();
    const QString dataFolder = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Halvex/Korva VPN/";
    EXPECT_EQ(QString::fromUtf8(app->GetDataPath()), dataFolder);
    struct stat st {};
    ASSERT_EQ(stat(dataFolder.toUtf8().constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    const QString stamp = "\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\] ";
    const QString text = ReadFile(logPath);
    EXPECT_TRUE(QRegularExpression("^" + stamp + "System :: \\*{8} InitSystemContext \\*{8}\\n" + stamp +
                                   "System :: Set datapath: " + QRegularExpression::escape(dataFolder) +
                                   "\\n")
                    .match(text)
                    .hasMatch())
        << text.toStdString();
}

TEST(SystemContextStart, HoldsOneTranslatorAndTheApplication) {
    int argc = 1;
    char arg0[] = "test";
    char* argv[] = {arg0, nullptr};
    QCoreApplication app(argc, argv);
    SystemContext* context = SystemContext::Instance();
    EXPECT_EQ(SystemContext::GetSettingManager()->colorMode(), -1);
    context->SetApplication(&app);
    EXPECT_EQ(context->GetApplication(), &app);
    QTranslator* translator = context->GetTranslator();
    ASSERT_NE(translator, nullptr);
    EXPECT_EQ(context->GetTranslator(), translator);
    EXPECT_EQ(translator->parent(), &app);
    // The application deletes the translator; the context must not hand it out after.
    context->SetTranslator(nullptr);
    context->SetApplication(nullptr);
}

// Runs this program as a child that reports its log path and waits for its input to end.
struct Child {
    QProcess process;
    QString logPath;
    bool Start(const QString& workDir) {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("KORVA_CONTEXT_CHILD", "report");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(workDir);
        process.start(SelfPath(), QStringList());
        if (!process.waitForStarted(10000)) {
            return false;
        }
        // The log also writes to the console; the path comes on its own marked line.
        QByteArray output;
        while (!output.contains("\nLOGPATH=") || !output.endsWith('\n')) {
            if (!process.waitForReadyRead(10000)) {
                return false;
            }
            output += process.readAll();
        }
        logPath = LogPathIn(output);
        return !logPath.isEmpty();
    }
    void Finish() {
        process.closeWriteChannel();
        process.waitForFinished(10000);
    }
};

TEST(SystemContextStart, SecondStartInTheSameSecondKeepsTheFirstLog) {
    const QString work = QDir::currentPath() + "/twostarts";
    QDir().mkpath(work);
    // Two starts fall into one second on the first or one of the next tries.
    for (int attempt = 0; attempt < 10; ++attempt) {
        Child first;
        Child second;
        ASSERT_TRUE(first.Start(work));
        ASSERT_TRUE(second.Start(work));
        auto stem = [](const QString& path) {
            return QRegularExpression("_(\\d{8}_\\d{6})").match(path).captured(1);
        };
        if (stem(first.logPath) != stem(second.logPath)) {
            first.Finish();
            second.Finish();
            continue;
        }
        EXPECT_NE(first.logPath, second.logPath);
        EXPECT_TRUE(ReadFile(work + "/" + first.logPath).contains("InitSystemContext"));
        EXPECT_TRUE(ReadFile(work + "/" + second.logPath).contains("InitSystemContext"));
        first.Finish();
        second.Finish();
        return;
    }
    GTEST_SKIP() << "no two starts fell into the same second";
}

// Runs this program once in report mode, traced by this process as a debugger would
// trace it when traced is set, and gives what it wrote to standard error. The exit code
// is 121 when tracing is not allowed here.
int RunReportChild(const std::string& work, bool traced, std::string* errors) {
    const std::string self = SelfPath().toStdString();
    const std::string errPath = work + "/stderr.txt";
    std::vector<std::string> envText;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "KORVA_CONTEXT_CHILD=", 20) != 0) {
            envText.push_back(*e);
        }
    }
    envText.push_back("KORVA_CONTEXT_CHILD=report");
    std::vector<char*> envp;
    for (auto& text : envText) {
        envp.push_back(&text[0]);
    }
    envp.push_back(nullptr);
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int in = open("/dev/null", O_RDONLY);
        int out = open("/dev/null", O_WRONLY);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
            chdir(work.c_str()) != 0) {
            _exit(120);
        }
        if (traced && ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) {
            _exit(121);
        }
        execle(self.c_str(), self.c_str(), static_cast<char*>(nullptr), envp.data());
        _exit(122);
    }
    int status = 0;
    while (pid > 0 && waitpid(pid, &status, 0) == pid && WIFSTOPPED(status)) {
        // Pass on every signal but the tracer's own stops.
        int signal = WSTOPSIG(status) == SIGTRAP ? 0 : WSTOPSIG(status);
        ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(static_cast<intptr_t>(signal)));
    }
    *errors = ReadFile(QString::fromStdString(errPath)).toStdString();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SystemContextStart, AttachedDebuggerAlsoReceivesEveryLine) {
    const std::string work = QDir::currentPath().toStdString() + "/debugger";
    QDir().mkpath(QString::fromStdString(work));
    const std::string first = "System :: ******** InitSystemContext ********\n";
    std::string errors;
    ASSERT_EQ(RunReportChild(work, false, &errors), 0) << errors;
    EXPECT_EQ(errors.find(first), std::string::npos) << errors;

    int code = RunReportChild(work, true, &errors);
    if (code == 121) {
        GTEST_SKIP() << "this machine does not allow a process to be traced";
    }
    ASSERT_EQ(code, 0) << errors;
    EXPECT_EQ(errors.rfind(first + "System :: Set datapath: ", 0), 0u) << errors;
}

// The SIGPIPE bit of a process's ignored signals, from /proc/PID/status.
bool IgnoresSigpipe(const std::string& status) {
    size_t at = status.find("\nSigIgn:\t");
    return at != std::string::npos &&
           (std::stoull(status.substr(at + 9, 16), nullptr, 16) & (1ull << (SIGPIPE - 1)));
}

TEST(SystemContextStart, AClosedConsoleNeverEndsTheClientAndStartedProgramsKeepSigpipe) {
    EXPECT_TRUE(IgnoresSigpipe(ReadFile("/proc/self/status").toStdString()));
    ProcessPipe pipe;
    std::string childStatus = pipe.ExecuteCommand("cat /proc/self/status", true);
    ASSERT_NE(childStatus.find("SigIgn:"), std::string::npos) << childStatus;
    EXPECT_FALSE(IgnoresSigpipe(childStatus)) << childStatus;

    // A start whose console output goes into a pipe that nobody reads any more logs on
    // to its end, and its log file holds every record.
    const QString work = QDir::currentPath() + "/closedpipe";
    QDir().mkpath(work);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    close(ends[0]);
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int in = open("/dev/null", O_RDONLY);
        if (in < 0 || dup2(in, 0) < 0 || dup2(ends[1], 1) < 0 || chdir(work.toUtf8().constData()) != 0 ||
            setenv("KORVA_CONTEXT_CHILD", "flood", 1) != 0) {
            _exit(120);
        }
        const std::string self = SelfPath().toStdString();
        execl(self.c_str(), self.c_str(), static_cast<char*>(nullptr));
        _exit(122);
    }
    close(ends[1]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const QStringList logs = QDir(work + "/Halvex_log").entryList({"*.log"});
    ASSERT_EQ(logs.size(), 1);
    const QString log = ReadFile(work + "/Halvex_log/" + logs[0]);
    EXPECT_TRUE(log.contains("record 999 of the flood\n")) << log.right(300).toStdString();
}

TEST(SystemContextStart, CrashIsReportedInTheLogAndEndsWithTheSignal) {
    // This process's own log file stays out of the child: the crash report goes into the
    // log file that the crashing process itself opened.
    ZRWLogClose();
    const QString work = QDir::currentPath() + "/crash";
    QDir().mkpath(work);
    QProcess process;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("KORVA_CONTEXT_CHILD", "crash");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(work);
    process.start(SelfPath(), QStringList());
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 128 + SIGSEGV) << errors.toStdString();
    EXPECT_TRUE(errors.contains(
        "Sorry. Application exception occurs. Please refer to log files for more information."))
        << errors.toStdString();
    const QString logPath = LogPathIn(output.toUtf8());
    ASSERT_FALSE(logPath.isEmpty()) << output.toStdString();
    const QString log = ReadFile(work + "/" + logPath);
    EXPECT_TRUE(log.contains("CrashInfo: \r\n")) << log.toStdString();
    EXPECT_TRUE(log.contains("ErrorCode: C0000005\r\n")) << log.toStdString();
    EXPECT_TRUE(log.contains("IPCDataStatisticsModule::" + qEnvironmentVariable("XDG_CONFIG_HOME") +
                             "/Halvex/Korva VPN/crash_x64_"))
        << log.toStdString();
}

// A real invalid write for the crash handler to catch. UndefinedBehaviorSanitizer would
// stop at the null store first, so its check is off here.
__attribute__((no_sanitize("undefined"))) void writeNowhere() {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
}

} // namespace

int main(int argc, char** argv) {
    const char* mode = std::getenv("KORVA_CONTEXT_CHILD");
    if (mode != nullptr && std::string(mode) == "flood") {
        for (int i = 0; i < 1000; ++i) {
            ZRWLog(6, 3, "System :: record %d of the flood\n", i);
        }
        return 0;
    }
    if (mode != nullptr) {
        std::cout << "\nLOGPATH=" << SystemContext::Instance()->GetAppContext()->GetLogPath() << std::endl;
        if (std::string(mode) == "crash") {
            writeNowhere();
        }
        char c;
        while (std::cin.get(c)) {
        }
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
