#include "StatusBarCtrls.h"

#include "frame/FrameCodes.h"
#include "frame/LockKeys.h"
#include "model/generali.h"

#include "model/MainWindowLink.h"
#include "platform/Options.h"
#include "platform/StringTable.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cmath>
#include <cstdlib>

CExtBitmap::CExtBitmap(QWidget *parent) : QLabel(parent)
{
  setText(QStringLiteral("Norv"));
  setAlignment(Qt::AlignCenter);
  setPixmap(Bitmap(m_nBitmap));
}

void CExtBitmap::ShowBitmap(unsigned id)
{
  if (id != kBitmapActive && id != kBitmapIdle)
    return;
  m_nBitmap = id;
  setPixmap(Bitmap(id));
}

QPixmap CExtBitmap::Bitmap(unsigned id)
{
  // Two plugs with a link lamp between them: lit green while the link works.
  QPixmap pm(32, 14);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(60, 60, 60), 1));
  p.setBrush(QColor(150, 150, 150));
  p.drawRect(QRectF(1.5, 3.5, 7, 7));
  p.drawRect(QRectF(23.5, 3.5, 7, 7));
  p.drawLine(QPointF(9, 7), QPointF(23, 7));
  const bool active = id == kBitmapActive;
  p.setBrush(active ? QColor(40, 200, 60) : QColor(110, 110, 110));
  p.drawEllipse(QRectF(11.5, 2.5, 9, 9));
  return pm;
}

namespace {
CLockPane::LockReader &LockReaderHook()
{
  static CLockPane::LockReader reader;
  return reader;
}
} // namespace

CLockPane::CLockPane(int id, QWidget *parent) : QLabel(parent), m_nId(id)
{
  setObjectName(id == kCapsId ? QStringLiteral("CapsPane") : QStringLiteral("NumPane"));
  setAlignment(Qt::AlignCenter);
}

void CLockPane::Show(unsigned locks)
{
  const bool on = (locks & (m_nId == kCapsId ? kCapsBit : kNumBit)) != 0;
  const QString text = LoadStr(static_cast<unsigned>(m_nId));
  if (text != m_sMeasured) {
    // Wide enough for the text in either state, so the bar does not jump.
    m_sMeasured = text;
    setMinimumWidth(fontMetrics().horizontalAdvance(text) + 8);
  }
  setText(on ? text : QString());
}

unsigned CLockPane::ReadLocks()
{
  if (LockReaderHook())
    return LockReaderHook()();
  return ReadKeyboardLocks();
}

void CLockPane::SetLockReader(LockReader reader)
{
  LockReaderHook() = std::move(reader);
}

CExtStatusBarProgressCtrl::CExtStatusBarProgressCtrl(QWidget *parent) : TProgressTimeToComplete(parent)
{
  SetSmooth(true);
  setRange(0, 300);
  setValue(0);
}

CExtStatusBarSliderCtrl::CExtStatusBarSliderCtrl(QWidget *parent) : QSlider(Qt::Horizontal, parent)
{
  setRange(0, kMaxVisLevel);
  setTickPosition(QSlider::TicksBelow);
  setTickInterval(1);
  setPageStep(1);
  setFocusPolicy(Qt::StrongFocus);
}

int CExtStatusBarSliderCtrl::PositionForFraction(int min, int max, double f)
{
  if (max <= min)
    return min;
  if (!std::isfinite(f))
    f = 0;
  f = std::clamp(f, 0.0, 1.0);
  const int pos = min + int(double(max + 1 - min) * f + (0.5 - f));
  return std::clamp(pos, min, max);
}

QRect CExtStatusBarSliderCtrl::ChannelRect() const
{
  QStyleOptionSlider opt;
  initStyleOption(&opt);
  QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
  if (!groove.isValid())
    groove = rect();
  return groove;
}

bool CExtStatusBarSliderCtrl::PositionFromPoint(const QPoint &point)
{
  const QRect channel = ChannelRect();
  double f = 0;
  if (orientation() == Qt::Horizontal) {
    if (channel.width() > 1)
      f = double(point.x() - channel.left()) / double(channel.width() - 1);
  } else if (channel.height() > 1) {
    f = double(point.y() - channel.top()) / double(channel.height() - 1);
  }
  const int pos = PositionForFraction(minimum(), maximum(), f);
  if (pos == value())
    return false;
  setValue(pos);
  return true;
}

void CExtStatusBarSliderCtrl::mousePressEvent(QMouseEvent *event)
{
  if (event->button() != Qt::LeftButton) {
    QSlider::mousePressEvent(event);
    return;
  }
  m_bDragging = true;
  m_bDragMoved = false;
  setFocus();
  if (PositionFromPoint(event->position().toPoint())) {
    m_bDragMoved = true;
    NotifyParent(kTrack);
  }
  event->accept();
}

void CExtStatusBarSliderCtrl::mouseMoveEvent(QMouseEvent *event)
{
  if (!m_bDragging) {
    QSlider::mouseMoveEvent(event);
    return;
  }
  if (PositionFromPoint(event->position().toPoint())) {
    m_bDragMoved = true;
    NotifyParent(kTrack);
  }
  event->accept();
}

void CExtStatusBarSliderCtrl::mouseReleaseEvent(QMouseEvent *event)
{
  if (!m_bDragging) {
    QSlider::mouseReleaseEvent(event);
    return;
  }
  m_bDragging = false;
  if (PositionFromPoint(event->position().toPoint())) {
    m_bDragMoved = true;
    NotifyParent(kTrack);
  }
  if (m_bDragMoved) {
    NotifyParent(kThumbPosition);
    m_bDragMoved = false;
  }
  event->accept();
}

void CExtStatusBarSliderCtrl::keyPressEvent(QKeyEvent *event)
{
  // The arrows, pages, Home and End move the thumb: the level must follow,
  // or the screen and the lists disagree. A step is a finished move.
  const int before = value();
  QSlider::keyPressEvent(event);
  if (value() != before)
    NotifyParent(kThumbPosition);
}

void CExtStatusBarSliderCtrl::wheelEvent(QWheelEvent *event)
{
  const int before = value();
  QSlider::wheelEvent(event);
  if (value() != before)
    NotifyParent(kThumbPosition);
}

void CExtStatusBarSliderCtrl::NotifyParent(int code)
{
  if (!m_pMainFrame)
    return;
  COptionInt &level = m_pMainFrame->GetOptions().VisLevel;
  if (level.Get() == value())
    return;
  // Stored before announcing, so the last notice of a drag finds them equal.
  level.Set(value());
  // Posted: the boards hear of it once the input handler has returned, one
  // notice per value in the order the values came.
  const int position = value();
  QMetaObject::invokeMethod(
      this, [this, code, position] { emit visLevelChanged(code, position); }, Qt::QueuedConnection);
}

CMainToolbar::CMainToolbar(QWidget *parent) : QToolBar(parent)
{
  setObjectName(QStringLiteral("MainToolbar"));
  setIconSize(QSize(16, 16));
  // A place 40 pixels wide; the box keeps 3 pixels clear on every side.
  auto *place = new QWidget(this);
  place->setFixedWidth(kAddressPlaceWidth);
  auto *layout = new QHBoxLayout(place);
  layout->setContentsMargins(3, 3, 3, 3);
  m_pAddressBox = new QLineEdit(place);
  m_pAddressBox->setObjectName(QStringLiteral("AddressBox"));
  m_pAddressBox->setMaxLength(8);
  layout->addWidget(m_pAddressBox);
  m_pAddressAction = addWidget(place);
  connect(m_pAddressBox, &QLineEdit::returnPressed, this, &CMainToolbar::OnEnter);
}

void CMainToolbar::SetAddress(int address)
{
  m_nAddress = address;
  m_pAddressBox->setText(address > 0 ? QString::number(address) : QString());
}

void CMainToolbar::OnEnter()
{
  const QByteArray text = m_pAddressBox->text().toLatin1();
  // Leading digits as atoi reads them; a long digit run is out of range anyway.
  const long value = std::strtol(text.constData(), nullptr, 10);
  if (value < kMinAddress || value > kMaxAddress) {
    vtx::Beep(440, 50);
    SetAddress(m_nAddress);
    return;
  }
  emit addressEntered(int(value));
}
