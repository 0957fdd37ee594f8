// Errors, the error mode, time of day, version and the machine's folders.
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <sys/syscall.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "handles.h"
#include "machine.h"

namespace pinforge {

HandleTable& HandleTable::Get() {
  static HandleTable* table = new HandleTable();  // outlives static destructors of callers
  return *table;
}

HANDLE HandleTable::Add(std::shared_ptr<KernelObject> object) {
  std::lock_guard lock(mutex_);
  HANDLE h = next_;
  next_ += 4;
  if (next_ >= 0x7FFFFFF0u) next_ = 0x100;
  objects_[h] = std::move(object);
  return h;
}

std::shared_ptr<KernelObject> HandleTable::Remove(HANDLE handle) {
  std::lock_guard lock(mutex_);
  auto it = objects_.find(handle);
  if (it == objects_.end()) return nullptr;
  auto object = std::move(it->second);
  objects_.erase(it);
  return object;
}

DWORD ErrorFromErrno(int err) {
  switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES: case EPERM: case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOSPC: return ERROR_DISK_FULL;
    case EMFILE: case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EROFS: return ERROR_WRITE_PROTECT;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    default: return ERROR_GEN_FAILURE;
  }
}

DWORD CopyOut(const std::string& text, LPSTR buffer, DWORD size) {
  if (!buffer || size <= text.size()) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

}  // namespace pinforge

using namespace pinforge;

namespace {
thread_local DWORD tLastError = 0;
std::atomic<UINT> gErrorMode{0};
}  // namespace

extern "C" {

DWORD WINAPI GetLastError() { return tLastError; }
void WINAPI SetLastError(DWORD code) { tLastError = code; }
UINT WINAPI SetErrorMode(UINT mode) { return gErrorMode.exchange(mode); }

DWORD WINAPI GetTickCount() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<DWORD>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

void WINAPI Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

DWORD WINAPI GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }

DWORD WINAPI GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

BOOL WINAPI GetVersionExA(OSVERSIONINFOA* info) {
  if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  Machine& m = Machine::Get();
  info->dwMajorVersion = m.VersionMajor();
  info->dwMinorVersion = m.VersionMinor();
  info->dwBuildNumber = m.VersionBuild();
  info->dwPlatformId = m.IsNT() ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  std::strncpy(info->szCSDVersion, m.CsdVersion().c_str(), sizeof info->szCSDVersion - 1);
  return TRUE;
}

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) { return CopyOut(Machine::Get().WindowsDir(), buffer, size); }
UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) { return CopyOut(Machine::Get().SystemDir(), buffer, size); }

DWORD WINAPI GetTempPathA(DWORD size, LPSTR buffer) {
  std::string temp = Machine::Get().WindowsDir() + "\\TEMP";
  paths::Mapped m;
  if (paths::ToHost(temp, m) && !m.exists) mkdir(m.host.c_str(), 0777);
  return CopyOut(temp + "\\", buffer, size);
}

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer) { return CopyOut(Machine::Get().CurrentDirectory(), buffer, size); }

BOOL WINAPI SetCurrentDirectoryA(LPCSTR path) {
  std::string full;
  paths::Mapped m;
  if (!path || !paths::FullPath(path, full) || !paths::ToHost(full, m)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  struct stat st;
  if (!m.exists || stat(m.host.c_str(), &st) != 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (!S_ISDIR(st.st_mode)) {
    SetLastError(267);  // ERROR_DIRECTORY
    return FALSE;
  }
  if (full.size() > 3 && full.back() == '\\') full.pop_back();
  Machine::Get().SetCurrentDirectory(full);
  return TRUE;
}

DWORD WINAPI GetFullPathNameA(LPCSTR fileName, DWORD size, LPSTR buffer, LPSTR* filePart) {
  std::string full;
  if (!fileName || !paths::FullPath(fileName, full)) {
    SetLastError(ERROR_INVALID_NAME);
    return 0;
  }
  DWORD n = CopyOut(full, buffer, size);
  if (filePart && n < size) {
    auto slash = full.find_last_of('\\');
    *filePart = slash + 1 < full.size() ? buffer + slash + 1 : nullptr;
  }
  return n;
}

}  // extern "C"
