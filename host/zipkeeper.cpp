// zipkeeper: the zip component from the command line.
//   zipkeeper list ARCHIVE [--unattended] [--codepage auto|none|oem]
// lists the archive: header lines key=value, a line "entries", then one tab-separated line per
// entry; every OnMessage goes to stderr as "message <ErrCode> <text>".
//   zipkeeper extract ARCHIVE [-d FOLDER] [--dirnames] [--overwrite] [--freshen] [--update]
//             [--test] [--password P] [--unattended] [--codepage auto|none|oem] [SPEC...]
// unpacks it with the decompression engine (into FOLDER, made when missing); messages as for
// list, a progress bar on a terminal, "SuccessCount=N" on stdout last.
#include <pinforge/machine.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ZipKeeper.h"

namespace {

using ZipKeeper::TZipKeeper;

// A backslash as "\\", a tab as "\t", other bytes below 0x20 or above 0x7E as "\xHH".
char* PutEscaped(char* p, const std::string& s);

std::string Escape(const std::string& s) {
  std::string out(4 * s.size(), '\0');
  out.resize(static_cast<std::size_t>(PutEscaped(out.data(), s) - out.data()));
  return out;
}

// The same, written at p (room for four bytes a byte); returns the end.
char* PutEscaped(char* p, const std::string& s) {
  static const char* hex = "0123456789ABCDEF";
  for (unsigned char c : s) {
    if (c == '\\' || c == '\t') {
      *p++ = '\\';
      *p++ = c == '\t' ? 't' : '\\';
    } else if (c < 0x20 || c > 0x7E) {
      *p++ = '\\';
      *p++ = 'x';
      *p++ = hex[c >> 4];
      *p++ = hex[c & 15];
    } else {
      *p++ = static_cast<char>(c);
    }
  }
  return p;
}

// v in decimal at p (at most ten digits); returns the end.
char* PutNumber(char* p, std::uint32_t v) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  while (n) *p++ = digits[--n];
  return p;
}

int Usage() {
  std::fprintf(stderr,
               "usage: zipkeeper list ARCHIVE [--unattended] [--codepage auto|none|oem]\n"
               "       zipkeeper extract ARCHIVE [-d FOLDER] [--dirnames] [--overwrite] [--freshen] [--update]\n"
               "                 [--test] [--password P] [--unattended] [--codepage auto|none|oem] [SPEC...]\n");
  return 2;
}

// A Windows path starts with a drive ("C:") or a server ("\\\\"); anything else is a host path,
// which goes through the machine's mapping.
std::string WindowsPath(const std::string& path) {
  bool windows = (path.size() >= 2 && path[1] == ':') || path.rfind("\\\\", 0) == 0;
  return windows ? path : pinforge::machine::HostToWindows(path);
}

void PrintMessage(int errCode, const AnsiString& text) {
  std::fprintf(stderr, "message %d %s\n", errCode, Escape(text).c_str());
}

struct ExtractArgs {
  std::string archive, folder, password;
  bool dirNames = false, overwrite = false, freshen = false, update = false, test = false, unattended = false, trace = false;
  ZipKeeper::CPOpts codePage = ZipKeeper::cpAUTO;
  std::vector<std::string> specs;
};

// A bar on the terminal that moves with the bytes the engine reports.
class ProgressBar {
 public:
  ProgressBar() : on_(isatty(2)) {}
  ~ProgressBar() {
    if (on_ && shown_ >= 0) std::fprintf(stderr, "\r%60s\r", "");
  }
  void Event(ZipKeeper::ProgressType type, int size) {
    if (!on_) return;
    if (type == ZipKeeper::ptTotalBytes) total_ = size;
    if (type == ZipKeeper::ptItemBytes) done_ += size;
    if (total_ <= 0) return;
    int percent = static_cast<int>(std::min<std::int64_t>(100, done_ * 100 / total_));
    if (percent == shown_) return;
    shown_ = percent;
    std::string bar(static_cast<std::size_t>(percent / 2), '#');
    std::fprintf(stderr, "\r[%-50s] %3d%%", bar.c_str(), percent);
    std::fflush(stderr);
  }

 private:
  bool on_;
  std::int64_t total_ = 0, done_ = 0;
  int shown_ = -1;
};

int ExtractCommand(const ExtractArgs& args) {
  // Messages go out in blocks: one line per unpacked file would be a write each.
  static char errBuffer[1 << 16];
  if (!isatty(2)) std::setvbuf(stderr, errBuffer, _IOFBF, sizeof errBuffer);
  TZipKeeper zip(nullptr);
  ProgressBar bar;
  zip.Unattended = args.unattended;
  zip.CodePage = args.codePage;
  zip.Verbose = true;
  zip.Trace = args.trace;
  zip.OnMessage = [](TObject*, int errCode, const AnsiString& text) { PrintMessage(errCode, text); };
  zip.OnProgress = [&](TObject*, ZipKeeper::ProgressType type, const AnsiString&, int size) { bar.Event(type, size); };
  zip.SetFileName(WindowsPath(args.archive));
  if (!args.folder.empty()) {
    std::string folder = WindowsPath(args.folder);
    if (!DirectoryExists(folder) && !ForceDirectories(folder)) {
      std::fprintf(stderr, "zipkeeper: cannot make the folder %s\n", args.folder.c_str());
      return 1;
    }
    zip.ExtrBaseDir = folder;
  }
  if (args.dirNames) zip.ExtrOptions << ZipKeeper::ExtrDirNames;
  if (args.overwrite) zip.ExtrOptions << ZipKeeper::ExtrOverWrite;
  if (args.freshen) zip.ExtrOptions << ZipKeeper::ExtrFreshen;
  if (args.update) zip.ExtrOptions << ZipKeeper::ExtrUpdate;
  if (args.test) zip.ExtrOptions << ZipKeeper::ExtrTest;
  zip.Password = args.password;
  for (const auto& spec : args.specs) zip.FSpecArgs().Add(spec);
  zip.Extract();
  std::fflush(stderr);
  std::printf("SuccessCount=%d\n", zip.SuccessCount());
  return zip.ErrCode() != 0 ? 1 : 0;
}

int ParseCodePage(const std::string& v, ZipKeeper::CPOpts& out) {
  if (v == "auto") out = ZipKeeper::cpAUTO;
  else if (v == "none") out = ZipKeeper::cpNone;
  else if (v == "oem") out = ZipKeeper::cpOEM;
  else return false;
  return true;
}

int ListCommand(const std::string& archive, bool unattended, ZipKeeper::CPOpts codePage) {
  TZipKeeper zip(nullptr);
  zip.Unattended = unattended;
  zip.CodePage = codePage;
  zip.OnMessage = [](TObject*, int errCode, const AnsiString& text) { PrintMessage(errCode, text); };
  zip.SetFileName(WindowsPath(archive));

  std::string out;
  auto line = [&](const char* key, const std::string& value) { out += std::string(key) + "=" + value + "\n"; };
  line("Count", std::to_string(zip.GetCount()));
  line("ZipComment", Escape(zip.GetZipComment()));
  line("DataStartOffset", std::to_string(zip.DataStartOffset()));
  line("CentralOffset", std::to_string(zip.CentralOffset()));
  line("EndRecordOffset", std::to_string(zip.EndRecordOffset()));
  line("ArchiveSize", std::to_string(zip.ArchiveSize()));
  line("ArchiveFileSize", std::to_string(zip.ArchiveFileSize()));
  line("OffsetMismatch", zip.OffsetMismatch() ? "1" : "0");
  line("IsSpanned", zip.IsSpanned() ? "1" : "0");
  line("LastDisk", std::to_string(zip.LastDisk()));
  line("ErrCode", std::to_string(zip.ErrCode()));
  out += "entries\n";
  // Each line is written straight into room made for its longest form.
  for (int i = 0; i < zip.GetCount(); ++i) {
    const ZipKeeper::ZipDirEntry& e = *zip.DirEntries()[static_cast<std::size_t>(i)];
    const std::uint32_t fields[] = {e.VersionMadeBy, e.HostSystem,   e.VersionNeeded, e.GeneralFlags,
                                    e.Method,        e.ModTime,      e.Crc32,         e.PackedSize,
                                    e.UnpackedSize,  e.NameLength,   e.ExtraLength,   e.CommentLength,
                                    e.DiskStart,     e.InternalAttributes, e.ExternalAttributes, e.LocalHeaderOffset};
    std::size_t at = out.size();
    out.resize(at + 16 * 11 + 4 * (e.EntryName.size() + e.EntryComment.size()) + 2);
    char* p = out.data() + at;
    for (std::uint32_t f : fields) {
      p = PutNumber(p, f);
      *p++ = '\t';
    }
    p = PutEscaped(p, e.EntryName);
    *p++ = '\t';
    p = PutEscaped(p, e.EntryComment);
    *p++ = '\n';
    out.resize(static_cast<std::size_t>(p - out.data()));
    if (out.size() >= (64u << 10)) {  // one small buffer, reused: no output held in memory
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  int code = zip.ErrCode();
  return code == 0 || code == 10203 || code == 10204 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> a(argv + 1, argv + argc);
  if (a.size() < 2) return Usage();
  if (a[0] == "list") {
    bool unattended = false;
    ZipKeeper::CPOpts codePage = ZipKeeper::cpAUTO;
    for (std::size_t i = 2; i < a.size(); ++i) {
      if (a[i] == "--unattended") unattended = true;
      else if (a[i] == "--codepage" && i + 1 < a.size() && ParseCodePage(a[i + 1], codePage)) ++i;
      else return Usage();
    }
    return ListCommand(a[1], unattended, codePage);
  }
  if (a[0] != "extract") return Usage();
  ExtractArgs args;
  args.archive = a[1];
  for (std::size_t i = 2; i < a.size(); ++i) {
    const std::string& o = a[i];
    bool value = i + 1 < a.size();
    if (o == "-d" && value) args.folder = a[++i];
    else if (o == "--password" && value) args.password = a[++i];
    else if (o == "--codepage" && value && ParseCodePage(a[i + 1], args.codePage)) ++i;
    else if (o == "--dirnames") args.dirNames = true;
    else if (o == "--overwrite") args.overwrite = true;
    else if (o == "--freshen") args.freshen = true;
    else if (o == "--update") args.update = true;
    else if (o == "--test") args.test = true;
    else if (o == "--unattended") args.unattended = true;
    else if (o == "--trace") args.trace = true;
    else if (!o.empty() && o[0] == '-' && o != "-") return Usage();
    else args.specs.push_back(o);
  }
  return ExtractCommand(args);
}
