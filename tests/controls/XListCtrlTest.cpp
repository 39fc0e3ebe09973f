#include "controls/AdvComboBox.h"
#include "controls/DropListBox.h"
#include "controls/DropWnd.h"
#include "controls/XCombo.h"
#include "controls/XEdit.h"
#include "controls/XListCtrl.h"
#include "controls/XListView.h"
#include "platform/StringTable.h"

#include "TestSupport.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

using namespace xl;

namespace {

class XListCtrlTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    list = std::make_unique<CXListCtrl>();
    list->resize(500, 300);
    list->SetExtendedStyle(LVS_EX_FULLROWSELECT);
    list->InsertColumn(0, "A", LVCFMT_LEFT, 100);
    list->InsertColumn(1, "B", LVCFMT_RIGHT, 120);
    list->InsertColumn(2, "C", LVCFMT_CENTER, 100);
    list->show();
    list->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(list.get()));
    list->setFocus();
    window = GetSysColor(COLOR_WINDOW, list->palette());
    windowText = GetSysColor(COLOR_WINDOWTEXT, list->palette());
    Record();
  }
  void TearDown() override
  {
    list.reset();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  void Rows(int n)
  {
    for (int i = 0; i < n; ++i) {
      list->InsertItem(i, QString::number(i));
      list->SetItemText(i, 1, QStringLiteral("b%1").arg(i));
      list->SetItemText(i, 2, QStringLiteral("c%1").arg(i));
    }
  }
  // Centre of a cell, in viewport coordinates (where mouse events go).
  QPoint CellPoint(int row, int col)
  {
    QRect rc;
    list->GetSubItemRect(row, col, LVIR_BOUNDS, rc);
    return list->viewport()->mapFromGlobal(list->ClientToScreen(rc.center()));
  }
  void Click(int row, int col) { QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellPoint(row, col)); }
  void Record()
  {
    QObject::connect(list.get(), &CXListCtrl::checkboxClicked, [this](int r, int c) {
      events.push_back(QStringLiteral("check %1,%2 sel=%3").arg(r).arg(c).arg(list->GetCurSel()));
    });
    QObject::connect(list.get(), &CXListCtrl::clicked, [this](int r, int c) {
      events.push_back(QStringLiteral("click %1,%2 sel=%3").arg(r).arg(c).arg(list->GetCurSel()));
    });
    QObject::connect(list.get(), &CXListCtrl::editEnd,
                     [this](int r, int c) { events.push_back(QStringLiteral("edit %1,%2").arg(r).arg(c)); });
    QObject::connect(list.get(), &CXListCtrl::comboSelection,
                     [this](int r, int c) { events.push_back(QStringLiteral("combo %1,%2").arg(r).arg(c)); });
  }
  std::unique_ptr<CXListCtrl> list;
  std::vector<QString> events;
  COLORREF window = 0, windowText = 0;
};

TEST_F(XListCtrlTest, RowsGetOneRecordPerColumnWithTheirColours)
{
  EXPECT_EQ(list->InsertItem(0, "r0", RGB(1, 2, 3), RGB(4, 5, 6)), 0);
  ASSERT_NE(list->GetCellData(0, 2), nullptr);
  COLORREF t = 0, b = 0;
  list->GetItemColors(0, 0, &t, &b);
  EXPECT_EQ(t, RGB(1, 2, 3));
  EXPECT_EQ(b, RGB(4, 5, 6));
  list->GetItemColors(0, 2, &t, &b);
  EXPECT_EQ(t, windowText);
  EXPECT_EQ(b, window);
  EXPECT_EQ(list->GetCellData(0, 1)->nImage, -1);
  EXPECT_EQ(list->GetCheckbox(0, 1), -1);

  list->SetItemText(0, 1, "x", RGB(9, 9, 9), RGB(8, 8, 8));
  list->SetItemText(0, 1, nullptr, static_cast<COLORREF>(-1), static_cast<COLORREF>(-1));
  list->GetItemColors(0, 1, &t, &b);
  EXPECT_EQ(list->GetItemText(0, 1), QStringLiteral("x")); // a null text keeps the text
  EXPECT_EQ(t, windowText);
  EXPECT_EQ(b, window);

  // Bad indexes change nothing and report failure.
  EXPECT_FALSE(list->SetItemText(1, 0, "no"));
  EXPECT_FALSE(list->SetItemText(0, 3, "no"));
  EXPECT_FALSE(list->SetCheckbox(0, 5, 1));
  QStringList names{"x"};
  EXPECT_FALSE(list->SetComboBox(0, 1, true, nullptr, 3, 0, false));
  EXPECT_FALSE(list->SetComboBox(2, 1, true, &names, 3, 0, false));
  EXPECT_EQ(list->GetCheckbox(-1, 0), -1);
  EXPECT_TRUE(list->GetItemText(0, 9).isEmpty());

  // A column added after the rows: the old rows have no record for it.
  list->InsertColumn(3, "D", LVCFMT_LEFT, 50);
  EXPECT_EQ(list->GetCellData(0, 3), nullptr);
  EXPECT_FALSE(list->SetCheckbox(0, 3, 1));
  EXPECT_TRUE(list->SetItemText(0, 3, "text only"));
  EXPECT_EQ(list->GetItemText(0, 3), QStringLiteral("text only"));

  EXPECT_TRUE(list->DeleteAllItems());
  EXPECT_TRUE(list->DeleteAllItems());
  EXPECT_EQ(list->GetItemCount(), 0);
}

TEST_F(XListCtrlTest, HeaderCheckBoxFollowsTheCells)
{
  Rows(3);
  list->SetHeaderCheckedState(2, 1);
  for (int i = 0; i < 3; ++i)
    list->SetCheckbox(i, 2, 0);
  list->SetCheckbox(0, 2, 1);
  list->SetCheckbox(1, 2, 1);
  EXPECT_EQ(list->GetHeaderCheckedState(2), 1);
  list->SetCheckbox(2, 2, 1);
  EXPECT_EQ(list->GetHeaderCheckedState(2), 2);
  EXPECT_EQ(list->CountCheckedItems(2), 3);
  list->SetCheckbox(1, 2, 0);
  EXPECT_EQ(list->GetHeaderCheckedState(2), 1);

  // A column click toggles the header and every cell that has a box.
  list->SetCheckbox(2, 2, -1);
  QSignalSpy columns(list.get(), &CXListCtrl::columnClicked);
  QRect rc;
  list->GetHeaderCtrl()->GetItemRect(2, &rc);
  QTest::mouseClick(list->GetHeaderCtrl()->viewport(), Qt::LeftButton, {}, rc.center());
  EXPECT_EQ(list->GetHeaderCheckedState(2), 2);
  EXPECT_EQ(list->GetCheckbox(0, 2), 1);
  EXPECT_EQ(list->GetCheckbox(1, 2), 1);
  EXPECT_EQ(list->GetCheckbox(2, 2), -1);
  EXPECT_TRUE(list->GetModified(1, 2));
  EXPECT_FALSE(list->GetModified(2, 2));
  QTest::mouseDClick(list->GetHeaderCtrl()->viewport(), Qt::LeftButton, {}, rc.center());
  QTest::mouseRelease(list->GetHeaderCtrl()->viewport(), Qt::LeftButton, {}, rc.center());
  EXPECT_EQ(columns.count(), 2); // the second press of a double click is a click
  EXPECT_EQ(list->GetHeaderCheckedState(2), 1);
  EXPECT_EQ(list->GetCheckbox(0, 2), 0);

  // No header box: a click changes nothing but still reaches the owner.
  list->GetHeaderCtrl()->GetItemRect(1, &rc);
  list->SetCheckbox(0, 1, 0);
  QTest::mouseClick(list->GetHeaderCtrl()->viewport(), Qt::LeftButton, {}, rc.center());
  EXPECT_EQ(list->GetCheckbox(0, 1), 0);
  EXPECT_EQ(columns.count(), 3);
}

TEST_F(XListCtrlTest, CheckBoxClickNotifiesBeforeSelectionAndClick)
{
  Rows(3);
  list->SetHeaderCheckedState(2, 1);
  for (int i = 0; i < 3; ++i)
    list->SetCheckbox(i, 2, i == 2 ? 0 : 1);
  Click(2, 2);
  EXPECT_EQ(list->GetCheckbox(2, 2), 1);
  EXPECT_TRUE(list->GetModified(2, 2));
  EXPECT_EQ(list->GetHeaderCheckedState(2), 2);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], QStringLiteral("check 2,2 sel=-1"));
  EXPECT_EQ(events[1], QStringLiteral("click 2,2 sel=2"));

  // A box wins over an editor.
  list->SetEdit(1, 2);
  Click(1, 2);
  EXPECT_EQ(list->GetCheckbox(1, 2), 0);
  EXPECT_EQ(list->GetEdit(), nullptr);
  list->EditCell(1, 0); // EditCell ignores cells without an editor
  EXPECT_EQ(list->GetEdit(), nullptr);
}

TEST_F(XListCtrlTest, EditCommitsOnceAndAbandonsOnEscapeOrFocusLoss)
{
  Rows(3);
  list->SetEdit(1, 1);
  Click(1, 1);
  CXEdit *edit = list->GetEdit();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(events.back(), QStringLiteral("click 1,1 sel=1")); // click notice before the editor
  EXPECT_TRUE(edit->hasFocus());
  EXPECT_EQ(edit->text(), QStringLiteral("b1"));
  QTest::keyClicks(edit, "42");
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(list->GetEdit(), nullptr);
  QApplication::processEvents();
  EXPECT_EQ(std::count(events.begin(), events.end(), QStringLiteral("edit 1,1")), 1);
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("42"));
  EXPECT_TRUE(list->GetModified(1, 1));

  // Emptied and confirmed: the old text stays, the owner still hears of it.
  events.clear();
  list->EditCell(1, 1);
  ASSERT_NE(list->GetEdit(), nullptr);
  list->GetEdit()->clear();
  QTest::keyClick(list->GetEdit(), Qt::Key_Return);
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("42"));
  EXPECT_EQ(events, std::vector<QString>{QStringLiteral("edit 1,1")});

  // Escape abandons.
  events.clear();
  list->EditCell(1, 1);
  QTest::keyClicks(list->GetEdit(), "7");
  QTest::keyClick(list->GetEdit(), Qt::Key_Escape);
  EXPECT_EQ(list->GetEdit(), nullptr);
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("42"));
  EXPECT_TRUE(events.empty());

  // A click on another cell takes the focus: abandon.
  list->EditCell(1, 1);
  QTest::keyClicks(list->GetEdit(), "9");
  Click(0, 0);
  EXPECT_EQ(list->GetEdit(), nullptr);
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("42"));
  EXPECT_EQ(events, std::vector<QString>{QStringLiteral("click 0,0 sel=0")});
}

TEST_F(XListCtrlTest, DoubleClickInTheBoxSelectsFromBlankToBlank)
{
  Rows(2);
  list->SetColumnWidth(1, 250);
  list->SetEdit(0, 1);
  list->SetItemText(0, 1, "0000.0000.0000.0101");
  // On the last digits of the right-aligned text, through the window: the
  // first press opens the box, the second reaches it as a double click.
  QRect rc;
  list->GetSubItemRect(0, 1, LVIR_BOUNDS, rc);
  const QPoint digits = list->mapFromGlobal(list->ClientToScreen(QPoint(rc.right() - 8, rc.center().y())));
  QTest::mouseDClick(list->windowHandle(), Qt::LeftButton, {}, digits);
  CXEdit *edit = list->GetEdit();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->selectedText(), QStringLiteral("0000.0000.0000.0101"));
  const auto at = [edit](int pos) { // the middle of where the cursor goes to pos
    int first = -1, last = -1;
    for (int x = 0; x < edit->width(); ++x)
      if (edit->cursorPositionAt(QPoint(x, edit->height() / 2)) == pos) {
        first = first < 0 ? x : first;
        last = x;
      }
    return QPoint((first + last) / 2, edit->height() / 2);
  };
  // A tremor of the held button is no drag.
  QTest::mouseDClick(edit, Qt::LeftButton, {}, at(12));
  QTest::mouseMove(edit, at(12) + QPoint(1, 0));
  QTest::mouseRelease(edit, Qt::LeftButton, {}, at(12) + QPoint(1, 0));
  EXPECT_EQ(edit->selectedText(), QStringLiteral("0000.0000.0000.0101"));

  // A drag and a shift-click select what they cover.
  edit->setText("12.5 rpm");
  QTest::mousePress(edit, Qt::LeftButton, {}, at(1));
  QTest::mouseMove(edit, at(3));
  QTest::mouseRelease(edit, Qt::LeftButton, {}, at(3));
  EXPECT_EQ(edit->selectedText(), QStringLiteral("2."));
  QTest::mouseClick(edit, Qt::LeftButton, {}, at(3));
  QTest::mouseClick(edit, Qt::LeftButton, Qt::ShiftModifier, at(1));
  EXPECT_EQ(edit->selectedText(), QStringLiteral("2."));
  // Blanks end the selection.
  QTest::mouseDClick(edit, Qt::LeftButton, {}, at(1));
  QTest::mouseRelease(edit, Qt::LeftButton, {}, at(1));
  EXPECT_EQ(edit->selectedText(), QStringLiteral("12.5"));
}

TEST_F(XListCtrlTest, EditBoxContextMenuKeepsTheEdit)
{
  Rows(2);
  list->SetEdit(0, 1);
  list->EditCell(0, 1);
  CXEdit *edit = list->GetEdit();
  ASSERT_NE(edit, nullptr);
  ASSERT_TRUE(edit->hasFocus());
  edit->setText("typed");
  QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), edit->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(edit, &menuEvent);
  QWidget *menu = QApplication::activePopupWidget();
  ASSERT_NE(menu, nullptr);
  QApplication::processEvents();
  EXPECT_EQ(list->GetEdit(), edit);
  menu->close();
  QApplication::processEvents();
  ASSERT_EQ(list->GetEdit(), edit);
  EXPECT_TRUE(edit->hasFocus());
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(list->GetItemText(0, 1), QStringLiteral("typed"));
  EXPECT_EQ(events, std::vector<QString>{QStringLiteral("edit 0,1")});
}

TEST_F(XListCtrlTest, EditBoxKeepsItsKeysFromTheWindowsShortcuts)
{
  Rows(2);
  int fired = 0;
  std::vector<std::unique_ptr<QShortcut>> shortcuts;
  for (const QKeySequence &k : {QKeySequence(Qt::CTRL | Qt::Key_S), QKeySequence(Qt::Key_Delete),
                                QKeySequence(Qt::Key_Down), QKeySequence(Qt::Key_Escape)}) {
    shortcuts.push_back(std::make_unique<QShortcut>(k, list.get()));
    QObject::connect(shortcuts.back().get(), &QShortcut::activated, [&fired] { ++fired; });
  }
  list->SetEdit(0, 1);
  list->EditCell(0, 1);
  CXEdit *edit = list->GetEdit();
  ASSERT_NE(edit, nullptr);
  QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier);
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClick(edit, Qt::Key_Down);
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(list->GetEdit(), edit);
  QTest::keyClick(edit, Qt::Key_Escape); // abandons the edit, fires nothing
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(list->GetEdit(), nullptr);
}

TEST_F(XListCtrlTest, ScrollBarPressCommitsTheEdit)
{
  Rows(40);
  QApplication::processEvents(); // scroll bars show on a queued layout
  list->SetEdit(0, 1);
  list->EditCell(0, 1);
  ASSERT_NE(list->GetEdit(), nullptr);
  list->GetEdit()->setText("new");
  QScrollBar *bar = list->verticalScrollBar();
  ASSERT_TRUE(bar->isVisible());
  QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() - 30));
  EXPECT_EQ(list->GetEdit(), nullptr);
  EXPECT_EQ(list->GetItemText(0, 1), QStringLiteral("new"));
  EXPECT_EQ(events, std::vector<QString>{QStringLiteral("edit 0,1")});
}

// A wheel turn over the rows, as the platform delivers it to the viewport.
static void Wheel(CXListCtrl *list, int delta)
{
  const QPointF pos(40, 40);
  QWheelEvent wheel(pos, list->viewport()->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(list->viewport(), &wheel);
}

TEST_F(XListCtrlTest, AnyScrollCommitsTheEditBox)
{
  Rows(40);
  QApplication::processEvents(); // scroll bars show on a queued layout
  list->SetEdit(0, 1);
  list->SetEdit(1, 1);
  list->SetEdit(2, 1);

  list->EditCell(0, 1);
  ASSERT_NE(list->GetEdit(), nullptr);
  list->GetEdit()->setText("wheel");
  Wheel(list.get(), -120);
  EXPECT_GT(list->GetTopIndex(), 0);
  EXPECT_EQ(list->GetEdit(), nullptr) << "no box stays over another row";
  EXPECT_EQ(list->GetItemText(0, 1), QStringLiteral("wheel"));
  EXPECT_TRUE(list->GetModified(0, 1));
  EXPECT_EQ(events, std::vector<QString>{QStringLiteral("edit 0,1")});

  // Keys that reach the list move its rows too.
  events.clear();
  list->EditCell(1, 1);
  ASSERT_NE(list->GetEdit(), nullptr);
  list->GetEdit()->setText("key");
  QTest::keyClick(list.get(), Qt::Key_End);
  EXPECT_EQ(list->GetEdit(), nullptr);
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("key"));
  EXPECT_EQ(events, std::vector<QString>{QStringLiteral("edit 1,1")});

  // Dragging a scroll bar (here: its value) commits, sideways as well.
  events.clear();
  list->SetColumnWidth(2, 900);
  list->EditCell(2, 1);
  ASSERT_NE(list->GetEdit(), nullptr);
  EXPECT_EQ(list->GetTopIndex(), 2) << "the row was brought into view without a commit";
  list->GetEdit()->setText("bar");
  list->horizontalScrollBar()->setValue(list->horizontalScrollBar()->value() + 30);
  EXPECT_EQ(list->GetEdit(), nullptr);
  EXPECT_EQ(list->GetItemText(2, 1), QStringLiteral("bar"));
  EXPECT_EQ(events, std::vector<QString>{QStringLiteral("edit 2,1")});

  // A wheel turn that moves nothing leaves the box open.
  events.clear();
  list->verticalScrollBar()->setValue(0);
  list->EditCell(0, 1);
  ASSERT_NE(list->GetEdit(), nullptr);
  Wheel(list.get(), 120);
  EXPECT_NE(list->GetEdit(), nullptr);
  EXPECT_TRUE(events.empty());
}

TEST_F(XListCtrlTest, AnyScrollAbandonsTheChooser)
{
  Rows(40);
  QApplication::processEvents();
  QStringList names{"Off", "On", "Auto"};
  list->SetComboBox(1, 1, true, &names, 3, 2, false);
  list->SetItemText(1, 1, "Auto");
  const auto open = [this] {
    list->EditCell(1, 1);
    return list->GetCombo();
  };

  CXCombo *combo = open();
  ASSERT_NE(combo, nullptr);
  QTest::keyClick(combo, Qt::Key_Up); // a new entry, not chosen yet
  Wheel(list.get(), -120);
  EXPECT_GT(list->GetTopIndex(), 0);
  EXPECT_EQ(list->GetCombo(), nullptr) << "no chooser stays over another row";
  QApplication::processEvents();
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("Auto"));
  EXPECT_FALSE(list->GetModified(1, 1));
  EXPECT_TRUE(events.empty());

  // Keys that reach the list.
  list->verticalScrollBar()->setValue(0);
  combo = open();
  ASSERT_NE(combo, nullptr);
  QTest::keyClick(combo, Qt::Key_Home);
  QTest::keyClick(list.get(), Qt::Key_End);
  EXPECT_EQ(list->GetCombo(), nullptr);
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("Auto"));
  EXPECT_TRUE(events.empty());

  // A choice already made is not lost to a scroll that comes before its timer.
  list->verticalScrollBar()->setValue(0);
  combo = open();
  ASSERT_NE(combo, nullptr);
  QTest::keyClick(combo, Qt::Key_F4);
  ASSERT_TRUE(combo->GetDroppedState());
  QTest::keyClick(combo, Qt::Key_Up);
  QTest::keyClick(combo, Qt::Key_Return);
  EXPECT_TRUE(events.empty());
  list->verticalScrollBar()->setValue(5);
  EXPECT_EQ(list->GetCombo(), nullptr);
  EXPECT_EQ(events, std::vector<QString>{QStringLiteral("combo 1,1")});
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("On"));
  QTRY_VERIFY(!list->IsUpdateLocked());
}

TEST_F(XListCtrlTest, EditOfARowThatWasRefilledIsDropped)
{
  Rows(3);
  list->SetEdit(2, 1);
  list->EditCell(2, 1);
  CXEdit *edit = list->GetEdit();
  ASSERT_NE(edit, nullptr);
  edit->setText("lost");
  list->DeleteAllItems(); // refilled while the box is open
  list->InsertItem(0, "other");
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(list->GetItemCount(), 1);

  list->SetEdit(0, 1);
  list->EditCell(0, 1);
  list->GetEdit()->setText("kept");
  list->DeleteAllItems();
  QTest::keyClick(list->GetEdit(), Qt::Key_Return);
  EXPECT_TRUE(events.empty());
}

class XListChooserTest : public XListCtrlTest {
protected:
  void SetUp() override
  {
    XListCtrlTest::SetUp();
    Rows(4);
    // Named values as a view builds them: an entry per value, some without a name.
    names = QStringList{"", "One", "", "Three"};
    list->SetComboBox(1, 1, true, &names, 4, 3, false);
  }
  CXCombo *Open()
  {
    list->EditCell(1, 1);
    return list->GetCombo();
  }
  QStringList names;
};

TEST_F(XListChooserTest, OpensOnTheEntryOfTheValueText)
{
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("Three"));
  CXCombo *combo = Open();
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->GetCount(), 2);
  EXPECT_EQ(combo->GetCurSel(), 1);
  EXPECT_EQ(combo->GetText(), QStringLiteral("Three"));
  EXPECT_TRUE(combo->hasFocus());
  EXPECT_EQ(list->GetComboListRect().size(), QSize(119, list->GetRowHeight() - 1));
  QTest::keyClick(combo, Qt::Key_Escape);
  QTRY_COMPARE(list->GetCombo(), nullptr);

  // A value without a name: an empty cell, nothing selected.
  list->SetComboBox(2, 1, true, &names, 4, 2, false);
  EXPECT_TRUE(list->GetItemText(2, 1).isEmpty());
  list->EditCell(2, 1);
  ASSERT_NE(list->GetCombo(), nullptr);
  EXPECT_EQ(list->GetCombo()->GetCurSel(), -1);
  EXPECT_TRUE(list->GetItemText(2, 1).isEmpty());

  // A text that matches no entry opens on entry 0 and leaves the cell alone.
  QTest::keyClick(list->GetCombo(), Qt::Key_Escape);
  QTRY_COMPARE(list->GetCombo(), nullptr);
  list->SetItemText(2, 1, "Seven");
  list->EditCell(2, 1);
  EXPECT_EQ(list->GetCombo()->GetText(), QStringLiteral("One"));
  EXPECT_EQ(list->GetItemText(2, 1), QStringLiteral("Seven"));
}

TEST_F(XListChooserTest, InitialEntryIsUsedOnce)
{
  CXCombo *combo = Open();
  EXPECT_EQ(list->GetCellData(1, 1)->nInitialComboSel, -1);
  QTest::keyClick(combo, Qt::Key_Escape);
  QTRY_COMPARE(list->GetCombo(), nullptr);
  list->SetItemText(1, 1, "One");
  combo = Open();
  EXPECT_EQ(combo->GetText(), QStringLiteral("One"));
  QTest::keyClick(combo, Qt::Key_Escape);
}

TEST_F(XListChooserTest, ChoiceCommitsAfterTheTimerWithTheComboOrder)
{
  CXCombo *combo = Open();
  ASSERT_NE(combo, nullptr);
  std::vector<int> codes;
  QObject::connect(combo, &CAdvComboBox::notify, [&codes](int c) { codes.push_back(c); });
  QTest::keyClick(combo, Qt::Key_F4);
  ASSERT_TRUE(combo->GetDroppedState());
  QTest::keyClick(combo, Qt::Key_Up);
  QElapsedTimer clock;
  clock.start();
  QTest::keyClick(combo, Qt::Key_Return);
  EXPECT_EQ(codes, (std::vector<int>{CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}));
  EXPECT_TRUE(events.empty()); // acted upon 50 ms later
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("Three"));
  QTRY_VERIFY(!events.empty());
  EXPECT_GE(clock.elapsed(), 45);
  EXPECT_EQ(events, std::vector<QString>{QStringLiteral("combo 1,1")});
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("One"));
  EXPECT_TRUE(list->GetModified(1, 1));
  EXPECT_EQ(list->GetCombo(), nullptr);
  EXPECT_FALSE(list->IsUpdateLocked());
}

TEST_F(XListChooserTest, SameChoiceNotifiesButIsNoChange)
{
  CXCombo *combo = Open();
  QTest::keyClick(combo, Qt::Key_Return); // closed: the choice is complete as it stands
  QTRY_COMPARE(events.size(), size_t(1));
  EXPECT_EQ(events[0], QStringLiteral("combo 1,1"));
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("Three"));
  EXPECT_FALSE(list->GetModified(1, 1));
}

TEST_F(XListChooserTest, MouseChoiceThroughTheDropDown)
{
  CXCombo *combo = Open();
  QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(5, 5));
  ASSERT_TRUE(combo->GetDroppedState());
  QTest::qWait(120); // the drop-down holding the focus does not abandon the choice
  ASSERT_EQ(list->GetCombo(), combo);
  CDropListBox *lb = combo->GetDropWnd()->GetListBox();
  const QPoint row0(10, lb->GetItemHeight() / 2);
  QTest::mouseMove(lb, row0);
  QTest::mouseClick(lb, Qt::LeftButton, {}, row0);
  QTRY_COMPARE(events.size(), size_t(1));
  EXPECT_EQ(events[0], QStringLiteral("combo 1,1"));
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("One"));
}

TEST_F(XListChooserTest, AbandonPaths)
{
  CXCombo *combo = Open();
  QTest::keyClick(combo, Qt::Key_Escape);
  EXPECT_EQ(list->GetCombo(), combo); // removed on the timer, not inside its own notice
  QTRY_COMPARE(list->GetCombo(), nullptr);
  EXPECT_TRUE(events.empty());

  // A click below the last row closes the chooser without a commit.
  Open();
  QRect client = list->GetClientRect();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, list->viewport()->height() - 5));
  QTRY_COMPARE(list->GetCombo(), nullptr);
  EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("Three"));
  EXPECT_EQ(events, std::vector<QString>{QStringLiteral("click -1,-1 sel=-1")});
  EXPECT_GT(client.height(), 0);
}

TEST_F(XListChooserTest, ChooserOpenedByTheNextClickSurvivesTheOldOnesTimer)
{
  list->SetComboBox(2, 1, true, &names, 4, 1, false);
  Click(1, 1);
  CXCombo *first = list->GetCombo();
  ASSERT_NE(first, nullptr);
  Click(2, 1); // the first chooser loses the focus: its abandon is pending
  CXCombo *second = list->GetCombo();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  QTest::qWait(120);
  EXPECT_EQ(list->GetCombo(), second);
  EXPECT_EQ(second->GetText(), QStringLiteral("One"));

  // A commit still pending when the next chooser opens is made first.
  QTest::keyClick(second, Qt::Key_F4);
  QApplication::processEvents(); // the drop-down's window activation
  QTest::keyClick(second, Qt::Key_Down);
  QTest::keyClick(second, Qt::Key_Return); // timer 3 runs
  QApplication::processEvents();
  events.clear();
  Click(1, 1);
  EXPECT_EQ(events, (std::vector<QString>{QStringLiteral("click 1,1 sel=1"), QStringLiteral("combo 2,1")}));
  EXPECT_EQ(list->GetItemText(2, 1), QStringLiteral("Three"));
  CXCombo *third = list->GetCombo();
  ASSERT_NE(third, nullptr);
  QTest::qWait(120);
  EXPECT_EQ(list->GetCombo(), third);
}

TEST_F(XListChooserTest, ChoiceForARefilledListIsDropped)
{
  CXCombo *combo = Open();
  QTest::keyClick(combo, Qt::Key_F4);
  QTest::keyClick(combo, Qt::Key_Up);
  QTest::keyClick(combo, Qt::Key_Return);
  list->DeleteAllItems();
  list->InsertItem(0, "x");
  QTRY_COMPARE(list->GetCombo(), nullptr);
  EXPECT_TRUE(events.empty());
  EXPECT_TRUE(list->GetItemText(0, 1).isEmpty());
}

TEST_F(XListCtrlTest, EveryKeyReachesTheOwnerAfterTheMove)
{
  Rows(30);
  list->SetCurSel(0, true);
  std::vector<std::pair<int, int>> keys; // key, selection when told
  QObject::connect(list.get(), &CXListCtrl::keyDown, [&](int k, unsigned) { keys.emplace_back(k, list->GetCurSel()); });
  QTest::keyClick(list.get(), Qt::Key_Down);
  QTest::keyClick(list.get(), Qt::Key_F1);
  QTest::keyClick(list.get(), Qt::Key_End);
  QTest::keyClick(list.get(), Qt::Key_A);
  QTest::keyClick(list.get(), Qt::Key_Return); // told, then left to a dialog's default button
  ASSERT_EQ(keys.size(), 5u);
  EXPECT_EQ(keys[4].first, VK_RETURN);
  EXPECT_EQ(keys[0], std::make_pair(VK_DOWN, 1));
  EXPECT_EQ(keys[1], std::make_pair(VK_F1, 1));
  EXPECT_EQ(keys[2], std::make_pair(VK_END, 29));
  EXPECT_EQ(keys[3], std::make_pair(int('A'), 29));
  EXPECT_LE(list->GetTopIndex(), 29); // scrolled fully into view
  EXPECT_GT(list->GetTopIndex() + list->GetCountPerPage(), 29);
}

TEST_F(XListCtrlTest, SelectionColoursFollowFocusAndStyles)
{
  Rows(2);
  list->SetItemColors(0, 1, RGB(1, 1, 1), RGB(2, 2, 2));
  list->SetCurSel(0);
  const QPalette &pal = list->palette();
  COLORREF t = RGB(1, 1, 1), b = RGB(2, 2, 2);
  list->GetCellColors(0, 1, t, b);
  EXPECT_EQ(t, GetSysColor(COLOR_HIGHLIGHTTEXT, pal));
  EXPECT_EQ(b, GetSysColor(COLOR_HIGHLIGHT, pal));

  list->SetExtendedStyle(0); // only column 0 of the selected row
  t = RGB(1, 1, 1);
  list->GetCellColors(0, 1, t, b);
  EXPECT_EQ(t, RGB(1, 1, 1));
  list->GetCellColors(0, 0, t, b);
  EXPECT_EQ(b, GetSysColor(COLOR_HIGHLIGHT, pal));

  list->SetExtendedStyle(LVS_EX_FULLROWSELECT);
  list->clearFocus();
  t = RGB(1, 1, 1);
  b = RGB(2, 2, 2);
  list->GetCellColors(0, 1, t, b);
  EXPECT_EQ(t, GetSysColor(COLOR_WINDOWTEXT, pal));
  EXPECT_EQ(b, GetSysColor(COLOR_BTNFACE, pal));
  list->ModifyStyle(LVS_SHOWSELALWAYS, 0);
  t = RGB(1, 1, 1);
  list->GetCellColors(0, 1, t, b);
  EXPECT_EQ(t, RGB(1, 1, 1));
  list->GetCellColors(1, 1, t, b); // not selected: untouched
  EXPECT_EQ(t, RGB(1, 1, 1));
}

// The empty-list text follows the interface language.
TEST(XListCtrlText, EmptyListTextInBothLanguages)
{
  TestEnvironment env;
  EXPECT_EQ(CXListCtrl::EmptyListText(), QStringLiteral("There are no items to show in this view."));
  ASSERT_TRUE(StringTable::Instance().SetLanguage(StringTable::Language::Italian,
                                                  QStringLiteral(VELOTRIX_BIN_DIR "/LangITA11.rcc")));
  EXPECT_EQ(CXListCtrl::EmptyListText(), QStringLiteral("Non ci sono elementi da mostrare in questa vista."));
}

TEST_F(XListCtrlTest, DrawsBoxesImagesAndTheEmptyText)
{
  QImage shot = list->viewport()->grab().toImage();
  const int hh = list->GetClientRect().height() - list->viewport()->height();
  // "There are no items..." starts 10 pixels below the header.
  auto rowHasInk = [&](int y) {
    for (int x = 0; x < shot.width(); ++x)
      if (FromQColor(shot.pixelColor(x, y)) != window)
        return true;
    return false;
  };
  for (int y = 0; y < 10; ++y)
    EXPECT_FALSE(rowHasInk(y)) << y;
  bool ink = false;
  for (int y = 10; y < 10 + list->fontMetrics().height(); ++y)
    ink = ink || rowHasInk(y);
  EXPECT_TRUE(ink);
  EXPECT_GT(hh, 0);

  Rows(2);
  list->SetCheckbox(0, 1, 1);  // text "b0": box at left + 9
  list->SetItemText(1, 1, ""); // no text: box centred
  list->SetCheckbox(1, 1, 0);
  list->SetCurSel(-1);
  QApplication::processEvents();
  shot = list->viewport()->grab().toImage();
  auto px = [&](QPoint client) {
    return FromQColor(shot.pixelColor(list->viewport()->mapFromGlobal(list->ClientToScreen(client))));
  };
  QRect c0, c1;
  list->GetSubItemRect(0, 1, LVIR_BOUNDS, c0);
  list->GetSubItemRect(1, 1, LVIR_BOUNDS, c1);
  const int side = c0.height() - 1;
  EXPECT_EQ(px(QPoint(c0.left() + 9, c0.top())), RGB(51, 102, 153));
  EXPECT_EQ(px(QPoint(c0.left() + 8, c0.top() + 2)), window);
  EXPECT_EQ(px(QPoint(c0.left() + 9 + 9, c0.top() + 3)), RGB(51, 153, 51)); // the tick's first stroke
  const int left1 = c1.left() + c1.width() / 2 - side / 2 - 1;
  EXPECT_EQ(px(QPoint(left1, c1.top() + 1)), RGB(51, 102, 153));
  EXPECT_EQ(px(QPoint(left1 + 9, c1.top() + 3)), window); // unchecked

  // A missing image is skipped; a real one is drawn.
  CImageList images;
  ASSERT_TRUE(images.Create(CImageList::CheckBoxStrip(), 16, 3, RGB(255, 0, 255)));
  list->SetImageList(&images, LVSIL_SMALL);
  list->SetItemImage(0, 2, 9);
  list->SetItemImage(1, 2, 2);
  shot = list->viewport()->grab().toImage();
  QRect c2;
  list->GetSubItemRect(1, 2, LVIR_BOUNDS, c2);
  const int y = c2.top() + c2.height() / 2 - 8;
  EXPECT_EQ(px(QPoint(c2.left() + 6 + 1, y + 1)), RGB(51, 102, 153)); // frame of image 2
  list->SetImageList(nullptr, LVSIL_SMALL);
}

TEST_F(XListCtrlTest, SubItemRectOfColumnZeroEndsAtTheNextShownColumn)
{
  Rows(1);
  list->SetColumnWidth(1, 0);
  QRect r0, r2;
  list->GetSubItemRect(0, 0, LVIR_BOUNDS, r0);
  list->GetSubItemRect(0, 2, LVIR_BOUNDS, r2);
  EXPECT_EQ(r0.right() + 1, r2.left());
  EXPECT_EQ(list->HitTest(QPoint(r2.center().x(), r2.center().y())), 0);
  EXPECT_EQ(list->HitTest(QPoint(r2.center().x(), 2)), -1); // over the header
  int sub = -1;
  EXPECT_EQ(list->SubItemHitTest(r2.center(), &sub), 0);
  EXPECT_EQ(sub, 2);
}

TEST(XListView, HostsTheListAndCallsTheHookOnce)
{
  struct View : CXListView {
    int inits = 0;
    void InitListCtrl(CXListCtrl *pList) override
    {
      ++inits;
      pList->InsertColumn(0, "N", LVCFMT_LEFT, 40);
    }
  } view;
  view.resize(200, 150);
  view.show();
  view.OnInitialUpdate();
  EXPECT_EQ(view.inits, 1);
  EXPECT_EQ(view.GetListCtrl()->GetColumns(), 1);
  EXPECT_EQ(view.GetListCtrl()->GetExtendedStyle() & LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  EXPECT_EQ(view.GetListCtrl()->geometry(), QRect(0, 0, 200, 150));
  view.resize(0, 0);
  EXPECT_EQ(view.GetListCtrl()->size(), QSize(0, 0));
}

} // namespace

TEST_F(XListChooserTest, ChooserKeysComeBeforeTheWindowsShortcuts)
{
  int fired = 0;
  std::vector<std::unique_ptr<QShortcut>> shortcuts;
  for (const QKeySequence &k : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::Key_Down), QKeySequence(Qt::Key_F4)}) {
    shortcuts.push_back(std::make_unique<QShortcut>(k, list.get()));
    QObject::connect(shortcuts.back().get(), &QShortcut::activated, [&fired] { ++fired; });
  }
  CXCombo *combo = Open();
  ASSERT_NE(combo, nullptr);
  QTest::keyClick(combo, Qt::Key_Down);
  EXPECT_EQ(combo->GetText(), QStringLiteral("Three")); // already the last entry
  QTest::keyClick(combo, Qt::Key_Up);
  QTest::keyClick(combo, Qt::Key_Down);
  EXPECT_EQ(combo->GetText(), QStringLiteral("Three"));
  QTest::keyClick(combo, Qt::Key_F4);
  EXPECT_TRUE(combo->GetDroppedState());
  QTest::keyClick(combo, Qt::Key_F4);
  EXPECT_FALSE(combo->GetDroppedState());
  QTest::keyClick(combo, Qt::Key_Escape); // closed: abandons the choice
  EXPECT_EQ(fired, 0);
  QTRY_COMPARE(list->GetCombo(), nullptr);
  EXPECT_TRUE(events.empty());
}

TEST_F(XListChooserTest, KeysInTheChooserStayOutOfTheList)
{
  // The chooser is a window of its own over the cell: its keys never move
  // the list's selection or reach the list's owner.
  list->SetCurSel(1, true);
  std::vector<int> keys;
  QObject::connect(list.get(), &CXListCtrl::keyDown, [&](int k, unsigned) { keys.push_back(k); });
  CXCombo *combo = Open();
  ASSERT_NE(combo, nullptr);
  QTest::keyClick(combo, Qt::Key_Home);
  EXPECT_EQ(list->GetCurSel(), 1);
  QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
  EXPECT_TRUE(combo->GetDroppedState());
  QTest::keyClick(combo, Qt::Key_Escape);
  QTest::keyClick(combo, Qt::Key_End);
  QTest::keyClick(combo, Qt::Key_F1);
  EXPECT_EQ(list->GetCurSel(), 1);
  EXPECT_TRUE(keys.empty());
  EXPECT_EQ(list->GetCombo(), combo);
}
