#include "ZuPrefsDialog.h"

#include "model/generali.h"
#include "platform/DialogUnits.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

namespace {

// The font a kind of control is drawn with.
QFont FontOf(CPageText::Kind kind)
{
  switch (kind) {
  case CPageText::Check:
    return QApplication::font("QCheckBox");
  case CPageText::Button:
    return QApplication::font("QPushButton");
  case CPageText::Group:
    return QApplication::font("QGroupBox");
  default:
    return QApplication::font("QLabel");
  }
}

// Pixels a control keeps beside its text: the check box's indicator, the
// button's frame and margins, the group's title indent.
int Padding(CPageText::Kind kind)
{
  const QStyle *style = QApplication::style();
  switch (kind) {
  case CPageText::Check:
    return style->pixelMetric(QStyle::PM_IndicatorWidth) + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing) + 2;
  case CPageText::Button:
    return 2 * (style->pixelMetric(QStyle::PM_DefaultFrameWidth) +
                style->pixelMetric(QStyle::PM_ButtonDefaultIndicator) + style->pixelMetric(QStyle::PM_ButtonMargin));
  case CPageText::Group:
    return 16;
  default:
    return 2;
  }
}

// The templates were drawn for an 8-point dialog font; a Linux desktop's is
// wider and Italian says more. The units follow the font and grow until
// every text reads whole, as far as the dialog still fits the screen.
CDialogUnits FitUnits(const std::vector<CPageText> &texts)
{
  constexpr int kMaxBaseX = CZuPrefsDialog::kMaxWidth * 4 / CZuPrefsDialog::kWidthUnits;
  constexpr int kMaxBaseY = CZuPrefsDialog::kMaxHeight * 8 / CZuPrefsDialog::kHeightUnits;
  CDialogUnits units(QApplication::font());
  for (const CPageText &t : texts)
    if (t.kind != CPageText::WrappedLabel)
      units.FitText(FontOf(t.kind), t.text, t.w, Padding(t.kind), kMaxBaseX);
  // Line breaks depend on the widths: the heights come last.
  for (const CPageText &t : texts)
    if (t.kind == CPageText::Label || t.kind == CPageText::WrappedLabel)
      units.FitWrappedText(FontOf(t.kind), t.text, t.w, t.h, kMaxBaseY);
  return units;
}

} // namespace

// ---------------------------------------------------------------- pages

CZuPrefsSubDlg::CZuPrefsSubDlg(unsigned templateId) : m_nTemplateId(templateId), m_units(QApplication::font()) {}

CZuPrefsSubDlg::~CZuPrefsSubDlg() = default;

bool CZuPrefsSubDlg::CreatePage(QWidget *parent)
{
  if (m_bCreated)
    return true;
  setParent(parent);
  BuildControls();
  m_bCreated = true;
  DoDataExchange(false);
  OnInitDialog();
  return true;
}

void CZuPrefsSubDlg::DestroyPage()
{
  if (!m_bCreated)
    return;
  OnDestroy();
  hide();
  const auto children = findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
  qDeleteAll(children);
  setParent(nullptr);
  m_bCreated = false;
}

bool CZuPrefsSubDlg::DoDataExchange(bool)
{
  return true;
}

void CZuPrefsSubDlg::keyPressEvent(QKeyEvent *event)
{
  if (event->key() == Qt::Key_Escape) {
    event->accept(); // never closes the dialog from a page
    return;
  }
  // Enter not taken by a multi-line edit goes on to the dialog: OK.
  event->ignore();
}

void CZuPrefsSubDlg::FocusFirstControl()
{
  for (QWidget *w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
    if (!isAncestorOf(w))
      break;
    if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(this)) {
      w->setFocus(Qt::TabFocusReason);
      return;
    }
  }
  setFocus();
}

bool CZuPrefsSubDlg::RefuseValue(QWidget *control, const QString &message)
{
  Prompter::Instance().MessageBox(message, QString(), MB_OK | MB_ICONWARNING, control);
  if (control) {
    // The dialog shows the refusing page again and then puts the focus back here.
    for (QWidget *w = control->parentWidget(); w; w = w->parentWidget())
      if (auto *page = qobject_cast<CZuPrefsSubDlg *>(w)) {
        page->m_pRefused = control;
        break;
      }
    control->setFocus();
  }
  if (auto *edit = qobject_cast<QLineEdit *>(control))
    edit->selectAll();
  return false;
}

bool CZuPrefsSubDlg::DdxInt(QLineEdit *edit, int *value, bool save, int min, int max)
{
  if (!save) {
    edit->setText(QString::number(*value));
    return true;
  }
  bool ok = false;
  const int v = edit->text().trimmed().toInt(&ok, 10);
  if (!ok)
    return RefuseValue(edit, LoadStr(IDS_ENTER_INT));
  if (v < min || v > max)
    return RefuseValue(edit, LoadStrFormat(IDS_ENTER_INT_RANGE, min, max));
  *value = v;
  return true;
}

// ---------------------------------------------------------------- caption bar

CZuPrefsStatic::CZuPrefsStatic(QWidget *parent) : QLabel(parent)
{
  m_crText = palette().color(QPalette::Button);
}

void CZuPrefsStatic::SetConstantText(const QString &text)
{
  m_strConstantText = text;
  m_background = QPixmap();
  update();
}

QPixmap CZuPrefsStatic::Background(int width, int height, const QColor &base, const QString &constantText,
                                   const QString &fontName)
{
  QPixmap pm(std::max(width, 1), std::max(height, 1));
  pm.fill(Qt::black);
  QPainter p(&pm);
  const qint64 w = pm.width();
  const int r = base.red(), g = base.green(), b = base.blue();
  const qint64 step = std::max<qint64>(w / 128, 1);
  const qint64 span2 = w * w;
  qint64 x = w;
  while (x > step) {
    x -= step;
    const qint64 d = (w - x) * (w - x);
    p.fillRect(QRect(int(x), 0, int(step), pm.height()),
               QColor(int(r - r * d / span2), int(g - g * d / span2), int(b - b * d / span2)));
  }
  QFont font(fontName.isEmpty() ? p.font().family() : fontName);
  font.setPixelSize(18);
  font.setBold(true);
  p.setFont(font);
  const QRect textRect = pm.rect().adjusted(0, 0, -5, 0);
  const QPalette pal;
  p.setPen(pal.color(QPalette::Light));
  p.drawText(textRect.translated(1, 1), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, constantText);
  p.setPen(pal.color(QPalette::Dark));
  p.drawText(textRect, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, constantText);
  return pm;
}

void CZuPrefsStatic::paintEvent(QPaintEvent *)
{
  // Built once for a size; a new size needs a new gradient.
  if (m_background.size() != size())
    m_background = Background(width(), height(), palette().color(QPalette::Button), m_strConstantText, m_strFontName);
  QPainter p(this);
  p.drawPixmap(0, 0, m_background);
  QFont font = this->font();
  if (!m_strFontName.isEmpty()) {
    font = QFont(m_strFontName);
    font.setPixelSize(std::max(m_nFontHeight, 1));
    font.setWeight(QFont::Weight(std::clamp(m_nFontWeight, 100, 900)));
  }
  p.setFont(font);
  p.setPen(m_crText);
  p.drawText(rect().adjusted(5, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

// ---------------------------------------------------------------- page tree

CZuPrefsTree::CZuPrefsTree(QWidget *parent) : QTreeWidget(parent)
{
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
}

void CZuPrefsTree::SetHot(const QModelIndex &index)
{
  if (index == m_hot)
    return;
  m_hot = index;
  viewport()->update();
}

void CZuPrefsTree::mouseMoveEvent(QMouseEvent *event)
{
  SetHot(indexAt(event->position().toPoint()));
  QTreeWidget::mouseMoveEvent(event);
}

void CZuPrefsTree::leaveEvent(QEvent *event)
{
  SetHot(QModelIndex());
  QTreeWidget::leaveEvent(event);
}

void CZuPrefsTree::drawRow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
  if (index != m_hot) {
    QTreeWidget::drawRow(painter, option, index);
    return;
  }
  QStyleOptionViewItem hot = option;
  hot.font.setUnderline(true);
  hot.palette.setColor(QPalette::Text, palette().color(QPalette::Link));
  QTreeWidget::drawRow(painter, hot, index);
}

void CZuPrefsTree::drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const
{
  // One indentation column per level, the item's own at the right: a line
  // from above to its middle and on to the next sibling, a stub to the item,
  // and in each ancestor's column a line while that ancestor has a sibling below.
  const int step = indentation();
  if (step > 0) {
    painter->save();
    painter->setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DotLine));
    const int midY = rect.top() + rect.height() / 2;
    int column = rect.right() - step + 1;
    const bool hasAbove = index.row() > 0 || index.parent().isValid();
    const bool hasBelow = index.sibling(index.row() + 1, 0).isValid();
    int x = column + step / 2;
    painter->drawLine(x, hasAbove ? rect.top() : midY, x, hasBelow ? rect.bottom() : midY);
    painter->drawLine(x, midY, column + step - 1, midY);
    for (QModelIndex up = index.parent(); up.isValid() && column - step >= rect.left(); up = up.parent()) {
      column -= step;
      x = column + step / 2;
      if (up.sibling(up.row() + 1, 0).isValid())
        painter->drawLine(x, rect.top(), x, rect.bottom());
    }
    painter->restore();
  }
  QTreeWidget::drawBranches(painter, rect, index);
}

// ---------------------------------------------------------------- dialog

CZuPrefsDialog::CZuPrefsDialog(QWidget *parent) : QDialog(parent), m_units(QApplication::font())
{
  m_pOk = new QPushButton(LoadStr(IDS_BUTTON_OK), this);
  m_pOk->setDefault(true);
  m_pDefault = new QPushButton(LoadStr(IDS_DEFAULT_BUTTON), this);
  m_pDefault->setAutoDefault(false);
  m_pCancel = new QPushButton(LoadStr(IDS_BUTTON_CANCEL), this);
  m_pCancel->setAutoDefault(false);
  m_pHelp = new QPushButton(LoadStr(IDS_HELP_BUTTON), this);
  m_pHelp->setEnabled(false);
  m_pHelp->setAutoDefault(false);
  for (const QPushButton *button : {m_pOk, m_pDefault, m_pCancel, m_pHelp})
    m_texts.push_back({button->text(), 65, 14, CPageText::Button});
  m_pTree = new CZuPrefsTree(this);
  m_pTree->setHeaderHidden(true);
  m_pTree->setRootIsDecorated(true);
  m_pButtonGroup = new QGroupBox(this);
  m_pButtonGroup->lower();
  m_pPageFrame = new QGroupBox(this);
  m_pCaption = new CZuPrefsStatic(this);
  m_pCaption->setText(LoadStr(IDS_PREFS_CAPTION_GENERAL));
  LayoutControls();
  connect(m_pOk, &QPushButton::clicked, this, &CZuPrefsDialog::OnOK);
  connect(m_pDefault, &QPushButton::clicked, this, &CZuPrefsDialog::OnDefault);
  connect(m_pCancel, &QPushButton::clicked, this, &CZuPrefsDialog::reject);
  connect(m_pTree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) { OnTreeSelection(item); });
}

void CZuPrefsDialog::LayoutControls()
{
  m_units = FitUnits(m_texts);
  const CDialogUnits &du = m_units;
  setFixedSize(du.Size(kWidthUnits, kHeightUnits));
  m_pOk->setGeometry(du.Rect(20, 155, 65, 14));
  m_pDefault->setGeometry(du.Rect(20, 171, 65, 14));
  m_pCancel->setGeometry(du.Rect(20, 187, 65, 14));
  m_pHelp->setGeometry(du.Rect(20, 203, 65, 14));
  m_pTree->setGeometry(du.Rect(5, 7, 95, 139));
  m_pButtonGroup->setGeometry(du.Rect(7, 145, 90, 78));
  m_pPageFrame->setGeometry(du.Rect(105, 25, 275, 189));
  m_pCaption->setGeometry(du.Rect(105, 7, 275, 16));
}

CZuPrefsDialog::~CZuPrefsDialog()
{
  // The page objects belong to the caller: only their windows end here.
  for (auto &info : m_pages)
    if (info->pPage)
      info->pPage->DestroyPage();
}

bool CZuPrefsDialog::AddPage(CZuPrefsSubDlg *page, const QString &caption, CZuPrefsSubDlg *parentPage)
{
  if (m_bInitialized || !page)
    return false;
  auto info = std::make_unique<CZuPrefsPageInfo>();
  info->pPage = page;
  info->nTemplateId = page->GetTemplateID();
  info->strCaption = caption;
  for (auto &other : m_pages)
    if (parentPage && other->pPage == parentPage)
      info->pParent = other.get();
  m_pages.push_back(std::move(info));
  const std::vector<CPageText> texts = page->Texts();
  m_texts.insert(m_texts.end(), texts.begin(), texts.end());
  LayoutControls();
  return true;
}

CZuPrefsSubDlg *CZuPrefsDialog::Page(int index) const
{
  return index >= 0 && index < PageCount() ? m_pages[size_t(index)]->pPage.data() : nullptr;
}

QTreeWidgetItem *CZuPrefsDialog::PageItem(int index) const
{
  return index >= 0 && index < int(m_items.size()) ? m_items[size_t(index)] : nullptr;
}

int CZuPrefsDialog::IndexOf(const CZuPrefsPageInfo *info) const
{
  for (int i = 0; i < PageCount(); ++i)
    if (m_pages[size_t(i)].get() == info)
      return i;
  return -1;
}

void CZuPrefsDialog::setVisible(bool visible)
{
  if (visible && !m_bInitialized)
    InitDialog();
  QDialog::setVisible(visible);
}

void CZuPrefsDialog::InitDialog()
{
  m_bInitialized = true;
  m_pageRect = m_pPageFrame->geometry().adjusted(2, 2, -2, -2);
  setWindowTitle(m_strTitle);
  m_pCaption->SetTextColor(palette().color(QPalette::Button));
  m_pCaption->SetFontWeight(700);
  m_pCaption->SetFontHeight(14);
  m_pCaption->SetFontName(QStringLiteral("Verdana"));
  m_pCaption->SetConstantText(m_strConstantText);
  m_items.assign(m_pages.size(), nullptr);
  const QSignalBlocker block(m_pTree);
  for (int i = 0; i < PageCount(); ++i) {
    const CZuPrefsPageInfo *info = m_pages[size_t(i)].get();
    // A parent added after its child has no item yet: the child goes on top.
    QTreeWidgetItem *parentItem = info->pParent ? PageItem(IndexOf(info->pParent)) : nullptr;
    auto *item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(m_pTree);
    item->setText(0, info->strCaption);
    item->setData(0, Qt::UserRole, i);
    m_items[size_t(i)] = item;
  }
  m_pTree->expandAll();
  if (ShowPage(0))
    m_nCurrentPage = 0;
}

bool CZuPrefsDialog::ShowPage(int index)
{
  m_pCaption->clear();
  if (CZuPrefsSubDlg *current = Page(m_nCurrentPage); current && current->IsCreated())
    current->hide();
  CZuPrefsSubDlg *page = Page(index);
  if (!page)
    return false;
  m_pCaption->setText(m_pages[size_t(index)]->strCaption);
  if (!page->IsCreated()) {
    page->SetUnits(m_units);
    page->CreatePage(this);
  }
  page->setGeometry(m_pageRect);
  page->show();
  page->raise();
  page->FocusFirstControl();
  if (QTreeWidgetItem *item = PageItem(index)) {
    const QSignalBlocker block(m_pTree);
    m_pTree->setCurrentItem(item);
  }
  return true;
}

void CZuPrefsDialog::OnTreeSelection(QTreeWidgetItem *item)
{
  if (!item)
    return;
  const int index = item->data(0, Qt::UserRole).toInt();
  if (!Page(index) || index == m_nCurrentPage)
    return;
  // Switched after the tree has finished its own selection change.
  ++m_nPendingSwitches;
  QMetaObject::invokeMethod(
      this,
      [this, index] {
        --m_nPendingSwitches;
        if (ShowPage(index))
          m_nCurrentPage = index;
      },
      Qt::QueuedConnection);
}

void CZuPrefsDialog::OnDefault()
{
  if (CZuPrefsSubDlg *page = Page(m_nCurrentPage); page && page->IsCreated())
    page->RestoreDefaults();
}

void CZuPrefsDialog::OnOK()
{
  for (int i = 0; i < PageCount(); ++i) {
    CZuPrefsSubDlg *page = Page(i);
    if (!page || !page->IsCreated())
      continue;
    page->ClearRefused();
    if (!page->DoDataExchange(true)) {
      // The refused value is shown on its page, with the focus in it;
      // nothing has been applied.
      ShowPage(i);
      m_nCurrentPage = i;
      if (QWidget *refused = page->RefusedControl()) {
        refused->setFocus(Qt::OtherFocusReason);
        if (auto *edit = qobject_cast<QLineEdit *>(refused))
          edit->selectAll();
      }
      return;
    }
  }
  for (auto &info : m_pages)
    if (info->pPage && info->pPage->IsCreated())
      info->pPage->OnOK();
  accept();
}

void CZuPrefsDialog::reject()
{
  for (auto &info : m_pages)
    if (info->pPage && info->pPage->IsCreated())
      info->pPage->OnCancel();
  done(IDCANCEL);
}

void CZuPrefsDialog::keyPressEvent(QKeyEvent *event)
{
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}
