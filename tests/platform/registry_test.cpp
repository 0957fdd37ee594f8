// The registry over system.reg: TRegistry round trips, the REGEDIT4 text, and bad files.
#include <vcl/Registry.h>

#include "TestMachine.h"

using namespace testing_support;

TEST(Registry, RoundTripThroughTheRegistryFile) {
  TestMachine m;
  {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.KeyExists("Software\\QUOR\\Pinforge\\PF-60"));
    EXPECT_FALSE(reg.OpenKey("Software\\QUOR\\Pinforge\\PF-60", false));
    ASSERT_TRUE(reg.OpenKey("Software\\QUOR\\Pinforge\\PF-60", true));
    reg.WriteString("path", "C:\\Pinforge \"A\"");
    reg.WriteInteger("Count", 10);
    reg.WriteString("", "default");
  }
  EXPECT_EQ(ReadFile(m.Root() / "system.reg"),
            "REGEDIT4\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\QUOR]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\QUOR\\Pinforge]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\QUOR\\Pinforge\\PF-60]\r\n"
            "\"path\"=\"C:\\\\Pinforge \\\"A\\\"\"\r\n"
            "\"Count\"=dword:0000000a\r\n"
            "@=\"default\"\r\n\r\n");
  pinforge::machine::Reload();  // a later process reads the file afresh
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_TRUE(reg.KeyExists("software\\quor\\PINFORGE\\pf-60"));
  ASSERT_TRUE(reg.OpenKeyReadOnly("SOFTWARE\\Quor\\Pinforge\\PF-60"));
  EXPECT_EQ(reg.ReadString("PATH"), "C:\\Pinforge \"A\"");
  EXPECT_EQ(reg.ReadInteger("count"), 10);
  EXPECT_EQ(reg.ReadString(""), "default");
  EXPECT_EQ(reg.ReadString("absent"), "");
  EXPECT_THROW(reg.ReadInteger("absent"), ERegistryException);
  EXPECT_THROW(reg.ReadString("Count"), ERegistryException);
  reg.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_FALSE(reg.KeyExists("Software\\QUOR"));
}

TEST(Registry, ReadsHandWrittenFilesAndSeesChangesOnDisk) {
  TestMachine m;
  WriteFile(m.Root() / "system.reg",
            "REGEDIT4\n\n"
            "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\rarEV]\n"
            "\"Type\"=dword:00000001\n"
            "\"Bin\"=hex:01,02,\\\n  ff\n"
            "\"Expand\"=hex(2):25,00\n"
            "this line is not a value\n"
            "[HKEY_LOCAL_MACHINE\\Gone]\n"
            "[-HKEY_LOCAL_MACHINE\\Gone]\n");
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey("\\SYSTEM\\CurrentControlSet\\Services\\rarEV", false));
  EXPECT_EQ(reg.ReadInteger("Type"), 1);
  EXPECT_EQ(reg.GetDataType("Bin"), rdBinary);
  EXPECT_EQ(reg.ReadString("Expand"), "%");
  EXPECT_FALSE(reg.KeyExists("\\Gone"));
  DWORD size = 0;
  BYTE data[8];
  size = sizeof data;
  ASSERT_EQ(RegQueryValueExA(reg.CurrentKey(), "Bin", nullptr, nullptr, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), "\x01\x02\xff");
  size = 1;
  EXPECT_EQ(RegQueryValueExA(reg.CurrentKey(), "Bin", nullptr, nullptr, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 3u);

  // Another process edits the file: the next call sees it.
  std::string text = ReadFile(m.Root() / "system.reg");
  WriteFile(m.Root() / "system.reg", text + "[HKEY_LOCAL_MACHINE\\New]\n\"v\"=\"1\"\n");
  EXPECT_TRUE(reg.KeyExists("\\New"));
}

TEST(Registry, AFileThatIsNotRegedit4IsNeverOverwritten) {
  TestMachine m;
  WriteFile(m.Root() / "system.reg", "garbage\r\n");
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(reg.OpenKey("Software\\X", true));
  EXPECT_EQ(ReadFile(m.Root() / "system.reg"), "garbage\r\n");
  HKEY key;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key), static_cast<LONG>(ERROR_BADDB));
}

TEST(Registry, KeysDeletedAndEnumerated) {
  TestMachine m;
  TRegistry reg;
  reg.SetRootKey(HKEY_CURRENT_USER);
  ASSERT_TRUE(reg.OpenKey("Software\\B", true));
  ASSERT_TRUE(reg.OpenKey("\\Software\\a\\Deep", true));
  reg.CloseKey();
  ASSERT_TRUE(reg.OpenKey("Software", false));
  TStringList names;
  reg.GetKeyNames(names);
  EXPECT_EQ(names.CommaText(), "a,B");
  EXPECT_FALSE(reg.DeleteKey("a"));  // Windows NT keeps a key that has subkeys
  EXPECT_TRUE(reg.DeleteKey("a\\Deep"));
  EXPECT_TRUE(reg.DeleteKey("a"));
  reg.GetKeyNames(names);
  EXPECT_EQ(names.CommaText(), "B");
}
