// The model of forms and controls: ownership, parents, and the visible changes reported once a
// form is shown.
#include <vcl/CGauges.h>
#include <vcl/Dialogs.h>
#include <vcl/Forms.h>
#include <vcl/StdCtrls.h>

#include <algorithm>

#include <pinforge/ui.h>

#include "windows.h"

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() { SetParent(nullptr); }

void TControl::SetParent(TWinControl* parent) {
  if (parent_ == parent) return;
  if (parent_) {
    auto& list = parent_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  parent_ = parent;
  if (parent_) parent_->controls_.push_back(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  Left = left;
  Top = top;
  Width = width;
  Height = height;
}

void TControl::SetCaption(const AnsiString& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  Changed("caption", caption_);
}

TForm* TControl::OwningForm() {
  for (TControl* c = this; c; c = c->parent_)
    if (auto* form = dynamic_cast<TForm*>(c)) return form;
  return nullptr;
}

void TControl::Changed(const std::string& property, const std::string& value) {
  TForm* form = OwningForm();
  if (form && form->Showing() && form != this) pinforge::ui::ControlEvent(form->Caption(), Name, property, value);
}

void TControl::Changed(const std::string& property, long long value) {
  TForm* form = OwningForm();
  if (form && form->Showing() && form != this) pinforge::ui::ControlEvent(form->Caption(), Name, property, value);
}

TWinControl::~TWinControl() {
  for (TControl* c : std::vector<TControl*>(controls_)) c->SetParent(nullptr);
}

TForm::TForm(TComponent* owner) : TWinControl(owner) {}

TForm::~TForm() {
  Hide();
  if (handle_) DestroyWindow(handle_);
}

void TForm::AfterConstruction() {
  if (OnCreate) OnCreate(this);
}

void TForm::Show() {
  Visible = true;
  if (showing_) return;
  if (!handle_) handle_ = pinforge::win::Create("TForm", Caption(), Application->Handle());
  showing_ = true;
  // What the user sees: the caption, then the texts of the controls, in creation order.
  std::vector<std::string> texts;
  std::vector<TControl*> pending(Controls().begin(), Controls().end());
  for (std::size_t i = 0; i < pending.size(); ++i) {
    if (!pending[i]->Caption().empty()) texts.push_back(pending[i]->Caption());
    if (auto* w = dynamic_cast<TWinControl*>(pending[i])) pending.insert(pending.end(), w->Controls().begin(), w->Controls().end());
  }
  pinforge::ui::FormEvent("show", Caption(), texts);
}

void TForm::Hide() {
  Visible = false;
  if (!showing_) return;
  showing_ = false;
  pinforge::ui::FormEvent("close", Caption());
}

void TCGauge::SetMinValue(int value) {
  min_ = value;
  if (max_ < min_) max_ = min_;
  SetProgress(progress_);
}

void TCGauge::SetMaxValue(int value) {
  if (value == max_) return;
  max_ = std::max(value, min_);
  Changed("max", max_);
  SetProgress(progress_);
}

void TCGauge::SetProgress(int value) {
  value = std::clamp(value, min_, max_);
  if (value == progress_) return;
  progress_ = value;
  Changed("progress", progress_);
}

int TCGauge::PercentDone() const {
  if (max_ == min_) return 0;
  return static_cast<int>((static_cast<long long>(progress_ - min_) * 100) / (max_ - min_));
}

bool TOpenDialog::Execute() {
  pinforge::ui::FileDialogRequest r;
  r.title = Title;
  r.filter = Filter;
  r.initialDir = InitialDir;
  r.fileName = FileName;
  auto chosen = pinforge::ui::FileDialog(r);
  if (!chosen) return false;
  FileName = *chosen;
  return true;
}
