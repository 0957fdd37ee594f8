// Windows paths from outside: full-path normalisation and wildcard matching never fail, and a full
// path is absolute, free of "." and ".." components, and normalises to itself.
#include <cstdint>
#include <string>

#include <pinforge/machine.h>

#include "machine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool init = [] {
    setenv("PINFORGE_ROOT", "/tmp/pinforge-fuzz-machine", 1);
    pinforge::machine::Root();
    return true;
  }();
  (void)init;
  std::string input(reinterpret_cast<const char*>(data), size);
  std::string full;
  if (pinforge::paths::FullPath(input, full)) {
    bool unc = full.size() >= 2 && full[0] == '\\' && full[1] == '\\';
    if (!unc && (full.size() < 3 || full[1] != ':' || full[2] != '\\')) __builtin_trap();
    if (!unc && (full.find("\\..\\") != std::string::npos || full.find("\\.\\") != std::string::npos)) __builtin_trap();
    std::string twice;
    if (!unc && (!pinforge::paths::FullPath(full, twice) || twice != full)) __builtin_trap();
  }
  auto half = input.size() / 2;
  (void)pinforge::paths::WildcardMatch(std::string_view(input).substr(0, half), std::string_view(input).substr(half));
  return 0;
}
