// A shared object that leaves a mark when anything loads it: the real OpenVPN tests give
// it to a profile as an openvpn plug-in, which the client must never load.
#include <fcntl.h>
#include <unistd.h>

namespace {

__attribute__((constructor)) void leaveMark() {
    // In the working folder of whoever loaded it (openvpn runs in the client's).
    const int fd = open("korva-plugin-loaded", O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
        close(fd);
    }
}

} // namespace
