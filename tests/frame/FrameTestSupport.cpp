#include "FrameTestSupport.h"

#include "TestSupport.h"

#include "frame/MainFrm.h"
#include "model/DocArchive.h"
#include "modbus/SerManager.h"

#include <QDeadlineTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

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

void AnswerGoOnline(CMainFrame &frame, const RecordingSink &sink, const CQelDoc &doc)
{
  const std::vector<const CRequestPacket *> requests = sink.OfKind(REQ_GO_ONLINE);
  ASSERT_EQ(requests.size(), 1u);
  auto online = AnswerOf(*requests[0]);
  online->strVersion = doc.GetVersion();
  frame.RouteAnswer(*online);
}

std::unique_ptr<CMainFrame> FrameOnBoard(const QString &device)
{
  auto frame = std::make_unique<CMainFrame>(true);
  COptions &o = frame->GetOptions();
  o.com_timeout.Set(150);
  o.com_retry.Set(1);
  o.com_silent.Set(0);
  o.Start_Timer.Set(0);
  frame->ApplyTimerAndTabs();
  frame->GetSerManager()->SetDevicePath(device);
  frame->ApplySerialSettings();
  return frame;
}

bool TickUntil(CMainFrame &frame, const std::function<bool()> &done, int timeoutMs)
{
  const QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired())
      return false;
    frame.OnSchedulerTick();
    QTest::qWait(20);
  }
  return true;
}
