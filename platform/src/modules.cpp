// Modules: LoadLibraryA finds a Windows name the Windows way and loads the ELF shared object found
// there; a module opened as a data file is only read. Handles are 32-bit values.
#include "modules.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "files.h"
#include "handles.h"
#include "machine.h"
#include "text.h"

namespace pinforge::modules {
namespace {

constexpr HMODULE kProgram = 0x00400000;

struct Module {
  ModuleInfo info;
  void* dl = nullptr;
  dev_t dev = 0;
  ino_t ino = 0;
  int refs = 0;
  bool pinned = false;  // known through an address, not loaded by LoadLibrary: never unloaded
  const std::vector<std::string>* exports = nullptr;  // a system module: the platform's functions it offers
};

// Modules of the system that the platform itself provides: found by name wherever the caller
// looks, as the system's own are, and offering only the functions they list.
struct SystemModule {
  const char* name;
  std::vector<std::string> exports;
};
const std::vector<SystemModule>& SystemModules() {
  static const auto* list = new std::vector<SystemModule>{
      {"shell32.dll", {"SHFileOperationA", "SHFormatDrive"}},
  };
  return *list;
}

std::recursive_mutex gMutex;
std::map<HMODULE, Module>& Table() {
  static auto* table = new std::map<HMODULE, Module>();
  return *table;
}
HMODULE gNext = 0x10000000;

HMODULE NewHandle(bool dataFile) {
  HMODULE h;
  do {
    h = gNext;
    gNext += 0x10000;
    if (gNext >= 0x7FF00000u) gNext = 0x10000000;
  } while (Table().count(h) || Table().count(h | 1));
  return dataFile ? (h | 1) : h;
}

// The name as LoadLibrary searches for it: ".DLL" added when the file part has no extension,
// a trailing dot meaning "no extension".
std::string WithExtension(std::string name) {
  auto slash = name.find_last_of("\\/");
  std::string leaf = slash == std::string::npos ? name : name.substr(slash + 1);
  if (!leaf.empty() && leaf.back() == '.') name.pop_back();
  else if (leaf.find('.') == std::string::npos) name += ".DLL";
  return name;
}

bool IsRegularFile(const std::string& windows, paths::Mapped& m, struct stat& st) {
  return paths::ToHost(windows, m) && m.exists && ::stat(m.host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Locate(const std::string& name, std::string& windows, paths::Mapped& m, struct stat& st) {
  if (name.find_first_of("\\/:") != std::string::npos) {
    if (!paths::FullPath(name, windows) || !IsRegularFile(windows, m, st)) return false;
    windows = paths::ToWindows(m.host);  // as the file system spells it, like a searched name
    return true;
  }
  std::vector<std::string> dirs;
  std::string program = paths::ToWindows(paths::ProgramHostPath());
  std::string dir, leaf;
  paths::Split(program, dir, leaf);
  dirs.push_back(dir);
  dirs.push_back(Machine::Get().CurrentDirectory());
  dirs.push_back(Machine::Get().SystemDir());
  dirs.push_back(Machine::Get().WindowsDir());
  if (const char* path = std::getenv("PATH")) {
    std::string p = path;
    std::size_t pos = 0;
    while (pos <= p.size()) {
      auto next = p.find(':', pos);
      if (next == std::string::npos) next = p.size();
      if (next > pos) dirs.push_back(paths::ToWindows(p.substr(pos, next - pos)));
      pos = next + 1;
    }
  }
  for (const std::string& d : dirs) {
    std::string candidate = d + (d.back() == '\\' ? "" : "\\") + name;
    if (IsRegularFile(candidate, m, st)) {
      // Report the name as the file system spells it.
      windows = paths::ToWindows(m.host);
      return true;
    }
  }
  return false;
}

// The platform library itself, which holds the system modules' functions.
void* PlatformLibrary() {
  static void* dl = [] {
    Dl_info info;
    if (!dladdr(reinterpret_cast<void*>(&SHFormatDrive), &info) || !info.dli_fname) return static_cast<void*>(nullptr);
    return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  }();
  return dl;
}

const SystemModule* FindSystemModule(const std::string& name) {
  if (name.find_first_of("\\/:") != std::string::npos) return nullptr;
  for (const auto& m : SystemModules())
    if (text::EqualNoCase(name, m.name)) return &m;
  return nullptr;
}

Module* FindLocked(HMODULE h) {
  auto it = Table().find(h);
  return it == Table().end() ? nullptr : &it->second;
}

}  // namespace

bool Find(HMODULE handle, ModuleInfo& out) {
  std::lock_guard lock(gMutex);
  if (handle == 0 || handle == kProgram) {
    out.handle = kProgram;
    out.host = paths::ProgramHostPath();
    out.windows = paths::ToWindows(out.host);
    out.dataFile = false;
    return true;
  }
  Module* m = FindLocked(handle);
  if (!m) return false;
  out = m->info;
  return true;
}

std::shared_ptr<const std::string> Image(HMODULE handle) {
  std::lock_guard lock(gMutex);
  if (handle == 0 || handle == kProgram) {
    static std::shared_ptr<const std::string> program;
    if (!program) {
      auto bytes = std::make_shared<std::string>();
      if (files::ReadHostFile(paths::ProgramHostPath(), *bytes)) program = std::move(bytes);
    }
    return program;
  }
  Module* m = FindLocked(handle);
  if (!m) return nullptr;
  if (!m->info.image) {
    auto bytes = std::make_shared<std::string>();
    if (!files::ReadHostFile(m->info.host, *bytes)) return nullptr;
    m->info.image = std::move(bytes);
  }
  return m->info.image;
}

}  // namespace pinforge::modules

using namespace pinforge;
using namespace pinforge::modules;

extern "C" {

HMODULE WINAPI LoadLibraryExA(LPCSTR name, HANDLE, DWORD flags) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  bool dataFile = flags & LOAD_LIBRARY_AS_DATAFILE;
  if (const SystemModule* sys = dataFile ? nullptr : FindSystemModule(WithExtension(name))) {
    std::lock_guard lock(gMutex);
    for (auto& [h, mod] : Table()) {
      if (mod.exports == &sys->exports) {
        ++mod.refs;
        return h;
      }
    }
    Module mod;
    mod.dl = PlatformLibrary();
    if (!mod.dl) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return 0;
    }
    Dl_info info;
    dladdr(reinterpret_cast<void*>(&SHFormatDrive), &info);
    mod.info.host = info.dli_fname;
    mod.info.windows = Machine::Get().SystemDir() + "\\" + sys->name;
    mod.exports = &sys->exports;
    mod.refs = 1;
    HMODULE h = NewHandle(false);
    mod.info.handle = h;
    Table()[h] = std::move(mod);
    return h;
  }
  std::string windows;
  paths::Mapped m;
  struct stat st;
  if (!Locate(WithExtension(name), windows, m, st)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  std::lock_guard lock(gMutex);
  for (auto& [h, mod] : Table()) {
    if (mod.dev == st.st_dev && mod.ino == st.st_ino && mod.info.dataFile == dataFile && !mod.pinned && !mod.exports) {
      ++mod.refs;
      return h;
    }
  }
  Module mod;
  mod.info.host = m.host;
  mod.info.windows = windows;
  mod.info.dataFile = dataFile;
  mod.dev = st.st_dev;
  mod.ino = st.st_ino;
  mod.refs = 1;
  if (dataFile) {
    auto image = std::make_shared<std::string>();
    if (!files::ReadHostFile(m.host, *image)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
    mod.info.image = std::move(image);
  } else {
    mod.dl = dlopen(m.host.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!mod.dl) {
      if (std::getenv("PINFORGE_DEBUG")) std::fprintf(stderr, "LoadLibrary: %s\n", dlerror());
      SetLastError(193);  // ERROR_BAD_EXE_FORMAT
      return 0;
    }
  }
  HMODULE h = NewHandle(dataFile);
  mod.info.handle = h;
  Table()[h] = std::move(mod);
  return h;
}

HMODULE WINAPI LoadLibraryA(LPCSTR name) { return LoadLibraryExA(name, 0, 0); }

BOOL WINAPI FreeLibrary(HMODULE module) {
  std::lock_guard lock(gMutex);
  if (module == kProgram) return TRUE;
  Module* m = FindLocked(module);
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (m->pinned || --m->refs > 0) return TRUE;
  if (m->dl && !m->exports) dlclose(m->dl);
  Table().erase(module);
  return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
  std::lock_guard lock(gMutex);
  void* dl = nullptr;
  if (module == 0 || module == kProgram) {
    static void* program = dlopen(nullptr, RTLD_NOW);
    dl = program;
  } else if (Module* m = FindLocked(module); m && m->dl) {
    dl = m->dl;
    if (m->exports && name && reinterpret_cast<std::uintptr_t>(name) >= 0x10000 &&
        std::find(m->exports->begin(), m->exports->end(), name) == m->exports->end()) {
      SetLastError(ERROR_PROC_NOT_FOUND);
      return nullptr;
    }
  }
  if (!dl) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (!name || reinterpret_cast<std::uintptr_t>(name) < 0x10000) {
    SetLastError(ERROR_PROC_NOT_FOUND);  // exports have names only
    return nullptr;
  }
  void* sym = dlsym(dl, name);
  // dlsym also searches the module's dependencies; an export must be the module's own.
  struct link_map* own = nullptr;
  struct link_map* found = nullptr;
  Dl_info info;
  if (sym && dlinfo(dl, RTLD_DI_LINKMAP, &own) == 0 &&
      dladdr1(sym, &info, reinterpret_cast<void**>(&found), RTLD_DL_LINKMAP) && found == own) {
    return reinterpret_cast<FARPROC>(sym);
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
  ModuleInfo info;
  if (!Find(module, info)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (!buffer || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (info.windows.size() >= size) {
    std::memcpy(buffer, info.windows.data(), size - 1);
    buffer[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(buffer, info.windows.c_str(), info.windows.size() + 1);
  return static_cast<DWORD>(info.windows.size());
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
  if (!name) return kProgram;
  std::string wanted = WithExtension(name);
  auto leafOf = [](const std::string& p) {
    auto s = p.find_last_of("\\/");
    return s == std::string::npos ? p : p.substr(s + 1);
  };
  std::lock_guard lock(gMutex);
  for (auto& [h, mod] : Table()) {
    if (mod.info.dataFile) continue;
    bool match = wanted.find_first_of("\\/:") != std::string::npos
                     ? text::EqualNoCase(mod.info.windows, wanted)
                     : text::EqualNoCase(leafOf(mod.info.windows), wanted);
    if (match) return h;
  }
  if (text::EqualNoCase(leafOf(paths::ToWindows(paths::ProgramHostPath())), wanted)) return kProgram;
  SetLastError(ERROR_MOD_NOT_FOUND);
  return 0;
}

BOOL WINAPI GetModuleHandleExA(DWORD flags, LPCSTR nameOrAddress, HMODULE* module) {
  if (!module) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!(flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)) {
    *module = GetModuleHandleA(nameOrAddress);
    return *module != 0;
  }
  Dl_info info;
  if (!dladdr(nameOrAddress, &info) || !info.dli_fname) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    *module = 0;
    return FALSE;
  }
  std::string host = info.dli_fname;
  struct stat st;
  if (host.empty() || ::stat(host.c_str(), &st) != 0) {
    *module = kProgram;  // the program itself has an empty name in the dynamic linker
    return TRUE;
  }
  struct stat prog;
  if (::stat(paths::ProgramHostPath().c_str(), &prog) == 0 && prog.st_dev == st.st_dev && prog.st_ino == st.st_ino) {
    *module = kProgram;
    return TRUE;
  }
  std::lock_guard lock(gMutex);
  for (auto& [h, mod] : Table()) {
    if (!mod.info.dataFile && !mod.exports && mod.dev == st.st_dev && mod.ino == st.st_ino) {
      if (!(flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) && !mod.pinned) ++mod.refs;
      *module = h;
      return TRUE;
    }
  }
  // A library the dynamic linker loaded on its own (such as the platform): known from now on.
  Module mod;
  mod.info.host = host;
  mod.info.windows = paths::ToWindows(host);
  mod.dl = dlopen(host.c_str(), RTLD_NOW | RTLD_NOLOAD);
  mod.dev = st.st_dev;
  mod.ino = st.st_ino;
  mod.refs = 1;
  mod.pinned = true;
  HMODULE h = NewHandle(false);
  mod.info.handle = h;
  Table()[h] = std::move(mod);
  *module = h;
  return TRUE;
}

}  // extern "C"
