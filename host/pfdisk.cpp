// pfdisk: the emulated machine's disks for its removable drives, made, labelled, formatted,
// inserted and ejected from the command line.
#include <pinforge/disks.h>
#include <pinforge/machine.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: pfdisk create NAME [--label L] [--capacity BYTES] [--unformatted]\n"
               "       pfdisk insert NAME DRIVE      (DRIVE as A or A:)\n"
               "       pfdisk eject DRIVE\n"
               "       pfdisk format NAME [--label L]\n"
               "       pfdisk label NAME L\n"
               "       pfdisk list\n");
  return 2;
}

int Done(const std::string& error) {
  if (error.empty()) return 0;
  std::fprintf(stderr, "pfdisk: %s\n", error.c_str());
  return 1;
}

bool DriveLetter(const std::string& arg, char& letter) {
  if (arg.empty() || arg.size() > 3 || !std::isalpha(static_cast<unsigned char>(arg[0]))) return false;
  if (arg.size() >= 2 && arg[1] != ':') return false;
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(arg[0])));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> a(argv + 1, argv + argc);
  if (a.empty()) return Usage();
  using namespace pinforge::disks;
  char letter;
  if (a[0] == "create" && a.size() >= 2) {
    Disk d;
    d.name = a[1];
    for (std::size_t i = 2; i < a.size(); ++i) {
      if (a[i] == "--label" && i + 1 < a.size()) d.label = a[++i];
      else if (a[i] == "--capacity" && i + 1 < a.size()) d.capacity = std::strtoull(a[++i].c_str(), nullptr, 10);
      else if (a[i] == "--unformatted") d.formatted = false;
      else return Usage();
    }
    if (d.capacity == 0) return Done("a disk's capacity is above 0");
    return Done(Create(d));
  }
  if (a[0] == "insert" && a.size() == 3 && DriveLetter(a[2], letter)) return Done(Insert(a[1], letter));
  if (a[0] == "eject" && a.size() == 2 && DriveLetter(a[1], letter)) return Done(Eject(letter));
  if (a[0] == "format" && (a.size() == 2 || (a.size() == 4 && a[2] == "--label")))
    return Done(Format(a[1], a.size() == 4 ? a[3] : ""));
  if (a[0] == "label" && a.size() == 3) return Done(SetLabel(a[1], a[2]));
  if (a[0] == "list" && a.size() == 1) {
    std::vector<std::pair<std::string, char>> inserted;
    for (char l = 'A'; l <= 'Z'; ++l)
      if (auto d = InDrive(l)) inserted.emplace_back(d->name, l);
    for (const Disk& d : List()) {
      std::string where = "-";
      for (auto& [name, l] : inserted)
        if (name == d.name) where = std::string(1, l) + ":";
      std::printf("%s\tlabel=%s\tserial=%08X\tcapacity=%llu\tused=%llu\t%s\tdrive=%s\n", d.name.c_str(), d.label.c_str(),
                  d.serial, static_cast<unsigned long long>(d.capacity), static_cast<unsigned long long>(Used(d.name)),
                  d.formatted ? "formatted" : "unformatted", where.c_str());
    }
    return 0;
  }
  return Usage();
}
