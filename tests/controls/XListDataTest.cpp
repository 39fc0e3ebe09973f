#include "controls/XListCommon.h"
#include "controls/XListData.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

CXListData ThreeRows()
{
  CXListData data;
  data.SetDefaultColors(0x000000, 0xFFFFFF);
  data.InsertColumn(0);
  data.InsertColumn(1);
  for (int i = 0; i < 3; ++i)
    data.Insert(i, QStringLiteral("row%1").arg(i), 0x0000FF, 0x00FF00);
  return data;
}

} // namespace

TEST(XListData, RowsKeepTheSelectionAndColumnsShiftTexts)
{
  CXListData data = ThreeRows();
  ASSERT_TRUE(data.SetState(1, xl::LVIS_SELECTED | xl::LVIS_FOCUSED, xl::LVIS_SELECTED | xl::LVIS_FOCUSED));
  data.Insert(0, "new", 1, 2);
  EXPECT_EQ(data.Next(-1, xl::LVNI_SELECTED), 2);
  data.Delete(2);
  EXPECT_EQ(data.m_nSelected, -1);
  EXPECT_EQ(data.m_nFocused, -1);
  EXPECT_EQ(data.Insert(99, "last", 0, 0), 3);

  data.SetText(0, 1, "b");
  data.InsertColumn(1);
  EXPECT_EQ(data.Text(0, 1), "");
  EXPECT_EQ(data.Text(0, 2), "b");
}

TEST(XListData, ChooserStringsAreSortedOnceAndCopied)
{
  CXListData data = ThreeRows();
  QStringList names{"b", "A", "c"};
  ASSERT_TRUE(data.SetCombo(0, 1, true, &names, 5, 1, true));
  EXPECT_EQ(names, (QStringList{"A", "b", "c"})); // the caller's list, sorted in place
  EXPECT_EQ(data.Text(0, 1), QStringLiteral("b"));
  names = QStringList{"gone"}; // the list keeps its own copy
  EXPECT_EQ(*data.Cell(0, 1)->psa, (QStringList{"A", "b", "c"}));

  // An initial index that names no entry shows no name at all.
  QStringList three{"x", "y", "z"};
  ASSERT_TRUE(data.SetCombo(1, 1, true, &three, 3, 7, false));
  EXPECT_TRUE(data.Text(1, 1).isEmpty());
  EXPECT_EQ(data.Cell(1, 1)->nInitialComboSel, -1);

  data.SetCombo(1, 1, false, &three, 3, 0, false);
  EXPECT_FALSE(data.Cell(1, 1)->bCombo);
}

TEST(XListData, RefillReportsOnlyTheCellsThatChanged)
{
  CXListData data = ThreeRows();
  data.SetText(0, 1, "same");
  data.SetText(2, 1, "old");
  data.Cell(1, 1)->nCheckedState = 1;
  data.SetState(0, xl::LVIS_SELECTED, xl::LVIS_SELECTED);
  data.BeginRefill();
  EXPECT_EQ(data.m_nSelected, -1);
  // Each row is written right after its refill, as a new row would be.
  const char *texts[] = {"same", "", "new"};
  for (int i = 0; i < 3; ++i) {
    data.Refill(i, QStringLiteral("row%1").arg(i), 0x0000FF, 0x00FF00);
    if (i != 1)
      data.SetText(i, 1, texts[i]);
    else
      data.Cell(1, 1)->nCheckedState = 1;
  }
  CXListData::Cells changed = data.EndRefill();
  std::sort(changed.begin(), changed.end());
  // Row 0 repaints for the selection it lost, row 2 for its text.
  EXPECT_EQ(changed, (CXListData::Cells{{0, 0}, {0, 1}, {2, 1}}));
  EXPECT_EQ(data.CountChecked(1), 1);
}
