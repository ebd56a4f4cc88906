// The few Windows scalar types and the thread's last-error code that the platform
// layer's Windows-shaped interfaces use. On Linux the error code is kept per thread by
// the layer itself; it holds a Windows error number where the caller compares against
// one (ERROR_SERVICE_DOES_NOT_EXIST), and errno values elsewhere.
#pragma once

#include <cstdint>

typedef uint32_t DWORD;
typedef int BOOL;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

DWORD GetLastError();
void SetLastError(DWORD code);
