#pragma once

#include <QWidget>

// A topmost tool window with a thin border on the tooltip background. Its
// owner creates it hidden and keeps it for its own life; it shows nothing.
// GUI thread only.
class CTitleTip : public QWidget {
  Q_OBJECT
public:
  CTitleTip();

  // Remembers the owner (not owned) and makes the hidden window; false
  // without an owner.
  virtual bool Create(QWidget *parent);
  QWidget *GetParentWnd() const { return m_pParentWnd; }

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  QWidget *m_pParentWnd = nullptr; // not owned
};
