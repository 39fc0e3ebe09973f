#include "optiontree/OptionTree.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

struct Tree {
  Tree()
  {
    owner.resize(300, 300);
    EXPECT_TRUE(tree->Create(true, QRect(0, 0, 200, 300), &owner, 0x19, 707));
    tree->SetNotify(true, &owner);
    group = tree->InsertItem(new COptionTreeItemStatic);
    group->SetLabelText(QStringLiteral("Track 0"));
    edit = tree->InsertItem(new COptionTreeItemEdit, group);
    edit->SetLabelText(QStringLiteral("Gain"));
    edit->CreateEditItem(0x200, 0);
    edit->SetWindowText(QStringLiteral("1"));
    edit->SetCtrlID(220);
    check = tree->InsertItem(new COptionTreeItemCheckBox);
    check->CreateCheckBoxItem(1, 0x40000);
    check->SetCheckText(QStringLiteral("Show"), QStringLiteral("Hide"));
    check->SetCtrlID(200);
  }
  QWidget owner;
  COptionTree *tree = new COptionTree; // owned by owner once created
  COptionTreeItemStatic *group;
  COptionTreeItemEdit *edit;
  COptionTreeItemCheckBox *check;
};

} // namespace

TEST(OptionTree, UserChangesAreNotifiedAndTheProgramsOwnAreNot)
{
  Tree t;
  QSignalSpy spy(t.tree, &COptionTree::OnItemChanged);
  t.edit->SetWindowText(QStringLiteral("2"));
  t.edit->SetLabelBackgroundColor(RGB(255, 0, 0));
  t.check->SetCheck(false);
  EXPECT_EQ(spy.count(), 0);

  t.edit->GetTreeItem()->setText(1, QStringLiteral("3.5"));
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy[0][0].toInt(), COptionTree::OT_NOTIFY_ITEMCHANGED);
  EXPECT_EQ(spy[0][1].value<COptionTreeItem *>(), t.edit);
  EXPECT_EQ(t.edit->GetWindowText(), QStringLiteral("3.5"));

  t.check->GetTreeItem()->setCheckState(1, Qt::Checked);
  ASSERT_EQ(spy.count(), 2);
  EXPECT_TRUE(t.check->GetCheck());
  EXPECT_EQ(t.check->GetTreeItem()->text(1), QStringLiteral("Show"));

  t.tree->SetNotify(false, nullptr);
  t.edit->GetTreeItem()->setText(1, QStringLiteral("4"));
  EXPECT_EQ(spy.count(), 2);
  EXPECT_EQ(t.edit->GetWindowText(), QStringLiteral("4")) << "the value is taken all the same";
}

TEST(OptionTree, ReadOnlyItemsAndLabelsCannotBeTypedInto)
{
  Tree t;
  auto *times = t.tree->InsertItem(new COptionTreeItemEdit, t.group);
  times->CreateEditItem(0, 0);
  times->ReadOnly(true);
  times->SetWindowText(QStringLiteral("0.100 ms"));
  EXPECT_FALSE(times->GetTreeItem()->flags() & Qt::ItemIsEditable);
  EXPECT_TRUE(t.edit->GetTreeItem()->flags() & Qt::ItemIsEditable);
  QSignalSpy spy(t.tree, &COptionTree::OnItemChanged);
  times->GetTreeItem()->setText(1, QStringLiteral("9 ms"));
  EXPECT_EQ(spy.count(), 0);
  EXPECT_EQ(times->GetWindowText(), QStringLiteral("0.100 ms"));
  EXPECT_EQ(times->GetTreeItem()->text(1), QStringLiteral("0.100 ms")) << "the row shows the item's text again";
  t.edit->GetTreeItem()->setText(0, QStringLiteral("renamed"));
  EXPECT_EQ(t.edit->GetLabelText(), QStringLiteral("Gain"));
}

TEST(OptionTree, NumbersReadWholeOrNotAtAll)
{
  Tree t;
  int i = 7;
  double d = 7;
  for (const char *bad : {"", "1x", "nan", "inf", "1e999", "--1"}) {
    t.edit->SetWindowText(QString::fromLatin1(bad));
    EXPECT_FALSE(t.edit->GetEditDouble(d)) << bad;
    EXPECT_FALSE(t.edit->GetEditInt(i)) << bad;
  }
  EXPECT_EQ(i, 7);
  EXPECT_DOUBLE_EQ(d, 7);
  t.edit->SetWindowText(QStringLiteral(" -40000 "));
  EXPECT_TRUE(t.edit->GetEditInt(i));
  EXPECT_EQ(i, -40000);
  t.edit->SetWindowText(QStringLiteral("2.5e3"));
  EXPECT_TRUE(t.edit->GetEditDouble(d));
  EXPECT_DOUBLE_EQ(d, 2500);
  EXPECT_FALSE(t.edit->GetEditInt(i));
}

TEST(OptionTree, InsertionOwnsItemsAndRefusesForeignParents)
{
  Tree t;
  Tree other;
  EXPECT_EQ(t.tree->InsertItem(new COptionTreeItemStatic, other.group), nullptr);
  EXPECT_EQ(t.tree->InsertItem(static_cast<COptionTreeItem *>(nullptr)), nullptr);
  EXPECT_EQ(t.tree->GetItemCount(), 3);
  EXPECT_EQ(t.tree->FindItemByCtrlID(220), t.edit);
  EXPECT_EQ(t.edit->GetTreeItem()->parent(), t.group->GetTreeItem());
  t.tree->SetColumn(100);
  EXPECT_EQ(t.tree->columnWidth(0), 100);
  t.tree->ExpandAllItems();
  EXPECT_TRUE(t.group->GetTreeItem()->isExpanded());
  EXPECT_EQ(t.tree->GetID(), 707);
  COptionTree loose;
  EXPECT_FALSE(loose.Create(true, QRect(), nullptr, 0, 1));
}

// A label on a track's colour stays readable: light text on dark colours.
TEST(OptionTree, LabelTextContrastsWithItsColour)
{
  Tree t;
  t.edit->SetLabelBackgroundColor(RGB(0, 0, 255));
  EXPECT_EQ(t.edit->GetTreeItem()->foreground(0).color(), QColor(Qt::white));
  t.edit->SetLabelBackgroundColor(RGB(255, 128, 0));
  EXPECT_EQ(t.edit->GetTreeItem()->foreground(0).color(), QColor(Qt::black));
}
