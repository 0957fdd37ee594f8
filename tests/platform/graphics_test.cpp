// TBitmap: device-independent bitmaps read and written, bad ones refused, rectangles copied.
#include <vcl/Graphics.h>

#include "TestMachine.h"

using namespace testing_support;

namespace {

std::string Le32(std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
std::string Le16(std::uint16_t v) { return std::string{char(v), char(v >> 8)}; }

// A packed DIB header of the given shape.
std::string Header(std::int32_t w, std::int32_t h, std::uint16_t bits, std::uint32_t compression = 0, std::uint32_t used = 0) {
  return Le32(40) + Le32(static_cast<std::uint32_t>(w)) + Le32(static_cast<std::uint32_t>(h)) + Le16(1) + Le16(bits) +
         Le32(compression) + Le32(0) + Le32(0) + Le32(0) + Le32(used) + Le32(0);
}

}  // namespace

TEST(Bitmap, ReadsDibsOfEveryDepthAndRowOrder) {
  // 2 x 2 pictures: top-left red, top-right green, bottom-left blue, bottom-right white.
  const TColor tl = RGB(255, 0, 0), tr = RGB(0, 255, 0), bl = RGB(0, 0, 255), br = RGB(255, 255, 255);
  std::string pal = std::string("\0\0\xFF\0", 4) + std::string("\0\xFF\0\0", 4) + std::string("\xFF\0\0\0", 4) + "\xFF\xFF\xFF" + '\0';
  struct {
    const char* name;
    std::string dib;
  } cases[] = {
      {"24-bit bottom-up", Header(2, 2, 24) + std::string("\xFF\0\0\xFF\xFF\xFF\0\0", 8) + std::string("\0\0\xFF\0\xFF\0\0\0", 8)},
      {"32-bit top-down", Header(2, -2, 32) + std::string("\0\0\xFF\0\0\xFF\0\0", 8) + std::string("\xFF\0\0\0\xFF\xFF\xFF\0", 8)},
      {"8-bit", Header(2, 2, 8, 0, 4) + pal + std::string("\2\3\0\0\0\1\0\0", 8)},
      {"4-bit", Header(2, 2, 4, 0, 4) + pal + std::string("\x23\0\0\0\x01\0\0\0", 8)},
  };
  for (const auto& c : cases) {
    TBitmap b;
    b.LoadFromDib(c.dib.data(), c.dib.size());
    ASSERT_EQ(b.Width(), 2) << c.name;
    EXPECT_EQ(b.Canvas()->Pixel(0, 0), tl) << c.name;
    EXPECT_EQ(b.Canvas()->Pixel(1, 0), tr) << c.name;
    EXPECT_EQ(b.Canvas()->Pixel(0, 1), bl) << c.name;
    EXPECT_EQ(b.Canvas()->Pixel(1, 1), br) << c.name;
  }
}

TEST(Bitmap, RefusesBadDibs) {
  std::string rows(64, '\0');
  std::string bad[] = {
      "",
      Header(2, 2, 8).substr(0, 39),
      Header(2, 2, 8, 1) + rows,                     // compressed
      Header(2, 2, 16) + rows,                       // no such depth here
      Header(0, 2, 24) + rows,
      Header(70000, 1, 24) + rows,
      Header(2, 2, 8, 0, 300) + rows,                // more colours than 8 bits hold
      Header(4, 100, 24) + rows,                     // rows missing
      Header(2, static_cast<std::int32_t>(0x80000000u), 24) + rows,
  };
  for (const std::string& dib : bad) {
    TBitmap b;
    EXPECT_THROW(b.LoadFromDib(dib.data(), dib.size()), EInvalidGraphic) << dib.size();
  }
  TBitmap b;
  EXPECT_THROW(b.LoadFromResourceName(GetModuleHandleA(nullptr), "NONE"), EResNotFound);
}

TEST(Bitmap, FilesRoundTripAndRectanglesCopy) {
  TestMachine m;
  TBitmap src;
  src.SetPixelFormat(pf8bit);
  src.SetPalette({RGB(0, 0, 0), RGB(255, 0, 0), RGB(0, 0, 255), RGB(255, 255, 255)});
  src.SetSize(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) src.Canvas()->SetPixel(x, y, (x + y) % 2 ? RGB(255, 0, 0) : RGB(0, 0, 250));  // nearest: blue
  src.SaveToFile("C:\\pic.bmp");
  std::string file = ReadFile(m.C() / "pic.bmp");
  ASSERT_EQ(file.size(), 14u + 40 + 16 + 8 * 3);
  EXPECT_EQ(file.substr(0, 2), "BM");
  TBitmap back;
  back.LoadFromFile("C:\\PIC.BMP");
  EXPECT_EQ(back.PixelFormat(), pf8bit);
  EXPECT_EQ(back.Palette(), src.Palette());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(back.Index(x, y), src.Index(x, y));
  EXPECT_EQ(src.Index(0, 0), 2);

  // A 24-bit destination: a plain copy, then the masks of a sprite.
  TBitmap dst;
  dst.SetSize(4, 2);
  dst.Canvas()->CopyRect(Rect(1, 0, 3, 2), *src.Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(dst.Canvas()->Pixel(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(dst.Canvas()->Pixel(1, 0), RGB(0, 0, 255));
  EXPECT_EQ(dst.Canvas()->Pixel(2, 0), RGB(255, 0, 0));
  dst.Canvas()->SetPixel(3, 1, RGB(0x0F, 0xF0, 0x33));
  TBitmap one;
  one.SetSize(1, 1);
  one.Canvas()->SetPixel(0, 0, RGB(0x3C, 0x3C, 0x3C));
  dst.Canvas()->CopyMode = SRCAND;
  dst.Canvas()->CopyRect(Rect(3, 1, 4, 2), *one.Canvas(), Rect(0, 0, 1, 1));
  EXPECT_EQ(dst.Canvas()->Pixel(3, 1), RGB(0x0C, 0x30, 0x30));
  dst.Canvas()->CopyMode = SRCPAINT;
  dst.Canvas()->CopyRect(Rect(3, 1, 4, 2), *one.Canvas(), Rect(0, 0, 1, 1));
  EXPECT_EQ(dst.Canvas()->Pixel(3, 1), RGB(0x3C, 0x3C, 0x3C));
  // Stretching: every destination pixel is one of the source's.
  TBitmap big;
  big.SetSize(10, 6);
  big.Canvas()->CopyRect(Rect(0, 0, 10, 6), *src.Canvas(), Rect(0, 0, 5, 3));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(big.Canvas()->Pixel(x, y), src.Canvas()->Pixel(x / 2, y / 2));
}
