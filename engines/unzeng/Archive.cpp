#include "Archive.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>

namespace unzeng {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kMaxComment = 65535;

std::uint16_t Le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16 |
         static_cast<std::uint32_t>(p[3]) << 24;
}

// The fields of the extra block the engine uses: the extended timestamp and the Unicode path.
void ReadExtra(Entry& e, const unsigned char* p, std::size_t size) {
  while (size >= 4) {
    std::uint16_t id = Le16(p), length = Le16(p + 2);
    if (length > size - 4) return;
    const unsigned char* data = p + 4;
    if (id == 0x5455 && length >= 5 && (data[0] & 1)) {
      e.hasUtcTime = true;
      e.utcTime = static_cast<std::int32_t>(Le32(data + 1));
    } else if (id == 0x7075 && length >= 5 && data[0] == 1) {
      std::uint32_t crc = static_cast<std::uint32_t>(libdeflate_crc32(0, e.rawName.data(), e.rawName.size()));
      if (Le32(data + 1) == crc) e.unicodeName.assign(reinterpret_cast<const char*>(data + 5), length - 5u);
    }
    p += 4 + length;
    size -= 4u + length;
  }
}

}  // namespace

Archive::~Archive() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

bool Archive::ReadAt(std::int64_t offset, void* buffer, std::size_t size) {
  if (offset < 0 || static_cast<std::uint64_t>(offset) > static_cast<std::uint64_t>(size_) ||
      size > static_cast<std::uint64_t>(size_ - offset))
    return false;
  LONG high = static_cast<LONG>(offset >> 32);
  if (SetFilePointer(file_, static_cast<LONG>(offset & 0xFFFFFFFF), &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR)
    return false;
  auto* out = static_cast<char*>(buffer);
  while (size > 0) {
    DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30)), got = 0;
    if (!ReadFile(file_, out, want, &got, nullptr) || got == 0) return false;
    out += got;
    size -= got;
  }
  return true;
}

std::string Archive::Open(const std::string& name) {
  file_ = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, 0);
  if (file_ == INVALID_HANDLE_VALUE) return "cannot open the archive " + name;
  DWORD high = 0;
  DWORD low = GetFileSize(file_, &high);
  size_ = static_cast<std::int64_t>(high) << 32 | low;
  if (size_ < static_cast<std::int64_t>(kEndSize)) return name + " is not a zip archive";
  // The end record lies in the last 22 + 65535 bytes; trailing bytes after its comment are
  // allowed, so the last record whose directory fits before it is taken.
  std::size_t tail = static_cast<std::size_t>(std::min<std::int64_t>(size_, kEndSize + kMaxComment + 1024));
  std::vector<unsigned char> bytes(tail);
  std::int64_t tailStart = size_ - static_cast<std::int64_t>(tail);
  if (!ReadAt(tailStart, bytes.data(), tail)) return "cannot read the archive " + name;
  for (std::size_t i = tail - kEndSize + 1; i-- > 0;) {
    const unsigned char* r = bytes.data() + i;
    if (Le32(r) != kEndSignature) continue;
    std::int64_t end = tailStart + static_cast<std::int64_t>(i);
    std::uint32_t centralSize = Le32(r + 12);
    if (static_cast<std::int64_t>(centralSize) > end) continue;
    if (Le16(r + 4) != 0 || Le16(r + 6) != 0) return name + " is a volume of a volume set; join the set first";
    if (Le16(r + 10) == 0xFFFF || Le32(r + 16) == 0xFFFFFFFF) {
      if (i >= 20 && Le32(r - 20) == kZip64LocatorSignature) return name + " is a Zip64 archive, which this engine does not read";
    }
    return ReadDirectory(end, r);
  }
  return name + " is not a zip archive (no end of central directory record)";
}

std::string Archive::ReadDirectory(std::int64_t end, const unsigned char* record) {
  std::uint16_t count = Le16(record + 10);
  std::uint32_t centralSize = Le32(record + 12);
  std::uint32_t centralOffset = Le32(record + 16);
  centralStart_ = end - centralSize;
  // Leading data whose length the offsets do not count (a stub added after the archive was made).
  std::int64_t shift = centralStart_ - centralOffset;
  if (shift < 0) return "the archive's central directory lies outside the file: the archive is damaged";
  std::vector<unsigned char> dir(centralSize);
  if (!ReadAt(centralStart_, dir.data(), centralSize)) return "cannot read the central directory";
  entries_.clear();
  entries_.reserve(count);
  std::size_t pos = 0;
  for (unsigned n = 0; n < count; ++n) {
    if (centralSize - pos < kCentralSize || Le32(&dir[pos]) != kCentralSignature)
      return "the central directory is damaged at entry " + std::to_string(n + 1);
    const unsigned char* c = &dir[pos];
    std::size_t nameLength = Le16(c + 28), extraLength = Le16(c + 30), commentLength = Le16(c + 32);
    if (centralSize - pos - kCentralSize < nameLength + extraLength + commentLength)
      return "the central directory is damaged at entry " + std::to_string(n + 1);
    Entry e;
    e.madeByVersion = c[4];
    e.hostSystem = c[5];
    e.flags = Le16(c + 8);
    e.method = Le16(c + 10);
    e.dosTime = Le16(c + 12);
    e.dosDate = Le16(c + 14);
    e.crc = Le32(c + 16);
    e.packedSize = Le32(c + 20);
    e.unpackedSize = Le32(c + 24);
    e.externalAttributes = Le32(c + 38);
    e.localOffset = static_cast<std::int64_t>(Le32(c + 42)) + shift;
    e.rawName.assign(reinterpret_cast<const char*>(c + kCentralSize), nameLength);
    ReadExtra(e, c + kCentralSize + nameLength, extraLength);
    entries_.push_back(std::move(e));
    pos += kCentralSize + nameLength + extraLength + commentLength;
  }
  return "";
}

std::string Archive::DataOffset(const Entry& entry, std::int64_t& offset) {
  unsigned char local[kLocalSize];
  if (!ReadAt(entry.localOffset, local, kLocalSize)) return "its local header lies outside the archive";
  if (Le32(local) != kLocalSignature) return "its local header is damaged";
  offset = entry.localOffset + static_cast<std::int64_t>(kLocalSize) + Le16(local + 26) + Le16(local + 28);
  if (offset > centralStart_ || entry.packedSize > centralStart_ - offset) return "its data run past the end of the archive's data";
  return "";
}

}  // namespace unzeng
