#pragma once

#include "update/UpdateCheck.h"

#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// The internet-update dialog: one button starts and stops the update worker,
// whose log and progress are polled every 100 ms. Closing it stops the worker
// and waits for its thread to end. GUI thread only.
class CUpgradeDlg : public QDialog {
  Q_OBJECT
public:
  // baseUrl: the setting "Path 0", the folder address of the update lists.
  explicit CUpgradeDlg(QWidget *parent = nullptr, const QString &baseUrl = QString());
  ~CUpgradeDlg() override;

  void SetBaseUrl(const QString &baseUrl) { m_baseUrl = baseUrl; }
  QString GetBaseUrl() const { return m_baseUrl; }
  // The worker, so the caller (and tests) can set its folders before the start.
  CUpdateCheck &Worker() { return m_worker; }

  QPlainTextEdit *LogEdit() const { return m_editLog; }
  QPushButton *StartStopButton() const { return m_btnStart; }
  QProgressBar *ProgressBar() const { return m_progress; }

  void reject() override; // Escape and the close box: OnCancel

protected:
  void showEvent(QShowEvent *event) override;
  void timerEvent(QTimerEvent *event) override;
  void closeEvent(QCloseEvent *event) override;

private:
  void OnInitDialog();
  void OnStartStop();
  void OnTimer();
  void ShowIdle();
  void StopWorkerPoll();
  void PushLog(const QString &text);

  QPlainTextEdit *m_editLog; // owned by the dialog (Qt parent)
  QPushButton *m_btnStart;   // owned by the dialog (Qt parent)
  QProgressBar *m_progress;  // owned by the dialog (Qt parent)
  QString m_strLog;
  CUpdateCheck m_worker;
  QString m_baseUrl;
  int m_nWorkerPollTimer = 0; // timer 0: polls the worker every 100 ms until it ends; 0 when off
  bool m_initialized = false;
};
