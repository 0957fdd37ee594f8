// Controls of the class library's forms, on a model that records what a user would see: a
// control's visible state changes are reported (transcript, console) once its form is shown.
#pragma once

#include <vcl/Classes.h>
#include <vcl/Graphics.h>

#include <string>
#include <vector>

class TWinControl;
class TForm;

constexpr TColor clBlack = 0x000000;
constexpr TColor clNavy = 0x800000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clBtnFace = 0xFF00000F;  // the system colour, as the class library encodes it
constexpr TColor clWindowText = 0xFF000008;

class PF_API TFont {
 public:
  AnsiString Name = "MS Sans Serif";
  int Height = -11;  // negative: the character height in pixels, without internal leading
  TColor Color = clWindowText;
};

class PF_API TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  void SetParent(TWinControl* parent);
  void SetBounds(int left, int top, int width, int height);
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool Visible = true;
  TFont Font;
  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& caption);
  // The form this control lies on (itself for a form), or null.
  TForm* OwningForm();

 protected:
  // Reports a change of what the control shows, when its form is on screen.
  void Changed(const std::string& property, const std::string& value);
  void Changed(const std::string& property, long long value);

 private:
  TWinControl* parent_ = nullptr;
  AnsiString caption_;
};

class PF_API TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner) : TControl(owner) {}
  ~TWinControl() override;
  const std::vector<TControl*>& Controls() const { return controls_; }

 private:
  friend class TControl;
  std::vector<TControl*> controls_;
};
