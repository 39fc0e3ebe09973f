#pragma once

#include "frame/ConnHooks.h"
#include "frame/RequestSink.h"

#include "model/MainWindowLink.h"

#include "platform/WindowId.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

class CQelDoc;
struct CRequestPacket;

// The window whose description download is under way; kNoWindow when none.
// Only one board at a time asks for its description.
extern WindowId g_hInitFrame;

// The connection of one board document, without a widget: its online,
// connecting and offline states, the requests it queues, the answers it takes
// and the board commands. The child frame window derives from it and fills
// the hooks (status bar, icon, views, dialogs); tests drive it with a
// recording sink. GUI thread only.
class CChildConn : public IBoardWindow {
public:
  CChildConn(WindowId answerWindow, IRequestSink *sink);
  virtual ~CChildConn();
  CChildConn(const CChildConn &) = delete;
  CChildConn &operator=(const CChildConn &) = delete;

  // The document; null means none (every operation then does nothing).
  void SetConnDocument(CQelDoc *doc) { m_pDoc = doc; }
  CQelDoc *GetConnDocument() const { return m_pDoc; }
  // The window's side (not owned; null: the defaults). It must outlive the
  // connection or be taken back.
  void SetHooks(IConnHooks *hooks);
  WindowId GetAnswerWindow() const { return m_hWndAnswer; }

  // ---- the board window's calls -------------------------------------------
  int GoOffline() override;
  int GoOfflineSilently() override;
  int GoOnline() override;
  int QueryState() const override;
  void Poll() override;
  int GetAddress() const override;
  void SetAddress(int address) override;
  void SetTestpoints(bool on) override;
  void ShowError(const QString &text) override;
  QString GetVersion() const override;
  void BackupReadAll() override;
  void EepromSaveAll() override;
  void LevelChanged(int level) override;
  bool SaveAs() override;
  bool SaveBackup(bool replace) override;
  void AnswerWinCmd(int button) override;
  QString GetBufferName() const override;
  QString TrackLabel(int track) const override;
  double TrackScale(int track) const override;
  bool ReadBuffer() override;
  void ClearBufferRead() override;
  void WriteSetting(std::int16_t index, double value) override;
  TraceItems GetTraceItems() const override;
  void NotifyMainFrame() override { m_pHooks->NotifyMainFrame(); }

  // ---- states ------------------------------------------------------------
  // Whether going offline tells of a write all it stops.
  enum class StopNotice { Box, None };
  void RequestGoOnline();
  void RequestGoOffline(StopNotice notice = StopNotice::Box);
  // Close and Quit ask before they stop a running write all; true when none
  // runs or the user agreed.
  bool AskStopWriteAll();
  void OnOnLine();
  int GetReadState() const override { return m_nReadState; }
  int GetCmdState() const override { return m_nCmdState; }
  int GetStep() const { return m_nStep; }
  // The connection bits of the document (BoardState).
  int ConnectionBits() const;
  // The icon for the document's state and the board's status words.
  int StateIconId() const;
  // par0: the first 16-bit parameter; -1 when the document has none there.
  int GetCommandParIndex() const;
  int GetNTableSize() const;

  // ---- requests (ChildConnRequests.cpp) ---------------------------------
  void ReadAllParameters();
  void WriteAllParameters();
  // True when the write and its read-back were queued. A write whose
  // read-back could not be made still goes out (and false comes back).
  bool WriteParameter(std::uint16_t index, double value, int track, int mark);
  void RefreshDisplayedItems();
  void RequestBufferRead();
  // Board commands into par0, written only online; as WriteParameter.
  bool WriteCommand(int value);

  // ---- answers (ChildConnAnswers.cpp) -----------------------------------
  void ProcessAnswer(const CRequestPacket &pkt) override;
  // A write all that the failure ends before its last block.
  QString CutShortText(const CRequestPacket &failed) const override;
  int OnSpecialVariable(int v, std::int16_t value);
  bool SetSpecialParValue(int index, int value);
  void AddSpecialVarsToList();
  // Forgets the last change word of the status-block polls, shared by every
  // board (tests start from none).
  static void ResetLastChangeWord();

  // ---- commands (ChildConnCommands.cpp) ---------------------------------
  void OnUndo();
  void OnReadAll();
  void OnWriteAll();
  void OnEepSave1();
  void OnEepSave2();
  void OnEepLoad1();
  void OnEepLoad2();
  void OnDefLoad();
  void OnInitDescriptions();
  void OnInitLanguage();
  void OnReset();
  void OnFindFirstModified();
  void OnFindNextModified();
  void OnFindPrevModified();
  void OnToggleUnits();
  std::uint16_t GetFindPos() const { return m_wFindPos; }
  // Whether a command of the board window is enabled now; checked gets its
  // check mark. Unknown commands are enabled.
  bool IsCommandEnabled(int id, bool *checked = nullptr) const;
  // The default-set names of the document's dictionary, stopping at the
  // first missing one.
  QStringList DefaultSetNames() const;
  // File import (false) or compare (true) into the document.
  void ImportCompareFile(bool compare);
  int VisLevel() const { return m_pHooks->VisLevel(); }

protected:
  // Decides whether the board message for w must be (re)shown; keeps the
  // last shown value (WinCmdShow).
  int WinCmdAction();

private:
  // ---- the window's side, through the hooks ---------------------------------
  void ShowStatusText() { m_pHooks->ShowStatusText(); }
  void SetStateIcon(int icon) { m_pHooks->SetStateIcon(icon); }
  void FillParList() { m_pHooks->FillParList(); }
  void RefillParRows(const std::vector<std::uint16_t> &pars) { m_pHooks->RefillParRows(pars); }
  // The answers routed together share one refill of the rows any of them stored.
  void RefillParRowsAfterAnswers(const std::vector<std::uint16_t> &pars);
  void RecolorParList() { m_pHooks->RecolorParList(); }
  void InvalidateVarList(int row);
  void UpdateWinCmdText() { m_pHooks->UpdateWinCmdText(); }
  void OnWentOffline() { m_pHooks->OnWentOffline(); }
  int ChooseDefaultSet(const QStringList &names) { return m_pHooks->ChooseDefaultSet(names); }
  QString ChooseLanguage(const QStringList &codes, const QString &current)
  {
    return m_pHooks->ChooseLanguage(codes, current);
  }
  QString InitializeLanguage() const;
  void StoreInitializeLanguage(const QString &code) { m_pHooks->StoreInitializeLanguage(code); }
  QString AskImportFile() { return m_pHooks->AskImportFile(); }

  // One read all or write all: the steps of its blocks still unanswered.
  struct BlockRun {
    bool write = false;
    bool kTable = false; // a read all's K-table answer is still to come
    bool broken = false; // a block could not be made: the run ends silently
    int queued = 0;      // blocks sent
    std::vector<std::uint16_t> steps{};
  };

  // A packet for this board (answer window, slave address), or null.
  CRequestPacket *NewPacket(std::uint16_t kind) const;
  CRequestPacket *NewKTable(std::uint16_t step) const;
  // The message box of a packet that could not be made.
  void NoMemory();
  void Queue(CRequestPacket *&pkt, bool head = false);
  // The connection bits before going offline.
  int GoOfflineWith(StopNotice notice);
  // At the tail, all at once; the list is emptied.
  void QueueAll(std::vector<CRequestPacket *> &pkts);
  void SetStatus(const QString &text);
  void ReadAllFailed();
  // The oldest write all with blocks unanswered, or the end.
  std::deque<BlockRun>::const_iterator RunningWriteAll() const;
  // Takes every request of this window off the queue; the box text of the
  // write all that ends, empty when none ran.
  QString StopWriteAll();
  void FinishReadAll();
  // One block of a read all or write all answered; true when that ended the
  // newest run of its kind whole.
  bool BlockAnswered(bool write, std::uint16_t step);
  bool EndRun(std::deque<BlockRun>::iterator run);
  void ShortAnswer(const CRequestPacket &pkt, int expected);
  // The first count words of an answer; empty, and the board taken offline,
  // when it holds fewer or none were asked.
  std::span<const std::uint16_t> AnsweredWords(const CRequestPacket &pkt, int count);
  void AnswerReadRegisters(const CRequestPacket &pkt);
  // False when the answer must not be handled further.
  bool AnswerResetStep(const CRequestPacket &pkt, bool *refresh);
  void AnswerWriteRegisters(const CRequestPacket &pkt);
  // A confirmed single write: its words become the parameters' values.
  void KeepConfirmedWrite(const CRequestPacket &pkt);
  // The trace settings a written block carried become the board's; true
  // when it carried any.
  bool TakeWrittenTraceSettings(const CRequestPacket &pkt);
  void AnswerKTable(const CRequestPacket &pkt);
  void AnswerVariables(const CRequestPacket &pkt);
  void AnswerGoOnline(const CRequestPacket &pkt);
  void AnswerDescription(const CRequestPacket &pkt);
  // The status text of a read value; selector as the parameter's getters
  // take it (0 the value).
  void ShowReadValue(int p, int selector = 0);
  // The poll blocks of the items (parameters or variables).
  void QueueBlocks(const std::vector<std::uint16_t> &items, bool parameters);
  void AskAndWrite(unsigned question, int value);
  QString TrackParName(int n) const;
  void FindModified(bool first, bool down, unsigned notFound);

  CQelDoc *m_pDoc = nullptr;       // not owned
  IRequestSink *m_pSink = nullptr; // not owned
  IConnHooks *m_pHooks = nullptr;  // not owned; never null
  WindowId m_hWndAnswer;
  std::uint16_t m_wFindPos = 0;
  int m_nReadState = BoardStep::None;
  int m_nCmdState = BoardStep::None;
  int m_nStep = 0;                 // the step counter of the blocks being built
  std::deque<BlockRun> m_runs;     // oldest first
  std::int16_t m_nWinCmdShown = 0; // last board message shown
  // What the answers in hand stored, whose rows wait for their refill.
  std::vector<std::uint16_t> m_vStoredPars;
  bool m_bRefillWaiting = false;
};
