// Ini text from outside: parsing, look-ups and edits never fail, and an edit is read back.
#include <cstdint>
#include <string>

#include "inidoc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  pinforge::IniDocument doc(bytes);
  for (const std::string& section : doc.Sections())
    for (const std::string& key : doc.Keys(section)) (void)doc.Get(section, key);
  doc.Set("Fuzz", "Key", "Value");
  if (doc.Get("fuzz", "KEY") != "Value") __builtin_trap();
  pinforge::IniDocument again(doc.Serialize());
  if (again.Get("FUZZ", "key") != "Value" || again.Sections() != doc.Sections()) __builtin_trap();
  doc.DeleteKey("Fuzz", "Key");
  doc.DeleteSection("Fuzz");
  if (doc.HasSection("Fuzz")) __builtin_trap();
  return 0;
}
