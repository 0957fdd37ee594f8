#include "Decoder.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace unzeng {
namespace {

constexpr std::size_t kWholeLimit = 16u << 20;  // entries up to this size are decoded in memory
constexpr std::size_t kChunk = 1u << 20;         // bytes handed on (and reported) at a time
constexpr std::size_t kReadChunk = 256u << 10;
constexpr std::size_t kCryptHeader = 12;

// The traditional PKWARE encryption's three keys.
class ZipCrypto {
 public:
  explicit ZipCrypto(const std::string& password) {
    for (char c : password) Update(static_cast<unsigned char>(c));
  }
  void Decrypt(char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      std::uint32_t t = (keys_[2] & 0xFFFF) | 2;
      auto c = static_cast<unsigned char>(static_cast<unsigned char>(data[i]) ^ static_cast<unsigned char>((t * (t ^ 1)) >> 8));
      Update(c);
      data[i] = static_cast<char>(c);
    }
  }

 private:
  static std::uint32_t Crc(std::uint32_t crc, unsigned char b) {
    static const auto table = [] {
      std::array<std::uint32_t, 256> t{};
      for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[n] = c;
      }
      return t;
    }();
    return table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  }
  void Update(unsigned char c) {
    keys_[0] = Crc(keys_[0], c);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = Crc(keys_[2], static_cast<unsigned char>(keys_[1] >> 24));
  }
  std::uint32_t keys_[3] = {0x12345678u, 0x23456789u, 0x34567890u};
};

// Reads and checks the 12-byte encryption header; the keys are then ready for the data.
Status StartDecryption(ZipCrypto& crypto, char* header, const Entry& e) {
  crypto.Decrypt(header, kCryptHeader);
  auto check = static_cast<unsigned char>(header[kCryptHeader - 1]);
  auto expected = static_cast<unsigned char>(e.HasDescriptor() ? e.dosTime >> 8 : e.crc >> 24);
  return check == expected ? Status::Ok : Status::BadPassword;
}

Status HandOn(const char* data, std::size_t size, Sink& sink) {
  for (std::size_t done = 0; done < size;) {
    std::size_t n = std::min(kChunk, size - done);
    if (!sink.Write(data + done, n)) return Status::WriteError;
    if (!sink.Progress(n)) return Status::Cancelled;
    done += n;
  }
  return Status::Ok;
}

}  // namespace

Decoder::Decoder() : decompressor_(libdeflate_alloc_decompressor()) {}
Decoder::~Decoder() { libdeflate_free_decompressor(decompressor_); }

bool Decoder::Supported(const Entry& e) { return (e.method == 0 || e.method == 8) && !(e.flags & 0x40); }

char* Decoder::Buffer(std::unique_ptr<char[]>& buffer, std::size_t& capacity, std::size_t size) {
  // Grown, never shrunk: new memory is costly to touch, reused memory is not.
  if (size > capacity || !buffer) {
    capacity = std::max<std::size_t>({size, capacity * 2, 64u << 10});
    capacity = std::min(capacity, std::max(size, kWholeLimit + kCryptHeader));
    buffer = std::make_unique_for_overwrite<char[]>(capacity);
  }
  return buffer.get();
}

bool Decoder::FitsWhole(const Entry& e) { return e.packedSize <= kWholeLimit + kCryptHeader && e.unpackedSize <= kWholeLimit; }

Status Decoder::Check(const Entry& e, const std::string& password) const {
  if (!Supported(e)) return Status::Unsupported;
  if (e.Encrypted() && password.empty()) return Status::NoPassword;
  if (e.Encrypted() && e.packedSize < kCryptHeader) return Status::BadData;
  return Status::Ok;
}

Status Decoder::DecodeWhole(Archive& archive, const Entry& e, std::int64_t dataOffset, const std::string& password, char* out) {
  if (Status s = Check(e, password); s != Status::Ok) return s;
  if (!decompressor_) return Status::BadData;
  char* in = Buffer(in_, inCapacity_, e.packedSize);
  if (!archive.ReadAt(dataOffset, in, e.packedSize)) return Status::ReadError;
  std::size_t size = e.packedSize;
  if (e.Encrypted()) {
    ZipCrypto crypto(password);
    if (StartDecryption(crypto, in, e) != Status::Ok) return Status::BadPassword;
    in += kCryptHeader;
    size -= kCryptHeader;
    crypto.Decrypt(in, size);
  }
  if (e.method == 0) {
    if (size != e.unpackedSize) return Status::BadData;
    std::memcpy(out, in, size);
  } else {
    std::size_t produced = 0;
    auto r = libdeflate_deflate_decompress(decompressor_, in, size, out, e.unpackedSize, &produced);
    if (r != LIBDEFLATE_SUCCESS || produced != e.unpackedSize) return Status::BadData;
  }
  return libdeflate_crc32(0, out, e.unpackedSize) == e.crc ? Status::Ok : Status::CrcError;
}

Status Decoder::Stream(Archive& archive, const Entry& e, std::int64_t dataOffset, const std::string& password, Sink& sink) {
  if (Status s = Check(e, password); s != Status::Ok) return s;
  char* in = Buffer(in_, inCapacity_, kReadChunk);
  char* out = Buffer(out_, outCapacity_, kChunk);
  std::int64_t at = dataOffset;
  std::size_t left = e.packedSize;
  ZipCrypto crypto(password);
  if (e.Encrypted()) {
    char header[kCryptHeader];
    if (!archive.ReadAt(at, header, kCryptHeader)) return Status::ReadError;
    if (StartDecryption(crypto, header, e) != Status::Ok) return Status::BadPassword;
    at += kCryptHeader;
    left -= kCryptHeader;
  }
  if (e.method == 0 && left != e.unpackedSize) return Status::BadData;
  z_stream z{};
  if (e.method == 8 && inflateInit2(&z, -MAX_WBITS) != Z_OK) return Status::BadData;
  struct End {
    z_stream* z;
    bool on;
    ~End() {
      if (on) inflateEnd(z);
    }
  } end{&z, e.method == 8};
  std::uint32_t crc = 0;
  std::uint64_t produced = 0;
  bool finished = e.method == 0;
  while (left > 0 || (e.method == 8 && !finished)) {
    std::size_t n = std::min(left, kReadChunk);
    if (n > 0) {
      if (!archive.ReadAt(at, in, n)) return Status::ReadError;
      if (e.Encrypted()) crypto.Decrypt(in, n);
      at += static_cast<std::int64_t>(n);
      left -= n;
    }
    if (e.method == 0) {
      crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, in, n));
      produced += n;
      if (Status s = HandOn(in, n, sink); s != Status::Ok) return s;
      continue;
    }
    z.next_in = reinterpret_cast<Bytef*>(in);
    z.avail_in = static_cast<uInt>(n);
    do {
      z.next_out = reinterpret_cast<Bytef*>(out);
      z.avail_out = static_cast<uInt>(kChunk);
      int r = inflate(&z, Z_NO_FLUSH);
      if (r != Z_OK && r != Z_STREAM_END && !(r == Z_BUF_ERROR && n == 0 && left == 0)) return Status::BadData;
      std::size_t got = kChunk - z.avail_out;
      produced += got;
      if (produced > e.unpackedSize) return Status::BadData;
      crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, out, got));
      if (got) {
        if (Status s = HandOn(out, got, sink); s != Status::Ok) return s;
      }
      if (r == Z_STREAM_END) finished = true;
      if (r == Z_BUF_ERROR) return Status::BadData;  // the data end before the stream does
    } while (!finished && (z.avail_in > 0 || z.avail_out == 0));
    if (finished) break;
  }
  if (!finished || produced != e.unpackedSize) return Status::BadData;
  return crc == e.crc ? Status::Ok : Status::CrcError;
}

}  // namespace unzeng
