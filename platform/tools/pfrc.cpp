// The resource compiler of the build: packs the resources a resource script names into the
// directory that modules carry in their ".pfrsrc" section (layout in platform/src/resdir.h).
//
// Script lines (a subset of the Windows resource script):
//   LANGUAGE <number>               language of the resources that follow (0x0404, 1033, ...)
//   <name> BITMAP "<file.bmp>"      a bitmap: the file without its 14-byte file header
//   <name> RCDATA "<file>"          raw bytes
//   // comment, or an empty line
// A name is a word (stored upper-case) or a number. Files are found beside the script or in the
// folders given with -I.
// Usage: pfrc OUTPUT SCRIPT [-I DIR]...
#include <cctype>
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
  std::uint16_t language = 0;
  std::string line;
  for (int no = 1; std::getline(in, line); ++no) {
    std::string where = script + ":" + std::to_string(no);
    std::istringstream words(line);
    std::string name, type, file;
    if (!(words >> name) || name.rfind("//", 0) == 0) continue;
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
