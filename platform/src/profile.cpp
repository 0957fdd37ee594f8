// The Windows profile functions over ini files: no cache, every call reads the file as it is now,
// and every change is written through a new file beside the old one.
#include <sys/stat.h>

#include <cstring>
#include <mutex>

#include "files.h"
#include "inidoc.h"
#include "machine.h"
#include "text.h"

using namespace pinforge;

namespace {

std::mutex gWriteMutex;

// A bare file name is the Windows folder's file; anything else is a path.
bool ProfileHost(LPCSTR fileName, std::string& host) {
  std::string name = fileName ? fileName : "win.ini";
  if (name.find_first_of("\\/:") == std::string::npos) name = Machine::Get().WindowsDir() + "\\" + name;
  paths::Mapped m;
  if (!paths::ToHost(name, m)) return false;
  host = m.host;
  return true;
}

IniDocument Load(const std::string& host, bool& existed) {
  std::string bytes;
  existed = files::ReadHostFile(host, bytes);
  return IniDocument(bytes);
}

// A list of names, each ending in NUL, the list in a second NUL; cut to size - 2 when too long.
DWORD CopyList(const std::vector<std::string>& items, LPSTR buffer, DWORD size) {
  std::string list;
  for (const std::string& item : items) list += item + '\0';
  if (list.size() + 1 <= size) {
    std::memcpy(buffer, list.data(), list.size());
    buffer[list.size()] = 0;
    if (list.empty() && size > 1) buffer[1] = 0;
    return static_cast<DWORD>(list.size());
  }
  if (size < 2) {
    buffer[0] = 0;
    return 0;
  }
  std::memcpy(buffer, list.data(), size - 2);
  buffer[size - 2] = buffer[size - 1] = 0;
  return size - 2;
}

}  // namespace

extern "C" {

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                                      LPCSTR fileName) {
  if (!buffer || size == 0) return 0;
  std::string host;
  bool existed = false;
  IniDocument doc;
  if (ProfileHost(fileName, host)) doc = Load(host, existed);
  if (!section) return CopyList(doc.Sections(), buffer, size);
  if (!key) return CopyList(doc.Keys(section), buffer, size);
  std::string value;
  if (auto v = doc.Get(section, key)) {
    value = *v;
  } else {
    value = defaultValue ? defaultValue : "";
    while (!value.empty() && value.back() == ' ') value.pop_back();
    SetLastError(ERROR_FILE_NOT_FOUND);
  }
  DWORD n = static_cast<DWORD>(std::min<std::size_t>(value.size(), size - 1));
  std::memcpy(buffer, value.data(), n);
  buffer[n] = 0;
  return n;
}

UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR fileName) {
  char buf[64];
  if (!section || !key) return static_cast<UINT>(defaultValue);
  std::string host;
  bool existed = false;
  if (!ProfileHost(fileName, host)) return static_cast<UINT>(defaultValue);
  auto v = Load(host, existed).Get(section, key);
  if (!v) return static_cast<UINT>(defaultValue);
  std::strncpy(buf, v->c_str(), sizeof buf - 1);
  buf[sizeof buf - 1] = 0;
  // Leading decimal digits, with an optional sign; no digits read as 0.
  const char* p = buf;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  UINT value = 0;
  while (*p >= '0' && *p <= '9') value = value * 10 + static_cast<UINT>(*p++ - '0');
  return negative ? 0u - value : value;
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
  if (!section) {
    // Flushing the cache: there is none to write, every call goes to the file.
    return FALSE;
  }
  std::string host;
  if (!ProfileHost(fileName, host)) return FALSE;
  std::lock_guard lock(gWriteMutex);
  bool existed = false;
  IniDocument doc = Load(host, existed);
  struct stat st;
  if (existed && ::stat(host.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  bool changed;
  if (!key) changed = doc.DeleteSection(section);
  else if (!value) changed = doc.DeleteKey(section, key);
  else {
    doc.Set(section, key, value);
    changed = true;
  }
  if (!changed) return TRUE;
  auto slash = host.find_last_of('/');
  std::string parent = slash == 0 ? "/" : host.substr(0, slash);
  if (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  return files::ReplaceHostFile(host, doc.Serialize()) ? TRUE : FALSE;
}

}  // extern "C"
