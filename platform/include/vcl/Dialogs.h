// Standard dialogs: input box, simple message, the open dialog.
#pragma once

#include <vcl/Classes.h>
#include <vcl/SysUtils.h>

// The open-file dialog: Execute asks the user for a file; FileName is the one chosen.
class PF_API TOpenDialog : public TComponent {
 public:
  explicit TOpenDialog(TComponent* owner) : TComponent(owner) {}
  bool Execute();
  AnsiString FileName, Filter, InitialDir, Title, DefaultExt;
};

PF_API AnsiString InputBox(const AnsiString& caption, const AnsiString& prompt, const AnsiString& defaultValue);
PF_API bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value);
PF_API void ShowMessage(const AnsiString& message);
