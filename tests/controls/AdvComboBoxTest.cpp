#include "controls/AdvComboBox.h"
#include "controls/DropListBox.h"
#include "controls/DropWnd.h"
#include "controls/XListCommon.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace xl;

namespace {

// Counts the two hooks and records every notification code.
class RecordingCombo : public CAdvComboBox {
public:
  explicit RecordingCombo(QWidget *parent) : CAdvComboBox(false, parent, parent)
  {
    connect(this, &CAdvComboBox::notify, this, [this](int code) { codes.push_back(code); });
  }
  std::vector<int> codes;
  int escapes = 0;
  int completes = 0;

protected:
  void OnEscapeKey() override { ++escapes; }
  void OnComboComplete() override { ++completes; }
};

class AdvComboBoxTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    host = std::make_unique<QWidget>();
    host->resize(300, 200);
    combo = new RecordingCombo(host.get());
    combo->setGeometry(10, 10, 150, 22);
    host->show();
    host->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(host.get()));
    combo->setFocus();
    QApplication::processEvents();
    combo->codes.clear();
  }
  void TearDown() override
  {
    host.reset();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  void Fill(std::initializer_list<const char *> items)
  {
    for (const char *s : items)
      combo->AddString(QString::fromLatin1(s));
  }
  std::unique_ptr<QWidget> host;
  RecordingCombo *combo = nullptr;
};

TEST_F(AdvComboBoxTest, SearchAndSelectionFollowTheFirstExactMatch)
{
  Fill({"alpha", "beta", "alpha", "Beta"});
  EXPECT_EQ(combo->FindStringExact(-1, "alpha"), 0);
  EXPECT_EQ(combo->FindStringExact(1, "alpha"), 2);
  EXPECT_EQ(combo->FindStringExact(2, "alpha"), 2);      // the start is inclusive
  EXPECT_EQ(combo->FindStringExact(3, "alpha"), CB_ERR); // no wrapping
  EXPECT_EQ(combo->FindStringExact(9, "alpha"), CB_ERR);
  EXPECT_EQ(combo->FindStringExact(-1, "BETA"), CB_ERR); // case-sensitive

  EXPECT_EQ(combo->SetCurSel(2), 2);
  EXPECT_EQ(combo->GetCurSel(), 0); // duplicates resolve to the first
  EXPECT_EQ(combo->SetCurSel(4), CB_ERR);
  EXPECT_EQ(combo->GetText(), QStringLiteral("alpha"));

  EXPECT_EQ(combo->SelectString(-1, "gamma"), CB_ERR);
  EXPECT_TRUE(combo->GetText().isEmpty());
  EXPECT_EQ(combo->GetCurSel(), CB_ERR);

  QString text = "x";
  EXPECT_EQ(combo->GetLBText(7, text), CB_ERR);
  EXPECT_TRUE(text.isEmpty());
  EXPECT_EQ(combo->GetLBTextLen(3), 4);
  EXPECT_EQ(combo->GetTopIndex(), CB_ERR);
  EXPECT_EQ(combo->SetTopIndex(1), CB_ERR);
  EXPECT_TRUE(combo->codes.empty()); // selection calls notify nothing
}

TEST_F(AdvComboBoxTest, EmptyListKeepsOnlyAPlausibleIndex)
{
  EXPECT_EQ(combo->SetCurSel(2), CB_ERR);
  Fill({"a", "b", "c"});
  combo->OnToggleDropDown();
  ASSERT_TRUE(combo->GetDroppedState());
  EXPECT_EQ(combo->GetDropWnd()->GetListBox()->GetCurSel(), 2);
  combo->OnDestroyDropdownList();

  combo->ResetContent();
  EXPECT_EQ(combo->SetCurSel(-7), CB_ERR); // no current item, not a stale -7
  Fill({"a", "b"});
  QTest::keyClick(combo, Qt::Key_Down);
  EXPECT_EQ(combo->GetText(), QStringLiteral("a"));

  combo->ResetContent();
  combo->SetCurSel(5);
  Fill({"a", "b"});
  combo->OnToggleDropDown();
  EXPECT_EQ(combo->GetDropWnd()->GetListBox()->GetCurSel(), 0); // beyond the items: row 0
}

TEST_F(AdvComboBoxTest, ClosedKeysMoveAndNotify)
{
  Fill({"0", "1", "2", "3", "4"});
  combo->SetCurSel(0);
  QTest::keyClick(combo, Qt::Key_Up);
  EXPECT_TRUE(combo->codes.empty());
  QTest::keyClick(combo, Qt::Key_Down);
  EXPECT_EQ(combo->GetText(), QStringLiteral("1"));
  EXPECT_EQ(combo->codes, (std::vector<int>{CBN_SELENDOK, CBN_SELCHANGE}));
  combo->codes.clear();
  QTest::keyClick(combo, Qt::Key_PageDown);
  EXPECT_EQ(combo->GetText(), QStringLiteral("4"));
  QTest::keyClick(combo, Qt::Key_Down);
  EXPECT_EQ(combo->codes.size(), 2u); // at the last item Down sends nothing
  combo->SetCurSel(3);
  QTest::keyClick(combo, Qt::Key_PageUp);
  EXPECT_EQ(combo->GetText(), QStringLiteral("0"));

  // Up with no current item lands on the last item.
  combo->SetCurSel(-1);
  QTest::keyClick(combo, Qt::Key_Up);
  EXPECT_EQ(combo->GetText(), QStringLiteral("4"));
  EXPECT_EQ(combo->GetCurSel(), 4);

  // Escape and Enter on a closed combo are the two hooks.
  QTest::keyClick(combo, Qt::Key_Escape);
  QTest::keyClick(combo, Qt::Key_Return);
  EXPECT_EQ(combo->escapes, 1);
  EXPECT_EQ(combo->completes, 1);
}

TEST_F(AdvComboBoxTest, WheelNeedsAFullNotch)
{
  Fill({"a", "b", "c"});
  combo->SetCurSel(2);
  combo->HandleWheel(119);
  EXPECT_EQ(combo->GetText(), QStringLiteral("c"));
  combo->HandleWheel(-119); // back to 0
  combo->HandleWheel(60);
  combo->HandleWheel(60);
  EXPECT_EQ(combo->GetText(), QStringLiteral("b"));
  combo->HandleWheel(-120);
  EXPECT_EQ(combo->GetText(), QStringLiteral("c"));

  // Open: the list scrolls by three rows.
  for (int i = 0; i < 20; ++i)
    combo->AddString(QString::number(i));
  combo->SetVisibleItemCount(5);
  combo->OnToggleDropDown();
  CDropListBox *lb = combo->GetDropWnd()->GetListBox();
  lb->SetTopIdx(0, true);
  combo->HandleWheel(-120);
  EXPECT_EQ(lb->GetTopIndex(), 3);
  EXPECT_EQ(combo->GetTopIndex(), 3);
  combo->HandleWheel(120);
  combo->HandleWheel(120);
  EXPECT_EQ(lb->GetTopIndex(), 0);
}

TEST_F(AdvComboBoxTest, ChoiceAndCancelNotifyInThePlatformOrder)
{
  Fill({"a", "b", "a", "c"});
  QTest::keyClick(combo, Qt::Key_F4);
  ASSERT_TRUE(combo->GetDroppedState());
  EXPECT_EQ(combo->codes, std::vector<int>{CBN_DROPDOWN});
  EXPECT_EQ(combo->escapes, 0); // the drop-down taking the focus is no abandon
  combo->codes.clear();

  QTest::keyClick(combo, Qt::Key_Escape);
  EXPECT_FALSE(combo->GetDroppedState());
  EXPECT_EQ(combo->codes, (std::vector<int>{CBN_SELENDCANCEL, CBN_CLOSEUP}));
  EXPECT_EQ(combo->escapes, 0);

  combo->codes.clear();
  QTest::keyClick(combo, Qt::Key_F4);
  QTest::keyClick(combo, Qt::Key_Down);
  QTest::keyClick(combo, Qt::Key_Down);
  QTest::keyClick(combo, Qt::Key_Down); // row 2, the second "a"
  QTest::keyClick(combo, Qt::Key_Return);
  EXPECT_EQ(combo->codes, (std::vector<int>{CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}));
  EXPECT_EQ(combo->GetCurSel(), 0);
  EXPECT_EQ(combo->GetWindowText(), QStringLiteral("a"));
  EXPECT_EQ(combo->completes, 1);
}

TEST_F(AdvComboBoxTest, MouseChoiceAndClickOutside)
{
  Fill({"a", "b", "c"});
  QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(20, 10));
  ASSERT_TRUE(combo->GetDroppedState());
  EXPECT_EQ(combo->escapes, 0);
  combo->codes.clear();

  CDropListBox *lb = combo->GetDropWnd()->GetListBox();
  const int h = lb->GetItemHeight();
  // A move with no button only sets the cursor: over the first row first, so
  // the second is a move wherever an earlier test left the pointer.
  QTest::mouseMove(lb, QPoint(10, h / 2));
  QTest::mouseMove(lb, QPoint(10, h + h / 2));
  EXPECT_EQ(lb->GetCurSel(), 1); // the highlight follows the pointer
  QTest::mouseClick(lb, Qt::LeftButton, {}, QPoint(10, h + h / 2));
  EXPECT_TRUE(combo->codes.empty()); // posted: nothing yet
  QApplication::processEvents();
  EXPECT_EQ(combo->codes, (std::vector<int>{CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}));
  EXPECT_EQ(combo->GetText(), QStringLiteral("b"));
  EXPECT_EQ(combo->completes, 1); // the close request found no list

  combo->codes.clear();
  combo->OnToggleDropDown();
  CDropWnd *drop = combo->GetDropWnd();
  QTest::mouseClick(drop, Qt::LeftButton, {}, QPoint(-50, -50));
  QApplication::processEvents();
  EXPECT_FALSE(combo->GetDroppedState());
  EXPECT_EQ(combo->codes, (std::vector<int>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));
}

TEST_F(AdvComboBoxTest, ListClosedFromOutsideTellsTheCombo)
{
  Fill({"a", "b"});
  combo->OnToggleDropDown();
  combo->codes.clear();
  combo->GetDropWnd()->hide(); // as when the application loses activation
  QApplication::processEvents();
  EXPECT_FALSE(combo->GetDroppedState());
  EXPECT_EQ(combo->codes, (std::vector<int>{CBN_SELENDCANCEL, CBN_CLOSEUP}));
}

TEST_F(AdvComboBoxTest, SizeGripDragIsBounded)
{
  Fill({"a", "b", "c"});
  combo->OnToggleDropDown();
  CDropWnd *drop = combo->GetDropWnd();
  const QSize first = drop->size();
  const QPoint grip(first.width() - 3, first.height() - 3);
  QTest::mousePress(drop, Qt::LeftButton, {}, grip);
  QTest::mouseMove(drop, grip + QPoint(500, 500));
  EXPECT_EQ(drop->size(), QSize(first.width() + 100, first.height() + 100));
  QTest::mouseMove(drop, QPoint(1, 1));
  EXPECT_EQ(drop->width(), combo->width());
  QTest::mouseRelease(drop, Qt::LeftButton, {}, QPoint(1, 1));
  EXPECT_TRUE(combo->GetDroppedState());
}

TEST_F(AdvComboBoxTest, ChoiceArrivingAfterTheCloseIsIgnored)
{
  Fill({"a", "b"});
  combo->OnToggleDropDown();
  combo->PostSelectedItem(1);
  combo->OnDestroyDropdownList();
  combo->codes.clear();
  QApplication::processEvents();
  EXPECT_TRUE(combo->codes.empty());
  EXPECT_TRUE(combo->GetText().isEmpty());
  EXPECT_EQ(combo->OnSelectedItem(0), 0);
}

TEST_F(AdvComboBoxTest, OpenListKeysPageThroughRows)
{
  for (int i = 0; i < 30; ++i)
    combo->AddString(QString::number(i));
  combo->SetVisibleItemCount(5);
  combo->OnToggleDropDown();
  CDropListBox *lb = combo->GetDropWnd()->GetListBox();
  ASSERT_EQ(lb->GetVisibleCount(), 5);
  lb->SelectIndex(-1);
  QTest::keyClick(combo, Qt::Key_Up);
  EXPECT_EQ(lb->GetCurSel(), -1);
  QTest::keyClick(combo, Qt::Key_PageDown);
  EXPECT_EQ(lb->GetCurSel(), 0);
  QTest::keyClick(combo, Qt::Key_PageDown);
  EXPECT_EQ(lb->GetCurSel(), 4); // to the last visible row
  QTest::keyClick(combo, Qt::Key_PageDown);
  EXPECT_EQ(lb->GetCurSel(), 8); // a page further
  EXPECT_EQ(combo->GetWindowText(), QStringLiteral("8"));
  QTest::keyClick(combo, Qt::Key_PageUp);
  EXPECT_EQ(lb->GetCurSel(), lb->GetTopIndex());
  EXPECT_TRUE(combo->GetText().isEmpty()); // page moves do not choose
  QTest::keyClick(combo, Qt::Key_Escape);
}

TEST(DropGeometry, OpensBelowWithAllItemsOrTheVisibleCount)
{
  DropGeometryInput in;
  in.screen = QRect(0, 0, 1024, 768);
  in.x = 100;
  in.y = 200;
  in.comboWidth = 150;
  in.comboHeight = 20;
  in.rowHeight = 16;
  in.itemCount = 4;
  in.textWidth = 60;
  in.cxVScroll = 17;
  in.cyVScroll = 17;
  DropGeometry g = ComputeDropGeometry(in);
  EXPECT_FALSE(g.upwards);
  EXPECT_EQ(g.rect, QRect(100, 200, 150, 4 * 16 + 2));
  EXPECT_EQ(g.maxWidth, 250);
  EXPECT_EQ(g.maxHeight, 66 + 100);

  in.itemCount = 30;
  in.visibleItems = 10;
  EXPECT_EQ(ComputeDropGeometry(in).rect.height(), 10 * 16 + 2);
  in.itemCount = 10; // D items or fewer: sized to all
  EXPECT_EQ(ComputeDropGeometry(in).rect.height(), 10 * 16 + 2);
  in.itemCount = 9;
  EXPECT_EQ(ComputeDropGeometry(in).rect.height(), 9 * 16 + 2);

  in.itemCount = 0;
  in.visibleItems = -1;
  EXPECT_EQ(ComputeDropGeometry(in).rect.height(), 17); // at least a scroll arrow

  in.itemCount = 100; // longer than the screen: cut at its bottom
  g = ComputeDropGeometry(in);
  EXPECT_EQ(g.rect.top() + g.rect.height(), 768);
}

TEST(DropGeometry, OpensUpwardsWhenFewRowsFitBelow)
{
  DropGeometryInput in;
  in.screen = QRect(0, 0, 1024, 768);
  in.x = 100;
  in.y = 700; // (768 - 700) / 16 = 4 rows < 5
  in.comboWidth = 150;
  in.comboHeight = 20;
  in.rowHeight = 16;
  in.itemCount = 8;
  DropGeometry g = ComputeDropGeometry(in);
  EXPECT_TRUE(g.upwards);
  EXPECT_EQ(g.rect.top() + g.rect.height(), 680); // touches the combo's top edge
  EXPECT_EQ(g.rect.height(), 8 * 16 + 2);

  in.itemCount = 200; // never above the screen's top
  g = ComputeDropGeometry(in);
  EXPECT_EQ(g.rect.top(), 0);
  EXPECT_EQ(g.rect.height(), 680);

  in.visibleItems = 6;
  g = ComputeDropGeometry(in);
  EXPECT_EQ(g.rect.top(), 680 - 6 * 16 - 2);
  EXPECT_EQ(g.rect.height(), 6 * 16 + 2);

  in.y = 684; // (768 - 684) / 16 = 5: below again
  EXPECT_FALSE(ComputeDropGeometry(in).upwards);
}

TEST(DropGeometry, StaysOnTheComboScreen)
{
  DropGeometryInput in;
  in.screen = QRect(1920, 0, 1280, 1024); // a second screen to the right
  in.x = 3100;
  in.y = 500;
  in.comboWidth = 80;
  in.comboHeight = 20;
  in.rowHeight = 16;
  in.itemCount = 3;
  in.textWidth = 300;
  in.cxVScroll = 17;
  DropGeometry g = ComputeDropGeometry(in);
  EXPECT_EQ(g.rect.width(), 300 + 8 + 17);
  EXPECT_EQ(g.rect.left() + g.rect.width(), 3200); // ends at that screen's right edge

  in.textWidth = 2000; // wider than the screen: clamped to it
  g = ComputeDropGeometry(in);
  EXPECT_EQ(g.rect.left(), 1920);
  EXPECT_EQ(g.rect.width(), 1280);

  in.rowHeight = 0; // no division by zero
  EXPECT_GE(ComputeDropGeometry(in).rect.height(), 0);
}

TEST(DropGeometry, GripDragStaysWithinItsBounds)
{
  // Narrower than the combo: the combo's width; past the maximum: the maximum.
  EXPECT_EQ(ClampDropResize(10, 50, 5, 5, 150, 300, 200, 17, 17), QSize(150, 57));
  EXPECT_EQ(ClampDropResize(400, 50, 5, 5, 150, 300, 200, 17, 17), QSize(300, 57));
  EXPECT_EQ(ClampDropResize(200, 5, 5, 5, 150, 300, 200, 17, 17), QSize(205, 18));
  EXPECT_EQ(ClampDropResize(200, 400, 5, 5, 150, 300, 200, 17, 17), QSize(205, 200));
}

} // namespace
