// The first-run unpacker's form: it finds the workstation through the registry and unpacks
// "FirstRun.upd" from the folder it was started in into the workstation's folder, with a gauge.
#pragma once

#include <vcl/CGauges.h>
#include <vcl/Dialogs.h>
#include <vcl/ExtCtrls.h>
#include <vcl/Forms.h>
#include <vcl/StdCtrls.h>

#include "ZipKeeper.h"

class TOstrivalForm : public TForm {
 public:
  explicit TOstrivalForm(TComponent* owner);

  TLabel* Label1;
  TGroupBox* GroupBox1;
  TLabel* Label2;
  TBevel* Bevel1;
  TCGauge* CGauge1;
  ZipKeeper::TZipKeeper* ZipKeeper1;
  TOpenDialog* OpenDialog1;

  void FormCreate(TObject* sender);
  void ZipKeeper1Message(TObject* sender, int errCode, const AnsiString& message);

 private:
  AnsiString Unpack(const AnsiString& archive);
};

extern TOstrivalForm* OstrivalForm;
