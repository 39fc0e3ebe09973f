#pragma once

#include "AdvComboBox.h"

#include <QPointer>

// The list control's in-cell chooser: an advanced combo box that tells the
// list when the choice is complete or abandoned.
class CXCombo : public CAdvComboBox {
  Q_OBJECT
public:
  explicit CXCombo(QWidget *pParent);

  // Sends nothing more (the list is removing it).
  void Detach() { m_pParent = nullptr; }

Q_SIGNALS:
  void comboComplete(); // "WM_XCOMBOLIST_COMPLETE"
  void comboEscape();   // "WM_XCOMBOLIST_VK_ESCAPE"

protected:
  void OnEscapeKey() override;
  void OnComboComplete() override;
  void focusOutEvent(QFocusEvent *e) override;
  bool event(QEvent *e) override;
  void keyPressEvent(QKeyEvent *e) override;

private:
  QPointer<QWidget> m_pParent; // not owned: the list
};
