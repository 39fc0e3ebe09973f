#include "QelDocContainer.h"

#include "BoundedFile.h"
#include "DescLine.h"
#include "PacketFactory.h"
#include "generali.h"

#include "modbus/RequestPacket.h"
#include "platform/BusyCursor.h"
#include "platform/Format.h"
#include "platform/Prompter.h"
#include "platform/SaveFile.h"
#include "platform/StringIds.h"
#include "platform/Trace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

namespace {

const QString HeaderV10 = QStringLiteral("#Norv tembrano v1.0");
const QString HeaderV11 = QStringLiteral("#Norv tembrano v1.1");
const QString StdName = QStringLiteral("std");
const QString DefaultVersion = QStringLiteral("no version;");

constexpr int MaxLinkAddress = 9999;
constexpr int MaxStdVariables = 10000;

QString WithoutChars(QStringView text, QStringView drop)
{
  QString out;
  out.reserve(text.size());
  for (QChar c : text) {
    if (!drop.contains(c))
      out += c;
  }
  return out;
}

// Entries per language of the ';' dictionary lines; 0 when there are none
// or their count does not divide by the languages.
qsizetype NamesPerLanguage(const QStringList &entries, const QStringList &languages)
{
  if (languages.isEmpty() || entries.size() % languages.size() != 0)
    return 0;
  return entries.size() / languages.size();
}

QString WithSlash(QString folder)
{
  if (!folder.isEmpty() && !folder.endsWith(u'/'))
    folder += u'/';
  return folder;
}

// A name with a NUL (a board's text may hold one) names no file; Qt would
// warn about it on every look-up.
bool FileExists(const QString &path)
{
  return !path.contains(QChar(0)) && QFileInfo::exists(path);
}

QString DefaultProgramFolder()
{
  return WithSlash(QCoreApplication::applicationDirPath());
}

QString DefaultUserDataFolder()
{
  return WithSlash(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

} // namespace

QString IDocHost::GetProgramFolder() const
{
  return DefaultProgramFolder();
}

QString IDocHost::GetUserDataFolder() const
{
  return DefaultUserDataFolder();
}

CQelDocContainer::CQelDocContainer(QObject *parent) : CQelDocFind(parent), m_strVersion(DefaultVersion)
{
  m_pParTree = nullptr;
  m_nSelectedBlock = -1;
  m_strLanguage = StdName;
  ResetVarRows();
}

CQelDocContainer::~CQelDocContainer() = default;

WindowId CQelDocContainer::GetAnswerWindowId() const
{
  return m_pAnswerWindow ? m_pAnswerWindow->GetAnswerWindowId() : kNoWindow;
}

void CQelDocContainer::SetParListCtrl(IDocParList *list)
{
  m_pParListView = list;
}

void CQelDocContainer::SetParTreeCtrl(IDocTree *tree)
{
  m_pParTree = tree;
}

void CQelDocContainer::SetVarTreeCtrl(IDocTree *tree)
{
  m_pVarTree = tree;
}

// ---- clearing ---------------------------------------------------------------

void CQelDocContainer::ClearStdItems()
{
  m_nBufLengthVar = m_nBufWidthVar = -1;
  m_nDiagnTsPar = -1;
  m_nSwSetPar = 0;
  m_nSamplingTimeVar = -1;
  m_nTrigDelayPar = m_nTrigNegPar = m_nTrigPosPar = -1;
  m_nErrorFlagSlot = m_nWarningFlagSlot = m_nStatusFlagSlot = -1;
  m_nWinCmdVar = -1;
  m_StdVariables.clear();
  m_nStdVarRegisters = 0;
}

void CQelDocContainer::DeleteContents()
{
  m_ParTreeMap.clear();
  m_VarTreeMap.clear();
  m_BlockNames.clear();
  m_ParNames.clear();
  m_VarNames.clear();
  m_UndoList.clear();
  m_nRefusedLines = m_nFirstRefusedLine = m_nRefusedItemLines = 0;
  m_nDictionaryNames = 0;
  m_bNamesHeldBack = false;
  // Indexes of the description being replaced.
  m_ExtraPollPars.clear();
  m_ExtraPollVars.clear();
  m_TraceValues.fill(0);
  ClearStdItems();
  m_StatusWords.fill(0);
  m_nWinCmdValue = m_nPrevWinCmdValue = 0;
  m_strLanguage = StdName;
  // A reload must not write the lines or keys of the previous description.
  m_ExtraLines.clear();
  for (auto &dictionary : m_Dictionaries)
    dictionary.clear();
  CQelDocParVarList::DeleteContents();
}

void CQelDocContainer::ResetVarRows()
{
  m_VarRows.assign(WatchRows, VarRowRecord{});
  for (int i = 0; i < WatchRows; ++i)
    m_VarRows[i].index = i;
}

bool CQelDocContainer::IsVarRowValid(std::size_t row) const
{
  return row < m_VarRows.size() && m_VarRows[row].index >= 0 && m_VarRows[row].index < GetVarCount();
}

// ---- loading -----------------------------------------------------------------

bool CQelDocContainer::Serialize(CDocArchive &ar)
{
  if (ar.IsStoring()) {
    WriteDocument(ar);
    return true;
  }
  if (!LoadFromArchive(ar))
    return false;
  SaveDescriptionCopy();
  return true;
}

bool CQelDocContainer::LoadFromArchive(CDocArchive &ar)
{
  QString first;
  if (!ar.ReadString(first) || (first != HeaderV10 && first != HeaderV11)) {
    if (!m_bCheckingCopy)
      AfxMessageBox(LoadStr(IDS_BAD_HEADER), MB_OK);
    return false;
  }
  UpdateAllViews(nullptr, HINT_ALL);
  ReadDocument(ar);
  m_bVarListRefill = true;
  UpdateAllViews(nullptr, HINT_ALL);
  return true;
}

void CQelDocContainer::ReadLLine(const QString &raw)
{
  const QString line = WithoutChars(raw, u" ");
  m_VarRows.assign(WatchRows, VarRowRecord{});
  const qsizetype eq = line.indexOf(u'=');
  int row = 0;
  for (qsizetype at = eq + 1; at > 0 && at < line.size() && row < WatchRows;) {
    m_VarRows[row++].index = vtx::AtoiLike(QStringView(line).mid(at));
    const qsizetype semi = line.indexOf(u';', at);
    if (semi < 0 || semi == line.size() - 1)
      break;
    at = semi + 1;
  }
  m_bVarListRefill = true;
  UpdateAllViews(nullptr, HINT_VAR_LIST);
}

void CQelDocContainer::ReadSLine(const QString &line, QStringList &languages, QStringList &entries)
{
  const qsizetype e = line.indexOf(u'=');
  int language = 0;
  if (e >= 2 && line[e - 1].isLetter() && line[e - 2].isLetter()) {
    const QString code = line.mid(e - 2, 2);
    language = -1;
    for (int i = 0; i < languages.size(); ++i) {
      if (languages[i].compare(code, Qt::CaseInsensitive) == 0) {
        language = i;
        break;
      }
    }
    if (language < 0) {
      if (languages.size() < MaxLanguages) {
        languages.append(code);
        language = static_cast<int>(languages.size()) - 1;
        qCDebug(lcModel, "FOUND A NEW LANGUAGE (%s)", qUtf8Printable(code));
      } else {
        language = MaxLanguages;
      }
    }
  }
  const qsizetype pairs = line.indexOf(QStringLiteral("=["));
  if (pairs < 0 && e > 1)
    CQelDocLanguage::LoadDictionaryLine(line.mid(e + 1), entries);
  else if (pairs > 0 && e > 1 && language < MaxLanguages)
    SetMapAt(line, language);
}

bool CQelDocContainer::IsItemLine(QChar first)
{
  return QStringView(u"bplfvwy").contains(first);
}

void CQelDocContainer::ReadDocument(CDocArchive &ar)
{
  DeleteContents();
  // The table layer keeps its unit names across a clearing; a description
  // must not show or save the units of the one loaded before it.
  m_Units.clear();
  ResetVarRows();
  QStringList languages{StdName};
  QStringList entries;
  QString line;
  while (ar.ReadString(line)) {
    if (line.isEmpty())
      continue;
    // Every line is written with its line end: an item line without one was
    // cut, even right after a ';', and its missing keys must not take their
    // defaults (block 1, position 0: the command parameter's registers).
    const bool item = IsItemLine(line[0]);
    if ((item && !ar.LastLineEnded()) || !ReadDocumentLine(line, languages, entries))
      CountRefused(ar, item);
  }
  FinishLoad(languages, entries);
}

// One line of a description, by its first character; false when a table,
// block, parameter or variable line is refused.
bool CQelDocContainer::ReadDocumentLine(const QString &line, QStringList &languages, QStringList &entries)
{
  switch (line[0].unicode()) {
  case 'I':
    ReadILine(line);
    return true;
  case 'K': // the tables and items: the table layer's own lines
  case 'N':
  case 'U':
  case 'b':
  case 'p':
  case 'l':
  case 'f':
  case 'v':
  case 'w':
  case 'y':
    return ParseDescLine(line);
  case 'L':
    ReadLLine(line);
    return true;
  case 'M':
    return ReadMLine(line);
  case 'V':
    ReadVLine(line);
    return true;
  case 's':
    ReadSLine(line, languages, entries);
    m_ExtraLines.append(line);
    return true;
  }
  if (line != HeaderV10 && line != HeaderV11)
    m_ExtraLines.append(line);
  return true;
}

void CQelDocContainer::ReadILine(const QString &line)
{
  m_strLanguage = StdName;
  const qsizetype at = line.indexOf(QStringLiteral("Init = "));
  if (at >= 0)
    m_strLanguage = WithoutChars(QStringView(line).mid(at + 7), u" ;*");
}

// False for an address no board can answer from: taken in part (its low
// bits) it would address another board on the line.
bool CQelDocContainer::ReadMLine(const QString &line)
{
  if (!m_bTakeSlaveAddress)
    return true;
  const QString m = WithoutChars(line, u" ");
  const qsizetype eq = m.indexOf(u'=');
  if (eq < 0)
    return true;
  const int address = vtx::AtoiLike(QStringView(m).mid(eq + 1));
  if (address < MinSlaveAddress || address > MaxSlaveAddress) {
    qCWarning(lcModel, "MODBUS line refused: slave %d", address);
    return false;
  }
  m_nSlaveAddress = static_cast<std::uint8_t>(address);
  return true;
}

void CQelDocContainer::ReadVLine(const QString &line)
{
  const qsizetype eq = line.indexOf(u'=');
  if (eq <= 0)
    return;
  QStringView v = QStringView(line).mid(eq + 1);
  while (v.startsWith(u' '))
    v = v.mid(1);
  while (v.endsWith(u';'))
    v.chop(1);
  m_strVersion = v.toString();
}

// After the last line: names per language, standard items, manual, and the
// answer window told.
void CQelDocContainer::FinishLoad(const QStringList &languages, const QStringList &entries)
{
  m_nDictionaryNames = NamesPerLanguage(entries, languages);
  // An unfit library copy is dropped before it says anything: the board is
  // asked for its description instead.
  if (m_bCheckingCopy && !IsLoadComplete())
    return;
  CheckDictionary(entries, languages);
  AddLanguage(languages);
  SelectLanguage(m_pHost ? m_pHost->GetInitializeLanguage() : QStringLiteral("Std"));
  // A damaged load misses standard items too: the cause comes first.
  ExplainLoad();
  LocateStdVariables();
  m_bDescriptionsLoaded = true;
  m_bDescriptionDownload = false;

  FindManualFile(m_strManualPath, QStringLiteral(".pdf"));
  m_strManualName = m_strManualPath.isEmpty() ? LoadStr(IDS_NO_HELP_FILE) : GetFileNameFromPath(m_strManualPath, true);

  if (m_pAnswerWindow) {
    // Posted: the frame acts once the load has returned.
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (m_pAnswerWindow)
            m_pAnswerWindow->OnDescriptionLoaded();
        },
        Qt::QueuedConnection);
  }
}

void CQelDocContainer::CountRefused(const CDocArchive &ar, bool item)
{
  if (m_nRefusedLines++ == 0)
    m_nFirstRefusedLine = ar.GetLineNumber();
  m_nRefusedItemLines += item;
}

qsizetype CQelDocContainer::GetDictionaryRecordCount() const
{
  return static_cast<qsizetype>(m_Blocchi.size()) + GetParCount() + GetVarCount();
}

bool CQelDocContainer::IsLoadComplete() const
{
  return (GetParCount() > 0 || GetVarCount() > 0) && m_nRefusedLines == 0 && !IsLoadIncomplete();
}

bool CQelDocContainer::CheckDictionary(const QStringList &entries, const QStringList &languages)
{
  const qsizetype total = entries.size();
  const qsizetype count = languages.size();
  if (count == 0)
    return false;
  const QString sizes = vtx::Format(u"Dimensioni non valide del vocabolario: %d %d", total, count);
  if (total % count != 0) {
    AfxMessageBox(sizes, MB_OK);
    return false;
  }
  qCDebug(lcModel, "%s", qUtf8Printable(sizes));
  const qsizetype n = total / count;
  if (n == 0)
    return true;
  // Names go out by position: after a refused item line (the later lines of
  // its list go with it) or a loss that left fewer records than names, each
  // record after the gap would take a neighbour's name.
  if (m_nRefusedItemLines > 0 || GetDictionaryRecordCount() < n) {
    m_bNamesHeldBack = count > 1;
    qCDebug(lcModel, "translated names held back: %d records for %d names, %d item lines refused",
            int(GetDictionaryRecordCount()), int(n), m_nRefusedItemLines);
    return false;
  }
  const int nParF = GetParCountOfType(VAR_FLOAT);
  const int nParL = GetParCountOfType(VAR_LONG);
  const int nVarF = GetVarCountOfType(VAR_FLOAT);
  const int nVarL = GetVarCountOfType(VAR_LONG);
  for (qsizetype start = n; start < total; start += n) {
    qCDebug(lcModel, "startOfLanguage: %d, dictionary size: %d", int(start), int(total));
    // Records beyond the dictionary get no name.
    qsizetype k = 0;
    auto next = [&](auto &record) {
      if (k < n)
        record.SetName(entries[start + k++]);
    };
    for (Blocchi &b : m_Blocchi)
      next(b);
    auto byKind = [&](auto &records, int nFloat, int nLong) {
      const int size = static_cast<int>(records.size());
      for (int i = nFloat + nLong; i < size; ++i)
        next(records[i]);
      for (int i = nFloat; i < nFloat + nLong && i < size; ++i)
        next(records[i]);
      for (int i = 0; i < nFloat && i < size; ++i)
        next(records[i]);
    };
    byKind(m_Parametri, nParF, nParL);
    byKind(m_Variabili, nVarF, nVarL);
  }
  return true;
}

// ---- writing -----------------------------------------------------------------

void CQelDocContainer::WriteDocument(CDocArchive &ar) const
{
  ar.WriteLine(HeaderV11);
  ar.WriteLine(QStringLiteral("Version = ") + m_strVersion + u';');
  ar.WriteLine(QStringLiteral("Init = ") + m_strLanguage + u';');
  ar.WriteLine(vtx::Format(u"MODBUS = %d;", m_nSlaveAddress));
  QString rows = QStringLiteral("L = ");
  for (std::size_t i = 0; i < m_VarRows.size() && i < WatchRows; ++i)
    rows += QString::number(m_VarRows[i].index) + u';';
  ar.WriteLine(rows);
  QString text;
  text.reserve(96 * (GetParCount() + GetVarCount() + GetBlockCount()) + 1024);
  if (!m_pKTable->empty())
    SerializeKTable(text);
  if (!m_pNTable->empty())
    SerializeNTable(text);
  if (!m_Units.isEmpty())
    SerializeUnits(text);
  ar.WriteString(text);
  WriteExtraLines(ar);
  text.clear();
  SerializeBlocks(text);
  SerializeParameters(text);
  SerializeVariables(text);
  text += QStringLiteral("\r\n");
  ar.WriteString(text);
}

void CQelDocContainer::WriteExtraLines(CDocArchive &ar) const
{
  for (const QString &line : m_ExtraLines)
    ar.WriteLine(line);
}

bool CQelDocContainer::WriteFileAtomically(const QString &path, const QByteArray &bytes, QString *error) const
{
  const vtx::SaveError failure = vtx::SaveFileAtomically(path, bytes);
  if (failure == vtx::SaveError::None)
    return true;
  *error = vtx::SaveErrorText(failure, path);
  return false;
}

bool CQelDocContainer::OnSaveDocument(const QString &path)
{
  QString error;
  bool written = false;
  {
    // The busy cursor covers the write only: not the choice of a name
    // before it, nor the message after a failure.
    const vtx::BusyCursor busy;
    CDocArchive ar;
    Serialize(ar);
    written = WriteFileAtomically(path, ar.GetBytes(), &error);
  }
  if (!written) {
    AfxMessageBox(error, MB_OK | MB_ICONERROR);
    return false;
  }
  SetModifiedFlag(false);
  return true;
}

bool CQelDocContainer::DoSave(const QString &path, bool replace)
{
  QString name = path;
  if (name.isEmpty()) {
    name = GetPathName();
    if (replace && name.isEmpty()) {
      name = GetTitle();
      const qsizetype cut = std::distance(name.cbegin(), std::find_if(name.cbegin(), name.cend(), [](QChar c) {
                                            return QStringView(u" #%;/\\").contains(c);
                                          }));
      name.truncate(cut);
    }
  }
  FileDialogRequest request;
  request.open = false;
  request.initialPath = name;
  request.defaultExtension = QStringLiteral("vtx");
  request.filter = LoadStr(IDS_FILTER);
  request.overwritePrompt = true;
  const QString chosen = Prompter::Instance().FileDialog(request);
  if (chosen.isEmpty())
    return false;
  // The old file stays whole when the save fails; there is nothing to delete.
  if (!OnSaveDocument(chosen))
    return false;
  if (replace)
    SetPathName(chosen);
  return true;
}

bool CQelDocContainer::OnOpenDocument(const QString &path)
{
  QByteArray bytes;
  if (!vtx::ReadBoundedFile(path, &bytes))
    return false;
  CDocArchive ar = CDocArchive::FromBytes(bytes);
  bytes.clear();
  DeleteContents();
  SetModifiedFlag(false);
  if (!Serialize(ar)) {
    DeleteContents();
    return false;
  }
  return true;
}

void CQelDocContainer::ExplainLoad() const
{
  // A save would write the document without the refused lines: say so.
  QString text;
  if (m_nRefusedLines > 0)
    text = LoadStrFormat(IDS_LINES_REFUSED, m_nRefusedLines, m_nFirstRefusedLine);
  else if (IsLoadIncomplete())
    text = LoadStrFormat(IDS_DESC_INCOMPLETE, int(GetDictionaryRecordCount()), int(m_nDictionaryNames));
  else
    return;
  if (m_bNamesHeldBack)
    text += QStringLiteral("\r\n") + LoadStr(IDS_NAMES_HELD_BACK);
  AfxMessageBox(text, MB_OK | MB_ICONWARNING);
}

bool CQelDocContainer::OnNewDocument()
{
  SetTitle(LoadStr(IDS_NEW));
  return CQelDocFind::OnNewDocument();
}

void CQelDocContainer::SetPathName(const QString &path)
{
  CQelDocFind::SetPathName(path);
  SetTitle(path);
}

// ---- board description library ----------------------------------------------

QString CQelDocContainer::ProgramFolder() const
{
  return WithSlash(m_pHost ? m_pHost->GetProgramFolder() : DefaultProgramFolder());
}

QString CQelDocContainer::UserDataFolder() const
{
  return WithSlash(m_pHost ? m_pHost->GetUserDataFolder() : DefaultUserDataFolder());
}

QString CQelDocContainer::DescriptionCopyName(const QString &version)
{
  QString name = version;
  for (QChar &c : name) {
    if (c == u' ' || c == u';' || c == u'/')
      c = u'_';
  }
  return u'!' + name + QStringLiteral(".vtx");
}

QString CQelDocContainer::FindDescriptionCopy(const QString &version) const
{
  const QString name = DescriptionCopyName(version);
  for (const QString &folder : {ProgramFolder(), UserDataFolder()}) {
    if (!folder.isEmpty() && FileExists(folder + name))
      return folder + name;
  }
  return {};
}

int CQelDocContainer::SaveDescriptionCopy(const QString &replacing)
{
  // The library's first copy of a name wins over the board itself: a damaged
  // or empty description must never become it.
  if (!IsLoadComplete()) {
    qCDebug(lcModel, "no library copy of %s: %d parameters, %d variables, %d lines refused",
            qUtf8Printable(m_strVersion), GetParCount(), GetVarCount(), m_nRefusedLines);
    return 0;
  }
  // The copy that is read is the one written over: one elsewhere would
  // never be read.
  QString path = FindDescriptionCopy(m_strVersion);
  if (!path.isEmpty() && path != replacing)
    return 1;
  // A board text holding a NUL names no file: nothing to keep.
  if (m_strVersion.contains(QChar(0)))
    return 0;
  if (path.isEmpty()) {
    QString folder = ProgramFolder();
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir() || !info.isWritable()) {
      folder = UserDataFolder();
      if (folder.isEmpty() || !QDir().mkpath(folder))
        return 0;
    }
    path = folder + DescriptionCopyName(m_strVersion);
  }
  CDocArchive ar;
  WriteDocument(ar);
  QString error;
  if (!WriteFileAtomically(path, ar.GetBytes(), &error)) {
    AfxMessageBox(error, MB_OK | MB_ICONERROR);
    return 0;
  }
  return 1;
}

bool CQelDocContainer::OpenLibraryCopy(const QString &path)
{
  const QString version = m_strVersion;
  const QString language = m_strLanguage;
  m_bTakeSlaveAddress = false;
  m_bCheckingCopy = true;
  const bool opened = OnOpenDocument(path);
  m_bCheckingCopy = false;
  m_bTakeSlaveAddress = true;
  if (opened && IsLoadComplete()) {
    m_strUnusedCopy.clear();
    return true;
  }
  qCDebug(lcModel, "library copy %s not used: %d lines refused, %d records for %d names", qUtf8Printable(path),
          m_nRefusedLines, int(GetDictionaryRecordCount()), int(m_nDictionaryNames));
  DeleteContents();
  m_bDescriptionsLoaded = false;
  // The board's identity stays the one it answered with.
  m_strVersion = version;
  m_strLanguage = language;
  m_strUnusedCopy = path;
  return false;
}

// ---- standard items and manual ----------------------------------------------

void CQelDocContainer::LocateStdVariables()
{
  ClearStdItems();
  const QString errorName = Translate(QStringLiteral("error_flag"), QStringLiteral("error_flag"));
  const QString warningName = Translate(QStringLiteral("warning_flag"), QStringLiteral("warning_flag"));
  const QString statusName = Translate(QStringLiteral("status_flag"), QStringLiteral("status_flag"));
  for (int i = 0; i < MaxStdVariables; ++i) {
    const QString key = vtx::Format(u"StdVariables#%d", i);
    const QString name = Translate(key, key);
    if (name.isEmpty())
      break;
    std::int16_t index = -1;
    if (!FindVarByName(index, name))
      break;
    // A slot names a position of the list, so it is taken only with its variable.
    const QString marked = u'@' + name;
    if (warningName == name || warningName == marked)
      m_nWarningFlagSlot = static_cast<std::int16_t>(i);
    if (errorName == name || errorName == marked)
      m_nErrorFlagSlot = static_cast<std::int16_t>(i);
    if (statusName == name || statusName == marked)
      m_nStatusFlagSlot = static_cast<std::int16_t>(i);
    m_StdVariables.push_back(static_cast<std::uint16_t>(index));
    m_nStdVarRegisters += m_Variabili[index].IsShort() ? 1 : 2;
  }

  FindParByName(m_nSwSetPar, QStringLiteral("is_sw_set"));
  auto findVar = [this](std::int16_t &index, const QString &key) {
    const QString name = Translate(key, key);
    if (!name.isEmpty())
      FindVarByName(index, name);
  };
  auto findPar = [this](std::int16_t &index, const QString &key, const QString &fallback) {
    const QString name = Translate(key, fallback);
    if (!name.isEmpty())
      FindParByName(index, name);
  };
  findVar(m_nWinCmdVar, QStringLiteral("win_cmd"));
  findVar(m_nSamplingTimeVar, QStringLiteral("sampling_time"));
  findPar(m_nDiagnTsPar, QStringLiteral("diagn_ts"), QStringLiteral("diagn_ts"));
  findPar(m_nTrigPosPar, QStringLiteral("trig_lev_pos"), QStringLiteral("trig_lev_pos"));
  findPar(m_nTrigNegPar, QStringLiteral("trig_lev_neg"), QStringLiteral("trig_lev_neg"));
  findPar(m_nTrigDelayPar, QStringLiteral("trig_delay"), QStringLiteral("rec_stp_del"));
  findVar(m_nBufWidthVar, QStringLiteral("buf_width"));
  findVar(m_nBufLengthVar, QStringLiteral("buf_length"));

  const bool missing[] = {m_nWinCmdVar < 0,  m_nSamplingTimeVar < 0, m_nDiagnTsPar < 0,      m_nTrigPosPar < 0,
                          m_nTrigNegPar < 0, m_nTrigDelayPar < 0,    m_nBufWidthVar < 0,     m_nBufLengthVar < 0,
                          m_nSwSetPar == 0,  m_nErrorFlagSlot < 0,   m_nWarningFlagSlot < 0, m_nStatusFlagSlot < 0};
  constexpr unsigned texts[] = {IDS_WIN_CMD_NOT_FOUND,      IDS_SAMPLING_TIME_NOT_FOUND, IDS_DIAGN_TS_NOT_FOUND,
                                IDS_TRIG_LEV_POS_NOT_FOUND, IDS_TRIG_LEV_NEG_NOT_FOUND,  IDS_TRIG_DELAY_NOT_FOUND,
                                IDS_BUF_WIDTH_NOT_FOUND,    IDS_BUF_LENGTH_NOT_FOUND,    IDS_IS_SW_SET_NOT_FOUND,
                                IDS_ERROR_FLAG_NOT_FOUND,   IDS_WARNING_FLAG_NOT_FOUND,  IDS_STATUS_FLAG_NOT_FOUND};
  static_assert(std::size(texts) == std::size(missing));
  for (unsigned i = 0; i < std::size(missing); ++i) {
    if (missing[i])
      AfxMessageBox(LoadStr(texts[i]), MB_OK);
  }
}

void CQelDocContainer::FindManualFile(QString &result, const QString &extension) const
{
  result.clear();
  QString base = ProgramFolder();
  if (!QFileInfo(base).isDir())
    return;
  const QString &v = m_strVersion;
  const qsizetype a = v.indexOf(u' ') + 1;
  const qsizetype nextBlank = v.indexOf(u' ', a);
  const qsizetype b = nextBlank < 0 ? -3 : nextBlank - 2;
  int number = 99;
  if (b > a) {
    QString model = v.mid(a, b - a);
    // The name comes from the board: it must not lead out of the folder.
    model.replace(u'/', u'_').replace(u'\\', u'_');
    base += model;
    number = 0;
    qsizetype at = b;
    while (at < v.size() && !v[at].isDigit())
      ++at;
    for (int digits = 0; digits < 2 && at < v.size() && v[at].isDigit(); ++digits, ++at)
      number = number * 10 + v[at].digitValue();
  } else {
    base += QStringLiteral("noname");
  }
  const QString suffix = LoadStr(IDS_LANGUAGE_SUFFIX);
  auto tryName = [&](int k, bool withSuffix) {
    const QString name = vtx::Format(u"%s%02d%s", base, k, withSuffix ? suffix + extension : extension);
    if (FileExists(name)) {
      result = name;
      return true;
    }
    return false;
  };
  for (int k = number; k >= 0; --k)
    if (tryName(k, true))
      return;
  for (int k = number; k >= 0; --k)
    if (tryName(k, false))
      return;
  for (int k = number + 1; k <= 98; ++k)
    if (tryName(k, true))
      return;
  for (int k = number + 1; k <= 98; ++k)
    if (tryName(k, false))
      return;
  result.clear();
}

// ---- records -----------------------------------------------------------------

Parametri &CQelDocContainer::GetPar(int i)
{
  VTX_ASSERT(i >= 0 && i < GetParCount());
  return m_Parametri[static_cast<std::size_t>(std::clamp(i, 0, std::max(GetParCount() - 1, 0)))];
}

const Parametri &CQelDocContainer::GetPar(int i) const
{
  return const_cast<CQelDocContainer *>(this)->GetPar(i);
}

Variabili &CQelDocContainer::GetVar(int i)
{
  VTX_ASSERT(i >= 0 && i < GetVarCount());
  return m_Variabili[static_cast<std::size_t>(std::clamp(i, 0, std::max(GetVarCount() - 1, 0)))];
}

const Variabili &CQelDocContainer::GetVar(int i) const
{
  return const_cast<CQelDocContainer *>(this)->GetVar(i);
}

bool CQelDocContainer::FindParByName(std::int16_t &index, const QString &name) const
{
  for (const Parametri &p : m_Parametri) {
    if (p.GetName() == name) {
      index = static_cast<std::int16_t>(p.GetIndex());
      return true;
    }
  }
  return false;
}

bool CQelDocContainer::FindVarByName(std::int16_t &index, const QString &name) const
{
  for (const Variabili &v : m_Variabili) {
    if (v.GetName() == name) {
      index = static_cast<std::int16_t>(v.GetIndex());
      return true;
    }
  }
  return false;
}

// ---- values ------------------------------------------------------------------

void CQelDocContainer::WriteParValue(std::int16_t i, double v)
{
  // A NaN writes nothing; an infinity goes to the limit.
  if (!VTX_ASSERT(i >= 0 && i < GetParCount()) || std::isnan(v))
    return;
  const Parametri &p = m_Parametri[i];
  if (p.IsLink()) {
    // A float link's limits may lie far outside int: out of range is refused.
    const double address = std::trunc(p.Clamp(v));
    SetParValue(i, address >= 0 && address <= MaxLinkAddress ? static_cast<int>(address) : -1);
    return;
  }
  if (IsOnline()) {
    // The child frame clamps what it sends, so it gets the value as given;
    // an infinity, which no board value stands for, as the limit. A bit
    // field goes unmarked: its editor is a dialog, not the list's.
    if (m_pAnswerWindow)
      m_pAnswerWindow->WriteParameterOnline(i, std::isinf(v) ? p.Clamp(v) : v, !p.HasFlag4Only());
    return;
  }
  if (p.IsReadOnly())
    return;
  SetParValueLocal(i, p.Clamp(v));
}

void CQelDocContainer::WriteParSiValue(std::int16_t i, double si)
{
  if (!VTX_ASSERT(i >= 0 && i < GetParCount()) || std::isnan(si))
    return;
  WriteParValue(i, m_Parametri[i].QuantizeSi(si));
}

void CQelDocContainer::SetParValue(std::int16_t i, int v)
{
  if (!VTX_ASSERT(i >= 0 && i < GetParCount()))
    return;
  if (v < 0 || v > MaxLinkAddress)
    return;
  Parametri &p = m_Parametri[i];
  // The record would clamp the value on the store: clamp first, so what is
  // checked, compared and sent is what is stored.
  const double clamped = std::trunc(p.Clamp(v));
  if (clamped < 0 || clamped > MaxLinkAddress)
    return;
  v = static_cast<int>(clamped);
  if (!CheckLinkTarget(i, v, false))
    return;
  if (IsOnline()) {
    if (m_pAnswerWindow)
      m_pAnswerWindow->WriteParameterOnline(i, v, false);
    return;
  }
  const double current = p.GetValue(Parametri::SEL_VALUE);
  if (double(v) == current)
    return;
  m_UndoList.push_back({static_cast<std::uint16_t>(i), current});
  // The link setters hold 16-bit records only; a 32-bit or float link keeps
  // its address in its own storage.
  if (!p.IsShort())
    p.SetRawValue(v);
  else if (p.IsVarLink())
    p.SetVarLinkValue(static_cast<std::int16_t>(v));
  else
    p.SetParLinkValue(static_cast<std::int16_t>(v));
  p.SetOfflineChange(true);
  SetModifiedFlag(true);
}

void CQelDocContainer::SetParValueLocal(std::int16_t i, double v)
{
  if (!VTX_ASSERT(i >= 0 && i < GetParCount()) || std::isnan(v))
    return;
  Parametri &p = m_Parametri[i];
  double value = p.Clamp(v);
  if (p.IsFloat())
    value = SaturateToFloat(value);
  const double current = p.GetValue(Parametri::SEL_VALUE);
  if (value == current)
    return;
  m_UndoList.push_back({static_cast<std::uint16_t>(i), current});
  p.SetRawValue(value);
  p.SetOfflineChange(true);
  SetModifiedFlag(true);
}

bool CQelDocContainer::PopUndo(UndoRecord &record)
{
  if (m_UndoList.empty())
    return false;
  record = m_UndoList.back();
  m_UndoList.pop_back();
  return true;
}

void CQelDocContainer::RestoreUndoValue(const UndoRecord &record)
{
  if (!VTX_ASSERT(record.index < m_Parametri.size()))
    return;
  m_Parametri[record.index].SetRawValue(record.previous);
  m_Parametri[record.index].SetOfflineChange(true);
  // An offline undo changes the document as much as the edit did.
  SetModifiedFlag(true);
  RequestParListUpdate();
  UpdateAllViews(nullptr, DocHint::Reopen);
}

std::unique_ptr<CRequestPacket> CQelDocContainer::NewReadRequest(std::uint16_t i) const
{
  if (!VTX_ASSERT(i < m_Parametri.size()))
    return nullptr;
  const Parametri &p = m_Parametri[i];
  if (!VTX_ASSERT(p.GetAddress() < MaxAddress))
    return nullptr;
  std::unique_ptr<CRequestPacket> packet(
      PacketFactory::New(GetAnswerWindowId(), m_nSlaveAddress, p.IsShort() ? REQ_READ_ONE : REQ_READ_BLOCK));
  if (!packet)
    return nullptr;
  packet->PktType.par.first_par = p.GetAddress();
  packet->PktType.par.num_par = p.IsShort() ? 1 : 2;
  packet->PktType.par.refresh = 1;
  packet->track = 0;
  return packet;
}

// ---- visibility and trees ---------------------------------------------------

bool CQelDocContainer::IsParVisibleInBlock(int block, int level) const
{
  if (block <= 0 || block >= GetBlockCount())
    return false;
  for (const Parametri &p : m_Parametri) {
    if (p.GetBlockId() == block && p.IsVisibleAtLevel(level))
      return true;
  }
  // A child's number is always above its parent's, so the walk ends.
  for (int k = block + 1; k < GetBlockCount(); ++k) {
    if (m_Blocchi[k].GetParent() == block && IsParVisibleInBlock(k, level))
      return true;
  }
  return false;
}

bool CQelDocContainer::IsVarVisibleInBlock(int block, int level) const
{
  if (block <= 0 || block >= GetBlockCount())
    return false;
  for (const Variabili &v : m_Variabili) {
    if (v.GetBlockId() == block && v.IsVisibleAtLevel(level))
      return true;
  }
  for (int k = block + 1; k < GetBlockCount(); ++k) {
    if (m_Blocchi[k].GetParent() == block && IsVarVisibleInBlock(k, level))
      return true;
  }
  return false;
}

void CQelDocContainer::CollectVisiblePars(int block, int level, std::vector<std::uint16_t> &out) const
{
  out.clear();
  for (const Parametri &p : m_Parametri) {
    if (p.GetBlockId() != block)
      continue;
    if (p.IsVisibleAtLevel(level))
      out.push_back(p.GetIndex());
    else
      qCDebug(lcModel, " par %s is not visible!", qUtf8Printable(p.GetName()));
  }
  if (!out.empty())
    SortParIndexes(out, 0, static_cast<int>(out.size()) - 1, true);
}

void CQelDocContainer::AddBlockTreeNode(int number, int parent, const QString &text)
{
  const auto key = static_cast<std::int16_t>(-number);
  const auto parentKey = static_cast<std::int16_t>(-parent);
  CTreeNode node(key, parentKey, text);
  std::int16_t at = key;
  if (number == 0)
    node.Refuse(CTreeNode::NODE_KEY_ZERO);
  else if (m_ParTreeMap.contains(key))
    node.Refuse(CTreeNode::NODE_DOUBLED_KEY);
  else if (parent != 0 && !m_ParTreeMap.contains(parentKey))
    node.Refuse(CTreeNode::NODE_NO_PARENT);
  if (!node.IsValid())
    at = INT16_MIN;
  m_ParTreeMap.insert_or_assign(at, node);
  m_VarTreeMap.insert_or_assign(at, node);
}

void CQelDocContainer::AddTreeNode(int index, const QString &text, int block)
{
  const auto key = static_cast<std::int16_t>(std::clamp(index, 0, int(INT16_MAX)));
  const auto parentKey = static_cast<std::int16_t>(-block);
  CTreeNode node(key, parentKey, text);
  std::int16_t at = key;
  if (!m_ParTreeMap.contains(parentKey))
    node.Refuse(CTreeNode::NODE_NO_PARENT);
  else if (m_ParTreeMap.contains(key))
    node.Refuse(CTreeNode::NODE_DOUBLED_KEY);
  if (!node.IsValid())
    at = INT16_MAX;
  m_ParTreeMap.insert_or_assign(at, node);
  m_VarTreeMap.insert_or_assign(at, node);
}

std::int16_t CQelDocContainer::FindTreeNode(void *item) const
{
  // Nodes not shown in a tree hold no item.
  if (!item)
    return -1;
  auto it = m_VarTreeMap.find(-1);
  if (it == m_VarTreeMap.end())
    return -1;
  for (; it != m_VarTreeMap.end(); ++it) {
    if (it->first >= 0 && it->second.GetTreeItem() == item)
      return it->first;
  }
  return -1;
}

std::int16_t CQelDocContainer::FindBlockByTreeItem(void *item) const
{
  if (!item)
    return -1;
  for (const TreeMap *map : {&m_ParTreeMap, &m_VarTreeMap}) {
    auto it = map->lower_bound(0);
    while (it != map->begin()) {
      --it;
      // The error node of refused blocks names no block.
      if (it->second.GetTreeItem() == item)
        return it->first == INT16_MIN ? -1 : static_cast<std::int16_t>(-it->first);
    }
  }
  return -1;
}

// ---- language and texts -------------------------------------------------------

std::int16_t CQelDocContainer::SelectLanguage(const QString &name)
{
  const std::int16_t x = CQelDocLanguage::SelectLanguage(name);
  for (Parametri &p : m_Parametri)
    p.SetNamePos(x);
  for (Variabili &v : m_Variabili)
    v.SetNamePos(x);
  for (Blocchi &b : m_Blocchi)
    b.SetNamePos(x);

  // Block 0 stands for no block and is never a hit.
  m_BlockNames.assign(m_Blocchi.size(), QString());
  for (std::size_t i = 1; i < m_Blocchi.size(); ++i)
    m_BlockNames[i] = m_Blocchi[i].GetSelectedName();
  m_ParNames.clear();
  m_ParNames.reserve(m_Parametri.size());
  for (const Parametri &p : m_Parametri)
    m_ParNames.push_back(p.GetNameText());
  m_VarNames.clear();
  m_VarNames.reserve(m_Variabili.size());
  for (const Variabili &v : m_Variabili)
    m_VarNames.push_back(v.GetNameText());

  m_ParTreeMap.clear();
  m_VarTreeMap.clear();
  for (std::size_t i = 1; i < m_Blocchi.size(); ++i)
    AddBlockTreeNode(m_Blocchi[i].GetNumber(), m_Blocchi[i].GetParent(), m_Blocchi[i].GetSelectedName());
  for (const Variabili &v : m_Variabili)
    AddTreeNode(v.GetIndex(), v.GetNameText(), v.GetBlockId());

  m_bParTreeRebuild = m_bVarTreeRebuild = true;
  UpdateAllViews(nullptr, HINT_ALL);
  if (m_pParListView)
    m_pParListView->FillList();
  return x;
}

const QHash<QString, QString> &CQelDocContainer::GetDictionary(int language) const
{
  static const QHash<QString, QString> none;
  return language >= 0 && language < MaxLanguages ? m_Dictionaries[language] : none;
}

QString CQelDocContainer::Translate(const QString &key, const QString &fallback) const
{
  const QHash<QString, QString> &dictionary = GetDictionary(m_nLanguage);
  if (const auto it = dictionary.constFind(key); it != dictionary.cend())
    return it.value();
  const qsizetype hash = key.indexOf(u'#');
  if (hash > 0) {
    const auto prefix = dictionary.constFind(key.left(hash));
    if (prefix != dictionary.cend() && prefix.value().startsWith(u'@')) {
      const auto it = dictionary.constFind(prefix.value().mid(1) + key.mid(hash));
      if (it != dictionary.cend())
        return it.value();
    }
  }
  return fallback;
}

void CQelDocContainer::SetMapAt(const QString &line, int language)
{
  if (language < 0 || language >= MaxLanguages)
    return;
  const qsizetype eq = line.indexOf(u'=');
  if (eq < 0)
    return;
  QStringView text = QStringView(line).mid(eq + 1).left(255);
  QHash<QString, QString> &dictionary = m_Dictionaries[language];
  while (!text.isEmpty()) {
    if (text[0] != u'[')
      return;
    const qsizetype close = text.indexOf(u']');
    if (close < 0 || close - 1 < 2)
      return;
    const QString key = text.mid(1, close - 1).toString();
    QStringView rest = text.mid(close + 1);
    const qsizetype next = rest.indexOf(u'[');
    const QString value = (next < 0 ? rest : rest.left(next)).toString();
    dictionary.insert(key, value);
    qCDebug(lcModel, "SetMap[%d] key=%s, value=%s", language, qUtf8Printable(key), qUtf8Printable(value));
    text = next < 0 ? QStringView() : rest.mid(next);
  }
}

QString CQelDocContainer::GetWinCmdText(std::int16_t n)
{
  const QString key = vtx::Format(u"win_cmd#%d", n);
  m_strWinCmdText = Translate(key, key);
  return m_strWinCmdText;
}

QString CQelDocContainer::EscapeBackslashes(const QString &path)
{
  QString out;
  out.reserve(path.size() * 2);
  for (qsizetype i = 0; i < path.size(); ++i) {
    out += path[i];
    if (i > 0 && path[i] == u'\\')
      out += u'\\';
  }
  return out;
}

void CQelDocContainer::AssertValid() const
{
  VTX_ASSERT(GetParCount() ==
             GetParCountOfType(VAR_SHORT) + GetParCountOfType(VAR_LONG) + GetParCountOfType(VAR_FLOAT));
  VTX_ASSERT(GetVarCount() ==
             GetVarCountOfType(VAR_SHORT) + GetVarCountOfType(VAR_LONG) + GetVarCountOfType(VAR_FLOAT));
}

void CQelDocContainer::Dump() const
{
  CQelDocParVarList::Dump();
  qCDebug(lcModel, "\n CQelDocContainer::dump");
}
