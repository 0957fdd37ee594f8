// Listing archives: built byte by byte for the rules, and made by other zip tools.
#include <cstdlib>

#include "TestMachine.h"
#include "ZipFixture.h"

using namespace testing_support;
using namespace ZipKeeper;

namespace {

struct Listed {
  int count, errCode, dataStart, archiveSize, fileSize;
  bool mismatch;
  std::string comment;
  std::vector<std::string> messages;
};

Listed ListBytes(TestMachine& m, const std::string& bytes, CPOpts codePage = cpAUTO) {
  WriteFile(m.C() / "test.zip", bytes);
  TestZipKeeper zip;
  zip.Unattended = true;
  zip.CodePage = codePage;
  zip.SetFileName("C:\\test.zip");
  EXPECT_EQ(zip.dirUpdates, 1);
  return {zip.GetCount(), zip.ErrCode(), zip.DataStartOffset(), zip.ArchiveSize(), zip.ArchiveFileSize(),
          zip.OffsetMismatch(), zip.GetZipComment(), zip.messages};
}

const std::string kNoEnd = "0 " + MessageText(11036);

}  // namespace

TEST(List, ReadsTheEndRecordAndTheDirectory) {
  TestMachine m;
  std::vector<ZipEntrySpec> two = {{"dir/a.txt", "hello", 0, 20, "entry note"}, {"b.bin", std::string(300, 'b')}};
  std::string plain = BuildZip(two);
  std::string commented = BuildZip(two, std::string(40, 'c'));
  std::string stub(1000, 'S');
  std::string padding(512 - commented.size() % 512, '\0');
  if (padding.size() < 100) padding += std::string(512, '\0');
  std::string junk(100, 'j');
  std::string zeros100(100, '\0');
  struct Case {
    const char* name;
    std::string bytes;
    int count, errCode, dataStart, archiveSize;
    bool mismatch;
    std::vector<std::string> messages;
  } cases[] = {
      {"no comment", plain, 2, 0, 0, int(plain.size()), false, {}},
      {"40-byte comment", commented, 2, 0, 0, int(commented.size()), false, {}},
      {"zero padding to a 512-byte block", commented + padding.substr(0, padding.size() % 512 ? padding.size() % 512 : 512), 2, 0,
       0, int(commented.size()), false, {}},
      {"trailing junk", commented + junk, 2, 10204, 0, int(commented.size()), false, {"0 " + MessageText(10204)}},
      {"trailing zeros, length not a block", commented + zeros100 + (((commented.size() + 100) % 512) ? "" : "\0"), 2, 10204, 0,
       int(commented.size()), false, {"0 " + MessageText(10204)}},
      {"stub, offsets adjusted", BuildZip(two, "", stub, true), 2, 0, 1000, int(plain.size()) + 1000, false, {}},
      {"stub, offsets not adjusted", BuildZip(two, "", stub, false), 2, 10203, 1000, int(plain.size()) + 1000, true,
       {"0 " + MessageText(10203)}},
      {"no end record", std::string(5000, 'x'), 0, 11036, 0, 5000, false, {kNoEnd}},
      {"shorter than an end record", "PK\x05\x06", 0, 11036, 0, 0, false, {kNoEnd}},
      {"empty file", "", 0, 11036, 0, 0, false, {kNoEnd}},
      {"comment length past the end", plain.substr(0, plain.size() - 2) + Le16(50) + "short", 0, 11036, 0, int(plain.size()) + 5,
       false, {kNoEnd}},
      {"central size past the start", plain.substr(0, plain.size() - 10) + Le32(0x7FFFFFFF) + plain.substr(plain.size() - 6), 0,
       10201, 0, int(plain.size()), true, {"0 " + MessageText(10203), "0 " + MessageText(10201)}},
      {"more entries than the directory holds", plain.substr(0, plain.size() - 12) + Le16(3) + plain.substr(plain.size() - 10), 0,
       11013, 0, int(plain.size()), false, {"0 " + MessageText(11013)}},
      {"a central header with a wrong signature", [&] {
         std::string b = plain;
         b[b.find("PK\x01\x02")] = 'X';
         return b;
       }(), 0, 11015, 0, int(plain.size()), false, {"0 " + MessageText(11015)}},
      {"a name of 260 bytes", BuildZip({{std::string(260, 'n'), "x"}}), 0, 11017, 0, -1, false, {"0 " + MessageText(11017)}},
      {"a name of 259 bytes", BuildZip({{std::string(259, 'n'), "x"}}), 1, 0, 0, -1, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Listed l = ListBytes(m, c.bytes);
    EXPECT_EQ(l.count, c.count);
    EXPECT_EQ(l.errCode, c.errCode);
    EXPECT_EQ(l.dataStart, c.dataStart);
    if (c.archiveSize >= 0 && c.errCode != 11036) {
      EXPECT_EQ(l.archiveSize, c.archiveSize);
    }
    EXPECT_EQ(l.fileSize, c.errCode == 11036 && c.bytes.size() < 22 ? 0 : int(c.bytes.size()));
    EXPECT_EQ(l.mismatch, c.mismatch);
    EXPECT_EQ(l.messages, c.messages);
  }
  EXPECT_EQ(ListBytes(m, commented).comment, std::string(40, 'c'));
}

TEST(List, EntriesNamesAndCodePages) {
  TestMachine m;
  std::string oem = "caf\x81/\x84.txt";
  std::string bytes = BuildZip({{oem, "data", 0, 20, "n\x81te"}, {"unix/\x81.txt", "x", 3, 30}, {"ntfs\x81", "y", 11, 50}});
  WriteFile(m.C() / "names.zip", bytes);
  struct {
    CPOpts cp;
    std::vector<std::string> names;
    std::string comment;
  } cases[] = {
      {cpAUTO, {"caf\xFC\\\xE4.txt", "unix\\\x81.txt", "ntfs\xFC"}, "n\xFCte"},
      {cpNone, {"caf\x81\\\x84.txt", "unix\\\x81.txt", "ntfs\x81"}, "n\x81te"},
      {cpOEM, {"caf\xFC\\\xE4.txt", "unix\\\xFC.txt", "ntfs\xFC"}, "n\xFCte"},
  };
  for (const auto& c : cases) {
    TestZipKeeper zip;
    zip.CodePage = c.cp;
    zip.SetFileName("C:\\names.zip");
    ASSERT_EQ(zip.GetCount(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(zip.DirEntries()[i]->EntryName, c.names[i]) << c.cp << " " << i;
    EXPECT_EQ(zip.DirEntries()[0]->EntryComment, c.comment);
  }
  TestZipKeeper zip;
  zip.SetFileName("c:\\NAMES.ZIP");
  ZipDirEntryHead e = *zip.DirEntries()[1];  // a copy: the record's fields are packed, not aligned
  EXPECT_EQ(int{e.HostSystem}, 3);
  EXPECT_EQ(int{e.VersionMadeBy}, 30);
  EXPECT_EQ(std::uint32_t{e.UnpackedSize}, 1u);
  EXPECT_EQ(std::uint32_t{e.ModTime}, 0x2B4A5C21u);
  EXPECT_EQ(std::uint32_t{e.LocalHeaderOffset}, 30u + oem.size() + 4);
  EXPECT_EQ(std::uint32_t{e.ExternalAttributes}, 0x20u);
}

TEST(List, ArchivesMadeByOtherTools) {
  TestMachine m;
  fs::path src = m.Dir() / "src";
  WriteFile(src / "top.txt", "top level\n");
  WriteFile(src / "sub" / "deep.bin", std::string(70000, 'z'));
  WriteFile(src / "sub" / "empty.txt", "");
  std::string py = "python3 -c \"import zipfile,os\n"
                   "z=zipfile.ZipFile('" + (m.C() / "py.zip").string() + "','w',zipfile.ZIP_DEFLATED)\n"
                   "z.comment=b'made by zipfile'\n"
                   "[z.write(os.path.join(r,f),os.path.relpath(os.path.join(r,f),'" + src.string() + "')) for r,d,fs in sorted(os.walk('" + src.string() + "')) for f in sorted(fs)]\n"
                   "z.close()\"";
  ASSERT_EQ(std::system(py.c_str()), 0);
  TestZipKeeper zip;
  zip.SetFileName("C:\\py.zip");
  ASSERT_EQ(zip.GetCount(), 3);
  EXPECT_EQ(zip.ErrCode(), 0);
  EXPECT_EQ(zip.GetZipComment(), "made by zipfile");
  std::vector<std::string> names;
  for (const auto& e : zip.DirEntries()) names.push_back(e->EntryName);
  EXPECT_EQ(names, (std::vector<std::string>{"top.txt", "sub\\deep.bin", "sub\\empty.txt"}));
  EXPECT_EQ(std::uint32_t{zip.DirEntries()[1]->UnpackedSize}, 70000u);
  EXPECT_EQ(int{zip.DirEntries()[1]->Method}, 8);

  if (std::system("command -v zip >/dev/null") != 0) GTEST_SKIP() << "Info-ZIP zip is not installed";
  std::string cmd = "cd '" + src.string() + "' && zip -q -r '" + (m.C() / "info.zip").string() + "' . && echo 'a zip comment' | zip -q -z '" +
                    (m.C() / "info.zip").string() + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  zip.SetFileName("C:\\info.zip");
  EXPECT_EQ(zip.ErrCode(), 0);
  EXPECT_EQ(zip.GetCount(), 4);  // the folder entry counts too
  EXPECT_EQ(zip.GetZipComment(), "a zip comment");
  bool folder = false;
  for (const auto& e : zip.DirEntries()) folder = folder || e->EntryName == "sub\\";
  EXPECT_TRUE(folder);
}
