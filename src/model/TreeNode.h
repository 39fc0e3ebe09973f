#pragma once

#include <QString>

#include <cstdint>

// One node of the parameter or variable tree: a negative id is a function
// block, any other id an item index. The views write the tree item they made.
class CTreeNode {
public:
  // Status of a node as the document builds its trees.
  enum : std::uint8_t { NODE_VALID = 0, NODE_KEY_ZERO = 1, NODE_DOUBLED_KEY = 2, NODE_NO_PARENT = 3 };

  CTreeNode(std::int16_t id, std::int16_t parentId, const QString &text);
  CTreeNode(const CTreeNode &) = default;
  CTreeNode &operator=(const CTreeNode &) = default;
  virtual ~CTreeNode() = default;

  std::int16_t GetId() const { return m_id; }
  std::int16_t GetParentId() const { return m_parentId; }
  std::uint8_t GetStatus() const { return m_status; }
  bool IsValid() const { return m_status == NODE_VALID; }
  const QString &GetText() const { return m_text; }
  void SetText(const QString &text) { m_text = text; }
  void *GetTreeItem() const { return m_hItem; }
  void SetTreeItem(void *item) { m_hItem = item; }

  // Marks the node as refused for the given reason; it then hangs at the top.
  void Refuse(std::uint8_t status);

private:
  std::int16_t m_id;
  std::int16_t m_parentId;
  std::uint8_t m_status = NODE_VALID;
  QString m_text;
  void *m_hItem = nullptr; // the view's tree item; not owned
};
