#include "ParListPrint.h"

#include "MultiPagePreview.h"
#include "PrintSetup.h"

#include "model/QelDoc.h"
#include "model/generali.h"
#include "platform/Format.h"
#include "platform/Prompter.h"
#include "platform/SaveFile.h"
#include "platform/StringIds.h"
#include "platform/Trace.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace {
constexpr unsigned IDS_HEADERS[5] = {IDS_COL_N, IDS_COL_PARAMETER, IDS_COL_SI_VALUE, IDS_COL_PAR_UNIT,
                                     IDS_COL_UI_VALUE};
const QString kNoName = QStringLiteral("senza nome");
// The header lines sit this far below the drawing rectangle's top.
constexpr int kTopGap = 20;

CParListPrint::PrintDialogHook &DialogHook()
{
  static CParListPrint::PrintDialogHook s_hook;
  return s_hook;
}

int At(int left, double fraction, int halfWidth)
{
  return static_cast<int>(left + fraction * halfWidth);
}
} // namespace

QStringList CParListPrint::PrintFamilies()
{
  // The columns were measured for Tahoma; where it is missing, a clone with
  // its metrics, else a condensed face narrow enough to keep names of 16
  // characters inside their column. The wide default face does not.
  return {QStringLiteral("Tahoma"), QStringLiteral("Wine Tahoma"), QStringLiteral("DejaVu Sans Condensed")};
}

CParListPrint::CParListPrint(const CQelDoc &doc) : m_doc(doc) {}

CParListPrint::~CParListPrint() = default;

int CParListPrint::CharHeight(int dpiY)
{
  // MulDiv rounds half away from zero.
  return static_cast<int>((8LL * dpiY + 36) / 72);
}

int CParListPrint::RowsPerHalfPage(int vertRes, int rowHeight)
{
  if (rowHeight <= 0)
    return 1;
  return std::max(1, (vertRes - 40) / rowHeight - 4);
}

int CParListPrint::PageCount(int parCount, int rowsPerHalf)
{
  if (rowsPerHalf <= 0)
    return 1;
  int pages = std::max(1, parCount / rowsPerHalf / 2);
  if (2LL * rowsPerHalf * pages < parCount)
    ++pages;
  return pages;
}

bool CParListPrint::OnBeginPrinting(const QPaintDevice &dc, CPrintInfo &info)
{
  OnEndPrinting();
  const int dpiY = dc.logicalDpiY();
  if (dc.width() <= 0 || dc.height() <= 0 || dpiY <= 0)
    return false;

  QFont font(QStringLiteral("Tahoma"));
  font.setFamilies(PrintFamilies());
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(1, CharHeight(dpiY)));
  font.setWeight(QFont::Normal);
  m_pPrintFont = std::make_unique<QFont>(font);
  font.setWeight(QFont::Bold);
  m_pPrintFontBold = std::make_unique<QFont>(font);
  m_metrics.emplace(*m_pPrintFont, &dc);
  m_metricsBold.emplace(*m_pPrintFontBold, &dc);

  m_print.nCharHeight = m_pPrintFont->pixelSize();
  const int gap = static_cast<int>(m_print.nCharHeight * 0.2);
  m_print.nRowHeight = m_print.nCharHeight + 2 * gap;
  m_print.nRowsPerHalf = RowsPerHalfPage(dc.height(), m_print.nRowHeight);
  m_print.nParCount = m_doc.GetParCount();
  m_print.nPages = PageCount(m_print.nParCount, m_print.nRowsPerHalf);
  info.m_rectDraw = QRect(0, 0, dc.width(), dc.height());
  info.SetMaxPage(m_print.nPages);
  return true;
}

void CParListPrint::OnEndPrinting()
{
  m_pPrintFont.reset();
  m_pPrintFontBold.reset();
  m_metrics.reset();
  m_metricsBold.reset();
}

void CParListPrint::DrawLine(QPainter &dc, int x, int y, int dx, int dy)
{
  dc.drawLine(x, y, x + dx, y + dy);
}

void CParListPrint::DrawText(QPainter &dc, const QFontMetrics &fm, int x, int y, const QString &text) const
{
  dc.drawText(QPoint(x, y + fm.ascent()), text);
}

void CParListPrint::OnPrint(QPainter &dc, const CPrintInfo &info)
{
  if (!HasFonts()) {
    qCDebug(lcViews, "no avaiable font");
    return;
  }
  const QFont previous = dc.font();
  const QRect &r = info.m_rectDraw;
  const int rh = m_print.nRowHeight;
  dc.setPen(QPen(Qt::black, 0));

  dc.setFont(*m_pPrintFontBold);
  const QString page = LoadStrFormat(IDS_PAGE_OF, info.m_nCurPage, info.GetMaxPage());
  DrawText(dc, *m_metricsBold, r.left() + (r.width() - m_metricsBold->horizontalAdvance(page)) / 2, r.top() + kTopGap,
           page);
  dc.setFont(*m_pPrintFont);
  const QString &path = m_doc.GetPathName();
  const QString name = path.isEmpty() ? kNoName : GetFileNameFromPath(path, true);
  DrawText(dc, *m_metrics, r.left() + (r.width() - m_metrics->horizontalAdvance(name)) / 2, r.top() + rh + kTopGap,
           name);

  const int halfWidth = r.width() / 2;
  const int perPage = 2 * m_print.nRowsPerHalf;
  const long long first = static_cast<long long>(perPage) * (info.m_nCurPage - 1);
  const int count = m_doc.GetParCount();
  for (int half = 0; half < 2; ++half) {
    if (info.m_nCurPage < 1 || first + half * m_print.nRowsPerHalf >= count)
      break;
    const int left = r.left() + half * halfWidth;
    PrintHeaders(dc, left, r.top(), halfWidth);
    PrintHalfGrid(dc, left, r.top(), halfWidth);
  }
  dc.setFont(*m_pPrintFont);
  for (int k = 0; k < perPage && info.m_nCurPage >= 1 && first + k < count; ++k) {
    const bool right = k >= m_print.nRowsPerHalf;
    const int line = right ? k + 4 - m_print.nRowsPerHalf : k + 4;
    PrintRow(dc, static_cast<int>(first + k), r.left() + (right ? halfWidth : 0), halfWidth, r.top() + line * rh);
  }
  dc.setFont(previous);
}

void CParListPrint::PrintHeaders(QPainter &dc, int left, int top, int halfWidth) const
{
  dc.setFont(*m_pPrintFontBold);
  const int y = top + 3 * m_print.nRowHeight;
  for (int c = 0; c < 5; ++c) {
    const QString text = LoadStr(IDS_HEADERS[c]);
    const int start = At(left, kGridX[c], halfWidth);
    const int width = static_cast<int>(kColWidth[c] * halfWidth);
    DrawText(dc, *m_metricsBold, start + (width - m_metricsBold->horizontalAdvance(text)) / 2, y, text);
  }
}

void CParListPrint::PrintHalfGrid(QPainter &dc, int left, int top, int halfWidth) const
{
  const int rh = m_print.nRowHeight;
  for (double x : kGridX)
    DrawLine(dc, At(left, x, halfWidth), top + 3 * rh, 0, rh);
  const int x0 = At(left, kMargin, halfWidth);
  const int length = static_cast<int>((1 - 2 * kMargin) * halfWidth);
  DrawLine(dc, x0, top + 3 * rh, length, 0);
  DrawLine(dc, x0, top + 4 * rh, length, 0);
}

QString CParListPrint::SiText(int par) const
{
  const Parametri &p = m_doc.GetPar(par);
  if (p.IsVarLink())
    return m_doc.IsLinkValid(par, Parametri::SEL_VALUE, false)
               ? m_doc.GetParText(par, Parametri::SEL_VALUE, false)
               : LoadStrFormat(IDS_STARS_COUNT, m_doc.GetLinkedVarIndex(par, Parametri::SEL_VALUE));
  if (p.IsParLink())
    return m_doc.IsLinkValid(par, Parametri::SEL_VALUE, false)
               ? m_doc.GetParTextParLink(par, Parametri::SEL_VALUE, false)
               : LoadStrFormat(IDS_STARS_COUNT, m_doc.GetLinkedParIndex(par, Parametri::SEL_VALUE));
  return p.GetSiValueString(Parametri::SEL_VALUE);
}

void CParListPrint::PrintRow(QPainter &dc, int par, int left, int halfWidth, int y) const
{
  const Parametri &p = m_doc.GetPar(par);
  const QFontMetrics &fm = *m_metrics;
  auto rightAt = [&](double end, const QString &text) {
    DrawText(dc, fm, At(left, end - kTextPad, halfWidth) - fm.horizontalAdvance(text), y, text);
  };
  rightAt(kGridX[1], p.GetAddressKey());
  DrawText(dc, fm, At(left, kGridX[1] + kTextPad, halfWidth), y, p.GetNameText());
  rightAt(kGridX[3], SiText(par));
  rightAt(kGridX[4], m_doc.GetUnitName(p.GetUnit()));
  rightAt(kGridX[5], vtx::Format(u"%g", p.GetValue(Parametri::SEL_VALUE)));

  const int rh = m_print.nRowHeight;
  for (double x : kGridX)
    DrawLine(dc, At(left, x, halfWidth), y, 0, rh);
  DrawLine(dc, At(left, kMargin, halfWidth), y + rh + 1, static_cast<int>((1 - 2 * kMargin) * halfWidth), 0);
}

namespace {

// The printer's page range within the job's pages; from > to when none is left.
std::pair<int, int> PageSpan(const QPrinter &printer, const CPrintInfo &info)
{
  int from = info.GetMinPage();
  int to = info.GetMaxPage();
  if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
    from = std::max(from, printer.fromPage());
    to = std::min(to, std::max(printer.toPage(), from));
  }
  return {from, to};
}

// Paints the printer's page range on device (the printer or a copy of its
// page). False when the job cannot start or paint.
bool PrintPages(const CQelDoc &doc, const QPrinter &printer, QPagedPaintDevice &device)
{
  CParListPrint job(doc);
  CPrintInfo info;
  if (!job.OnBeginPrinting(device, info))
    return false;
  const auto [from, to] = PageSpan(printer, info);
  QPainter painter;
  if (from > to || !painter.begin(&device)) {
    job.OnEndPrinting();
    return false;
  }
  for (int page = from; page <= to; ++page) {
    if (page > from && !device.newPage())
      break;
    info.m_nCurPage = page;
    job.OnPrint(painter, info);
  }
  const bool ok = painter.end();
  job.OnEndPrinting();
  return ok;
}

// The PDF engine loses its write errors (a cut file still ends true), so the
// pages are made in memory on the printer's page and saved as a document is.
// Null when the job could not start or paint.
std::optional<vtx::SaveError> PrintToFile(const CQelDoc &doc, const QPrinter &printer, const QString &path)
{
  QByteArray bytes;
  {
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    QPdfWriter writer(&out);
    writer.setResolution(printer.resolution());
    writer.setPageLayout(printer.pageLayout());
    writer.setTitle(printer.docName());
    if (!PrintPages(doc, printer, writer))
      return std::nullopt;
  }
  return vtx::SaveFileAtomically(path, bytes);
}

// How the job's file was saved (None for a printer too), or null when the
// job could not start or paint: only a save failure has a file to name.
std::optional<vtx::SaveError> Print(const CQelDoc &doc, QPrinter &printer)
{
  const QString path = printer.outputFileName();
  if (!path.isEmpty())
    return PrintToFile(doc, printer, path);
  if (!PrintPages(doc, printer, printer))
    return std::nullopt;
  return vtx::SaveError::None;
}

} // namespace

vtx::SaveError CParListPrint::PrintParList(const CQelDoc &doc, QPrinter &printer)
{
  return Print(doc, printer).value_or(vtx::SaveError::Other);
}

CParListPrint::PrintDialogHook CParListPrint::SetPrintDialogHook(PrintDialogHook hook)
{
  PrintDialogHook old = std::move(DialogHook());
  DialogHook() = std::move(hook);
  return old;
}

bool CParListPrint::OnFilePrint(const CQelDoc &doc, CPrintSetup &setup, QWidget *parent)
{
  QPrinter &printer = setup.GetPrinter();
  bool accepted = false;
  if (DialogHook()) {
    accepted = DialogHook()(printer, parent);
  } else {
    QPrintDialog dialog(&printer, parent);
    dialog.setMinMax(1, 0xFFFF);
    accepted = dialog.exec() == QDialog::Accepted;
  }
  if (!accepted)
    return false;
  const std::optional<vtx::SaveError> saved = Print(doc, printer);
  if (saved == vtx::SaveError::None)
    return true;
  qCDebug(lcViews, "Error: the parameter list could not be printed.");
  const QString text = saved ? vtx::SaveErrorText(*saved, printer.outputFileName()) : LoadStr(IDS_COMMAND_FAILED);
  AfxMessageBox(text, MB_OK | MB_ICONERROR);
  return false;
}

CMultiPagePreviewView *CParListPrint::OnFilePrintPreview(CQelDoc &doc, CPrintSetup &setup, QWidget *parent)
{
  auto *view = new CMultiPagePreviewView(doc, setup, parent);
  if (!view->SetPrintView()) {
    qCDebug(lcViews, "Error: DoPrintPreview failed.");
    AfxMessageBox(LoadStr(IDS_COMMAND_FAILED));
    delete view;
    return nullptr;
  }
  view->show();
  return view;
}
