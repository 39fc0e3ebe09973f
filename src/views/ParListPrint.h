#pragma once

#include "platform/SaveFile.h"

#include <QFont>
#include <QFontMetrics>
#include <QPointer>
#include <QRect>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class CMultiPagePreviewView;
class CPrintSetup;
class CQelDoc;
class QPaintDevice;
class QPainter;
class QPrinter;
class QWidget;

// What a print job knows of its pages: the page being printed, the page
// range and the drawing rectangle (the printable area in device pixels).
struct CPrintInfo {
  int m_nCurPage = 1;
  QRect m_rectDraw;
  bool m_bPreview = false;

  void SetMinPage(int page) { m_nMinPage = page; }
  void SetMaxPage(int page) { m_nMaxPage = page; }
  int GetMinPage() const { return m_nMinPage; }
  int GetMaxPage() const { return m_nMaxPage; }

private:
  int m_nMinPage = 1;
  int m_nMaxPage = 0xFFFF;
};

// Page geometry of one job, in device pixels.
struct ParListPrintGeometry {
  int nCharHeight = 0; // the font's character height
  int nRowHeight = 0;
  int nRowsPerHalf = 0; // rows in each of the two halves of a page
  int nParCount = 0;
  int nPages = 0;
};

// The printout of a document's parameters: every parameter in document
// order, two halves per page, each with a column grid, under the page number
// and the document's file name. Print and preview paint their pages with
// the same OnPrint. GUI thread only.
class CParListPrint {
public:
  // Column fractions of a half page's width.
  static constexpr double kMargin = 0.015;
  static constexpr double kColWidth[5] = {0.12, 0.24, 0.30, 0.09, 0.22};
  static constexpr double kGridX[6] = {0.015, 0.135, 0.375, 0.675, 0.765, 0.985};
  static constexpr double kTextPad = 0.01;

  explicit CParListPrint(const CQelDoc &doc);
  ~CParListPrint();
  CParListPrint(const CParListPrint &) = delete;
  CParListPrint &operator=(const CParListPrint &) = delete;

  // Makes the fonts for the device's resolution, measures its page and sets
  // the page count in info. False when the device has no page to paint on.
  bool OnBeginPrinting(const QPaintDevice &dc, CPrintInfo &info);
  // Paints page info.m_nCurPage into info.m_rectDraw.
  void OnPrint(QPainter &dc, const CPrintInfo &info);
  void OnEndPrinting();
  static void DrawLine(QPainter &dc, int x, int y, int dx, int dy);

  const ParListPrintGeometry &GetGeometry() const { return m_print; }
  bool HasFonts() const { return m_pPrintFont && m_pPrintFontBold; }
  // The normal print font and its metrics on the device; only with fonts.
  const QFont &GetPrintFont() const { return *m_pPrintFont; }
  const QFontMetrics &GetPrintMetrics() const { return *m_metrics; }

  // The faces the printout asks for, first choice first: "Tahoma", then its
  // substitutes.
  static QStringList PrintFamilies();
  // The character height of an 8-point font: MulDiv(8, dpi, 72).
  static int CharHeight(int dpiY);
  // Rows of one half page for a page of that height; never below 1, so
  // that every page moves the printout on.
  static int RowsPerHalfPage(int vertRes, int rowHeight);
  // The smallest number of pages that holds the parameters, at least 1.
  static int PageCount(int parCount, int rowsPerHalf);

  // Prints the printer's page range. With an output file the pages go to
  // that file through an atomic save (the old file kept whole on failure),
  // never through the printer. Other when the job cannot start or paint.
  static vtx::SaveError PrintParList(const CQelDoc &doc, QPrinter &printer);

  // The print dialog: true to print with the settings left in the printer.
  using PrintDialogHook = std::function<bool(QPrinter &printer, QWidget *parent)>;
  // Replaces the print dialog (tests); returns the previous hook. An empty
  // hook brings back the real dialog.
  static PrintDialogHook SetPrintDialogHook(PrintDialogHook hook);

  // Print command of the parameter list: the print dialog on the
  // application's printer, then the printout. False when cancelled or failed;
  // a failure says so, naming the file and why when it could not be written.
  static bool OnFilePrint(const CQelDoc &doc, CPrintSetup &setup, QWidget *parent);
  // Print-preview command: opens the preview window (it deletes itself when
  // closed). When the preview cannot start, says "Command failed." and
  // gives null.
  static CMultiPagePreviewView *OnFilePrintPreview(CQelDoc &doc, CPrintSetup &setup, QWidget *parent);

private:
  void DrawText(QPainter &dc, const QFontMetrics &fm, int x, int y, const QString &text) const;
  QString SiText(int par) const;
  void PrintHalfGrid(QPainter &dc, int left, int top, int halfWidth) const;
  void PrintHeaders(QPainter &dc, int left, int top, int halfWidth) const;
  void PrintRow(QPainter &dc, int par, int left, int halfWidth, int y) const;

  const CQelDoc &m_doc;
  std::unique_ptr<QFont> m_pPrintFont;
  std::unique_ptr<QFont> m_pPrintFontBold;
  // Measured on the printing device, so that a preview recorded elsewhere
  // lays out the text exactly as the printout.
  std::optional<QFontMetrics> m_metrics;
  std::optional<QFontMetrics> m_metricsBold;
  ParListPrintGeometry m_print;
};
