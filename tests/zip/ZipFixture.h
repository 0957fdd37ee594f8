// Zip archives written byte by byte for the tests, and a component whose volume state is reachable.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ZipKeeper.h"

namespace testing_support {

struct ZipEntrySpec {
  ZipEntrySpec(std::string n, std::string d, std::uint8_t h = 0, std::uint8_t v = 20, std::string c = "", std::string x = "")
      : name(std::move(n)), data(std::move(d)), host(h), madeBy(v), comment(std::move(c)), extra(std::move(x)) {}
  std::string name;
  std::string data;
  std::uint8_t host;    // made-by host system
  std::uint8_t madeBy;  // made-by version
  std::string comment;
  std::string extra;
};

inline std::string Le16(unsigned v) { return std::string{char(v), char(v >> 8)}; }
inline std::string Le32(std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

// A stored archive; prefix goes before it (a program stub, say), with the offsets counted from
// the file's start when adjust is set and from the archive's start otherwise.
inline std::string BuildZip(const std::vector<ZipEntrySpec>& entries, const std::string& comment = "",
                            const std::string& prefix = "", bool adjust = true) {
  std::string local, central;
  std::uint32_t base = adjust ? static_cast<std::uint32_t>(prefix.size()) : 0;
  for (const auto& e : entries) {
    auto crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
    std::uint32_t offset = base + static_cast<std::uint32_t>(local.size());
    std::string common = Le16(20) + Le16(0) + Le16(0) + Le32(0x2B4A5C21) + Le32(crc) + Le32(static_cast<std::uint32_t>(e.data.size())) +
                         Le32(static_cast<std::uint32_t>(e.data.size())) + Le16(static_cast<unsigned>(e.name.size()));
    local += Le32(0x04034b50) + common + Le16(static_cast<unsigned>(e.extra.size())) + e.name + e.extra + e.data;
    central += Le32(0x02014b50) + std::string{char(e.madeBy), char(e.host)} + common + Le16(static_cast<unsigned>(e.extra.size())) +
               Le16(static_cast<unsigned>(e.comment.size())) + Le16(0) + Le16(0) + Le32(0x20) + Le32(offset) + e.name + e.extra + e.comment;
  }
  std::string end = Le32(0x06054b50) + Le16(0) + Le16(0) + Le16(static_cast<unsigned>(entries.size())) +
                    Le16(static_cast<unsigned>(entries.size())) + Le32(static_cast<std::uint32_t>(central.size())) +
                    Le32(base + static_cast<std::uint32_t>(local.size())) + Le16(static_cast<unsigned>(comment.size())) + comment;
  return prefix + local + central + end;
}

// The component with its volume state open to the tests.
class TestZipKeeper : public ZipKeeper::TZipKeeper {
 public:
  TestZipKeeper() : TZipKeeper(nullptr) {
    OnMessage = [this](TObject*, int code, const AnsiString& text) { messages.push_back(std::to_string(code) + " " + text); };
    OnDirUpdate = [this](TObject*) { ++dirUpdates; };
  }
  using TZipKeeper::diskNr_;
  using TZipKeeper::driveRoot_;
  using TZipKeeper::openFileName_;
  using TZipKeeper::volumeLabel_;
  std::vector<std::string> messages;
  int dirUpdates = 0;
};

}  // namespace testing_support
