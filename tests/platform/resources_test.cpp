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
