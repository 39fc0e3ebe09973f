#pragma once

#include "platform/ColorRef.h"

#include <QLabel>

// A static text painted in its own text colour on its own background colour
// (by default the button text and face colours of the palette). Vertical
// centring in the alignment makes it one centred line; otherwise long text
// wraps at word boundaries. GUI thread only.
class CXColorStatic : public QLabel {
  Q_OBJECT
public:
  explicit CXColorStatic(QWidget *parent = nullptr);
  explicit CXColorStatic(const QString &text, QWidget *parent = nullptr);

  // With redraw the control is repainted at once.
  void SetTextColor(COLORREF color, bool redraw = true);
  void SetBackgroundColor(COLORREF color, bool redraw = true);
  COLORREF GetTextColor() const { return m_crText; }
  COLORREF GetBackgroundColor() const { return m_crBackground; }

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  void Init();

  COLORREF m_crText = 0;
  COLORREF m_crBackground = 0;
};
