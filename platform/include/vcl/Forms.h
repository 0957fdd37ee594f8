// The application object.
#pragma once

#include <win32/windows.h>

#include <vcl/Classes.h>

class PF_API TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* owner);
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
  // A box owned by the application's window; the title is the caption when none is given.
  int MessageBox(const AnsiString& text, const AnsiString& caption, UINT flags);
  // Shows an exception's message in a stop box, as the message loop does for uncaught ones.
  void ShowException(const std::exception& e);

 private:
  HWND handle_ = 0;
  AnsiString title_;
  bool terminated_ = false;
};

// The process's application object.
PF_API extern TApplication* Application;
