// zipkeeper: the zip component from the command line.
//   zipkeeper list ARCHIVE [--unattended] [--codepage auto|none|oem]
// lists the archive: header lines key=value, a line "entries", then one tab-separated line per
// entry; every OnMessage goes to stderr as "message <ErrCode> <text>".
#include <pinforge/machine.h>

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
  std::fprintf(stderr, "usage: zipkeeper list ARCHIVE [--unattended] [--codepage auto|none|oem]\n");
  return 2;
}

int ListCommand(const std::string& archive, bool unattended, ZipKeeper::CPOpts codePage) {
  TZipKeeper zip(nullptr);
  zip.Unattended = unattended;
  zip.CodePage = codePage;
  zip.OnMessage = [](TObject*, int errCode, const AnsiString& text) {
    std::fprintf(stderr, "message %d %s\n", errCode, Escape(text).c_str());
  };
  // A host path (with '/') goes through the machine's mapping; anything else is a Windows path.
  zip.SetFileName(archive.find('/') != std::string::npos ? pinforge::machine::HostToWindows(archive) : archive);

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
  if (a.size() < 2 || a[0] != "list") return Usage();
  bool unattended = false;
  ZipKeeper::CPOpts codePage = ZipKeeper::cpAUTO;
  for (std::size_t i = 2; i < a.size(); ++i) {
    if (a[i] == "--unattended") unattended = true;
    else if (a[i] == "--codepage" && i + 1 < a.size()) {
      const std::string& v = a[++i];
      if (v == "auto") codePage = ZipKeeper::cpAUTO;
      else if (v == "none") codePage = ZipKeeper::cpNone;
      else if (v == "oem") codePage = ZipKeeper::cpOEM;
      else return Usage();
    } else {
      return Usage();
    }
  }
  return ListCommand(a[1], unattended, codePage);
}
