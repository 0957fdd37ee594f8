// Draws "SOCKET4": three 210 x 260 views of a TQFP socket seen from above, side by side (empty
// socket; the same with a large question mark; the socket holding a labelled chip), as an 8-bit
// .bmp with a full 256-entry colour table of which exactly 45 colours are used.
// Usage: gen_socket OUTPUT.bmp
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

enum Colour : std::uint8_t {
  BG, OUTLINE, BODYHI, BODYSH, HINGE, HINGELIGHT, HINGEDARK, HOLERIM, HOLEIN, HOLEHI, MARK, LABEL,
  RIMDARK, RIMLIGHT, OPENING, FLOOR, GOLD, GOLDLIGHT, GOLDDARK, SLOT, WHITE, WHITEEDGE, DIAMOND,
  DIAMONDEDGE, QORANGE, QDARK, QLIGHT, QSHADOW, CHIP, CHIPLIGHT, CHIPDARK, CHIPTEXT, CHIPTEXT2, PIN1,
  LEAD, LEADDARK, LOGO, BODY0  // BODY0 .. BODY0 + kShades - 1: the body's shading, top to bottom
};
constexpr int kColours = 45;
constexpr int kShades = kColours - BODY0;
static_assert(kShades >= 2);

struct Rgb {
  std::uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

const Rgb kFixed[BODY0] = {
    {200, 200, 200}, {18, 18, 22},    {118, 118, 128}, {26, 26, 30},    {150, 150, 160}, {222, 222, 232},
    {88, 88, 98},    {14, 14, 16},    {122, 122, 122}, {168, 168, 172}, {240, 220, 60},  {172, 172, 182},
    {22, 22, 24},    {96, 96, 104},   {48, 48, 54},    {58, 58, 64},    {212, 175, 55},  {246, 216, 122},
    {150, 115, 30},  {36, 30, 20},    {255, 255, 255}, {214, 214, 214}, {30, 30, 30},    {92, 92, 92},
    {255, 140, 0},   {186, 88, 0},    {255, 192, 92},  {62, 42, 22},    {28, 28, 31},    {82, 82, 88},
    {10, 10, 12},    {236, 236, 236}, {178, 178, 184}, {64, 64, 68},    {204, 204, 210}, {138, 138, 144},
    {200, 40, 40}};

constexpr int kFrameW = 210, kFrameH = 260, kW = 3 * kFrameW, kH = kFrameH;

// 5 x 7 glyphs, rows top to bottom, the left pixel in bit 4.
struct Glyph {
  char c;
  std::array<std::uint8_t, 7> rows;
};
const Glyph kFont[] = {
    {'0', {14, 17, 19, 21, 25, 17, 14}}, {'1', {4, 12, 4, 4, 4, 4, 14}},   {'4', {2, 6, 10, 18, 31, 2, 2}},
    {'5', {31, 16, 30, 1, 1, 17, 14}},   {'6', {6, 8, 16, 30, 17, 17, 14}}, {'7', {31, 1, 2, 4, 8, 8, 8}},
    {'8', {14, 17, 17, 14, 17, 17, 14}}, {'A', {14, 17, 17, 31, 17, 17, 17}}, {'C', {14, 17, 16, 16, 16, 17, 14}},
    {'F', {31, 16, 16, 30, 16, 16, 16}}, {'M', {17, 27, 21, 21, 17, 17, 17}}, {'P', {30, 17, 17, 30, 16, 16, 16}},
    {'Q', {14, 17, 17, 17, 21, 18, 13}}, {'R', {30, 17, 17, 30, 20, 18, 17}}, {'T', {31, 4, 4, 4, 4, 4, 4}},
    {'U', {17, 17, 17, 17, 17, 17, 14}}, {'-', {0, 0, 0, 31, 0, 0, 0}},       {' ', {0, 0, 0, 0, 0, 0, 0}}};

class Canvas {
 public:
  Canvas() : px_(static_cast<std::size_t>(kW) * kH, BG) {}
  void Frame(int index) { ox_ = index * kFrameW; }
  void Set(int x, int y, std::uint8_t c) {
    if (x >= 0 && y >= 0 && x < kFrameW && y < kFrameH) px_[static_cast<std::size_t>(y) * kW + ox_ + x] = c;
  }
  void Fill(int x0, int y0, int x1, int y1, std::uint8_t c) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) Set(x, y, c);
  }
  template <class Inside>
  void Shape(int x0, int y0, int x1, int y1, std::uint8_t c, Inside inside) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (inside(x + 0.5, y + 0.5)) Set(x, y, c);
  }
  void Disc(double cx, double cy, double r, std::uint8_t c) {
    Shape(static_cast<int>(cx - r - 1), static_cast<int>(cy - r - 1), static_cast<int>(cx + r + 2), static_cast<int>(cy + r + 2), c,
          [&](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; });
  }
  void Diamond(double cx, double cy, double r, std::uint8_t c) {
    Shape(static_cast<int>(cx - r - 1), static_cast<int>(cy - r - 1), static_cast<int>(cx + r + 2), static_cast<int>(cy + r + 2), c,
          [&](double x, double y) { return std::fabs(x - cx) + std::fabs(y - cy) <= r; });
  }
  void Text(int x, int y, const std::string& s, std::uint8_t c) {
    for (char ch : s) {
      for (const Glyph& g : kFont)
        if (g.c == ch)
          for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col)
              if (g.rows[row] & (16 >> col)) Set(x + col, y + row, c);
      x += 6;
    }
  }
  void CenteredText(int cx, int y, const std::string& s, std::uint8_t c) { Text(cx - (6 * static_cast<int>(s.size()) - 1) / 2, y, s, c); }
  const std::vector<std::uint8_t>& Pixels() const { return px_; }

 private:
  std::vector<std::uint8_t> px_;
  int ox_ = 0;
};

// The opening and its contacts: 21 a side at a 5-pixel pitch.
constexpr int kOpen0 = 40, kOpenTop = 70, kOpenSize = 130, kContacts = 21, kFirst = 15, kPitch = 5, kLength = 12;

void Hinge(Canvas& c, int x0, int x1) {
  c.Fill(x0, 12, x1, 24, HINGE);
  c.Fill(x0, 12, x1, 13, HINGELIGHT);
  c.Fill(x0, 19, x1, 20, HINGEDARK);
  for (int x = x0 + (x1 - x0) / 3; x < x1 - 2; x += (x1 - x0) / 3) c.Fill(x, 12, x + 1, 24, HINGEDARK);
}

void Hole(Canvas& c, double cx, double cy) {
  c.Disc(cx, cy, 8, HOLERIM);
  c.Disc(cx, cy, 6, HOLEIN);
  c.Shape(static_cast<int>(cx) - 7, static_cast<int>(cy) - 7, static_cast<int>(cx) + 8, static_cast<int>(cy) + 8, HOLEHI,
          [&](double x, double y) {
            double d0 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            double d1 = (x - cx - 2.5) * (x - cx - 2.5) + (y - cy - 2.5) * (y - cy - 2.5);
            return d0 <= 36 && d1 > 36;
          });
}

void Socket(Canvas& c) {
  Hinge(c, 34, 72);
  Hinge(c, 138, 176);
  // The body: a rounded rectangle, shaded from top to bottom, with a lit and a shaded edge.
  const int x0 = 8, y0 = 22, x1 = 202, y1 = 252, r = 12;
  auto inside = [&](double x, double y) {
    double cx = x < x0 + r ? x0 + r : x > x1 - r ? x1 - r : x, cy = y < y0 + r ? y0 + r : y > y1 - r ? y1 - r : y;
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
  };
  for (int y = y0; y < y1; ++y) {
    std::uint8_t shade = static_cast<std::uint8_t>(BODY0 + (y - y0) * kShades / (y1 - y0));
    c.Shape(x0, y, x1, y + 1, shade, inside);
  }
  auto edge = [&](int dx, int dy) {
    return [&, dx, dy](double x, double y) { return inside(x, y) && !inside(x + dx, y + dy); };
  };
  c.Shape(x0, y0, x1, y1, BODYHI, edge(-2, -2));
  c.Shape(x0, y0, x1, y1, BODYSH, edge(2, 2));
  c.Shape(x0, y0, x1, y1, OUTLINE, [&](double x, double y) {
    return inside(x, y) && (!inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1));
  });
  for (auto [hx, hy] : {std::pair{26, 40}, {184, 40}, {26, 234}, {184, 234}}) Hole(c, hx, hy);
  c.Shape(28, 56, 40, 68, MARK, [](double x, double y) { return (x - 28) + (y - 56) < 11; });  // pin 1
  c.CenteredText(105, 238, "TQFP84", LABEL);

  // The opening, recessed: dark rim above and left, light rim below and right.
  const int ox1 = kOpen0 + kOpenSize, oy1 = kOpenTop + kOpenSize;
  c.Fill(kOpen0, kOpenTop, ox1, oy1, OPENING);
  c.Fill(kOpen0, kOpenTop, ox1, kOpenTop + 1, RIMDARK);
  c.Fill(kOpen0, kOpenTop, kOpen0 + 1, oy1, RIMDARK);
  c.Fill(kOpen0, oy1 - 1, ox1, oy1, RIMLIGHT);
  c.Fill(ox1 - 1, kOpenTop, ox1, oy1, RIMLIGHT);
  c.Fill(kOpen0 + 14, kOpenTop + 14, ox1 - 14, oy1 - 14, FLOOR);
  for (int i = 0; i < kContacts; ++i) {
    int a = kFirst + i * kPitch;
    // Top, bottom, left, right: each contact lit on one side, shaded on the other, its inner end
    // casting a one-pixel shadow onto the floor.
    c.Fill(kOpen0 + a, kOpenTop + 2, kOpen0 + a + 3, kOpenTop + 2 + kLength, GOLD);
    c.Fill(kOpen0 + a, kOpenTop + 2, kOpen0 + a + 1, kOpenTop + 2 + kLength, GOLDLIGHT);
    c.Fill(kOpen0 + a + 2, kOpenTop + 2, kOpen0 + a + 3, kOpenTop + 2 + kLength, GOLDDARK);
    c.Fill(kOpen0 + a, kOpenTop + 2 + kLength, kOpen0 + a + 3, kOpenTop + 3 + kLength, SLOT);
    c.Fill(kOpen0 + a, oy1 - 2 - kLength, kOpen0 + a + 3, oy1 - 2, GOLD);
    c.Fill(kOpen0 + a, oy1 - 2 - kLength, kOpen0 + a + 1, oy1 - 2, GOLDLIGHT);
    c.Fill(kOpen0 + a + 2, oy1 - 2 - kLength, kOpen0 + a + 3, oy1 - 2, GOLDDARK);
    c.Fill(kOpen0 + a, oy1 - 3 - kLength, kOpen0 + a + 3, oy1 - 2 - kLength, SLOT);
    c.Fill(kOpen0 + 2, kOpenTop + a, kOpen0 + 2 + kLength, kOpenTop + a + 3, GOLD);
    c.Fill(kOpen0 + 2, kOpenTop + a, kOpen0 + 2 + kLength, kOpenTop + a + 1, GOLDLIGHT);
    c.Fill(kOpen0 + 2, kOpenTop + a + 2, kOpen0 + 2 + kLength, kOpenTop + a + 3, GOLDDARK);
    c.Fill(kOpen0 + 2 + kLength, kOpenTop + a, kOpen0 + 3 + kLength, kOpenTop + a + 3, SLOT);
    c.Fill(ox1 - 2 - kLength, kOpenTop + a, ox1 - 2, kOpenTop + a + 3, GOLD);
    c.Fill(ox1 - 2 - kLength, kOpenTop + a, ox1 - 2, kOpenTop + a + 1, GOLDLIGHT);
    c.Fill(ox1 - 2 - kLength, kOpenTop + a + 2, ox1 - 2, kOpenTop + a + 3, GOLDDARK);
    c.Fill(ox1 - 3 - kLength, kOpenTop + a, ox1 - 2 - kLength, kOpenTop + a + 3, SLOT);
  }
}

void EmptySeat(Canvas& c) {
  c.Fill(72, 102, 138, 168, WHITEEDGE);
  c.Fill(73, 103, 137, 167, WHITE);
  for (auto [dx, dy] : {std::pair{63, 93}, {147, 93}, {63, 177}, {147, 177}}) {
    c.Diamond(dx, dy, 5, DIAMONDEDGE);
    c.Diamond(dx, dy, 3.5, DIAMOND);
  }
}

bool QuestionMark(double x, double y) {
  const double cx = 105, cy = 112;
  double dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
  double angle = std::atan2(dy, dx) * 180 / M_PI;
  bool hook = d >= 20 && d <= 34 && !(angle > 80 && angle < 180);
  bool stem = x >= 97 && x < 115 && y >= 134 && y < 170;
  bool dot = (x - 106) * (x - 106) + (y - 190) * (y - 190) <= 100;
  return hook || stem || dot;
}

void Question(Canvas& c) {
  c.Shape(0, 0, kFrameW, kFrameH, QSHADOW, [](double x, double y) { return QuestionMark(x - 3, y - 3); });
  c.Shape(0, 0, kFrameW, kFrameH, QORANGE, QuestionMark);
  c.Shape(0, 0, kFrameW, kFrameH, QLIGHT, [](double x, double y) { return QuestionMark(x, y) && !QuestionMark(x - 4, y - 4); });
  c.Shape(0, 0, kFrameW, kFrameH, QDARK, [](double x, double y) {
    if (!QuestionMark(x, y)) return false;
    for (int k = -2; k <= 2; ++k)
      if (!QuestionMark(x + k, y) || !QuestionMark(x, y + k)) return true;
    return false;
  });
}

void Chip(Canvas& c) {
  // Gull-wing leads lying on the contacts, then the package over the middle.
  for (int i = 0; i < kContacts; ++i) {
    int a = kOpen0 + kFirst + i * kPitch, b = kOpenTop + kFirst + i * kPitch;
    c.Fill(a, 78, a + 3, 84, LEAD);
    c.Fill(a + 2, 78, a + 3, 84, LEADDARK);
    c.Fill(a, 186, a + 3, 192, LEAD);
    c.Fill(a + 2, 186, a + 3, 192, LEADDARK);
    c.Fill(48, b, 54, b + 3, LEAD);
    c.Fill(48, b + 2, 54, b + 3, LEADDARK);
    c.Fill(156, b, 162, b + 3, LEAD);
    c.Fill(156, b + 2, 162, b + 3, LEADDARK);
  }
  c.Fill(54, 84, 156, 186, CHIP);
  c.Fill(54, 84, 156, 85, CHIPLIGHT);
  c.Fill(54, 84, 55, 186, CHIPLIGHT);
  c.Fill(54, 185, 156, 186, CHIPDARK);
  c.Fill(155, 84, 156, 186, CHIPDARK);
  c.Disc(66, 96, 4, PIN1);
  c.Diamond(144, 174, 5, LOGO);
  c.CenteredText(105, 116, "TQFP84", CHIPTEXT);
  c.CenteredText(105, 130, "PF60-MCU", CHIPTEXT);
  c.CenteredText(105, 146, "QR5184-A7", CHIPTEXT2);
}

void Put(std::string& s, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gen_socket OUTPUT.bmp\n");
    return 2;
  }
  Canvas canvas;
  for (int frame = 0; frame < 3; ++frame) {
    canvas.Frame(frame);
    Socket(canvas);
    if (frame < 2) EmptySeat(canvas);
    if (frame == 1) Question(canvas);
    if (frame == 2) Chip(canvas);
  }

  std::vector<Rgb> palette(kFixed, kFixed + BODY0);
  for (int i = 0; i < kShades; ++i) {
    auto v = static_cast<std::uint8_t>(78 - i * 36 / (kShades - 1));
    palette.push_back({v, v, static_cast<std::uint8_t>(v + 8)});
  }
  std::vector<bool> used(kColours, false);
  for (std::uint8_t p : canvas.Pixels()) used[p] = true;
  for (int i = 0; i < kColours; ++i) {
    if (!used[i]) {
      std::fprintf(stderr, "gen_socket: colour %d is not used\n", i);
      return 1;
    }
    for (int j = 0; j < i; ++j)
      if (palette[i] == palette[j]) {
        std::fprintf(stderr, "gen_socket: colours %d and %d are the same\n", j, i);
        return 1;
      }
  }
  // The unused rest of the table: distinct colours that the picture does not use.
  for (std::uint32_t k = 0; palette.size() < 256; ++k) {
    Rgb c{static_cast<std::uint8_t>(k * 53 + 17), static_cast<std::uint8_t>(k * 97 + 101), static_cast<std::uint8_t>(k * 29 + 211)};
    bool seen = false;
    for (const Rgb& p : palette) seen = seen || p == c;
    if (!seen) palette.push_back(c);
  }

  constexpr std::uint32_t kStride = (kW + 3) & ~3u, kImage = kStride * kH;
  std::string bmp = "BM";
  Put(bmp, 14 + 40 + 1024 + kImage, 4);
  Put(bmp, 0, 4);
  Put(bmp, 14 + 40 + 1024, 4);
  for (std::uint32_t v : {40u, std::uint32_t(kW), std::uint32_t(kH)}) Put(bmp, v, 4);
  Put(bmp, 1, 2);
  Put(bmp, 8, 2);
  for (std::uint32_t v : {0u, kImage, 0u, 0u, 0u, 0u}) Put(bmp, v, 4);
  for (const Rgb& p : palette) {
    bmp += static_cast<char>(p.b);
    bmp += static_cast<char>(p.g);
    bmp += static_cast<char>(p.r);
    bmp += '\0';
  }
  for (int y = kH - 1; y >= 0; --y) {
    bmp.append(reinterpret_cast<const char*>(canvas.Pixels().data()) + static_cast<std::size_t>(y) * kW, kW);
    bmp.append(kStride - kW, '\0');
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << bmp;
  return out ? 0 : 1;
}
