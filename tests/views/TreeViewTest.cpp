#include "ViewFakes.h"

#include "views/ViewState.h"

#include "platform/StringTable.h"

#include <QTest>

namespace {

class Trees : public ViewsFixture {
protected:
  // The texts of a tree's top-level items and of their children, depth first.
  static QStringList Texts(QTreeWidget *tree)
  {
    QStringList out;
    std::function<void(QTreeWidgetItem *, int)> walk = [&](QTreeWidgetItem *item, int depth) {
      out << QString(depth * 2, u' ') + item->text(0);
      for (int i = 0; i < item->childCount(); ++i)
        walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
      walk(tree->topLevelItem(i), 0);
    return out;
  }
  QPoint VarItemPoint(std::int16_t var) const
  {
    QTreeWidgetItem *item = varTree->ItemOfKey(var);
    EXPECT_NE(item, nullptr);
    varTree->expandAll();
    return varTree->visualItemRect(item).center();
  }
  // Drags a variable from the tree and releases it at a screen point, after
  // passing over the given points.
  void Drag(std::int16_t var, std::initializer_list<QPoint> path, QPoint release)
  {
    Begin(var);
    for (QPoint p : path)
      varTree->OnMouseMove(p);
    varTree->OnLButtonUp(release);
  }
  void Begin(std::int16_t var)
  {
    const QPoint at = VarItemPoint(var);
    varTree->OnLButtonDown(at);
    varTree->OnBeginDrag(varTree->viewport()->mapToGlobal(at));
  }
  views::ColorPair ParCell(int row, int col) const
  {
    views::ColorPair c;
    List()->GetItemColors(row, col, &c.text, &c.back);
    return c;
  }
  QPoint VarRowPoint(int row) const { return varList->viewport()->mapToGlobal(varList->GetItemRect(row).center()); }
  QPoint TreePoint() const { return varTree->mapToGlobal(QPoint(20, 300)); }
  // Online, with the block of the analog link shown: the link, its row and
  // the row's colours before any drag.
  struct LinkRow {
    std::int16_t link;
    int row;
    views::ColorPair idle;
  };
  LinkRow OnlineAtTheLink()
  {
    Open("demo-full.vtx", 2);
    SelectBlock(5);
    const std::int16_t link = Par("analog_in_link");
    const int row = RowOf(link);
    doc.SetStateFlags(CQelDocContainer::STATE_ONLINE);
    parList->RecolorAll();
    return {link, row, ParCell(row, 5)};
  }
};

} // namespace

TEST_F(Trees, GroupsAndVariablesAtTheLevel)
{
  Open("demo-full.vtx", 1);
  EXPECT_EQ(Texts(parTree.get()), QStringList({"Commands", "Drive", "  Speed loop", "  Current loop"}));
  QTreeWidgetItem *group = parTree->ItemOfKey(-2);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->data(0, CBlockTreeView::ImageRole).toInt(), CBlockTreeView::IMG_GROUP);
  // Diagnostics holds only level-2 items: missing from both trees at level 1.
  const QStringList vars = Texts(varTree.get());
  EXPECT_FALSE(vars.contains("Diagnostics"));
  EXPECT_TRUE(vars.contains("Inputs")); // its variables are level 1
  EXPECT_TRUE(vars.contains("  motor_power"));
  EXPECT_FALSE(vars.contains("  win_cmd")); // level 3
  EXPECT_EQ(varTree->ItemOfKey(Var("motor_power"))->data(0, CBlockTreeView::ImageRole).toInt(),
            CBlockTreeView::IMG_FLOAT);
  EXPECT_EQ(varTree->ItemOfKey(Var("pos_actual"))->data(0, CBlockTreeView::ImageRole).toInt(),
            CBlockTreeView::IMG_LONG);
  EXPECT_EQ(varTree->ItemOfKey(Var("speed_actual"))->data(0, CBlockTreeView::ImageRole).toInt(),
            CBlockTreeView::IMG_SHORT);
  // The document finds its selections through the items.
  EXPECT_EQ(doc.FindBlockByTreeItem(group), 2);
  EXPECT_EQ(doc.FindTreeNode(varTree->ItemOfKey(Var("current"))), Var("current"));
}

TEST_F(Trees, ErrorNodesComeLastAndSelectNothing)
{
  Open("demo-full.vtx", 2);
  doc.AddBlockTreeNode(9, 42, QStringLiteral("Orphan"));
  doc.AddTreeNode(30, QStringLiteral("ghost"), 77);
  doc.RequestParTreeRebuild();
  doc.RequestVarTreeRebuild();
  doc.UpdateAllViews(nullptr, views::HINT_VIEW_BITS);
  QTreeWidgetItem *last = parTree->topLevelItem(parTree->topLevelItemCount() - 1);
  EXPECT_EQ(last->text(0), "Orphan-no valid parent");
  EXPECT_EQ(last->data(0, CBlockTreeView::ImageRole).toInt(), CBlockTreeView::IMG_GROUP_ERROR);
  QTreeWidgetItem *lastVar = varTree->topLevelItem(varTree->topLevelItemCount() - 1);
  EXPECT_EQ(lastVar->text(0), "ghost-no valid parent");
  EXPECT_EQ(lastVar->data(0, CBlockTreeView::ImageRole).toInt(), CBlockTreeView::IMG_VAR_ERROR);
  EXPECT_EQ(varTree->topLevelItem(varTree->topLevelItemCount() - 2)->text(0), "Orphan-no valid parent");
  parTree->setCurrentItem(last);
  EXPECT_EQ(doc.GetSelectedBlock(), -1);
  EXPECT_FALSE(doc.NeedsParListUpdate());
  EXPECT_FALSE(parTree->SelectTreeItem(nullptr));
  EXPECT_FALSE(parTree->SelectTreeItem(reinterpret_cast<void *>(0x1234)));
}

TEST_F(Trees, SelectionDrivesTheListsAndSurvivesARebuild)
{
  Open("demo-full.vtx", 2);
  doc.RequestEditorReopen();
  SelectBlock(6);
  EXPECT_EQ(doc.GetSelectedBlock(), 6);
  EXPECT_FALSE(doc.NeedsEditorReopen());
  EXPECT_EQ(List()->GetItemCount(), 8);
  varTree->setCurrentItem(varTree->ItemOfKey(-5));
  EXPECT_EQ(doc.GetSelectedVarBlock(), 5);
  // A rebuild (a level change) selects the group of the same text again.
  doc.RequestParTreeRebuild();
  doc.UpdateAllViews(nullptr, views::HINT_VIEW_BITS);
  ASSERT_NE(parTree->currentItem(), nullptr);
  EXPECT_EQ(parTree->currentItem()->text(0), "Diagnostics");
  EXPECT_EQ(List()->GetItemText(0, 3), "diagn_ts");
  // After a language change the old text names no group: nothing is selected.
  doc.SelectLanguage(QStringLiteral("it"));
  EXPECT_EQ(parTree->currentItem(), nullptr);
  SelectBlock(6);
  // Click and F1.
  parTree->OnLButtonDown(parTree->visualItemRect(parTree->currentItem()).center());
  EXPECT_EQ(doc.GetHelpTopic(), "Diagnostica");
  EXPECT_EQ(views::drag::Variable(doc), -1);
  parTree->OnKeyDown(xl::VK_F1);
}

TEST_F(Trees, BuiltOncePerOpenAndAgainPerRebuildFlag)
{
  Open("demo-full.vtx", 2);
  EXPECT_EQ(parTree->GetBuildCount(), 1);
  EXPECT_EQ(varTree->GetBuildCount(), 1);
  // Updates without the flag leave the trees as they are.
  doc.UpdateAllViews(nullptr, views::HINT_VIEW_BITS);
  doc.UpdateAllViews(nullptr, 0);
  EXPECT_EQ(parTree->GetBuildCount(), 1);
  EXPECT_EQ(varTree->GetBuildCount(), 1);
  // A level change sets both flags: each tree is built once more.
  main.options.VisLevel.Set(1);
  doc.RequestParTreeRebuild();
  doc.RequestVarTreeRebuild();
  doc.UpdateAllViews(nullptr, views::HINT_VIEW_BITS);
  doc.UpdateAllViews(nullptr, views::HINT_VIEW_BITS);
  EXPECT_EQ(parTree->GetBuildCount(), 2);
  EXPECT_EQ(varTree->GetBuildCount(), 2);
  EXPECT_FALSE(Texts(parTree.get()).contains("Diagnostics"));
}

TEST_F(Trees, DropWritesTheLinkByKind)
{
  Open("demo-full.vtx", 2);
  SelectBlock(5);
  const std::int16_t link = Par("analog_in_link"), longLink = Par("pos_source");
  // 16-bit on a 16-bit link.
  Drag(Var("dc_voltage"), {ParRowPoint(RowOf(link))}, ParRowPoint(RowOf(link)));
  EXPECT_EQ(doc.GetPar(link).GetValue(0), 104);
  EXPECT_FALSE(views::drag::Active(doc));
  // 32-bit on a 16-bit link: the word is asked for.
  int asked = 0;
  CChooseHiLowDlg::SetModalHook([&](CChooseHiLowDlg &) {
    ++asked;
    return int(CChooseHiLowDlg::ID_HIGH_WORD);
  });
  Drag(Var("pos_actual"), {ParRowPoint(RowOf(link))}, ParRowPoint(RowOf(link)));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(doc.GetPar(link).GetValue(0), 103);
  CChooseHiLowDlg::SetModalHook([](CChooseHiLowDlg &) { return int(IDCANCEL); });
  Drag(Var("motor_power"), {ParRowPoint(RowOf(link))}, ParRowPoint(RowOf(link)));
  EXPECT_EQ(doc.GetPar(link).GetValue(0), 103);
  // Float on a 32-bit link; 16-bit on a 32-bit link changes nothing.
  Drag(Var("motor_power"), {ParRowPoint(RowOf(longLink))}, ParRowPoint(RowOf(longLink)));
  EXPECT_EQ(doc.GetPar(longLink).GetValue(0), 100);
  Drag(Var("dc_voltage"), {ParRowPoint(RowOf(longLink))}, ParRowPoint(RowOf(longLink)));
  EXPECT_EQ(doc.GetPar(longLink).GetValue(0), 100);
  // A parameter link or a plain parameter takes no variable.
  const std::int16_t parLink = Par("speed_ref_par");
  Drag(Var("dc_voltage"), {ParRowPoint(RowOf(parLink))}, ParRowPoint(RowOf(parLink)));
  EXPECT_EQ(doc.GetPar(parLink).GetValue(0), 204);
  EXPECT_EQ(answer.writes.size(), 0u);
  EXPECT_TRUE(doc.IsModified());
}

TEST_F(Trees, ReleaseAwayFromTheHotRowWritesNothing)
{
  Open("demo-full.vtx", 2);
  SelectBlock(5);
  const std::int16_t link = Par("analog_in_link");
  // Over the link, then back over the tree (which only the variable list
  // hears of), released there.
  Drag(Var("dc_voltage"), {ParRowPoint(RowOf(link)), TreePoint()}, TreePoint());
  EXPECT_EQ(doc.GetPar(link).GetValue(0), 400);
  EXPECT_EQ(List()->GetItemText(RowOf(link), 5), "analog_in1");
  // Online the drop goes to the board.
  doc.SetStateFlags(CQelDocContainer::STATE_ONLINE);
  Drag(Var("dc_voltage"), {ParRowPoint(RowOf(link))}, ParRowPoint(RowOf(link)));
  ASSERT_EQ(answer.writes.size(), 1u);
  EXPECT_EQ(answer.writes[0].value, 104);
  EXPECT_FALSE(answer.writes[0].marked);
}

TEST_F(Trees, DropOnAWatchRow)
{
  Open("demo-full.vtx", 2);
  ASSERT_GE(varList->GetItemCount(), 8);
  VarRowRecord &row2 = doc.GetVarRows()[2];
  row2.hasValue = 1;
  row2.refresh = 7;
  row2.siText = QStringLiteral("1.5");
  doc.SetModifiedFlag(false);
  const std::int16_t v = Var("analog_in1");
  Drag(v, {VarRowPoint(2)}, VarRowPoint(2));
  EXPECT_EQ(doc.GetVarRows()[2].index, v);
  EXPECT_EQ(doc.GetVarRows()[2].refresh, 0);
  EXPECT_EQ(doc.GetVarRows()[2].hasValue, 0);
  EXPECT_EQ(varList->GetItemText(2, CVarListView::COL_NAME), "analog_in1");
  EXPECT_EQ(varList->GetItemText(2, CVarListView::COL_SI), "*.*");
  EXPECT_TRUE(doc.IsModified());
  // Row 7 is a standard variable's: not a drop target.
  const std::int16_t before = doc.GetVarRows()[7].index;
  Drag(v, {VarRowPoint(7)}, VarRowPoint(7));
  EXPECT_EQ(doc.GetVarRows()[7].index, before);
}

// The error suffix of a node follows the interface language.
TEST_F(Trees, ErrorSuffixInItalian)
{
  Open("demo-full.vtx", 2);
  ASSERT_TRUE(StringTable::Instance().SetLanguage(StringTable::Language::Italian,
                                                  QStringLiteral(VELOTRIX_BIN_DIR "/LangITA11.rcc")));
  doc.AddBlockTreeNode(9, 42, QStringLiteral("Orphan"));
  doc.RequestParTreeRebuild();
  doc.UpdateAllViews(nullptr, views::HINT_VIEW_BITS);
  QTreeWidgetItem *last = parTree->topLevelItem(parTree->topLevelItemCount() - 1);
  EXPECT_EQ(last->text(0), "Orphan-padre non valido");
}

TEST_F(Trees, DragStartsAtTheCursorAndTheTreesCatchUpAtTheDrop)
{
  Open("demo-full.vtx", 2);
  SelectBlock(5);
  const int row = RowOf(Par("analog_in_link"));
  const views::ColorPair idle = ParCell(row, 5);
  // Released over the link, the word choice cancelled: the drag point stays there.
  Drag(Var("pos_actual"), {ParRowPoint(row)}, ParRowPoint(row));
  Begin(Var("dc_voltage"));
  EXPECT_EQ(views::drag::TargetPar(doc), views::drag::NO_ROW);
  EXPECT_EQ(ParCell(row, 5), idle);
  // A rebuild held back during the drag.
  doc.RequestParTreeRebuild();
  doc.UpdateAllViews(nullptr, views::HINT_VIEW_BITS);
  EXPECT_TRUE(parTree->IsDragging());
  varTree->OnLButtonUp(TreePoint());
  EXPECT_EQ(doc.GetPar(Par("analog_in_link")).GetValue(0), 400);
  EXPECT_FALSE(doc.NeedsParTreeRebuild());
  EXPECT_FALSE(parTree->IsDragging());
}

TEST_F(Trees, DragWhoseReleaseIsLostEndsWithoutADrop)
{
  const auto [link, row, idle] = OnlineAtTheLink();
  const auto lose = std::initializer_list<std::function<void()>>{
      // A modal box opens meanwhile.
      [this] {
        QEvent blocked(QEvent::WindowBlocked);
        QApplication::sendEvent(varTree.get(), &blocked);
      },
      // Another window is activated.
      [this] {
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(varTree.get(), &deactivate);
      },
      // The next press in the tree.
      [this] {
        QTest::mousePress(varTree->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(varTree->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
      },
  };
  for (const auto &loseRelease : lose) {
    Begin(Var("dc_voltage"));
    varTree->OnMouseMove(VarRowPoint(1));
    varTree->OnMouseMove(ParRowPoint(row));
    ASSERT_EQ(views::drag::TargetPar(doc), link);
    doc.RequestVarTreeRebuild(); // a rebuild the drag held back
    doc.UpdateAllViews(nullptr, views::HINT_VIEW_BITS);
    EXPECT_TRUE(doc.NeedsVarTreeRebuild());
    const std::int16_t watched = doc.GetVarRows()[1].index;
    loseRelease();
    EXPECT_FALSE(varTree->IsDragging());
    EXPECT_FALSE(views::drag::Active(doc));
    EXPECT_FALSE(views::drag::ActiveOverVarList(doc));
    QApplication::processEvents();
    EXPECT_FALSE(doc.NeedsVarTreeRebuild()) << "the trees update again";
    EXPECT_FALSE(parTree->IsDragging());
    EXPECT_EQ(ParCell(row, 5), idle) << "the list updates again";
    // A release that comes late drops nothing.
    varTree->OnLButtonUp(ParRowPoint(row));
    EXPECT_EQ(doc.GetVarRows()[1].index, watched);
    EXPECT_TRUE(answer.writes.empty());
    EXPECT_EQ(doc.GetPar(link).GetValue(0), 400);
  }
}

// Escape calls a drag off wherever the focus is; the held button's moves and
// release that follow do nothing.
TEST_F(Trees, EscapeCallsADragOff)
{
  const auto [link, row, idle] = OnlineAtTheLink();
  views::ColorPair watchIdle;
  ASSERT_TRUE(varList->GetCellColors(1, 3, watchIdle.text, watchIdle.back));
  const std::int16_t watched = doc.GetVarRows()[1].index;
  QWidget *port = varTree->viewport();
  const QPoint over = port->mapFromGlobal(ParRowPoint(row));
  QTest::mousePress(port, Qt::LeftButton, {}, VarItemPoint(Var("dc_voltage")));
  QTest::mouseMove(port, port->mapFromGlobal(VarRowPoint(1)));
  QTest::mouseMove(port, over);
  ASSERT_TRUE(varTree->IsDragging());
  ASSERT_EQ(views::drag::TargetPar(doc), link);
  ASSERT_NE(ParCell(row, 5), idle);
  QTest::keyClick(List(), Qt::Key_Escape);
  EXPECT_FALSE(varTree->IsDragging());
  EXPECT_EQ(varTree->cursor().shape(), Qt::ArrowCursor) << "the cursor is back";
  QTest::mouseMove(port, over + QPoint(0, 2));
  EXPECT_FALSE(varTree->IsDragging()) << "no new drag from the same press";
  QTest::mouseRelease(port, Qt::LeftButton, {}, over);
  QApplication::processEvents();
  EXPECT_TRUE(answer.writes.empty());
  EXPECT_EQ(doc.GetPar(link).GetValue(0), 400);
  EXPECT_EQ(doc.GetVarRows()[1].index, watched);
  EXPECT_EQ(ParCell(row, 5), idle);
  views::ColorPair watch;
  ASSERT_TRUE(varList->GetCellColors(1, 3, watch.text, watch.back));
  EXPECT_EQ(watch, watchIdle);
}
