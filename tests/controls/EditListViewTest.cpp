#include "controls/EditListView.h"
#include "controls/gfxEditCell.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {

// A list that edits every cell and records what the editor reports.
class TestList : public CEditListView {
public:
  TestList()
  {
    resize(420, 300);
    InsertColumn(0, QStringLiteral("N"), LVCFMT_RIGHT, 40);
    InsertColumn(1, QStringLiteral("Name"), LVCFMT_LEFT, 120);
    InsertColumn(2, QStringLiteral("Value"), LVCFMT_CENTER, 80);
    InsertColumn(3, QStringLiteral("Narrow"), LVCFMT_LEFT, 4);
    for (int i = 0; i < 40; ++i)
      InsertItem(i, QString::number(i));
    show();
  }
  QLineEdit *EditSubLabel(int nItem, int nCol) override
  {
    ++asked;
    return PlaceCellEditor(nItem, nCol);
  }
  int OnEndLabelEdit(const LV_DISPINFO &info) override
  {
    reports.push_back(info);
    return 0;
  }
  void SupplyCellText(int nItem, int nSubItem, QString &text) override
  {
    text = QStringLiteral("r%1c%2").arg(nItem).arg(nSubItem);
    supplied.insert({nItem, nSubItem});
  }
  bool OnCustomDraw(int nItem, int, COLORREF &crText, COLORREF &crBk) override
  {
    crText = 0x0000C0;
    crBk = nItem & 1 ? 0x80FFFF : 0xFFFF80;
    return true;
  }

  // The open editor after deferred deletions ran.
  gfxEditCell *Editor()
  {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return GetEditCell();
  }
  int asked = 0;
  std::vector<LV_DISPINFO> reports;
  std::set<std::pair<int, int>> supplied; // cells whose text was asked for
};

} // namespace

TEST(EditListView, CellsAreSetOrSupplied)
{
  TestList list;
  EXPECT_EQ(list.GetItemCount(), 40);
  EXPECT_EQ(list.GetColumnCount(), 4);
  EXPECT_EQ(list.GetItemText(3, 0), QStringLiteral("3"));
  EXPECT_EQ(list.GetItemText(3, 2), QStringLiteral("r3c2"));
  EXPECT_TRUE(list.SetItemText(3, 2, QStringLiteral("12.5")));
  EXPECT_EQ(list.GetItemText(3, 2), QStringLiteral("12.5"));
  EXPECT_FALSE(list.SetItemText(40, 0, QStringLiteral("x")));
  EXPECT_EQ(list.GetColumnWidth(3), 4);
  EXPECT_TRUE(list.SetColumnWidth(3, 0));
  EXPECT_EQ(list.GetColumnWidth(3), 0) << "a column may be hidden by width 0";
  list.DeleteAllItems();
  EXPECT_EQ(list.GetItemCount(), 0);
}

TEST(EditListView, PaintsOnlyTheDirtyCellsInTheirColours)
{
  TestList list;
  list.selectionModel()->select(list.model()->index(5, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  auto cell = [&list](int row, int col) { return list.visualRect(list.model()->index(row, col)); };
  // Two cells of two rows: a region of several rectangles.
  const QRegion dirty = QRegion(cell(2, 1)) + cell(5, 1);
  QImage image(list.viewport()->size(), QImage::Format_RGB32);
  list.supplied.clear();
  list.viewport()->render(&image, dirty.boundingRect().topLeft(), dirty, {});
  // Painting outside the region is clipped away, so only the texts asked for
  // show whether the rows' other cells were drawn in vain.
  EXPECT_EQ(list.supplied, (std::set<std::pair<int, int>>{{2, 1}, {5, 1}}));
  auto ground = [&](int row, int col) { return image.pixel(cell(row, col).left() + 1, cell(row, col).center().y()); };
  EXPECT_EQ(ground(2, 1), ToQColor(0xFFFF80).rgb());
  const auto group = list.isActiveWindow() ? QPalette::Active : QPalette::Inactive;
  EXPECT_EQ(ground(5, 1), list.palette().color(group, QPalette::Highlight).rgb()) << "selected";
  // The text in its colour, on the column's side of the cell.
  const QRect name = cell(2, 1);
  int left = name.right(), right = name.left();
  for (int x = name.left(); x <= name.right(); ++x)
    for (int y = name.top(); y <= name.bottom(); ++y)
      if (image.pixel(x, y) == ToQColor(0x0000C0).rgb()) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
  EXPECT_LT(left, name.left() + 12);
  EXPECT_LT(right, name.center().x()) << "left-aligned";
}

TEST(EditListView, HitTestExFindsRowAndColumn)
{
  TestList list;
  const QRect row2 = list.GetItemRect(2);
  int col = -1;
  EXPECT_EQ(list.HitTestEx(QPoint(40 + 120 + 10, row2.center().y()), &col), 2);
  EXPECT_EQ(col, 2);
  EXPECT_EQ(list.HitTestEx(QPoint(5, row2.center().y()), nullptr), 2) << "no column pointer is fine";
  col = -1;
  EXPECT_EQ(list.HitTestEx(QPoint(400, row2.center().y()), &col), -1) << "right of the last column";
  EXPECT_EQ(col, 0);
  const QRect last = list.GetItemRect(list.GetTopIndex() + list.GetCountPerPage());
  EXPECT_EQ(list.HitTestEx(QPoint(5, last.top() + 1), &col), list.GetTopIndex() + list.GetCountPerPage())
      << "the row cut at the bottom counts";
}

TEST(EditListView, EditSubLabelRefusesCellsThatDoNotExist)
{
  TestList list;
  EXPECT_EQ(list.EditSubLabel(-1, 1), nullptr);
  EXPECT_EQ(list.EditSubLabel(40, 1), nullptr);
  EXPECT_EQ(list.EditSubLabel(0, 4), nullptr);
  EXPECT_EQ(list.EditSubLabel(0, -1), nullptr);
  EXPECT_EQ(list.EditSubLabel(0, 3), nullptr) << "narrower than 5 pixels";

  auto *edit = list.EditSubLabel(2, 2);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->text(), QStringLiteral("r2c2"));
  EXPECT_EQ(edit->selectedText(), QStringLiteral("r2c2"));
  EXPECT_EQ(edit->geometry().left(), list.GetItemRect(2).left() + 160);
  EXPECT_EQ(edit->geometry().width(), 80);
  EXPECT_TRUE(edit->alignment() & Qt::AlignHCenter);
  EXPECT_EQ(list.GetSelectionMark(), 2);
}

TEST(EditListView, EnterReportsTextWithModifiersEscapeReportsNothing)
{
  TestList list;
  list.EditSubLabel(4, 1);
  gfxEditCell *edit = list.Editor();
  ASSERT_NE(edit, nullptr);
  QTest::keyClicks(edit, QStringLiteral("Speed"));
  QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
  ASSERT_EQ(list.reports.size(), 1u);
  EXPECT_EQ(list.reports[0].iItem, 4);
  EXPECT_EQ(list.reports[0].iSubItem, 1);
  EXPECT_EQ(list.reports[0].pszText, QStringLiteral("Speed"));
  EXPECT_EQ(list.reports[0].cchTextMax, 5);
  EXPECT_EQ(list.reports[0].lParam, 1);
  EXPECT_EQ(list.reports[0].idFrom, 196);
  EXPECT_EQ(list.Editor(), nullptr) << "the editor closes after reporting";

  list.EditSubLabel(5, 1);
  QTest::keyClick(list.Editor(), Qt::Key_Enter, Qt::ControlModifier);
  ASSERT_EQ(list.reports.size(), 2u);
  EXPECT_EQ(list.reports[1].lParam, 2);
  list.EditSubLabel(5, 1);
  QTest::keyClick(list.Editor(), Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(list.reports.back().lParam, 3);

  list.EditSubLabel(6, 1);
  edit = list.Editor();
  QTest::keyClicks(edit, QStringLiteral("abandoned"));
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_EQ(list.reports.size(), 3u);
  EXPECT_EQ(list.Editor(), nullptr);
}

TEST(EditListView, DoubleClickSelectsFromBlankToBlank)
{
  TestList list;
  list.SetItemText(2, 1, QStringLiteral("-1000.5"));
  list.EditSubLabel(2, 1);
  gfxEditCell *edit = list.Editor();
  ASSERT_NE(edit, nullptr);
  QPoint fraction(0, edit->height() / 2); // between the point and the 5
  while (edit->cursorPositionAt(fraction) < 6)
    fraction.rx() += 1;
  QTest::mouseDClick(edit, Qt::LeftButton, {}, fraction);
  QTest::mouseRelease(edit, Qt::LeftButton, {}, fraction);
  EXPECT_EQ(edit->selectedText(), QStringLiteral("-1000.5"));
}

TEST(EditListView, KeysMoveTheEditorWithinTheColumn)
{
  TestList list;
  auto row = [&] { return list.Editor() ? list.Editor()->GetItem() : -100; };
  list.EditSubLabel(0, 1);
  QTest::keyClick(list.Editor(), Qt::Key_Up);
  EXPECT_EQ(row(), 0);
  QTest::keyClick(list.Editor(), Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_EQ(row(), 0) << "nothing above row 0";
  QTest::keyClicks(list.Editor(), QStringLiteral("lost"));
  QTest::keyClick(list.Editor(), Qt::Key_Down);
  EXPECT_EQ(row(), 1);
  EXPECT_EQ(list.Editor()->GetSubItem(), 1);
  EXPECT_TRUE(list.reports.empty()) << "moving abandons the typed text";
  QTest::keyClick(list.Editor(), Qt::Key_Tab);
  EXPECT_EQ(row(), 2);
  QTest::keyClick(list.Editor(), Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(row(), 1);
  QTest::keyClick(list.Editor(), Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(row(), 39);
  const int asked = list.asked;
  QTest::keyClick(list.Editor(), Qt::Key_Down);
  EXPECT_EQ(list.asked, asked + 1);
  EXPECT_EQ(row(), 39) << "the row past the end is refused and the editor stays";
  QTest::keyClick(list.Editor(), Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(row(), 0);

  const int page = list.GetCountPerPage();
  ASSERT_GE(page, 3);
  list.EditSubLabel(3, 1);
  QTest::keyClick(list.Editor(), Qt::Key_PageUp);
  EXPECT_EQ(row(), 0);
  QTest::keyClick(list.Editor(), Qt::Key_PageDown);
  EXPECT_EQ(row(), page);
  list.EditSubLabel(38, 1);
  QTest::keyClick(list.Editor(), Qt::Key_PageDown);
  EXPECT_EQ(row(), 39);
}

TEST(EditListView, TypingGrowsTheEditorUpToTheViewsEdge)
{
  TestList list;
  list.EditSubLabel(1, 0);
  gfxEditCell *edit = list.Editor();
  ASSERT_EQ(edit->width(), 40);
  QTest::keyClicks(edit, QStringLiteral("a much longer text than the column"));
  EXPECT_GT(edit->width(), 40);
  EXPECT_LE(edit->geometry().right(), list.viewport()->width());
}

TEST(EditListView, ANewEditorClosesTheOneBefore)
{
  TestList list;
  list.EditSubLabel(1, 1);
  QPointer<gfxEditCell> first = list.Editor();
  QTest::keyClicks(first, QStringLiteral("typed"));
  list.EditSubLabel(3, 2);
  gfxEditCell *second = list.Editor();
  EXPECT_TRUE(first.isNull());
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->GetItem(), 3);
  EXPECT_TRUE(list.reports.empty());
}

TEST(EditListView, DestroyedWhileItsEditorHasTheFocus)
{
  // A view that is a window of its own: closing it takes the focus from the
  // editor while the view is already being destroyed.
  auto *list = new TestList;
  list->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(list));
  ASSERT_NE(list->EditSubLabel(2, 1), nullptr);
  QPointer<gfxEditCell> editor = list->Editor();
  ASSERT_FALSE(editor.isNull());
  QTRY_VERIFY(editor->hasFocus());
  QTest::keyClicks(editor, QStringLiteral("12"));
  delete list;
  EXPECT_TRUE(editor.isNull());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  // A view inside a window that stays open.
  QWidget window;
  window.resize(500, 400);
  auto *inner = new TestList;
  inner->setParent(&window);
  inner->show();
  auto *other = new QLineEdit(&window);
  other->move(0, 320);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  ASSERT_NE(inner->EditSubLabel(3, 2), nullptr);
  editor = inner->Editor();
  QTRY_VERIFY(editor && editor->hasFocus());
  delete inner;
  EXPECT_TRUE(editor.isNull());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  other->setFocus();
  QTRY_VERIFY(other->hasFocus());
}
