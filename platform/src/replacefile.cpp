#include <pinforge/replacefile.h>

#include <win32/windows.h>

namespace pinforge {

ReplacingFile::ReplacingFile(const AnsiString& target) : target_(ExpandFileName(target)) {
  AnsiString dir = ExtractFilePath(target_);
  char temp[MAX_PATH];
  if (target_.empty() || GetTempFileNameA(dir.c_str(), "~pf", 0, temp) == 0) return;
  temp_ = temp;
  handle_ = FileOpen(temp_, fmOpenWrite | fmShareExclusive);
  if (handle_ < 0) {
    DeleteFileA(temp_.c_str());
    temp_.clear();
  }
}

ReplacingFile::~ReplacingFile() {
  if (handle_ != -1) FileClose(handle_);
  if (!temp_.empty()) DeleteFileA(temp_.c_str());
}

bool ReplacingFile::Write(const void* data, int count) {
  if (handle_ == -1 || failed_) return false;
  if (FileWrite(handle_, data, count) != count) failed_ = true;
  return !failed_;
}

bool ReplacingFile::Commit() {
  if (handle_ == -1) return false;
  bool closed = CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = -1;
  if (failed_ || !closed || !MoveFileExA(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
  temp_.clear();
  return true;
}

}  // namespace pinforge
