// Standard dialogs: input box and simple message.
#pragma once

#include <vcl/SysUtils.h>

PF_API AnsiString InputBox(const AnsiString& caption, const AnsiString& prompt, const AnsiString& defaultValue);
PF_API bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value);
PF_API void ShowMessage(const AnsiString& message);
