// The engine libraries: loaded by name into process-wide slots, their versions read, and their
// callbacks turned into progress and message events.
#include <vcl/Forms.h>

#include <pinforge/addr32.h>

#include <cstring>

#include "ZipKeeper.h"

namespace ZipKeeper {
namespace {

struct EngineSlot {
  const char* file;      // "ZIPENG.DLL"
  const char* exec;      // "ZipEngExec"
  const char* version;   // "GetZipEngVersion"
  int loadedMessage;     // 10601: then +1 exec missing, +2 version missing, +3 not loadable
  HMODULE handle = 0;
  CallBack::ExecFunction execFunction = nullptr;
  CallBack::VersionFunction versionFunction = nullptr;
};

EngineSlot gZip{"ZIPENG.DLL", "ZipEngExec", "GetZipEngVersion", 10601};
EngineSlot gUnz{"UNZENG.DLL", "UnzEngExec", "GetUnzEngVersion", 10701};

void Unload(EngineSlot& slot) {
  if (slot.handle) FreeLibrary(slot.handle);
  slot.handle = 0;
}

}  // namespace

void TZipKeeper::LoadEngine(bool zip) {
  EngineSlot& slot = zip ? gZip : gUnz;
  AnsiString name = slot.file;
  if (!dllDirectory_.empty() && FileExists(dllDirectory_ + "\\" + slot.file)) name = dllDirectory_ + "\\" + slot.file;
  UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  try {
    slot.handle = LoadLibraryA(name.c_str());
    if (slot.handle) {
      if (Trace) ShowZipMessage(slot.loadedMessage, "");
      slot.execFunction = reinterpret_cast<CallBack::ExecFunction>(GetProcAddress(slot.handle, slot.exec));
      slot.versionFunction = reinterpret_cast<CallBack::VersionFunction>(GetProcAddress(slot.handle, slot.version));
      if (!slot.execFunction) ShowZipMessage(slot.loadedMessage + 1, "");
      if (!slot.versionFunction) ShowZipMessage(slot.loadedMessage + 2, "");
    } else {
      ShowZipMessage(slot.loadedMessage + 3, "");
    }
  } catch (...) {
    // A failing OnMessage handler does not stop the loader.
  }
  SetErrorMode(oldMode);
}

void TZipKeeper::Load_Zip_Eng() { LoadEngine(true); }
void TZipKeeper::Load_Unz_Eng() { LoadEngine(false); }
void TZipKeeper::Unload_Zip_Eng() { Unload(gZip); }
void TZipKeeper::Unload_Unz_Eng() { Unload(gUnz); }
bool TZipKeeper::ZipEngineLoaded() { return gZip.handle != 0; }
bool TZipKeeper::UnzEngineLoaded() { return gUnz.handle != 0; }
CallBack::ExecFunction TZipKeeper::ZipEngExec() { return gZip.handle ? gZip.execFunction : nullptr; }
CallBack::ExecFunction TZipKeeper::UnzEngExec() { return gUnz.handle ? gUnz.execFunction : nullptr; }

namespace {
// The version through a loaded (or, for this call only, loaded) library; 0 without it or without
// its version entry point, which is never called when missing.
template <class Load>
int EngineVersion(EngineSlot& slot, Load load) {
  bool loadedHere = !slot.handle;
  if (loadedHere) load();
  if (!slot.handle) return 0;
  int version = slot.versionFunction ? slot.versionFunction() : 0;
  if (loadedHere) Unload(slot);
  return version;
}
}  // namespace

int TZipKeeper::GetZipVers() { return EngineVersion(gZip, [this] { Load_Zip_Eng(); }); }
int TZipKeeper::GetUnzVers() { return EngineVersion(gUnz, [this] { Load_Unz_Eng(); }); }

void TZipKeeper::FillEngineHead(CallBack::EngineHead& head) const {
  head.OwnerWindow = ownerWindow_;
  head.Caller = pinforge::addr32::ToField(caller_);
  head.Version = CallBack::kRecordVersion;
  head.Callback = pinforge::addr32::ToField(reinterpret_cast<const void*>(&TZipKeeper::ZCallback));
  head.Trace = Trace ? 1 : 0;
}

std::int32_t TZipKeeper::ZCallback(CallBack::ZCallBackStruct* record) {
  auto* holder = record ? pinforge::addr32::FromField<CallerHolder>(record->Caller) : nullptr;
  if (!holder || !holder->self) return 1;  // no component to report to: stop
  TZipKeeper& zip = *holder->self;
  // The engine's text, NUL-terminated within its capacity whatever the engine wrote.
  char text[sizeof record->FileNameOrMsg + 1];
  std::memcpy(text, record->FileNameOrMsg, sizeof record->FileNameOrMsg);
  text[sizeof record->FileNameOrMsg] = 0;
  AnsiString name = text;
  for (char& c : name)
    if (c == '/') c = '\\';
  std::uint32_t action = record->ActionCode;
  if (zip.OnProgress) {
    switch (action) {
      case 1: zip.OnProgress(&zip, ptNewItem, name, record->FileSize); break;
      case 2: zip.OnProgress(&zip, ptItemBytes, "", record->FileSize); break;
      case 3: zip.OnProgress(&zip, ptBatchEnd, "", 0); break;
      case 5: zip.OnProgress(&zip, ptTotalItems, "", record->FileSize); break;
      case 6: zip.OnProgress(&zip, ptTotalBytes, "", record->FileSize); break;
      default: break;
    }
  }
  if (action == 4) {
    AnsiString message = name;
    while (!message.empty() && static_cast<unsigned char>(message.back()) <= ' ') message.pop_back();
    if (record->ErrorCode != 0) {
      zip.errCode_ = static_cast<std::int8_t>(record->ErrorCode & 0xFF);
      zip.engineErrCode_ = record->ErrorCode;
    }
    zip.lastMessage_ = message;
    if (zip.OnMessage) zip.OnMessage(&zip, record->ErrorCode, message);
  }
  if (action == 6) zip.batchTotalBytes_ = record->FileSize;
  Application->ProcessMessages();
  return zip.Cancel ? 1 : 0;
}

}  // namespace ZipKeeper
