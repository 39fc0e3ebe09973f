#include "update/UpgradeDlg.h"

#include "model/generali.h"
#include "platform/DialogUnits.h"
#include "platform/StringIds.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimerEvent>

#include <algorithm>
#include <cmath>

namespace {

const char *const kProduct = "Velo-Trix";
const char *const kListPage = "update.htm";

QString ForDisplay(const QString &log)
{
  QString text = log;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

} // namespace

CUpgradeDlg::CUpgradeDlg(QWidget *parent, const QString &baseUrl)
    : QDialog(parent), m_editLog(new QPlainTextEdit(this)), m_btnStart(new QPushButton(this)),
      m_progress(new QProgressBar(this)), m_baseUrl(baseUrl)
{
  setWindowTitle(LoadStr(IDS_GENERATOR));
  setModal(true);
  m_editLog->setReadOnly(true);
  m_editLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_editLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  m_progress->setTextVisible(false);
  const CDialogUnits units(font());
  m_editLog->setGeometry(units.Rect(6, 5, 188, 131));
  m_progress->setGeometry(units.Rect(6, 141, 188, 9));
  m_btnStart->setGeometry(units.Rect(57, 153, 87, 14));
  setFixedSize(units.Rect(0, 0, 201, 175).size());
  m_btnStart->setText(LoadStr(IDS_UPD_START_BUTTON));
  connect(m_btnStart, &QPushButton::clicked, this, &CUpgradeDlg::OnStartStop);
}

CUpgradeDlg::~CUpgradeDlg()
{
  StopWorkerPoll();
  // The worker's destructor (a member) stops its thread and waits for it.
  m_worker.SetRunFlag(0);
  m_worker.RequestStop();
}

void CUpgradeDlg::showEvent(QShowEvent *event)
{
  QDialog::showEvent(event);
  if (!m_initialized) {
    m_initialized = true;
    OnInitDialog();
  }
}

void CUpgradeDlg::OnInitDialog()
{
  m_worker.CreateWorker();
  ShowIdle();
  m_progress->setRange(0, 100);
  m_progress->setValue(0);
  m_strLog = LoadStr(IDS_UPD_READY);
  PushLog(m_strLog);
}

void CUpgradeDlg::ShowIdle()
{
  m_worker.SetRunFlag(0);
  m_btnStart->setText(LoadStr(IDS_UPD_START_BUTTON));
}

void CUpgradeDlg::OnStartStop()
{
  if (m_worker.IsFinished()) {
    m_worker.SetRunFlag(1);
    m_btnStart->setText(LoadStr(IDS_UPD_CANCEL_BUTTON));
    if (!m_nWorkerPollTimer)
      m_nWorkerPollTimer = startTimer(100);
    m_worker.Start(m_baseUrl, QString::fromLatin1(kProduct), QString::fromLatin1(kListPage));
  } else {
    ShowIdle();
  }
}

void CUpgradeDlg::timerEvent(QTimerEvent *event)
{
  if (event->timerId() == m_nWorkerPollTimer)
    OnTimer();
  QDialog::timerEvent(event);
}

void CUpgradeDlg::OnTimer()
{
  if (!m_worker.IsFinished()) {
    const double progress = m_worker.GetProgress();
    m_progress->setValue(std::isfinite(progress) ? std::clamp(int(progress), 0, 100) : 0);
  } else {
    ShowIdle();
    StopWorkerPoll();
    m_progress->setValue(0);
  }
  const QString log = m_worker.GetLog();
  if (log != m_strLog) {
    m_strLog = log;
    PushLog(m_strLog);
  }
}

void CUpgradeDlg::PushLog(const QString &text)
{
  m_editLog->setPlainText(ForDisplay(text));
  QScrollBar *bar = m_editLog->verticalScrollBar();
  bar->setValue(bar->maximum());
}

void CUpgradeDlg::StopWorkerPoll()
{
  if (m_nWorkerPollTimer)
    killTimer(m_nWorkerPollTimer);
  m_nWorkerPollTimer = 0;
}

void CUpgradeDlg::reject()
{
  ShowIdle();
  m_worker.RequestStop();
  QDialog::reject();
}

void CUpgradeDlg::closeEvent(QCloseEvent *event)
{
  StopWorkerPoll();
  m_editLog->setPlainText(LoadStr(IDS_UPD_CLOSING));
  m_editLog->repaint();
  QDialog::closeEvent(event);
}
