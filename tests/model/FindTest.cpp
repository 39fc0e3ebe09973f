#include "DocFakes.h"

#include "model/QelDocFind.h"

#include "platform/Format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <tuple>
#include <utility>

namespace {

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
  FakeParList list;
};

// A search's answer: whether it found something, and the position(s) it left.
using Hit = std::pair<bool, int>;
using LinkHit = std::tuple<bool, int, int>;

class Find : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(doc.Loaded()); }
  // The searches without selecting the hit; modified: changed parameters only.
  Hit Par(const QString &text, bool matchCase, bool whole, bool down, bool modified = false)
  {
    const bool found = doc.FindParameter(text, pos, matchCase, whole, down, false, modified);
    return {found, pos};
  }
  Hit Next(const QString &text, bool matchCase, bool whole, bool down)
  {
    const bool found = doc.FindNext(text, pos, matchCase, whole, down, false);
    return {found, pos};
  }
  Hit Text(const QString &text, bool matchCase, bool whole, bool down)
  {
    const bool found = doc.FindText(text, pos, matchCase, whole, down);
    return {found, pos};
  }
  LinkHit ByValue(const QString &text, bool matchCase, bool whole, bool down, bool select)
  {
    const bool found = doc.FindByValue(text, pos, var, matchCase, whole, down, select);
    return {found, pos, var};
  }

  FindDoc doc;
  std::int16_t pos = -1; // the parameter, block or variable position
  std::int16_t var = -1; // the variable position of a search by value
};

} // namespace

TEST_F(Find, MatchModes)
{
  // Case-sensitive part of text: at the start of a name and later in one.
  EXPECT_EQ(Par("speed", true, false, true), Hit(true, 0));
  EXPECT_EQ(Par("speed", true, false, true), Hit(true, 1));
  EXPECT_EQ(Par("speed", true, false, true), Hit(false, 1));
  EXPECT_EQ(Par("speed", false, false, true), Hit(true, 2));

  pos = -1;
  EXPECT_FALSE(Par("SPEED_REF", true, true, true).first);
  EXPECT_FALSE(Par("Speed", true, true, true).first);
  EXPECT_EQ(Par("Speed_ref", true, true, true), Hit(true, 2));
  pos = -1;
  EXPECT_EQ(Par("SPEED_REF", false, true, true), Hit(true, 2));

  // Letters beyond ASCII fold alike on both sides; empty entries are passed over.
  doc.VarNames()[1] = QStringLiteral("Température");
  doc.VarNames()[2].clear();
  pos = -1;
  EXPECT_EQ(Next(QStringLiteral("TEMPÉRATURE"), false, true, true), Hit(true, 1));
  pos = -1;
  EXPECT_EQ(Next(QStringLiteral("PÉR"), false, false, true), Hit(true, 1));
  EXPECT_EQ(Next("", false, false, true), Hit(true, 3));
}

TEST_F(Find, WalkRanges)
{
  doc.BlockNames()[0] = QStringLiteral("Motor");
  pos = 4;
  EXPECT_EQ(Text("motor", false, false, false), Hit(true, 1));
  // Blocks and parameters: index 0 only for a whole-text case-sensitive search.
  EXPECT_FALSE(Text("motor", false, false, false).first);
  EXPECT_FALSE(Text("Motor", true, false, false).first);
  EXPECT_EQ(Text("motor", false, true, false), Hit(false, 1));
  EXPECT_EQ(Text("Motor", true, true, false), Hit(true, 0));
  // Entry 0 is no block: variable 0 (the same key) is not selected for it.
  EXPECT_EQ(doc.varTree.selected, std::vector<void *>{Item(-1)});

  pos = 3;
  EXPECT_EQ(Par("speed", true, false, false), Hit(true, 1));
  EXPECT_FALSE(Par("speed", true, false, false).first);
  EXPECT_EQ(Par("speed_max", true, true, false), Hit(true, 0));

  // Variables go down to 0 in every mode.
  pos = 2;
  EXPECT_EQ(Next("speed", false, false, false), Hit(true, 0));

  // Positions kept from a larger document: the walk starts inside this one.
  pos = 500;
  EXPECT_EQ(Next("speed", false, false, false), Hit(true, 3));
  pos = 32767;
  EXPECT_EQ(Par("link_", false, false, false), Hit(true, 6));
  pos = 200;
  EXPECT_EQ(Text("motor", false, false, false), Hit(true, 4));
  pos = 500;
  EXPECT_EQ(Next("speed", false, false, true), Hit(false, 500));
  pos = -32768;
  EXPECT_EQ(Next("speed", false, false, true), Hit(true, 0));
}

TEST_F(Find, ModifiedParameters)
{
  doc.GetParameters()[0].SetValue16(20);
  doc.GetParameters()[2].SetValue16(20);
  doc.GetParameters()[5].SetValue16(301);
  // Text and options are not looked at; forward starts at parameter 1.
  EXPECT_EQ(Par("zzz", true, true, true, true), Hit(true, 2));
  EXPECT_EQ(Par("zzz", true, true, true, true), Hit(true, 5));
  EXPECT_EQ(Par("", false, false, true, true), Hit(false, 5));
  EXPECT_EQ(Par("", false, false, false, true), Hit(true, 2));
  EXPECT_EQ(Par("", false, false, false, true), Hit(true, 0));
  EXPECT_FALSE(Par("", false, false, false, true).first);
  pos = 1000;
  EXPECT_TRUE(doc.FindParameter("", pos, false, false, false, true, true));
  EXPECT_EQ(pos, 5);
  EXPECT_EQ(doc.GetSelectedBlock(), 2);
  EXPECT_EQ(doc.list.rows.value(doc.GetSelectedParRow()), "   5");
  EXPECT_TRUE(doc.varTree.selected.empty());
}

TEST_F(Find, SelectsHits)
{
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
  EXPECT_EQ(Next("speed", true, false, true), Hit(true, 2));
  EXPECT_EQ(doc.varTree.selected.size(), 2u);
}

TEST_F(Find, MissingNodesAndViewsAreSkipped)
{
  doc.GetVarTreeMap().erase(-1);
  doc.GetVarTreeMap().erase(2);
  doc.GetParTreeMap().erase(-2);
  EXPECT_TRUE(doc.FindText("Motor", (pos = 0), true, true, true));
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
  EXPECT_TRUE(std::get<0>(ByValue("speed", false, false, true, true)));
  doc.SelectBlock(70000);
  doc.SelectParameter(-1);
  doc.SelectParameter(doc.GetParCount());
}

TEST_F(Find, LinksToVariables)
{
  pos = 7;
  // speed_act: only parameter 6 links to it (the search restarts the parameters).
  EXPECT_EQ(ByValue("speed", false, false, true, true), LinkHit(true, 6, 0));
  EXPECT_EQ(doc.varTree.selected.back(), Item(0));
  EXPECT_EQ(doc.GetSelectedBlock(), 2);
  // current does not match; speed_err has parameters 3 and 5 (4 is no link).
  EXPECT_EQ(ByValue("speed", false, false, true, true), LinkHit(true, 3, 2));
  EXPECT_EQ(doc.varTree.selected.back(), Item(2));
  EXPECT_EQ(ByValue("speed", false, false, true, true), LinkHit(true, 5, 2));
  EXPECT_EQ(doc.list.rows.value(doc.GetSelectedParRow()), "   5");
  // SPEED_fbk: linked only by a parameter link; nothing left, positions kept.
  EXPECT_EQ(ByValue("speed", false, false, true, true), LinkHit(false, 5, 2));
  EXPECT_EQ(doc.varTree.selected.back(), Item(3));

  // Backward from a variable position this document does not have.
  var = 4;
  pos = 2;
  EXPECT_EQ(ByValue("speed", false, false, false, false), LinkHit(true, 5, 2));
  EXPECT_EQ(ByValue("speed", false, false, false, false), LinkHit(true, 3, 2));
  EXPECT_EQ(ByValue("speed", false, false, false, false), LinkHit(true, 6, 0));
  EXPECT_FALSE(std::get<0>(ByValue("speed", false, false, false, false)));

  // A parameter position from a larger document, on the current variable.
  var = 2;
  pos = 400;
  const LinkHit current = ByValue("", true, true, false, false);
  EXPECT_TRUE(std::get<0>(current));
  EXPECT_EQ(std::get<1>(current), 5);
  pos = var = -1;
  EXPECT_EQ(ByValue("nothing", false, false, true, false), LinkHit(false, -1, -1));
}
