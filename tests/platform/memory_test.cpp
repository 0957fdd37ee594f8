// Global memory shared by the modules of the process, and the 32-bit address space.
#include <win32/windows.h>

#include <pinforge/addr32.h>

#include <cstring>
#include <random>

#include "TestMachine.h"

using namespace testing_support;

TEST(GlobalMemory, BlocksCrossModuleBoundaries) {
  TestMachine m;
  HMODULE mod = LoadLibraryA("TESTMOD.DLL");
  ASSERT_NE(mod, 0u);
  auto alloc = reinterpret_cast<HGLOBAL (*)(UINT, char)>(GetProcAddress(mod, "ModuleAlloc"));
  auto release = reinterpret_cast<HGLOBAL (*)(HGLOBAL)>(GetProcAddress(mod, "ModuleFree"));
  std::size_t before = pinforge::LiveGlobalBlocks();

  HGLOBAL theirs = alloc(100, 'q');  // allocated there, used and freed here
  ASSERT_NE(theirs, 0u);
  EXPECT_EQ(GlobalSize(theirs), 100u);
  const char* p = static_cast<const char*>(GlobalLock(theirs));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::string(p, 100), std::string(100, 'q'));
  GlobalUnlock(theirs);
  EXPECT_EQ(GlobalFree(theirs), 0u);

  HGLOBAL ours = GlobalAlloc(GHND, 64);  // allocated here, freed there
  EXPECT_EQ(release(ours), 0u);
  EXPECT_EQ(release(ours), ours);  // a second free fails and hands the handle back
  EXPECT_EQ(pinforge::LiveGlobalBlocks(), before);
  FreeLibrary(mod);
}

TEST(GlobalMemory, LockCountsAndZeroFill) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 70000);
  ASSERT_NE(h, 0u);
  EXPECT_NE(h & 0xF, 0u);  // a handle, not an address
  auto* a = static_cast<unsigned char*>(GlobalLock(h));
  auto* b = static_cast<unsigned char*>(GlobalLock(h));
  EXPECT_EQ(a, b);
  EXPECT_TRUE(std::all_of(a, a + 70000, [](unsigned char c) { return c == 0; }));
  EXPECT_TRUE(GlobalUnlock(h));   // still locked once
  EXPECT_FALSE(GlobalUnlock(h));  // now unlocked
  EXPECT_EQ(GetLastError(), NO_ERROR);
  EXPECT_FALSE(GlobalUnlock(h));
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
  HGLOBAL bigger = GlobalReAlloc(h, 80000, GMEM_ZEROINIT);
  EXPECT_EQ(bigger, h);
  EXPECT_EQ(GlobalSize(h), 80000u);
  GlobalFree(h);
  EXPECT_EQ(GlobalLock(h), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  HGLOBAL fixed = GlobalAlloc(GPTR, 16);  // a fixed block's handle is its address
  EXPECT_EQ(pinforge::addr32::FromField(fixed), GlobalLock(fixed));
  GlobalFree(fixed);
}

TEST(AddressSpace, MemoryLiesBelow4GiBAndFieldsAreChecked) {
  std::mt19937 rng(3);
  std::vector<std::pair<char*, std::size_t>> blocks;
  for (int i = 0; i < 400; ++i) {
    std::size_t size = (i % 50 == 0) ? (2u << 20) : rng() % 5000 + 1;  // some large ones
    auto* p = static_cast<char*>(pinforge::addr32::Allocate(size));
    ASSERT_NE(p, nullptr);
    ASSERT_TRUE(pinforge::addr32::Fits(p + size - 1));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u);
    std::memset(p, i & 0xFF, size);
    blocks.emplace_back(p, size);
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    auto [p, size] = blocks[i];
    EXPECT_EQ(static_cast<unsigned char>(p[size - 1]), i & 0xFF);  // no block overlaps another
    std::uint32_t field = pinforge::addr32::ToField(p);
    EXPECT_EQ(pinforge::addr32::FromField<char>(field), p);
  }
  for (std::size_t i = 0; i < blocks.size(); i += 2) pinforge::addr32::Free(blocks[i].first);
  for (std::size_t i = 1; i < blocks.size(); i += 2) pinforge::addr32::Free(blocks[i].first);

  auto high = reinterpret_cast<const void*>(0x123456789ull);
  EXPECT_FALSE(pinforge::addr32::TryToField(high));
  EXPECT_THROW(pinforge::addr32::ToField(high), pinforge::addr32::AddressError);
  auto block = pinforge::addr32::MakeBlock(32);
  ASSERT_TRUE(block);
  EXPECT_EQ(block[31], 0);
}
