// The command records the component hands to the engines, byte for byte as the engines read
// them, and the owner of one record with every text it points to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <vcl/SysUtils.h>

#include "CallBack.h"

namespace ZipKeeper {

#pragma pack(push, 1)
// The decompression record, engine versions 152 and later.
struct UnzCommandRecord {
  CallBack::EngineHead Head;
  std::uint16_t CodePageMode;
  std::uint16_t Reserved22;
  std::uint32_t PasswordText;
  std::uint32_t Test;
  std::uint8_t Reserved32[8];
  std::uint32_t Always1;
  std::uint32_t VerboseFlag;
  std::uint32_t Update;
  std::uint32_t Freshen;
  std::uint32_t DirNames;
  std::uint32_t Overwrite;
  std::uint32_t SpecCount;
  std::uint32_t ArchiveName;
  std::uint32_t FileSpecs;  // UnzFileSpec[SpecCount]; the older layout's end marker 7 before that
  std::uint8_t Reserved76[68];
  std::uint32_t EndMarker;  // 7
};
struct UnzFileSpec {
  std::uint32_t FileSpec;
  std::uint8_t Reserved[68];
};
// The decompression record, engine versions below 152: the same to offset 71, then the end
// marker and 4097 slots for the lines of FSpecArgs.
struct UnzCommandRecordOld {
  std::uint8_t Fixed[72];
  std::uint32_t EndMarker;
  std::uint32_t FileSpecs[4097];
};

// The compression record's first 128 bytes, the same in both layouts.
struct ZipCommandHead {
  CallBack::EngineHead Head;
  std::uint32_t PasswordText;
  std::uint32_t Reserved24;
  std::uint32_t Encrypt;
  std::uint32_t IncludeHidden;
  std::uint8_t Reserved36[8];
  std::uint32_t NoDirEntries;
  std::uint32_t Reserved48;
  std::uint32_t VerboseFlag;
  std::uint32_t Always1;
  std::uint32_t Level;
  std::uint8_t Reserved64[8];
  std::uint32_t JunkDirNames;
  std::uint16_t Recurse;
  std::uint16_t Reserved78;
  std::uint32_t AddMode;
  std::uint32_t ForceDos;
  std::uint32_t Move;
  std::uint32_t DeleteMode;
  std::uint32_t Update;
  std::uint32_t Freshen;
  std::uint32_t Reserved104;
  std::uint32_t ZipTime;
  std::uint8_t Reserved112[8];
  std::uint32_t SpecCount;
  std::uint32_t ArchiveName;
};
// Layout A, engine versions 150 and lower.
struct ZipCommandRecordA {
  ZipCommandHead Common;
  std::uint32_t EndMarker;  // 7
  std::uint32_t FileSpecs[4097];
};
// Layout B, engine versions 151 and higher.
struct ZipCommandRecordB {
  ZipCommandHead Common;
  std::uint32_t TempDirText;  // null when TempDir is empty
  std::uint8_t Reserved132[8];
  std::uint32_t FileSpecs;  // ZipFileSpec[SpecCount]
  std::uint8_t Reserved144[68];
  std::uint32_t EndMarker;  // 7
};
struct ZipFileSpec {
  std::uint32_t FileSpec;
  std::uint8_t Reserved[100];
};
#pragma pack(pop)

static_assert(sizeof(UnzCommandRecord) == 148 && offsetof(UnzCommandRecord, CodePageMode) == 20 &&
              offsetof(UnzCommandRecord, Always1) == 40 && offsetof(UnzCommandRecord, SpecCount) == 64 &&
              offsetof(UnzCommandRecord, FileSpecs) == 72 && offsetof(UnzCommandRecord, EndMarker) == 144);
static_assert(sizeof(UnzFileSpec) == 72);
static_assert(sizeof(UnzCommandRecordOld) == 16464 && offsetof(UnzCommandRecordOld, FileSpecs) == 76);
static_assert(sizeof(ZipCommandHead) == 128 && offsetof(ZipCommandHead, NoDirEntries) == 44 &&
              offsetof(ZipCommandHead, Level) == 60 && offsetof(ZipCommandHead, Recurse) == 76 &&
              offsetof(ZipCommandHead, ZipTime) == 108 && offsetof(ZipCommandHead, ArchiveName) == 124);
static_assert(sizeof(ZipCommandRecordA) == 16520 && offsetof(ZipCommandRecordA, FileSpecs) == 132);
static_assert(sizeof(ZipCommandRecordB) == 216 && offsetof(ZipCommandRecordB, FileSpecs) == 140 &&
              offsetof(ZipCommandRecordB, EndMarker) == 212);
static_assert(sizeof(ZipFileSpec) == 104);

constexpr std::uint32_t kEndMarker = 7;
constexpr int kOldLayoutSpecs = 4097;

// One command record and every text and array it points to, zero-filled, below 4 GiB; all freed
// together.
class EngineCommand {
 public:
  explicit EngineCommand(std::size_t size);
  ~EngineCommand();
  EngineCommand(const EngineCommand&) = delete;
  EngineCommand& operator=(const EngineCommand&) = delete;

  bool Ok() const { return ok_; }  // false when some memory could not be had
  std::size_t Size() const { return size_; }
  char* Data() { return data_; }
  template <class T>
  T& As() {
    static_assert(sizeof(T) <= 16520);
    return *reinterpret_cast<T*>(data_);
  }
  // The 4-byte field of a NUL-terminated copy of the text.
  std::uint32_t Text(const AnsiString& text);
  // The 4-byte field of a zero-filled block of the given size.
  std::uint32_t Block(std::size_t size);

 private:
  char* Allocate(std::size_t size);
  char* data_;
  std::size_t size_;
  bool ok_ = true;
  std::vector<void*> owned_;
};

}  // namespace ZipKeeper
