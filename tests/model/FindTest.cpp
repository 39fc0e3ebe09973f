#include "model/QelDocFind.h"

#include "platform/Format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

namespace {

// A tree control: records what it was asked to select and may act like the
// view behind it.
class FakeTree : public IDocTree {
public:
  bool SelectTreeItem(void *item) override
  {
    selected.push_back(item);
    if (onSelect)
      onSelect(item);
    return true;
  }
  std::vector<void *> selected;
  std::function<void(void *)> onSelect;
};

class FakeList : public IDocParList {
public:
  int FindRowByFirstColumn(const QString &text) const override { return static_cast<int>(rows.indexOf(text)); }
  void RecolorAll() override { ++recolors; }
  QStringList rows; // first column of each row
  int recolors = 0;
};

// A tree item handle for a node key.
void *Item(int key)
{
  return reinterpret_cast<void *>(static_cast<std::intptr_t>(0x10000 + key));
}

// The find layer over a small board, with the name lists and tree maps filled
// as the container fills them, and fake controls. The parameter tree acts as
// its view does: it selects the block and the list shows that block's rows.
class FindDoc : public CQelDocFind {
public:
  FindDoc()
  {
    const char *lines[] = {
        "K[] = 1;",
        "b1 Motor#0; b=1;",
        "b2 Speed loop#0; b=2;",
        "b3 Inputs#0; b=30;",
        "b4 motor extra#0; b=40;",
        "p0 speed_max=10; m=0; M=100; b=1; p=0;",
        "p1 max_speed=10; m=0; M=100; b=1; p=1;",
        "p2 Speed_ref=10; m=0; M=100; b=2; p=0;",
        "p3 link_a=302; m=0; M=9999; b=2; p=1; a=1;",
        "p4 plain=302; m=0; M=9999; b=2; p=2; a=0;",
        "p5 link_b=302; m=0; M=9999; b=2; p=3; a=1;",
        "p6 link_c=300; m=0; M=9999; b=2; p=4; a=1;",
        "p7 parlink=303; m=0; M=9999; b=4; p=0; a=16;",
        "v0 speed_act; b=3; p=0;",
        "v1 current; b=3; p=1;",
        "v2 speed_err; b=3; p=2;",
        "v3 SPEED_fbk; b=3; p=3;",
    };
    for (const char *line : lines)
      EXPECT_TRUE(ParseDescLine(QString::fromLatin1(line))) << line;
    m_BlockNames.assign(1, QString());
    for (int b = 1; b < GetBlockCount(); ++b) {
      m_BlockNames.push_back(GetBlocks()[b].GetSelectedName());
      m_ParTreeMap.emplace(-b, CTreeNode(-b, 0, m_BlockNames.back()));
      m_VarTreeMap.emplace(-b, CTreeNode(-b, 0, m_BlockNames.back()));
    }
    for (const Parametri &p : GetParameters())
      m_ParNames.push_back(p.GetNameText());
    for (const Variabili &v : GetVariables()) {
      m_VarNames.push_back(v.GetNameText());
      m_VarTreeMap.emplace(v.GetIndex(), CTreeNode(v.GetIndex(), -v.GetBlockId(), v.GetNameText()));
    }
    for (auto *map : {&m_ParTreeMap, &m_VarTreeMap}) {
      for (auto &[key, node] : *map)
        node.SetTreeItem(Item(key));
    }
    m_pParTree = &parTree;
    m_pVarTree = &varTree;
    m_pParListView = &list;
    parTree.onSelect = [this](void *item) {
      const int block = -static_cast<int>(reinterpret_cast<std::intptr_t>(item) - 0x10000);
      if (block == m_nSelectedBlock)
        return;
      m_nSelectedBlock = static_cast<std::int16_t>(block);
      m_nSelectedParRow = 0xFFFF;
      list.rows.clear();
      for (const Parametri &p : GetParameters()) {
        if (p.GetBlockId() == block)
          list.rows << vtx::Format(u"%4d", p.GetIndex());
      }
    };
  }

  bool Loaded() const { return GetParCount() == 8 && GetVarCount() == 4 && GetBlockCount() == 5; }

  void DropViews()
  {
    m_pParTree = nullptr;
    m_pVarTree = nullptr;
    m_pParListView = nullptr;
  }

  std::vector<QString> &BlockNames() { return m_BlockNames; }
  std::vector<QString> &VarNames() { return m_VarNames; }

  FakeTree parTree;
  FakeTree varTree;
  FakeList list;
};

} // namespace

TEST(Find, MatchModes)
{
  FindDoc doc;
  ASSERT_TRUE(doc.Loaded());
  std::int16_t pos = -1;
  // Case-sensitive part of text: at the start of a name and later in one.
  EXPECT_TRUE(doc.FindParameter("speed", pos, true, false, true, false, false));
  EXPECT_EQ(pos, 0);
  EXPECT_TRUE(doc.FindParameter("speed", pos, true, false, true, false, false));
  EXPECT_EQ(pos, 1);
  EXPECT_FALSE(doc.FindParameter("speed", pos, true, false, true, false, false));
  EXPECT_EQ(pos, 1);
  EXPECT_TRUE(doc.FindParameter("speed", pos, false, false, true, false, false));
  EXPECT_EQ(pos, 2);

  pos = -1;
  EXPECT_FALSE(doc.FindParameter("SPEED_REF", pos, true, true, true, false, false));
  EXPECT_FALSE(doc.FindParameter("Speed", pos, true, true, true, false, false));
  EXPECT_TRUE(doc.FindParameter("Speed_ref", pos, true, true, true, false, false));
  EXPECT_EQ(pos, 2);
  pos = -1;
  EXPECT_TRUE(doc.FindParameter("SPEED_REF", pos, false, true, true, false, false));
  EXPECT_EQ(pos, 2);

  // Letters beyond ASCII fold alike on both sides; empty entries are passed over.
  doc.VarNames()[1] = QStringLiteral("Température");
  doc.VarNames()[2].clear();
  pos = -1;
  EXPECT_TRUE(doc.FindNext(QStringLiteral("TEMPÉRATURE"), pos, false, true, true, false));
  EXPECT_EQ(pos, 1);
  EXPECT_TRUE(doc.FindNext(QStringLiteral("PÉR"), (pos = -1), false, false, true, false));
  EXPECT_EQ(pos, 1);
  EXPECT_TRUE(doc.FindNext("", pos, false, false, true, false));
  EXPECT_EQ(pos, 3);
}

TEST(Find, WalkRanges)
{
  FindDoc doc;
  ASSERT_TRUE(doc.Loaded());
  doc.BlockNames()[0] = QStringLiteral("Motor");
  std::int16_t pos = 4;
  EXPECT_TRUE(doc.FindText("motor", pos, false, false, false));
  EXPECT_EQ(pos, 1);
  // Blocks and parameters: index 0 only for a whole-text case-sensitive search.
  EXPECT_FALSE(doc.FindText("motor", pos, false, false, false));
  EXPECT_FALSE(doc.FindText("Motor", pos, true, false, false));
  EXPECT_FALSE(doc.FindText("motor", pos, false, true, false));
  EXPECT_EQ(pos, 1);
  EXPECT_TRUE(doc.FindText("Motor", pos, true, true, false));
  EXPECT_EQ(pos, 0);
  // Entry 0 is no block: variable 0 (the same key) is not selected for it.
  EXPECT_EQ(doc.varTree.selected, std::vector<void *>{Item(-1)});

  pos = 3;
  EXPECT_TRUE(doc.FindParameter("speed", pos, true, false, false, false, false));
  EXPECT_EQ(pos, 1);
  EXPECT_FALSE(doc.FindParameter("speed", pos, true, false, false, false, false));
  EXPECT_TRUE(doc.FindParameter("speed_max", pos, true, true, false, false, false));
  EXPECT_EQ(pos, 0);

  // Variables go down to 0 in every mode.
  pos = 2;
  EXPECT_TRUE(doc.FindNext("speed", pos, false, false, false, false));
  EXPECT_EQ(pos, 0);

  // Positions kept from a larger document: the walk starts inside this one.
  pos = 500;
  EXPECT_TRUE(doc.FindNext("speed", pos, false, false, false, false));
  EXPECT_EQ(pos, 3);
  pos = 32767;
  EXPECT_TRUE(doc.FindParameter("link_", pos, false, false, false, false, false));
  EXPECT_EQ(pos, 6);
  pos = 200;
  EXPECT_TRUE(doc.FindText("motor", pos, false, false, false));
  EXPECT_EQ(pos, 4);
  pos = 500;
  EXPECT_FALSE(doc.FindNext("speed", pos, false, false, true, false));
  EXPECT_EQ(pos, 500);
  pos = -32768;
  EXPECT_TRUE(doc.FindNext("speed", pos, false, false, true, false));
  EXPECT_EQ(pos, 0);
}

TEST(Find, ModifiedParameters)
{
  FindDoc doc;
  ASSERT_TRUE(doc.Loaded());
  doc.GetParameters()[0].SetValue16(20);
  doc.GetParameters()[2].SetValue16(20);
  doc.GetParameters()[5].SetValue16(301);
  std::int16_t pos = -1;
  // Text and options are not looked at; forward starts at parameter 1.
  EXPECT_TRUE(doc.FindParameter("zzz", pos, true, true, true, false, true));
  EXPECT_EQ(pos, 2);
  EXPECT_TRUE(doc.FindParameter("zzz", pos, true, true, true, false, true));
  EXPECT_EQ(pos, 5);
  EXPECT_FALSE(doc.FindParameter("", pos, false, false, true, false, true));
  EXPECT_EQ(pos, 5);
  EXPECT_TRUE(doc.FindParameter("", pos, false, false, false, false, true));
  EXPECT_EQ(pos, 2);
  EXPECT_TRUE(doc.FindParameter("", pos, false, false, false, false, true));
  EXPECT_EQ(pos, 0);
  EXPECT_FALSE(doc.FindParameter("", pos, false, false, false, false, true));
  pos = 1000;
  EXPECT_TRUE(doc.FindParameter("", pos, false, false, false, true, true));
  EXPECT_EQ(pos, 5);
  EXPECT_EQ(doc.GetSelectedBlock(), 2);
  EXPECT_EQ(doc.list.rows.value(doc.GetSelectedParRow()), "   5");
  EXPECT_TRUE(doc.varTree.selected.empty());
}

TEST(Find, SelectsHits)
{
  FindDoc doc;
  ASSERT_TRUE(doc.Loaded());
  std::int16_t pos = -1;
  EXPECT_TRUE(doc.FindParameter("Speed_ref", pos, true, true, true, true, false));
  // The tree shows the block first, so the row is found in that block's rows.
  ASSERT_EQ(doc.parTree.selected.size(), 1u);
  EXPECT_EQ(doc.parTree.selected[0], Item(-2));
  EXPECT_EQ(doc.GetSelectedBlock(), 2);
  EXPECT_EQ(doc.GetSelectedParRow(), 0);
  EXPECT_EQ(doc.list.recolors, 1);

  // A parameter that the list does not show selects no row.
  doc.list.rows.removeAll("   3");
  EXPECT_TRUE(doc.FindParameter("link_a", (pos = -1), true, true, true, true, false));
  EXPECT_EQ(doc.GetSelectedParRow(), 0xFFFF);
  EXPECT_EQ(doc.list.recolors, 2);

  EXPECT_TRUE(doc.FindText("Inputs", (pos = 0), true, true, true));
  EXPECT_EQ(doc.parTree.selected.back(), Item(-3));
  EXPECT_EQ(doc.varTree.selected, std::vector<void *>{Item(-3)});

  EXPECT_TRUE(doc.FindNext("current", (pos = -1), true, true, true, true));
  EXPECT_EQ(doc.varTree.selected.back(), Item(1));
  EXPECT_TRUE(doc.FindNext("speed", pos, true, false, true, false));
  EXPECT_EQ(pos, 2);
  EXPECT_EQ(doc.varTree.selected.size(), 2u);
}

TEST(Find, MissingNodesAndViewsAreSkipped)
{
  FindDoc doc;
  ASSERT_TRUE(doc.Loaded());
  doc.GetVarTreeMap().erase(-1);
  doc.GetVarTreeMap().erase(2);
  doc.GetParTreeMap().erase(-2);
  std::int16_t pos = 0;
  EXPECT_TRUE(doc.FindText("Motor", pos, true, true, true));
  EXPECT_EQ(doc.parTree.selected, std::vector<void *>{Item(-1)});
  EXPECT_TRUE(doc.varTree.selected.empty());
  EXPECT_TRUE(doc.FindNext("speed_err", (pos = -1), true, true, true, true));
  EXPECT_EQ(pos, 2);
  EXPECT_TRUE(doc.varTree.selected.empty());

  // Without its block node the parameter is still looked for in the list.
  doc.list.rows = QStringList{"   3", "   2"};
  EXPECT_TRUE(doc.FindParameter("Speed_ref", (pos = -1), true, true, true, true, false));
  EXPECT_EQ(doc.parTree.selected.size(), 1u);
  EXPECT_EQ(doc.GetSelectedParRow(), 1);

  // A node whose item the view has not made yet.
  doc.GetVarTreeMap().at(0).SetTreeItem(nullptr);
  EXPECT_TRUE(doc.FindNext("speed_act", (pos = -1), true, true, true, true));
  EXPECT_TRUE(doc.varTree.selected.empty());

  doc.DropViews();
  EXPECT_TRUE(doc.FindText("Inputs", (pos = 0), true, true, true));
  EXPECT_TRUE(doc.FindParameter("link_b", (pos = -1), true, true, true, true, false));
  std::int16_t var = -1;
  EXPECT_TRUE(doc.FindByValue("speed", pos, var, false, false, true, true));
  doc.SelectBlock(70000);
  doc.SelectParameter(-1);
  doc.SelectParameter(doc.GetParCount());
}

TEST(Find, LinksToVariables)
{
  FindDoc doc;
  ASSERT_TRUE(doc.Loaded());
  std::int16_t par = 7;
  std::int16_t var = -1;
  // speed_act: only parameter 6 links to it (the search restarts the parameters).
  EXPECT_TRUE(doc.FindByValue("speed", par, var, false, false, true, true));
  EXPECT_EQ(var, 0);
  EXPECT_EQ(par, 6);
  EXPECT_EQ(doc.varTree.selected.back(), Item(0));
  EXPECT_EQ(doc.GetSelectedBlock(), 2);
  // current does not match; speed_err has parameters 3 and 5 (4 is no link).
  EXPECT_TRUE(doc.FindByValue("speed", par, var, false, false, true, true));
  EXPECT_EQ(var, 2);
  EXPECT_EQ(par, 3);
  EXPECT_EQ(doc.varTree.selected.back(), Item(2));
  EXPECT_TRUE(doc.FindByValue("speed", par, var, false, false, true, true));
  EXPECT_EQ(par, 5);
  EXPECT_EQ(doc.list.rows.value(doc.GetSelectedParRow()), "   5");
  // SPEED_fbk: linked only by a parameter link; nothing left, positions kept.
  EXPECT_FALSE(doc.FindByValue("speed", par, var, false, false, true, true));
  EXPECT_EQ(var, 2);
  EXPECT_EQ(par, 5);
  EXPECT_EQ(doc.varTree.selected.back(), Item(3));

  // Backward from a variable position this document does not have.
  var = 4;
  par = 2;
  EXPECT_TRUE(doc.FindByValue("speed", par, var, false, false, false, false));
  EXPECT_EQ(var, 2);
  EXPECT_EQ(par, 5);
  EXPECT_TRUE(doc.FindByValue("speed", par, var, false, false, false, false));
  EXPECT_EQ(par, 3);
  EXPECT_TRUE(doc.FindByValue("speed", par, var, false, false, false, false));
  EXPECT_EQ(var, 0);
  EXPECT_EQ(par, 6);
  EXPECT_FALSE(doc.FindByValue("speed", par, var, false, false, false, false));

  // A parameter position from a larger document, on the current variable.
  var = 2;
  par = 400;
  EXPECT_TRUE(doc.FindByValue("", par, var, true, true, false, false));
  EXPECT_EQ(par, 5);
  EXPECT_FALSE(doc.FindByValue("nothing", (par = -1), (var = -1), false, false, true, false));
  EXPECT_EQ(par, -1);
  EXPECT_EQ(var, -1);
}
