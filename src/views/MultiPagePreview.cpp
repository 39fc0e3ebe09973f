#include "MultiPagePreview.h"

#include "PrintSetup.h"
#include "ViewState.h"

#include "controls/MappedBitmapButton.h"
#include "model/QelDoc.h"
#include "model/generali.h"
#include "platform/DialogUnits.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"
#include "platform/Trace.h"

#include <QAbstractScrollArea>
#include <QBitmap>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kScrollLimit = 0x8000;

// The bar's place and size are in dialog units of an 8-point dialog font
// (base units of 6 x 13 pixels): its bitmaps do not grow with the font.
QRect FromDialogUnits(int x, int y, int w, int h)
{
  return CDialogUnits(6, 13).Rect(x, y, w, h);
}

// The tool tip of a "prompt\ntip" text.
QString TipOf(unsigned id)
{
  const QString text = LoadStr(id);
  const qsizetype nl = text.indexOf(u'\n');
  return nl < 0 ? text : text.mid(nl + 1).trimmed();
}

int MulDiv(int a, int b, int c)
{
  if (c == 0)
    return 0;
  const long long p = static_cast<long long>(a) * b;
  return static_cast<int>((p >= 0) == (c > 0) ? (p + std::abs(c) / 2) / c : (p - std::abs(c) / 2) / c);
}

// The ratio x:y that fits a page of size actual into a cell of size screen:
// by height, or by width when the width would not fit.
QSize CalcScaleRatio(QSize screen, QSize actual)
{
  QSize ratio(screen.height(), actual.height());
  if (MulDiv(actual.width(), ratio.width(), ratio.height()) > screen.width())
    ratio = QSize(screen.width(), actual.width());
  return ratio;
}

QCursor MakeMagnifier()
{
  QPixmap pix(32, 32);
  pix.fill(Qt::transparent);
  QPainter p(&pix);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::white, 4));
  p.drawEllipse(QRectF(3, 3, 16, 16));
  p.drawLine(QPointF(17, 17), QPointF(27, 27));
  p.setPen(QPen(Qt::black, 2));
  p.drawEllipse(QRectF(3, 3, 16, 16));
  p.setPen(QPen(Qt::black, 3));
  p.drawLine(QPointF(17, 17), QPointF(27, 27));
  p.end();
  return QCursor(pix, 11, 11);
}
} // namespace

namespace preview_detail {

// The page area: paints the shown pages, takes the clicks and the scrolling.
class CPreviewArea : public QAbstractScrollArea {
public:
  explicit CPreviewArea(CMultiPagePreviewView *owner) : QAbstractScrollArea(owner), m_pOwner(owner)
  {
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
  }

protected:
  void paintEvent(QPaintEvent *) override
  {
    QPainter painter(viewport());
    m_pOwner->PaintPages(painter);
  }
  void resizeEvent(QResizeEvent *event) override
  {
    QAbstractScrollArea::resizeEvent(event);
    m_pOwner->OnAreaResized();
  }
  void scrollContentsBy(int, int) override { viewport()->update(); }
  void mousePressEvent(QMouseEvent *event) override
  {
    if (event->button() == Qt::LeftButton)
      m_pOwner->OnLButtonDown(event->position().toPoint());
    else if (event->button() == Qt::RightButton)
      m_pOwner->OnRButtonDown(event->position().toPoint());
  }
  void mouseMoveEvent(QMouseEvent *event) override { m_pOwner->OnAreaMouseMove(event->position().toPoint()); }

private:
  CMultiPagePreviewView *m_pOwner; // not owned: the parent
};

} // namespace preview_detail

using preview_detail::CPreviewArea;

CMultiPagePreviewView::CMultiPagePreviewView(CQelDoc &doc, CPrintSetup &setup, QWidget *parent)
    : QWidget(parent, Qt::Window), m_pDoc(&doc), m_setup(setup)
{
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(doc.GetTitle());
  SetGrid(setup.GetNumPreviewPages());

  CreateBar();
  m_pArea = new CPreviewArea(this);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(m_pBar);
  layout->addWidget(m_pArea, 1);
  connect(m_pArea->verticalScrollBar(), &QScrollBar::actionTriggered, this,
          [this](int action) { OnVScrollAction(action); });
  doc.AddView(this);
  connect(&doc, &CDocument::contentsChanged, this, [this] { OnUpdate(nullptr, 0, nullptr); });
  // The printout reads the document: without it there is nothing to show.
  connect(&doc, &QObject::destroyed, this, [this] {
    m_pJob.reset();
    m_pictures.clear();
    close();
  });
  resize(1024, 740);
}

CMultiPagePreviewView::~CMultiPagePreviewView() = default;

void CMultiPagePreviewView::SetGrid(int pages)
{
  struct Grid {
    int pages, columns, rows;
  };
  static constexpr Grid grids[] = {{1, 1, 1}, {2, 2, 1}, {3, 3, 1}, {4, 2, 2}, {6, 3, 2}, {9, 3, 3}};
  for (const Grid &g : grids)
    if (g.pages == pages) {
      m_nColumns = g.columns;
      m_nRows = g.rows;
      m_nZoomOutPages = g.pages;
      return;
    }
  m_nColumns = 2;
  m_nRows = 1;
  m_nZoomOutPages = 2;
}

void CMultiPagePreviewView::CreateBar()
{
  m_pBar = new QWidget(this);
  const QRect barRect = FromDialogUnits(0, 0, 319, 19);
  m_pBar->setFixedHeight(barRect.height());
  m_pBar->setMinimumWidth(barRect.width());

  struct Button {
    int id;
    int x;
    unsigned bitmap;
    QString tip;
    void (CMultiPagePreviewView::*handler)();
  };
  const Button buttons[] = {
      {ID_PREVIEW_PRINT, 4, 118, TipOf(IDS_PREVIEW_PRINT_TIP), &CMultiPagePreviewView::OnPreviewPrint},
      {ID_PAGES_TO_VIEW, 19, 112, TipOf(IDS_CMD_PAGES), &CMultiPagePreviewView::OnPagesToView},
      {ID_PREVIEW_PREV, 38, 117, TipOf(IDS_PREVIEW_PREV_TIP), &CMultiPagePreviewView::OnPrevPage},
      {ID_PREVIEW_NEXT, 53, 116, TipOf(IDS_PREVIEW_NEXT_TIP), &CMultiPagePreviewView::OnNextPage},
      {ID_PREVIEW_ZOOMIN, 72, 119, TipOf(IDS_CMD_ZOOM_IN), &CMultiPagePreviewView::OnZoomIn},
      {ID_PREVIEW_ZOOMOUT, 87, 120, TipOf(IDS_CMD_ZOOM_OUT), &CMultiPagePreviewView::OnZoomOut},
  };
  for (size_t i = 0; i < m_buttons.size(); ++i) {
    const Button &b = buttons[i];
    auto *button = new CMappedBitmapButton(m_pBar);
    if (!button->AutoLoad(static_cast<unsigned>(b.id), m_pBar, b.bitmap))
      qCWarning(lcViews, "preview bar: bitmap %u is missing", b.bitmap);
    const QRect place = FromDialogUnits(b.x, 3, 15, 13);
    button->move(place.topLeft() +
                 QPoint((place.width() - button->width()) / 2, (place.height() - button->height()) / 2));
    button->setToolTip(b.tip);
    const auto handler = b.handler;
    connect(button, &QAbstractButton::clicked, this, [this, handler] { (this->*handler)(); });
    m_buttons[i] = button;
  }
  m_pClose = new QPushButton(LoadStr(IDS_CMD_CLOSE), m_pBar);
  m_pClose->setObjectName(QString::number(ID_PREVIEW_CLOSE));
  m_pClose->setGeometry(FromDialogUnits(106, 3, 37, 13));
  connect(m_pClose, &QPushButton::clicked, this, &QWidget::close);

  // Checked: landscape.
  m_pPortrait = new QPushButton(LoadStr(IDS_PORTRAIT_PRINT), m_pBar);
  m_pPortrait->setObjectName(QString::number(ID_PORTRAIT_PRINT));
  m_pPortrait->setCheckable(true);
  m_pPortrait->setChecked(m_setup.GetPrintOrientation() == CPrintSetup::DMORIENT_LANDSCAPE);
  const QRect place = FromDialogUnits(147, 3, 60, 13);
  m_pPortrait->setGeometry(place.x(), place.y(), std::max(place.width(), m_pPortrait->sizeHint().width()),
                           place.height());
  connect(m_pPortrait, &QPushButton::clicked, this, [this] { OnPortraitPrint(); });
}

QAbstractButton *CMultiPagePreviewView::GetBarButton(int id) const
{
  return m_pBar->findChild<QAbstractButton *>(QString::number(id), Qt::FindDirectChildrenOnly);
}

QWidget *CMultiPagePreviewView::GetPageArea() const
{
  return m_pArea->viewport();
}
QScrollBar *CMultiPagePreviewView::GetVScrollBar() const
{
  return m_pArea->verticalScrollBar();
}
QScrollBar *CMultiPagePreviewView::GetHScrollBar() const
{
  return m_pArea->horizontalScrollBar();
}

const QCursor &CMultiPagePreviewView::GetMagnifierCursor() const
{
  static const QCursor s_magnifier = MakeMagnifier();
  return s_magnifier;
}

const CMultiPagePreviewView::PageRecord &CMultiPagePreviewView::GetPageRecord(int i) const
{
  return m_pageInfoArray[static_cast<size_t>(std::clamp(i, 0, kMaxPages - 1))];
}

bool CMultiPagePreviewView::SetPrintView()
{
  if (!m_pDoc)
    return false;
  QPrinter &printer = m_setup.GetPrinter();
  auto job = std::make_unique<CParListPrint>(*m_pDoc);
  CPrintInfo info;
  info.m_bPreview = true;
  if (!job->OnBeginPrinting(printer, info))
    return false;
  const QRect paper = printer.paperRect(QPrinter::DevicePixel).toRect();
  const QRect paint = printer.pageRect(QPrinter::DevicePixel).toRect();
  if (paper.isEmpty() || printer.logicalDpiX() <= 0 || printer.logicalDpiY() <= 0)
    return false;
  m_sizePaper = paper.size();
  m_ptPrintOrigin = paint.topLeft() - paper.topLeft();
  m_nPrinterDpiX = printer.logicalDpiX();
  m_nPrinterDpiY = printer.logicalDpiY();
  m_pictures.clear();
  m_bPicturesStale = false;
  m_pJob = std::move(job);
  info.m_nCurPage = m_nCurrentPage;
  m_info = info;
  if (m_nZoomState == kZoomOut)
    m_nPages = m_nZoomOutPages;
  SetCurrentPage(m_nCurrentPage, true);
  return true;
}

const QPicture &CMultiPagePreviewView::GetPagePicture(int page)
{
  auto it = m_pictures.find(page);
  if (it != m_pictures.end())
    return it->second;
  QPicture &picture = m_pictures[page];
  if (m_pJob && m_pDoc) {
    ++m_nRecorded;
    QPainter painter(&picture);
    CPrintInfo info = m_info;
    info.m_nCurPage = page;
    m_pJob->OnPrint(painter, info);
  }
  return picture;
}

void CMultiPagePreviewView::OnUpdate(CView *, long hint, QObject *)
{
  // The poll of the shown variables, 20 times a second online: the printout
  // shows no variable values.
  if (!m_pDoc || !m_pJob || hint == views::HINT_VAR_LIST)
    return;
  if (m_pDoc->GetParCount() != m_pJob->GetGeometry().nParCount) {
    if (!SetPrintView()) {
      qCDebug(lcViews, "Error: the preview could not paginate the changed document.");
      close();
    }
    return;
  }
  m_bPicturesStale = true;
  m_pArea->viewport()->update();
}

void CMultiPagePreviewView::SetCurrentPage(int page, bool clearRatios)
{
  page = std::min(page, GetMaxPage());
  page = std::max(page, GetMinPage());
  m_nCurrentPage = page;
  m_info.m_nCurPage = page;
  if (clearRatios)
    PositionAllPages();
  SetupScrollBars();
  UpdateBar();
  m_pArea->viewport()->update();
}

void CMultiPagePreviewView::ShowLastPageInGrid()
{
  if (m_nZoomState != kZoomOut)
    return;
  m_nCurrentPage = std::max(GetMinPage(), std::min(m_nCurrentPage, GetMaxPage() - m_nPages + 1));
}

void CMultiPagePreviewView::PositionAllPages()
{
  for (int i = 0; i < m_nPages; ++i) {
    m_pageInfoArray[static_cast<size_t>(i)].sizeScaleRatio = QSize();
    m_pageInfoArray[static_cast<size_t>(i)].sizeUnscaled = m_sizePaper;
    PlacePage(i);
  }
}

void CMultiPagePreviewView::PlacePage(int i)
{
  const int columns = std::max(1, m_nColumns);
  const int rows = std::max(1, m_nRows);
  const QSize client = m_pArea->viewport()->size();
  const int w = client.width();
  const int h = client.height();
  m_nRowStep = rows == 1 ? 0 : (h - kMargin * (rows - 1)) / rows + kMargin;
  m_nColStep = columns < 3 ? (w - kMargin) / 2 : (w - kMargin) / columns;
  // A small window still gives every page at least one pixel.
  const int cellWidth = std::max(1, (w - kMargin * (columns + 1)) / columns);
  const int cellHeight = std::max(1, rows == 1 ? h - 16 : (h - kMargin * (rows - 1)) / rows - 16);

  PageRecord &rec = m_pageInfoArray[static_cast<size_t>(i)];
  const int screenDpiX = std::max(1, logicalDpiX());
  const int screenDpiY = std::max(1, logicalDpiY());
  const QSize actual(std::max(1, MulDiv(rec.sizeUnscaled.width(), screenDpiX, std::max(1, m_nPrinterDpiX))),
                     std::max(1, MulDiv(rec.sizeUnscaled.height(), screenDpiY, std::max(1, m_nPrinterDpiY))));
  const QSize fit = CalcScaleRatio(QSize(cellWidth, cellHeight), actual);
  const int x = fit.width();
  const int y = fit.height();
  switch (m_nZoomState) {
  case 0:
    rec.sizeScaleRatio = fit;
    break;
  case 1:
    rec.sizeScaleRatio = x >= y ? QSize((3 * x - y) / 2, y) : QSize((x + y) / 2, y);
    break;
  case 2:
    rec.sizeScaleRatio = x >= y ? QSize(2 * x - y, y) : QSize(1, 1);
    break;
  case 3:
    rec.sizeScaleRatio = QSize(15, 10);
    break;
  case 4:
    rec.sizeScaleRatio = QSize(25, 10);
    break;
  default:
    rec.sizeScaleRatio = QSize(4, 1);
    break;
  }
  const QSize scaled(std::max(1, MulDiv(actual.width(), rec.sizeScaleRatio.width(), rec.sizeScaleRatio.height())),
                     std::max(1, MulDiv(actual.height(), rec.sizeScaleRatio.width(), rec.sizeScaleRatio.height())));
  rec.rectScreen = QRect(kMargin, kMargin, scaled.width() + kShadow, scaled.height() + kShadow);
  if (m_nZoomState == kZoomOut) {
    rec.rectScreen.translate((cellWidth - rec.rectScreen.width()) / 2 - 1,
                             (cellHeight - rec.rectScreen.height()) / 2 - 1);
    rec.rectScreen.translate(m_nColStep * (i % columns), m_nRowStep * (i / columns));
  }
}

void CMultiPagePreviewView::SetupScrollBars()
{
  QScrollBar *v = m_pArea->verticalScrollBar();
  QScrollBar *hbar = m_pArea->horizontalScrollBar();
  m_bSettingScroll = true;
  if (m_nZoomState == kZoomOut) {
    m_pArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int first = GetMinPage();
    const int last = GetMaxPage();
    if (last <= first || last >= kScrollLimit || last - first >= kScrollLimit) {
      m_pArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    } else {
      m_pArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      v->setRange(first, std::max(first, last - (m_nPages - 1)));
      v->setPageStep(1);
      v->setSingleStep(1);
      v->setValue(m_nCurrentPage);
    }
  } else {
    const QRect &r = m_pageInfoArray[0].rectScreen;
    const QSize total(r.width() - kShadow + 16, r.height() - kShadow + 16);
    m_pArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_pArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    const QSize view = m_pArea->viewport()->size();
    hbar->setRange(0, std::max(0, total.width() - view.width()));
    hbar->setPageStep(std::max(1, view.width()));
    hbar->setSingleStep(16);
    v->setRange(0, std::max(0, total.height() - view.height()));
    v->setPageStep(std::max(1, view.height()));
    v->setSingleStep(16);
  }
  m_bSettingScroll = false;
}

void CMultiPagePreviewView::OnVScrollAction(int action)
{
  if (m_nZoomState != kZoomOut || m_bSettingScroll)
    return;
  QScrollBar *v = m_pArea->verticalScrollBar();
  const int first = GetMinPage();
  const int last = GetMaxPage();
  const int step = (last - first + 9) / 10;
  int page = m_nCurrentPage;
  switch (action) {
  case QAbstractSlider::SliderSingleStepSub:
    if (page > first)
      --page;
    break;
  case QAbstractSlider::SliderSingleStepAdd:
    if (page <= last - m_nPages)
      ++page;
    break;
  case QAbstractSlider::SliderPageStepSub:
    page -= step;
    break;
  case QAbstractSlider::SliderPageStepAdd:
    page += step;
    break;
  case QAbstractSlider::SliderMove:
    page = v->sliderPosition();
    break;
  case QAbstractSlider::SliderToMinimum:
    page = first;
    break;
  case QAbstractSlider::SliderToMaximum:
    page = last;
    break;
  default:
    return;
  }
  SetCurrentPage(page, true);
  v->setSliderPosition(std::clamp(m_nCurrentPage, v->minimum(), v->maximum()));
}

QPoint CMultiPagePreviewView::ScrollOffset() const
{
  if (m_nZoomState == kZoomOut)
    return {};
  return {m_pArea->horizontalScrollBar()->value(), m_pArea->verticalScrollBar()->value()};
}

QList<int> CMultiPagePreviewView::ShownPages() const
{
  QList<int> pages;
  if (!m_pJob)
    return pages;
  for (int i = 0; i < m_nPages && m_nCurrentPage + i <= GetMaxPage(); ++i)
    pages.push_back(m_nCurrentPage + i);
  return pages;
}

int CMultiPagePreviewView::FindPageRect(QPoint point) const
{
  const QPoint p = point + ScrollOffset();
  const int shown = static_cast<int>(ShownPages().size());
  for (int i = 0; i < shown; ++i)
    if (m_pageInfoArray[static_cast<size_t>(i)].rectScreen.contains(p))
      return i;
  return -1;
}

void CMultiPagePreviewView::SetZoomState(int newState, int page, QPoint point)
{
  newState = std::clamp(newState, kZoomOut, kZoomMax);
  page = std::clamp(page, 0, m_nPages - 1);
  const int oldState = m_nZoomState;
  m_nZoomState = newState;
  if (newState == kZoomOut) {
    m_nPages = m_nZoomOutPages;
    SetCurrentPage(m_nCurrentPage, true);
    return;
  }
  // The clicked point in page pixels at screen resolution.
  const PageRecord old = m_pageInfoArray[static_cast<size_t>(page)];
  const QPoint offset = oldState == kZoomOut ? QPoint() : ScrollOffset();
  const QPoint rel = point + offset - old.rectScreen.topLeft();
  const QSize oldRatio =
      old.sizeScaleRatio.isValid() && old.sizeScaleRatio.width() > 0 ? old.sizeScaleRatio : QSize(1, 1);
  const QPoint onPage(MulDiv(rel.x(), oldRatio.height(), oldRatio.width()),
                      MulDiv(rel.y(), oldRatio.height(), oldRatio.width()));

  m_nCurrentPage = std::min(m_nCurrentPage + page, GetMaxPage());
  m_info.m_nCurPage = m_nCurrentPage;
  m_nPages = 1;
  m_pageInfoArray[0] = old;
  PlacePage(0);
  SetupScrollBars();
  const PageRecord &now = m_pageInfoArray[0];
  const QPoint scaled(MulDiv(onPage.x(), now.sizeScaleRatio.width(), now.sizeScaleRatio.height()),
                      MulDiv(onPage.y(), now.sizeScaleRatio.width(), now.sizeScaleRatio.height()));
  const QPoint centre = now.rectScreen.topLeft() + scaled;
  const QSize view = m_pArea->viewport()->size();
  m_pArea->horizontalScrollBar()->setValue(centre.x() - view.width() / 2);
  m_pArea->verticalScrollBar()->setValue(centre.y() - view.height() / 2);
  UpdateBar();
  m_pArea->viewport()->update();
}

void CMultiPagePreviewView::OnLButtonDown(QPoint point)
{
  const int page = FindPageRect(point);
  if (page < 0)
    return;
  SetZoomState(m_nZoomState == kZoomMax ? kZoomOut : m_nZoomState + 1, page, point);
  if (m_nZoomState == kZoomOut) {
    ShowLastPageInGrid();
    SetCurrentPage(m_nCurrentPage, true);
  }
}

void CMultiPagePreviewView::OnRButtonDown(QPoint point)
{
  const int page = FindPageRect(point);
  if (page < 0 || m_nZoomState == kZoomOut)
    return;
  SetZoomState(m_nZoomState - 1, page, point);
  if (m_nZoomState == kZoomOut) {
    ShowLastPageInGrid();
    SetCurrentPage(m_nCurrentPage, true);
  }
}

void CMultiPagePreviewView::OnZoomIn()
{
  if (m_nZoomState == kZoomMax || !m_pJob)
    return;
  SetZoomState(m_nZoomState + 1, 0, QPoint(0, 0));
}

void CMultiPagePreviewView::OnZoomOut()
{
  if (m_nZoomState == kZoomOut || !m_pJob)
    return;
  SetZoomState(m_nZoomState - 1, 0, QPoint(0, 0));
  if (m_nZoomState == kZoomOut) {
    ShowLastPageInGrid();
    SetCurrentPage(m_nCurrentPage, true);
  }
}

void CMultiPagePreviewView::OnNextPage()
{
  SetCurrentPage(m_nCurrentPage + 1, true);
}

void CMultiPagePreviewView::OnPrevPage()
{
  SetCurrentPage(m_nCurrentPage - 1, true);
}

void CMultiPagePreviewView::OnPagesToView()
{
  const QList<PopupMenuItem> items = {
      {ID_PAGES_1, LoadStr(IDS_CMD_PAGES_1)}, {ID_PAGES_2, LoadStr(IDS_CMD_PAGES_2)},
      {ID_PAGES_3, LoadStr(IDS_CMD_PAGES_3)}, {ID_PAGES_4, LoadStr(IDS_CMD_PAGES_4)},
      {ID_PAGES_6, LoadStr(IDS_CMD_PAGES_6)}, {ID_PAGES_9, LoadStr(IDS_CMD_PAGES_9)},
  };
  QAbstractButton *button = GetBarButton(ID_PAGES_TO_VIEW);
  const QPoint at = button ? button->mapToGlobal(QPoint(0, button->height())) : QCursor::pos();
  SetPagesToView(Prompter::Instance().PopupMenu(items, at, this));
}

void CMultiPagePreviewView::SetPagesToView(int command)
{
  int pages = 0;
  switch (command) {
  case ID_PAGES_1:
    pages = 1;
    break;
  case ID_PAGES_2:
    pages = 2;
    break;
  case ID_PAGES_3:
    pages = 3;
    break;
  case ID_PAGES_4:
    pages = 4;
    break;
  case ID_PAGES_6:
    pages = 6;
    break;
  case ID_PAGES_9:
    pages = 9;
    break;
  default:
    return;
  }
  SetGrid(pages);
  m_setup.SetNumPreviewPages(pages);
  if (m_nZoomState == kZoomOut) {
    m_nPages = pages;
    ShowLastPageInGrid();
  }
  SetCurrentPage(m_nCurrentPage, true);
}

void CMultiPagePreviewView::OnPortraitPrint()
{
  m_setup.SetPrintOrientation(m_pPortrait->isChecked() ? CPrintSetup::DMORIENT_LANDSCAPE
                                                       : CPrintSetup::DMORIENT_PORTRAIT);
  if (!SetPrintView()) {
    qCDebug(lcViews, "Error: the preview could not follow the new orientation.");
    close();
  }
}

void CMultiPagePreviewView::OnPreviewPrint()
{
  const QPointer<CQelDoc> doc = m_pDoc;
  CPrintSetup &setup = m_setup;
  QWidget *parent = parentWidget();
  close();
  if (doc)
    CParListPrint::OnFilePrint(*doc, setup, parent);
}

void CMultiPagePreviewView::UpdateBar()
{
  auto enable = [this](int id, bool on) {
    if (QAbstractButton *b = GetBarButton(id))
      b->setEnabled(on);
  };
  enable(ID_PREVIEW_ZOOMIN, m_nZoomState != kZoomMax);
  enable(ID_PREVIEW_ZOOMOUT, m_nZoomState != kZoomOut);
  enable(ID_PREVIEW_NEXT, m_nCurrentPage + m_nPages - 1 < GetMaxPage());
  enable(ID_PREVIEW_PREV, m_nCurrentPage > GetMinPage());
}

void CMultiPagePreviewView::OnAreaResized()
{
  if (!m_pJob)
    return;
  PositionAllPages();
  if (m_nZoomState != kZoomOut)
    SetupScrollBars();
}

void CMultiPagePreviewView::OnAreaMouseMove(QPoint point)
{
  if (FindPageRect(point) >= 0)
    m_pArea->viewport()->setCursor(GetMagnifierCursor());
  else
    m_pArea->viewport()->setCursor(Qt::ArrowCursor);
}

void CMultiPagePreviewView::PaintPages(QPainter &painter)
{
  painter.fillRect(QRect(QPoint(0, 0), m_pArea->viewport()->size()), palette().color(QPalette::Mid));
  if (!m_pJob || m_sizePaper.isEmpty())
    return;
  if (m_bPicturesStale) {
    m_bPicturesStale = false;
    m_pictures.clear();
  }
  const QPoint offset = ScrollOffset();
  const QList<int> pages = ShownPages();
  for (int i = 0; i < pages.size(); ++i) {
    const QRect r = m_pageInfoArray[static_cast<size_t>(i)].rectScreen.translated(-offset);
    const QRect page(r.topLeft(), r.size() - QSize(kShadow, kShadow));
    if (!page.intersects(painter.viewport()))
      continue;
    painter.fillRect(page.translated(kShadow, kShadow), Qt::black);
    painter.fillRect(page, Qt::white);
    const QPicture &picture = GetPagePicture(pages[i]);
    painter.save();
    painter.setClipRect(page);
    painter.translate(page.topLeft());
    painter.scale(static_cast<double>(page.width()) / m_sizePaper.width(),
                  static_cast<double>(page.height()) / m_sizePaper.height());
    painter.translate(m_ptPrintOrigin);
    painter.drawPicture(0, 0, picture);
    painter.restore();
    painter.setPen(Qt::black);
    painter.drawRect(page.adjusted(0, 0, -1, -1));
  }
}
