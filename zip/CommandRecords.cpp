#include "CommandRecords.h"

#include <pinforge/addr32.h>

#include <cstring>

#include "ZipKeeper.h"

namespace ZipKeeper {

EngineCommand::EngineCommand(std::size_t size) : size_(size) { data_ = Allocate(size); }

EngineCommand::~EngineCommand() {
  for (void* p : owned_) pinforge::addr32::Free(p);
}

char* EngineCommand::Allocate(std::size_t size) {
  auto* p = static_cast<char*>(pinforge::addr32::AllocateZeroed(size ? size : 1));
  if (!p) {
    ok_ = false;
    return nullptr;
  }
  owned_.push_back(p);
  return p;
}

std::uint32_t EngineCommand::Text(const AnsiString& text) {
  char* p = Allocate(text.size() + 1);
  if (!p) return 0;
  std::memcpy(p, text.c_str(), text.size() + 1);
  return pinforge::addr32::ToField(p);
}

std::uint32_t EngineCommand::Block(std::size_t size) {
  char* p = Allocate(size);
  return p ? pinforge::addr32::ToField(p) : 0;
}

namespace {
// A zero-filled array of Spec records, each starting with the field of one FSpecArgs line.
template <class Spec>
std::uint32_t SpecArray(EngineCommand& command, const TStringList& lines) {
  std::uint32_t field = command.Block(sizeof(Spec) * static_cast<std::size_t>(lines.Count()));
  auto* array = pinforge::addr32::FromField<Spec>(field);
  for (int i = 0; array && i < lines.Count(); ++i) array[i].FileSpec = command.Text(lines.Strings(i));
  return field;
}
}  // namespace

void TZipKeeper::SetUnZipSwitches(EngineCommand& command, const AnsiString& archive) {
  // The head and the fields to ArchiveName are the same in both layouts.
  auto& r = command.As<UnzCommandRecord>();
  FillEngineHead(r.Head);
  r.CodePageMode = static_cast<std::uint16_t>(CodePage);
  r.PasswordText = command.Text(Password);
  r.Test = ExtrOptions.Contains(ExtrTest);
  r.Always1 = 1;
  r.VerboseFlag = Verbose || Trace;
  r.Update = ExtrOptions.Contains(ExtrUpdate);
  r.Freshen = ExtrOptions.Contains(ExtrFreshen) && !ExtrOptions.Contains(ExtrUpdate);
  r.DirNames = ExtrOptions.Contains(ExtrDirNames);
  r.Overwrite = ExtrOptions.Contains(ExtrOverWrite);
  r.ArchiveName = command.Text(archive);
  r.FileSpecs = kEndMarker;  // the older layout's end marker; the newer one overwrites it
}

std::unique_ptr<EngineCommand> TZipKeeper::BuildUnzRecord(int version, const AnsiString& archive) {
  bool newer = version >= 152;
  int specs = fspecArgs_.Count();
  if (!newer && specs > kOldLayoutSpecs) return nullptr;  // more than the older layout holds
  auto command = std::make_unique<EngineCommand>(newer ? sizeof(UnzCommandRecord) : sizeof(UnzCommandRecordOld));
  if (!command->Ok()) return nullptr;
  SetUnZipSwitches(*command, archive);
  if (newer) {
    auto& r = command->As<UnzCommandRecord>();
    r.FileSpecs = SpecArray<UnzFileSpec>(*command, fspecArgs_);
    r.EndMarker = kEndMarker;
  } else {
    auto& r = command->As<UnzCommandRecordOld>();
    for (int i = 0; i < specs; ++i) r.FileSpecs[i] = command->Text(fspecArgs_.Strings(i));
  }
  command->As<UnzCommandRecord>().SpecCount = static_cast<std::uint32_t>(specs);
  return command->Ok() ? std::move(command) : nullptr;
}

void TZipKeeper::SetZipSwitches(EngineCommand& command, const AnsiString& archive) {
  auto& r = command.As<ZipCommandHead>();
  FillEngineHead(r.Head);
  r.PasswordText = command.Text(Password);
  r.Encrypt = AddOptions.Contains(AddEncrypt);
  r.IncludeHidden = AddOptions.Contains(AddHiddenFiles);
  r.NoDirEntries = !AddOptions.Contains(AddSeparateDirs);
  r.VerboseFlag = Verbose || Trace;
  r.Always1 = 1;
  r.Level = static_cast<std::uint32_t>(AddCompLevel);
  r.JunkDirNames = !AddOptions.Contains(AddDirNames);
  r.Recurse = AddOptions.Contains(AddRecurseDirs);
  r.AddMode = 1;
  r.ForceDos = AddOptions.Contains(AddForceDOS);
  r.Move = AddOptions.Contains(AddMove);
  r.DeleteMode = 0;
  r.Update = AddOptions.Contains(AddUpdate);
  r.Freshen = AddOptions.Contains(AddFreshen) && !AddOptions.Contains(AddUpdate);
  r.ZipTime = AddOptions.Contains(AddZipTime);
  r.ArchiveName = command.Text(archive);
}

std::unique_ptr<EngineCommand> TZipKeeper::BuildZipRecord(int version, const AnsiString& archive) {
  bool layoutB = version >= 151;
  int specs = fspecArgs_.Count();
  if (!layoutB && specs > kOldLayoutSpecs) return nullptr;
  auto command = std::make_unique<EngineCommand>(layoutB ? sizeof(ZipCommandRecordB) : sizeof(ZipCommandRecordA));
  if (!command->Ok()) return nullptr;
  SetZipSwitches(*command, archive);
  command->As<ZipCommandHead>().SpecCount = static_cast<std::uint32_t>(specs);
  if (layoutB) {
    auto& r = command->As<ZipCommandRecordB>();
    r.TempDirText = TempDir.empty() ? 0 : command->Text(TempDir);
    r.FileSpecs = SpecArray<ZipFileSpec>(*command, fspecArgs_);
    r.EndMarker = kEndMarker;
  } else {
    auto& r = command->As<ZipCommandRecordA>();
    r.EndMarker = kEndMarker;
    for (int i = 0; i < specs; ++i) r.FileSpecs[i] = command->Text(fspecArgs_.Strings(i));
  }
  return command->Ok() ? std::move(command) : nullptr;
}

}  // namespace ZipKeeper
