#include "DocArchive.h"

#include "platform/Cp1252.h"

CDocArchive CDocArchive::FromBytes(const QByteArray &bytes)
{
  return FromText(Cp1252::Decode(bytes));
}

CDocArchive CDocArchive::FromText(QString text)
{
  CDocArchive ar;
  ar.m_text = std::move(text);
  ar.m_bStoring = false;
  return ar;
}

CDocArchive CDocArchive::FromText(QString text, QStringView appended)
{
  const qsizetype join = text.size();
  text += u'\n';
  text += appended;
  CDocArchive ar = FromText(std::move(text));
  ar.m_nJoin = join;
  return ar;
}

bool CDocArchive::ReadString(QString &line)
{
  if (m_bStoring || m_pos >= m_text.size())
    return false;
  qsizetype end = m_text.indexOf(u'\n', m_pos);
  const qsizetype next = end < 0 ? m_text.size() : end + 1;
  if (end < 0)
    end = m_text.size();
  qsizetype stop = end;
  if (stop > m_pos && m_text[stop - 1] == u'\r' && end < m_text.size())
    --stop;
  m_bLineEnded = end < m_text.size() && end != m_nJoin;
  line = m_text.mid(m_pos, stop - m_pos);
  m_pos = next;
  ++m_nLine;
  return true;
}

QByteArray CDocArchive::GetBytes() const
{
  return Cp1252::Encode(m_text);
}
