// Global memory: fixed blocks whose handle is their address, and movable blocks reached through
// a handle and locked for use; one table for every module of the process.
#include <pinforge/addr32.h>
#include <win32/windows.h>

#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

struct GlobalBlock {
  void* data;
  std::size_t size;
  bool moveable;
  int locks;
};

std::mutex gMutex;
std::unordered_map<HGLOBAL, GlobalBlock>& Blocks() {
  static auto* blocks = new std::unordered_map<HGLOBAL, GlobalBlock>();
  return *blocks;
}
HGLOBAL gNextMoveable = 0x10004;  // movable handles end in 4 or C; block addresses are 16-aligned

GlobalBlock* Lookup(HGLOBAL h) {
  auto it = Blocks().find(h);
  if (it == Blocks().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return &it->second;
}

}  // namespace

namespace pinforge {
std::size_t LiveGlobalBlocks() {
  std::lock_guard lock(gMutex);
  return Blocks().size();
}
}  // namespace pinforge

extern "C" {

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
  void* data = pinforge::addr32::Allocate(bytes ? bytes : 1);
  if (!data) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if (flags & GMEM_ZEROINIT) std::memset(data, 0, bytes);
  std::lock_guard lock(gMutex);
  HGLOBAL h;
  bool moveable = flags & GMEM_MOVEABLE;
  if (moveable) {
    do {
      h = gNextMoveable;
      gNextMoveable += 8;
      if (gNextMoveable >= 0x00400000u) gNextMoveable = 0x10004;
    } while (Blocks().count(h));
  } else {
    h = pinforge::addr32::ToField(data);
  }
  Blocks()[h] = {data, bytes, moveable, 0};
  return h;
}

LPVOID WINAPI GlobalLock(HGLOBAL memory) {
  std::lock_guard lock(gMutex);
  GlobalBlock* b = Lookup(memory);
  if (!b) return nullptr;
  if (b->moveable) ++b->locks;
  return b->data;
}

BOOL WINAPI GlobalUnlock(HGLOBAL memory) {
  std::lock_guard lock(gMutex);
  GlobalBlock* b = Lookup(memory);
  if (!b) return FALSE;
  if (!b->moveable || b->locks == 0) {
    SetLastError(b->moveable ? ERROR_NOT_LOCKED : NO_ERROR);
    return FALSE;
  }
  if (--b->locks > 0) return TRUE;
  SetLastError(NO_ERROR);
  return FALSE;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL memory) {
  void* data;
  {
    std::lock_guard lock(gMutex);
    GlobalBlock* b = Lookup(memory);
    if (!b) return memory;
    data = b->data;
    Blocks().erase(memory);
  }
  pinforge::addr32::Free(data);
  return 0;
}

SIZE_T WINAPI GlobalSize(HGLOBAL memory) {
  std::lock_guard lock(gMutex);
  GlobalBlock* b = Lookup(memory);
  return b ? static_cast<SIZE_T>(b->size) : 0;
}

HGLOBAL WINAPI GlobalReAlloc(HGLOBAL memory, SIZE_T bytes, UINT flags) {
  std::lock_guard lock(gMutex);
  GlobalBlock* b = Lookup(memory);
  if (!b) return 0;
  if (!b->moveable) {
    // A fixed block's address is its handle: it can shrink in place but never move.
    if (bytes > b->size) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    b->size = bytes;
    return memory;
  }
  void* data = pinforge::addr32::Allocate(bytes ? bytes : 1);
  if (!data) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  std::size_t keep = bytes < b->size ? bytes : b->size;
  std::memcpy(data, b->data, keep);
  if ((flags & GMEM_ZEROINIT) && bytes > keep) std::memset(static_cast<char*>(data) + keep, 0, bytes - keep);
  pinforge::addr32::Free(b->data);
  b->data = data;
  b->size = bytes;
  return memory;
}

}  // extern "C"
