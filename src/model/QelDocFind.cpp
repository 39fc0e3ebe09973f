#include "QelDocFind.h"

#include "platform/Format.h"
#include "platform/Trace.h"

#include <algorithm>
#include <limits>

namespace {

// Hits are kept in 16-bit positions; no walk goes past the last one.
constexpr int LastPosition = std::numeric_limits<std::int16_t>::max();

bool Matches(const QString &entry, const QString &text, bool matchCase, bool wholeWord)
{
  // Without match case both texts go through the same case folding: folding
  // one side only, or each side by a different rule, misses names that differ
  // from the text in letter case alone.
  const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
  if (wholeWord)
    return QString::compare(entry, text, cs) == 0;
  return entry.contains(text, cs);
}

// The first index from pos one step in the direction that passes the test, or
// -1. A forward walk ends at the last item, a backward one at lowest. The
// start is brought into the list: the caller's position may have been taken
// in another document with more items.
template <typename Test> int Walk(int count, int pos, bool down, int lowest, Test test)
{
  count = std::min(count, LastPosition + 1);
  if (down) {
    for (int i = std::max(pos + 1, 0); i < count; ++i) {
      if (test(i))
        return i;
    }
  } else {
    for (int i = std::min(pos - 1, count - 1); i >= lowest; --i) {
      if (test(i))
        return i;
    }
  }
  return -1;
}

} // namespace

CQelDocFind::CQelDocFind(QObject *parent) : CQelDocParVarList(parent) {}

int CQelDocFind::FindName(const std::vector<QString> &names, const QString &text, int pos, bool matchCase,
                          bool wholeWord, bool down, int lowest)
{
  if (matchCase && wholeWord)
    lowest = 0;
  return Walk(static_cast<int>(names.size()), pos, down, lowest, [&](int i) {
    const QString &entry = names[static_cast<std::size_t>(i)];
    return !entry.isEmpty() && Matches(entry, text, matchCase, wholeWord);
  });
}

int CQelDocFind::FindModified(int pos, bool down) const
{
  // Going forward, parameter 0 is never looked at.
  if (down)
    pos = std::max(pos, 0);
  return Walk(GetParCount(), pos, down, 0, [&](int i) { return m_Parametri[static_cast<std::size_t>(i)].IsChanged(); });
}

int CQelDocFind::FindLinkTo(int var, int pos, bool down) const
{
  const float address = m_Variabili[static_cast<std::size_t>(var)].GetAddress();
  return Walk(GetParCount(), pos, down, 0, [&](int i) {
    const Parametri &p = m_Parametri[static_cast<std::size_t>(i)];
    return p.IsVarLink() && static_cast<float>(p.GetValue(Parametri::SEL_VALUE)) == address;
  });
}

bool CQelDocFind::FindText(const QString &text, std::int16_t &pos, bool matchCase, bool wholeWord, bool down)
{
  const int hit = FindName(m_BlockNames, text, pos, matchCase, wholeWord, down, 1);
  if (hit < 0)
    return false;
  pos = static_cast<std::int16_t>(hit);
  SelectBlock(hit);
  return true;
}

bool CQelDocFind::FindParameter(const QString &text, std::int16_t &pos, bool matchCase, bool wholeWord, bool down,
                                bool select, bool modifiedOnly)
{
  const int hit =
      modifiedOnly ? FindModified(pos, down) : FindName(m_ParNames, text, pos, matchCase, wholeWord, down, 1);
  if (hit < 0)
    return false;
  pos = static_cast<std::int16_t>(hit);
  if (select)
    SelectParameter(hit);
  return true;
}

bool CQelDocFind::FindNext(const QString &text, std::int16_t &pos, bool matchCase, bool wholeWord, bool down,
                           bool select)
{
  const int hit = FindName(m_VarNames, text, pos, matchCase, wholeWord, down, 0);
  if (hit < 0)
    return false;
  pos = static_cast<std::int16_t>(hit);
  if (select)
    SelectVariable(hit);
  return true;
}

bool CQelDocFind::FindByValue(const QString &text, std::int16_t &parPos, std::int16_t &varPos, bool matchCase,
                              bool wholeWord, bool down, bool select)
{
  const int varCount = GetVarCount();
  const int restart = down ? -1 : GetParCount();
  int var = varPos;
  int par = parPos;
  bool fresh = var < 0 || var >= varCount;
  for (;;) {
    if (fresh) {
      var = FindName(m_VarNames, text, var, matchCase, wholeWord, down, 0);
      if (var < 0)
        return false;
      // A name list longer than the variables is not ours to walk into.
      if (var >= varCount)
        continue;
      if (select)
        SelectVariable(var);
      par = restart;
    }
    const int hit = FindLinkTo(var, par, down);
    if (hit >= 0) {
      parPos = static_cast<std::int16_t>(hit);
      varPos = static_cast<std::int16_t>(var);
      if (select)
        SelectParameter(hit);
      return true;
    }
    fresh = true;
  }
}

void CQelDocFind::SelectNode(IDocTree *tree, const TreeMap &map, int key)
{
  const bool inRange = key >= std::numeric_limits<std::int16_t>::min() && key <= LastPosition;
  const auto it = inRange ? map.find(static_cast<std::int16_t>(key)) : map.end();
  if (it == map.end()) {
    qCDebug(lcModel, "find: no tree node %d", key);
    return;
  }
  if (tree && it->second.GetTreeItem())
    tree->SelectTreeItem(it->second.GetTreeItem());
}

void CQelDocFind::SelectParameter(int index)
{
  if (!VTX_ASSERT(index >= 0 && index < GetParCount()))
    return;
  // The tree's selection change makes the block the selected one and lets
  // the list show its parameters before the row is looked for.
  SelectNode(m_pParTree, m_ParTreeMap, -m_Parametri[static_cast<std::size_t>(index)].GetBlockId());
  if (!m_pParListView)
    return;
  const int row = m_pParListView->FindRowByFirstColumn(vtx::Format(u"%4d", index));
  m_nSelectedParRow = row >= 0 && row < 0xFFFF ? static_cast<std::uint16_t>(row) : 0xFFFF;
  m_pParListView->RecolorAll();
}

void CQelDocFind::SelectBlock(int blockId)
{
  // Key 0 of the variable tree is variable 0, not a block.
  if (blockId <= 0)
    return;
  SelectNode(m_pParTree, m_ParTreeMap, -blockId);
  SelectNode(m_pVarTree, m_VarTreeMap, -blockId);
}

void CQelDocFind::SelectVariable(int index)
{
  SelectNode(m_pVarTree, m_VarTreeMap, index);
}
