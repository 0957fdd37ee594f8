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
  out.host = drive->host;
  out.exists = HostIsDir(drive->host);
  std::size_t pos = 3;
  while (pos < full.size()) {
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
    std::string utf8 = text::AnsiToUtf8(comp);
    std::string candidate = out.host + "/" + utf8;
    if (!out.exists || HostExists(candidate)) {
      out.host = candidate;
      continue;
    }
    std::string match;
    if (DIR* dir = opendir(out.host.empty() ? "/" : out.host.c_str())) {
      while (struct dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (text::EqualNoCase(text::Utf8ToAnsi(name), comp) && (match.empty() || name < match)) match = name;
      }
      closedir(dir);
    }
    if (match.empty()) {
      out.exists = false;
      out.host = candidate;
    } else {
      out.host += "/" + match;
    }
  }
  if (out.host.empty()) out.host = "/";
  return true;
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
