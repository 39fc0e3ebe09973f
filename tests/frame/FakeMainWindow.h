#pragma once

#include "FakeDocHost.h"

#include "frame/SplitterWnd.h"
#include "model/MainWindowLink.h"
#include "modbus/RequestPacket.h"
#include "platform/Options.h"

#include <QList>
#include <QPair>
#include <QString>

#include <algorithm>
#include <map>
#include <memory>

// A main window for the frame's parts: records the calls it takes, keeps
// splitter layouts per number and owns a settings object on the test profile;
// the serial queue and the folders are a fake document host's. Registers
// itself while it lives.
class FakeMainWindow : public IMainWindow, public IPaneLayoutStore {
public:
  enum class Call { ApplySerial, Statistics, ResetStatistics, TimerAndTabs, LoadLayout, StoreLayout };

  FakeMainWindow() : m_options(std::make_unique<COptions>()) { MainWindowLink::Set(this); }
  ~FakeMainWindow() override { MainWindowLink::Set(nullptr); }

  void PaneLayout(int code, SplitterLayout &layout) override
  {
    if (code == PaneCode::Store) {
      codes.append({Call::StoreLayout, kNoWindow});
      layouts[layout.number] = layout;
    } else if (code == PaneCode::Load) {
      codes.append({Call::LoadLayout, kNoWindow});
      if (auto it = layouts.find(layout.number); it != layouts.end())
        layout = it->second;
    }
  }
  COptions &GetOptions() override { return *m_options; }
  void ApplySerialSettings() override { codes.append({Call::ApplySerial, kNoWindow}); }
  void RequestStatistics(WindowId page) override { codes.append({Call::Statistics, page}); }
  void ResetStatistics() override { codes.append({Call::ResetStatistics, kNoWindow}); }
  void ApplyTimerAndTabs() override { codes.append({Call::TimerAndTabs, kNoWindow}); }
  QString GetInitializeLanguage() const override { return m_options->InitializeLanguage.Get(); }
  void AddRequest(CRequestPacket *&packet) override { host.AddRequest(packet); }
  void AddHeadRequest(CRequestPacket *&packet) override { host.AddHeadRequest(packet); }
  QString GetProgramFolder() const override { return host.GetProgramFolder(); }
  QString GetUserDataFolder() const override { return host.GetUserDataFolder(); }

  int CountOf(Call code) const
  {
    return static_cast<int>(std::count_if(codes.begin(), codes.end(), [code](auto &c) { return c.first == code; }));
  }
  // Rereads the settings from the profile, as the next start would.
  void Reload()
  {
    m_options.reset();
    m_options = std::make_unique<COptions>();
  }

  QList<QPair<Call, WindowId>> codes; // each call with the page it names
  std::map<int, SplitterLayout> layouts;
  FakeDocHost host;

private:
  std::unique_ptr<COptions> m_options;
};
