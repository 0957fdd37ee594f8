// The archive directory reader: the end record is found from the end of the file, the central
// directory walked into DirEntries, and every failure reported, never thrown to the caller.
#include <vcl/Forms.h>

#include <cstring>
#include <new>

#include "ZipKeeper.h"

namespace ZipKeeper {
namespace {

constexpr int kWindow = 65557;  // the largest comment and the record
constexpr int kNameBuffer = 260;


}  // namespace

void TZipKeeper::ReadFully(void* buffer, int count, int error) {
  if (count > 0 && FileRead(inFile_, buffer, count) != count) throw EZipKeeper(error, true);
}

bool TZipKeeper::CheckIfLastDisk(DiskSpan::ZipEndOfCentral& end, bool mustExist) {
  rawComment_.clear();
  endRecordOffset_ = 0;
  inFile_ = FileOpen(openFileName_, fmOpenRead | fmShareDenyWrite);
  if (inFile_ == -1) {
    if (mustExist) throw EZipKeeper(11001, true);
    ShowZipMessage(11002, "");
    return false;
  }
  int labelNumber = DiskSpan::LabelNumber(volumeLabel_);
  unsigned char head[8];
  bool firstVolume = FileRead(inFile_, head, 8) == 8 && DiskSpan::Field32(head) == DiskSpan::kSpanSignature && DiskSpan::Field32(head + 4) == DiskSpan::kLocalSignature;
  if (firstVolume) isSpanned_ = true;

  // Shorter than an end record, or past what 32-bit offsets reach: no archive here.
  std::int64_t size = FileSeek64(inFile_, 0, 2);
  if (size < 22 || size > INT32_MAX) {
    if (mustExist) throw EZipKeeper(11036, true);
    return false;
  }
  archiveSize_ = archiveFileSize_ = static_cast<int>(size);
  FileSeek64(inFile_, size - 22, 0);
  if (FileRead(inFile_, &end, 22) == 22 && end.Signature == DiskSpan::kEndSignature && end.CommentLength == 0) {
    endRecordOffset_ = archiveSize_ - 22;
    return true;
  }
  try {
    int n = std::min(archiveSize_, kWindow);
    if (FileSeek64(inFile_, size - n, 0) != size - n) throw EZipKeeper(11008, true);
    std::string window(static_cast<std::size_t>(n), '\0');
    ReadFully(window.data(), n, 11011);
    for (int pos = n - 23; pos >= 0; --pos) {
      if (DiskSpan::Field32(window.data() + pos) != DiskSpan::kEndSignature) continue;
      endRecordOffset_ = archiveSize_ - n + pos;
      std::memcpy(&end, window.data() + pos, 22);
      int e = pos + 22 + end.CommentLength;
      if (e > n) throw EZipKeeper(11036, true);  // the comment would run past the end of the file
      if (e < n) {
        archiveSize_ -= n - e;
        bool padding = n - e < 512 && archiveFileSize_ % 512 == 0 &&
                       window.find_first_not_of('\0', static_cast<std::size_t>(e)) == std::string::npos;
        if (!padding) ShowZipMessage(10204, "");
      }
      if (end.CommentLength) rawComment_ = window.substr(static_cast<std::size_t>(pos) + 22, end.CommentLength);
      return true;
    }
  } catch (...) {
    if (mustExist) throw;
    return false;
  }
  if (!mustExist) return false;
  if (!firstVolume && labelNumber != 0) throw EZipKeeper(11038, labelNumber);
  if (firstVolume) throw EZipKeeper(labelNumber == 1 ? 11037 : 11045, true);
  throw EZipKeeper(11036, true);
}

void TZipKeeper::ReadCentralDirectory(const DiskSpan::ZipEndOfCentral& end, std::int64_t central) {
  std::int64_t dataStart = archiveSize_;
  // Room for the entries that the directory's bytes can hold at most, so a false count costs nothing.
  dirEntries_.reserve(std::min<std::size_t>(end.TotalEntries, static_cast<std::size_t>(archiveSize_ - central) / 46 + 1));
  for (int i = 0; i < end.TotalEntries; ++i) {
    unsigned char header[46];
    int got = FileRead(inFile_, header, 46);
    while (got < 46) {
      if (diskNr_ >= end.ThisDisk) throw EZipKeeper(11013, true);
      GetNewDisk(diskNr_ + 1);
      got = FileRead(inFile_, header, 46);
    }
    if (DiskSpan::Field32(header) != DiskSpan::kCentralSignature) throw EZipKeeper(11015, true);
    ZipDirEntryHead head;
    std::memcpy(&head, header + 4, 42);
    if (head.NameLength >= kNameBuffer) throw EZipKeeper(11017, true);  // does not fit the name buffer
    char name[kNameBuffer];
    ReadFully(name, head.NameLength, 11017);
    name[head.NameLength] = 0;
    lastHostSystem_ = head.HostSystem;
    lastMadeByVersion_ = head.VersionMadeBy;
    ConvertOem2Iso(name);
    auto entry = std::make_unique<ZipDirEntry>();
    static_cast<ZipDirEntryHead&>(*entry) = head;
    entry->EntryName = name;
    for (char& c : entry->EntryName)
      if (c == '/') c = '\\';
    if (head.ExtraLength && FileSeek64(inFile_, head.ExtraLength, 1) < 0) throw EZipKeeper(10201, true);
    if (head.CommentLength) {
      std::string comment(head.CommentLength, '\0');
      ReadFully(comment.data(), head.CommentLength, 11022);
      ConvertOem2Iso(comment.data());
      entry->EntryComment = comment.c_str();
    }
    dataStart = std::min<std::int64_t>(dataStart, head.LocalHeaderOffset);
    dirEntries_.push_back(std::move(entry));
  }
  dataStartOffset_ = static_cast<int>(dataStart + (central - end.CentralDirOffset));
}

void TZipKeeper::List() {
  if (ComponentState() & csDesigning) return;
  FreeZipDirEntryRecords();
  archiveFileSize_ = centralOffset_ = dataStartOffset_ = 0;
  isSpanned_ = false;
  if (!FileExists(zipFileName_)) {
    if (OnDirUpdate) OnDirUpdate(this);
    return;
  }
  Screen->SetCursor(crHourGlass);
  bool ok = false;
  try {
    openFileName_ = zipFileName_;
    driveRoot_ = ExtractFileDrive(ExpandFileName(openFileName_)) + "\\";
    if (!IsDiskPresent()) throw EZipKeeper(11004, driveRoot_);
    DiskSpan::ZipEndOfCentral end{};
    CheckIfLastDisk(end, true);
    lastDisk_ = end.ThisDisk;
    if (end.ThisDisk > 0) isSpanned_ = true;
    std::int64_t central = static_cast<std::int64_t>(archiveSize_) - end.CentralSize - 22 - end.CommentLength;
    if (end.ThisDisk != end.CentralDisk) {
      // The directory starts on an earlier volume: the last volume's length says nothing of
      // where, so the recorded offset on that volume is taken.
      GetNewDisk(end.CentralDisk);
      central = end.CentralDirOffset;
    }
    offsetMismatch_ = end.CentralDirOffset != central;
    if (offsetMismatch_) ShowZipMessage(10203, "");
    if (central < 0 || FileSeek64(inFile_, central, 0) != central) throw EZipKeeper(10201, true);
    centralOffset_ = static_cast<int>(central);
    ReadCentralDirectory(end, central);
    lastDisk_ = end.ThisDisk;
    ok = true;
  } catch (const EZipKeeper& e) {
    ReportQuietly([&] { ShowExceptionError(e); });
  } catch (const std::bad_alloc&) {
    ReportQuietly([&] { ShowZipMessage(10103, ""); });
  } catch (...) {
    ReportQuietly([&] { ShowZipMessage(10202, ""); });
  }
  if (!ok) {
    zipFileName_.clear();
    dataStartOffset_ = 0;
  }
  Screen->SetCursor(crDefault);
  if (inFile_ != -1) FileClose(inFile_);
  inFile_ = -1;
  if (OnDirUpdate) OnDirUpdate(this);
}

}  // namespace ZipKeeper
