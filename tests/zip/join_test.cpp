// Joining a volume set into one archive before extracting: numbered files on a fixed drive and
// diskettes changed at the prompts.
#include "TestMachine.h"
#include "ZipFixture.h"

#include <pinforge/disks.h>

using namespace testing_support;
using namespace ZipKeeper;

namespace {

// b.bin runs over three volumes; the central directory starts on one volume and ends on the next.
std::vector<ZipEntrySpec> SetEntries() { return {{"a.txt", "first"}, {"dir/b.bin", std::string(700, 'b') + "end"}, {"c.txt", "third"}}; }


}  // namespace

TEST(Join, ASetOnAFixedDriveIsJoinedAndExtracted) {
  TestMachine m;
  Unloaded unloaded;
  auto set = SpannedSet(SetEntries(), 300, "set comment");
  ASSERT_GE(set.size(), 4u);
  for (std::size_t i = 0; i < set.size(); ++i) WriteFile(m.C() / "sets" / ("ARCH00" + std::to_string(i + 1) + ".ZIP"), set[i]);
  std::string last = "C:\\sets\\ARCH00" + std::to_string(set.size()) + ".ZIP";

  TestZipKeeper zip;
  int blocks = 0;
  zip.OnProgress = [&](TObject*, ProgressType t, const AnsiString&, int) { blocks += t == ptItemBytes; };
  AnsiString joined = "C:\\joined.zip";
  ASSERT_EQ(zip.ReadSpan(last, joined), 0);
  EXPECT_EQ(joined, "C:\\joined.zip");
  EXPECT_GT(blocks, 6);  // every block written is reported, across the volume changes
  EXPECT_EQ(Matching(zip.messages, "0 Copying: dir\\b.bin").size(), 1u);
  // An ordinary archive: no span signature, every disk number 0, offsets from its first byte.
  std::string bytes = ReadFile(m.C() / "joined.zip");
  EXPECT_EQ(bytes.substr(0, 4), Le32(0x04034b50));
  TestZipKeeper check;
  check.SetFileName("C:\\joined.zip");
  ASSERT_EQ(check.GetCount(), 3);
  EXPECT_EQ(check.LastDisk(), 0);
  EXPECT_FALSE(check.OffsetMismatch());
  EXPECT_EQ(check.GetZipComment(), "set comment");
  for (const auto& e : check.DirEntries()) EXPECT_EQ(int{e->DiskStart}, 0);

  TestZipKeeper extract;
  extract.SetFileName(last);
  ASSERT_EQ(extract.LastDisk(), set.size() - 1);
  ASSERT_TRUE(ForceDirectories("C:\\out"));
  extract.ExtrBaseDir = "C:\\out";
  extract.ExtrOptions = {ExtrDirNames};
  extract.Extract();
  EXPECT_EQ(extract.SuccessCount(), 3);
  EXPECT_EQ(ReadFile(m.C() / "out" / "dir" / "b.bin"), std::string(700, 'b') + "end");
  EXPECT_EQ(ReadFile(m.C() / "out" / "c.txt"), "third");
  fs::path temp = m.C() / "WINDOWS" / "TEMP";
  EXPECT_TRUE(!fs::exists(temp) || fs::is_empty(temp));  // the joined file is gone

  // The first or a middle volume named where the last is needed.
  struct {
    const char* name;
    std::string message;
  } wrong[] = {{"C:\\sets\\ARCH001.ZIP", "0 " + MessageText(11037)}, {"C:\\sets\\ARCH002.ZIP", "0 This is disk 2 of a set; please insert the last disk."}};
  for (const auto& w : wrong) {
    TestZipKeeper other;
    other.Unattended = true;
    AnsiString out = "C:\\";
    EXPECT_EQ(other.ReadSpan(w.name, out), -7) << w.name;
    EXPECT_EQ(out, "");
    EXPECT_EQ(other.messages.back(), w.message);
    EXPECT_FALSE(fs::exists(m.C() / "zip1.zip"));
  }
}

TEST(Join, ASetOnDiskettesIsJoinedWithTheDisksChangedAtThePrompts) {
  // Three diskettes: b.bin runs from the first onto the second; the directory is on the third.
  auto set = SpannedSet(SetEntries(), 400);
  ASSERT_EQ(set.size(), 3u);
  std::vector<std::string> answers;
  for (std::size_t i = 0; i < set.size(); ++i) {  // the first volume, then each in turn
    answers.push_back("!eject A");
    answers.push_back("!insert vol" + std::to_string(i + 1) + " A");
    answers.push_back("OK");
  }
  TestMachine m(answers);
  Unloaded unloaded;
  m.Configure("[Drives]\r\nA=removable\r\n");
  ASSERT_TRUE(PutOnDiskettes(m.Root(), set));
  ASSERT_EQ(pinforge::disks::Insert("vol" + std::to_string(set.size()), 'A'), "");
  TestZipKeeper zip;
  zip.SetFileName("A:\\SET.ZIP");
  ASSERT_EQ(zip.GetCount(), 3);
  ASSERT_TRUE(ForceDirectories("C:\\out"));
  zip.ExtrBaseDir = "C:\\out";
  zip.ExtrOptions = {ExtrDirNames};
  zip.Extract();
  EXPECT_EQ(zip.SuccessCount(), 3) << (zip.messages.empty() ? "" : zip.messages.back());
  EXPECT_EQ(ReadFile(m.C() / "out" / "dir" / "b.bin"), std::string(700, 'b') + "end");

  // The last disk asked for and the prompt cancelled: -7, the message reaches OnMessage only.
  TestMachine cancelled({"Cancel"});
  cancelled.Configure("[Drives]\r\nA=removable\r\n");
  ASSERT_EQ(pinforge::disks::Create({"first", DiskSpan::VolumeLabelOf(0), 0, 1457664, true}), "");
  WriteFile(cancelled.Root() / "disks" / "first" / "files" / "SET.ZIP", set[0]);
  ASSERT_EQ(pinforge::disks::Insert("first", 'A'), "");
  TestZipKeeper other;
  AnsiString out = "C:\\";
  EXPECT_EQ(other.ReadSpan("A:\\SET.ZIP", out), -7);
  EXPECT_EQ(out, "");
  EXPECT_EQ(other.messages.back(), "0 " + MessageText(11007));
  auto t = cancelled.Transcript();
  ASSERT_EQ(t.size(), 1u);  // the prompt, and no box for the cancellation
  EXPECT_NE(t[0].find("Please insert last disk in set"), std::string::npos);
}
