#include "QelDocFind.h"

CQelDocFind::CQelDocFind(QObject *parent) : CQelDocParVarList(parent) {}

bool CQelDocFind::FindText(const QString &, std::int16_t &, bool, bool, bool)
{
  return false;
}

bool CQelDocFind::FindParameter(const QString &, std::int16_t &, bool, bool, bool, bool, bool)
{
  return false;
}

bool CQelDocFind::FindNext(const QString &, std::int16_t &, bool, bool, bool, bool)
{
  return false;
}

bool CQelDocFind::FindByValue(const QString &, std::int16_t &, std::int16_t &, bool, bool, bool, bool)
{
  return false;
}

void CQelDocFind::SelectParameter(int) {}

void CQelDocFind::SelectBlock(int) {}
