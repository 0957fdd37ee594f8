#include "Names.h"

#include <win32/windows.h>

#include <cstring>
#include <vector>

namespace unzeng {
namespace {

// Code page 1252 for U+0080 to U+009F's place: the characters 0x80 to 0x9F stand for.
const char16_t k1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char ToAnsi(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (int i = 0; i < 32; ++i)
    if (k1252High[i] && k1252High[i] == c) return static_cast<char>(0x80 + i);
  return '_';  // no such character in code page 1252
}

std::string Utf8ToAnsi(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size()) {
      out += '_';
      ++i;
      continue;
    }
    char32_t c = extra == 0 ? b : b & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      auto t = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((t & 0xC0) != 0x80) ok = false;
      c = c << 6 | (t & 0x3F);
    }
    static const char32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
    if (!ok || c < kLeast[extra] || c > 0x10FFFF) {  // overlong or out of range: not a character
      out += '_';
      ++i;
      continue;
    }
    out += ToAnsi(c);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

char Fold(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 32);
  if (c == '/') return '\\';
  return c;
}

}  // namespace

std::string DecodeName(const Entry& e, CodePage codePage) {
  std::string name;
  if (e.Utf8()) {
    name = Utf8ToAnsi(e.rawName);
  } else if (!e.unicodeName.empty()) {
    name = Utf8ToAnsi(e.unicodeName);
  } else {
    name = e.rawName;
    bool oem = codePage == CodePage::Oem ||
               (codePage == CodePage::Auto &&
                (e.hostSystem == 0 || e.hostSystem == 6 || (e.hostSystem == 11 && e.madeByVersion == 50)));
    if (oem && !name.empty()) OemToCharBuffA(name.data(), name.data(), static_cast<DWORD>(name.size()));
  }
  for (char& c : name)
    if (c == '/') c = '\\';
  return name;
}

std::string SafeRelativeName(const std::string& name, std::string& refused) {
  refused.clear();
  if (name.empty()) {
    refused = "it has no name";
    return "";
  }
  if (name[0] == '\\') {
    refused = name.size() > 1 && name[1] == '\\' ? "it names a server" : "its name is absolute";
    return "";
  }
  if (name.size() >= 2 && name[1] == ':') {
    refused = "its name names a drive";
    return "";
  }
  for (char ch : name) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || std::strchr("<>:\"|?*", c)) {
      refused = "its name holds a character no file name may hold";
      return "";
    }
  }
  std::string out;
  std::size_t pos = 0;
  while (pos <= name.size()) {
    std::size_t next = name.find('\\', pos);
    if (next == std::string::npos) next = name.size();
    std::string part = name.substr(pos, next - pos);
    pos = next + 1;
    if (part == "..") {
      refused = "its name climbs out of the folder with \"..\"";
      return "";
    }
    if (part.empty() || part == ".") continue;
    if (!out.empty()) out += '\\';
    out += part;
  }
  return out;  // empty for a name of "." parts only, which names the folder itself
}

std::string FoldedName(const std::string& name) {
  std::string out = name;
  for (char& c : out) c = Fold(c);
  return out;
}

bool MatchSpec(const std::string& spec, const std::string& name) {
  // Iterative wildcard match with one point to come back to: linear in practice.
  std::size_t s = 0, n = 0, star = std::string::npos, mark = 0;
  while (n < name.size()) {
    if (s < spec.size() && spec[s] == '*') {
      star = s++;
      mark = n;
    } else if (s < spec.size() && (spec[s] == '?' || Fold(spec[s]) == Fold(name[n]))) {
      ++s;
      ++n;
    } else if (star != std::string::npos) {
      s = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (s < spec.size() && spec[s] == '*') ++s;
  return s == spec.size();
}

}  // namespace unzeng
