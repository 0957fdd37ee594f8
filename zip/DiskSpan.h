// Records and conventions of zip volume sets: the end-of-central-directory record, the per-entry
// bookkeeping of the multi-volume routines, volume numbers and labels, the span signature.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace DiskSpan {

#pragma pack(push, 1)
struct ZipEndOfCentral {
  std::uint32_t Signature;  // 0x06054b50
  std::uint16_t ThisDisk;
  std::uint16_t CentralDisk;
  std::uint16_t EntriesThisDisk;
  std::uint16_t TotalEntries;
  std::uint32_t CentralSize;
  std::uint32_t CentralDirOffset;
  std::uint16_t CommentLength;
};
#pragma pack(pop)
static_assert(sizeof(ZipEndOfCentral) == 22);

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kSpanSignature = 0x08074b50;  // "PK" 07 08, the first bytes of a set's first volume
constexpr const char* kLabelPrefix = "PKBACK# ";

// Little-endian fields of the records as read from a file.
inline std::uint32_t Field32(const void* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline std::uint16_t Field16(const void* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

// Per entry of the multi-volume routines.
struct MDZipData {
  std::uint16_t DiskStart = 0;
  std::uint32_t LocalHeaderOffset = 0;
  std::uint16_t NameLength = 0;
  std::string EntryName;
  std::uint32_t PackedSize = 0;
};

// The three digits of a 0-based volume number as users see it: "001" for volume 0.
std::string VolumeDigits(int diskNr);
// The label of a volume on a removable disk: "PKBACK# 001" for volume 0.
std::string VolumeLabelOf(int diskNr);
// The volume number in a label "PKBACK# nnn" (1-based as written), 0 for any other label.
int LabelNumber(const std::string& label);
// The volume file name on a fixed drive: the three characters before the extension replaced.
std::string VolumeFileName(const std::string& name, int diskNr);

std::vector<MDZipData> AllocSpanMem(int count);
void DeleteSpanMem(std::vector<MDZipData>& records);

}  // namespace DiskSpan
