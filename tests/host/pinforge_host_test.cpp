// pinforge-host as the workstation runs it: a fresh machine, a scripted UI, files and transcript.
#include <sys/wait.h>

#include <cstdio>

#include "TestMachine.h"

using namespace testing_support;

namespace {

struct HostRun {
  int status;
  std::string out;
};

HostRun Host(const TestMachine& m, const std::string& args, const std::string& program = PINFORGE_BIN_DIR "/pinforge-host") {
  std::string cmd = "cd '" + m.Dir().string() + "' && PINFORGE_ROOT='" + m.Root().string() + "' PINFORGE_UI='script:" +
                    (m.Dir() / "answers.txt").string() + "' PINFORGE_UI_LOG='" + (m.Dir() / "ui.jsonl").string() + "' '" +
                    program + "' " + args + " 2>'" + (m.Dir() / "stderr.txt").string() + "'";
  FILE* p = popen(cmd.c_str(), "r");
  HostRun r{-1, ""};
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace

TEST(PinforgeHost, SyncAndPackageOnAFreshMachine) {
  TestMachine m;
  WriteFile(m.C() / "WINDOWS" / "QuorHistory.ini",
            "[System]\r\nPath=C:\\Pinforge\r\n[SelectDlg]\r\nIcFileName=W78E52.ini\r\n");
  WriteFile(m.C() / "Pinforge" / "ini" / "w78e52.ini",
            "[ICInformation]\r\nBRAND=Winbond\r\nNAME=W78E52\r\n[MPU48_51Configuration]\r\nLockBit1Enabled=2\r\n"
            "EncyptionTable=16\r\n");
  HostRun sync = Host(m, "ternlock sync");
  EXPECT_EQ(sync.status, 0);
  EXPECT_EQ(sync.out, "result=1\n");
  EXPECT_EQ(ReadFile(m.C() / "Pinforge" / "MPU51_Table.bin"), std::string(16, '\xFF'));
  EXPECT_EQ(ReadFile(m.C() / "WINDOWS" / "QuorHistory.ini"),
            "[System]\r\nPath=C:\\Pinforge\r\n[SelectDlg]\r\nIcFileName=W78E52.ini\r\n\r\n[MPU48_51Configuration]\r\n"
            "LockBit1Enabled=2\r\nLockBit2Enabled=0\r\nLockBit3Enabled=0\r\nEnabledEncyption=0\r\nConfigWord1=FFFF\r\n"
            "ConfigWord2=FFFF\r\nWritedBy=Winbond_W78E52\r\n");

  HostRun pkg = Host(m, "ternlock package --out C:\\package.bin");
  EXPECT_EQ(pkg.status, 0);
  EXPECT_EQ(pkg.out, "result=1 size=124\n");
  EXPECT_EQ(ReadFile(m.C() / "package.bin"),
            std::string("0018\x01\x00\x00\x00\xFF\xFF\xFF\xFF", 12) + std::string(16, '\xFF') + std::string(96, '\0'));
  HostRun dump = Host(m, "ternlock package");
  EXPECT_EQ(dump.out.substr(0, 96),
            "result=1 size=124\n00000000  30 30 31 38 01 00 00 00 FF FF FF FF FF FF FF FF  |0018............|\n");
  EXPECT_TRUE(m.Transcript().empty());
}

TEST(PinforgeHost, FailuresAreReportedAsTheWorkstationSeesThem) {
  TestMachine m;
  HostRun sync = Host(m, "ternlock sync");  // no history, no description file
  EXPECT_EQ(sync.status, 0);
  EXPECT_EQ(sync.out, "result=-1\n");
  EXPECT_EQ(m.Transcript(), (std::vector<std::string>{BoxLine("ReadConfigBitsAndPacking()", "Not Found File[*.ini].", "OK",
                                                              "none", "OK", 0, "OK")}));
  HostRun pkg = Host(m, "ternlock package");
  EXPECT_EQ(pkg.out, "result=0 size=0\n");
  EXPECT_EQ(Host(m, "ternlock").status, 2);
  EXPECT_EQ(Host(m, "ternlock package --out").status, 2);
  EXPECT_EQ(Host(m, "nothing").status, 2);

  // A program folder without the library: the library cannot be loaded.
  fs::create_directories(m.Dir() / "bin");
  for (const char* f : {"pinforge-host", "libpinforge-platform.so"})
    fs::copy_file(fs::path(PINFORGE_BIN_DIR) / f, m.Dir() / "bin" / f);
  HostRun missing = Host(m, "ternlock sync", (m.Dir() / "bin" / "pinforge-host").string());
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(ReadFile(m.Dir() / "stderr.txt").find("cannot load Ternlock.dll"), std::string::npos);
}

TEST(PinforgeHost, QuillportInstallRegistersOnceAndReportsItsBox) {
  TestMachine m;
  HostRun first = Host(m, "quillport install");
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(first.out, "result=1\n");
  EXPECT_NE(ReadFile(m.Root() / "system.reg").find("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\rarEV]"),
            std::string::npos);
  EXPECT_EQ(Host(m, "quillport install").out, "result=2\n");
  EXPECT_EQ(m.Transcript(), (std::vector<std::string>{BoxLine("", "Install I/O driver success.", "OK", "none", "OK", 0, "OK")}));
  EXPECT_EQ(Host(m, "quillport").status, 2);
}

TEST(PinforgeHost, DuskplateExportWritesThePictureOrOneFrame) {
  TestMachine m;
  HostRun raw = Host(m, "duskplate export C:\\raw.bin --raw");
  EXPECT_EQ(raw.status, 0);
  EXPECT_EQ(raw.out, "size=165384\n");
  std::string resource = ReadFile(m.C() / "raw.bin");
  ASSERT_EQ(resource.size(), 165384u);
  EXPECT_EQ(Host(m, "duskplate export " + (m.Dir() / "whole.bmp").string()).status, 0);  // a host path
  std::string whole = ReadFile(m.Dir() / "whole.bmp");
  EXPECT_EQ(whole.substr(14), resource);
  EXPECT_EQ(whole.substr(0, 2), "BM");
  EXPECT_EQ(Host(m, "duskplate export C:\\frame1.bmp --frame 1").status, 0);
  std::string frame = ReadFile(m.C() / "frame1.bmp");
  ASSERT_EQ(frame.size(), 14u + 40 + 1024 + 212 * 260);
  EXPECT_EQ(frame.substr(14 + 40, 1024), resource.substr(40, 1024));  // the same colour table
  // Row 100 from the top: frame 1's pixels are the picture's columns 210 to 419.
  std::size_t row = 259 - 100;
  EXPECT_EQ(frame.substr(14 + 40 + 1024 + row * 212, 210), resource.substr(40 + 1024 + row * 632 + 210, 210));
  EXPECT_EQ(Host(m, "duskplate export C:\\f.bmp --frame 3").status, 2);
  EXPECT_EQ(Host(m, "duskplate export C:\\f.bmp --frame 1 --raw").status, 2);
  EXPECT_EQ(Host(m, "duskplate export").status, 2);
}

TEST(Zipkeeper, ListPrintsTheDirectoryAsItsContractSays) {
  TestMachine m;
  // One stored entry "a\x81/b.txt" (host 0), comment "c\tx\x81\\", behind a 4-byte stub with
  // offsets that ignore it: a warning, exit 0.
  std::string name = "a\x81/b.txt", data = "hi";
  auto le16 = [](unsigned v) { return std::string{char(v), char(v >> 8)}; };
  auto le32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  std::string common = le16(10) + le16(0) + le16(0) + le32(0x21) + le32(0x12345678) + le32(2) + le32(2) + le16(8);
  std::string local = le32(0x04034b50) + common + le16(0) + name + data;
  std::string central = le32(0x02014b50) + std::string{char(20), char(0)} + common + le16(0) + le16(0) + le16(0) + le16(1) +
                        le32(0x20) + le32(0) + name;
  std::string comment = "c\tx\x81\\";  // OEM: converted like the names
  std::string end = le32(0x06054b50) + le16(0) + le16(0) + le16(1) + le16(1) + le32(static_cast<std::uint32_t>(central.size())) +
                    le32(static_cast<std::uint32_t>(local.size())) + le16(static_cast<unsigned>(comment.size())) + comment;
  WriteFile(m.C() / "t.zip", "STUB" + local + central + end);
  HostRun r = Host(m, "list C:\\T.ZIP --unattended", PINFORGE_BIN_DIR "/zipkeeper");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "Count=1\nZipComment=c\\tx\\xFC\\\\\nDataStartOffset=4\nCentralOffset=" + std::to_string(4 + local.size()) +
                "\nEndRecordOffset=" + std::to_string(4 + local.size() + central.size()) + "\nArchiveSize=" +
                std::to_string(4 + local.size() + central.size() + end.size()) + "\nArchiveFileSize=" +
                std::to_string(4 + local.size() + central.size() + end.size()) +
                "\nOffsetMismatch=1\nIsSpanned=0\nLastDisk=0\nErrCode=10203\nentries\n"
                "20\t0\t10\t0\t0\t33\t305419896\t2\t2\t8\t0\t0\t0\t1\t32\t0\ta\\xFC\\\\b.txt\t\n");
  EXPECT_NE(ReadFile(m.Dir() / "stderr.txt").find("message 0 Warning: the central directory"), std::string::npos);
  EXPECT_TRUE(m.Transcript().empty());  // unattended: no box

  HostRun none = Host(m, "list C:\\t.zip --unattended --codepage none", PINFORGE_BIN_DIR "/zipkeeper");
  EXPECT_NE(none.out.find("\ta\\x81\\\\b.txt\t"), std::string::npos);
  WriteFile(m.C() / "bad.zip", std::string(100, 'x'));
  HostRun bad = Host(m, "list " + (m.C() / "bad.zip").string(), PINFORGE_BIN_DIR "/zipkeeper");  // a host path
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("ErrCode=11036\n"), std::string::npos);
  EXPECT_EQ(m.Transcript().size(), 1u);  // attended: the error's box
  EXPECT_EQ(Host(m, "list", PINFORGE_BIN_DIR "/zipkeeper").status, 2);
  EXPECT_EQ(Host(m, "list C:\\t.zip --codepage latin", PINFORGE_BIN_DIR "/zipkeeper").status, 2);
}

TEST(Zipkeeper, ExtractUnpacksReportsAndCountsAsItsContractSays) {
  TestMachine m;
  fs::path src = m.Dir() / "src";
  WriteFile(src / "a.txt", "alpha");
  WriteFile(src / "dir" / "b.txt", "beta");
  ASSERT_EQ(std::system(("cd '" + src.string() + "' && zip -qr '" + (m.C() / "t.zip").string() + "' .").c_str()), 0);
  const std::string program = PINFORGE_BIN_DIR "/zipkeeper";
  // A host folder that does not exist yet, with folder names, one file spec given as typed.
  fs::path out = m.Dir() / "out";
  HostRun r = Host(m, "extract C:\\t.zip -d '" + out.string() + "' --dirnames DIR/*", program);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "SuccessCount=1\n");
  EXPECT_EQ(ReadFile(out / "dir" / "b.txt"), "beta");
  EXPECT_FALSE(fs::exists(out / "a.txt"));
  EXPECT_EQ(ReadFile(m.Dir() / "stderr.txt"), "message 0 Unzipped file dir\\\\b.txt\n");
  // Again without --overwrite: kept and reported; with --test: checked, nothing written.
  r = Host(m, "extract C:\\t.zip -d '" + out.string() + "' --dirnames", program);
  EXPECT_EQ(r.out, "SuccessCount=1\n");
  EXPECT_NE(ReadFile(m.Dir() / "stderr.txt").find("message 0 Kept the existing file dir\\\\b.txt\n"), std::string::npos);
  r = Host(m, "extract C:\\t.zip -d C:\\tested --test", program);
  EXPECT_EQ(r.out, "SuccessCount=2\n");
  EXPECT_TRUE(fs::is_empty(m.C() / "tested"));
  // A failure sets ErrCode: exit 1.
  r = Host(m, "extract C:\\missing.zip --unattended", program);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "SuccessCount=0\n");
  EXPECT_EQ(Host(m, "extract C:\\t.zip --bogus", program).status, 2);
}
