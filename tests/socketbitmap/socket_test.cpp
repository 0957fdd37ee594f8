// Duskplate's picture as the workstation finds it: the resource's bytes, colours and frames.
#include <win32/windows.h>

#include <vcl/Graphics.h>

#include <cstring>
#include <set>

#include "TestMachine.h"

using namespace testing_support;

namespace {

constexpr int kW = 630, kH = 260, kStride = 632, kFrame = 210;

std::uint32_t U32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }

class Socket : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExA("Duskplate.dll", 0, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, 0u);
    HRSRC res = FindResourceExA(module_, RT_BITMAP, "SOCKET4", 0x0404);
    ASSERT_NE(res, 0u);
    bytes_ = static_cast<const unsigned char*>(LockResource(LoadResource(module_, res)));
    size_ = SizeofResource(module_, res);
  }
  void TearDown() override { FreeLibrary(module_); }
  // Palette index at (x, y), y counted from the top.
  int At(int x, int y) const { return bytes_[40 + 1024 + static_cast<std::size_t>(kH - 1 - y) * kStride + x]; }
  int IndexOf(int r, int g, int b) const {
    for (int i = 0; i < 256; ++i) {
      const unsigned char* q = bytes_ + 40 + 4 * i;
      if (q[2] == r && q[1] == g && q[0] == b) return i;
    }
    return -1;
  }
  std::set<int> Used(int frame) const {
    std::set<int> s;
    for (int y = 0; y < kH; ++y)
      for (int x = frame * kFrame; x < (frame + 1) * kFrame; ++x) s.insert(At(x, y));
    return s;
  }

  TestMachine machine_;
  HMODULE module_ = 0;
  const unsigned char* bytes_ = nullptr;
  DWORD size_ = 0;
};

}  // namespace

TEST_F(Socket, TheResourceIsTheDescribedDib) {
  ASSERT_EQ(size_, 165384u);
  const std::pair<int, std::uint32_t> fields[] = {{0, 40}, {4, kW}, {8, kH}, {16, 0}, {20, 164320}, {24, 0}, {28, 0}, {32, 0}, {36, 0}};
  for (auto [offset, value] : fields) EXPECT_EQ(U32(bytes_ + offset), value) << "at " << offset;
  EXPECT_EQ(bytes_[12] | bytes_[13] << 8, 1);   // planes
  EXPECT_EQ(bytes_[14] | bytes_[15] << 8, 8);   // bits per pixel
  std::set<int> used;
  for (int f = 0; f < 3; ++f)
    for (int i : Used(f)) used.insert(i);
  EXPECT_EQ(used.size(), 45u);
  std::set<std::uint32_t> colours;
  for (int i : used) colours.insert(U32(bytes_ + 40 + 4 * i) & 0xFFFFFF);
  EXPECT_EQ(colours.size(), 45u);
  for (int y = 0; y < kH; ++y) {
    const unsigned char* pad = bytes_ + 40 + 1024 + static_cast<std::size_t>(y) * kStride + kW;
    EXPECT_EQ(pad[0] | pad[1], 0) << "row " << y;
  }
  EXPECT_EQ(FindResourceExA(module_, RT_BITMAP, "SOCKET4", 0x0409), 0u);  // stored under 0x0404 only
}

TEST_F(Socket, FramesDifferWhereTheViewsDo) {
  int orange = IndexOf(255, 140, 0), white = IndexOf(255, 255, 255), chipText = IndexOf(236, 236, 236);
  ASSERT_GE(orange, 0);
  ASSERT_GE(white, 0);
  ASSERT_GE(chipText, 0);
  std::set<int> f0 = Used(0), f1 = Used(1), f2 = Used(2);
  EXPECT_FALSE(f0.count(orange));
  EXPECT_TRUE(f1.count(orange));  // the question mark only in frame 1
  EXPECT_FALSE(f2.count(orange));
  EXPECT_TRUE(f2.count(chipText));  // the chip's label only in frame 2
  EXPECT_FALSE(f0.count(chipText) || f1.count(chipText));
  EXPECT_TRUE(f0.count(white) && f1.count(white));
  EXPECT_FALSE(f2.count(white));  // the chip covers the white square
  // Outside the opening the three views are the same socket; frame 1 is frame 0 but for its mark.
  int differ = 0, outside = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kFrame; ++x) {
      bool opening = x >= 40 && x < 170 && y >= 70 && y < 200;
      if (At(x, y) != At(x + kFrame, y)) ++differ;
      if (!opening && (At(x, y) != At(x + 2 * kFrame, y) || At(x, y) != At(x + kFrame, y))) ++outside;
    }
  EXPECT_GT(differ, 3000);  // a large mark
  EXPECT_LT(outside, 300);  // only where the mark's dot and shadow reach past the opening
}

TEST_F(Socket, AConsumerCopiesOneFrameFromTheLoadedLibrary) {
  HMODULE lib = LoadLibraryA("Duskplate");  // an ordinary load: nothing in it needs to run
  ASSERT_NE(lib, 0u);
  TBitmap picture;
  picture.LoadFromResourceName(lib, "socket4");
  ASSERT_EQ(picture.Width(), kW);
  ASSERT_EQ(picture.Height(), kH);
  EXPECT_EQ(picture.PixelFormat(), pf8bit);
  for (int frame = 0; frame < 3; ++frame) {
    TBitmap view;
    view.SetSize(kFrame, kH);  // a 24-bit view: the colours go across
    view.Canvas()->CopyRect(Rect(0, 0, kFrame, kH), *picture.Canvas(), Rect(kFrame * frame, 0, kFrame * (frame + 1), kH));
    for (int y = 0; y < kH; y += 7)
      for (int x = 0; x < kFrame; x += 5) {
        const unsigned char* q = bytes_ + 40 + 4 * At(x + frame * kFrame, y);
        ASSERT_EQ(view.Canvas()->Pixel(x, y), RGB(q[2], q[1], q[0])) << frame << ": " << x << "," << y;
      }
  }
  FreeLibrary(lib);
}
