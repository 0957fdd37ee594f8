// Unpacking through the decompression engine: archives of the common tools, the options,
// hostile archives, cancelling, and the steps of Extract around the engine call.
#include <pinforge/machine.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "TestMachine.h"
#include "ZipFixture.h"

using namespace testing_support;
using namespace ZipKeeper;

namespace {


std::string Pattern(std::size_t size, unsigned seed) {
  std::string s(size, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>((x >> 16) % 7 == 0 ? (x >> 8) : 'a' + (x >> 20) % 5);  // compressible, not trivially
  }
  return s;
}

// Much data that every tool gets through quickly: a random block, repeated farther apart than
// deflate looks back, so it is stored nearly as it is.
std::string Repeated(std::size_t size, unsigned seed) {
  std::string block(65536, '\0'), out;
  std::uint32_t x = seed;
  for (auto& c : block) c = static_cast<char>((x = x * 1664525u + 1013904223u) >> 24);
  out.reserve(size);
  while (out.size() < size) out += block;
  out.resize(size);
  return out;
}

// The files of an archive: relative host path -> bytes; folders end in '/'.
using Tree = std::map<std::string, std::string>;

Tree SampleTree() {
  return {{"a.txt", "hello, world\n"},
          {"dir/sub/b.bin", Pattern(200000, 1)},
          {"dir/empty.txt", ""},
          {"dir/emptyfolder/", ""},
          {"big.dat", Repeated(17u << 20, 2)}};  // larger than what is decoded in memory
}

void WriteTree(const fs::path& root, const Tree& tree) {
  for (const auto& [name, data] : tree) {
    if (name.back() == '/') fs::create_directories(root / name);
    else WriteFile(root / name, data);
  }
}

void ExpectTree(const fs::path& root, const Tree& tree, const std::string& label) {
  for (const auto& [name, data] : tree) {
    if (name.back() == '/') EXPECT_TRUE(fs::is_directory(root / name)) << label << " " << name;
    else EXPECT_TRUE(fs::exists(root / name) && ReadFile(root / name) == data) << label << " " << name;
  }
}

int Shell(const std::string& command) { return std::system(command.c_str()); }

// Extracts C:\<archive> into C:\out\<folder> with the options; the component afterwards.
void ExtractInto(TestZipKeeper& zip, const std::string& archive, const std::string& folder, ExtrOpts options,
                 const std::vector<std::string>& specs = {}, const std::string& password = "") {
  ASSERT_TRUE(ForceDirectories("C:\\out\\" + folder));
  zip.Verbose = true;
  zip.SetFileName("C:\\" + archive);
  zip.ExtrBaseDir = "C:\\out\\" + folder;
  zip.ExtrOptions = options;
  zip.Password = password;
  for (const auto& s : specs) zip.FSpecArgs().Add(s);
  zip.Extract();
}

}  // namespace

TEST(Extract, ArchivesOfTheCommonToolsUnpackByteForByte) {
  TestMachine m;
  Unloaded unloaded;
  fs::path src = m.Dir() / "src";
  Tree tree = SampleTree();
  WriteTree(src, tree);
  std::string arch = (m.C() / "").string();
  struct {
    const char* name;
    std::string command;
    std::string password;
  } tools[] = {
      {"python", "cd " + src.string() + " && python3 -c \"import os,zipfile\nz=zipfile.ZipFile('" + arch +
                     "python.zip','w',zipfile.ZIP_DEFLATED)\nfor d,ds,fs in os.walk('.'):\n for n in ds+fs: z.write(os.path.join(d,n))\"",
       ""},
      {"infozip", "cd " + src.string() + " && zip -qr " + arch + "infozip.zip .", ""},
      {"infozip-encrypted", "cd " + src.string() + " && zip -qr -P secret " + arch + "infozip-encrypted.zip .", "secret"},
      {"7z", "cd " + src.string() + " && 7z a -tzip -bd " + arch + "7z.zip . > /dev/null", ""},
      {"bsdtar", "cd " + src.string() + " && bsdtar --format zip -cf " + arch + "bsdtar.zip .", ""},
  };
  for (const auto& t : tools) {
    ASSERT_EQ(Shell(t.command), 0) << t.name;
    TestZipKeeper zip;
    ExtractInto(zip, std::string(t.name) + ".zip", t.name, {ExtrDirNames}, {}, t.password);
    ExpectTree(m.C() / "out" / t.name, tree, t.name);
    EXPECT_EQ(zip.SuccessCount(), 4) << t.name;
    EXPECT_EQ(zip.ErrCode(), 0) << t.name << ": " << (zip.messages.empty() ? "" : zip.messages.back());
    EXPECT_EQ(Matching(zip.messages, "0 Unzipped file ").size(), 4u) << t.name;
    EXPECT_EQ(Matching(zip.messages, "0 Unzipped file dir\\sub\\b.bin").size(), 1u) << t.name;
  }
}

TEST(Extract, OptionsDecideWhatIsWrittenWhere) {
  auto dos = [](int year) { return static_cast<std::uint32_t>(((year - 1980) << 9 | 6 << 5 | 15) << 16 | (12 << 11)); };
  struct Case {
    const char* name;
    ExtrOpts options;
    std::vector<std::string> specs;
    int success;
    Tree expected;  // file -> contents; "" for absent
  } cases[] = {
      {"none", {ExtrDirNames}, {}, 1, {{"a.txt", "old"}, {"dir/b.txt", "newer"}, {"dir/c.txt", "C"}}},
      {"overwrite", {ExtrDirNames, ExtrOverWrite}, {}, 3, {{"a.txt", "A"}, {"dir/b.txt", "B"}, {"dir/c.txt", "C"}}},
      {"freshen", {ExtrDirNames, ExtrFreshen}, {}, 1, {{"a.txt", "A"}, {"dir/b.txt", "newer"}, {"dir/c.txt", ""}}},
      {"update", {ExtrDirNames, ExtrUpdate}, {}, 2, {{"a.txt", "A"}, {"dir/b.txt", "newer"}, {"dir/c.txt", "C"}}},
      {"both", {ExtrDirNames, ExtrUpdate, ExtrFreshen}, {}, 2, {{"a.txt", "A"}, {"dir/b.txt", "newer"}, {"dir/c.txt", "C"}}},
      {"junked", {ExtrOverWrite}, {}, 3, {{"a.txt", "A"}, {"b.txt", "B"}, {"c.txt", "C"}, {"dir/c.txt", ""}}},
      {"test", {ExtrDirNames, ExtrTest}, {}, 3, {{"a.txt", "old"}, {"dir/b.txt", "newer"}, {"dir/c.txt", ""}}},
      {"specs", {ExtrDirNames, ExtrOverWrite}, {"DIR\\*.TXT"}, 2, {{"a.txt", "old"}, {"dir/b.txt", "B"}, {"dir/c.txt", "C"}}},
      {"wildcard", {ExtrDirNames, ExtrOverWrite}, {"?.txt", "dir/c*"}, 2, {{"a.txt", "A"}, {"dir/b.txt", "newer"}, {"dir/c.txt", "C"}}},
  };
  for (const auto& c : cases) {
    TestMachine m;
    Unloaded unloaded;
    std::string zipBytes = BuildZip({{"a.txt", "A"}, {"dir/b.txt", "B"}, {"dir/c.txt", "C"}});
    // Every entry dated mid-2020; the files there: a.txt older, dir\b.txt newer.
    for (std::size_t at = 0; (at = zipBytes.find("\x21\x5C\x4A\x2B", at)) != std::string::npos; at += 4)
      zipBytes.replace(at, 4, Le32(dos(2020)));
    WriteFile(m.C() / "opts.zip", zipBytes);
    fs::path out = m.C() / "out" / c.name;
    WriteFile(out / "a.txt", "old");
    WriteFile(out / "dir" / "b.txt", "newer");
    for (auto [file, year] : {std::pair{"C:\\out\\%s\\a.txt", 2015}, std::pair{"C:\\out\\%s\\dir\\b.txt", 2025}}) {
      int h = FileOpen(Format(file, AnsiString(c.name)), fmOpenReadWrite);
      ASSERT_EQ(FileSetDate(h, static_cast<int>(dos(year))), 0);
      FileClose(h);
    }
    TestZipKeeper zip;
    ExtractInto(zip, "opts.zip", c.name, c.options, c.specs);
    EXPECT_EQ(zip.SuccessCount(), c.success) << c.name;
    EXPECT_EQ(zip.ErrCode(), 0) << c.name;
    EXPECT_EQ(zip.FSpecArgs().Count(), 0) << c.name;  // cleared after every extraction
    for (const auto& [file, data] : c.expected) {
      if (data.empty()) EXPECT_FALSE(fs::exists(out / file)) << c.name << " " << file;
      else EXPECT_EQ(ReadFile(out / file), data) << c.name << " " << file;
    }
  }
}

TEST(Extract, HostileArchivesAreRefusedEntryByEntry) {
  auto patch = [](std::string zip, std::size_t nth, std::size_t offset, const std::string& bytes, std::uint32_t signature) {
    std::size_t at = 0;
    for (std::size_t i = 0; i <= nth; ++i) at = zip.find(Le32(signature), i ? at + 4 : 0);
    zip.replace(at + offset, bytes.size(), bytes);
    return zip;
  };
  const std::uint32_t kCentral = 0x02014b50, kLocal = 0x04034b50;
  std::string bad = BuildZip({{"bad.txt", "original data"}, {"ok.txt", "fine"}});
  bad[30 + 7] ^= 0x55;  // a byte of bad.txt's data
  std::string overlap = BuildZip({{"one.txt", "shared"}, {"ok.txt", "fine"}});
  {
    // A third central record pointing at one.txt's data under another name.
    std::size_t central = overlap.find(Le32(kCentral));
    std::size_t end = overlap.find(Le32(0x06054b50));
    std::string record = overlap.substr(central, overlap.find(Le32(kCentral), central + 4) - central);
    record.replace(46, 7, "two.txt");
    overlap.insert(end, record);
    end += record.size();
    overlap.replace(end + 8, 4, Le16(3) + Le16(3));
    overlap.replace(end + 12, 4, Le32(static_cast<std::uint32_t>(end - central)));
  }
  struct Case {
    const char* name;
    std::string archive;
    std::vector<std::string> refused;  // message parts, one per refused entry
    int code;
  } cases[] = {
      {"names",
       BuildZip({{"../up.txt", "x"}, {"..\\up2.txt", "x"}, {"/abs.txt", "x"}, {"C:drive.txt", "x"}, {"\\\\server\\share\\x.txt", "x"},
                 {"a/../../deep.txt", "x"}, {"ok.txt", "fine"}}),
       {"Refused entry ..\\up.txt", "Refused entry ..\\up2.txt", "Refused entry \\abs.txt", "Refused entry C:drive.txt",
        "Refused entry \\\\server\\share\\x.txt", "Refused entry a\\..\\..\\deep.txt"},
       0x11},
      {"overlap", overlap, {"Refused entry two.txt: its data overlap"}, 0x12},
      {"crc", bad, {"CRC error in bad.txt"}, 0x15},
      {"method", patch(patch(BuildZip({{"m.txt", "x"}, {"ok.txt", "fine"}}), 0, 10, Le16(14), kCentral), 0, 8, Le16(14), kLocal),
       {"Cannot unpack m.txt: compression method 14 is not supported"}, 0x13},
      {"truncated", patch(BuildZip({{"t.txt", "x"}, {"ok.txt", "fine"}}), 0, 20, Le32(1u << 30), kCentral),
       {"Cannot unpack t.txt: its data run past the end"}, 0x16},
  };
  for (const auto& c : cases) {
    TestMachine m;
    Unloaded unloaded;
    WriteFile(m.C() / "jail" / "hostile.zip", c.archive);
    ASSERT_TRUE(ForceDirectories("C:\\jail\\out"));
    TestZipKeeper zip;
    zip.Verbose = true;
    zip.SetFileName("C:\\jail\\hostile.zip");
    zip.ExtrBaseDir = "C:\\jail\\out";
    zip.ExtrOptions = {ExtrDirNames};
    zip.Extract();
    for (const auto& r : c.refused)
      EXPECT_EQ(Matching(zip.messages, std::to_string(c.code) + " " + r).size(), 1u) << c.name << ": " << r;
    EXPECT_EQ(ReadFile(m.C() / "jail" / "out" / "ok.txt"), "fine") << c.name;  // the rest goes on
    EXPECT_EQ(zip.SuccessCount(), c.name == std::string("overlap") ? 2 : 1) << c.name;
    // Nothing written outside the folder, nothing of a refused or failed entry inside it.
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(m.C()))
      if (e.is_regular_file()) found.push_back(fs::relative(e.path(), m.C()).string());
    std::sort(found.begin(), found.end());
    std::vector<std::string> expected = {"jail/hostile.zip", "jail/out/ok.txt"};
    if (c.name == std::string("overlap")) expected.push_back("jail/out/one.txt");
    EXPECT_EQ(found, expected) << c.name;
  }
}

TEST(Extract, AWrongPasswordOrACancelLeavesNoFileBehind) {
  TestMachine m;
  Unloaded unloaded;
  fs::path src = m.Dir() / "src";
  WriteTree(src, {{"small.txt", "secret text"}, {"big.dat", Repeated(17u << 20, 3)}});
  ASSERT_EQ(Shell("cd " + src.string() + " && zip -qr -P right " + (m.C() / "enc.zip").string() + " ."), 0);
  TestZipKeeper wrong;
  ExtractInto(wrong, "enc.zip", "wrong", {ExtrDirNames}, {}, "wrong");
  EXPECT_EQ(wrong.SuccessCount(), 0);
  EXPECT_EQ(Matching(wrong.messages, "20 Wrong password for ").size(), 2u);
  EXPECT_TRUE(fs::is_empty(m.C() / "out" / "wrong"));

  // Cancelled in the middle of the large file, which is written as it is decoded.
  TestZipKeeper cancel;
  cancel.OnProgress = [&](TObject*, ProgressType type, const AnsiString&, int) {
    if (type == ptItemBytes) cancel.Cancel = true;
  };
  ExtractInto(cancel, "enc.zip", "cancel", {ExtrDirNames}, {"big.dat"}, "right");
  EXPECT_EQ(cancel.SuccessCount(), 0);
  EXPECT_EQ(Matching(cancel.messages, "24 Cancelled while unpacking big.dat").size(), 1u);
  EXPECT_TRUE(fs::is_empty(m.C() / "out" / "cancel"));
  EXPECT_FALSE(cancel.Cancel);  // cleared when Extract ends
}

TEST(Extract, TheRecordFollowsTheEngineVersionAndTheProperties) {
  TestMachine m;
  Unloaded unloaded;
  WriteFile(m.C() / "a.zip", BuildZip({{"x.txt", "x"}}));
  for (const char* variant : {"v151", "v152"}) {
    TestZipKeeper zip;
    zip.SetDLLDirectory(EngineDir(variant));
    zip.SetFileName("C:\\a.zip");
    zip.ExtrOptions = {ExtrFreshen, ExtrUpdate, ExtrDirNames};
    zip.Trace = true;
    zip.CodePage = cpOEM;
    zip.FSpecArgs().Add("*.txt");
    zip.FSpecArgs().Add("dir\\b?.bin");
    zip.ExtrBaseDir = "C:\\no such folder";
    std::string before = GetCurrentDir();
    zip.Load_Unz_Eng();  // kept loaded, so what the engine saw can be read afterwards
    zip.Extract();
    EXPECT_EQ(GetCurrentDir(), before) << variant;  // a missing folder changes nothing, silently
    EXPECT_EQ(zip.FSpecArgs().Count(), 0);
    EXPECT_TRUE(TZipKeeper::UnzEngineLoaded());  // the caller's load stays
    HMODULE engine = GetModuleHandleA("UNZENG.DLL");
    auto record = reinterpret_cast<int (*)(char*, int)>(GetProcAddress(engine, "TestEngineRecord"));
    auto texts = reinterpret_cast<int (*)(char*, int)>(GetProcAddress(engine, "TestEngineTexts"));
    ASSERT_TRUE(record && texts);
    std::string r(static_cast<std::size_t>(record(nullptr, 0)), '\0');
    record(r.data(), static_cast<int>(r.size()));
    std::string t(static_cast<std::size_t>(texts(nullptr, 0)), '\0');
    texts(t.data(), static_cast<int>(t.size()));
    auto at = [&](std::size_t offset) {
      std::uint32_t v;
      std::memcpy(&v, r.data() + offset, 4);
      return v;
    };
    bool older = std::string(variant) == "v151";
    EXPECT_EQ(r.size(), older ? 16464u : 148u) << variant;
    EXPECT_EQ(at(older ? 72 : 144), 7u) << variant;
    EXPECT_EQ(at(20) & 0xFFFF, 2u);  // cpOEM
    EXPECT_EQ(at(44), 1u);           // verbose because of Trace
    EXPECT_EQ(at(48), 1u);           // Update
    EXPECT_EQ(at(52), 0u);           // Freshen yields to Update
    EXPECT_EQ(at(56), 1u);           // DirNames
    EXPECT_EQ(at(64), 2u);           // SpecCount
    EXPECT_EQ(t, "C:\\a.zip\n*.txt\ndir\\b?.bin") << variant;
    TZipKeeper::Unload_Unz_Eng();
  }

  // A library Extract loaded is released again; a missing archive is reported and nothing runs.
  TestZipKeeper zip;
  zip.Unattended = true;
  zip.SetDLLDirectory(EngineDir("v152"));
  zip.SetFileName("C:\\a.zip");
  zip.AddOptions = {AddEncrypt};
  zip.Extract();
  EXPECT_FALSE(TZipKeeper::UnzEngineLoaded());
  EXPECT_EQ(zip.Password, std::string(79, zip.Password.empty() ? '?' : zip.Password[0]));
  EXPECT_EQ(Matching(zip.messages, "0 " + MessageText(10502)).size(), 1u);
  zip.SetFileName("C:\\missing.zip");
  zip.Extract();
  EXPECT_EQ(zip.messages.back(), "0 " + MessageText(10102));
}

TEST(Extract, NamesDatesLeadingDataAndTheProgressOrder) {
  TestMachine m;
  std::vector<ZipEntrySpec> entries = {{"oem\x81.txt", "oem name", 0}, {"dir/plain.txt", "plain", 3}};
  for (bool adjust : {true, false}) WriteFile(m.C() / (adjust ? "adjusted.zip" : "unadjusted.zip"), BuildZip(entries, "", "MZ stub bytes", adjust));
  ASSERT_EQ(Shell("cd '" + m.C().string() + "' && python3 -c \"import zipfile\nz=zipfile.ZipFile('utf8.zip','w')\nz.writestr('Grüße.txt','hi')\""), 0);
  for (const char* archive : {"adjusted.zip", "unadjusted.zip"}) {
    TestZipKeeper zip;
    std::vector<std::string> progress;
    zip.OnProgress = [&](TObject*, ProgressType t, const AnsiString& name, int size) {
      progress.push_back(std::to_string(t) + (name.empty() ? "" : " " + name) + " " + std::to_string(size));
    };
    ExtractInto(zip, archive, archive, {ExtrDirNames});
    EXPECT_EQ(zip.SuccessCount(), 2) << archive;
    fs::path out = m.C() / "out" / archive;
    EXPECT_EQ(ReadFile(out / "oem\xC3\xBC.txt"), "oem name") << archive;  // OEM 0x81 is ü
    EXPECT_EQ(ReadFile(out / "dir" / "plain.txt"), "plain") << archive;
    EXPECT_EQ(FileAge("C:\\out\\" + std::string(archive) + "\\dir\\plain.txt"), 0x2B4A5C21);  // the entry's DOS date
    EXPECT_EQ(progress, (std::vector<std::string>{"3 2", "4 13", "0 oem\xFC.txt 8", "1 8", "0 dir\\plain.txt 5", "1 5", "2 0"}))
        << archive;
  }
  TestZipKeeper utf8;
  ExtractInto(utf8, "utf8.zip", "utf8", {ExtrDirNames});
  EXPECT_EQ(ReadFile(m.C() / "out" / "utf8" / "Gr\xC3\xBC\xC3\x9F" "e.txt"), "hi");  // bit 11: UTF-8, not OEM
}
