#include "ZipShellFormat.h"

#include <vcl/Forms.h>

#include "ZipKeeper.h"

using ZipKeeper::TZipKeeper;

namespace ZipShellFormat {
namespace {

// One format at a time in the process: the component whose format runs, and its hook.
std::atomic<TZipKeeper*> gFormatting{nullptr};
std::atomic<HHOOK> gHook{0};

constexpr int kStart = 1, kClose = 2, kOption35 = 35, kLabel = 38, kOption39 = 39, kOption41 = 41;
constexpr UINT kDialogReady = WM_USER + 2;
constexpr int kLabelLength = 11;

// The format dialog a window belongs to (the dialog or one of its controls), else 0. The hook runs
// from the dialog's first message on, before ZipFormat may have found it, so until then it knows
// the dialog the way ZipFormat does: by its owner, the application's main window.
HWND DialogOf(const TZipKeeper* zip, HWND window) {
  HWND parent = GetParent(window);
  if (HWND dialog = zip->FormatDialog) return window == dialog || parent == dialog ? dialog : 0;
  HWND main = Application->Handle();
  if (!main) return 0;
  if (parent == main) return window;
  return parent && GetParent(parent) == main ? parent : 0;
}

bool IsControl(const TZipKeeper* zip, HWND window, int id) {
  HWND dialog = DialogOf(zip, window);
  return dialog && dialog != window && GetDlgItem(dialog, id) == window;
}

}  // namespace

TSHFormatThread::TSHFormatThread(TZipKeeper* zip, bool createSuspended)
    : TThread(createSuspended), zip_(zip), ended_(zip->formatEnded_) {
  // The refused thread frees itself too, so nothing is left behind.
  FreeOnTerminate = true;
  TZipKeeper* none = nullptr;
  if (!gFormatting.compare_exchange_strong(none, zip)) {
    Terminate();
    return;
  }
  recorded_ = true;
  Priority = tpNormal;
  zip->FormatThread = this;
  zip->AutoStartFormat = true;
}

TSHFormatThread::~TSHFormatThread() {
  if (recorded_) gFormatting = nullptr;
  TSHFormatThread* self = this;
  zip_->FormatThread.compare_exchange_strong(self, nullptr);
  if (ended_) *ended_ = true;  // the last touch of the component
}

void TSHFormatThread::Execute() {
  UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  if (Terminated()) {
    zip_->FormatResult = -1;
  } else if (HMODULE shell = LoadLibraryA("Shell32.dll")) {
    zip_->formatThreadId_ = GetCurrentThreadId();
    auto format = reinterpret_cast<SHFormatDriveFunction>(GetProcAddress(shell, "SHFormatDrive"));
    if (format) {
      gHook = SetWindowsHookExA(WH_CALLWNDPROCRET, &CallWndRetProc, 0, GetCurrentThreadId());
      if (gHook) {
        zip_->FormatResult = static_cast<int>(format(Application->Handle(), static_cast<UINT>(zip_->FormatDrive), SHFMT_ID_DEFAULT, 0));
        UnhookWindowsHookEx(gHook);
        gHook = 0;
      }
    }
    FreeLibrary(shell);
  }
  zip_->FormatState = 2;
  SetErrorMode(previous);
}

LRESULT CALLBACK TSHFormatThread::CallWndRetProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code < 0) return CallNextHookEx(gHook, code, wParam, lParam);
  Sleep(1);
  const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  TZipKeeper* zip = gFormatting;
  if (!zip || !message) return CallNextHookEx(gHook, code, wParam, lParam);
  HWND window = message->hwnd;
  switch (message->message) {
    case WM_SHOWWINDOW:
    case WM_ENABLE:
      if (IsControl(zip, window, kOption35) || IsControl(zip, window, kLabel)) {
        EnableWindow(window, FALSE);
      } else if (IsControl(zip, window, kOption39)) {
        CheckDlgButton(GetParent(window), kOption39, BST_CHECKED);
        EnableWindow(window, FALSE);
      } else if (IsControl(zip, window, kOption41)) {
        PostMessageA(window, BM_SETCHECK, BST_UNCHECKED, 0);
      }
      break;
    case kDialogReady:
      if (!zip->ConfirmErase && zip->AutoStartFormat) {
        if (HWND dialog = DialogOf(zip, window)) PostMessageA(GetDlgItem(dialog, kStart), BM_CLICK, 0, 0);
        zip->AutoStartFormat = false;
      }
      break;
    case WM_SETTEXT:
      if (IsControl(zip, window, kLabel)) {
        // The field holds 11 characters: a longer label is compared (and set) as far as it goes,
        // or setting it would start this again without end.
        AnsiString wanted = zip->volumeLabel_.substr(0, kLabelLength);
        char shown[kLabelLength + 1] = {};
        GetWindowTextA(window, shown, sizeof shown);
        if (wanted != shown) SetWindowTextA(window, wanted.c_str());
      }
      break;
    case BM_SETSTYLE:
      if (message->wParam == 0 && !zip->ConfirmErase && IsControl(zip, window, kClose)) PostMessageA(window, BM_CLICK, 0, 0);
      break;
    default:
      break;
  }
  return CallNextHookEx(gHook, code, wParam, lParam);
}

}  // namespace ZipShellFormat

namespace ZipKeeper {

int TZipKeeper::ZipFormat() {
  FormatState = 0;
  FormatResult = -3;
  FormatDialog = 0;
  formatThreadId_ = 0;
  auto ended = std::make_shared<std::atomic<bool>>(false);
  formatEnded_ = ended;
  TThread::New<ZipShellFormat::TSHFormatThread>(this, false);
  formatEnded_.reset();
  while (FormatState == 0) {
    Application->ProcessMessages();
    if (DWORD thread = formatThreadId_) EnumThreadWindows(thread, &EnumThreadWndProc, reinterpret_cast<LPARAM>(this));
    if (FormatState == 0) Sleep(1);
  }
  // The thread is waited for however it ended: until its object is gone it still writes here.
  while (!*ended) {
    Application->ProcessMessages();
    Sleep(1);
  }
  return FormatResult;
}

BOOL TZipKeeper::EnumThreadWndProc(HWND window, LPARAM component) {
  auto* zip = reinterpret_cast<TZipKeeper*>(component);
  if (GetParent(window) != Application->Handle()) return TRUE;
  zip->FormatDialog = window;
  zip->FormatState = 1;
  return FALSE;
}

}  // namespace ZipKeeper
