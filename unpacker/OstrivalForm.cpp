#include "OstrivalForm.h"

#include <vcl/Registry.h>

#include <memory>

TOstrivalForm* OstrivalForm = nullptr;

namespace {

const char* kKey = "Software\\QUOR\\Pinforge\\PF-60";

// A control made as the form's resource describes it.
template <class T>
T* Make(TForm* form, TWinControl* parent, const char* name, int left, int top, int width, int height) {
  auto* c = new T(form);  // owned by the form
  c->Name = name;
  c->SetParent(parent);
  c->SetBounds(left, top, width, height);
  return c;
}

}  // namespace

TOstrivalForm::TOstrivalForm(TComponent* owner) : TForm(owner) {
  Name = "OstrivalForm";
  SetCaption("Pinforge Driver Installer");
  BorderIcons = {};
  BorderStyle = bsSingle;
  Left = 252;
  Top = 188;
  ClientWidth = 306;
  ClientHeight = 105;
  Font.Name = "MS Sans Serif";
  Font.Height = -11;
  OnCreate = [this](TObject* sender) { FormCreate(sender); };

  Label1 = Make<TLabel>(this, this, "Label1", 8, 8, 289, 17);
  Label1->AutoSize = false;
  Label1->WordWrap = true;
  Label1->Font.Height = -12;
  Label1->SetCaption("Please wait for a while to uncompress some data files.");
  GroupBox1 = Make<TGroupBox>(this, this, "GroupBox1", 8, 25, 289, 73);
  GroupBox1->SetCaption("Uncompressing . . .");
  Label2 = Make<TLabel>(this, GroupBox1, "Label2", 8, 16, 0, 13);
  Bevel1 = Make<TBevel>(this, GroupBox1, "Bevel1", 7, 37, 274, 28);
  CGauge1 = Make<TCGauge>(this, GroupBox1, "CGauge1", 8, 38, 273, 27);
  CGauge1->ForeColor = clNavy;

  ZipKeeper1 = new ZipKeeper::TZipKeeper(this);
  ZipKeeper1->Name = "ZipKeeper1";
  ZipKeeper1->Verbose = true;
  ZipKeeper1->ExtrOptions = {ZipKeeper::ExtrOverWrite};
  ZipKeeper1->SFXOptions = {};
  ZipKeeper1->SFXCaption = "Self-extracting Archive";
  ZipKeeper1->ConfirmErase = false;
  ZipKeeper1->OnMessage = [this](TObject* sender, int errCode, const AnsiString& message) {
    ZipKeeper1Message(sender, errCode, message);
  };
  OpenDialog1 = new TOpenDialog(this);
  OpenDialog1->Name = "OpenDialog1";
}

void TOstrivalForm::FormCreate(TObject*) {
  auto registry = std::make_unique<TRegistry>();
  registry->SetRootKey(HKEY_LOCAL_MACHINE);
  int answer = 0;  // no question asked
  bool bye = false;
  if (!registry->KeyExists(kKey)) answer = Application->MessageBox("Can't find current path, find it ?", "Message Box", MB_OKCANCEL);
  if (answer == IDCANCEL) {
    ShowMessage("Bye.");
    bye = true;
  }
  if (!bye) {
    registry->OpenKey(kKey, false);
    AnsiString startDir = GetCurrentDir();
    AnsiString folder = registry->ValueExists("path") ? registry->ReadString("path") : AnsiString();
    if (answer == IDOK) {
      if (OpenDialog1->Execute()) {
        // The dialog gives a file; the folder it lies in is the workstation's.
        folder = ExcludeTrailingBackslash(ExtractFilePath(OpenDialog1->FileName));
      } else {
        ShowMessage("Bye.");
        bye = true;
      }
    }
    if (!bye) {
      if (!FileExists(folder + "\\Pinforge.exe")) {
        ShowMessage("Install Main Program First");
      } else {
        AnsiString archive = startDir.size() == 3 ? startDir + "FirstRun.upd" : startDir + "\\FirstRun.upd";
        Show();
        SetCurrentDir(folder);
        Unpack(archive);
      }
    }
  }
  registry.reset();
  Application->Terminate();
}

AnsiString TOstrivalForm::Unpack(const AnsiString& archive) {
  ZipKeeper1->SetFileName(archive);
  ZipKeeper1->ExtrOptions << ZipKeeper::ExtrDirNames << ZipKeeper::ExtrOverWrite;
  CGauge1->SetMaxValue(ZipKeeper1->GetCount());
  ZipKeeper1->Extract();
  return "";
}

void TOstrivalForm::ZipKeeper1Message(TObject*, int, const AnsiString& message) {
  if (Copy(message, 1, 14) != "Unzipped file ") return;
  CGauge1->AddProgress(1);
  Label2->SetCaption(Copy(message, 15, Pos(".", message) - 11));
}
