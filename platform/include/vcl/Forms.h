// Forms and the application object.
#pragma once

#include <win32/windows.h>

#include <vcl/Classes.h>
#include <vcl/Controls.h>

enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = Set<TBorderIcon, std::uint8_t>;
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TPosition { poDesigned, poDefault, poScreenCenter };

// A form: a window of the application holding controls. Shown, it is reported with its caption
// (transcript, console) and so are the changes of its controls.
class PF_API TForm : public TWinControl {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;
  TBorderIcons BorderIcons{biSystemMenu, biMinimize, biMaximize};
  TFormBorderStyle BorderStyle = bsSizeable;
  TPosition Position = poDesigned;
  int ClientWidth = 0, ClientHeight = 0;
  TNotifyEvent OnCreate;
  void Show();
  void Hide();
  void Close() { Hide(); }
  bool Showing() const { return showing_; }
  HWND Handle() const { return handle_; }
  // Runs OnCreate, as the class library does once the form is constructed.
  virtual void AfterConstruction();

 private:
  bool showing_ = false;
  HWND handle_ = 0;
};

class PF_API TApplication : public TComponent {
 public:
  // A library's own application object has no window, as the class library makes it in a DLL.
  explicit TApplication(TComponent* owner, bool forLibrary = false);
  ~TApplication() override;

  void Initialize() {}
  // Makes a form owned by the application; the first one made is the main form.
  template <class T>
  void CreateForm(T*& reference) {
    reference = new T(this);  // owned by the application, as its components are
    if (!mainForm_) mainForm_ = reference;
    reference->AfterConstruction();
  }
  TForm* MainForm() const { return mainForm_; }
  // Runs the message loop until Terminate is asked for.
  void Run();
  void ProcessMessages();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  HWND Handle() const { return handle_; }
  // The program's file name without its extension until a title is set (none for a library's).
  const AnsiString& Title() const;
  void SetTitle(const AnsiString& title);
  // A box owned by the application's window (none for a library's), with the caption as given.
  int MessageBox(const AnsiString& text, const AnsiString& caption, UINT flags = MB_OK);
  // Shows an exception's message in a stop box, as the message loop does for uncaught ones.
  void ShowException(const std::exception& e);

 private:
  HWND handle_ = 0;
  mutable AnsiString title_;
  mutable bool titled_ = false;
  bool terminated_ = false;
  TForm* mainForm_ = nullptr;
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
