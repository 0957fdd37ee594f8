// Loading modules by name: the search order, extensions, reference counts, exports and data files.
#include <win32/windows.h>

#include <pinforge/machine.h>
#include <vcl/SysUtils.h>

#include "TestMachine.h"

using namespace testing_support;

namespace {

fs::path ProgramDir() { return fs::read_symlink("/proc/self/exe").parent_path(); }

std::string ModuleFile(HMODULE h) {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(h, buf, sizeof buf);
  return std::string(buf, n);
}

}  // namespace

TEST(Modules, SearchOrderFollowsTheWindowsRules) {
  TestMachine m;
  fs::path lib = ProgramDir() / "TESTMOD.DLL";
  ASSERT_TRUE(fs::exists(lib));
  fs::path pathDir = m.Dir() / "onpath";
  fs::create_directories(m.C() / "Work");
  std::vector<std::pair<fs::path, std::string>> places = {
      {m.C() / "Work" / "order.dll", "C:\\Work\\order.dll"},
      {m.C() / "WINDOWS" / "SYSTEM32" / "ORDER.DLL", "C:\\WINDOWS\\SYSTEM32\\ORDER.DLL"},
      {m.C() / "WINDOWS" / "Order.Dll", "C:\\WINDOWS\\Order.Dll"},
      {pathDir / "ORDER.DLL", pinforge::machine::HostToWindows((pathDir / "ORDER.DLL").string())},
  };
  for (auto& [file, windows] : places) {
    fs::create_directories(file.parent_path());
    fs::copy_file(lib, file);
  }
  std::string oldPath = getenv("PATH");
  setenv("PATH", (pathDir.string() + ":" + oldPath).c_str(), 1);
  ASSERT_TRUE(SetCurrentDir("C:\\work"));
  // Each place wins while it holds the file, then the next one does.
  for (auto& [file, windows] : places) {
    HMODULE h = LoadLibraryA("order");
    ASSERT_NE(h, 0u) << windows;
    EXPECT_EQ(ModuleFile(h), windows);
    EXPECT_TRUE(FreeLibrary(h));
    fs::remove(file);
  }
  EXPECT_EQ(LoadLibraryA("order"), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  setenv("PATH", oldPath.c_str(), 1);

  // The program's folder comes first of all.
  fs::copy_file(lib, m.C() / "Work" / "TESTMOD.DLL");
  HMODULE first = LoadLibraryA("testmod.dll");
  EXPECT_EQ(fs::path(pinforge::machine::WindowsToHost(ModuleFile(first)).value()), ProgramDir() / "TESTMOD.DLL");
  FreeLibrary(first);
  HMODULE byPath = LoadLibraryA("C:\\WORK\\TESTMOD.DLL");
  EXPECT_EQ(ModuleFile(byPath), "C:\\Work\\TESTMOD.DLL");
  FreeLibrary(byPath);
  EXPECT_EQ(LoadLibraryA("testmod."), 0u);  // a trailing dot means no extension
}

TEST(Modules, ExportsReferenceCountsAndDataFiles) {
  TestMachine m;
  HMODULE a = LoadLibraryA("TESTMOD");
  HMODULE b = LoadLibraryA("TestMod.DLL");
  ASSERT_NE(a, 0u);
  EXPECT_EQ(a, b);
  auto tag = reinterpret_cast<const char* (*)()>(GetProcAddress(a, "ModuleTag"));
  ASSERT_NE(tag, nullptr);
  EXPECT_STREQ(tag(), "testmod");
  EXPECT_EQ(GetProcAddress(a, "GlobalAlloc"), nullptr);  // the platform's, not the module's own
  EXPECT_EQ(GetProcAddress(a, "Missing"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetModuleHandleA("testmod"), a);
  EXPECT_TRUE(FreeLibrary(a));
  EXPECT_NE(GetModuleHandleA("testmod"), 0u);  // one reference left
  EXPECT_TRUE(FreeLibrary(b));
  EXPECT_EQ(GetModuleHandleA("testmod"), 0u);
  EXPECT_FALSE(FreeLibrary(b));

  HMODULE data = LoadLibraryExA("TESTMOD.DLL", 0, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(data, 0u);
  EXPECT_EQ(GetProcAddress(data, "ModuleTag"), nullptr);  // nothing of it runs
  EXPECT_TRUE(FreeLibrary(data));

  HMODULE self = 0;
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&ProgramDir), &self));
  EXPECT_EQ(self, GetModuleHandleA(nullptr));
  EXPECT_EQ(fs::path(pinforge::machine::WindowsToHost(ModuleFile(0)).value()), fs::read_symlink("/proc/self/exe"));
}
