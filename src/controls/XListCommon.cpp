#include "XListCommon.h"

#include <QApplication>
#include <QBitmap>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

namespace xl {

bool IsCellEditorKey(int qtKey, Qt::KeyboardModifiers modifiers)
{
  switch (qtKey) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
  case Qt::Key_Escape:
  case Qt::Key_Delete:
  case Qt::Key_Tab:
  case Qt::Key_Backtab:
  case Qt::Key_Up:
  case Qt::Key_Down:
    return true;
  default:
    return (modifiers & Qt::ControlModifier) != 0;
  }
}

void CellLineEdit::mouseDoubleClickEvent(QMouseEvent *e)
{
  QLineEdit::mouseDoubleClickEvent(e);
  if (e->button() != Qt::LeftButton)
    return;
  const QString value = text();
  const QPoint pt = e->position().toPoint();
  const int pos = cursorPositionAt(pt);
  int start = pos, end = pos;
  while (start > 0 && !value.at(start - 1).isSpace())
    --start;
  while (end < value.size() && !value.at(end).isSpace())
    ++end;
  if (start == end)
    return; // on a blank: QLineEdit's selection stands
  setSelection(start, end - start);
  m_pt = pt;
  m_bHeld = true;
}

void CellLineEdit::mouseMoveEvent(QMouseEvent *e)
{
  if (m_bHeld && (e->buttons() & Qt::LeftButton) &&
      (e->position().toPoint() - m_pt).manhattanLength() < QApplication::startDragDistance())
    return;
  m_bHeld = false; // a drag from here on
  QLineEdit::mouseMoveEvent(e);
}

void CellLineEdit::mouseReleaseEvent(QMouseEvent *e)
{
  m_bHeld = false;
  QLineEdit::mouseReleaseEvent(e);
}

int VirtualKeyFromQt(int qtKey)
{
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
    return VK_F1 + (qtKey - Qt::Key_F1);
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
    return qtKey; // same codes as ASCII upper case and digits
  switch (qtKey) {
  case Qt::Key_Backspace:
    return VK_BACK;
  case Qt::Key_Tab:
    return VK_TAB;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    return VK_RETURN;
  case Qt::Key_Escape:
    return VK_ESCAPE;
  case Qt::Key_Space:
    return VK_SPACE;
  case Qt::Key_PageUp:
    return VK_PRIOR;
  case Qt::Key_PageDown:
    return VK_NEXT;
  case Qt::Key_End:
    return VK_END;
  case Qt::Key_Home:
    return VK_HOME;
  case Qt::Key_Left:
    return VK_LEFT;
  case Qt::Key_Up:
    return VK_UP;
  case Qt::Key_Right:
    return VK_RIGHT;
  case Qt::Key_Down:
    return VK_DOWN;
  case Qt::Key_Insert:
    return VK_INSERT;
  case Qt::Key_Delete:
    return VK_DELETE;
  case Qt::Key_Shift:
    return 0x10;
  case Qt::Key_Control:
    return 0x11;
  case Qt::Key_Alt:
    return 0x12;
  default:
    return 0;
  }
}

COLORREF GetSysColor(SysColor index, const QPalette &pal)
{
  auto c = [&](QPalette::ColorGroup g, QPalette::ColorRole r) { return FromQColor(pal.color(g, r)); };
  switch (index) {
  case COLOR_3DFACE:
  case COLOR_BTNFACE:
    return c(QPalette::Active, QPalette::Button);
  case COLOR_3DHILIGHT:
  case COLOR_BTNHIGHLIGHT:
    return c(QPalette::Active, QPalette::Light);
  case COLOR_3DSHADOW:
  case COLOR_BTNSHADOW:
    return c(QPalette::Active, QPalette::Mid);
  case COLOR_3DDKSHADOW:
    return c(QPalette::Active, QPalette::Shadow);
  case COLOR_3DLIGHT:
    return c(QPalette::Active, QPalette::Midlight);
  case COLOR_ACTIVECAPTION:
    return c(QPalette::Active, QPalette::Highlight);
  case COLOR_BTNTEXT:
    return c(QPalette::Active, QPalette::ButtonText);
  case COLOR_GRAYTEXT:
    return c(QPalette::Disabled, QPalette::Text);
  case COLOR_HIGHLIGHT:
    return c(QPalette::Active, QPalette::Highlight);
  case COLOR_HIGHLIGHTTEXT:
    return c(QPalette::Active, QPalette::HighlightedText);
  case COLOR_INACTIVECAPTION:
    return c(QPalette::Inactive, QPalette::Mid);
  case COLOR_INACTIVECAPTIONTEXT:
    return c(QPalette::Inactive, QPalette::Text);
  case COLOR_WINDOW:
    return c(QPalette::Active, QPalette::Base);
  case COLOR_WINDOWTEXT:
    return c(QPalette::Active, QPalette::Text);
  }
  return 0;
}

void FillSolidRect(QPainter *p, const QRect &rc, COLORREF cr)
{
  if (rc.width() > 0 && rc.height() > 0)
    p->fillRect(rc, ToQColor(cr));
}

void FrameRect(QPainter *p, const QRect &rc, COLORREF cr)
{
  if (rc.width() <= 0 || rc.height() <= 0)
    return;
  const QColor c = ToQColor(cr);
  p->fillRect(QRect(rc.left(), rc.top(), rc.width(), 1), c);
  p->fillRect(QRect(rc.left(), rc.bottom(), rc.width(), 1), c);
  p->fillRect(QRect(rc.left(), rc.top(), 1, rc.height()), c);
  p->fillRect(QRect(rc.right(), rc.top(), 1, rc.height()), c);
}

void Draw3dRect(QPainter *p, const QRect &rc, COLORREF crTopLeft, COLORREF crBottomRight)
{
  const int x = rc.left(), y = rc.top(), cx = rc.width(), cy = rc.height();
  if (cx <= 0 || cy <= 0)
    return;
  const QColor tl = ToQColor(crTopLeft), br = ToQColor(crBottomRight);
  p->fillRect(QRect(x, y, cx - 1, 1), tl);
  p->fillRect(QRect(x, y, 1, cy - 1), tl);
  p->fillRect(QRect(x + cx - 1, y, 1, cy), br);
  p->fillRect(QRect(x, y + cy - 1, cx, 1), br);
}

void DrawCheckMark(QPainter *p, const QRect &box, COLORREF cr)
{
  const QColor c = ToQColor(cr);
  int x = box.left() + 9;
  int y = box.top() + 3;
  for (int i = 0; i < 4; ++i, --x, ++y)
    p->fillRect(QRect(x, y, 1, 3), c);
  for (int i = 0; i < 3; ++i, --x, --y)
    p->fillRect(QRect(x, y, 1, 3), c);
}

void DrawComboButton(QPainter *p, const QRect &rc, bool pushed, bool enabled, const QPalette &pal)
{
  if (rc.width() <= 0 || rc.height() <= 0)
    return;
  FillSolidRect(p, rc, GetSysColor(COLOR_BTNFACE, pal));
  if (pushed)
    FrameRect(p, rc, GetSysColor(COLOR_BTNSHADOW, pal));
  else {
    Draw3dRect(p, rc, GetSysColor(COLOR_3DLIGHT, pal), GetSysColor(COLOR_3DDKSHADOW, pal));
    Draw3dRect(p, rc.adjusted(1, 1, -1, -1), GetSysColor(COLOR_BTNHIGHLIGHT, pal), GetSysColor(COLOR_BTNSHADOW, pal));
  }
  // A small triangle, one pixel lower while pushed.
  const int w = qMax(3, qMin(rc.width(), rc.height()) / 3) | 1;
  const int cx = rc.left() + rc.width() / 2 + (pushed ? 1 : 0);
  const int top = rc.top() + (rc.height() - (w + 1) / 2) / 2 + (pushed ? 1 : 0);
  const QColor c = ToQColor(GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT, pal));
  for (int row = 0; row < (w + 1) / 2; ++row)
    p->fillRect(QRect(cx - w / 2 + row, top + row, w - 2 * row, 1), c);
}

} // namespace xl

bool CImageList::Create(const QPixmap &strip, int cx, int /*nGrow*/, COLORREF crMask)
{
  m_images.clear();
  m_size = QSize();
  if (strip.isNull() || cx < 1)
    return false;
  QPixmap masked = strip;
  if (crMask != CLR_NONE)
    masked.setMask(strip.createMaskFromColor(ToQColor(crMask), Qt::MaskInColor));
  for (int x = 0; x + cx <= strip.width(); x += cx)
    m_images.push_back(masked.copy(x, 0, cx, strip.height()));
  if (m_images.empty())
    return false;
  m_size = QSize(cx, strip.height());
  return true;
}

int CImageList::Add(const QPixmap &image)
{
  if (image.isNull())
    return -1;
  if (m_images.empty())
    m_size = image.size();
  m_images.push_back(image.size() == m_size ? image : image.scaled(m_size));
  return GetImageCount() - 1;
}

bool CImageList::GetImageRect(int nImage, QRect *rc) const
{
  if (nImage < 0 || nImage >= GetImageCount())
    return false;
  if (rc)
    *rc = QRect(QPoint(0, 0), m_size);
  return true;
}

COLORREF CImageList::SetBkColor(COLORREF cr)
{
  const COLORREF old = m_crBk;
  m_crBk = cr;
  return old;
}

bool CImageList::Draw(QPainter *p, int nImage, QPoint pt, QSize clip) const
{
  if (nImage < 0 || nImage >= GetImageCount())
    return false;
  QSize size = m_size;
  if (clip.isValid())
    size = size.boundedTo(clip);
  if (size.width() <= 0 || size.height() <= 0)
    return true;
  if (m_crBk != CLR_NONE)
    p->fillRect(QRect(pt, size), ToQColor(m_crBk));
  p->drawPixmap(pt, m_images[static_cast<size_t>(nImage)], QRect(QPoint(0, 0), size));
  return true;
}

QPixmap CImageList::CheckBoxStrip()
{
  QImage img(48, 16, QImage::Format_RGB32);
  img.fill(QColor(255, 0, 255));
  QPainter p(&img);
  for (int i = 1; i <= 2; ++i) {
    const QRect box(i * 16 + 1, 1, 13, 13);
    xl::FillSolidRect(&p, box, RGB(255, 255, 255));
    xl::FrameRect(&p, box, RGB(51, 102, 153));
    if (i == 2)
      xl::DrawCheckMark(&p, box, RGB(51, 153, 51));
  }
  p.end();
  return QPixmap::fromImage(img);
}
