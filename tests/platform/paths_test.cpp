// Path mapping between the machine's Windows paths and the host, and the file-name helpers.
#include <pinforge/machine.h>
#include <win32/windows.h>
#include <vcl/SysUtils.h>

#include "TestMachine.h"

using namespace testing_support;

TEST(Paths, WindowsToHostMatchesComponentsCaseInsensitively) {
  TestMachine m;
  WriteFile(m.C() / "Pinforge" / "Ini" / "AT89C51.ini", "x");
  WriteFile(m.C() / "Caf\xC3\xA9" / "menu.txt", "x");  // "Café" on the host, UTF-8
  struct Case {
    std::string windows;
    std::string host;  // relative to the machine root, or absolute
  } cases[] = {
      {"C:\\", "c"},
      {"c:\\windows\\system32", "c/WINDOWS/SYSTEM32"},
      {"C:\\PINFORGE\\ini\\at89c51.INI", "c/Pinforge/Ini/AT89C51.ini"},
      {"C:/pinforge/INI/", "c/Pinforge/Ini"},
      {"C:\\Pinforge\\..\\Windows\\.\\Temp", "c/WINDOWS/TEMP"},
      {"C:\\pinforge\\new folder\\New.txt", "c/Pinforge/new folder/New.txt"},  // missing parts as spelled
      {"C:\\CAF\xC9\\MENU.TXT", "c/Caf\xC3\xA9/menu.txt"},                      // 1252 upper-case E acute
      {"C:\\caf\xE9\\x\x80.txt", "c/Caf\xC3\xA9/x\xE2\x82\xAC.txt"},           // euro sign in 1252
      {"Z:\\", "/"},
      {"Z:\\tmp", "/tmp"},
  };
  for (const Case& c : cases) {
    std::string expected = c.host[0] == '/' ? c.host : (m.Root() / c.host).string();
    EXPECT_EQ(pinforge::machine::WindowsToHost(c.windows).value_or("<none>"), expected) << c.windows;
  }
  for (const char* bad : {"Q:\\x", "\\\\server\\share\\x", "C:\\a<b", "C:\\a|b"})
    EXPECT_FALSE(pinforge::machine::WindowsToHost(bad)) << bad;
}

TEST(Paths, HostToWindowsUsesTheDriveThatHoldsThePath) {
  TestMachine m;
  fs::create_directories(m.Dir() / "ddrive" / "Data");
  m.Configure("[Drives]\r\nD=fixed," + (m.Dir() / "ddrive").string() + "\r\nA=removable\r\n");
  EXPECT_EQ(pinforge::machine::HostToWindows((m.C() / "WINDOWS").string()), "C:\\WINDOWS");
  EXPECT_EQ(pinforge::machine::HostToWindows(m.C().string()), "C:\\");
  EXPECT_EQ(pinforge::machine::HostToWindows((m.Dir() / "ddrive" / "Data").string()), "D:\\Data");
  EXPECT_EQ(pinforge::machine::HostToWindows("/tmp/Caf\xC3\xA9/./x/../y"), "Z:\\tmp\\Caf\xE9\\y");
  EXPECT_EQ(pinforge::machine::HostToWindows("/tmp/\xE4\xB8\xAD"), "Z:\\tmp\\?");  // no 1252 form
  EXPECT_EQ(pinforge::machine::WindowsToHost("d:\\data").value_or(""), (m.Dir() / "ddrive" / "Data").string());
  EXPECT_FALSE(pinforge::machine::WindowsToHost("A:\\"));  // a removable drive without a disk
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
}

TEST(Paths, ExpandFileNameFollowsTheCurrentDirectory) {
  TestMachine m;
  fs::create_directories(m.C() / "Work" / "Sub");
  ASSERT_TRUE(SetCurrentDir("C:\\work\\sub\\"));
  EXPECT_EQ(GetCurrentDir(), "C:\\work\\sub");
  struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"file.txt", "C:\\work\\sub\\file.txt"},
      {"..\\x", "C:\\work\\x"},
      {"\\root.txt", "C:\\root.txt"},
      {"C:rel", "C:\\work\\sub\\rel"},
      {"D:rel", "D:\\rel"},
      {"c:\\a\\b\\..\\c", "c:\\a\\c"},
      {"C:\\..\\..\\x", "C:\\x"},
      {"C:/a//b/", "C:\\a\\b\\"},
      {"C:\\name.\\ext. ", "C:\\name\\ext"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandFileName(c.in), c.out) << c.in;
  EXPECT_FALSE(SetCurrentDir("C:\\missing"));
  EXPECT_EQ(GetCurrentDir(), "C:\\work\\sub");
}

TEST(Paths, FileNameHelpers) {
  struct {
    const char* name;
    const char* path;
    const char* dir;
    const char* file;
    const char* ext;
    const char* drive;
  } cases[] = {
      {"C:\\dir\\file.txt", "C:\\dir\\", "C:\\dir", "file.txt", ".txt", "C:"},
      {"C:\\file", "C:\\", "C:\\", "file", "", "C:"},
      {"file.tar.gz", "", "", "file.tar.gz", ".gz", ""},
      {"C:\\dir.x\\file", "C:\\dir.x\\", "C:\\dir.x", "file", "", "C:"},
      {"\\\\srv\\share\\a.b", "\\\\srv\\share\\", "\\\\srv\\share", "a.b", ".b", "\\\\srv\\share"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractFilePath(c.name), c.path) << c.name;
    EXPECT_EQ(ExtractFileDir(c.name), c.dir) << c.name;
    EXPECT_EQ(ExtractFileName(c.name), c.file) << c.name;
    EXPECT_EQ(ExtractFileExt(c.name), c.ext) << c.name;
    EXPECT_EQ(ExtractFileDrive(c.name), c.drive) << c.name;
  }
  EXPECT_EQ(ChangeFileExt("C:\\a.b\\c.txt", ".bin"), "C:\\a.b\\c.bin");
  EXPECT_EQ(ChangeFileExt("C:\\a.b\\c", ".bin"), "C:\\a.b\\c.bin");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\a"), "C:\\a\\");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\a\\"), "C:\\a\\");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\a\\"), "C:\\a");
}
