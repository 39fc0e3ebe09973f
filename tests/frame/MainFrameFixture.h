#pragma once

// The main frame with board windows that only record its calls.

#include "FrameTestSupport.h"
#include "TestSupport.h"

#include "frame/FrameCodes.h"
#include "frame/MainFrm.h"

#include "modbus/RequestPacket.h"
#include "platform/WindowId.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

// Named apart: the trace tests linked beside these have a FakeChild of their own.
namespace mainframe_test {

// The calls a FakeChild records.
namespace Call {
enum : int {
  GoOffline,
  GoOnline,
  QueryState,
  Poll,
  GetAddress,
  SetAddress,
  TestpointsOn,
  TestpointsOff,
  ShowError,
  GetVersion,
  BackupReadAll,
  EepromSaveAll,
  Answer,
  LevelChanged,
  SaveAs,
  SaveBackup,
  NotifyMainFrame,
  WinCmdAnswer,
  GetReadState,
  GetCmdState,
  GetBufferName,
  ReadBuffer,
  ClearBufferRead,
  TrackLabelFirst, // one per track
  TrackScaleFirst = TrackLabelFirst + 6,
};
}

// An answer for a window, of a kind, with an error.
inline std::unique_ptr<CRequestPacket> Packet(WindowId to, uint16_t kind, uint16_t error = 0)
{
  auto p = std::make_unique<CRequestPacket>(to, 1, kind);
  p->error = error;
  return p;
}

// A board window as the main frame sees it: records its calls. Without a
// frame it only has its window id (a registry of the test's own keeps it).
class FakeChild : public QObject, public IBoardWindow {
public:
  explicit FakeChild(CMainFrame &frame) : m_frame(&frame)
  {
    id = WindowRegistry::Instance().Register(this);
    frame.RegisterChild(id);
  }
  FakeChild() { id = WindowRegistry::Instance().Register(this); }
  ~FakeChild() override
  {
    if (m_frame)
      m_frame->UnregisterChild(id);
    WindowRegistry::Instance().Unregister(id);
  }
  void BackupReadAll() override { codes.push_back(Call::BackupReadAll); }
  void EepromSaveAll() override { codes.push_back(Call::EepromSaveAll); }
  int GoOffline() override
  {
    codes.push_back(Call::GoOffline);
    const int was = bits;
    bits = 0;
    readState = cmdState = 0;
    return was;
  }
  int GoOnline() override
  {
    codes.push_back(Call::GoOnline);
    bits = 4;
    readState = cmdState = 1;
    return 0;
  }
  int QueryState() const override
  {
    codes.push_back(Call::QueryState);
    return bits;
  }
  void Poll() override { codes.push_back(Call::Poll); }
  int GetAddress() const override
  {
    codes.push_back(Call::GetAddress);
    return address;
  }
  void SetAddress(int value) override
  {
    codes.push_back(Call::SetAddress);
    address = value & 0xFF;
  }
  void SetTestpoints(bool on) override { codes.push_back(on ? Call::TestpointsOn : Call::TestpointsOff); }
  void ShowError(const QString &text) override
  {
    codes.push_back(Call::ShowError);
    status = text;
  }
  QString GetVersion() const override
  {
    codes.push_back(Call::GetVersion);
    return version;
  }
  void ProcessAnswer(const CRequestPacket &pkt) override
  {
    codes.push_back(Call::Answer);
    answers.push_back(pkt.message);
  }
  void LevelChanged(int level) override
  {
    codes.push_back(Call::LevelChanged);
    levels.push_back(level);
  }
  bool SaveAs() override
  {
    codes.push_back(Call::SaveAs);
    return false;
  }
  bool SaveBackup(bool) override
  {
    codes.push_back(Call::SaveBackup);
    return false;
  }
  void NotifyMainFrame() override { codes.push_back(Call::NotifyMainFrame); }
  void AnswerWinCmd(int) override { codes.push_back(Call::WinCmdAnswer); }
  int GetReadState() const override
  {
    codes.push_back(Call::GetReadState);
    return readState;
  }
  int GetCmdState() const override
  {
    codes.push_back(Call::GetCmdState);
    return cmdState;
  }
  QString GetBufferName() const override
  {
    codes.push_back(Call::GetBufferName);
    return {};
  }
  QString TrackLabel(int track) const override
  {
    codes.push_back(Call::TrackLabelFirst + track);
    return {};
  }
  double TrackScale(int track) const override
  {
    codes.push_back(Call::TrackScaleFirst + track);
    return 1.0;
  }
  void ReadBuffer() override { codes.push_back(Call::ReadBuffer); }
  void ClearBufferRead() override { codes.push_back(Call::ClearBufferRead); }
  void WriteSetting(std::int16_t, double) override {}
  int Count(int code) const { return static_cast<int>(std::count(codes.begin(), codes.end(), code)); }

  WindowId id = kNoWindow;
  mutable std::vector<int> codes; // every call, in order
  std::vector<int> answers;
  std::vector<int> levels;
  int bits = 0;
  int readState = -1;
  int cmdState = -1;
  int address = 1;
  QString version = QStringLiteral("no version;");
  QString status;

private:
  CMainFrame *m_frame = nullptr;
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
  int address = 0, state = 0, mode = 0, buffers = 0;
  float samplingTime = -1;
  QString header;
  std::array<double, 6> scales{};
};

// Answers left by a worker that tests play themselves.
class FakeAnswers : public IAnswerSource {
public:
  int GetAnsPktListSize() const override { return static_cast<int>(waiting.size()); }
  CRequestPacket *GetAnsware() override
  {
    if (waiting.empty())
      return nullptr;
    CRequestPacket *first = waiting.front().release();
    waiting.erase(waiting.begin());
    return first;
  }
  std::vector<std::unique_ptr<CRequestPacket>> waiting;
};

class MainFrameTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    frame = std::make_unique<CMainFrame>(false);
    frame->SetRequestSink(&sink);
  }
  void TearDown() override { frame.reset(); }

  TestEnvironment env;
  RecordingSink sink;
  std::unique_ptr<CMainFrame> frame;
};

} // namespace mainframe_test
