// The seek and value bars of the windows: a slider that can also mark a selected range of its
// values (the trim window's part of the file) and hide its handle (a file without a length).
#pragma once

#include <QSlider>

class TTrackBar : public QSlider {
 public:
  explicit TTrackBar(QWidget *parent);

  // The selected range, drawn along the groove; an empty range (end <= start) draws nothing.
  void SetSelection(int start, int end);
  void SetSelStart(int start) { SetSelection(start, FSelEnd); }
  void SetSelEnd(int end) { SetSelection(FSelStart, end); }
  int SelStart() const { return FSelStart; }
  int SelEnd() const { return FSelEnd; }

  void SetSliderVisible(bool visible);
  bool SliderVisible() const { return FSliderVisible; }

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  int FSelStart = 0, FSelEnd = 0;
  bool FSliderVisible = true;
};
