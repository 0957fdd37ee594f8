#include "ZipKeeper.h"

#include <vcl/Dialogs.h>
#include <vcl/Forms.h>

#include <pinforge/addr32.h>

#include <cstring>

namespace ZipKeeper {
namespace {

// The module that carries the component holds its string table; it does not change.
HMODULE OwnModule() {
  static const HMODULE module = [] {
    HMODULE m = 0;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&OwnModule), &m);
    return m;
  }();
  return module;
}

AnsiString TableText(int code) {
  char buf[1024];
  int n = code > 0 ? LoadStringA(OwnModule(), static_cast<UINT>(code), buf, sizeof buf) : 0;
  return AnsiString(buf, static_cast<std::size_t>(n > 0 ? n : 0));
}

template <class Arg>
AnsiString Formatted(int code, const Arg& argument) {
  AnsiString text = TableText(code);
  if (text.empty()) return FallbackText(code);
  try {
    return Format(text, argument);
  } catch (const EConvertError&) {
    return text;  // a text without its directive: shown as it stands
  }
}

}  // namespace

AnsiString FallbackText(int code) {
  return "ZipKeeper.res is probably not bound to executable\nMissing String ID is: " + IntToStr(code);
}

AnsiString MessageText(int code) {
  AnsiString text = TableText(code);
  return text.empty() ? FallbackText(code) : text;
}

EZipKeeper::EZipKeeper(int code, bool display) : Exception(MessageText(code)), Display(display), ResourceCode(code) {}
EZipKeeper::EZipKeeper(int code, int argument) : Exception(Formatted(code, argument)), Display(true), ResourceCode(code) {}
EZipKeeper::EZipKeeper(int code, const AnsiString& argument)
    : Exception(Formatted(code, argument)), Display(true), ResourceCode(code) {}

TZipKeeper::TZipKeeper(TComponent* owner) : TComponent(owner) {
  ownerWindow_ = Application->Handle();
  caller_ = static_cast<CallerHolder*>(pinforge::addr32::Allocate(sizeof(CallerHolder)));
  if (caller_) caller_->self = this;
}

TZipKeeper::~TZipKeeper() {
  FreeZipDirEntryRecords();
  if (inFile_ != -1) FileClose(inFile_);
  pinforge::addr32::Free(caller_);  // the engine libraries stay loaded: they belong to the process
}

void TZipKeeper::SetFileName(const AnsiString& value) {
  zipFileName_ = value;
  if (!(ComponentState() & csDesigning)) List();
}

void TZipKeeper::SetFSpecArgs(const TStringList& value) { fspecArgs_.Assign(value); }

void TZipKeeper::SetDLLDirectory(const AnsiString& value) {
  if (value == dllDirectory_) return;
  dllDirectory_ = value;
  if (!dllDirectory_.empty() && dllDirectory_.back() == '\\') dllDirectory_.pop_back();
}

void TZipKeeper::SetFreeOnDisk1(int value) {
  if (value >= 0) keepFreeOnDisk1_ = value;
}

void TZipKeeper::SetMaxVolumeSize(int value) {
  if (value >= 0) maxVolumeSize_ = value;
}

void TZipKeeper::SetMinFreeVolSize(int value) {
  if (value > 0) minFreeVolumeSize_ = value;
}

int TZipKeeper::GetCount() const { return zipFileName_.empty() ? 0 : static_cast<int>(dirEntries_.size()); }

void TZipKeeper::FreeZipDirEntryRecords() {
  while (!dirEntries_.empty()) dirEntries_.pop_back();
}

void TZipKeeper::ConvertOem2Iso(char* text) const {
  bool convert = CodePage == cpOEM ||
                 (CodePage == cpAUTO && (lastHostSystem_ == 0 || lastHostSystem_ == 6 || (lastHostSystem_ == 11 && lastMadeByVersion_ == 50)));
  if (!convert) return;
  for (char* p = text; *p; ++p)
    if (static_cast<unsigned char>(*p) & 0x80) OemToCharBuffA(p, p, 1);
}

AnsiString TZipKeeper::GetZipComment() const {
  std::string text = rawComment_;
  ConvertOem2Iso(text.data());
  return AnsiString(text.c_str());
}

AnsiString TZipKeeper::LoadZipStr(int code, const AnsiString& defaultText) const {
  AnsiString text = TableText(code);
  return text.empty() ? defaultText : text;
}

void TZipKeeper::ShowZipMessage(int code, const AnsiString& suffix) {
  AnsiString text = LoadZipStr(code, FallbackText(code)) + suffix;
  errCode_ = code;
  lastMessage_ = text;
  if (!Unattended) ShowMessage(text);
  if (OnMessage) OnMessage(this, 0, text);
}

void TZipKeeper::ShowExceptionError(const EZipKeeper& e) {
  if (e.Display && !Unattended) ShowMessage(e.Message);
  if (OnMessage) OnMessage(this, 0, e.Message);
  errCode_ = e.ResourceCode;
  lastMessage_ = e.Message;
}

void Register() { RegisterComponents("Components", {"TZipKeeper"}); }

}  // namespace ZipKeeper
