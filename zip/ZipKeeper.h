// TZipKeeper: the zip archive component. It lists archives itself and hands compression and
// decompression to the engine libraries; this unit holds the component, its messages and the
// archive directory reader.
#pragma once

#include <win32/windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include <vcl/Classes.h>

#include "CallBack.h"
#include "CommandRecords.h"
#include "DiskSpan.h"

namespace ZipShellFormat {
class TSHFormatThread;
}

namespace ZipKeeper {

enum AddOptsEnum { AddDirNames, AddRecurseDirs, AddMove, AddFreshen, AddUpdate, AddZipTime, AddForceDOS,
                   AddHiddenFiles, AddEncrypt, AddSeparateDirs, AddDiskSpan, AddDiskSpanErase };
enum ExtrOptsEnum { ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrUpdate, ExtrTest };
enum SFXOptsEnum { SFXAskCmdLine, SFXAskFiles, SFXAutoRun, SFXHideOverWriteBox, SFXCheckSize };
enum OvrOpts { OvrConfirm, OvrAlways, OvrNever };
enum CPOpts { cpAUTO, cpNone, cpOEM };
enum DeleteOpts { htdFinal, htdAllowUndo };
enum ProgressType { ptNewItem, ptItemBytes, ptBatchEnd, ptTotalItems, ptTotalBytes };

using AddOpts = Set<AddOptsEnum, std::uint16_t>;
using ExtrOpts = Set<ExtrOptsEnum, std::uint8_t>;
using SFXOpts = Set<SFXOptsEnum, std::uint8_t>;

using TProgressEvent = std::function<void(TObject* sender, ProgressType type, const AnsiString& fileName, int fileSize)>;
using TZipMessageEvent = std::function<void(TObject* sender, int errCode, const AnsiString& message)>;

#pragma pack(push, 1)
// The 42 bytes of a central header after its signature.
struct ZipDirEntryHead {
  std::uint8_t VersionMadeBy;
  std::uint8_t HostSystem;
  std::uint16_t VersionNeeded;
  std::uint16_t GeneralFlags;
  std::uint16_t Method;
  std::uint32_t ModTime;  // DOS time in the low 16 bits, date in the high
  std::uint32_t Crc32;
  std::uint32_t PackedSize;
  std::uint32_t UnpackedSize;
  std::uint16_t NameLength;
  std::uint16_t ExtraLength;
  std::uint16_t CommentLength;
  std::uint16_t DiskStart;
  std::uint16_t InternalAttributes;
  std::uint32_t ExternalAttributes;
  std::uint32_t LocalHeaderOffset;
};
#pragma pack(pop)
static_assert(sizeof(ZipDirEntryHead) == 42);

// One central-directory entry as listed.
struct ZipDirEntry : ZipDirEntryHead {
  AnsiString EntryName;     // converted as the code-page rule says, "/" made "\"
  AnsiString EntryComment;  // converted the same way
};

// The component's internal exception: a message code and whether it may be shown in a box.
class EZipKeeper : public Exception {
 public:
  EZipKeeper(int code, bool display);
  EZipKeeper(int code, int argument);
  EZipKeeper(int code, const AnsiString& argument);
  bool Display;
  int ResourceCode;
};

// The text of a message code in the component's string table, or the fallback naming the code.
AnsiString MessageText(int code);
AnsiString FallbackText(int code);

class TZipKeeper : public TComponent {
 public:
  explicit TZipKeeper(TComponent* owner);
  ~TZipKeeper() override;

  // ---- published properties with plain storage
  bool Verbose = false;
  bool Trace = false;
  int AddCompLevel = 9;
  AddOpts AddOptions;
  ExtrOpts ExtrOptions;
  SFXOpts SFXOptions{SFXCheckSize};
  AnsiString ExtrBaseDir;
  AnsiString Password;
  AnsiString SFXPath;
  OvrOpts SFXOverWriteMode = OvrConfirm;
  AnsiString SFXCaption = "Self-extracting Archive";
  AnsiString SFXDefaultDir;
  AnsiString SFXCommandLine;
  AnsiString TempDir;
  bool ConfirmErase = true;
  bool Unattended = false;
  CPOpts CodePage = cpAUTO;
  DeleteOpts HowToDelete = htdAllowUndo;
  TProgressEvent OnProgress;
  TZipMessageEvent OnMessage;
  TNotifyEvent OnDirUpdate;
  bool Cancel = false;

  // ---- published properties with setters
  const AnsiString& ZipFileName() const { return zipFileName_; }
  void SetFileName(const AnsiString& value);  // lists the archive (outside the design state)
  TStringList& FSpecArgs() { return fspecArgs_; }
  void SetFSpecArgs(const TStringList& value);
  const AnsiString& DLLDirectory() const { return dllDirectory_; }
  void SetDLLDirectory(const AnsiString& value);
  int KeepFreeOnDisk1() const { return keepFreeOnDisk1_; }
  void SetFreeOnDisk1(int value);
  int MaxVolumeSize() const { return maxVolumeSize_; }
  void SetMaxVolumeSize(int value);
  int MinFreeVolumeSize() const { return minFreeVolumeSize_; }
  void SetMinFreeVolSize(int value);

  // ---- read-only properties and run-time state
  int GetCount() const;
  AnsiString GetZipComment() const;
  bool ZipBusy() const { return zipBusy_; }
  bool UnzBusy() const { return unzBusy_; }
  HWND OwnerWindow() const { return ownerWindow_; }
  int ErrCode() const { return errCode_; }
  int SuccessCount() const { return successCount_; }
  int DataStartOffset() const { return dataStartOffset_; }
  const AnsiString& LastMessage() const { return lastMessage_; }
  const std::vector<std::unique_ptr<ZipDirEntry>>& DirEntries() const { return dirEntries_; }
  int CentralOffset() const { return centralOffset_; }
  int EndRecordOffset() const { return endRecordOffset_; }
  int ArchiveSize() const { return archiveSize_; }
  int ArchiveFileSize() const { return archiveFileSize_; }
  bool OffsetMismatch() const { return offsetMismatch_; }
  bool IsSpanned() const { return isSpanned_; }
  int LastDisk() const { return lastDisk_; }
  const AnsiString& VolumeLabel() const { return volumeLabel_; }

  // ---- operations
  void List();
  void FreeZipDirEntryRecords();
  void ConvertOem2Iso(char* text) const;  // in place, by the code-page rule
  AnsiString LoadZipStr(int code, const AnsiString& defaultText) const;
  void ShowZipMessage(int code, const AnsiString& suffix);
  void ShowExceptionError(const EZipKeeper& e);

  // ---- engine libraries (one set of slots for the process)
  void Load_Zip_Eng();
  void Load_Unz_Eng();
  static void Unload_Zip_Eng();
  static void Unload_Unz_Eng();
  int GetZipVers();  // 0 when the library cannot be loaded
  int GetUnzVers();
  static bool ZipEngineLoaded();
  static bool UnzEngineLoaded();
  static CallBack::ExecFunction ZipEngExec();  // null when missing
  static CallBack::ExecFunction UnzEngExec();
  // Fills the head shared by both command records (the record is zero-filled by the caller).
  void FillEngineHead(CallBack::EngineHead& head) const;
  static std::int32_t ZCallback(CallBack::ZCallBackStruct* record);
  // Fill an allocated, zeroed record from the properties (archive name and password copied).
  void SetUnZipSwitches(EngineCommand& command, const AnsiString& archive);
  void SetZipSwitches(EngineCommand& command, const AnsiString& archive);
  // A whole record for an engine of the given version: the layout it takes, the switches, the
  // file specifications, the counts and end markers. Null when memory could not be had or the
  // older layout cannot hold FSpecArgs (more than 4097 lines).
  std::unique_ptr<EngineCommand> BuildUnzRecord(int version, const AnsiString& archive);
  std::unique_ptr<EngineCommand> BuildZipRecord(int version, const AnsiString& archive);
  int BatchTotalBytes() const { return batchTotalBytes_; }
  int EngineErrCode() const { return engineErrCode_; }

  // ---- extraction through the decompression engine, volume sets joined first
  void Extract();
  // Joins the volume set whose last volume is `lastVolume` into one archive; `outPath` comes in
  // as a folder (ending in "\\") or a file name and goes out as the joined file's name (empty
  // after a failure). 0, or -7 (reported error), -8 (no memory), -9 (other failure).
  int ReadSpan(const AnsiString& lastVolume, AnsiString& outPath);
  // The decompression record of the running engine call, null otherwise.
  const EngineCommand* UnzRecord() const { return unzRecord_; }

  // ---- file helpers: 0 on success, negative codes for failures
  int CopyBuffer(int& in, int& out, int length);  // length -1: to the input's end
  int CopyFileA(const AnsiString& source, const AnsiString& destination);
  int EraseFile(const AnsiString& name, DeleteOpts how);

  // ---- disk format (one at a time in the process); written by the format thread and its hook
  int FormatDrive = 0;  // 0 = A:
  std::atomic<HWND> FormatDialog{0};
  std::atomic<int> FormatState{0};  // 0 waiting for the dialog, 1 dialog found, 2 thread finished
  std::atomic<bool> AutoStartFormat{false};
  std::atomic<int> FormatResult{-3};  // -1 error, -2 cancelled by the user, -3 cannot format, else done
  std::atomic<ZipShellFormat::TSHFormatThread*> FormatThread{nullptr};
  // Formats FormatDrive with the shell's dialog, which gets VolumeLabel; the FormatResult.
  int ZipFormat();
  static BOOL EnumThreadWndProc(HWND window, LPARAM component);

  // ---- volume sets and disk access
  bool IsDiskPresent();
  UINT CheckForDisk();
  bool IsRightDisk(UINT driveType);
  void GetNewDisk(int diskNr);
  int FindZipEntry(int count, const std::vector<DiskSpan::MDZipData>& records, const char* name, int length) const;

 protected:
  // The end-record search on OpenFileName; see List.
  bool CheckIfLastDisk(DiskSpan::ZipEndOfCentral& end, bool mustExist);
  AnsiString openFileName_;
  AnsiString driveRoot_;
  int inFile_ = -1;
  int diskNr_ = 0;
  bool askForDisk_ = false;
  AnsiString volumeLabel_;
  int outFile_ = -1;
  bool reportWrites_ = false;
  int sourceDate_ = 0;

 private:
  void ReadCentralDirectory(const DiskSpan::ZipEndOfCentral& end, std::int64_t central);
  void ReadFully(void* buffer, int count, int error);
  // Runs a report; a failing OnMessage handler ends the report, not the caller's clean-up.
  template <class F>
  static void ReportQuietly(F&& report) {
    try {
      report();
    } catch (...) {
    }
  }
  // Whether InFile stands at the end of its volume (it is left there).
  bool AtVolumeEnd();
  void WriteJoin(const void* buffer, int length, int error);
  void RWJoinData(char* buffer, std::int64_t length, int error);
  EngineCommand* unzRecord_ = nullptr;

  AnsiString zipFileName_, dllDirectory_, lastMessage_, rawComment_;
  TStringList fspecArgs_;
  std::vector<std::unique_ptr<ZipDirEntry>> dirEntries_;
  int keepFreeOnDisk1_ = 0, maxVolumeSize_ = 0, minFreeVolumeSize_ = 65536;
  bool zipBusy_ = false, unzBusy_ = false, offsetMismatch_ = false, isSpanned_ = false;
  HWND ownerWindow_ = 0;
  int errCode_ = 0, successCount_ = 0, dataStartOffset_ = 0;
  int centralOffset_ = 0, endRecordOffset_ = 0, archiveSize_ = 0, archiveFileSize_ = 0;
  std::uint16_t lastDisk_ = 0;
  std::uint8_t lastHostSystem_ = 0, lastMadeByVersion_ = 0;
  DWORD volumeSerial_ = 0;
  std::int64_t diskSize_ = -1;
  int batchTotalBytes_ = 0, engineErrCode_ = 0;
  // Where the engines' 4-byte caller field points: a holder of this component below 4 GiB.
  struct CallerHolder {
    TZipKeeper* self;
  };
  CallerHolder* caller_ = nullptr;
  void LoadEngine(bool zip);
  friend class ZipShellFormat::TSHFormatThread;
  std::atomic<DWORD> formatThreadId_{0};
  std::shared_ptr<std::atomic<bool>> formatEnded_;  // handed to the next format thread
};

// A backslash appended unless the text is empty or ends in one.
AnsiString AppendSlash(const AnsiString& s);
// Every "/" of the text turned into "\".
AnsiString ReplaceForwardSlash(const char* text);

// Puts TZipKeeper on the component palette's page "Components" (design environment only).
void Register();

}  // namespace ZipKeeper
