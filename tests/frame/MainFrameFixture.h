#pragma once

// The main frame with board windows that only answer its numbered codes.

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

// A board window as the main frame sees it: numbered codes only.
class FakeChild : public QObject, public ICodeTarget {
public:
  explicit FakeChild(CMainFrame &frame) : m_frame(frame)
  {
    id = WindowRegistry::Instance().Register(this);
    frame.RegisterChild(id);
  }
  ~FakeChild() override
  {
    m_frame.UnregisterChild(id);
    WindowRegistry::Instance().Unregister(id);
  }
  qintptr SendCode(int code, qintptr lParam) override
  {
    codes.push_back(code);
    switch (code) {
    case ChildCode::QueryState:
      return bits;
    case ChildCode::GoOffline: {
      const int was = bits;
      bits = 0;
      readState = cmdState = 0;
      return was;
    }
    case ChildCode::GoOnline:
      bits = 4;
      readState = cmdState = 1;
      return 0;
    case ChildCode::GetReadState:
      return readState;
    case ChildCode::GetCmdState:
      return cmdState;
    case ChildCode::GetAddress:
      return address;
    case ChildCode::SetAddress:
      address = static_cast<int>(lParam & 0xFF);
      return 0;
    case ChildCode::GetVersion:
      *reinterpret_cast<QString *>(lParam) = version;
      return 0;
    case ChildCode::ShowError:
      status = *reinterpret_cast<const QString *>(lParam);
      return 0;
    case ChildCode::LevelChanged:
      levels.push_back(lParam);
      return 0;
    case ChildCode::Answer:
      answers.push_back(reinterpret_cast<const CRequestPacket *>(lParam)->message);
      return 0;
    default:
      return 0;
    }
  }
  int Count(int code) const { return static_cast<int>(std::count(codes.begin(), codes.end(), code)); }

  WindowId id = kNoWindow;
  std::vector<int> codes;
  std::vector<int> answers;
  std::vector<qintptr> levels;
  int bits = 0;
  int readState = -1;
  int cmdState = -1;
  int address = 1;
  QString version = QStringLiteral("no version;");
  QString status;

private:
  CMainFrame &m_frame;
};

class MainFrameTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    frame = std::make_unique<CMainFrame>(false);
    frame->SetRequestSink(&sink);
  }
  void TearDown() override { frame.reset(); }
  std::unique_ptr<CRequestPacket> Packet(WindowId to, uint16_t kind, uint16_t error = 0)
  {
    auto p = std::make_unique<CRequestPacket>(to, 1, kind);
    p->error = error;
    return p;
  }

  TestEnvironment env;
  RecordingSink sink;
  std::unique_ptr<CMainFrame> frame;
};

} // namespace mainframe_test
