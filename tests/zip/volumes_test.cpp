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
  EXPECT_EQ(log[0], BoxLine("", "Please insert last disk in set\nin drive: A", "OKCANCEL", "stop", "OK", zip.OwnerWindow(), "Cancel"));

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
  std::string prompt = BoxLine("", "Please insert disk volume 3 of 1\nin drive: A", "OKCANCEL", "none", "OK", zip.OwnerWindow(), "OK");
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
