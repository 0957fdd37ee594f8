// An archive from outside: listing it never fails with anything but a reported message, never
// reads outside the file, and leaves the component consistent.
#include <cstdint>
#include <cstdio>
#include <string>

#include <pinforge/machine.h>

#include "ZipKeeper.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::string path = [] {
    setenv("PINFORGE_ROOT", "/tmp/pinforge-fuzz-list", 1);
    setenv("PINFORGE_UI", "default", 1);
    return pinforge::machine::Root() + "/c/fuzz.zip";
  }();
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  ZipKeeper::TZipKeeper zip(nullptr);
  zip.Unattended = true;
  zip.SetFileName("C:\\fuzz.zip");
  if (zip.GetCount() > 65535 || (zip.ErrCode() != 0 && zip.ErrCode() != 10203 && zip.ErrCode() != 10204 && zip.GetCount() != 0))
    __builtin_trap();
  for (const auto& e : zip.DirEntries())
    if (e->EntryName.size() >= 260) __builtin_trap();
  (void)zip.GetZipComment();
  return 0;
}
