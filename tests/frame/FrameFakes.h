#pragma once

// The main frame's partners faked: they record what they are given. No test
// framework here: the fuzz target shares them.

#include "frame/AnswerRouter.h"
#include "frame/RequestSink.h"
#include "frame/TraceManager.h"

#include "modbus/RequestPacket.h"

#include <QString>
#include <QWidget>

#include <array>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

// Keeps every queued packet, in queue order (head requests go in front).
class RecordingSink : public IRequestSink {
public:
  void AddRequest(CRequestPacket *&packet) override
  {
    if (packet)
      queue.emplace_back(packet);
    packet = nullptr;
  }
  void AddHeadRequest(CRequestPacket *&packet) override
  {
    if (packet)
      queue.emplace(queue.begin(), packet);
    packet = nullptr;
  }
  void AddRequests(std::vector<CRequestPacket *> &packets) override
  {
    handed.push_back(packets.size());
    for (CRequestPacket *&p : packets)
      AddRequest(p);
    packets.clear();
  }
  int IsActive() const override { return active; }
  int GetReqPktListSize() const override { return waiting >= 0 ? waiting : static_cast<int>(queue.size()); }
  void CancelRequests(WindowId window, uint16_t kind) override
  {
    std::erase_if(queue, [&](const auto &p) { return p->hWnd == window && p->message == kind; });
  }
  std::vector<uint16_t> RemoveRequests(WindowId window) override
  {
    std::vector<uint16_t> steps;
    for (const auto &p : queue)
      if (p->hWnd == window && p->message == REQ_WRITE_BLOCK && p->PktType.par.step != 0)
        steps.push_back(p->PktType.par.step);
    std::erase_if(queue, [&](const auto &p) { return p->hWnd == window; });
    return steps;
  }

  // Takes the oldest packet (as the serial manager would), or null.
  std::unique_ptr<CRequestPacket> Take()
  {
    if (queue.empty())
      return nullptr;
    std::unique_ptr<CRequestPacket> pkt = std::move(queue.front());
    queue.erase(queue.begin());
    return pkt;
  }
  // Packets of one kind, in queue order.
  std::vector<const CRequestPacket *> OfKind(uint16_t kind) const
  {
    std::vector<const CRequestPacket *> out;
    for (const auto &p : queue)
      if (p->message == kind)
        out.push_back(p.get());
    return out;
  }
  void Clear()
  {
    queue.clear();
    handed.clear();
  }

  std::vector<std::unique_ptr<CRequestPacket>> queue;
  std::vector<std::size_t> handed; // the size of each list AddRequests was given
  int active = 0;
  int waiting = -1; // -1: the queue's own size
};

// What answers show outside their board windows, in the order shown.
class FakeDisplay : public IAnswerDisplay {
public:
  void ProgressStart(long steps) override { progress.emplace_back('S', steps); }
  void ProgressStep(long step) override { progress.emplace_back('+', step); }
  void ProgressEnd() override { progress.emplace_back('E', 0); }
  void ProgressAbort() override { progress.emplace_back('A', 0); }
  void Beep() override { ++beeps; }
  void SetMessageText(const QString &text) override { message = text; }
  void DeliverStatistics(WindowId page, const CSerStatistics &) override { statistics.push_back(page); }
  void AnswersRouted() override { ++routed; }
  QWidget *BoxParent() override { return nullptr; }

  std::vector<std::pair<char, long>> progress;
  QString message;
  std::vector<WindowId> statistics;
  int routed = 0;
  int beeps = 0;
};

// The trace-buffer manager as the frame sees it.
class FakeTraceManager : public ITraceManager {
public:
  QWidget *Window() override { return window.get(); }
  void SetAddress(WindowId b, int a) override
  {
    board = b;
    address = a;
    state = 1;
    mode = 0;
  }
  WindowId GetBoardWindow() const override { return board; }
  WindowId GetDownloadBoard() const override { return download; }
  int GetState() const override { return state; }
  void SetState(int s) override { state = s; }
  int GetMode() const override { return mode; }
  void SetMode(int m) override { mode = m; }
  int GetBufferCount() const override { return buffers; }
  void ShowControls(bool) override {}
  void UpdateFields() override {}
  void SetSamplingTime(float v) override { samplingTime = v; }
  void SetBufLength(std::int16_t) override {}
  void SetDiagnTs(std::int16_t, std::int16_t) override {}
  void SetTrigLevPos(std::int16_t, std::int16_t) override {}
  void SetTrigLevNeg(std::int16_t, std::int16_t) override {}
  void SetTrigDelay(std::int16_t, std::int16_t) override {}
  void AddBufferWindow(const QString &h, const std::array<QString, 6> &, const std::array<double, 6> &s,
                       const CRequestPacket &) override
  {
    header = h;
    scales = s;
    ++buffers;
  }

  std::unique_ptr<QWidget> window; // the frame's tests give it one
  WindowId board = kNoWindow;
  WindowId download = kNoWindow;
  int address = 0, state = 0, mode = 0, buffers = 0;
  float samplingTime = -1;
  QString header;
  std::array<double, 6> scales{};
};
