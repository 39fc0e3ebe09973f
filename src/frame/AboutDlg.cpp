#include "AboutDlg.h"

#include "controls/XHyperLink.h"
#include "model/generali.h"
#include "platform/StringIds.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include <cmath>

namespace {
int g_creditStep = 0;
// Step N shows the Nth credit text: the table keeps them in consecutive ids.
constexpr unsigned kCreditTexts = IDS_CREDIT_MOTORS;
static_assert(IDS_CREDIT_BOARDS == kCreditTexts + 1 && IDS_CREDIT_RAMPS == kCreditTexts + 2 &&
              IDS_CREDIT_TRACES == kCreditTexts + CAboutDlg::kSteps - 1);
} // namespace

CAboutDlg::CAboutDlg(QWidget *parent) : QDialog(parent)
{
  setWindowTitle(LoadStr(IDS_GENERATOR));
  setWindowIcon(QApplication::windowIcon());
  auto *grid = new QGridLayout(this);
  m_pPicture = new QLabel(this);
  m_pPicture->setFixedSize(240, 160);
  m_pPicture->setAlignment(Qt::AlignCenter);
  m_pPicture->setFrameShape(QFrame::StyledPanel);
  grid->addWidget(m_pPicture, 0, 0, 6, 1);
  m_pVersion = new QLabel(LoadStr(IDS_GENERATOR), this);
  QFont big = m_pVersion->font();
  big.setBold(true);
  big.setPointSize(big.pointSize() + 3);
  m_pVersion->setFont(big);
  grid->addWidget(m_pVersion, 0, 1);
  m_pCaption = new QLabel(this);
  m_pCaption->setWordWrap(true);
  grid->addWidget(m_pCaption, 1, 1);
  // Targets 525, 527, 526 on the labels 289, 288, 287.
  const unsigned texts[3] = {IDS_VELOTRIX_DEV_DEPT, IDS_BOARD_FIRMWARE_DEV_DEPT, IDS_DOCUMENTATION_DEV_DEPT};
  const unsigned targets[3] = {IDS_MAIL_SOFTWARE, IDS_MAIL_FIRMWARE, IDS_MAIL_DOCUMENTATION};
  for (int i = 0; i < 3; ++i) {
    m_pLinks[i] = new CXHyperLink(LoadStr(texts[i]), this);
    m_pLinks[i]->SetURL(LoadStr(targets[i]));
    grid->addWidget(m_pLinks[i], 2 + i, 1);
  }
  auto *ok = new QPushButton(LoadStr(IDS_BUTTON_OK), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  grid->addWidget(ok, 5, 1, Qt::AlignRight | Qt::AlignBottom);

  CreditsStep();
  m_timer.setInterval(kStepMs);
  connect(&m_timer, &QTimer::timeout, this, &CAboutDlg::CreditsStep);
  m_timer.start();
}

int CAboutDlg::NextStep()
{
  return g_creditStep;
}

void CAboutDlg::CreditsStep()
{
  const int step = g_creditStep;
  g_creditStep = (g_creditStep + 1) % kSteps;
  m_pPicture->setPixmap(Picture(step));
  m_pCaption->setText(LoadStr(kCreditTexts + unsigned(step)));
}

QPixmap CAboutDlg::Picture(int step)
{
  QPixmap pm(236, 156);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  static const QColor skies[kSteps] = {QColor(30, 60, 120), QColor(20, 90, 70), QColor(110, 50, 30),
                                       QColor(60, 40, 100)};
  QLinearGradient g(0, 0, 0, pm.height());
  g.setColorAt(0, skies[step % kSteps].lighter(160));
  g.setColorAt(1, skies[step % kSteps]);
  p.fillRect(pm.rect(), g);
  p.setPen(QPen(Qt::white, 3));
  p.setBrush(Qt::NoBrush);
  const QPointF c(pm.width() / 2.0, pm.height() / 2.0);
  switch (step % kSteps) {
  case 0: { // a motor: stator ring and rotor
    p.drawEllipse(c, 50, 50);
    p.drawEllipse(c, 22, 22);
    for (int i = 0; i < 6; ++i) {
      p.save();
      p.translate(c);
      p.rotate(60.0 * i);
      p.drawLine(QPointF(26, 0), QPointF(46, 0));
      p.restore();
    }
    break;
  }
  case 1: { // a board with its connector pins
    p.drawRoundedRect(QRectF(c.x() - 70, c.y() - 45, 140, 90), 6, 6);
    for (int i = 0; i < 8; ++i)
      p.drawLine(QPointF(c.x() - 56 + 16 * i, c.y() + 45), QPointF(c.x() - 56 + 16 * i, c.y() + 58));
    p.drawRect(QRectF(c.x() - 25, c.y() - 20, 50, 40));
    break;
  }
  case 2: { // a speed ramp
    QPainterPath path(QPointF(20, pm.height() - 25));
    path.lineTo(80, 40);
    path.lineTo(160, 40);
    path.lineTo(216, pm.height() - 25);
    p.drawPath(path);
    p.drawLine(QPointF(20, pm.height() - 25), QPointF(216, pm.height() - 25));
    break;
  }
  default: { // a sine trace, as the trace buffer shows it
    QPainterPath path(QPointF(16, c.y()));
    for (int x = 16; x <= pm.width() - 16; x += 2)
      path.lineTo(x, c.y() - 40 * std::sin((x - 16) / 32.0));
    p.drawPath(path);
    break;
  }
  }
  return pm;
}
