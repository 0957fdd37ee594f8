// A module file from outside: finding the resource section and reading its directory never reads
// outside the file, and every entry's data lies inside it.
#include <cstdint>
#include <string>

#include "resdir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view image(reinterpret_cast<const char*>(data), size);
  std::string_view section;
  std::vector<pinforge::resources::Entry> entries;
  // The input as a whole ELF file, and as a bare directory.
  if (pinforge::resources::FindElfSection(image, ".pfrsrc", section)) {
    if (section.data() < image.data() || section.data() + section.size() > image.data() + image.size()) __builtin_trap();
    pinforge::resources::ParseDirectory(section, entries);
  }
  if (pinforge::resources::ParseDirectory(image, entries))
    for (const auto& e : entries)
      if (e.data.data() < image.data() || e.data.data() + e.data.size() > image.data() + image.size()) __builtin_trap();
  return 0;
}
