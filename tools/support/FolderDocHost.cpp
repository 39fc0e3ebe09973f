#include "FolderDocHost.h"

#include "modbus/RequestPacket.h"

#include <utility>

CFolderDocHost::CFolderDocHost(const QString &folder, IDocHost *next, QString language)
    : m_folder(folder.endsWith(u'/') ? folder : folder + u'/'), m_next(next), m_language(std::move(language))
{
}

QString CFolderDocHost::GetInitializeLanguage() const
{
  return m_next ? m_next->GetInitializeLanguage() : m_language;
}

void CFolderDocHost::AddRequest(CRequestPacket *&packet)
{
  if (m_next) {
    m_next->AddRequest(packet);
    return;
  }
  delete packet;
  packet = nullptr;
}

void CFolderDocHost::AddHeadRequest(CRequestPacket *&packet)
{
  if (m_next) {
    m_next->AddHeadRequest(packet);
    return;
  }
  delete packet;
  packet = nullptr;
}
