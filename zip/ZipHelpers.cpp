// File helpers of the component: block copy, file copy with its date, erase through the shell,
// and two path fixes.
#include <vcl/Forms.h>

#include <memory>
#include <vector>

#include "ZipKeeper.h"

namespace ZipKeeper {

int TZipKeeper::CopyBuffer(int& in, int& out, int length) {
  int result = -2;
  try {
    std::vector<char> buffer(8192);
    result = 0;
    for (;;) {
      int block = length >= 0 ? std::min(length, 8192) : 8192;
      int got = block > 0 ? FileRead(in, buffer.data(), block) : 0;
      if (got < 0) got = 0;
      if (got > 0 && FileWrite(out, buffer.data(), got) != got) return -2;
      if (length > 0) length -= got;
      Application->ProcessMessages();
      if (got < block || length == 0) break;
    }
  } catch (...) {
    // The copy ends with the result reached so far.
  }
  return result;
}

int TZipKeeper::CopyFileA(const AnsiString& source, const AnsiString& destination) {
  if (!FileExists(source)) return -3;
  Screen->SetCursor(crHourGlass);
  int in = FileOpen(source, fmOpenRead | fmShareDenyWrite);
  if (in < 0) {
    Screen->SetCursor(crDefault);
    return -3;
  }
  int result;
  std::int64_t outLength = -1;
  if (FileExists(destination)) EraseFile(destination, HowToDelete);
  int out = FileCreate(destination);
  if (out < 0) {
    result = -1;
  } else {
    result = CopyBuffer(in, out, -1);
    if (result == 0 && FileSetDate(out, FileGetDate(in)) != 0) result = -4;
    outLength = FileSeek64(out, 0, 2);
    FileClose(out);
  }
  std::int64_t inLength = FileSeek64(in, 0, 2);
  FileClose(in);
  if (result == 0 && (inLength < 0 || outLength < 0 || inLength != outLength)) result = -9;
  if (result != 0 && result != -4 && out >= 0) DeleteFile(destination);
  Screen->SetCursor(crDefault);
  return result;
}

int TZipKeeper::EraseFile(const AnsiString& name, DeleteOpts how) {
  if (!FileExists(name)) return -1;
  std::string list = ExpandFileName(name) + '\0' + '\0';
  SHFILEOPSTRUCTA op{};
  op.hwnd = Application->Handle();
  op.wFunc = FO_DELETE;
  op.pFrom = list.c_str();
  op.fFlags = static_cast<WORD>(FOF_SILENT | FOF_NOCONFIRMATION | (how == htdAllowUndo ? FOF_ALLOWUNDO : 0));
  return SHFileOperationA(&op);
}

AnsiString AppendSlash(const AnsiString& s) { return s.empty() || s.back() == '\\' ? s : s + "\\"; }

AnsiString ReplaceForwardSlash(const char* text) {
  AnsiString s = text ? text : "";
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

}  // namespace ZipKeeper
