// The file helpers: the loader's block sizes and failures, and writes that never lose the old file.
#include <vcl/SysUtils.h>

#include "FileHelpers.h"
#include "TestMachine.h"

using namespace testing_support;
using namespace ternlock;

TEST(FileHelpers, LoaderBlocksAndFailures) {
  TestMachine m;
  struct {
    std::size_t size;
    int result;
    SIZE_T block;
  } cases[] = {{10, 1, 66560}, {65535, 1, 66560}, {65536, 1, 132096}, {200000, 1, 263168}, {0, 0, 0}};
  for (const auto& c : cases) {
    std::string bytes(c.size, '\0');
    for (std::size_t i = 0; i < c.size; ++i) bytes[i] = static_cast<char>(i * 7);
    WriteFile(m.C() / "t.bin", bytes);
    std::int32_t size = -5;
    HGLOBAL h = 0;
    EXPECT_EQ(HLoadFileToBuffer("C:\\T.BIN", &size, &h), c.result) << c.size;
    EXPECT_EQ(size, static_cast<std::int32_t>(c.size));
    if (c.result != 1) {
      EXPECT_EQ(h, 0u);
      continue;
    }
    EXPECT_EQ(GlobalSize(h), c.block);
    const char* p = static_cast<const char*>(GlobalLock(h));
    EXPECT_EQ(std::string(p, c.size), bytes);
    EXPECT_EQ(std::string(p + c.size, 1024), std::string(1024, '\0'));
    GlobalUnlock(h);
    GlobalFree(h);
  }
  std::int32_t size = -5;
  HGLOBAL h = 7;
  EXPECT_EQ(HLoadFileToBuffer("C:\\none.bin", &size, &h), -1);
  EXPECT_EQ(size, -5);
  EXPECT_EQ(h, 7u);
  EXPECT_EQ(m.Transcript(), (std::vector<std::string>{
                                BoxLine("HLoadFileToBuffer(..)", "File not Found !\n[C:\\none.bin]", "OK", "none", "OK", 0, "OK")}));
  EXPECT_EQ(CheckFileExist("C:\\T.bin"), 1);
  EXPECT_EQ(CheckFileExist("C:\\WINDOWS"), 1);
  EXPECT_EQ(CheckFileExist("C:\\none.bin"), 0);
}

TEST(FileHelpers, WritersReplaceWholeFilesAndKeepTheOldOneOnFailure) {
  TestMachine m;
  WriteFile(m.C() / "table.bin", "old contents");
  EXPECT_EQ(WriteBlankTable(5, "C:\\table.bin"), 1);
  EXPECT_EQ(ReadFile(m.C() / "table.bin"), std::string(5, '\xFF'));
  EXPECT_EQ(WriteBlankTable(0, "C:\\table.bin"), 1);
  EXPECT_EQ(ReadFile(m.C() / "table.bin"), "");

  HGLOBAL block = GlobalAlloc(GHND, 200000);
  char* p = static_cast<char*>(GlobalLock(block));
  for (int i = 0; i < 200000; ++i) p[i] = static_cast<char>(i % 251);
  std::string expected(p, 150000);
  GlobalUnlock(block);
  EXPECT_EQ(HSaveBufferToFile(block, 150000, "C:\\table.bin"), 1);
  EXPECT_EQ(ReadFile(m.C() / "table.bin"), expected);

  // The workstation holds the table open without sharing: the old file stays whole.
  int held = FileOpen("C:\\table.bin", fmOpenRead | fmShareExclusive);
  ASSERT_GE(held, 0);
  EXPECT_EQ(HSaveBufferToFile(block, 10, "C:\\table.bin"), 1);
  FileClose(held);
  EXPECT_EQ(ReadFile(m.C() / "table.bin"), expected);
  EXPECT_EQ(HSaveBufferToFile(block, 10, "C:\\no folder\\table.bin"), 1);
  GlobalFree(block);
  std::size_t files = 0;
  for (auto& e : fs::directory_iterator(m.C())) files += e.is_regular_file();
  EXPECT_EQ(files, 1u);  // no temporary file left beside it
}
