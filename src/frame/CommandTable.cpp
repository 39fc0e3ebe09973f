#include "frame/CommandTable.h"

#include "frame/ChildConn.h"
#include "frame/FrameCodes.h"
#include "frame/MainFrm.h"

#include "model/QelDoc.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>
#include <array>

namespace commands {

namespace {

// ---- board rules: the connection has a document ---------------------------

const CQelDoc &Doc(const State &s)
{
  return *s.board->GetConnDocument();
}

bool Loaded(const State &s)
{
  return Doc(s).AreDescriptionsLoaded();
}

bool OnlineLoaded(const State &s)
{
  return Doc(s).IsOnline() && Loaded(s);
}

bool SecondSet(const State &s)
{
  return OnlineLoaded(s) && s.board->VisLevel() >= kSecondSetLevel;
}

bool CanUndo(const State &s)
{
  return !Doc(s).GetUndoList().empty();
}

bool CanInitialize(const State &s)
{
  const CQelDoc &doc = Doc(s);
  return doc.IsOnline() && !doc.AreDescriptionsLoaded() && !doc.IsDescriptionDownload() && g_hInitFrame == kNoWindow;
}

bool CanChooseLanguage(const State &s)
{
  return Loaded(s) && Doc(s).GetLanguageCount() > 1;
}

bool CanReset(const State &s)
{
  return Loaded(s) && Doc(s).GetSwSetPar() != 0 && Doc(s).IsOnline();
}

bool Connected(const State &s)
{
  return s.board->ConnectionBits() != 0;
}

bool InternalUnits(const State &s)
{
  return Doc(s).IsInternalUnits();
}

// ---- main-frame rules -------------------------------------------------------

bool HasActiveBoard(const State &s)
{
  return s.main->GetActiveChild() != kNoWindow;
}

// Either all-board procedure blocks both: the one that ends would end the other.
bool NoProcedureRuns(const State &s)
{
  return !s.main->IsProcedureRunning() && !s.main->GetChildren().empty();
}

bool NoBoards(const State &s)
{
  return s.main->GetChildren().empty();
}

bool TestpointsShown(const State &s)
{
  return HasActiveBoard(s) && s.main->GetOptions().TP_Autofilling.Get() == 0;
}

bool LanguageIs(const State &s, int language)
{
  return s.main->GetOptions().Language.Get() == language;
}

bool Never(const State &)
{
  return false;
}

// ---- main-frame handlers that take more than a call -------------------------

void SaveActive(const Target &t)
{
  if (CQelDoc *doc = t.main->GetActiveDocument())
    doc->DoSave(doc->GetPathName(), true);
}

void CloseActive(const Target &t)
{
  if (QMdiSubWindow *w = t.main->MdiArea()->activeSubWindow())
    w->close();
}

using S = Scope;
constexpr auto kRows = std::to_array<Row>({
    // The board window's commands.
    {Cmd::OnLine, S::Board, [](const Target &t) { t.board->OnOnLine(); }, nullptr, Connected},
    {Cmd::ToggleUnits, S::Board, [](const Target &t) { t.board->OnToggleUnits(); }, nullptr, InternalUnits},
    {Cmd::ImportFile, S::Board, [](const Target &t) { t.board->ImportCompareFile(false); }, Loaded, nullptr},
    {Cmd::CompareFile, S::Board, [](const Target &t) { t.board->ImportCompareFile(true); }, Loaded, nullptr},
    {Cmd::Undo, S::Board, [](const Target &t) { t.board->OnUndo(); }, CanUndo, nullptr},
    {Cmd::ReadAll, S::Board, [](const Target &t) { t.board->OnReadAll(); }, OnlineLoaded, nullptr},
    {Cmd::WriteAll, S::Board, [](const Target &t) { t.board->OnWriteAll(); }, OnlineLoaded, nullptr},
    {Cmd::EepSave1, S::Board, [](const Target &t) { t.board->OnEepSave1(); }, OnlineLoaded, nullptr},
    {Cmd::EepLoad1, S::Board, [](const Target &t) { t.board->OnEepLoad1(); }, OnlineLoaded, nullptr},
    {Cmd::EepSave2, S::Board, [](const Target &t) { t.board->OnEepSave2(); }, SecondSet, nullptr},
    {Cmd::EepLoad2, S::Board, [](const Target &t) { t.board->OnEepLoad2(); }, SecondSet, nullptr},
    {Cmd::DefLoad, S::Board, [](const Target &t) { t.board->OnDefLoad(); }, OnlineLoaded, nullptr},
    {Cmd::InitDescriptions, S::Board, [](const Target &t) { t.board->OnInitDescriptions(); }, CanInitialize, nullptr},
    {Cmd::InitLanguage, S::Board, [](const Target &t) { t.board->OnInitLanguage(); }, CanChooseLanguage, nullptr},
    {Cmd::Reset, S::Board, [](const Target &t) { t.board->OnReset(); }, CanReset, nullptr},
    {Cmd::FindFirstModified, S::Board, [](const Target &t) { t.board->OnFindFirstModified(); }, Loaded, nullptr},
    {Cmd::FindNextModified, S::Board, [](const Target &t) { t.board->OnFindNextModified(); }, Loaded, nullptr},
    {Cmd::FindPrevModified, S::Board, [](const Target &t) { t.board->OnFindPrevModified(); }, Loaded, nullptr},
    // The main frame's own.
    {Cmd::FileNew, S::Main, [](const Target &t) { t.main->RunAppCommand(t.id); }, nullptr, nullptr},
    {Cmd::FileOpen, S::Main, [](const Target &t) { t.main->OnCmdFileOpen(); }, nullptr, nullptr},
    {Cmd::FileSave, S::Main, SaveActive, HasActiveBoard, nullptr},
    {Cmd::FileSaveAs, S::Main, [](const Target &t) { t.main->OnFileSaveAs(); }, nullptr, nullptr},
    {Cmd::FileClose, S::Main, CloseActive, HasActiveBoard, nullptr},
    {Cmd::FilePrint, S::Main, [](const Target &t) { t.main->OnPrintCommand(t.id); }, HasActiveBoard, nullptr},
    {Cmd::FilePrintPreview, S::Main, [](const Target &t) { t.main->OnPrintCommand(t.id); }, HasActiveBoard, nullptr},
    {Cmd::FilePrintSetup, S::Main, [](const Target &t) { t.main->OnPrintCommand(t.id); }, nullptr, nullptr},
    {Cmd::BackupAll, S::Main, [](const Target &t) { t.main->OnBackupAll(); }, NoProcedureRuns, nullptr},
    {Cmd::MemorizeAllToEEP, S::Main, [](const Target &t) { t.main->OnMemorizeAllToEEP(); }, NoProcedureRuns, nullptr},
    {Cmd::AppExit, S::Main, [](const Target &t) { t.main->close(); }, nullptr, nullptr},
    {Cmd::EnableAllTestpoints, S::Main, [](const Target &t) { t.main->OnEnableAllTestpoints(); }, HasActiveBoard,
     TestpointsShown},
    {Cmd::Find, S::Main, [](const Target &t) { t.main->OnFind(); }, nullptr, nullptr},
    {Cmd::Search, S::Main, [](const Target &) {}, Never, nullptr}, // nothing handles it
    {Cmd::ReadBuffer, S::Main, [](const Target &t) { t.main->OnReadBuffer(); }, nullptr, nullptr},
    {Cmd::Options, S::Main, [](const Target &t) { t.main->OnOptions(); }, nullptr, nullptr},
    {Cmd::WindowCascade, S::Main, [](const Target &t) { t.main->MdiArea()->cascadeSubWindows(); }, nullptr, nullptr},
    {Cmd::WindowTile, S::Main, [](const Target &t) { t.main->MdiArea()->tileSubWindows(); }, nullptr, nullptr},
    {Cmd::English, S::Main, [](const Target &t) { t.main->OnLanguage(t.id); }, NoBoards,
     [](const State &s) { return LanguageIs(s, UiLanguage::English); }},
    {Cmd::Italian, S::Main, [](const Target &t) { t.main->OnLanguage(t.id); }, NoBoards,
     [](const State &s) { return LanguageIs(s, UiLanguage::Italian); }},
    {Cmd::InternetUpdate, S::Main, [](const Target &t) { t.main->RunAppCommand(t.id); }, nullptr, nullptr},
    {Cmd::AppAbout, S::Main, [](const Target &t) { t.main->RunAppCommand(t.id); }, nullptr, nullptr},
});

} // namespace

std::span<const Row> Table()
{
  return kRows;
}

const Row *Find(int id)
{
  const auto it = std::find_if(kRows.begin(), kRows.end(), [id](const Row &row) { return row.id == id; });
  return it == kRows.end() ? nullptr : &*it;
}

bool RunBoardCommand(CChildConn &board, int id)
{
  const Row *row = Find(id);
  if (!row || row->scope != Scope::Board)
    return false;
  row->run({nullptr, &board, id});
  return true;
}

bool IsEnabled(const Row &row, const State &state, bool *checked)
{
  if (checked)
    *checked = false;
  if (row.scope == Scope::Board) {
    if (!state.board)
      return false;
    if (!state.board->GetConnDocument())
      return !row.enabled;
  } else if (!state.main) {
    return false;
  }
  if (checked && row.checked)
    *checked = row.checked(state);
  return !row.enabled || row.enabled(state);
}

} // namespace commands
