// Volume sets and disk access: volume numbers and labels, the drive check, disk prompts and the
// change to another volume.
#include "DiskSpan.h"

#include <vcl/Forms.h>

#include "ZipKeeper.h"

namespace DiskSpan {

std::string VolumeDigits(int diskNr) { return std::to_string(diskNr + 1 + 1000).substr(1); }

std::string VolumeLabelOf(int diskNr) { return kLabelPrefix + VolumeDigits(diskNr); }

int LabelNumber(const std::string& label) {
  if (label.compare(0, 8, kLabelPrefix) != 0) return 0;
  int n = 0;
  return TryStrToInt(label.substr(8, 3), n) && n >= 0 ? n : 0;
}

std::string VolumeFileName(const std::string& name, int diskNr) {
  std::string ext = ExtractFileExt(name);
  std::string base = name.substr(0, name.size() - ext.size());
  std::size_t keep = base.size() >= 3 ? base.size() - 3 : 0;
  return base.substr(0, keep) + VolumeDigits(diskNr) + ext;
}

std::vector<MDZipData> AllocSpanMem(int count) { return std::vector<MDZipData>(static_cast<std::size_t>(count > 0 ? count : 0)); }

void DeleteSpanMem(std::vector<MDZipData>& records) { records.clear(); }

}  // namespace DiskSpan

namespace ZipKeeper {

bool TZipKeeper::IsDiskPresent() {
  char letter = driveRoot_.empty() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(driveRoot_[0])));
  if (letter < 'A' || letter > 'Z') throw EZipKeeper(11003, AnsiString(1, letter ? letter : '?'));
  if (!(GetLogicalDrives() & (1u << (letter - 'A')))) throw EZipKeeper(11004, AnsiString(1, letter));
  UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  diskSize_ = DiskSize(letter - 'A' + 1);
  char label[260];
  if (!GetVolumeInformationA(driveRoot_.c_str(), label, sizeof label, &volumeSerial_, nullptr, nullptr, nullptr, 0)) {
    DWORD error = GetLastError();
    SetErrorMode(oldMode);
    // A disk the writer formats anyway counts as present.
    return error == ERROR_GEN_FAILURE && AddOptions.Contains(AddDiskSpanErase);
  }
  volumeLabel_ = label;
  SetErrorMode(oldMode);
  return diskSize_ != -1;
}

UINT TZipKeeper::CheckForDisk() {
  UINT type = GetDriveTypeA(driveRoot_.c_str());
  int answer = IDOK;
  Application->ProcessMessages();
  while ((answer == IDOK && !IsDiskPresent()) || askForDisk_) {
    if (type == DRIVE_FIXED || type == DRIVE_REMOTE) {
      askForDisk_ = false;
      break;
    }
    if (Unattended) throw EZipKeeper(11025, true);
    AnsiString text;
    UINT style = MB_OKCANCEL;
    if (diskNr_ < 0) {
      text = LoadZipStr(11033, "Please insert last disk in set");
      style |= MB_ICONSTOP;
    } else if (zipBusy_) {
      std::int64_t usable = maxVolumeSize_ ? std::min<std::int64_t>(diskSize_, maxVolumeSize_) : diskSize_;
      if (usable > 0) {
        lastDisk_ = static_cast<std::uint16_t>(std::max<std::int64_t>(diskNr_, (archiveSize_ + keepFreeOnDisk1_ + 4) / usable));
        text = Format(LoadZipStr(11034, "Please insert disk volume %.1d of %.1d"), diskNr_ + 1, lastDisk_ + 1);
      } else {
        lastDisk_ = static_cast<std::uint16_t>(diskNr_);
        text = Format(LoadZipStr(11046, "Please insert disk volume %.1d"), diskNr_ + 1);
      }
    } else {
      text = Format(LoadZipStr(11034, "Please insert disk volume %.1d of %.1d"), diskNr_ + 1, lastDisk_ + 1);
    }
    text += Format(LoadZipStr(11035, "\nin drive: %s"), AnsiString(1, driveRoot_[0]));
    answer = MessageBoxA(ownerWindow_, text.c_str(), Application->Title().c_str(), style);
    askForDisk_ = false;
  }
  if (answer != IDOK) throw EZipKeeper(11007, false);
  return type;
}

bool TZipKeeper::IsRightDisk(UINT driveType) {
  if (driveType == DRIVE_FIXED || driveType == DRIVE_REMOTE) {
    openFileName_ = DiskSpan::VolumeFileName(openFileName_, diskNr_);
    return true;
  }
  return volumeLabel_ == DiskSpan::VolumeLabelOf(diskNr_);
}

void TZipKeeper::GetNewDisk(int diskNr) {
  if (inFile_ != -1) FileClose(inFile_);
  inFile_ = -1;
  diskNr_ = diskNr;
  for (;;) {
    askForDisk_ = true;
    UINT type = CheckForDisk();
    if (!IsRightDisk(type)) continue;
    inFile_ = FileOpen(openFileName_, fmOpenRead | fmShareDenyWrite);
    if (inFile_ != -1) return;
    if (type == DRIVE_FIXED || type == DRIVE_REMOTE) throw EZipKeeper(11001, true);
    ShowZipMessage(11001, "");
  }
}

int TZipKeeper::FindZipEntry(int count, const std::vector<DiskSpan::MDZipData>& records, const char* name, int length) const {
  for (int i = 0; i < count && i < static_cast<int>(records.size()); ++i) {
    const auto& r = records[static_cast<std::size_t>(i)];
    if (r.NameLength == length && r.EntryName.size() >= static_cast<std::size_t>(length) &&
        AnsiCompareText(r.EntryName.substr(0, static_cast<std::size_t>(length)), AnsiString(name, static_cast<std::size_t>(length))) == 0)
      return i;
  }
  throw EZipKeeper(11026, true);
}

}  // namespace ZipKeeper
