#include "PrintTestSupport.h"

#include "views/MultiPagePreview.h"
#include "views/ParListPrint.h"
#include "views/PrintSetup.h"
#include "views/ViewState.h"

#include "controls/MappedBitmapButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QImage>
#include <QPointer>
#include <QScrollBar>
#include <QTest>

namespace {

using View = CMultiPagePreviewView;

template <typename Cond> bool WaitFor(Cond cond, int ms = 10000)
{
  QDeadlineTimer deadline(ms);
  while (!cond() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  return cond();
}

// A printer that has no page to paint on.
class NoPagePrinter : public QPrinter {
public:
  NoPagePrinter() : QPrinter(QPrinter::HighResolution) { setOutputFormat(QPrinter::PdfFormat); }

protected:
  int metric(PaintDeviceMetric m) const override { return m == PdmWidth || m == PdmHeight ? 0 : QPrinter::metric(m); }
};

// Preview of a generated board on a 70 x 100 mm page at 300 dpi: 42
// parameters a page upright (21 rows a half), 26 on its side.
class Preview : public ::testing::Test {
protected:
  void Open(int parameters)
  {
    board = std::make_unique<GeneratedBoard>(parameters);
    ASSERT_TRUE(board->loaded);
    setup.SetPrinter(MakePdfPrinter(board->dir.filePath(QStringLiteral("preview.pdf")), 300, QSizeF(70, 100)));
    view = CParListPrint::OnFilePrintPreview(board->doc, setup, nullptr);
    ASSERT_TRUE(view);
    view->resize(1000, 700);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    ASSERT_TRUE(WaitFor([&] { return view->GetPageArea()->height() > 500; }));
  }
  void TearDown() override
  {
    delete view.data();
    CParListPrint::SetPrintDialogHook({});
  }

  QPoint CentreOf(int record) const
  {
    const QPoint scroll =
        view->GetZoomState() == 0 ? QPoint() : QPoint(view->GetHScrollBar()->value(), view->GetVScrollBar()->value());
    return view->GetPageRecord(record).rectScreen.center() - scroll;
  }
  void Click(int record, Qt::MouseButton button = Qt::LeftButton)
  {
    QTest::mouseClick(view->GetPageArea(), button, {}, CentreOf(record));
  }
  bool Enabled(int id) const { return view->GetBarButton(id)->isEnabled(); }
  double Ratio(int record) const
  {
    const QSize r = view->GetPageRecord(record).sizeScaleRatio;
    return double(r.width()) / r.height();
  }

  TestEnvironment env;
  std::unique_ptr<GeneratedBoard> board;
  CPrintSetup setup;
  QPointer<View> view;
};

} // namespace

TEST_F(Preview, OpensOnTwoPagesWithItsBar)
{
  Open(400);
  EXPECT_EQ(view->GetMaxPage(), 10);
  EXPECT_EQ(view->ShownPages(), (QList<int>{1, 2}));
  EXPECT_EQ(view->GetColumns(), 2);
  EXPECT_EQ(view->GetRows(), 1);

  const struct {
    int id;
    unsigned bitmap;
  } buttons[] = {{View::ID_PREVIEW_PRINT, 118}, {View::ID_PAGES_TO_VIEW, 112},  {View::ID_PREVIEW_PREV, 117},
                 {View::ID_PREVIEW_NEXT, 116},  {View::ID_PREVIEW_ZOOMIN, 119}, {View::ID_PREVIEW_ZOOMOUT, 120}};
  for (const auto &b : buttons) {
    auto *button = qobject_cast<CMappedBitmapButton *>(view->GetBarButton(b.id));
    ASSERT_NE(button, nullptr) << b.id;
    EXPECT_EQ(button->GetBitmapId(), b.bitmap);
    EXPECT_EQ(button->GetImageCount(), 4);
  }
  EXPECT_EQ(view->GetBarButton(View::ID_PAGES_TO_VIEW)->toolTip(), QStringLiteral("Pages to view"));
  EXPECT_EQ(view->GetBarButton(View::ID_PREVIEW_CLOSE)->text(), QStringLiteral("&Close"));
  EXPECT_FALSE(Enabled(View::ID_PREVIEW_ZOOMOUT));
  EXPECT_TRUE(Enabled(View::ID_PREVIEW_ZOOMIN));
  EXPECT_FALSE(Enabled(View::ID_PREVIEW_PREV));
  EXPECT_TRUE(Enabled(View::ID_PREVIEW_NEXT));
  EXPECT_TRUE(view->GetVScrollBar()->isVisible());
  EXPECT_EQ(view->GetVScrollBar()->minimum(), 1);
  EXPECT_EQ(view->GetVScrollBar()->maximum(), 9);

  // Two cells side by side, each page whole inside the area.
  const QRect a = view->GetPageRecord(0).rectScreen;
  const QRect b = view->GetPageRecord(1).rectScreen;
  EXPECT_EQ(a.size(), b.size());
  EXPECT_EQ(a.top(), b.top());
  EXPECT_GT(b.left(), a.right());
  EXPECT_TRUE(QRect(QPoint(), view->GetPageArea()->size()).contains(a.united(b)));

  // The page the printout paints is shown: white paper with dark text.
  const QImage shot = view->GetPageArea()->grab().toImage();
  const QRect paper = a.adjusted(1, 1, -View::kShadow - 1, -View::kShadow - 1);
  int white = 0, dark = 0;
  for (int y = paper.top(); y <= paper.bottom(); ++y)
    for (int x = paper.left(); x <= paper.right(); ++x) {
      const int g = qGray(shot.pixel(x, y));
      white += g > 240;
      dark += g < 128;
    }
  EXPECT_GT(white, paper.width() * paper.height() / 2);
  EXPECT_GT(dark, 200);
}

TEST_F(Preview, PagesToViewSetsTheGridAndShowsTheLastPages)
{
  Open(400);
  view->SetCurrentPage(5, true);
  env.prompter().AnswerMenu(View::ID_PAGES_9);
  view->GetBarButton(View::ID_PAGES_TO_VIEW)->click();
  ASSERT_EQ(env.prompter().asked.size(), 1u);
  const QList<PopupMenuItem> &menu = env.prompter().asked[0].menu;
  ASSERT_EQ(menu.size(), 6);
  EXPECT_EQ(menu[0].id, View::ID_PAGES_1);
  EXPECT_EQ(menu[0].text, QStringLiteral("1 Page"));
  EXPECT_EQ(menu[5].text, QStringLiteral("9 pages"));

  EXPECT_EQ(view->GetColumns(), 3);
  EXPECT_EQ(view->GetRows(), 3);
  EXPECT_EQ(setup.GetNumPreviewPages(), 9);
  EXPECT_EQ(view->ShownPages(), (QList<int>{2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(view->GetVScrollBar()->maximum(), 2);
  for (int i = 1; i < 9; ++i) {
    const QRect r = view->GetPageRecord(i).rectScreen;
    const QRect left = view->GetPageRecord(i - 1).rectScreen;
    if (i % 3)
      EXPECT_GT(r.left(), left.right()) << i;
    else
      EXPECT_GT(r.top(), view->GetPageRecord(i - 3).rectScreen.bottom()) << i;
  }

  // A dismissed menu changes nothing; one page a screen.
  view->GetBarButton(View::ID_PAGES_TO_VIEW)->click();
  EXPECT_EQ(view->GetPagesShown(), 9);
  view->SetPagesToView(View::ID_PAGES_1);
  EXPECT_EQ(view->ShownPages(), (QList<int>{2}));
  EXPECT_EQ(view->GetColumns(), 1);
}

TEST_F(Preview, NinePagesOfAFourPageDocumentFillTheFirstCells)
{
  Open(160);
  ASSERT_EQ(view->GetMaxPage(), 4);
  view->SetPagesToView(View::ID_PAGES_9);
  EXPECT_EQ(view->ShownPages(), (QList<int>{1, 2, 3, 4}));
  EXPECT_EQ(view->FindPageRect(CentreOf(3)), 3);
  EXPECT_EQ(view->FindPageRect(CentreOf(4)), -1);
  // The grid is settled for the next preview.
  delete view.data();
  view = CParListPrint::OnFilePrintPreview(board->doc, setup, nullptr);
  ASSERT_TRUE(view);
  EXPECT_EQ(view->GetPagesShown(), 9);
  EXPECT_EQ(view->GetColumns(), 3);
}

TEST_F(Preview, LeftClicksZoomThroughSixStates)
{
  Open(400);
  const QSize fit = view->GetPageRecord(1).sizeScaleRatio;
  const QSize actual = view->GetPageRecord(1).rectScreen.size() - QSize(View::kShadow, View::kShadow);
  const int x = fit.width();
  const int y = fit.height();

  QTest::mouseClick(view->GetPageArea(), Qt::LeftButton, {}, QPoint(2, 2)); // between pages
  EXPECT_EQ(view->GetZoomState(), 0);

  Click(1);
  EXPECT_EQ(view->GetZoomState(), 1);
  EXPECT_EQ(view->GetCurrentPage(), 2);
  EXPECT_EQ(view->ShownPages(), (QList<int>{2}));
  EXPECT_EQ(view->GetPageRecord(0).sizeScaleRatio, x >= y ? QSize((3 * x - y) / 2, y) : QSize((x + y) / 2, y));
  EXPECT_GT(view->GetPageRecord(0).rectScreen.width(), actual.width());
  EXPECT_TRUE(Enabled(View::ID_PREVIEW_ZOOMOUT));

  Click(0);
  EXPECT_EQ(view->GetZoomState(), 2);
  EXPECT_EQ(view->GetPageRecord(0).sizeScaleRatio, x >= y ? QSize(2 * x - y, y) : QSize(1, 1));
  const double ratios[] = {1.5, 2.5, 4.0};
  for (int state = 3; state <= 5; ++state) {
    Click(0);
    EXPECT_EQ(view->GetZoomState(), state);
    EXPECT_DOUBLE_EQ(Ratio(0), ratios[state - 3]) << state;
  }
  EXPECT_FALSE(Enabled(View::ID_PREVIEW_ZOOMIN));
  // The clicked point (the page's middle) is brought to the middle of the area.
  const QPoint middle(view->GetPageArea()->width() / 2, view->GetPageArea()->height() / 2);
  const QRect page = view->GetPageRecord(0).rectScreen.adjusted(0, 0, -View::kShadow, -View::kShadow);
  const QPoint shown = page.center() - QPoint(view->GetHScrollBar()->value(), view->GetVScrollBar()->value());
  EXPECT_LE((shown - middle).manhattanLength(), 4) << shown.x() << "," << shown.y();

  Click(0);
  EXPECT_EQ(view->GetZoomState(), 0);
  EXPECT_EQ(view->ShownPages(), (QList<int>{2, 3}));
  EXPECT_EQ(view->GetPageRecord(0).sizeScaleRatio, fit);
}

TEST_F(Preview, RightClicksAndZoomCommands)
{
  Open(400);
  Click(0, Qt::RightButton);
  EXPECT_EQ(view->GetZoomState(), 0);
  EXPECT_EQ(view->GetPagesShown(), 2);

  for (int i = 0; i < 7; ++i)
    view->GetBarButton(View::ID_PREVIEW_ZOOMIN)->click();
  EXPECT_EQ(view->GetZoomState(), 5);
  EXPECT_EQ(view->GetCurrentPage(), 1);
  Click(0, Qt::RightButton);
  EXPECT_EQ(view->GetZoomState(), 4);
  EXPECT_DOUBLE_EQ(Ratio(0), 2.5);
  view->OnZoomOut();
  EXPECT_EQ(view->GetZoomState(), 3);
  for (int i = 0; i < 5; ++i)
    view->OnZoomOut();
  EXPECT_EQ(view->GetZoomState(), 0);
  EXPECT_EQ(view->GetPagesShown(), 2);
  EXPECT_FALSE(Enabled(View::ID_PREVIEW_ZOOMOUT));
}

TEST_F(Preview, NavigationByButtonsAndScrollBar)
{
  Open(400);
  view->GetBarButton(View::ID_PREVIEW_NEXT)->click();
  EXPECT_EQ(view->ShownPages(), (QList<int>{2, 3}));
  EXPECT_EQ(view->GetVScrollBar()->value(), 2);
  view->GetBarButton(View::ID_PREVIEW_PREV)->click();
  EXPECT_EQ(view->GetCurrentPage(), 1);
  EXPECT_FALSE(Enabled(View::ID_PREVIEW_PREV));

  QScrollBar *v = view->GetVScrollBar();
  v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(view->GetCurrentPage(), 2);
  v->triggerAction(QAbstractSlider::SliderPageStepAdd); // a tenth of the document
  EXPECT_EQ(view->GetCurrentPage(), 3);
  v->setSliderPosition(7);
  EXPECT_EQ(view->GetCurrentPage(), 7);
  v->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(view->ShownPages(), (QList<int>{10}));
  EXPECT_FALSE(Enabled(View::ID_PREVIEW_NEXT));
  v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(view->GetCurrentPage(), 10);
  v->triggerAction(QAbstractSlider::SliderToMinimum);
  EXPECT_EQ(view->GetCurrentPage(), 1);
  v->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(view->GetCurrentPage(), 1);
}

TEST_F(Preview, OrientationButtonTurnsThePageAndPaginatesAgain)
{
  Open(400);
  QAbstractButton *portrait = view->GetBarButton(View::ID_PORTRAIT_PRINT);
  ASSERT_NE(portrait, nullptr);
  EXPECT_EQ(portrait->text(), QStringLiteral("Portrait print"));
  EXPECT_FALSE(portrait->isChecked());
  const QSize upright = view->GetPageRecord(0).sizeUnscaled;
  EXPECT_LT(upright.width(), upright.height());
  view->SetCurrentPage(9, true);

  portrait->click();
  EXPECT_EQ(setup.GetPrintOrientation(), 2);
  EXPECT_EQ(view->GetMaxPage(), 16);
  EXPECT_EQ(view->GetCurrentPage(), 9);
  EXPECT_EQ(view->GetPageRecord(0).sizeUnscaled, upright.transposed());
  EXPECT_EQ(view->GetVScrollBar()->maximum(), 15);
  EXPECT_EQ(view->GetPagePicture(16).boundingRect().isEmpty(), false);

  portrait->click();
  EXPECT_EQ(setup.GetPrintOrientation(), 1);
  EXPECT_EQ(view->GetMaxPage(), 10);
  EXPECT_EQ(view->GetCurrentPage(), 9);

  // A preview opened in landscape shows the button checked.
  setup.SetPrintOrientation(2);
  delete view.data();
  view = CParListPrint::OnFilePrintPreview(board->doc, setup, nullptr);
  ASSERT_TRUE(view);
  EXPECT_TRUE(view->GetBarButton(View::ID_PORTRAIT_PRINT)->isChecked());
  EXPECT_EQ(view->GetMaxPage(), 16);
}

TEST_F(Preview, TinyAreaNeverSizesAPageBelowOnePixel)
{
  Open(400);
  view->SetPagesToView(View::ID_PAGES_9);
  view->setMinimumSize(0, 0);
  view->GetPageArea()->parentWidget()->setMinimumSize(1, 1);
  view->resize(view->minimumSizeHint().width(), 45);
  ASSERT_TRUE(WaitFor([&] { return view->GetPageArea()->height() < 20; }));
  for (int i = 0; i < view->GetPagesShown(); ++i) {
    const QRect r = view->GetPageRecord(i).rectScreen;
    EXPECT_GE(r.width(), 1 + View::kShadow) << i;
    EXPECT_GE(r.height(), 1 + View::kShadow) << i;
  }
  view->OnZoomIn();
  EXPECT_GE(view->GetPageRecord(0).rectScreen.height(), 1 + View::kShadow);
  EXPECT_FALSE(view->GetPageArea()->grab().isNull());
}

TEST_F(Preview, PrintFromThePreviewClosesItAndPrints)
{
  Open(400);
  const QString pdf = board->dir.filePath(QStringLiteral("from-preview.pdf"));
  CParListPrint::SetPrintDialogHook([&](QPrinter &printer, QWidget *) {
    printer.setOutputFileName(pdf);
    return true;
  });
  view->GetBarButton(View::ID_PREVIEW_PRINT)->click();
  EXPECT_TRUE(WaitFor([&] { return view.isNull(); }));
  EXPECT_GT(QFileInfo(pdf).size(), 0);
  if (HavePdfToText()) {
    EXPECT_EQ(PdfText(pdf).count(u'\f'), 10);
  }
}

TEST_F(Preview, CloseButtonAndDocumentEndThePreview)
{
  Open(160);
  view->GetBarButton(View::ID_PREVIEW_CLOSE)->click();
  EXPECT_TRUE(WaitFor([&] { return view.isNull(); }));

  view = CParListPrint::OnFilePrintPreview(board->doc, setup, nullptr);
  ASSERT_TRUE(view);
  board.reset();
  EXPECT_TRUE(WaitFor([&] { return view.isNull(); }));
}

TEST_F(Preview, MagnifierOverPagesOnly)
{
  Open(160);
  QTest::mouseMove(view->GetPageArea(), CentreOf(0));
  EXPECT_EQ(view->GetPageArea()->cursor().shape(), Qt::BitmapCursor);
  QTest::mouseMove(view->GetPageArea(), QPoint(2, 2));
  EXPECT_EQ(view->GetPageArea()->cursor().shape(), Qt::ArrowCursor);
}

TEST(PreviewStart, PrinterWithoutAPageSaysCommandFailed)
{
  TestEnvironment env;
  GeneratedBoard board(60);
  ASSERT_TRUE(board.loaded);
  CPrintSetup setup;
  setup.SetPrinter(std::make_unique<NoPagePrinter>());
  EXPECT_EQ(CParListPrint::OnFilePrintPreview(board.doc, setup, nullptr), nullptr);
  ASSERT_EQ(env.prompter().asked.size(), 1u);
  EXPECT_EQ(env.prompter().asked[0].text, QStringLiteral("Command failed."));
}

TEST_F(Preview, AChangedDocumentIsRecordedAgainOncePerPaint)
{
  Open(400);
  view->GetPageArea()->repaint();
  const int recorded = view->GetRecordCount();
  ASSERT_EQ(recorded, 2);
  const QByteArray before = view->GetPagePicture(1).data();
  // Two offline edits: they update no views, yet the preview must follow.
  const double value = board->doc.GetPar(0).GetValue(Parametri::SEL_VALUE);
  board->doc.SetParValueLocal(0, value + 1);
  board->doc.SetParValueLocal(0, value + 2);
  EXPECT_EQ(view->GetRecordCount(), recorded) << "nothing is recorded before the paint";
  view->GetPageArea()->repaint();
  EXPECT_EQ(view->GetRecordCount(), recorded + 2);
  EXPECT_NE(view->GetPagePicture(1).data(), before);
  board->doc.UpdateAllViews(nullptr, views::HINT_VAR_LIST); // a variable poll
  view->GetPageArea()->repaint();
  EXPECT_EQ(view->GetRecordCount(), recorded + 2);

  // Another parameter count paginates again.
  GeneratedBoard larger(900);
  ASSERT_TRUE(board->doc.OnOpenDocument(larger.path));
  board->doc.UpdateAllViews(nullptr, 0);
  EXPECT_EQ(view->GetMaxPage(), 22);
}
