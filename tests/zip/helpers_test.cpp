// The component's file helpers: block copy, file copy with its date, erase to the recycle bin.
#include <pinforge/disks.h>

#include "TestMachine.h"
#include "ZipFixture.h"

using namespace testing_support;
using namespace ZipKeeper;

TEST(Helpers, PathFixes) {
  EXPECT_EQ(AppendSlash(""), "");
  EXPECT_EQ(AppendSlash("C:\\dir\\"), "C:\\dir\\");
  EXPECT_EQ(AppendSlash("C:\\dir"), "C:\\dir\\");
  EXPECT_EQ(ReplaceForwardSlash("a/b/c.txt"), "a\\b\\c.txt");
  EXPECT_EQ(ReplaceForwardSlash(nullptr), "");
}

TEST(Helpers, CopyBufferCopiesTheLengthAskedFor) {
  TestMachine m;
  std::string data(20000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 31);
  WriteFile(m.C() / "in.bin", data);
  struct {
    int length;
    std::size_t copied;
  } cases[] = {{0, 0}, {5, 5}, {8192, 8192}, {10000, 10000}, {-1, 20000}, {50000, 20000}};
  TestZipKeeper zip;
  for (const auto& c : cases) {
    int in = FileOpen("C:\\in.bin", fmOpenRead);
    int out = FileCreate("C:\\out.bin");
    EXPECT_EQ(zip.CopyBuffer(in, out, c.length), 0) << c.length;
    FileClose(in);
    FileClose(out);
    EXPECT_EQ(ReadFile(m.C() / "out.bin"), data.substr(0, c.copied)) << c.length;
  }
  int source = FileOpen("C:\\in.bin", fmOpenRead | fmShareDenyNone);
  int readOnly = FileOpen("C:\\out.bin", fmOpenRead | fmShareDenyNone);
  EXPECT_EQ(zip.CopyBuffer(source, readOnly, -1), -2);  // the output cannot be written
  FileClose(source);
  FileClose(readOnly);
}

TEST(Helpers, CopyFileKeepsTheDateAndErasesTheOldCopyToTheRecycleBin) {
  TestMachine m;
  WriteFile(m.C() / "src.txt", "new contents");
  int h = FileOpen("C:\\src.txt", fmOpenReadWrite);
  int age = (((2003 - 1980) << 9 | 3 << 5 | 9) << 16) | (10 << 11 | 20 << 5 | 30 / 2);
  ASSERT_EQ(FileSetDate(h, age), 0);
  FileClose(h);
  WriteFile(m.C() / "dst.txt", "old contents");
  TestZipKeeper zip;
  EXPECT_EQ(zip.CopyFileA("C:\\src.txt", "C:\\dst.txt"), 0);
  EXPECT_EQ(ReadFile(m.C() / "dst.txt"), "new contents");
  EXPECT_EQ(FileAge("C:\\dst.txt"), age);
  EXPECT_EQ(ReadFile(m.C() / "RECYCLER" / "Dc1.txt"), "old contents");  // erased the HowToDelete way
  EXPECT_NE(ReadFile(m.C() / "RECYCLER" / "INFO.ini").find("Dc1.txt=C:\\dst.txt"), std::string::npos);

  EXPECT_EQ(zip.CopyFileA("C:\\missing.txt", "C:\\x.txt"), -3);
  EXPECT_EQ(zip.CopyFileA("C:\\src.txt", "C:\\no folder\\x.txt"), -1);
  int held = FileOpen("C:\\src.txt", fmOpenRead | fmShareExclusive);
  EXPECT_EQ(zip.CopyFileA("C:\\src.txt", "C:\\y.txt"), -3);  // the source cannot be opened
  FileClose(held);
  EXPECT_FALSE(FileExists("C:\\y.txt"));
}

TEST(Helpers, EraseFileForGoodOrToTheRecycleBin) {
  TestMachine m;
  m.Configure("[Drives]\r\nA=removable\r\n");
  TestZipKeeper zip;
  WriteFile(m.C() / "keep.bin", "1");
  WriteFile(m.C() / "gone.bin", "2");
  EXPECT_EQ(zip.EraseFile("C:\\keep.bin", htdAllowUndo), 0);
  EXPECT_EQ(zip.EraseFile("C:\\gone.bin", htdFinal), 0);
  EXPECT_FALSE(FileExists("C:\\keep.bin") || FileExists("C:\\gone.bin"));
  EXPECT_TRUE(FileExists("C:\\RECYCLER\\Dc1.bin"));
  EXPECT_FALSE(FileExists("C:\\RECYCLER\\Dc2.bin"));
  EXPECT_EQ(zip.EraseFile("C:\\missing.bin", htdAllowUndo), -1);
  ASSERT_EQ(pinforge::disks::Create({"d", "", 0, 100000, true}), "");
  ASSERT_EQ(pinforge::disks::Insert("d", 'A'), "");
  WriteFile(m.Root() / "disks" / "d" / "files" / "f.zip", "z");
  EXPECT_EQ(zip.EraseFile("A:\\f.zip", htdAllowUndo), 0);  // no recycle bin on a diskette
  EXPECT_FALSE(FileExists("A:\\f.zip"));
  EXPECT_FALSE(DirectoryExists("A:\\RECYCLER"));
  m.Configure("[System]\r\nPlatform=9x\r\n");
  WriteFile(m.C() / "old.txt", "9x");
  EXPECT_EQ(zip.EraseFile("C:\\old.txt", htdAllowUndo), 0);
  EXPECT_TRUE(FileExists("C:\\RECYCLED\\Dc1.txt"));
}

namespace {

// A machine with a diskette holding a file, for the format tests.
void DisketteIn(TestMachine& m, const std::string& label) {
  m.Configure("[Drives]\r\nA=removable\r\n");
  ASSERT_EQ(pinforge::disks::Create({"one", label, 0, 10000, true}), "");
  ASSERT_EQ(pinforge::disks::Insert("one", 'A'), "");
  WriteFile(m.Root() / "disks" / "one" / "files" / "old.txt", "old");
}

bool Has(const std::vector<std::string>& transcript, const std::string& part) {
  for (const auto& line : transcript)
    if (line.find(part) != std::string::npos) return true;
  return false;
}

}  // namespace

TEST(ZipFormat, WithoutConfirmationTheDialogStartsAndClosesByItself) {
  TestMachine m;  // no answers: any question would be noticed
  DisketteIn(m, "OLD");
  TestZipKeeper zip;
  zip.ConfirmErase = false;
  zip.volumeLabel_ = "PKBACK# 001";
  EXPECT_EQ(zip.ZipFormat(), 0);
  EXPECT_EQ(zip.FormatState, 2);
  EXPECT_NE(zip.FormatDialog, 0u);
  EXPECT_EQ(zip.FormatThread, nullptr);  // it freed itself
  EXPECT_EQ(pinforge::disks::InDrive('A')->label, "PKBACK# 001");
  EXPECT_FALSE(fs::exists(m.Root() / "disks" / "one" / "files" / "old.txt"));
  auto t = m.Transcript();
  EXPECT_FALSE(Has(t, R"("event":"dialog")"));
  EXPECT_FALSE(Has(t, R"("event":"inputbox")"));
  // The hook locks the options and the label, ticks the quick format and clears the startup disk.
  for (const char* control : {"Capacity", "VolumeLabel", "QuickFormat"})
    EXPECT_TRUE(Has(t, std::string(R"("name":")") + control + R"(","property":"enabled","value":0)")) << control;
  EXPECT_TRUE(Has(t, R"("name":"QuickFormat","property":"checked","value":1)"));
  EXPECT_TRUE(Has(t, R"("name":"VolumeLabel","property":"text","value":"PKBACK# 001")"));
  EXPECT_TRUE(Has(t, R"("name":"Status","property":"text","value":"Format complete.")"));
}

TEST(ZipFormat, WithConfirmationTheUserStartsAndClosesButCannotChangeTheLabel) {
  struct Case {
    std::vector<std::string> answers;
    int result;
    const char* label;
    bool erased;
  } cases[] = {
      {{"Start", "Close"}, 0, "PKBACK# 002", true},
      {{"Close"}, -2, "OLD", false},
      {{}, -2, "OLD", false},  // nobody there: the dialog is closed, nothing erased
  };
  for (const auto& c : cases) {
    TestMachine m(c.answers);
    DisketteIn(m, "OLD");
    TestZipKeeper zip;
    zip.volumeLabel_ = "PKBACK# 002";
    EXPECT_EQ(zip.ZipFormat(), c.result);
    EXPECT_EQ(pinforge::disks::InDrive('A')->label, c.label);
    EXPECT_EQ(fs::exists(m.Root() / "disks" / "one" / "files" / "old.txt"), !c.erased);
    auto t = m.Transcript();
    EXPECT_TRUE(Has(t, R"~("text":"Capacity: 10,000 bytes (locked)\nVolume label: PKBACK# 002 (locked)\n[x] Quick Format (locked)\n[ ] Create a startup disk\nReady.","buttons":"Start/Close")~"));
    EXPECT_FALSE(Has(t, R"("event":"inputbox")"));  // the label field is locked
  }
}

TEST(ZipFormat, FailuresAndASecondFormatWhileOneRuns) {
  TestMachine m;
  DisketteIn(m, "OLD");
  TestZipKeeper zip;
  zip.ConfirmErase = false;
  zip.FormatDrive = 2;  // C: is a fixed drive
  EXPECT_EQ(zip.ZipFormat(), -3);
  zip.FormatDrive = 0;
  ASSERT_EQ(pinforge::disks::Eject('A'), "");
  EXPECT_EQ(zip.ZipFormat(), -1);  // no disk: the format fails and the dialog closes
  ASSERT_EQ(pinforge::disks::Insert("one", 'A'), "");

  // A hook for every thread starts a second format from inside the first one's dialog.
  static TestZipKeeper* second = nullptr;
  static int secondResult = 0;
  static HHOOK watcher = 0;
  TestZipKeeper other;
  second = &other;
  secondResult = 0;
  watcher = SetWindowsHookExA(WH_CALLWNDPROCRET, [](int code, WPARAM w, LPARAM l) -> LRESULT {
    const auto* msg = reinterpret_cast<const CWPRETSTRUCT*>(l);
    if (code >= 0 && msg->message == WM_USER + 2 && second) {
      TestZipKeeper* z = second;
      second = nullptr;
      secondResult = z->ZipFormat();
    }
    return CallNextHookEx(watcher, code, w, l);
  }, GetModuleHandleA(nullptr), 0);
  ASSERT_NE(watcher, 0u);
  zip.volumeLabel_ = "FIRST";
  EXPECT_EQ(zip.ZipFormat(), 0);
  UnhookWindowsHookEx(watcher);
  EXPECT_EQ(secondResult, -1);
  EXPECT_EQ(other.FormatState, 2);
  EXPECT_EQ(pinforge::disks::InDrive('A')->label, "FIRST");
  // The refused format left the running one's record alone: the next format runs.
  zip.volumeLabel_ = "THIRD";
  EXPECT_EQ(zip.ZipFormat(), 0);
  EXPECT_EQ(pinforge::disks::InDrive('A')->label, "THIRD");
}
