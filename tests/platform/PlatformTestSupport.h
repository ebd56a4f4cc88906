// Helpers shared by the platform tests.
#pragma once

#include "zrwlog.h"

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace platformtest {

inline std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

inline bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

inline std::string WorkDir() {
    char cwd[4096];
    return getcwd(cwd, sizeof(cwd)) != nullptr ? cwd : ".";
}

// Polls until the condition holds, for at most timeoutMs; generous by design, so that a
// loaded machine does not fail a test.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

// Sends the log to a file of its own, so a test can read the lines it caused.
class LogCapture {
public:
    explicit LogCapture(const std::string& name = "platform-test.log") : path(WorkDir() + "/" + name) {
        ZRWLogReset();
        ZRWLogOpenFile(path.c_str());
    }
    ~LogCapture() { ZRWLogClose(); }
    std::string Text() const { return ReadText(path); }

private:
    std::string path;
};

} // namespace platformtest
