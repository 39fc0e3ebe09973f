#pragma once

#include "FakeDocHost.h"

#include "frame/SplitterWnd.h"
#include "model/MainWindowLink.h"
#include "modbus/RequestPacket.h"
#include "platform/Options.h"

#include <QList>
#include <QPair>
#include <QString>

#include <map>
#include <memory>

// A main window for the frame's parts: records the codes it is sent, keeps
// splitter layouts per number and owns a settings object on the test profile;
// the serial queue and the folders are a fake document host's. Registers
// itself while it lives.
class FakeMainWindow : public IMainWindow {
public:
  FakeMainWindow() : m_options(std::make_unique<COptions>()) { MainWindowLink::Set(this); }
  ~FakeMainWindow() override { MainWindowLink::Set(nullptr); }

  qintptr SendCode(int code, qintptr lParam) override
  {
    codes.append({code, lParam});
    if (code == ST_SplitterWnd::kCodeLoadLayout || code == ST_SplitterWnd::kCodeStoreLayout) {
      auto *layout = reinterpret_cast<SplitterLayout *>(lParam);
      if (code == ST_SplitterWnd::kCodeStoreLayout)
        layouts[layout->number] = *layout;
      else if (auto it = layouts.find(layout->number); it != layouts.end())
        *layout = it->second;
    }
    return 0;
  }
  COptions &GetOptions() override { return *m_options; }
  QString GetInitializeLanguage() const override { return m_options->InitializeLanguage.Get(); }
  void AddRequest(CRequestPacket *&packet) override { host.AddRequest(packet); }
  void AddHeadRequest(CRequestPacket *&packet) override { host.AddHeadRequest(packet); }
  QString GetProgramFolder() const override { return host.GetProgramFolder(); }
  QString GetUserDataFolder() const override { return host.GetUserDataFolder(); }

  int CountOf(int code) const
  {
    int n = 0;
    for (const auto &c : codes)
      n += c.first == code;
    return n;
  }
  // Rereads the settings from the profile, as the next start would.
  void Reload()
  {
    m_options.reset();
    m_options = std::make_unique<COptions>();
  }

  QList<QPair<int, qintptr>> codes;
  std::map<int, SplitterLayout> layouts;
  FakeDocHost host;

private:
  std::unique_ptr<COptions> m_options;
};
