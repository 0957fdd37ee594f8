// The gauge of the class library's samples: a bar (or pie, or needle) filled to Progress between
// MinValue and MaxValue.
#pragma once

#include <vcl/Controls.h>

enum TCGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };

class PF_API TCGauge : public TControl {
 public:
  explicit TCGauge(TComponent* owner) : TControl(owner) {}
  TCGaugeKind Kind = gkHorizontalBar;
  TColor ForeColor = clBlack;
  TColor BackColor = clWhite;
  bool ShowText = true;
  int MinValue() const { return min_; }
  int MaxValue() const { return max_; }
  int Progress() const { return progress_; }
  void SetMinValue(int value);
  void SetMaxValue(int value);
  // Kept between MinValue and MaxValue.
  void SetProgress(int value);
  void AddProgress(int value) { SetProgress(progress_ + value); }
  // How far the bar is filled, 0 to 100.
  int PercentDone() const;

 private:
  int min_ = 0, max_ = 100, progress_ = 0;
};
