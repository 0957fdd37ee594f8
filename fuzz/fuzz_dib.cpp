// A bitmap from outside: reading never fails but with EInvalidGraphic, and what is written reads
// back with the same pixels.
#include <cstdint>

#include <vcl/Graphics.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TBitmap b;
  try {
    b.LoadFromDib(data, size);
  } catch (const EInvalidGraphic&) {
    return 0;
  }
  std::string dib = b.SaveToDib();
  TBitmap again;
  again.LoadFromDib(dib.data(), dib.size());
  if (again.Width() != b.Width() || again.Height() != b.Height()) __builtin_trap();
  for (int y = 0; y < b.Height(); y += 7)
    for (int x = 0; x < b.Width(); x += 7)
      if (again.Canvas()->Pixel(x, y) != b.Canvas()->Pixel(x, y)) __builtin_trap();
  return 0;
}
