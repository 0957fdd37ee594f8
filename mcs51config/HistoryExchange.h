// The history file, the device description file and the table file that the library shares with
// the workstation, and the two exports that work on them without a window.
#pragma once

#include <win32/windows.h>

#include <vcl/SysUtils.h>

namespace ternlock {

constexpr const char* kHistoryFile = "QuorHistory.ini";
constexpr const char* kConfigSection = "MPU48_51Configuration";
constexpr int kPathLimit = 255;          // paths and the identity live in 256-byte buffers
constexpr int kMaxTableLength = 65527;   // the package's count field holds four hex digits

struct DevicePaths {
  AnsiString description;  // Path + "\ini\" + IcFileName
  AnsiString table;        // Path + "\MPU51_Table.bin"
};

// Reads Path and IcFileName from the history file and composes the two paths; false (after a box
// with the given caption) when one does not fit its buffer.
bool ComposePaths(DevicePaths& paths, const char* caption);

// False (after a box) when the description file's table length cannot be packaged.
bool TableLengthValid(int length, const char* caption);

}  // namespace ternlock

extern "C" {
// 1: the history section holds the selected device's options (kept or reset); -1: the description
// file is missing, or a value was refused, or the history file could not be written.
PF_API int ReadIniDataAndSetToHistory();
// 1: the package was built and its movable block stored through handle (the caller owns it);
// 0: no table file, or it could not be read, or the request was refused; nothing stored.
PF_API int DllPackageData(HGLOBAL* handle);
}
