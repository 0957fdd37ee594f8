#include <vcl/Graphics.h>

#include <pinforge/replacefile.h>

#include <cstring>
#include <map>

namespace {

constexpr int kMaxSide = 32768;

std::uint32_t U32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }
std::uint16_t U16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
void Put32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
}
void Put16(std::string& s, std::uint16_t v) {
  s += static_cast<char>(v);
  s += static_cast<char>(v >> 8);
}

TColor Combine(DWORD mode, TColor s, TColor d) {
  switch (mode) {
    case SRCAND: return s & d;
    case SRCPAINT: return s | d;
    default: return s;
  }
}

}  // namespace

// ---- TCanvas ---------------------------------------------------------------------------------

TColor TCanvas::Pixel(int x, int y) const {
  const TBitmap& b = owner_;
  if (x < 0 || y < 0 || x >= b.width_ || y >= b.height_) return 0xFFFFFFFFu;
  std::size_t i = static_cast<std::size_t>(y) * b.width_ + x;
  if (b.format_ == pf24bit) return b.colors_[i];
  BYTE index = b.indices_[i];
  return index < b.palette_.size() ? b.palette_[index] : 0;
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  TBitmap& b = owner_;
  if (x < 0 || y < 0 || x >= b.width_ || y >= b.height_) return;
  std::size_t i = static_cast<std::size_t>(y) * b.width_ + x;
  if (b.format_ == pf24bit) b.colors_[i] = color & 0xFFFFFF;
  else b.indices_[i] = b.Nearest(color);
}

void TCanvas::CopyRect(const TRect& dest, const TCanvas& source, const TRect& src) {
  if (dest.Width() <= 0 || dest.Height() <= 0 || src.Width() <= 0 || src.Height() <= 0) return;
  const TBitmap& s = source.owner_;
  TBitmap& d = owner_;
  // Indices go across unchanged between 8-bit bitmaps of one palette.
  bool indexed = CopyMode == SRCCOPY && s.format_ == pf8bit && d.format_ == pf8bit && s.palette_ == d.palette_;
  for (int dy = 0; dy < dest.Height(); ++dy) {
    int y = dest.Top + dy, sy = src.Top + static_cast<int>(static_cast<long long>(dy) * src.Height() / dest.Height());
    if (y < 0 || y >= d.height_ || sy < 0 || sy >= s.height_) continue;
    for (int dx = 0; dx < dest.Width(); ++dx) {
      int x = dest.Left + dx, sx = src.Left + static_cast<int>(static_cast<long long>(dx) * src.Width() / dest.Width());
      if (x < 0 || x >= d.width_ || sx < 0 || sx >= s.width_) continue;
      if (indexed) {
        d.indices_[static_cast<std::size_t>(y) * d.width_ + x] = s.indices_[static_cast<std::size_t>(sy) * s.width_ + sx];
      } else {
        SetPixel(x, y, Combine(CopyMode, source.Pixel(sx, sy), Pixel(x, y)));
      }
    }
  }
}

// ---- TBitmap ---------------------------------------------------------------------------------

TBitmap::TBitmap() : canvas_(std::make_unique<TCanvas>(*this)) {}
TBitmap::~TBitmap() = default;

void TBitmap::SetSize(int width, int height) {
  if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) throw EInvalidGraphic("Invalid bitmap size");
  std::vector<BYTE> indices(format_ == pf8bit ? static_cast<std::size_t>(width) * height : 0);
  std::vector<TColor> colors(format_ == pf24bit ? static_cast<std::size_t>(width) * height : 0);
  for (int y = 0; y < std::min(height, height_); ++y)
    for (int x = 0; x < std::min(width, width_); ++x) {
      std::size_t from = static_cast<std::size_t>(y) * width_ + x, to = static_cast<std::size_t>(y) * width + x;
      if (format_ == pf8bit) indices[to] = indices_[from];
      else colors[to] = colors_[from];
    }
  width_ = width;
  height_ = height;
  indices_ = std::move(indices);
  colors_ = std::move(colors);
}

void TBitmap::SetPalette(const std::vector<TColor>& palette) {
  if (palette.size() > 256) throw EInvalidGraphic("A palette holds at most 256 colours");
  palette_ = palette;
}

BYTE TBitmap::Nearest(TColor color) const {
  int best = 0;
  long bestDistance = -1;
  for (std::size_t i = 0; i < palette_.size(); ++i) {
    long dr = GetRValue(palette_[i]) - GetRValue(color), dg = GetGValue(palette_[i]) - GetGValue(color),
         db = GetBValue(palette_[i]) - GetBValue(color);
    long distance = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || distance < bestDistance) best = static_cast<int>(i), bestDistance = distance;
    if (distance == 0) break;
  }
  return static_cast<BYTE>(best);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == format_) return;
  std::size_t n = static_cast<std::size_t>(width_) * height_;
  if (format == pf24bit) {
    colors_.resize(n);
    for (std::size_t i = 0; i < n; ++i) colors_[i] = indices_[i] < palette_.size() ? palette_[indices_[i]] : 0;
    indices_.clear();
  } else {
    indices_.resize(n);
    for (std::size_t i = 0; i < n; ++i) indices_[i] = Nearest(colors_[i]);
    colors_.clear();
  }
  format_ = format;
}

void TBitmap::LoadFromDib(const void* data, std::size_t size) {
  auto* p = static_cast<const unsigned char*>(data);
  EInvalidGraphic bad("Bitmap image is not valid");
  if (!p || size < 40 || U32(p) < 40 || U32(p) > size) throw bad;
  std::uint32_t headerSize = U32(p);
  auto width = static_cast<std::int32_t>(U32(p + 4)), height = static_cast<std::int32_t>(U32(p + 8));
  std::uint16_t planes = U16(p + 12), bits = U16(p + 14);
  std::uint32_t compression = U32(p + 16), used = U32(p + 32);
  bool topDown = height < 0;
  if (topDown) height = height == INT32_MIN ? 0 : -height;
  if (planes != 1 || compression != 0 || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) throw bad;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) throw bad;
  std::size_t colors = bits <= 8 ? (used ? used : (1u << bits)) : used;
  if (bits <= 8 && colors > (1u << bits)) throw bad;
  std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
  std::size_t pixels = headerSize + colors * 4;
  if (pixels > size || (size - pixels) / stride < static_cast<std::size_t>(height)) throw bad;
  std::vector<TColor> palette;
  for (std::size_t i = 0; i < (bits <= 8 ? colors : 0); ++i) {
    const unsigned char* q = p + headerSize + i * 4;
    palette.push_back(RGB(q[2], q[1], q[0]));
  }
  format_ = bits <= 8 ? pf8bit : pf24bit;
  width_ = height_ = 0;
  palette_ = palette;
  SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    const unsigned char* row = p + pixels + stride * static_cast<std::size_t>(topDown ? y : height - 1 - y);
    for (int x = 0; x < width; ++x) {
      std::size_t i = static_cast<std::size_t>(y) * width + x;
      if (bits == 8) indices_[i] = row[x];
      else if (bits == 4) indices_[i] = static_cast<BYTE>((row[x / 2] >> (x % 2 ? 0 : 4)) & 15);
      else if (bits == 1) indices_[i] = static_cast<BYTE>((row[x / 8] >> (7 - x % 8)) & 1);
      else {
        const unsigned char* q = row + static_cast<std::size_t>(x) * (bits / 8);
        colors_[i] = RGB(q[2], q[1], q[0]);
      }
    }
  }
  if (format_ == pf8bit) {
    for (BYTE& index : indices_)
      if (index >= palette_.size()) index = 0;
  }
}

std::string TBitmap::SaveToDib() const {
  int bits = format_ == pf8bit ? 8 : 24;
  std::size_t stride = ((static_cast<std::size_t>(width_) * bits + 31) / 32) * 4;
  std::string out;
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(width_));
  Put32(out, static_cast<std::uint32_t>(height_));
  Put16(out, 1);
  Put16(out, static_cast<std::uint16_t>(bits));
  Put32(out, 0);
  Put32(out, static_cast<std::uint32_t>(stride * height_));
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, format_ == pf8bit && palette_.size() < 256 ? static_cast<std::uint32_t>(palette_.size()) : 0);
  Put32(out, 0);
  if (format_ == pf8bit) {
    for (TColor c : palette_) {
      out += static_cast<char>(GetBValue(c));
      out += static_cast<char>(GetGValue(c));
      out += static_cast<char>(GetRValue(c));
      out += '\0';
    }
  }
  for (int y = height_ - 1; y >= 0; --y) {
    std::string row;
    for (int x = 0; x < width_; ++x) {
      std::size_t i = static_cast<std::size_t>(y) * width_ + x;
      if (format_ == pf8bit) {
        row += static_cast<char>(indices_[i]);
      } else {
        row += static_cast<char>(GetBValue(colors_[i]));
        row += static_cast<char>(GetGValue(colors_[i]));
        row += static_cast<char>(GetRValue(colors_[i]));
      }
    }
    row.resize(stride, '\0');
    out += row;
  }
  return out;
}

void TBitmap::LoadFromResourceName(HINSTANCE module, const AnsiString& name) {
  HRSRC res = FindResourceA(module, name.c_str(), RT_BITMAP);
  if (!res) throw EResNotFound("Resource " + name + " not found");
  const void* data = LockResource(LoadResource(module, res));
  LoadFromDib(data, SizeofResource(module, res));
}

void TBitmap::LoadFromFile(const AnsiString& fileName) {
  int h = FileOpen(fileName, fmOpenRead | fmShareDenyWrite);
  if (h < 0) throw EInOutError("Cannot open file " + fileName);
  std::string bytes;
  char buf[65536];
  for (int n; (n = FileRead(h, buf, sizeof buf)) > 0;) bytes.append(buf, static_cast<std::size_t>(n));
  FileClose(h);
  if (bytes.size() < 14 || bytes[0] != 'B' || bytes[1] != 'M') throw EInvalidGraphic("Bitmap image is not valid");
  LoadFromDib(bytes.data() + 14, bytes.size() - 14);
}

void TBitmap::SaveToFile(const AnsiString& fileName) const {
  std::string dib = SaveToDib();
  std::uint32_t offset = 14 + 40 + 4 * static_cast<std::uint32_t>(format_ == pf8bit ? palette_.size() : 0);
  std::string file = "BM";
  Put32(file, static_cast<std::uint32_t>(14 + dib.size()));
  Put32(file, 0);
  Put32(file, offset);
  file += dib;
  pinforge::ReplacingFile out(fileName);
  if (!out.Write(file.data(), static_cast<int>(file.size())) || !out.Commit()) throw EInOutError("Cannot create file " + fileName);
}
