// Graphics: colours, rectangles, and TBitmap holding a device-independent bitmap with a canvas.
#pragma once

#include <win32/windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include <vcl/Classes.h>

using TColor = std::uint32_t;  // 0x00BBGGRR
constexpr TColor RGB(int r, int g, int b) {
  return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(TColor c) { return c & 0xFF; }
constexpr int GetGValue(TColor c) { return (c >> 8) & 0xFF; }
constexpr int GetBValue(TColor c) { return (c >> 16) & 0xFF; }

constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCPAINT = 0x00EE0086;

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
};
inline TRect Rect(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }

class PF_API EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};
class PF_API EResNotFound : public Exception {
 public:
  using Exception::Exception;
};

enum TPixelFormat { pf8bit, pf24bit };

class TBitmap;

class PF_API TCanvas : public TObject {
 public:
  explicit TCanvas(TBitmap& owner) : owner_(owner) {}
  TColor Pixel(int x, int y) const;  // outside the bitmap: 0xFFFFFFFF
  void SetPixel(int x, int y, TColor color);
  // Copies source's rectangle into dest, stretching when the sizes differ (each destination pixel
  // takes one source pixel), combined by CopyMode; parts outside either bitmap are left out.
  void CopyRect(const TRect& dest, const TCanvas& source, const TRect& src);
  DWORD CopyMode = SRCCOPY;

 private:
  TBitmap& owner_;
};

class PF_API TBitmap : public TObject {
 public:
  TBitmap();
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetSize(int width, int height);  // new pixels are 0 (black, or palette entry 0)
  TPixelFormat PixelFormat() const { return format_; }
  // pf8bit keeps palette indices; pf24bit keeps colours. Changing it converts the pixels.
  void SetPixelFormat(TPixelFormat format);
  const std::vector<TColor>& Palette() const { return palette_; }
  void SetPalette(const std::vector<TColor>& palette);  // at most 256 entries
  TCanvas* Canvas() { return canvas_.get(); }
  const TCanvas* Canvas() const { return canvas_.get(); }
  // Palette index at a pixel of an 8-bit bitmap.
  BYTE Index(int x, int y) const { return indices_[static_cast<std::size_t>(y) * width_ + x]; }

  // A bitmap resource of the module (EResNotFound when there is none; EInvalidGraphic when bad).
  void LoadFromResourceName(HINSTANCE module, const AnsiString& name);
  // A packed device-independent bitmap (BITMAPINFOHEADER, colours, pixels): 1, 4, 8, 24 or 32
  // bits, uncompressed, either row order. EInvalidGraphic for anything else.
  void LoadFromDib(const void* data, std::size_t size);
  // The bitmap as a packed DIB: 8 bits with its palette, or 24 bits; rows bottom-up.
  std::string SaveToDib() const;
  void LoadFromFile(const AnsiString& fileName);
  // Writes a .bmp file through a new file beside any old one; EInOutError when it cannot.
  void SaveToFile(const AnsiString& fileName) const;

 private:
  friend class TCanvas;
  BYTE Nearest(TColor color) const;
  int width_ = 0, height_ = 0;
  TPixelFormat format_ = pf24bit;
  std::vector<TColor> palette_;
  std::vector<BYTE> indices_;   // pf8bit
  std::vector<TColor> colors_;  // pf24bit
  std::unique_ptr<TCanvas> canvas_;
};
