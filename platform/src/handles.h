// One table of kernel object handles (files, searches, and later services) shared by the process.
#pragma once

#include <win32/windows.h>

#include <memory>
#include <mutex>
#include <unordered_map>

namespace pinforge {

struct KernelObject {
  virtual ~KernelObject() = default;
  // Called when the last handle closes; false makes CloseHandle report failure.
  virtual bool Close() { return true; }
};

class HandleTable {
 public:
  static HandleTable& Get();
  HANDLE Add(std::shared_ptr<KernelObject> object);
  template <class T>
  std::shared_ptr<T> Find(HANDLE handle) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(handle);
    return it == objects_.end() ? nullptr : std::dynamic_pointer_cast<T>(it->second);
  }
  std::shared_ptr<KernelObject> Remove(HANDLE handle);

 private:
  std::mutex mutex_;
  std::unordered_map<HANDLE, std::shared_ptr<KernelObject>> objects_;
  HANDLE next_ = 0x100;
};

// The Win32 error code for an errno value of a failed host call.
DWORD ErrorFromErrno(int err);
// Copies text to a caller's buffer the way the folder queries do: the length without the NUL when
// it fits, else the size needed including the NUL (nothing copied).
DWORD CopyOut(const std::string& text, LPSTR buffer, DWORD size);

}  // namespace pinforge
