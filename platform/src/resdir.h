// Resources of a module: the directory that the resource compiler writes into the module file's
// ".pfrsrc" section, and the reading of it out of an ELF image.
//
// Directory layout (little-endian): "PFRSRC01", u32 count, then count entries of 28 bytes:
//   u32 type id (0 when named), u32 type name offset, u32 name id (0 when named),
//   u32 name offset, u16 language, u16 0, u32 data offset, u32 data size
// Offsets count from the directory's start; names are NUL-terminated upper-case text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "internal.h"

namespace pinforge::resources {

constexpr char kMagic[8] = {'P', 'F', 'R', 'S', 'R', 'C', '0', '1'};
constexpr std::size_t kEntrySize = 28;
constexpr const char* kSection = ".pfrsrc";

struct Entry {
  std::uint32_t typeId = 0;
  std::string typeName;
  std::uint32_t nameId = 0;
  std::string name;
  std::uint16_t language = 0;
  std::string_view data;  // inside the image
};

// The bytes of the named section of a 64-bit ELF file; false when there is none or the file is
// not one (every offset is checked against the image).
PF_INTERNAL bool FindElfSection(std::string_view image, std::string_view name, std::string_view& section);
// Reads a directory; false when it is malformed (nothing read outside it).
PF_INTERNAL bool ParseDirectory(std::string_view directory, std::vector<Entry>& entries);

}  // namespace pinforge::resources
