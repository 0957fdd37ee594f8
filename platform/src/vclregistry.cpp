#include <vcl/Registry.h>

#include <vector>

namespace {

AnsiString Join(const AnsiString& base, const AnsiString& relative) {
  if (base.empty()) return relative;
  if (relative.empty()) return base;
  return base + "\\" + relative;
}

}  // namespace

TRegistry::TRegistry() = default;
TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY root) {
  CloseKey();
  root_ = root;
}

HKEY TRegistry::Base(const AnsiString& key, AnsiString& relative) const {
  bool absolute = !key.empty() && key[0] == '\\';
  relative = absolute ? key.substr(1) : key;
  return absolute || !current_ ? root_ : current_;
}

bool TRegistry::OpenKey(const AnsiString& key, bool canCreate) {
  AnsiString relative;
  HKEY base = Base(key, relative);
  HKEY result = 0;
  LONG err = canCreate ? RegCreateKeyExA(base, relative.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &result, nullptr)
                       : RegOpenKeyExA(base, relative.c_str(), 0, KEY_ALL_ACCESS, &result);
  if (err != ERROR_SUCCESS) return false;
  AnsiString newPath = (base == root_) ? relative : Join(path_, relative);
  CloseKey();
  current_ = result;
  path_ = newPath;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const AnsiString& key) {
  AnsiString relative;
  HKEY base = Base(key, relative);
  HKEY result = 0;
  if (RegOpenKeyExA(base, relative.c_str(), 0, KEY_READ, &result) != ERROR_SUCCESS) return false;
  AnsiString newPath = (base == root_) ? relative : Join(path_, relative);
  CloseKey();
  current_ = result;
  path_ = newPath;
  return true;
}

void TRegistry::CloseKey() {
  if (current_) RegCloseKey(current_);
  current_ = 0;
  path_.clear();
}

bool TRegistry::CreateKey(const AnsiString& key) {
  AnsiString relative;
  HKEY base = Base(key, relative);
  HKEY result = 0;
  if (RegCreateKeyExA(base, relative.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &result, nullptr) != ERROR_SUCCESS)
    throw ERegistryException("Failed to create key " + key);
  RegCloseKey(result);
  return true;
}

bool TRegistry::DeleteKey(const AnsiString& key) {
  AnsiString relative;
  HKEY base = Base(key, relative);
  return RegDeleteKeyA(base, relative.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::KeyExists(const AnsiString& key) {
  AnsiString relative;
  HKEY base = Base(key, relative);
  HKEY result = 0;
  if (RegOpenKeyExA(base, relative.c_str(), 0, KEY_READ, &result) != ERROR_SUCCESS) return false;
  RegCloseKey(result);
  return true;
}

bool TRegistry::HasSubKeys() {
  DWORD subKeys = 0;
  return current_ && RegQueryInfoKeyA(current_, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, nullptr) == ERROR_SUCCESS && subKeys > 0;
}

void TRegistry::GetKeyNames(TStringList& names) {
  names.Clear();
  char buf[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof buf;
    if (RegEnumKeyExA(current_ ? current_ : root_, i, buf, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.Add(AnsiString(buf, size));
  }
}

void TRegistry::GetValueNames(TStringList& names) {
  names.Clear();
  std::vector<char> buf(16384);
  for (DWORD i = 0;; ++i) {
    DWORD size = static_cast<DWORD>(buf.size());
    if (RegEnumValueA(current_ ? current_ : root_, i, buf.data(), &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.Add(AnsiString(buf.data(), size));
  }
}

bool TRegistry::ValueExists(const AnsiString& name) {
  return RegQueryValueExA(current_ ? current_ : root_, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool TRegistry::DeleteValue(const AnsiString& name) {
  return RegDeleteValueA(current_ ? current_ : root_, name.c_str()) == ERROR_SUCCESS;
}

TRegDataType TRegistry::GetDataType(const AnsiString& name) {
  DWORD type = REG_NONE;
  if (RegQueryValueExA(current_ ? current_ : root_, name.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
    return rdUnknown;
  switch (type) {
    case REG_SZ: return rdString;
    case REG_EXPAND_SZ: return rdExpandString;
    case REG_DWORD: return rdInteger;
    case REG_BINARY: return rdBinary;
    default: return rdUnknown;
  }
}

AnsiString TRegistry::ReadString(const AnsiString& name) {
  HKEY key = current_ ? current_ : root_;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0) return AnsiString();
  if (type != REG_SZ && type != REG_EXPAND_SZ) throw ERegistryException("Invalid data type for '" + name + "'");
  std::vector<BYTE> buf(size);
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, buf.data(), &size) != ERROR_SUCCESS) return AnsiString();
  AnsiString s(reinterpret_cast<const char*>(buf.data()), size);
  if (auto nul = s.find('\0'); nul != AnsiString::npos) s.resize(nul);
  return s;
}

void TRegistry::PutData(const AnsiString& name, DWORD type, const void* data, DWORD size) {
  if (RegSetValueExA(current_ ? current_ : root_, name.c_str(), 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
    throw ERegistryException("Failed to set data for '" + name + "'");
}

void TRegistry::WriteString(const AnsiString& name, const AnsiString& value) {
  PutData(name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void TRegistry::WriteExpandString(const AnsiString& name, const AnsiString& value) {
  PutData(name, REG_EXPAND_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

int TRegistry::ReadInteger(const AnsiString& name) {
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExA(current_ ? current_ : root_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD)
    throw ERegistryException("Invalid data type for '" + name + "'");
  return static_cast<int>(value);
}

void TRegistry::WriteInteger(const AnsiString& name, int value) {
  PutData(name, REG_DWORD, &value, sizeof value);
}
