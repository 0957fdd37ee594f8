// The one interface through which boxes, input boxes, file dialogs and shown forms reach the user.
// PINFORGE_UI picks the backend (console, script:FILE, or answers by default without a terminal);
// PINFORGE_UI_LOG names a file that receives one JSON line per interaction.
#pragma once

#include <win32/windows.h>

#include <optional>
#include <string>
#include <vector>

namespace pinforge::ui {

// The core of MessageBoxA: text and caption in code page 1252; returns IDOK, IDCANCEL, ...
PF_API int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);
// A dialog's question with buttons of its own (a script answers with a button's name): the index
// of the button pressed, the default when nobody answers.
PF_API int Choose(const std::string& caption, const std::string& text, const std::vector<std::string>& buttons,
                  int defaultIndex);
// The text typed, or nullopt when cancelled.
PF_API std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                           const std::string& value);

struct FileDialogRequest {
  std::string title;
  std::string filter;  // "Text files|*.txt|All|*.*"
  std::string initialDir;
  std::string fileName;
  bool save = false;
};
// The Windows path chosen, or nullopt when cancelled.
PF_API std::optional<std::string> FileDialog(const FileDialogRequest& request);

// A shown form and changes of its visible state, for the transcript and the console.
PF_API void FormEvent(const std::string& action, const std::string& caption);
// A form shown with the texts on it (printed by the console, not part of the transcript's event).
PF_API void FormEvent(const std::string& action, const std::string& caption, const std::vector<std::string>& texts);
PF_API void ControlEvent(const std::string& form, const std::string& control, const std::string& property,
                         const std::string& value);
PF_API void ControlEvent(const std::string& form, const std::string& control, const std::string& property,
                         long long value);

// "console", "script" or "default".
PF_API std::string BackendName();

}  // namespace pinforge::ui
