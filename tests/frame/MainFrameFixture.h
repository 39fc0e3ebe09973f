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

// An answer for a window, of a kind, with an error and its text (or the board's identity).
inline std::unique_ptr<CRequestPacket> Packet(WindowId to, uint16_t kind, uint16_t error = 0, const QString &text = {})
{
  auto p = std::make_unique<CRequestPacket>(to, 1, kind);
  p->error = error;
  p->strVersion = text;
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
  int GoOfflineSilently() override { return GoOffline(); }
  int GoOnline() override
  {
    codes.push_back(Call::GoOnline);
    bits = 4;
    readState = cmdState = 1;
    return 0;
  }
  int QueryState() const override { return Rec(Call::QueryState, bits); }
  void Poll() override { codes.push_back(Call::Poll); }
  int GetAddress() const override { return Rec(Call::GetAddress, address); }
  void SetAddress(int value) override { address = Rec(Call::SetAddress, value & 0xFF); }
  void SetTestpoints(bool on) override { codes.push_back(on ? Call::TestpointsOn : Call::TestpointsOff); }
  void ShowError(const QString &text) override { status = Rec(Call::ShowError, text); }
  QString GetVersion() const override { return Rec(Call::GetVersion, version); }
  void ProcessAnswer(const CRequestPacket &pkt) override { answers.push_back(Rec(Call::Answer, pkt.message)); }
  void LevelChanged(int level) override { levels.push_back(Rec(Call::LevelChanged, level)); }
  bool SaveAs() override { return Rec(Call::SaveAs, false); }
  bool SaveBackup(bool) override { return Rec(Call::SaveBackup, false); }
  void NotifyMainFrame() override { codes.push_back(Call::NotifyMainFrame); }
  void AnswerWinCmd(int) override { codes.push_back(Call::WinCmdAnswer); }
  int GetReadState() const override { return Rec(Call::GetReadState, readState); }
  int GetCmdState() const override { return Rec(Call::GetCmdState, cmdState); }
  QString GetBufferName() const override { return Rec(Call::GetBufferName, QString()); }
  QString TrackLabel(int track) const override { return Rec(Call::TrackLabelFirst + track, QString()); }
  double TrackScale(int track) const override { return Rec(Call::TrackScaleFirst + track, 1.0); }
  bool ReadBuffer() override
  {
    codes.push_back(Call::ReadBuffer);
    return true;
  }
  void ClearBufferRead() override { codes.push_back(Call::ClearBufferRead); }
  void WriteSetting(std::int16_t, double) override {}
  TraceItems GetTraceItems() const override { return traceItems; }
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
  TraceItems traceItems{{{-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}}; // none known

private:
  // Records the call; answers value.
  template <class T> T Rec(int code, T value) const
  {
    codes.push_back(code);
    return value;
  }

  CMainFrame *m_frame = nullptr;
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
