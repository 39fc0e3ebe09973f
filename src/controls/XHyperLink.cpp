#include "XHyperLink.h"

#include "platform/Launcher.h"
#include "platform/StringTable.h"
#include "platform/Trace.h"

#include <QCursor>
#include <QFontMetrics>
#include <QMouseEvent>

CXHyperLink::CXHyperLink(QWidget *parent) : QLabel(parent)
{
  Init();
}

CXHyperLink::CXHyperLink(const QString &text, QWidget *parent) : QLabel(text, parent)
{
  Init();
  Attach();
}

CXHyperLink::~CXHyperLink()
{
  m_Timer.stop();
  qCDebug(lcControls, "in CXHyperLink::~CXHyperLink");
}

void CXHyperLink::Init()
{
  m_Timer.setInterval(100);
  connect(&m_Timer, &QTimer::timeout, this, &CXHyperLink::OnTimer);
  setMouseTracking(true);
  setTextFormat(Qt::PlainText);
  // A static text sits at the top of its rectangle; only a link given
  // Qt::AlignVCenter is centred vertically when it sizes itself.
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

// What the control does once it has its text: the text is the target unless
// one is given, an empty text shows the target.
void CXHyperLink::Attach()
{
  if (m_bAttached)
    return;
  m_bAttached = true;
  if (m_strURL.isEmpty())
    m_strURL = text();
  if (text().isEmpty())
    setText(m_strURL);
  m_StdFont = font();
  m_UnderlineFont = font();
  m_UnderlineFont.setUnderline(true);
  PositionWindow();
  setCursor(Qt::PointingHandCursor);
  if (m_bToolTip)
    setToolTip(m_strURL);
  ApplyColour();
}

void CXHyperLink::showEvent(QShowEvent *event)
{
  Attach();
  QLabel::showEvent(event);
}

void CXHyperLink::SetURL(const QString &url)
{
  m_strURL = url;
  if (!m_bAttached)
    return;
  PositionWindow();
  if (m_bToolTip)
    setToolTip(m_strURL);
}

void CXHyperLink::SetUnderline(int mode)
{
  if (mode == m_nUnderline)
    return;
  m_nUnderline = mode;
  if (m_bAttached) {
    setFont(mode == 1 ? m_UnderlineFont : m_StdFont);
    update();
  }
}

void CXHyperLink::SetVisited(bool visited)
{
  m_bVisited = visited;
  ApplyColour();
}

void CXHyperLink::SetColours(COLORREF link, COLORREF visited, COLORREF hover)
{
  m_crLink = link;
  m_crVisited = visited;
  m_crHover = hover;
  ApplyColour();
}

void CXHyperLink::EnableTooltip(bool enable)
{
  m_bToolTip = enable;
  setToolTip(enable ? m_strURL : QString());
}

COLORREF CXHyperLink::CurrentColour() const
{
  return m_bOverControl ? m_crHover : m_bVisited ? m_crVisited : m_crLink;
}

void CXHyperLink::ApplyColour()
{
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, ToQColor(CurrentColour()));
  setPalette(pal);
  update();
}

void CXHyperLink::PositionWindow()
{
  if (!m_bAutoSize)
    return;
  const QFontMetrics fm(m_bAttached ? m_UnderlineFont : font());
  const QSize textSize = fm.size(Qt::TextSingleLine, text());
  const QRect contents = contentsRect();
  const int w = textSize.width() + (width() - contents.width());
  const int h = textSize.height() + (height() - contents.height());
  QRect r = geometry();
  const Qt::Alignment align = alignment();
  if (align & Qt::AlignVCenter) {
    const int top = r.top() + (r.height() - h) / 2;
    r.setTop(top);
    r.setHeight(h);
  } else {
    r.setHeight(h);
  }
  if (align & Qt::AlignHCenter) {
    const int left = r.left() + (r.width() - w) / 2;
    r.setLeft(left);
    r.setWidth(w);
  } else if (align & Qt::AlignRight) {
    r.setLeft(r.right() + 1 - w);
  } else {
    r.setWidth(w);
  }
  setGeometry(r);
}

bool CXHyperLink::GotoURL(const QString &url)
{
  // An empty target opens nothing: a failure, never a visit.
  if (url.trimmed().isEmpty())
    return false;
  return Launcher::Instance().Open(url);
}

void CXHyperLink::mouseMoveEvent(QMouseEvent *event)
{
  if (!m_bOverControl) {
    m_bOverControl = true;
    if (m_nUnderline == -1 && m_bAttached)
      setFont(m_UnderlineFont);
    ApplyColour();
    m_Timer.start();
  }
  QLabel::mouseMoveEvent(event);
}

void CXHyperLink::leaveEvent(QEvent *event)
{
  if (m_bOverControl)
    EndHover();
  QLabel::leaveEvent(event);
}

void CXHyperLink::OnTimer()
{
  if (!rect().contains(mapFromGlobal(QCursor::pos())))
    EndHover();
}

void CXHyperLink::EndHover()
{
  m_bOverControl = false;
  m_Timer.stop();
  if (m_nUnderline != 1 && m_bAttached)
    setFont(m_StdFont);
  ApplyColour();
}

void CXHyperLink::mousePressEvent(QMouseEvent *event)
{
  m_bPressed = event->button() == Qt::LeftButton;
  QLabel::mousePressEvent(event);
  // Keep the press, so the release comes back here and not to the parent.
  if (m_bPressed)
    event->accept();
}

void CXHyperLink::mouseReleaseEvent(QMouseEvent *event)
{
  const bool click = m_bPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  m_bPressed = false;
  QLabel::mouseReleaseEvent(event);
  if (click)
    OnClicked();
}

void CXHyperLink::OnClicked()
{
  m_bOverControl = false;
  m_Timer.stop();
  const bool visited = !m_bOpenOnClick || GotoURL(m_strURL);
  if (visited)
    SetVisited(true);
  else {
    ApplyColour();
    vtx::Beep(880, 200);
  }
  if (m_bNotifyParent)
    Q_EMIT clicked();
}
