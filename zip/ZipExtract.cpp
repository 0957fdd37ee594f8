// Extraction through the decompression engine, and the join of a volume set into one archive
// that the engine can read.
#include <vcl/Forms.h>

#include "ZipKeeper.h"

namespace ZipKeeper {
namespace {

constexpr int kPlaceholderLength = 79;
constexpr int kJoinBuffer = 8192;


}  // namespace

void TZipKeeper::Extract() {
  errCode_ = 0;
  successCount_ = 0;
  lastMessage_.clear();
  if (!FileExists(zipFileName_)) {
    ShowZipMessage(10102, "");
    return;
  }
  Cancel = false;
  if (unzBusy_) return;
  if (Unattended && AddOptions.Contains(AddEncrypt) && Password.empty()) {
    Password = AnsiString(kPlaceholderLength, 'x');
    ShowZipMessage(10502, "");
  }
  bool loadedHere = false;
  if (!UnzEngineLoaded()) {
    Load_Unz_Eng();
    loadedHere = UnzEngineLoaded();
    if (!loadedHere) return;
  }
  // In full: the engine reads it after the current directory may have changed to ExtrBaseDir.
  AnsiString archive = ExpandFileName(zipFileName_);
  AnsiString joined;
  if (lastDisk_ != 0) {
    if (TempDir.empty()) {
      char temp[MAX_PATH + 1];
      DWORD n = GetTempPathA(sizeof temp, temp);
      joined = n && n < sizeof temp ? AnsiString(temp, n) : AnsiString();
    } else {
      joined = AppendSlash(TempDir);
    }
    if (ReadSpan(zipFileName_, joined) != 0) {
      if (loadedHere) Unload_Unz_Eng();
      return;
    }
    archive = joined;
  }
  unzBusy_ = true;
  if (!ExtrBaseDir.empty() && DirectoryExists(ExtrBaseDir)) SetCurrentDir(ExtrBaseDir);
  std::unique_ptr<EngineCommand> record;
  try {
    int version = GetUnzVers();
    record = BuildUnzRecord(version, archive);
    if (!record) throw EZipKeeper(10501, true);  // no memory, or more specifications than the layout holds
    unzRecord_ = record.get();
    if (CallBack::ExecFunction exec = UnzEngExec()) successCount_ = exec(record->Data());
    if (!joined.empty()) {
      DeleteFileA(joined.c_str());
      joined.clear();
    }
  } catch (...) {
    ReportQuietly([&] { ShowZipMessage(10501, ""); });
    if (!joined.empty()) DeleteFileA(joined.c_str());
  }
  fspecArgs_.Clear();
  unzRecord_ = nullptr;
  record.reset();
  if (loadedHere) Unload_Unz_Eng();
  Cancel = false;
  unzBusy_ = false;
}

void TZipKeeper::WriteJoin(const void* buffer, int length, int error) {
  if (FileWrite(outFile_, buffer, length) != length) throw EZipKeeper(error, true);
  if (reportWrites_ && OnProgress) OnProgress(this, ptItemBytes, "", length);
}

bool TZipKeeper::AtVolumeEnd() {
  std::int64_t at = FileSeek64(inFile_, 0, 1);
  return at == FileSeek64(inFile_, 0, 2);
}

void TZipKeeper::RWJoinData(char* buffer, std::int64_t length, int error) {
  while (length > 0) {
    int want = static_cast<int>(std::min<std::int64_t>(length, kJoinBuffer));
    int got = FileRead(inFile_, buffer, want);
    if (got < 0) got = 0;
    if (got < want) {
      if (!AtVolumeEnd()) throw EZipKeeper(error, true);
      GetNewDisk(diskNr_ + 1);
    }
    if (got > 0) WriteJoin(buffer, got, error);
    length -= got;
  }
}

int TZipKeeper::ReadSpan(const AnsiString& lastVolume, AnsiString& outPath) {
  unzBusy_ = true;
  driveRoot_ = ExtractFileDrive(ExpandFileName(lastVolume)) + "\\";
  diskNr_ = -1;
  askForDisk_ = false;
  reportWrites_ = false;
  openFileName_ = lastVolume;
  inFile_ = -1;
  Screen->SetCursor(crHourGlass);
  int result = 0;
  std::vector<DiskSpan::MDZipData> records;
  try {
    std::vector<char> buffer(kJoinBuffer);
    if (ExtractFileName(outPath).empty()) {
      char temp[MAX_PATH + 1];
      if (GetTempFileNameA(outPath.c_str(), "zip", 0, temp) == 0) throw EZipKeeper(11027, true);
      outPath = temp;
      DeleteFileA(temp);
    } else {
      EraseFile(outPath, HowToDelete);
    }
    outPath = ChangeFileExt(outPath, ".zip");
    outFile_ = FileCreate(outPath);
    if (outFile_ == -1) throw EZipKeeper(11009, true);

    DiskSpan::ZipEndOfCentral end{};
    UINT driveType = DRIVE_REMOVABLE;
    for (;;) {
      if (driveType == DRIVE_FIXED || driveType == DRIVE_REMOTE) {
        std::string base = ChangeFileExt(ExtractFileName(openFileName_), "");
        int number = 0;
        if (base.size() < 3 || !TryStrToInt(base.substr(base.size() - 3), number)) number = 0;
        if (number == 1) throw EZipKeeper(11037, true);
        throw EZipKeeper(11038, number);
      }
      driveType = CheckForDisk();
      askForDisk_ = true;
      if (CheckIfLastDisk(end, false)) break;
      if (inFile_ != -1) FileClose(inFile_);
      inFile_ = -1;
    }
    askForDisk_ = false;
    sourceDate_ = FileGetDate(inFile_);
    lastDisk_ = end.ThisDisk;
    diskNr_ = end.ThisDisk;
    if (end.CentralDisk != end.ThisDisk) GetNewDisk(end.CentralDisk);
    if (FileSeek64(inFile_, end.CentralDirOffset, 0) != end.CentralDirOffset) throw EZipKeeper(11008, true);

    // First pass: what each entry is called and how much data it has.
    auto readCentral = [&](unsigned char* header) {
      int got = FileRead(inFile_, header, 46);
      while (got < 46) {
        if (diskNr_ >= lastDisk_ || !AtVolumeEnd()) throw EZipKeeper(11013, true);
        GetNewDisk(diskNr_ + 1);
        got = FileRead(inFile_, header, 46);
      }
      if (DiskSpan::Field32(header) != DiskSpan::kCentralSignature) throw EZipKeeper(11015, true);
    };
    records = DiskSpan::AllocSpanMem(end.TotalEntries);
    std::int64_t total = 0;
    for (auto& r : records) {
      unsigned char header[46];
      readCentral(header);
      r.NameLength = DiskSpan::Field16(header + 28);
      r.EntryName.assign(r.NameLength, '\0');
      ReadFully(r.EntryName.data(), r.NameLength, 11017);
      r.PackedSize = DiskSpan::Field32(header + 20);
      std::uint16_t extra = DiskSpan::Field16(header + 30), comment = DiskSpan::Field16(header + 32);
      total += r.NameLength + static_cast<std::int64_t>(r.PackedSize) + extra + comment;
      if ((extra || comment) && FileSeek64(inFile_, extra + comment, 1) < 0) throw EZipKeeper(11008, true);
    }

    GetNewDisk(0);
    reportWrites_ = true;
    if (OnProgress) {
      OnProgress(this, ptTotalItems, "", end.TotalEntries);
      OnProgress(this, ptTotalBytes, "", static_cast<int>(std::min<std::int64_t>(total, INT32_MAX)));
    }
    unsigned char signature[4];
    if (FileRead(inFile_, signature, 4) != 4 || DiskSpan::Field32(signature) != DiskSpan::kSpanSignature) throw EZipKeeper(11031, true);

    // The entries, in file order, copied into the joined file.
    for (int i = 0; i < end.TotalEntries; ++i) {
      unsigned char local[30];
      int got = FileRead(inFile_, local, 30);
      while (got < 30) {
        if (!AtVolumeEnd()) throw EZipKeeper(11012, true);
        GetNewDisk(diskNr_ + 1);
        got = FileRead(inFile_, local, 30);
      }
      if (DiskSpan::Field32(local) != DiskSpan::kLocalSignature) throw EZipKeeper(11014, true);
      std::uint16_t nameLength = DiskSpan::Field16(local + 26), extra = DiskSpan::Field16(local + 28), flags = DiskSpan::Field16(local + 6);
      std::string name(nameLength, '\0');
      ReadFully(name.data(), nameLength, 11016);
      int k = FindZipEntry(end.TotalEntries, records, name.data(), nameLength);
      auto& r = records[static_cast<std::size_t>(k)];
      r.DiskStart = 0;
      r.LocalHeaderOffset = static_cast<std::uint32_t>(FileSeek64(outFile_, 0, 1));
      AnsiString shown = ReplaceForwardSlash(name.c_str());
      if (OnMessage) OnMessage(this, 0, LoadZipStr(10105, "Copying: ") + shown);
      std::uint32_t packed = DiskSpan::Field32(local + 18) ? DiskSpan::Field32(local + 18) : r.PackedSize;
      if (OnProgress)
        OnProgress(this, ptNewItem, shown,
                   static_cast<int>(std::min<std::int64_t>(30 + nameLength + extra + static_cast<std::int64_t>(r.PackedSize) + ((flags & 8) ? 16 : 0), INT32_MAX)));
      WriteJoin(local, 30, 11028);
      WriteJoin(name.data(), nameLength, 11028);
      RWJoinData(buffer.data(), extra, 11018);
      RWJoinData(buffer.data(), packed, 11021);
      if (flags & 8) RWJoinData(buffer.data(), 16, 11020);
    }
    reportWrites_ = false;

    // Second pass: the central directory again, pointing at the entries' new places.
    if (diskNr_ != end.CentralDisk) GetNewDisk(end.CentralDisk);
    if (FileSeek64(inFile_, end.CentralDirOffset, 0) != end.CentralDirOffset) throw EZipKeeper(11008, true);
    std::int64_t centralStart = -1;
    for (int i = 0; i < end.TotalEntries; ++i) {
      unsigned char header[46];
      readCentral(header);
      std::uint16_t nameLength = DiskSpan::Field16(header + 28), extra = DiskSpan::Field16(header + 30), comment = DiskSpan::Field16(header + 32);
      std::string name(nameLength, '\0');
      ReadFully(name.data(), nameLength, 11017);
      if (centralStart < 0) centralStart = FileSeek64(outFile_, 0, 1);
      int k = FindZipEntry(end.TotalEntries, records, name.data(), nameLength);
      std::uint32_t offset = records[static_cast<std::size_t>(k)].LocalHeaderOffset;
      std::uint16_t disk = 0;
      std::memcpy(header + 42, &offset, 4);
      std::memcpy(header + 34, &disk, 2);
      WriteJoin(header, 46, 11029);
      WriteJoin(name.data(), nameLength, 11029);
      RWJoinData(buffer.data(), extra, 11019);
      RWJoinData(buffer.data(), comment, 11022);
    }
    end.CentralDisk = 0;
    end.ThisDisk = 0;
    if (centralStart >= 0) end.CentralDirOffset = static_cast<std::uint32_t>(centralStart);
    // The comment follows the end record on the last volume.
    if (diskNr_ != lastDisk_) GetNewDisk(lastDisk_);
    std::int64_t endAt = endRecordOffset_;
    if (FileSeek64(inFile_, endAt + 22, 0) != endAt + 22) throw EZipKeeper(11008, true);
    WriteJoin(&end, 22, 11030);
    RWJoinData(buffer.data(), end.CommentLength, 11023);
  } catch (const EZipKeeper& e) {
    ReportQuietly([&] { ShowExceptionError(e); });
    result = -7;
  } catch (const std::bad_alloc&) {
    ReportQuietly([&] { ShowZipMessage(10103, ""); });
    result = -8;
  } catch (...) {
    ReportQuietly([&] { ShowZipMessage(11024, ""); });
    result = -9;
  }
  reportWrites_ = false;
  ReportQuietly([&] {
    if (OnProgress) OnProgress(this, ptBatchEnd, "", 0);
  });
  DiskSpan::DeleteSpanMem(records);
  if (inFile_ != -1) FileClose(inFile_);
  inFile_ = -1;
  if (outFile_ != -1) {
    FileSetDate(outFile_, sourceDate_);
    FileClose(outFile_);
  }
  outFile_ = -1;
  if (result != 0) {
    if (!outPath.empty()) DeleteFileA(outPath.c_str());
    outPath.clear();
  }
  unzBusy_ = false;
  Screen->SetCursor(crDefault);
  return result;
}

}  // namespace ZipKeeper
