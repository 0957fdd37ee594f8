// Format, the 1-based string helpers and the number conversions.
#include <vcl/SysUtils.h>

#include <gtest/gtest.h>

TEST(Format, DirectivesAsThePrintfFamilyGivesThem) {
  EXPECT_EQ(Format("%d", 5), "5");
  EXPECT_EQ(Format("%.1d", 0), "0");
  EXPECT_EQ(Format("%.1d|%.3d", 7, 7), "7|007");
  EXPECT_EQ(Format("%02X", 10), "0A");
  EXPECT_EQ(Format("%02lX", 255), "FF");
  EXPECT_EQ(Format("%04lX", 40), "0028");
  EXPECT_EQ(Format("%04lX", 65535), "FFFF");
  EXPECT_EQ(Format("%06lX", 0x123), "000123");
  EXPECT_EQ(Format("%X|%x", -1, 255), "FFFFFFFF|ff");
  EXPECT_EQ(Format("%d", 4294967295u), "-1");  // an int of the original platform
  EXPECT_EQ(Format("%lld", 4294967295u), "4294967295");
  EXPECT_EQ(Format("File not Found !\n[%s]", "C:\\x"), "File not Found !\n[C:\\x]");
  EXPECT_EQ(Format("%5s|%-5s|%c|%%", "a", AnsiString("b"), 'z'), "    a|b    |z|%");
  EXPECT_EQ(Format("%*d", 4, 3), "   3");
  EXPECT_EQ(Format("no directives"), "no directives");
  for (auto bad : {+[] { return Format("%d", "text"); }, +[] { return Format("%s", 3); }, +[] { return Format("%d"); },
                   +[] { return Format("%q", 1); }, +[] { return Format("trailing %", 1); }})
    EXPECT_THROW(bad(), EConvertError);
}

TEST(Strings, CountFromOne) {
  EXPECT_EQ(Copy("Unzipped file a.txt", 1, 14), "Unzipped file ");
  EXPECT_EQ(Copy("Unzipped file a.txt", 15, 5), "a.txt");
  EXPECT_EQ(Copy("abc", 2, -3), "");
  EXPECT_EQ(Copy("abc", 0, 2), "ab");
  EXPECT_EQ(Copy("abc", 4, 1), "");
  EXPECT_EQ(Pos(".", "name.ext"), 5);
  EXPECT_EQ(Pos("x", "name"), 0);
  AnsiString s = "abcdef";
  Delete(s, 2, 2);
  EXPECT_EQ(s, "adef");
  Insert("XY", s, 2);
  EXPECT_EQ(s, "aXYdef");
  EXPECT_EQ(Trim("  a b \t"), "a b");
  EXPECT_EQ(AnsiUpperCase("caf\xE9"), "CAF\xC9");
  EXPECT_EQ(UpperCase("caf\xE9"), "CAF\xE9");
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_TRUE(SameText("Abc", "aBC"));
}

TEST(Strings, NumberConversions) {
  struct {
    const char* text;
    bool ok;
    int value;
  } ints[] = {{"12", true, 12},        {"-12", true, -12},          {"$1F", true, 31},        {"0x1f", true, 31},
              {" 7", true, 7},         {"7 ", false, 0},            {"", false, 0},           {"$", false, 0},
              {"2147483647", true, INT32_MAX}, {"2147483648", false, 0}, {"-2147483648", true, INT32_MIN},
              {"$FFFFFFFF", true, -1}, {"$100000000", false, 0},    {"1e3", false, 0}};
  for (const auto& c : ints) {
    int v = 0;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  EXPECT_THROW(StrToInt("x"), EConvertError);
  EXPECT_EQ(StrToIntDef("x", 9), 9);

  struct {
    const char* text;
    std::int32_t value;
    int consumed;
  } hex[] = {{"12", 0x12, 2},          {"ABCD", 0xABCD, 4},      {"xyz", 0, 0},       {"  0x1Fg", 31, 6},
             {"-1", -1, 2},            {"0x", 0, 1},             {"FFFF", 0xFFFF, 4}, {"80000000", INT32_MAX, 8},
             {"-80000001", INT32_MIN, 9}, {"123456789", INT32_MAX, 9}};
  for (const auto& c : hex) {
    const char* end = nullptr;
    EXPECT_EQ(StrToL32(c.text, &end, 16), c.value) << c.text;
    EXPECT_EQ(end - c.text, c.consumed) << c.text;
  }
}
