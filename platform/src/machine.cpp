#include "machine.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>
#include <sstream>

#include <pinforge/disks.h>
#include <pinforge/machine.h>

#include "inidoc.h"
#include "text.h"

namespace pinforge {
namespace {

// Function-local so that other files' static initialisers may register hooks.
std::recursive_mutex& MachineMutex() {
  static std::recursive_mutex m;
  return m;
}
std::unique_ptr<Machine> gMachine;
std::vector<std::function<void()>>& ReloadHooks() {
  static std::vector<std::function<void()>> hooks;
  return hooks;
}

bool HostExists(const std::string& p) {
  struct stat st;
  return lstat(p.empty() ? "/" : p.c_str(), &st) == 0;
}

bool HostIsDir(const std::string& p) {
  struct stat st;
  return stat(p.empty() ? "/" : p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void MakeDirs(const std::string& p) {
  std::string cur;
  std::size_t pos = 0;
  while (pos <= p.size()) {
    auto next = p.find('/', pos);
    if (next == std::string::npos) next = p.size();
    cur = p.substr(0, next);
    if (!cur.empty()) mkdir(cur.c_str(), 0777);
    pos = next + 1;
  }
}

std::string ReadHostFile(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteHostFileIfMissing(const std::string& p, const std::string& contents) {
  if (HostExists(p)) return;
  std::string tmp = p + ".new";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << contents;
  }
  // link() fails when another process created the file meanwhile, which is fine.
  if (link(tmp.c_str(), p.c_str()) != 0 && errno != EEXIST) rename(tmp.c_str(), p.c_str());
  unlink(tmp.c_str());
}

std::string LexicallyNormal(const std::string& absolute) {
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (pos <= absolute.size()) {
    auto next = absolute.find('/', pos);
    if (next == std::string::npos) next = absolute.size();
    std::string comp = absolute.substr(pos, next - pos);
    if (comp == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!comp.empty() && comp != ".") {
      parts.push_back(comp);
    }
    pos = next + 1;
  }
  std::string out;
  for (const auto& p : parts) out += "/" + p;
  return out;  // "" for the root
}

UINT DriveTypeFromName(std::string_view name) {
  if (text::EqualNoCase(name, "removable")) return DRIVE_REMOVABLE;
  if (text::EqualNoCase(name, "fixed")) return DRIVE_FIXED;
  if (text::EqualNoCase(name, "remote")) return DRIVE_REMOTE;
  if (text::EqualNoCase(name, "cdrom")) return DRIVE_CDROM;
  if (text::EqualNoCase(name, "ramdisk")) return DRIVE_RAMDISK;
  return DRIVE_UNKNOWN;
}

constexpr const char* kDefaultConfig =
    "; The emulated Windows machine of this folder.\r\n"
    "[System]\r\n"
    "; NT or 9x\r\n"
    "Platform=NT\r\n"
    "WindowsDir=C:\\WINDOWS\r\n"
    "SystemDir=C:\\WINDOWS\\SYSTEM32\r\n"
    "; 0 makes the service manager refuse full access\r\n"
    "Admin=1\r\n"
    "\r\n"
    "[Drives]\r\n"
    "; Letter=type[,host folder]; type is fixed, removable, remote, cdrom or ramdisk.\r\n"
    "; Without a host folder a drive lives in the folder named by its lower-case letter.\r\n"
    "C=fixed\r\n";

}  // namespace

void RegisterReloadHook(std::function<void()> hook) {
  std::lock_guard lock(MachineMutex());
  ReloadHooks().push_back(std::move(hook));
}

Machine& Machine::Get() {
  std::lock_guard lock(MachineMutex());
  if (!gMachine) {
    gMachine.reset(new Machine());  // the constructor is private; Reload replaces the machine
    gMachine->Init();               // may map paths, which comes back here
  }
  return *gMachine;
}

void Machine::Reload() {
  std::vector<std::function<void()>> hooks;
  {
    std::lock_guard lock(MachineMutex());
    gMachine.reset();
    hooks = ReloadHooks();
  }
  for (auto& hook : hooks) hook();
}

Machine::Machine() {
  const char* env = std::getenv("PINFORGE_ROOT");
  if (env && *env) {
    root_ = env;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      struct passwd* pw = getpwuid(getuid());
      home = pw ? pw->pw_dir : "/tmp";
    }
    root_ = std::string(home) + "/.pinforge";
  }
  if (root_[0] != '/') {
    char buf[PATH_MAX];
    if (getcwd(buf, sizeof buf)) root_ = std::string(buf) + "/" + root_;
  }
  root_ = LexicallyNormal(root_);
  configFile_ = root_ + "/machine.ini";
  registryFile_ = root_ + "/system.reg";
  drives_['C'] = {'C', DRIVE_FIXED, root_ + "/c"};
  cwd_ = "C:\\";
}

void Machine::Init() {
  MakeDirs(root_ + "/c");
  WriteHostFileIfMissing(configFile_, kDefaultConfig);
  WriteHostFileIfMissing(registryFile_, "REGEDIT4\r\n\r\n");
  LoadConfig();
  CreateDefaults();
  char buf[PATH_MAX];
  cwd_ = getcwd(buf, sizeof buf) ? paths::ToWindows(buf) : "C:\\";
}

void Machine::LoadConfig() {
  IniDocument ini(ReadHostFile(configFile_));
  auto get = [&](const char* key, std::string def) { return ini.Get("System", key).value_or(def); };
  nt_ = !text::EqualNoCase(get("Platform", "NT"), "9x");
  admin_ = get("Admin", "1") != "0";
  std::string dir;
  if (paths::FullPath(get("WindowsDir", "C:\\WINDOWS"), dir)) windowsDir_ = dir;
  if (paths::FullPath(get("SystemDir", nt_ ? windowsDir_ + "\\SYSTEM32" : windowsDir_ + "\\SYSTEM"), dir))
    systemDir_ = dir;
  if (nt_) {
    major_ = 4, minor_ = 0, build_ = 1381, csd_ = "Service Pack 6";
  } else {
    major_ = 4, minor_ = 10, build_ = 2222, csd_ = " A ";
  }
  unsigned a = 0, b = 0, c = 0;
  if (std::sscanf(get("Version", "").c_str(), "%u.%u.%u", &a, &b, &c) == 3) major_ = a, minor_ = b, build_ = c;
  if (auto csd = ini.Get("System", "CSDVersion")) csd_ = *csd;
  if (!nt_) build_ |= (major_ << 24) | (minor_ << 16);  // 9x keeps the version in the high word

  drives_.clear();
  drives_['C'] = {'C', DRIVE_FIXED, root_ + "/c"};
  for (const std::string& key : ini.Keys("Drives")) {
    if (key.size() != 1 || !std::isalpha(static_cast<unsigned char>(key[0]))) continue;
    char letter = text::UpperAnsi(key[0]);
    std::string value = *ini.Get("Drives", key);
    std::string typeName = value, folder;
    if (auto comma = value.find(','); comma != std::string::npos) {
      typeName = std::string(text::Trim(value.substr(0, comma)));
      folder = std::string(text::Trim(value.substr(comma + 1)));
    }
    UINT type = DriveTypeFromName(typeName);
    if (type == DRIVE_UNKNOWN) {
      std::fprintf(stderr, "machine.ini: drive %c: unknown type '%s', drive ignored\n", letter, typeName.c_str());
      continue;
    }
    if (folder.empty()) folder = root_ + "/" + static_cast<char>(std::tolower(letter));
    else if (folder[0] != '/') folder = root_ + "/" + folder;
    drives_[letter] = {letter, type, LexicallyNormal(folder)};
  }
  drives_['Z'] = {'Z', DRIVE_FIXED, ""};
}

void Machine::CreateDefaults() {
  for (auto& [letter, drive] : drives_)
    if (letter != 'Z' && drive.type == DRIVE_FIXED) MakeDirs(drive.host);
  for (const std::string& dir : {windowsDir_, systemDir_, windowsDir_ + "\\TEMP"}) {
    paths::Mapped m;
    if (paths::ToHost(dir, m) && !HostIsDir(m.host)) MakeDirs(m.host);
  }
}

const Drive* Machine::FindDrive(char letter) const {
  auto it = drives_.find(text::UpperAnsi(letter));
  return it == drives_.end() ? nullptr : &it->second;
}

std::string Machine::CurrentDirectory() {
  std::lock_guard lock(cwdMutex_);
  return cwd_;
}

void Machine::SetCurrentDirectory(std::string path) {
  std::lock_guard lock(cwdMutex_);
  cwd_ = std::move(path);
}

namespace paths {

bool FullPath(std::string_view input, std::string& full) {
  if (input.empty()) return false;
  std::string p(input);
  std::replace(p.begin(), p.end(), '/', '\\');
  std::string prefix, rest;
  bool trailing = p.size() > 1 && p.back() == '\\';
  if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
    // \\server\share stays the prefix; the rest is normalised below it.
    std::size_t server = p.find('\\', 2);
    std::size_t share = server == std::string::npos ? std::string::npos : p.find('\\', server + 1);
    prefix = p.substr(0, share);
    rest = share == std::string::npos ? "" : p.substr(share);
  } else {
    std::string cwd;
    if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
      char drive = p[0];  // kept as written, as the platform does
      rest = p.substr(2);
      if (rest.empty() || rest[0] != '\\') {
        cwd = Machine::Get().CurrentDirectory();
        std::string base = (text::UpperAnsi(cwd[0]) == text::UpperAnsi(drive)) ? cwd : std::string(1, drive) + ":\\";
        rest = base.substr(2) + "\\" + rest;
      }
      prefix = std::string(1, drive) + ":";
    } else {
      cwd = Machine::Get().CurrentDirectory();
      if (p[0] == '\\') {
        prefix = cwd.substr(0, 2);
        rest = p;
      } else {
        prefix = cwd.substr(0, 2);
        rest = cwd.substr(2) + "\\" + p;
      }
    }
  }
  std::vector<std::string> comps;
  std::size_t pos = 0;
  while (pos <= rest.size()) {
    auto next = rest.find('\\', pos);
    if (next == std::string::npos) next = rest.size();
    std::string comp = rest.substr(pos, next - pos);
    pos = next + 1;
    if (comp.empty() || comp == ".") continue;
    if (comp == "..") {
      if (!comps.empty()) comps.pop_back();
      continue;
    }
    while (!comp.empty() && (comp.back() == '.' || comp.back() == ' ')) comp.pop_back();
    if (!comp.empty()) comps.push_back(comp);
  }
  full = prefix + "\\";
  for (std::size_t i = 0; i < comps.size(); ++i) full += (i ? "\\" : "") + comps[i];
  if (trailing && !comps.empty()) full += "\\";
  return true;
}

namespace {

// Case-insensitive lookups of names that do not exist as spelled: per folder, its names folded
// to upper case, kept while the folder's inode and modification time stay what they were.
// The platform's own creations and removals update an index in place (NoteAdded, NoteRemoved),
// so filling a folder does not scan it again for every new name.
struct FolderIndex {
  dev_t dev = 0;
  ino_t ino = 0;
  struct timespec mtime {};
  std::uint64_t stamp = 0;
  std::unordered_map<std::string, std::string> names;  // folded ANSI name -> host name
};
std::mutex gIndexMutex;
std::unordered_map<std::string, FolderIndex>& Indexes() {
  static auto* m = new std::unordered_map<std::string, FolderIndex>();
  return *m;
}
std::uint64_t gNextStamp = 1;
constexpr std::size_t kMaxIndexes = 512;

std::string Folded(std::string_view ansi) { return text::UpperAnsi(ansi); }

bool SameTime(const struct timespec& a, const struct timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

void AddName(FolderIndex& index, const std::string& hostName) {
  auto [it, added] = index.names.emplace(Folded(text::Utf8ToAnsi(hostName)), hostName);
  if (!added && hostName < it->second) it->second = hostName;  // the same name as readdir's first
}

// The index of a folder, current; null when the folder cannot be read.
FolderIndex* CurrentIndex(const std::string& folder, const struct stat& st) {
  auto& indexes = Indexes();
  auto it = indexes.find(folder);
  if (it != indexes.end() && it->second.dev == st.st_dev && it->second.ino == st.st_ino && SameTime(it->second.mtime, st.st_mtim))
    return &it->second;
  DIR* dir = opendir(folder.empty() ? "/" : folder.c_str());
  if (!dir) return nullptr;
  if (indexes.size() >= kMaxIndexes) indexes.clear();
  FolderIndex& index = indexes[folder];
  index = FolderIndex{};
  index.dev = st.st_dev;
  index.ino = st.st_ino;
  index.mtime = st.st_mtim;
  index.stamp = gNextStamp++;
  while (struct dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") AddName(index, name);
  }
  closedir(dir);
  return &index;
}

}  // namespace

bool ToHost(std::string_view windowsPath, Mapped& out) {
  std::string full;
  if (!FullPath(windowsPath, full)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  if (full.size() >= 2 && full[0] == '\\' && full[1] == '\\') {
    SetLastError(ERROR_BAD_NETPATH);
    return false;
  }
  const Drive* drive = Machine::Get().FindDrive(full[0]);
  if (!drive) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  // A removable drive answers only with a formatted disk in it.
  if (drive->type == DRIVE_REMOVABLE && !disks::ReadyDisk(drive->letter)) return false;
  out.drive = drive;
  out.parentStamp = 0;
  std::vector<std::string> parts;  // as spelled, in UTF-8
  std::vector<std::string> ansiParts;
  for (std::size_t pos = 3; pos < full.size();) {
    auto next = full.find('\\', pos);
    if (next == std::string::npos) next = full.size();
    std::string comp = full.substr(pos, next - pos);
    pos = next + 1;
    for (unsigned char c : comp) {
      if (c < 0x20 || std::string_view("<>:\"|?*").find(static_cast<char>(c)) != std::string_view::npos) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
      }
    }
    parts.push_back(text::AnsiToUtf8(comp));
    ansiParts.push_back(std::move(comp));
  }
  // The longest leading part that exists as spelled (an exact match wins); usually the whole
  // path, or all but its last name.
  std::vector<std::string> prefixes(parts.size() + 1);
  prefixes[0] = drive->host;
  for (std::size_t i = 0; i < parts.size(); ++i) prefixes[i + 1] = prefixes[i] + "/" + parts[i];
  struct stat st;
  std::size_t known = parts.size() + 1;
  while (known-- > 0)
    if (lstat(prefixes[known].empty() ? "/" : prefixes[known].c_str(), &st) == 0) break;
  if (known == static_cast<std::size_t>(-1)) {
    out.host = prefixes.back();
    out.exists = false;
    if (out.host.empty()) out.host = "/";
    return true;
  }
  out.host = prefixes[known];
  out.exists = true;
  for (std::size_t i = known; i < parts.size(); ++i) {
    std::string match;
    std::uint64_t stamp = 0;
    if (out.exists && ::stat(out.host.empty() ? "/" : out.host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      std::lock_guard lock(gIndexMutex);
      if (FolderIndex* index = CurrentIndex(out.host, st)) {
        stamp = index->stamp;
        auto it = index->names.find(Folded(ansiParts[i]));
        if (it != index->names.end()) match = it->second;
      }
    }
    if (match.empty()) {
      if (out.exists && i + 1 == parts.size()) out.parentStamp = stamp;
      out.exists = false;
      out.host += "/" + parts[i];
    } else {
      out.host += "/" + match;
    }
  }
  if (out.host.empty()) out.host = "/";
  return true;
}

void NoteAdded(const Mapped& made) {
  if (!made.parentStamp) return;
  auto slash = made.host.find_last_of('/');
  std::string folder = made.host.substr(0, slash), name = made.host.substr(slash + 1);
  struct stat st;
  bool ok = ::stat(folder.empty() ? "/" : folder.c_str(), &st) == 0;
  std::lock_guard lock(gIndexMutex);
  auto it = Indexes().find(folder);
  if (it == Indexes().end()) return;
  // Only an index that was current when the name was looked up takes the change; any other
  // change since then leaves it to be read again.
  if (!ok || it->second.stamp != made.parentStamp) {
    Indexes().erase(it);
    return;
  }
  AddName(it->second, name);
  it->second.mtime = st.st_mtim;
}

void NoteRemoved(const std::string& hostPath) {
  auto slash = hostPath.find_last_of('/');
  if (slash == std::string::npos) return;
  std::lock_guard lock(gIndexMutex);
  Indexes().erase(hostPath.substr(0, slash));  // read again at the next lookup there
}

std::string ToWindows(std::string_view hostPath) {
  std::string abs(hostPath);
  if (abs.empty() || abs[0] != '/') {
    char buf[PATH_MAX];
    abs = std::string(getcwd(buf, sizeof buf) ? buf : "/") + "/" + abs;
  }
  abs = LexicallyNormal(abs);
  const Drive* best = nullptr;
  for (const auto& [letter, drive] : Machine::Get().Drives()) {
    if (drive.host.empty()) continue;
    bool under = abs == drive.host || (abs.size() > drive.host.size() && abs.compare(0, drive.host.size(), drive.host) == 0 &&
                                       abs[drive.host.size()] == '/');
    if (under && (!best || drive.host.size() > best->host.size())) best = &drive;
  }
  std::string rest = best ? abs.substr(best->host.size()) : abs;
  std::string out = std::string(1, best ? best->letter : 'Z') + ":";
  if (rest.empty()) return out + "\\";
  std::replace(rest.begin(), rest.end(), '/', '\\');
  return out + text::Utf8ToAnsi(rest);
}

void Split(std::string_view full, std::string& dir, std::string& name) {
  auto slash = full.find_last_of('\\');
  if (slash == std::string_view::npos) {
    dir.clear();
    name = std::string(full);
    return;
  }
  name = std::string(full.substr(slash + 1));
  dir = std::string(full.substr(0, slash));
  if (dir.size() == 2 && dir[1] == ':') dir += "\\";
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*") pattern = "*";
  std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || text::UpperAnsi(pattern[p]) == text::UpperAnsi(name[n]))) {
      ++p, ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++, starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1, n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && (pattern[p] == '*' || (pattern[p] == '.' && p + 1 == pattern.size()))) ++p;
  return p == pattern.size();
}

std::string ProgramHostPath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace paths
}  // namespace pinforge

namespace pinforge::machine {

std::string Root() { return Machine::Get().Root(); }

std::optional<std::string> WindowsToHost(const std::string& windowsPath) {
  paths::Mapped m;
  if (!paths::ToHost(windowsPath, m)) return std::nullopt;
  return m.host;
}

std::string HostToWindows(const std::string& hostPath) { return paths::ToWindows(hostPath); }

void Reload() { Machine::Reload(); }

}  // namespace pinforge::machine
