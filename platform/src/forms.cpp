#include <vcl/Dialogs.h>
#include <vcl/Forms.h>

#include <pinforge/ui.h>

#include "machine.h"
#include "windows.h"

TApplication::TApplication(TComponent* owner, bool forLibrary) : TComponent(owner) {
  if (!forLibrary) handle_ = pinforge::win::Create("TApplication", "", 0);
}

TApplication::~TApplication() {
  if (handle_) DestroyWindow(handle_);
}

const AnsiString& TApplication::Title() const {
  if (!titled_) {
    titled_ = true;
    if (handle_) {
      std::string program = pinforge::paths::ProgramHostPath();
      program = program.substr(program.find_last_of('/') + 1);
      title_ = program.substr(0, program.find_last_of('.') == std::string::npos ? program.size() : program.find_last_of('.'));
    }
  }
  return title_;
}

void TApplication::SetTitle(const AnsiString& title) {
  titled_ = true;
  title_ = title;
  if (handle_) SetWindowTextA(handle_, title.c_str());
}

void TApplication::ProcessMessages() {
  // Painting is immediate; what waits is the threads' Synchronize calls.
  TThread::CheckSynchronize();
}

void TApplication::Run() {
  while (!terminated_) {
    ProcessMessages();
    terminated_ = true;  // no window can post a message that keeps the loop alive
  }
  // The loop is over: the application's forms leave the screen.
  for (int i = 0; i < ComponentCount(); ++i)
    if (auto* form = dynamic_cast<TForm*>(Components(i))) form->Hide();
}

int TApplication::MessageBox(const AnsiString& text, const AnsiString& caption, UINT flags) {
  return MessageBoxA(handle_, text.c_str(), caption.c_str(), flags);
}

void TApplication::ShowException(const std::exception& e) {
  AnsiString message = e.what();
  if (!message.empty() && message.back() != '.') message += '.';
  MessageBoxA(handle_, message.c_str(), Title().c_str(), MB_OK | MB_ICONSTOP);
}

TApplication* Application = new TApplication(nullptr);  // the process's, never destroyed
TScreen* Screen = new TScreen();

void TScreen::SetCursor(TCursor cursor) { cursor_ = cursor; }

AnsiString InputBox(const AnsiString& caption, const AnsiString& prompt, const AnsiString& defaultValue) {
  return pinforge::ui::InputBox(caption, prompt, defaultValue).value_or(defaultValue);
}

bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) {
  auto answer = pinforge::ui::InputBox(caption, prompt, value);
  if (!answer) return false;
  value = *answer;
  return true;
}

void ShowMessage(const AnsiString& message) {
  MessageBoxA(Application->Handle(), message.c_str(), Application->Title().c_str(), MB_OK);
}
