#include "WinCompat.h"

namespace {
thread_local DWORD tLastError = 0;
}

DWORD GetLastError() {
    return tLastError;
}

void SetLastError(DWORD code) {
    tLastError = code;
}
