// UNZENG.DLL: the decompression engine behind the component's interface. It reads the command
// record (either layout), unpacks the selected entries relative to the current directory through
// the platform's file layer, and reports through the record's callback.
#include <win32/windows.h>

#include <pinforge/addr32.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>
#include <unordered_set>
#include <vector>

#include "Archive.h"
#include "CallBack.h"
#include "CommandRecords.h"
#include "Decoder.h"
#include "Names.h"
#include "Writer.h"

namespace unzeng {
namespace {

constexpr std::int32_t kVersion = 160;
constexpr unsigned kWriterThreads = 2;

// The engine's error codes, in the low byte of a message's code.
constexpr std::int32_t kArchiveError = 0x10, kRefusedName = 0x11, kOverlap = 0x12, kUnsupported = 0x13,
                       kPassword = 0x14, kCrcError = 0x15, kDamaged = 0x16, kWriteError = 0x17, kCancelled = 0x18;

struct Options {
  std::uint32_t caller = 0;
  CallBack::CallbackFunction callback = nullptr;
  bool trace = false, verbose = false, test = false, update = false, freshen = false, dirNames = false, overwrite = false;
  CodePage codePage = CodePage::Auto;
  std::string password, archive;
  std::vector<std::string> specs;
};

std::string TextAt(std::uint32_t field) {
  const char* p = pinforge::addr32::FromField<const char>(field);
  return p ? p : "";
}

template <class T>
T Field(const unsigned char* record, std::size_t offset) {
  T v;
  std::memcpy(&v, record + offset, sizeof v);
  return v;
}

// Both layouts share the first 72 bytes; the newer ends with 7 at offset 144, the older has it at 72.
bool ReadRecord(const void* data, Options& o) {
  using ZipKeeper::UnzCommandRecord;
  const auto* r = static_cast<const unsigned char*>(data);
  bool newer = Field<std::uint32_t>(r, offsetof(UnzCommandRecord, EndMarker)) == ZipKeeper::kEndMarker &&
               Field<std::uint32_t>(r, offsetof(UnzCommandRecord, FileSpecs)) != ZipKeeper::kEndMarker;
  bool older = !newer && Field<std::uint32_t>(r, 72) == ZipKeeper::kEndMarker;
  if (!newer && !older) return false;
  o.caller = Field<std::uint32_t>(r, offsetof(CallBack::EngineHead, Caller));
  o.callback = reinterpret_cast<CallBack::CallbackFunction>(
      pinforge::addr32::FromField(Field<std::uint32_t>(r, offsetof(CallBack::EngineHead, Callback))));
  o.trace = Field<std::uint32_t>(r, offsetof(CallBack::EngineHead, Trace)) != 0;
  auto mode = Field<std::uint16_t>(r, offsetof(UnzCommandRecord, CodePageMode));
  o.codePage = mode == 1 ? CodePage::None : mode == 2 ? CodePage::Oem : CodePage::Auto;
  o.password = TextAt(Field<std::uint32_t>(r, offsetof(UnzCommandRecord, PasswordText)));
  o.test = Field<std::uint32_t>(r, offsetof(UnzCommandRecord, Test)) != 0;
  o.verbose = Field<std::uint32_t>(r, offsetof(UnzCommandRecord, VerboseFlag)) != 0;
  o.update = Field<std::uint32_t>(r, offsetof(UnzCommandRecord, Update)) != 0;
  o.freshen = Field<std::uint32_t>(r, offsetof(UnzCommandRecord, Freshen)) != 0;
  o.dirNames = Field<std::uint32_t>(r, offsetof(UnzCommandRecord, DirNames)) != 0;
  o.overwrite = Field<std::uint32_t>(r, offsetof(UnzCommandRecord, Overwrite)) != 0;
  o.archive = TextAt(Field<std::uint32_t>(r, offsetof(UnzCommandRecord, ArchiveName)));
  auto count = Field<std::uint32_t>(r, offsetof(UnzCommandRecord, SpecCount));
  if (newer) {
    const auto* specs = pinforge::addr32::FromField<const ZipKeeper::UnzFileSpec>(Field<std::uint32_t>(r, offsetof(UnzCommandRecord, FileSpecs)));
    for (std::uint32_t i = 0; specs && i < count; ++i) o.specs.push_back(TextAt(specs[i].FileSpec));
  } else {
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(count, ZipKeeper::kOldLayoutSpecs); ++i)
      o.specs.push_back(TextAt(Field<std::uint32_t>(r, 76 + 4 * i)));
  }
  o.specs.erase(std::remove(o.specs.begin(), o.specs.end(), std::string()), o.specs.end());
  return true;
}


std::string ErrorText(DWORD error) { return "error " + std::to_string(error); }

class Extraction;

// A large entry's bytes as they are decoded: written to its file (none in test mode), each block
// reported.
class StreamSink : public Sink {
 public:
  StreamSink(Extraction& x, OutputFile* out) : x_(x), out_(out) {}
  bool Write(const char* data, std::size_t size) override { return !out_ || out_->Write(data, size); }
  bool Progress(std::size_t bytes) override;

 private:
  Extraction& x_;
  OutputFile* out_;
};

class Extraction {
 public:
  explicit Extraction(Options o) : o_(std::move(o)) {}

  int Run() {
    if (std::string error = archive_.Open(o_.archive); !error.empty()) {
      Message(kArchiveError, error);
      Call(3, 0, 0, "");
      return 0;
    }
    const auto& entries = archive_.Entries();
    Trace("archive " + o_.archive + ", " + std::to_string(entries.size()) + " entries");
    std::vector<std::string> names(entries.size());
    std::vector<std::size_t> selected;
    std::int64_t bytes = 0;
    std::int32_t files = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      names[i] = DecodeName(entries[i], o_.codePage);
      if (!o_.specs.empty() &&
          std::none_of(o_.specs.begin(), o_.specs.end(), [&](const std::string& s) { return MatchSpec(s, names[i]); }))
        continue;
      selected.push_back(i);
      if (!IsFolder(entries[i], names[i])) {
        ++files;
        bytes += entries[i].unpackedSize;
      }
    }
    std::vector<bool> overlapping = FindOverlaps(entries);
    Call(5, 0, files, "");
    Call(6, 0, static_cast<std::int32_t>(std::min<std::int64_t>(bytes, INT32_MAX)), "");
    for (std::size_t i : selected) {
      if (cancelled_) break;
      One(entries[i], names[i], overlapping[i]);
      Finished();
    }
    if (cancelled_) writers_.DropWaiting();  // not begun: no file of theirs exists
    writers_.Drain();
    Finished();
    Call(3, 0, 0, "");
    return success_;
  }

  // Calls back; false once the caller has asked to stop.
  bool Call(std::uint32_t action, std::int32_t error, std::int32_t size, const std::string& text) {
    if (!o_.callback) return !cancelled_;
    CallBack::ZCallBackStruct record{};
    record.Caller = o_.caller;
    record.ActionCode = action;
    record.ErrorCode = error;
    record.FileSize = size;
    std::size_t n = std::min(text.size(), sizeof record.FileNameOrMsg - 1);
    std::memcpy(record.FileNameOrMsg, text.data(), n);
    if (o_.callback(&record) == 1) cancelled_ = true;
    return !cancelled_;
  }
  void Message(std::int32_t code, const std::string& text) { Call(4, code, 0, text); }
  void Trace(const std::string& text) {
    if (o_.trace) Message(0, "Trace: " + text);
  }

 private:
  static bool IsFolder(const Entry& e, const std::string& name) {
    return !name.empty() && name.back() == '\\' && e.unpackedSize == 0;
  }

  // An entry whose local header starts inside the data of an entry before it in the file shares
  // that entry's bytes; such entries are refused (the first of a pair is kept).
  std::vector<bool> FindOverlaps(const std::vector<Entry>& entries) const {
    std::vector<std::size_t> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return entries[a].localOffset < entries[b].localOffset; });
    std::vector<bool> overlapping(entries.size());
    std::int64_t reach = -1;
    for (std::size_t i : order) {
      const Entry& e = entries[i];
      if (e.localOffset < reach) {
        overlapping[i] = true;
        continue;
      }
      // An entry that claims more than the archive holds fails on its own and claims nothing.
      std::int64_t end = e.localOffset + 30 + static_cast<std::int64_t>(e.packedSize);
      if (end <= archive_.CentralStart()) reach = end;
    }
    return overlapping;
  }

  void One(const Entry& e, const std::string& name, bool overlapping) {
    std::string refused;
    std::string path = SafeRelativeName(name, refused);
    if (!refused.empty()) {
      Message(kRefusedName, "Refused entry " + name + ": " + refused);
      return;
    }
    if (path.empty()) return;  // the folder itself ("./"), which exists
    if (overlapping) {
      Message(kOverlap, "Refused entry " + name + ": its data overlap those of another entry");
      return;
    }
    bool folder = IsFolder(e, name);
    if (!o_.dirNames) {
      if (folder) return;
      path = path.substr(path.find_last_of('\\') + 1);
    }
    if (folder) {
      if (!o_.test) EnsureFolder(path);
      return;
    }
    Trace("entry " + name + ", method " + std::to_string(e.method) + ", " + std::to_string(e.packedSize) + " -> " +
          std::to_string(e.unpackedSize) + " bytes");
    bool replace = o_.overwrite;
    if (!o_.test && (o_.freshen || o_.update)) {
      int age = Age(e, path);
      if (age == kMissing && o_.freshen) return;  // freshen: only files that are there
      if (age == kNotOlder) {
        if (o_.verbose) Message(0, "Kept the newer or same file " + path);
        return;
      }
      replace = true;
    }
    if (!Call(1, 0, static_cast<std::int32_t>(std::min<std::uint32_t>(e.unpackedSize, INT32_MAX)), path)) return;
    if (!Decoder::Supported(e)) {
      Message(kUnsupported, "Cannot unpack " + path + ": compression method " + std::to_string(e.method) + " is not supported");
      return;
    }
    std::int64_t offset = 0;
    if (std::string where = archive_.DataOffset(e, offset); !where.empty()) {
      Message(kDamaged, "Cannot unpack " + path + ": " + where);
      return;
    }
    if (o_.test) {
      Status status;
      if (Decoder::FitsWhole(e)) {
        Block block;
        status = DecodeWhole(e, offset, block);
        writers_.Release(std::move(block));
      } else {
        StreamSink sink(*this, nullptr);
        status = decoder_.Stream(archive_, e, offset, o_.password, sink);
      }
      if (Report(status, path, 0)) {
        ++success_;
        if (o_.verbose) Message(0, "Tested file " + path + " OK");
      }
      return;
    }
    auto slash = path.find_last_of('\\');
    if (slash != std::string::npos && !EnsureFolder(path.substr(0, slash))) return;
    if (Decoder::FitsWhole(e)) {
      // Decoded and checked here; created and written by a writer thread meanwhile.
      WriteJob job;
      if (!Report(DecodeWhole(e, offset, job.block), path, 0)) {
        writers_.Release(std::move(job.block));
        return;
      }
      job.path = path;
      job.replace = replace;
      job.date = FileDate(e);
      job.size = e.unpackedSize;
      writers_.Submit(std::move(job));
      return;
    }
    writers_.Drain();  // a large file is streamed here, after what is queued
    Finished();
    OutputFile out(path, replace);
    StreamSink sink(*this, &out);
    Status status = decoder_.Stream(archive_, e, offset, o_.password, sink);
    if (out.Kept()) {
      Message(0, "Kept the existing file " + path);
      return;
    }
    if (status == Status::Ok && !out.Finish(FileDate(e))) status = Status::WriteError;
    if (!Report(status, path, out.Error())) return;
    ++success_;
    if (o_.verbose) Message(0, "Unzipped file " + path);
  }

  // Decodes an entry into a block from the writers' pool and reports its bytes.
  Status DecodeWhole(const Entry& e, std::int64_t offset, Block& block) {
    block = writers_.Acquire(e.unpackedSize);
    Status status = decoder_.DecodeWhole(archive_, e, offset, o_.password, block.data.get());
    if (status == Status::Ok && !ReportBlocks(e.unpackedSize)) status = Status::Cancelled;
    return status;
  }

  // Reports the bytes of a decoded file in blocks; false once the caller has asked to stop.
  bool ReportBlocks(std::size_t size) {
    constexpr std::size_t kBlock = 1u << 20;
    for (std::size_t done = 0; done < size; done += kBlock)
      if (!Call(2, 0, static_cast<std::int32_t>(std::min(kBlock, size - done)), "")) return false;
    return true;
  }

  // Reports the files the writers have finished.
  void Finished() {
    for (const WriteResult& r : writers_.TakeResults()) {
      if (r.outcome == WriteResult::Kept) {
        Message(0, "Kept the existing file " + r.path);
      } else if (r.outcome == WriteResult::Failed) {
        Message(kWriteError, "Cannot write " + r.path + " (" + ErrorText(r.error) + ")");
      } else {
        ++success_;
        if (o_.verbose) Message(0, "Unzipped file " + r.path);
      }
    }
  }

  // Reports a failed entry; whether it went well.
  bool Report(Status status, const std::string& path, DWORD writeError) {
    switch (status) {
      case Status::Ok: return true;
      case Status::CrcError: Message(kCrcError, "CRC error in " + path + ": its data are damaged"); break;
      case Status::BadData: Message(kDamaged, "Damaged data in " + path); break;
      case Status::NoPassword: Message(kPassword, "No password given for the encrypted entry " + path); break;
      case Status::BadPassword: Message(kPassword, "Wrong password for " + path); break;
      case Status::Unsupported: Message(kUnsupported, "Cannot unpack " + path + ": its method is not supported"); break;
      case Status::ReadError: Message(kDamaged, "Cannot read the data of " + path + ": the archive is truncated"); break;
      case Status::WriteError: Message(kWriteError, "Cannot write " + path + " (" + ErrorText(writeError) + ")"); break;
      case Status::Cancelled: Message(kCancelled, "Cancelled while unpacking " + path); break;
    }
    return false;
  }

  static constexpr int kMissing = 0, kOlder = 1, kNotOlder = 2;
  // How the file on disk stands against the entry, by their DOS times.
  int Age(const Entry& e, const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(path.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return kMissing;
    FindClose(h);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return kNotOlder;
    FILETIME local;
    WORD date = 0, time = 0;
    FileTimeToLocalFileTime(&found.ftLastWriteTime, &local);
    FileTimeToDosDateTime(&local, &date, &time);
    std::uint32_t file = static_cast<std::uint32_t>(date) << 16 | time;
    std::uint32_t entry = static_cast<std::uint32_t>(e.dosDate) << 16 | e.dosTime;
    return entry > file ? kOlder : kNotOlder;
  }

  static FILETIME FileDate(const Entry& e) {
    FILETIME ft{};
    if (e.hasUtcTime) {
      std::uint64_t t = static_cast<std::uint64_t>(e.utcTime + 11644473600LL) * 10000000ULL;
      ft.dwLowDateTime = static_cast<DWORD>(t);
      ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
      return ft;
    }
    FILETIME local{};
    if (DosDateTimeToFileTime(e.dosDate, e.dosTime, &local)) LocalFileTimeToFileTime(&local, &ft);
    return ft;
  }

  // Makes the folder and those above it; a failure is reported.
  bool EnsureFolder(const std::string& path) {
    std::size_t pos = 0;
    while (pos != std::string::npos) {
      pos = path.find('\\', pos + 1);
      std::string part = path.substr(0, pos);
      std::string key = FoldedName(part);
      if (folders_.count(key)) continue;
      if (!CreateDirectoryA(part.c_str(), nullptr)) {
        DWORD attrs = GetFileAttributesA(part.c_str());
        if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
          DWORD error = attrs == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_ALREADY_EXISTS;
          Message(kWriteError, "Cannot create the folder " + path + " (" + ErrorText(error) + ")");
          return false;
        }
      }
      folders_.insert(key);
    }
    return true;
  }

  friend class StreamSink;
  Options o_;
  Archive archive_;
  Decoder decoder_;
  Writers writers_{kWriterThreads};
  std::unordered_set<std::string> folders_;
  int success_ = 0;
  bool cancelled_ = false;
};

bool StreamSink::Progress(std::size_t bytes) { return x_.Call(2, 0, static_cast<std::int32_t>(bytes), ""); }

}  // namespace
}  // namespace unzeng

extern "C" {

__attribute__((visibility("default"))) std::int32_t GetUnzEngVersion() { return unzeng::kVersion; }

__attribute__((visibility("default"))) std::int32_t UnzEngExec(void* record) {
  unzeng::Options options;
  if (!record || !unzeng::ReadRecord(record, options)) return 0;
  try {
    unzeng::Extraction extraction(std::move(options));
    return extraction.Run();
  } catch (const std::exception&) {
    return 0;  // out of memory: nothing more can be done or said
  }
}

}  // extern "C"
