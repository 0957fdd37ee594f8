// A fresh emulated machine in a temporary folder for one test, with a scripted UI and a transcript.
#pragma once

#include <gtest/gtest.h>

#include <pinforge/machine.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

class TestMachine {
 public:
  // Answers for the script backend, one per question, in order.
  explicit TestMachine(const std::vector<std::string>& answers = {}) {
    char tmpl[] = "/tmp/pinforge-test-XXXXXX";
    dir_ = mkdtemp(tmpl);
    root_ = dir_ / "machine";
    std::ofstream script(dir_ / "answers.txt");
    for (const auto& a : answers) script << a << "\n";
    setenv("PINFORGE_ROOT", root_.c_str(), 1);
    setenv("PINFORGE_UI", ("script:" + (dir_ / "answers.txt").string()).c_str(), 1);
    setenv("PINFORGE_UI_LOG", (dir_ / "ui.jsonl").c_str(), 1);
    pinforge::machine::Reload();
    pinforge::machine::Root();  // created now, with its defaults
  }
  ~TestMachine() {
    pinforge::machine::Reload();
    std::error_code ec;
    fs::permissions(dir_, fs::perms::all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }
  TestMachine(const TestMachine&) = delete;
  TestMachine& operator=(const TestMachine&) = delete;

  const fs::path& Dir() const { return dir_; }
  const fs::path& Root() const { return root_; }
  fs::path C() const { return root_ / "c"; }
  std::vector<std::string> Transcript() const { return Lines(ReadFile(dir_ / "ui.jsonl")); }
  // Rewrites machine.ini and reloads the machine.
  void Configure(const std::string& ini) {
    WriteFile(root_ / "machine.ini", ini);
    pinforge::machine::Reload();
  }

 private:
  fs::path dir_, root_;
};

// The JSON line the transcript holds for a box.
inline std::string BoxLine(const std::string& caption, const std::string& text, const std::string& buttons,
                           const std::string& icon, const std::string& def, unsigned owner, const std::string& answer) {
  auto q = [](const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
      if (c == '\n') out += "\\n";
      else if (c == '"' || c == '\\') out += std::string("\\") + c;
      else out += c;
    }
    return out + "\"";
  };
  return "{\"event\":\"messagebox\",\"caption\":" + q(caption) + ",\"text\":" + q(text) + ",\"buttons\":\"" + buttons +
         "\",\"icon\":\"" + icon + "\",\"default\":\"" + def + "\",\"owner\":" + std::to_string(owner) +
         ",\"answer\":\"" + answer + "\"}";
}

}  // namespace testing_support
