#include "FooButton.h"

#include "platform/Trace.h"

#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include <map>
#include <memory>

namespace {

// The group registry lives while at least one button does.
std::unique_ptr<std::map<QString, FooButton::ButtonGroup>> g_groups;
int g_instances = 0;

constexpr int kImageGap = 5;     // caption and mark distance from the image
constexpr int kArrowPart = 18;   // width of the split button's press zone
constexpr int kPressedPart = 14; // width drawn pressed in that zone
constexpr int kMarkSize = 13;    // check box and radio mark

// Bitmap ids resolve to "bitmaps:<id>.png"; our own drawings come first.
void RegisterBitmapPath()
{
  const QString ours = QStringLiteral(":/bitmaps");
  if (!QDir::searchPaths(QStringLiteral("bitmaps")).contains(ours))
    QDir::addSearchPath(QStringLiteral("bitmaps"), ours);
}

QColor BtnFace(const QWidget *w)
{
  return w->palette().color(QPalette::Button);
}
QColor Hilight(const QWidget *w)
{
  return w->palette().color(QPalette::Light);
}
QColor Shadow(const QWidget *w)
{
  return w->palette().color(QPalette::Dark);
}
QColor DkShadow(const QWidget *w)
{
  return w->palette().color(QPalette::Shadow);
}
QColor GrayText(const QWidget *w)
{
  return w->palette().color(QPalette::Disabled, QPalette::ButtonText);
}

void DrawPushFrame(const QWidget *w, QPainter &p, const QRect &r, bool checked, bool pushed, bool disabled)
{
  QStyleOptionButton opt;
  opt.initFrom(w);
  opt.rect = r;
  opt.state &= ~(QStyle::State_Sunken | QStyle::State_On | QStyle::State_Raised | QStyle::State_HasFocus);
  if (checked)
    opt.state |= QStyle::State_On | QStyle::State_Sunken;
  else if (pushed)
    opt.state |= QStyle::State_Sunken;
  else
    opt.state |= QStyle::State_Raised;
  if (disabled)
    opt.state &= ~QStyle::State_Enabled;
  w->style()->drawControl(QStyle::CE_PushButtonBevel, &opt, &p, w);
}

} // namespace

FooButton::FooButton(QWidget *parent) : QPushButton(parent)
{
  Init();
}

FooButton::FooButton(const QString &text, QWidget *parent) : QPushButton(text, parent)
{
  Init();
}

void FooButton::Init()
{
  m_crText = FromQColor(palette().color(QPalette::ButtonText));
  setMouseTracking(true);
  RegisterBitmapPath();
  if (g_instances++ == 0)
    g_groups = std::make_unique<std::map<QString, ButtonGroup>>();
}

FooButton::~FooButton()
{
  // A destroyed button must not stay in its group.
  RemoveFromGroup();
  if (--g_instances == 0)
    g_groups.reset();
}

int FooButton::InstanceCount()
{
  return g_instances;
}

void FooButton::SetType(int type)
{
  if (!VTX_ASSERT(type >= TypeFlat && type <= TypeLink))
    return;
  m_bFlat = type == TypeFlat;
  m_bHotTracking = type == TypePushHot || type == TypeDropDownHot || type == TypeSplitHot || type == TypeCheckPushHot;
  m_bDropDownArrow = type == TypeDropDown || type == TypeDropDownHot;
  m_bSplit = type == TypeSplit || type == TypeSplitHot;
  m_bLink = type == TypeLink;
  m_nType = type;
  if (type != TypeCheckPush && type != TypeCheckPushHot)
    m_bChecked = false;
  if (m_bLink)
    setCursor(Qt::PointingHandCursor);
  else
    unsetCursor();
  update();
}

void FooButton::SetTextStyle(int style)
{
  if (!VTX_ASSERT(style >= TextNone && style <= TextMultiLine))
    return;
  m_bShowCaption = style != TextNone;
  m_bCentre = style == TextCentre;
  m_bMultiLine = style == TextMultiLine;
  m_nTextStyle = style;
  update();
}

void FooButton::SetFocusStyle(int style)
{
  m_nFocusStyle = style;
  update();
}

void FooButton::SetBitmap(unsigned bitmapId, COLORREF transparent)
{
  m_nBitmapId = bitmapId;
  m_crTransparent = transparent;
  m_bImageLoaded = false;
  m_image = QImage();
  m_masked = QImage();
  update();
}

bool FooButton::IsCheckable() const
{
  return m_nType == TypeCheckPush || m_nType == TypeCheckPushHot || m_nType == TypeCheckBox || m_nType == TypeRadio;
}

bool FooButton::IsPlainPush() const
{
  return m_nType != TypeCheckBox && m_nType != TypeRadio && !m_bFlat && !m_bLink && !m_bDropDownPressed;
}

void FooButton::Check(bool state)
{
  if (IsCheckable()) {
    m_bChecked = state;
    update();
  }
  if (!m_bChecked || m_strGroup.isEmpty() || !g_groups)
    return;
  auto it = g_groups->find(m_strGroup);
  if (!VTX_ASSERT(it != g_groups->end()))
    return;
  // Copy: unchecking a member never changes the group, but stay safe anyway.
  const ButtonGroup members = it->second;
  for (const QPointer<FooButton> &member : members) {
    if (member.isNull() || member == this)
      continue;
    if (member->IsChecked())
      member->Check(false);
  }
}

bool FooButton::AddToGroup(const QString &name)
{
  if (name.isEmpty() || !g_groups)
    return false;
  RemoveFromGroup();
  ButtonGroup &group = (*g_groups)[name];
  m_strGroup = name;
  for (const QPointer<FooButton> &member : group)
    if (member == this)
      return true;
  group.emplace_back(this);
  return true;
}

void FooButton::RemoveFromGroup()
{
  if (m_strGroup.isEmpty())
    return;
  const QString name = m_strGroup;
  m_strGroup.clear();
  if (!g_groups)
    return;
  auto it = g_groups->find(name);
  if (!VTX_ASSERT(it != g_groups->end()))
    return;
  ButtonGroup &group = it->second;
  bool found = false;
  for (auto m = group.begin(); m != group.end();) {
    if (m->isNull() || *m == this) {
      found = found || *m == this;
      m = group.erase(m);
    } else {
      ++m;
    }
  }
  VTX_ASSERT(found);
}

const FooButton::ButtonGroup *FooButton::FindGroup(const QString &name)
{
  if (!g_groups)
    return nullptr;
  auto it = g_groups->find(name);
  return it == g_groups->end() ? nullptr : &it->second;
}

void FooButton::mousePressEvent(QMouseEvent *event)
{
  m_bDropDownPressed = m_bSplit && event->position().x() >= width() - kArrowPart;
  QPushButton::mousePressEvent(event);
}

void FooButton::mouseReleaseEvent(QMouseEvent *event)
{
  if (event->button() == Qt::LeftButton && IsCheckable() && rect().contains(event->position().toPoint())) {
    if (m_strGroup.isEmpty() && m_nType != TypeRadio)
      Check(!m_bChecked);
    else
      Check(true);
  }
  // The click reaches its receivers after the checked state changed.
  QPushButton::mouseReleaseEvent(event);
  m_bDropDownPressed = false;
  update();
}

void FooButton::mouseMoveEvent(QMouseEvent *event)
{
  if (m_bHotTracking && !m_bMouseTracking) {
    m_bMouseTracking = true;
    update();
  }
  QPushButton::mouseMoveEvent(event);
}

void FooButton::leaveEvent(QEvent *event)
{
  m_bMouseTracking = false;
  m_bDropDownPressed = false;
  update();
  QPushButton::leaveEvent(event);
}

void FooButton::focusInEvent(QFocusEvent *event)
{
  update();
  QPushButton::focusInEvent(event);
}

void FooButton::focusOutEvent(QFocusEvent *event)
{
  update();
  QPushButton::focusOutEvent(event);
}

const QImage &FooButton::Picture()
{
  // Decoded and masked once per picture, not on every paint.
  if (m_bImageLoaded)
    return m_image;
  m_bImageLoaded = true;
  m_image = QImage();
  m_masked = QImage();
  if (m_nBitmapId == 0)
    return m_image;
  m_image = QImage(QStringLiteral("bitmaps:%1.png").arg(m_nBitmapId));
  if (m_image.isNull())
    return m_image;
  const QRgb transparent = qRgb(GetRValue(m_crTransparent), GetGValue(m_crTransparent), GetBValue(m_crTransparent));
  m_masked = m_image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < m_masked.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(m_masked.scanLine(y));
    for (int x = 0; x < m_masked.width(); ++x)
      if ((line[x] & 0xFFFFFF) == (transparent & 0xFFFFFF))
        line[x] = 0;
  }
  return m_image;
}

void FooButton::DrawImage(QPainter &p, const QImage &image, const QPoint &at, bool disabled) const
{
  if (!disabled) {
    p.drawImage(at, m_masked);
    return;
  }
  // Embossed: every pixel that is not white is drawn once in the highlight
  // colour one pixel down and right, then in the shadow colour in place.
  const QImage src = image.convertToFormat(QImage::Format_RGB32);
  auto shape = [&](const QColor &c) {
    QImage out(src.size(), QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    for (int y = 0; y < src.height(); ++y) {
      const auto *in = reinterpret_cast<const QRgb *>(src.constScanLine(y));
      auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
      for (int x = 0; x < src.width(); ++x)
        if ((in[x] & 0xFFFFFF) != 0xFFFFFF)
          line[x] = c.rgba();
    }
    return out;
  };
  p.fillRect(QRect(at, src.size()), BtnFace(this));
  p.drawImage(at + QPoint(1, 1), shape(Hilight(this)));
  p.drawImage(at, shape(Shadow(this)));
}

void FooButton::paintEvent(QPaintEvent *)
{
  QPainter p(this);
  const QRect r = rect();
  const bool selected = isDown();
  const bool disabled = !isEnabled();
  const bool focus = hasFocus();
  p.fillRect(r, BtnFace(this));

  // Frame.
  if (m_nType != TypeCheckBox && m_nType != TypeRadio && !m_bFlat && !m_bLink) {
    if (m_bHotTracking && !m_bChecked) {
      if (m_bMouseTracking) {
        const QColor tl = selected ? Shadow(this) : Hilight(this);
        const QColor br = selected ? Hilight(this) : Shadow(this);
        p.setPen(tl);
        p.drawLine(r.left(), r.top(), r.right(), r.top());
        p.drawLine(r.left(), r.top(), r.left(), r.bottom());
        p.setPen(br);
        p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        p.drawLine(r.right(), r.top(), r.right(), r.bottom());
        if (m_bSplit && m_bDropDownPressed)
          DrawPushFrame(this, p, QRect(r.right() - kPressedPart + 1, r.top(), kPressedPart, r.height() - 1), true,
                        false, disabled);
      }
    } else {
      DrawPushFrame(this, p, r, m_bChecked, selected && !m_bSplit, disabled);
      if (m_bSplit && m_bDropDownPressed)
        DrawPushFrame(this, p, QRect(r.right() - kPressedPart + 1, r.top(), kPressedPart, r.height() - 1), true, false,
                      disabled);
    }
  }

  // Image.
  int content = 0;
  if (m_nBitmapId != 0) {
    const QImage &image = Picture();
    if (!image.isNull()) {
      int x = (m_bShowCaption || m_nType == TypeCheckBox || m_nType == TypeRadio) ? kImageGap
                                                                                  : (r.width() - image.width()) / 2;
      int y = (r.height() - image.height()) / 2;
      if (IsPlainPush() && selected) {
        ++x;
        ++y;
      }
      DrawImage(p, image, QPoint(x, y), disabled);
      content = x + image.width();
    }
  }

  // Check box or radio mark.
  if (m_nType == TypeCheckBox || m_nType == TypeRadio) {
    const int left = content > 0 ? content + kImageGap : content;
    QStyleOptionButton opt;
    opt.initFrom(this);
    opt.rect = QRect(left, (r.height() - kMarkSize) / 2, kMarkSize, kMarkSize);
    opt.state &= ~QStyle::State_HasFocus;
    opt.state |= m_bChecked ? QStyle::State_On : QStyle::State_Off;
    if (selected)
      opt.state |= QStyle::State_Sunken;
    if (disabled)
      opt.state &= ~QStyle::State_Enabled;
    style()->drawPrimitive(m_nType == TypeCheckBox ? QStyle::PE_IndicatorCheckBox : QStyle::PE_IndicatorRadioButton,
                           &opt, &p, this);
    content = opt.rect.right() + 1;
  }

  // Drop-down arrow, and the split button's separator.
  if (m_bDropDownArrow || m_bSplit) {
    const int d = (selected || m_bDropDownPressed) ? 1 : 0;
    p.setPen(disabled ? GrayText(this) : palette().color(QPalette::ButtonText));
    const int x = r.right() + 1 - 10 + d;
    const int y = r.bottom() + 1 - 8 + d;
    for (int row = 0; row < 3; ++row)
      p.drawLine(x + row, y + row, x + 4 - row, y + row);
    if (m_bSplit && !m_bDropDownPressed) {
      const int sx = r.right() + 1 - 15;
      p.setPen(Shadow(this));
      p.drawLine(sx, r.top() + 3, sx, r.bottom() - 3);
      p.setPen(Hilight(this));
      p.drawLine(sx + 1, r.top() + 3, sx + 1, r.bottom() - 3);
    }
  }

  // Caption.
  int captionRight = r.right() + 1;
  if (m_bShowCaption) {
    int left = content + (m_bCentre ? 0 : kImageGap);
    int right = r.right() + 1 - (m_bSplit ? 12 : m_bDropDownArrow ? 6 : 0);
    captionRight = right;
    if (right > left) {
      QFont font = p.font();
      if (m_bLink)
        font.setUnderline(true);
      p.setFont(font);
      const QFontMetrics fm(font);
      const int space = right - left;
      QString text = this->text();
      int flags = Qt::AlignVCenter;
      if (m_bMultiLine) {
        flags |= Qt::AlignLeft | Qt::TextWordWrap;
      } else {
        flags |= Qt::TextSingleLine | (m_bCentre ? Qt::AlignHCenter : Qt::AlignLeft);
        text = fm.elidedText(text, Qt::ElideRight, space);
        const int w = fm.horizontalAdvance(text);
        if (m_bCentre && w < space) {
          left += (space - w) / 2;
          right = left + w;
        }
      }
      QRect textRect(left, 0, right - left, r.height());
      if (IsPlainPush() && selected)
        textRect.translate(1, 1);
      if (disabled) {
        p.setPen(Hilight(this));
        p.drawText(textRect.translated(1, 1), flags, text);
        p.setPen(GrayText(this));
      } else {
        p.setPen(m_bLink ? ToQColor(RGB(0, 0, 224)) : ToQColor(m_crText));
      }
      p.drawText(textRect, flags, text);
    }
  }

  // Focus rectangle.
  if (m_nFocusStyle != 0 && !m_bFlat && !m_bHotTracking && focus) {
    QStyleOptionFocusRect opt;
    opt.initFrom(this);
    opt.rect = QRect(QPoint(content + 4, 4), QPoint(captionRight - 4 - 1, r.bottom() - 4));
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &p, this);
  }

  // The frame that marks the default button.
  if ((m_nType == TypePush || m_nType == TypeDropDown || m_nType == TypeSplit) && m_nFocusStyle == 2 && focus &&
      isDefault()) {
    const int l = r.left(), t = r.top(), rr = r.right() + 1, b = r.bottom() + 1;
    if (!selected) {
      p.setPen(DkShadow(this));
      p.drawLine(rr - 2, t + 1, rr - 2, b - 2);
      p.drawLine(rr - 2, b - 2, l, b - 2);
      p.setPen(Hilight(this));
      p.drawLine(rr - 3, t + 1, l + 1, t + 1);
      p.drawLine(l + 1, t + 1, l + 1, b - 2);
      p.setPen(Shadow(this));
      p.drawLine(rr - 3, t + 2, rr - 3, b - 3);
      p.drawLine(rr - 3, b - 3, l + 1, b - 3);
    } else {
      p.setPen(DkShadow(this));
      p.drawRect(r.adjusted(1, 1, -1, -1));
    }
    p.setPen(DkShadow(this));
    p.drawRect(r.adjusted(0, 0, -1, -1));
  }
}
