#pragma once

#include "ParListPrint.h"

#include "platform/DocView.h"

#include <QPicture>
#include <QPointer>
#include <QSize>
#include <QWidget>

#include <array>
#include <map>
#include <memory>

class CMappedBitmapButton;
class CPrintSetup;
class CQelDoc;
class QAbstractButton;
class QPushButton;
class QScrollBar;

namespace preview_detail {
class CPreviewArea;
}

// The print preview of the parameter list: a bar of commands over 1, 2, 3,
// 4, 6 or 9 pages side by side, six zoom steps at the clicked point, page
// navigation, portrait or landscape with new pagination, and print. Pages are
// painted once by the printout's own page painter into pictures and shown
// scaled; a change of the document records the shown pages again at the next
// paint. Deletes itself when closed; closes when its document goes away.
// GUI thread only.
class CMultiPagePreviewView : public QWidget, public CView {
  Q_OBJECT
public:
  // Commands of the bar and of the pages menu.
  enum : int {
    ID_PREVIEW_CLOSE = 58112,
    ID_PREVIEW_NEXT = 58114,
    ID_PREVIEW_PREV = 58115,
    ID_PREVIEW_PRINT = 58116,
    ID_PREVIEW_ZOOMIN = 58117,
    ID_PREVIEW_ZOOMOUT = 58118,
    ID_PAGES_TO_VIEW = 32863,
    ID_PORTRAIT_PRINT = 221,
    ID_PAGES_1 = 32849,
    ID_PAGES_2 = 32850,
    ID_PAGES_3 = 32851,
    ID_PAGES_4 = 32852,
    ID_PAGES_6 = 32853,
    ID_PAGES_9 = 32854,
  };
  static constexpr int kZoomOut = 0;
  static constexpr int kZoomMax = 5;
  static constexpr int kMaxPages = 9;
  static constexpr int kMargin = 8;
  static constexpr int kShadow = 3;

  // One shown page: scale ratio (screen size of the page = its size at
  // screen resolution times width/height of the ratio), size in printer
  // pixels and place in the page area (shadow included).
  struct PageRecord {
    QSize sizeScaleRatio;
    QSize sizeUnscaled;
    QRect rectScreen;
  };

  CMultiPagePreviewView(CQelDoc &doc, CPrintSetup &setup, QWidget *parent = nullptr);
  ~CMultiPagePreviewView() override;

  // Paginates the document again on the application's printer. False when
  // the printer gives no page to paint on.
  bool SetPrintView();
  // A change of the document: the recorded pages are out of date. Another
  // parameter count paginates again.
  void OnUpdate(CView *sender, long hint, QObject *pHint) override;

  void OnPagesToView();
  // Applies a choice of the pages menu; 0 or an unknown command changes nothing.
  void SetPagesToView(int command);
  void OnZoomIn();
  void OnZoomOut();
  void OnNextPage();
  void OnPrevPage();
  // Follows the check state of the orientation button (checked: landscape).
  void OnPortraitPrint();
  // Closes the preview and runs the print command of the parameter list.
  void OnPreviewPrint();
  // Clicks in the page area, in its coordinates.
  void OnLButtonDown(QPoint point);
  void OnRButtonDown(QPoint point);
  void SetZoomState(int newState, int page, QPoint point);
  // Keeps the page within the document; clearRatios places the pages again.
  void SetCurrentPage(int page, bool clearRatios);

  int GetZoomState() const { return m_nZoomState; }
  int GetCurrentPage() const { return m_nCurrentPage; }
  int GetPagesShown() const { return m_nPages; }
  int GetColumns() const { return m_nColumns; }
  int GetRows() const { return m_nRows; }
  int GetMinPage() const { return m_info.GetMinPage(); }
  int GetMaxPage() const { return m_info.GetMaxPage(); }
  const CPrintInfo &GetPrintInfo() const { return m_info; }
  const PageRecord &GetPageRecord(int i) const;
  // The page numbers painted now, in cell order.
  QList<int> ShownPages() const;
  // The shown page (record index) under a point of the page area, or -1.
  int FindPageRect(QPoint point) const;
  // The page as the printout paints it, recorded on first use.
  const QPicture &GetPagePicture(int page);
  // How many pages have been recorded since the preview opened.
  int GetRecordCount() const { return m_nRecorded; }
  QWidget *GetPageArea() const;
  QScrollBar *GetVScrollBar() const;
  QScrollBar *GetHScrollBar() const;
  QWidget *GetBar() const { return m_pBar; }
  QAbstractButton *GetBarButton(int id) const;
  const QCursor &GetMagnifierCursor() const;

private:
  friend class preview_detail::CPreviewArea;

  void CreateBar();
  void UpdateBar();
  void SetGrid(int pages);
  void PositionAllPages();
  void PlacePage(int i);
  // Brings the current page back so that the last page is the last one shown.
  void ShowLastPageInGrid();
  void SetupScrollBars();
  void OnVScrollAction(int action);
  QPoint ScrollOffset() const;
  void PaintPages(QPainter &painter);
  void OnAreaResized();
  void OnAreaMouseMove(QPoint point);

  QPointer<CQelDoc> m_pDoc;
  CPrintSetup &m_setup;
  std::unique_ptr<CParListPrint> m_pJob;
  CPrintInfo m_info;
  std::map<int, QPicture> m_pictures;
  QSize m_sizePaper;      // printer pixels
  QPoint m_ptPrintOrigin; // the printable area's top left on the paper
  int m_nPrinterDpiX = 0;
  int m_nPrinterDpiY = 0;

  QWidget *m_pBar = nullptr;                        // owned by this
  std::array<CMappedBitmapButton *, 6> m_buttons{}; // owned by the bar
  QPushButton *m_pClose = nullptr;                  // owned by the bar
  QPushButton *m_pPortrait = nullptr;               // owned by the bar
  preview_detail::CPreviewArea *m_pArea = nullptr;  // owned by this

  int m_nColumns = 2;
  int m_nRows = 1;
  int m_nColStep = 0;
  int m_nRowStep = 0;
  std::array<PageRecord, kMaxPages> m_pageInfoArray{};
  int m_nZoomState = kZoomOut;
  int m_nCurrentPage = 1;
  int m_nPages = 2;
  int m_nZoomOutPages = 2;
  bool m_bSettingScroll = false;
  // Set by a document update, acted on by the next paint, so a burst of
  // updates (a read all) records the pages once.
  bool m_bPicturesStale = false;
  int m_nRecorded = 0;
};
