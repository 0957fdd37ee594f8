// The resource compiler of the build: packs the resources a resource script names into the
// directory that modules carry in their ".pfrsrc" section (layout in platform/src/resdir.h).
//
// Script lines (a subset of the Windows resource script):
//   LANGUAGE <number>               language of the resources that follow (0x0404, 1033, ...)
//   <name> BITMAP "<file.bmp>"      a bitmap: the file without its 14-byte file header
//   <name> RCDATA "<file>"          raw bytes
//   STRINGTABLE                     strings, until END: lines <id>, "<text>" (UTF-8, with the
//   BEGIN                           escapes \n \r \t \\ \" and "" for a quote), kept the
//   ...                             platform's way: sixteen to a block of UTF-16 strings
//   END
//   // comment, or an empty line
// A name is a word (stored upper-case) or a number. Files are found beside the script or in the
// folders given with -I.
// Usage: pfrc OUTPUT SCRIPT [-I DIR]...
#include <array>
#include <cctype>
#include <map>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Resource {
  std::uint32_t typeId;
  std::uint32_t nameId;
  std::string name;
  std::uint16_t language;
  std::string data;
};

[[noreturn]] void Die(const std::string& where, const std::string& why) {
  std::fprintf(stderr, "pfrc: %s: %s\n", where.c_str(), why.c_str());
  std::exit(1);
}

bool ReadFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  out = s.str();
  return true;
}

void Put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i));
}

// The text of a quoted string-table entry, decoded from UTF-8 to UTF-16.
std::u16string Unquote(const std::string& where, const std::string& quoted) {
  std::string bytes;
  for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
    char c = quoted[i];
    if (c == '"' && quoted[i + 1] == '"') {
      bytes += '"';
      ++i;
    } else if (c == '\\') {
      char e = quoted[++i];
      bytes += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
    } else {
      bytes += c;
    }
  }
  std::u16string out;
  for (std::size_t i = 0; i < bytes.size();) {
    auto c = static_cast<unsigned char>(bytes[i]);
    int extra = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (extra < 0 || i + extra >= bytes.size()) Die(where, "text is not UTF-8");
    char32_t cp = extra ? (c & (0x3F >> extra)) : c;
    for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: pfrc OUTPUT SCRIPT [-I DIR]...\n");
    return 2;
  }
  std::string output = argv[1], script = argv[2];
  std::vector<std::string> dirs;
  auto slash = script.find_last_of('/');
  dirs.push_back(slash == std::string::npos ? "." : script.substr(0, slash));
  for (int i = 3; i + 1 < argc; i += 2)
    if (std::strcmp(argv[i], "-I") == 0) dirs.push_back(argv[i + 1]);

  std::ifstream in(script);
  if (!in) Die(script, "cannot be read");
  std::vector<Resource> resources;
  std::map<std::pair<std::uint16_t, std::uint32_t>, std::array<std::u16string, 16>> strings;
  std::uint16_t language = 0;
  bool inTable = false;
  std::string line;
  for (int no = 1; std::getline(in, line); ++no) {
    std::string where = script + ":" + std::to_string(no);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string name, type, file;
    if (!(words >> name) || name.rfind("//", 0) == 0) continue;
    if (name == "STRINGTABLE") {
      inTable = true;
      continue;
    }
    if (inTable) {
      if (name == "BEGIN" || name == "{") continue;
      if (name == "END" || name == "}") {
        inTable = false;
        continue;
      }
      auto quote = line.find('"');
      auto last = line.find_last_of('"');
      if (quote == std::string::npos || last == quote) Die(where, "expected: ID, \"TEXT\"");
      std::string idText = line.substr(0, quote);
      auto comma = idText.find(',');
      if (comma != std::string::npos) idText.erase(comma);
      unsigned long id = std::stoul(idText, nullptr, 0);
      if (id > 0xFFFF) Die(where, "string id above 65535");
      auto& block = strings[{language, static_cast<std::uint32_t>(id >> 4) + 1}];
      if (!block[id & 15].empty()) Die(where, "string " + std::to_string(id) + " given twice");
      block[id & 15] = Unquote(where, line.substr(quote, last - quote + 1));
      if (block[id & 15].empty()) Die(where, "empty string " + std::to_string(id));
      continue;
    }
    if (name == "LANGUAGE") {
      std::string value;
      if (!(words >> value)) Die(where, "LANGUAGE without a number");
      language = static_cast<std::uint16_t>(std::stoul(value, nullptr, 0));
      continue;
    }
    if (!(words >> type >> file) || file.size() < 2 || file.front() != '"' || file.back() != '"')
      Die(where, "expected: NAME BITMAP|RCDATA \"FILE\"");
    file = file.substr(1, file.size() - 2);
    Resource r;
    r.language = language;
    if (type == "BITMAP") r.typeId = 2;
    else if (type == "RCDATA") r.typeId = 10;
    else Die(where, "unknown resource type " + type);
    bool numeric = std::isdigit(static_cast<unsigned char>(name[0]));
    r.nameId = numeric ? static_cast<std::uint32_t>(std::stoul(name)) : 0;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    r.name = numeric ? "" : name;
    bool found = false;
    for (const auto& d : dirs) found = found || ReadFile(file[0] == '/' ? file : d + "/" + file, r.data);
    if (!found) Die(where, "cannot read " + file);
    if (r.typeId == 2) {
      if (r.data.size() < 54 || r.data[0] != 'B' || r.data[1] != 'M') Die(where, file + " is not a .bmp file");
      r.data.erase(0, 14);
    }
    resources.push_back(std::move(r));
  }

  if (inTable) Die(script, "STRINGTABLE without END");
  for (const auto& [key, block] : strings) {
    Resource r{6, key.second, "", key.first, ""};
    for (const std::u16string& text : block) {
      r.data += static_cast<char>(text.size());
      r.data += static_cast<char>(text.size() >> 8);
      for (char16_t u : text) {
        r.data += static_cast<char>(u);
        r.data += static_cast<char>(u >> 8);
      }
    }
    resources.push_back(std::move(r));
  }

  // Directory, then the names, then the data, each data block 4-aligned.
  std::string names, blob;
  std::vector<std::uint32_t> nameOffsets;
  std::size_t head = 12 + resources.size() * 28;
  for (const auto& r : resources) {
    nameOffsets.push_back(r.name.empty() ? 0 : static_cast<std::uint32_t>(head + names.size()));
    if (!r.name.empty()) names += r.name + '\0';
  }
  std::size_t dataStart = (head + names.size() + 3) & ~std::size_t(3);
  blob.append("PFRSRC01", 8);
  Put32(blob, static_cast<std::uint32_t>(resources.size()));
  std::size_t at = dataStart;
  std::vector<std::uint32_t> dataOffsets;
  for (const auto& r : resources) {
    dataOffsets.push_back(static_cast<std::uint32_t>(at));
    at = (at + r.data.size() + 3) & ~std::size_t(3);
  }
  for (std::size_t i = 0; i < resources.size(); ++i) {
    const Resource& r = resources[i];
    Put32(blob, r.typeId);
    Put32(blob, 0);
    Put32(blob, r.nameId);
    Put32(blob, nameOffsets[i]);
    blob += static_cast<char>(r.language);
    blob += static_cast<char>(r.language >> 8);
    blob.append(2, '\0');
    Put32(blob, dataOffsets[i]);
    Put32(blob, static_cast<std::uint32_t>(r.data.size()));
  }
  blob += names;
  for (std::size_t i = 0; i < resources.size(); ++i) {
    blob.resize(dataOffsets[i], '\0');
    blob += resources[i].data;
  }
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  out << blob;
  return out ? 0 : 1;
}
