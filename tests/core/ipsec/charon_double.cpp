// Test double of strongSwan's daemon, built under the image name charon-svc.exe. In its
// working directory (the strongSwan folder) it notes each start in charon-starts.log,
// ends at once when the file charon-double-exit exists, and otherwise opens the control
// socket charon.vici and runs until SIGTERM, noting "stop". While the file
// charon-double-linger exists it takes a second to end after SIGTERM, as a daemon that
// closes its connections does.
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

static void note(const char* text) {
    FILE* file = std::fopen("charon-starts.log", "a");
    if (file != nullptr) {
        std::fprintf(file, "%s %d\n", text, static_cast<int>(getpid()));
        std::fclose(file);
    }
}

static void onTerminate(int) {
    note("stop");
    if (access("charon-double-linger", F_OK) == 0) {
        sleep(1);
    }
    _exit(0);
}

int main() {
    note("start");
    if (access("charon-double-exit", F_OK) == 0) {
        return 1;
    }
    std::signal(SIGTERM, onTerminate);
    unlink("charon.vici");
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", "charon.vici");
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(fd, 16) != 0) {
        return 2;
    }
    for (;;) {
        pause();
    }
}
