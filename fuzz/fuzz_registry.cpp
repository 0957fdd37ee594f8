// A registry file from outside: parsing never fails, and what is written reads back the same.
#include <cstdint>
#include <string>

#include "regstore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  pinforge::reg::Key hives[4], again[4];
  std::vector<std::string> errors;
  if (!pinforge::reg::Parse(bytes, hives, errors)) return 0;
  std::string text = pinforge::reg::Serialize(hives);
  errors.clear();
  if (!pinforge::reg::Parse(text, again, errors) || !errors.empty()) __builtin_trap();
  if (pinforge::reg::Serialize(again) != text) __builtin_trap();
  return 0;
}
