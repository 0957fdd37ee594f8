#include <vcl/SysUtils.h>

#include <win32/windows.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "text.h"

TObject::~TObject() = default;

// ---- Format ----------------------------------------------------------------------------------

AnsiString FormatV(const AnsiString& format, const std::vector<TVarRec>& args) {
  auto bad = [&]() { return EConvertError("Format '" + format + "' invalid or incompatible with argument"); };
  AnsiString out;
  std::size_t next = 0;
  auto take = [&]() -> const TVarRec& {
    if (next >= args.size()) throw bad();
    return args[next++];
  };
  for (std::size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (++i >= format.size()) throw bad();
    if (format[i] == '%') {
      out += '%';
      continue;
    }
    std::string spec = "%";
    while (i < format.size() && std::strchr("-+ #0", format[i])) spec += format[i++];
    auto number = [&]() {
      if (i < format.size() && format[i] == '*') {
        ++i;
        const TVarRec& a = take();
        if (a.kind != TVarRec::kInt && a.kind != TVarRec::kUInt) throw bad();
        spec += std::to_string(a.i);
        return;
      }
      while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i]))) spec += format[i++];
    };
    number();
    if (i < format.size() && format[i] == '.') {
      spec += format[i++];
      number();
    }
    bool wide = false;
    while (i < format.size() && std::strchr("hlLqjzt", format[i])) {
      if (format[i] == 'l' && i + 1 < format.size() && format[i + 1] == 'l') wide = true, ++i;
      if (format[i] == 'L' || format[i] == 'q' || format[i] == 'j') wide = true;
      ++i;
    }
    if (i >= format.size()) throw bad();
    char type = format[i];
    char buf[512];
    const TVarRec& a = take();
    bool integral = a.kind == TVarRec::kInt || a.kind == TVarRec::kUInt;
    switch (type) {
      case 'd':
      case 'i': {
        if (!integral) throw bad();
        // Without "ll" the value is a 32-bit int, as on the original platform.
        long long v = wide ? static_cast<long long>(a.i) : static_cast<long long>(static_cast<std::int32_t>(a.i));
        std::snprintf(buf, sizeof buf, (spec + "lld").c_str(), v);
        break;
      }
      case 'u':
      case 'x':
      case 'X':
      case 'o': {
        if (!integral && a.kind != TVarRec::kChar) throw bad();
        unsigned long long v = wide ? static_cast<unsigned long long>(a.i) : static_cast<unsigned long long>(static_cast<std::uint32_t>(a.i));
        std::snprintf(buf, sizeof buf, (spec + "ll" + type).c_str(), v);
        break;
      }
      case 'c':
        if (a.kind != TVarRec::kChar && !integral) throw bad();
        std::snprintf(buf, sizeof buf, (spec + "c").c_str(), static_cast<int>(static_cast<unsigned char>(a.i)));
        break;
      case 's': {
        if (a.kind != TVarRec::kString) throw bad();
        int n = std::snprintf(nullptr, 0, (spec + "s").c_str(), a.s.c_str());
        std::string s(static_cast<std::size_t>(n < 0 ? 0 : n), '\0');
        std::snprintf(s.data(), s.size() + 1, (spec + "s").c_str(), a.s.c_str());
        out += s;
        continue;
      }
      case 'p':
        if (a.kind != TVarRec::kPointer) throw bad();
        std::snprintf(buf, sizeof buf, "%08llX", static_cast<unsigned long long>(a.i));
        break;
      case 'e':
      case 'E':
      case 'f':
      case 'g':
      case 'G':
        if (a.kind != TVarRec::kDouble) throw bad();
        std::snprintf(buf, sizeof buf, (spec + type).c_str(), a.d);
        break;
      default: throw bad();
    }
    out += buf;
  }
  return out;
}

// ---- strings ---------------------------------------------------------------------------------

int Length(const AnsiString& s) { return static_cast<int>(s.size()); }

AnsiString Copy(const AnsiString& s, int index, int count) {
  if (index < 1) index = 1;
  if (count <= 0 || index > Length(s)) return AnsiString();
  return s.substr(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count));
}

int Pos(const AnsiString& sub, const AnsiString& s) {
  if (sub.empty()) return 0;
  auto at = s.find(sub);
  return at == AnsiString::npos ? 0 : static_cast<int>(at) + 1;
}

void Delete(AnsiString& s, int index, int count) {
  if (index < 1 || index > Length(s) || count <= 0) return;
  s.erase(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count));
}

void Insert(const AnsiString& sub, AnsiString& s, int index) {
  if (index < 1) index = 1;
  if (index > Length(s) + 1) index = Length(s) + 1;
  s.insert(static_cast<std::size_t>(index - 1), sub);
}

AnsiString StringOfChar(char c, int count) { return count > 0 ? AnsiString(static_cast<std::size_t>(count), c) : AnsiString(); }

AnsiString UpperCase(const AnsiString& s) {
  AnsiString out = s;
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

AnsiString LowerCase(const AnsiString& s) {
  AnsiString out = s;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

AnsiString AnsiUpperCase(const AnsiString& s) { return pinforge::text::UpperAnsi(s); }

AnsiString AnsiLowerCase(const AnsiString& s) {
  AnsiString out = s;
  for (char& c : out) c = pinforge::text::LowerAnsi(c);
  return out;
}

int CompareText(const AnsiString& a, const AnsiString& b) { return std::strcmp(UpperCase(a).c_str(), UpperCase(b).c_str()); }
int AnsiCompareText(const AnsiString& a, const AnsiString& b) { return pinforge::text::CompareNoCase(a, b); }
bool SameText(const AnsiString& a, const AnsiString& b) { return CompareText(a, b) == 0; }

AnsiString TrimLeft(const AnsiString& s) {
  std::size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ') ++i;
  return s.substr(i);
}

AnsiString TrimRight(const AnsiString& s) {
  std::size_t n = s.size();
  while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ') --n;
  return s.substr(0, n);
}

AnsiString Trim(const AnsiString& s) { return TrimLeft(TrimRight(s)); }

AnsiString IntToStr(std::int64_t value) { return std::to_string(value); }

AnsiString IntToHex(std::int64_t value, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llX", digits < 0 ? 0 : digits > 16 ? 16 : digits, static_cast<unsigned long long>(value));
  return buf;
}

bool TryStrToInt(const AnsiString& s, int& value) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  bool hex = false;
  if (i < s.size() && s[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= s.size()) return false;
  std::uint64_t v = 0;
  for (; i < s.size(); ++i) {
    int d;
    char c = s[i];
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * (hex ? 16 : 10) + static_cast<std::uint64_t>(d);
    if (v > 0xFFFFFFFFull) return false;
  }
  if (hex) {
    auto u = static_cast<std::uint32_t>(v);
    value = negative ? static_cast<int>(0u - u) : static_cast<int>(u);
    return true;
  }
  if (negative ? v > 2147483648ull : v > 2147483647ull) return false;
  value = negative ? static_cast<int>(-static_cast<std::int64_t>(v)) : static_cast<int>(v);
  return true;
}

int StrToInt(const AnsiString& s) {
  int v;
  if (!TryStrToInt(s, v)) throw EConvertError("'" + s + "' is not a valid integer value");
  return v;
}

int StrToIntDef(const AnsiString& s, int defaultValue) {
  int v;
  return TryStrToInt(s, v) ? v : defaultValue;
}

int LastDelimiter(const AnsiString& delimiters, const AnsiString& s) {
  auto at = s.find_last_of(delimiters);
  return at == AnsiString::npos ? 0 : static_cast<int>(at) + 1;
}

std::int32_t StrToL32(const char* text, const char** end, int base) {
  const char* p = text;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
  };
  if ((base == 0 || base == 16) && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && digit(p[2]) < 16) {
    p += 2;
    base = 16;
  } else if (base == 0) {
    base = p[0] == '0' ? 8 : 10;
  }
  const char* start = p;
  std::int64_t v = 0;
  bool overflow = false;
  while (digit(*p) < base) {
    v = v * base + digit(*p++);
    if (v > 0x80000000ll) overflow = true, v = 0x80000000ll;
  }
  if (p == start) {
    if (end) *end = text;
    return 0;
  }
  if (end) *end = p;
  if (negative) v = -v;
  if (overflow || v > INT32_MAX || v < INT32_MIN) {
    errno = ERANGE;
    return negative ? INT32_MIN : INT32_MAX;
  }
  return static_cast<std::int32_t>(v);
}

// ---- file routines ---------------------------------------------------------------------------

int FileOpen(const AnsiString& name, int mode) {
  static const DWORD access[3] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
  static const DWORD share[5] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};
  int a = mode & 3, s = (mode & 0xF0) >> 4;
  if (a > 2 || s > 4) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  HANDLE h = CreateFileA(name.c_str(), access[a], share[s], nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
  return h == INVALID_HANDLE_VALUE ? -1 : static_cast<int>(h);
}

int FileCreate(const AnsiString& name) {
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
  return h == INVALID_HANDLE_VALUE ? -1 : static_cast<int>(h);
}

int FileRead(int handle, void* buffer, int count) {
  DWORD got = 0;
  if (count < 0 || !ReadFile(static_cast<HANDLE>(handle), buffer, static_cast<DWORD>(count), &got, nullptr)) return -1;
  return static_cast<int>(got);
}

int FileWrite(int handle, const void* buffer, int count) {
  DWORD put = 0;
  if (count < 0 || !WriteFile(static_cast<HANDLE>(handle), buffer, static_cast<DWORD>(count), &put, nullptr)) return -1;
  return static_cast<int>(put);
}

std::int64_t FileSeek64(int handle, std::int64_t offset, int origin) {
  LONG high = static_cast<LONG>(offset >> 32);
  DWORD low = SetFilePointer(static_cast<HANDLE>(handle), static_cast<LONG>(offset), &high, static_cast<DWORD>(origin));
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != 0) return -1;
  return (static_cast<std::int64_t>(high) << 32) | low;
}

int FileSeek(int handle, int offset, int origin) {
  DWORD pos = SetFilePointer(static_cast<HANDLE>(handle), offset, nullptr, static_cast<DWORD>(origin));
  return pos == INVALID_SET_FILE_POINTER ? -1 : static_cast<int>(pos);
}

void FileClose(int handle) { CloseHandle(static_cast<HANDLE>(handle)); }

namespace {
int DosOf(const FILETIME& utc) {
  FILETIME local;
  WORD date, time;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time)) return -1;
  return static_cast<int>((static_cast<DWORD>(date) << 16) | time);
}
}  // namespace

int FileAge(const AnsiString& name) {
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(name.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return -1;
  ::FindClose(h);
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
  return DosOf(data.ftLastWriteTime);
}

int FileGetDate(int handle) {
  FILETIME write;
  if (!GetFileTime(static_cast<HANDLE>(handle), nullptr, nullptr, &write)) return -1;
  return DosOf(write);
}

int FileSetDate(int handle, int age) {
  FILETIME local, utc;
  auto a = static_cast<DWORD>(age);
  if (!DosDateTimeToFileTime(static_cast<WORD>(a >> 16), static_cast<WORD>(a), &local) ||
      !LocalFileTimeToFileTime(&local, &utc) || !SetFileTime(static_cast<HANDLE>(handle), nullptr, nullptr, &utc))
    return static_cast<int>(GetLastError());
  return 0;
}

int FileGetAttr(const AnsiString& name) { return static_cast<int>(GetFileAttributesA(name.c_str())); }
int FileSetAttr(const AnsiString& name, int attr) {
  return SetFileAttributesA(name.c_str(), static_cast<DWORD>(attr)) ? 0 : static_cast<int>(GetLastError());
}

bool FileExists(const AnsiString& name) {
  DWORD a = GetFileAttributesA(name.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const AnsiString& name) {
  DWORD a = GetFileAttributesA(name.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFile(const AnsiString& name) { return DeleteFileA(name.c_str()); }
bool RenameFile(const AnsiString& oldName, const AnsiString& newName) { return MoveFileA(oldName.c_str(), newName.c_str()); }
bool CreateDir(const AnsiString& name) { return CreateDirectoryA(name.c_str(), nullptr); }
bool RemoveDir(const AnsiString& name) { return RemoveDirectoryA(name.c_str()); }

bool ForceDirectories(const AnsiString& name) {
  AnsiString dir = ExcludeTrailingBackslash(name);
  if (dir.empty()) return false;
  if (dir.size() < 3 || DirectoryExists(dir) || ExtractFilePath(dir) == dir) return DirectoryExists(dir);
  return ForceDirectories(ExtractFilePath(dir)) && (CreateDir(dir) || DirectoryExists(dir));
}

AnsiString GetCurrentDir() {
  char buf[MAX_PATH * 4];
  DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
  return n < sizeof buf ? AnsiString(buf, n) : AnsiString();
}

bool SetCurrentDir(const AnsiString& name) { return SetCurrentDirectoryA(name.c_str()); }

namespace {
std::int64_t DriveSpace(int drive, bool wantTotal) {
  AnsiString root = drive == 0 ? GetCurrentDir().substr(0, 3) : AnsiString(1, static_cast<char>('A' + drive - 1)) + ":\\";
  std::uint64_t free = 0, total = 0;
  if (drive < 0 || drive > 26 || !GetDiskFreeSpaceExA(root.c_str(), &free, &total, nullptr)) return -1;
  return static_cast<std::int64_t>(wantTotal ? total : free);
}
}  // namespace

std::int64_t DiskSize(int drive) { return DriveSpace(drive, true); }
std::int64_t DiskFree(int drive) { return DriveSpace(drive, false); }

namespace {
constexpr int faSpecial = faHidden | faSysFile | faVolumeID | faDirectory;

int FindMatching(TSearchRec& rec, WIN32_FIND_DATAA& data) {
  while (static_cast<int>(data.dwFileAttributes) & rec.ExcludeAttr) {
    if (!FindNextFileA(rec.FindHandle, &data)) return static_cast<int>(GetLastError());
  }
  rec.Time = DosOf(data.ftLastWriteTime);
  rec.Size = static_cast<int>(data.nFileSizeLow);
  rec.Attr = static_cast<int>(data.dwFileAttributes);
  rec.Name = data.cFileName;
  return 0;
}
}  // namespace

int FindFirst(const AnsiString& path, int attr, TSearchRec& rec) {
  WIN32_FIND_DATAA data;
  rec.ExcludeAttr = ~attr & faSpecial;
  rec.FindHandle = FindFirstFileA(path.c_str(), &data);
  if (rec.FindHandle == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  int result = FindMatching(rec, data);
  if (result != 0) FindClose(rec);
  return result;
}

int FindNext(TSearchRec& rec) {
  WIN32_FIND_DATAA data;
  if (!FindNextFileA(rec.FindHandle, &data)) return static_cast<int>(GetLastError());
  return FindMatching(rec, data);
}

void FindClose(TSearchRec& rec) {
  if (rec.FindHandle != INVALID_HANDLE_VALUE) ::FindClose(rec.FindHandle);
  rec.FindHandle = INVALID_HANDLE_VALUE;
}

// ---- file names ------------------------------------------------------------------------------

AnsiString ExpandFileName(const AnsiString& name) {
  std::string buf(MAX_PATH * 4, '\0');
  DWORD n = GetFullPathNameA(name.c_str(), static_cast<DWORD>(buf.size()), buf.data(), nullptr);
  if (n == 0 || n >= buf.size()) return AnsiString();
  buf.resize(n);
  return buf;
}

AnsiString ExtractFilePath(const AnsiString& name) { return Copy(name, 1, LastDelimiter("\\:", name)); }

AnsiString ExtractFileDir(const AnsiString& name) {
  int i = LastDelimiter("\\:", name);
  if (i > 1 && name[static_cast<std::size_t>(i - 1)] == '\\' && name[static_cast<std::size_t>(i - 2)] != '\\' &&
      name[static_cast<std::size_t>(i - 2)] != ':')
    --i;
  return Copy(name, 1, i);
}

AnsiString ExtractFileName(const AnsiString& name) { return Copy(name, LastDelimiter("\\:", name) + 1, INT_MAX); }

AnsiString ExtractFileExt(const AnsiString& name) {
  int i = LastDelimiter(".\\:", name);
  return i > 0 && name[static_cast<std::size_t>(i - 1)] == '.' ? Copy(name, i, INT_MAX) : AnsiString();
}

AnsiString ExtractFileDrive(const AnsiString& name) {
  if (name.size() >= 2 && name[1] == ':') return name.substr(0, 2);
  if (name.size() >= 2 && name[0] == '\\' && name[1] == '\\') {
    auto server = name.find('\\', 2);
    if (server == AnsiString::npos) return AnsiString();
    auto share = name.find('\\', server + 1);
    return name.substr(0, share);
  }
  return AnsiString();
}

AnsiString ChangeFileExt(const AnsiString& name, const AnsiString& ext) {
  int i = LastDelimiter(".\\:", name);
  if (i == 0 || name[static_cast<std::size_t>(i - 1)] != '.') i = Length(name) + 1;
  return Copy(name, 1, i - 1) + ext;
}

bool IsPathDelimiter(const AnsiString& s, int index) { return index >= 1 && index <= Length(s) && s[static_cast<std::size_t>(index - 1)] == '\\'; }

AnsiString IncludeTrailingBackslash(const AnsiString& name) {
  return IsPathDelimiter(name, Length(name)) ? name : name + "\\";
}

AnsiString ExcludeTrailingBackslash(const AnsiString& name) {
  return IsPathDelimiter(name, Length(name)) ? name.substr(0, name.size() - 1) : name;
}

// ---- dates -----------------------------------------------------------------------------------

namespace {
// Days from 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}
constexpr std::int64_t kDelphiEpoch = -25569;  // 1899-12-30 in days from 1970
}  // namespace

TDateTime FileDateToDateTime(int fileDate) {
  auto f = static_cast<DWORD>(fileDate);
  unsigned date = f >> 16, time = f & 0xFFFF;
  unsigned year = 1980 + (date >> 9), month = (date >> 5) & 15, day = date & 31;
  if (month < 1 || month > 12 || day < 1) return 0;
  double days = static_cast<double>(DaysFromCivil(year, month, day) - kDelphiEpoch);
  double secs = (time >> 11) * 3600.0 + ((time >> 5) & 63) * 60.0 + (time & 31) * 2.0;
  return days + secs / 86400.0;
}

int DateTimeToFileDate(TDateTime value) {
  std::int64_t days = static_cast<std::int64_t>(std::floor(value));
  double frac = value - static_cast<double>(days);
  auto secs = static_cast<int>(std::lround(frac * 86400.0));
  if (secs >= 86400) secs = 86399;
  // Civil date from days (inverse of DaysFromCivil).
  std::int64_t z = days + kDelphiEpoch + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
  if (y < 1980 || y > 2107) return 0;
  DWORD date = static_cast<DWORD>(((y - 1980) << 9) | (m << 5) | d);
  DWORD time = static_cast<DWORD>(((secs / 3600) << 11) | (((secs / 60) % 60) << 5) | ((secs % 60) / 2));
  return static_cast<int>((date << 16) | time);
}

TDateTime Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  double days = static_cast<double>(DaysFromCivil(st.wYear, st.wMonth, st.wDay) - kDelphiEpoch);
  return days + (st.wHour * 3600.0 + st.wMinute * 60.0 + st.wSecond + st.wMilliseconds / 1000.0) / 86400.0;
}
