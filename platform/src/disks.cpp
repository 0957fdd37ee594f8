// Emulated disks and the volume calls: drive types, present drives, labels, serial numbers, sizes.
#include <pinforge/disks.h>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "files.h"
#include "inidoc.h"
#include "machine.h"
#include "text.h"

namespace fs = std::filesystem;

namespace pinforge::disks {
namespace {

fs::path DisksDir() { return fs::path(Machine::Get().Root()) / "disks"; }

bool ValidName(const std::string& name) {
  return !name.empty() && name.size() <= 64 &&
         name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.") == std::string::npos &&
         name[0] != '.';
}

std::string Save(const Disk& d) {
  IniDocument ini;
  ini.Set("Disk", "Label", d.label);
  char serial[16];
  std::snprintf(serial, sizeof serial, "%08X", d.serial);
  ini.Set("Disk", "Serial", serial);
  ini.Set("Disk", "Capacity", std::to_string(d.capacity));
  ini.Set("Disk", "Formatted", d.formatted ? "1" : "0");
  return files::ReplaceHostFile((DisksDir() / d.name / "disk.ini").string(), ini.Serialize()) ? "" : "cannot write the disk's description";
}

std::string FatLabel(const std::string& label, std::string& error) {
  std::string l = text::UpperAnsi(label);
  if (l.size() > 11) error = "a label has at most 11 characters";
  for (char c : l)
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("*?/\\|.,;:+=[]<>\"", c)) error = "a label cannot hold '" + std::string(1, c) + "'";
  return l;
}

const Drive* Removable(char letter, std::string& error) {
  const Drive* d = Machine::Get().FindDrive(letter);
  if (!d || d->type != DRIVE_REMOVABLE) error = std::string("drive ") + letter + ": is not a removable drive of the machine";
  return error.empty() ? d : nullptr;
}

}  // namespace

std::optional<Disk> Find(const std::string& name) {
  if (!ValidName(name)) return std::nullopt;
  std::string bytes;
  if (!files::ReadHostFile((DisksDir() / name / "disk.ini").string(), bytes)) return std::nullopt;
  IniDocument ini(bytes);
  Disk d;
  d.name = name;
  d.label = ini.Get("Disk", "Label").value_or("");
  d.serial = static_cast<std::uint32_t>(std::strtoul(ini.Get("Disk", "Serial").value_or("0").c_str(), nullptr, 16));
  d.capacity = std::strtoull(ini.Get("Disk", "Capacity").value_or("1457664").c_str(), nullptr, 10);
  d.formatted = ini.Get("Disk", "Formatted").value_or("1") != "0";
  return d;
}

std::string Create(const Disk& disk) {
  if (!ValidName(disk.name)) return "a disk name is letters, digits, '-', '_' and '.'";
  if (Find(disk.name)) return "disk " + disk.name + " exists already";
  std::string error;
  Disk d = disk;
  d.label = FatLabel(disk.label, error);
  if (!error.empty()) return error;
  if (d.serial == 0) d.serial = static_cast<std::uint32_t>(std::hash<std::string>{}(disk.name) | 1);
  std::error_code ec;
  fs::create_directories(DisksDir() / d.name / "files", ec);
  if (ec) return "cannot make " + (DisksDir() / d.name).string();
  return Save(d);
}

std::optional<Disk> InDrive(char drive) {
  const Drive* d = Machine::Get().FindDrive(drive);
  if (!d || d->type != DRIVE_REMOVABLE) return std::nullopt;
  std::error_code ec;
  fs::path target = fs::read_symlink(d->host, ec);
  if (ec || target.filename() != "files") return std::nullopt;
  return Find(target.parent_path().filename().string());
}

std::optional<Disk> ReadyDisk(char drive) {
  auto disk = InDrive(drive);
  if (!disk || !disk->formatted) {
    SetLastError(disk ? ERROR_GEN_FAILURE : ERROR_NOT_READY);
    return std::nullopt;
  }
  return disk;
}

std::string Insert(const std::string& name, char drive) {
  std::string error;
  const Drive* d = Removable(drive, error);
  if (!d) return error;
  if (!Find(name)) return "no disk " + name;
  for (const auto& [letter, other] : Machine::Get().Drives())
    if (auto inside = InDrive(letter); inside && inside->name == name) return "disk " + name + " is in drive " + letter + ": already";
  std::error_code ec;
  if (fs::is_symlink(d->host, ec)) return std::string("drive ") + drive + ": holds a disk already";
  fs::remove(d->host, ec);  // an empty folder left from a drive without disks
  if (fs::exists(d->host, ec)) return "the drive's folder " + d->host + " is in the way";
  fs::create_symlink(DisksDir() / name / "files", d->host, ec);
  return ec ? "cannot insert: " + ec.message() : "";
}

std::string Eject(char drive) {
  std::string error;
  const Drive* d = Removable(drive, error);
  if (!d) return error;
  std::error_code ec;
  if (!fs::is_symlink(d->host, ec)) return std::string("drive ") + drive + ": is empty";
  fs::remove(d->host, ec);
  return ec ? "cannot eject: " + ec.message() : "";
}

std::string Format(const std::string& name, const std::string& label) {
  auto d = Find(name);
  if (!d) return "no disk " + name;
  std::string error;
  d->label = FatLabel(label, error);
  if (!error.empty()) return error;
  std::error_code ec;
  fs::remove_all(DisksDir() / name / "files", ec);
  fs::create_directories(DisksDir() / name / "files", ec);
  if (ec) return "cannot empty the disk";
  d->formatted = true;
  d->serial = d->serial * 2654435761u + 0x9E37u;  // a new serial, as formatting gives
  return Save(*d);
}

std::string SetLabel(const std::string& name, const std::string& label) {
  auto d = Find(name);
  if (!d) return "no disk " + name;
  std::string error;
  d->label = FatLabel(label, error);
  return error.empty() ? Save(*d) : error;
}

std::vector<Disk> List() {
  std::vector<Disk> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(DisksDir(), ec))
    if (auto d = Find(e.path().filename().string())) out.push_back(*d);
  std::sort(out.begin(), out.end(), [](const Disk& a, const Disk& b) { return a.name < b.name; });
  return out;
}

std::uint64_t Used(const std::string& name) {
  std::uint64_t total = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(DisksDir() / name / "files", ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->is_regular_file(ec)) total += it->file_size(ec);
  return total;
}

}  // namespace pinforge::disks

using namespace pinforge;

namespace {

// The drive a root names: "X:\" (any case); NULL for the current drive.
const Drive* RootDrive(LPCSTR root) {
  std::string r = root ? root : Machine::Get().CurrentDirectory().substr(0, 3);
  if (r.size() != 3 || r[1] != ':' || (r[2] != '\\' && r[2] != '/')) return nullptr;
  return Machine::Get().FindDrive(r[0]);
}

std::string FixedLabel(char letter) {
  std::string bytes;
  files::ReadHostFile(Machine::Get().ConfigFile(), bytes);
  return IniDocument(bytes).Get("Labels", std::string(1, letter)).value_or("");
}

// Total and free bytes of a drive; false (with the last error) without a readable volume.
bool Space(const Drive* d, std::uint64_t& total, std::uint64_t& free) {
  if (d->type == DRIVE_REMOVABLE) {
    auto disk = disks::ReadyDisk(d->letter);
    if (!disk) return false;
    total = disk->capacity;
    std::uint64_t used = disks::Used(disk->name);
    free = used < total ? total - used : 0;
    return true;
  }
  struct statvfs st;
  if (statvfs(d->host.empty() ? "/" : d->host.c_str(), &st) != 0) {
    SetLastError(ERROR_NOT_READY);
    return false;
  }
  total = static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize;
  free = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
  return true;
}

}  // namespace

extern "C" {

UINT WINAPI GetDriveTypeA(LPCSTR root) {
  const Drive* d = RootDrive(root);
  return d ? d->type : DRIVE_NO_ROOT_DIR;
}

DWORD WINAPI GetLogicalDrives() {
  DWORD bits = 0;
  for (const auto& [letter, drive] : Machine::Get().Drives()) bits |= 1u << (letter - 'A');
  return bits;
}

BOOL WINAPI GetVolumeInformationA(LPCSTR root, LPSTR label, DWORD labelSize, LPDWORD serial, LPDWORD maxComponentLength,
                                  LPDWORD fileSystemFlags, LPSTR fileSystem, DWORD fileSystemSize) {
  const Drive* d = RootDrive(root);
  if (!d) {
    SetLastError(root && std::strlen(root) == 2 ? ERROR_INVALID_NAME : ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  std::string name, fsName;
  DWORD number;
  if (d->type == DRIVE_REMOVABLE) {
    auto disk = disks::ReadyDisk(d->letter);
    if (!disk) return FALSE;
    name = disk->label;
    number = disk->serial;
    fsName = "FAT";
  } else {
    name = FixedLabel(d->letter);
    number = static_cast<DWORD>(std::hash<std::string>{}(std::string(1, d->letter) + d->host)) | 0x10000;
    fsName = Machine::Get().IsNT() ? "NTFS" : "FAT32";
  }
  if ((label && labelSize <= name.size()) || (fileSystem && fileSystemSize <= fsName.size())) {
    SetLastError(ERROR_BAD_LENGTH);
    return FALSE;
  }
  if (label) std::memcpy(label, name.c_str(), name.size() + 1);
  if (fileSystem) std::memcpy(fileSystem, fsName.c_str(), fsName.size() + 1);
  if (serial) *serial = number;
  if (maxComponentLength) *maxComponentLength = 255;
  if (fileSystemFlags) *fileSystemFlags = fsName == "NTFS" ? 0x3 : 0x2;  // case preserved (and sensitive search on NTFS)
  return TRUE;
}

BOOL WINAPI SetVolumeLabelA(LPCSTR root, LPCSTR label) {
  const Drive* d = RootDrive(root);
  if (!d) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  std::string value = label ? label : "";
  if (d->type == DRIVE_REMOVABLE) {
    auto disk = disks::ReadyDisk(d->letter);
    if (!disk) return FALSE;
    if (!disks::SetLabel(disk->name, value).empty()) {
      SetLastError(ERROR_INVALID_NAME);
      return FALSE;
    }
    return TRUE;
  }
  if (value.size() > 32) {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  std::string bytes;
  files::ReadHostFile(Machine::Get().ConfigFile(), bytes);
  IniDocument ini(bytes);
  if (value.empty()) ini.DeleteKey("Labels", std::string(1, d->letter));
  else ini.Set("Labels", std::string(1, d->letter), value);
  return files::ReplaceHostFile(Machine::Get().ConfigFile(), ini.Serialize()) ? TRUE : FALSE;
}

BOOL WINAPI GetDiskFreeSpaceA(LPCSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector, LPDWORD freeClusters,
                              LPDWORD totalClusters) {
  const Drive* d = RootDrive(root);
  std::uint64_t total = 0, free = 0;
  if (!d) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (!Space(d, total, free)) return FALSE;
  DWORD sectors = d->type == DRIVE_REMOVABLE ? 1 : 8;
  std::uint64_t cluster = 512ull * sectors;
  if (sectorsPerCluster) *sectorsPerCluster = sectors;
  if (bytesPerSector) *bytesPerSector = 512;
  if (freeClusters) *freeClusters = static_cast<DWORD>(std::min<std::uint64_t>(free / cluster, 0xFFFFFFFFu));
  if (totalClusters) *totalClusters = static_cast<DWORD>(std::min<std::uint64_t>(total / cluster, 0xFFFFFFFFu));
  return TRUE;
}

BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR directory, std::uint64_t* freeToCaller, std::uint64_t* total, std::uint64_t* totalFree) {
  std::string full;
  const Drive* d = nullptr;
  if (!directory) d = RootDrive(nullptr);
  else if (paths::FullPath(directory, full) && full.size() >= 3 && full[1] == ':') d = Machine::Get().FindDrive(full[0]);
  if (!d) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  std::uint64_t t = 0, f = 0;
  if (!Space(d, t, f)) return FALSE;
  if (freeToCaller) *freeToCaller = f;
  if (total) *total = t;
  if (totalFree) *totalFree = f;
  return TRUE;
}

}  // extern "C"
