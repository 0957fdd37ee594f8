// The class library's utility routines: exceptions, formatting, strings counted from 1, file
// routines over the emulated machine, file names, and DOS file dates.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

#include <vcl/System.h>

// ---- exceptions ------------------------------------------------------------------------------
class PF_API Exception : public std::exception {
 public:
  explicit Exception(AnsiString message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }
  AnsiString Message;
};
class PF_API EConvertError : public Exception {
 public:
  using Exception::Exception;
};
class PF_API EListError : public Exception {
 public:
  using Exception::Exception;
};
class PF_API EInOutError : public Exception {
 public:
  using Exception::Exception;
};
class PF_API EOutOfMemory : public Exception {
 public:
  using Exception::Exception;
};

// ---- Format: printf-like, the arguments checked against the directives ------------------------
class PF_API TVarRec {
 public:
  enum Kind { kInt, kUInt, kString, kChar, kPointer, kDouble };
  template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, char> && !std::is_same_v<T, bool>, int> = 0>
  TVarRec(T v) : kind(std::is_signed_v<T> ? kInt : kUInt), i(static_cast<std::int64_t>(v)) {}
  TVarRec(bool v) : kind(kInt), i(v) {}
  TVarRec(char v) : kind(kChar), i(static_cast<unsigned char>(v)) {}
  TVarRec(double v) : kind(kDouble), d(v) {}
  TVarRec(const char* v) : kind(kString), s(v ? v : "") {}
  TVarRec(const AnsiString& v) : kind(kString), s(v) {}
  TVarRec(const void* v) : kind(kPointer), i(static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(v))) {}
  Kind kind;
  std::int64_t i = 0;
  double d = 0;
  AnsiString s;
};
// Directives: %[flags][width][.precision][h|l|ll]type with the types d i u x X o c s p e f g %,
// "*" for width and precision. A directive that does not fit its argument, or a missing argument,
// raises EConvertError.
PF_API AnsiString FormatV(const AnsiString& format, const std::vector<TVarRec>& args);
template <class... A>
AnsiString Format(const AnsiString& format, const A&... args) {
  return FormatV(format, std::vector<TVarRec>{TVarRec(args)...});
}

// ---- strings, 1-based ------------------------------------------------------------------------
PF_API int Length(const AnsiString& s);
PF_API AnsiString Copy(const AnsiString& s, int index, int count);
PF_API int Pos(const AnsiString& sub, const AnsiString& s);
PF_API void Delete(AnsiString& s, int index, int count);
PF_API void Insert(const AnsiString& sub, AnsiString& s, int index);
PF_API AnsiString StringOfChar(char c, int count);
PF_API AnsiString UpperCase(const AnsiString& s);      // ASCII letters only
PF_API AnsiString LowerCase(const AnsiString& s);
PF_API AnsiString AnsiUpperCase(const AnsiString& s);  // the code page's letters
PF_API AnsiString AnsiLowerCase(const AnsiString& s);
PF_API int CompareText(const AnsiString& a, const AnsiString& b);
PF_API int AnsiCompareText(const AnsiString& a, const AnsiString& b);
PF_API bool SameText(const AnsiString& a, const AnsiString& b);
PF_API AnsiString Trim(const AnsiString& s);  // every character up to a space
PF_API AnsiString TrimLeft(const AnsiString& s);
PF_API AnsiString TrimRight(const AnsiString& s);
PF_API AnsiString IntToStr(std::int64_t value);
PF_API AnsiString IntToHex(std::int64_t value, int digits);
PF_API int StrToInt(const AnsiString& s);  // EConvertError for text that is not a number
PF_API int StrToIntDef(const AnsiString& s, int defaultValue);
// Decimal, or hexadecimal after "$" (a "0x" prefix is the caller's to turn into "$"); a value
// beyond 32 bits is not a number. True and the value when the whole text is a number.
PF_API bool TryStrToInt(const AnsiString& s, int& value);
PF_API int LastDelimiter(const AnsiString& delimiters, const AnsiString& s);

// The C library's strtol as on the original 32-bit platform: results clamped to 32 bits.
PF_API std::int32_t StrToL32(const char* text, const char** end, int base);

// ---- file routines ---------------------------------------------------------------------------
constexpr int fmOpenRead = 0x0000;
constexpr int fmOpenWrite = 0x0001;
constexpr int fmOpenReadWrite = 0x0002;
constexpr int fmShareCompat = 0x0000;
constexpr int fmShareExclusive = 0x0010;
constexpr int fmShareDenyWrite = 0x0020;
constexpr int fmShareDenyRead = 0x0030;
constexpr int fmShareDenyNone = 0x0040;

constexpr int faReadOnly = 0x01;
constexpr int faHidden = 0x02;
constexpr int faSysFile = 0x04;
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;
constexpr int faAnyFile = 0x3F;

// Handles are integers, -1 for failure.
PF_API int FileOpen(const AnsiString& name, int mode);
PF_API int FileCreate(const AnsiString& name);
PF_API int FileRead(int handle, void* buffer, int count);
PF_API int FileWrite(int handle, const void* buffer, int count);
PF_API int FileSeek(int handle, int offset, int origin);
PF_API std::int64_t FileSeek64(int handle, std::int64_t offset, int origin);
PF_API void FileClose(int handle);
PF_API int FileAge(const AnsiString& name);  // DOS date and time in local time, -1 when missing
PF_API int FileGetDate(int handle);
PF_API int FileSetDate(int handle, int age);  // 0 or an error code
PF_API int FileGetAttr(const AnsiString& name);
PF_API int FileSetAttr(const AnsiString& name, int attr);
PF_API bool FileExists(const AnsiString& name);
PF_API bool DirectoryExists(const AnsiString& name);
PF_API bool DeleteFile(const AnsiString& name);
PF_API bool RenameFile(const AnsiString& oldName, const AnsiString& newName);
PF_API bool CreateDir(const AnsiString& name);
PF_API bool RemoveDir(const AnsiString& name);
PF_API bool ForceDirectories(const AnsiString& name);
PF_API AnsiString GetCurrentDir();
// Size and free bytes of a drive: 0 the current one, 1 A:, 2 B:, ...; -1 without a readable volume.
PF_API std::int64_t DiskSize(int drive);
PF_API std::int64_t DiskFree(int drive);
PF_API bool SetCurrentDir(const AnsiString& name);

struct TSearchRec {
  int Time = 0;  // DOS date and time, local
  int Size = 0;
  int Attr = 0;
  AnsiString Name;
  int ExcludeAttr = 0;
  std::uint32_t FindHandle = 0xFFFFFFFFu;
};
// 0 on success, else the platform's error code.
PF_API int FindFirst(const AnsiString& path, int attr, TSearchRec& rec);
PF_API int FindNext(TSearchRec& rec);
PF_API void FindClose(TSearchRec& rec);

// ---- file names ------------------------------------------------------------------------------
PF_API AnsiString ExpandFileName(const AnsiString& name);
PF_API AnsiString ExtractFilePath(const AnsiString& name);  // with the trailing backslash
PF_API AnsiString ExtractFileDir(const AnsiString& name);   // without it
PF_API AnsiString ExtractFileName(const AnsiString& name);
PF_API AnsiString ExtractFileExt(const AnsiString& name);
PF_API AnsiString ExtractFileDrive(const AnsiString& name);
PF_API AnsiString ChangeFileExt(const AnsiString& name, const AnsiString& ext);
PF_API AnsiString IncludeTrailingBackslash(const AnsiString& name);
PF_API AnsiString ExcludeTrailingBackslash(const AnsiString& name);
PF_API bool IsPathDelimiter(const AnsiString& s, int index);

// ---- dates -----------------------------------------------------------------------------------
PF_API TDateTime FileDateToDateTime(int fileDate);
PF_API int DateTimeToFileDate(TDateTime value);
PF_API TDateTime Now();
