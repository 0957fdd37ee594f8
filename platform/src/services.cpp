// The service manager. Its database is the registry, as Windows NT keeps it: one key a service
// under HKLM\SYSTEM\CurrentControlSet\Services. Windows 9x has none.
#include <win32/windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "handles.h"
#include "machine.h"
#include "text.h"

using namespace pinforge;

namespace {

constexpr const char* kServices = "SYSTEM\\CurrentControlSet\\Services";
// What a user who is not an administrator may ask of the manager.
constexpr DWORD kUserAccess = SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS | 0x20000;

struct Manager : KernelObject {
  DWORD access;
  explicit Manager(DWORD a) : access(a) {}
};

struct Service : KernelObject {
  std::string name;
  DWORD access;
  Service(std::string n, DWORD a) : name(std::move(n)), access(a) {}
};

SC_HANDLE Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

bool ValidName(LPCSTR name) {
  if (!name || !*name) return false;
  std::size_t n = std::strlen(name);
  return n <= 256 && !std::strpbrk(name, "\\/");
}

// The service's key when the service exists (a key with a Type value).
bool FindService(const std::string& name, std::string& spelled) {
  HKEY services;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServices, 0, KEY_READ, &services) != ERROR_SUCCESS) return false;
  bool found = false;
  char buf[300];
  for (DWORD i = 0; !found; ++i) {
    DWORD size = sizeof buf;
    if (RegEnumKeyExA(services, i, buf, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (!text::EqualNoCase(buf, name)) continue;
    HKEY key;
    if (RegOpenKeyExA(services, buf, 0, KEY_READ, &key) == ERROR_SUCCESS) {
      found = RegQueryValueExA(key, "Type", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
      RegCloseKey(key);
      spelled = buf;
    }
  }
  RegCloseKey(services);
  return found;
}

// True when another service already shows this display name (or is named so).
bool DisplayNameTaken(const std::string& display) {
  HKEY services;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServices, 0, KEY_READ, &services) != ERROR_SUCCESS) return false;
  bool taken = false;
  char name[300], value[1024];
  for (DWORD i = 0; !taken; ++i) {
    DWORD size = sizeof name;
    if (RegEnumKeyExA(services, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY key;
    if (RegOpenKeyExA(services, name, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    DWORD vsize = sizeof value - 1;
    if (RegQueryValueExA(key, "Type", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
      taken = text::EqualNoCase(name, display);
      if (RegQueryValueExA(key, "DisplayName", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &vsize) == ERROR_SUCCESS) {
        value[vsize] = 0;
        taken = taken || text::EqualNoCase(value, display);
      }
    }
    RegCloseKey(key);
  }
  RegCloseKey(services);
  return taken;
}

LONG PutDword(HKEY key, const char* name, DWORD v) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
}

LONG PutString(HKEY key, const char* name, DWORD type, const std::string& v) {
  return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(v.c_str()), static_cast<DWORD>(v.size() + 1));
}

}  // namespace

extern "C" {

SC_HANDLE WINAPI OpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access) {
  Machine& m = Machine::Get();
  if (!m.IsNT()) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  if (machine && *machine) {
    std::string name = machine;
    if (name.rfind("\\\\", 0) == 0) name = name.substr(2);
    if (!text::EqualNoCase(name, "localhost") && !text::EqualNoCase(name, ".")) return Fail(1722);  // RPC_S_SERVER_UNAVAILABLE
  }
  if (database && *database && !text::EqualNoCase(database, "ServicesActive")) return Fail(ERROR_DATABASE_DOES_NOT_EXIST);
  if (!m.Admin() && (access & ~kUserAccess)) return Fail(ERROR_ACCESS_DENIED);
  return HandleTable::Get().Add(std::make_shared<Manager>(access));
}

SC_HANDLE WINAPI OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access) {
  auto scm = HandleTable::Get().Find<Manager>(manager);
  if (!scm) return Fail(ERROR_INVALID_HANDLE);
  if (!ValidName(name)) return Fail(ERROR_INVALID_NAME);
  std::string spelled;
  if (!FindService(name, spelled)) return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
  // Reading a service is open to everyone; changing one needs an administrator.
  if (!Machine::Get().Admin() && (access & ~(SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | 0x8 | 0x80 | 0x20000)))
    return Fail(ERROR_ACCESS_DENIED);
  return HandleTable::Get().Add(std::make_shared<Service>(spelled, access));
}

SC_HANDLE WINAPI CreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR displayName, DWORD access, DWORD serviceType,
                                DWORD startType, DWORD errorControl, LPCSTR binaryPath, LPCSTR loadOrderGroup,
                                LPDWORD tagId, LPCSTR dependencies, LPCSTR serviceStartName, LPCSTR) {
  auto scm = HandleTable::Get().Find<Manager>(manager);
  if (!scm) return Fail(ERROR_INVALID_HANDLE);
  if (!(scm->access & SC_MANAGER_CREATE_SERVICE)) return Fail(ERROR_ACCESS_DENIED);
  if (!ValidName(name)) return Fail(ERROR_INVALID_NAME);
  bool driver = serviceType == SERVICE_KERNEL_DRIVER || serviceType == SERVICE_FILE_SYSTEM_DRIVER;
  DWORD win32 = serviceType & ~SERVICE_INTERACTIVE_PROCESS;
  bool process = win32 == SERVICE_WIN32_OWN_PROCESS || win32 == SERVICE_WIN32_SHARE_PROCESS;
  if (!driver && !process) return Fail(ERROR_INVALID_PARAMETER);
  if (startType > SERVICE_DISABLED || (!driver && startType < SERVICE_AUTO_START)) return Fail(ERROR_INVALID_PARAMETER);
  if (errorControl > SERVICE_ERROR_CRITICAL || !binaryPath || !*binaryPath) return Fail(ERROR_INVALID_PARAMETER);
  if (tagId && (!driver || !loadOrderGroup || !*loadOrderGroup)) return Fail(ERROR_INVALID_PARAMETER);
  std::string display = displayName && *displayName ? displayName : name;
  if (display.size() > 256) return Fail(ERROR_INVALID_NAME);
  std::string spelled;
  if (FindService(name, spelled)) return Fail(ERROR_SERVICE_EXISTS);
  if (DisplayNameTaken(display) || DisplayNameTaken(name)) return Fail(ERROR_DUPLICATE_SERVICE_NAME);

  std::string path = std::string(kServices) + "\\" + name;
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return Fail(ERROR_ACCESS_DENIED);
  LONG err = PutDword(key, "Type", serviceType);
  if (!err) err = PutDword(key, "Start", startType);
  if (!err) err = PutDword(key, "ErrorControl", errorControl);
  if (!err) err = PutString(key, "ImagePath", REG_EXPAND_SZ, binaryPath);
  if (!err) err = PutString(key, "DisplayName", REG_SZ, display);
  if (!err && loadOrderGroup && *loadOrderGroup) err = PutString(key, "Group", REG_SZ, loadOrderGroup);
  if (!err && dependencies && *dependencies) {
    std::string list;
    for (const char* p = dependencies; *p; p += std::strlen(p) + 1) list += std::string(p) + '\0';
    err = RegSetValueExA(key, "DependOnService", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list.c_str()),
                         static_cast<DWORD>(list.size() + 1));
  }
  if (!err && process) err = PutString(key, "ObjectName", REG_SZ, serviceStartName && *serviceStartName ? serviceStartName : "LocalSystem");
  if (!err && tagId) {
    *tagId = 1;
    err = PutDword(key, "Tag", *tagId);
  }
  RegCloseKey(key);
  if (err) {
    // Nothing half-made stays behind.
    HKEY services;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServices, 0, KEY_ALL_ACCESS, &services) == ERROR_SUCCESS) {
      RegDeleteKeyA(services, name);
      RegCloseKey(services);
    }
    return Fail(static_cast<DWORD>(err));
  }
  return HandleTable::Get().Add(std::make_shared<Service>(name, access));
}

BOOL WINAPI CloseServiceHandle(SC_HANDLE handle) {
  bool ours = HandleTable::Get().Find<Manager>(handle) || HandleTable::Get().Find<Service>(handle);
  if (!ours) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return CloseHandle(handle);
}

}  // extern "C"
