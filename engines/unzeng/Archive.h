// The archive as the engine reads it: the end record, the central directory with its entries,
// and positioned reads of the entries' local headers and data. Offsets are corrected for leading
// data (a program stub) whether the archive's offsets were adjusted for it or not.
#pragma once

#include <win32/windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace unzeng {

struct Entry {
  std::uint8_t madeByVersion = 0;
  std::uint8_t hostSystem = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint16_t dosTime = 0;
  std::uint16_t dosDate = 0;
  std::uint32_t crc = 0;
  std::uint32_t packedSize = 0;
  std::uint32_t unpackedSize = 0;
  std::uint32_t externalAttributes = 0;
  std::int64_t localOffset = 0;  // corrected
  std::string rawName;
  std::string unicodeName;  // UTF-8 from the Info-ZIP Unicode path field, when it matches rawName
  bool hasUtcTime = false;
  std::int64_t utcTime = 0;  // seconds since 1970, from the extended timestamp field

  bool Encrypted() const { return flags & 1; }
  bool HasDescriptor() const { return flags & 8; }
  bool Utf8() const { return flags & 0x800; }
};

class Archive {
 public:
  Archive() = default;
  ~Archive();
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  // Opens the archive and reads its directory; an empty text on success, else what is wrong.
  std::string Open(const std::string& name);
  const std::vector<Entry>& Entries() const { return entries_; }
  // Where the entry's data begin, from its local header; an empty text on success.
  std::string DataOffset(const Entry& entry, std::int64_t& offset);
  // Reads exactly `size` bytes at `offset`.
  bool ReadAt(std::int64_t offset, void* buffer, std::size_t size);
  std::int64_t CentralStart() const { return centralStart_; }

 private:
  std::string ReadDirectory(std::int64_t end, const unsigned char* record);
  HANDLE file_ = INVALID_HANDLE_VALUE;
  std::int64_t size_ = 0;
  std::int64_t centralStart_ = 0;
  std::vector<Entry> entries_;
};

}  // namespace unzeng
