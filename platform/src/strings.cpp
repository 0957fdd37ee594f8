// Text calls of the user interface library: string resources and the OEM to ANSI conversion.
#include <win32/windows.h>

#include <cstring>

#include "text.h"

using namespace pinforge;

extern "C" {

int WINAPI LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int size) {
  if (!buffer || size <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  buffer[0] = 0;
  // Strings are kept sixteen to a block: block (id / 16) + 1, each string a length and UTF-16 units.
  HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(static_cast<WORD>((id >> 4) + 1)), RT_STRING);
  if (!res) return 0;
  const auto* p = static_cast<const unsigned char*>(LockResource(LoadResource(module, res)));
  DWORD size16 = SizeofResource(module, res);
  DWORD at = 0;
  for (UINT index = 0; index < 16; ++index) {
    if (at + 2 > size16) return 0;
    DWORD length = p[at] | p[at + 1] << 8;
    at += 2;
    if (length > (size16 - at) / 2) return 0;
    if (index == (id & 15)) {
      std::u16string text(length, u'\0');
      for (DWORD i = 0; i < length; ++i) text[i] = static_cast<char16_t>(p[at + 2 * i] | p[at + 2 * i + 1] << 8);
      std::string ansi = text::Utf16ToAnsi(text);
      std::size_t n = std::min<std::size_t>(ansi.size(), static_cast<std::size_t>(size - 1));
      std::memcpy(buffer, ansi.data(), n);
      buffer[n] = 0;
      if (n == 0) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return static_cast<int>(n);
    }
    at += 2 * length;
  }
  return 0;
}

BOOL WINAPI OemToCharBuffA(LPCSTR source, LPSTR destination, DWORD length) {
  if (!source || !destination) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (DWORD i = 0; i < length; ++i) destination[i] = text::OemToAnsi(source[i]);
  return TRUE;
}

BOOL WINAPI OemToCharA(LPCSTR source, LPSTR destination) {
  return source ? OemToCharBuffA(source, destination, static_cast<DWORD>(std::strlen(source) + 1)) : FALSE;
}

}  // extern "C"
