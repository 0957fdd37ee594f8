#include "regstore.h"

#include <algorithm>
#include <cstdio>

#include "text.h"

namespace pinforge::reg {
namespace {

constexpr const char* kHives[4] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

int HiveIndex(std::string_view name) {
  for (int i = 0; i < 4; ++i)
    if (text::EqualNoCase(name, kHives[i])) return i;
  if (text::EqualNoCase(name, "HKCR")) return 0;
  if (text::EqualNoCase(name, "HKCU")) return 1;
  if (text::EqualNoCase(name, "HKLM")) return 2;
  if (text::EqualNoCase(name, "HKU")) return 3;
  return -1;
}

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> out;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    auto next = path.find('\\', pos);
    if (next == std::string_view::npos) next = path.size();
    if (next > pos) out.emplace_back(path.substr(pos, next - pos));
    pos = next + 1;
  }
  return out;
}

// A quoted string starting at s[pos] == '"'; pos ends past the closing quote.
bool ReadQuoted(std::string_view s, std::size_t& pos, std::string& out) {
  if (pos >= s.size() || s[pos] != '"') return false;
  ++pos;
  out.clear();
  while (pos < s.size()) {
    char c = s[pos++];
    if (c == '"') return true;
    if (c == '\\' && pos < s.size() && (s[pos] == '\\' || s[pos] == '"')) c = s[pos++];
    out += c;
  }
  return false;
}

bool ReadHex(std::string_view s, std::string& out) {
  out.clear();
  std::size_t pos = 0;
  while (pos < s.size()) {
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t' || s[pos] == ',')) ++pos;
    if (pos >= s.size()) break;
    std::size_t start = pos;
    while (pos < s.size() && std::isxdigit(static_cast<unsigned char>(s[pos]))) ++pos;
    if (pos - start == 0 || pos - start > 2) return false;
    out += static_cast<char>(std::stoi(std::string(s.substr(start, pos - start)), nullptr, 16));
  }
  return true;
}

std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string HexLine(std::string prefix, std::string_view data) {
  std::string out = prefix;
  std::size_t col = out.size();
  for (std::size_t i = 0; i < data.size(); ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(data[i]));
    out += hex;
    col += 2;
    if (i + 1 < data.size()) {
      out += ',';
      ++col;
      if (col > 76) {
        out += "\\\r\n  ";
        col = 2;
      }
    }
  }
  return out;
}

void WriteKey(const Key& key, const std::string& path, std::string& out) {
  out += "[" + path + "]\r\n";
  for (const Value& v : key.values) {
    std::string line = v.name.empty() ? "@=" : Quote(v.name) + "=";
    std::string_view data = v.data;
    bool plain = v.type == REG_SZ && (data.empty() || data.back() == '\0');
    if (plain && !data.empty()) data.remove_suffix(1);
    if (plain && data.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos) plain = false;
    if (plain) {
      line += Quote(data);
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
      char buf[16];
      auto b = [&](int i) { return static_cast<unsigned>(static_cast<unsigned char>(v.data[i])); };
      std::snprintf(buf, sizeof buf, "dword:%08x", b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24);
      line += buf;
    } else if (v.type == REG_BINARY) {
      line = HexLine(line + "hex:", v.data);
    } else {
      line = HexLine(line + "hex(" + std::to_string(v.type) + "):", v.data);
    }
    out += line + "\r\n";
  }
  out += "\r\n";
  for (const auto& sub : key.subkeys) WriteKey(*sub, path + "\\" + sub->name, out);
}

}  // namespace

Key* Key::Find(std::string_view child) const {
  for (const auto& k : subkeys)
    if (text::EqualNoCase(k->name, child)) return k.get();
  return nullptr;
}

Key* Key::Add(std::string_view child) {
  if (Key* k = Find(child)) return k;
  auto key = std::make_unique<Key>();
  key->name = std::string(child);
  auto at = std::lower_bound(subkeys.begin(), subkeys.end(), key->name,
                             [](const std::unique_ptr<Key>& k, const std::string& n) { return text::CompareNoCase(k->name, n) < 0; });
  return subkeys.insert(at, std::move(key))->get();
}

bool Key::Remove(std::string_view child) {
  for (auto it = subkeys.begin(); it != subkeys.end(); ++it) {
    if (text::EqualNoCase((*it)->name, child)) {
      subkeys.erase(it);
      return true;
    }
  }
  return false;
}

Value* Key::FindValue(std::string_view valueName) {
  for (Value& v : values)
    if (text::EqualNoCase(v.name, valueName)) return &v;
  return nullptr;
}

const char* HiveName(int index) { return kHives[index]; }

bool Parse(std::string_view bytes, Key hives[4], std::vector<std::string>& errors) {
  for (int i = 0; i < 4; ++i) {
    hives[i].subkeys.clear();
    hives[i].values.clear();
    hives[i].name = kHives[i];
  }
  // Lines, with "\" at a line's end joining it to the next (long hex values).
  std::vector<std::pair<int, std::string>> lines;
  std::string pending;
  int lineNo = 0, pendingLine = 0;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    auto nl = bytes.find('\n', pos);
    std::string_view raw = bytes.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? bytes.size() : nl + 1;
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    std::string_view line = pending.empty() ? raw : text::Trim(raw);
    if (pending.empty()) pendingLine = lineNo;
    // Only hex data is continued; no other line of the format ends in a backslash.
    if (!line.empty() && line.back() == '\\' && pending.size() + line.size() < (1u << 24)) {
      pending += std::string(line.substr(0, line.size() - 1));
      continue;
    }
    lines.emplace_back(pendingLine, pending + std::string(line));
    pending.clear();
  }
  if (!pending.empty()) lines.emplace_back(pendingLine, pending);

  std::size_t first = 0;
  while (first < lines.size() && text::Trim(lines[first].second).empty()) ++first;
  if (first == lines.size() || text::Trim(lines[first].second) != "REGEDIT4") return false;

  Key* current = nullptr;
  for (std::size_t i = first + 1; i < lines.size(); ++i) {
    auto [no, full] = lines[i];
    std::string_view line = text::Trim(full);
    auto fail = [&, no = no](const char* why) { errors.push_back("line " + std::to_string(no) + ": " + why); };
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      current = nullptr;
      if (line.back() != ']') {
        fail("key line without closing bracket");
        continue;
      }
      std::string_view path = line.substr(1, line.size() - 2);
      bool remove = !path.empty() && path[0] == '-';
      if (remove) path.remove_prefix(1);
      auto parts = SplitPath(path);
      int hive = parts.empty() ? -1 : HiveIndex(parts[0]);
      if (hive < 0) {
        fail("unknown root key");
        continue;
      }
      Key* key = &hives[hive];
      for (std::size_t p = 1; p < parts.size() && key; ++p) {
        if (remove && p + 1 == parts.size()) {
          key->Remove(parts[p]);
          key = nullptr;
        } else {
          key = remove ? key->Find(parts[p]) : key->Add(parts[p]);
        }
      }
      if (!remove) current = key;
      continue;
    }
    if (!current) {
      fail("value outside a key");
      continue;
    }
    std::string name;
    std::size_t at = 0;
    if (line[0] == '@') {
      at = 1;
    } else if (!ReadQuoted(line, at, name)) {
      fail("value name is not quoted");
      continue;
    }
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    if (at >= line.size() || line[at] != '=') {
      fail("missing '=' after the value name");
      continue;
    }
    std::string_view data = text::Trim(line.substr(at + 1));
    Value v;
    v.name = name;
    if (data == "-") {
      current->values.erase(std::remove_if(current->values.begin(), current->values.end(),
                                           [&](const Value& x) { return text::EqualNoCase(x.name, name); }),
                            current->values.end());
      continue;
    }
    if (!data.empty() && data[0] == '"') {
      std::size_t q = 0;
      std::string s;
      if (!ReadQuoted(data, q, s) || !text::Trim(data.substr(q)).empty()) {
        fail("bad string value");
        continue;
      }
      v.type = REG_SZ;
      v.data = s + '\0';
    } else if (data.substr(0, 6) == "dword:") {
      std::string_view digits = data.substr(6);
      if (digits.empty() || digits.size() > 8 ||
          !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
        fail("bad dword value");
        continue;
      }
      auto n = static_cast<std::uint32_t>(std::stoul(std::string(digits), nullptr, 16));
      v.type = REG_DWORD;
      v.data = std::string{static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16), static_cast<char>(n >> 24)};
    } else if (data.substr(0, 4) == "hex:" || data.substr(0, 4) == "hex(") {
      std::size_t colon = data.find(':');
      v.type = REG_BINARY;
      if (data[3] == '(') {
        std::string_view t = data.substr(4, colon == std::string_view::npos ? 0 : colon - 4);
        if (t.size() < 2 || t.back() != ')' || t.size() > 9 ||
            !std::all_of(t.begin(), t.end() - 1, [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
          fail("bad hex value type");
          continue;
        }
        v.type = static_cast<DWORD>(std::stoul(std::string(t.substr(0, t.size() - 1)), nullptr, 16));
      }
      if (colon == std::string_view::npos || !ReadHex(data.substr(colon + 1), v.data)) {
        fail("bad hex value");
        continue;
      }
    } else {
      fail("unknown value type");
      continue;
    }
    if (Value* old = current->FindValue(name)) *old = v;
    else current->values.push_back(v);
  }
  return true;
}

std::string Serialize(const Key hives[4]) {
  std::string out = "REGEDIT4\r\n\r\n";
  for (int i = 0; i < 4; ++i) {
    if (!hives[i].values.empty()) WriteKey(hives[i], kHives[i], out);
    else
      for (const auto& sub : hives[i].subkeys) WriteKey(*sub, std::string(kHives[i]) + "\\" + sub->name, out);
  }
  return out;
}

}  // namespace pinforge::reg
