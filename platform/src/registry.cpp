// The Reg* functions over the machine's system.reg: the file is read again whenever it changed on
// disk and written back, through a new file beside it, after every change.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "files.h"
#include "machine.h"
#include "regstore.h"
#include "text.h"

using namespace pinforge;

namespace {

struct OpenKey {
  int hive;
  std::vector<std::string> path;
};

class Store {
 public:
  std::recursive_mutex mutex;

  // Brings the tree in line with the file; false (and ERROR_BADDB) when the file is unreadable.
  bool Refresh() {
    const std::string& file = Machine::Get().RegistryFile();
    struct stat st;
    bool exists = ::stat(file.c_str(), &st) == 0;
    if (loaded_ && file == file_ && exists == existed_ &&
        (!exists || (st.st_mtim.tv_sec == stamp_.tv_sec && st.st_mtim.tv_nsec == stamp_.tv_nsec && st.st_size == size_ &&
                     st.st_ino == ino_)))
      return !bad_;
    file_ = file;
    existed_ = exists;
    loaded_ = true;
    bad_ = false;
    std::string bytes;
    std::vector<std::string> errors;
    if (!exists || !files::ReadHostFile(file, bytes)) {
      bytes = "REGEDIT4\r\n";
    }
    if (exists) stamp_ = st.st_mtim, size_ = st.st_size, ino_ = st.st_ino;
    if (!reg::Parse(bytes, hives_, errors)) {
      std::fprintf(stderr, "registry: %s is not a REGEDIT4 file; the registry is unavailable\n", file.c_str());
      bad_ = true;
    }
    for (const auto& e : errors) std::fprintf(stderr, "registry: %s: %s (skipped)\n", file.c_str(), e.c_str());
    return !bad_;
  }

  bool Save() {
    if (!files::ReplaceHostFile(file_, reg::Serialize(hives_))) {
      SetLastError(ERROR_CANTWRITE);
      return false;
    }
    struct stat st;
    if (::stat(file_.c_str(), &st) == 0) stamp_ = st.st_mtim, size_ = st.st_size, ino_ = st.st_ino, existed_ = true;
    return true;
  }

  reg::Key* Resolve(const OpenKey& k) {
    reg::Key* key = &hives_[k.hive];
    for (const auto& part : k.path) {
      key = key->Find(part);
      if (!key) return nullptr;
    }
    return key;
  }

  void Invalidate() { loaded_ = false; }

  std::map<HKEY, OpenKey> handles;
  HKEY next = 0x1000;

 private:
  reg::Key hives_[4];
  bool loaded_ = false, bad_ = false, existed_ = false;
  std::string file_;
  struct timespec stamp_ {};
  off_t size_ = 0;
  ino_t ino_ = 0;
};

Store& TheStore() {
  static Store* s = [] {
    auto* store = new Store();
    RegisterReloadHook([store] {
      std::lock_guard lock(store->mutex);
      store->Invalidate();
    });
    return store;
  }();
  return *s;
}

bool SplitSub(LPCSTR subKey, std::vector<std::string>& out) {
  if (!subKey) return true;
  std::string_view s = subKey;
  if (!s.empty() && s[0] == '\\') return false;
  std::size_t pos = 0;
  while (pos <= s.size()) {
    auto next = s.find('\\', pos);
    if (next == std::string_view::npos) next = s.size();
    if (next > pos) {
      if (next - pos > 255) return false;
      out.emplace_back(s.substr(pos, next - pos));
    }
    pos = next + 1;
  }
  return true;
}

// The open key a handle names: a root constant or an opened key.
LONG Base(Store& s, HKEY key, OpenKey& out) {
  if (key >= HKEY_CLASSES_ROOT && key <= HKEY_USERS) {
    out = {static_cast<int>(key - HKEY_CLASSES_ROOT), {}};
    return ERROR_SUCCESS;
  }
  auto it = s.handles.find(key);
  if (it == s.handles.end()) return ERROR_INVALID_HANDLE;
  out = it->second;
  return ERROR_SUCCESS;
}

HKEY NewHandle(Store& s, OpenKey k) {
  HKEY h;
  do {
    h = s.next;
    s.next += 4;
    if (s.next >= 0x7FFFFFF0u) s.next = 0x1000;
  } while (s.handles.count(h));
  s.handles[h] = std::move(k);
  return h;
}

// Opens the key for one call: refreshed tree, resolved handle.
#define REG_BEGIN(keyHandle)                                      \
  Store& s = TheStore();                                          \
  std::lock_guard lock(s.mutex);                                  \
  if (!s.Refresh()) return ERROR_BADDB;                           \
  OpenKey open;                                                   \
  if (LONG err = Base(s, keyHandle, open)) return err;            \
  reg::Key* k = s.Resolve(open);                                  \
  if (!k) return ERROR_KEY_DELETED;

LONG CopyData(const std::string& data, BYTE* out, LPDWORD size) {
  if (!size) return out ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  DWORD need = static_cast<DWORD>(data.size());
  if (out && *size < need) {
    *size = need;
    return ERROR_MORE_DATA;
  }
  if (out) std::memcpy(out, data.data(), need);
  *size = need;
  return ERROR_SUCCESS;
}

LONG CopyName(const std::string& name, LPSTR out, LPDWORD size) {
  if (!out || !size) return ERROR_INVALID_PARAMETER;
  if (*size <= name.size()) return ERROR_MORE_DATA;
  std::memcpy(out, name.c_str(), name.size() + 1);
  *size = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, DWORD, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = 0;
  REG_BEGIN(key)
  std::vector<std::string> parts;
  if (!SplitSub(subKey, parts)) return ERROR_BAD_PATHNAME;
  for (const auto& p : parts) {
    k = k->Find(p);
    if (!k) return ERROR_FILE_NOT_FOUND;
    open.path.push_back(k->name);
  }
  *result = NewHandle(s, std::move(open));
  return ERROR_SUCCESS;
}

LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, DWORD, void*, HKEY* result,
                            LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = 0;
  REG_BEGIN(key)
  std::vector<std::string> parts;
  if (!SplitSub(subKey, parts)) return ERROR_BAD_PATHNAME;
  bool created = false;
  for (const auto& p : parts) {
    reg::Key* next = k->Find(p);
    if (!next) {
      next = k->Add(p);
      created = true;
    }
    k = next;
    open.path.push_back(k->name);
  }
  if (created && !s.Save()) {
    s.Invalidate();
    return ERROR_CANTWRITE;
  }
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = NewHandle(s, std::move(open));
  return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY key) {
  if (key >= HKEY_CLASSES_ROOT && key <= HKEY_USERS) return ERROR_SUCCESS;
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  return s.handles.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, BYTE* data, LPDWORD size) {
  REG_BEGIN(key)
  reg::Value* v = k->FindValue(name ? name : "");
  if (!v) return ERROR_FILE_NOT_FOUND;
  if (type) *type = v->type;
  return CopyData(v->data, data, size);
}

LONG WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  REG_BEGIN(key)
  if (!data && size) return ERROR_INVALID_PARAMETER;
  std::string bytes(reinterpret_cast<const char*>(data), data ? size : 0);
  if (reg::Value* v = k->FindValue(name ? name : "")) {
    v->type = type;
    v->data = bytes;
  } else {
    k->values.push_back({name ? name : "", type, bytes});
  }
  if (!s.Save()) {
    s.Invalidate();
    return ERROR_CANTWRITE;
  }
  return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteValueA(HKEY key, LPCSTR name) {
  REG_BEGIN(key)
  std::string n = name ? name : "";
  for (auto it = k->values.begin(); it != k->values.end(); ++it) {
    if (text::EqualNoCase(it->name, n)) {
      k->values.erase(it);
      if (!s.Save()) {
        s.Invalidate();
        return ERROR_CANTWRITE;
      }
      return ERROR_SUCCESS;
    }
  }
  return ERROR_FILE_NOT_FOUND;
}

LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey) {
  REG_BEGIN(key)
  std::vector<std::string> parts;
  if (!SplitSub(subKey, parts) || parts.empty()) return ERROR_BAD_PATHNAME;
  reg::Key* parent = k;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    parent = parent->Find(parts[i]);
    if (!parent) return ERROR_FILE_NOT_FOUND;
  }
  reg::Key* victim = parent->Find(parts.back());
  if (!victim) return ERROR_FILE_NOT_FOUND;
  // Windows NT deletes only keys without subkeys; Windows 9x deletes the whole branch.
  if (Machine::Get().IsNT() && !victim->subkeys.empty()) return ERROR_ACCESS_DENIED;
  parent->Remove(parts.back());
  if (!s.Save()) {
    s.Invalidate();
    return ERROR_CANTWRITE;
  }
  return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD, LPSTR className,
                          LPDWORD classSize, FILETIME* lastWrite) {
  REG_BEGIN(key)
  if (index >= k->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  if (className && classSize && *classSize) className[0] = 0;
  if (classSize) *classSize = 0;
  if (lastWrite) *lastWrite = {};
  return CopyName(k->subkeys[index]->name, name, nameSize);
}

LONG WINAPI RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD, LPDWORD type, BYTE* data,
                          LPDWORD dataSize) {
  REG_BEGIN(key)
  if (index >= k->values.size()) return ERROR_NO_MORE_ITEMS;
  const reg::Value& v = k->values[index];
  if (LONG err = CopyName(v.name, name, nameSize)) return err;
  if (type) *type = v.type;
  return CopyData(v.data, data, dataSize);
}

LONG WINAPI RegQueryInfoKeyA(HKEY key, LPSTR className, LPDWORD classSize, LPDWORD, LPDWORD subKeys,
                             LPDWORD maxSubKeyLen, LPDWORD maxClassLen, LPDWORD values, LPDWORD maxValueNameLen,
                             LPDWORD maxValueLen, LPDWORD securityDescriptor, FILETIME* lastWrite) {
  REG_BEGIN(key)
  if (className && classSize && *classSize) className[0] = 0;
  if (classSize) *classSize = 0;
  DWORD maxSub = 0, maxName = 0, maxData = 0;
  for (const auto& sub : k->subkeys) maxSub = std::max<DWORD>(maxSub, static_cast<DWORD>(sub->name.size()));
  for (const auto& v : k->values) {
    maxName = std::max<DWORD>(maxName, static_cast<DWORD>(v.name.size()));
    maxData = std::max<DWORD>(maxData, static_cast<DWORD>(v.data.size()));
  }
  if (subKeys) *subKeys = static_cast<DWORD>(k->subkeys.size());
  if (maxSubKeyLen) *maxSubKeyLen = maxSub;
  if (maxClassLen) *maxClassLen = 0;
  if (values) *values = static_cast<DWORD>(k->values.size());
  if (maxValueNameLen) *maxValueNameLen = maxName;
  if (maxValueLen) *maxValueLen = maxData;
  if (securityDescriptor) *securityDescriptor = 0;
  if (lastWrite) *lastWrite = {};
  return ERROR_SUCCESS;
}

}  // extern "C"
