#pragma once

#include "DocArchive.h"
#include "DocFrameLinks.h"
#include "DocViewLinks.h"
#include "QelDocFind.h"
#include "VarRowRecord.h"

#include <QHash>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <utility>
#include <vector>

struct CRequestPacket;

// The layer of the board document that ties one board's description to a
// live connection: dictionaries, kept lines, undo list, answer window,
// standard items, variable rows, connection flags, slave address, firmware
// version and manual. Loads and writes the document file and keeps the board
// description library. GUI thread only.
class CQelDocContainer : public CQelDocFind {
  Q_OBJECT
public:
  static constexpr int MaxLanguages = 10;
  static constexpr int WatchRows = 6;
  // Modbus unicast slave addresses, the ones the address box accepts.
  static constexpr int MinSlaveAddress = 1;
  static constexpr int MaxSlaveAddress = 247;

  // View update hints.
  enum : long {
    HINT_VAR_LIST = DocHint::VarList,
    HINT_VAR_TREE = DocHint::VarTree,
    HINT_PAR_LIST = DocHint::ParList,
    HINT_PAR_TREE = DocHint::ParTree,
    HINT_ALL = DocHint::Views,
  };
  // Bits of the state flags word.
  enum : std::uint32_t {
    STATE_INTERNAL_UNITS = 0x02,
    STATE_CONNECTING = BoardState::Connecting,
    STATE_ONLINE = BoardState::Online
  };
  // The board status words the poll keeps: error, warning, stopped, running.
  enum { STATUS_ERROR, STATUS_WARNING, STATUS_STOP, STATUS_RUN, STATUS_WORDS };
  // Slots of the trace values.
  enum {
    TRACE_SAMPLING_TIME,
    TRACE_BUF_LENGTH,
    TRACE_DIAGN_TS,
    TRACE_TRIG_POS,
    TRACE_TRIG_NEG,
    TRACE_TRIG_DELAY,
    TRACE_SLOTS
  };

  // One offline or tracked change: the parameter and its board value before.
  struct UndoRecord {
    std::uint16_t index = 0;
    double previous = 0;
    bool command = false; // a command typed into par0: the board has carried it out
  };

  explicit CQelDocContainer(QObject *parent = nullptr);
  ~CQelDocContainer() override;

  // ---- services above ----------------------------------------------------
  void SetHost(IDocHost *host) { m_pHost = host; }
  IDocHost *GetHost() const { return m_pHost; }
  // The child frame, set when it is activated; null when it goes away.
  void SetAnswerWindow(IDocAnswerWindow *window) { m_pAnswerWindow = window; }
  IDocAnswerWindow *GetAnswerWindow() const { return m_pAnswerWindow; }
  WindowId GetAnswerWindowId() const;
  // The views' controls for the find operations; null unregisters.
  void SetParListCtrl(IDocParList *list);
  void SetParTreeCtrl(IDocTree *tree);
  void SetVarTreeCtrl(IDocTree *tree);
  void SetVarListView(IDocVarList *view) { m_pVarListView = view; }
  IDocVarList *GetVarListView() const { return m_pVarListView; }

  // ---- document file -----------------------------------------------------
  void DeleteContents() override;
  // Writes the document (storing) or checks the header and loads it.
  // Loading gives false after a refused header (nothing loaded).
  bool Serialize(CDocArchive &ar);
  // The load step of Serialize without the library copy: header check, then
  // ReadDocument. False after a refused header (message 652 shown).
  bool LoadFromArchive(CDocArchive &ar);
  // Loads a description document, every line kind, from a clean state.
  // Counts the item, block and table lines it refuses (see below).
  void ReadDocument(CDocArchive &ar);
  // Lines the last load refused, and the archive line number of the first
  // (0 when none).
  int GetRefusedLineCount() const { return m_nRefusedLines; }
  int GetFirstRefusedLine() const { return m_nFirstRefusedLine; }
  // Whether the last load made fewer blocks and items than its ';'
  // dictionary lines name: lines were lost without a trace, as when a file
  // is cut at a line end.
  bool IsLoadIncomplete() const { return m_nDictionaryNames > GetDictionaryRecordCount(); }
  // Whether the last load's translated names were held back (refused item
  // lines or an incomplete load): every record shows its own name.
  bool AreNamesHeldBack() const { return m_bNamesHeldBack; }
  // Whether the last load is fit for the library: it made a parameter or a
  // variable, refused no line and is not incomplete.
  bool IsLoadComplete() const;
  void WriteExtraLines(CDocArchive &ar) const;
  // Save with the file dialog: path proposed (or none), replace the path.
  bool DoSave(const QString &path, bool replace = true);
  bool OnOpenDocument(const QString &path) override;
  // Writes through a temporary file renamed over the old one; a failure
  // leaves the old file whole and is reported.
  bool OnSaveDocument(const QString &path) override;
  bool OnNewDocument() override;
  // The title is the full path.
  void SetPathName(const QString &path) override;

  // ---- board description library ----------------------------------------
  // "!" + version with blanks, ';' and '/' as '_', + ".vtx".
  static QString DescriptionCopyName(const QString &version);
  // The library file for a version or identity text, in the program folder
  // or the per-user folder; empty when there is none.
  QString FindDescriptionCopy(const QString &version) const;
  // 1 when the library holds the file or it was written, 0 on a failure or
  // when the last load is not complete (nothing written then). An existing
  // copy is written over only when it is the one named by replacing.
  int SaveDescriptionCopy(const QString &replacing = QString());
  // Loads the library copy at path into the document, never taking its
  // slave address. A copy that cannot be read or loads incomplete or with
  // refused lines is not used: false, nothing said, the document cleared and
  // not loaded, and the path kept for TakeUnusedCopy.
  bool OpenLibraryCopy(const QString &path);
  // The path of the library copy the last OpenLibraryCopy put aside (empty
  // when none); cleared by the call.
  QString TakeUnusedCopy() { return std::exchange(m_strUnusedCopy, QString()); }

  // ---- standard items and manual -----------------------------------------
  void LocateStdVariables();
  // The first existing manual file, or empty.
  void FindManualFile(QString &result, const QString &extension) const;
  // Distributes the translated names; false when the sizes do not fit.
  bool CheckDictionary(const QStringList &entries, const QStringList &languages);

  // ---- records -----------------------------------------------------------
  Parametri &GetPar(int i);
  const Parametri &GetPar(int i) const;
  Variabili &GetVar(int i);
  const Variabili &GetVar(int i) const;
  // The first item whose base name equals name; index left alone when none.
  bool FindParByName(std::int16_t &index, const QString &name) const;
  bool FindVarByName(std::int16_t &index, const QString &name) const;

  // ---- values ------------------------------------------------------------
  void WriteParValue(std::int16_t i, double v);
  void WriteParSiValue(std::int16_t i, double si);
  // A link value (a register address 0..9999).
  void SetParValue(std::int16_t i, int v);
  // Offline store with undo.
  void SetParValueLocal(std::int16_t i, double v);
  // A refresh read of one parameter for the caller to queue, or null.
  std::unique_ptr<CRequestPacket> NewReadRequest(std::uint16_t i) const;

  const std::deque<UndoRecord> &GetUndoList() const { return m_UndoList; }
  void PushUndo(std::uint16_t index, double previous) { m_UndoList.push_back({index, previous}); }
  // The most recent record, removed; false when the list is empty.
  bool PopUndo(UndoRecord &record);
  // An undo record's value put back offline: the parameter takes it as its
  // raw value, and the document is modified and shown again.
  void RestoreUndoValue(const UndoRecord &record);

  // ---- answers from the board ---------------------------------------------
  // A parameter a read answer stored: its value before and after, and the
  // board's value (the value, unless a refresh kept an offline change).
  struct ParWordChange {
    std::uint16_t index = 0;
    double old = 0;
    double now = 0;
    double board = 0;
    bool changed = false;
  };
  // A variable a poll answer stored, and the variable rows that show it.
  struct VarWordValue {
    std::int16_t index = -1;
    double raw = 0; // as VarRowRecord::raw
    double si = 0;
    std::vector<int> rows;
  };
  // Stores registers read from, or confirmed written to, address first on
  // into the parameters there: a 16-bit parameter takes its word as signed,
  // a 32-bit or float one the pair at its address, low word first (a pair
  // cut by the end is left, and so is the second register alone). A changed
  // value marks the document modified and, with track, leaves an undo
  // record; par0, the command register, gets its command step with track
  // whether or not it changed. each sees every stored parameter at once,
  // before the next is decoded. A refresh leaves a value changed offline
  // and not yet sent, and takes the board's value as its old value; any
  // other store takes the board's value and ends the offline change.
  std::vector<ParWordChange> ApplyParameterWords(int first, std::span<const std::uint16_t> words, bool track,
                                                 const std::function<void(const ParWordChange &)> &each = {},
                                                 bool refresh = false);
  // A write of count registers from first confirmed by the board: the
  // parameters starting there hold what the board holds.
  void ConfirmParameterWrite(int first, int count);
  // Stores polled registers from address first on into the rows showing
  // their variables. The status block (9900) holds the standard variables;
  // its error, warning and status registers also move the status words.
  // each sees every variable once its rows are written. Gives the change
  // word of the status registers (0 for any other block).
  int ApplyVariableWords(int first, std::span<const std::uint16_t> words,
                         const std::function<void(const VarWordValue &)> &each = {});
  // A K table (signed words) and an N table answer; then every SI value
  // again. Entries beyond the tables are left out.
  void ApplyKTable(std::span<const std::uint16_t> k, std::span<const float> n);
  const std::array<std::uint16_t, STATUS_WORDS> &GetStatusWords() const { return m_StatusWords; }

  // ---- visibility and trees ----------------------------------------------
  bool IsParVisibleInBlock(int block, int level) const;
  bool IsVarVisibleInBlock(int block, int level) const;
  void CollectVisiblePars(int block, int level, std::vector<std::uint16_t> &out) const;
  void AddBlockTreeNode(int number, int parent, const QString &text);
  void AddTreeNode(int index, const QString &text, int block);
  // The variable index of a tree item, or -1.
  std::int16_t FindTreeNode(void *item) const;
  // The block number of a group node's tree item, or -1 (0xFFFF).
  std::int16_t FindBlockByTreeItem(void *item) const;

  // ---- language and texts ------------------------------------------------
  std::int16_t SelectLanguage(const QString &name) override;
  virtual QString Translate(const QString &key, const QString &fallback) const;
  virtual void SetMapAt(const QString &line, int language);
  QString GetWinCmdText(std::int16_t n);
  static QString EscapeBackslashes(const QString &path);
  const QHash<QString, QString> &GetDictionary(int language) const;
  const QStringList &GetExtraLines() const { return m_ExtraLines; }

  // ---- identity and state ------------------------------------------------
  const QString &GetVersion() const { return m_strVersion; }
  // The board's firmware version, for a document that has no description yet.
  void SetVersion(const QString &version) { m_strVersion = version; }
  std::uint8_t GetSlaveAddress() const { return m_nSlaveAddress; }
  void SetSlaveAddress(std::uint8_t address) { m_nSlaveAddress = address; }
  std::uint32_t GetStateFlags() const { return m_nStateFlags; }
  void SetStateFlags(std::uint32_t flags) { m_nStateFlags = flags; }
  // The connection's steps: asked to go online, online, no longer shown.
  void MarkConnecting() { m_nStateFlags |= STATE_CONNECTING; }
  void MarkOnline() { m_nStateFlags = (m_nStateFlags | STATE_ONLINE) & ~std::uint32_t(STATE_CONNECTING); }
  void MarkOffline() { m_nStateFlags &= ~std::uint32_t(STATE_ONLINE | STATE_CONNECTING); }
  void ToggleInternalUnits() { m_nStateFlags ^= STATE_INTERNAL_UNITS; }
  bool IsOnline() const { return m_nStateFlags & STATE_ONLINE; }
  bool IsConnecting() const { return m_nStateFlags & STATE_CONNECTING; }
  bool IsInternalUnits() const { return m_nStateFlags & STATE_INTERNAL_UNITS; }
  const QString &GetManualPath() const { return m_strManualPath; }
  const QString &GetManualName() const { return m_strManualName; }

  std::vector<VarRowRecord> &GetVarRows() { return m_VarRows; }
  const std::vector<VarRowRecord> &GetVarRows() const { return m_VarRows; }
  // Whether a row names an existing variable. A row that does not keeps its
  // index (the document writes it back) and is skipped: the variable list
  // shows it blank and the poll leaves it out.
  bool IsVarRowValid(std::size_t row) const;

  // Standard items: -1 when missing (the software-set parameter: 0).
  std::int16_t GetWinCmdVar() const { return m_nWinCmdVar; }
  std::int16_t GetSamplingTimeVar() const { return m_nSamplingTimeVar; }
  std::int16_t GetBufWidthVar() const { return m_nBufWidthVar; }
  std::int16_t GetBufLengthVar() const { return m_nBufLengthVar; }
  std::int16_t GetDiagnTsPar() const { return m_nDiagnTsPar; }
  std::int16_t GetTrigPosPar() const { return m_nTrigPosPar; }
  std::int16_t GetTrigNegPar() const { return m_nTrigNegPar; }
  std::int16_t GetTrigDelayPar() const { return m_nTrigDelayPar; }
  std::int16_t GetSwSetPar() const { return m_nSwSetPar; }
  std::int16_t GetErrorFlagSlot() const { return m_nErrorFlagSlot; }
  std::int16_t GetWarningFlagSlot() const { return m_nWarningFlagSlot; }
  std::int16_t GetStatusFlagSlot() const { return m_nStatusFlagSlot; }
  const std::vector<std::uint16_t> &GetStdVariables() const { return m_StdVariables; }
  std::uint16_t GetStdVarRegisters() const { return m_nStdVarRegisters; }

  void AssertValid() const;
  void Dump() const;

  // ---- state of the connection and the views -----------------------------
  // None of these setters updates the views: callers that change several
  // update once afterwards.
  // The child frame's status text.
  const QString &GetStatusText() const { return m_strStatus; }
  void SetStatusText(const QString &text) { m_strStatus = text; }
  // Trace values by TRACE_* slot.
  float GetTraceValue(int slot) const { return m_TraceValues.at(static_cast<std::size_t>(slot)); }
  void SetTraceValue(int slot, float value) { m_TraceValues.at(static_cast<std::size_t>(slot)) = value; }
  // The last polled win_cmd value and the one the triggers last saw.
  std::uint16_t GetWinCmdValue() const { return m_nWinCmdValue; }
  void SetWinCmdValue(std::uint16_t value) { m_nWinCmdValue = value; }
  std::uint16_t GetPrevWinCmdValue() const { return m_nPrevWinCmdValue; }
  void SetPrevWinCmdValue(std::uint16_t value) { m_nPrevWinCmdValue = value; }
  // Standard items the next poll reads once besides the shown ones.
  const std::set<std::uint16_t> &GetExtraPollPars() const { return m_ExtraPollPars; }
  const std::set<std::uint16_t> &GetExtraPollVars() const { return m_ExtraPollVars; }
  void AddExtraPollPar(std::uint16_t index) { m_ExtraPollPars.insert(index); }
  void AddExtraPollVar(std::uint16_t index) { m_ExtraPollVars.insert(index); }
  void ClearExtraPollPars() { m_ExtraPollPars.clear(); }
  void ClearExtraPollVars() { m_ExtraPollVars.clear(); }
  // Selection and edit state the lists and trees keep here.
  QPoint GetEditPos() const { return m_EditPos; }
  void SetEditPos(QPoint pos) { m_EditPos = pos; }
  std::uint16_t GetViewWord(int i) const { return m_ViewWords.at(static_cast<std::size_t>(i)); }
  void SetViewWord(int i, std::uint16_t word) { m_ViewWords.at(static_cast<std::size_t>(i)) = word; }
  bool GetViewFlag(int i) const { return m_bViewFlags.at(static_cast<std::size_t>(i)); }
  void SetViewFlags(bool on) { m_bViewFlags = {on, on}; }
  std::int16_t GetSelectedVarBlock() const { return m_nSelectedVarBlock; }
  void SelectVarBlock(std::int16_t block) { m_nSelectedVarBlock = block; }
  // What the views redo at their next update.
  bool NeedsParListUpdate() const { return m_ListaParUpdate; }
  void RequestParListUpdate() { m_ListaParUpdate = true; }
  void ClearParListUpdate() { m_ListaParUpdate = false; }
  bool NeedsVarListRefill() const { return m_bVarListRefill; }
  void RequestVarListRefill() { m_bVarListRefill = true; }
  void ClearVarListRefill() { m_bVarListRefill = false; }
  bool NeedsParTreeRebuild() const { return m_bParTreeRebuild; }
  void RequestParTreeRebuild() { m_bParTreeRebuild = true; }
  void ClearParTreeRebuild() { m_bParTreeRebuild = false; }
  bool NeedsVarTreeRebuild() const { return m_bVarTreeRebuild; }
  void RequestVarTreeRebuild() { m_bVarTreeRebuild = true; }
  void ClearVarTreeRebuild() { m_bVarTreeRebuild = false; }
  // The parameter list reopens its in-place editor on the remembered cell.
  bool NeedsEditorReopen() const { return m_bViewEditWindow; }
  void RequestEditorReopen() { m_bViewEditWindow = true; }
  void ClearEditorReopen() { m_bViewEditWindow = false; }
  // A description is loaded: board commands and polls are allowed.
  bool AreDescriptionsLoaded() const { return m_bDescriptionsLoaded; }
  void SetDescriptionsLoaded(bool loaded) { m_bDescriptionsLoaded = loaded; }
  // The document waits for the board's description.
  bool IsDescriptionDownload() const { return m_bDescriptionDownload; }
  void BeginDescriptionDownload() { m_bDescriptionDownload = true; }
  void EndDescriptionDownload() { m_bDescriptionDownload = false; }
  bool IsTraceReadPending() const { return m_bTraceReadPending; }
  void MarkTraceReadPending() { m_bTraceReadPending = true; }
  void ClearTraceReadPending() { m_bTraceReadPending = false; }
  // False while the library copy or the board's upload loads: a "MODBUS"
  // line is then ignored, whatever it holds.
  void SetTakeSlaveAddress(bool take) { m_bTakeSlaveAddress = take; }
  // 1 while testpoints are shown.
  std::uint32_t GetTestpoints() const { return m_nTestpoints; }
  void SetTestpoints(std::uint32_t on) { m_nTestpoints = on; }

protected:
  // A block, parameter or variable line: one cut at the end of the text is
  // refused, its keys missing.
  static bool IsItemLine(QChar first);
  // Rows 0..5 showing variables 0..5.
  void ResetVarRows();
  void ClearStdItems();
  void WriteDocument(CDocArchive &ar) const;
  // Writes a temporary file beside the target and renames it over the
  // target; on a failure the target is untouched and error says why.
  bool WriteFileAtomically(const QString &path, const QByteArray &bytes, QString *error) const;
  QString ProgramFolder() const;
  QString UserDataFolder() const;
  // Description lines by kind; languages and entries gather the "s" lines.
  bool ReadDocumentLine(const QString &line, QStringList &languages, QStringList &entries);
  void ReadILine(const QString &line);
  void ReadLLine(const QString &line);
  bool ReadMLine(const QString &line);
  void ReadVLine(const QString &line);
  void ReadSLine(const QString &line, QStringList &languages, QStringList &entries);
  void FinishLoad(const QStringList &languages, const QStringList &entries);
  void CountRefused(const CDocArchive &ar, bool item);
  // Blocks (entry 0 included), parameters and variables: what the ';'
  // dictionary lines name, one entry per record.
  qsizetype GetDictionaryRecordCount() const;
  // The one explanation of a damaged or incomplete load (nothing for a sound
  // one); it comes before the standard items' boxes.
  void ExplainLoad() const;
  // The two texts of a variable row from its raw and SI value.
  void FormatVarRow(VarRowRecord &row, const Variabili &var) const;

  std::array<QHash<QString, QString>, MaxLanguages> m_Dictionaries;
  QStringList m_ExtraLines;                    // lines kept verbatim
  IDocHost *m_pHost = nullptr;                 // not owned
  IDocAnswerWindow *m_pAnswerWindow = nullptr; // not owned
  IDocVarList *m_pVarListView = nullptr;       // not owned
  std::int16_t m_nBufLengthVar = -1;
  std::int16_t m_nBufWidthVar = -1;
  std::int16_t m_nDiagnTsPar = -1;
  std::int16_t m_nSwSetPar = 0;
  std::int16_t m_nSamplingTimeVar = -1;
  std::int16_t m_nTrigDelayPar = -1;
  std::int16_t m_nTrigNegPar = -1;
  std::int16_t m_nTrigPosPar = -1;
  std::int16_t m_nErrorFlagSlot = -1;
  std::int16_t m_nWarningFlagSlot = -1;
  std::int16_t m_nStatusFlagSlot = -1;
  std::int16_t m_nWinCmdVar = -1;
  std::deque<UndoRecord> m_UndoList;
  std::vector<VarRowRecord> m_VarRows;
  std::vector<std::uint16_t> m_StdVariables;
  std::uint16_t m_nStdVarRegisters = 0;
  int m_nRefusedLines = 0;
  int m_nFirstRefusedLine = 0;
  int m_nRefusedItemLines = 0;      // block, parameter and variable lines
  qsizetype m_nDictionaryNames = 0; // entries per language of the ';' lines
  bool m_bNamesHeldBack = false;
  bool m_bCheckingCopy = false; // an unfit library copy is put aside quietly
  QString m_strUnusedCopy;
  std::uint32_t m_nStateFlags = 0;
  std::uint8_t m_nSlaveAddress = 247;
  QString m_strManualName;
  QString m_strVersion;
  QString m_strManualPath;
  QString m_strWinCmdText;

private:
  std::array<float, 6> m_TraceValues{};                    // TRACE_* slots
  std::array<std::uint16_t, STATUS_WORDS> m_StatusWords{}; // board status words (poll answers)
  std::uint16_t m_nWinCmdValue = 0;
  std::uint16_t m_nPrevWinCmdValue = 0;
  std::set<std::uint16_t> m_ExtraPollPars;    // standard parameters polled online
  std::set<std::uint16_t> m_ExtraPollVars;    // standard variables polled online
  QPoint m_EditPos;                           // kept for the lists
  std::array<std::uint16_t, 3> m_ViewWords{}; // selection state of the lists and trees
  std::int16_t m_nSelectedVarBlock = -1;      // block selected in the variable tree
  bool m_ListaParUpdate = false;              // the parameter list rebuilds its rows
  bool m_bVarListRefill = false;              // the variable list refills its rows
  bool m_bParTreeRebuild = false;
  bool m_bVarTreeRebuild = false;
  bool m_bDescriptionsLoaded = false;
  bool m_bDescriptionDownload = false;
  bool m_bTraceReadPending = false;
  std::array<bool, 2> m_bViewFlags{};
  bool m_bViewEditWindow = false;
  bool m_bTakeSlaveAddress = true; // false: a "MODBUS" line is ignored
  std::uint32_t m_nTestpoints = 0;
  QString m_strStatus; // the child frame's status text
};
