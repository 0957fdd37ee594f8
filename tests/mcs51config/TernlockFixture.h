// A machine with the workstation's files for the configuration library, and the library loaded
// by name as the workstation loads it.
#pragma once

#include <win32/windows.h>

#include "TestMachine.h"

namespace testing_support {

class TernlockMachine : public TestMachine {
 public:
  explicit TernlockMachine(const std::vector<std::string>& answers = {}) : TestMachine(answers) {
    module_ = LoadLibraryA("Ternlock.dll");
    sync_ = reinterpret_cast<int (*)()>(GetProcAddress(module_, "ReadIniDataAndSetToHistory"));
    package_ = reinterpret_cast<int (*)(HGLOBAL*)>(GetProcAddress(module_, "DllPackageData"));
    fs::create_directories(Folder() / "ini");
  }
  ~TernlockMachine() { FreeLibrary(module_); }

  fs::path Folder() const { return C() / "Pinforge"; }
  fs::path History() const { return C() / "WINDOWS" / "QuorHistory.ini"; }
  fs::path Description() const { return Folder() / "ini" / "DEVICE.INI"; }
  fs::path Table() const { return Folder() / "MPU51_Table.bin"; }

  // The history file as the workstation leaves it, with an options section when given.
  void WriteHistory(const std::string& section = "") {
    WriteFile(History(), "[System]\r\nPath=C:\\Pinforge\r\n[SelectDlg]\r\nIcFileName=device.ini\r\n" + section);
  }
  void WriteDescription(const std::string& body) { WriteFile(Description(), body); }

  int Sync() { return sync_(); }
  int Package(HGLOBAL* h) { return package_(h); }
  bool Loaded() const { return sync_ && package_; }

 private:
  HMODULE module_ = 0;
  int (*sync_)() = nullptr;
  int (*package_)(HGLOBAL*) = nullptr;
};

inline const char* kAtmel =
    "[ICInformation]\r\nBRAND=Atmel\r\nNAME=AT89C51\r\n"
    "[MPU48_51Configuration]\r\nLockBit1Enabled=1\r\nLockBit2Enabled=2\r\nLockBit3Enabled=0\r\n"
    "EncyptionTable=32\r\nConfigWord1Enabled=1\r\n";

}  // namespace testing_support
