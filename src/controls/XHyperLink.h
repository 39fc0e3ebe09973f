#pragma once

#include "platform/ColorRef.h"

#include <QFont>
#include <QLabel>
#include <QString>
#include <QTimer>

// A static text that behaves as a web or mail link: link colours, a hand
// cursor, a tooltip with its target, an underline while hovered, sized to its
// text, and a click that opens the target through the Launcher and then shows
// the visited colour. GUI thread only.
class CXHyperLink : public QLabel {
  Q_OBJECT
public:
  explicit CXHyperLink(QWidget *parent = nullptr);
  explicit CXHyperLink(const QString &text, QWidget *parent = nullptr);
  ~CXHyperLink() override;

  // Stores the target, resizes the control to its text and updates the tooltip.
  void SetURL(const QString &url);
  QString GetURL() const { return m_strURL; }
  // 1 always underlined, 0 never, -1 while the mouse is over the control.
  void SetUnderline(int mode);
  int GetUnderline() const { return m_nUnderline; }
  void SetVisited(bool visited);
  bool GetVisited() const { return m_bVisited; }
  void SetColours(COLORREF link, COLORREF visited, COLORREF hover);
  COLORREF GetLinkColour() const { return m_crLink; }
  COLORREF GetVisitedColour() const { return m_crVisited; }
  COLORREF GetHoverColour() const { return m_crHover; }
  // The colour the text is drawn in now.
  COLORREF CurrentColour() const;
  void SetAutoSize(bool autoSize) { m_bAutoSize = autoSize; }
  void EnableURL(bool open) { m_bOpenOnClick = open; }
  void SetNotifyParent(bool notify) { m_bNotifyParent = notify; }
  void EnableTooltip(bool enable);
  bool IsOverControl() const { return m_bOverControl; }

  // Sizes the control to its text when auto-size is on: the top stays where
  // it is unless the alignment holds Qt::AlignVCenter (then the middle stays);
  // Qt::AlignHCenter keeps the middle, Qt::AlignRight the right edge.
  void PositionWindow();
  // Opens the target; false (nothing opened) for an empty one.
  static bool GotoURL(const QString &url);

Q_SIGNALS:
  // After a click, when the notify-parent flag is set.
  void clicked();

protected:
  void mouseMoveEvent(QMouseEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void leaveEvent(QEvent *event) override;
  void showEvent(QShowEvent *event) override;

private:
  void Init();
  void Attach();
  void OnTimer();
  void EndHover();
  void OnClicked();
  void ApplyColour();

  COLORREF m_crLink = RGB(0, 0, 238);
  COLORREF m_crVisited = RGB(85, 26, 139);
  COLORREF m_crHover = RGB(255, 0, 0);
  bool m_bOverControl = false;
  bool m_bVisited = false;
  int m_nUnderline = -1;
  bool m_bAutoSize = true;
  QString m_strURL;
  QFont m_UnderlineFont;
  QFont m_StdFont;
  QTimer m_Timer; // hover check, 100 ms
  bool m_bOpenOnClick = true;
  bool m_bNotifyParent = false;
  bool m_bToolTip = true;
  bool m_bAttached = false;
  bool m_bPressed = false;
};
