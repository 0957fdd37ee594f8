#include "windows.h"

#include <cstring>
#include <map>
#include <mutex>

namespace pinforge::win {
namespace {

struct Window {
  std::string className;
  std::string caption;
  HWND owner;
  DWORD thread;
};

std::mutex gMutex;
std::map<HWND, Window>& Table() {
  static auto* t = new std::map<HWND, Window>();
  return *t;
}
HWND gNext = 0x00010010;

}  // namespace

HWND Create(const std::string& className, const std::string& caption, HWND owner) {
  std::lock_guard lock(gMutex);
  HWND h = gNext;
  gNext += 0x10;
  Table()[h] = {className, caption, owner, GetCurrentThreadId()};
  return h;
}

}  // namespace pinforge::win

using namespace pinforge::win;

extern "C" {

BOOL WINAPI IsWindow(HWND window) {
  std::lock_guard lock(gMutex);
  return Table().count(window) ? TRUE : FALSE;
}

BOOL WINAPI DestroyWindow(HWND window) {
  std::lock_guard lock(gMutex);
  if (!Table().erase(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  std::lock_guard lock(gMutex);
  auto it = Table().find(window);
  if (it == Table().end()) {
    buffer[0] = 0;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  std::size_t n = std::min<std::size_t>(it->second.caption.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, it->second.caption.data(), n);
  buffer[n] = 0;
  return static_cast<int>(n);
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR textValue) {
  std::lock_guard lock(gMutex);
  auto it = Table().find(window);
  if (it == Table().end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  it->second.caption = textValue ? textValue : "";
  return TRUE;
}

}  // extern "C"
