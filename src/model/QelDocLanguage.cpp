#include "QelDocLanguage.h"

#include "platform/Trace.h"

namespace {
const QString StdLanguage = QStringLiteral("std");
}

CQelDocLanguage::CQelDocLanguage(QObject *parent) : CDocument(parent), m_strLanguage(StdLanguage) {}

std::int16_t CQelDocLanguage::SelectLanguage(const QString &wanted)
{
  const QString name = wanted; // may be our own current name
  m_nLanguage = 0;
  m_strLanguage = StdLanguage;
  for (int i = 0; i < m_Languages.size() && i <= INT16_MAX; ++i) {
    if (m_Languages[i].compare(name, Qt::CaseInsensitive) == 0) {
      m_nLanguage = static_cast<std::int16_t>(i);
      m_strLanguage = m_Languages[i];
      break;
    }
  }
  qCDebug(lcModel, "Initialize in lingua <%s> #%d", qUtf8Printable(m_strLanguage), m_nLanguage);
  return m_nLanguage;
}

QString CQelDocLanguage::GetLanguageName() const
{
  if (m_nLanguage >= 0 && m_nLanguage < m_Languages.size())
    return m_Languages[m_nLanguage];
  return StdLanguage;
}

void CQelDocLanguage::AddLanguage(const QStringList &names)
{
  if (!VTX_ASSERT(!names.isEmpty()))
    return;
  m_Languages = names;
  SelectLanguage(m_strLanguage);
}

void CQelDocLanguage::SplitLanguageList(const QString &text)
{
  SplitList(text, m_Languages);
}

bool CQelDocLanguage::LoadDictionaryLine(const QString &text, QStringList &target, QChar)
{
  SplitList(text, target);
  return true;
}

void CQelDocLanguage::SplitList(QStringView text, QStringList &target)
{
  while (!text.isEmpty()) {
    const qsizetype semi = text.indexOf(u';');
    if (semi >= 1) {
      target.append(text.left(semi).toString());
      text = text.mid(semi + 1);
    } else {
      target.append(text.toString());
      break;
    }
  }
}
