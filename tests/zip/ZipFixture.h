// Zip archives written byte by byte for the tests, and a component whose volume state is reachable.
#pragma once

#include <zlib.h>

#include <pinforge/disks.h>
#include <pinforge/machine.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "TestMachine.h"
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

// A volume set of stored entries, as a multi-volume writer makes it: the span signature first,
// volumes of at most volumeSize bytes, headers and central records never split, data split
// wherever a volume ends, the end record on the last volume.
inline std::vector<std::string> SpannedSet(const std::vector<ZipEntrySpec>& entries, std::size_t volumeSize,
                                           const std::string& comment = "") {
  std::vector<std::string> volumes(1);
  auto put = [&](const std::string& bytes, bool splittable) {
    if (!splittable && volumes.back().size() + bytes.size() > volumeSize && !volumes.back().empty()) volumes.emplace_back();
    std::size_t done = 0;
    while (done < bytes.size()) {
      if (volumes.back().size() >= volumeSize) volumes.emplace_back();
      std::size_t n = splittable ? std::min(bytes.size() - done, volumeSize - volumes.back().size()) : bytes.size();
      volumes.back() += bytes.substr(done, n);
      done += n;
    }
  };
  auto here = [&] { return std::make_pair(static_cast<unsigned>(volumes.size() - 1), static_cast<std::uint32_t>(volumes.back().size())); };
  put(Le32(0x08074b50), false);
  std::string central;
  std::vector<std::string> centrals;
  for (const auto& e : entries) {
    auto crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
    std::string common = Le16(20) + Le16(0) + Le16(0) + Le32(0x2B4A5C21) + Le32(crc) + Le32(static_cast<std::uint32_t>(e.data.size())) +
                         Le32(static_cast<std::uint32_t>(e.data.size())) + Le16(static_cast<unsigned>(e.name.size()));
    std::string header = Le32(0x04034b50) + common + Le16(0) + e.name;
    if (volumes.back().size() + header.size() > volumeSize) volumes.emplace_back();
    auto [disk, offset] = here();
    put(header, false);
    put(e.data, true);
    centrals.push_back(Le32(0x02014b50) + std::string{char(e.madeBy), char(e.host)} + common + Le16(0) + Le16(0) + Le16(disk) +
                       Le16(0) + Le32(0x20) + Le32(offset) + e.name);
  }
  std::pair<unsigned, std::uint32_t> start{0, 0};
  std::uint32_t size = 0;
  for (std::size_t i = 0; i < centrals.size(); ++i) {
    if (volumes.back().size() + centrals[i].size() > volumeSize) volumes.emplace_back();
    if (i == 0) start = here();
    put(centrals[i], false);
    size += static_cast<std::uint32_t>(centrals[i].size());
  }
  std::string end = Le32(0x06054b50) + Le16(0) + Le16(start.first) + Le16(static_cast<unsigned>(entries.size())) +
                    Le16(static_cast<unsigned>(entries.size())) + Le32(size) + Le32(start.second) +
                    Le16(static_cast<unsigned>(comment.size())) + comment;
  if (volumes.back().size() + end.size() > volumeSize) volumes.emplace_back();
  unsigned last = static_cast<unsigned>(volumes.size() - 1);
  end.replace(4, 2, Le16(last));
  volumes.back() += end;
  return volumes;
}

// The Windows name of a test engine's folder (testengines/v150, ...).
inline std::string EngineDir(const std::string& variant) {
  return pinforge::machine::HostToWindows(std::string(PINFORGE_BIN_DIR) + "/testengines/" + variant);
}

// Leaves both engine slots empty at the end of a test.
struct Unloaded {
  ~Unloaded() {
    ZipKeeper::TZipKeeper::Unload_Zip_Eng();
    ZipKeeper::TZipKeeper::Unload_Unz_Eng();
  }
};

// Each volume as SET.ZIP on a diskette of its own, vol1, vol2, ..., labelled as the set's
// volumes are; none inserted. False when a disk could not be made.
inline bool PutOnDiskettes(const std::filesystem::path& machineRoot, const std::vector<std::string>& set) {
  for (std::size_t i = 0; i < set.size(); ++i) {
    std::string name = "vol" + std::to_string(i + 1);
    if (!pinforge::disks::Create({name, DiskSpan::VolumeLabelOf(static_cast<int>(i)), 0, 1457664, true}).empty()) return false;
    WriteFile(machineRoot / "disks" / name / "files" / "SET.ZIP", set[i]);
  }
  return true;
}

// The messages that hold a text.
inline std::vector<std::string> Matching(const std::vector<std::string>& messages, const std::string& part) {
  std::vector<std::string> out;
  for (const auto& m : messages)
    if (m.find(part) != std::string::npos) out.push_back(m);
  return out;
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
