// Further controls: the bevel.
#pragma once

#include <vcl/Controls.h>

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

class PF_API TBevel : public TControl {
 public:
  explicit TBevel(TComponent* owner) : TControl(owner) {}
  TBevelShape Shape = bsBox;
  TBevelStyle Style = bsLowered;
};
