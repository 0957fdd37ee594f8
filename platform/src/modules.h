// Loaded modules, for the resource lookup that comes with module handles.
#pragma once

#include <win32/windows.h>

#include <memory>
#include <string>

namespace pinforge::modules {

struct ModuleInfo {
  HMODULE handle = 0;
  std::string host;     // host path of the file
  std::string windows;  // Windows path as found
  bool dataFile = false;
  std::shared_ptr<const std::string> image;  // file bytes, for data-file modules
};

// The module of a handle (0: the program); false for an unknown handle.
bool Find(HMODULE handle, ModuleInfo& out);
// The bytes of the module's file, read once and kept while the module is loaded (for the program,
// for the life of the process); null for an unknown handle or an unreadable file.
std::shared_ptr<const std::string> Image(HMODULE handle);

}  // namespace pinforge::modules
