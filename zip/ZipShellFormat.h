// The disk format of the zip component: the shell's format dialog run on a thread of its own and
// steered by a window hook, so that the disk gets the wanted label and, unless the user is to
// confirm, formats and closes without the user.
#pragma once

#include <win32/windows.h>

#include <atomic>
#include <memory>

#include <vcl/Classes.h>

namespace ZipKeeper {
class TZipKeeper;
}

namespace ZipShellFormat {

class TSHFormatThread : public TThread {
 public:
  // Refused (Execute reports -1) while another format runs in the process. Frees itself.
  TSHFormatThread(ZipKeeper::TZipKeeper* zip, bool createSuspended);
  ~TSHFormatThread() override;
  // The WH_CALLWNDPROCRET hook on the format thread: locks the dialog's options and label and,
  // with ConfirmErase false, presses Start and Close.
  static LRESULT CALLBACK CallWndRetProc(int code, WPARAM wParam, LPARAM lParam);

 protected:
  void Execute() override;

 private:
  ZipKeeper::TZipKeeper* zip_;
  bool recorded_ = false;  // this thread is the process's running format
  std::shared_ptr<std::atomic<bool>> ended_;  // set when the object is gone; ZipFormat waits for it
};

}  // namespace ZipShellFormat
