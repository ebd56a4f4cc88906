// Runs a benchmark's program (TOOL_run, beside the calling program) in a scratch folder:
// the working directory, HOME and the XDG folders are a new temporary folder, which is
// removed afterwards. Arguments are handed on; the result is the program's exit code.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <ftw.h>
#include <sys/wait.h>
#include <unistd.h>

namespace scratchrun {

inline int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

inline int RunInScratchFolder(const std::string& tool, int argc, char** argv) {
    const char* tmp = getenv("TMPDIR");
    std::string scratch =
        std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/" + tool + ".XXXXXX";
    if (mkdtemp(&scratch[0]) == nullptr) {
        perror((tool + ": scratch folder").c_str());
        return 1;
    }
    std::string self = argv[0];
    const size_t slash = self.rfind('/');
    const std::string program =
        (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/" + tool + "_run";
    // The program's path is taken before the working directory changes.
    char resolved[4096];
    if (realpath(program.c_str(), resolved) == nullptr) {
        perror((tool + ": " + tool + "_run").c_str());
        return 1;
    }

    const pid_t child = fork();
    if (child == 0) {
        if (chdir(scratch.c_str()) != 0) {
            _exit(127);
        }
        setenv("HOME", scratch.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (scratch + "/config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", scratch.c_str(), 1);
        setenv("KORVA_RUN_DIR", (scratch + "/run").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        std::vector<char*> args{resolved};
        for (int i = 1; i < argc; ++i) {
            args.push_back(argv[i]);
        }
        args.push_back(nullptr);
        execv(resolved, args.data());
        _exit(127);
    }
    int status = 1;
    waitpid(child, &status, 0);
    if (nftw(scratch.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS) != 0) {
        fprintf(stderr, "%s: could not remove %s\n", tool.c_str(), scratch.c_str());
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace scratchrun
