// The program's entry: elevation when started without administrator rights, then the
// client's run from its single-instance test to its stop.
#include "ClientMain.h"
#include "Elevation.h"
#include "NeedAdminMessage.h"

// Runs before static initialisation creates the system context, which makes the data
// folder from the environment: an elevated run takes the invoking user's folders first.
__attribute__((constructor(101))) static void TakeInvokingUserFolders() {
    RestoreInvokingUserEnvironment();
}

int main(int argc, char* argv[]) {
    int exitCode = 0;
    if (RunElevated(argc, argv, &exitCode, ShowNeedAdminMessage)) {
        return exitCode;
    }
    return RunClient(argc, argv);
}
