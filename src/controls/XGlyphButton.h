#pragma once

#include <QFont>
#include <QPushButton>
#include <QString>

// A push button whose caption is one character of a symbol font, so that it
// shows a pictogram. The symbol font does not exist here: the character code
// stays the button's state and text, and the codes the program uses are
// painted as our own pictograms (open 0x31, save 0x3C, close 0xFB); any other
// code shows its character. GUI thread only.
class CXGlyphButton : public QPushButton {
  Q_OBJECT
public:
  enum Glyph { GlyphOpen = 0x31, GlyphSave = 0x3C, GlyphClose = 0xFB };

  // What the font is made from (heights in pixels, negative: character height).
  struct LogFont {
    int lfHeight = -30;
    int lfWeight = 400;
    int lfCharSet = 1; // default character set; 2 is the symbol set
    int lfQuality = 5;
    QString lfFaceName = QStringLiteral("WingDings");
  };

  explicit CXGlyphButton(QWidget *parent = nullptr);

  // Symbol font at 14 points on this display, then SetGlyph and ReconstructFont.
  void SetWingDingButton(unsigned glyph);
  // Only the low byte is shown.
  void SetGlyph(int glyph);
  int GetGlyph() const { return m_nGlyph; }
  void ReconstructFont();
  const LogFont &GetLogFont() const { return m_lf; }

  // -MulDiv(points, logical pixels per inch, 72): 14 points at 96 dpi is -19.
  static int PointsToHeight(int points);

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  bool HasPictogram() const;

  LogFont m_lf;
  int m_nGlyph = 0xB4;
};
