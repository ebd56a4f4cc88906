// The program's entry: elevation when started without administrator rights, then the
// client's run from its single-instance test to its stop.
#include <cstdio>
#include <string>
#include <unistd.h>

#include "ClientMain.h"
#include "Elevation.h"
#include "NeedAdminMessage.h"

// The first step of every run, before static initialisation creates the system context
// (which makes the data and log folders): the program's own folder becomes the working
// directory, so that only the bundle beside the program runs, and an elevated run keeps
// nothing of its caller's session.
__attribute__((constructor(101))) static void PrepareProcess() {
    std::string error;
    if (!ChangeToProgramFolder(&error)) {
        std::fprintf(stderr, "korva-vpn: cannot work in the program's own folder (%s)\n", error.c_str());
        _exit(1);
    }
    CleanElevatedEnvironment();
}

int main(int argc, char* argv[]) {
    int exitCode = 0;
    if (RunElevated(argc, argv, &exitCode, ShowNeedAdminMessage)) {
        return exitCode;
    }
    return RunClient(argc, argv);
}
