// Resources found through a module handle, read from the module file's resource directory.
#include <win32/windows.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "modules.h"
#include "resdir.h"
#include "text.h"

using namespace pinforge;

namespace {

struct Found {
  std::shared_ptr<const std::string> image;  // keeps the data alive
  std::string_view data;
};

std::mutex gMutex;
std::vector<Found>& Table() {
  static auto* t = new std::vector<Found>();
  return *t;
}
constexpr HRSRC kFirst = 0x30000004;

bool Matches(LPCSTR wanted, std::uint32_t id, const std::string& name) {
  if (IS_INTRESOURCE(wanted)) return id != 0 && id == reinterpret_cast<std::uintptr_t>(wanted);
  if (wanted[0] == '#') return id != 0 && std::to_string(id) == wanted + 1;
  return id == 0 && text::EqualNoCase(name, wanted);
}

HRSRC Find(HMODULE module, LPCSTR type, LPCSTR name, int language) {
  if (!type || !name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto image = modules::Image(module);
  if (!image) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  std::string_view section;
  std::vector<resources::Entry> entries;
  if (!resources::FindElfSection(*image, resources::kSection, section) || !resources::ParseDirectory(section, entries)) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return 0;
  }
  bool typeSeen = false, nameSeen = false;
  const resources::Entry* hit = nullptr;
  for (const auto& e : entries) {
    if (!Matches(type, e.typeId, e.typeName)) continue;
    typeSeen = true;
    if (!Matches(name, e.nameId, e.name)) continue;
    nameSeen = true;
    if (language > 0 && e.language != language) continue;
    // Any language: the first found, unless a neutral one comes later.
    if (!hit || (language < 0 && e.language == 0)) hit = &e;
    if (language >= 0 || e.language == 0) break;
  }
  if (!hit) {
    SetLastError(!typeSeen ? ERROR_RESOURCE_TYPE_NOT_FOUND : !nameSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_LANG_NOT_FOUND);
    return 0;
  }
  std::lock_guard lock(gMutex);
  auto& table = Table();
  for (std::size_t i = 0; i < table.size(); ++i)
    if (table[i].data.data() == hit->data.data() && table[i].image == image) return kFirst + static_cast<HRSRC>(i) * 4;
  table.push_back({image, hit->data});
  return kFirst + static_cast<HRSRC>(table.size() - 1) * 4;
}

const Found* Lookup(HRSRC resource) {
  std::lock_guard lock(gMutex);
  std::size_t index = (resource - kFirst) / 4;
  if (resource < kFirst || (resource - kFirst) % 4 || index >= Table().size()) return nullptr;
  return &Table()[index];
}

}  // namespace

extern "C" {

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) { return Find(module, type, name, -1); }

HRSRC WINAPI FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language) {
  return Find(module, type, name, language);
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC resource) {
  if (!Lookup(resource)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return resource;  // the loaded resource is reached through the same value
}

LPVOID WINAPI LockResource(HGLOBAL resourceData) {
  const Found* f = Lookup(resourceData);
  return f ? const_cast<char*>(f->data.data()) : nullptr;
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC resource) {
  const Found* f = Lookup(resource);
  if (!f) SetLastError(ERROR_INVALID_HANDLE);
  return f ? static_cast<DWORD>(f->data.size()) : 0;
}

}  // extern "C"
