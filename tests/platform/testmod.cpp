// A module of the tests: it allocates and frees global memory on its side of the boundary.
#include <win32/windows.h>

#include <cstring>

extern "C" {

PF_API HGLOBAL ModuleAlloc(UINT size, char fill) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size);
  if (void* p = GlobalLock(h)) {
    std::memset(p, fill, size);
    GlobalUnlock(h);
  }
  return h;
}

PF_API HGLOBAL ModuleFree(HGLOBAL h) { return GlobalFree(h); }

PF_API const char* ModuleTag() { return "testmod"; }

}
