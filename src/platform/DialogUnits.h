#pragma once

#include <QRect>
#include <QSize>

class QFont;
class QString;

// Dialog units of a window template to pixels. A horizontal unit is a quarter
// of the font's mean letter width, a vertical one an eighth of its height,
// as the templates were drawn for.
class CDialogUnits {
public:
  explicit CDialogUnits(const QFont &font);
  CDialogUnits(int baseX, int baseY);

  int X(int units) const { return units * m_baseX / 4; }
  int Y(int units) const { return units * m_baseY / 8; }
  QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }
  QSize Size(int w, int h) const { return QSize(X(w), Y(h)); }
  int BaseX() const { return m_baseX; }
  int BaseY() const { return m_baseY; }

  // Widens the horizontal unit until the text, with 'padding' pixels, fits
  // in 'w' units; never beyond 'maxBaseX'. The templates were drawn for a
  // narrower font than a Linux desktop's, and some languages say more.
  void FitText(const QFont &font, const QString &text, int w, int padding, int maxBaseX);
  // Heightens the vertical unit until the text, word-wrapped at the width of
  // 'w' units, fits in 'h' units; never beyond 'maxBaseY'. Call it after
  // the widths are settled: they decide where the lines break.
  void FitWrappedText(const QFont &font, const QString &text, int w, int h, int maxBaseY);

private:
  int m_baseX;
  int m_baseY;
};
