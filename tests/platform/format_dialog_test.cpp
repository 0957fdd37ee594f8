// The shell's format dialog and the window machinery under it: messages, hooks, dialog items.
#include <pinforge/disks.h>
#include <vcl/Forms.h>

#include <algorithm>

#include "TestMachine.h"

using namespace testing_support;
namespace disks = pinforge::disks;

namespace {

struct Seen {
  UINT message;
  int control;  // 0 for the dialog itself
  WPARAM wParam;
};
std::vector<Seen> gSeen;
std::vector<std::string> gOrder;
HHOOK gFirst = 0, gSecond = 0;

LRESULT RecordingHook(int code, WPARAM wParam, LPARAM lParam) {
  gOrder.push_back("first");
  const auto* m = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  if (m->message == WM_INITDIALOG) {
    // The dialog is a window of this thread owned by the given window; its controls are not listed.
    std::vector<HWND> listed;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM out) {
      reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
      return TRUE;
    }, reinterpret_cast<LPARAM>(&listed));
    EXPECT_NE(std::find(listed.begin(), listed.end(), m->hwnd), listed.end());
    EXPECT_EQ(std::find(listed.begin(), listed.end(), GetDlgItem(m->hwnd, 38)), listed.end());
    EXPECT_EQ(GetParent(m->hwnd), Application->Handle());
    EXPECT_EQ(GetParent(GetDlgItem(m->hwnd, 38)), m->hwnd);
  }
  gSeen.push_back({m->message, GetDlgCtrlID(m->hwnd), m->wParam});
  return CallNextHookEx(gFirst, code, wParam, lParam);
}

LRESULT LaterHook(int code, WPARAM wParam, LPARAM lParam) {
  gOrder.push_back("second");
  return CallNextHookEx(gSecond, code, wParam, lParam);
}

bool SawMessage(UINT message, int control, WPARAM wParam) {
  return std::any_of(gSeen.begin(), gSeen.end(),
                     [&](const Seen& s) { return s.message == message && s.control == control && s.wParam == wParam; });
}

}  // namespace

TEST(FormatDialog, TheUserStartsTypesALabelAndCloses) {
  TestMachine m({"Start", "new disk", "Close"});
  m.Configure("[Drives]\r\nA=removable\r\n");
  ASSERT_EQ(disks::Create({"one", "OLD", 0, 10000, true}), "");
  ASSERT_EQ(disks::Insert("one", 'A'), "");
  WriteFile(m.Root() / "disks" / "one" / "files" / "old.txt", "old");

  gSeen.clear();
  gOrder.clear();
  gFirst = SetWindowsHookExA(WH_CALLWNDPROCRET, &RecordingHook, 0, GetCurrentThreadId());
  gSecond = SetWindowsHookExA(WH_CALLWNDPROCRET, &LaterHook, 0, GetCurrentThreadId());
  ASSERT_TRUE(gFirst && gSecond);
  EXPECT_EQ(SHFormatDrive(Application->Handle(), 0, SHFMT_ID_DEFAULT, 0), 0u);
  EXPECT_TRUE(UnhookWindowsHookEx(gSecond));
  EXPECT_TRUE(UnhookWindowsHookEx(gFirst));
  EXPECT_FALSE(UnhookWindowsHookEx(gFirst));

  EXPECT_EQ(disks::InDrive('A')->label, "NEW DISK");
  EXPECT_FALSE(fs::exists(m.Root() / "disks" / "one" / "files" / "old.txt"));
  // The hook installed last is called first and passes each message on.
  ASSERT_GE(gOrder.size(), 2u);
  EXPECT_EQ(gOrder[0], "second");
  EXPECT_EQ(gOrder[1], "first");
  for (int control : {35, 38, 39, 41, 1, 2}) EXPECT_TRUE(SawMessage(WM_SHOWWINDOW, control, TRUE)) << control;
  EXPECT_TRUE(SawMessage(WM_USER + 2, 0, 0));
  EXPECT_TRUE(SawMessage(WM_SETTEXT, 38, 0));
  EXPECT_TRUE(SawMessage(BM_SETSTYLE, 2, BS_PUSHBUTTON));  // after the format
  EXPECT_TRUE(SawMessage(WM_COMMAND, 0, 1));               // Start pressed
  EXPECT_TRUE(SawMessage(WM_COMMAND, 0, 2));               // Close pressed

  auto t = m.Transcript();
  ASSERT_FALSE(t.empty());
  EXPECT_EQ(t.front(), R"~({"event":"form","action":"show","caption":"Format Removable Disk (A:)"})~");
  EXPECT_EQ(t.back(), R"~({"event":"form","action":"close","caption":"Format Removable Disk (A:)"})~");
  auto has = [&](const std::string& s) { return std::any_of(t.begin(), t.end(), [&](auto& l) { return l.find(s) != std::string::npos; }); };
  EXPECT_TRUE(has(R"~("event":"dialog","caption":"Format Removable Disk (A:)","text":"Capacity: 10,000 bytes\nVolume label: OLD\n[ ] Quick Format\n[ ] Create a startup disk\nReady.","buttons":"Start/Close","default":"Close","answer":"Start")~"));
  EXPECT_TRUE(has(R"~("event":"inputbox","caption":"Format Removable Disk (A:)","prompt":"Volume label:","value":"OLD","answer":"new disk")~"));
  EXPECT_TRUE(has(R"("name":"Status","property":"text","value":"Format complete.")"));
}

TEST(FormatDialog, Results) {
  struct Case {
    const char* name;
    UINT drive;
    bool owner, disk;
    std::vector<std::string> answers;
    DWORD result;
    bool shown;
  } cases[] = {
      {"closed at once", 0, true, true, {"Close"}, SHFMT_CANCEL, true},
      {"nobody answers", 0, true, true, {}, SHFMT_CANCEL, true},
      {"no disk in the drive", 0, true, false, {"Start", "", "Close"}, SHFMT_ERROR, true},
      {"a fixed drive", 2, true, true, {}, SHFMT_NOFORMAT, false},
      {"no such drive", 30, true, true, {}, SHFMT_NOFORMAT, false},
      {"no owner", 0, false, true, {}, SHFMT_ERROR, false},
  };
  for (const auto& c : cases) {
    TestMachine m(c.answers);
    m.Configure("[Drives]\r\nA=removable\r\n");
    ASSERT_EQ(disks::Create({"one", "KEEP", 0, 10000, true}), "");
    if (c.disk) {
      ASSERT_EQ(disks::Insert("one", 'A'), "");
    }
    WriteFile(m.Root() / "disks" / "one" / "files" / "kept.txt", "kept");
    EXPECT_EQ(SHFormatDrive(c.owner ? Application->Handle() : 0, c.drive, SHFMT_ID_DEFAULT, 0), c.result) << c.name;
    EXPECT_TRUE(fs::exists(m.Root() / "disks" / "one" / "files" / "kept.txt")) << c.name;
    auto t = m.Transcript();
    EXPECT_EQ(!t.empty(), c.shown) << c.name;
  }
}

TEST(FormatDialog, ShellIsASystemModuleOfferingItsOwnFunctionsOnly) {
  TestMachine m;
  HMODULE shell = LoadLibraryA("Shell32.dll");
  ASSERT_NE(shell, 0u);
  EXPECT_EQ(LoadLibraryA("SHELL32"), shell);
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(shell, "SHFormatDrive")), reinterpret_cast<void*>(&SHFormatDrive));
  EXPECT_NE(GetProcAddress(shell, "SHFileOperationA"), nullptr);
  EXPECT_EQ(GetProcAddress(shell, "CreateFileA"), nullptr);  // the platform has it, this module does not
  char name[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(shell, name, sizeof name), 0u);
  EXPECT_STRCASEEQ(name, "C:\\WINDOWS\\SYSTEM32\\shell32.dll");
  EXPECT_EQ(GetModuleHandleA("shell32.dll"), shell);
  EXPECT_TRUE(FreeLibrary(shell));
  EXPECT_TRUE(FreeLibrary(shell));
  EXPECT_EQ(GetModuleHandleA("shell32.dll"), 0u);
}
