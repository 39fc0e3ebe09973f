#pragma once

#include "XListCommon.h"

#include <QLineEdit>
#include <QPointer>

// The list control's in-cell edit box. Enter asks for a commit, Escape and
// losing the focus ask for an abandon; only the first request of its life is
// sent, so the focus loss while the list removes it after a commit is silent.
class CXEdit : public xl::CellLineEdit {
  Q_OBJECT
public:
  CXEdit(QWidget *pParent, const QString &strText);

  // Sends nothing more (the list is removing it).
  void Detach() { m_pParent = nullptr; }
  bool MessageSent() const { return m_bMessageSent; }

Q_SIGNALS:
  void editKillFocus(); // "WM_XEDIT_KILL_FOCUS": commit
  void editEscape();    // "WM_XEDIT_VK_ESCAPE": abandon

protected:
  bool event(QEvent *e) override;
  void keyPressEvent(QKeyEvent *e) override;
  void focusOutEvent(QFocusEvent *e) override;
  void paintEvent(QPaintEvent *e) override;

private:
  enum class Message { KillFocus, Escape };
  void SendRegisteredMessage(Message m);
  QPointer<QWidget> m_pParent; // not owned: the list
  QString m_strText;
  bool m_bMessageSent = false;
};
