// The client program as a test starts it: placed in a folder of the test's own, so that the
// program's own folder (where the client works, runs its bundle and writes its log) is the
// test's and not the build's. The program is a hard link of the built one (a copy where no
// link can be made), the bundle a copy. Header-only.
#pragma once

#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "ThrowawayUser.h"

namespace testsupport {

// The placed program's path, or empty when it cannot be placed.
inline std::string PlaceClient(const std::string& folder, const std::string& appDir = KORVA_APP_DIR) {
    mkdir(folder.c_str(), 0755);
    const std::string program = folder + "/korva-vpn";
    unlink(program.c_str());
    if (link((appDir + "/korva-vpn").c_str(), program.c_str()) != 0 &&
        RunProgram({"cp", "-p", appDir + "/korva-vpn", program}) != 0) {
        return std::string();
    }
    if (RunProgram({"cp", "-a", appDir + "/bin", appDir + "/driver", folder + "/"}) != 0) {
        return std::string();
    }
    return program;
}

} // namespace testsupport
