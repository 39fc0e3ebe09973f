#include "TreeNode.h"

#include "platform/Trace.h"

CTreeNode::CTreeNode(std::int16_t id, std::int16_t parentId, const QString &text)
    : m_id(id), m_parentId(parentId), m_text(text)
{
}

void CTreeNode::Refuse(std::uint8_t status)
{
  VTX_ASSERT(status != NODE_VALID);
  m_status = status;
  m_parentId = 0;
}
