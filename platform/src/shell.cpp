// Shell file operations: deleting, for good or to the drive's recycle bin folder (\RECYCLER on
// NT, \RECYCLED on 9x), which keeps a list of where each of its files came from.
#include <win32/windows.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "files.h"
#include "inidoc.h"
#include "machine.h"

using namespace pinforge;
namespace fs = std::filesystem;

namespace {

// Moves a file or folder into its drive's recycle bin as D<drive letter><n><extension>.
DWORD Recycle(const std::string& windowsName) {
  std::string bin = std::string(1, windowsName[0]) + ":\\" + (Machine::Get().IsNT() ? "RECYCLER" : "RECYCLED");
  CreateDirectoryA(bin.c_str(), nullptr);
  paths::Mapped binHost;
  if (!paths::ToHost(bin, binHost)) return GetLastError();
  std::string bytes;
  std::string index = binHost.host + "/INFO.ini";
  files::ReadHostFile(index, bytes);
  IniDocument info(bytes);
  std::string ext;
  if (auto dot = windowsName.find_last_of('.'); dot != std::string::npos && dot > windowsName.find_last_of('\\')) ext = windowsName.substr(dot);
  for (int n = 1; n < 1000000; ++n) {
    std::string name = "D" + std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(windowsName[0])))) + std::to_string(n) + ext;
    if (info.Get("Files", name) || fs::exists(binHost.host + "/" + name)) continue;
    if (!MoveFileA(windowsName.c_str(), (bin + "\\" + name).c_str())) return GetLastError();
    info.Set("Files", name, windowsName);
    files::ReplaceHostFile(index, info.Serialize());
    return 0;
  }
  return ERROR_DISK_FULL;
}

DWORD DeleteOne(const std::string& name, bool undo) {
  std::string full;
  paths::Mapped m;
  if (!paths::FullPath(name, full) || !paths::ToHost(full, m)) return GetLastError();
  DWORD attrs = GetFileAttributesA(full.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) return GetLastError();
  if (undo && m.drive && m.drive->type == DRIVE_FIXED && full[0] != 'Z' && full[0] != 'z') return Recycle(full);
  if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileA(full.c_str()) ? 0 : GetLastError();
  std::error_code ec;
  fs::remove_all(m.host, ec);
  return ec ? ERROR_ACCESS_DENIED : 0;
}

}  // namespace

extern "C" int WINAPI SHFileOperationA(SHFILEOPSTRUCTA* op) {
  if (!op || !op->pFrom) return ERROR_INVALID_PARAMETER;
  if (op->wFunc != FO_DELETE) return ERROR_NOT_SUPPORTED;
  op->fAnyOperationsAborted = FALSE;
  for (const char* p = op->pFrom; *p; p += std::strlen(p) + 1)
    if (DWORD error = DeleteOne(p, op->fFlags & FOF_ALLOWUNDO)) return static_cast<int>(error);
  return 0;
}
