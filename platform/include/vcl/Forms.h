// The application object.
#pragma once

#include <win32/windows.h>

#include <vcl/Classes.h>

class PF_API TApplication : public TComponent {
 public:
  // A library's own application object has no window, as the class library makes it in a DLL.
  explicit TApplication(TComponent* owner, bool forLibrary = false);
  ~TApplication() override;

  void Initialize() {}
  // Runs the message loop until Terminate is asked for.
  void Run();
  void ProcessMessages();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  HWND Handle() const { return handle_; }
  const AnsiString& Title() const { return title_; }
  void SetTitle(const AnsiString& title);
  // A box owned by the application's window (none for a library's), with the caption as given.
  int MessageBox(const AnsiString& text, const AnsiString& caption, UINT flags = MB_OK);
  // Shows an exception's message in a stop box, as the message loop does for uncaught ones.
  void ShowException(const std::exception& e);

 private:
  HWND handle_ = 0;
  AnsiString title_;
  bool terminated_ = false;
};

// The process's application object.
PF_API extern TApplication* Application;

using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crHourGlass = -11;

// The screen: the mouse cursor shown over the application's windows.
class PF_API TScreen : public TObject {
 public:
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);

 private:
  TCursor cursor_ = crDefault;
};
PF_API extern TScreen* Screen;
