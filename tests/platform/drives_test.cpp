// Drives and volumes: types, labels, serial numbers and sizes, and emulated disks that change.
#include <win32/windows.h>

#include <pinforge/disks.h>
#include <vcl/SysUtils.h>

#include "TestMachine.h"

using namespace testing_support;
namespace disks = pinforge::disks;

namespace {
std::string Label(const char* root, DWORD* serial = nullptr, DWORD* error = nullptr) {
  char label[64], fsName[16];
  if (!GetVolumeInformationA(root, label, sizeof label, serial, nullptr, nullptr, fsName, sizeof fsName)) {
    if (error) *error = GetLastError();
    return "<fails>";
  }
  return label;
}
}  // namespace

TEST(Drives, TypesAndPresentDrives) {
  TestMachine m;
  m.Configure("[Drives]\r\nA=removable\r\nD=fixed\r\nN=remote," + (m.Dir() / "net").string() + "\r\nR=cdrom\r\n");
  struct {
    const char* root;
    UINT type;
  } cases[] = {{"C:\\", DRIVE_FIXED}, {"c:\\", DRIVE_FIXED}, {"A:\\", DRIVE_REMOVABLE}, {"D:\\", DRIVE_FIXED},
               {"N:\\", DRIVE_REMOTE}, {"R:\\", DRIVE_CDROM},   {"Z:\\", DRIVE_FIXED},     {"Q:\\", DRIVE_NO_ROOT_DIR},
               {"A:", DRIVE_NO_ROOT_DIR}, {"\\\\srv\\x\\", DRIVE_NO_ROOT_DIR}};
  for (const auto& c : cases) EXPECT_EQ(GetDriveTypeA(c.root), c.type) << c.root;
  EXPECT_EQ(GetDriveTypeA(nullptr), DRIVE_FIXED);
  auto bit = [](char l) { return 1u << (l - 'A'); };
  EXPECT_EQ(GetLogicalDrives(), bit('A') | bit('C') | bit('D') | bit('N') | bit('R') | bit('Z'));
  EXPECT_TRUE(SetVolumeLabelA("C:\\", "SYSTEM"));
  EXPECT_EQ(Label("C:\\"), "SYSTEM");
  EXPECT_NE(ReadFile(m.Root() / "machine.ini").find("[Labels]\r\nC=SYSTEM"), std::string::npos);
  EXPECT_GT(DiskSize(3), 0);
  EXPECT_EQ(DiskSize(17), -1);  // Q: does not exist
}

TEST(Drives, RemovableDisksAreInsertedSwappedAndEjected) {
  TestMachine m;
  m.Configure("[Drives]\r\nA=removable\r\n");
  DWORD error = 0;
  EXPECT_EQ(Label("A:\\", nullptr, &error), "<fails>");
  EXPECT_EQ(error, ERROR_NOT_READY);
  EXPECT_EQ(FileCreate("A:\\x.zip"), -1);
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
  EXPECT_EQ(DiskSize(1), -1);

  ASSERT_EQ(disks::Create({"one", "pkback# 001", 0, 10000, true}), "");
  ASSERT_EQ(disks::Create({"two", "PKBACK# 002", 0, 10000, true}), "");
  ASSERT_EQ(disks::Create({"blank", "", 0, 10000, false}), "");
  EXPECT_NE(disks::Create({"one", "", 0, 10000, true}), "");
  EXPECT_NE(disks::Create({"bad", "twelve chars", 0, 10000, true}), "");
  EXPECT_NE(disks::Create({"../up", "", 0, 10000, true}), "");

  ASSERT_EQ(disks::Insert("one", 'A'), "");
  EXPECT_NE(disks::Insert("two", 'A'), "");  // the drive is full
  DWORD serial1 = 0, serial2 = 0;
  EXPECT_EQ(Label("A:\\", &serial1), "PKBACK# 001");
  int h = FileCreate("a:\\ARCHIVE.ZIP");
  ASSERT_GE(h, 0);
  EXPECT_EQ(FileWrite(h, std::string(3000, 'x').data(), 3000), 3000);
  FileClose(h);
  EXPECT_EQ(DiskSize(1), 10000);
  EXPECT_EQ(DiskFree(1), 7000);

  ASSERT_EQ(disks::Eject('A'), "");
  ASSERT_EQ(disks::Insert("two", 'A'), "");
  EXPECT_EQ(Label("A:\\", &serial2), "PKBACK# 002");
  EXPECT_NE(serial1, serial2);
  EXPECT_FALSE(FileExists("A:\\ARCHIVE.ZIP"));  // another disk, other files
  EXPECT_TRUE(SetVolumeLabelA("A:\\", "new label"));
  EXPECT_EQ(Label("A:\\"), "NEW LABEL");
  EXPECT_FALSE(SetVolumeLabelA("A:\\", "far too long a label"));

  ASSERT_EQ(disks::Eject('A'), "");
  ASSERT_EQ(disks::Insert("blank", 'A'), "");
  EXPECT_EQ(Label("A:\\", nullptr, &error), "<fails>");
  EXPECT_EQ(error, ERROR_GEN_FAILURE);  // an unformatted disk
  EXPECT_EQ(FileOpen("A:\\x", fmOpenRead), -1);
  EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
  ASSERT_EQ(disks::Format("blank", "fresh"), "");
  EXPECT_EQ(Label("A:\\"), "FRESH");

  ASSERT_EQ(disks::Eject('A'), "");
  ASSERT_EQ(disks::Insert("one", 'A'), "");
  EXPECT_TRUE(FileExists("A:\\archive.zip"));  // the first disk kept its file
  ASSERT_EQ(disks::Format("one", "EMPTY"), "");
  EXPECT_FALSE(FileExists("A:\\archive.zip"));
  EXPECT_NE(disks::Insert("one", 'C'), "");  // not a removable drive
}
