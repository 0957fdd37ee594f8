#include "HistoryExchange.h"

#include <vcl/IniFiles.h>

#include <algorithm>
#include <cstring>

#include "FileHelpers.h"

namespace ternlock {
namespace {

constexpr const char* kSyncCaption = "ReadConfigBitsAndPacking()";
constexpr const char* kPackageCaption = "DllPackageData()";

void Box(const AnsiString& text, const char* caption) { MessageBoxA(0, text.c_str(), caption, MB_OK); }

bool Fits(const AnsiString& value, const char* what, const char* caption) {
  if (Length(value) <= kPathLimit) return true;
  Box(Format("%s is longer than %d characters:\n[%s]", what, kPathLimit, value.c_str()), caption);
  return false;
}

// Reads a description value that must not be "None"; a missing one reads as "None" too.
AnsiString ReadDeviceItem(const TIniFile& description, const char* key, const char* caption) {
  AnsiString value = description.ReadString("ICInformation", key, "None");
  if (value == "None") Box("IC's *.INI is Error!", caption);
  return value;
}

int Synchronise() {
  TIniFile history(kHistoryFile);
  DevicePaths paths;
  if (!ComposePaths(paths, kSyncCaption)) return -1;
  AnsiString writtenBy = history.ReadString(kConfigSection, "WritedBy", "None");
  if (!CheckFileExist(paths.description.c_str())) {
    Box("Not Found File[*.ini].", kSyncCaption);
    return -1;
  }
  TIniFile description(paths.description);
  AnsiString brand = ReadDeviceItem(description, "BRAND", "BRAND ITEM");
  AnsiString name = ReadDeviceItem(description, "NAME", "NAME ITEM");
  AnsiString identity = brand + "_" + name;
  if (!Fits(identity, "The device identity", kSyncCaption)) return -1;
  if (writtenBy == identity) return 1;

  int tableLength = description.ReadInteger(kConfigSection, "EncyptionTable", 0);
  if (!TableLengthValid(tableLength, kSyncCaption)) return -1;
  for (const char* key : {"LockBit1Enabled", "LockBit2Enabled", "LockBit3Enabled"})
    history.WriteInteger(kConfigSection, key, description.ReadInteger(kConfigSection, key, 0));
  history.WriteString(kConfigSection, "EnabledEncyption", "0");
  history.WriteString(kConfigSection, "ConfigWord1", "FFFF");
  history.WriteString(kConfigSection, "ConfigWord2", "FFFF");
  history.WriteString(kConfigSection, "WritedBy", identity);
  WriteBlankTable(tableLength, paths.table.c_str());
  return 1;
}

std::uint16_t ReadWord(const TIniFile& history, const char* key) {
  AnsiString text = history.ReadString(kConfigSection, key, "FFFF");
  return static_cast<std::uint16_t>(StrToL32(text.c_str(), nullptr, 16));
}

int BuildPackage(HGLOBAL* out) {
  TIniFile history(kHistoryFile);
  DevicePaths paths;
  if (!ComposePaths(paths, kPackageCaption)) return 0;
  int n = TIniFile(paths.description).ReadInteger(kConfigSection, "EncyptionTable", 0);
  if (!TableLengthValid(n, kPackageCaption)) return 0;

  HGLOBAL package = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(n + 108));
  if (!package) return 0;
  auto* bytes = static_cast<unsigned char*>(GlobalLock(package));
  if (!bytes) {
    GlobalFree(package);
    return 0;
  }
  auto release = [&] {
    GlobalUnlock(package);
    GlobalFree(package);
    return 0;
  };
  AnsiString count = Format("%04lX", n + 8);
  std::memcpy(bytes, count.data(), 4);
  int lock = 4;
  for (const char* key : {"LockBit1Enabled", "LockBit2Enabled", "LockBit3Enabled"})
    bytes[lock++] = history.ReadInteger(kConfigSection, key, 0) == 2 ? 1 : 0;
  bytes[7] = history.ReadInteger(kConfigSection, "EnabledEncyption", 0) == 1 ? 1 : 0;
  std::uint16_t word1 = ReadWord(history, "ConfigWord1"), word2 = ReadWord(history, "ConfigWord2");
  bytes[8] = static_cast<unsigned char>(word1 >> 8);
  bytes[9] = static_cast<unsigned char>(word1);
  bytes[10] = static_cast<unsigned char>(word2 >> 8);
  bytes[11] = static_cast<unsigned char>(word2);

  if (!CheckFileExist(paths.table.c_str())) return release();
  std::int32_t size = 0;
  HGLOBAL table = 0;
  int loaded = HLoadFileToBuffer(paths.table.c_str(), &size, &table);
  if (loaded < 0 || (loaded == 0 && size != 0)) return release();
  if (loaded == 1) {
    std::uint32_t copy = std::min(static_cast<std::uint32_t>(size), static_cast<std::uint32_t>(n));
    if (const void* data = GlobalLock(table)) {
      std::memcpy(bytes + 12, data, copy);
      GlobalUnlock(table);
    }
    GlobalFree(table);
  }
  GlobalUnlock(package);
  *out = package;
  return 1;
}

}  // namespace

bool ComposePaths(DevicePaths& paths, const char* caption) {
  TIniFile history(kHistoryFile);
  AnsiString folder = history.ReadString("System", "Path", "None");
  AnsiString device = history.ReadString("SelectDlg", "IcFileName", "None");
  paths.description = folder + "\\ini\\" + device;
  paths.table = folder + "\\MPU51_Table.bin";
  return Fits(paths.description, "The device description path", caption) && Fits(paths.table, "The table path", caption);
}

bool TableLengthValid(int length, const char* caption) {
  if (length >= 0 && length <= kMaxTableLength) return true;
  Box(Format("IC's *.INI is Error!\nEncyptionTable=%d is out of range (0 to %d).", length, kMaxTableLength), caption);
  return false;
}

}  // namespace ternlock

using namespace ternlock;

extern "C" {

int ReadIniDataAndSetToHistory() {
  try {
    return Synchronise();
  } catch (const std::exception& e) {
    // The ini layer's write error stops at the library's boundary; the workstation gets -1.
    Box(e.what(), kSyncCaption);
    return -1;
  }
}

int DllPackageData(HGLOBAL* handle) {
  if (!handle) return 0;
  try {
    return BuildPackage(handle);
  } catch (const std::exception& e) {
    Box(e.what(), kPackageCaption);
    return 0;
  }
}

}  // extern "C"
