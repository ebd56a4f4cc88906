// Runs the client benchmark (bench_client_run, beside this program) in a scratch folder:
// the working directory, HOME and the XDG folders are a new temporary folder, which is
// removed afterwards. Arguments are handed on.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <ftw.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

} // namespace

int main(int argc, char** argv) {
    const char* tmp = getenv("TMPDIR");
    std::string scratch =
        std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/bench_client.XXXXXX";
    if (mkdtemp(&scratch[0]) == nullptr) {
        perror("bench_client: scratch folder");
        return 1;
    }
    std::string self = argv[0];
    const size_t slash = self.rfind('/');
    const std::string program =
        (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/bench_client_run";
    // The program's path is taken before the working directory changes.
    char resolved[4096];
    if (realpath(program.c_str(), resolved) == nullptr) {
        perror("bench_client: bench_client_run");
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
        fprintf(stderr, "bench_client: could not remove %s\n", scratch.c_str());
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
