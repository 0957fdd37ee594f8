// Resources found through a module handle: names, numbers, languages and the failures.
#include <win32/windows.h>

#include <functional>

#include "TestMachine.h"

using namespace testing_support;

namespace {
std::string Data(HMODULE m, HRSRC r) {
  const char* p = static_cast<const char*>(LockResource(LoadResource(m, r)));
  return p ? std::string(p, SizeofResource(m, r)) : "<none>";
}
}  // namespace

TEST(Resources, FoundByNameNumberAndLanguage) {
  TestMachine m;
  for (DWORD flags : {DWORD{0}, LOAD_LIBRARY_AS_DATAFILE}) {
    HMODULE mod = LoadLibraryExA("TESTMOD.DLL", 0, flags);
    ASSERT_NE(mod, 0u);
    struct {
      HRSRC r;
      const char* data;
    } cases[] = {
        {FindResourceA(mod, MAKEINTRESOURCEA(42), RT_RCDATA), "forty-two"},
        {FindResourceA(mod, "#42", RT_RCDATA), "forty-two"},
        {FindResourceA(mod, "greeting", RT_RCDATA), "neutral"},  // any language: the neutral one
        {FindResourceExA(mod, RT_RCDATA, "GREETING", 0x0407), "hallo"},
        {FindResourceExA(mod, RT_RCDATA, "Greeting", 0x0409), "hello"},
    };
    for (const auto& c : cases) EXPECT_EQ(Data(mod, c.r), c.data);
    EXPECT_EQ(FindResourceA(mod, "#42", RT_RCDATA), FindResourceA(mod, MAKEINTRESOURCEA(42), RT_RCDATA));
    std::pair<std::function<HRSRC()>, DWORD> failures[] = {
        {[&] { return FindResourceA(mod, "Greeting", RT_BITMAP); }, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {[&] { return FindResourceA(mod, "Farewell", RT_RCDATA); }, ERROR_RESOURCE_NAME_NOT_FOUND},
        {[&] { return FindResourceA(mod, MAKEINTRESOURCEA(43), RT_RCDATA); }, ERROR_RESOURCE_NAME_NOT_FOUND},
        {[&] { return FindResourceExA(mod, RT_RCDATA, "Greeting", 0x040C); }, ERROR_RESOURCE_LANG_NOT_FOUND},
    };
    for (auto& [call, error] : failures) {
      EXPECT_EQ(call(), 0u);
      EXPECT_EQ(GetLastError(), error);
    }
    FreeLibrary(mod);
  }
  // A module without resources, and handles that name nothing.
  EXPECT_EQ(FindResourceA(GetModuleHandleA(nullptr), "X", RT_RCDATA), 0u);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
  EXPECT_EQ(FindResourceA(0x7777, "X", RT_RCDATA), 0u);
  EXPECT_EQ(LockResource(0x1234), nullptr);
  EXPECT_EQ(SizeofResource(0, 0x1234), 0u);
}

TEST(Resources, StringTablesAndOemText) {
  TestMachine m;
  HMODULE mod = LoadLibraryA("TESTMOD.DLL");
  char buf[64];
  struct {
    UINT id;
    const char* text;
  } cases[] = {{1, "first"},
               {17, "in the second block"},
               {10101, "Caf\xE9 \"quoted\" \x80 ?\nsecond line"},  // 1252, omega has no form there
               {11046, "Please insert disk volume %.1d"},
               {2, ""},
               {10100, ""},
               {60000, ""}};
  for (const auto& c : cases) {
    int n = LoadStringA(mod, c.id, buf, sizeof buf);
    EXPECT_EQ(std::string(buf, static_cast<std::size_t>(n)), c.text) << c.id;
  }
  EXPECT_EQ(LoadStringA(mod, 17, buf, 6), 5);  // cut to the buffer
  EXPECT_STREQ(buf, "in th");
  EXPECT_EQ(LoadStringA(GetModuleHandleA(nullptr), 1, buf, sizeof buf), 0);
  FreeLibrary(mod);

  struct {
    unsigned char oem, ansi;
  } oem[] = {{0x41, 0x41}, {0x81, 0xFC}, {0x84, 0xE4}, {0x9B, 0xA2}, {0xE1, 0xDF}, {0xF8, 0xB0}, {0xFF, 0xA0},
             {0xB3, 0xA6}, {0xC4, '-'},  {0xDA, '+'},  {0xCE, '+'},  {0xB1, 0xA6}, {0xE0, 'a'},  {0xDB, '?'}};
  std::string in, expected;
  for (auto [o, a] : oem) in += static_cast<char>(o), expected += static_cast<char>(a);
  std::string out(in.size(), '\0');
  ASSERT_TRUE(OemToCharBuffA(in.data(), out.data(), static_cast<DWORD>(in.size())));
  EXPECT_EQ(out, expected);
  ASSERT_TRUE(OemToCharBuffA(in.data(), in.data(), static_cast<DWORD>(in.size())));  // in place
  EXPECT_EQ(in, expected);
}
