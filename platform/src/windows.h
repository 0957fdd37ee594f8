// The window table: windows, their owners, controls and message queues, and the hooks that watch
// the messages of a thread.
#pragma once

#include <win32/windows.h>

#include <functional>
#include <string>

namespace pinforge::win {

using WindowProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

struct WindowSpec {
  std::string className;  // "Button" with BS_AUTOCHECKBOX toggles its check when clicked
  std::string caption;
  HWND parent = 0;        // the owner of a top-level window, the parent of a child
  bool child = false;
  int id = 0;             // a child's control id
  DWORD style = 0;
  bool visible = false;
  WindowProc proc;        // null: the standard handling alone
};

// A window of the calling thread.
HWND Create(const WindowSpec& spec);
HWND Create(const std::string& className, const std::string& caption, HWND owner);

// What every window does with a message its own procedure leaves alone: text, check state,
// button style, a click reported to the parent as WM_COMMAND.
LRESULT DefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Handles the messages waiting for the calling thread's windows; whether there were any.
bool DispatchWaiting();

}  // namespace pinforge::win
