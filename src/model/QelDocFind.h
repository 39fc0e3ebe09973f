#pragma once

#include "DocViewLinks.h"
#include "QelDocParVarList.h"
#include "TreeNode.h"

#include <QString>

#include <cstdint>
#include <map>
#include <vector>

// The find layer of the board document: finds blocks, parameters and
// variables by their shown name, changed parameters, and the parameters that
// link to a variable, and selects hits in the trees and the parameter list.
// The container fills the name lists and tree maps; this layer only reads them.
class CQelDocFind : public CQelDocParVarList {
  Q_OBJECT
public:
  using TreeMap = std::map<std::int16_t, CTreeNode>;

  explicit CQelDocFind(QObject *parent = nullptr);

  // Every search: text, position in/out (last hit; -1 before the first
  // item), match case, whole text, direction (down = increasing index).
  // True on a hit, with the hit's index in the position; else the position
  // is left alone.
  bool FindText(const QString &text, std::int16_t &pos, bool matchCase, bool wholeWord, bool down);
  bool FindParameter(const QString &text, std::int16_t &pos, bool matchCase, bool wholeWord, bool down, bool select,
                     bool modifiedOnly);
  bool FindNext(const QString &text, std::int16_t &pos, bool matchCase, bool wholeWord, bool down, bool select);
  bool FindByValue(const QString &text, std::int16_t &parPos, std::int16_t &varPos, bool matchCase, bool wholeWord,
                   bool down, bool select);

  // Selects a parameter in the parameter tree and the parameter list.
  void SelectParameter(int index);
  // Selects a block in both trees.
  void SelectBlock(int blockId);

  std::int16_t GetSelectedBlock() const { return m_nSelectedBlock; }
  void SetSelectedBlock(std::int16_t block) { m_nSelectedBlock = block; }
  std::uint16_t GetSelectedParRow() const { return m_nSelectedParRow; }
  void SetSelectedParRow(std::uint16_t row) { m_nSelectedParRow = row; }

  const std::vector<QString> &GetBlockNames() const { return m_BlockNames; }
  const std::vector<QString> &GetParNames() const { return m_ParNames; }
  const std::vector<QString> &GetVarNames() const { return m_VarNames; }
  TreeMap &GetParTreeMap() { return m_ParTreeMap; }
  TreeMap &GetVarTreeMap() { return m_VarTreeMap; }
  const TreeMap &GetParTreeMap() const { return m_ParTreeMap; }
  const TreeMap &GetVarTreeMap() const { return m_VarTreeMap; }

protected:
  IDocParList *m_pParListView = nullptr; // not owned; set by the parameter list view
  IDocTree *m_pParTree = nullptr;        // not owned; set by the parameter tree view
  IDocTree *m_pVarTree = nullptr;        // not owned; set by the variable tree view
  std::uint16_t m_nSelectedParRow = 0xFFFF;
  std::int16_t m_nSelectedBlock = -1;
  std::vector<QString> m_BlockNames; // per block id, the shown name or empty
  std::vector<QString> m_ParNames;   // per parameter index
  std::vector<QString> m_VarNames;   // per variable index
  TreeMap m_ParTreeMap;              // block key: minus its id
  TreeMap m_VarTreeMap;              // variable key: its index; block key: minus its id

private:
  // The hit of a name search over one list, or -1. lowest is the last index a
  // backward search looks at (whole-text case-sensitive searches go to 0).
  static int FindName(const std::vector<QString> &names, const QString &text, int pos, bool matchCase, bool wholeWord,
                      bool down, int lowest);
  // The next or previous parameter whose value was changed, or -1.
  int FindModified(int pos, bool down) const;
  // The next or previous parameter that links to the variable, or -1.
  int FindLinkTo(int var, int pos, bool down) const;
  void SelectVariable(int index);
  // Selects the node's item; a node or tree that is not there is skipped.
  static void SelectNode(IDocTree *tree, const TreeMap &map, int key);
};
