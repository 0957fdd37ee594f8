// The two window-less exports, called through the loaded library on a fresh machine.
#include <pinforge/addr32.h>
#include <vcl/IniFiles.h>

#include "TernlockFixture.h"

using namespace testing_support;

namespace {

const std::string kReset =
    "[MPU48_51Configuration]\r\nLockBit1Enabled=1\r\nLockBit2Enabled=2\r\nLockBit3Enabled=0\r\nEnabledEncyption=0\r\n"
    "ConfigWord1=FFFF\r\nConfigWord2=FFFF\r\nWritedBy=Atmel_AT89C51\r\n";
const std::string kHistoryHead = "[System]\r\nPath=C:\\Pinforge\r\n[SelectDlg]\r\nIcFileName=device.ini\r\n";

std::string Ok(const std::string& caption, const std::string& text) {
  return BoxLine(caption, text, "OK", "none", "OK", 0, "OK");
}

}  // namespace

TEST(Sync, KeepsResetsOrRefusesTheHistorySection) {
  struct Case {
    const char* name;
    std::string section;      // history options before the call
    std::string description;  // "" for a missing description file
    int result;
    std::string history;      // history file after the call ("" = unchanged)
    std::string table;        // table file after the call ("-" = none, "=" = unchanged)
    std::vector<std::string> boxes;
  };
  const std::string same = "[MPU48_51Configuration]\r\nLockBit1Enabled=2\r\nConfigWord1=12\r\nWritedBy=Atmel_AT89C51\r\n";
  std::vector<Case> cases = {
      {"same device keeps everything", same, kAtmel, 1, "", "=", {}},
      {"another device resets", "[MPU48_51Configuration]\r\nWritedBy=Other_X\r\nConfigWord1=1234\r\n", kAtmel, 1,
       kHistoryHead + "[MPU48_51Configuration]\r\nWritedBy=Atmel_AT89C51\r\nConfigWord1=FFFF\r\nLockBit1Enabled=1\r\n"
                      "LockBit2Enabled=2\r\nLockBit3Enabled=0\r\nEnabledEncyption=0\r\nConfigWord2=FFFF\r\n",
       std::string(32, '\xFF'), {}},
      {"no section yet", "", kAtmel, 1, kHistoryHead + "\r\n" + kReset, std::string(32, '\xFF'), {}},
      {"identity differing in case", "[MPU48_51Configuration]\r\nWritedBy=ATMEL_AT89C51\r\n", kAtmel, 1, "",
       std::string(32, '\xFF'), {}},
      {"no table length", "", "[ICInformation]\r\nBRAND=Atmel\r\nNAME=AT89C51\r\n", 1, "", "", {}},
      {"no brand and name", "", "[MPU48_51Configuration]\r\nEncyptionTable=16\r\n", 1, "", std::string(16, '\xFF'),
       {Ok("BRAND ITEM", "IC's *.INI is Error!"), Ok("NAME ITEM", "IC's *.INI is Error!")}},
      {"missing description", "", "", -1, "", "-", {Ok("ReadConfigBitsAndPacking()", "Not Found File[*.ini].")}},
      {"negative table length", "", "[ICInformation]\r\nBRAND=a\r\nNAME=b\r\n[MPU48_51Configuration]\r\nEncyptionTable=-16\r\n",
       -1, "", "-",
       {Ok("ReadConfigBitsAndPacking()", "IC's *.INI is Error!\nEncyptionTable=-16 is out of range (0 to 65527).")}},
      {"table length past the count field", "",
       "[ICInformation]\r\nBRAND=a\r\nNAME=b\r\n[MPU48_51Configuration]\r\nEncyptionTable=65528\r\n", -1, "", "-",
       {Ok("ReadConfigBitsAndPacking()", "IC's *.INI is Error!\nEncyptionTable=65528 is out of range (0 to 65527).")}},
      {"largest table length", "", "[ICInformation]\r\nBRAND=a\r\nNAME=b\r\n[MPU48_51Configuration]\r\nEncyptionTable=$FFF7\r\n",
       1, "", std::string(65527, '\xFF'), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TernlockMachine m;
    ASSERT_TRUE(m.Loaded());
    m.WriteHistory(c.section);
    if (!c.description.empty()) m.WriteDescription(c.description);
    WriteFile(m.Table(), "old table");
    std::string before = ReadFile(m.History());
    EXPECT_EQ(m.Sync(), c.result);
    std::string after = ReadFile(m.History());
    if (c.history.empty() && c.result == 1 && c.table != "=") {
      // A reset: every key of the section as given, whatever order the file had.
      TIniFile h("QuorHistory.ini");
      EXPECT_EQ(h.ReadString("MPU48_51Configuration", "EnabledEncyption", "?"), "0");
      EXPECT_EQ(h.ReadString("MPU48_51Configuration", "ConfigWord1", "?"), "FFFF");
      EXPECT_EQ(h.ReadString("MPU48_51Configuration", "ConfigWord2", "?"), "FFFF");
      EXPECT_NE(h.ReadString("MPU48_51Configuration", "WritedBy", "None"), "None");
    } else if (c.history.empty()) {
      EXPECT_EQ(after, before);
    } else {
      EXPECT_EQ(after, c.history);
    }
    if (c.table == "=" || c.table == "-") EXPECT_EQ(ReadFile(m.Table()), "old table");
    else EXPECT_EQ(ReadFile(m.Table()), c.table);
    EXPECT_EQ(m.Transcript(), c.boxes);
  }
}

TEST(Sync, MissingNamesMakeTheNoneIdentityAndOverlongValuesAreRefused) {
  TernlockMachine m;
  m.WriteHistory();
  m.WriteDescription("[MPU48_51Configuration]\r\n");
  EXPECT_EQ(m.Sync(), 1);
  EXPECT_EQ(TIniFile("QuorHistory.ini").ReadString("MPU48_51Configuration", "WritedBy", ""), "None_None");

  std::string longName(250, 'n');
  WriteFile(m.Folder() / "ini" / longName, kAtmel);
  WriteFile(m.History(), "[SelectDlg]\r\nIcFileName=" + longName + "\r\n[System]\r\nPath=C:\\Pinforge\r\n");
  std::string before = ReadFile(m.History());
  EXPECT_EQ(m.Sync(), -1);
  EXPECT_EQ(ReadFile(m.History()), before);
  auto log = m.Transcript();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_NE(log[2].find("longer than 255 characters"), std::string::npos);

  m.WriteHistory();
  m.WriteDescription("[ICInformation]\r\nBRAND=" + std::string(200, 'b') + "\r\nNAME=" + std::string(60, 'n') + "\r\n");
  before = ReadFile(m.History());
  EXPECT_EQ(m.Sync(), -1);
  EXPECT_EQ(ReadFile(m.History()), before);
}

TEST(Sync, AHistoryFileThatCannotBeWrittenFailsAtTheBoundary) {
  TernlockMachine m;
  m.WriteHistory();
  m.WriteDescription(kAtmel);
  fs::permissions(m.History(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_EQ(m.Sync(), -1);
  EXPECT_EQ(m.Transcript(), (std::vector<std::string>{Ok("ReadConfigBitsAndPacking()", "Unable to write to QuorHistory.ini")}));
  EXPECT_FALSE(fs::exists(m.Table()));
}

TEST(Package, BuildsTheWholeBlock) {
  struct Case {
    const char* name;
    std::string options;
    int n;
    std::string table;  // "-" for no table file
    int result;
    std::string header;  // the 12 header bytes
  };
  std::string tableBytes;
  for (int i = 0; i < 40; ++i) tableBytes += static_cast<char>(0xA0 + i);
  std::vector<Case> cases = {
      {"table longer than n", "LockBit1Enabled=2\r\nLockBit2Enabled=1\r\nLockBit3Enabled=3\r\nEnabledEncyption=1\r\n", 32,
       tableBytes, 1, std::string("0028\x01\x00\x00\x01\xFF\xFF\xFF\xFF", 12)},
      {"table shorter than n", "ConfigWord1=12\r\nConfigWord2=ABCD\r\nEnabledEncyption=2\r\n", 32, tableBytes.substr(0, 10), 1,
       std::string("0028\x00\x00\x00\x00\x00\x12\xAB\xCD", 12)},
      {"empty table", "ConfigWord1=xyz\r\nConfigWord2= 0x1F\r\n", 16, "", 1, std::string("0018\x00\x00\x00\x00\x00\x00\x00\x1F", 12)},
      {"words past 16 bits", "ConfigWord1=12345\r\nConfigWord2=-1\r\n", 0, "", 1, std::string("0008\x00\x00\x00\x00\x23\x45\xFF\xFF", 12)},
      {"no table file", "", 32, "-", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TernlockMachine m;
    m.WriteHistory("[MPU48_51Configuration]\r\n" + c.options);
    m.WriteDescription("[MPU48_51Configuration]\r\nEncyptionTable=" + std::to_string(c.n) + "\r\n");
    if (c.table != "-") WriteFile(m.Table(), c.table);
    std::size_t blocks = pinforge::LiveGlobalBlocks();
    HGLOBAL h = 0xDEAD;
    EXPECT_EQ(m.Package(&h), c.result);
    if (c.result == 0) {
      EXPECT_EQ(h, 0xDEADu);  // the caller's variable stays as it was
      EXPECT_EQ(pinforge::LiveGlobalBlocks(), blocks);
      continue;
    }
    ASSERT_EQ(GlobalSize(h), static_cast<SIZE_T>(c.n + 108));
    const char* p = static_cast<const char*>(GlobalLock(h));
    std::string table = c.table.substr(0, static_cast<std::size_t>(c.n));
    std::string expected = c.header + table + std::string(static_cast<std::size_t>(c.n) - table.size() + 96, '\0');
    EXPECT_EQ(std::string(p, static_cast<std::size_t>(c.n + 108)), expected);
    EXPECT_FALSE(GlobalUnlock(h));  // handed over unlocked
    EXPECT_EQ(GlobalFree(h), 0u);
    EXPECT_EQ(pinforge::LiveGlobalBlocks(), blocks);  // the loader's block was released
    EXPECT_TRUE(m.Transcript().empty());
  }
}

TEST(Package, RefusesWhatCannotBePackaged) {
  TernlockMachine m;
  m.WriteHistory();
  WriteFile(m.Table(), "x");
  for (const char* n : {"-1", "65528"}) {
    m.WriteDescription(std::string("[MPU48_51Configuration]\r\nEncyptionTable=") + n + "\r\n");
    HGLOBAL h = 0;
    EXPECT_EQ(m.Package(&h), 0) << n;
    EXPECT_EQ(h, 0u);
  }
  EXPECT_EQ(m.Transcript().size(), 2u);
  EXPECT_EQ(m.Package(nullptr), 0);
}
