// Registration of the kernel-mode port I/O driver rarEV as a service of Windows NT.
#pragma once

#include <win32/windows.h>

extern "C" {
// 1: installed, or nothing to do on a platform other than Windows NT; 2: the service exists
// already; 0: the service manager could not be opened or the service not created.
PF_API int TestDLL();
}
