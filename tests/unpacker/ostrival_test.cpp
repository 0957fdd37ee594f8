// Ostrival as the installer runs it: a fresh machine, a start folder, a scripted UI; the files it
// unpacks, the boxes it shows and the form's gauge and label in the transcript.
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>

#include "TestMachine.h"

using namespace testing_support;

namespace {

const char* kRegistry = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\QUOR\\Pinforge\\PF-60]\r\n%s\r\n";

// Runs ostrival with the host folder `start` as its current directory; its exit status.
int Ostrival(const TestMachine& m, const fs::path& start, const std::string& program = PINFORGE_BIN_DIR "/ostrival") {
  std::string cmd = "cd '" + start.string() + "' && PINFORGE_ROOT='" + m.Root().string() + "' PINFORGE_UI='script:" +
                    (m.Dir() / "answers.txt").string() + "' PINFORGE_UI_LOG='" + (m.Dir() / "ui.jsonl").string() + "' '" +
                    program + "' < /dev/null 2>'" + (m.Dir() / "stderr.txt").string() + "'";
  int status = std::system(cmd.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Registry(const TestMachine& m, const std::string& values) {
  char text[512];
  std::snprintf(text, sizeof text, kRegistry, values.c_str());
  WriteFile(m.Root() / "system.reg", text);
}

// An update archive made by Info-ZIP zip from a small tree with a folder entry.
void UpdateArchive(const TestMachine& m, const fs::path& where) {
  fs::path src = m.Dir() / "update";
  WriteFile(src / "readme.txt", "read me");
  WriteFile(src / "Drivers" / "port.sys", "driver");
  WriteFile(src / "NoExtension", "none");
  fs::create_directories(where);
  ASSERT_EQ(std::system(("cd '" + src.string() + "' && zip -qr '" + (where / "FirstRun.upd").string() + "' .").c_str()), 0);
}

// A box as Boxes gives it: without its owner window.
std::string Box(const std::string& caption, const std::string& text, const std::string& buttons, const std::string& icon,
                const std::string& answer) {
  std::string line = BoxLine(caption, text, buttons, icon, "OK", 0, answer);
  line.erase(line.find(",\"owner\":0"), 10);
  return line;
}

std::vector<std::string> Boxes(const std::vector<std::string>& transcript) {
  std::vector<std::string> out;
  for (const auto& l : transcript)
    if (l.find("\"event\":\"messagebox\"") != std::string::npos || l.find("\"event\":\"filedialog\"") != std::string::npos) {
      std::string line = l;
      auto owner = line.find(",\"owner\":");  // the window handles are the process's own
      if (owner != std::string::npos) line.erase(owner, line.find(',', owner + 1) - owner);
      out.push_back(line);
    }
  return out;
}

}  // namespace

TEST(Ostrival, UnpacksTheUpdateIntoTheWorkstationWithTheGauge) {
  for (bool root : {false, true}) {
    TestMachine m;
    Registry(m, "\"path\"=\"C:\\\\Pinforge\"");
    WriteFile(m.C() / "Pinforge" / "Pinforge.exe", "exe");
    WriteFile(m.C() / "Pinforge" / "readme.txt", "an older one");
    fs::path start = root ? m.C() : m.C() / "Setup";
    UpdateArchive(m, start);
    EXPECT_EQ(Ostrival(m, start), 0);
    EXPECT_EQ(ReadFile(m.C() / "Pinforge" / "readme.txt"), "read me");  // overwritten
    EXPECT_EQ(ReadFile(m.C() / "Pinforge" / "Drivers" / "port.sys"), "driver");
    EXPECT_EQ(ReadFile(m.C() / "Pinforge" / "NoExtension"), "none");
    auto t = m.Transcript();
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t.front(), R"({"event":"form","action":"show","caption":"Pinforge Driver Installer"})");
    EXPECT_EQ(t.back(), R"({"event":"form","action":"close","caption":"Pinforge Driver Installer"})");
    auto has = [&](const std::string& s) { return std::count(t.begin(), t.end(), s); };
    // Four entries counting the folder; three files reported, so the gauge stops at three.
    EXPECT_EQ(has(R"({"event":"control","form":"Pinforge Driver Installer","name":"CGauge1","property":"max","value":4})"), 1);
    for (int step = 1; step <= 3; ++step)
      EXPECT_EQ(has(R"({"event":"control","form":"Pinforge Driver Installer","name":"CGauge1","property":"progress","value":)" +
                    std::to_string(step) + "}"), 1) << step;
    EXPECT_EQ(has(R"({"event":"control","form":"Pinforge Driver Installer","name":"CGauge1","property":"progress","value":4})"), 0);
    EXPECT_EQ(has(R"({"event":"control","form":"Pinforge Driver Installer","name":"Label2","property":"caption","value":"readme.txt"})"), 1);
    EXPECT_EQ(has(R"({"event":"control","form":"Pinforge Driver Installer","name":"Label2","property":"caption","value":"Drivers\\port.sys"})"), 1);
    EXPECT_TRUE(Boxes(t).empty());
  }
}

TEST(Ostrival, EachFailureShowsItsBoxesAndUnpacksNothing) {
  struct Case {
    const char* name;
    std::string registry;  // values of the key; "-" for no key at all
    bool exe, archive;
    std::vector<std::string> answers;
    std::vector<std::string> boxes;
    bool unpacked;
  } cases[] = {
      {"no key, cancelled", "-", true, true, {"Cancel"},
       {Box("Message Box", "Can't find current path, find it ?", "OKCANCEL", "none", "Cancel"), Box("ostrival", "Bye.", "OK", "none", "OK")},
       false},
      {"no key, dialog cancelled", "-", true, true, {"OK", "Cancel"},
       {Box("Message Box", "Can't find current path, find it ?", "OKCANCEL", "none", "OK"),
        R"({"event":"filedialog","title":"","filter":"","save":false,"answer":null})", Box("ostrival", "Bye.", "OK", "none", "OK")},
       false},
      {"no key, program chosen", "-", true, true, {"OK", "C:\\Pinforge\\Pinforge.exe"},
       {Box("Message Box", "Can't find current path, find it ?", "OKCANCEL", "none", "OK"),
        R"({"event":"filedialog","title":"","filter":"","save":false,"answer":"C:\\Pinforge\\Pinforge.exe"})"},
       true},
      {"no value", "\"other\"=\"x\"", true, true, {}, {Box("ostrival", "Install Main Program First", "OK", "none", "OK")}, false},
      {"no program", "\"path\"=\"C:\\\\Pinforge\"", false, true, {}, {Box("ostrival", "Install Main Program First", "OK", "none", "OK")}, false},
      {"no archive", "\"path\"=\"C:\\\\Pinforge\"", true, false, {}, {Box("ostrival", "The archive file does not exist.", "OK", "none", "OK")}, false},
  };
  for (const auto& c : cases) {
    TestMachine m(c.answers);
    if (c.registry != "-") Registry(m, c.registry);
    if (c.exe) WriteFile(m.C() / "Pinforge" / "Pinforge.exe", "exe");
    if (c.archive) UpdateArchive(m, m.C() / "Setup");
    fs::create_directories(m.C() / "Setup");
    EXPECT_EQ(Ostrival(m, m.C() / "Setup"), 0) << c.name;
    EXPECT_EQ(Boxes(m.Transcript()), c.boxes) << c.name;
    EXPECT_EQ(fs::exists(m.C() / "Pinforge" / "readme.txt"), c.unpacked) << c.name;
  }
}

TEST(Ostrival, AMissingEngineIsReportedInABox) {
  TestMachine m;
  Registry(m, "\"path\"=\"C:\\\\Pinforge\"");
  WriteFile(m.C() / "Pinforge" / "Pinforge.exe", "exe");
  UpdateArchive(m, m.C() / "Setup");
  // The program alone with the platform, without the engine beside it.
  fs::path alone = m.Dir() / "alone";
  fs::create_directories(alone);
  fs::copy_file(PINFORGE_BIN_DIR "/ostrival", alone / "ostrival");
  fs::copy_file(PINFORGE_BIN_DIR "/libpinforge-platform.so", alone / "libpinforge-platform.so");
  EXPECT_EQ(Ostrival(m, m.C() / "Setup", (alone / "ostrival").string()), 0);
  EXPECT_EQ(Boxes(m.Transcript()),
            (std::vector<std::string>{Box("ostrival", "The decompression library UNZENG.DLL cannot be loaded.", "OK", "none", "OK")}));
  EXPECT_FALSE(fs::exists(m.C() / "Pinforge" / "readme.txt"));
}
