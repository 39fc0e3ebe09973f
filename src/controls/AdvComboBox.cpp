#include "AdvComboBox.h"

#include "DropListBox.h"
#include "DropWnd.h"
#include "XListCommon.h"

#include "platform/Trace.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QWheelEvent>

using namespace xl;

CAdvComboBox::CAdvComboBox(bool, QWidget *pNotifyWnd, QWidget *parent)
    : QWidget(parent), m_pNotifyWnd(pNotifyWnd ? pNotifyWnd : parent)
{
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover, true);
  if (m_pNotifyWnd)
    setFont(m_pNotifyWnd->font());
}

CAdvComboBox::~CAdvComboBox()
{
  if (m_pDropWnd) {
    m_pDropWnd->SetClosingByCombo();
    m_pDropWnd->hide();
    m_bDropListVisible = false;
    delete m_pDropWnd;
    m_pDropWnd = nullptr;
  }
}

int CAdvComboBox::AddString(const QString &text)
{
  m_list.append(text);
  return GetCount() - 1;
}

int CAdvComboBox::GetLBText(int index, QString &text) const
{
  if (!IsItem(index)) {
    text.clear();
    return CB_ERR;
  }
  text = m_list.at(index);
  return static_cast<int>(text.size());
}

QString CAdvComboBox::GetLBText(int index) const
{
  return IsItem(index) ? m_list.at(index) : QString();
}

int CAdvComboBox::GetLBTextLen(int index) const
{
  return IsItem(index) ? static_cast<int>(m_list.at(index).size()) : CB_ERR;
}

int CAdvComboBox::GetCurSel() const
{
  return FindStringExact(-1, m_strText);
}

int CAdvComboBox::SetCurSel(int index)
{
  if (index == -1) {
    m_nCurSel = -1;
    m_strText.clear();
    update();
    return CB_ERR;
  }
  if (m_list.isEmpty()) {
    // Kept for the first opening; a negative index means no current item.
    m_nCurSel = index >= 0 ? index : -1;
    return CB_ERR;
  }
  if (!IsItem(index))
    return CB_ERR;
  m_nCurSel = index;
  m_strText = m_list.at(index);
  update();
  return index;
}

int CAdvComboBox::SelectString(int nStart, const QString &text)
{
  return SetCurSel(FindStringExact(nStart, text));
}

int CAdvComboBox::FindStringExact(int nStart, const QString &text) const
{
  qCDebug(lcControls, "in CAdvComboBox::FindStringExact:  nIndexStart=%d", nStart);
  const int from = nStart == -1 ? 0 : nStart;
  if (from < 0)
    return CB_ERR;
  for (int i = from; i < GetCount(); ++i)
    if (m_list.at(i) == text)
      return i;
  return CB_ERR;
}

void CAdvComboBox::ResetContent()
{
  m_list.clear();
  m_strText.clear();
  m_nCurSel = -1;
  m_strWindowText.clear();
  update();
}

int CAdvComboBox::GetTopIndex() const
{
  if (m_bDropListVisible && m_pDropWnd)
    return m_pDropWnd->GetListBox()->GetTopIndex();
  return CB_ERR;
}

int CAdvComboBox::SetTopIndex(int index)
{
  if (m_bDropListVisible && m_pDropWnd)
    return m_pDropWnd->GetListBox()->SetTopIndex(index);
  return CB_ERR;
}

void CAdvComboBox::OnToggleDropDown()
{
  if (!m_bDropListVisible) {
    if (!m_pDropWnd)
      CreateDropWindow();
    m_pDropWnd->show();
    m_bDropListVisible = true;
  } else {
    OnDestroyDropdownList();
  }
  update();
}

void CAdvComboBox::CreateDropWindow()
{
  VTX_ASSERT(m_pDropWnd == nullptr);
  m_pDropWnd = new CDropWnd(this, m_list);
  m_pDropWnd->Create(QRect(mapToGlobal(QPoint(0, 0)), size()));
  if (m_nCurSel > GetCount() - 1)
    m_nCurSel = 0;
  m_pDropWnd->GetListBox()->SelectIndex(m_nCurSel);
  m_pDropWnd->setFont(GetComboFont());
  Q_EMIT notify(CBN_DROPDOWN);
}

void CAdvComboBox::OnDestroyDropdownList()
{
  qCDebug(lcControls) << "in CAdvComboBox::OnDestroyDropdownList";
  if (!m_pDropWnd) {
    qCDebug(lcControls) << "in CAdvComboBox::OnDestroyDropdownList::OnComboComplete";
    OnComboComplete();
    return;
  }
  CDropWnd *drop = m_pDropWnd;
  m_pDropWnd = nullptr;
  m_bDropListVisible = false;
  drop->SetClosingByCombo();
  drop->hide();
  // May run inside one of the drop-down's own handlers.
  drop->deleteLater();
  update();
  if (!m_bSelChosen)
    Q_EMIT notify(CBN_SELENDCANCEL);
  else
    m_bSelChosen = false;
  Q_EMIT notify(CBN_CLOSEUP);
}

int CAdvComboBox::OnSelectedItem(int index)
{
  // A choice that arrives after the list closed has no row to read.
  if (!m_pDropWnd)
    return 0;
  CDropListBox *lb = m_pDropWnd->GetListBox();
  if (index < 0 || index >= lb->GetCount())
    return 0;
  const QString text = lb->GetText(index);
  m_strText = text;
  m_nCurSel = FindStringExact(0, text);
  m_strWindowText = text;
  m_bSelChosen = true;
  Q_EMIT notify(CBN_SELENDOK);
  update();
  OnDestroyDropdownList();
  update();
  Q_EMIT notify(CBN_SELCHANGE);
  return 1;
}

void CAdvComboBox::PostSelectedItem(int index)
{
  QMetaObject::invokeMethod(
      this, [this, index] { OnSelectedItem(index); }, Qt::QueuedConnection);
}

void CAdvComboBox::PostDestroyDropdownList()
{
  QMetaObject::invokeMethod(
      this, [this] { OnDestroyDropdownList(); }, Qt::QueuedConnection);
}

void CAdvComboBox::ApplyMove(int index)
{
  const bool changed = index != m_nCurSel;
  m_nCurSel = index;
  m_strText = m_list.at(index);
  update();
  if (changed) {
    Q_EMIT notify(CBN_SELENDOK);
    Q_EMIT notify(CBN_SELCHANGE);
  }
}

void CAdvComboBox::SelectNextItem()
{
  if (GetCount() == 0)
    return;
  const int next = IsItem(m_nCurSel) ? m_nCurSel + 1 : 0;
  if (next <= GetCount() - 1)
    ApplyMove(next);
}

void CAdvComboBox::SelectPrevItem()
{
  if (GetCount() == 0)
    return;
  if (!IsItem(m_nCurSel)) {
    // No current item: the move from before the first item lands on the last.
    ApplyMove(GetCount() - 1);
    return;
  }
  if (m_nCurSel > 0)
    ApplyMove(m_nCurSel - 1);
}

void CAdvComboBox::SelectNextItems(int n)
{
  if (GetCount() == 0)
    return;
  const int cur = IsItem(m_nCurSel) ? m_nCurSel : 0;
  ApplyMove(qMin(cur + n, GetCount() - 1));
}

void CAdvComboBox::SelectPrevItems(int n)
{
  if (GetCount() == 0)
    return;
  const int cur = IsItem(m_nCurSel) ? m_nCurSel : 0;
  ApplyMove(qMax(cur - n, 0));
}

bool CAdvComboBox::HandleKey(QKeyEvent *e)
{
  const bool open = m_bDropListVisible && m_pDropWnd;
  const int key = e->key();
  const bool alt = e->modifiers() & Qt::AltModifier;

  if (alt && (key == Qt::Key_Up || key == Qt::Key_Down)) {
    OnToggleDropDown();
    return false; // passed on
  }
  if (key == Qt::Key_F4) {
    OnToggleDropDown();
    return true;
  }
  return open ? HandleListKey(m_pDropWnd->GetListBox(), key) : HandleClosedKey(key);
}

// A key while no list is open moves the combo's own choice.
bool CAdvComboBox::HandleClosedKey(int key)
{
  switch (key) {
  case Qt::Key_Escape:
    OnEscapeKey();
    return false;
  case Qt::Key_Down:
    SelectNextItem();
    return true;
  case Qt::Key_Up:
    SelectPrevItem();
    return true;
  case Qt::Key_PageDown:
    SelectNextItems(10);
    return true;
  case Qt::Key_PageUp:
    SelectPrevItems(10);
    return true;
  default:
    return false;
  }
}

// A key while the list is open moves its highlight, applies or abandons it.
bool CAdvComboBox::HandleListKey(CDropListBox *lb, int key)
{
  switch (key) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
    if (lb->GetCurSel() >= 0)
      OnSelectedItem(lb->GetCurSel());
    OnDestroyDropdownList();
    return true;
  case Qt::Key_Escape:
    OnDestroyDropdownList();
    return true;
  case Qt::Key_Down:
    if (lb->GetCurSel() < 0)
      lb->SelectIndex(0);
    else if (lb->GetCurSel() < lb->GetCount() - 1)
      lb->SelectIndex(lb->GetCurSel() + 1);
    return true;
  case Qt::Key_Up:
    if (lb->GetCurSel() > 0)
      lb->SelectIndex(lb->GetCurSel() - 1);
    return true;
  case Qt::Key_PageDown:
    if (lb->GetCount() > 0)
      HighlightInList(lb, PageDownTarget(lb));
    return true;
  case Qt::Key_PageUp:
    if (lb->GetCurSel() > 0)
      HighlightInList(lb, PageUpTarget(lb));
    return true;
  default:
    return false;
  }
}

void CAdvComboBox::HighlightInList(CDropListBox *lb, int index)
{
  lb->SelectIndex(index);
  m_strWindowText = lb->GetText(lb->GetCurSel());
}

// The last visible row, or a page further when the highlight is already there.
int CAdvComboBox::PageDownTarget(CDropListBox *lb)
{
  const int cur = lb->GetCurSel();
  const int last = lb->GetCount() - 1;
  if (cur < 0)
    return 0;
  if (cur == last)
    return last;
  const int top = lb->GetTopIndex();
  const int vis = lb->GetVisibleCount();
  const int lastVisible = top + vis - 1;
  return qMin(cur < lastVisible ? lastVisible : top + 2 * vis - 2, last);
}

// The top visible row, or a page back when the highlight is already there.
int CAdvComboBox::PageUpTarget(CDropListBox *lb)
{
  const int top = lb->GetTopIndex();
  return lb->GetCurSel() != top ? top : qMax(top - lb->GetVisibleCount() + 1, 0);
}

bool CAdvComboBox::event(QEvent *e)
{
  // The keys the combo always acts on come before the shortcuts of the
  // window around it.
  if (e->type() == QEvent::ShortcutOverride) {
    auto *ke = static_cast<QKeyEvent *>(e);
    if (!(ke->modifiers() & Qt::AltModifier)) {
      switch (ke->key()) {
      case Qt::Key_F4:
      case Qt::Key_Up:
      case Qt::Key_Down:
      case Qt::Key_PageUp:
      case Qt::Key_PageDown:
        e->accept();
        return true;
      default:
        break;
      }
    }
  }
  return QWidget::event(e);
}

void CAdvComboBox::keyPressEvent(QKeyEvent *e)
{
  if (HandleKey(e))
    return;
  // What the character handler of a closed combo does with Enter.
  if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && !(e->modifiers() & Qt::AltModifier) &&
      m_pNotifyWnd) {
    OnComboComplete();
    return;
  }
  QWidget::keyPressEvent(e);
}

void CAdvComboBox::HandleWheel(int delta)
{
  m_nWheelDelta += delta;
  const bool open = m_bDropListVisible && m_pDropWnd;
  if (m_nWheelDelta >= 120) {
    m_nWheelDelta = 0;
    if (!open) {
      SelectPrevItem();
    } else {
      CDropListBox *lb = m_pDropWnd->GetListBox();
      lb->SetTopIdx(qMax(lb->GetTopIndex() - 3, 0), true);
    }
  } else if (m_nWheelDelta <= -120) {
    m_nWheelDelta = 0;
    if (!open) {
      SelectNextItem();
    } else {
      CDropListBox *lb = m_pDropWnd->GetListBox();
      lb->SetTopIdx(qMin(lb->GetTopIndex() + 3, qMax(0, lb->GetCount() - 1)), true);
    }
  }
}

void CAdvComboBox::wheelEvent(QWheelEvent *e)
{
  HandleWheel(e->angleDelta().y());
  e->accept();
}

void CAdvComboBox::ForwardedButtonDown(const QPoint &pt)
{
  if (!hasFocus())
    setFocus(Qt::MouseFocusReason);
  if (rect().contains(pt))
    OnToggleDropDown();
  update();
}

void CAdvComboBox::mousePressEvent(QMouseEvent *e)
{
  if (e->button() == Qt::LeftButton)
    ForwardedButtonDown(e->position().toPoint());
  QWidget::mousePressEvent(e);
}

void CAdvComboBox::focusInEvent(QFocusEvent *e)
{
  QWidget::focusInEvent(e);
  m_bHasFocus = true;
  update();
  // Focus coming back from our own drop-down is no new focus.
  if (e->reason() != Qt::PopupFocusReason)
    Q_EMIT notify(CBN_SETFOCUS);
}

bool CAdvComboBox::FocusGoesToOwnDropDown(QFocusEvent *e) const
{
  if (!m_pDropWnd)
    return false;
  if (e->reason() == Qt::PopupFocusReason && QApplication::activePopupWidget() == m_pDropWnd)
    return true;
  const QWidget *fw = QApplication::focusWidget();
  return fw && (fw == m_pDropWnd || m_pDropWnd->isAncestorOf(fw));
}

void CAdvComboBox::focusOutEvent(QFocusEvent *e)
{
  QWidget::focusOutEvent(e);
  if (FocusGoesToOwnDropDown(e))
    return;
  // A combo without the focus drops the highlight.
  m_bHasFocus = false;
  update();
  OnEscapeKey();
}

void CAdvComboBox::changeEvent(QEvent *e)
{
  QWidget::changeEvent(e);
  if (e->type() == QEvent::EnabledChange)
    update();
}

void CAdvComboBox::enterEvent(QEnterEvent *e)
{
  QWidget::enterEvent(e);
  if (!m_bHot) {
    m_bHot = true;
    update(m_rcDropButton);
  }
}

void CAdvComboBox::leaveEvent(QEvent *e)
{
  QWidget::leaveEvent(e);
  if (m_bHot) {
    m_bHot = false;
    update(m_rcDropButton);
  }
}

void CAdvComboBox::paintEvent(QPaintEvent *)
{
  if (m_nCurSel != -1 && IsItem(m_nCurSel))
    m_strText = m_list.at(m_nCurSel);
  QPainter p(this);
  const QPalette &pal = palette();
  const bool enabled = isEnabled();
  const QRect rc = rect();
  const int cxButton = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  m_rcDropButton = QRect(rc.right() + 1 - cxButton, rc.top(), cxButton, rc.height());
  QRect rcText = rc;
  rcText.setRight(m_rcDropButton.left() - 2);

  FillSolidRect(&p, rc, GetSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE, pal));
  Draw3dRect(&p, rc, GetSysColor(COLOR_BTNSHADOW, pal), GetSysColor(COLOR_BTNHIGHLIGHT, pal));
  Draw3dRect(&p, rc.adjusted(1, 1, -1, -1), GetSysColor(COLOR_3DDKSHADOW, pal), GetSysColor(COLOR_3DLIGHT, pal));

  const QRect button = m_rcDropButton.adjusted(-2, 2, -2, -2);
  DrawComboButton(&p, button, m_bDropListVisible, enabled, pal);

  const QRect textRc = rcText.adjusted(2, 1, -1, -1);
  COLORREF fill, ink;
  if (m_bHasFocus && !m_bDropListVisible) {
    fill = GetSysColor(enabled ? COLOR_HIGHLIGHT : COLOR_BTNFACE, pal);
    ink = GetSysColor(enabled ? COLOR_HIGHLIGHTTEXT : COLOR_GRAYTEXT, pal);
  } else {
    fill = GetSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE, pal);
    ink = GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT, pal);
  }
  FillSolidRect(&p, textRc, fill);
  p.setFont(GetComboFont());
  p.setPen(ToQColor(ink));
  p.drawText(textRc, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_strText);
}
