#pragma once

#include "platform/ColorRef.h"

#include <QImage>
#include <QPointer>
#include <QPushButton>
#include <QString>

#include <vector>

// A push button that paints itself as one of twelve kinds (push, flat, hot
// tracking, drop-down, split, latching check, check box, radio, link), with an
// optional image drawn with a transparent colour and a caption in one of four
// styles. Checkable buttons may join a named group in which one button at a
// time is checked, whatever their parents. GUI thread only.
//
// Images are reached by number: bitmap id N is the image "bitmaps:N.png"
// (our own drawings are registered there; QDir::addSearchPath adds more).
class FooButton : public QPushButton {
  Q_OBJECT
public:
  enum Type {
    TypeFlat = 0,
    TypePush = 1,
    TypePushHot = 2,
    TypeDropDown = 3,
    TypeDropDownHot = 4,
    TypeSplit = 5,
    TypeSplitHot = 6,
    TypeCheckPush = 7,
    TypeCheckPushHot = 8,
    TypeCheckBox = 9,
    TypeRadio = 10,
    TypeLink = 11,
  };
  enum TextStyle { TextNone = 0, TextLeft = 1, TextCentre = 2, TextMultiLine = 3 };
  using ButtonGroup = std::vector<QPointer<FooButton>>;

  explicit FooButton(QWidget *parent = nullptr);
  explicit FooButton(const QString &text, QWidget *parent = nullptr);
  ~FooButton() override;

  // An unlisted type or style is refused (asserted) and changes nothing.
  void SetType(int type);
  int GetType() const { return m_nType; }
  void SetTextStyle(int style);
  int GetTextStyle() const { return m_nTextStyle; }
  void SetTextColor(COLORREF color) { m_crText = color; }
  COLORREF GetTextColor() const { return m_crText; }
  void SetFocusStyle(int style);
  // 0 removes the image.
  void SetBitmap(unsigned bitmapId, COLORREF transparent = RGB(255, 0, 255));
  unsigned GetBitmap() const { return m_nBitmapId; }
  COLORREF GetTransparentColor() const { return m_crTransparent; }

  // Only the latching, check-box and radio kinds keep a checked state;
  // checking a grouped button unchecks the other members.
  void Check(bool state);
  bool IsChecked() const { return m_bChecked; }

  // False for an empty name. A button is in at most one group; it leaves its
  // group when destroyed.
  bool AddToGroup(const QString &name);
  void RemoveFromGroup();
  QString GetGroupName() const { return m_strGroup; }
  // The live members of a group, or null when there is no such group.
  static const ButtonGroup *FindGroup(const QString &name);
  static int InstanceCount();

  bool IsDropDownPressed() const { return m_bDropDownPressed; }
  bool IsMouseOver() const { return m_bMouseTracking; }

protected:
  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void leaveEvent(QEvent *event) override;
  void focusInEvent(QFocusEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;

private:
  void Init();
  bool IsCheckable() const;
  bool IsPlainPush() const;
  void DrawImage(QPainter &p, const QImage &image, const QPoint &at, bool disabled) const;
  // The picture of the bitmap id, decoded on first use; null when none.
  const QImage &Picture();

  int m_nType = TypePush;
  int m_nTextStyle = TextCentre;
  int m_nFocusStyle = 0;
  COLORREF m_crText = 0;
  bool m_bMouseTracking = false;
  unsigned m_nBitmapId = 0;
  bool m_bCentre = true;
  bool m_bMultiLine = false;
  bool m_bChecked = false;
  bool m_bShowCaption = true;
  bool m_bDropDownArrow = false;
  bool m_bSplit = false;
  bool m_bDropDownPressed = false;
  bool m_bFlat = false;
  bool m_bHotTracking = false;
  bool m_bLink = false;
  COLORREF m_crTransparent = RGB(255, 0, 255);
  QString m_strGroup;
  bool m_bImageLoaded = false;
  QImage m_image;  // as decoded
  QImage m_masked; // the transparent colour taken out
};
