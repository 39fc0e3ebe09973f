#include "FakeDocHost.h"

#include "modbus/RequestPacket.h"

#include <QDir>

FakeDocHost::FakeDocHost()
    : program(dir.filePath(QStringLiteral("prog")) + u'/'), user(dir.filePath(QStringLiteral("user")) + u'/')
{
  QDir().mkpath(program);
}

FakeDocHost::FakeDocHost(const QString &folder) : program(folder.endsWith(u'/') ? folder : folder + u'/'), user(program)
{
}

FakeDocHost::~FakeDocHost()
{
  for (CRequestPacket *p : queue)
    delete p;
}

void FakeDocHost::AddRequest(CRequestPacket *&packet)
{
  if (m_pass) {
    m_pass(packet, false);
    return;
  }
  queue.push_back(packet);
  packet = nullptr;
}

void FakeDocHost::AddHeadRequest(CRequestPacket *&packet)
{
  if (m_pass) {
    m_pass(packet, true);
    return;
  }
  queue.insert(queue.begin(), packet);
  packet = nullptr;
}
