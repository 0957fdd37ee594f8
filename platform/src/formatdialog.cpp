// The shell's format dialog: a modal dialog on the calling thread, owned by the caller's window,
// with the controls of the real one (1 Start, 2 Close, 35 capacity, 38 volume label, 39 quick
// format, 41 startup disk). Its messages pass the thread's hooks like any window's. When nothing
// waits in its queue, the user has the dialog: a console or script answers Start or Close (and a
// new label while the label field is enabled). Start formats the emulated disk in the drive.
// Only removable drives are formatted; the machine's fixed drives are folders of the host.
#include <win32/windows.h>

#include <pinforge/disks.h>
#include <pinforge/ui.h>

#include <string>
#include <vector>

#include "machine.h"
#include "windows.h"

using namespace pinforge;

namespace {

constexpr int kStart = 1, kClose = 2, kCapacity = 35, kLabel = 38, kQuick = 39, kStartup = 41, kStatus = 0xFFFF;
constexpr UINT kReady = WM_USER + 2;  // the dialog tells itself it is ready for the user

struct ControlSpec {
  int id;
  const char* className;
  const char* caption;
  DWORD style;
  const char* name;  // as the transcript names it
};
const ControlSpec kControls[] = {
    {kCapacity, "ComboBox", "", 0, "Capacity"},
    {kLabel, "Edit", "", 0, "VolumeLabel"},
    {kQuick, "Button", "&Quick Format", BS_AUTOCHECKBOX, "QuickFormat"},
    {kStartup, "Button", "Create a &startup disk", BS_AUTOCHECKBOX, "StartupDisk"},
    {kStatus, "Static", "Ready.", 0, "Status"},
    {kStart, "Button", "&Start", BS_DEFPUSHBUTTON, "Start"},
    {kClose, "Button", "&Close", BS_PUSHBUTTON, "Close"},
};

class FormatDialog {
 public:
  FormatDialog(HWND owner, char letter, UINT formatId) : letter_(letter), formatId_(formatId) {
    caption_ = std::string("Format Removable Disk (") + letter + ":)";
    win::WindowSpec spec;
    spec.className = "#32770";
    spec.caption = caption_;
    spec.parent = owner;
    spec.proc = [this](HWND w, UINT m, WPARAM wp, LPARAM lp) { return DialogProc(w, m, wp, lp); };
    dialog_ = win::Create(spec);
    for (const auto& c : kControls) {
      win::WindowSpec cs;
      cs.className = c.className;
      cs.caption = c.caption;
      cs.parent = dialog_;
      cs.child = true;
      cs.id = c.id;
      cs.style = c.style;
      cs.proc = [this, name = std::string(c.name)](HWND w, UINT m, WPARAM wp, LPARAM lp) { return ControlProc(name, w, m, wp, lp); };
      win::Create(cs);
    }
  }
  ~FormatDialog() { DestroyWindow(dialog_); }
  FormatDialog(const FormatDialog&) = delete;
  FormatDialog& operator=(const FormatDialog&) = delete;

  DWORD Run() {
    auto disk = disks::InDrive(letter_);
    SetDlgItemTextA(dialog_, kCapacity, disk ? (Thousands(disk->capacity) + " bytes").c_str() : "Unknown capacity");
    SendMessageA(dialog_, WM_INITDIALOG, 0, 0);
    ui::FormEvent("show", caption_);
    shown_ = true;
    ShowWindow(dialog_, SW_SHOW);
    for (const auto& c : kControls) ShowWindow(GetDlgItem(dialog_, c.id), SW_SHOW);
    SetDlgItemTextA(dialog_, kLabel, disk ? disk->label.c_str() : "");
    PostMessageA(dialog_, kReady, 0, 0);
    while (!ended_) {
      if (win::DispatchWaiting()) continue;
      AskUser();
    }
    ui::FormEvent("close", caption_);
    shown_ = false;
    return result_;
  }

 private:
  LRESULT DialogProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m != WM_COMMAND || (wp >> 16) != BN_CLICKED) return win::DefaultProc(w, m, wp, lp);
    int id = static_cast<int>(wp & 0xFFFF);
    if (id == kStart) Format();
    else if (id == kClose) ended_ = true;
    return 0;
  }

  LRESULT ControlProc(const std::string& name, HWND w, UINT m, WPARAM wp, LPARAM lp) {
    UINT before = m == BM_SETCHECK ? static_cast<UINT>(win::DefaultProc(w, BM_GETCHECK, 0, 0)) : 0;
    std::string oldText = m == WM_SETTEXT ? Text(w) : "";
    LRESULT r = win::DefaultProc(w, m, wp, lp);
    if (!shown_) return r;
    if (m == WM_SETTEXT && Text(w) != oldText) ui::ControlEvent(caption_, name, "text", Text(w));
    if (m == WM_ENABLE) ui::ControlEvent(caption_, name, "enabled", wp ? 1 : 0);
    if (m == BM_SETCHECK && before != wp) ui::ControlEvent(caption_, name, "checked", static_cast<long long>(wp));
    return r;
  }

  // The user's turn: the dialog as it stands, and the buttons that can be pressed.
  void AskUser() {
    auto state = [&](int id) { return IsWindowEnabled(GetDlgItem(dialog_, id)) ? "" : " (locked)"; };
    auto box = [&](int id) { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED ? "[x] " : "[ ] "; };
    std::string text = "Capacity: " + Text(GetDlgItem(dialog_, kCapacity)) + state(kCapacity) + "\n" +
                       "Volume label: " + Text(GetDlgItem(dialog_, kLabel)) + state(kLabel) + "\n" + box(kQuick) +
                       "Quick Format" + state(kQuick) + "\n" + box(kStartup) + "Create a startup disk" + state(kStartup) +
                       "\n" + Text(GetDlgItem(dialog_, kStatus));
    std::vector<std::string> buttons;
    if (IsWindowEnabled(GetDlgItem(dialog_, kStart))) buttons.push_back("Start");
    buttons.push_back("Close");
    int pressed = ui::Choose(caption_, text, buttons, static_cast<int>(buttons.size()) - 1);
    if (buttons[static_cast<std::size_t>(pressed)] == "Close") {
      PostMessageA(GetDlgItem(dialog_, kClose), BM_CLICK, 0, 0);
      return;
    }
    if (IsWindowEnabled(GetDlgItem(dialog_, kLabel))) {
      if (auto typed = ui::InputBox(caption_, "Volume label:", Text(GetDlgItem(dialog_, kLabel))))
        SetDlgItemTextA(dialog_, kLabel, typed->c_str());
    }
    PostMessageA(GetDlgItem(dialog_, kStart), BM_CLICK, 0, 0);
  }

  void Format() {
    char label[12] = {};
    GetDlgItemTextA(dialog_, kLabel, label, sizeof label);  // the field holds 11 characters
    std::string error;
    auto disk = disks::InDrive(letter_);
    if (!disk) error = "there is no disk in the drive";
    else error = disks::Format(disk->name, label);
    if (error.empty()) {
      result_ = formatId_ == SHFMT_ID_DEFAULT ? 0 : formatId_;
      SetDlgItemTextA(dialog_, kStatus, "Format complete.");
    } else {
      result_ = SHFMT_ERROR;
      SetDlgItemTextA(dialog_, kStatus, (std::string("Drive ") + letter_ + ": could not be formatted: " + error + ".").c_str());
    }
    // The run is over: Cancel becomes Close again, as the dialog shows it after every format.
    SendMessageA(GetDlgItem(dialog_, kClose), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  }

  static std::string Text(HWND w) {
    char buffer[1024];
    GetWindowTextA(w, buffer, sizeof buffer);
    return buffer;
  }
  static std::string Thousands(std::uint64_t n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
      if (i && (digits.size() - i) % 3 == 0) out += ',';
      out += digits[i];
    }
    return out;
  }

  char letter_;
  UINT formatId_;
  std::string caption_;
  HWND dialog_ = 0;
  bool shown_ = false, ended_ = false;
  DWORD result_ = SHFMT_CANCEL;
};

}  // namespace

extern "C" DWORD WINAPI SHFormatDrive(HWND owner, UINT drive, UINT formatId, UINT) {
  if (drive > 25) return SHFMT_NOFORMAT;
  char letter = static_cast<char>('A' + drive);
  const Drive* d = Machine::Get().FindDrive(letter);
  if (!d || d->type != DRIVE_REMOVABLE) return SHFMT_NOFORMAT;
  if (!IsWindow(owner)) return SHFMT_ERROR;  // the dialog must have an owner
  FormatDialog dialog(owner, letter, formatId);
  return dialog.Run();
}
