// Writing a file without losing the old one: the new bytes go to a file beside it, which replaces
// the old file only when it is complete.
#pragma once

#include <vcl/SysUtils.h>

namespace pinforge {

class PF_API ReplacingFile {
 public:
  explicit ReplacingFile(const AnsiString& target);
  ~ReplacingFile();  // discards the new file unless committed
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  bool IsOpen() const { return handle_ != -1; }
  bool Write(const void* data, int count);
  // Closes the new file and puts it in the target's place; false (the old file kept) on failure.
  bool Commit();

 private:
  AnsiString target_, temp_;
  int handle_ = -1;
  bool failed_ = false;
};

}  // namespace pinforge
