// The registry as a tree of keys held in memory and kept in the machine's REGEDIT4 file.
#pragma once

#include <win32/windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "internal.h"

namespace pinforge::reg {

struct Value {
  std::string name;  // "" is the key's default value
  DWORD type = REG_SZ;
  std::string data;  // as stored by RegSetValueEx (strings with their NUL)
};

struct Key {
  std::string name;
  std::vector<std::unique_ptr<Key>> subkeys;  // kept in case-insensitive order
  std::vector<Value> values;

  Key* Find(std::string_view child) const;
  Key* Add(std::string_view child);
  bool Remove(std::string_view child);
  Value* FindValue(std::string_view valueName);
};

// Parses REGEDIT4 text into the four hives; lines it cannot read are listed in errors and skipped.
// False when the text is not a REGEDIT4 file at all.
PF_INTERNAL bool Parse(std::string_view textBytes, Key hives[4], std::vector<std::string>& errors);
PF_INTERNAL std::string Serialize(const Key hives[4]);
const char* HiveName(int index);

}  // namespace pinforge::reg
