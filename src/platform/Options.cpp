#include "Options.h"

#include "platform/Format.h"
#include "platform/Profile.h"
#include "platform/Trace.h"

namespace {

QString Section(const char *s)
{
  return QString::fromLatin1(s);
}

int LoadInt(const QString &section, const QString &entry, int defaultValue)
{
  const QString text = Profile::Instance().GetProfileString(section, entry, QString::number(defaultValue));
  return vtx::AtoiLike(text);
}

void SaveInt(const QString &section, const QString &entry, int value)
{
  Profile::Instance().WriteProfileString(section, entry, vtx::Format(u"%d", value));
}

// What is saved on request is on disk when the call returns, where another
// process (or a crash right after) finds it. A failed write is ignored.
void Flush()
{
  Profile::Instance().Sync();
}

constexpr int kParWidthDefaults[COptions::kParWidthCount] = {45, 50, 25, 95, 95, 95, 95, 95, 75, 75, 75};
constexpr int kVarWidthDefaults[COptions::kVarWidthCount] = {45, 50, 25, 95, 95, 95, 95, 95, 75, 75};
constexpr int kPanesDefaults[COptions::kPanesCount] = {-1, 600, -1, 72, -1, 64, -1, 280, -1, 120, -1, 616};

} // namespace

COptionInt::COptionInt(const QString &section, const QString &entry, int defaultValue)
    : m_value(defaultValue), m_section(section), m_entry(entry), m_default(defaultValue)
{
  VTX_ASSERT(!section.isEmpty() && !entry.isEmpty());
  m_value = LoadInt(m_section, m_entry, m_default);
}

COptionInt::~COptionInt()
{
  Write();
}

void COptionInt::Set(int value)
{
  m_value = value;
  Save();
}

void COptionInt::Save() const
{
  Write();
  Flush();
}

void COptionInt::Write() const
{
  SaveInt(m_section, m_entry, m_value);
}

COptionString::COptionString(const QString &section, const QString &entry, const QString &defaultValue)
    : m_section(section), m_entry(entry)
{
  VTX_ASSERT(!section.isEmpty() && !entry.isEmpty());
  m_value = Profile::Instance().GetProfileString(m_section, m_entry, defaultValue);
}

void COptionString::Save() const
{
  Profile::Instance().WriteProfileString(m_section, m_entry, m_value);
  Flush();
}

COptionIntArray::COptionIntArray(int count, const QString &section, const QString &stem, const int *defaults)
    : m_values(static_cast<std::size_t>(static_cast<unsigned char>(count))), m_section(section), m_stem(stem)
{
  VTX_ASSERT(!section.isEmpty() && !stem.isEmpty());
  VTX_ASSERT(defaults != nullptr || m_values.empty());
  for (int i = 0; i < GetCount(); ++i)
    m_values[static_cast<std::size_t>(i)] = LoadInt(m_section, EntryName(m_stem, i), defaults ? defaults[i] : 0);
}

COptionIntArray::~COptionIntArray()
{
  Write();
}

QString COptionIntArray::EntryName(const QString &stem, int i)
{
  return vtx::Format(u"%s%02d", stem, i);
}

int COptionIntArray::At(int i) const
{
  if (!VTX_ASSERT(i >= 0 && i < GetCount()))
    return 0;
  return m_values[static_cast<std::size_t>(i)];
}

bool COptionIntArray::SetAt(int i, int value)
{
  if (!VTX_ASSERT(i >= 0 && i < GetCount()))
    return false;
  m_values[static_cast<std::size_t>(i)] = value;
  return true;
}

void COptionIntArray::Save() const
{
  Write();
  Flush();
}

void COptionIntArray::Write() const
{
  for (int i = 0; i < GetCount(); ++i)
    SaveInt(m_section, EntryName(m_stem, i), m_values[static_cast<std::size_t>(i)]);
}

COptionColor::COptionColor(const QString &section, const QString &entry, COLORREF defaultValue)
    : m_value(defaultValue), m_section(section), m_entry(entry), m_default(defaultValue)
{
  VTX_ASSERT(!section.isEmpty() && !entry.isEmpty());
  m_value = static_cast<COLORREF>(Profile::Instance().GetProfileInt(m_section, m_entry, static_cast<int>(m_default)));
}

COptionColor::~COptionColor()
{
  Write();
}

void COptionColor::Set(COLORREF value)
{
  m_value = value;
  Save();
}

void COptionColor::Save() const
{
  Write();
  Flush();
}

void COptionColor::Write() const
{
  Profile::Instance().WriteProfileInt(m_section, m_entry, static_cast<int>(m_value));
}

const QString COptions::kDefaultUpdatePath = QStringLiteral("http://update.norv.example/update/Velo-Trix/");

COptions::COptions()
    : com_port(Section(kSettings), QStringLiteral("com_port"), 1),
      com_speed(Section(kSettings), QStringLiteral("com_speed"), 19200),
      com_silent(Section(kSettings), QStringLiteral("com_silent"), 16),
      com_retry(Section(kSettings), QStringLiteral("com_retry"), 5),
      com_timeout(Section(kSettings), QStringLiteral("com_timeout"), 300),
      Start_Timer(Section(kSettings), QStringLiteral("Start_Timer"), 1),
      Language(Section(kSettings), QStringLiteral("Language"), 0),
      Beep_on_error(Section(kSettings), QStringLiteral("Beep_on_error"), 1),
      AuxTp(Section(kSettings), QStringLiteral("AuxTp"), 0),
      TP_Autofilling(Section(kSettings), QStringLiteral("TP_Autofilling"), 0),
      TabsOnTop(Section(kSettings), QStringLiteral("TabsOnTop"), 1),
      TabsImages(Section(kSettings), QStringLiteral("TabsImages"), 1),
      HideTabsLess2Views(Section(kSettings), QStringLiteral("HideTabsLess2Views"), 0),
      C_conv_tXX_WithDefault(Section(kSettings), QStringLiteral("C_conv_tXX_WithDefault"), 1),
      ResetWriteIdx1(Section(kSettings), QStringLiteral("ResetWriteIdx1"), 1),
      ResetWriteIdx2(Section(kSettings), QStringLiteral("ResetWriteIdx2"), 1),
      ResetWriteIdx3(Section(kSettings), QStringLiteral("ResetWriteIdx3"), 1),
      VisLevel(Section(kSettings), QStringLiteral("VisLevel"), 0),
      Path0(Section(kInternetUpdate), QStringLiteral("Path 0"), kDefaultUpdatePath),
      InitializeLanguage(Section(kSettings), QStringLiteral("Initialize Language"), QStringLiteral("Std")),
      ParWidth(kParWidthCount, Section(kColWidth), QStringLiteral("ParWidth"), kParWidthDefaults),
      VarWidth(kVarWidthCount, Section(kColWidth), QStringLiteral("VarWidth"), kVarWidthDefaults),
      Panes_(kPanesCount, Section(kSplitterWnd), QStringLiteral("Panes_"), kPanesDefaults),
      CorpoTestoOfflineDef(Section(kColors), QStringLiteral("CorpoTestoOfflineDef"), RGB(0, 0, 255)),
      SfondoTestoOfflineDef(Section(kColors), QStringLiteral("SfondoTestoOfflineDef"), RGB(224, 224, 224)),
      CorpoTestoOffline(Section(kColors), QStringLiteral("CorpoTestoOffline"), RGB(0, 0, 255)),
      SfondoTestoOffline(Section(kColors), QStringLiteral("SfondoTestoOffline"), RGB(200, 200, 255)),
      CorpoTestoOnlineDef(Section(kColors), QStringLiteral("CorpoTestoOnlineDef"), RGB(255, 0, 0)),
      SfondoTestoOnlineDef(Section(kColors), QStringLiteral("SfondoTestoOnlineDef"), RGB(255, 255, 128)),
      CorpoTestoOnline1(Section(kColors), QStringLiteral("CorpoTestoOnline1"), RGB(0, 0, 0)),
      CorpoTestoOnline2(Section(kColors), QStringLiteral("CorpoTestoOnline2"), RGB(255, 0, 0)),
      SfondoTestoOnline1(Section(kColors), QStringLiteral("SfondoTestoOnline1"), RGB(255, 255, 128)),
      SfondoTestoOnline2(Section(kColors), QStringLiteral("SfondoTestoOnline2"), RGB(255, 255, 0)),
      CorpoTestoConDipend(Section(kColors), QStringLiteral("CorpoTestoConDipend"), RGB(0, 0, 0)),
      SfondoTestoConDipend(Section(kColors), QStringLiteral("SfondoTestoConDipend"), RGB(200, 200, 160)),
      CorpoTestoTrascinato(Section(kColors), QStringLiteral("CorpoTestoTrascinato"), RGB(0, 0, 0)),
      SfondoTestoTrascinato(Section(kColors), QStringLiteral("SfondoTestoTrascinato"), RGB(192, 192, 192)),
      CorpoTestoTrascConDip(Section(kColors), QStringLiteral("CorpoTestoTrascConDip"), RGB(0, 0, 0)),
      SfondoTestoTrascConDip(Section(kColors), QStringLiteral("SfondoTestoTrascConDip"), RGB(255, 0, 0)),
      CorpoTestoNormale(Section(kColors), QStringLiteral("CorpoTestoNormale"), RGB(0, 0, 0)),
      SfondoTestoNormale(Section(kColors), QStringLiteral("SfondoTestoNormale"), RGB(255, 255, 255))
{
}

COptions::~COptions() = default;

COptions::FlushOnClose::~FlushOnClose()
{
  Flush();
}
