// Volume-set conventions, the drive check and the disk prompts on emulated removable disks.
#include <pinforge/disks.h>

#include "TestMachine.h"
#include "ZipFixture.h"

using namespace testing_support;
using namespace ZipKeeper;

TEST(Volumes, NumbersLabelsAndNames) {
  EXPECT_EQ(DiskSpan::VolumeLabelOf(4), "PKBACK# 005");
  EXPECT_EQ(DiskSpan::VolumeLabelOf(998), "PKBACK# 999");
  EXPECT_EQ(DiskSpan::LabelNumber("PKBACK# 007"), 7);
  EXPECT_EQ(DiskSpan::LabelNumber("PKBACK# A07"), 0);
  EXPECT_EQ(DiskSpan::LabelNumber("BACKUP 007"), 0);
  EXPECT_EQ(DiskSpan::LabelNumber(""), 0);
  EXPECT_EQ(DiskSpan::VolumeFileName("C:\\sets\\ARCH001.ZIP", 2), "C:\\sets\\ARCH003.ZIP");

  TestMachine m;
  TestZipKeeper zip;
  std::vector<DiskSpan::MDZipData> records = DiskSpan::AllocSpanMem(3);
  records[0] = {0, 0, 5, "a.txt", 0};
  records[1] = {0, 10, 9, "Dir\\B.TXT", 0};
  records[2] = {1, 20, 5, "c.txt", 0};
  EXPECT_EQ(zip.FindZipEntry(3, records, "dir\\b.txt", 9), 1);
  EXPECT_THROW(zip.FindZipEntry(3, records, "dir\\b.tx", 8), EZipKeeper);
  try {
    zip.FindZipEntry(3, records, "none", 4);
  } catch (const EZipKeeper& e) {
    EXPECT_EQ(e.ResourceCode, 11026);
  }
  DiskSpan::DeleteSpanMem(records);
  EXPECT_TRUE(records.empty());

  zip.openFileName_ = "C:\\ARCH001.ZIP";
  zip.diskNr_ = 2;
  EXPECT_TRUE(zip.IsRightDisk(DRIVE_FIXED));  // no prompt on a fixed drive
  EXPECT_EQ(zip.openFileName_, "C:\\ARCH003.ZIP");
  EXPECT_TRUE(m.Transcript().empty());
  zip.driveRoot_ = "\\\\server\\share\\";
  try {
    zip.IsDiskPresent();
    ADD_FAILURE();
  } catch (const EZipKeeper& e) {
    EXPECT_EQ(e.ResourceCode, 11003);
  }
}

TEST(Volumes, PromptsMeetARealChangeOfDisk) {
  // Cancel at the last-disk prompt; then OK twice while the wrong disk is in, then the right one.
  TestMachine m({"Cancel", "OK", "OK"});
  m.Configure("[Drives]\r\nA=removable\r\n");
  ASSERT_EQ(pinforge::disks::Create({"vol2", "PKBACK# 002", 0, 1457664, true}), "");
  ASSERT_EQ(pinforge::disks::Create({"vol3", "PKBACK# 003", 0, 1457664, true}), "");
  TestZipKeeper zip;
  zip.driveRoot_ = "A:\\";
  zip.diskNr_ = -1;
  try {
    zip.CheckForDisk();  // no disk in the drive: the prompt for the last disk
    ADD_FAILURE();
  } catch (const EZipKeeper& e) {
    EXPECT_EQ(e.ResourceCode, 11007);
    EXPECT_FALSE(e.Display);
  }
  auto log = m.Transcript();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], BoxLine("zip_tests", "Please insert last disk in set\nin drive: A", "OKCANCEL", "stop", "OK", zip.OwnerWindow(), "Cancel"));

}

TEST(Volumes, AWrongDiskIsRefusedAndTheRightOneOpened) {
  // The wrong disk: OK, the same prompt again, Cancel. Then the right disk: OK, opened.
  TestMachine m({"OK", "Cancel", "OK"});
  m.Configure("[Drives]\r\nA=removable\r\n");
  ASSERT_EQ(pinforge::disks::Create({"vol2", "PKBACK# 002", 0, 1457664, true}), "");
  ASSERT_EQ(pinforge::disks::Create({"vol3", "PKBACK# 003", 0, 1457664, true}), "");
  WriteFile(m.Root() / "disks" / "vol3" / "files" / "SET.ZIP", "volume three");
  ASSERT_EQ(pinforge::disks::Insert("vol2", 'A'), "");
  TestZipKeeper zip;
  zip.driveRoot_ = "A:\\";
  zip.openFileName_ = "A:\\SET.ZIP";
  try {
    zip.GetNewDisk(2);
    ADD_FAILURE();
  } catch (const EZipKeeper& e) {
    EXPECT_EQ(e.ResourceCode, 11007);
  }
  std::string prompt = BoxLine("zip_tests", "Please insert disk volume 3 of 1\nin drive: A", "OKCANCEL", "none", "OK", zip.OwnerWindow(), "OK");
  auto log = m.Transcript();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], prompt);
  EXPECT_EQ(log[1], prompt.substr(0, prompt.size() - 5) + "\"Cancel\"}");

  ASSERT_EQ(pinforge::disks::Eject('A'), "");
  ASSERT_EQ(pinforge::disks::Insert("vol3", 'A'), "");
  zip.GetNewDisk(2);
  EXPECT_EQ(zip.VolumeLabel(), "PKBACK# 003");
  EXPECT_EQ(m.Transcript().size(), 3u);

  zip.Unattended = true;
  try {
    zip.GetNewDisk(2);
    ADD_FAILURE();
  } catch (const EZipKeeper& e) {
    EXPECT_EQ(e.ResourceCode, 11025);  // a disk change cannot be asked for
  }
}

namespace {

// A set of three volumes: the span signature and entry a on the first, entry b and a's central
// record on the second, b's central record and the end record on the third.
std::vector<std::string> VolumeSet() {
  auto local = [](const std::string& name, const std::string& data) {
    auto crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    return std::make_pair(Le16(20) + Le16(0) + Le16(0) + Le32(0x21) + Le32(crc) + Le32(static_cast<std::uint32_t>(data.size())) +
                              Le32(static_cast<std::uint32_t>(data.size())) + Le16(static_cast<unsigned>(name.size())),
                          name + data);
  };
  auto [ca, ra] = local("a.txt", "first entry");
  auto [cb, rb] = local("dir/b.txt", "second entry");
  std::string v1 = Le32(0x08074b50) + Le32(0x04034b50) + ca + Le16(0) + ra;
  std::string v2 = Le32(0x04034b50) + cb + Le16(0) + rb;
  auto central = [](const std::string& common, const std::string& name, unsigned disk, std::uint32_t offset) {
    return Le32(0x02014b50) + std::string{char(20), char(0)} + common + Le16(0) + Le16(0) + Le16(disk) + Le16(0) + Le32(0x20) +
           Le32(offset) + name;
  };
  std::string centralA = central(ca, "a.txt", 0, 4), centralB = central(cb, "dir/b.txt", 1, 0);
  std::uint32_t centralStart = static_cast<std::uint32_t>(v2.size());
  v2 += centralA;
  std::string v3 = centralB + Le32(0x06054b50) + Le16(2) + Le16(1) + Le16(2) + Le16(2) +
                   Le32(static_cast<std::uint32_t>(centralA.size() + centralB.size())) + Le32(centralStart) + Le16(0);
  return {v1, v2, v3};
}

}  // namespace

TEST(Volumes, ASetOfNumberedFilesOnAFixedDrive) {
  TestMachine m;
  auto set = VolumeSet();
  for (int i = 0; i < 3; ++i) WriteFile(m.C() / "sets" / ("ARCH00" + std::to_string(i + 1) + ".ZIP"), set[i]);
  TestZipKeeper zip;
  zip.SetFileName("C:\\sets\\arch003.zip");  // the last volume's name
  ASSERT_EQ(zip.GetCount(), 2);
  EXPECT_EQ(zip.ErrCode(), 0);
  EXPECT_TRUE(zip.IsSpanned());
  EXPECT_EQ(zip.LastDisk(), 2);
  EXPECT_EQ(zip.DirEntries()[1]->EntryName, "dir\\b.txt");
  EXPECT_EQ(int{zip.DirEntries()[1]->DiskStart}, 1);
  EXPECT_TRUE(m.Transcript().empty());  // no prompt on a fixed drive

  struct {
    const char* name;
    int code;
  } others[] = {{"C:\\sets\\ARCH001.ZIP", 11045}, {"C:\\sets\\ARCH002.ZIP", 11036}};
  for (const auto& o : others) {
    TestZipKeeper other;
    other.Unattended = true;
    other.SetFileName(o.name);
    EXPECT_EQ(other.ErrCode(), o.code) << o.name;
    EXPECT_EQ(other.GetCount(), 0);
  }
}

TEST(Volumes, ASetOnDiskettesWithTheDisksChangedAtThePrompts) {
  TestMachine m({"!eject A", "!insert vol2 A", "OK", "!eject A", "!insert vol3 A", "OK"});
  m.Configure("[Drives]\r\nA=removable\r\n");
  auto set = VolumeSet();
  ASSERT_TRUE(PutOnDiskettes(m.Root(), set));
  ASSERT_EQ(pinforge::disks::Insert("vol3", 'A'), "");
  TestZipKeeper zip;
  zip.SetFileName("A:\\SET.ZIP");
  ASSERT_EQ(zip.GetCount(), 2);
  EXPECT_EQ(zip.ErrCode(), 0);
  EXPECT_TRUE(zip.IsSpanned());
  auto prompt = [&](int volume) {
    return BoxLine("zip_tests", "Please insert disk volume " + std::to_string(volume) + " of 3\nin drive: A", "OKCANCEL", "none", "OK",
                   zip.OwnerWindow(), "OK");
  };
  EXPECT_EQ(m.Transcript(), (std::vector<std::string>{prompt(2), prompt(3)}));

  // The first or a middle disk where the last is needed.
  struct {
    const char* disk;
    int code;
    std::string text;
  } wrong[] = {{"vol1", 11037, MessageText(11037)}, {"vol2", 11038, "This is disk 2 of a set; please insert the last disk."}};
  for (const auto& w : wrong) {
    ASSERT_EQ(pinforge::disks::Eject('A'), "");
    ASSERT_EQ(pinforge::disks::Insert(w.disk, 'A'), "");
    TestZipKeeper other;
    other.Unattended = true;
    other.SetFileName("A:\\SET.ZIP");
    EXPECT_EQ(other.ErrCode(), w.code) << w.disk;
    EXPECT_EQ(other.LastMessage(), w.text);
  }
}
