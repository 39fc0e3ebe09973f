#include "FrameTestSupport.h"

#include "TestSupport.h"

#include "model/DocArchive.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QtTest/QTest>

void RecordingSink::AddRequest(CRequestPacket *&packet)
{
  if (packet)
    queue.emplace_back(packet);
  packet = nullptr;
}

void RecordingSink::AddHeadRequest(CRequestPacket *&packet)
{
  if (packet)
    queue.emplace(queue.begin(), packet);
  packet = nullptr;
}

std::unique_ptr<CRequestPacket> RecordingSink::Take()
{
  if (queue.empty())
    return nullptr;
  std::unique_ptr<CRequestPacket> pkt = std::move(queue.front());
  queue.erase(queue.begin());
  return pkt;
}

std::vector<const CRequestPacket *> RecordingSink::OfKind(uint16_t kind) const
{
  std::vector<const CRequestPacket *> out;
  for (const auto &p : queue)
    if (p->message == kind)
      out.push_back(p.get());
  return out;
}

std::unique_ptr<CQelDoc> LoadDocText(const QString &text)
{
  auto doc = std::make_unique<CQelDoc>();
  CDocArchive ar = CDocArchive::FromText(text);
  doc->ReadDocument(ar);
  return doc;
}

std::unique_ptr<CQelDoc> LoadExampleDoc(const QString &name)
{
  auto doc = std::make_unique<CQelDoc>();
  doc->OnOpenDocument(ExamplePath(name));
  return doc;
}

std::unique_ptr<CRequestPacket> AnswerOf(const CRequestPacket &request, std::vector<uint16_t> words)
{
  auto answer = std::make_unique<CRequestPacket>(request);
  answer->wAnsData = std::move(words);
  return answer;
}
