// The file layer: share modes, buffered reads and writes, dates, deletion, searches, temp names.
#include <win32/windows.h>
#include <vcl/SysUtils.h>

#include <random>

#include "TestMachine.h"

using namespace testing_support;

TEST(Files, ShareModesAreHonouredBetweenHandles) {
  TestMachine m;
  WriteFile(m.C() / "f.bin", "data");
  struct {
    int first, second;
    bool secondOpens;
  } cases[] = {
      {fmOpenRead | fmShareDenyNone, fmOpenRead | fmShareDenyNone, true},
      {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyNone, true},
      {fmOpenRead | fmShareDenyWrite, fmOpenReadWrite | fmShareDenyNone, false},
      {fmOpenRead | fmShareDenyNone, fmOpenRead | fmShareDenyWrite, true},
      {fmOpenWrite | fmShareDenyNone, fmOpenRead | fmShareDenyWrite, false},  // the new one denies a writer
      {fmOpenRead | fmShareDenyRead, fmOpenRead | fmShareDenyNone, false},
      {fmOpenRead | fmShareExclusive, fmOpenRead | fmShareDenyNone, false},
      {fmOpenRead, fmOpenRead | fmShareDenyNone, false},  // compatibility mode shares nothing
  };
  for (const auto& c : cases) {
    int a = FileOpen("C:\\F.BIN", c.first);
    ASSERT_GE(a, 0);
    int b = FileOpen("c:\\f.bin", c.second);
    EXPECT_EQ(b >= 0, c.secondOpens) << c.first << " then " << c.second;
    if (b < 0) EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    else FileClose(b);
    FileClose(a);
  }
  int open = FileOpen("C:\\f.bin", fmOpenRead | fmShareDenyNone);
  EXPECT_FALSE(DeleteFile("C:\\f.bin"));  // no handle shares deletion
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  FileClose(open);
  EXPECT_TRUE(RenameFile("C:\\f.bin", "C:\\g.bin"));
  EXPECT_TRUE(DeleteFile("C:\\G.BIN"));
  EXPECT_FALSE(FileExists("C:\\g.bin"));
}

TEST(Files, SmallAndLargeReadsAndWritesMatchTheHostFile) {
  TestMachine m;
  std::mt19937 rng(7);
  std::string expected(300000, '\0');
  for (char& c : expected) c = static_cast<char>(rng());
  int h = FileCreate("C:\\mix.bin");
  ASSERT_GE(h, 0);
  // Small and large pieces, then a patch written after seeking back.
  for (std::size_t pos = 0; pos < expected.size();) {
    int n = static_cast<int>(std::min<std::size_t>(expected.size() - pos, (rng() % 3 == 0) ? 70000 : rng() % 700));
    ASSERT_EQ(FileWrite(h, expected.data() + pos, n), n);
    pos += static_cast<std::size_t>(n);
  }
  ASSERT_EQ(FileSeek(h, 1000, 0), 1000);
  ASSERT_EQ(FileWrite(h, "PATCH", 5), 5);
  expected.replace(1000, 5, "PATCH");
  FileClose(h);
  EXPECT_EQ(ReadFile(m.C() / "mix.bin"), expected);

  h = FileOpen("C:\\mix.bin", fmOpenRead);
  std::string back;
  char buf[80000];
  for (int n; (n = FileRead(h, buf, static_cast<int>(rng() % 2 ? rng() % 300 + 1 : 80000))) > 0;) back.append(buf, static_cast<std::size_t>(n));
  EXPECT_EQ(back, expected);
  EXPECT_EQ(FileSeek(h, -5, 2), 300000 - 5);
  EXPECT_EQ(FileRead(h, buf, 100), 5);
  EXPECT_EQ(FileWrite(h, "x", 1), -1);  // opened for reading only
  FileClose(h);
}

TEST(Files, DatesAttributesAndErrors) {
  TestMachine m;
  int h = FileCreate("C:\\dated.txt");
  ASSERT_GE(h, 0);
  int age = (((2001 - 1980) << 9 | 7 << 5 | 14) << 16) | (13 << 11 | 45 << 5 | 58 / 2);
  EXPECT_EQ(FileSetDate(h, age), 0);
  EXPECT_EQ(FileGetDate(h), age);
  FileClose(h);
  EXPECT_EQ(FileAge("C:\\DATED.TXT"), age);
  EXPECT_EQ(FileAge("C:\\missing.txt"), -1);
  EXPECT_DOUBLE_EQ(FileDateToDateTime(age), 37086.0 + (13 * 3600 + 45 * 60 + 58) / 86400.0);  // 2001-07-14
  EXPECT_EQ(DateTimeToFileDate(FileDateToDateTime(age)), age);

  EXPECT_EQ(FileSetAttr("C:\\dated.txt", faReadOnly), 0);
  EXPECT_EQ(FileOpen("C:\\dated.txt", fmOpenReadWrite), -1);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(DeleteFile("C:\\dated.txt"));
  EXPECT_EQ(FileGetAttr("C:\\dated.txt") & faReadOnly, faReadOnly);

  EXPECT_EQ(FileOpen("C:\\nowhere\\x.txt", fmOpenRead), -1);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(FileOpen("C:\\x.txt", fmOpenRead), -1);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FileCreate("C:\\nowhere\\x.txt"), -1);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_TRUE(ForceDirectories("C:\\a\\b\\c"));
  EXPECT_TRUE(DirectoryExists("c:\\A\\B\\C"));
  EXPECT_FALSE(CreateDir("C:\\a"));
  EXPECT_FALSE(RemoveDir("C:\\a"));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
}

TEST(Files, FindFirstListsMatchesWithWildcards) {
  TestMachine m;
  for (const char* name : {"Readme.TXT", "b.txt", "c.bin", "Sub/x"}) WriteFile(m.C() / "d" / name, "x");
  auto list = [](const char* pattern, int attr) {
    std::vector<std::string> names;
    TSearchRec rec;
    for (int r = FindFirst(pattern, attr, rec); r == 0; r = FindNext(rec)) names.push_back(rec.Name);
    FindClose(rec);
    return names;
  };
  EXPECT_EQ(list("C:\\d\\*.txt", faAnyFile & ~faDirectory), (std::vector<std::string>{"b.txt", "Readme.TXT"}));
  EXPECT_EQ(list("C:\\D\\*.*", faAnyFile), (std::vector<std::string>{".", "..", "b.txt", "c.bin", "Readme.TXT", "Sub"}));
  EXPECT_EQ(list("C:\\d\\*", 0), (std::vector<std::string>{"b.txt", "c.bin", "Readme.TXT"}));
  EXPECT_EQ(list("C:\\d\\?.bin", 0), (std::vector<std::string>{"c.bin"}));
  EXPECT_EQ(list("c:\\d\\README.txt", 0), (std::vector<std::string>{"Readme.TXT"}));
  TSearchRec rec;
  EXPECT_EQ(FindFirst("C:\\d\\none.*", faAnyFile, rec), static_cast<int>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FindFirst("C:\\none\\*", faAnyFile, rec), static_cast<int>(ERROR_PATH_NOT_FOUND));
}

TEST(Files, FoldersTempNamesAndVersion) {
  TestMachine m;
  m.Configure("[System]\r\nPlatform=9x\r\nWindowsDir=C:\\WIN98\r\n");
  char buf[MAX_PATH];
  EXPECT_EQ(GetWindowsDirectoryA(buf, sizeof buf), 8u);
  EXPECT_STREQ(buf, "C:\\WIN98");
  GetSystemDirectoryA(buf, sizeof buf);
  EXPECT_STREQ(buf, "C:\\WIN98\\SYSTEM");
  EXPECT_EQ(GetWindowsDirectoryA(buf, 5), 9u);  // too small: the size needed
  GetTempPathA(sizeof buf, buf);
  EXPECT_STREQ(buf, "C:\\WIN98\\TEMP\\");
  char a[MAX_PATH], b[MAX_PATH];
  UINT ua = GetTempFileNameA(buf, "zipper", 0, a);
  UINT ub = GetTempFileNameA(buf, "zipper", 0, b);
  EXPECT_NE(ua, 0u);
  EXPECT_NE(ua, ub);
  EXPECT_NE(std::string(a), std::string(b));
  EXPECT_EQ(std::string(a).rfind("C:\\WIN98\\TEMP\\zip", 0), 0u);
  EXPECT_TRUE(FileExists(a));
  EXPECT_EQ(GetTempFileNameA("C:\\", "ab", 0x1F, a), 0x1Fu);
  EXPECT_STREQ(a, "C:\\ab1F.TMP");
  EXPECT_FALSE(FileExists(a));  // a given number creates nothing

  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
  ASSERT_TRUE(GetVersionExA(&v));
  EXPECT_EQ(v.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
  m.Configure("[System]\r\nPlatform=NT\r\n");
  ASSERT_TRUE(GetVersionExA(&v));
  EXPECT_EQ(v.dwPlatformId, VER_PLATFORM_WIN32_NT);
  UINT old = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  EXPECT_EQ(SetErrorMode(old), SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}
