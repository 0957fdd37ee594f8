// Standard controls: labels and group boxes.
#pragma once

#include <vcl/Controls.h>

class PF_API TLabel : public TControl {
 public:
  explicit TLabel(TComponent* owner) : TControl(owner) {}
  bool AutoSize = true;
  bool WordWrap = false;
};

class PF_API TGroupBox : public TWinControl {
 public:
  explicit TGroupBox(TComponent* owner) : TWinControl(owner) {}
};
