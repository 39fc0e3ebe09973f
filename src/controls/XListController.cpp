#include "XListController.h"

#include "XCombo.h"
#include "XEdit.h"
#include "XListCtrl.h"

#include "platform/Trace.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>

#include <utility>

using namespace xl;

CXListController::CXListController(CXListCtrl &list) : m_list(list)
{
  for (QTimer *t : {&m_timerEndUpdateLock, &m_timerEndAbandonedChooser, &m_timerEndChoice}) {
    t->setSingleShot(true);
    t->setInterval(CXListCtrl::kComboTimerMs);
  }
  QObject::connect(&m_timerEndUpdateLock, &QTimer::timeout, &m_list, [this] { EndUpdateLock(); });
  QObject::connect(&m_timerEndAbandonedChooser, &QTimer::timeout, &m_list, [this] { EndAbandonedChooser(); });
  QObject::connect(&m_timerEndChoice, &QTimer::timeout, &m_list, [this] { EndChoice(); });
}

CXListController::~CXListController()
{
  m_timerEndUpdateLock.stop();
  m_timerEndAbandonedChooser.stop();
  m_timerEndChoice.stop();
  if (m_list.m_pEdit) {
    m_list.m_pEdit->Detach();
    m_list.horizontalScrollBar()->setFocusProxy(nullptr);
    m_list.verticalScrollBar()->setFocusProxy(nullptr);
    delete std::exchange(m_list.m_pEdit, nullptr);
  }
  if (m_list.m_pCombo) {
    m_list.m_pCombo->Detach();
    delete std::exchange(m_list.m_pCombo, nullptr);
  }
}

// ---------------------------------------------------------------- mouse and keys

int CXListController::ColumnAt(int nItem, QPoint pt) const
{
  for (int c = 0; c < m_list.GetColumns(); ++c) {
    QRect rect;
    if (m_list.GetSubItemRect(nItem, c, LVIR_BOUNDS, rect) && rect.width() > 0 && rect.contains(pt))
      return c;
  }
  return -1;
}

bool CXListController::ClickCheckbox(int nItem, int nCol, int hitSub)
{
  XLISTCELLDATA *d = m_list.m_data.Cell(nItem, nCol);
  if (!d || (d->nCheckedState != 0 && d->nCheckedState != 1))
    return false;
  d->nCheckedState = d->nCheckedState == 0 ? 1 : 0;
  d->bModified = true;
  m_list.UpdateSubItem(nItem, nCol);
  Q_EMIT m_list.checkboxClicked(nItem, nCol);
  m_list.SyncHeaderCheck(nCol);
  m_list.BaseLeftClick(nItem, hitSub);
  return true;
}

bool CXListController::MousePress(QMouseEvent *e)
{
  const QPoint pt = m_list.ViewportToClient(e->position().toPoint());
  int hitSub = -1;
  const int item = m_list.SubItemHitTest(pt, &hitSub);
  qCDebug(lcControls, "lvhit.iItem=%d  lvhit.iSubItem=%d  ~~~~~", item, hitSub);
  const bool disabled = item >= 0 && !m_list.m_data.RowEnabled(item);
  if (e->button() == Qt::RightButton) {
    if (disabled)
      return true;
    m_list.SelectRow(item);
    Q_EMIT m_list.rightClicked(item, hitSub, pt);
    return true;
  }
  if (e->button() != Qt::LeftButton)
    return false;
  if (disabled)
    return true; // a disabled row takes no click at all
  const int col = item < 0 ? -1 : ColumnAt(item, pt);
  if (col < 0) {
    if (m_list.m_pCombo)
      OnComboEscape();
    m_list.BaseLeftClick(item, hitSub);
    return true;
  }
  if (ClickCheckbox(item, col, hitSub))
    return true;
  m_list.BaseLeftClick(item, hitSub);
  // The click notice may have refilled the list under us.
  const XLISTCELLDATA *d = m_list.m_data.Cell(item, col);
  if (!d || !m_list.m_data.RowEnabled(item))
    return true;
  if (d->bCombo)
    DrawComboBox(item, col);
  else if (d->bEdit)
    DrawEdit(item, col);
  return true;
}

void CXListController::MouseDoubleClick(QMouseEvent *e)
{
  // The second press of a double click only selects, as the platform list does.
  const QPoint pt = m_list.ViewportToClient(e->position().toPoint());
  const int item = m_list.HitTest(pt);
  if (item >= 0 && !m_list.m_data.RowEnabled(item))
    return;
  m_list.SelectRow(item);
}

void CXListController::ColumnClick(int nSubItem)
{
  if (nSubItem >= 0 && nSubItem < m_list.GetColumns()) {
    const int state = m_list.GetHeaderCheckedState(nSubItem);
    if (state != 0) {
      const int now = state == 1 ? 2 : 1;
      m_list.SetHeaderCheckedState(nSubItem, now);
      m_list.m_HeaderCtrl.viewport()->update();
      for (int i = 0; i < m_list.GetItemCount(); ++i) {
        XLISTCELLDATA *d = m_list.m_data.Cell(i, nSubItem);
        if (d && d->nCheckedState != -1) {
          d->nCheckedState = now == 2 ? 1 : 0;
          d->bModified = true;
          m_list.UpdateSubItem(i, nSubItem);
        }
      }
    }
  }
  Q_EMIT m_list.columnClicked(nSubItem);
}

namespace {

// The row a navigation key moves to, -2 for none.
int KeyTarget(int key, int cur, int count, int page)
{
  switch (key) {
  case Qt::Key_Up:
    return cur < 0 ? 0 : qMax(0, cur - 1);
  case Qt::Key_Down:
    return cur < 0 ? 0 : qMin(count - 1, cur + 1);
  case Qt::Key_Home:
    return 0;
  case Qt::Key_End:
    return count - 1;
  case Qt::Key_PageUp:
    return cur < 0 ? 0 : qMax(0, cur - (page - 1));
  case Qt::Key_PageDown:
    return cur < 0 ? 0 : qMin(count - 1, cur + (page - 1));
  default:
    return -2;
  }
}

} // namespace

void CXListController::KeyPress(QKeyEvent *e)
{
  qCDebug(lcControls) << "in CXListCtrl::OnKeyDown";
  const int count = m_list.GetItemCount();
  const int page = qMax(1, m_list.GetCountPerPage());
  const int cur = m_list.m_data.m_nFocused >= 0 ? m_list.m_data.m_nFocused : m_list.m_data.m_nSelected;
  if (e->key() == Qt::Key_Left)
    m_list.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  else if (e->key() == Qt::Key_Right)
    m_list.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  const int to = KeyTarget(e->key(), cur, count, page);
  if (to >= 0 && count > 0)
    m_list.SelectRow(to);
  const int sel = m_list.GetCurSel();
  if (sel >= 0)
    m_list.SetCurSel(sel, true);
  unsigned flags = static_cast<unsigned>(e->nativeScanCode() & 0xFF);
  if (e->isAutoRepeat())
    flags |= 0x4000;
  if (e->modifiers() & Qt::AltModifier)
    flags |= 0x2000;
  // Enter and Escape stay with a dialog that holds the list (its default
  // and cancel buttons), as the platform's dialog manager keeps them.
  const bool dialogKey = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Escape;
  e->setAccepted(!dialogKey);
  Q_EMIT m_list.keyDown(VirtualKeyFromQt(e->key()), flags);
}

// ---------------------------------------------------------------- edit box

void CXListController::EditCell(int nItem, int nSubItem)
{
  const XLISTCELLDATA *d = m_list.m_data.Cell(nItem, nSubItem);
  if (!d || !m_list.m_data.RowEnabled(nItem) || m_list.m_pEdit || m_list.m_pCombo)
    return;
  if (d->bCombo)
    DrawComboBox(nItem, nSubItem);
  else if (d->bEdit)
    DrawEdit(nItem, nSubItem);
}

void CXListController::DrawEdit(int nItem, int nSubItem)
{
  if (!VTX_ASSERT(m_list.m_data.ValidCell(nItem, nSubItem)))
    return;
  if (m_list.GetColumnWidth(nSubItem) < 5)
    return;
  if (!(m_list.m_dwExStyle & LVS_EX_FULLROWSELECT))
    qCWarning(lcControls) << "XListCtrl: edit boxes require LVS_EX_FULLROWSELECT style";
  if (!m_list.m_data.Cell(nItem, nSubItem) || !m_list.m_data.RowEnabled(nItem))
    return;
  // Scrolling to the cell here replaces an open box without a commit.
  m_bPlacingEditor = true;
  if (!m_list.EnsureVisible(nItem, true)) {
    m_bPlacingEditor = false;
    return;
  }
  PlaceEdit(nItem, nSubItem);
}

void CXListController::PlaceEdit(int nItem, int nSubItem)
{
  int offset = 0;
  for (int i = 0; i < nSubItem; ++i)
    offset += m_list.GetColumnWidth(i);
  QRect rect;
  m_list.GetItemRect(nItem, &rect, LVIR_BOUNDS);
  const QRect client = m_list.GetClientRect();
  if (offset + rect.left() < 0 || offset + rect.left() > client.right()) {
    m_list.Scroll(QPoint(offset + rect.left(), 0));
    m_list.GetItemRect(nItem, &rect, LVIR_BOUNDS);
  }
  m_bPlacingEditor = false;

  HDITEM hd;
  hd.mask = HDI_FORMAT;
  m_list.m_HeaderCtrl.GetItem(nSubItem, &hd);
  Qt::Alignment align = Qt::AlignLeft;
  if ((hd.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT)
    align = Qt::AlignRight;
  else if ((hd.fmt & HDF_JUSTIFYMASK) == HDF_CENTER)
    align = Qt::AlignHCenter;

  QRect rc(rect.left() + offset + 2, rect.top(), m_list.GetColumnWidth(nSubItem) - 4, rect.height() + 1);
  if (rc.right() > client.right())
    rc.setRight(client.right());

  m_list.m_strInitialString = m_list.GetItemText(nItem, nSubItem);
  DestroyEdit();

  CXEdit *edit = m_list.m_pEdit = new CXEdit(m_list.viewport(), m_list.m_strInitialString);
  edit->setAlignment(align | Qt::AlignVCenter);
  edit->setGeometry(rc.translated(0, -m_list.HeaderHeight()));
  QObject::connect(edit, &CXEdit::editKillFocus, &m_list, [this] { OnXEditKillFocus(); });
  QObject::connect(edit, &CXEdit::editEscape, &m_list, [this] { OnXEditEscape(); });
  m_list.m_nEditItem = nItem;
  m_list.m_nEditSubItem = nSubItem;
  m_strEditRowKey = m_list.GetItemText(nItem, 0);
  edit->show();
  edit->setFocus(Qt::OtherFocusReason);
  // A press on a scroll bar must not take the focus from the box: it commits.
  m_list.horizontalScrollBar()->setFocusProxy(edit);
  m_list.verticalScrollBar()->setFocusProxy(edit);
}

void CXListController::DestroyEdit()
{
  if (!m_list.m_pEdit)
    return;
  CXEdit *edit = std::exchange(m_list.m_pEdit, nullptr);
  edit->Detach();
  m_list.horizontalScrollBar()->setFocusProxy(nullptr);
  m_list.verticalScrollBar()->setFocusProxy(nullptr);
  if (edit->hasFocus())
    m_list.setFocus(Qt::OtherFocusReason);
  edit->hide();
  edit->deleteLater();
}

bool CXListController::SameRow(int nItem, int nSubItem, const QString &rowKey) const
{
  return m_list.m_data.ValidCell(nItem, nSubItem) && m_list.GetItemText(nItem, 0) == rowKey;
}

void CXListController::OnXEditKillFocus()
{
  if (!m_list.m_pEdit)
    return;
  QString text = m_list.m_pEdit->text();
  if (text.isEmpty())
    text = m_list.m_strInitialString; // an emptied box keeps the old value
  const bool untouched = !m_list.m_pEdit->isModified() || m_list.m_pEdit->text().isEmpty();
  DestroyEdit();
  const int item = m_list.m_nEditItem, sub = m_list.m_nEditSubItem;
  // The list may have been refilled while the box was open.
  if (!SameRow(item, sub, m_strEditRowKey))
    return;
  m_list.SetItemText(item, sub, text);
  if (text != m_list.m_strInitialString)
    if (XLISTCELLDATA *d = m_list.m_data.Cell(item, sub))
      d->bModified = true;
  m_list.UpdateSubItem(item, sub);
  const bool outer = std::exchange(m_list.m_bEditUntouched, untouched);
  const QPointer<CXListCtrl> self(&m_list);
  Q_EMIT m_list.editEnd(item, sub);
  if (self)
    m_list.m_bEditUntouched = outer;
}

void CXListController::OnXEditEscape()
{
  if (!m_list.m_pEdit)
    return;
  DestroyEdit();
  m_list.UpdateSubItem(m_list.m_nEditItem, m_list.m_nEditSubItem);
}

// The editors stand still while the rows move under them: none may stay over
// a row it was not opened for. Typed text is kept as a scroll-bar press keeps
// it; an open choice is dropped, since committing it would write a value the
// user may have meant for the row now under it. A choice already made
// (waiting on its timer) is committed now.
void CXListController::CloseEditorsOnScroll()
{
  if (m_list.m_pEdit && !m_bPlacingEditor)
    OnXEditKillFocus();
  if (!m_list.m_pCombo)
    return;
  if (m_timerEndChoice.isActive()) {
    m_timerEndChoice.stop();
    EndChoice();
  } else {
    m_timerEndAbandonedChooser.stop();
    EndAbandonedChooser();
  }
}

// ---------------------------------------------------------------- chooser

// A chooser whose commit or abandon still waits on its timer is finished
// now: the timer must not act on the chooser opened next.
void CXListController::FinishPendingChooser()
{
  if (m_timerEndChoice.isActive()) {
    m_timerEndChoice.stop();
    EndChoice();
  }
  if (m_timerEndAbandonedChooser.isActive()) {
    m_timerEndAbandonedChooser.stop();
    EndAbandonedChooser();
  }
}

void CXListController::DrawComboBox(int nItem, int nSubItem)
{
  if (!VTX_ASSERT(m_list.m_data.ValidCell(nItem, nSubItem)))
    return;
  if (m_list.GetColumnWidth(nSubItem) < 5)
    return;
  if (!(m_list.m_dwExStyle & LVS_EX_FULLROWSELECT))
    qCWarning(lcControls) << "XListCtrl: combo boxes require LVS_EX_FULLROWSELECT style";
  if (!m_list.m_data.Cell(nItem, nSubItem) || !m_list.m_data.RowEnabled(nItem))
    return;
  FinishPendingChooser();
  // The commit's notice may have changed the list.
  if (!m_list.m_data.Cell(nItem, nSubItem) || !m_list.m_data.RowEnabled(nItem))
    return;
  QRect rect;
  m_list.GetSubItemRect(nItem, nSubItem, LVIR_BOUNDS, rect);

  if (m_list.m_pCombo) {
    qCDebug(lcControls) << "Found duplicated combobox";
    DestroyCombo();
  }
  CXCombo *combo = m_list.m_pCombo = new CXCombo(&m_list);
  m_list.m_nComboItem = nItem;
  m_list.m_nComboSubItem = nSubItem;
  m_strComboRowKey = m_list.GetItemText(nItem, 0);
  QRect rc = rect;
  rc.setBottom(rc.bottom() - 1);
  rc.setLeft(rc.left() + 1);
  m_list.m_rectComboList = QRect(m_list.ClientToScreen(rc.topLeft()), rc.size());
  QObject::connect(combo, &CXCombo::comboEscape, &m_list, [this] { OnComboEscape(); });
  QObject::connect(combo, &CXCombo::comboComplete, &m_list, [this] { OnComboComplete(); });

  if (!m_timerEndUpdateLock.isActive())
    m_list.LockWindowUpdate();
  FillCombo(nItem, nSubItem);
  m_timerEndUpdateLock.start();

  combo->setGeometry(QRect(m_list.mapFromGlobal(m_list.m_rectComboList.topLeft()), m_list.m_rectComboList.size()));
  combo->show();
  combo->raise();
  combo->setFocus(Qt::OtherFocusReason);
}

// The chooser opens on the entry that carries the value's text; a value
// without a name leaves the cell empty and selects nothing.
void CXListController::FillCombo(int nItem, int nSubItem)
{
  XLISTCELLDATA *d = m_list.m_data.Cell(nItem, nSubItem);
  CXCombo *combo = m_list.m_pCombo;
  if (d->psa)
    for (const QString &s : *d->psa)
      if (!s.isEmpty())
        combo->AddString(s);
  combo->SetVisibleItemCount(d->nComboListHeight);

  QString text;
  bool haveText = false;
  if (d->psa && d->nInitialComboSel >= 0 && d->nInitialComboSel < d->psa->size()) {
    text = d->psa->at(d->nInitialComboSel);
    qCDebug(lcControls, "nInitialComboSel=%d  str=<%s>", d->nInitialComboSel, qPrintable(text));
    m_list.SetItemText(nItem, nSubItem, text);
    d->nInitialComboSel = -1;
    haveText = true;
  }
  if (!haveText)
    text = m_list.GetItemText(nItem, nSubItem);
  int index = -1;
  if (!text.isEmpty()) {
    index = combo->FindStringExact(-1, text);
    qCDebug(lcControls, "FindStringExact returned %d", index);
    if (index < 0)
      index = 0;
  }
  combo->SetCurSel(index);
  m_list.m_strInitialString = combo->GetLBText(index);
}

void CXListController::DestroyCombo()
{
  if (!m_list.m_pCombo)
    return;
  CXCombo *combo = std::exchange(m_list.m_pCombo, nullptr);
  combo->Detach();
  if (combo->GetDroppedState())
    combo->OnDestroyDropdownList(); // its drop-down is a window of its own
  if (combo->hasFocus())
    m_list.setFocus(Qt::OtherFocusReason);
  combo->hide();
  combo->deleteLater();
}

void CXListController::OnComboEscape()
{
  qCDebug(lcControls) << "in CXListCtrl::OnComboEscape";
  m_timerEndAbandonedChooser.start();
}

void CXListController::OnComboComplete()
{
  qCDebug(lcControls) << "in CXListCtrl::OnComboComplete";
  m_timerEndChoice.start();
}

void CXListController::EndUpdateLock()
{
  m_list.UnlockWindowUpdate();
}

void CXListController::EndAbandonedChooser()
{
  if (!m_list.m_pCombo)
    return;
  m_list.UpdateSubItem(m_list.m_nComboItem, m_list.m_nComboSubItem);
  DestroyCombo();
}

void CXListController::EndChoice()
{
  if (!m_list.m_pCombo)
    return;
  const int item = m_list.m_nComboItem, sub = m_list.m_nComboSubItem;
  const int sel = m_list.m_pCombo->GetCurSel();
  if (sel != -1 && SameRow(item, sub, m_strComboRowKey)) {
    const QString text = m_list.m_pCombo->GetLBText(sel);
    m_list.SetItemText(item, sub, text);
    m_list.UpdateSubItem(item, sub);
    if (text != m_list.m_strInitialString)
      if (XLISTCELLDATA *d = m_list.m_data.Cell(item, sub))
        d->bModified = true;
    DestroyCombo();
    Q_EMIT m_list.comboSelection(item, sub);
    return;
  }
  DestroyCombo();
}
