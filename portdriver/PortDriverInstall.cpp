#include "PortDriverInstall.h"

#include <vcl/Forms.h>

#include <cstring>
#include <memory>

namespace {

constexpr const char* kService = "rarEV";

// The library's own application object, through which its boxes are shown.
TApplication& LibraryApplication() {
  static std::unique_ptr<TApplication> app = std::make_unique<TApplication>(nullptr, true);
  return *app;
}

void Box(const char* text) { LibraryApplication().MessageBox(text, "", MB_OK); }

}  // namespace

extern "C" int TestDLL() {
  OSVERSIONINFOA version;
  std::memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  bool nt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;

  char system[MAX_PATH];
  UINT n = GetSystemDirectoryA(system, sizeof system);
  if (n == 0 || n >= sizeof system) system[0] = 0;
  AnsiString drivers = AnsiString(system) + "\\DRIVERS";
  if (!nt) return 1;
  AnsiString binary = drivers + "\\" + kService + ".SYS";

  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager) {
    // A failure whatever the last-error code reads after the box.
    Box("Connect to the SCM fails.");
    return 0;
  }
  if (SC_HANDLE existing = OpenServiceA(manager, kService, SERVICE_QUERY_STATUS)) {
    CloseServiceHandle(existing);
    CloseServiceHandle(manager);
    return 2;
  }
  SC_HANDLE service = CreateServiceA(manager, kService, kService, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                     SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, binary.c_str(), kService, nullptr,
                                     nullptr, nullptr, nullptr);
  if (!service) {
    Box("Please run setup again.");
    CloseServiceHandle(manager);
    return 0;
  }
  Box("Install I/O driver success.");
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return 1;
}
