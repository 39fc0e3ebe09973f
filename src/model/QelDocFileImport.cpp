#include "QelDocFileImport.h"

#include "ImportReport.h"
#include "generali.h"

#include "platform/Launcher.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"
#include "platform/Trace.h"

#include <QDir>

#include <algorithm>
#include <cmath>

namespace {

constexpr int ProgramRevision = 26;
constexpr double Tolerance = 1e-05;

const QString CrLf = QStringLiteral("\r\n");

// The text between a start token, searched from the line's second
// character, and the first end character after it; empty when either is missing.
QString Field(const QString &line, QStringView token, QChar end)
{
  const qsizetype at = line.indexOf(token, 1);
  if (at < 0)
    return {};
  const qsizetype from = at + token.size();
  const qsizetype stop = line.indexOf(end, from);
  if (stop < 0)
    return {};
  return line.mid(from, stop - from);
}

// The integer after a key such as " b="; false when the key is missing.
bool KeyValue(const QString &line, QStringView key, long long *out)
{
  const qsizetype at = line.indexOf(key);
  if (at <= 0)
    return false;
  *out = vtx::AtoiLike(QStringView(line).mid(at + key.size()));
  return true;
}

QString Text(unsigned id)
{
  return ImportReport::EscapeText(LoadStr(id));
}

} // namespace

CQelDocFileImport::CQelDocFileImport(QObject *parent)
    : CQelDocContainer(parent), m_strOldVersion(QStringLiteral("unknow"))
{
  m_OldVarMap.fill(NoItem);
  m_OldParMap.fill(NoItem);
}

QString CQelDocFileImport::GetTempFolder() const
{
  return m_strTempFolder.isEmpty() ? QDir::tempPath() : m_strTempFolder;
}

bool CQelDocFileImport::NearlyEqual(double a, double b)
{
  if (a == b)
    return true;
  if (std::isnan(a) || std::isnan(b))
    return false;
  const double larger = std::fabs(a) > std::fabs(b) ? a : b;
  return std::fabs((a - b) / larger) <= Tolerance;
}

CQelDocFileImport::ReportStatus CQelDocFileImport::ImportFile(CDocArchive &ar, bool compare, const QString &oldFilePath)
{
  ResetImport();
  m_strLastReport.clear();
  // The report names the version of this file, not of one read before.
  m_strOldVersion = QStringLiteral("unknow");
  m_strOldHeader.clear();
  // The old values are the last values transferred with the board: an import
  // restarts them so that afterwards exactly the parameters it changed count
  // as changed; a compare changes nothing in the document.
  if (!compare)
    for (Parametri &p : m_Parametri)
      p.AcceptValue();
  SnapshotParameters();
  ReadOldFile(ar);
  MatchOldLines();
  if (!compare)
    ApplyImport();
  const ReportStatus status = OpenReport(BuildReport(compare, oldFilePath));
  m_strOldHeader.clear();
  ResetImport();
  return status;
}

void CQelDocFileImport::ResetImport()
{
  m_ImportRecords.clear();
  m_OldVars.clear();
  m_OldPars.clear();
  m_OldVarAddress.clear();
  m_OldParAddress.clear();
  m_OldBlockBases.clear();
  m_OldVarMap.fill(NoItem);
  m_OldParMap.fill(NoItem);
}

void CQelDocFileImport::SnapshotParameters()
{
  m_ImportRecords.reserve(m_Parametri.size());
  for (const Parametri &p : m_Parametri) {
    ImportRecord record;
    record.current = record.imported = p.GetValue(Parametri::SEL_VALUE);
    m_ImportRecords.push_back(record);
  }
}

void CQelDocFileImport::ReadOldFile(CDocArchive &ar)
{
  QString line;
  while (ar.ReadString(line)) {
    if (line.isEmpty())
      continue;
    // A cut item line lacks the keys after the cut, and a position read as
    // 0 would map another item's register to it.
    if (IsItemLine(line.front()) && !ar.LastLineEnded())
      continue;
    switch (line.front().unicode()) {
    case u'#':
      if (m_strOldHeader.isEmpty())
        m_strOldHeader = line;
      break;
    case u'V':
      m_strOldVersion = line;
      break;
    case u'b': {
      long long base = 0;
      m_OldBlockBases.push_back(KeyValue(line, u" b=", &base) ? 10 * base : -1);
      break;
    }
    case u'p':
      m_OldPars << line;
      MapOldLine(line, true, false);
      break;
    case u'l':
    case u'f':
      m_OldPars << line;
      MapOldLine(line, true, true);
      break;
    case u'v':
      m_OldVars << line;
      MapOldLine(line, false, false);
      break;
    case u'w':
    case u'y':
      m_OldVars << line;
      MapOldLine(line, false, true);
      break;
    default:
      break;
    }
  }
}

// Enters the line just appended to its family's list into that family's
// address map, when its block is known and its registers lie below 10000.
void CQelDocFileImport::MapOldLine(const QString &line, bool parameter, bool wide)
{
  const qsizetype position = (parameter ? m_OldPars.size() : m_OldVars.size()) - 1;
  std::vector<int> &addresses = parameter ? m_OldParAddress : m_OldVarAddress;
  auto &map = parameter ? m_OldParMap : m_OldVarMap;
  addresses.push_back(-1);
  long long b = 0;
  long long p = 0;
  if (!KeyValue(line, u" p=", &p) || !KeyValue(line, u" b=", &b) || vtx::AtoiLike(QStringView(line).mid(1)) < 0)
    return;
  if (b < 1 || b > static_cast<long long>(m_OldBlockBases.size()))
    return;
  const long long base = m_OldBlockBases[static_cast<std::size_t>(b - 1)];
  const long long address = base + p;
  const long long last = address + (wide ? 1 : 0);
  if (base < 0 || address < 0 || last >= MaxAddress || position >= NoItem)
    return;
  map[static_cast<std::size_t>(address)] = static_cast<std::uint16_t>(position);
  map[static_cast<std::size_t>(last)] = static_cast<std::uint16_t>(position);
  addresses.back() = static_cast<int>(address);
}

void CQelDocFileImport::MatchOldLines()
{
  const bool byNumber = m_strOldHeader == QLatin1String(HeaderV10);
  for (const QString &line : std::as_const(m_OldPars)) {
    const QString name = Field(line, u" ", u'=');
    std::int16_t par = -1;
    if (name.isEmpty() || !FindParByName(par, name) || par < 0 ||
        static_cast<std::size_t>(par) >= m_ImportRecords.size())
      continue;
    const QString valueText = Field(line, u"=", u';');
    const Parametri &p = m_Parametri[static_cast<std::size_t>(par)];
    double x = 0;
    // A damaged line (cut short, text where the number belongs) must not
    // import as 0.
    if (!vtx::ParseDouble(valueText, &x)) {
      MarkBadValue(par, valueText);
      continue;
    }
    if (p.IsLink())
      MatchLink(par, vtx::AtoiLike(valueText), byNumber);
    else
      MatchPlain(par, x);
  }
}

void CQelDocFileImport::MarkBadValue(int par, const QString &valueText)
{
  // Never applied; listed as a problem with the text the file holds.
  ImportRecord &r = m_ImportRecords[static_cast<std::size_t>(par)];
  r.kind = IMPORT_BAD_VALUE;
  r.imported = r.current;
  r.selected = false;
  r.note = valueText.trimmed();
}

void CQelDocFileImport::MatchPlain(int par, double x)
{
  ImportRecord &r = m_ImportRecords[static_cast<std::size_t>(par)];
  r.imported = x;
  r.selected = x != r.current;
  r.kind = IMPORT_MATCHED;
  r.note.clear(); // a bad value on an earlier line of the same name is superseded
}

// A link parameter takes an address only when its limits leave it as it is
// and the item there suits the link.
bool CQelDocFileImport::AcceptsLinkTarget(int par, int address) const
{
  const Parametri &p = m_Parametri[static_cast<std::size_t>(par)];
  return address >= 0 && address < MaxAddress && p.Clamp(address) == address && CheckLinkTarget(par, address, false);
}

// The old line a link's value v names: the line at register v, or in a v1.0
// file the v-th old line of the storage type the link asks for. Gives its
// position in the old variable or parameter lines, -1 for none, and the old
// register address of that line (-1 for a v1.0 file).
int CQelDocFileImport::OldLinkLine(int par, int v, bool byNumber, int *oldAddress) const
{
  const Parametri &p = m_Parametri[static_cast<std::size_t>(par)];
  const bool toVar = p.IsVarLink();
  const QStringList &lines = toVar ? m_OldVars : m_OldPars;
  *oldAddress = -1;
  if (!byNumber) {
    const auto &map = toVar ? m_OldVarMap : m_OldParMap;
    if (v < 0 || v >= MaxAddress || map[static_cast<std::size_t>(v)] == NoItem)
      return -1;
    const int line = map[static_cast<std::size_t>(v)];
    if (!VTX_ASSERT(line < lines.size()))
      return -1;
    *oldAddress = (toVar ? m_OldVarAddress : m_OldParAddress)[static_cast<std::size_t>(line)];
    return line;
  }
  if (v < 0)
    return -1;
  const QChar letter = toVar ? (p.IsFloatLink()  ? u'y'
                                : p.IsLongLink() ? u'w'
                                                 : u'v')
                             : (p.IsFloatLink()  ? u'f'
                                : p.IsLongLink() ? u'l'
                                                 : u'p');
  int seen = 0;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (lines[i].front() == letter && seen++ == v)
      return static_cast<int>(i);
  }
  return -1;
}

// A link is carried over by the name of its old target. Register addresses
// find the document's last item of that name and keep the word of a
// two-register target; v1.0 numbers find the first item of that name.
void CQelDocFileImport::MatchLink(int par, int v, bool byNumber)
{
  ImportRecord &r = m_ImportRecords[static_cast<std::size_t>(par)];
  const bool toVar = m_Parametri[static_cast<std::size_t>(par)].IsVarLink();
  int oldAddress = -1;
  const int line = OldLinkLine(par, v, byNumber, &oldAddress);
  if (line < 0)
    return;
  const QString oldName = Field((toVar ? m_OldVars : m_OldPars)[line], u" ", toVar ? u';' : u'=');
  if (oldName.isEmpty())
    return;
  std::int16_t t = -1;
  if (!byNumber)
    t = toVar ? FindLastVarByName(oldName) : FindLastParByName(oldName);
  else if (!(toVar ? FindVarByName(t, oldName) : FindParByName(t, oldName)))
    t = -1;
  if (t < 0) {
    if (!byNumber)
      r.note = vtx::Format(u"%s (modbus=%d)", oldName, v);
    return;
  }
  const Variabili &target = toVar ? m_Variabili[static_cast<std::size_t>(t)]
                                  : static_cast<const Variabili &>(m_Parametri[static_cast<std::size_t>(t)]);
  // The same word of a two-register target: the low word sits at the
  // target's own address, the high word at the next one.
  const int half = byNumber || target.IsShort() ? 0 : std::clamp(v - oldAddress, 0, 1);
  const int address = target.GetAddress() + half;
  if (!AcceptsLinkTarget(par, address))
    return;
  r.description =
      toVar ? GetParText(par, Parametri::SEL_VALUE, true) : GetParTextParLink(par, Parametri::SEL_VALUE, true);
  r.imported = address;
  r.selected = true;
  r.kind = IMPORT_MATCHED;
  if (byNumber) {
    r.note = toVar ? GetVarTextAtAddress(par, address, true) : GetParTextAtAddress(par, address, true);
    return;
  }
  r.note = oldName;
  if (toVar && !target.IsShort())
    r.note += half ? QStringLiteral("_HI") : QStringLiteral("_LO");
  if (v != address) {
    r.description = vtx::Format(u"%s (modbus=%d)", r.description, v);
    r.note = vtx::Format(u"%s (modbus=%1.f)", r.note, double(address));
  }
}

std::int16_t CQelDocFileImport::FindLastVarByName(const QString &name) const
{
  for (std::size_t i = m_Variabili.size(); i-- > 0;)
    if (m_Variabili[i].GetName() == name)
      return static_cast<std::int16_t>(i);
  return -1;
}

std::int16_t CQelDocFileImport::FindLastParByName(const QString &name) const
{
  for (std::size_t i = m_Parametri.size(); i-- > 0;)
    if (m_Parametri[i].GetName() == name)
      return static_cast<std::int16_t>(i);
  return -1;
}

void CQelDocFileImport::ApplyImport()
{
  for (std::size_t i = 0; i < m_ImportRecords.size() && i < m_Parametri.size(); ++i) {
    ImportRecord &r = m_ImportRecords[i];
    if (r.kind != IMPORT_MATCHED || !std::isfinite(r.imported))
      continue;
    Parametri &p = m_Parametri[i];
    // A link's address was checked when it was matched; the target must
    // still be there.
    if (p.IsLink() && !(r.imported >= 0 && r.imported < MaxAddress &&
                        AcceptsLinkTarget(static_cast<int>(i), static_cast<int>(r.imported))))
      continue;
    // The file's value is what the next write all sends, also where it
    // equals the document's: a refresh from the board must not replace it.
    p.SetOfflineChange(true);
    if (!r.selected || NearlyEqual(r.imported, r.current))
      continue;
    // The old number as a board value: a 16-bit register keeps its low 16
    // bits (an old 40000 is -25536), then the limits apply. The record keeps
    // the number read, for the report, and notes what was stored instead.
    p.SetRawValue(r.imported);
    if (!p.IsLink())
      r.note = StoredNote(p, r.imported);
    SetModifiedFlag(true);
  }
  RequestParListUpdate();
  UpdateAllViews(nullptr, HINT_PAR_LIST);
}

// Empty when the parameter holds the number read; else what it holds, and
// its limits when they changed it. The numbers are written as the report's
// value cells write them.
QString CQelDocFileImport::StoredNote(const Parametri &p, double read)
{
  const double stored = p.GetValue(Parametri::SEL_VALUE);
  if (NearlyEqual(stored, read))
    return {};
  const auto text = [&p](double x) { return p.GetValueString(Parametri::SEL_GIVEN, x).trimmed(); };
  if (p.RegisterValue(read) == stored)
    return LoadStrFormat(IDS_IMPORT_STORED_AS, text(stored));
  return LoadStrFormat(IDS_IMPORT_STORED_LIMITS, text(stored), text(p.GetValue(Parametri::SEL_MIN)),
                       text(p.GetValue(Parametri::SEL_MAX)));
}

QString CQelDocFileImport::BuildReport(bool compare, const QString &oldFilePath) const
{
  const QDateTime now = m_Clock ? m_Clock() : QDateTime::currentDateTime();
  const QDate date = now.date();
  const QTime time = now.time();
  QString out;
  out += QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1040\\deftab708{\\fonttbl") + CrLf;
  out += QStringLiteral("{\\f0\\froman\\fcharset0 Times New Roman;}") + CrLf;
  out += QStringLiteral("{\\f1\\froman\\fprq2\\fcharset0 Times New Roman;}}") + CrLf;
  out += QStringLiteral("{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}") + CrLf;
  out += QStringLiteral("{\\*\\generator ") + Text(IDS_GENERATOR) + QStringLiteral(";}") + CrLf;
  out += QStringLiteral("\\viewkind4\\uc1\\pard\\f0\\fs20 ");
  out += QStringLiteral("\\b ") + Text(compare ? IDS_TITLE_COMPARE : IDS_TITLE_IMPORT) + QStringLiteral(" (") +
         Text(IDS_VERSION_PREFIX) + QString::number(ProgramRevision) + u')';
  out += QStringLiteral("\\b0\\par\\b ") + Text(IDS_NOW) + QStringLiteral(":\\b0\t ");
  out += vtx::Format(u"%02d/%02d/%02d %02d:%02d:%02d", date.month(), date.day(), date.year() % 100, time.hour(),
                     time.minute(), time.second());
  out += QStringLiteral("\\par") + CrLf + QStringLiteral("\\par") + CrLf + QStringLiteral("\\b ");
  out += Text(IDS_ACTUAL_FILE) + QStringLiteral("\\b0  ") + ImportReport::EscapeText(GetPathName());
  out += QStringLiteral("\\par\\b ") + Text(IDS_ACTUAL_VERSION) + QStringLiteral(":\\b0  ") +
         ImportReport::EscapeText(GetVersion()) + QStringLiteral("\\par\\par") + CrLf + QStringLiteral("\\b ");
  out += Text(compare ? IDS_FILE_TO_COMPARE : IDS_FILE_TO_IMPORT) + QStringLiteral(":\\b0  ") +
         ImportReport::EscapeText(oldFilePath);
  out += QStringLiteral("\\par") + CrLf + QStringLiteral("\\b ") +
         Text(compare ? IDS_COMPARED_VERSION : IDS_IMPORTED_VERSION) + QStringLiteral(":\\b0 ") +
         ImportReport::EscapeText(m_strOldVersion) + QStringLiteral("\\par\\par\\par") + CrLf;
  out += QStringLiteral("\\b ") + Text(IDS_PROBLEM_LIST) + QStringLiteral(":\\b0 \\par") + CrLf + Table(1, compare) +
         QStringLiteral("\\par\\par") + CrLf;
  out += QStringLiteral("\\b ") + Text(compare ? IDS_ACTUAL_PARAMETERS : IDS_IMPORTED_PARAMETERS) +
         QStringLiteral(":\\b0 \\par\\par") + CrLf + Table(2, compare) + QStringLiteral("\\par\\par") + CrLf;
  out += QStringLiteral("\\b ") + Text(compare ? IDS_ACTUAL_CONNECTIONS : IDS_IMPORTED_CONNECTIONS) +
         QStringLiteral(":\\b0 \\par\\par") + CrLf + Table(3, compare);
  out += QStringLiteral("\\par") + CrLf + QStringLiteral("\\par") + CrLf + QStringLiteral("\\b ") +
         Text(IDS_END_OF_REPORT) + QStringLiteral(".\\b0 ");
  // Closes the document group.
  out += u'}';
  return out;
}

// Table 1: parameters not matched; 2: values that differ; 3: links that differ.
QString CQelDocFileImport::Table(int table, bool compare) const
{
  using ImportReport::Styled;
  QString rows;
  for (std::size_t i = 0; i < m_ImportRecords.size() && i < m_Parametri.size(); ++i) {
    const ImportRecord &r = m_ImportRecords[i];
    const Parametri &p = m_Parametri[i];
    const int par = static_cast<int>(i);
    const QString name = Styled(p.GetName(), ImportReport::STYLE_BOLD);
    if (table == 1) {
      if (r.kind == IMPORT_MATCHED)
        continue;
      QString current;
      unsigned problem = IDS_PAR_NOT_FOUND;
      if (p.IsVarLink())
        current = GetParText(par, Parametri::SEL_VALUE, true);
      else if (p.IsParLink())
        current = GetParTextParLink(par, Parametri::SEL_VALUE, true);
      else
        current = p.GetValueString(Parametri::SEL_GIVEN, r.current);
      if (r.kind == IMPORT_BAD_VALUE)
        problem = IDS_INVALID_VALUE;
      else if (p.IsVarLink())
        problem = IDS_INVALID_VAR_LINK;
      else if (p.IsParLink())
        problem = IDS_INVALID_PAR_LINK;
      rows += name + QStringLiteral("\\cell ") + ImportReport::EscapeText(current) + QStringLiteral("\\cell ") +
              ImportReport::EscapeText(r.note) + QStringLiteral("\\cell ") +
              Styled(LoadStr(problem), ImportReport::STYLE_BLUE_BOLD) + QStringLiteral("\\row") + CrLf;
    } else if (table == 2) {
      if (!r.selected || NearlyEqual(r.imported, r.current) || p.IsLink())
        continue;
      rows += name + QStringLiteral("\\cell ") +
              Styled(p.GetValueString(Parametri::SEL_GIVEN, r.current), ImportReport::STYLE_BLUE) +
              QStringLiteral("\\cell ") +
              Styled(p.GetValueString(Parametri::SEL_GIVEN, r.imported), ImportReport::STYLE_BLUE) +
              QStringLiteral("\\cell ") + ImportReport::EscapeText(r.note) + QStringLiteral("\\row") + CrLf;
    } else {
      if (!r.selected || r.imported == r.current || !p.IsLink())
        continue;
      rows += name + QStringLiteral("\\cell ") + ImportReport::EscapeText(r.description) + QStringLiteral("\\cell ") +
              ImportReport::EscapeText(r.note) + QStringLiteral("\\cell\\row") + CrLf;
    }
  }
  if (rows.isEmpty())
    return QStringLiteral("\\tab ") + Text(IDS_EMPTY_LIST);

  // The table is one group, so its font returns to the body's at its end.
  QString out = QStringLiteral("{ \t\\trowd\\trgaph70\\trleft-70\\trbrdrl\\brdrs\\brdrw10") + CrLf;
  out += QStringLiteral(" \t\\trpaddl70\\trpaddr70\\trpaddfl3\\trpaddfr3 \t");
  static const int edges[] = {2000, 4000, 6000, 8000};
  for (int k = 0; k < 4; ++k) {
    if (k > 0)
      out += QStringLiteral(" \t");
    out += QStringLiteral(
        "\\clbrdrl\\brdrw10\\brdrs\\clbrdrt\\brdrw10\\brdrs\\clbrdrr\\brdrw10\\brdrs\\clbrdrb\\brdrw10\\brdrs \t");
    out += QStringLiteral("\\cellx") + QString::number(edges[k]);
  }
  out += QStringLiteral("\\pard\\intbl\\f1\\fs20");
  out += ImportReport::EscapeNonAscii(LoadStr(compare ? IDS_HEADER_COMPARE : IDS_HEADER_IMPORT)) + CrLf;
  out += rows;
  out += QStringLiteral("\\pard\\par") + CrLf + u'}';
  return out;
}

CQelDocFileImport::ReportStatus CQelDocFileImport::OpenReport(const QString &text)
{
  QString error;
  const QString path = ImportReport::WriteReportFile(GetTempFolder(), text, &error);
  if (path.isEmpty()) {
    qCWarning(lcModel, "import report not written: %s", qUtf8Printable(error));
    AfxMessageBox(LoadStrFormat(IDS_REPORT_NOT_WRITTEN, error), MB_OK | MB_ICONERROR);
    return ReportStatus::NotWritten;
  }
  m_strLastReport = path;
  if (!Launcher::Instance().Open(path)) {
    // Often no RTF viewer here: the report is the command's only result.
    qCWarning(lcModel, "no viewer for the import report %s", qUtf8Printable(path));
    AfxMessageBox(LoadStrFormat(IDS_REPORT_NO_VIEWER, QDir::toNativeSeparators(path)), MB_OK | MB_ICONINFORMATION);
    return ReportStatus::ViewerFailed;
  }
  return ReportStatus::Opened;
}
