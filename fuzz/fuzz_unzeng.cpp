// An archive from outside, unpacked by the decompression engine: whatever it holds, the engine
// reports through its callback, never crashes, and writes nothing outside the folder it unpacks to.
#include <dirent.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include <pinforge/addr32.h>
#include <pinforge/machine.h>
#include <win32/windows.h>

#include "CallBack.h"
#include "CommandRecords.h"

extern "C" std::int32_t UnzEngExec(void* record);

namespace {

std::int32_t Callback(CallBack::ZCallBackStruct* r) {
  if (r->ActionCode > 6 || std::memchr(r->FileNameOrMsg, 0, sizeof r->FileNameOrMsg) == nullptr) __builtin_trap();
  return 0;
}

// The names at the root of drive C: beside the machine's own folders.
std::set<std::string> RootNames(const std::string& root) {
  std::set<std::string> names;
  if (DIR* d = opendir(root.c_str())) {
    while (dirent* e = readdir(d)) names.insert(e->d_name);
    closedir(d);
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::string c = [] {
    setenv("PINFORGE_ROOT", "/tmp/pinforge-fuzz-unzeng", 1);
    setenv("PINFORGE_UI", "default", 1);
    std::string root = pinforge::machine::Root() + "/c";
    CreateDirectoryA("C:\\out", nullptr);
    return root;
  }();
  static const std::set<std::string> expected = [] {
    auto names = RootNames(c);
    names.insert("in.zip");
    return names;
  }();
  if (size < 1) return 0;
  std::uint8_t options = data[0];
  if (FILE* f = std::fopen((c + "/in.zip").c_str(), "wb")) {
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
  }
  auto record = pinforge::addr32::MakeBlock(sizeof(ZipKeeper::UnzCommandRecord));
  auto archive = pinforge::addr32::MakeBlock(16);
  auto password = pinforge::addr32::MakeBlock(8);
  std::memcpy(archive.get(), "C:\\in.zip", 10);
  std::memcpy(password.get(), "secret", 7);
  auto& r = *reinterpret_cast<ZipKeeper::UnzCommandRecord*>(record.get());
  r.Head.Version = 152;
  r.Head.Callback = pinforge::addr32::ToField(reinterpret_cast<void*>(&Callback));
  r.CodePageMode = options & 3;
  r.PasswordText = pinforge::addr32::ToField(password.get());
  r.Test = options >> 2 & 1;
  r.Always1 = 1;
  r.VerboseFlag = 1;
  r.DirNames = options >> 3 & 1;
  r.Overwrite = 1;
  r.ArchiveName = pinforge::addr32::ToField(archive.get());
  r.EndMarker = ZipKeeper::kEndMarker;
  SetCurrentDirectoryA("C:\\out");
  UnzEngExec(record.get());
  if (RootNames(c) != expected) __builtin_trap();  // something landed beside the folder
  return 0;
}
