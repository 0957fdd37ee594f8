#include "resdir.h"

#include <elf.h>

#include <cstring>

namespace pinforge::resources {
namespace {

template <class T>
bool ReadAt(std::string_view bytes, std::uint64_t offset, T& out) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
  std::memcpy(&out, bytes.data() + offset, sizeof(T));
  return true;
}

bool StringAt(std::string_view bytes, std::uint64_t offset, std::string& out) {
  if (offset >= bytes.size()) return false;
  auto end = bytes.find('\0', offset);
  if (end == std::string_view::npos) return false;
  out.assign(bytes.data() + offset, end - offset);
  return true;
}

}  // namespace

bool FindElfSection(std::string_view image, std::string_view name, std::string_view& section) {
  Elf64_Ehdr eh;
  if (!ReadAt(image, 0, eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
      eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shstrndx >= eh.e_shnum)
    return false;
  Elf64_Shdr strtab;
  if (!ReadAt(image, eh.e_shoff + std::uint64_t(eh.e_shstrndx) * sizeof(Elf64_Shdr), strtab)) return false;
  if (strtab.sh_offset > image.size() || image.size() - strtab.sh_offset < strtab.sh_size) return false;
  std::string_view names = image.substr(strtab.sh_offset, strtab.sh_size);
  for (std::uint32_t i = 0; i < eh.e_shnum; ++i) {
    Elf64_Shdr sh;
    std::string found;
    if (!ReadAt(image, eh.e_shoff + std::uint64_t(i) * sizeof(Elf64_Shdr), sh)) return false;
    if (!StringAt(names, sh.sh_name, found) || found != name) continue;
    if (sh.sh_type == SHT_NOBITS || sh.sh_offset > image.size() || image.size() - sh.sh_offset < sh.sh_size) return false;
    section = image.substr(sh.sh_offset, sh.sh_size);
    return true;
  }
  return false;
}

bool ParseDirectory(std::string_view dir, std::vector<Entry>& entries) {
  entries.clear();
  std::uint32_t count;
  if (dir.size() < 12 || std::memcmp(dir.data(), kMagic, 8) != 0 || !ReadAt(dir, 8, count)) return false;
  if (count > (dir.size() - 12) / kEntrySize) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint64_t at = 12 + std::uint64_t(i) * kEntrySize;
    std::uint32_t typeId, typeName, nameId, nameOff, offset, size;
    std::uint16_t language;
    Entry e;
    if (!ReadAt(dir, at, typeId) || !ReadAt(dir, at + 4, typeName) || !ReadAt(dir, at + 8, nameId) ||
        !ReadAt(dir, at + 12, nameOff) || !ReadAt(dir, at + 16, language) || !ReadAt(dir, at + 20, offset) ||
        !ReadAt(dir, at + 24, size))
      return false;
    if ((typeId == 0 && !StringAt(dir, typeName, e.typeName)) || (nameId == 0 && !StringAt(dir, nameOff, e.name)))
      return false;
    if (offset > dir.size() || dir.size() - offset < size) return false;
    e.typeId = typeId;
    e.nameId = nameId;
    e.language = language;
    e.data = dir.substr(offset, size);
    entries.push_back(std::move(e));
  }
  return true;
}

}  // namespace pinforge::resources
