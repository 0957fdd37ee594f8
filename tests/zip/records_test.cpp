// The command records, byte for byte in every layout, with the texts their fields point to.
#include <vcl/Forms.h>

#include <pinforge/addr32.h>

#include <cstring>

#include "TestMachine.h"
#include "ZipFixture.h"

using namespace testing_support;
using namespace ZipKeeper;

namespace {

std::uint32_t At(EngineCommand& c, std::size_t offset) {
  std::uint32_t v;
  std::memcpy(&v, c.Data() + offset, 4);
  return v;
}
std::string TextAt(std::uint32_t field) { return field ? pinforge::addr32::FromField<const char>(field) : "<null>"; }

// The record's bytes with every listed pointer field cleared, to compare with the expected bytes.
std::string Masked(EngineCommand& c, std::initializer_list<std::size_t> pointers) {
  std::string bytes(c.Data(), c.Size());
  for (std::size_t p : pointers) std::memset(bytes.data() + p, 0, 4);
  return bytes;
}

std::string Put(std::string bytes, std::size_t offset, std::uint32_t v, int width = 4) {
  for (int i = 0; i < width; ++i) bytes[offset + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
  return bytes;
}

}  // namespace

TEST(Records, DecompressionRecordInBothLayouts) {
  TestMachine m;
  TestZipKeeper zip;
  zip.Trace = true;  // verbose in the record, Verbose itself false
  zip.CodePage = cpOEM;
  zip.Password = "secret";
  zip.ExtrOptions << ExtrFreshen << ExtrUpdate << ExtrDirNames << ExtrTest;
  zip.FSpecArgs().Add("*.txt");
  zip.FSpecArgs().Add("dir/b.bin");
  CallBack::EngineHead head;
  zip.FillEngineHead(head);
  std::string headBytes(reinterpret_cast<const char*>(&head), 20);

  auto newer = zip.BuildUnzRecord(152, "C:\\a.zip");
  ASSERT_TRUE(newer);
  std::string expected = headBytes + std::string(148 - 20, '\0');
  expected = Put(expected, 20, 2, 2);  // CodePageMode cpOEM
  for (auto [offset, value] : {std::pair{28, 1}, {40, 1}, {44, 1}, {48, 1}, {52, 0}, {56, 1}, {60, 0}, {64, 2}, {144, 7}})
    expected = Put(expected, static_cast<std::size_t>(offset), static_cast<std::uint32_t>(value));
  EXPECT_EQ(Masked(*newer, {24, 68, 72}), expected);
  EXPECT_EQ(TextAt(At(*newer, 24)), "secret");
  EXPECT_EQ(TextAt(At(*newer, 68)), "C:\\a.zip");
  const auto* specs = pinforge::addr32::FromField<const UnzFileSpec>(At(*newer, 72));
  EXPECT_EQ(TextAt(specs[0].FileSpec), "*.txt");
  EXPECT_EQ(TextAt(specs[1].FileSpec), "dir/b.bin");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(specs[1].Reserved), 68), std::string(68, '\0'));

  auto older = zip.BuildUnzRecord(151, "C:\\a.zip");
  ASSERT_TRUE(older);
  ASSERT_EQ(older->Size(), 16464u);
  EXPECT_EQ(Masked(*older, {24, 68, 76, 80}).substr(0, 72), expected.substr(0, 72));
  EXPECT_EQ(At(*older, 72), 7u);  // the end marker of the fixed part
  EXPECT_EQ(TextAt(At(*older, 76)), "*.txt");
  EXPECT_EQ(TextAt(At(*older, 80)), "dir/b.bin");
  EXPECT_EQ(At(*older, 84), 0u);

  zip.FSpecArgs().Clear();
  zip.Trace = false;
  auto empty = zip.BuildUnzRecord(152, "C:\\a.zip");
  EXPECT_EQ(At(*empty, 64), 0u);
  EXPECT_EQ(At(*empty, 44), 0u);
  for (int i = 0; i < 4098; ++i) zip.FSpecArgs().Add("f" + std::to_string(i));
  EXPECT_FALSE(zip.BuildUnzRecord(151, "C:\\a.zip"));  // the older layout holds 4097
  EXPECT_TRUE(zip.BuildUnzRecord(152, "C:\\a.zip"));
}

TEST(Records, CompressionRecordInBothLayouts) {
  TestMachine m;
  TestZipKeeper zip;
  zip.Verbose = true;
  zip.AddCompLevel = 6;
  zip.AddOptions << AddRecurseDirs << AddFreshen << AddEncrypt << AddZipTime << AddMove;
  zip.FSpecArgs().Add("C:\\src\\*.*");
  CallBack::EngineHead head;
  zip.FillEngineHead(head);
  std::string fixed = std::string(reinterpret_cast<const char*>(&head), 20) + std::string(108, '\0');
  for (auto [offset, value] : {std::pair{28, 1}, {44, 1}, {52, 1}, {56, 1}, {60, 6}, {72, 1}, {80, 1}, {88, 1}, {100, 1}, {108, 1}, {120, 1}})
    fixed = Put(fixed, static_cast<std::size_t>(offset), static_cast<std::uint32_t>(value));
  fixed = Put(fixed, 76, 1, 2);  // Recurse, 16 bits

  auto b = zip.BuildZipRecord(151, "C:\\new.zip");
  ASSERT_TRUE(b);
  ASSERT_EQ(b->Size(), 216u);
  EXPECT_EQ(Masked(*b, {20, 124, 140}), Put(fixed + std::string(88, '\0'), 212, 7));
  EXPECT_EQ(TextAt(At(*b, 20)), "");  // an empty password is still a text
  EXPECT_EQ(TextAt(At(*b, 124)), "C:\\new.zip");
  EXPECT_EQ(At(*b, 128), 0u);  // no TempDir: a null pointer
  EXPECT_EQ(TextAt(pinforge::addr32::FromField<const ZipFileSpec>(At(*b, 140))[0].FileSpec), "C:\\src\\*.*");

  zip.TempDir = "C:\\TEMP";
  zip.AddOptions << AddUpdate << AddDirNames << AddSeparateDirs;
  auto a = zip.BuildZipRecord(150, "C:\\new.zip");
  ASSERT_TRUE(a);
  ASSERT_EQ(a->Size(), 16520u);
  EXPECT_EQ(At(*a, 44), 0u);   // separate folder entries asked for
  EXPECT_EQ(At(*a, 72), 0u);   // folder names kept
  EXPECT_EQ(At(*a, 96), 1u);   // Update
  EXPECT_EQ(At(*a, 100), 0u);  // Freshen gives way to Update
  EXPECT_EQ(At(*a, 128), 7u);
  EXPECT_EQ(TextAt(At(*a, 132)), "C:\\src\\*.*");
  EXPECT_EQ(At(*a, 136), 0u);
  EXPECT_EQ(TextAt(zip.BuildZipRecord(151, "x")->As<ZipCommandRecordB>().TempDirText), "C:\\TEMP");
}
