// An entry's data turned back into its file: traditional PKWARE decryption, the stored and
// deflate methods, and the CRC-32 check. Entries up to 16 MiB are decoded whole (libdeflate) and
// checked before a byte is handed on; larger ones are streamed (zlib).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "Archive.h"

struct libdeflate_decompressor;

namespace unzeng {

enum class Status { Ok, CrcError, BadData, NoPassword, BadPassword, Unsupported, ReadError, WriteError, Cancelled };

// Where decoded bytes go; false from Progress asks to stop.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual bool Write(const char* data, std::size_t size) = 0;
  virtual bool Progress(std::size_t bytes) = 0;
};

class Decoder {
 public:
  Decoder();
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // Whether the method is one the decoder knows.
  static bool Supported(const Entry& entry);
  // Whether the entry is decoded whole, into a buffer of its unpacked size.
  static bool FitsWhole(const Entry& entry);
  // The entry's bytes into `out` (room for its unpacked size), checked against its CRC.
  Status DecodeWhole(Archive& archive, const Entry& entry, std::int64_t dataOffset, const std::string& password, char* out);
  // The entry's bytes handed on block by block as they come; the CRC is known only at the end.
  Status Stream(Archive& archive, const Entry& entry, std::int64_t dataOffset, const std::string& password, Sink& sink);

 private:
  Status Check(const Entry& entry, const std::string& password) const;
  char* Buffer(std::unique_ptr<char[]>& buffer, std::size_t& capacity, std::size_t size);

  libdeflate_decompressor* decompressor_;
  std::unique_ptr<char[]> in_, out_;
  std::size_t inCapacity_ = 0, outCapacity_ = 0;
};

}  // namespace unzeng
