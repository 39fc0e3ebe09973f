#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// tools/boardsim as a child process; Device() is empty when it did not start.
class SimBoard {
public:
  explicit SimBoard(const QStringList &arguments);
  ~SimBoard();
  SimBoard(const SimBoard &) = delete;
  SimBoard &operator=(const SimBoard &) = delete;
  QString Device() const { return m_device; }
  // The frames the board has received, -1 when it does not answer.
  long Requests();

private:
  QProcess m_process;
  QString m_device;
};
