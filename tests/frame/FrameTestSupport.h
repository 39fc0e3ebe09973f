#pragma once

#include "FrameFakes.h"

#include "frame/ChildConn.h"

#include "model/DocFrameLinks.h"
#include "model/PacketFactory.h"
#include "model/QelDoc.h"
#include "modbus/RequestPacket.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class CMainFrame;

// A connection whose window hooks only count.
class TestConn : public CChildConn, public IConnHooks {
public:
  TestConn(WindowId id, IRequestSink *sink) : CChildConn(id, sink) { SetHooks(this); }
  ~TestConn() override { SetHooks(nullptr); }

  int statusShown = 0;
  int icon = -1;
  int fillList = 0;
  int recolor = 0;
  int wentOffline = 0;
  int defaultChoice = -1;
  QString languageChoice;
  QString storedLanguage;
  int visLevel = 0;
  QString importFile;
  QStringList offeredDefaults;

  using CChildConn::ImportCompareFile;
  using CChildConn::WinCmdAction;

  void ShowStatusText() override { ++statusShown; }
  void SetStateIcon(int id) override { icon = id; }
  void FillParList() override { ++fillList; }
  void RecolorParList() override { ++recolor; }
  void OnWentOffline() override { ++wentOffline; }
  int ChooseDefaultSet(const QStringList &names) override
  {
    offeredDefaults = names;
    return defaultChoice;
  }
  QString ChooseLanguage(const QStringList &, const QString &) override { return languageChoice; }
  void StoreInitializeLanguage(const QString &code) override { storedLanguage = code; }
  int VisLevel() const override { return visLevel; }
  QString AskImportFile() override { return importFile; }
};

// Packets of the kinds the test names cannot be made while it lives.
class PacketFailure {
public:
  explicit PacketFailure(std::function<bool(uint16_t kind)> fails) { PacketFactory::SetFailure(std::move(fails)); }
  ~PacketFailure() { PacketFactory::SetFailure({}); }
  PacketFailure(const PacketFailure &) = delete;
  PacketFailure &operator=(const PacketFailure &) = delete;
};

// A document loaded from a description text or an example file.
std::unique_ptr<CQelDoc> LoadDocText(const QString &text);
std::unique_ptr<CQelDoc> LoadExampleDoc(const QString &name = QStringLiteral("demo-small.vtx"));

// An answer for a request: the same record with the given registers.
std::unique_ptr<CRequestPacket> AnswerOf(const CRequestPacket &request, std::vector<uint16_t> words = {});
// Answers the one go-online request in the sink with the document's own identity.
void AnswerGoOnline(CMainFrame &frame, const RecordingSink &sink, const CQelDoc &doc);

// A main frame on the simulated board at device: short time-outs, one retry,
// and a scheduler the test ticks itself.
std::unique_ptr<CMainFrame> FrameOnBoard(const QString &device);
// Ticks the frame's scheduler as its timer would, until done holds.
bool TickUntil(CMainFrame &frame, const std::function<bool()> &done, int timeoutMs = 8000);
