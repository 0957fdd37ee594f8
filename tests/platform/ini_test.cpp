// Ini files through TIniFile: the profile functions' reading rules and edits that keep the file.
#include <vcl/IniFiles.h>

#include "TestMachine.h"
#include "inidoc.h"

using namespace testing_support;

namespace {
const char* kFile =
    "ignored=before any section\r\n"
    "[Main]\r\n"
    "  Name  =  Value with spaces  \r\n"
    "Quoted=\"in quotes\"\r\n"
    "Single='single'\r\n"
    "Unmatched=\"open\r\n"
    "Semi=a;b\r\n"
    "; comment=not a key\r\n"
    "  ;indented=comment too\r\n"
    "#hash=is a key\r\n"
    "dup=first\r\n"
    "DUP=second\r\n"
    "Empty=\r\n"
    "[Other] trailing text\r\n"
    "k=other\r\n"
    "[main]\r\n"
    "Late=in a repeated section\r\n";
}  // namespace

TEST(IniFile, ReadsWithTheProfileRules) {
  TestMachine m;
  WriteFile(m.C() / "WINDOWS" / "test.ini", kFile);
  TIniFile ini("TEST.INI");  // a bare name is the Windows folder's file
  struct {
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"main", "name", "Value with spaces"},
      {"MAIN", "Quoted", "in quotes"},
      {"Main", "Single", "single"},
      {"Main", "Unmatched", "\"open"},
      {"Main", "Semi", "a;b"},
      {"Main", "; comment", "<default>"},
      {"Main", "comment", "<default>"},
      {"Main", "#hash", "is a key"},
      {"Main", "dup", "first"},
      {"Main", "Empty", ""},
      {"Main", "ignored", "<default>"},
      {"Main", "Late", "<default>"},
      {"other", "K", "other"},
      {"Missing", "Name", "<default>"},
  };
  for (const auto& c : cases) EXPECT_EQ(ini.ReadString(c.section, c.key, "<default>"), c.expected) << c.section << "/" << c.key;
  EXPECT_EQ(TIniFile("nofile.ini").ReadString("Main", "Name", "dflt"), "dflt");

  WriteFile(m.C() / "WINDOWS" / "num.ini", "[N]\r\na=12\r\nb=0x1F\r\nc=0X1f\r\nd=$ff\r\ne=abc\r\nf=\r\ng=12abc\r\nh=-5\r\n"
                                           "i=99999999999\r\nj=$FFFFFFFF\r\nk= 7 \r\n");
  TIniFile num("num.ini");
  std::pair<const char*, int> ints[] = {{"a", 12}, {"b", 31},   {"c", 31},   {"d", 255}, {"e", 1000}, {"f", 1000},
                                        {"g", 1000}, {"h", -5}, {"i", 1000}, {"j", -1}, {"k", 7},     {"zz", 1000}};
  for (auto [key, value] : ints) EXPECT_EQ(num.ReadInteger("N", key, 1000), value) << key;
  WriteFile(m.C() / "WINDOWS" / "long.ini", "[L]\r\nv=" + std::string(3000, 'x') + "\r\n");
  EXPECT_EQ(TIniFile("long.ini").ReadString("L", "v", "").size(), 2047u);
}

TEST(IniFile, WritesKeepEverythingElseAsItWas) {
  TestMachine m;
  fs::path file = m.C() / "WINDOWS" / "edit.ini";
  WriteFile(file, "; header\r\n[A]\r\nKey=old\r\n\r\n[B]\r\nx=1\r\n");
  TIniFile ini("edit.ini");
  ini.WriteString("a", "KEY", "new");   // keeps its place and its spelling
  ini.WriteString("A", "Added", "v");   // at the end of its section, before the blank line
  ini.WriteInteger("C", "n", -3);       // a new section at the end
  EXPECT_EQ(ReadFile(file), "; header\r\n[A]\r\nKey=new\r\nAdded=v\r\n\r\n[B]\r\nx=1\r\n\r\n[C]\r\nn=-3\r\n");
  ini.DeleteKey("B", "x");
  ini.EraseSection("c");
  EXPECT_EQ(ReadFile(file), "; header\r\n[A]\r\nKey=new\r\nAdded=v\r\n\r\n[B]\r\n\r\n");

  // A file with LF endings and a stray CR keeps every byte; the new line takes the file's ending.
  fs::path lf = m.C() / "WINDOWS" / "lf.ini";
  WriteFile(lf, "[A]\nodd=x\r\r\nk=1");
  TIniFile("lf.ini").WriteString("A", "new", "2");
  EXPECT_EQ(ReadFile(lf), "[A]\nodd=x\r\r\nk=1\nnew=2\n");
  EXPECT_EQ(TIniFile("lf.ini").ReadString("A", "odd", ""), "x\r");

  TIniFile fresh("fresh.ini");
  fresh.WriteString("S", "k", "v");
  EXPECT_EQ(ReadFile(m.C() / "WINDOWS" / "fresh.ini"), "[S]\r\nk=v\r\n");
  fresh.UpdateFile();

  TIniFile elsewhere("C:\\no folder\\x.ini");
  EXPECT_THROW(elsewhere.WriteString("S", "k", "v"), EIniFileException);
  fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write, fs::perm_options::remove);
  try {
    ini.WriteString("A", "Key", "x");
    ADD_FAILURE() << "a read-only file was written";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message, "Unable to write to edit.ini");
  }
}

TEST(IniFile, SectionAndKeyLists) {
  TestMachine m;
  WriteFile(m.C() / "WINDOWS" / "list.ini", kFile);
  TIniFile ini("list.ini");
  TStringList keys, sections;
  ini.ReadSection("main", keys);
  EXPECT_EQ(keys.CommaText(), "Name,Quoted,Single,Unmatched,Semi,#hash,dup,Empty");
  ini.ReadSections(sections);
  EXPECT_EQ(sections.CommaText(), "Main,Other");
  EXPECT_TRUE(ini.ValueExists("MAIN", "EMPTY"));
  EXPECT_FALSE(ini.SectionExists("none"));
}

TEST(IniFile, LineParsing) {
  using pinforge::IniLine;
  auto l = pinforge::ParseIniLine(" [ Sec ] x");
  EXPECT_EQ(l.kind, IniLine::kSection);
  EXPECT_EQ(l.name, "Sec");
  l = pinforge::ParseIniLine("\tk = 'v' ");
  EXPECT_EQ(l.kind, IniLine::kKey);
  EXPECT_EQ(l.value, "v");
  EXPECT_EQ(pinforge::ParseIniLine("no equals sign").kind, IniLine::kOther);
}
