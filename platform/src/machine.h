// Process-wide state of the emulated machine: configuration, drives, the current directory, and
// the mapping between Windows and host paths.
#pragma once

#include <win32/windows.h>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "internal.h"

namespace pinforge {

struct Drive {
  char letter = 'C';
  UINT type = DRIVE_FIXED;
  std::string host;  // host folder of the drive's root, without a trailing slash ("" for /)
};

class Machine {
 public:
  static Machine& Get();
  static void Reload();

  const std::string& Root() const { return root_; }
  const std::string& ConfigFile() const { return configFile_; }
  const std::string& RegistryFile() const { return registryFile_; }
  const std::string& WindowsDir() const { return windowsDir_; }
  const std::string& SystemDir() const { return systemDir_; }
  bool IsNT() const { return nt_; }
  bool Admin() const { return admin_; }
  DWORD VersionMajor() const { return major_; }
  DWORD VersionMinor() const { return minor_; }
  DWORD VersionBuild() const { return build_; }
  const std::string& CsdVersion() const { return csd_; }
  const std::map<char, Drive>& Drives() const { return drives_; }
  const Drive* FindDrive(char letter) const;

  std::string CurrentDirectory();
  void SetCurrentDirectory(std::string path);

 private:
  Machine();
  void Init();
  void LoadConfig();
  void CreateDefaults();

  std::string root_, configFile_, registryFile_;
  std::string windowsDir_ = "C:\\WINDOWS", systemDir_ = "C:\\WINDOWS\\SYSTEM32";
  bool nt_ = true, admin_ = true;
  DWORD major_ = 4, minor_ = 0, build_ = 1381;
  std::string csd_;
  std::map<char, Drive> drives_;
  std::mutex cwdMutex_;
  std::string cwd_;
};

// Hooks that Machine::Reload calls so other parts can drop their cached state.
void RegisterReloadHook(std::function<void()> hook);

namespace paths {

// GetFullPathName: an absolute, normalised Windows path ("/" taken as "\", "." and ".."
// resolved, trailing dots and spaces of components dropped). False for an empty path.
PF_INTERNAL bool FullPath(std::string_view path, std::string& full);

struct Mapped {
  std::string host;      // host path, components matched case-insensitively where they exist
  const Drive* drive = nullptr;
  bool exists = false;   // every component was found
  // When only the last component is missing: the folder index that said so, for NoteAdded.
  std::uint64_t parentStamp = 0;
};
// Maps a Windows path to the host; on failure sets the last error and returns false
// (ERROR_PATH_NOT_FOUND for an unknown drive, ERROR_BAD_NETPATH for UNC names, ERROR_INVALID_NAME
// for a character the platform forbids in names).
bool ToHost(std::string_view windowsPath, Mapped& out);
std::string ToWindows(std::string_view hostPath);
// The platform's own changes to a folder, so that its index of names stays current without a
// new scan: a name made where ToHost found none (with the stamp it gave), a name removed.
void NoteAdded(const Mapped& made);
void NoteRemoved(const std::string& hostPath);
// Splits "C:\a\b" into "C:\a" and "b"; for a root the name is empty.
void Split(std::string_view full, std::string& dir, std::string& name);
// Windows wildcard match of one name: '*' and '?' and the "*.*" convention, case-insensitive.
PF_INTERNAL bool WildcardMatch(std::string_view pattern, std::string_view name);
// Host path of the running program and its folder.
std::string ProgramHostPath();

}  // namespace paths
}  // namespace pinforge
