#include "frame/ChildConn.h"

#include "frame/CommandTable.h"
#include "frame/FrameCodes.h"

#include "model/BoundedFile.h"
#include "model/PacketFactory.h"
#include "model/QelDoc.h"
#include "model/generali.h"
#include "modbus/RequestPacket.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"

// The board window's commands.

namespace {

// The default sets a document can name ("DefaultCombo#n").
constexpr int kMaxDefaultSets = 100;

} // namespace

void CChildConn::OnUndo()
{
  if (!m_pDoc)
    return;
  CQelDoc &doc = *m_pDoc;
  CQelDocContainer::UndoRecord r;
  if (!doc.PopUndo(r) || r.index >= doc.GetParCount())
    return;
  // par0 keeps the last board command: writing it back would send that again.
  if (r.command || (doc.IsOnline() && static_cast<int>(r.index) == GetCommandParIndex())) {
    SetStatus(LoadStr(IDS_CANNOT_UNDO_COMMAND));
    return;
  }
  if (doc.IsOnline())
    WriteParameter(r.index, r.previous, 0, 0);
  else
    doc.RestoreUndoValue(r);
}

void CChildConn::OnReadAll()
{
  ReadAllParameters();
}

void CChildConn::OnWriteAll()
{
  if (!m_pDoc)
    return;
  if (Prompter::Instance().MessageBox(LoadStr(IDS_ASK_WRITE_ALL), QString(), MB_OKCANCEL) == IDOK)
    WriteAllParameters();
}

void CChildConn::AskAndWrite(unsigned question, int value)
{
  if (!m_pDoc)
    return;
  if (Prompter::Instance().MessageBox(LoadStr(question), QString(), MB_OKCANCEL) == IDOK)
    WriteCommand(value);
}

void CChildConn::OnEepSave1()
{
  AskAndWrite(IDS_ASK_SAVE_EEP1, BoardCommand::EepromSave1);
}

void CChildConn::OnEepSave2()
{
  AskAndWrite(IDS_ASK_SAVE_EEP2, BoardCommand::EepromSave2);
}

void CChildConn::OnEepLoad1()
{
  AskAndWrite(IDS_ASK_LOAD_EEP1, BoardCommand::EepromLoad1);
}

void CChildConn::OnEepLoad2()
{
  AskAndWrite(IDS_ASK_LOAD_EEP2, BoardCommand::EepromLoad2);
}

QStringList CChildConn::DefaultSetNames() const
{
  QStringList names;
  if (!m_pDoc)
    return names;
  for (int n = 0; n < kMaxDefaultSets; ++n) {
    const QString text = m_pDoc->Translate(vtx::Format(u"DefaultCombo#%d", n), QString());
    if (text.isEmpty())
      break;
    names << text;
  }
  return names;
}

void CChildConn::OnDefLoad()
{
  if (!m_pDoc)
    return;
  const QStringList names = DefaultSetNames();
  if (names.isEmpty()) {
    Prompter::Instance().MessageBox(LoadStr(IDS_DEFAULTS_HINT), QString(), MB_OK);
    return;
  }
  const int chosen = ChooseDefaultSet(names);
  if (chosen >= 0 && chosen < names.size())
    WriteCommand(BoardCommand::DefaultBase + chosen);
}

void CChildConn::OnInitDescriptions()
{
  if (!m_pDoc || !m_pDoc->IsOnline())
    return;
  CQelDoc &doc = *m_pDoc;
  doc.SelectLanguage(InitializeLanguage());
  StoreInitializeLanguage(doc.GetLanguageName());

  const QString library = doc.FindDescriptionCopy(doc.GetVersion());
  const bool used = !library.isEmpty() && doc.OpenLibraryCopy(library);
  if (!library.isEmpty()) {
    doc.RequestParTreeRebuild();
    doc.RequestVarTreeRebuild();
    doc.RequestVarListRefill();
    doc.UpdateAllViews(nullptr, FrameHint::All);
  }
  if (used) {
    OnReadAll();
    doc.SetModifiedFlag(true);
    return;
  }
  // A copy that is not whole is not used: the board's own description
  // replaces it.
  if (g_hInitFrame != kNoWindow) {
    if (!library.isEmpty())
      SetStatus(LoadStrFormat(IDS_COPY_UNUSED_RETRY, library));
    return;
  }
  if (!library.isEmpty())
    SetStatus(LoadStrFormat(IDS_COPY_UNUSED_ASKING, library));
  auto *pkt = NewPacket(REQ_DESCRIPTION);
  if (!pkt) {
    // Nothing is on its way: no board's initialization may wait for it.
    PacketFactory::SayNoMemory();
    return;
  }
  g_hInitFrame = m_hWndAnswer;
  doc.BeginDescriptionDownload();
  pkt->language = static_cast<std::uint16_t>(doc.GetLanguageIndex());
  Queue(pkt);
}

void CChildConn::OnInitLanguage()
{
  if (!m_pDoc)
    return;
  const QString chosen = ChooseLanguage(m_pDoc->GetLanguageList(), InitializeLanguage());
  if (chosen.isEmpty())
    return;
  StoreInitializeLanguage(chosen);
  m_pDoc->SelectLanguage(chosen);
}

void CChildConn::OnReset()
{
  if (m_pDoc)
    m_pDoc->RequestSwSetRead();
}

void CChildConn::FindModified(bool first, bool down, unsigned notFound)
{
  if (!m_pDoc)
    return;
  if (first)
    m_wFindPos = 0;
  std::int16_t pos = static_cast<std::int16_t>(m_wFindPos);
  if (first)
    pos = -1;
  if (m_pDoc->FindParameter(QString(), pos, false, false, down, true, true))
    m_wFindPos = static_cast<std::uint16_t>(pos);
  else
    Prompter::Instance().MessageBox(LoadStr(notFound), QString(), MB_OK);
}

void CChildConn::OnFindFirstModified()
{
  FindModified(true, true, IDS_NO_MODIFIED_PARAMETERS);
}

void CChildConn::OnFindNextModified()
{
  FindModified(false, true, IDS_NO_MORE_MODIFIED);
}

void CChildConn::OnFindPrevModified()
{
  FindModified(false, false, IDS_NO_MORE_MODIFIED);
}

void CChildConn::OnToggleUnits()
{
  if (!m_pDoc)
    return;
  m_pDoc->ToggleInternalUnits();
  m_pDoc->RequestParListUpdate();
  m_pDoc->UpdateAllViews(nullptr, FrameHint::Units);
}

QString IConnHooks::AskImportFile()
{
  FileDialogRequest request;
  request.open = true;
  request.filter = LoadStr(IDS_FILTER);
  request.fileMustExist = true;
  return Prompter::Instance().FileDialog(request);
}

void CChildConn::ImportCompareFile(bool compare)
{
  if (!m_pDoc)
    return;
  const QString path = AskImportFile();
  if (path.isEmpty())
    return;
  // A FIFO, a device or an oversized file is refused before any read.
  QByteArray bytes;
  if (!vtx::ReadBoundedFile(path, &bytes)) {
    Prompter::Instance().MessageBox(LoadStrFormat(IDS_FILE_UNREADABLE, path), QString(), MB_OK | MB_ICONWARNING);
    return;
  }
  CDocArchive ar = CDocArchive::FromBytes(bytes);
  if (!compare) {
    GoOfflineWith(StopNotice::Box);
    m_pDoc->ImportFile(ar, false, path);
    m_pDoc->UpdateAllViews(nullptr, FrameHint::All);
    Prompter::Instance().MessageBox(LoadStr(IDS_DATA_IMPORTED), QString(), MB_OK);
  } else {
    m_pDoc->ImportFile(ar, true, path);
  }
}

bool CChildConn::IsCommandEnabled(int id, bool *checked) const
{
  const commands::Row *row = commands::Find(id);
  if (!row || row->scope != commands::Scope::Board) {
    if (checked)
      *checked = false;
    return true;
  }
  return commands::IsEnabled(*row, {nullptr, this}, checked);
}
